#include "exchange/date_text.h"

#include <gtest/gtest.h>

using namespace exchange;

namespace {

struct Want { int y, m, d, hh, mm, ss; };
const Want kNotADate{0, 0, 0, 0, 0, 0};

std::string show(const std::optional<jet::DateTime>& d)
{
    return d ? jet::storedDate(*d).toStdString() : std::string("not a date");
}

std::string show(const Want& w)
{
    if (w.y == 0)
        return "not a date";
    return jet::storedDate(jet::toDateTime({w.y, w.m, w.d, w.hh, w.mm, w.ss})).toStdString();
}

} // namespace

TEST(DateText, TextsAndOrders)
{
    struct Case { const char* text; const char* order; Want want; };
    const Case cases[] = {
        {"12/31/1999", "MDY", {1999, 12, 31, 0, 0, 0}},
        {"12/31/1999", "DMY", kNotADate},
        {"1/2/5", "DMY", {2005, 2, 1, 0, 0, 0}},
        {"01/02/05", "DMY", {2005, 2, 1, 0, 0, 0}},
        {"01/02/29", "DMY", {2029, 2, 1, 0, 0, 0}},
        {"01/02/30", "DMY", {1930, 2, 1, 0, 0, 0}},
        {"01/02/99", "DMY", {1999, 2, 1, 0, 0, 0}},
        {"01/02/0", "DMY", {2000, 2, 1, 0, 0, 0}},
        {"01/02/0005", "DMY", kNotADate},
        {"01/02/0123", "DMY", {123, 2, 1, 0, 0, 0}},
        {"01/02/12345", "DMY", kNotADate},
        // every order puts the parts in its own place
        {"2/2003/1", "MYD", {2003, 2, 1, 0, 0, 0}},
        {"1/2003/2", "DYM", {2003, 2, 1, 0, 0, 0}},
        {"2003/2/1", "YMD", {2003, 2, 1, 0, 0, 0}},
        {"2003/1/2", "YDM", {2003, 2, 1, 0, 0, 0}},
        {"2/1/2003", "XYZ", kNotADate},
        // a day the month lacks is no date (never carried into March)
        {"31/02/2003", "DMY", kNotADate},
        {"29/02/2001", "DMY", kNotADate},
        {"29/02/2000", "DMY", {2000, 2, 29, 0, 0, 0}},
        {"31/04/2003", "DMY", kNotADate},
        {"0/1/2003", "DMY", kNotADate},
        {"1/13/2003", "DMY", kNotADate},
        {"001/1/2003", "DMY", kNotADate},
        // with times
        {"01/02/2003 10:20", "DMY", {2003, 2, 1, 10, 20, 0}},
        {"01/02/2003 10:20:30", "DMY", {2003, 2, 1, 10, 20, 30}},
        {"01/02/2003  7:05", "DMY", {2003, 2, 1, 7, 5, 0}},
        {"01/02/2003 word", "DMY", kNotADate},
        {"01/02/2003 ", "DMY", kNotADate},
        {"01/02/2003 10:20 PM", "DMY", kNotADate},
        {"01/02/2003 10:20:30:40", "DMY", kNotADate},
        {"01/02/2003T10:20", "DMY", kNotADate},
        // a time alone falls on the zero date
        {"10:20", "MDY", {1899, 12, 30, 10, 20, 0}},
        {"7:5:3", "MDY", {1899, 12, 30, 7, 5, 3}},
        {"0:00", "MDY", {1899, 12, 30, 0, 0, 0}},
        {"23:59:59", "MDY", {1899, 12, 30, 23, 59, 59}},
        {" 10:20", "MDY", {1899, 12, 30, 10, 20, 0}},
        {"10:20", "XYZ", {1899, 12, 30, 10, 20, 0}},
        {"24:00", "MDY", kNotADate},
        {"10:60", "MDY", kNotADate},
        {"10:20:60", "MDY", kNotADate},
        {"10:", "MDY", kNotADate},
        {"10:2x", "MDY", kNotADate},
        {"10:20 PM", "MDY", kNotADate},
        // words ahead of a time are not thrown away as if they were not there
        {"Room 10:20", "MDY", kNotADate},
        {"1/2 10:20", "MDY", kNotADate},
        // neither a date nor a time
        {"", "MDY", kNotADate},
        {"abc", "MDY", kNotADate},
        {"12", "MDY", kNotADate},
        {"1/2", "MDY", kNotADate},
        {"+1/2/2003", "MDY", kNotADate},
        {"1/ 2/2003", "MDY", kNotADate},
        {"１/2/2003", "MDY", kNotADate}, // full-width digit
    };
    for (const Case& c : cases) {
        const DateSettings s = DateSettings::fromTexts(QString::fromUtf8(c.order), QStringLiteral("/"), QStringLiteral(":"));
        EXPECT_EQ(show(parseDateTime(QString::fromUtf8(c.text), s)), show(c.want)) << c.text << " " << c.order;
    }
}

TEST(DateText, OtherDelimiters)
{
    struct Case { const char* text; const char* dateDelim; const char* timeDelim; Want want; };
    const Case cases[] = {
        {"31-12-1999 23.15", "-", ".", {1999, 12, 31, 23, 15, 0}},
        {"12/31/1999", "-", ":", kNotADate},
        // delimiters left empty find nothing
        {"12/31/1999", "", ":", kNotADate},
        {"10:20", "/", "", kNotADate},
    };
    for (const Case& c : cases) {
        const DateSettings s = DateSettings::fromTexts(QStringLiteral("DMY"), QString::fromUtf8(c.dateDelim),
                                                       QString::fromUtf8(c.timeDelim));
        EXPECT_EQ(show(parseDateTime(QString::fromUtf8(c.text), s)), show(c.want)) << c.text;
    }
}

TEST(DateText, OrderTexts)
{
    EXPECT_EQ(dateOrderFromText(u"YDM"), DateOrder::YDM);
    EXPECT_FALSE(dateOrderFromText(u"mdy"));
    const DateSettings s = DateSettings::fromTexts(QStringLiteral("MDY"), QStringLiteral("-x"), QString());
    EXPECT_EQ(s.dateDelimiter, QChar(u'-'));
    EXPECT_FALSE(s.timeDelimiter);
}
