#include "cleaning/text_cleaner.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace cleaning;

namespace {

using Step = QString (*)(const QString&);

struct StepCase {
    Step step;
    const char* name;
    QString in;
    QString out;
};

QString u(const char16_t* s) { return QString::fromUtf16(s); }

} // namespace

TEST(TextCleanerSteps, PerCharacterRules)
{
    const StepCase cases[] = {
        // Control characters go; C1, no-break space and accents stay.
        {Remov_Non_Print, "NonPrint", u(u"a\tb\r\nc"), u(u"abc")},
        {Remov_Non_Print, "NonPrint", u(u"caf\u00E9"), u(u"caf\u00E9")},
        {Remov_Non_Print, "NonPrint", QString(QChar(0)) + u(u"x\u007F\u0080\u00A0\u20AC"),
         u(u"x\u0080\u00A0\u20AC")},

        {Remov_Repeat, "Repeat", u(u"Hello!!!  World(("), u(u"Hello! World(")},
        {Remov_Repeat, "Repeat", u(u"a--b-c"), u(u"a-b-c")},
        {Remov_Repeat, "Repeat", u(u"$$$100,,00"), u(u"$100,00")},
        {Remov_Repeat, "Repeat", u(u"Mississippi"), u(u"Mississippi")},
        {Remov_Repeat, "Repeat", u(u"1000"), u(u"1000")},
        {Remov_Repeat, "Repeat", u(u"\t\t.."), u(u"\t.")},
        // Letters of every script are letters, combining marks included.
        {Remov_Repeat, "Repeat", u(u"V\u00E4\u00E4n\u00E4nen"), u(u"V\u00E4\u00E4n\u00E4nen")},
        {Remov_Repeat, "Repeat", u(u"\u0410\u043B\u043B\u0430"), u(u"\u0410\u043B\u043B\u0430")},
        {Remov_Repeat, "Repeat", u(u"e\u0301\u0301"), u(u"e\u0301\u0301")},
        // A repeated character outside the BMP is one character repeated.
        {Remov_Repeat, "Repeat", u(u"ok\U0001F600\U0001F600\U0001F600"), u(u"ok\U0001F600")},
        {Remov_Repeat, "Repeat", u(u"\U00010400\U00010400"), u(u"\U00010400\U00010400")},

        {Conv_1, "Conv_1", u(u"J0HN 1EE"), u(u"JoHN lEE")},
        {Conv_1, "Conv_1", u(u"O0l1"), u(u"Ooll")},

        {Conv_2, "Conv_2", u(u"IO-lo"), u(u"10-10")},
        {Conv_2, "Conv_2", u(u"Li\u0130 \u00D3"), u(u"11\u0130 \u00D3")},

        {Remov_NonDigitAlpha, "NonDigitAlpha", u(u"O'Brien-Smith Jr."), u(u"OBrienSmithJr")},
        {Remov_NonDigitAlpha, "NonDigitAlpha", u(u"Jos\u00E9"), u(u"Jos\u00E9")},
        {Remov_NonDigitAlpha, "NonDigitAlpha", u(u"Jose\u0301 M."), u(u"Jose\u0301M")},
        {Remov_NonDigitAlpha, "NonDigitAlpha", u(u"\u0141\u00F3d\u017A 12"), u(u"\u0141\u00F3d\u017A12")},
        {Remov_NonDigitAlpha, "NonDigitAlpha", u(u"\u0939\u093F\u0928\u094D\u0926\u0940!"),
         u(u"\u0939\u093F\u0928\u094D\u0926\u0940")},
        {Remov_NonDigitAlpha, "NonDigitAlpha", u(u"\u65E5\u672C 7\U00010400\U0001F600"),
         u(u"\u65E5\u672C7\U00010400")},
        // A mark on a dropped character goes with it.
        {Remov_NonDigitAlpha, "NonDigitAlpha", u(u"a-\u0301b"), u(u"ab")},
        {Remov_NonDigitAlpha, "NonDigitAlpha", u(u"\u00A0$ \u2013"), u(u"")},

        {Remov_Digits, "Digits", u(u"A1b2 3c"), u(u"Ab c")},

        // The spaces the caption promises stay.
        {Remov_NonDigitExcept3, "NonDigitExcept3", u(u"(5) 1-2"), u(u"5 12")},
        {Remov_NonDigitExcept3, "NonDigitExcept3", u(u"1, 2.5 ft"), u(u"1, 2.5 ")},
        {Remov_NonDigitExcept3, "NonDigitExcept3", u(u"O'12\u00A0x\t3"), u(u"'12\u00A03")},

        {Remov_3, "Remov_3", u(u"O'Neil, Jr."), u(u"ONeil Jr")},

        {Remov_Space, "Space", u(u" a b\u00A0c\t"), u(u"abc\t")},

        {trimSpaces, "trim", u(u"  A  b  "), u(u"A  b")},
        {trimSpaces, "trim", u(u"\tA\u00A0 "), u(u"\tA\u00A0")},
    };
    for (const StepCase& c : cases) {
        const QString got = c.step(c.in);
        EXPECT_EQ(got, c.out) << c.name << ": \"" << c.in.toStdString() << "\" gave \""
                              << got.toStdString() << '"';
    }
}

// A value cleaned to nothing is an empty text, never a null one: a null string
// is bound as Null when it is written back.
TEST(TextCleanerSteps, EmptiedValueStaysText)
{
    const std::vector<std::pair<Step, QString>> cases = {
        {Remov_Non_Print, u(u"\t\r\n")},
        {Remov_NonDigitAlpha, u(u"--")},
        {Remov_Digits, u(u"123")},
        {Remov_NonDigitExcept3, u(u"abc")},
        {Remov_3, u(u".,'")},
        {Remov_Space, u(u"  ")},
        {trimSpaces, u(u"   ")},
        {Remov_Space, QStringLiteral("")},
    };
    for (const auto& [step, in] : cases) {
        const QString got = step(in);
        EXPECT_TRUE(got.isEmpty()) << in.toStdString();
        EXPECT_FALSE(got.isNull()) << in.toStdString();
    }
    CleanSteps all;
    all.trim = all.removNonDigitAlpha = all.removDigits = true;
    const QString got = cleanValue(u(u" 42 "), all);
    EXPECT_TRUE(got.isEmpty());
    EXPECT_FALSE(got.isNull());
}

TEST(TextCleanerRun, FixedOrderWhateverIsTicked)
{
    struct Case {
        const char* what;
        CleanSteps steps;
        QString in;
        QString out;
    };
    CleanSteps trimOnly;
    trimOnly.trim = true;
    CleanSteps open; // the boxes ticked when the workbench opens
    open.trim = open.removNonPrint = true;
    CleanSteps numeric;
    numeric.conv2 = numeric.removNonDigitExcept3 = true;
    CleanSteps numericNoSpace = numeric;
    numericNoSpace.removSpace = true;
    CleanSteps alpha;
    alpha.removRepeat = alpha.conv1 = alpha.removNonDigitAlpha = alpha.removDigits = true;
    CleanSteps nonPrintThenTrim;
    nonPrintThenTrim.trim = nonPrintThenTrim.removNonPrint = true;
    CleanSteps repeatAndSpace;
    repeatAndSpace.removRepeat = repeatAndSpace.removSpace = true;

    const Case cases[] = {
        {"spaces inside stay", trimOnly, u(u"  A  b  "), u(u"A  b")},
        {"nothing ticked", CleanSteps{}, u(u" x\t"), u(u" x\t")},
        // Trim runs first: a tab shields the spaces before it from the trim.
        {"trim before non-print", nonPrintThenTrim, u(u" \t A "), u(u" A")},
        // Conv_2 runs before Remov_NonDigitExcept3, so l and O become digits first.
        {"convert then keep digits", numeric, u(u"Nr: lO 5"), u(u" 10 5")},
        {"and no spaces", numericNoSpace, u(u"Nr: lO 5"), u(u"105")},
        // Conv_1 before Remov_NonDigitAlpha before Remov_Digits: the 0 and 1
        // survive as letters, the other digits go.
        {"alpha group", alpha, u(u"J0HN--1EE 7!!"), u(u"JoHNlEE")},
        {"alpha group keeps accents", alpha, u(u"V\u00E4\u00E4n\u00E4nen, 2x"), u(u"V\u00E4\u00E4n\u00E4nenx")},
        // Remov_Repeat sees the spaces before Remov_Space removes them.
        {"repeat then space", repeatAndSpace, u(u"a  --  b"), u(u"a-b")},
        {"empty stays empty", open, QStringLiteral(""), QStringLiteral("")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cleanValue(c.in, c.steps), c.out) << c.what;
}

// The run walks the column once per ticked step; cleanValue does all steps in one
// buffer. For every set of ticks the two must agree.
TEST(TextCleanerRun, OnePassEqualsPassPerStep)
{
    const std::vector<Step> passes = {trimSpaces, Remov_Non_Print, Remov_Repeat, Conv_1,
                                      Remov_NonDigitAlpha, Remov_Digits, Conv_2,
                                      Remov_NonDigitExcept3, Remov_3, Remov_Space};
    const QString values[] = {
        u(u"  Nr: lO 5  "),
        u(u"$$$100,,00 \t\tO'Brien  "),
        u(u" J0HN 1EE!!"),
        u(u"\u00A0\u00A0V\u00E4\u00E4n\u00E4nen..\u0301\u0301 "),
        u(u"IL\U0001F600\U0001F600 1.2,3''x"),
        QStringLiteral(""),
    };
    for (unsigned mask = 0; mask < (1u << passes.size()); ++mask) {
        CleanSteps s;
        bool* ticks[] = {&s.trim, &s.removNonPrint, &s.removRepeat, &s.conv1,
                         &s.removNonDigitAlpha, &s.removDigits, &s.conv2,
                         &s.removNonDigitExcept3, &s.remov3, &s.removSpace};
        for (std::size_t i = 0; i < passes.size(); ++i)
            *ticks[i] = (mask >> i) & 1u;
        EXPECT_EQ(s.any(), mask != 0);
        for (const QString& v : values) {
            QString walked = v;
            for (std::size_t i = 0; i < passes.size(); ++i) {
                if ((mask >> i) & 1u)
                    walked = passes[i](walked);
            }
            ASSERT_EQ(cleanValue(v, s), walked) << "mask " << mask << " on " << v.toStdString();
        }
    }
}

// The steps work in place on the string they return: the caller's value must be
// left alone, and an unchanged value must come back without a copy.
TEST(TextCleanerRun, CallerValueUntouchedAndCleanValueNotCopied)
{
    CleanSteps s;
    s.trim = s.removNonPrint = s.removRepeat = s.removSpace = s.remov3 = true;

    const QString dirty = u(u" O'Neil,,  Jr. ");
    const QString before = QString(dirty.constData(), dirty.size()); // deep copy
    const QString cleaned = cleanValue(dirty, s);
    EXPECT_EQ(cleaned, u(u"ONeilJr"));
    EXPECT_EQ(dirty, before);

    QString shared = dirty;
    const QString once = Remov_3(shared);
    EXPECT_EQ(shared, before);
    EXPECT_EQ(once, u(u" ONeil  Jr "));

    const QString clean = u(u"Smith-Jones");
    EXPECT_EQ(cleanValue(clean, s).constData(), clean.constData());
    EXPECT_EQ(Remov_Repeat(clean).constData(), clean.constData());
}

TEST(TextCleanerRun, SelectionCondition)
{
    EXPECT_EQ(cleanCondition(u(u"Last Name"), QString(), true),
              u(u" WHERE [Last Name] IS NOT NULL"));
    EXPECT_EQ(cleanCondition(u(u"City"), u(u"A*"), false), u(u" WHERE [City] LIKE \"A*\""));
    EXPECT_EQ(cleanCondition(u(u"City"), u(u"6\" [#]*"), false),
              u(u" WHERE [City] LIKE \"6\"\" [#]*\""));
}
