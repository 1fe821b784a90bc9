#include "timelineeditor.h"

#include "consolecolors.h"
#include "consolesheet.h"
#include "cuepreview.h"
#include "editorwidgets.h"
#include "elidedlabel.h"
#include "engine.h"
#include "eventinspector.h"
#include "eventpicker.h"
#include "findbyid.h"
#include "lumosettings.h"
#include "mediadurationloader.h"
#include "mediafilechooser.h"
#include "medialibrarypanel.h"
#include "messageeventeditor.h"
#include "timelinearea.h"
#include "timelineclocklabel.h"
#include "timelinecontrols.h"
#include "timelineeditormodel.h"
#include "timelinenavigation.h"
#include "timelineviewport.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {
// Around the right column on every side.
constexpr int kRightColumnPadding = 12;
constexpr int kRowSpacing = 9;
// The cue list's height in the left column: where it starts, and how far the operator may drag it.
constexpr int kCueListHeight = 180;
constexpr int kCueListMinimum = 115;
constexpr int kCueListMaximum = 300;
constexpr int kLibraryMinimum = 160;
// The widest an alert's sentence grows before it wraps.
constexpr int kAlertTextWidth = 460;

void paintBackground(QWidget* widget, const QColor& colour)
{
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
}

QScrollArea* verticalScroll(QWidget* content, QWidget* parent)
{
    auto* scroll = new QScrollArea(parent);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll->setWidget(content);
    return scroll;
}
} // namespace

TimelineEditor::TimelineEditor(Engine& engine, QWidget* programList, QWidget* monitors,
                               std::function<void()> showPreview, QWidget* parent)
    : QWidget(parent), m_engine(engine), m_model(new TimelineEditorModel(&engine, this)),
      m_durations(new MediaDurationLoader(engine, this))
{
    m_model->setMediaFileChooser([this](AssetKind kind, std::function<void(const QUrl&)> chosen) {
        chooseMediaFile(this, {kind}, std::move(chosen));
    });
    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(makeLeftColumn(programList));
    root->addWidget(EditorWidgets::divider(Qt::Vertical, this));
    root->addWidget(makeRightColumn(monitors), 1);

    connect(m_model, &TimelineEditorModel::changed, this, &TimelineEditor::refresh);
    connect(&m_model->view(), &TimelineViewState::scrubRequestChanged, this, &TimelineEditor::previewScrub);
    connect(&m_model->view(), &TimelineViewState::messageDraftChanged, this, &TimelineEditor::showMessageSheet);
    connect(&m_model->view(), &TimelineViewState::layerToDeleteChanged, this, &TimelineEditor::showLaneAlert);
    // After the inspector for the opened event is made and laid out.
    connect(&m_model->view(), &TimelineViewState::eventOpened, this, &TimelineEditor::bringInspectorIntoView,
            Qt::QueuedConnection);
    connect(m_model, &TimelineEditorModel::showPreviewRequested, this, [showPreview = std::move(showPreview)] {
        if (showPreview)
            showPreview();
    });
    refresh();
}

TimelineEditor::~TimelineEditor()
{
    if (m_messageSheet)
        delete m_messageSheet;
    if (m_laneAlert)
        delete m_laneAlert;
}

void TimelineEditor::bindSnapSetting(LumoSettings& settings)
{
    m_model->view().setSnapEnabled(settings.timelineSnapEnabled());
    connect(&m_model->view(), &TimelineViewState::snapEnabledChanged, &settings, &LumoSettings::setTimelineSnapEnabled);
    connect(&settings, &LumoSettings::timelineSnapEnabledChanged, m_model,
            [this, &settings] { m_model->view().setSnapEnabled(settings.timelineSnapEnabled()); });
}

QWidget* TimelineEditor::makeLeftColumn(QWidget* programList)
{
    auto* split = m_leftColumn = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("leftColumn"));
    split->setFixedWidth(kLeftColumnWidth);
    split->setChildrenCollapsible(false);
    paintBackground(split, QColor::fromRgbF(0.079f, 0.094f, 0.114f));
    programList->setParent(split);
    programList->setMinimumHeight(kCueListMinimum);
    programList->setMaximumHeight(kCueListMaximum);
    programList->setMinimumWidth(0);
    programList->setMaximumWidth(kLeftColumnWidth);
    auto* library = new MediaLibraryPanel(*m_model, split);
    library->setMinimumHeight(kLibraryMinimum);
    split->addWidget(programList);
    split->addWidget(library);
    // A taller or shorter window changes the library; the cue list keeps the height it has.
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->installEventFilter(this);
    connect(split, &QSplitter::splitterMoved, this, [this] { m_cueListDragged = true; });
    return split;
}

// Sizes given to a splitter are shares of the height it has at the time, and a window on its way to its first size
// may pass through a short one: until the operator drags the divider, each new height gives the cue list its own
// height again and the library the rest.
void TimelineEditor::sizeLeftColumn()
{
    const int height = m_leftColumn->height() - m_leftColumn->handleWidth();
    if (m_cueListDragged || height <= 0)
        return;
    const int list = std::clamp(std::min(kCueListHeight, height - kLibraryMinimum), kCueListMinimum, kCueListMaximum);
    m_leftColumn->setSizes({list, height - list});
}

// Nothing above the timeline depends on the edited cue, and the column's height does not either: the monitors keep
// the height the operator gave them, and when the window is too short for the column, it scrolls as a whole rather
// than letting its rows shrink into each other. So the transport row stays where it is whichever cue a GO selects.
QWidget* TimelineEditor::makeRightColumn(QWidget* monitors)
{
    auto* scroll = m_rightScroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("rightColumnScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    auto* right = new QWidget(scroll);
    right->setObjectName(QStringLiteral("rightColumn"));
    scroll->setWidget(right);
    // The scroll area fills its widget by default; the column stays on the window's background.
    right->setAutoFillBackground(false);
    // Only the height scrolls: in a narrow window the rows share the width there is, as they would without the area.
    right->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* column = new QVBoxLayout(right);
    column->setContentsMargins(kRightColumnPadding, kRightColumnPadding, kRightColumnPadding, kRightColumnPadding);
    column->setSpacing(kRowSpacing);
    m_rightColumn = column;
    scroll->verticalScrollBar()->installEventFilter(this);
    monitors->setParent(right);
    column->addWidget(monitors);
    column->addWidget(EditorWidgets::divider(Qt::Horizontal, right));

    m_headerRow = new QHBoxLayout;
    m_headerRow->addWidget(EditorWidgets::headline(QStringLiteral("时间轴"), right));
    m_cueName = new ElidedLabel(right);
    m_cueName->setObjectName(QStringLiteral("editedCueName"));
    m_cueName->setColor(ConsoleColors::secondaryText());
    // Takes the room its name needs while there is room, and is cut short with an ellipsis before the clock is.
    m_cueName->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_headerRow->addWidget(m_cueName);
    m_headerRow->addStretch(1);
    m_clock = new TimelineClockLabel(*m_engine.timelineClock(), right);
    m_headerRow->addWidget(m_clock);
    column->addLayout(m_headerRow);

    m_editingPane = makeEditingPane();
    column->addWidget(m_editingPane, 1);
    m_noCue = EditorWidgets::secondary(QStringLiteral("选择或添加一条 Cue"), right);
    column->addWidget(m_noCue);
    column->addStretch(0);
    return scroll;
}

QWidget* TimelineEditor::makeEditingPane()
{
    auto* pane = new QWidget(this);
    pane->setObjectName(QStringLiteral("editingPane"));
    auto* column = new QVBoxLayout(pane);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kRowSpacing);
    column->addWidget(new TimelineControls(*m_model, pane));
    auto* area = new TimelineArea(*m_model, m_engine, pane);
    m_timelineScroll = verticalScroll(area, pane);
    m_timelineScroll->setObjectName(QStringLiteral("timelineScroll"));
    column->addWidget(m_timelineScroll);
    column->addWidget(new TimelineNavigation(
        *m_model, [viewport = area->viewport()] { return double(viewport->width()); }, pane));

    auto* inspector = new QWidget(pane);
    m_inspectorColumn = new QVBoxLayout(inspector);
    m_inspectorColumn->setContentsMargins(0, 0, 0, 0);
    m_inspectorColumn->setSpacing(kRowSpacing);
    m_picker = new EventPicker(*m_model, inspector);
    m_inspectorColumn->addWidget(m_picker);
    m_hint =
        EditorWidgets::secondary(QStringLiteral("将素材拖到对应轨道，或右键点击时间轴空白处添加事件。"), inspector);
    m_hint->setObjectName(QStringLiteral("inspectorHint"));
    m_hint->setWordWrap(true);
    m_inspectorColumn->addWidget(m_hint);
    m_inspectorColumn->addStretch(1);
    auto* inspectorScroll = m_inspectorScroll = verticalScroll(inspector, pane);
    inspectorScroll->setObjectName(QStringLiteral("inspectorScroll"));
    // Takes what the window leaves over, but never less than the picker and the event's first fields.
    inspectorScroll->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
    m_inspectorFloor = m_picker->sizeHint().height() + kRowSpacing + EventInspector::firstFieldsHeight();
    column->addWidget(inspectorScroll, 1);
    return pane;
}

// The column's scroll bar, when it shows, stands in its right padding, so the rows keep the width they had.
bool TimelineEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_leftColumn && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
        sizeLeftColumn();
        return QWidget::eventFilter(watched, event);
    }
    QScrollBar* bar = m_rightScroll->verticalScrollBar();
    if (watched == bar && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        const int width = event->type() == QEvent::Show ? bar->sizeHint().width() : 0;
        const QMargins margins = m_rightColumn->contentsMargins();
        m_rightColumn->setContentsMargins(margins.left(), margins.top(),
                                          std::max(kRightColumnPadding / 3, kRightColumnPadding - width),
                                          margins.bottom());
    }
    return QWidget::eventFilter(watched, event);
}

void TimelineEditor::refresh()
{
    const std::optional<int> cueIndex = m_model->cue().cueIndex();
    m_cueName->setVisible(cueIndex.has_value());
    m_cueName->setText(cueIndex ? m_engine.show().cues.at(*cueIndex).name : QString());
    m_clock->setVisible(m_model->cue().isLive());
    m_editingPane->setVisible(cueIndex.has_value());
    m_noCue->setVisible(!cueIndex);
    const int laneCount = int(m_model->cue().lanes().size());
    const int height = int(TimelineGeometry::areaHeight(std::min(laneCount, kVisibleLanes)));
    if (m_timelineScroll->height() != height || m_timelineScroll->minimumHeight() != height)
        m_timelineScroll->setFixedHeight(height);
    // The room a shorter timeline leaves goes to the inspector, so the column is as tall for every cue and a
    // scrolled column keeps its place.
    const int tallest = int(TimelineGeometry::areaHeight(kVisibleLanes));
    m_inspectorScroll->setMinimumHeight(m_inspectorFloor + tallest - height);
    refreshInspector();
}

// The inspector is made afresh for each selected event, so its fields start from that event.
void TimelineEditor::refreshInspector()
{
    const QList<TimelineEvent> events = m_model->cue().events();
    m_picker->setVisible(!events.isEmpty());
    const std::optional<QUuid> id = m_model->selection().eventID();
    const auto found = id ? findById(events, *id) : events.cend();
    const std::optional<int> cueIndex = m_model->cue().cueIndex();
    const bool shown = found != events.cend() && cueIndex;
    if (m_inspector && (!shown || m_inspector->eventID() != *id || m_inspector->cueIndex() != *cueIndex)) {
        m_inspector->hide();
        m_inspector->deleteLater();
        m_inspector = nullptr;
    }
    if (shown && !m_inspector) {
        m_inspector = new EventInspector(*m_model, *cueIndex, *found, m_picker->parentWidget());
        m_inspector->setObjectName(QStringLiteral("eventInspector"));
        m_inspectorColumn->insertWidget(1, m_inspector);
    }
    m_hint->setVisible(!shown);
}

// The opened event's heading and first fields come into view, scrolling the column as little as it takes.
void TimelineEditor::bringInspectorIntoView()
{
    if (!m_inspector || !m_editingPane->isVisible())
        return;
    m_rightColumn->activate();
    m_inspectorScroll->verticalScrollBar()->setValue(0);
    QWidget* column = m_rightScroll->widget();
    const int top = m_inspectorScroll->mapTo(column, QPoint(0, 0)).y();
    const int bottom = top + std::min(m_inspectorScroll->height(), m_inspectorFloor);
    QScrollBar* bar = m_rightScroll->verticalScrollBar();
    const int shown = m_rightScroll->viewport()->height();
    bar->setValue(std::min(std::max(bar->value(), bottom + kRightColumnPadding - shown), top - kRowSpacing));
}

void TimelineEditor::previewScrub()
{
    const std::optional<TimelineViewState::ScrubRequest> request = m_model->view().scrubRequest();
    const QList<Cue>& cues = m_engine.show().cues;
    const auto cue = request ? findById(cues, request->cue) : cues.cend();
    if (cue == cues.cend()) {
        m_engine.cuePreview().cancelTimelinePreview();
        return;
    }
    // The engine waits a moment before it renders and drops a request the next one supersedes.
    m_engine.previewTimeline(*cue, request->time);
}

void TimelineEditor::showMessageSheet()
{
    const std::optional<TimelineEvent>& draft = m_model->view().messageDraft();
    if (!draft) {
        if (m_messageSheet)
            m_messageSheet->close();
        return;
    }
    if (m_messageSheet)
        return;
    auto* editor =
        new MessageEventEditor(*draft, [this](const TimelineEvent& saved) { m_model->edits().saveMessage(saved); });
    m_messageSheet = new ConsoleSheet(editor, 0, window());
    connect(editor, &MessageEventEditor::dismissed, m_messageSheet, &QDialog::close);
    connect(m_messageSheet, &ConsoleSheet::closedByUser, this,
            [this] { m_model->view().setMessageDraft(std::nullopt); });
    m_messageSheet->open();
}

void TimelineEditor::showLaneAlert()
{
    const std::optional<TimelineLane> lane = m_model->view().layerToDelete();
    if (!lane) {
        if (m_laneAlert)
            m_laneAlert->close();
        return;
    }
    if (QPointer<QMessageBox> previous = std::exchange(m_laneAlert, nullptr))
        previous->close();
    m_laneAlert = new QMessageBox(window());
    m_laneAlert->setAttribute(Qt::WA_DeleteOnClose);
    m_laneAlert->setWindowModality(Qt::WindowModal);
    m_laneAlert->setIcon(QMessageBox::Warning);
    m_laneAlert->setWindowTitle(QStringLiteral("删除轨道？"));
    m_laneAlert->setText(QStringLiteral("删除轨道？"));
    const QString sentence = QStringLiteral("「") + lane->title() + QStringLiteral("」上的 ") +
                             QString::number(m_model->cue().eventCount(*lane)) + QStringLiteral(" 个事件也会被删除。");
    m_laneAlert->setInformativeText(sentence);
    // Qt sizes an alert by its heading and wraps the sentence anywhere, which splits Chinese words over two lines:
    // the sentence claims its own width (a very long lane title still wraps). The lane's title is a name from the
    // file: the sentence is plain text, never markup or a link.
    for (QLabel* label : m_laneAlert->findChildren<QLabel*>())
        if (label->text() == sentence) {
            label->setTextFormat(Qt::PlainText);
            label->setMinimumWidth(
                std::min(kAlertTextWidth, int(std::ceil(QFontMetricsF(label->font()).horizontalAdvance(sentence)))));
        }
    QPushButton* remove = m_laneAlert->addButton(QStringLiteral("删除轨道及事件"), QMessageBox::DestructiveRole);
    m_laneAlert->addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    connect(m_laneAlert, &QMessageBox::buttonClicked, this, [this, remove, lane = *lane](QAbstractButton* clicked) {
        if (clicked == remove)
            m_model->edits().deleteLayer(lane);
    });
    // An alert replaced by the next one does not clear the lane that replaced it.
    connect(m_laneAlert, &QMessageBox::finished, this, [this, alert = m_laneAlert.data()] {
        if (m_laneAlert == alert)
            m_model->view().setLayerToDelete(std::nullopt);
    });
    m_laneAlert->open();
}
