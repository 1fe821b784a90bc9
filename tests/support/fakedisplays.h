#pragma once

#include "displayprovider.h"
#include "outputwindowfactory.h"

#include <QMap>
#include <memory>
#include <optional>

// Displays a test connects and removes at will; it also says which of them holds the console and the key window.
class FakeDisplays : public DisplayProvider
{
  public:
    QList<DisplayScreen> displays() const override { return list; }
    bool holdsConsole(int number) const override { return console == number; }
    bool holdsKeyWindow(int number) const override { return keyWindow == number; }
    void change(QList<DisplayScreen> displays)
    {
        list = std::move(displays);
        emit displaysChanged();
    }
    QList<DisplayScreen> list;
    std::optional<int> console;
    std::optional<int> keyWindow;
};

// Output windows that only record where they were opened; a test can take a window's display away.
class FakeWindows : public OutputWindowFactory
{
  public:
    struct Window : OutputWindow
    {
        Window(FakeWindows& owner, ScreenRole role, DisplayScreen display)
            : owner(owner), role(std::move(role)), display(std::move(display))
        {
        }
        ~Window() override { owner.closed.append(role); }
        void place(const DisplayScreen& to) override { display = to; }
        void raise() override {}
        bool isOpen() const override { return open; }
        FakeWindows& owner;
        ScreenRole role;
        DisplayScreen display;
        bool open = true;
    };

    std::unique_ptr<OutputWindow> open(Engine&, const ScreenRole& role, const DisplayScreen& display) override
    {
        auto window = std::make_unique<Window>(*this, role, display);
        windows[role] = window.get();
        opened.append(role);
        return window;
    }
    QMap<ScreenRole, Window*> windows;
    QList<ScreenRole> opened;
    QList<ScreenRole> closed;
};
