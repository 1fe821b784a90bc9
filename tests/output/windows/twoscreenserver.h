#pragma once

#include <QByteArray>
#include <sys/types.h>

// A private X server with two screens, 1280 × 720 and 1920 × 1080, as two separate X screens (Qt sees two
// displays). Stopped when the object goes.
class TwoScreenServer
{
  public:
    TwoScreenServer();
    ~TwoScreenServer();
    TwoScreenServer(const TwoScreenServer&) = delete;
    TwoScreenServer& operator=(const TwoScreenServer&) = delete;

    // ":N", empty when the server could not be started.
    QByteArray display() const { return m_display; }

  private:
    pid_t m_pid = -1;
    QByteArray m_display;
};
