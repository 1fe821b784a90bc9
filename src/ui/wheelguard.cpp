#include "wheelguard.h"

#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QScrollBar>
#include <QWheelEvent>

static constexpr char kWheelMovesView[] = "lumoWheelMovesView";

static bool guarded(const QWidget* widget)
{
    if (!widget || widget->property(kWheelMovesView).toBool())
        return false;
    if (qobject_cast<const QScrollBar*>(widget))
        return false;
    return qobject_cast<const QAbstractSlider*>(widget) || qobject_cast<const QComboBox*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget);
}

static QAbstractScrollArea* scrollAreaAround(QWidget* widget)
{
    for (QWidget* parent = widget->parentWidget(); parent; parent = parent->parentWidget())
        if (auto* area = qobject_cast<QAbstractScrollArea*>(parent); area && area->viewport()->isAncestorOf(widget))
            return area;
    return nullptr;
}

void WheelGuard::install()
{
    if (!qApp || qApp->findChild<WheelGuard*>(QString(), Qt::FindDirectChildrenOnly))
        return;
    qApp->installEventFilter(new WheelGuard(qApp));
}

void WheelGuard::letWheelMoveView(QWidget* control)
{
    control->setProperty(kWheelMovesView, true);
}

bool WheelGuard::eventFilter(QObject* watched, QEvent* event)
{
    auto* control = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::Polish && guarded(control) && control->focusPolicy() == Qt::WheelFocus)
        control->setFocusPolicy(Qt::StrongFocus);
    if (event->type() != QEvent::Wheel || !guarded(control))
        return false;
    // The panel scrolls as if the control were not there; the control itself never sees the notch.
    if (QAbstractScrollArea* area = scrollAreaAround(control)) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        QWidget* viewport = area->viewport();
        QWheelEvent forwarded(control->mapTo(viewport, wheel->position()), wheel->globalPosition(), wheel->pixelDelta(),
                              wheel->angleDelta(), wheel->buttons(), wheel->modifiers(), wheel->phase(),
                              wheel->inverted(), wheel->source(), wheel->pointingDevice());
        QCoreApplication::sendEvent(viewport, &forwarded);
    }
    event->accept();
    return true;
}
