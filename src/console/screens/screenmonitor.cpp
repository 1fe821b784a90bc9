#include "screenmonitor.h"

#include "displaypreview.h"
#include "screenmonitorlabel.h"

#include <QVBoxLayout>
#include <cmath>

ScreenMonitor::ScreenMonitor(Picture* picture, const std::optional<DisplayScreen>& display, double height,
                             QWidget* parent)
    : QWidget(parent), m_preview(new DisplayPreview(picture, display, display.has_value(), this)),
      m_label(new ScreenMonitorLabel(picture, this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    column->addWidget(m_preview);
    column->addWidget(m_label);
    setHeight(height);
}

void ScreenMonitor::setPicture(Picture* picture)
{
    m_preview->setPicture(picture);
    m_label->setPicture(picture);
}

void ScreenMonitor::setDisplay(const std::optional<DisplayScreen>& display)
{
    m_preview->setDisplay(display);
    m_preview->setFillsScreen(display.has_value());
}

void ScreenMonitor::setHeight(double height)
{
    m_preview->setFixedHeight(int(std::lround(height)));
}
