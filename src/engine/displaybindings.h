#pragma once

#include "displayprovider.h"
#include "outputwindowfactory.h"
#include "screenrole.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <memory>
#include <optional>

class Engine;

// Which screen is bound to which display now, and the output windows that put the bound screens on their displays.
// The show's stored bindings stay with the engine; restore() rebuilds this state from them.
class DisplayBindings : public QObject
{
    Q_OBJECT
  public:
    DisplayBindings(Engine& engine, std::shared_ptr<DisplayProvider> displays,
                    std::shared_ptr<OutputWindowFactory> windows, QObject* parent = nullptr);
    ~DisplayBindings() override;

    // The connected displays in the system's order, as last loaded; displays of one name are told apart.
    QList<DisplayScreen> displays() const { return m_displays; }
    void reloadDisplays();
    std::optional<DisplayScreen> display(int number) const;
    QMap<ScreenRole, int> mappings() const { return m_mappings; }
    // The connected display a screen is bound to now.
    std::optional<DisplayScreen> display(const ScreenRole& role) const;
    bool hasWindow(const ScreenRole& role) const;
    // Brings the screen's window to the front; false when it has none.
    bool raise(const ScreenRole& role);

    bool isConsoleDisplay(int number) const { return m_provider->holdsConsole(number); }
    bool holdsKeyWindow(int number) const { return m_provider->holdsKeyWindow(number); }
    // A screen other than this one bound to the display now.
    bool isTakenByAnother(int number, const ScreenRole& role) const;

    // Closes the screen's window and binds it to the display (none unbinds it). With withWindow, a window opens on
    // the display before the binding is announced, so whoever hears of it finds the screen online.
    void rebind(const ScreenRole& role, const std::optional<DisplayScreen>& display, bool withWindow);
    // Closes the window and forgets the binding of a screen that left the show.
    void drop(const ScreenRole& role);
    // Rebuilds windows and bindings of the screens, in order, from the stored display identities; a display that a
    // screen outside the list holds now stays with it.
    void restore(const QList<ScreenRole>& screens, const QMap<QString, QString>& stored);

  signals:
    void displaysChanged();
    void mappingsChanged();

  private:
    void open(const ScreenRole& role, const DisplayScreen& display);
    void closeWindow(const ScreenRole& role);
    void setMapping(const ScreenRole& role, std::optional<int> number);

    Engine& m_engine;
    std::shared_ptr<DisplayProvider> m_provider;
    std::shared_ptr<OutputWindowFactory> m_factory;
    QList<DisplayScreen> m_displays;
    QMap<ScreenRole, int> m_mappings;
    QHash<ScreenRole, std::shared_ptr<OutputWindow>> m_windows;
};
