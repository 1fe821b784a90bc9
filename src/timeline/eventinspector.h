#pragma once

#include "timelineevent.h"

#include <QList>
#include <QUuid>
#include <QWidget>
#include <optional>

class NumberField;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class TimelineEditorModel;

// Edits one event of the edited cue: its time, layer, picture duration, media file and video sound, or opens a
// communication event in its sheet. Made for one event of one cue; each change goes through the model, which
// refuses what would overlap and says so in the note, and the fields then show the stored event again.
class EventInspector : public QWidget
{
    Q_OBJECT
  public:
    EventInspector(TimelineEditorModel& model, int cueIndex, const TimelineEvent& event, QWidget* parent = nullptr);

    // The height of the heading and the time row: what the inspector keeps in view however short the window.
    static int firstFieldsHeight();

    QUuid eventID() const { return m_snapshot.id; }
    int cueIndex() const { return m_cueIndex; }

  private:
    // The stored event, or the one shown when it was made once the cue no longer holds it.
    TimelineEvent current() const;
    void write(const TimelineEvent& edited);
    QWidget* makeLayerRow();
    QWidget* makeAssetRow();
    void refresh();
    void refreshLayers(const TimelineEvent& event);
    void refreshAssets(const TimelineEvent& event, const std::optional<MediaAsset>& asset);

    TimelineEditorModel& m_model;
    int m_cueIndex;
    TimelineEvent m_snapshot;
    QLabel* m_title;
    NumberField* m_time;
    QLabel* m_timeWarning;
    QWidget* m_layerRow = nullptr;
    QComboBox* m_layer = nullptr;
    QList<qint64> m_layerNumbers;
    QWidget* m_pictureDuration = nullptr;
    NumberField* m_pictureSeconds = nullptr;
    QLabel* m_duration = nullptr;
    QComboBox* m_asset = nullptr;
    // The library entry of each option of m_asset; none for "未选择或素材缺失".
    QList<std::optional<QUuid>> m_assetIds;
    QCheckBox* m_videoSound = nullptr;
};
