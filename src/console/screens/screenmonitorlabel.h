#pragma once

#include "elidedlabel.h"

#include <QList>
#include <QPointer>

class Picture;

// The caption under a screen's monitor: "黑场", the file on screen, "默认画面" or "无画面". It names what the screen's
// independent playback shows while there is one; black always comes from the screen's own picture.
class ScreenMonitorLabel : public ElidedLabel
{
    Q_OBJECT
  public:
    explicit ScreenMonitorLabel(Picture* screenPicture, QWidget* parent = nullptr);

    void setPicture(Picture* screenPicture);

    // The caption of a picture: black first, then the file of its foreground (or its own when it has none), then
    // its default picture or the standby artwork.
    static QString captionFor(const Picture* picture, bool black);

  private:
    void rewatch();
    void refresh();

    QPointer<Picture> m_screenPicture;
    QList<QMetaObject::Connection> m_watches;
};
