#include "projectfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

Show readShowFile(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ProjectFileError(QStringLiteral("无法读取“%1”：%2").arg(name, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw ProjectFileError(QStringLiteral("无法读取“%1”：%2").arg(name, file.errorString()));
    try {
        return decodeShow(bytes);
    } catch (const ShowJsonError& error) {
        throw ProjectFileError(
            QStringLiteral("“%1”不是有效的工程文件：%2").arg(name, QString::fromUtf8(error.what())));
    }
}

void writeShowFile(const Show& show, const QString& path, JsonFormat format)
{
    const QFileInfo info(path);
    QByteArray bytes;
    try {
        bytes = encodeShow(show, format);
    } catch (const ShowJsonError& error) {
        throw ProjectFileError(QStringLiteral("工程无法编码：%1").arg(QString::fromUtf8(error.what())));
    }
    if (!QDir().mkpath(info.absolutePath()))
        throw ProjectFileError(QStringLiteral("无法创建文件夹“%1”").arg(info.absolutePath()));
    QSaveFile file(path);
    // Unbuffered, so that a short write on a full disk shows in the count instead of being lost in a flush that
    // reports success.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw ProjectFileError(QStringLiteral("无法写入“%1”：%2").arg(info.fileName(), file.errorString()));
    if (file.write(bytes) != bytes.size())
        throw ProjectFileError(QStringLiteral("无法完整写入“%1”：磁盘空间不足或文件过大").arg(info.fileName()));
    if (!file.commit())
        throw ProjectFileError(QStringLiteral("无法写入“%1”：%2").arg(info.fileName(), file.errorString()));
}
