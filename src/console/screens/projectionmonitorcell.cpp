#include "projectionmonitorcell.h"

#include "consoletext.h"
#include "displaypreview.h"
#include "engine.h"
#include "engineoutputsource.h"
#include "mappedoutput.h"
#include "pictureview.h"
#include "plainlabel.h"

#include <QLabel>
#include <QVBoxLayout>

static constexpr int outputHeight = 240;

ProjectionMonitorCell::ProjectionMonitorCell(Engine& engine, const ScreenRole& role, QWidget* parent)
    : QWidget(parent), m_engine(engine), m_role(role), m_mapped(new AspectBox(this)),
      m_picture(new DisplayPreview(nullptr, std::nullopt, false, this))
{
    setObjectName(role.rawValue);
    auto* name = plainLabel(role.rawValue, this);
    name->setFont(ConsoleText::headline(name->font()));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(name);
    for (QWidget* output : {static_cast<QWidget*>(m_mapped), static_cast<QWidget*>(m_picture)}) {
        output->setFixedHeight(outputHeight);
        output->hide();
        column->addWidget(output);
    }
    column->addStretch(1);
    refresh();
}

QWidget* ProjectionMonitorCell::output() const
{
    switch (m_content) {
    case Content::mapped:
        return m_mapped->content();
    case Content::picture:
        return m_picture;
    case Content::none:
        break;
    }
    return nullptr;
}

void ProjectionMonitorCell::refresh()
{
    const std::optional<DisplayScreen> display = m_engine.display(m_role);
    if (m_engine.mapping(m_role).enabled) {
        if (!m_mapped->content())
            m_mapped->setContent(new MappedOutput(EngineOutputSource::of(m_engine), m_role));
        m_mapped->setAspect(DisplayPreview::aspectOf(display));
        show(Content::mapped);
        return;
    }
    Picture* picture = m_engine.program(m_role);
    m_picture->setPicture(picture);
    if (!picture) {
        show(Content::none);
        return;
    }
    m_picture->setDisplay(display);
    m_picture->setFillsScreen(m_engine.mappings().contains(m_role));
    show(Content::picture);
}

void ProjectionMonitorCell::setOnScreen(bool onScreen)
{
    if (onScreen == m_onScreen)
        return;
    m_onScreen = onScreen;
    show(m_content);
}

// The output keeps its place when scrolled away, so the grid does not move; only its inner view hides.
void ProjectionMonitorCell::show(Content content)
{
    m_content = content;
    m_mapped->setVisible(content == Content::mapped);
    m_picture->setVisible(content == Content::picture);
    if (QWidget* inner = m_mapped->content())
        inner->setVisible(m_onScreen && content == Content::mapped);
    m_picture->pictureView()->setVisible(m_onScreen);
}
