#pragma once

#include <QLocale>

// The locale the operator reads and types the console's numbers in: the system's, asked afresh each time so that a
// change of it shows at the next redraw (widgets redraw on QEvent::LocaleChange). QLocale() is not it: the default
// locale stays Chinese for Qt's own dialogs.
inline QLocale operatorLocale()
{
    return QLocale::system();
}
