#pragma once

#include <QString>

// What an operating-system error of a file means, in the operator's words: our own text for the errors people
// meet (read-only disk, full disk, no permission, missing file, name too long, a link loop or a file where
// a folder should be, too many open files), the system's for the rest.
QString fileErrorText(int error);
