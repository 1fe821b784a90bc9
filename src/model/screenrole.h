#pragma once

#include <QHash>
#include <QString>

// The name of an output screen ("屏幕 1", "屏幕 2", …): the key of every per-screen table.
struct ScreenRole
{
    QString rawValue;

    bool operator==(const ScreenRole&) const = default;
    auto operator<=>(const ScreenRole& other) const { return rawValue.compare(other.rawValue) <=> 0; }
};

inline size_t qHash(const ScreenRole& role, size_t seed = 0)
{
    return qHash(role.rawValue, seed);
}

inline const ScreenRole kScreen1{QStringLiteral("屏幕 1")};
inline const ScreenRole kScreen2{QStringLiteral("屏幕 2")};
