#include "eventpicker.h"

#include "editorwidgets.h"
#include "timelineeditormodel.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>

EventPicker::EventPicker(TimelineEditorModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    m_choices = new QComboBox(this);
    m_choices->setObjectName(QStringLiteral("eventPicker"));
    m_choices->setAccessibleName(QStringLiteral("定位事件"));
    m_choices->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(m_choices, &QComboBox::activated, this, [this](int index) {
        m_model.selection().setEventID(index > 0 && index <= m_ids.size() ? std::optional(m_ids.at(index - 1))
                                                                          : std::nullopt);
    });

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(QStringLiteral("定位事件"), this));
    row->addWidget(m_choices, 1);

    connect(&m_model, &TimelineEditorModel::changed, this, &EventPicker::refresh);
    refresh();
}

// The times are written in the operator's locale, which can change while the console runs.
void EventPicker::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LocaleChange) {
        m_shownEvents.clear();
        m_shownAssets.clear();
        refresh();
    }
    QWidget::changeEvent(event);
}

void EventPicker::refresh()
{
    // The model changes on every step of a drag; the options are made again only when the events or the library
    // did.
    QList<TimelineEvent> events = m_model.cue().events();
    QList<MediaAsset> assets = m_model.cue().assets();
    // An option names its entry's file, never its length.
    const Engine* engine = m_model.cue().engine();
    if (engine && engine->lengthMeasured() && events.isSharedWith(m_shownEvents))
        m_shownAssets = assets;
    if (events != m_shownEvents || assets != m_shownAssets) {
        QStringList texts{QStringLiteral("未选择")};
        QList<QUuid> ids;
        for (const TimelineEvent& event : m_model.cue().pickerEvents()) {
            texts.append(m_model.cue().pickerText(event));
            ids.append(event.id);
        }
        const QSignalBlocker blocker(m_choices);
        if (ids != m_ids)
            m_choices->clear();
        EditorWidgets::setChoices(m_choices, texts);
        m_ids = ids;
        m_shownEvents = std::move(events);
        m_shownAssets = std::move(assets);
    }
    const QSignalBlocker blocker(m_choices);
    const std::optional<QUuid> selected = m_model.selection().eventID();
    m_choices->setCurrentIndex(selected ? int(m_ids.indexOf(*selected)) + 1 : 0);
}
