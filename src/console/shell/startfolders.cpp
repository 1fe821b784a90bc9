#include "startfolders.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {
struct Asking
{
    std::mutex lock;
    std::condition_variable answered;
    bool done = false;
    // The folder being asked now.
    StartFolders::Silent asked;
    SingleInstance::Lock taken;
    QString socketPath;

    void nowAsking(const QString& what, const QString& path)
    {
        std::lock_guard guard(lock);
        asked = {what, path};
    }
};

// Opening a folder goes to its file system even where a share keeps what it said of its files a while. Any answer
// will do, a folder that does not exist included.
void openFolder(const QString& path)
{
    const int folder = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0)
        ::close(folder);
}

void ask(Asking& asking, const QString& recoveryDirectory)
{
    const QString home = QDir::homePath();
    asking.nowAsking(QStringLiteral("主文件夹"), home);
    openFolder(home);

    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    asking.nowAsking(QStringLiteral("配置文件夹"), config);
    openFolder(config);

    // What the X11 connection reads first.
    QString authority = qEnvironmentVariable("XAUTHORITY");
    if (authority.isEmpty())
        authority = home + QStringLiteral("/.Xauthority");
    asking.nowAsking(QStringLiteral("显示器授权文件"), authority);
    ::access(QFile::encodeName(authority).constData(), R_OK);

    // Finding the runtime folder asks it (and may make it, in the temporary folder where none is set).
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    asking.nowAsking(QStringLiteral("运行时文件夹"), runtime.isEmpty() ? QDir::tempPath() : runtime);
    const QString socketPath = SingleInstance::socketPathFor(recoveryDirectory);

    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    asking.nowAsking(QStringLiteral("缓存文件夹"), cache);
    openFolder(cache);

    asking.nowAsking(QStringLiteral("恢复文件夹"), recoveryDirectory);
    const SingleInstance::Lock lock = SingleInstance::takeLock(recoveryDirectory);

    std::lock_guard guard(asking.lock);
    asking.taken = lock;
    asking.socketPath = socketPath;
    asking.done = true;
    asking.answered.notify_all();
}
} // namespace

// The thread that asks is left behind when a folder keeps it: the start ends without waiting for it.
StartFolders::StartFolders(const QString& recoveryDirectory, std::chrono::milliseconds wait)
{
    auto asking = std::make_shared<Asking>();
    try {
        std::thread([asking, recoveryDirectory] { ask(*asking, recoveryDirectory); }).detach();
    } catch (const std::system_error&) {
        ask(*asking, recoveryDirectory);
    }
    std::unique_lock guard(asking->lock);
    if (!asking->answered.wait_for(guard, wait, [&] { return asking->done; })) {
        m_silent = asking->asked;
        return;
    }
    m_lock = asking->taken;
    m_socketPath = asking->socketPath;
}
