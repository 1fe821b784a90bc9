#include "filepanelprocess.h"

#include "inputhold.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QWidget>
#include <algorithm>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

FilePanelProcess::FilePanelProcess(QObject* parent) : QObject(parent)
{
    m_silenceWatch.setInterval(int(FilePanelRequest::kSignOfLifeEvery.count()));
    connect(&m_silenceWatch, &QTimer::timeout, this, &FilePanelProcess::judgeSilence);
}

FilePanelProcess::~FilePanelProcess()
{
    giveUp();
}

FilePanelProcess& FilePanelProcess::of(QWidget* widget)
{
    QObject* owner = widget ? static_cast<QObject*>(widget->window()) : QCoreApplication::instance();
    if (auto* found = owner->findChild<FilePanelProcess*>())
        return *found;
    return *new FilePanelProcess(owner);
}

QStringList FilePanelProcess::programCandidates()
{
    QStringList candidates{QCoreApplication::applicationDirPath() + QStringLiteral("/lumoria-chooser")};
#ifdef LUMO_CHOOSER_BUILT_AT
    if (!candidates.contains(QStringLiteral(LUMO_CHOOSER_BUILT_AT)))
        candidates.append(QStringLiteral(LUMO_CHOOSER_BUILT_AT));
#endif
    return candidates;
}

void FilePanelProcess::ask(const FilePanelRequest& request, QWidget* over, Chosen chosen)
{
    giveUp();
    m_request = request;
    m_over = over;
    m_overGiven = over != nullptr;
    m_chosen = std::move(chosen);
    m_answer.clear();
    // Only an X window can be named to the program; an offscreen one (tests) stands alone.
    if (over && QGuiApplication::platformName() == QStringLiteral("xcb")) {
        m_request.transientFor = quint64(over->window()->winId());
        m_request.centredOver = over->window()->frameGeometry();
    }
    // The panel counts as shown from the asking on, its start included.
    if (!m_hold)
        m_hold = std::make_unique<InputHold>();
    m_sinceSign.start();
    m_slowestGap = 0;
    m_silenceWatch.start();
    start(0);
}

qint64 FilePanelProcess::processId() const
{
    return m_process && m_process->state() == QProcess::Running ? m_process->processId() : 0;
}

void FilePanelProcess::giveUp()
{
    if (!m_process)
        return;
    m_process->kill();
    letGo();
}

// The program is tried where it is looked for, one place after the other, without asking the disk here: a place
// where it is not fails to start, and the next one is tried.
void FilePanelProcess::start(int candidate)
{
    const QStringList candidates = programCandidates();
    if (candidate >= candidates.size()) {
        m_chosen = nullptr;
        m_hold.reset();
        m_silenceWatch.stop();
        emit failed(QStringLiteral("找不到文件面板程序 lumoria-chooser"));
        return;
    }
    m_candidate = candidate;
    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A console that dies leaves no panel behind, and the panel holds none of the console's files, sockets or devices
    // (a lock or a sound device kept by a panel would outlive the console).
    m_process->setChildProcessModifier([] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    });
    connect(m_process, &QProcess::readyReadStandardOutput, this, &FilePanelProcess::readAnswer);
    connect(m_process, &QProcess::finished, this, &FilePanelProcess::processEnded);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            startFailed();
    });
    m_process->start(candidates.at(candidate), m_request.arguments());
}

void FilePanelProcess::readAnswer()
{
    if (!m_process)
        return;
    const QByteArray read = m_process->readAllStandardOutput();
    if (read.isEmpty())
        return;
    // Each gap between signs tells the program's pace: one that reads a slow share gives its signs as its calls end.
    const qint64 gap = m_sinceSign.restart();
    m_slowestGap = std::max(gap, m_slowestGap - m_slowestGap / 16);
    if (!m_hold)
        m_hold = std::make_unique<InputHold>();
    if (std::exchange(m_silent, false))
        emit silenceEnded();
    m_answer += read;
    // Signs of life before the answer are not kept.
    while (m_answer.startsWith(FilePanelRequest::kSignOfLife))
        m_answer.remove(0, 1);
    const std::optional<QList<QUrl>> answer = FilePanelRequest::answerFrom(m_answer);
    if (!answer)
        return;
    const Chosen chosen = std::move(m_chosen);
    const bool overGone = m_overGiven && !m_over;
    // The program ends by itself once its panel has closed, however long its folder takes.
    letGo();
    if (chosen && !answer->isEmpty() && !overGone)
        chosen(*answer);
}

void FilePanelProcess::processEnded()
{
    readAnswer();
    if (!m_process)
        return;
    letGo();
    emit failed(QStringLiteral("文件面板意外关闭"));
}

void FilePanelProcess::startFailed()
{
    QProcess* failed = m_process;
    m_process = nullptr;
    failed->disconnect(this);
    failed->deleteLater();
    start(m_candidate + 1);
}

// Programs let go of that still run. Never deleted while they run: deleting a running QProcess waits for its end.
static QList<QProcess*>& lingering()
{
    static QList<QProcess*> processes;
    return processes;
}

// The process is never waited for: one that hangs in a folder that does not answer is left to end when it can,
// and deleted then.
void FilePanelProcess::letGo()
{
    QProcess* process = m_process;
    m_process = nullptr;
    m_chosen = nullptr;
    m_hold.reset();
    m_silenceWatch.stop();
    if (std::exchange(m_silent, false))
        emit silenceEnded();
    process->disconnect(this);
    process->setParent(nullptr);
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    lingering().append(process);
    connect(process, &QProcess::finished, process, [process] {
        lingering().removeOne(process);
        process->deleteLater();
    });
}

void FilePanelProcess::judgeSilence()
{
    if (!m_process || !m_hold || m_sinceSign.elapsed() < std::max<qint64>(kSilentAfter.count(), 4 * m_slowestGap))
        return;
    m_hold.reset();
    m_silent = true;
    emit stoppedAnswering();
}
