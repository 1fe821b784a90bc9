#pragma once

#include <QFontMetrics>
#include <QLabel>
#include <QWidget>
#include <gtest/gtest.h>

// A name written like markup, as a project file or a person may give it: read as rich text it is one large red
// character.
inline const QString kMarkedUpName = QStringLiteral("<font color=red size=7>大</font>");

// Whether a label shows the text as it stands: at least as wide as the text and one line high, as plain text is.
inline ::testing::AssertionResult showsLiterally(const QLabel& label, const QString& text)
{
    const QFontMetrics metrics(label.font());
    const QSize size = label.sizeHint();
    if (size.width() >= metrics.horizontalAdvance(text) && size.height() < 2 * metrics.lineSpacing())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << text.toStdString() << "\" takes " << size.width() << " × "
                                         << size.height() << " instead of " << metrics.horizontalAdvance(text) << " × "
                                         << metrics.lineSpacing();
}

// The labels inside a widget, shown with it, whose text holds the name.
inline QList<QLabel*> labelsShowing(QWidget& widget, const QString& name)
{
    QList<QLabel*> found;
    for (QLabel* label : widget.findChildren<QLabel*>())
        if (label->text().contains(name) && label->isVisibleTo(&widget))
            found.append(label);
    return found;
}
