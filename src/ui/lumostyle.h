#pragma once

class QApplication;

// The application's look: the dark Fusion style with the console's colours, and a Chinese font that has the
// simplified forms; and the guard that keeps the mouse wheel off values.
void applyLumoStyle(QApplication& app);
