#include "stalledstarts.h"

#include "mediafiles.h"
#include "player.h"

StalledStarts::StalledStarts(MediaFiles& files, StatusLine statusLine, QObject* parent)
    : QObject(parent), m_files(files), m_status(std::move(statusLine))
{
    m_check.setInterval(int(MediaFiles::kStallAfter.count() / 4));
    connect(&m_check, &QTimer::timeout, this, &StalledStarts::check);
    connect(&m_files, &MediaFiles::answered, this, &StalledStarts::heard);
}

QString StalledStarts::text(const QString& name)
{
    return QStringLiteral("素材无响应 · ") + name;
}

QString StalledStarts::answersAgainText(const QString& name)
{
    return QStringLiteral("素材已恢复响应 · ") + name;
}

void StalledStarts::refusedFor(const QUrl& file)
{
    m_refusedFor = file;
    // Asked while the folder is silent, so that its answer tells when it answers again.
    m_files.refresh({file}, FileDepth::stamp);
}

void StalledStarts::heard(const QUrl& file)
{
    if (file != m_refusedFor || m_files.state(file, FileDepth::stamp) == FileState::stalled)
        return;
    m_refusedFor.clear();
    if (m_status.read() == text(file.fileName()))
        m_status.write(answersAgainText(file.fileName()));
}

void StalledStarts::watch(QObject* owner, std::function<bool()> waiting, const QUrl& file, const QString& name,
                          const QString& onAir)
{
    if (!owner || !waiting())
        return;
    // Asked from now: an answer from before the folder stopped says nothing of it.
    m_files.refresh({file}, FileDepth::stamp, MediaFiles::Again::fromNow);
    m_watched.append({owner, std::move(waiting), file, name, onAir});
    if (!m_check.isActive())
        m_check.start();
    // A folder already found silent names it at once.
    check();
}

void StalledStarts::watch(Player* player, const QString& name, const QString& onAir)
{
    if (!player)
        return;
    const quint64 item = player->generation();
    watch(
        player, [player, item] { return player->generation() == item && player->status() == PlayerStatus::loading; },
        player->url(), name, onAir);
}

void StalledStarts::clear()
{
    m_watched.clear();
    m_check.stop();
}

// `waiting` is asked only while its owner lives.
void StalledStarts::check()
{
    QStringList said;
    QStringList loaded;
    for (auto entry = m_watched.begin(); entry != m_watched.end();) {
        if (entry->owner && entry->waiting()) {
            if (!entry->named && m_files.state(entry->file, FileDepth::stamp) == FileState::stalled) {
                entry->named = true;
                said.append(text(entry->name));
            }
            ++entry;
            continue;
        }
        if (entry->owner && entry->named && m_status.read() == text(entry->name))
            loaded.append(entry->onAir);
        entry = m_watched.erase(entry);
    }
    // A cue with another file still waiting under its name is not on air yet.
    loaded.removeIf([this](const QString& onAir) {
        return std::any_of(m_watched.cbegin(), m_watched.cend(),
                           [&](const Watched& waiting) { return waiting.named && waiting.onAir == onAir; });
    });
    if (m_watched.isEmpty())
        m_check.stop();
    for (const QString& line : std::as_const(loaded) + said)
        m_status.write(line);
}
