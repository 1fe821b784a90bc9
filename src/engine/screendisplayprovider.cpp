#include "screendisplayprovider.h"

#include "xscreennumber.h"

#include <QGuiApplication>
#include <QHash>
#include <QScreen>
#include <QStringList>
#include <QUuid>
#include <QWindow>

ScreenDisplayProvider::ScreenDisplayProvider(QObject* parent) : DisplayProvider(parent)
{
    if (!qGuiApp)
        return;
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watch(screen);
        emit displaysChanged();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &DisplayProvider::displaysChanged);
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
}

void ScreenDisplayProvider::watch(QScreen* screen)
{
    connect(screen, &QScreen::geometryChanged, this, &DisplayProvider::displaysChanged);
    connect(screen, &QScreen::orientationChanged, this, &DisplayProvider::displaysChanged);
}

// Shared by every provider so that a display keeps its number for the whole process.
static int numberFor(const QString& identity)
{
    static QHash<QString, int> numbers;
    const auto found = numbers.constFind(identity);
    if (found != numbers.constEnd())
        return *found;
    const int number = int(numbers.size()) + 1;
    numbers.insert(identity, number);
    return number;
}

// The same display gives the same identity in every run: a name-based UUID of what the display says of itself.
// Displays that say nothing of maker, model or serial (the screens of a virtual X server, all named alike) are
// told apart by their X screen, which keeps its number whichever is primary; off X, by their position among
// equals. The first X screen keeps the key that position gave it before.
static QList<std::pair<QScreen*, QString>> identifiedScreens()
{
    static const QUuid space = QUuid::fromString(QStringLiteral("{4c7d2b8e-5a31-4f0e-9a8b-2f61c3d07e15}"));
    QList<std::pair<QScreen*, QString>> result;
    QHash<QString, int> seen;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QString base =
            QStringList{screen->manufacturer(), screen->model(), screen->serialNumber(), screen->name()}.join(
                QLatin1Char('|'));
        const bool describesItself =
            !screen->manufacturer().isEmpty() || !screen->model().isEmpty() || !screen->serialNumber().isEmpty();
        const std::optional<int> xScreen = describesItself ? std::nullopt : xScreenNumber(screen);
        QString key = base + QStringLiteral("#%1").arg((xScreen ? *xScreen : seen[base]++) + 1);
        // Two outputs of one X screen that name themselves alike still get identities of their own.
        if (xScreen) {
            const int again = seen[key]++;
            if (again > 0)
                key += QStringLiteral(".%1").arg(again);
        }
        result.append({screen, QUuid::createUuidV5(space, key).toString(QUuid::WithoutBraces).toUpper()});
    }
    return result;
}

// The mode a panel reports is in its native orientation; Qt gives the frame in the current one.
static QSize modePixels(const QScreen* screen)
{
    const QSize current = (QSizeF(screen->size()) * screen->devicePixelRatio()).toSize();
    const bool nativePortrait = screen->nativeOrientation() == Qt::PortraitOrientation;
    const bool currentPortrait = current.height() > current.width();
    return nativePortrait == currentPortrait ? current : current.transposed();
}

QList<DisplayScreen> ScreenDisplayProvider::displays() const
{
    if (!qGuiApp)
        return {};
    QList<DisplayScreen> result;
    for (const auto& [screen, identity] : identifiedScreens()) {
        DisplayScreen display;
        display.identity = identity;
        display.number = numberFor(identity);
        display.name = screen->name();
        display.geometry = screen->geometry();
        display.pixelSize =
            DisplayScreen::pixelSizeFor(modePixels(screen), screen->geometry().size(), screen->devicePixelRatio());
        result.append(display);
    }
    return result;
}

QScreen* ScreenDisplayProvider::screen(int number)
{
    if (!qGuiApp)
        return nullptr;
    for (const auto& [screen, identity] : identifiedScreens())
        if (numberFor(identity) == number)
            return screen;
    return nullptr;
}

bool ScreenDisplayProvider::isOn(const QWindow* window, int number)
{
    return window && window->screen() && window->screen() == screen(number);
}

bool ScreenDisplayProvider::holdsConsole(int number) const
{
    if (!qGuiApp)
        return false;
    const QWindowList windows = QGuiApplication::topLevelWindows();
    return std::any_of(windows.cbegin(), windows.cend(), [&](const QWindow* window) {
        return window->isVisible() && window->title() == QStringLiteral("Lumoria") && isOn(window, number);
    });
}

bool ScreenDisplayProvider::holdsKeyWindow(int number) const
{
    return qGuiApp && isOn(QGuiApplication::focusWindow(), number);
}
