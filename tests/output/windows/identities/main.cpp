#include "screendisplayprovider.h"

#include <QGuiApplication>
#include <cstdio>

// Prints "width×height identity" for each display, as a console started on the same X server would see them.
int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    for (const DisplayScreen& display : ScreenDisplayProvider().displays())
        std::printf("%d×%d %s\n", display.geometry.width(), display.geometry.height(), qPrintable(display.identity));
    return 0;
}
