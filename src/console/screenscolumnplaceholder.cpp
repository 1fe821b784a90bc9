#include "screenscolumnplaceholder.h"

#include "sectionplaceholder.h"

#include <QVBoxLayout>

ScreensColumnPlaceholder::ScreensColumnPlaceholder(QWidget* parent) : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    auto* cards = new SectionPlaceholder("屏幕", this);
    cards->setMinimumHeight(180);
    column->addWidget(cards);
    auto* transport = new SectionPlaceholder("播放控制", this);
    transport->setMinimumHeight(56);
    column->addWidget(transport);
}
