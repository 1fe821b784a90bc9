#pragma once

#include <QString>
#include <QStringList>

class QFrame;
class QComboBox;
class QLabel;
class QWidget;

// The small pieces the editor's panes share: texts in the console's styles and thin dividers.
namespace EditorWidgets {
QLabel* headline(const QString& text, QWidget* parent);
QLabel* secondary(const QString& text, QWidget* parent);
QFrame* divider(Qt::Orientation orientation, QWidget* parent);
// Replaces a picker's options only when their texts changed, so that an open list is not disturbed; tells whether
// it did.
bool setChoices(QComboBox* picker, const QStringList& texts);
} // namespace EditorWidgets
