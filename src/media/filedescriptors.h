#pragma once

#include <QObject>
#include <QString>

// The process's file descriptors. Each player's pipeline costs a few while it holds media, and the rest of the
// program (the display connection, dialogs, sockets, project files) must always find some free: a display
// connection that cannot receive a descriptor waits for ever.
namespace FileDescriptors {

// Raises the soft limit to the hard one. Called once at the start of every program that plays media.
void raiseLimit();
// Whether count more descriptors can be opened and still leave the reserve free.
bool canSpare(int count);
// Descriptors this process holds open now; INT_MAX when not even the count can be opened, -1 without /proc.
int openCount();
// Why something was not opened when none could be spared, for the operator.
QString shortageText();

} // namespace FileDescriptors

// Tells whoever shows the status line that something could not be opened for want of descriptors. Reported on
// the main thread; queued, so that it arrives after the failure signals of the player that ran short.
class DescriptorShortage : public QObject
{
    Q_OBJECT
  public:
    static DescriptorShortage& shared();
    void report();

  signals:
    void ranOut();

  private:
    DescriptorShortage() = default;
};
