#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class Engine;

// The mobile-remote server. A new host is idle: it listens nowhere and starts nothing until enabled.
class RemoteHost : public QObject
{
    Q_OBJECT
public:
    explicit RemoteHost(Engine* engine, QObject* parent = nullptr);

    Engine* engine() const { return owner; }
    bool enabled() const { return on; }
    QString code() const { return connectionCode; }
    QString lan() const { return lanStatus; }
    QString bluetooth() const { return bluetoothStatus; }

private:
    QPointer<Engine> owner;
    bool on = false;
    QString connectionCode;
    QString lanStatus;
    QString bluetoothStatus;
};
