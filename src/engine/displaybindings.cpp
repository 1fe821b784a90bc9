#include "displaybindings.h"

#include <QSet>

DisplayBindings::DisplayBindings(Engine& engine, std::shared_ptr<DisplayProvider> displays,
                                 std::shared_ptr<OutputWindowFactory> windows, QObject* parent)
    : QObject(parent), m_engine(engine), m_provider(std::move(displays)), m_factory(std::move(windows)),
      m_displays(DisplayScreen::namedApart(m_provider->displays()))
{
}

// Windows go before the rest of the engine that their content observes.
DisplayBindings::~DisplayBindings()
{
    m_windows.clear();
}

void DisplayBindings::reloadDisplays()
{
    m_displays = DisplayScreen::namedApart(m_provider->displays());
    emit displaysChanged();
}

std::optional<DisplayScreen> DisplayBindings::display(int number) const
{
    for (const DisplayScreen& display : m_displays)
        if (display.number == number)
            return display;
    return std::nullopt;
}

std::optional<DisplayScreen> DisplayBindings::display(const ScreenRole& role) const
{
    const auto found = m_mappings.constFind(role);
    return found == m_mappings.constEnd() ? std::nullopt : display(*found);
}

bool DisplayBindings::hasWindow(const ScreenRole& role) const
{
    const std::shared_ptr<OutputWindow> window = m_windows.value(role);
    return window && window->isOpen();
}

bool DisplayBindings::raise(const ScreenRole& role)
{
    if (!hasWindow(role))
        return false;
    m_windows.value(role)->raise();
    return true;
}

bool DisplayBindings::isTakenByAnother(int number, const ScreenRole& role) const
{
    for (auto it = m_mappings.cbegin(); it != m_mappings.cend(); ++it)
        if (it.key() != role && it.value() == number)
            return true;
    return false;
}

void DisplayBindings::rebind(const ScreenRole& role, const std::optional<DisplayScreen>& display, bool withWindow)
{
    closeWindow(role);
    if (display && withWindow)
        open(role, *display);
    setMapping(role, display ? std::optional(display->number) : std::nullopt);
}

void DisplayBindings::open(const ScreenRole& role, const DisplayScreen& display)
{
    if (!m_factory)
        return;
    if (std::unique_ptr<OutputWindow> window = m_factory->open(m_engine, role, display))
        m_windows.insert(role, std::move(window));
}

void DisplayBindings::drop(const ScreenRole& role)
{
    rebind(role, std::nullopt, false);
}

void DisplayBindings::restore(const QList<ScreenRole>& screens, const QMap<QString, QString>& stored)
{
    QSet<int> used;
    for (auto held = m_mappings.cbegin(); held != m_mappings.cend(); ++held)
        if (!screens.contains(held.key()))
            used.insert(held.value());
    for (const ScreenRole& role : screens) {
        const auto identity = stored.constFind(role.rawValue);
        QList<DisplayScreen> matching;
        if (identity != stored.constEnd())
            for (const DisplayScreen& display : std::as_const(m_displays))
                if (display.identity == *identity)
                    matching.append(display);
        // A missing, ambiguous or already taken display leaves the screen without window; its stored binding
        // stays, so it comes back with the display.
        if (matching.size() != 1 || used.contains(matching.first().number)) {
            drop(role);
            continue;
        }
        const DisplayScreen& display = matching.first();
        used.insert(display.number);
        if (m_mappings.value(role, -1) == display.number && hasWindow(role)) {
            m_windows.value(role)->place(display);
            continue;
        }
        drop(role);
        if (isConsoleDisplay(display.number))
            continue;
        open(role, display);
        setMapping(role, display.number);
    }
}

void DisplayBindings::closeWindow(const ScreenRole& role)
{
    // Taken out of the table first: closing may run events that look at it.
    const std::shared_ptr<OutputWindow> window = m_windows.take(role);
    Q_UNUSED(window);
}

void DisplayBindings::setMapping(const ScreenRole& role, std::optional<int> number)
{
    const bool changed =
        number ? m_mappings.value(role, -1) != *number || !m_mappings.contains(role) : m_mappings.contains(role);
    if (!changed)
        return;
    if (number)
        m_mappings.insert(role, *number);
    else
        m_mappings.remove(role);
    emit mappingsChanged();
}
