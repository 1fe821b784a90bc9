#include "engine.h"

#include "edithistory.h"
#include "waitingedits.h"

#include "cuecountdown.h"
#include "independentscreens.h"
#include "stalledstarts.h"
#include "transportwait.h"

#include <QTimer>

// An outcome kept off the line while the wait's words stood there takes their place, unless something still waits.
void Engine::waitEnded(const QString& said)
{
    if (m_message != said)
        return;
    const QString holding = holdingMessage();
    const std::optional<QString> kept = std::exchange(m_keptOffLine, std::nullopt);
    // Words that no longer hold come off whichever press ends them.
    const std::optional<quint64> acting = std::exchange(m_actingPress, std::nullopt);
    setMessage(holding);
    m_actingPress = acting;
    // The outcome kept off comes back unless what ended the wait says something of its own in this turn.
    if (kept && !holding.startsWith(QStringLiteral("正在")))
        QTimer::singleShot(0, this, [this, holding, outcome = *kept] {
            if (m_message == holding)
                setMessage(outcome);
        });
}

// In the order a press would have put it there: a press waiting for its answers, a screen's play waiting for them, an
// edit of the show waiting for them (one not undone), a countdown, then what is on air; with nothing on air, the wait
// for the show's default picture.
QString Engine::holdingMessage() const
{
    const QString checking = QStringLiteral("正在检查素材 · ");
    if (const std::optional<QString> press = m_transportWait->waitingFor())
        return checking + *press;
    if (const std::optional<QString> play = m_independent->waitingPlay())
        return checking + *play;
    if (const std::optional<QString> edit =
            m_waitingEdits->waitingInPlace([this](quint64 place) { return m_history->stepInPlace(place); }))
        return *edit;
    if (m_paused && (m_current || m_countdown->cue()))
        return QStringLiteral("已暂停");
    if (m_countdown->cue())
        return QStringLiteral("等待执行 · ") + m_countdown->name();
    if (m_current)
        return m_current->isTimelineCue() ? timelineText(*m_current) : QStringLiteral("播出中 · ") + m_current->name;
    return defaultPictureWait().value_or(QStringLiteral("就绪"));
}

// Asked again at each answer only while the line still names the refusal: one cue's check, never the library's.
void Engine::endSilentRefusal()
{
    if (!m_silentRefusal)
        return;
    if (m_message != m_silentRefusal->said) {
        m_silentRefusal.reset();
        return;
    }
    const QList<PlaybackIssue> issues = playbackIssues({m_silentRefusal->cue}, m_silentRefusal->assets, false);
    if (!issues.isEmpty() && m_silentRefusal->prefix + issues.first().text == m_silentRefusal->said)
        return;
    const QString said = std::exchange(m_silentRefusal, std::nullopt)->said;
    waitEnded(said);
}
