#include "timelineeditorplaceholder.h"

#include "sectionplaceholder.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

TimelineEditorPlaceholder::TimelineEditorPlaceholder(QWidget* programList, QWidget* monitors, QWidget* parent)
    : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(12);

    auto* left = new QVBoxLayout;
    left->setSpacing(8);
    programList->setParent(this);
    left->addWidget(programList, 1);
    row->addLayout(left, 0);
    programList->setMinimumWidth(280);
    programList->setMaximumWidth(340);

    auto* right = new QVBoxLayout;
    right->setSpacing(8);
    monitors->setParent(this);
    right->addWidget(monitors);
    right->addWidget(new SectionPlaceholder("时间线编辑器", this), 1);
    row->addLayout(right, 1);
}
