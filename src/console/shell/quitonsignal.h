#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// Ends the application on SIGTERM, SIGINT or SIGHUP (its terminal closed) through its event loop, so that the
// recovery copy is written on the way out. A SIGTERM first asks the application to quit as closing its window
// does, which writes the newest edits first and asks the operator only where they would be lost; a SIGTERM while
// that quit is still on its way, SIGINT and SIGHUP end the run without asking.
class QuitOnSignal : public QObject
{
    Q_OBJECT
  public:
    // How a SIGTERM asks to quit: true when the request was taken, false when a quit is on its way already.
    using AskToQuit = std::function<bool()>;

    explicit QuitOnSignal(QObject* parent = nullptr);
    ~QuitOnSignal() override;

    // Without one, every signal ends the run.
    void setAskToQuit(AskToQuit ask) { m_askToQuit = std::move(ask); }

  private:
    void onSignal(int signal);

    QSocketNotifier* m_notifier = nullptr;
    AskToQuit m_askToQuit;
};
