// The mapping editor driving a real output window: the time from a drag event on a node of a 17 × 17 curved mesh
// in the editor to the output window having drawn the moved node (the editor's own preview redraws in between, as
// it does for the operator). Needs an X server (xvfb-run).
#include "engine.h"
#include "mappingoverlay.h"
#include "picture.h"
#include "projectionmappingeditor.h"
#include "realoutputs.h"
#include "screenoutputwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

constexpr int drags = 200;
constexpr int node = 8 * 17 + 8;

static void send(QWidget& overlay, QEvent::Type type, QPointF position)
{
    QMouseEvent event(type, position, overlay.mapToGlobal(position), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&overlay, &event);
}

struct Figures
{
    std::vector<double> handled;
    std::vector<double> drawn;
};

static void print(const char* what, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    const auto at = [&](double fraction) { return times[size_t(fraction * double(times.size() - 1))]; };
    std::printf("%-72s %7.2f %7.2f %7.2f\n", what, at(0.5), at(0.99), times.back());
}

static void wait(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir folder;
    Engine engine(true, nullptr, folder.path(), realOutputServices());
    const ScreenRole screen = engine.show().screens().first();
    QImage picture(1920, 1080, QImage::Format_RGB32);
    picture.fill(QColor(40, 90, 160));
    engine.program(screen)->setImage(picture);
    ProjectorMapping mapping;
    mapping.enabled = true;
    mapping.meshRows = 17;
    mapping.meshColumns = 17;
    mapping.mesh = mapping.meshPoints();
    mapping.edges = {0.1, 0.1, 0, 0};
    engine.setMapping(mapping, screen);
    if (engine.displays().isEmpty()) {
        std::printf("mapping editor drag: skipped, needs a display (xvfb-run)\n");
        return 0;
    }
    engine.bind(screen, engine.displays().first().number);

    ScreenOutputWindow* output = nullptr;
    for (QWindow* window : QGuiApplication::topLevelWindows())
        if (auto* candidate = qobject_cast<ScreenOutputWindow*>(window))
            output = candidate;
    if (!output) {
        std::fprintf(stderr, "mapping editor drag: the output window did not open\n");
        return 1;
    }
    ProjectionMappingEditor editor(engine);
    editor.resize(980, 570);
    editor.show();
    wait(1500);
    // Counted on the main thread: each step waits there until the output window has swapped.
    int swaps = 0;
    QObject::connect(output, &ScreenOutputWindow::frameSwapped, output, [&swaps] { ++swaps; });

    // Each step: the event (or write) handled, then the event loop runs until the output window has swapped.
    // Counting starts from the first frame shown: step 0 only brings the output to that frame.
    const auto run = [&](const std::function<void(int)>& step) {
        Figures figures;
        QElapsedTimer clock;
        for (int i = 0; i <= drags; ++i) {
            const int before = swaps;
            clock.start();
            step(i);
            const double handled = clock.nsecsElapsed() / 1e6;
            while (swaps == before && clock.elapsed() < 1000)
                QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            if (i > 0) {
                figures.handled.push_back(handled);
                figures.drawn.push_back(clock.nsecsElapsed() / 1e6);
            }
            // Pointer events arrive apart, as a hand moves; the next one comes after this frame.
            wait(5);
        }
        return figures;
    };

    MappingOverlay& overlay = *editor.overlay();
    const QPointF start = overlay.pointPosition(node);
    send(overlay, QEvent::MouseButtonPress, start);
    wait(200);
    const Figures dragged =
        run([&](int i) { send(overlay, QEvent::MouseMove, start + QPointF(i % 2 ? 6 : -6, i % 3 - 1)); });
    send(overlay, QEvent::MouseButtonRelease, start);

    editor.hide();
    wait(500);
    const Figures written = run([&](int i) {
        ProjectorMapping moved = engine.mapping(screen);
        (*moved.mesh)[node] = QPointF(0.5 + (i % 2 ? 0.01 : -0.01), 0.5);
        engine.setMapping(moved, screen);
    });

    std::printf("mapping editor drag of a 17x17 mesh node, %d drags, median / p99 / worst in ms:\n", drags);
    print("  event to the output window's next frame", dragged.drawn);
    print("  the editor handling the event (write, panel, overlay, preview)", dragged.handled);
    print("  the same move written to the engine, editor closed, to the next frame", written.drawn);
    std::printf("  goal: event to output frame within one frame, 16.7 ms\n");
    return 0;
}
