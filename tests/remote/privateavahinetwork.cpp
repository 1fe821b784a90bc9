#include "privateavahinetwork.h"

#include "eventwait.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

static const char* const kInsideVariable = "LUMO_PRIVATE_NETWORK";

PrivateAvahiNetwork::~PrivateAvahiNetwork()
{
    for (QProcess* daemon : {m_avahi.get(), m_bus.get()}) {
        if (!daemon)
            continue;
        daemon->terminate();
        if (!daemon->waitForFinished(5000))
            daemon->kill();
        daemon->waitForFinished(5000);
    }
}

bool PrivateAvahiNetwork::inside()
{
    return qEnvironmentVariableIsSet(kInsideVariable);
}

bool PrivateAvahiNetwork::runInside(const QString& test, QString& output, QString& whyNot)
{
    for (const char* tool : {"unshare", "dbus-daemon", "avahi-daemon", "avahi-browse"})
        if (QStandardPaths::findExecutable(tool).isEmpty() &&
            QStandardPaths::findExecutable(tool, {"/usr/sbin", "/sbin"}).isEmpty()) {
            whyNot = QStringLiteral("%1 is not installed").arg(tool);
            return false;
        }
    QProcess probe;
    probe.start("unshare", {"--net", "--mount", "true"});
    if (!probe.waitForFinished(30000) || probe.exitCode() != 0) {
        whyNot = QStringLiteral("no network namespace can be made here: ") + probe.readAllStandardError().trimmed();
        return false;
    }
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kInsideVariable, "1");
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start("unshare",
                {"--net", "--mount", "--", QCoreApplication::applicationFilePath(), "--gtest_filter=" + test});
    const bool finished = child.waitForFinished(180000);
    output = QString::fromUtf8(child.readAll());
    if (!finished)
        child.kill();
    return finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
}

static bool loopbackUp(QString& why)
{
    const int control = ::socket(AF_INET, SOCK_DGRAM, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool done = control >= 0 && ::ioctl(control, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags |= IFF_UP;
    done = done && ::ioctl(control, SIOCSIFFLAGS, &request) == 0;
    if (control >= 0)
        ::close(control);
    if (!done)
        why = QStringLiteral("loopback stays down: ") + QString::fromLocal8Bit(strerror(errno));
    return done;
}

static bool write(const QString& path, const QString& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
}

bool PrivateAvahiNetwork::startBus(QString& why)
{
    if (!inside()) {
        why = "not inside a private namespace";
        return false;
    }
    if (!loopbackUp(why))
        return false;
    // The daemon keeps its pid file under /run; a private /run keeps it apart from any other.
    if (::mount("tmpfs", "/run", "tmpfs", 0, "mode=0755") != 0 || ::mkdir("/run/avahi-daemon", 0755) != 0) {
        why = QStringLiteral("cannot make a private /run: ") + QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    const QString socket = m_dir.filePath("bus");
    write(m_dir.filePath("bus.conf"),
          QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
)")
              .arg(socket));
    m_bus = std::make_unique<QProcess>();
    m_bus->setStandardErrorFile(QProcess::nullDevice());
    // It prints its address once it accepts connections; the socket file alone comes a moment earlier.
    m_bus->start("dbus-daemon",
                 {"--config-file=" + m_dir.filePath("bus.conf"), "--nofork", "--nopidfile", "--print-address"});
    if (!waitUntil([&] { return m_bus->canReadLine() || m_bus->state() == QProcess::NotRunning; }, 30000) ||
        !m_bus->canReadLine()) {
        why = "dbus-daemon did not start";
        return false;
    }
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + socket).toUtf8());
    return true;
}

bool PrivateAvahiNetwork::startAvahi(QString& why)
{
    write(m_dir.filePath("avahi.conf"), QStringLiteral("[server]\nuse-ipv4=yes\nuse-ipv6=no\nallow-interfaces=lo\n"
                                                       "enable-dbus=yes\n[wide-area]\nenable-wide-area=no\n"
                                                       "[publish]\npublish-hinfo=no\npublish-workstation=no\n"));
    m_avahi = std::make_unique<QProcess>();
    m_avahi->setStandardOutputFile(QProcess::nullDevice());
    m_avahi->setStandardErrorFile(QProcess::nullDevice());
    m_avahi->start("avahi-daemon",
                   {"-f", m_dir.filePath("avahi.conf"), "--no-drop-root", "--no-chroot", "--no-rlimits"});
    if (!m_avahi->waitForStarted(30000)) {
        why = "avahi-daemon did not start: " + m_avahi->errorString();
        return false;
    }
    return true;
}

// avahi-browse writes names with \DDD escapes for spaces, dots and other bytes.
static QString unescaped(const QString& text)
{
    QByteArray out;
    const QByteArray in = text.toUtf8();
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '\\' && i + 3 < in.size() && std::isdigit(uchar(in[i + 1]))) {
            out += char(in.mid(i + 1, 3).toInt());
            i += 3;
        } else if (in[i] == '\\' && i + 1 < in.size()) {
            out += in[++i];
        } else {
            out += in[i];
        }
    }
    return QString::fromUtf8(out);
}

QStringList PrivateAvahiNetwork::browse(const QString& type) const
{
    QProcess browser;
    browser.start("avahi-browse", {"-rpt", type});
    waitUntil([&] { return browser.state() == QProcess::NotRunning; }, 60000);
    QStringList found;
    for (const QString& line : QString::fromUtf8(browser.readAllStandardOutput()).split(u'\n')) {
        const QStringList fields = line.split(u';');
        // =;interface;protocol;name;type;domain;host;address;port;txt
        if (fields.size() >= 9 && fields[0] == "=")
            found << QStringLiteral("%1;%2;%3").arg(unescaped(fields[3]), fields[7], fields[8]);
    }
    return found;
}
