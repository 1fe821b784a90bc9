#pragma once

#include <QString>

class QFrame;
class QLabel;
class QWidget;

// The small pieces the editor's panes share: texts in the console's styles and thin dividers.
namespace EditorWidgets {
QLabel* headline(const QString& text, QWidget* parent);
QLabel* secondary(const QString& text, QWidget* parent);
QFrame* divider(Qt::Orientation orientation, QWidget* parent);
} // namespace EditorWidgets
