#include "platform/jet/value.h"

#include <gtest/gtest.h>

using namespace jet;

TEST(DateSerial, KnownDaysAndTimes)
{
    struct Case { DateParts parts; double serial; const char* display; };
    const Case cases[] = {
        {{1899, 12, 30, 0, 0, 0}, 0.0, "12:00:00 AM"},   // midnight alone is a time, not a date
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

// Every form a date or time is typed in: what it reads as (stored form), or
// refused. A time alone falls on 12/30/1899, the day the serial counts from.
TEST(DateText, TypedFormsReadAsTheirDateOrAreRefused)
{
    const struct {
        const char* typed;
        const char* stored;   // nullptr: refused
    } cases[] = {
        {"1/2/2003", "2003-01-02 00:00:00"},
        {"01/02/03", "2003-01-02 00:00:00"},
        {"1/2/30", "1930-01-02 00:00:00"},
        {"1-2-2003", "2003-01-02 00:00:00"},
        {"2003-01-02", "2003-01-02 00:00:00"},
        {"2003/1/2", "2003-01-02 00:00:00"},
        {"1/2/2003 10:30:00 PM", "2003-01-02 22:30:00"},
        {"1/2/2003 22:30", "2003-01-02 22:30:00"},
        {"1/2/2003 10:30PM", "2003-01-02 22:30:00"},
        {"  1/2/2003   10:30 pm ", "2003-01-02 22:30:00"},
        {"10:30:00 PM", "1899-12-30 22:30:00"},
        {"10:30 PM", "1899-12-30 22:30:00"},
        {"10 PM", "1899-12-30 22:00:00"},
        {"12:00:00 AM", "1899-12-30 00:00:00"},
        {"12:15 PM", "1899-12-30 12:15:00"},
        {"0:15 AM", "1899-12-30 00:15:00"},
        {"22:30:05", "1899-12-30 22:30:05"},
        {"7:5:3", "1899-12-30 07:05:03"},
        {"10:30 PM 1/2/2003", "2003-01-02 22:30:00"},
        {"Jan 5 2000", "2000-01-05 00:00:00"},
        {"Jan 5, 2000", "2000-01-05 00:00:00"},
        {"January 5, 2000 1:02:03 AM", "2000-01-05 01:02:03"},
        {"5-Jan-2000", "2000-01-05 00:00:00"},
        {"5-jan-00", "2000-01-05 00:00:00"},
        {"5 Sept 2000", "2000-09-05 00:00:00"},
        {"Dec 31 9999 11:59:59 PM", "9999-12-31 23:59:59"},
        {"2/29/2000", "2000-02-29 00:00:00"},
        {"2/29/2001", nullptr},
        {"13/1/2003", nullptr},
        {"1/2", nullptr},
        {"1/2-2003", nullptr},
        {"1/2/2003 25:00", nullptr},
        {"13:00 PM", nullptr},
        {"10:60", nullptr},
        {"10:30:60", nullptr},
        {"10:30 XM", nullptr},
        {"Foo 5 2000", nullptr},
        {"Jan 5", nullptr},
        {"Jan 5 2000 PM", nullptr},
        {"1/1/10000", nullptr},
        {"1/1/0099", nullptr},
        {"70000", nullptr},
        {"Yes", nullptr},
        {"", nullptr},
        {"2003-01-02T10:00", nullptr},
    };
    for (const auto& c : cases) {
        const auto d = readDateText(QString::fromLatin1(c.typed));
        if (!c.stored) {
            EXPECT_FALSE(d) << c.typed << " read as " << (d ? storedDate(*d).toStdString() : "");
            continue;
        }
        ASSERT_TRUE(d) << c.typed;
        EXPECT_EQ(storedDate(*d).toStdString(), c.stored) << c.typed;
    }
}

// What the engine shows of a date reads back as the same value, for dates,
// times alone, midnight, the first and last days and days before 1899.
TEST(DateText, EveryDisplayedDateReadsBackUnchanged)
{
    const DateParts parts[] = {
        {2003, 1, 2, 0, 0, 0},     {2003, 1, 2, 22, 30, 0},  {1899, 12, 30, 22, 30, 0}, {1899, 12, 30, 0, 0, 1},
        {1899, 12, 30, 12, 0, 0},  {1899, 12, 30, 0, 0, 0},  {1899, 12, 29, 6, 0, 0},   {1800, 6, 15, 23, 59, 59},
        {100, 1, 1, 0, 0, 0},      {9999, 12, 31, 23, 59, 59}, {2029, 12, 31, 0, 0, 0},  {1930, 1, 1, 12, 0, 0},
    };
    for (const DateParts& p : parts) {
        const DateTime d = toDateTime(p);
        const QString shown = displayDate(d);
        const auto back = readDateText(shown);
        ASSERT_TRUE(back) << shown.toStdString();
        EXPECT_EQ(back->serial, d.serial) << shown.toStdString();
    }
}
