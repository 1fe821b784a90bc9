#include "displaypreview.h"

#include "pictureview.h"

DisplayPreview::DisplayPreview(Picture* picture, const std::optional<DisplayScreen>& display, bool fillsScreen,
                               QWidget* parent)
    : AspectBox(parent), m_view(new PictureView(picture, fillsScreen))
{
    setCornerRadius(4);
    setAspect(aspectOf(display));
    setContent(m_view);
}

void DisplayPreview::setPicture(Picture* picture)
{
    if (picture != m_view->picture())
        m_view->setPicture(picture);
}

Picture* DisplayPreview::picture() const
{
    return m_view->picture();
}

void DisplayPreview::setDisplay(const std::optional<DisplayScreen>& display)
{
    setAspect(aspectOf(display));
}

void DisplayPreview::setFillsScreen(bool fills)
{
    m_view->setFillsScreen(fills);
}

QSizeF DisplayPreview::aspectOf(const std::optional<DisplayScreen>& display)
{
    if (display && !display->pixelSize.isEmpty())
        return QSizeF(display->pixelSize);
    return QSizeF(16, 9);
}
