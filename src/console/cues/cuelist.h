#pragma once

#include <QWidget>

class ConsoleState;
class CueListModel;
class Engine;
class QListView;
class QToolButton;

// The programme list "节目单": every cue with its number and marks, bound to the engine's selection, with buttons
// to add, remove and move cues. Each change of the list is one recorded edit of the show.
class CueList : public QWidget
{
    Q_OBJECT
  public:
    explicit CueList(ConsoleState& state, QWidget* parent = nullptr);

    // Appends "新 Cue" at the end and selects it.
    void addCue();
    // Removes the selected cue and selects the one that followed it, else the new last one.
    void removeCue();
    // Swaps the selected cue with its neighbour (-1 up, +1 down); nothing past either end.
    void moveCue(int offset);

  private:
    QToolButton* addButton(const QString& name, const QString& symbol);
    void selectFromEngine();
    void selectFromView();

    ConsoleState& m_state;
    Engine& m_engine;
    CueListModel* m_model;
    QListView* m_view;
    bool m_selecting = false;
};
