#include "audiochannelmixer.h"
#include "consoleview.h"
#include "consolewindow.h"
#include "engine.h"
#include "eventwait.h"
#include "lumoriaapp.h"
#include "lumostyle.h"
#include "mediafixtures.h"
#include "singlewindows.h"
#include "timelineeditor.h"
#include "timelineeditormodel.h"

#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

// What an operator sets and a stray wheel must never touch: the show, and the mixer's own settings.
struct Settings
{
    Show show;
    AudioChannelMixer::ChannelSettings channels;
    double music;
    double effects;

    static Settings of(const Engine& engine)
    {
        return {engine.show(), engine.audioMixer()->channelSettings(), engine.musicVolume(), engine.effectsVolume()};
    }
    bool operator==(const Settings& other) const
    {
        return show == other.show && channels.gains == other.channels.gains && channels.muted == other.channels.muted &&
               music == other.music && effects == other.effects;
    }
};

bool takesValues(const QWidget* widget)
{
    return qobject_cast<const QComboBox*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget) ||
           (qobject_cast<const QAbstractSlider*>(widget) && !qobject_cast<const QScrollBar*>(widget));
}

void notch(QWidget* control, int angle)
{
    const QPointF centre = QRectF(control->rect()).center();
    QWheelEvent wheel(centre, control->mapToGlobal(centre), {}, {0, angle}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(control, &wheel);
}

// The panel that a wheel over the control scrolls, when it has room to scroll.
QScrollBar* panelScrollBar(QWidget* control)
{
    for (QWidget* parent = control->parentWidget(); parent; parent = parent->parentWidget())
        if (auto* area = qobject_cast<QAbstractScrollArea*>(parent); area && area->viewport()->isAncestorOf(control))
            return area->verticalScrollBar()->maximum() > 0 ? area->verticalScrollBar() : nullptr;
    return nullptr;
}

} // namespace

// The console, the timeline editor with an event open and the mapping editor, every combo box, slider and spin box
// of them given a wheel notch each way: nothing that the operator set changes, and a panel that can scroll does.
TEST(OperatorHands, AWheelOverAValueControlScrollsItsPanelAndChangesNothing)
{
    applyLumoStyle(*qApp);
    QTemporaryDir folder;
    LumoriaApp app({folder.filePath("recovery"), folder.filePath("settings.ini")});
    Engine& engine = app.engine();
    TimelineEditor* editor = app.consoleWindow().view()->timelineEditor();
    ASSERT_NE(editor, nullptr);
    // Tall enough that the timeline's inspector column keeps some room beside the monitors.
    app.consoleWindow().resize(1280, 800);
    app.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&app.consoleWindow()));

    engine.setSelected(engine.show().cues[0].id);
    const QUrl still = QUrl::fromLocalFile(MediaFixtures::png({320, 180}, Qt::darkCyan));
    editor->model().library().insertFile(still, {Track::main, 1, kScreen1}, 0);
    waitUntil([&] { return !editor->model().library().importing(); });
    ASSERT_TRUE(engine.show().cues[0].timeline);
    editor->model().selection().setEventID(engine.show().cues[0].timeline->first().id);
    app.openWindow("projector-mapping");
    runEvents(300);

    Settings settings = Settings::of(engine);
    int controls = 0;
    int scrolled = 0;
    for (QWidget* window : QApplication::topLevelWidgets())
        for (QWidget* control : window->findChildren<QWidget*>()) {
            if (!takesValues(control))
                continue;
            ++controls;
            // The timeline's zoom and position sliders take the wheel themselves: it moves the view, not the show.
            const bool movesView = control->property("lumoWheelMovesView").toBool();
            QScrollBar* panel = control->isVisible() && !movesView ? panelScrollBar(control) : nullptr;
            if (panel)
                panel->setValue(0);
            for (int angle : {-120, 120, 120}) {
                notch(control, angle);
                if (const Settings now = Settings::of(engine); !(now == settings)) {
                    ADD_FAILURE() << control->metaObject()->className() << " " << control->objectName().toStdString()
                                  << " " << control->accessibleName().toStdString() << " in "
                                  << window->windowTitle().toStdString();
                    settings = now;
                }
                if (panel && angle < 0) {
                    EXPECT_GT(panel->value(), 0) << control->objectName().toStdString();
                    scrolled += panel->value() > 0;
                }
            }
        }
    EXPECT_GE(controls, 20) << "the console, the timeline editor and the mapping editor";
    EXPECT_GT(scrolled, 0);
}
