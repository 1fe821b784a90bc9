#pragma once

#include "displayscreen.h"

#include <QList>
#include <QObject>

// The connected displays, and a signal when they change (connected, removed, resized).
class DisplayProvider : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    virtual QList<DisplayScreen> displays() const = 0;

signals:
    void displaysChanged();
};
