#include "remotehostpanel.h"

#include "consolecolors.h"
#include "consoletext.h"
#include "lumoicons.h"
#include "plainlabel.h"
#include "remotehost.h"
#include "remotepairingrow.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QResizeEvent>
#include <QVBoxLayout>
#include <cmath>

static QLabel* copyableValue(QWidget* parent)
{
    auto* value = new QLabel(parent);
    value->setTextFormat(Qt::PlainText);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return value;
}

RemoteHostPanel::RemoteHostPanel(RemoteHost& host, QWidget* parent) : QWidget(parent), m_host(&host)
{
    auto* icon = new QLabel(this);
    icon->setPixmap(lumoIcon(QStringLiteral("iphone.gen3.radiowaves.left.and.right")).pixmap(26, 26));
    auto* title = new QLabel(QStringLiteral("移动遥控"), this);
    title->setFont(ConsoleText::title2(title->font()));
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(icon);
    titleRow->addWidget(title);
    titleRow->addStretch();

    m_toggle = new QCheckBox(QStringLiteral("允许移动端控制"), this);
    connect(m_toggle, &QCheckBox::clicked, this, [this](bool on) {
        if (on)
            m_host->start(true);
        else
            m_host->stop();
        showEnabled();
    });

    m_details = new QWidget(this);
    m_lan = copyableValue(m_details);
    m_bluetooth = copyableValue(m_details);
    m_bluetooth->setTextInteractionFlags(Qt::NoTextInteraction);
    m_code = copyableValue(m_details);
    QFont digits = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    digits.setPointSizeF(ConsoleText::title2(font()).pointSizeF());
    m_code->setFont(digits);
    m_rows = new QVBoxLayout;
    m_rows->setSpacing(16);
    m_attempts = copyableValue(m_details);
    m_attempts->setTextInteractionFlags(Qt::NoTextInteraction);
    m_lockouts = new QLabel(m_details);
    m_lockouts->setTextFormat(Qt::PlainText);
    m_lockouts->setAlignment(Qt::AlignRight);
    ConsoleText::setColour(m_lockouts, ConsoleColors::orange());
    m_attemptsRow = labelledValue(QStringLiteral("错误连接码"), m_attempts);
    auto* hint =
        new QLabel(QStringLiteral("在手机上搜索此电脑，发起配对后在这里点「允许」。也可手动输入连接码。"), m_details);
    hint->setWordWrap(true);
    hint->setFont(ConsoleText::caption(hint->font()));
    ConsoleText::setColour(hint, ConsoleColors::secondaryText());

    auto* details = new QVBoxLayout(m_details);
    details->setContentsMargins(0, 0, 0, 0);
    details->setSpacing(16);
    details->addWidget(labelledValue(QStringLiteral("主机名"), m_lan));
    details->addWidget(labelledValue(QStringLiteral("蓝牙"), m_bluetooth));
    details->addWidget(labelledValue(QStringLiteral("连接码"), m_code));
    details->addLayout(m_rows);
    details->addWidget(m_attemptsRow);
    details->addWidget(m_lockouts);
    details->addWidget(hint);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(16);
    column->addLayout(titleRow);
    column->addWidget(m_toggle);
    column->addWidget(m_details);
    column->addStretch();

    connect(&host, &RemoteHost::enabledChanged, this, &RemoteHostPanel::showEnabled);
    connect(&host, &RemoteHost::codeChanged, this, [this] { m_code->setText(m_host->code()); });
    connect(&host, &RemoteHost::lanChanged, this, [this] { m_lan->setText(m_host->lan()); });
    connect(&host, &RemoteHost::bluetoothChanged, this, [this] { m_bluetooth->setText(m_host->bluetooth()); });
    connect(&host, &RemoteHost::pendingChanged, this, &RemoteHostPanel::showPending);
    connect(&host, &RemoteHost::attemptsChanged, this, &RemoteHostPanel::showAttempts);
    m_countdown.setInterval(1000);
    connect(&m_countdown, &QTimer::timeout, this, &RemoteHostPanel::showAttempts);

    m_code->setText(host.code());
    m_lan->setText(host.lan());
    m_bluetooth->setText(host.bluetooth());
    showPending();
    showAttempts();
    showEnabled();
}

bool RemoteHostPanel::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::LayoutRequest)
        growWindow();
    return handled;
}

// The window keeps its height until told otherwise; rows that appear must not be squeezed into it. It never
// shrinks here, so a height the operator chose stays.
void RemoteHostPanel::growWindow()
{
    QWidget* top = window();
    const int needed = minimumSizeHint().height() + top->height() - height();
    if (top != this && top->height() < needed)
        top->resize(top->width(), needed);
}

void RemoteHostPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (event->size().width() != event->oldSize().width())
        updateGeometry();
}

QSize RemoteHostPanel::minimumSizeHint() const
{
    QSize size = QWidget::minimumSizeHint();
    if (layout()->hasHeightForWidth())
        size.setHeight(std::max(size.height(), layout()->totalHeightForWidth(width())));
    return size;
}

QList<RemotePairingRow*> RemoteHostPanel::pairingRows() const
{
    QList<RemotePairingRow*> rows;
    for (int i = 0; i < m_rows->count(); ++i)
        rows << static_cast<RemotePairingRow*>(m_rows->itemAt(i)->widget());
    return rows;
}

QWidget* RemoteHostPanel::labelledValue(const QString& label, QLabel* value)
{
    auto* row = new QWidget(m_details);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plainLabel(label, row));
    layout->addWidget(value, 1);
    return row;
}

void RemoteHostPanel::showEnabled()
{
    const bool on = m_host && m_host->enabled();
    m_toggle->setChecked(on);
    m_details->setVisible(on);
}

// Rows come and go with the list; the rows that stay are left as they are.
void RemoteHostPanel::showPending()
{
    if (!m_host)
        return;
    QHash<QString, RemotePairingRow*> kept;
    for (const RemoteHost::Pairing& pairing : m_host->pending()) {
        RemotePairingRow* row = m_rowsByID.take(pairing.id);
        if (!row) {
            row = new RemotePairingRow(pairing, m_details);
            connect(row, &RemotePairingRow::decided, this, [this, row](bool allow) {
                if (m_host)
                    m_host->decide(row->pairing(), allow);
            });
            m_rows->addWidget(row);
            row->show();
        }
        kept.insert(pairing.id, row);
    }
    for (RemotePairingRow* gone : std::as_const(m_rowsByID))
        delete gone;
    m_rowsByID = kept;
}

void RemoteHostPanel::showAttempts()
{
    if (!m_host)
        return m_countdown.stop();
    const int failures = m_host->failedAttempts();
    const QList<RemoteAttemptGuard::Lockout> lockouts = m_host->lockouts();
    QStringList lines;
    for (const RemoteAttemptGuard::Lockout& lockout : lockouts)
        lines << QStringLiteral("%1 · 暂停 %2 秒")
                     .arg(lockout.peer.text())
                     .arg(qint64(std::ceil(std::max(lockout.until - m_host->uptime(), 0.0))));
    m_attempts->setText(QStringLiteral("%1 次").arg(failures));
    m_attemptsRow->setVisible(failures > 0 || !lockouts.isEmpty());
    m_lockouts->setText(lines.join(u'\n'));
    m_lockouts->setVisible(!lockouts.isEmpty());
    if (lockouts.isEmpty())
        m_countdown.stop();
    else if (!m_countdown.isActive())
        m_countdown.start();
}
