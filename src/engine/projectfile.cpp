#include "projectfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("文件夹");
    if (S_ISFIFO(mode))
        return QStringLiteral("命名管道");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("设备");
    if (S_ISSOCK(mode))
        return QStringLiteral("套接字");
    return QStringLiteral("特殊文件");
}

[[noreturn]] void refuseUnreadable(const QString& name, int error)
{
    throw ProjectFileError(QStringLiteral("无法读取“%1”：%2").arg(name, QString::fromLocal8Bit(std::strerror(error))));
}

void refuseIfTooLarge(const QString& name, qint64 size)
{
    if (size > kLargestProjectFile)
        throw ProjectFileError(QStringLiteral("“%1”有 %2 MB，超过工程文件的上限 %3 MB，未读取")
                                   .arg(name, QString::number(double(size) / (1 << 20), 'f', 1),
                                        QString::number(kLargestProjectFile >> 20)));
}

// Refuses what is not a regular file of a sane size, before anything is read from it.
void checkReadable(const QString& name, const struct stat& status)
{
    if (!S_ISREG(status.st_mode))
        throw ProjectFileError(
            QStringLiteral("“%1”是%2，不是普通文件，不能作为工程打开").arg(name, kindOf(status.st_mode)));
    refuseIfTooLarge(name, status.st_size);
}

// The file is looked at through its links before it is opened, so that a device is never opened; it is opened
// without blocking (a FIFO put there meanwhile would wait for a writer) and looked at again.
QByteArray readRegularFile(const QString& path, const QString& name)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat status = {};
    if (::stat(native.constData(), &status) != 0)
        refuseUnreadable(name, errno);
    checkReadable(name, status);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        refuseUnreadable(name, errno);
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    if (::fstat(fd, &status) != 0)
        refuseUnreadable(name, errno);
    checkReadable(name, status);
    QByteArray bytes;
    // One byte more than the size tells a file that grew since; it is read on up to the limit.
    bytes.resize(qsizetype(status.st_size) + 1);
    qsizetype filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            refuseIfTooLarge(name, filled);
            bytes.resize(std::min(bytes.size() * 2, qsizetype(kLargestProjectFile) + 1));
        }
        const ssize_t count = ::read(fd, bytes.data() + filled, size_t(bytes.size() - filled));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            refuseUnreadable(name, errno);
        if (count == 0)
            break;
        filled += count;
    }
    bytes.truncate(filled);
    return bytes;
}

} // namespace

Show readShowFile(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const QByteArray bytes = readRegularFile(path, name);
    try {
        return decodeShow(bytes);
    } catch (const ShowLimitError& error) {
        throw ProjectFileError(QStringLiteral("“%1”%2").arg(name, error.text()));
    } catch (const ShowJsonError& error) {
        throw ProjectFileError(QStringLiteral("“%1”不是有效的工程文件：%2").arg(name, error.text()));
    }
}

void writeShowFile(const Show& show, const QString& path, JsonFormat format)
{
    const QFileInfo info(path);
    QByteArray bytes;
    try {
        bytes = encodeShow(show, format);
    } catch (const ShowJsonError& error) {
        throw ProjectFileError(QStringLiteral("工程无法编码：%1").arg(error.text()));
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
