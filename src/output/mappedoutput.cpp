#include "mappedoutput.h"

#include "curvedprojectionview.h"
#include "pictureview.h"
#include "projectorinput.h"
#include "screenoutputsource.h"
#include "warpedoutput.h"

#include <QVBoxLayout>

MappedOutput::MappedOutput(ScreenOutputSource* source, const ScreenRole& role, Options options, QWidget* parent)
    : QWidget(parent), m_source(source), m_role(role), m_options(options)
{
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (source)
        connect(source, &ScreenOutputSource::changed, this, &MappedOutput::refresh);
    refresh();
}

void MappedOutput::setRole(const ScreenRole& role)
{
    if (role == m_role)
        return;
    m_role = role;
    refresh();
}

void MappedOutput::setTestPattern(bool testPattern)
{
    if (testPattern == m_options.testPattern)
        return;
    m_options.testPattern = testPattern;
    refresh();
}

void MappedOutput::setEditingMask(bool editingMask)
{
    if (editingMask == m_options.editingMask)
        return;
    m_options.editingMask = editingMask;
    refresh();
}

void MappedOutput::refresh()
{
    if (!m_source) {
        replaceContent(Kind::none, nullptr);
        return;
    }
    ProjectorMapping mapping = m_source->mapping(m_role);
    if (m_options.editingMask) {
        mapping.corners = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        mapping.mesh.reset();
    }
    Picture* source = m_source->program(mapping.source.value_or(m_role));
    if (mapping.enabled && source) {
        const bool pattern = m_options.testPattern;
        if (mapping.mesh)
            showCurved(source, mapping, pattern);
        else
            showWarped(source, mapping, pattern);
        return;
    }
    if (Picture* own = m_source->program(m_role))
        showPlain(own);
    else
        replaceContent(Kind::none, nullptr);
}

void MappedOutput::showCurved(Picture* picture, const ProjectorMapping& mapping, bool pattern)
{
    if (auto* curved = m_kind == Kind::curved ? static_cast<CurvedProjectionView*>(m_content) : nullptr) {
        curved->setRoot(picture);
        curved->setMapping(mapping);
        curved->setPattern(pattern);
        return;
    }
    replaceContent(Kind::curved, new CurvedProjectionView(picture, mapping, pattern));
}

// The crop is applied to the picture by ProjectorInput; the masks cover the whole output.
void MappedOutput::showWarped(Picture* picture, const ProjectorMapping& mapping, bool pattern)
{
    if (auto* warped = m_kind == Kind::warped ? static_cast<WarpedOutput*>(m_content) : nullptr) {
        warped->content()->setPicture(picture);
        warped->content()->setCrop(mapping.crop);
        warped->content()->setTestPattern(pattern);
        warped->setMapping(mapping);
        return;
    }
    replaceContent(Kind::warped, new WarpedOutput(mapping, new ProjectorInput(picture, mapping.crop, pattern)));
}

void MappedOutput::showPlain(Picture* picture)
{
    if (auto* plain = m_kind == Kind::plain ? static_cast<PictureView*>(m_content) : nullptr) {
        plain->setPicture(picture);
        return;
    }
    replaceContent(Kind::plain, new PictureView(picture, true));
}

void MappedOutput::replaceContent(Kind kind, QWidget* content)
{
    if (kind == m_kind && content == m_content)
        return;
    delete m_content;
    m_kind = kind;
    m_content = content;
    if (content)
        layout()->addWidget(content);
}
