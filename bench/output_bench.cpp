// Frame rate of a 1080p I420 video (as decoders deliver it) drawn through a 17 × 17 curved mesh with blends on all
// four sides and a polygon mask, against the same frames drawn as a plain textured quad converting YUV alike, in one
// run; the frame after a mapping edit; the conversion of a held transition frame; then, given two displays, two
// output windows playing video through curved mappings (outputwindows.h). Needs an X server (xvfb-run).
#include "offscreenmeshrenderer.h"
#include "outputwindows.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QOpenGLExtraFunctions>
#include <QOpenGLShaderProgram>
#include <QPainter>
#include <QSysInfo>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

static const QSize frameSize(1920, 1080);
constexpr int warmUp = 10;
constexpr int measured = 150;

class PlaneStorage : public VideoFrame::Storage
{
  public:
    std::vector<std::uint8_t> planes[3];
};

// A picture as a BT.709 limited-range I420 frame, chroma averaged over each 2 × 2 block.
static std::shared_ptr<PlaneStorage> toI420(const QImage& picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    const int w = rgb.width(), h = rgb.height();
    auto storage = std::make_shared<PlaneStorage>();
    storage->planes[0].resize(size_t(w) * h);
    storage->planes[1].resize(size_t(w / 2) * (h / 2));
    storage->planes[2].resize(size_t(w / 2) * (h / 2));
    const auto luma = [](QRgb c) { return 0.2126 * qRed(c) + 0.7152 * qGreen(c) + 0.0722 * qBlue(c); };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            storage->planes[0][size_t(y * w + x)] = std::uint8_t(std::lround(16 + luma(rgb.pixel(x, y)) * 219 / 255));
    for (int y = 0; y < h / 2; ++y)
        for (int x = 0; x < w / 2; ++x) {
            double cb = 0, cr = 0;
            for (const QPoint at : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)}) {
                const QRgb c = rgb.pixel(2 * x + at.x(), 2 * y + at.y());
                cb += (qBlue(c) - luma(c)) / 1.8556 / 4;
                cr += (qRed(c) - luma(c)) / 1.5748 / 4;
            }
            storage->planes[1][size_t(y * (w / 2) + x)] = std::uint8_t(std::lround(128 + cb * 224 / 255));
            storage->planes[2][size_t(y * (w / 2) + x)] = std::uint8_t(std::lround(128 + cr * 224 / 255));
        }
    return storage;
}

static std::vector<std::shared_ptr<PlaneStorage>> makeFrames()
{
    std::vector<std::shared_ptr<PlaneStorage>> frames;
    for (int i = 0; i < 8; ++i) {
        QImage image(frameSize, QImage::Format_RGBA8888);
        QPainter painter(&image);
        QLinearGradient gradient(0, 0, frameSize.width(), frameSize.height());
        gradient.setColorAt(0, QColor::fromHsv(i * 45, 200, 230));
        gradient.setColorAt(1, QColor::fromHsv((i * 45 + 120) % 360, 200, 90));
        painter.fillRect(image.rect(), gradient);
        painter.setPen(QPen(Qt::white, 6));
        for (int x = i * 24; x < frameSize.width(); x += 192)
            painter.drawLine(x, 0, x, frameSize.height());
        painter.end();
        frames.push_back(toI420(image));
    }
    return frames;
}

static VideoFrame asVideoFrame(const std::shared_ptr<PlaneStorage>& storage, std::uint64_t serial)
{
    const int w = frameSize.width(), h = frameSize.height();
    const std::array<VideoFrame::Plane, 3> planes{VideoFrame::Plane{storage->planes[0].data(), w, w, h},
                                                  VideoFrame::Plane{storage->planes[1].data(), w / 2, w / 2, h / 2},
                                                  VideoFrame::Plane{storage->planes[2].data(), w / 2, w / 2, h / 2}};
    VideoColorimetry colorimetry = VideoColorimetry::bt709();
    colorimetry.chromaCositedH = true;
    return VideoFrame(storage, VideoFrame::Format::i420, frameSize, planes, 3, 0, {}, serial, colorimetry);
}

// The same frames uploaded and drawn as one textured quad, YUV converted in the shader: the floor any output pays.
class PlainQuad
{
  public:
    explicit PlainQuad(QOpenGLExtraFunctions* functions) : f(functions)
    {
        program.addShaderFromSourceCode(QOpenGLShader::Vertex, R"(#version 330 core
            out vec2 uv;
            void main() {
                vec2 corner = vec2(gl_VertexID & 1, gl_VertexID >> 1);
                uv = vec2(corner.x, 1.0 - corner.y);
                gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
            })");
        program.addShaderFromSourceCode(QOpenGLShader::Fragment, R"(#version 330 core
            in vec2 uv;
            out vec4 colour;
            uniform sampler2D planes[3];
            void main() {
                vec3 yuv = vec3(texture(planes[0], uv).r, texture(planes[1], uv).r, texture(planes[2], uv).r);
                yuv = (yuv - vec3(16.0, 128.0, 128.0) / 255.0) * vec3(255.0 / 219.0, 255.0 / 224.0, 255.0 / 224.0);
                mat3 bt709 = mat3(1.0, 1.0, 1.0, 0.0, -0.1873, 1.8556, 1.5748, -0.4681, 0.0);
                colour = vec4(clamp(bt709 * yuv, 0.0, 1.0), 1.0);
            })");
        program.link();
        program.bind();
        const GLint units[3] = {0, 1, 2};
        f->glUniform1iv(program.uniformLocation("planes"), 3, units);
        program.release();
        f->glGenVertexArrays(1, &vertexArray);
        f->glGenTextures(3, textures);
        for (int plane = 0; plane < 3; ++plane) {
            const QSize size = plane == 0 ? frameSize : frameSize / 2;
            f->glBindTexture(GL_TEXTURE_2D, textures[plane]);
            f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            f->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            f->glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, size.width(), size.height(), 0, GL_RED, GL_UNSIGNED_BYTE, nullptr);
        }
    }

    ~PlainQuad()
    {
        f->glDeleteTextures(3, textures);
        f->glDeleteVertexArrays(1, &vertexArray);
    }

    void draw(const PlaneStorage& frame)
    {
        f->glViewport(0, 0, frameSize.width(), frameSize.height());
        f->glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        for (int plane = 0; plane < 3; ++plane) {
            const QSize size = plane == 0 ? frameSize : frameSize / 2;
            f->glActiveTexture(GL_TEXTURE0 + plane);
            f->glBindTexture(GL_TEXTURE_2D, textures[plane]);
            f->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, size.width(), size.height(), GL_RED, GL_UNSIGNED_BYTE,
                               frame.planes[plane].data());
        }
        f->glActiveTexture(GL_TEXTURE0);
        f->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        program.bind();
        f->glBindVertexArray(vertexArray);
        f->glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        f->glBindVertexArray(0);
        program.release();
        f->glFinish();
    }

  private:
    QOpenGLExtraFunctions* f;
    QOpenGLShaderProgram program;
    GLuint vertexArray = 0;
    GLuint textures[3] = {};
};

static double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct EditTiming
{
    double median = 0;
    double worst = 0;
    double updateMedian = 0; // the CPU side alone: new mesh or masks
};

struct EditFigures
{
    EditTiming node, blend, mask;
};

constexpr int editCount = 30;

// An operator dragging in the mapping editor: each step changes the mapping and the next frame must show it.
static EditFigures timeEdits(OffscreenMeshRenderer& gl, MeshInputs inputs,
                             const std::vector<std::shared_ptr<PlaneStorage>>& frames, std::uint64_t& serial)
{
    const auto time = [&](const std::function<void(ProjectorMapping&, int)>& edit) {
        std::vector<double> times, updates;
        for (int step = 0; step < editCount; ++step) {
            edit(inputs.mapping, step);
            inputs.frames->receive(asVideoFrame(frames[size_t(step) % frames.size()], ++serial), *inputs.item);
            QElapsedTimer timer;
            timer.start();
            gl.renderer().update(inputs);
            updates.push_back(timer.nsecsElapsed() / 1e6);
            gl.drawFrame(frameSize);
            times.push_back(timer.nsecsElapsed() / 1e6);
        }
        return EditTiming{median(times), *std::max_element(times.begin(), times.end()), median(updates)};
    };
    EditFigures figures;
    figures.node = time(
        [](ProjectorMapping& mapping, int step) { (*mapping.mesh)[140] += QPointF(0.001, step % 2 ? -0.001 : 0.001); });
    figures.blend = time([](ProjectorMapping& mapping, int step) { mapping.edges[0] = 0.1 + 0.001 * step; });
    figures.mask = time([](ProjectorMapping& mapping, int step) {
        (*mapping.polygonMask)[0] += QPointF(0, 0.001 * (step % 2 ? -1 : 1));
    });
    return figures;
}

static double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Wall time and CPU time (all of the GL driver's threads) per frame.
struct FrameCost
{
    double wall = 1e9;
    double cpu = 1e9;
};

static FrameCost costPerFrame(const std::function<void(int)>& drawFrame)
{
    for (int i = 0; i < warmUp; ++i)
        drawFrame(i);
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = processCpuSeconds();
    for (int i = 0; i < measured; ++i)
        drawFrame(warmUp + i);
    return {timer.nsecsElapsed() / 1e9 / measured, (processCpuSeconds() - cpuStart) / measured};
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const double windowSeconds = argc > 1 ? std::atof(argv[1]) : 30;
    OffscreenMeshRenderer gl;
    if (!gl.isValid()) {
        std::fprintf(stderr, "no OpenGL 3.3 context: %s (run under xvfb-run)\n", qPrintable(gl.errorText()));
        return 1;
    }
    const std::vector<std::shared_ptr<PlaneStorage>> frames = makeFrames();

    auto feed = std::make_shared<MeshFrames>();
    MeshInputs inputs;
    inputs.mapping = outputwindows::showMapping();
    inputs.frames = feed;
    inputs.item = 1;
    gl.renderer().update(inputs);
    std::uint64_t serial = 0;
    const auto mapped = [&](int i) {
        feed->receive(asVideoFrame(frames[i % frames.size()], ++serial), 1);
        gl.drawFrame(frameSize);
    };

    gl.bindFramebuffer(frameSize);
    QOpenGLExtraFunctions* functions = gl.context().extraFunctions();
    PlainQuad quad(functions);
    const auto plain = [&](int i) {
        gl.bindFramebuffer(frameSize);
        quad.draw(*frames[i % frames.size()]);
    };

    // Two interleaved rounds; the better of each keeps a passing hiccup out of the figures.
    FrameCost plainCost, mappedCost;
    for (int round = 0; round < 2; ++round) {
        const FrameCost plainRound = costPerFrame(plain);
        const FrameCost mappedRound = costPerFrame(mapped);
        plainCost = {std::min(plainCost.wall, plainRound.wall), std::min(plainCost.cpu, plainRound.cpu)};
        mappedCost = {std::min(mappedCost.wall, mappedRound.wall), std::min(mappedCost.cpu, mappedRound.cpu)};
    }
    const double plainTime = plainCost.wall, mappedTime = mappedCost.wall;
    if (!gl.errorText().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(gl.errorText()));
        return 1;
    }
    const EditFigures edits = timeEdits(gl, inputs, frames, serial);
    std::vector<double> conversions;
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QImage held = asVideoFrame(frames[size_t(i) % frames.size()], 0).toImage();
        conversions.push_back(timer.nsecsElapsed() / 1e6);
    }

    const auto renderer = reinterpret_cast<const char*>(functions->glGetString(GL_RENDERER));
    std::printf("machine: %s, %d threads; GL renderer: %s\n", qPrintable(QSysInfo::prettyProductName()),
                QThread::idealThreadCount(), renderer ? renderer : "?");
    std::printf("frames: %dx%d I420 BT.709 video, %d measured per round, best of 2 rounds\n", frameSize.width(),
                frameSize.height(), measured);
    std::printf("plain textured quad:              %7.1f fps  (%.2f ms/frame)\n", 1 / plainTime, plainTime * 1e3);
    std::printf("17x17 curved mesh, blends, mask:  %7.1f fps  (%.2f ms/frame)\n", 1 / mappedTime, mappedTime * 1e3);
    std::printf("mapped / plain frame time:        %7.2fx  (goal <= 1.3x)\n", mappedTime / plainTime);
    std::printf("CPU time per frame, all GL threads: plain %.2f ms, mapped %.2f ms, mapped / plain %.2fx\n",
                plainCost.cpu * 1e3, mappedCost.cpu * 1e3, mappedCost.cpu / plainCost.cpu);
    std::printf(
        "frame after a mapping edit (update and draw, median / worst of %d, update alone median; goal < 12 ms):\n",
        editCount);
    const auto printEdit = [](const char* what, const EditTiming& timing) {
        std::printf("  %-31s %7.2f / %.2f ms  (update %.2f ms)\n", what, timing.median, timing.worst,
                    timing.updateMedian);
    };
    printEdit("mesh node moved:", edits.node);
    printEdit("edge blend changed:", edits.blend);
    printEdit("mask point moved:", edits.mask);
    std::printf("held transition frame, 1080p I420 to RGB on a worker thread: %.2f ms median\n", median(conversions));
    gl.context().doneCurrent();
    return outputwindows::run(windowSeconds, outputwindows::showMapping());
}
