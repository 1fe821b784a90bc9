#pragma once

#include <QWidget>

class ElidedLabel;
class Engine;
class QLabel;

// The console's bottom line: the engine's status text on one line, and whether a run is on.
class ConsoleStatusBar : public QWidget
{
    Q_OBJECT
  public:
    explicit ConsoleStatusBar(Engine& engine, QWidget* parent = nullptr);

    QString message() const;
    QString runState() const;

  private:
    void showRunState();

    Engine& m_engine;
    ElidedLabel* m_message;
    QLabel* m_runState;
};
