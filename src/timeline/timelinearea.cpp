#include "timelinearea.h"

#include "sectionplaceholder.h"
#include "timelineeditormodel.h"

#include <QVBoxLayout>

// Until the painted viewport is built, a labelled area of the right height stands here.
TimelineArea::TimelineArea(TimelineEditorModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(new SectionPlaceholder(QStringLiteral("时间轴区域"), this));
    connect(&m_model, &TimelineEditorModel::changed, this, [this] {
        if (minimumHeight() != sizeHint().height())
            setMinimumHeight(sizeHint().height());
    });
    setMinimumHeight(sizeHint().height());
}

QSize TimelineArea::sizeHint() const
{
    return {400, int(TimelineGeometry::areaHeight(int(m_model.lanes().size())))};
}
