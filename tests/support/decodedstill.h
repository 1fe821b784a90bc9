#pragma once

#include "eventwait.h"
#include "stilldecoder.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <gtest/gtest.h>
#include <optional>

// What the decoder makes of the file: the picture, or a null one when it cannot read it; the picture at hand or the
// one its look and decode bring, within the deadline.
inline QImage decodedStill(StillDecoder& decoder, const QString& path, int timeoutMs = 20000)
{
    std::optional<QImage> decoded;
    const QMetaObject::Connection told =
        QObject::connect(&decoder, &StillDecoder::decoded, [&](const QString& done, const QImage& image) {
            if (done == path)
                decoded = image;
        });
    if (const std::optional<QImage> atHand = decoder.image(path))
        decoded = atHand;
    if (!waitUntil([&] { return decoded.has_value(); }, timeoutMs))
        ADD_FAILURE() << "no decode of " << path.toStdString();
    QObject::disconnect(told);
    return decoded.value_or(QImage());
}
