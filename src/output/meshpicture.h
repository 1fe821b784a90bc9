#pragma once

#include <QList>
#include <QMetaObject>
#include <functional>

struct MeshInputs;
class Picture;
class QObject;

// What a mesh renderer shows of a screen's picture: its independent output when it has one (the root's own black
// switch still counts), and of that output its fallback (or the standby artwork) beneath the content: the
// foreground, or the output's own still, or a video over its held transition frame. Written into the picture's
// fields of the inputs (item, image, heldFrame, back, standby, black).
struct MeshPicture
{
    // When the standby artwork makes the back layer, where there is no fallback.
    enum class Standby {
        // As a picture canvas: the picture asks for it and has no foreground, media or still of its own.
        canvas,
        // As a curved output: the content has no still or held frame, until the video's first frame covers it.
        untilFirstFrame,
    };

    // The pictures whose changes change what is shown.
    QList<Picture*> watched;
    // The picture whose video frames are to be shown; none when no video shows (no item, black, the pattern).
    Picture* video = nullptr;

    static MeshPicture describe(Picture* root, MeshInputs& inputs, Standby standby);
    // Calls changed on every signal of the picture (and its player) that can change what is shown.
    static QList<QMetaObject::Connection> watch(Picture* picture, QObject* receiver,
                                                const std::function<void()>& changed);
};
