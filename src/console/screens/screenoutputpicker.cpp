#include "screenoutputpicker.h"

ScreenOutputPicker::ScreenOutputPicker(QWidget* parent) : QComboBox(parent)
{
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(6);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // The rows shown may be older than m_rows while the list is open: the pick is read from the row itself.
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (index < 0)
            return;
        const QVariant value = itemData(index);
        emit picked(value.isValid() ? std::optional<int>(value.toInt()) : std::nullopt);
    });
}

static QVariant rowData(std::optional<int> value)
{
    return value ? QVariant(*value) : QVariant();
}

void ScreenOutputPicker::setRows(const QList<Row>& rows, std::optional<int> value)
{
    m_rows = rows;
    m_value = value;
    if (!m_open)
        apply();
}

std::optional<int> ScreenOutputPicker::value() const
{
    return m_value;
}

void ScreenOutputPicker::showPopup()
{
    m_open = true;
    QComboBox::showPopup();
}

void ScreenOutputPicker::hidePopup()
{
    QComboBox::hidePopup();
    // The combo box reports the pick only after closing the list; the engine's state is shown after that.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_open = false;
            apply();
        },
        Qt::QueuedConnection);
}

void ScreenOutputPicker::apply()
{
    bool same = count() == m_rows.size();
    for (int i = 0; same && i < m_rows.size(); ++i)
        same = itemText(i) == m_rows[i].text && itemData(i) == rowData(m_rows[i].value);
    const QSignalBlocker quiet(this);
    if (!same) {
        clear();
        for (const Row& row : std::as_const(m_rows))
            addItem(row.text, rowData(row.value));
    }
    int shown = -1;
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].value == m_value)
            shown = i;
    setCurrentIndex(shown);
}
