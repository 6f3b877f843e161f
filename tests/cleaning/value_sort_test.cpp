// Header-click sorting of the value lists: numbers and dates by value, the
// empty-value row first, the same header reversing.
#include "cleaning/value_sort.h"

#include "platform/jet/error.h"
#include "platform/jet/types.h"

#include <gtest/gtest.h>

using cleaning::SortKind;

namespace {

QStringList sorted(const QStringList& texts, SortKind kind, bool descending)
{
    QStringList out;
    for (int i : cleaning::sortedOrder(texts, kind, descending))
        out << texts[i];
    return out;
}

} // namespace

TEST(ValueSort, OrdersByTheColumnKind)
{
    struct Case { const char* what; QStringList texts; SortKind kind; bool descending; QStringList expected; };
    const Case cases[] = {
        {"counts as numbers", {u"100"_qs, u"9"_qs, u"10"_qs}, SortKind::Numeric, false, {u"9"_qs, u"10"_qs, u"100"_qs}},
        {"negatives and the empty row", {u"7"_qs, u"-1"_qs, u""_qs, u"0"_qs, u"-5"_qs}, SortKind::Numeric, false,
         {u""_qs, u"-5"_qs, u"-1"_qs, u"0"_qs, u"7"_qs}},
        {"reversed", {u"7"_qs, u"-1"_qs, u""_qs, u"0"_qs, u"-5"_qs}, SortKind::Numeric, true,
         {u"7"_qs, u"0"_qs, u"-1"_qs, u"-5"_qs, u""_qs}},
        {"fractions and exponents", {u"1.5E+20"_qs, u"2.25"_qs, u"-0.5"_qs}, SortKind::Numeric, false,
         {u"-0.5"_qs, u"2.25"_qs, u"1.5E+20"_qs}},
        {"dates by year first", {u"1/5/2003"_qs, u""_qs, u"12/31/2002 11:00:00 PM"_qs, u"12/31/2002"_qs}, SortKind::Date,
         false, {u""_qs, u"12/31/2002"_qs, u"12/31/2002 11:00:00 PM"_qs, u"1/5/2003"_qs}},
        {"text ignoring case", {u"b"_qs, u"A"_qs, u"a"_qs, u"C"_qs}, SortKind::Text, false,
         {u"A"_qs, u"a"_qs, u"b"_qs, u"C"_qs}},
        {"no kind keeps the order", {u"b"_qs, u"a"_qs}, SortKind::None, false, {u"b"_qs, u"a"_qs}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(sorted(c.texts, c.kind, c.descending), c.expected);
    }
}

TEST(ValueSort, UnreadableValueIsAnError)
{
    EXPECT_THROW(cleaning::sortedOrder({u"1"_qs, u"{guid}"_qs}, SortKind::Numeric, false), jet::JetError);
    EXPECT_THROW(cleaning::sortedOrder({u"someday"_qs}, SortKind::Date, false), jet::JetError);
}

TEST(ValueSort, SameHeaderReversesAnotherStartsAscending)
{
    cleaning::SortState s;   // a freshly listed column: value column, ascending
    s = cleaning::clickedSort(s, 0);
    EXPECT_TRUE(s.descending);
    s = cleaning::clickedSort(s, 1);
    EXPECT_EQ(s.column, 1);
    EXPECT_FALSE(s.descending);
    s = cleaning::clickedSort(s, 0);
    EXPECT_FALSE(s.descending);
    s = cleaning::clickedSort(s, 0);
    EXPECT_TRUE(s.descending);
}

