#include "screendisplayprovider.h"

#include <QGuiApplication>
#include <QHash>
#include <QScreen>
#include <QStringList>

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

// Several displays may report the same name and no serial (two outputs of one virtual X server): the
// position among equals then tells them apart.
QList<DisplayScreen> ScreenDisplayProvider::displays() const
{
    if (!qGuiApp)
        return {};
    QList<DisplayScreen> result;
    QHash<QString, int> seen;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QString base = QStringList{screen->manufacturer(), screen->model(), screen->serialNumber(), screen->name()}
                                 .join(QLatin1Char('|'));
        const int occurrence = seen[base]++;
        DisplayScreen display;
        display.identity = occurrence == 0 ? base : base + QStringLiteral("#%1").arg(occurrence + 1);
        display.number = numberFor(display.identity);
        display.name = screen->name();
        display.geometry = screen->geometry();
        display.pixelSize = (QSizeF(screen->geometry().size()) * screen->devicePixelRatio()).toSize();
        result.append(display);
    }
    return result;
}
