#pragma once

#include "show.h"

#include <QWidget>
#include <functional>

class ConsoleState;
class Engine;
class NumberField;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class Stepper;

// The lighting sheet: the show's Art-Net target and universe with "应用", the lights' black switch, and the selected
// cue's lighting action (one DMX channel faded to a level). Every field edits the engine's show or calls one engine
// operation; "完成" closes the sheet.
class LightingModuleView : public QWidget
{
    Q_OBJECT
  public:
    static constexpr QSize fixedSize{440, 390};

    explicit LightingModuleView(ConsoleState& state, QWidget* parent = nullptr);

  private:
    QGroupBox* makeArtNetSection();
    QGroupBox* makeCueSection();
    void refresh();
    // Writes one change of the selected cue's lighting back into the show: one recorded edit.
    void editLighting(const std::function<void(std::optional<Lighting>&)>& change);

    ConsoleState& m_state;
    Engine& m_engine;
    QLineEdit* m_host = nullptr;
    NumberField* m_universe = nullptr;
    QCheckBox* m_lightsBlack = nullptr;
    QGroupBox* m_cueSection = nullptr;
    QCheckBox* m_enabled = nullptr;
    QWidget* m_action = nullptr;
    Stepper* m_address = nullptr;
    Stepper* m_level = nullptr;
    NumberField* m_fade = nullptr;
};
