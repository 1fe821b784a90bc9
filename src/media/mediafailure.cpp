#include "mediafailure.h"

#include "mediafile.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QtEndian>
#include <gst/gst.h>

namespace {

// GStreamer's detail is source locations with the element path, each followed by the sentence that matters.
QString plainDetail(const char* debug)
{
    static const QRegularExpression location(QStringLiteral(R"(\.c\(\d+\): )"));
    QString last;
    for (const QString& line : QString::fromUtf8(debug).split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty() && !location.match(trimmed).hasMatch())
            last = trimmed;
    }
    while (last.endsWith(QLatin1Char(':')))
        last.chop(1);
    return last;
}

} // namespace

bool isIncompleteIsoFile(const QString& path)
{
    if (!isReadableFileAt(path))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    static const QList<QByteArray> topLevel{"ftyp", "moov", "mdat", "free", "skip", "wide", "pdin", "uuid", "moof"};
    const qint64 end = file.size();
    qint64 offset = 0;
    bool index = false;
    bool media = false;
    for (int boxes = 0; offset < end && boxes < 10000; ++boxes) {
        if (!file.seek(offset))
            return false;
        const QByteArray header = file.read(16);
        if (header.size() < 8)
            return true;
        const QByteArray type = header.mid(4, 4);
        if (boxes == 0 && !topLevel.contains(type))
            return false;
        qint64 size = qFromBigEndian<quint32>(header.constData());
        if (size == 1) {
            if (header.size() < 16)
                return true;
            size = qint64(qFromBigEndian<quint64>(header.constData() + 8));
        } else if (size == 0) {
            size = end - offset;
        }
        if (size < 8)
            return false;
        index = index || type == "moov";
        media = media || type == "mdat";
        if (offset + size > end)
            return true;
        offset += size;
    }
    return media && !index;
}

QString mediaFailureText(GstMessage* error, const QUrl& url)
{
    GError* gerror = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(error, &gerror, &debug);
    const QString message = QString::fromUtf8(gerror ? gerror->message : "Unknown error");
    const bool streamError = gerror && gerror->domain == GST_STREAM_ERROR;
    const QString detail = plainDetail(debug);
    g_clear_error(&gerror);
    g_free(debug);

    if (streamError && url.isLocalFile() && isIncompleteIsoFile(url.toLocalFile()))
        return QStringLiteral("The file is incomplete: it ends before its index, as a recording or copy that was "
                              "cut short does. Copy or export the file again.");
    if (detail.isEmpty() || message.contains(detail, Qt::CaseInsensitive))
        return message;
    return message + QStringLiteral(" (") + detail + QLatin1Char(')');
}
