#pragma once

#include <QObject>

class QSocketNotifier;

// Ends the application's event loop on SIGTERM, SIGINT or SIGHUP (its terminal closed), so a stopped console quits
// as if the operator had closed it (the recovery copy is written on the way out).
class QuitOnSignal : public QObject
{
    Q_OBJECT
  public:
    explicit QuitOnSignal(QObject* parent = nullptr);
    ~QuitOnSignal() override;

  private:
    QSocketNotifier* m_notifier = nullptr;
};
