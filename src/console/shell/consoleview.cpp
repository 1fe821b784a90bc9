#include "consoleview.h"

#include "consolecolors.h"
#include "consoleheader.h"
#include "consolesheet.h"
#include "consolestate.h"
#include "consolestatusbar.h"
#include "cuelist.h"
#include "dialogprojectchooser.h"
#include "edithistory.h"
#include "editorwidgets.h"
#include "engine.h"
#include "filepanelprocess.h"
#include "inspector.h"
#include "lightingmoduleview.h"
#include "lumosettings.h"
#include "mediafilechooser.h"
#include "preflightcheck.h"
#include "projectfile.h"
#include "projectfilework.h"
#include "screenscolumn.h"
#include "timelineeditor.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFrame>
#include <QHBoxLayout>
#include <QPointer>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

namespace {
// How often the quit looks whether the settings are written.
constexpr std::chrono::milliseconds kSettingsLook{10};

QString panelSilentText()
{
    return QStringLiteral("文件面板没有响应（它所在的文件夹可能停止响应） · 控制台可以继续操作");
}

void paintBackground(QWidget* widget, const QColor& colour)
{
    widget->setAutoFillBackground(true);
    QPalette p = widget->palette();
    p.setColor(QPalette::Window, colour);
    widget->setPalette(p);
}

// Controls of the console's own column take the console's tint; sheets are windows of their own and keep theirs.
void applyTint(QWidget* widget)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::Highlight, ConsoleColors::tint());
    p.setColor(QPalette::Link, ConsoleColors::tint());
    widget->setPalette(p);
}
} // namespace

ConsoleView::ConsoleView(Engine& engine, LumoSettings& settings, WindowOpener openWindow, QWidget* parent)
    : QWidget(parent), m_engine(engine), m_settings(settings), m_openWindow(std::move(openWindow)),
      m_chooser(std::make_unique<DialogProjectChooser>()), m_state(new ConsoleState(engine, settings, this))
{
    paintBackground(this, ConsoleColors::windowBackground());
    applyTint(this);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(makeHeaderRow());
    column->addWidget(EditorWidgets::divider(Qt::Horizontal, this));
    column->addWidget(makeMainRow(), 1);
    column->addWidget(EditorWidgets::divider(Qt::Horizontal, this));
    m_statusBar = new ConsoleStatusBar(engine, this);
    column->addWidget(m_statusBar);

    // The window's file panels, whichever part of the console asks for one.
    FilePanelProcess& panels = FilePanelProcess::of(this);
    connect(&panels, &FilePanelProcess::failed, this,
            [this](const QString& reason) { m_engine.setMessage(QStringLiteral("无法打开文件面板 · ") + reason); });
    connect(&panels, &FilePanelProcess::stoppedAnswering, this, [this] { m_engine.setMessage(panelSilentText()); });
    connect(&panels, &FilePanelProcess::silenceEnded, this, [this] { m_engine.waitEnded(panelSilentText()); });
    connect(m_state, &ConsoleState::preflightOpenChanged, this, [this] {
        showSheet(
            m_preflightSheet, m_state->preflightOpen(), [this] { return makePreflight(); }, preflightWidth,
            [this] { m_state->setPreflightOpen(false); });
    });
    connect(m_state, &ConsoleState::lightingModuleOpenChanged, this, [this] {
        showSheet(
            m_lightingSheet, m_state->lightingModuleOpen(), [this] { return makeLightingModule(); }, 0,
            [this] { m_state->setLightingModuleOpen(false); });
    });
}

ConsoleView::~ConsoleView() = default;

void ConsoleView::openWindow(const QString& id) const
{
    if (m_openWindow)
        m_openWindow(id);
}

// The sections. Each later part of the console replaces its placeholder line here with its own widget, made with
// this view (engine(), state(), settings(), openWindow()) as its context.

QWidget* ConsoleView::makeHeader()
{
    return new ConsoleHeader(
        *m_state, *m_chooser, [this](const QString& id) { openWindow(id); }, this);
}

QWidget* ConsoleView::makeCueList()
{
    return new CueList(*m_state, this);
}

QWidget* ConsoleView::makeScreensColumn()
{
    return new ScreensColumn(
        *m_state, [this](const QString& id) { openWindow(id); },
        [](QWidget* parent, std::function<void(const QUrl&)> chosen) {
            chooseMediaFile(parent, {AssetKind::image}, std::move(chosen));
        },
        this);
}

QWidget* ConsoleView::makeInspector()
{
    return new Inspector(*m_state, chooseMediaFile, this);
}

QWidget* ConsoleView::makePreflight()
{
    return new PreflightCheck(
        *m_state, [this](const QString& id) { openWindow(id); }, this);
}

QWidget* ConsoleView::makeLightingModule()
{
    return new LightingModuleView(*m_state, this);
}

QWidget* ConsoleView::makeHeaderRow()
{
    auto* row = new QWidget(this);
    paintBackground(row, ConsoleColors::barBackground());
    auto* layout = new QHBoxLayout(row);
    layout->setSpacing(12);
    layout->setContentsMargins(12, 12, 12, 12);
    m_header = makeHeader();
    m_header->setParent(row);
    layout->addWidget(m_header);
    return row;
}

QWidget* ConsoleView::makeMainRow()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    m_cueList = makeCueList();
    m_screensColumn = makeScreensColumn();
    auto showPreview = [state = QPointer<ConsoleState>(m_state)] {
        if (state)
            state->setPreviewMode(true);
    };
    m_timelineEditor = new TimelineEditor(m_engine, m_cueList, m_screensColumn, showPreview, row);
    m_timelineEditor->bindSnapSetting(m_settings);
    layout->addWidget(m_timelineEditor, 1);
    layout->addWidget(EditorWidgets::divider(Qt::Vertical, row));
    layout->addWidget(makeInspectorColumn());
    return row;
}

QWidget* ConsoleView::makeInspectorColumn()
{
    auto* scroll = new QScrollArea(this);
    scroll->setFixedWidth(inspectorWidth);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    paintBackground(scroll->viewport(), ConsoleColors::inspectorBackground());
    m_inspector = makeInspector();
    paintBackground(m_inspector, ConsoleColors::inspectorBackground());
    scroll->setWidget(m_inspector);
    return scroll;
}

void ConsoleView::showSheet(QPointer<ConsoleSheet>& sheet, bool open, const std::function<QWidget*()>& content,
                            int width, const std::function<void()>& closed)
{
    if (!open) {
        if (sheet)
            sheet->close();
        return;
    }
    if (sheet)
        return;
    sheet = new ConsoleSheet(content(), width, window());
    connect(sheet, &ConsoleSheet::closedByUser, this, closed);
    sheet->open();
}

// The quit goes on whatever the recovery folder does; what could not be kept is said where it can still be read.
// The settings have been on their way since they changed: they get the time the recovery copy gets, not more.
// Both are waited for with the event loop running, so the show's clock and the windows go on meanwhile; a signal
// that ends the run during the wait ends it at once.
void ConsoleView::applicationWillTerminate()
{
    landSaveOnTheWay();
    const QDeadlineTimer quitting(Engine::kRecoveryWriteWait);
    const auto outcome = std::make_shared<std::optional<std::optional<QString>>>();
    QEventLoop waiting;
    m_engine.history().keepNewestEdits(Engine::kRecoveryWriteWait,
                                       [outcome, loop = QPointer(&waiting)](const std::optional<QString>& lost) {
                                           *outcome = lost;
                                           if (loop)
                                               loop->quit();
                                       });
    // The settings tell nobody when they are written: they are looked at now and then.
    QTimer settings;
    connect(&settings, &QTimer::timeout, &waiting, [&] {
        if (outcome->has_value() && (m_settings.settled() || quitting.hasExpired()))
            waiting.quit();
    });
    settings.start(kSettingsLook);
    // The recovery copy's outcome comes within its own time, a failure when the folder did not answer.
    while (!outcome->has_value() || (!m_settings.settled() && !quitting.hasExpired()))
        if (waiting.exec(QEventLoop::ExcludeUserInputEvents) != 0)
            break;
    const std::optional<QString> lost =
        outcome->has_value() ? **outcome : std::optional(QStringLiteral("退出时没有等到它写完"));
    if (lost) {
        const QString text = QStringLiteral("Lumoria：最后的修改没有写入恢复副本，已丢失 · %1\n").arg(*lost);
        std::fputs(text.toUtf8().constData(), stderr);
    }
    m_settings.finishWriting(QDeadlineTimer(0));
}

// A save pressed just before the quit lands first, if its folder lets it in time; otherwise the work goes to the
// recovery copy like any unsaved work.
void ConsoleView::landSaveOnTheWay()
{
    const ProjectFileWork& files = m_engine.projectFiles();
    if (files.kind() != ProjectFileWork::Kind::save)
        return;
    QEventLoop waiting;
    connect(&files, &ProjectFileWork::changed, &waiting, [&] {
        if (!files.busy())
            waiting.quit();
    });
    QTimer::singleShot(Engine::kRecoveryWriteWait, &waiting, &QEventLoop::quit);
    waiting.exec();
    if (files.busy()) {
        const QString unfinished =
            QStringLiteral("Lumoria：“%1”没有保存完成，修改写入恢复副本\n").arg(files.fileName());
        std::fputs(unfinished.toUtf8().constData(), stderr);
    }
}

void ConsoleView::saveShowElsewhere()
{
    if (auto* header = qobject_cast<ConsoleHeader*>(m_header))
        header->saveShowElsewhere();
}
