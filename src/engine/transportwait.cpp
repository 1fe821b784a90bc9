#include "transportwait.h"

#include "mediafiles.h"

#include <algorithm>

static QString checkingText(const QString& name)
{
    return QStringLiteral("正在检查素材 · ") + name;
}

TransportWait::TransportWait(MediaFiles& files, Hooks hooks, QObject* parent)
    : QObject(parent), m_files(files), m_hooks(std::move(hooks))
{
    connect(&m_files, &MediaFiles::answered, this, [this] { process(); });
    connect(&m_files, &MediaFiles::questionsAnswered, this, [this] { process(); });
}

bool TransportWait::press(Press press)
{
    // A large show's files are gathered over turns: its turn comes once they are asked.
    press.answers.whenReady(this, [this] { process(); });
    const int pausesBefore = press.pausesBefore.value_or(m_landing ? m_landingPauses : m_pauses);
    Step step{std::move(press), pausesBefore, std::make_shared<std::optional<bool>>(),
              m_hooks.numberPress ? std::optional(m_hooks.numberPress()) : std::nullopt};
    // Pressed by what is being done: it comes next, before what was pressed after that.
    if (m_landing) {
        m_steps.insert(m_insertAt++, std::move(step));
        return true;
    }
    const std::shared_ptr<std::optional<bool>> acted = step.acted;
    if (m_steps.isEmpty() && step.press.answers.in(m_files)) {
        land(std::move(step));
        if (!m_steps.isEmpty())
            process();
        return acted->value_or(true);
    }
    m_steps.append(std::move(step));
    process(true);
    return acted->value_or(true);
}

bool TransportWait::takeWaits() const
{
    return waiting() && std::any_of(m_steps.cbegin(), m_steps.cend(), [](const Step& step) {
               return !step.press.startsRun && !step.press.name.isEmpty();
           });
}

bool TransportWait::runWaits() const
{
    return waiting() &&
           std::any_of(m_steps.cbegin(), m_steps.cend(), [](const Step& step) { return step.press.startsRun; });
}

std::optional<QString> TransportWait::waitingFor() const
{
    if (!waiting())
        return std::nullopt;
    for (auto step = m_steps.crbegin(); step != m_steps.crend(); ++step)
        if (!step->press.name.isEmpty())
            return step->press.name;
    return std::nullopt;
}

void TransportWait::hold(std::function<void()> event, bool pressed)
{
    Press held;
    held.act = [event = std::move(event)] {
        event();
        return false;
    };
    held.neverMoot = pressed;
    m_steps.append({std::move(held), m_pauses, std::make_shared<std::optional<bool>>(),
                    pressed && m_hooks.numberPress ? std::optional(m_hooks.numberPress()) : std::nullopt});
    process();
}

void TransportWait::notePause()
{
    if (!m_landing)
        ++m_pauses;
}

void TransportWait::clear()
{
    // Cleared by what is being done (a run's start stops playback first), presses on screens made after it still
    // come after it.
    QList<Step> after;
    if (m_landing)
        for (const Step& step : std::as_const(m_steps))
            if (step.press.neverMoot)
                after.append(step);
    m_steps.removeIf([&](const Step& step) { return m_landing && step.press.neverMoot; });
    if (m_hooks.dropped)
        for (const Step& step : std::as_const(m_steps))
            if (!step.press.name.isEmpty())
                m_hooks.dropped(checkingText(step.press.name));
    for (const Step& step : std::as_const(m_steps))
        if (step.press.kept)
            m_kept.append(step);
    m_steps = after;
    m_insertAt = 0;
}

void TransportWait::process(bool pressed)
{
    if (m_landing)
        return;
    landKept();
    if (m_steps.isEmpty())
        return;
    bool moved = pressed;
    while (!m_steps.isEmpty()) {
        dropMootSteps();
        if (!m_steps.first().press.answers.in(m_files)) {
            if (!moved)
                return;
            for (auto step = m_steps.crbegin(); step != m_steps.crend(); ++step)
                if (!step->press.name.isEmpty()) {
                    m_hooks.say(checkingText(step->press.name));
                    break;
                }
            return;
        }
        land(m_steps.takeFirst());
        moved = true;
    }
    m_hooks.emptied();
}

// A step that will act whatever was done before it, its check passing now, makes the steps before it moot; a run's
// start decides whether what follows it acts at all, so nothing after it reaches past it.
void TransportWait::dropMootSteps()
{
    qsizetype last = m_steps.size() - 1;
    for (qsizetype i = 0; i < m_steps.size(); ++i)
        if (m_steps[i].press.startsRun) {
            last = i;
            break;
        }
    for (qsizetype i = last; i >= 1; --i) {
        const Press& later = m_steps[i].press;
        if (later.overrides && later.answers.in(m_files) && later.overrides()) {
            for (qsizetype j = i - 1; j >= 0; --j)
                if (!m_steps[j].press.neverMoot)
                    m_steps.remove(j);
            return;
        }
    }
}

// The pauses pressed since the step would have acted on what it put on air: an odd number of them leaves it paused,
// an even number playing, as the last of them said.
void TransportWait::land(Step step)
{
    m_landing = true;
    m_insertAt = 0;
    m_landingPauses = step.pausesBefore;
    const std::optional<quint64> before = m_hooks.actAs ? m_hooks.actAs(step.number) : std::nullopt;
    const bool acted = step.press.act();
    *step.acted = acted;
    const int pausesSince = m_pauses - step.pausesBefore;
    if (acted && pausesSince % 2 != 0)
        m_hooks.togglePause();
    else if (acted && pausesSince > 0)
        m_hooks.say(QStringLiteral("已继续"));
    if (!step.press.name.isEmpty() && m_hooks.ended)
        m_hooks.ended(checkingText(step.press.name));
    if (m_hooks.actAs)
        m_hooks.actAs(before);
    m_landing = false;
}

void TransportWait::landKept()
{
    for (qsizetype i = 0; i < m_kept.size();) {
        if (!m_kept[i].press.answers.in(m_files)) {
            ++i;
            continue;
        }
        const Step step = m_kept.takeAt(i);
        const std::optional<quint64> before = m_hooks.actAs ? m_hooks.actAs(step.number) : std::nullopt;
        step.press.kept();
        if (m_hooks.actAs)
            m_hooks.actAs(before);
    }
}
