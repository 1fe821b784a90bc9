#pragma once

class QApplication;

// The application's look: the dark Fusion style with the console's colours, and a Chinese font that has the
// simplified forms.
void applyLumoStyle(QApplication& app);
