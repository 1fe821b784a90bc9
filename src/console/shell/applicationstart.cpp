#include "applicationstart.h"

#include <QList>
#include <cstdio>
#include <cstdlib>

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

// The display Qt's X11 connection tries: the one DISPLAY names.
QString displayProblem()
{
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty())
        return QStringLiteral("Lumoria 无法启动：没有设置要连接的显示器（DISPLAY 为空）。请在图形桌面上启动它。\n");
    return QStringLiteral("Lumoria 无法启动：连接不上显示器 %1。请确认它已开启，并在图形桌面上启动 Lumoria。\n")
        .arg(QString::fromLocal8Bit(display));
}

// While the application is made, Qt's own lines about its platform are held back: a failed start shows only what
// the operator can act on, a good one passes them on afterwards.
void holdOrExplain(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        std::fputs(displayProblem().toLocal8Bit().constData(), stderr);
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
