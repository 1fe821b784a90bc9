#include "consolewindow.h"

#include "consolecolors.h"
#include "consoleview.h"
#include "edithistory.h"
#include "engine.h"
#include "lumohelp.h"
#include "lumosettings.h"

#include <QAbstractButton>
#include <QAction>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGridLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QScopedValueRollback>
#include <QSpacerItem>
#include <memory>
#include <optional>

ConsoleWindow::ConsoleWindow(ConsoleView* view, Engine& engine, LumoSettings& settings, QWidget* parent)
    : QMainWindow(parent), m_view(view)
{
    setWindowTitle(title);
    setCentralWidget(view);
    setMinimumSize(smallestWindowSize);
    resize(defaultWindowSize);
    QPalette p = palette();
    p.setColor(QPalette::Window, ConsoleColors::windowBackground());
    setPalette(p);

    // A text field with focus takes Ctrl+Z for its own typing first (Qt lets the focused editor claim the
    // shortcut); everywhere else, and from the menu, it steps through the show's edits.
    QMenu* edit = menuBar()->addMenu("编辑");
    // While an edit waits for the disk's answers, they take back that edit first.
    m_undo = edit->addAction("撤销", QKeySequence(Qt::CTRL | Qt::Key_Z), &engine, &Engine::undo);
    m_redo = edit->addAction("重做", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &engine, &Engine::redo);
    // Greyed out while there is nothing to step to, as after opening a project.
    const auto followHistory = [this, &engine] {
        m_undo->setEnabled(engine.canUndo());
        m_redo->setEnabled(engine.canRedo());
    };
    followHistory();
    connect(&engine, &Engine::undoableChanged, this, followHistory);

    QMenu* display = menuBar()->addMenu("显示");
    m_tooltips = display->addAction("显示悬浮说明");
    m_tooltips->setCheckable(true);
    m_tooltips->setChecked(settings.showsLumoTooltips());
    connect(m_tooltips, &QAction::toggled, &settings, &LumoSettings::setShowsLumoTooltips);
    auto follow = [this, &settings] {
        m_tooltips->setChecked(settings.showsLumoTooltips());
        setLumoTooltipsEnabled(this, settings.showsLumoTooltips());
    };
    connect(&settings, &LumoSettings::showsLumoTooltipsChanged, this, follow);
    follow();
}

void ConsoleWindow::closeEvent(QCloseEvent* event)
{
    if (m_closing || !mayClose()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
    emit closed();
}

// A quit writes the newest edits to the recovery copy first, and is silent once they are there. Where they are in
// no file (the write failed, or its folder did not answer in time), the operator chooses between keeping them
// elsewhere and letting them go. The close waits for the write with the show going on and no input taken; a run
// ended meanwhile (a signal) asks nothing.
bool ConsoleWindow::mayClose()
{
    const QScopedValueRollback closing(m_closing, true);
    const auto outcome = std::make_shared<std::optional<std::optional<QString>>>();
    QEventLoop waiting;
    m_view->engine().history().keepNewestEdits(
        Engine::kRecoveryWriteWait, [outcome, loop = QPointer(&waiting)](const std::optional<QString>& lost) {
            *outcome = lost;
            if (loop)
                loop->quit();
        });
    if (!outcome->has_value())
        waiting.exec(QEventLoop::ExcludeUserInputEvents);
    if (!outcome->has_value())
        return false;
    if (const std::optional<QString> lost = **outcome)
        return askBeforeLosing(*lost);
    return true;
}

bool ConsoleWindow::askBeforeLosing(const QString& why)
{
    QMessageBox ask(QMessageBox::Warning, QStringLiteral("退出 Lumoria"),
                    QStringLiteral("最近的修改没有保存在任何文件中。"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    ask.setInformativeText(QStringLiteral("自动恢复副本写入失败：%1\n\n现在退出，这些修改将会丢失；"
                                          "可以先把工程另存到别处。")
                               .arg(why));
    ask.button(QMessageBox::Save)->setText(QStringLiteral("另存为…"));
    ask.button(QMessageBox::Discard)->setText(QStringLiteral("退出并丢弃修改"));
    ask.setDefaultButton(QMessageBox::Cancel);
    ask.setEscapeButton(QMessageBox::Cancel);
    ask.setObjectName(QStringLiteral("unsavedQuit"));
    // Wide enough that a folder's name and the reason read on one line each.
    if (auto* grid = qobject_cast<QGridLayout*>(ask.layout()))
        grid->addItem(new QSpacerItem(480, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
    const int answer = ask.exec();
    if (answer == QMessageBox::Save)
        m_view->saveShowElsewhere();
    return answer == QMessageBox::Discard;
}
