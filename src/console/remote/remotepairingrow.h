#pragma once

#include "remotehost.h"

#include <QWidget>

class QPushButton;

// One phone waiting for the operator: its own name with the way it came in and its address, and the buttons
// "拒绝" and "允许". It keeps the pairing as the host listed it, to hand back unchanged.
class RemotePairingRow : public QWidget
{
    Q_OBJECT
  public:
    explicit RemotePairingRow(RemoteHost::Pairing pairing, QWidget* parent = nullptr);

    const RemoteHost::Pairing& pairing() const { return m_pairing; }
    QPushButton* denyButton() const { return m_deny; }
    QPushButton* allowButton() const { return m_allow; }

  signals:
    void decided(bool allow);

  private:
    RemoteHost::Pairing m_pairing;
    QPushButton* m_deny;
    QPushButton* m_allow;
};
