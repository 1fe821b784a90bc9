#pragma once

#include "mediafilechooser.h"
#include "show.h"

#include <QWidget>
#include <functional>

class AssetPicker;
struct CueOfShow;
class AudioMixerView;
class ConsoleState;
class Engine;
class NumberField;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSlider;
class QToolButton;

// The console's right-hand column: the selected cue's settings (name, the media of a cue without a timeline, its
// bus, video sound, ending and GO delay), the lighting entry, and the bus volumes with the channel mixer. Cue edits
// are written into the engine's show, one undo step each; volumes go to the engine's own properties.
class Inspector : public QWidget
{
    Q_OBJECT
  public:
    // The slider's steps between volume 0 and 1.
    static constexpr int volumeSteps = 1000;

    Inspector(ConsoleState& state, MediaFileChooser chooser, QWidget* parent = nullptr);

    AudioMixerView* mixer() const { return m_mixer; }

  private:
    QWidget* makeCueSettings();
    QWidget* makeMediaGroup();
    QWidget* makeLightingEntry();
    QWidget* makeOutputSettings();
    AssetPicker* makePicker(const QString& title, QList<AssetKind> kinds, std::optional<QUrl> Cue::*file,
                            bool videoRule);
    QSlider* makeVolumeSlider(const QString& name, const std::function<void(double)>& write);
    QComboBox* makeChoice(const QString& name, const QStringList& texts);

    void refresh();
    void refreshVolumes();
    void refreshMixerGroup();
    // Writes one change of the selected cue back into the show: one recorded edit.
    void editCue(const std::function<void(Cue&)>& change);
    // The same for the cue a file was asked for; false when it is gone.
    bool editCue(const CueOfShow& asked, const std::function<void(Cue&)>& change);

    ConsoleState& m_state;
    Engine& m_engine;
    MediaFileChooser m_chooser;
    QWidget* m_cueSettings = nullptr;
    QLineEdit* m_name = nullptr;
    QWidget* m_mediaGroup = nullptr;
    AssetPicker* m_main = nullptr;
    QCheckBox* m_mirror = nullptr;
    AssetPicker* m_side = nullptr;
    AssetPicker* m_audio = nullptr;
    QComboBox* m_bus = nullptr;
    QCheckBox* m_videoSound = nullptr;
    QComboBox* m_ending = nullptr;
    NumberField* m_delay = nullptr;
    QSlider* m_music = nullptr;
    QSlider* m_effects = nullptr;
    QToolButton* m_mixerToggle = nullptr;
    QWidget* m_mixerGroup = nullptr;
    AudioMixerView* m_mixer = nullptr;
};
