#include "timelinecontrols.h"

#include "editorwidgets.h"
#include "lumohelp.h"
#include "lumoicons.h"
#include "numberfield.h"
#include "switchbutton.h"
#include "timelineeditormodel.h"
#include "wheelguard.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <cmath>

// The zoom slider counts hundredths of a point per second, so that it moves smoothly.
static constexpr double kZoomSteps = 100;

TimelineControls::TimelineControls(TimelineEditorModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    m_lanes = new QComboBox(this);
    m_lanes->setObjectName(QStringLiteral("lanePicker"));
    m_lanes->setAccessibleName(QStringLiteral("轨道"));
    connect(m_lanes, &QComboBox::activated, this, [this](int index) {
        const QList<TimelineLane> lanes = m_model.cue().lanes();
        if (index >= 0 && index < lanes.size())
            m_model.selection().selectLane(lanes.at(index));
    });

    // A push button keeps room for its menu's arrow beside the label (a tool button draws it over the label).
    m_addLayer = new QPushButton(QStringLiteral("添加层"), this);
    m_addLayer->setObjectName(QStringLiteral("addLayer"));
    lumoHelp(m_addLayer, QStringLiteral("为当前节目添加媒体、音频或音效轨道"));
    auto* menu = new QMenu(m_addLayer);
    menu->addAction(QStringLiteral("添加媒体层"), this,
                    [this] { m_model.edits().addLayer(Track::main, m_model.selection().effectiveScreen()); });
    menu->addAction(QStringLiteral("添加音频层"), this,
                    [this] { m_model.edits().addLayer(Track::music, std::nullopt); });
    menu->addAction(QStringLiteral("添加音效层"), this,
                    [this] { m_model.edits().addLayer(Track::effects, std::nullopt); });
    m_addLayer->setMenu(menu);

    m_removeLane = new QToolButton(this);
    m_removeLane->setObjectName(QStringLiteral("removeLane"));
    m_removeLane->setIcon(lumoIcon(QStringLiteral("minus.circle")));
    m_removeLane->setAccessibleName(QStringLiteral("删除所选轨道"));
    m_removeLane->setAutoRaise(true);
    lumoHelp(m_removeLane, QStringLiteral("删除所选轨道。轨道含有事件时会先确认"));
    connect(m_removeLane, &QToolButton::clicked, this,
            [this] { m_model.edits().requestLayerDeletion(m_model.selection().selectedLane()); });

    m_insertion = new NumberField(NumberField::Kind::decimal, this);
    m_insertion->setObjectName(QStringLiteral("insertion"));
    m_insertion->setPlaceholderText(QStringLiteral("秒"));
    m_insertion->setAccessibleName(QStringLiteral("事件时间（秒）"));
    m_insertion->setFixedWidth(82);
    connect(m_insertion, &NumberField::committed, this,
            [this](double seconds) { m_model.selection().setInsertion(seconds); });

    m_snap = new SwitchButton(QStringLiteral("吸附"), this);
    m_snap->setAccessibleName(QStringLiteral("时间轴吸附"));
    lumoHelp(m_snap, QStringLiteral("拖动片段时吸附到相邻片段边缘，按住 Alt 临时关闭"));
    connect(m_snap, &QPushButton::toggled, this, [this](bool on) { m_model.view().setSnapEnabled(on); });

    m_zoom = new QSlider(Qt::Horizontal, this);
    m_zoom->setObjectName(QStringLiteral("zoom"));
    m_zoom->setAccessibleName(QStringLiteral("缩放"));
    m_zoom->setFixedWidth(130);
    WheelGuard::letWheelMoveView(m_zoom);
    m_zoom->setRange(int(TimelineGeometry::kMinZoom * kZoomSteps), int(TimelineGeometry::kMaxZoom * kZoomSteps));
    connect(m_zoom, &QSlider::valueChanged, this, [this](int steps) { m_model.view().setZoom(steps / kZoomSteps); });

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(QStringLiteral("轨道"), this));
    row->addWidget(m_lanes);
    row->addWidget(m_addLayer);
    row->addWidget(m_removeLane);
    row->addWidget(m_insertion);
    row->addWidget(EditorWidgets::secondary(QStringLiteral("秒"), this));
    row->addStretch(1);
    row->addWidget(m_snap);
    row->addWidget(new QLabel(QStringLiteral("缩放"), this));
    row->addWidget(m_zoom);

    connect(&m_model, &TimelineEditorModel::changed, this, &TimelineControls::refresh);
    refresh();
}

void TimelineControls::refresh()
{
    const QList<TimelineLane> lanes = m_model.cue().lanes();
    QStringList titles;
    for (const TimelineLane& lane : lanes)
        titles.append(lane.title());
    {
        const QSignalBlocker blocker(m_lanes);
        EditorWidgets::setChoices(m_lanes, titles);
        m_lanes->setCurrentIndex(int(lanes.indexOf(m_model.selection().selectedLane())));
    }
    m_lanes->setEnabled(!lanes.isEmpty());
    m_removeLane->setEnabled(!lanes.isEmpty());
    m_insertion->setValue(m_model.selection().insertion());
    {
        const QSignalBlocker blocker(m_snap);
        m_snap->setChecked(m_model.view().snapEnabled());
    }
    const int zoomSteps = int(std::lround(m_model.view().zoom() * kZoomSteps));
    if (m_zoom->value() != zoomSteps && !m_zoom->isSliderDown()) {
        const QSignalBlocker blocker(m_zoom);
        m_zoom->setValue(zoomSteps);
    }
}
