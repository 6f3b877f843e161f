#include "cleaning/char_classes.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

using namespace cleaning;

namespace {

QString u(const char16_t* s) { return QString::fromUtf16(s); }

// The 32 default rows in their default order, none chosen.
std::vector<SpecChar> defaultRows()
{
    std::vector<SpecChar> rows;
    for (auto [first, last] : {std::pair{33, 47}, std::pair{58, 64}, std::pair{91, 96}, std::pair{123, 126}})
        for (int code = first; code <= last; ++code)
            rows.push_back({code, 0});
    return rows;
}

std::vector<SpecChar> choosing(std::initializer_list<int> codes)
{
    std::vector<SpecChar> rows = defaultRows();
    for (SpecChar& r : rows)
        for (int c : codes)
            if (r.code == c)
                r.flag = 1;
    return rows;
}

} // namespace

TEST(CharClasses, LetterDigitAndOtherTests)
{
    struct Case {
        QString value;
        bool letter, digit, other;
    };
    const Case cases[] = {
        {u(u"Smith"), true, false, false},
        {u(u"12-40"), false, true, false},
        {u(u"A1 ~!"), true, true, false},
        {QStringLiteral(""), false, false, false},
        // Accented letters are not a to z; they are extended characters.
        {u(u"\u00E9\u00E7"), false, false, true},
        {u(u"\u00C0 7"), false, true, true},
        // Controls: tab and line feed are Other; carriage return, code 0 and the
        // no-break space are not.
        {u(u"a\tb"), true, false, true},
        {u(u"\n"), false, false, true},
        {u(u"x\r"), true, false, false},
        {QString(QChar(0)), false, false, false},
        {u(u"1\u00A02"), false, true, false},
        {u(u"\x7F"), false, false, true},
        // The code page's 128-159 block, and one of its unassigned codes.
        {u(u"\u20AC5"), false, true, true},
        {u(u"\u0152uvre"), true, false, true},
        {u(u"\u0081"), false, false, true},
        // Outside the code page: Polish, Cyrillic, CJK, an emoji, a C1 control
        // without a code, a stray surrogate.
        {u(u"\u0141odz"), true, false, true},
        {u(u"\u0416"), false, false, true},
        {u(u"\u65E5"), false, false, true},
        {u(u"ok\U0001F600"), true, false, true},
        {u(u"\u0080"), false, false, true},
        {QString(QChar(0xD800)), false, false, true},
    };
    const std::vector<SpecChar> none;
    const ClassFilter alpha(CharClass::Alpha, none), numeric(CharClass::Numeric, none),
        other(CharClass::Other, none);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.toStdString());
        EXPECT_EQ(hasAsciiLetter(c.value), c.letter);
        EXPECT_EQ(hasAsciiDigit(c.value), c.digit);
        EXPECT_EQ(hasOtherChar(c.value), c.other);
        EXPECT_EQ(alpha.passes(c.value), c.letter);
        EXPECT_EQ(numeric.passes(c.value), c.digit);
        EXPECT_EQ(other.passes(c.value), c.other);
    }
}

TEST(CharClasses, PunctuationUsesChosenRowsOnly)
{
    const std::vector<SpecChar> chosen = choosing({'&', '"', '|', ']'});
    const ClassFilter puncts(CharClass::Puncts, chosen);
    struct Case {
        QString value;
        bool passes;
    };
    const Case cases[] = {
        {u(u"Smith & Sons"), true},
        {u(u"6\" pipe"), true},
        {u(u"a|b"), true},
        {u(u"[x]"), true},
        {u(u"O'Brien-Smith, Jr."), false},
        {u(u"[x"), false},
        {QStringLiteral(""), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(puncts.passes(c.value), c.passes) << c.value.toStdString();

    EXPECT_FALSE(ClassFilter(CharClass::Puncts, defaultRows()).passes(u(u"!@#$%")));

    // A flag other than 0 counts as chosen; rows with impossible codes are ignored.
    const std::vector<SpecChar> odd = {{'#', 2}, {0, 1}, {-5, 1}, {300, 1}, {0x80, 1}};
    const ClassFilter oddFilter(CharClass::Puncts, odd);
    EXPECT_TRUE(oddFilter.passes(u(u"No #5")));
    EXPECT_TRUE(oddFilter.passes(u(u"5 \u20AC")));
    EXPECT_FALSE(oddFilter.passes(QString(QChar(0)) + u(u"\u0080 abc")));
}

TEST(CharClasses, NoClassPassesEverything)
{
    const ClassFilter none(CharClass::None, choosing({'!'}));
    EXPECT_TRUE(none.passes(QStringLiteral("")));
    EXPECT_TRUE(none.passes(u(u"plain")));
}

TEST(CharClasses, LastTickedBoxWins)
{
    struct Case {
        bool alpha, numeric, puncts, other;
        CharClass cls;
    };
    const Case cases[] = {
        {false, false, false, false, CharClass::None},
        {true, false, false, false, CharClass::Alpha},
        {true, true, false, false, CharClass::Numeric},
        {false, true, true, false, CharClass::Puncts},
        {true, false, true, true, CharClass::Other},
    };
    for (const Case& c : cases)
        EXPECT_EQ(selectedClass(c.alpha, c.numeric, c.puncts, c.other), c.cls);
}

TEST(CharClassConditions, LetterDigitAndNone)
{
    const std::vector<SpecChar> rows = choosing({'!'});
    EXPECT_TRUE(classCondition(u(u"Nm"), CharClass::None, rows).isEmpty());
    EXPECT_EQ(classCondition(u(u"First Name"), CharClass::Alpha, rows),
              u(u" WHERE [First Name] LIKE '*[a-z]*'     OR [First Name] LIKE '*[A-Z]*' "));
    EXPECT_EQ(classCondition(u(u"Zip"), CharClass::Numeric, rows), u(u" WHERE [Zip] LIKE '*[0-9]*' "));
}

TEST(CharClassConditions, PunctuationEndings)
{
    // Row order decides term order, not code order.
    std::vector<SpecChar> rows = {{124, 1}, {39, 1}, {34, 1}, {40, 0}, {93, 1}, {91, 1}, {33, 1}};
    EXPECT_EQ(classCondition(u(u"Co"), CharClass::Puncts, rows),
              u(u" WHERE FALSE "
                u" OR [Co] LIKE \"*\" & CHR(124) & \"*\" "
                u" OR [Co] LIKE \"*[']*\" "
                u" OR [Co] LIKE '*[\"]*' "
                u" OR [Co] LIKE '*]*' "
                u" OR [Co] LIKE \"*[[]*\" "
                u" OR [Co] LIKE '*!*' "));
    EXPECT_EQ(classCondition(u(u"Co"), CharClass::Puncts, defaultRows()), u(u" WHERE FALSE "));
    EXPECT_EQ(classCondition(u(u"Co"), CharClass::Puncts, std::vector<SpecChar>{{0x80, 1}, {0, 1}}),
              u(u" WHERE FALSE  OR [Co] LIKE \"*[\u20AC]*\" "));
}

TEST(CharClassConditions, OtherCharacters)
{
    const QString expected = u(
        u"WHERE [Nm] LIKE '*[\x01-\x07]*' "
        u"   OR [Nm] LIKE '*[\x08]*' "
        u"   OR [Nm] LIKE '*[\x09]*' "
        u"   OR [Nm] LIKE '*[\x0A]*' "
        u"   OR [Nm] LIKE '*[\x0B]*' "
        u"   OR [Nm] LIKE '*[\x0C]*' "
        u"   OR [Nm] LIKE '*[\x0E-\x1F]*' "
        u"   OR [Nm] LIKE '*[\x7F-\u0178]*' "
        u"   OR [Nm] LIKE '*[\u00A1-\u00FF]*' ");
    EXPECT_EQ(classCondition(u(u"Nm"), CharClass::Other, {}), expected);
}
