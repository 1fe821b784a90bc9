#include "eventinspector.h"

#include "consolecolors.h"
#include "consoletext.h"
#include "editorwidgets.h"
#include "findbyid.h"
#include "numberfield.h"
#include "operatorlocale.h"
#include "timelineeditormodel.h"
#include "timelinenotes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {
QString titleText(const TimelineEvent& event)
{
    const std::optional<ScreenRole> screen = event.screen();
    return QStringLiteral("事件 · ") + (screen ? screen->rawValue : rawValue(event.track));
}

constexpr int kRowSpacing = 9;

double shownPictureDuration(const TimelineEvent& event)
{
    const double seconds = event.imageDuration && std::isfinite(*event.imageDuration) ? *event.imageDuration : 1;
    return std::clamp(seconds, 0.01, TimelineGeometry::kLatestTime);
}

} // namespace

EventInspector::EventInspector(TimelineEditorModel& model, int cueIndex, const TimelineEvent& event, QWidget* parent)
    : QWidget(parent), m_model(model), m_cueIndex(cueIndex), m_snapshot(event)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kRowSpacing);
    m_title = EditorWidgets::headline(titleText(event), this);
    m_title->setObjectName(QStringLiteral("eventTitle"));
    m_title->setTextFormat(Qt::PlainText);
    column->addWidget(m_title);

    m_time = new NumberField(NumberField::Kind::decimal, this);
    m_time->setObjectName(QStringLiteral("eventTime"));
    m_time->setPlaceholderText(QStringLiteral("秒"));
    m_time->setFixedWidth(100);
    connect(m_time, &NumberField::committed, this, [this](double seconds) {
        TimelineEvent edited = current();
        edited.time = seconds;
        write(edited);
    });
    m_timeWarning = new QLabel(kTimeRangeNote, this);
    ConsoleText::setColour(m_timeWarning, ConsoleColors::orange());
    auto* timeRow = new QHBoxLayout;
    timeRow->addWidget(new QLabel(QStringLiteral("触发时间（秒）"), this));
    timeRow->addWidget(m_time);
    timeRow->addWidget(m_timeWarning);
    timeRow->addStretch(1);
    column->addLayout(timeRow);

    if (isScreen(event.track))
        column->addWidget(makeLayerRow());
    if (event.track == Track::message) {
        auto* open = new QPushButton(QStringLiteral("编辑通讯事件"), this);
        connect(open, &QPushButton::clicked, this, [this] { m_model.view().setMessageDraft(current()); });
        column->addWidget(open, 0, Qt::AlignLeft);
    } else {
        column->addWidget(makeAssetRow());
    }

    connect(&m_model, &TimelineEditorModel::changed, this, &EventInspector::refresh);
    refresh();
}

int EventInspector::firstFieldsHeight()
{
    QWidget probe;
    const QLabel* heading = EditorWidgets::headline(QStringLiteral("事件"), &probe);
    const NumberField field(NumberField::Kind::decimal, &probe);
    const QLabel label(QStringLiteral("触发时间（秒）"), &probe);
    return heading->sizeHint().height() + kRowSpacing + std::max(field.sizeHint().height(), label.sizeHint().height());
}

TimelineEvent EventInspector::current() const
{
    const QList<TimelineEvent> events = m_model.cue().events();
    const auto found = findById(events, m_snapshot.id);
    return found != events.cend() ? *found : m_snapshot;
}

void EventInspector::write(const TimelineEvent& edited)
{
    m_model.edits().applyEventEdit(m_cueIndex, edited);
    // A refused change shows the stored event again.
    refresh();
}

QWidget* EventInspector::makeLayerRow()
{
    m_layerRow = new QWidget(this);
    m_layer = new QComboBox(m_layerRow);
    m_layer->setObjectName(QStringLiteral("layer"));
    m_layer->setAccessibleName(QStringLiteral("层级"));
    connect(m_layer, &QComboBox::activated, this, [this](int index) {
        if (index < 0 || index >= m_layerNumbers.size())
            return;
        TimelineEvent edited = current();
        edited.layer = m_layerNumbers.at(index);
        write(edited);
    });

    m_pictureDuration = new QWidget(m_layerRow);
    m_pictureSeconds = new NumberField(NumberField::Kind::decimal, m_pictureDuration);
    m_pictureSeconds->setObjectName(QStringLiteral("pictureDuration"));
    m_pictureSeconds->setPlaceholderText(QStringLiteral("时长（秒）"));
    m_pictureSeconds->setAccessibleName(QStringLiteral("时长（秒）"));
    m_pictureSeconds->setFixedWidth(90);
    connect(m_pictureSeconds, &NumberField::committed, this, [this](double seconds) {
        TimelineEvent edited = current();
        edited.imageDuration = TimelineCueEdits::typedPictureDuration(seconds);
        if (edited.imageDuration)
            write(edited);
    });
    auto* pictureRow = new QHBoxLayout(m_pictureDuration);
    pictureRow->setContentsMargins(0, 0, 0, 0);
    pictureRow->addWidget(m_pictureSeconds);
    pictureRow->addWidget(new QLabel(QStringLiteral("秒"), m_pictureDuration));

    m_duration = new QLabel(m_layerRow);
    m_duration->setObjectName(QStringLiteral("mediaDuration"));

    auto* row = new QHBoxLayout(m_layerRow);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(QStringLiteral("层级"), m_layerRow));
    row->addWidget(m_layer);
    row->addWidget(m_pictureDuration);
    row->addWidget(m_duration);
    row->addStretch(1);
    return m_layerRow;
}

QWidget* EventInspector::makeAssetRow()
{
    auto* assetRow = new QWidget(this);
    m_asset = new QComboBox(assetRow);
    m_asset->setObjectName(QStringLiteral("asset"));
    m_asset->setAccessibleName(QStringLiteral("素材"));
    m_asset->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(m_asset, &QComboBox::activated, this, [this](int index) {
        if (index < 0 || index >= m_assetIds.size())
            return;
        TimelineEvent edited = current();
        edited.assetID = m_assetIds.at(index);
        write(edited);
    });
    m_videoSound = new QCheckBox(QStringLiteral("禁用视频声音"), assetRow);
    connect(m_videoSound, &QCheckBox::clicked, this, [this](bool off) {
        TimelineEvent edited = current();
        edited.videoMuted = off;
        write(edited);
    });

    auto* column = new QVBoxLayout(assetRow);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(9);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("素材"), assetRow));
    row->addWidget(m_asset, 1);
    column->addLayout(row);
    column->addWidget(m_videoSound);
    return assetRow;
}

void EventInspector::refresh()
{
    const TimelineEvent event = current();
    // A move to another screen's lane, or its undo, keeps the inspector but not the screen.
    m_title->setText(titleText(event));
    m_time->setValue(event.time);
    m_timeWarning->setVisible(!TimelineGeometry::isValidTime(event.time));
    const std::optional<MediaAsset> asset = m_model.cue().asset(event);
    if (m_layerRow)
        refreshLayers(event);
    if (m_pictureDuration) {
        const bool picture = asset && asset->kind == AssetKind::image;
        m_pictureDuration->setVisible(picture);
        if (picture)
            m_pictureSeconds->setValue(shownPictureDuration(event));
        const bool timed = asset && !picture && asset->duration;
        m_duration->setVisible(timed);
        if (timed)
            m_duration->setText(QStringLiteral("时长 ") + operatorLocale().toString(*asset->duration, 'f', 2) +
                                QStringLiteral(" 秒"));
    }
    if (m_asset)
        refreshAssets(event, asset);
}

// The lanes of the event's own screen, each offered by its layer.
void EventInspector::refreshLayers(const TimelineEvent& event)
{
    QStringList titles;
    m_layerNumbers.clear();
    for (const TimelineLane& lane : m_model.cue().lanes())
        if (lane.screen && lane.screen == event.screen()) {
            titles.append(lane.title());
            m_layerNumbers.append(lane.layer);
        }
    const QSignalBlocker blocker(m_layer);
    EditorWidgets::setChoices(m_layer, titles);
    m_layer->setCurrentIndex(int(m_layerNumbers.indexOf(event.effectiveLayer())));
}

void EventInspector::refreshAssets(const TimelineEvent& event, const std::optional<MediaAsset>& asset)
{
    QStringList texts;
    m_assetIds.clear();
    if (!asset) {
        texts.append(QStringLiteral("未选择或素材缺失"));
        m_assetIds.append(std::nullopt);
    }
    for (const MediaAsset& entry : m_model.cue().assets())
        if (accepts(event.track, entry)) {
            texts.append(entry.url.fileName());
            m_assetIds.append(entry.id);
        }
    const QSignalBlocker blocker(m_asset);
    EditorWidgets::setChoices(m_asset, texts);
    m_asset->setCurrentIndex(asset ? int(m_assetIds.indexOf(std::optional(asset->id))) : 0);
    const bool video = asset && asset->kind == AssetKind::video;
    m_videoSound->setVisible(video);
    if (video)
        m_videoSound->setChecked(TimelineCueEdits::videoSoundOff(event));
}
