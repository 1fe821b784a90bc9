#pragma once

#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QVBoxLayout;
class RemoteHost;
class RemotePairingRow;

// The operator's view of the mobile remote, the content of the "移动遥控" window: the switch, and while the remote is
// on its host name, Bluetooth state, connection code, the phones waiting for approval, the wrong codes and lock-outs,
// and a hint. It keeps nothing of its own: it shows the host's state and calls the host's operations.
class RemoteHostPanel : public QWidget
{
    Q_OBJECT
  public:
    explicit RemoteHostPanel(RemoteHost& host, QWidget* parent = nullptr);

    QCheckBox* toggle() const { return m_toggle; }
    // The rows of waiting phones, oldest first.
    QList<RemotePairingRow*> pairingRows() const;
    // Wrapped names need more height at the panel's width than its layout asks for by itself.
    QSize minimumSizeHint() const override;

  protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void growWindow();
    QWidget* labelledValue(const QString& label, QLabel* value);
    void showEnabled();
    void showPending();
    void showAttempts();

    QPointer<RemoteHost> m_host;
    QCheckBox* m_toggle;
    QWidget* m_details;
    QLabel* m_lan;
    QLabel* m_bluetooth;
    QLabel* m_code;
    QVBoxLayout* m_rows;
    QHash<QString, RemotePairingRow*> m_rowsByID;
    QWidget* m_attemptsRow;
    QLabel* m_attempts;
    QLabel* m_lockouts;
    // Lock-outs end without a signal: their countdown is redrawn on this.
    QTimer m_countdown;
};
