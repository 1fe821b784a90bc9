#include "screenrolepicker.h"

#include <QSignalBlocker>

ScreenRolePicker::ScreenRolePicker(const QString& noneText, QWidget* parent) : QComboBox(parent)
{
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    addItem(noneText);
    connect(this, &QComboBox::activated, this, [this](int) { emit picked(value()); });
}

void ScreenRolePicker::setScreens(const QList<ScreenRole>& screens, const std::optional<ScreenRole>& value)
{
    const QSignalBlocker quiet(this);
    if (screens != m_screens) {
        while (count() > 1)
            removeItem(count() - 1);
        for (const ScreenRole& screen : screens)
            addItem(screen.rawValue);
        m_screens = screens;
    }
    setCurrentIndex(value ? int(m_screens.indexOf(*value)) + 1 : 0);
}

std::optional<ScreenRole> ScreenRolePicker::value() const
{
    const int row = currentIndex();
    if (row < 1 || row > m_screens.size())
        return std::nullopt;
    return m_screens[row - 1];
}

void ScreenRolePicker::pick(const std::optional<ScreenRole>& value)
{
    setCurrentIndex(value ? int(m_screens.indexOf(*value)) + 1 : 0);
    emit picked(this->value());
}
