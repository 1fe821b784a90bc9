#include "largeshow.h"
#include "showjson.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <algorithm>
#include <cstdio>
#include <vector>

// Prints the decode and encode times of a large show's project file next to a bare QJsonDocument parse and
// serialise of the same bytes. With a file path, reads that file and prints its decode time or the reader's error.

template <typename Work> static double medianMilliseconds(Work work, int runs = 15)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

static int decodeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(file.errorString()));
        return 1;
    }
    const QByteArray bytes = file.readAll();
    try {
        QElapsedTimer timer;
        timer.start();
        const Show show = decodeShow(bytes);
        std::printf("decode %s: %.2f ms (%lld bytes, %lld cues)\n", qPrintable(path), timer.nsecsElapsed() / 1e6,
                    qint64(bytes.size()), qint64(show.cues.size()));
    } catch (const ShowJsonError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}

static void compare(const char* form, const Show& show, JsonFormat format)
{
    const QByteArray bytes = encodeShow(show, format);
    const QJsonDocument::JsonFormat qtFormat =
        format == JsonFormat::pretty ? QJsonDocument::Indented : QJsonDocument::Compact;
    const QJsonDocument document = QJsonDocument::fromJson(bytes);

    const double decode = medianMilliseconds([&] { decodeShow(bytes); });
    const double parse = medianMilliseconds([&] { QJsonDocument::fromJson(bytes); });
    const double encode = medianMilliseconds([&] { encodeShow(show, format); });
    const double serialise = medianMilliseconds([&] { document.toJson(qtFormat); });

    std::printf("%s file: %.1f MB\n", form, bytes.size() / 1e6);
    std::printf("  decode %8.2f ms   bare parse     %8.2f ms   ratio %.2f\n", decode, parse, decode / parse);
    std::printf("  encode %8.2f ms   bare serialise %8.2f ms   ratio %.2f\n", encode, serialise, encode / serialise);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1)
        return decodeFile(QString::fromLocal8Bit(argv[1]));

    const Show show = makeLargeShow();
    std::printf("large show: %lld cues, 20000 timeline events, %lld assets (median of 15 runs)\n",
                qint64(show.cues.size()), qint64(show.assets->size()));
    compare("pretty", show, JsonFormat::pretty);
    compare("compact", show, JsonFormat::compact);
    return 0;
}
