#include "consolestatusbar.h"

#include "consolecolors.h"
#include "consoletext.h"
#include "elidedlabel.h"
#include "engine.h"
#include "lumohelp.h"
#include "lumoicons.h"
#include "projectfilework.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

ConsoleStatusBar::ConsoleStatusBar(Engine& engine, QWidget* parent)
    : QWidget(parent), m_engine(engine), m_message(new ElidedLabel(this)), m_fileProgress(new QProgressBar(this)),
      m_cancelFile(new QPushButton(QStringLiteral("取消"), this)), m_runState(new QLabel(this))
{
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, ConsoleColors::barBackground());
    setPalette(p);
    setFont(ConsoleText::caption(font()));

    auto* icon = new QLabel(this);
    const int side = fontMetrics().height();
    icon->setPixmap(lumoIcon("waveform.path", ConsoleColors::cyan()).pixmap(side, side));

    auto* row = new QHBoxLayout(this);
    row->setSpacing(8);
    row->setContentsMargins(16, 8, 16, 8);
    row->addWidget(icon);
    row->addWidget(m_message, 1);
    row->addWidget(m_fileProgress);
    row->addWidget(m_cancelFile);
    row->addWidget(m_runState);

    m_fileProgress->setObjectName(QStringLiteral("projectFileProgress"));
    m_fileProgress->setFixedWidth(180);
    m_fileProgress->setMaximumHeight(fontMetrics().height() + 4);
    m_fileProgress->setTextVisible(true);
    m_cancelFile->setObjectName(QStringLiteral("cancelProjectFile"));
    m_cancelFile->setMaximumHeight(fontMetrics().height() + 6);
    m_cancelFile->setFocusPolicy(Qt::NoFocus);
    lumoHelp(m_cancelFile, QStringLiteral("放弃正在进行的打开、保存或恢复，工程和文件保持原样"));
    connect(m_cancelFile, &QPushButton::clicked, this, [this] { m_engine.cancelProjectFileWork(); });
    connect(&engine.projectFiles(), &ProjectFileWork::changed, this, &ConsoleStatusBar::showFileProgress);
    showFileProgress();

    m_message->setText(engine.message());
    connect(&engine, &Engine::messageChanged, this, [this] { m_message->setText(m_engine.message()); });
    connect(&engine, &Engine::projectionModeChanged, this, &ConsoleStatusBar::showRunState);
    showRunState();
}

QString ConsoleStatusBar::message() const
{
    return m_message->shownText();
}

QString ConsoleStatusBar::runState() const
{
    return m_runState->text();
}

// A share that cannot be told (decoding, encoding, waiting) shows a moving bar.
void ConsoleStatusBar::showFileProgress()
{
    const ProjectFileWork& files = m_engine.projectFiles();
    m_fileProgress->setVisible(files.busy());
    m_cancelFile->setVisible(files.busy());
    if (!files.busy())
        return;
    // Once the new file has begun to take the old one's place, nothing can be given up.
    m_cancelFile->setEnabled(files.canGiveUp());
    const std::optional<double> progress = files.progress();
    m_fileProgress->setRange(0, progress ? 1000 : 0);
    if (progress)
        m_fileProgress->setValue(int(*progress * 1000));
    const QString verb = files.kind() == ProjectFileWork::Kind::open   ? QStringLiteral("打开")
                         : files.kind() == ProjectFileWork::Kind::save ? QStringLiteral("保存")
                                                                       : QStringLiteral("恢复");
    m_fileProgress->setFormat(files.folderSilent() ? QStringLiteral("等待文件夹响应") : verb + QStringLiteral(" %p%"));
    m_fileProgress->setToolTip(QStringLiteral("正在%1 %2").arg(verb, files.fileName()));
}

bool ConsoleStatusBar::showsFileProgress() const
{
    return m_fileProgress->isVisibleTo(this);
}

void ConsoleStatusBar::showRunState()
{
    const bool running = m_engine.projectionMode().has_value();
    m_runState->setText(running ? "投放中" : "待机");
    QPalette p = m_runState->palette();
    p.setColor(QPalette::WindowText, running ? ConsoleColors::green() : ConsoleColors::secondaryText());
    m_runState->setPalette(p);
}
