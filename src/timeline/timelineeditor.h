#pragma once

#include "consolesheet.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <functional>

class Engine;
class ElidedLabel;
class EventInspector;
class LumoSettings;
class MediaDurationLoader;
class QHBoxLayout;
class QLabel;
class QScrollArea;
class QSplitter;
class QVBoxLayout;
class TimelineClockLabel;
class TimelineEditorModel;

// The console's main area: the cue list over the media library on the left; on the right the screens column, the
// timeline's header, controls, timeline and navigation, and the selected event's inspector. It presents the
// communication-event sheet and the lane-deletion alert while the model asks for them, turns scrub requests into
// timeline previews, and measures the library's missing media lengths in the background.
class TimelineEditor : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int kLeftColumnWidth = 220;
    // The timeline shows the ruler and at most this many lanes before it scrolls.
    static constexpr int kVisibleLanes = 7;

    TimelineEditor(Engine& engine, QWidget* programList, QWidget* monitors, std::function<void()> showPreview,
                   QWidget* parent = nullptr);
    ~TimelineEditor() override;

    TimelineEditorModel& model() const { return *m_model; }
    // Keeps the snap switch in the console's stored setting, both ways.
    void bindSnapSetting(LumoSettings& settings);

    QScrollArea* timelineScroll() const { return m_timelineScroll; }
    // The right column's scroll area, which scrolls the whole column when the window is too short for it.
    QScrollArea* rightColumnScroll() const { return m_rightScroll; }
    EventInspector* eventInspector() const { return m_inspector; }
    // The sheet and the alert while shown.
    ConsoleSheet* messageSheet() const { return m_messageSheet; }
    QMessageBox* laneDeletionAlert() const { return m_laneAlert; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* makeLeftColumn(QWidget* programList);
    QWidget* makeRightColumn(QWidget* monitors);
    QWidget* makeEditingPane();
    void sizeLeftColumn();
    void refresh();
    void refreshInspector();
    void bringInspectorIntoView();
    void previewScrub();
    void showMessageSheet();
    void showLaneAlert();

    Engine& m_engine;
    TimelineEditorModel* m_model;
    MediaDurationLoader* m_durations;
    QSplitter* m_leftColumn = nullptr;
    bool m_cueListDragged = false;
    QVBoxLayout* m_rightColumn = nullptr;
    QScrollArea* m_rightScroll = nullptr;
    QHBoxLayout* m_headerRow = nullptr;
    ElidedLabel* m_cueName = nullptr;
    TimelineClockLabel* m_clock = nullptr;
    QWidget* m_editingPane = nullptr;
    QWidget* m_noCue = nullptr;
    QScrollArea* m_timelineScroll = nullptr;
    QWidget* m_picker = nullptr;
    QScrollArea* m_inspectorScroll = nullptr;
    // What the inspector keeps in view at the least: the event picker and the event's first fields.
    int m_inspectorFloor = 0;
    QVBoxLayout* m_inspectorColumn = nullptr;
    EventInspector* m_inspector = nullptr;
    QLabel* m_hint = nullptr;
    QPointer<ConsoleSheet> m_messageSheet;
    QPointer<QMessageBox> m_laneAlert;
};
