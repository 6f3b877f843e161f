#include "exchange/text_sample.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace exchange;

namespace {

class SampleFile : public ::testing::Test {
protected:
    QString write(const QByteArray& bytes)
    {
        const QString path = dir_.filePath(QStringLiteral("list%1.txt").arg(++n_));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QTemporaryDir dir_;
    int n_ = 0;
};

SampleTable table(std::initializer_list<const char*> lines, const char* delim = ",", const char* qual = "\"")
{
    QStringList l;
    for (const char* s : lines)
        l << QString::fromUtf8(s);
    return splitSample(l, SplitOptions::fromTexts(QString::fromUtf8(delim), QString::fromUtf8(qual)));
}

// Readable failure output: gtest would print a QStringList as raw bytes.
std::vector<std::string> strs(const QStringList& l)
{
    std::vector<std::string> out;
    for (const QString& s : l)
        out.push_back(s.toStdString());
    return out;
}

} // namespace

TEST_F(SampleFile, BlankLinesAreSkippedAndNotCounted)
{
    QByteArray bytes = "\r\n   \r\n";
    for (int i = 1; i <= 40; ++i)
        bytes += "  line " + QByteArray::number(i) + "  \r\n" + (i % 3 ? "" : " \r\n");
    const SampleLines s = readSampleLines(write(bytes), TextEncoding::Utf8);
    EXPECT_TRUE(s.error.isEmpty());
    ASSERT_EQ(s.lines.size(), kSampleLineCount);
    EXPECT_EQ(s.lines.front(), QStringLiteral("line 1"));
    EXPECT_EQ(s.lines.back(), QStringLiteral("line 30"));
}

TEST_F(SampleFile, Failures)
{
    const SampleLines noName = readSampleLines(QString(), TextEncoding::Utf8);
    EXPECT_EQ(noName.error, QStringLiteral("Bad file name."));
    EXPECT_TRUE(noName.badFileName);
    const SampleLines missing = readSampleLines(dir_.filePath(QStringLiteral("gone.csv")), TextEncoding::Utf8);
    EXPECT_EQ(missing.error, QStringLiteral("Bad file name."));
    EXPECT_TRUE(missing.badFileName);
    EXPECT_EQ(readSampleLines(dir_.path(), TextEncoding::Utf8).error, QStringLiteral("Bad file name."));

    const SampleLines blank = readSampleLines(write("\r\n  \r\n\n"), TextEncoding::Utf8);
    EXPECT_EQ(blank.error, QStringLiteral("File empty or cannot be read."));
    EXPECT_FALSE(blank.badFileName);
    EXPECT_EQ(readSampleLines(write(""), TextEncoding::Utf8).error, QStringLiteral("File empty or cannot be read."));
}

TEST_F(SampleFile, Windows1252File)
{
    const QString path = write("Nom;Ville\r\nZo\xEB;Mons\r\n");
    const auto enc = detectTextEncoding(path);
    ASSERT_TRUE(enc);
    const SampleLines s = readSampleLines(path, *enc);
    EXPECT_EQ(strs(s.lines), strs(QStringList({QStringLiteral("Nom;Ville"), QString::fromUtf8("Zoë;Mons")})));
}

TEST(DelimiterSettings, FirstConflictWins)
{
    struct Case { const char* field; const char* date; const char* time; const char* qual; const char* want; };
    const Case cases[] = {
        {",", "/", ":", "\"", ""},
        {"", "/", ":", "\"", ""},
        {",", "/", ":", "none", ""},
        {",;", "/", ":", "\"", "Field Delimiter not recognised."},
        {"/", "/", ":", "\"", "Field Delimiter and Date Delimiter must be different."},
        {":", "/", ":", "\"", "Field Delimiter and Time Delimiter must be different."},
        {"'", "/", ":", "'", "Field Delimiter and Text Qualifier must be different."},
        {",", ":", ":", ":", "Date Delimiter and Time Delimiter must be different."},
        {",", "'", ":", "'", "Date Delimiter and Text Qualifier must be different."},
        {",", "/", "'", "'", "Time Delimiter and Text Qualifier must be different."},
        {"", "", ":", "\"", "Field Delimiter and Date Delimiter must be different."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(delimiterProblem(QString::fromUtf8(c.field), QString::fromUtf8(c.date), QString::fromUtf8(c.time),
                                   QString::fromUtf8(c.qual)),
                  QString::fromUtf8(c.want))
            << c.field << c.date << c.time << c.qual;
}

TEST(SampleSplit, RowsArePaddedToTheWidestLine)
{
    const SampleTable t = table({"a,b", "\"x,y\",z,3,", "q"});
    EXPECT_TRUE(t.error.isEmpty());
    ASSERT_EQ(t.width, 4);
    EXPECT_EQ(t.rows[0], QStringList({"a", "b", "", ""}));
    EXPECT_EQ(t.rows[1], QStringList({"x,y", "z", "3", ""}));
    EXPECT_EQ(t.rows[2], QStringList({"q", "", "", ""}));
}

TEST(SampleSplit, FieldLimitLooksAtEveryLine)
{
    const QString wide = QString(kMaxTextFields, u',');      // 251 fields
    const QString widest = QString(kMaxTextFields - 1, u','); // 250 fields
    const SampleTable tooWide = splitSample({wide, QStringLiteral("a,b")}, SplitOptions::fromTexts(",", "\""));
    EXPECT_EQ(tooWide.error, QStringLiteral("Number of fields exceeded the maximum allowed (250)."));
    const SampleTable ok = splitSample({widest, QStringLiteral("a")}, SplitOptions::fromTexts(",", "\""));
    EXPECT_TRUE(ok.error.isEmpty());
    EXPECT_EQ(ok.width, kMaxTextFields);
}

TEST(SampleNames, HeaderRowToColumnNames)
{
    struct Case { const char* header; QStringList want; };
    const Case cases[] = {
        {"Name,,Name,Field7", {"Name", "Field2", "Field3", "Field4"}},
        // the dot goes before the number is read: Field3.0 claims column 30
        {"Field1,Field 2,Field3.0,Field9", {"Field1", "Field 2", "Field3", "Field4"}},
        {"Fieldx,Field", {"Fieldx", "Field"}},
        // names differing only by letter case would clash in the database
        {"name,NAME,FIELD1,field4", {"name", "Field2", "Field3", "field4"}},
        {"  First Name  ,a.b!c,[x],\"q\"", {"First Name", "abc", "x", "q"}},
        {"...,!!", {"Field1", "Field2"}},
        // cut to 25 characters before the forbidden ones go, so the name is shorter
        {"abcdefghij.klmnopqrstuvwxyz", {"abcdefghijklmnopqrstuvwx"}},
        {"a\x01\x1f" "b", {"ab"}},
        {"\x01 Name", {"Name"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(strs(columnNames(table({c.header, "1"}), true)), strs(c.want)) << c.header;
}

TEST(SampleNames, WithoutHeaderAndShortHeader)
{
    EXPECT_EQ(columnNames(table({"Name,Age", "x,1,extra"}), false), QStringList({"Field1", "Field2", "Field3"}));
    EXPECT_EQ(columnNames(table({"Name", "x,1,extra"}), true), QStringList({"Name", "Field2", "Field3"}));
}

TEST(SampleGuess, ColumnsToTypes)
{
    using T = ColumnType;
    const std::string longText(300, 'x');
    struct Case { std::vector<std::string> values; T want; };
    const Case cases[] = {
        {{"12/31/1999", "1/2/03 10:20", ""}, T::DateTime},
        {{"", ""}, T::Text},   // nothing to go by: Text takes what is typed in later
        {{"10:20", "7:05:03"}, T::DateTime},
        {{"1", "2.5", "-3"}, T::Number},
        {{"12/31/1999", "7"}, T::Number},
        {{"1", "2.5", "abc"}, T::Text},
        {{"12/31/2005", "abc"}, T::Text},
        {{"02134", "10001"}, T::Text},
        {{"31/12/1999"}, T::Text},
        {{"1", longText, "2"}, T::Memo},
        {{longText, "12/31/1999"}, T::Memo},
    };
    for (const Case& c : cases) {
        QStringList lines{QStringLiteral("Head")};
        for (const std::string& v : c.values)
            lines << (v.empty() ? QStringLiteral("\"\"") : QString::fromStdString(v));
        const SampleTable t = splitSample(lines, SplitOptions::fromTexts(",", "\""));
        const auto types = guessColumnTypes(t, true, DateSettings{});
        ASSERT_EQ(types.size(), 1u);
        EXPECT_EQ(types[0], c.want) << c.values.front().substr(0, 20);
    }
}

TEST(SampleGuess, HeaderRowAndDateOrder)
{
    // The header "When" is no date, yet the column stays Date/Time; without the
    // header row it would make the column text.
    const SampleTable t = table({"When,Qty", "31/12/1999,3", "1/2/2003,4"});
    const DateSettings dmy = DateSettings::fromTexts("DMY", "/", ":");
    EXPECT_EQ(guessColumnTypes(t, true, dmy), (std::vector<ColumnType>{ColumnType::DateTime, ColumnType::Number}));
    EXPECT_EQ(guessColumnTypes(t, false, dmy), (std::vector<ColumnType>{ColumnType::Text, ColumnType::Text}));
    EXPECT_EQ(guessColumnTypes(t, true, DateSettings{}), (std::vector<ColumnType>{ColumnType::Text, ColumnType::Number}));
}
