#pragma once

#include "engine.h"
#include "eventwait.h"
#include "projectfilework.h"

#include <QString>
#include <QUrl>
#include <optional>

// Opens or saves a project as the console does and waits for the outcome: the failure's reason, or none when the
// file was read or written. For programs that link the engine.
namespace ProjectFileWait {
inline std::optional<QString> outcome(Engine& engine, const QString& failurePrefix)
{
    if (!waitUntil([&] { return !engine.projectFiles().busy(); }, 120000))
        return QStringLiteral("still on the way");
    if (engine.message().startsWith(failurePrefix))
        return engine.message().mid(failurePrefix.size());
    return std::nullopt;
}
inline std::optional<QString> open(Engine& engine, const QUrl& url)
{
    engine.openProject(url);
    return outcome(engine, QStringLiteral("无法打开工程 · "));
}
inline std::optional<QString> save(Engine& engine, const QUrl& url)
{
    engine.saveProject(url);
    return outcome(engine, QStringLiteral("保存失败 · "));
}
inline std::optional<QString> recover(Engine& engine)
{
    engine.recoverUnsavedProject();
    return outcome(engine, QStringLiteral("恢复失败 · "));
}
} // namespace ProjectFileWait
