#pragma once

#include "displayprovider.h"

class QScreen;

// The system's displays through QScreen.
class ScreenDisplayProvider : public DisplayProvider
{
    Q_OBJECT
public:
    explicit ScreenDisplayProvider(QObject* parent = nullptr);
    QList<DisplayScreen> displays() const override;

private:
    void watch(QScreen* screen);
};
