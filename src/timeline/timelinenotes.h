#pragma once

#include <QString>

// The editor's notes that more than one operation gives.
inline const QString kTimeRangeNote = QStringLiteral("请输入 0 至 86400 秒");
