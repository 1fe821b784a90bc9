#include "meshrenderer.h"

#include "cropregion.h"
#include "mappingtexture.h"
#include "maskchangearea.h"
#include "standbyartwork.h"
#include "testpattern.h"

#include <QGenericMatrix>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLShaderProgram>
#include <QVector3D>
#include <algorithm>
#include <cmath>
#include <tuple>

// The GL side of one renderer, made on the first draw in the drawing context.
class MeshGl
{
  public:
    // A frame's planes take three textures in a row: the video's, and those of a held frame.
    enum Texture {
        video,
        chromaU,
        chromaV,
        held,
        heldChromaU,
        heldChromaV,
        pattern,
        still,
        fade,
        lift,
        polygon,
        meshMap,
        slopeMap,
        warp,
        shading,
        back,
        textureCount
    };

    explicit MeshGl(QOpenGLExtraFunctions* functions) : f(functions)
    {
        f->glGenVertexArrays(1, &vertexArray);
        f->glGenVertexArrays(1, &emptyVertexArray);
        f->glGenFramebuffers(1, &warpFramebuffer);
        f->glGenFramebuffers(1, &meshFramebuffer);
        f->glGenBuffers(1, &vertexBuffer);
        f->glGenTextures(textureCount, textures);
        for (GLuint texture : textures) {
            f->glBindTexture(GL_TEXTURE_2D, texture);
            f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        }
        f->glBindVertexArray(vertexArray);
        f->glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
        f->glEnableVertexAttribArray(0);
        f->glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(MeshVertex), nullptr);
        f->glEnableVertexAttribArray(1);
        f->glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, sizeof(MeshVertex),
                                 reinterpret_cast<const void*>(2 * sizeof(float)));
        f->glBindVertexArray(0);
        f->glBindBuffer(GL_ARRAY_BUFFER, 0);
    }

    ~MeshGl()
    {
        if (!live)
            return;
        f->glDeleteTextures(textureCount, textures);
        f->glDeleteBuffers(1, &vertexBuffer);
        f->glDeleteVertexArrays(1, &vertexArray);
        f->glDeleteVertexArrays(1, &emptyVertexArray);
        f->glDeleteFramebuffers(1, &warpFramebuffer);
        f->glDeleteFramebuffers(1, &meshFramebuffer);
    }

    // RGBA8888 and RGB32-family images go up as they are; anything else is converted first.
    void upload(Texture texture, const QImage& image)
    {
        QImage source = image;
        GLenum format = GL_RGBA;
        switch (image.format()) {
        case QImage::Format_RGBA8888:
        case QImage::Format_RGBA8888_Premultiplied:
        case QImage::Format_RGBX8888:
            break;
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
        case QImage::Format_RGB32:
            if (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
                format = GL_BGRA;
                break;
            }
            [[fallthrough]];
        default:
            source = image.convertToFormat(QImage::Format_RGBA8888);
        }
        const VideoFrame::Plane plane{source.constBits(), int(source.bytesPerLine()), source.width(), source.height()};
        uploadPlane(texture, plane, GL_RGBA8, format, 4);
    }

    // The planes go up as the decoder made them, into the three textures from first on; the shader converts YUV.
    // None for a layout it cannot take.
    std::optional<int> upload(const VideoFrame& frame, Texture first)
    {
        const auto plane = [&](int index) { return frame.plane(index); };
        const auto at = [first](int index) { return Texture(first + index); };
        switch (frame.format()) {
        case VideoFrame::Format::rgba:
        case VideoFrame::Format::bgra:
            if (frame.planeCount() < 1 ||
                !uploadPlane(first, plane(0), GL_RGBA8, frame.format() == VideoFrame::Format::rgba ? GL_RGBA : GL_BGRA,
                             4))
                return std::nullopt;
            return 0;
        case VideoFrame::Format::i420:
            if (frame.planeCount() < 3 || !uploadPlane(first, plane(0), GL_R8, GL_RED, 1) ||
                !uploadPlane(at(1), plane(1), GL_R8, GL_RED, 1) || !uploadPlane(at(2), plane(2), GL_R8, GL_RED, 1))
                return std::nullopt;
            return 1;
        case VideoFrame::Format::nv12:
            if (frame.planeCount() < 2 || !uploadPlane(first, plane(0), GL_R8, GL_RED, 1) ||
                !uploadPlane(at(1), plane(1), GL_RG8, GL_RG, 2))
                return std::nullopt;
            return 2;
        }
        return std::nullopt;
    }

    bool uploadPlane(Texture texture, const VideoFrame::Plane& plane, GLenum internalFormat, GLenum format,
                     int bytesPerPixel)
    {
        if (!plane.data || plane.width <= 0 || plane.height <= 0 || plane.stride < plane.width * bytesPerPixel ||
            plane.stride % bytesPerPixel != 0)
            return false;
        f->glBindTexture(GL_TEXTURE_2D, textures[texture]);
        // Tightly packed rows take the driver's plain copy; a row length is set only for padded ones.
        f->glPixelStorei(GL_UNPACK_ALIGNMENT, plane.stride % 4 == 0 ? 4 : 1);
        f->glPixelStorei(GL_UNPACK_ROW_LENGTH,
                         plane.stride == plane.width * bytesPerPixel ? 0 : plane.stride / bytesPerPixel);
        const QSize size(plane.width, plane.height);
        if (sizes[texture] == size && formats[texture] == internalFormat) {
            f->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, size.width(), size.height(), format, GL_UNSIGNED_BYTE,
                               plane.data);
        } else {
            f->glTexImage2D(GL_TEXTURE_2D, 0, GLint(internalFormat), size.width(), size.height(), 0, format,
                            GL_UNSIGNED_BYTE, plane.data);
            sizes[texture] = size;
            formats[texture] = internalFormat;
        }
        f->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        f->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        return true;
    }

    void upload(const PolygonDistanceField& field)
    {
        f->glBindTexture(GL_TEXTURE_2D, textures[polygon]);
        f->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        f->glTexImage2D(GL_TEXTURE_2D, 0, GL_R16F, field.size, field.size, 0, GL_RED, GL_FLOAT, field.values.data());
        sizes[polygon] = QSize(field.size, field.size);
        formats[polygon] = GL_R16F;
    }

    void upload(const std::vector<MeshVertex>& vertices)
    {
        f->glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
        f->glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertices.size() * sizeof(MeshVertex)), vertices.data(),
                        GL_STATIC_DRAW);
        f->glBindBuffer(GL_ARRAY_BUFFER, 0);
    }

    QOpenGLExtraFunctions* f;
    // False once the context is out of reach: the objects go with it.
    bool live = true;
    // The mesh map (per output pixel the mesh parameter, its step across and a flag for pixels inside the mesh)
    // and the steps across and up, as 32-bit floats: the masks and the grid are made from them, so a mask edit
    // redraws the warp and shading maps without drawing the mesh again. A frame reads only the two 8-bit maps.
    void resizeMaps(QSize size)
    {
        for (Texture texture : {meshMap, slopeMap}) {
            f->glBindTexture(GL_TEXTURE_2D, textures[texture]);
            f->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, size.width(), size.height(), 0, GL_RGBA, GL_FLOAT, nullptr);
            sizes[texture] = size;
        }
        f->glBindTexture(GL_TEXTURE_2D, textures[warp]);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        f->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, size.width(), size.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        sizes[warp] = size;
        f->glBindTexture(GL_TEXTURE_2D, textures[shading]);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        f->glTexImage2D(GL_TEXTURE_2D, 0, GL_RG8, size.width(), size.height(), 0, GL_RG, GL_UNSIGNED_BYTE, nullptr);
        sizes[shading] = size;
        f->glBindFramebuffer(GL_FRAMEBUFFER, meshFramebuffer);
        f->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, textures[meshMap], 0);
        f->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT1, GL_TEXTURE_2D, textures[slopeMap], 0);
        const GLenum buffers[] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
        f->glDrawBuffers(2, buffers);
        f->glBindFramebuffer(GL_FRAMEBUFFER, warpFramebuffer);
        f->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, textures[warp], 0);
        f->glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT1, GL_TEXTURE_2D, textures[shading], 0);
        f->glDrawBuffers(2, buffers);
    }

    QOpenGLShaderProgram meshProgram;
    QOpenGLShaderProgram maskProgram;
    // One picture program per kind of media and grid switch, built when first needed.
    std::array<std::unique_ptr<QOpenGLShaderProgram>, 6> picturePrograms;
    std::array<bool, 6> pictureFailed{};
    bool programReady = false;
    GLuint warpFramebuffer = 0;
    GLuint meshFramebuffer = 0;
    GLuint emptyVertexArray = 0;
    GLuint vertexArray = 0;
    GLuint vertexBuffer = 0;
    GLuint textures[textureCount] = {};
    QSize sizes[textureCount];
    GLenum formats[textureCount] = {};
};

// Where a luma texture coordinate falls in a chroma plane of half the luma's resolution (or less): chroma texel
// position = luma position / 2, a quarter texel on when co-sited.
static std::array<float, 4> chromaPlacementFor(const VideoFrame& frame)
{
    const VideoColorimetry colorimetry = frame.colorimetry();
    const VideoFrame::Plane chroma = frame.plane(1);
    const auto axis = [](int luma, int chromaSize, bool cosited) {
        const double size = std::max(chromaSize, 1);
        return std::pair<float, float>(float(luma / (2 * size)), cosited ? float(0.25 / size) : 0.f);
    };
    const auto [scaleX, offsetX] = axis(frame.size().width(), chroma.width, colorimetry.chromaCositedH);
    const auto [scaleY, offsetY] = axis(frame.size().height(), chroma.height, colorimetry.chromaCositedV);
    return {scaleX, scaleY, offsetX, offsetY};
}

static QImage pixel(uchar value)
{
    QImage image(1, 1, QImage::Format_RGBA8888_Premultiplied);
    std::fill_n(image.bits(), 4, value);
    return image;
}

// No still is a transparent one: the back layer shows through.
static QImage stillFor(const QImage& image)
{
    if (image.isNull())
        return pixel(0);
    return image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
}

static QImage backFor(const QImage& image, bool standby)
{
    if (!image.isNull())
        return image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    const QImage artwork = standby ? standbyArtworkImage(QSize(960, 540)) : QImage();
    if (artwork.isNull())
        return pixel(0);
    return artwork.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
}

MeshRenderer::MeshRenderer(MeshShaderSource source) : m_source(std::move(source)) {}

MeshRenderer::~MeshRenderer()
{
    if (QOpenGLContext::currentContext())
        releaseGl();
}

bool MeshRenderer::update(const MeshInputs& inputs)
{
    bool changed = m_black != inputs.black || m_pattern != inputs.pattern || m_flatPattern != inputs.flatPattern;
    m_frames = inputs.frames;
    m_black = inputs.black;
    m_pattern = inputs.pattern;
    m_flatPattern = inputs.flatPattern;
    m_hasVideo = inputs.item.has_value();

    if (inputs.item != m_item) {
        // No late frame of the old item is shown; its last frame stays up until the new item's first one.
        m_item = inputs.item;
        m_frameSerial.reset();
        if (!inputs.item)
            m_videoShown = false;
        changed = true;
    }

    // A held frame is known by its pixels, which the copy kept here keeps alive.
    const VideoFrame& held = inputs.heldFrame;
    if (held.isNull() != m_held.isNull() || held.plane(0).data != m_held.plane(0).data ||
        held.serial() != m_held.serial()) {
        m_held = held;
        m_heldDirty = true;
        m_heldLayout.reset();
        changed = true;
    }

    const qint64 stillKey = inputs.image.isNull() ? 0 : inputs.image.cacheKey();
    if (!m_stillKey || *m_stillKey != stillKey) {
        m_stillKey = stillKey;
        m_still = stillFor(inputs.image);
        m_stillDirty = true;
        changed = true;
    }

    const std::pair<qint64, bool> backKey(inputs.back.isNull() ? 0 : inputs.back.cacheKey(),
                                          inputs.back.isNull() && inputs.standby);
    if (m_backKey != backKey) {
        m_backKey = backKey;
        m_back = backFor(inputs.back, inputs.standby);
        m_backDirty = true;
        changed = true;
    }

    if (m_polygonWanted && adoptPolygonField()) {
        m_masksChangedWhole = true;
        changed = true;
    }

    const ProjectorMapping& mapping = inputs.mapping;
    if (m_configuration && *m_configuration == mapping)
        return changed;

    bool masksChanged = false;
    if (!m_configuration || m_configuration->effectiveEdges() != mapping.effectiveEdges() ||
        m_configuration->gamma != mapping.gamma || m_configuration->blackLevel != mapping.blackLevel) {
        const QRectF whole(0, 0, 1, 1);
        m_fade = mappingTexture(mapping, whole, false, false).value_or(pixel(255));
        m_lift = mappingTexture(mapping, whole, true, false).value_or(pixel(0));
        m_masksDirty = masksChanged = true;
        ++m_work.blends;
    }
    const std::optional<QList<QPointF>> previousMask =
        m_configuration ? m_configuration->polygonMask : std::optional<QList<QPointF>>{};
    if (!m_configuration || previousMask != mapping.polygonMask) {
        m_polygonWanted = mapping.polygonMask;
        masksChanged = adoptPolygonField() || masksChanged;
    }
    if (masksChanged)
        noteMaskChange(mapping);

    const std::optional<ProjectorMapping> previous = m_configuration;
    m_configuration = mapping;
    if (!previous || previous->mesh != mapping.mesh || previous->meshRows != mapping.meshRows ||
        previous->meshColumns != mapping.meshColumns || previous->meshHandles != mapping.meshHandles ||
        previous->corners != mapping.corners) {
        std::vector<MeshVertex> rebuilt = CurvedMesh::tessellate(mapping);
        noteMeshChange(rebuilt);
        m_vertices = std::move(rebuilt);
        m_meshDirty = true;
        ++m_work.meshes;
    }
    return true;
}

// The field of the wanted mask once the cache has it: it is made on a pool thread, and the one shown before stays
// until then.
bool MeshRenderer::adoptPolygonField()
{
    static const PolygonDistanceField::Sampling texels = PolygonDistanceField::Sampling::texelCentres(256);
    PolygonDistanceFieldCache::Field field = PolygonDistanceFieldCache::shared().field(*m_polygonWanted, texels);
    if (!field)
        return false;
    m_polygon = std::move(field);
    m_polygonWanted.reset();
    m_polygonDirty = true;
    ++m_work.polygons;
    return true;
}

// A dragged node moves only the triangles around it: the maps are redrawn only where they were and are now.
void MeshRenderer::noteMeshChange(const std::vector<MeshVertex>& rebuilt)
{
    if (rebuilt.size() != m_vertices.size()) {
        m_meshChangedWhole = true;
        return;
    }
    const auto moved = [](const MeshVertex& a, const MeshVertex& b) {
        return a.x != b.x || a.y != b.y || a.u != b.u || a.v != b.v;
    };
    for (size_t first = 0; first + 2 < rebuilt.size(); first += 3) {
        if (!moved(rebuilt[first], m_vertices[first]) && !moved(rebuilt[first + 1], m_vertices[first + 1]) &&
            !moved(rebuilt[first + 2], m_vertices[first + 2]))
            continue;
        for (size_t i = first; i < first + 3; ++i)
            for (const MeshVertex& vertex : {rebuilt[i], m_vertices[i]}) {
                const QPointF point(vertex.x, vertex.y);
                m_meshChange = m_meshChange ? QRectF(QPointF(std::min(m_meshChange->left(), point.x()),
                                                             std::min(m_meshChange->top(), point.y())),
                                                     QPointF(std::max(m_meshChange->right(), point.x()),
                                                             std::max(m_meshChange->bottom(), point.y())))
                                            : QRectF(point, point);
            }
    }
}

// A mask edit redraws the warp and shading maps only where the masks can differ, found in output space.
void MeshRenderer::noteMaskChange(const ProjectorMapping& mapping)
{
    const std::optional<QRectF> area = m_configuration ? maskChangeArea(*m_configuration, mapping) : std::nullopt;
    if (!area)
        m_masksChangedWhole = true;
    else if (!area->isEmpty())
        m_maskChange = m_maskChange ? m_maskChange->united(*area) : *area;
}

static bool build(QOpenGLShaderProgram& program, const QString& vertex, const QString& fragment)
{
    return program.addShaderFromSourceCode(QOpenGLShader::Vertex, vertex) &&
           program.addShaderFromSourceCode(QOpenGLShader::Fragment, fragment) && program.link();
}

bool MeshRenderer::prepareGl()
{
    if (m_gl)
        return m_gl->programReady;
    QOpenGLContext* context = QOpenGLContext::currentContext();
    m_gl = std::make_unique<MeshGl>(context->extraFunctions());
    if (!build(m_gl->meshProgram, m_source.meshVertex, m_source.meshFragment)) {
        m_error = QStringLiteral("投影网格着色器无法编译 · ") + m_gl->meshProgram.log().trimmed();
        return false;
    }
    if (!build(m_gl->maskProgram, m_source.fullScreenVertex, m_source.maskFragment)) {
        m_error = QStringLiteral("投影网格着色器无法编译 · ") + m_gl->maskProgram.log().trimmed();
        return false;
    }
    m_gl->maskProgram.bind();
    m_gl->maskProgram.setUniformValue("stepsPerPixel", stepsPerPixel(m_gl->sizes[MeshGl::warp]));
    m_gl->maskProgram.setUniformValue("fade", 1);
    m_gl->maskProgram.setUniformValue("lift", 2);
    m_gl->maskProgram.setUniformValue("polygon", 3);
    m_gl->maskProgram.setUniformValue("meshMap", 7);
    m_gl->maskProgram.setUniformValue("slopeMap", 8);
    m_gl->maskProgram.release();
    // The commonest picture program is built now, so a broken one is known from the first frame.
    if (!pictureProgram(0, false))
        return false;
    m_gl->programReady = true;
    m_meshDirty = m_masksDirty = m_polygonDirty = m_stillDirty = m_heldDirty = m_backDirty = true;
    m_patternSize = QSize();
    m_frameSerial.reset();
    m_videoShown = false;
    return true;
}

QOpenGLShaderProgram* MeshRenderer::pictureProgram(int mediaFormat, bool grid)
{
    const size_t key = size_t(mediaFormat * 2 + (grid ? 1 : 0));
    if (m_gl->picturePrograms[key])
        return m_gl->picturePrograms[key].get();
    if (m_gl->pictureFailed[key])
        return nullptr;
    auto program = std::make_unique<QOpenGLShaderProgram>();
    if (!build(*program, m_source.fullScreenVertex, m_source.pictureFragmentFor(mediaFormat, grid))) {
        m_error = QStringLiteral("投影网格着色器无法编译 · ") + program->log().trimmed();
        m_gl->pictureFailed[key] = true;
        return nullptr;
    }
    program->bind();
    program->setUniformValue("media", 0);
    program->setUniformValue("chromaU", 4);
    program->setUniformValue("chromaV", 5);
    program->setUniformValue("warp", 6);
    program->setUniformValue("meshMap", 7);
    program->setUniformValue("shading", 8);
    program->setUniformValue("back", 9);
    program->release();
    m_gl->picturePrograms[key] = std::move(program);
    return m_gl->picturePrograms[key].get();
}

void MeshRenderer::uploadChanges()
{
    if (m_meshDirty)
        m_gl->upload(m_vertices);
    if (m_masksDirty) {
        m_gl->upload(MeshGl::fade, m_fade);
        m_gl->upload(MeshGl::lift, m_lift);
    }
    if (m_polygonDirty && m_polygon)
        m_gl->upload(*m_polygon);
    if (m_meshChangedWhole)
        m_mapsStale = true;
    if (m_stillDirty)
        m_gl->upload(MeshGl::still, m_still);
    if (m_backDirty)
        m_gl->upload(MeshGl::back, m_back);
    if (m_heldDirty) {
        m_heldLayout.reset();
        if (!m_held.isNull())
            if (const std::optional<int> format = m_gl->upload(m_held, MeshGl::held))
                m_heldLayout = layoutOf(m_held, *format);
    }
    m_meshDirty = m_masksDirty = m_polygonDirty = m_stillDirty = m_heldDirty = m_backDirty = false;
}

// Drawn again only for a new output size or crop, on the thread that draws.
void MeshRenderer::preparePattern(QSize pixelSize)
{
    const QRectF crop = m_configuration->crop;
    if (m_patternSize == pixelSize && m_patternCrop == crop)
        return;
    m_patternSize = pixelSize;
    m_patternCrop = crop;
    m_gl->upload(MeshGl::pattern, testPatternImage(pixelSize, crop));
}

void MeshRenderer::updateVideoTexture()
{
    if (!m_hasVideo || !m_frames)
        return;
    // Only frames of the current item: a late one of the item before never shows.
    const VideoFrame frame = m_frames->frameOf(*m_item);
    if (frame.isNull())
        return;
    if (m_frameSerial == frame.serial() && m_frameTransform == frame.orientation())
        return;
    // A frame that cannot be uploaded leaves the previous one on show.
    const std::optional<int> format = m_gl->upload(frame, MeshGl::video);
    if (!format)
        return;
    m_frameSerial = frame.serial();
    m_frameTransform = frame.orientation();
    m_videoLayout = layoutOf(frame, *format);
    m_videoTime = frame.time();
    m_videoDue = frame.dueAt();
    m_videoShown = true;
    ++m_work.frameUploads;
}

MeshRenderer::MediaLayout MeshRenderer::layoutOf(const VideoFrame& frame, int format)
{
    MediaLayout layout;
    layout.format = format;
    layout.colorimetry = frame.colorimetry();
    if (format != 0)
        layout.chromaPlacement = chromaPlacementFor(frame);
    const QTransform transform = frame.orientation();
    const double width = frame.size().width();
    const double height = frame.size().height();
    const QRectF upright = transform.mapRect(QRectF(0, 0, width, height));
    bool invertible = false;
    const QTransform inverse = transform.inverted(&invertible);
    if (!invertible) {
        layout.aspect = width / std::max(height, 1.0);
        return layout;
    }
    const auto source = [&](double u, double v) {
        const QPointF s =
            inverse.map(QPointF(upright.left() + u * upright.width(), upright.top() + v * upright.height()));
        return QPointF(s.x() / width, s.y() / height);
    };
    const QPointF o = source(0, 0);
    const QPointF e = source(1, 0);
    const QPointF f = source(0, 1);
    layout.orientationX = {float(e.x() - o.x()), float(f.x() - o.x()), float(o.x()), 0};
    layout.orientationY = {float(e.y() - o.y()), float(f.y() - o.y()), float(o.y()), 0};
    layout.aspect = upright.width() / std::max(upright.height(), 1.0);
    return layout;
}

void MeshRenderer::draw(QSize pixelSize)
{
    QOpenGLContext* context = QOpenGLContext::currentContext();
    if (!context) {
        m_error = QStringLiteral("没有可用的 OpenGL 上下文");
        return;
    }
    QOpenGLExtraFunctions* f = context->extraFunctions();
    f->glDisable(GL_DEPTH_TEST);
    f->glDisable(GL_BLEND);
    f->glDisable(GL_SCISSOR_TEST);
    f->glDisable(GL_CULL_FACE);
    f->glViewport(0, 0, pixelSize.width(), pixelSize.height());
    f->glClearColor(0, 0, 0, 1);
    const bool ready = prepareGl();
    // Black shows nothing and the grid no media: neither uploads a frame.
    if (ready && !m_black) {
        uploadChanges();
        if (m_flatPattern && m_configuration)
            preparePattern(pixelSize);
        else if (!m_pattern)
            updateVideoTexture();
    }
    const bool usePattern = m_flatPattern;
    const bool useVideo = !usePattern && m_hasVideo && m_videoShown;
    m_drewVideo = false;
    const bool useHeld = !usePattern && !useVideo && m_heldLayout;
    const auto imageLayout = [](QSizeF size) {
        return MediaLayout{0, {}, {1, 1, 0, 0}, size.width() / std::max(size.height(), 1.0)};
    };
    const MediaLayout stillLayout = imageLayout(usePattern ? QSizeF(pixelSize) : QSizeF(m_still.size()));
    const MediaLayout& media = useVideo ? m_videoLayout : useHeld ? *m_heldLayout : stillLayout;
    // Only a still lets the back layer through; video frames and held frames cover it.
    const bool layered = !usePattern && !useVideo && !useHeld;
    const int mediaFormat = media.format;
    // Until the first field of a mask is made, nothing is shown that it might hide.
    QOpenGLShaderProgram* program = ready && !m_black && m_configuration && m_polygon && !m_vertices.empty()
                                        ? pictureProgram(mediaFormat, m_pattern)
                                        : nullptr;
    if (!program) {
        f->glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    m_drewVideo = useVideo && !m_pattern;

    // The pattern is drawn cropped already.
    const QRectF crop = usePattern ? QRectF(0, 0, 1, 1) : shownCropRegion(m_configuration->crop);
    // Crop, fill and orientation folded into one affine map from the mesh parameter to a layer's texture.
    const auto sampling = [&](const MediaLayout& layer) {
        const QSizeF fit = fillScale(QSizeF(pixelSize), crop, layer.aspect);
        const std::array<float, 4>& ox = layer.orientationX;
        const std::array<float, 4>& oy = layer.orientationY;
        const double kx = crop.width() * fit.width();
        const double ky = crop.height() * fit.height();
        const double cx = (crop.x() - 0.5) * fit.width() + 0.5;
        const double cy = (crop.y() - 0.5) * fit.height() + 0.5;
        return std::pair(QVector3D(ox[0] * kx, ox[1] * ky, ox[0] * cx + ox[1] * cy + ox[2]),
                         QVector3D(oy[0] * kx, oy[1] * ky, oy[0] * cx + oy[1] * cy + oy[2]));
    };
    const auto [sampleX, sampleY] = sampling(media);
    const auto [backX, backY] = sampling(imageLayout(QSizeF(m_back.size())));

    if (m_mapsStale || m_gl->sizes[MeshGl::shading] != pixelSize) {
        renderMaps(pixelSize, std::nullopt);
    } else {
        if (m_meshChange)
            renderMaps(pixelSize, pixelBounds(*m_meshChange, pixelSize));
        if (m_masksChangedWhole)
            renderMasks(std::nullopt);
        else if (m_maskChange)
            if (const std::optional<QRect> region = pixelBoundsOfMeshArea(*m_maskChange, pixelSize))
                renderMasks(*region);
    }
    m_masksChangedWhole = false;
    m_maskChange.reset();

    program->bind();
    program->setUniformValue("crop", float(crop.x()), float(crop.y()), float(crop.width()), float(crop.height()));
    program->setUniformValue("sampleX", sampleX);
    program->setUniformValue("sampleY", sampleY);
    program->setUniformValue("backX", backX);
    program->setUniformValue("backY", backY);
    program->setUniformValue("layered", layered);
    if (mediaFormat != 0) {
        // QMatrix3x3 takes its values row by row; the colorimetry gives GLSL's column order.
        program->setUniformValue("yuvToRgb", QMatrix3x3(media.colorimetry.matrix().data()).transposed());
        const std::array<float, 3> offset = media.colorimetry.offset();
        program->setUniformValue("yuvOffset", QVector3D(offset[0], offset[1], offset[2]));
        const std::array<float, 4>& placement = media.chromaPlacement;
        program->setUniformValue("chromaPlacement", placement[0], placement[1], placement[2], placement[3]);
    }
    program->setUniformValue("stepsPerPixel", stepsPerPixel(pixelSize));
    program->setUniformValue("inverseSize", float(1.0 / pixelSize.width()), float(1.0 / pixelSize.height()));
    const MeshGl::Texture planes = usePattern ? MeshGl::pattern
                                   : useVideo ? MeshGl::video
                                   : useHeld  ? MeshGl::held
                                              : MeshGl::still;
    bindTextures(f, {{0, planes},
                     {9, MeshGl::back},
                     {4, MeshGl::Texture(planes + 1)},
                     {5, MeshGl::Texture(planes + 2)},
                     {6, MeshGl::warp},
                     {7, MeshGl::meshMap},
                     {8, MeshGl::shading}});
    f->glClear(GL_COLOR_BUFFER_BIT);
    f->glBindVertexArray(m_gl->emptyVertexArray);
    f->glDrawArrays(GL_TRIANGLES, 0, 3);
    f->glBindVertexArray(0);
    f->glActiveTexture(GL_TEXTURE0);
    program->release();
}

// Window pixels (origin bottom left, as GL's scissor takes them) covering a clip-space rectangle, with a pixel to
// spare for the masks' anti-aliased edges.
QRect MeshRenderer::pixelBounds(const QRectF& clip, QSize pixelSize)
{
    // A corner far off the window (a mapping may hold 1e308) is held just beyond it before it becomes a pixel, and
    // one that is not a number reaches the window's edge.
    const auto pixel = [](double clipValue, int extent, double unknown) {
        const double at = (clipValue + 1) / 2 * extent;
        return std::isnan(at) ? unknown : std::clamp(at, -4.0, extent + 4.0);
    };
    const int width = pixelSize.width();
    const int height = pixelSize.height();
    const int left = int(std::floor(pixel(clip.left(), width, 0))) - 2;
    const int right = int(std::ceil(pixel(clip.right(), width, width))) + 2;
    const int bottom = int(std::floor(pixel(clip.top(), height, 0))) - 2;
    const int top = int(std::ceil(pixel(clip.bottom(), height, height))) + 2;
    return QRect(QPoint(left, bottom), QPoint(right, top)).intersected(QRect(QPoint(0, 0), pixelSize));
}

// The window pixels whose mesh parameter can lie in an output-space area: over every triangle reaching into it.
std::optional<QRect> MeshRenderer::pixelBoundsOfMeshArea(const QRectF& area, QSize pixelSize) const
{
    std::optional<QRectF> clip;
    for (size_t first = 0; first + 2 < m_vertices.size(); first += 3) {
        const MeshVertex* corner = &m_vertices[first];
        const auto [uLow, uHigh] = std::minmax({corner[0].u, corner[1].u, corner[2].u});
        const auto [vLow, vHigh] = std::minmax({corner[0].v, corner[1].v, corner[2].v});
        if (uHigh < area.left() || uLow > area.right() || vHigh < area.top() || vLow > area.bottom())
            continue;
        const auto [xLow, xHigh] = std::minmax({corner[0].x, corner[1].x, corner[2].x});
        const auto [yLow, yHigh] = std::minmax({corner[0].y, corner[1].y, corner[2].y});
        const QRectF triangle(QPointF(xLow, yLow), QPointF(xHigh, yHigh));
        clip = clip ? QRectF(QPointF(std::min(clip->left(), triangle.left()), std::min(clip->top(), triangle.top())),
                             QPointF(std::max(clip->right(), triangle.right()),
                                     std::max(clip->bottom(), triangle.bottom())))
                    : triangle;
    }
    if (!clip)
        return std::nullopt;
    return pixelBounds(*clip, pixelSize);
}

// The mesh drawn into the mesh map, all of it or only a region, and the warp and shading maps made again from it
// there; every frame then costs one full-screen pass.
void MeshRenderer::renderMaps(QSize pixelSize, std::optional<QRect> region)
{
    QOpenGLExtraFunctions* f = m_gl->f;
    GLint target = 0;
    f->glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &target);
    if (m_gl->sizes[MeshGl::shading] != pixelSize)
        m_gl->resizeMaps(pixelSize);
    f->glBindFramebuffer(GL_FRAMEBUFFER, m_gl->meshFramebuffer);
    if (region) {
        f->glEnable(GL_SCISSOR_TEST);
        f->glScissor(region->x(), region->y(), region->width(), region->height());
    }
    f->glClearColor(0, 0, 0, 0);
    f->glClear(GL_COLOR_BUFFER_BIT);
    m_gl->meshProgram.bind();
    f->glBindVertexArray(m_gl->vertexArray);
    f->glDrawArrays(GL_TRIANGLES, 0, GLsizei(m_vertices.size()));
    f->glBindVertexArray(0);
    m_gl->meshProgram.release();
    f->glDisable(GL_SCISSOR_TEST);
    f->glBindFramebuffer(GL_FRAMEBUFFER, GLuint(target));
    f->glClearColor(0, 0, 0, 1);
    m_mapsStale = false;
    m_meshChangedWhole = false;
    m_meshChange.reset();
    renderMasks(region);
}

// The masks applied to the mesh map, all of it or only a region, into the warp and shading maps: a mask edit costs one
// full-screen pass, never the mesh.
void MeshRenderer::renderMasks(std::optional<QRect> region)
{
    if (region && region->isEmpty())
        return;
    QOpenGLExtraFunctions* f = m_gl->f;
    GLint target = 0;
    f->glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &target);
    f->glBindFramebuffer(GL_FRAMEBUFFER, m_gl->warpFramebuffer);
    if (region) {
        f->glEnable(GL_SCISSOR_TEST);
        f->glScissor(region->x(), region->y(), region->width(), region->height());
    }
    m_gl->maskProgram.bind();
    m_gl->maskProgram.setUniformValue("stepsPerPixel", stepsPerPixel(m_gl->sizes[MeshGl::warp]));
    bindTextures(
        f, {{1, MeshGl::fade}, {2, MeshGl::lift}, {3, MeshGl::polygon}, {7, MeshGl::meshMap}, {8, MeshGl::slopeMap}});
    f->glBindVertexArray(m_gl->emptyVertexArray);
    f->glDrawArrays(GL_TRIANGLES, 0, 3);
    f->glBindVertexArray(0);
    f->glActiveTexture(GL_TEXTURE0);
    m_gl->maskProgram.release();
    f->glDisable(GL_SCISSOR_TEST);
    f->glBindFramebuffer(GL_FRAMEBUFFER, GLuint(target));
}

void MeshRenderer::bindTextures(QOpenGLExtraFunctions* f, std::initializer_list<std::pair<int, int>> units)
{
    for (auto [unit, texture] : units) {
        f->glActiveTexture(GL_TEXTURE0 + unit);
        f->glBindTexture(GL_TEXTURE_2D, m_gl->textures[texture]);
    }
}

void MeshRenderer::releaseGl()
{
    m_gl.reset();
}

void MeshRenderer::forgetGl()
{
    if (m_gl)
        m_gl->live = false;
    m_gl.reset();
}

// Fixed-point steps per output pixel in the warp map: as fine as 16 bits allow for an offset across the whole output.
float MeshRenderer::stepsPerPixel(QSize pixelSize)
{
    const int longest = std::max({pixelSize.width(), pixelSize.height(), 1});
    return float(std::exp2(std::floor(std::log2(32767.0 / longest))));
}

std::optional<MeshRenderer::VideoShown> MeshRenderer::videoShown() const
{
    return m_drewVideo && m_item ? std::optional(VideoShown{*m_item, m_videoTime, m_videoDue}) : std::nullopt;
}

QSizeF MeshRenderer::fillScale(const QSizeF& target, const QRectF& crop, double mediaAspect)
{
    const double area = target.width() * crop.height() / std::max(target.height() * crop.width(), 1.0);
    const double media = mediaAspect > 0 ? mediaAspect : 1.0;
    return {std::min(area / media, 1.0), std::min(media / area, 1.0)};
}
