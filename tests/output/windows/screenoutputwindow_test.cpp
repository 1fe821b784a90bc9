#include "displaybindings.h"
#include "displayprovider.h"
#include "engine.h"
#include "eventwait.h"
#include "fakeplayer.h"
#include "mappedoutput.h"
#include "picture.h"
#include "realoutputs.h"
#include "screendisplayprovider.h"
#include "screenoutputwindows.h"

#include <QDir>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QWindow>
#include <gtest/gtest.h>

static const ScreenRole kSecond{QStringLiteral("屏幕 2")};

static QWindow* windowTitled(const QString& title)
{
    for (QWindow* window : QGuiApplication::topLevelWindows())
        if (window->isVisible() && window->title() == title)
            return window;
    return nullptr;
}

// What the X server itself says of the window: "x y width height".
static QString xGeometry(const QByteArray& screen, const QString& title)
{
    QProcess info;
    info.start(QStringLiteral("xwininfo"),
               {QStringLiteral("-display"), QString::fromLatin1(screen), QStringLiteral("-name"), title});
    if (!info.waitForFinished(10000))
        return {};
    QStringList values;
    for (const QByteArray& line : info.readAllStandardOutput().split('\n'))
        for (const char* key : {"Absolute upper-left X:", "Absolute upper-left Y:", "Width:", "Height:"})
            if (line.trimmed().startsWith(key))
                values.append(QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed()));
    return values.join(' ');
}

static QImage bands(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    const QList<QColor> colours{Qt::red, Qt::green, Qt::blue, Qt::yellow};
    for (int i = 0; i < colours.size(); ++i)
        painter.fillRect(QRectF(size.width() * i / 4.0, 0, size.width() / 4.0, size.height()), colours[i]);
    return image;
}

TEST(TwoDisplays, IdentitiesTellTwoScreensOfTheSameNameApart)
{
    ASSERT_EQ(QGuiApplication::screens().size(), 2);
    EXPECT_EQ(QGuiApplication::screens()[0]->name(), QGuiApplication::screens()[1]->name());
    const QList<DisplayScreen> displays = ScreenDisplayProvider().displays();
    ASSERT_EQ(displays.size(), 2);
    EXPECT_NE(displays[0].identity, displays[1].identity);
    EXPECT_NE(displays[0].number, displays[1].number);
    EXPECT_EQ(displays[0].identity.size(), 36);
    EXPECT_EQ(displays[1].displayName(), displays[1].name + QStringLiteral(" · 1920 × 1080"));
    EXPECT_EQ(ScreenDisplayProvider().displays(), displays);
    EXPECT_EQ(ScreenDisplayProvider::screen(displays[1].number), QGuiApplication::screens()[1]);
}

// "width×height identity" per display, as a process whose default X screen is the given one sees them.
static std::string identitiesWithDefaultScreen(int screen)
{
    QProcess lister;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString display = environment.value(QStringLiteral("DISPLAY")).section(QLatin1Char('.'), 0, 0);
    environment.insert(QStringLiteral("DISPLAY"), display + QStringLiteral(".%1").arg(screen));
    lister.setProcessEnvironment(environment);
    lister.start(QStringLiteral(DISPLAY_IDENTITIES), {});
    if (!lister.waitForFinished(20000))
        return "the lister did not finish";
    QStringList lines = QString::fromUtf8(lister.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    lines.sort();
    return lines.join(QStringLiteral("; ")).toStdString();
}

// Qt puts the primary display first; a binding must find its display whichever X screen is the default.
TEST(TwoDisplays, IdentitiesDoNotDependOnWhichScreenIsPrimary)
{
    const std::string fromFirst = identitiesWithDefaultScreen(0);
    ASSERT_EQ(std::count(fromFirst.begin(), fromFirst.end(), ';'), 1) << fromFirst;
    EXPECT_EQ(identitiesWithDefaultScreen(1), fromFirst);
}

TEST(TwoDisplays, BoundScreenCoversTheSecondDisplayWithItsMappedProgramme)
{
    QTemporaryDir folder;
    Engine engine(true, nullptr, folder.path(), realOutputServices());
    Show show = engine.show();
    show.outputScreens = QList<ScreenRole>{ScreenRole{QStringLiteral("屏幕 1")}, kSecond};
    engine.setShow(show);
    engine.program(kSecond)->setImage(bands({1920, 1080}));
    ProjectorMapping mapping;
    mapping.enabled = true;
    mapping.corners = {{0.1, 0.1}, {0.9, 0}, {0.9, 1}, {0.1, 0.9}};
    mapping.edges = {0, 0.1, 0, 0};
    engine.setMapping(mapping, kSecond);

    QWidget console;
    console.setWindowTitle(QStringLiteral("Lumoria"));
    console.setScreen(QGuiApplication::screens()[0]);
    console.resize(400, 300);
    console.show();
    ASSERT_TRUE(waitUntil([&] { return console.windowHandle()->isExposed(); }));

    const QList<DisplayScreen> displays = engine.displays();
    ASSERT_EQ(displays.size(), 2);
    engine.bind(kSecond, displays[0].number);
    EXPECT_EQ(engine.message(), QStringLiteral("请先把控制台移到另一块显示器"));
    EXPECT_FALSE(engine.displayBindings().hasWindow(kSecond));

    engine.bind(kSecond, displays[1].number);
    EXPECT_EQ(engine.message(), QStringLiteral("屏幕 2已绑定 · ") + displays[1].name);
    EXPECT_EQ(engine.screenStatus(kSecond), QStringLiteral("在线"));
    QWindow* window = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (window = windowTitled(kSecond.rawValue)) && window->isExposed(); }));
    EXPECT_EQ(window->screen(), QGuiApplication::screens()[1]);
    EXPECT_EQ(window->geometry(), QRect(0, 0, 1920, 1080));
    EXPECT_TRUE(
        window->flags().testFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput));
    EXPECT_EQ(xGeometry(qgetenv("DISPLAY") + ".1", kSecond.rawValue), QStringLiteral("0 0 1920 1080"));

    // What the second X screen shows: the programme pinned to the mapping's quad, black around it.
    QImage capture;
    EXPECT_TRUE(waitUntil([&] {
        capture = QGuiApplication::screens()[1]->grabWindow(0).toImage();
        return capture.pixelColor(400, 540) == QColor(Qt::red);
    }));
    QDir().mkpath(QStringLiteral(LUMO_TEST_SHOTS));
    capture.save(QStringLiteral(LUMO_TEST_SHOTS "/output-window-screen2.png"));
    EXPECT_EQ(capture.pixelColor(100, 540), QColor(Qt::black));
    EXPECT_EQ(capture.pixelColor(1850, 540), QColor(Qt::black));
    EXPECT_EQ(capture.pixelColor(300, 40), QColor(Qt::black));
    EXPECT_LT(capture.pixelColor(1720, 540).value(), 80); // blended out towards the right edge

    // A mesh replaces the corner pin in place: the window stays where it is and draws through the renderer.
    mapping.corners = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    QList<QPointF> nodes = mapping.meshPoints();
    nodes[4] += QPointF(0.15, 0);
    mapping.mesh = nodes;
    engine.setMapping(mapping, kSecond);
    EXPECT_TRUE(waitUntil([&] {
        capture = QGuiApplication::screens()[1]->grabWindow(0).toImage();
        return capture.pixelColor(1100, 540) == QColor(Qt::green);
    }));
    capture.save(QStringLiteral(LUMO_TEST_SHOTS "/output-window-screen2-curved.png"));
    EXPECT_EQ(windowTitled(kSecond.rawValue)->screen(), QGuiApplication::screens()[1]);
    EXPECT_EQ(xGeometry(qgetenv("DISPLAY") + ".1", kSecond.rawValue), QStringLiteral("0 0 1920 1080"));

    engine.bind(kSecond, std::nullopt);
    EXPECT_FALSE(engine.displayBindings().hasWindow(kSecond));
    EXPECT_TRUE(waitUntil([&] { return !windowTitled(kSecond.rawValue); }));
    EXPECT_EQ(engine.screenStatus(kSecond), QStringLiteral("仅监看"));
}

TEST(TwoDisplays, OutputWindowThatCannotDrawSaysWhyOnTheStatusLine)
{
    QTemporaryDir folder;
    Engine::Services services;
    services.displays = std::make_shared<ScreenDisplayProvider>();
    services.windows = std::make_shared<ScreenOutputWindows>(
        OutputRenderOptions{.createContext = [](QOpenGLContext&) { return false; }});
    services.players = fakePlayers();
    Engine engine(true, nullptr, folder.path(), services);
    Show show = engine.show();
    show.outputScreens = QList<ScreenRole>{ScreenRole{QStringLiteral("屏幕 1")}, kSecond};
    engine.setShow(show);
    const QList<DisplayScreen> displays = engine.displays();
    ASSERT_EQ(displays.size(), 2);

    engine.bind(kSecond, displays[1].number);
    EXPECT_TRUE(waitUntil(
        [&] { return engine.message() == QStringLiteral("输出窗口无法绘制 · 屏幕 2（没有可用的 OpenGL 上下文）"); }));
    EXPECT_TRUE(engine.displayBindings().hasWindow(kSecond));
    ASSERT_TRUE(windowTitled(kSecond.rawValue));

    engine.bind(kSecond, std::nullopt);
    EXPECT_TRUE(waitUntil([&] { return !windowTitled(kSecond.rawValue); }));
}
