#include "lumomarkview.h"

#include "lumomark.h"

#include <QAccessibleWidget>
#include <QPainter>

namespace {

// The mark is decoration next to the product's name: assistive technology passes over it, as over anything that
// is not shown.
class SilentMark : public QAccessibleWidget
{
  public:
    explicit SilentMark(QWidget* mark) : QAccessibleWidget(mark, QAccessible::Graphic) {}
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.invisible = true;
        state.focusable = false;
        return state;
    }
    QString text(QAccessible::Text) const override { return {}; }
};

QAccessibleInterface* silentMarkFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String(LumoMark::staticMetaObject.className()) && object && object->isWidgetType())
        return new SilentMark(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

LumoMark::LumoMark(QWidget* parent) : QWidget(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(silentMarkFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setAttribute(Qt::WA_TranslucentBackground);
}

void LumoMark::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintLumoMark(painter, size());
}
