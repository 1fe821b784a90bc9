#include "projectionmappingeditor.h"

#include "consolecolors.h"
#include "consoletext.h"
#include "decimalslider.h"
#include "editorwidgets.h"
#include "elidedlabel.h"
#include "engine.h"
#include "engineoutputsource.h"
#include "mappedoutput.h"
#include "mappingeditorstate.h"
#include "mappingoverlay.h"
#include "mappingsidepanel.h"
#include "screenrolepicker.h"

#include <QAction>
#include <QBoxLayout>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStackedLayout>

ProjectionMappingEditor::ProjectionMappingEditor(Engine& engine, QWidget* parent)
    : QWidget(parent), m_engine(engine), m_state(new MappingEditorState(engine, this))
{
    setObjectName(QStringLiteral("projectionMappingEditor"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);
    column->addWidget(makeHeader());

    auto* main = new QHBoxLayout;
    main->setSpacing(16);
    main->addWidget(makeCanvas(), 1);
    m_panel = new MappingSidePanel(*m_state, this);
    main->addWidget(m_panel);
    column->addLayout(main, 1);

    column->addWidget(EditorWidgets::divider(Qt::Horizontal, this));
    column->addWidget(makeStitching());

    m_message = new ElidedLabel(this);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setFont(ConsoleText::caption(m_message->font()));
    m_message->setColor(ConsoleColors::secondaryText());
    column->addWidget(m_message);

    addUndoShortcuts();
    for (auto changed : {&Engine::showChanged, &Engine::messageChanged, &Engine::mappingsChanged,
                         &Engine::projectionTestPatternChanged})
        connect(&engine, changed, this, &ProjectionMappingEditor::refresh);
    connect(m_state, &MappingEditorState::changed, this, &ProjectionMappingEditor::refresh);
    refresh();
}

ProjectionMappingEditor::~ProjectionMappingEditor() = default;

QWidget* ProjectionMappingEditor::makeHeader()
{
    auto* header = new QWidget(this);
    m_screen = new ScreenRolePicker(QStringLiteral("首路屏幕"), header);
    m_screen->setObjectName(QStringLiteral("投影输出"));
    connect(m_screen, &ScreenRolePicker::picked, m_state, &MappingEditorState::setSelected);
    m_enabled = new QCheckBox(QStringLiteral("启用投影校正"), header);
    connect(m_enabled, &QCheckBox::clicked, this, [this](bool on) {
        ProjectorMapping mapping = m_state->mapping();
        mapping.enabled = on;
        m_state->write(mapping);
    });
    m_outputGrid = new QCheckBox(QStringLiteral("输出校准网格"), header);
    connect(m_outputGrid, &QCheckBox::clicked, &m_engine, &Engine::setProjectionTestPattern);
    auto* reset = new QPushButton(QStringLiteral("重置本路"), header);
    connect(reset, &QPushButton::clicked, this, [this] { m_state->write(MappingPointEdits::resetMapping()); });
    auto* apply = new QPushButton(QStringLiteral("应用到输出"), header);
    QPalette prominent = apply->palette();
    prominent.setColor(QPalette::Button, ConsoleColors::tint());
    prominent.setColor(QPalette::ButtonText, Qt::white);
    apply->setPalette(prominent);
    connect(apply, &QPushButton::clicked, m_state, &MappingEditorState::applyToOutput);

    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(QStringLiteral("投影输出"), header));
    row->addWidget(m_screen);
    row->addWidget(m_enabled);
    row->addWidget(m_outputGrid);
    row->addStretch(1);
    row->addWidget(reset);
    row->addWidget(apply);
    return header;
}

// The overlay lies over the preview and its margin, so handles at the output's edges show whole and take the mouse.
QWidget* ProjectionMappingEditor::makeCanvas()
{
    auto* frame = new QWidget(this);
    auto* margin = new QWidget(frame);
    auto* inset = new QVBoxLayout(margin);
    inset->setContentsMargins(8, 8, 8, 8);
    auto* canvas = new QWidget(margin);
    canvas->setObjectName(QStringLiteral("canvas"));
    canvas->setMinimumHeight(250);
    QPalette black = canvas->palette();
    black.setColor(QPalette::Window, Qt::black);
    canvas->setPalette(black);
    canvas->setAutoFillBackground(true);
    inset->addWidget(canvas);
    m_preview = new MappedOutput(EngineOutputSource::of(m_engine), m_state->screen(), {.testPattern = true}, canvas);
    auto* fill = new QVBoxLayout(canvas);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(m_preview);

    m_overlay = new MappingOverlay(*m_state, frame);
    auto* layers = new QStackedLayout(frame);
    layers->setStackingMode(QStackedLayout::StackAll);
    layers->addWidget(margin);
    layers->addWidget(m_overlay);
    layers->setCurrentWidget(m_overlay);
    return frame;
}

QWidget* ProjectionMappingEditor::makeStitching()
{
    auto* row = new QWidget(this);
    m_sharedSource = new ScreenRolePicker(QStringLiteral("首路屏幕"), row);
    m_sharedSource->setObjectName(QStringLiteral("拼接画面来源"));
    connect(m_sharedSource, &ScreenRolePicker::picked, m_state, &MappingEditorState::setSharedSource);
    m_overlap = new DecimalSlider(0, 0.4, row);
    m_overlap->setObjectName(QStringLiteral("重叠比例"));
    m_overlap->setDecimalValue(m_state->overlap());
    m_overlapText = new QLabel(row);
    m_overlapText->setObjectName(QStringLiteral("overlapText"));
    connect(m_overlap, &DecimalSlider::moved, this, [this](double overlap) {
        m_state->setOverlap(overlap);
        m_overlapText->setText(ConsoleText::percent(overlap));
    });
    m_overlapText->setText(ConsoleText::percent(m_state->overlap()));
    m_arrange = new QPushButton(QStringLiteral("横向拼接已绑定屏幕"), row);
    connect(m_arrange, &QPushButton::clicked, m_state, &MappingEditorState::arrangeHorizontal);

    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("拼接画面来源"), row));
    layout->addWidget(m_sharedSource);
    layout->addWidget(new QLabel(QStringLiteral("重叠比例"), row));
    layout->addWidget(m_overlap, 1);
    layout->addWidget(m_overlapText);
    layout->addWidget(m_arrange);
    return row;
}

// The console's "撤销" and "重做" belong to its own window; this window steps through the same edits.
void ProjectionMappingEditor::addUndoShortcuts()
{
    auto* undo = new QAction(QStringLiteral("撤销"), this);
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    connect(undo, &QAction::triggered, &m_engine, &Engine::undo);
    auto* redo = new QAction(QStringLiteral("重做"), this);
    redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    connect(redo, &QAction::triggered, &m_engine, &Engine::redo);
    addActions({undo, redo});
}

void ProjectionMappingEditor::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_engine.setProjectionTestPattern(false);
}

void ProjectionMappingEditor::refresh()
{
    const QList<ScreenRole> screens = m_engine.showScreens();
    const ProjectorMapping mapping = m_state->mapping();
    const bool editingMask = m_state->selection().editingMask;
    m_screen->setScreens(screens, m_state->selected());
    m_enabled->setChecked(mapping.enabled);
    m_outputGrid->setChecked(m_engine.projectionTestPattern());
    m_preview->setRole(m_state->screen());
    m_preview->setTestPattern(m_state->previewGrid() || editingMask);
    m_preview->setEditingMask(editingMask);
    m_sharedSource->setScreens(screens, m_state->sharedSource());
    m_arrange->setEnabled(m_engine.mappings().size() >= 2);
    m_message->setText(m_engine.message());
}
