#include "editorwidgets.h"

#include "consolecolors.h"
#include "consoletext.h"
#include "plainlabel.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>

namespace EditorWidgets {

QLabel* headline(const QString& text, QWidget* parent)
{
    auto* label = plainLabel(text, parent);
    label->setFont(ConsoleText::headline(label->font()));
    return label;
}

QLabel* secondary(const QString& text, QWidget* parent)
{
    auto* label = plainLabel(text, parent);
    ConsoleText::setColour(label, ConsoleColors::secondaryText());
    return label;
}

QFrame* divider(Qt::Orientation orientation, QWidget* parent)
{
    auto* line = new QFrame(parent);
    if (orientation == Qt::Horizontal)
        line->setFixedHeight(1);
    else
        line->setFixedWidth(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, ConsoleColors::divider());
    line->setPalette(palette);
    return line;
}

bool setChoices(QComboBox* picker, const QStringList& texts)
{
    QStringList shown;
    for (int i = 0; i < picker->count(); ++i)
        shown.append(picker->itemText(i));
    if (shown == texts)
        return false;
    picker->clear();
    picker->addItems(texts);
    return true;
}

} // namespace EditorWidgets
