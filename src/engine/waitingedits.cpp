#include "waitingedits.h"

#include "mediafiles.h"

#include <QTimer>
#include <algorithm>

struct WaitingEdits::Edit
{
    enum class State { asked, answers, held, going };
    Id id;
    QString name;
    QString waitingText;
    quint64 show;
    quint64 place = 0;
    bool holdsPlace = true;
    bool toldWhenGone = false;
    quint64 number = 0;
    State state = State::asked;
    bool answered = false;
    std::function<void()> then;
    // Each edit has its own: one whose answers come first still waits for its turn. Freed later, as an edit may end
    // from within its answer.
    AwaitedFiles* answers = nullptr;
    ~Edit()
    {
        if (answers)
            answers->deleteLater();
    }
};

WaitingEdits::WaitingEdits(MediaFiles& files, Hooks hooks, QObject* parent)
    : QObject(parent), m_files(files), m_hooks(std::move(hooks)), m_nextTurn(new QTimer(this))
{
    m_nextTurn->setSingleShot(true);
    m_nextTurn->setInterval(0);
    connect(m_nextTurn, &QTimer::timeout, this, &WaitingEdits::process);
}

WaitingEdits::~WaitingEdits() = default;

WaitingEdits::Id WaitingEdits::ask(const QString& name, const QString& waitingText, bool toldWhenGone)
{
    const Id id = add(name, waitingText, true);
    find(id)->toldWhenGone = toldWhenGone;
    return id;
}

WaitingEdits::Id WaitingEdits::askInTurn(const QString& name, const QString& waitingText)
{
    return add(name, waitingText, false);
}

// An edit of the show holds its place among the undo steps from its press; a press that only waits its turn does not.
WaitingEdits::Id WaitingEdits::add(const QString& name, const QString& waitingText, bool holdsPlace)
{
    auto edit = std::make_shared<Edit>();
    edit->id = m_nextId++;
    edit->name = name;
    edit->waitingText = waitingText;
    edit->number = m_hooks.numberPress();
    edit->show = m_hooks.show();
    edit->holdsPlace = holdsPlace;
    if (holdsPlace)
        edit->place = m_hooks.holdPlace();
    m_edits.append(edit);
    emit changed();
    return edit->id;
}

void WaitingEdits::await(Id id, const QList<QUrl>& urls, FileDepth depth, AwaitedFiles::Freshness freshness,
                         std::function<void()> then)
{
    await(id, urls, depth, freshness, {}, std::move(then));
}

void WaitingEdits::await(Id id, const QList<QUrl>& urls, FileDepth depth, AwaitedFiles::Freshness freshness,
                         AwaitedFiles::Each each, std::function<void()> then)
{
    Edit* edit = findAny(id);
    if (!edit)
        return;
    edit->state = Edit::State::answers;
    edit->answered = false;
    edit->then = std::move(then);
    if (!edit->answers)
        edit->answers = new AwaitedFiles(m_files);
    edit->answers->await(urls, depth, freshness, std::move(each), [this, id] {
        if (Edit* answered = find(id)) {
            answered->answered = true;
            process();
        } else if (findAny(id)) {
            tellGone(id);
        }
    });
}

// Made nowhere, it goes on at once, as the press it was.
void WaitingEdits::tellGone(Id id)
{
    const auto found = std::find_if(m_gone.cbegin(), m_gone.cend(),
                                    [id](const std::shared_ptr<Edit>& edit) { return edit->id == id; });
    if (found == m_gone.cend())
        return;
    const std::shared_ptr<Edit> edit = *found;
    // Still gone while it tells.
    if (const std::function<void()> then = std::exchange(edit->then, nullptr)) {
        const std::optional<quint64> before = m_hooks.actAs(edit->number);
        then();
        m_hooks.actAs(before);
    }
    m_gone.removeOne(edit);
    emit changed();
}

void WaitingEdits::hold(Id id)
{
    if (Edit* edit = findAny(id))
        edit->state = Edit::State::held;
}

void WaitingEdits::resume(Id id, std::function<void()> then)
{
    Edit* edit = findAny(id);
    if (!edit || edit->state != Edit::State::held)
        return;
    edit->state = Edit::State::answers;
    edit->answered = true;
    edit->then = std::move(then);
    if (!find(id)) {
        tellGone(id);
        return;
    }
    process();
}

bool WaitingEdits::waits(Id id) const
{
    return findAny(id) != nullptr;
}

bool WaitingEdits::gone(Id id) const
{
    return !find(id) && findAny(id);
}

bool WaitingEdits::waitsFor(const QString& name) const
{
    return std::any_of(m_edits.cbegin(), m_edits.cend(),
                       [&](const std::shared_ptr<Edit>& edit) { return edit->name == name; });
}

bool WaitingEdits::waitsInPlaceFor(const QString& name, const std::function<bool(quint64)>& inShow) const
{
    return std::any_of(m_edits.cbegin(), m_edits.cend(), [&](const std::shared_ptr<Edit>& edit) {
        return edit->name == name && (!edit->holdsPlace || inShow(edit->place));
    });
}

bool WaitingEdits::lands(Id id) const
{
    const Edit* edit = find(id);
    return edit && edit->show == m_hooks.show() && (!edit->holdsPlace || m_hooks.placeHeld(edit->place));
}

quint64 WaitingEdits::place(Id id) const
{
    const Edit* edit = find(id);
    return edit ? edit->place : 0;
}

std::optional<QString> WaitingEdits::waitingInPlace(const std::function<bool(quint64)>& inShow) const
{
    // One being made waits no more.
    for (auto edit = m_edits.crbegin(); edit != m_edits.crend(); ++edit)
        if (!(*edit)->waitingText.isEmpty() && (*edit)->state != Edit::State::going &&
            (!(*edit)->holdsPlace || inShow((*edit)->place)))
            return (*edit)->waitingText;
    return std::nullopt;
}

QString WaitingEdits::dropAll()
{
    m_gone.clear();
    if (m_edits.isEmpty())
        return {};
    const QString text = m_edits.size() == 1 ? QStringLiteral(" · 已放弃尚未完成的") + m_edits.first()->name
                                             : QStringLiteral(" · 已放弃 %1 项尚未完成的修改").arg(m_edits.size());
    m_edits.clear();
    emit changed();
    return text;
}

// Drops the edits chosen that are not going on; the words they waited with come off the line. Whether any went.
bool WaitingEdits::dropWhere(const std::function<bool(const Edit&)>& chosen)
{
    QStringList said;
    const qsizetype before = m_edits.size();
    m_edits.removeIf([&](const std::shared_ptr<Edit>& edit) {
        const bool dropped = edit->state != Edit::State::going && chosen(*edit);
        if (dropped && !edit->waitingText.isEmpty())
            said.append(edit->waitingText);
        if (dropped && edit->holdsPlace && edit->toldWhenGone)
            m_gone.append(edit);
        return dropped;
    });
    if (m_edits.size() == before)
        return false;
    emit changed();
    for (const QString& text : std::as_const(said))
        m_hooks.ended(text);
    return true;
}

void WaitingEdits::dropGone()
{
    if (!dropWhere([this](const Edit& edit) { return edit.holdsPlace && !m_hooks.placeHeld(edit.place); }))
        return;
    // One whose answers were in already, waiting only for its turn, tells now: after the edit that dropped it.
    for (const std::shared_ptr<Edit>& edit : std::as_const(m_gone))
        if (edit->state == Edit::State::answers && edit->answered)
            QMetaObject::invokeMethod(
                this, [this, id = edit->id] { tellGone(id); }, Qt::QueuedConnection);
    // The one before it may have its answers already.
    process();
}

void WaitingEdits::dropTurns(const QStringList& names, std::optional<quint64> pressedBefore)
{
    if (dropWhere([&](const Edit& edit) {
            return !edit.holdsPlace && names.contains(edit.name) && (!pressedBefore || edit.number < *pressedBefore);
        }))
        process();
}

WaitingEdits::Edit* WaitingEdits::find(Id id) const
{
    for (const std::shared_ptr<Edit>& edit : m_edits)
        if (edit->id == id)
            return edit.get();
    return nullptr;
}

WaitingEdits::Edit* WaitingEdits::findAny(Id id) const
{
    if (Edit* edit = find(id))
        return edit;
    for (const std::shared_ptr<Edit>& edit : m_gone)
        if (edit->id == id)
            return edit.get();
    return nullptr;
}

// An edit that ended without a change of the show leaves no step behind.
void WaitingEdits::remove(Id id)
{
    const Edit* edit = find(id);
    const std::optional<quint64> place = edit && edit->holdsPlace ? std::optional(edit->place) : std::nullopt;
    m_edits.removeIf([id](const std::shared_ptr<Edit>& edit) { return edit->id == id; });
    if (place)
        m_hooks.forget(*place);
    emit changed();
}

// The first in line goes on once its answers are in; one that asks for more answers, or waits for a look, stays
// first. What it asks is done after it returns, never inside it.
void WaitingEdits::process()
{
    if (m_running || m_nextTurn->isActive())
        return;
    while (!m_edits.isEmpty()) {
        // Kept alive while it goes on: the edit may drop every edit, itself included.
        const std::shared_ptr<Edit> first = m_edits.first();
        if (first->state != Edit::State::answers || !first->answered)
            return;
        first->state = Edit::State::going;
        const std::function<void()> then = std::exchange(first->then, nullptr);
        m_running = true;
        const std::optional<quint64> before = m_hooks.actAs(first->number);
        then();
        m_hooks.actAs(before);
        m_running = false;
        if (first->state == Edit::State::going && find(first->id)) {
            remove(first->id);
            // Its outcome may have been kept off the line by a later press: what it waited with comes off all the same.
            if (!first->waitingText.isEmpty())
                m_hooks.ended(first->waitingText);
        }
        // What it told stands a turn of the event loop before the next goes on, as it would have between presses:
        // the timer fires after the events posted meanwhile, the redraw of the status line among them.
        m_nextTurn->start();
        return;
    }
}
