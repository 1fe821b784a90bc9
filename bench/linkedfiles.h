#pragma once

#include "mediafixtures.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QList>
#include <QUrl>
#include <unistd.h>

// `count` files named by number, each a link to one small picture (as many files, made in a moment), or, every
// `soundEvery`-th one when given, to one short sound.
inline QList<QUrl> makeLinkedFiles(const QString& folder, const QString& stem, int count, int soundEvery = 0)
{
    QDir().mkpath(folder);
    const QString picture = folder + QStringLiteral("/model.png");
    QImage image(16, 9, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    image.save(picture);
    const QString sound = folder + QStringLiteral("/model.wav");
    if (soundEvery > 0)
        QFile::copy(MediaFixtures::wav(), sound);
    QList<QUrl> files;
    files.reserve(count);
    for (int i = 0; i < count; ++i) {
        const bool audible = soundEvery > 0 && i % soundEvery == soundEvery * 2 / 5;
        const QString path = folder + QStringLiteral("/%1-%2.%3")
                                          .arg(stem)
                                          .arg(i, 5, 10, QChar('0'))
                                          .arg(audible ? QStringLiteral("wav") : QStringLiteral("png"));
        const QString model = audible ? sound : picture;
        if (::link(qPrintable(model), qPrintable(path)) != 0)
            QFile::copy(model, path);
        files.append(QUrl::fromLocalFile(path));
    }
    QFile::remove(picture);
    QFile::remove(sound);
    return files;
}
