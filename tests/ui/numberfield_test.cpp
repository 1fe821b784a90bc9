#include "numberfield.h"

#include <QApplication>
#include <QLocale>
#include <QTest>
#include <QVBoxLayout>
#include <functional>
#include <gtest/gtest.h>

// What is typed is shown only while it is typed: once committed, by Return or by leaving the field, the field shows
// what its owner stored, whether the owner took the number, clamped it, refused it or never heard of it.
TEST(NumberField, ShowsWhatIsStoredOnceCommitted)
{
    QWidget window;
    auto* field = new NumberField(NumberField::Kind::decimal, &window);
    auto* elsewhere = new QLineEdit(&window);
    auto* column = new QVBoxLayout(&window);
    column->addWidget(field);
    column->addWidget(elsewhere);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    // The owner's rule for a typed number: what it stores, as the real owners do (crop fields clamp to 0...1, an
    // event time refuses a negative number).
    std::function<double(double)> store;
    QObject::connect(field, &NumberField::committed, field, [&](double typed) { field->setValue(store(typed)); });
    const auto keep = [](double typed) { return typed; };
    const auto clampToOne = [](double typed) { return std::clamp(typed, 0.0, 1.0); };
    const auto refuseNegative = [&](double typed) { return typed < 0 ? 0.5 : typed; };
    struct Case
    {
        const char* typed;
        std::function<double(double)> store;
        bool byReturn;
        const char* shown;
    } cases[] = {
        {"0.25", keep, true, "0.25"},         {"1.5", clampToOne, true, "1"},
        {"1.5", clampToOne, false, "1"},      {"-1", refuseNegative, true, "0.5"},
        {"-1", refuseNegative, false, "0.5"}, {"abc", keep, true, "0.5"},
        {"0.50", keep, true, "0.5"},          {"100000", keep, true, "100,000"},
        {"90000", keep, false, "90,000"},     {"0.0000001", keep, true, "0.0000001"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        field->setValue(0.5);
        store = c.store;
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, c.typed);
        field->setValue(0.75);
        EXPECT_EQ(field->text(), QString(c.typed)) << "a value from outside waits while the operator types";
        field->setValue(0.5);
        if (c.byReturn)
            QTest::keyClick(field, Qt::Key_Return);
        else
            elsewhere->setFocus();
        EXPECT_EQ(field->text(), QString(c.shown));
        EXPECT_EQ(NumberField::parse(field->text(), NumberField::Kind::decimal), field->value());
    }

    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(NumberField::format(1234567.25, NumberField::Kind::decimal, -1, german), "1.234.567,25");
    EXPECT_EQ(NumberField::format(0.123456, NumberField::Kind::decimal, 3, german), "0,123");
    EXPECT_EQ(NumberField::parse("2,5", NumberField::Kind::decimal, german), 2.5);
}
