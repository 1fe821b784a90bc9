#pragma once

class QFileDialog;

// Qt's file panel writes the size and date of each file in the system's locale, C or English on most show machines,
// next to its Chinese words: this panel writes them as the console's Chinese locale does. Call before the panel is
// shown.
void useChineseFileDetails(QFileDialog& panel);
