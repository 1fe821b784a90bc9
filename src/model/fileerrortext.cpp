#include "fileerrortext.h"

#include <cerrno>
#include <cstring>

QString fileErrorText(int error)
{
    switch (error) {
    case EROFS:
        return QStringLiteral("磁盘是只读的");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("磁盘空间不足");
    case EFBIG:
        return QStringLiteral("文件过大");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有访问权限");
    case ENOENT:
        return QStringLiteral("文件或文件夹不存在");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("同时打开的文件过多");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}
