#include "cleaning/proper_case.h"

#include "list_fixture.h"

#include <gtest/gtest.h>

using cleaning::ProperCase;

namespace {

const QStringList kPrefixes = {u"Mac"_qs, u"Mc"_qs, u"O'"_qs};
const QStringList kExceptions = {u"USA"_qs, u"IBM"_qs};

struct Case {
    QString in;
    QString out;
};

TEST(ProperCase, NamesWithTheStandardLists)
{
    const ProperCase pc(kPrefixes, kExceptions);
    const Case cases[] = {
        {u"JOHN MCDONALD"_qs, u"John McDonald"_qs},
        {u"o'neil"_qs, u"O'Neil"_qs},
        {u"mary-ann smith"_qs, u"Mary-Ann Smith"_qs},
        {u"works at ibm, usa"_qs, u"Works At IBM, USA"_qs},
        {u"usability"_qs, u"USAbility"_qs},           // exceptions match inside words
        {u"machine"_qs, u"MacHine"_qs},               // so do prefixes at a word's start
        {u"smith--jones (uk)"_qs, u"Smith--Jones (Uk)"_qs},
        {u"jack's"_qs, u"Jack's"_qs},                 // the apostrophe joins
        {u"mc"_qs, u"Mc"_qs},                         // the whole word is the prefix
        {u"mAcLeod mcintosh"_qs, u"MacLeod McIntosh"_qs},
        {u"van der berg"_qs, u"Van Der Berg"_qs},
        {u"a&b;c:d_e*f+g/h\\i^j<k>l=m~n[o]p{q}r\"s.t"_qs, u"A&B;C:D_E*F+G/H\\I^J<K>L=M~N[O]P{Q}R\"S.T"_qs},
        {u"hello!world?x#y"_qs, u"Hello!world?x#y"_qs},    // no separators among these
        {u"3RD street"_qs, u"3rd Street"_qs},
        {u"tab\tsplits case"_qs, u"Tab\tSplits Case"_qs},  // a word, but a fresh capital
        {u"  two  spaces "_qs, u"  Two  Spaces "_qs},
        {u"\u00C9MILE \u00D6ZT\u00DCRK"_qs, u"\u00C9mile \u00D6zt\u00FCrk"_qs},
        {u"\u00E5sa-\u00F8stby"_qs, u"\u00C5sa-\u00D8stby"_qs},
        {u"\u0434\u043C\u0438\u0442\u0440\u0438\u0439 \u041F\u0415\u0422\u0420\u041E\u0412"_qs,
         u"\u0414\u043C\u0438\u0442\u0440\u0438\u0439 \u041F\u0435\u0442\u0440\u043E\u0432"_qs},
        {u"stra\u00DFe"_qs, u"Stra\u00DFe"_qs},             // keeps its length
        {u""_qs, u""_qs},
        {u"---"_qs, u"---"_qs},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pc.convert(c.in), c.out) << c.in.toStdString();
}

TEST(ProperCase, PrefixListOrderAndEnd)
{
    const struct {
        QStringList prefixes;
        QString in;
        QString out;
    } cases[] = {
        // The first listed prefix that matches wins, even when a longer one follows.
        {{u"Mc"_qs, u"McD"_qs}, u"mcdonald"_qs, u"McDonald"_qs},
        {{u"McD"_qs, u"Mc"_qs}, u"mcdonald"_qs, u"McDOnald"_qs},
        // An empty entry ends the list: what follows it is never tried.
        {{u"O'"_qs, u""_qs, u"Mc"_qs}, u"mcdonald o'hara"_qs, u"Mcdonald O'Hara"_qs},
        {{}, u"MCDONALD"_qs, u"Mcdonald"_qs},
        // A prefix is written as stored, whatever its case.
        {{u"de"_qs}, u"DEVRIES"_qs, u"deVries"_qs},
        {{u"van "_qs}, u"van gogh"_qs, u"Van Gogh"_qs},   // the space splits the word first
        {{u"\u00C9l"_qs}, u"\u00E9lise"_qs, u"\u00C9lIse"_qs},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProperCase(c.prefixes, {}).convert(c.in), c.out) << c.in.toStdString();

    QStringList none;
    for (int i = 0; i < 1000; ++i)
        none << QStringLiteral("Zq%1").arg(i);
    EXPECT_EQ(ProperCase(none, {}).convert(u"JOHN SMITH"_qs), u"John Smith"_qs);
}

TEST(ProperCase, ExceptionsInListOrder)
{
    const struct {
        QStringList exceptions;
        QString in;
        QString out;
    } cases[] = {
        // An empty entry in the middle does not stop the later ones.
        {{u"USA"_qs, u""_qs, u"IBM"_qs}, u"ibm usa"_qs, u"IBM USA"_qs},
        // A later entry writes over what an earlier one wrote.
        {{u"ABC"_qs, u"bcd"_qs}, u"abcde"_qs, u"Abcde"_qs},
        {{u"ABCD"_qs, u"bc"_qs}, u"abcde"_qs, u"AbcDe"_qs},
        // Occurrences do not overlap and are found left to right.
        {{u"AA"_qs}, u"aaa"_qs, u"AAa"_qs},
        // One-letter entries, and entries spanning a separator.
        {{u"X"_qs}, u"fox box"_qs, u"FoX BoX"_qs},
        {{u"and Co."_qs}, u"SMITH AND CO. LTD"_qs, u"Smith and Co. Ltd"_qs},
        {{u"\u00C9T\u00C9"_qs}, u"l'\u00E9t\u00E9"_qs, u"L'\u00C9T\u00C9"_qs},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProperCase({}, c.exceptions).convert(c.in), c.out) << c.in.toStdString();
}

TEST(ProperCase, ArraysReadFromIndexOne)
{
    std::array<QString, 1001> prefixes;
    std::array<QString, 1001> exceptions;
    prefixes[0] = u"Jo"_qs;       // index 0 is not part of the list
    prefixes[1] = u"Mc"_qs;
    exceptions[0] = u"SMITH"_qs;
    exceptions[1000] = u"NY"_qs;  // the last slot still counts
    const ProperCase pc = ProperCase::fromArrays(prefixes, exceptions);
    EXPECT_EQ(pc.convert(u"john mcbride smith ny"_qs), u"John McBride Smith NY"_qs);
}

TEST(ProperWord, CapitalAfterEachBlank)
{
    const Case cases[] = {
        {u"hELLO"_qs, u"Hello"_qs},
        {u"a\nb\rc\vd\fe\tf"_qs, u"A\nB\rC\vD\fE\tF"_qs},
        {QStringLiteral("x") + QChar(0) + QStringLiteral("y"), QStringLiteral("X") + QChar(0) + QStringLiteral("Y")},
        {u"'quoted'"_qs, u"'quoted'"_qs},   // no capital after a character without case
        {u"\U00010428\U00010400"_qs, u"\U00010400\U00010428"_qs},   // letters beyond 16 bits
    };
    for (const Case& c : cases)
        EXPECT_EQ(cleaning::properWord(c.in), c.out) << c.in.toStdString();
}

} // namespace
