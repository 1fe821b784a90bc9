#pragma once

#include "displayprovider.h"

class QScreen;
class QWindow;

// The system's displays through QScreen.
class ScreenDisplayProvider : public DisplayProvider
{
    Q_OBJECT
  public:
    explicit ScreenDisplayProvider(QObject* parent = nullptr);
    QList<DisplayScreen> displays() const override;
    bool holdsConsole(int number) const override;
    bool holdsKeyWindow(int number) const override;

    // The QScreen behind a display number, none when it is not connected.
    static QScreen* screen(int number);

  private:
    void watch(QScreen* screen);
    static bool isOn(const QWindow* window, int number);
};
