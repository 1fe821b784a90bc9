#include "projectfile.h"

#include "fileerrortext.h"
#include "filepulse.h"
#include "savetemporary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// Reads and writes go in pieces that each take a moment, so that a slow folder shows its progress call by call and a
// silent one is told from a long file: a share answers a large call in many requests, and a call made of a dozen
// slow ones would look silent. A piece grows while calls are quick and shrinks when one is slow, never below what a
// share answers in one request: each call also costs a request or two of its own, which smaller pieces only repeat.
class Pieces
{
  public:
    qsizetype next() const { return m_size; }
    // Times one call, so that the next piece fits the folder.
    template <typename Call> auto timed(Call call)
    {
        const auto began = std::chrono::steady_clock::now();
        const auto result = call(m_size);
        const auto took = std::chrono::steady_clock::now() - began;
        if (took < kQuick)
            m_size = std::min(m_size * 2, kLargest);
        else if (took > kSlow)
            m_size = std::max(m_size / 2, kSmallest);
        return result;
    }

  private:
    static constexpr qsizetype kSmallest = qsizetype(64) << 10;
    static constexpr qsizetype kLargest = qsizetype(1) << 20;
    static constexpr auto kQuick = 50ms;
    static constexpr auto kSlow = 400ms;
    qsizetype m_size = kSmallest;
};

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
    throw ProjectFileError(QStringLiteral("无法读取“%1”：%2").arg(name, fileErrorText(error)));
}

[[noreturn]] void refuseUnwritable(const QString& name, int error)
{
    throw ProjectFileError(QStringLiteral("无法写入“%1”：%2").arg(name, fileErrorText(error)));
}

// A job the operator gave up ends where it is; its outcome lands nowhere.
void stopIfGivenUp(const QString& name, const FilePulse* pulse)
{
    if (pulse && pulse->givenUp())
        throw ProjectFileError(QStringLiteral("“%1”已取消").arg(name));
}

QString megabytes(qint64 size)
{
    return QString::number(double(size) / (1 << 20), 'f', 1);
}

QString limitText(qint64 limit)
{
    return limit >= (1 << 20) ? QStringLiteral("%1 MB").arg(limit >> 20) : QStringLiteral("%1 字节").arg(limit);
}

void refuseIfTooLarge(const QString& name, qint64 size, qint64 limit)
{
    if (size > limit)
        throw ProjectFileError(
            QStringLiteral("“%1”有 %2 MB，超过工程文件的上限 %3，未读取").arg(name, megabytes(size), limitText(limit)));
}

// Refuses what is not a regular file of a sane size, before anything is read from it.
void checkReadable(const QString& name, const struct stat& status, qint64 limit)
{
    if (!S_ISREG(status.st_mode))
        throw ProjectFileError(
            QStringLiteral("“%1”是%2，不是普通文件，不能作为工程打开").arg(name, kindOf(status.st_mode)));
    refuseIfTooLarge(name, status.st_size, limit);
}

// The file is looked at through its links before it is opened, so that a device is never opened; it is opened
// without blocking (a FIFO put there meanwhile would wait for a writer) and looked at again.
QByteArray readRegularFile(const QString& path, const QString& name, qint64 limit, FilePulse* pulse)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat status = {};
    int result = 0;
    {
        const FilePulse::Call call(pulse);
        result = ::stat(native.constData(), &status);
    }
    if (result != 0)
        refuseUnreadable(name, errno);
    checkReadable(name, status, limit);
    int fd = -1;
    {
        const FilePulse::Call call(pulse);
        fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    if (fd < 0)
        refuseUnreadable(name, errno);
    const auto closeFile = qScopeGuard([fd, pulse] {
        const FilePulse::Call call(pulse);
        ::close(fd);
    });
    {
        const FilePulse::Call call(pulse);
        result = ::fstat(fd, &status);
    }
    if (result != 0)
        refuseUnreadable(name, errno);
    checkReadable(name, status, limit);
    if (pulse)
        pulse->setTotal(status.st_size);
    QByteArray bytes;
    // One byte more than the size tells a file that grew since; it is read on up to the limit.
    bytes.resize(qsizetype(status.st_size) + 1);
    qsizetype filled = 0;
    Pieces pieces;
    for (;;) {
        stopIfGivenUp(name, pulse);
        if (filled == bytes.size()) {
            refuseIfTooLarge(name, filled, limit);
            bytes.resize(std::min(bytes.size() * 2, qsizetype(limit) + 1));
        }
        ssize_t count = 0;
        count = pieces.timed([&](qsizetype piece) {
            const FilePulse::Call call(pulse);
            return ::read(fd, bytes.data() + filled, size_t(std::min(bytes.size() - filled, piece)));
        });
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            refuseUnreadable(name, errno);
        if (count == 0)
            break;
        filled += count;
        if (pulse)
            pulse->setDone(filled);
    }
    bytes.truncate(filled);
    return bytes;
}

// A file that writing in place would be refused is not replaced either. Root may write anything, but a file nobody
// may write was made read-only on purpose, so that stops root as well.
void refuseIfReadOnly(const QString& target, const QString& name, const std::optional<mode_t>& mode, FilePulse* pulse)
{
    if (!mode)
        return;
    if ((*mode & 0222) == 0)
        refuseUnwritable(name, EACCES);
    const FilePulse::Call call(pulse);
    if (::faccessat(AT_FDCWD, QFile::encodeName(target).constData(), W_OK, AT_EACCESS) != 0 && errno != ENOENT)
        refuseUnwritable(name, errno);
}

std::optional<mode_t> modeOf(const QString& target, FilePulse* pulse)
{
    const FilePulse::Call call(pulse);
    struct stat existing = {};
    if (::stat(QFile::encodeName(target).constData(), &existing) != 0)
        return std::nullopt;
    return existing.st_mode;
}

// Written beside the target, flushed to disk and renamed over it: the old file stays whole until the new one is. The
// file stays open, and so locked, until it has taken the target's place.
void replaceFile(const QString& path, const QByteArray& bytes, FilePulse* pulse)
{
    const QString name = QFileInfo(path).fileName();
    QString target;
    {
        const FilePulse::Call call(pulse);
        target = saveTarget(path);
    }
    removeStaleSaveTemporaries(target, pulse);
    const std::optional<mode_t> mode = modeOf(target, pulse);
    refuseIfReadOnly(target, name, mode, pulse);
    QByteArray temporary;
    int fd = -1;
    {
        const FilePulse::Call call(pulse);
        fd = createSaveTemporary(target, mode, temporary);
    }
    if (fd < 0)
        refuseUnwritable(name, errno);
    bool renamed = false;
    const auto cleanUp = qScopeGuard([&] {
        if (!renamed) {
            const FilePulse::Call call(pulse);
            ::unlink(temporary.constData());
        }
        const FilePulse::Call call(pulse);
        ::close(fd);
    });
    if (pulse)
        pulse->setTotal(bytes.size());
    qsizetype written = 0;
    Pieces pieces;
    while (written < bytes.size()) {
        stopIfGivenUp(name, pulse);
        const ssize_t count = pieces.timed([&](qsizetype piece) {
            const FilePulse::Call call(pulse);
            return ::write(fd, bytes.constData() + written, size_t(std::min(bytes.size() - written, piece)));
        });
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            refuseUnwritable(name, count < 0 ? errno : ENOSPC);
        written += count;
        if (pulse)
            pulse->setDone(written);
    }
    {
        const FilePulse::Call call(pulse);
        if (::fsync(fd) != 0)
            refuseUnwritable(name, errno);
    }
    // Given up before this point, the old file stays as it was; from here on the new one takes its place.
    if (pulse && !pulse->mayReplace())
        stopIfGivenUp(name, pulse);
    const FilePulse::Call call(pulse);
    if (::rename(temporary.constData(), QFile::encodeName(target).constData()) != 0)
        refuseUnwritable(name, errno);
    renamed = true;
}

} // namespace

Show readShowFile(const QString& path, qint64 limit, FilePulse* pulse)
{
    const FilePulse::Hearing hearing(pulse);
    const QString name = QFileInfo(path).fileName();
    if (pulse)
        pulse->setStage(FilePulse::Stage::reading);
    const QByteArray bytes = readRegularFile(path, name, limit, pulse);
    stopIfGivenUp(name, pulse);
    if (pulse)
        pulse->setStage(FilePulse::Stage::decoding);
    try {
        return decodeShow(bytes);
    } catch (const ShowLimitError& error) {
        throw ProjectFileError(QStringLiteral("“%1”%2").arg(name, error.text()));
    } catch (const ShowJsonError& error) {
        throw ProjectFileError(QStringLiteral("“%1”不是有效的工程文件：%2").arg(name, error.text()));
    }
}

void writeShowFile(const Show& show, const QString& path, JsonFormat format, qint64 limit, FilePulse* pulse)
{
    const FilePulse::Hearing hearing(pulse);
    const QFileInfo info(path);
    stopIfGivenUp(info.fileName(), pulse);
    if (pulse)
        pulse->setStage(FilePulse::Stage::encoding);
    QByteArray bytes;
    try {
        bytes = encodeShow(show, format);
    } catch (const ShowJsonError& error) {
        throw ProjectFileError(QStringLiteral("工程无法编码：%1").arg(error.text()));
    }
    // A file that opening would refuse is never written, and the one already there stays.
    if (bytes.size() > limit)
        throw ProjectFileError(QStringLiteral("“%1”将有 %2 MB，超过工程文件的上限 %3，无法再次打开，未保存")
                                   .arg(info.fileName(), megabytes(bytes.size()), limitText(limit)));
    if (pulse)
        pulse->setStage(FilePulse::Stage::writing);
    bool made = false;
    {
        const FilePulse::Call call(pulse);
        made = QDir().mkpath(info.absolutePath());
    }
    if (!made)
        throw ProjectFileError(QStringLiteral("无法创建文件夹“%1”").arg(info.absolutePath()));
    replaceFile(path, bytes, pulse);
}
