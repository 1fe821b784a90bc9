#include "mediafile.h"

#include "filecall.h"

#include <QFile>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

bool isReadableFileAt(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QByteArray native = QFile::encodeName(path);
    struct stat status = {};
    {
        const FileCall call;
        if (::stat(native.constData(), &status) != 0 || !S_ISREG(status.st_mode))
            return false;
    }
    const FileCall call;
    return ::access(native.constData(), R_OK) == 0;
}

bool isReadableFile(const QUrl& url)
{
    return url.isLocalFile() && isReadableFileAt(url.toLocalFile());
}

QString unreadableFileText(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    struct stat status = {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &status) != 0)
        return QStringLiteral("找不到文件“%1”").arg(name);
    if (!S_ISREG(status.st_mode))
        return QStringLiteral("“%1”不是普通文件，不能作为素材读取").arg(name);
    return QStringLiteral("没有权限读取“%1”").arg(name);
}

FileStamp fileStampAt(const QString& path)
{
    struct stat status = {};
    if (path.isEmpty())
        return {};
    const FileCall call;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    return {true, quint64(status.st_dev), quint64(status.st_ino), qint64(status.st_size),
            qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec};
}

FileStamp fileStamp(const QUrl& url)
{
    return url.isLocalFile() ? fileStampAt(url.toLocalFile()) : FileStamp{};
}
