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
    case ENAMETOOLONG:
        return QStringLiteral("文件名过长");
    case ELOOP:
        return QStringLiteral("符号链接过多或成环");
    case ENOTDIR:
        return QStringLiteral("路径中有一段不是文件夹");
    case EISDIR:
        return QStringLiteral("是文件夹");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("同时打开的文件过多");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}
