#include "eventpicker.h"

#include "editorwidgets.h"
#include "timelineeditormodel.h"

#include <QComboBox>
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
        m_model.setEventID(index > 0 && index <= m_ids.size() ? std::optional(m_ids.at(index - 1)) : std::nullopt);
    });

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(QStringLiteral("定位事件"), this));
    row->addWidget(m_choices, 1);

    connect(&m_model, &TimelineEditorModel::changed, this, &EventPicker::refresh);
    refresh();
}

void EventPicker::refresh()
{
    QStringList texts{QStringLiteral("未选择")};
    QList<QUuid> ids;
    for (const TimelineEvent& event : m_model.pickerEvents()) {
        texts.append(m_model.pickerText(event));
        ids.append(event.id);
    }
    const QSignalBlocker blocker(m_choices);
    if (ids != m_ids)
        m_choices->clear();
    EditorWidgets::setChoices(m_choices, texts);
    m_ids = ids;
    const std::optional<QUuid> selected = m_model.eventID();
    m_choices->setCurrentIndex(selected ? int(m_ids.indexOf(*selected)) + 1 : 0);
}
