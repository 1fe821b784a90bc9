#pragma once

#include "screenrole.h"

#include <QComboBox>
#include <optional>

// A picker of one of the show's screens, led by a row that means none (its text given, as "首路屏幕"). The rows
// follow the show's screens; a value that is no longer a screen shows the row for none.
class ScreenRolePicker : public QComboBox
{
    Q_OBJECT
  public:
    ScreenRolePicker(const QString& noneText, QWidget* parent = nullptr);

    void setScreens(const QList<ScreenRole>& screens, const std::optional<ScreenRole>& value);
    std::optional<ScreenRole> value() const;
    // Picks a row as the operator would.
    void pick(const std::optional<ScreenRole>& value);

  signals:
    void picked(const std::optional<ScreenRole>& value);

  private:
    QList<ScreenRole> m_screens;
};
