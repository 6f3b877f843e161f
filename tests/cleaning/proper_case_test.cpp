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
        {u"usability"_qs, u"Usability"_qs},           // an exception is a whole word
        {u"machine"_qs, u"MacHine"_qs},               // a prefix is a word's start
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
        {{u"Abc Def"_qs, u"DEF"_qs}, u"abc def"_qs, u"Abc DEF"_qs},
        {{u"DEF"_qs, u"Abc Def"_qs}, u"abc def"_qs, u"Abc Def"_qs},
        // Occurrences do not overlap and are found left to right.
        {{u"AA"_qs}, u"aa-aa aaa"_qs, u"AA-AA Aaa"_qs},
        // One-letter entries, and entries spanning a separator.
        {{u"X"_qs}, u"fox x box"_qs, u"Fox X Box"_qs},
        {{u"and Co."_qs}, u"SMITH AND CO. LTD"_qs, u"Smith and Co. Ltd"_qs},
        {{u"\u00C9T\u00C9"_qs}, u"l'\u00E9t\u00E9"_qs, u"L'\u00C9T\u00C9"_qs},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProperCase({}, c.exceptions).convert(c.in), c.out) << c.in.toStdString();
}

// An exception is found only as a whole word: where it starts, the text
// starts or has a character that is not a letter or digit before it; where
// it ends, the text ends or such a character follows. An entry that begins
// or ends with a blank or a sign carries its own boundary on that side.
TEST(ProperCase, ExceptionsMatchWholeWords)
{
    const struct {
        QStringList exceptions;
        QString in;
        QString out;
    } cases[] = {
        {{u"PO Box"_qs}, u"PO BOX 9"_qs, u"PO Box 9"_qs},
        {{u"PO Box"_qs}, u"po box 7"_qs, u"PO Box 7"_qs},
        {{u"PO Box"_qs}, u"12 main st, po box 7"_qs, u"12 Main St, PO Box 7"_qs},
        {{u"PO Box"_qs}, u"po box"_qs, u"PO Box"_qs},
        {{u"PO Box"_qs}, u"(po box)"_qs, u"(PO Box)"_qs},
        {{u"PO Box"_qs}, u"tempo box storage"_qs, u"Tempo Box Storage"_qs},
        {{u"PO Box"_qs}, u"expo box inc"_qs, u"Expo Box Inc"_qs},
        {{u"PO Box"_qs}, u"po boxes"_qs, u"Po Boxes"_qs},
        {{u"PO Box"_qs}, u"po box7"_qs, u"Po Box7"_qs},          // a digit is part of the word
        {{u"PO Box"_qs}, u"2po box"_qs, u"2po Box"_qs},
        {{u"USA"_qs}, u"usability"_qs, u"Usability"_qs},
        {{u"USA"_qs}, u"made in usa."_qs, u"Made In USA."_qs},
        {{u"USA"_qs}, u"usa!"_qs, u"USA!"_qs},                   // "!" is no letter, though no separator
        {{u"USA"_qs}, u"usa's"_qs, u"USA's"_qs},
        {{u"USA"_qs}, u"jusa usa"_qs, u"Jusa USA"_qs},          // a rejected one does not hide the next
        {{u"USA"_qs}, u"usañ"_qs, u"Usañ"_qs},         // letters beyond ASCII join too
        {{u"USA"_qs}, u"usá usa"_qs, u"Usá USA"_qs}, // and so does a combining mark
        {{u"USA"_qs}, u"𐐨usa"_qs, u"𐐀usa"_qs}, // and a letter beyond 16 bits
        {{u"III"_qs}, u"henry iii"_qs, u"Henry III"_qs},
        {{u"III"_qs}, u"iiii"_qs, u"Iiii"_qs},
        // An entry with a blank at its start needs nothing before it.
        {{u" of "_qs}, u"bank of america"_qs, u"Bank of America"_qs},
        {{u" of "_qs}, u"of mice"_qs, u"Of Mice"_qs},
        {{u" III"_qs}, u"john smith iii"_qs, u"John Smith III"_qs},
        {{u" III"_qs}, u"john smith iiia"_qs, u"John Smith Iiia"_qs},
        {{u"O'"_qs}, u"o'neil"_qs, u"O'neil"_qs},                 // ends in a sign: a letter may follow
        {{u"O'"_qs}, u"jo'neil"_qs, u"Jo'neil"_qs},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProperCase({}, c.exceptions).convert(c.in), c.out)
            << c.exceptions.join(u'|').toStdString() << ": " << c.in.toStdString();
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
