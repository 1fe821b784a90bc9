#include "remotepeer.h"

QString RemotePeer::text() const
{
    return (link == Link::network ? QStringLiteral("网络 ") : QStringLiteral("蓝牙 ")) + address;
}
