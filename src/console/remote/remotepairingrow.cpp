#include "remotepairingrow.h"

#include "consolecolors.h"
#include "consoletext.h"
#include "lumoicons.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

// The name comes from the phone: plain text only, so markup in it shows as typed.
static QLabel* plainLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

RemotePairingRow::RemotePairingRow(RemoteHost::Pairing pairing, QWidget* parent)
    : QWidget(parent), m_pairing(std::move(pairing))
{
    auto* icon = new QLabel(this);
    icon->setPixmap(lumoIcon(QStringLiteral("iphone")).pixmap(20, 20));
    icon->setAlignment(Qt::AlignTop);

    QLabel* name = plainLabel(m_pairing.name, this);
    QLabel* peer = plainLabel(m_pairing.peer.text(), this);
    peer->setFont(ConsoleText::caption(peer->font()));
    ConsoleText::setColour(peer, ConsoleColors::secondaryText());
    auto* who = new QVBoxLayout;
    who->setSpacing(2);
    who->addWidget(name);
    who->addWidget(peer);

    m_deny = new QPushButton(QStringLiteral("拒绝"), this);
    m_allow = new QPushButton(QStringLiteral("允许"), this);
    QPalette prominent = m_allow->palette();
    prominent.setColor(QPalette::Button, ConsoleColors::tint());
    prominent.setColor(QPalette::ButtonText, Qt::white);
    m_allow->setPalette(prominent);
    connect(m_deny, &QPushButton::clicked, this, [this] { emit decided(false); });
    connect(m_allow, &QPushButton::clicked, this, [this] { emit decided(true); });

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(icon, 0, Qt::AlignVCenter);
    row->addLayout(who, 1);
    row->addWidget(m_deny, 0, Qt::AlignVCenter);
    row->addWidget(m_allow, 0, Qt::AlignVCenter);
}
