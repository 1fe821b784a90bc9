#pragma once

#include "filepanelrequest.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>

class InputHold;
class QProcess;
class QWidget;

// A file panel run as a program of its own beside the console (lumoria-chooser): Qt's file dialog asks the disk on
// its own main thread, so a folder that stops answering holds that program, never the show. The console keeps
// serving its events, takes the answer when it comes, and ends the program when it gives up on it.
//
// One panel at a time per window: asking again ends the panel before, and so does the window's end. A program that
// hangs in a folder that does not answer is never waited for; it is left to end when the folder answers.
//
// The panel is modal: while it is shown, the console's windows take no input (InputHold), and the answer goes to
// what the asker fixed when asking. The program gives its signs while its main thread gets on, busy or not; one that
// gives no sign for kSilentAfter, or four times the longest recent gap between its signs when it reads a slow share,
// is held, most likely by a folder that does not answer; the console then takes input again until the program shows
// signs of life, so that the operator can go on or ask for another panel, which ends the held one.
class FilePanelProcess : public QObject
{
    Q_OBJECT
  public:
    using Chosen = std::function<void(const QList<QUrl>&)>;

    // Four of the program's signs of life missed: a program that answers at all answers well within it.
    static constexpr std::chrono::milliseconds kSilentAfter{1000};

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
    // The console's windows take no input: a panel is shown and its program answers.
    bool holdsInput() const { return m_hold != nullptr; }
    // The panel program's process id once it runs, while it is asked; 0 while it starts or when none is.
    qint64 processId() const;

    // Where the panel program is looked for, in order: beside the running program, then where the build made it.
    static QStringList programCandidates();

  signals:
    // The panel could not be shown, or ended without an answer: why, in Chinese.
    void failed(const QString& reason);
    // The panel's program stopped giving signs of life; the console takes input until it gives them again.
    void stoppedAnswering();
    // A program that had stopped answering gives signs of life again (the console holds its input again), or ended.
    void silenceEnded();

  private:
    void start(int candidate);
    void readAnswer();
    void processEnded();
    void startFailed();
    void letGo();
    void judgeSilence();

    QProcess* m_process = nullptr;
    FilePanelRequest m_request;
    QPointer<QWidget> m_over;
    bool m_overGiven = false;
    Chosen m_chosen;
    int m_candidate = 0;
    QByteArray m_answer;
    std::unique_ptr<InputHold> m_hold;
    // stoppedAnswering() was said and not yet taken back.
    bool m_silent = false;
    QElapsedTimer m_sinceSign;
    // The longest recent gap between signs, in milliseconds, each sign letting it weigh a little less.
    qint64 m_slowestGap = 0;
    QTimer m_silenceWatch;
};
