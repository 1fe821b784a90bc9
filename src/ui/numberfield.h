#pragma once

#include "operatorlocale.h"

#include <QLineEdit>
#include <optional>

// A text field for one number, written and read in the operator's locale (a German locale reads "2,5" as 2.5). The
// value is taken when the field is committed, by Return or by leaving it. Text that is not a finite number of the
// field's kind leaves the value as it was and the field shows it again: "inf" or "nan" would make the project
// file unreadable.
class NumberField : public QLineEdit
{
    Q_OBJECT
  public:
    enum class Kind { decimal, integer };

    explicit NumberField(Kind kind, QWidget* parent = nullptr);

    double value() const { return m_value; }
    // Shows a value from outside; text the operator is typing is kept until committed.
    void setValue(double value);
    // Decimals are shown with at most this many fraction digits; leaving the shown text as it is changes nothing.
    void setMaximumFractionDigits(int digits);

    // The number a text stands for in the locale, the operator's unless told; absent for anything else.
    static std::optional<double> parse(const QString& text, Kind kind, const QLocale& locale = operatorLocale());
    static QString format(double value, Kind kind, int maximumFractionDigits = -1,
                          const QLocale& locale = operatorLocale());

  signals:
    // The operator committed a new value.
    void committed(double value);

  protected:
    void changeEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void commit();
    void showValue();
    QString shownValue() const;

    Kind m_kind;
    double m_value = 0;
    // -1: as many as the value needs.
    int m_fractionDigits = -1;
};
