#pragma once

#include <QComboBox>
#include <optional>

// The "输出到" picker of a screen card: "仅监看" (none), one row per connected display (its number) and, for a
// remembered binding whose display is not live, "已记住 · 输出不可用" (rememberedMarker). Rows and the shown value are
// set from the engine's state; while the list is open a change waits until it closes, so the operator's choice is
// never pulled from under the pointer.
class ScreenOutputPicker : public QComboBox
{
    Q_OBJECT
  public:
    // Display numbers are at least 1, so this can never be one.
    static constexpr int rememberedMarker = -1;

    struct Row
    {
        QString text;
        std::optional<int> value;
        bool operator==(const Row&) const = default;
    };

    explicit ScreenOutputPicker(QWidget* parent = nullptr);

    void setRows(const QList<Row>& rows, std::optional<int> value);
    std::optional<int> value() const;
    bool isOpen() const { return m_open; }

    void showPopup() override;
    void hidePopup() override;

  signals:
    // The operator picked a row (also the one already shown).
    void picked(std::optional<int> value);

  private:
    void apply();

    QList<Row> m_rows;
    std::optional<int> m_value;
    bool m_open = false;
};
