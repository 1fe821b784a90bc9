#include "consolesheet.h"

#include <QEvent>
#include <QVBoxLayout>

ConsoleSheet::ConsoleSheet(QWidget* content, int width, QWidget* window) : QDialog(window), m_content(content)
{
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(content);
    if (width > 0)
        setFixedWidth(width);
    if (window)
        window->window()->installEventFilter(this);
}

bool ConsoleSheet::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && isVisible() && watched == parentWidget()->window()) {
        raise();
        activateWindow();
    }
    return QDialog::eventFilter(watched, event);
}

void ConsoleSheet::done(int result)
{
    QDialog::done(result);
    emit closedByUser();
}
