#pragma once

#include <QList>
#include <QMetaObject>
#include <functional>

struct MeshInputs;
class Picture;
class QObject;

// What a mesh renderer shows of a screen's picture: its independent output when it has one (the root's own black
// switch still counts), that output's foreground over its fallback, a still, or a video over its held transition
// frame. Written into the picture's fields of the inputs (item, image, heldFrame, black).
struct MeshPicture
{
    // The pictures whose changes change what is shown.
    QList<Picture*> watched;
    // The picture whose video frames are to be shown; none when no video shows (no item, black, the pattern).
    Picture* video = nullptr;

    static MeshPicture describe(Picture* root, MeshInputs& inputs);
    // Calls changed on every signal of the picture (and its player) that can change what is shown.
    static QList<QMetaObject::Connection> watch(Picture* picture, QObject* receiver,
                                                const std::function<void()>& changed);
};
