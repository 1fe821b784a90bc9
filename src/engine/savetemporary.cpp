#include "savetemporary.h"

#include "filecall.h"
#include "filepulse.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kMark[] = ".lumoria-";
constexpr char kEnding[] = ".tmp";
constexpr qsizetype kMarkLength = sizeof kMark - 1;
constexpr qsizetype kRandomLength = 6;
constexpr qsizetype kAdded = kMarkLength + kRandomLength + sizeof kEnding - 1;

struct Place
{
    QByteArray folder;
    QByteArray name;
};

Place placeOf(const QString& target)
{
    const QByteArray native = QFile::encodeName(target);
    const qsizetype slash = native.lastIndexOf('/');
    if (slash < 0)
        return {".", native};
    return {slash == 0 ? QByteArray("/") : native.left(slash), native.mid(slash + 1)};
}

QByteArray inFolder(const QByteArray& folder, const QByteArray& name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

// The target's own name where the additions fit; otherwise its start, cut between characters, and a digest of the
// whole name, so that long names that start alike keep apart.
QByteArray stemOf(const Place& place)
{
    long longest = 0;
    {
        const FileCall call;
        longest = ::pathconf(place.folder.constData(), _PC_NAME_MAX);
    }
    const qsizetype most = longest > 0 ? qsizetype(longest) : 255;
    if (place.name.size() + kAdded <= most)
        return place.name;
    const QByteArray digest = '~' + QCryptographicHash::hash(place.name, QCryptographicHash::Sha1).toHex().left(8);
    qsizetype cut = std::max<qsizetype>(0, most - kAdded - digest.size());
    while (cut > 0 && (uchar(place.name.at(cut)) & 0xC0) == 0x80)
        --cut;
    return place.name.left(cut) + digest;
}

QByteArray randomPart()
{
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    QByteArray part(kRandomLength, '0');
    for (char& digit : part)
        digit = kDigits[QRandomGenerator::global()->bounded(36)];
    return part;
}

bool isTemporaryOf(const QByteArray& name, const QByteArray& stem)
{
    if (name.size() != stem.size() + kAdded || !name.startsWith(stem) || !name.endsWith(kEnding))
        return false;
    if (QByteArrayView(name).sliced(stem.size(), kMarkLength) != QByteArrayView(kMark))
        return false;
    const QByteArrayView part = QByteArrayView(name).sliced(stem.size() + kMarkLength, kRandomLength);
    return std::all_of(part.begin(), part.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

bool sameFile(const struct stat& one, const struct stat& other)
{
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// The lock is taken after the file is made, so a cleaner may have removed it in between: then the name is not ours.
// Where the file system has no locks, the file is written unlocked.
bool lockedUnderItsName(int fd, const QByteArray& temporary)
{
    int locked;
    do {
        const FileCall call;
        locked = ::flock(fd, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    struct stat opened = {}, named = {};
    {
        const FileCall call;
        if (::fstat(fd, &opened) != 0)
            return false;
    }
    const FileCall call;
    return ::lstat(temporary.constData(), &named) == 0 && sameFile(opened, named);
}

// Only a regular file that nobody holds locked, and that is still the one looked at, goes.
void removeIfStale(const QByteArray& file, FilePulse* pulse)
{
    const FilePulse::Hearing hearing(pulse);
    struct stat named = {}, opened = {};
    // Each call on its own, so that a slow share shows that it answers.
    const auto called = [](auto call) {
        const FileCall signing;
        return call();
    };
    if (called([&] { return ::lstat(file.constData(), &named); }) != 0 || !S_ISREG(named.st_mode))
        return;
    int fd = called([&] { return ::open(file.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0)
        fd = called([&] { return ::open(file.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); });
    if (fd < 0)
        return;
    const auto closeFile = qScopeGuard([&] { called([fd] { return ::close(fd); }); });
    if (called([fd] { return ::flock(fd, LOCK_EX | LOCK_NB); }) != 0)
        return;
    if (called([&] { return ::fstat(fd, &opened); }) == 0 &&
        called([&] { return ::lstat(file.constData(), &named); }) == 0 && sameFile(opened, named))
        called([&] { return ::unlink(file.constData()); });
}

} // namespace

QString saveTarget(const QString& path)
{
    QFileInfo target(path);
    for (int depth = 0; depth < 128; ++depth) {
        const FileCall call;
        if (!target.isSymLink())
            return target.filePath();
        target.setFile(target.symLinkTarget());
    }
    return path;
}

int createSaveTemporary(const QString& target, std::optional<mode_t> mode, QByteArray& temporary)
{
    const Place place = placeOf(target);
    const QByteArray start = inFolder(place.folder, stemOf(place)) + kMark;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = start + randomPart() + kEnding;
        int fd = -1;
        {
            const FileCall call;
            fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode ? 0600 : 0666);
        }
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return -1;
        if (!lockedUnderItsName(fd, temporary)) {
            const FileCall call;
            ::close(fd);
            continue;
        }
        if (mode) {
            const FileCall call;
            ::fchmod(fd, *mode & 07777);
        }
        return fd;
    }
    errno = EEXIST;
    return -1;
}

// Each call on the folder is a sign of life: a long listing from a share that answers is not a silent one.
void removeStaleSaveTemporaries(const QString& path, FilePulse* pulse)
{
    const FilePulse::Hearing hearing(pulse);
    Place place;
    QByteArray stem;
    DIR* folder = nullptr;
    {
        const FilePulse::Call call(pulse);
        place = placeOf(saveTarget(path));
        stem = stemOf(place);
        folder = ::opendir(place.folder.constData());
    }
    if (!folder)
        return;
    QList<QByteArray> found;
    for (;;) {
        const FilePulse::Call call(pulse);
        const dirent* entry = ::readdir(folder);
        if (!entry)
            break;
        const QByteArray name(entry->d_name);
        if (isTemporaryOf(name, stem))
            found.append(name);
    }
    {
        const FilePulse::Call call(pulse);
        ::closedir(folder);
    }
    for (const QByteArray& name : std::as_const(found)) {
        if (pulse && pulse->givenUp())
            return;
        removeIfStale(inFolder(place.folder, name), pulse);
    }
}
