#include "platform/jet/value.h"

#include <gtest/gtest.h>

using namespace jet;

TEST(DateSerial, KnownDaysAndTimes)
{
    struct Case { DateParts parts; double serial; const char* display; };
    const Case cases[] = {
        {{1899, 12, 30, 0, 0, 0}, 0.0, "12/30/1899"},
        {{1900, 1, 1, 0, 0, 0}, 2.0, "1/1/1900"},
        {{2020, 1, 5, 15, 4, 5}, 43835.0 + (15 * 3600 + 4 * 60 + 5) / 86400.0, "1/5/2020 3:04:05 PM"},
        {{1899, 12, 30, 0, 0, 1}, 1 / 86400.0, "12:00:01 AM"},
        {{1899, 12, 29, 6, 0, 0}, -1.25, "12/29/1899 6:00:00 AM"},
        {{9999, 12, 31, 23, 59, 59}, 2958465.0 + 86399 / 86400.0, "12/31/9999 11:59:59 PM"},
        {{100, 1, 1, 0, 0, 0}, -657434.0, "1/1/100"},
    };
    for (const Case& c : cases) {
        const DateTime d = toDateTime(c.parts);
        EXPECT_NEAR(d.serial, c.serial, 1e-9) << c.display;
        EXPECT_EQ(displayDate(d).toStdString(), c.display);
        const DateParts back = toParts(d);
        EXPECT_EQ(back.year, c.parts.year);
        EXPECT_EQ(back.second, c.parts.second);
        EXPECT_EQ(parseStoredDate(storedDate(d))->serial, d.serial);
    }
}

TEST(DateSerial, StoredFormSortsAsText)
{
    const QString a = storedDate(toDateTime({1899, 12, 29, 23, 0, 0}));
    const QString b = storedDate(toDateTime({1900, 1, 1, 0, 0, 0}));
    const QString c = storedDate(toDateTime({2001, 10, 2, 8, 0, 0}));
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_FALSE(parseStoredDate(QStringLiteral("2001-02-30 00:00:00")));
    EXPECT_FALSE(looksStoredDate(QStringLiteral("2001-02-03")));
}

TEST(ValueText, EngineTextForms)
{
    EXPECT_EQ(Value(3.5).toString(), QStringLiteral("3.5"));
    EXPECT_EQ(Value(2.0).toString(), QStringLiteral("2"));
    EXPECT_EQ(Value(0.1 + 0.2).toString(), QStringLiteral("0.3"));
    EXPECT_EQ(Value(true).toString(), QStringLiteral("True"));
    EXPECT_TRUE(Value().toString().isEmpty());
    EXPECT_NE(Value(), Value(QString()));
    EXPECT_EQ(Value(2.5).toLong(), 2);
    EXPECT_EQ(Value(3.5).toLong(), 4);
}
