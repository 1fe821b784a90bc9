#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <optional>

// Sends one datagram over a socket of its own, opened and closed within the call; the error text if it failed.
// Broadcast addresses are allowed. An address with a scope id is not supported here.
std::optional<QString> sendDatagram(const QHostAddress& address, quint16 port, const QByteArray& bytes);
