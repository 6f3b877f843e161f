#include "exchange/line_split.h"

#include <gtest/gtest.h>

using namespace exchange;

namespace {

std::vector<std::string> fields(const QString& line, const QString& delim, const QString& qual)
{
    std::vector<std::string> out;
    for (const QString& f : splitLine(line, SplitOptions::fromTexts(delim, qual)))
        out.push_back(f.toStdString());
    return out;
}

} // namespace

TEST(LineSplit, FieldsOfLines)
{
    struct Case { const char* line; const char* delim; const char* qual; std::vector<std::string> want; };
    const Case cases[] = {
        {"a,b,c", ",", "\"", {"a", "b", "c"}},
        {"\"a,b\",c", ",", "\"", {"a,b", "c"}},
        {"a,\"b,c\",d", ",", "\"", {"a", "b,c", "d"}},
        {"\"He said \"\"hi\"\"\",x", ",", "\"", {"He said \"hi\"", "x"}},
        {"\"\"\"\"", ",", "\"", {"\""}},
        {"\"\",x", ",", "\"", {"", "x"}},
        {"a,b,", ",", "\"", {"a", "b", ""}},
        {",", ",", "\"", {"", ""}},
        {"", ",", "\"", {""}},
        {",,a,,", ",", "\"", {"", "", "a", "", ""}},
        // an unclosed qualifier takes the rest of the line, delimiters included
        {"a,\"b,c,d", ",", "\"", {"a", "b,c,d"}},
        {"\"a\"\"", ",", "\"", {"a\""}},
        // a qualifier inside a field is an ordinary character
        {"O'Brien,Smith,3", ",", "'", {"O'Brien", "Smith", "3"}},
        {"x\"y,z\"", ",", "\"", {"x\"y", "z\""}},
        {"ab\"cd\"ef,g", ",", "\"", {"ab\"cd\"ef", "g"}},
        // what follows a closing qualifier is kept, the qualifier dropped
        {"\"ab\"c,d", ",", "\"", {"abc", "d"}},
        {"\"ab\" ,d", ",", "\"", {"ab ", "d"}},
        {"\"ab\"c\"d,e", ",", "\"", {"abc\"d", "e"}},
        // blanks ahead of an opening qualifier stay in the field
        {"a, \"b,c\"", ",", "\"", {"a", " b,c"}},
        // fields are not trimmed
        {" a , b ", ",", "\"", {" a ", " b "}},
        // qualifier "none": quotes are ordinary
        {"\"a,b\"", ",", "none", {"\"a", "b\""}},
        // empty delimiter: the whole line is one field
        {"a,b;c", "", "\"", {"a,b;c"}},
        {"a\tb\t\"c\td\"", "\t", "\"", {"a", "b", "c\td"}},
        {"a;'b;c';d", ";", "'", {"a", "b;c", "d"}},
        {"a b  c", " ", "\"", {"a", "b", "", "c"}},
        // non-ASCII text passes through
        {"Zoë,Ærø", ",", "\"", {"Zoë", "Ærø"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fields(QString::fromUtf8(c.line), QString::fromUtf8(c.delim), QString::fromUtf8(c.qual)), c.want)
            << c.line;
}

TEST(LineSplit, ReusedSplitterGivesEachLineItsOwnFields)
{
    // The full import splits every line with one splitter: a short line after a
    // long one must not see fields or text left over from the long one.
    LineSplitter splitter(SplitOptions::fromTexts(QStringLiteral(","), QStringLiteral("\"")));
    const QString lines[] = {
        QStringLiteral("\"one, long\",two,three,four,five"),
        QStringLiteral("x"),
        QStringLiteral("p,\"q\"\"r\""),
        QStringLiteral(""),
    };
    const std::vector<std::vector<std::string>> want = {
        {"one, long", "two", "three", "four", "five"}, {"x"}, {"p", "q\"r"}, {""}};
    for (size_t i = 0; i < std::size(lines); ++i) {
        std::vector<std::string> got;
        for (QStringView f : splitter.split(lines[i]))
            got.push_back(f.toString().toStdString());
        EXPECT_EQ(got, want[i]) << i;
    }
}

TEST(LineSplit, OptionTexts)
{
    const SplitOptions two = SplitOptions::fromTexts(QStringLiteral(",;"), QStringLiteral("none"));
    EXPECT_FALSE(two.delimiter);
    EXPECT_FALSE(two.qualifier);
    const SplitOptions one = SplitOptions::fromTexts(QStringLiteral("|"), QStringLiteral("'"));
    EXPECT_EQ(one.delimiter, QChar(u'|'));
    EXPECT_EQ(one.qualifier, QChar(u'\''));
}

// The quick look at a record's next piece follows split()'s rules: for every
// record that is still open after its first piece, the look at the second
// says what a split of the whole says. "D" stands for the delimiter.
TEST(LineSplit, QuotedTextGoesOnAgreesWithAWholeSplit)
{
    const char* firsts[] = {"aD\"open", "\"", "xD  \"sp", "\"a\"\"b", "\"a\"D\"b"};
    const char* seconds[] = {"", "close\"", "\"\"", "\"\"\"", "\"x", "\"D\"", "\" D\"", "\"D  \"", "\"Dx\"", "\"y\"z",
                             "\" \"", "\"\r\n", "no quote", "\"DD\"", "\"D \"", "\"a\"D\""};
    for (const char* delim : {",", " ", "\t"}) {
        const auto text = [&](const char* t) { return QString::fromLatin1(t).replace(u'D', QLatin1String(delim)); };
        LineSplitter s(SplitOptions::fromTexts(QString::fromLatin1(delim), QStringLiteral("\"")));
        for (const char* f : firsts) {
            const QString first = text(f);
            s.split(first);
            ASSERT_TRUE(s.endedQuoted()) << f << " delim '" << delim << "'";
            for (const char* m : seconds) {
                const QString more = QStringLiteral("\n") + text(m);
                s.split(first);
                const bool quick = s.quotedTextGoesOn(more);
                s.split(first + more);
                EXPECT_EQ(quick, s.endedQuoted()) << "'" << f << "' + '" << m << "' delim '" << delim << "'";
            }
        }
    }
}
