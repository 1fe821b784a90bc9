#include "lumohelp.h"

#include <QApplication>
#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

namespace {
constexpr const char* helpProperty = "lumoHelpText";
constexpr const char* switchProperty = "lumoTooltipsEnabled";

// Help names screens and files as they stand, but a tooltip takes a name written like markup for rich text: the help
// goes as rich text that shows every character and keeps its lines as a plain tooltip does.
QString asTooltip(const QString& help)
{
    return QStringLiteral("<div style=\"white-space:pre\">") + help.toHtmlEscaped() + QStringLiteral("</div>");
}

// Answers the tooltip events of widgets with hover help, so that the window's switch decides at the moment of showing.
class HoverHelpFilter : public QObject
{
  public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::ToolTip || !watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (!widget->property(helpProperty).isValid())
            return false;
        const QString text = lumoHelpText(widget);
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), asTooltip(text), widget);
        return true;
    }
};

void installFilterOnce()
{
    static QPointer<HoverHelpFilter> filter;
    if (filter || !qApp)
        return;
    filter = new HoverHelpFilter(qApp);
    qApp->installEventFilter(filter);
}
} // namespace

void lumoHelp(QWidget* widget, const QString& text)
{
    installFilterOnce();
    widget->setProperty(helpProperty, text);
}

void setLumoTooltipsEnabled(QWidget* window, bool enabled)
{
    window->setProperty(switchProperty, enabled);
    if (!enabled)
        QToolTip::hideText();
}

QString lumoHelpText(const QWidget* widget)
{
    const QString text = widget->property(helpProperty).toString();
    // The nearest setting up the parent chain holds, across windows: a sheet follows the console that shows it.
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QVariant on = w->property(switchProperty);
        if (on.isValid())
            return on.toBool() ? text : QString();
    }
    return text;
}
