#include "inputhold.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

InputHold::InputHold()
{
    QCoreApplication::instance()->installEventFilter(this);
}

InputHold::~InputHold()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

bool InputHold::isInput(const QEvent& event)
{
    switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::NonClientAreaMouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::Gesture:
    case QEvent::NativeGesture:
        return true;
    default:
        return false;
    }
}

// The widget an object serves: itself, or the nearest widget above it (a shortcut's or an action's owner).
static QWidget* widgetOf(QObject* object)
{
    for (; object; object = object->parent())
        if (auto* widget = qobject_cast<QWidget*>(object))
            return widget;
    return nullptr;
}

static bool belongsToModalDialog(QObject* watched)
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal)
        return false;
    if (auto* window = qobject_cast<QWindow*>(watched))
        return window == modal->windowHandle();
    QWidget* widget = widgetOf(watched);
    return widget && widget->window() == modal;
}

bool InputHold::eventFilter(QObject* watched, QEvent* event)
{
    if (!isInput(*event) || belongsToModalDialog(watched))
        return false;
    // A shortcut override taken here keeps the key from reaching the shortcut map; the key itself is dropped next.
    // A drag is left unaccepted, so its source sees the drop refused.
    if (event->type() == QEvent::ShortcutOverride)
        event->accept();
    return true;
}
