#include "mediafailure.h"

#include "lookaside.h"
#include "mediafile.h"

#include "tellingfile.h"

#include <QFile>
#include <QtEndian>
#include <gst/gst.h>
#include <utility>

namespace {

// GStreamer's own words are English and name its internals; the operator reads what went wrong with the file.
QString operatorWords(GQuark domain, int code)
{
    if (domain == GST_RESOURCE_ERROR) {
        switch (code) {
        case GST_RESOURCE_ERROR_NOT_FOUND:
            return QStringLiteral("找不到文件");
        case GST_RESOURCE_ERROR_NOT_AUTHORIZED:
            return QStringLiteral("没有读取此文件的权限");
        case GST_RESOURCE_ERROR_BUSY:
            return QStringLiteral("文件正被占用");
        case GST_RESOURCE_ERROR_OPEN_READ:
        case GST_RESOURCE_ERROR_OPEN_READ_WRITE:
            return QStringLiteral("无法打开文件");
        default:
            return QStringLiteral("读取文件时出错");
        }
    }
    if (domain == GST_STREAM_ERROR) {
        switch (code) {
        case GST_STREAM_ERROR_CODEC_NOT_FOUND:
            return QStringLiteral("缺少能解码此文件的解码器");
        case GST_STREAM_ERROR_TYPE_NOT_FOUND:
            return QStringLiteral("无法识别文件的格式");
        case GST_STREAM_ERROR_WRONG_TYPE:
        case GST_STREAM_ERROR_FORMAT:
        case GST_STREAM_ERROR_NOT_IMPLEMENTED:
            return QStringLiteral("不支持此文件的格式");
        case GST_STREAM_ERROR_DEMUX:
            return QStringLiteral("文件中没有可播放的画面或声音，或文件已损坏");
        default:
            return QStringLiteral("文件内容无法解码，可能已损坏");
        }
    }
    if (domain == GST_CORE_ERROR && code == GST_CORE_ERROR_MISSING_PLUGIN)
        return QStringLiteral("缺少播放此文件所需的组件");
    return QStringLiteral("播放此文件时出错");
}

} // namespace

bool isIncompleteIsoFile(const QString& path)
{
    if (!isReadableFileAt(path))
        return false;
    TellingFile file(path);
    return file.open(QIODevice::ReadOnly) && isIncompleteIsoFile(file);
}

bool isIncompleteIsoFile(QFile& file)
{
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

namespace {

std::pair<GQuark, int> errorCode(GstMessage* error)
{
    GError* gerror = nullptr;
    gst_message_parse_error(error, &gerror, nullptr);
    const GQuark domain = gerror ? gerror->domain : 0;
    const int code = gerror ? gerror->code : 0;
    g_clear_error(&gerror);
    return {domain, code};
}

} // namespace

QString mediaFailureWords(GstMessage* error)
{
    const auto [domain, code] = errorCode(error);
    return operatorWords(domain, code);
}

bool mayBeIncompleteFile(GstMessage* error, const QUrl& url)
{
    return errorCode(error).first == GST_STREAM_ERROR && url.isLocalFile();
}

QString incompleteFileText()
{
    return QStringLiteral("文件不完整：它在索引之前就结束了，像是中断的录制或复制。请重新复制或导出该文件。");
}

QString mediaFailureText(GstMessage* error, const QUrl& url)
{
    // Read aside: the file's folder may have stopped answering, which is why the item failed.
    if (mayBeIncompleteFile(error, url) &&
        lookWithin<bool>([path = url.toLocalFile()] { return isIncompleteIsoFile(path); }).value_or(false))
        return incompleteFileText();
    return mediaFailureWords(error);
}
