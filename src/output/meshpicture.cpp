#include "meshpicture.h"

#include "meshframes.h"
#include "meshrenderer.h"
#include "picture.h"

MeshPicture MeshPicture::describe(Picture* root, MeshInputs& inputs, Standby standby)
{
    MeshPicture described;
    if (!root)
        return described;
    Picture* output = root->independentOutput() ? root->independentOutput() : root;
    Picture* picture = output->foreground() ? output->foreground() : output;
    for (Picture* watched : {root, output, picture})
        if (!described.watched.contains(watched))
            described.watched.append(watched);
    // The flat test pattern stands in for the picture, its black switch included; the mesh's own grid stays dark.
    inputs.black = root->black() && !inputs.flatPattern;
    Player* player = picture->player();
    if (player->hasItem()) {
        inputs.item = player->generation();
        if (!inputs.black && !inputs.pattern && !inputs.flatPattern)
            described.video = picture;
    }
    inputs.image = picture->image().value_or(picture->transitionFrame().value_or(QImage()));
    if (!picture->image() && picture->transitionFrame())
        inputs.heldFrame = picture->transitionVideoFrame().value_or(VideoFrame());
    inputs.back = output->fallback().value_or(QImage());
    if (standby == Standby::canvas)
        inputs.standby = output->showsStandby() && !output->foreground() && !output->url() && !output->image();
    else
        inputs.standby = inputs.image.isNull();
    return described;
}

QList<QMetaObject::Connection> MeshPicture::watch(Picture* picture, QObject* receiver,
                                                  const std::function<void()>& changed)
{
    QList<QMetaObject::Connection> connections;
    for (auto signal :
         {&Picture::urlChanged, &Picture::imageChanged, &Picture::transitionFrameChanged, &Picture::blackChanged,
          &Picture::foregroundChanged, &Picture::independentOutputChanged, &Picture::fallbackChanged})
        connections.append(QObject::connect(picture, signal, receiver, changed));
    connections.append(QObject::connect(picture->player(), &Player::statusChanged, receiver, changed));
    connections.append(QObject::connect(picture, &QObject::destroyed, receiver, changed));
    return connections;
}
