#pragma once

#include "filepanelrequest.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <functional>

class QProcess;
class QWidget;

// A file panel run as a program of its own beside the console (lumoria-chooser): Qt's file dialog asks the disk on
// its own main thread, so a folder that stops answering holds that program, never the show. The console keeps
// serving its events, takes the answer when it comes, and ends the program when it gives up on it.
//
// One panel at a time per window: asking again ends the panel before, and so does the window's end. A program that
// hangs in a folder that does not answer is never waited for; it is left to end when the folder answers.
class FilePanelProcess : public QObject
{
    Q_OBJECT
  public:
    using Chosen = std::function<void(const QList<QUrl>&)>;

    explicit FilePanelProcess(QObject* parent = nullptr);
    ~FilePanelProcess() override;

    // The one of the widget's window, made on first use (the application's when there is no widget).
    static FilePanelProcess& of(QWidget* widget);

    // Shows the panel in front of `over`'s window. `chosen` gets the operator's choice, on the main thread, unless
    // the operator cancels, the panel is given up, or `over` is gone by then.
    void ask(const FilePanelRequest& request, QWidget* over, Chosen chosen);
    // Ends the panel shown, if any; its answer is never delivered.
    void giveUp();
    bool isAsking() const { return m_process != nullptr; }
    // The panel program's process id once it runs, while it is asked; 0 while it starts or when none is.
    qint64 processId() const;

    // Where the panel program is looked for, in order: beside the running program, then where the build made it.
    static QStringList programCandidates();

  signals:
    // The panel could not be shown, or ended without an answer: why, in Chinese.
    void failed(const QString& reason);

  private:
    void start(int candidate);
    void readAnswer();
    void processEnded();
    void startFailed();
    void letGo();

    QProcess* m_process = nullptr;
    FilePanelRequest m_request;
    QPointer<QWidget> m_over;
    bool m_overGiven = false;
    Chosen m_chosen;
    int m_candidate = 0;
    QByteArray m_answer;
};
