#include "applicationstart.h"

#include <QList>
#include <QRegularExpression>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
struct HeldMessage
{
    QtMsgType type;
    QByteArray file;
    int line;
    QByteArray function;
    QByteArray category;
    QString text;
};

QtMessageHandler qtHandler = nullptr;
QList<HeldMessage>* held = nullptr;

// Qt's X11 connection says so in a line of its own when it could not open the display; every other failure of the
// start is told by Qt's own lines.
bool displayFailed()
{
    for (const HeldMessage& message : std::as_const(*held))
        if (message.category == "qt.qpa.xcb" && message.text.startsWith(QStringLiteral("could not connect to display")))
            return true;
    return false;
}

// Whether an X server listens at a local display (":0", "unix:0.1"): one that does and still could not be opened
// refused the connection, most often for want of its authorisation. A display on another host is not asked.
bool localServerListens(const QByteArray& display)
{
    static const QRegularExpression local(QStringLiteral("^(unix)?:([0-9]+)(\\.[0-9]+)?$"));
    const QRegularExpressionMatch match = local.match(QString::fromLocal8Bit(display));
    if (!match.hasMatch())
        return false;
    const QByteArray socketPath = "/tmp/.X11-unix/X" + match.captured(2).toLatin1();
    // The server listens on the abstract name and on the file; either will do.
    for (const bool abstract : {true, false}) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return false;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const int offset = abstract ? 1 : 0;
        std::memcpy(address.sun_path + offset, socketPath.constData(), size_t(socketPath.size()));
        const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(offset + socketPath.size()));
        const bool listens = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 || errno == EAGAIN;
        ::close(fd);
        if (listens)
            return true;
    }
    return false;
}

// The display Qt's X11 connection tries: the one DISPLAY names.
QString displayProblem()
{
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty())
        return QStringLiteral("Lumoria 无法启动：没有设置要连接的显示器（DISPLAY 为空）。请在图形桌面上启动它。\n");
    if (localServerListens(display))
        return QStringLiteral("Lumoria 无法启动：显示器 %1 已开启，但拒绝了连接（它给出的原因见上方）。"
                              "常见的原因是没有它的授权：请确认 XAUTHORITY 所指的文件（未设置时为主文件夹下的 "
                              ".Xauthority）中有这个显示器的授权。\n")
            .arg(QString::fromLocal8Bit(display));
    return QStringLiteral("Lumoria 无法启动：连接不上显示器 %1。请确认它已开启，并在图形桌面上启动 Lumoria。\n")
        .arg(QString::fromLocal8Bit(display));
}

// Qt's own lines, as it wrote them, the fatal one last.
QString qtProblem(const QString& fatal)
{
    QString text = QStringLiteral("Lumoria 无法启动。Qt 给出的原因：\n");
    for (const HeldMessage& message : std::as_const(*held))
        if (message.type != QtDebugMsg && message.type != QtInfoMsg)
            text += message.text.trimmed() + QLatin1Char('\n');
    return text + fatal.trimmed() + QLatin1Char('\n');
}

// While the application is made, Qt's own lines about its platform are held back: a failed start shows what the
// operator can act on, a good one passes them on afterwards.
void holdOrExplain(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        const QString problem = displayFailed() ? displayProblem() : qtProblem(text);
        std::fputs(problem.toLocal8Bit().constData(), stderr);
        std::_Exit(1);
    }
    held->append({type, context.file, context.line, context.function, context.category, text});
}
} // namespace

std::unique_ptr<QApplication> startApplication(int& argc, char** argv)
{
    QList<HeldMessage> messages;
    held = &messages;
    qtHandler = qInstallMessageHandler(holdOrExplain);
    auto application = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(qtHandler);
    held = nullptr;
    for (const HeldMessage& message : messages) {
        const QMessageLogContext context(message.file.constData(), message.line, message.function.constData(),
                                         message.category.constData());
        qt_message_output(message.type, context, message.text);
    }
    return application;
}
