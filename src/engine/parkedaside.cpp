#include "parkedaside.h"

#include "fileerrortext.h"
#include "projectfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Renames without replacing anything: false with errno EEXIST when the name is taken. Where the file system cannot
// rename so (many shares), a hard link and the removal of the old name do the same; where it has no links either, a
// look before a plain rename does, as only the one console of the recovery folder names files in it.
bool renameWithoutReplacing(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return true;
    }
    if (errno == EEXIST)
        return false;
    struct stat taken;
    if (::lstat(to.constData(), &taken) == 0) {
        errno = EEXIST;
        return false;
    }
    return errno == ENOENT && ::rename(from.constData(), to.constData()) == 0;
}
} // namespace

QString setParkedWorkAside(const QString& path, const QString& parkedPath)
{
    const QFileInfo moved(path);
    const QFileInfo parked(parkedPath);
    const QString stamp = moved.lastModified().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QByteArray from = QFile::encodeName(path);
    for (int copy = 1; copy < 10000; ++copy) {
        const QString name = copy == 1
                                 ? QStringLiteral("%1-%2.%3").arg(parked.completeBaseName(), stamp, parked.suffix())
                                 : QStringLiteral("%1-%2-%3.%4")
                                       .arg(parked.completeBaseName(), stamp, QString::number(copy), parked.suffix());
        const QString aside = parked.dir().filePath(name);
        if (renameWithoutReplacing(from, QFile::encodeName(aside)))
            return aside;
        if (errno != EEXIST)
            throw ProjectFileError(QStringLiteral("无法移开“%1”：%2").arg(moved.fileName(), fileErrorText(errno)));
    }
    throw ProjectFileError(QStringLiteral("无法移开“%1”：%2").arg(moved.fileName(), fileErrorText(EEXIST)));
}

bool sameFileContents(const QString& first, const QString& second)
{
    QFile a(first);
    QFile b(second);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.size() != b.size())
        return false;
    while (!a.atEnd()) {
        const QByteArray chunk = a.read(1 << 16);
        if (chunk.isEmpty() || chunk != b.read(chunk.size()))
            return false;
    }
    return true;
}

QString setAsideText(const QStringList& paths)
{
    QStringList shown;
    for (const QString& path : paths)
        shown.append(QDir::toNativeSeparators(path));
    return QStringLiteral("较早未恢复的工程已移到 ") + shown.join(QStringLiteral("、"));
}
