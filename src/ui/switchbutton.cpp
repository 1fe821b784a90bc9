#include "switchbutton.h"

#include "consolecolors.h"

#include <QStyleOptionButton>
#include <QStylePainter>

SwitchButton::SwitchButton(const QString& text, QWidget* parent) : QPushButton(text, parent)
{
    setCheckable(true);
}

// The look follows the state however it was set (a click, or the engine's value shown with signals blocked).
void SwitchButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    if (isChecked() && isEnabled()) {
        option.palette.setColor(QPalette::Button, ConsoleColors::activeFill());
        option.palette.setColor(QPalette::ButtonText, Qt::white);
    }
    painter.drawControl(QStyle::CE_PushButton, option);
}
