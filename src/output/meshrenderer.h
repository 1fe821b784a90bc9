#pragma once

#include "curvedmesh.h"
#include "meshframes.h"
#include "meshshader.h"
#include "polygondistancefieldcache.h"
#include "projectormapping.h"

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <QTransform>
#include <array>
#include <chrono>
#include <initializer_list>
#include <memory>
#include <optional>

// What one curved output shows, handed to the renderer on every update of its view.
struct MeshInputs
{
    ProjectorMapping mapping;
    std::shared_ptr<MeshFrames> frames;
    // The player's current item by its generation, which no other item of any player shares; none without an item.
    std::optional<quint64> item;
    // The still shown as the content, over the back layer by its alpha, and under the video until the video's first
    // frame; a null image shows no still.
    QImage image;
    // A captured frame of the video shown as that still, drawn through the video's own conversion so that the live
    // frame after it matches; image then holds its conversion, shown when the frame cannot be drawn.
    VideoFrame heldFrame;
    // The back layer beneath the content: this image (the picture's fallback); when null, the standby artwork if
    // standby is set, else black.
    QImage back;
    bool standby = false;
    // The calibration grid of the mesh instead of the picture.
    bool pattern = false;
    // The output's test pattern as the content instead of the picture: drawn at the output's size over the crop's
    // enlarged picture area, then warped like the picture.
    bool flatPattern = false;
    bool black = false;
};

class MeshGl;
class QOpenGLExtraFunctions;
class QOpenGLShaderProgram;

// Draws a picture through a mapping's curved mesh with edge blends, black-level lift, polygon mask and the
// calibration grid, on OpenGL 3.3 core. update() only does CPU work and needs no context; draw() needs a
// current context and draws into the bound framebuffer. The mesh and the masks are remade only when their
// inputs change. A shader that does not build leaves every frame black and errorText() says why.
class MeshRenderer
{
  public:
    // How often the CPU side was rebuilt and video frames went up; lets callers see that unchanged inputs, and
    // frames that are not shown, cost nothing.
    struct Work
    {
        int meshes = 0;
        int blends = 0;
        int polygons = 0;
        int frameUploads = 0;
    };

    explicit MeshRenderer(MeshShaderSource source = MeshShaderSource::builtIn());
    ~MeshRenderer();
    MeshRenderer(const MeshRenderer&) = delete;
    MeshRenderer& operator=(const MeshRenderer&) = delete;

    // True when something visible changed and the view must redraw.
    bool update(const MeshInputs& inputs);
    void draw(QSize pixelSize);
    // Frees the GL objects; call with the drawing context current (the next draw makes them again).
    void releaseGl();
    // Forgets the GL objects without touching GL, for a context that can no longer be made current.
    void forgetGl();

    QString errorText() const { return m_error; }
    // The video frame the last draw showed: its item, its media time, and the host time it fell due (none for a frame
    // shown at once, a paused player's); none when the draw showed no live video.
    struct VideoShown
    {
        quint64 item = 0;
        double time = 0;
        std::optional<std::chrono::steady_clock::time_point> dueAt;
    };
    std::optional<VideoShown> videoShown() const;
    // A mask's field is being made; the one shown before is drawn meanwhile, and update() takes it in once ready.
    bool waitsForMask() const { return m_polygonWanted.has_value(); }
    Work work() const { return m_work; }
    int vertexCount() const { return int(m_vertices.size()); }

    // Scale of picture coordinates about the centre so the media fills the cropped area, cut on one axis.
    static QSizeF fillScale(const QSizeF& target, const QRectF& crop, double mediaAspect);

  private:
    bool prepareGl();
    void uploadChanges();
    void renderMaps(QSize pixelSize, std::optional<QRect> region);
    void renderMasks(std::optional<QRect> region);
    void noteMaskChange(const ProjectorMapping& mapping);
    bool adoptPolygonField();
    std::optional<QRect> pixelBoundsOfMeshArea(const QRectF& area, QSize pixelSize) const;
    void noteMeshChange(const std::vector<MeshVertex>& rebuilt);
    static QRect pixelBounds(const QRectF& clip, QSize pixelSize);
    static float stepsPerPixel(QSize pixelSize);
    QOpenGLShaderProgram* pictureProgram(int mediaFormat, bool grid);
    void bindTextures(QOpenGLExtraFunctions* f, std::initializer_list<std::pair<int, int>> units);
    void updateVideoTexture();
    void preparePattern(QSize pixelSize);

    // How a frame's textures are drawn: its kind of media, YUV conversion, chroma siting and orientation.
    struct MediaLayout
    {
        int format = 0;
        VideoColorimetry colorimetry;
        std::array<float, 4> chromaPlacement{1, 1, 0, 0};
        double aspect = 1;
        std::array<float, 4> orientationX{1, 0, 0, 0};
        std::array<float, 4> orientationY{0, 1, 0, 0};
    };
    static MediaLayout layoutOf(const VideoFrame& frame, int format);

    MeshShaderSource m_source;
    std::unique_ptr<MeshGl> m_gl;
    QString m_error;
    Work m_work;

    std::optional<ProjectorMapping> m_configuration;
    std::vector<MeshVertex> m_vertices;
    QImage m_fade;
    QImage m_lift;
    PolygonDistanceFieldCache::Field m_polygon;
    // The mask whose field is being made; the field shown before stays until it is ready.
    std::optional<std::optional<QList<QPointF>>> m_polygonWanted;
    QImage m_still;
    std::optional<qint64> m_stillKey;
    QImage m_back;
    std::optional<std::pair<qint64, bool>> m_backKey;
    bool m_backDirty = false;
    // The flat test pattern, drawn for the output size and crop it was made for.
    QSize m_patternSize;
    QRectF m_patternCrop;
    bool m_flatPattern = false;
    VideoFrame m_held;
    bool m_heldDirty = false;
    std::optional<MediaLayout> m_heldLayout;
    bool m_meshDirty = false;
    bool m_masksDirty = false;
    bool m_polygonDirty = false;
    bool m_stillDirty = false;
    bool m_mapsStale = true;
    // Where the masks changed (output space) since the maps were last drawn; everywhere when that is unknown.
    std::optional<QRectF> m_maskChange;
    bool m_masksChangedWhole = false;
    // Where moved triangles lie (clip space), since the maps were last drawn; the whole mesh when its size changed.
    std::optional<QRectF> m_meshChange;
    bool m_meshChangedWhole = false;

    std::shared_ptr<MeshFrames> m_frames;
    std::optional<quint64> m_item;
    bool m_hasVideo = false;
    bool m_pattern = false;
    bool m_black = false;
    bool m_videoShown = false;
    std::optional<std::uint64_t> m_frameSerial;
    double m_videoTime = 0;
    std::optional<std::chrono::steady_clock::time_point> m_videoDue;
    bool m_drewVideo = false;
    QTransform m_frameTransform;
    MediaLayout m_videoLayout;
};
