#pragma once

#include <QWidget>

class ElidedLabel;
class Engine;
class QLabel;
class QProgressBar;
class QPushButton;

// The console's bottom line: the engine's status text on one line, a bar while a project file is opened or saved
// with "取消" beside it, and whether a run is on.
class ConsoleStatusBar : public QWidget
{
    Q_OBJECT
  public:
    explicit ConsoleStatusBar(Engine& engine, QWidget* parent = nullptr);

    QString message() const;
    QString runState() const;
    // Whether the bar of a project file on the way is shown.
    bool showsFileProgress() const;

  private:
    void showRunState();
    void showFileProgress();

    Engine& m_engine;
    ElidedLabel* m_message;
    QProgressBar* m_fileProgress;
    QPushButton* m_cancelFile;
    QLabel* m_runState;
};
