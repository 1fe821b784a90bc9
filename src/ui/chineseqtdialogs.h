#pragma once

// Qt's own dialogs (file panels, message box buttons, the replace question) speak Chinese like the rest of the
// console, whatever the system's locale. Installs Qt's Chinese translations and makes Chinese the default locale
// once; later calls do nothing. The console's own numbers keep to the operator's locale (operatorLocale()).
void installChineseQtDialogs();
