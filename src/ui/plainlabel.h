#pragma once

#include <QString>

class QLabel;
class QWidget;

// Names from a project file or from a person (screens, cues, media files, displays, phones) are shown as they stand:
// a name written like markup shows its brackets, never red or large letters.

// A label whose text is never taken for rich text.
QLabel* plainLabel(const QString& text, QWidget* parent);

// A name inside a button's or a menu's text, where a lone "&" would mark a shortcut letter and vanish.
QString literalAmpersands(const QString& name);
