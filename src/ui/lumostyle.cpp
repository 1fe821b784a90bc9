#include "lumostyle.h"

#include "consolecolors.h"
#include "wheelguard.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QStyleFactory>

void applyLumoStyle(QApplication& app)
{
    app.setStyle(QStyleFactory::create("Fusion"));

    QPalette p;
    const QColor text = ConsoleColors::primaryText();
    const QColor disabled = ConsoleColors::tertiaryText();
    p.setColor(QPalette::Window, ConsoleColors::windowBackground());
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, ConsoleColors::barBackground());
    p.setColor(QPalette::AlternateBase, ConsoleColors::inspectorBackground());
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(58, 64, 74));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Highlight, ConsoleColors::cyan().darker(140));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, ConsoleColors::cyan());
    p.setColor(QPalette::ToolTipBase, QColor(44, 48, 56));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, ConsoleColors::secondaryText());
    p.setColor(QPalette::Light, QColor(80, 86, 96));
    p.setColor(QPalette::Midlight, QColor(66, 72, 82));
    p.setColor(QPalette::Mid, QColor(40, 44, 52));
    p.setColor(QPalette::Dark, QColor(20, 22, 26));
    p.setColor(QPalette::Shadow, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    app.setPalette(p);

    // Named as the simplified face: in the C locale a bare "Noto Sans CJK" would fall back to the Japanese one.
    QFont font("Noto Sans CJK SC");
    font.setPointSizeF(10);
    app.setFont(font);

    WheelGuard::install();
}
