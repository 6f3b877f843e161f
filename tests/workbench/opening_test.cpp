#include "workbench/opening.h"

#include "common/general.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace workbench;

namespace {

std::vector<Column> columns(const QStringList& names)
{
    std::vector<Column> out;
    for (const QString& n : names)
        out.push_back(Column{n, jet::dbText});
    return out;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(RecordSource, TextsOfTheGrid)
{
    struct Case { const char* filter; const char* sort; const char* expected; };
    const Case cases[] = {
        {"", "", "SELECT [First], [Last]  FROM tblData "},
        {"[Last] IS NULL ", "", "SELECT [First], [Last]  FROM tblData WHERE [Last] IS NULL  "},
        {"", " [First] ASC ", "SELECT [First], [Last]  FROM tblData ORDER BY  [First] ASC "},
        {"[Last] IS NULL ", " [First] DESC ", "SELECT [First], [Last]  FROM tblData WHERE [Last] IS NULL  ORDER BY  [First] DESC "},
    };
    const QString list = buildFieldList(columns({"First", "Last", "LumacorPrimK"}));
    EXPECT_EQ(list, QStringLiteral("[First], [Last] "));
    for (const Case& c : cases)
        EXPECT_EQ(recordSource(list, QString::fromLatin1(c.filter), QString::fromLatin1(c.sort)), QString::fromLatin1(c.expected))
            << c.filter << "|" << c.sort;
    EXPECT_EQ(wholeListSource(list), QStringLiteral("SELECT [First], [Last]  FROM tblData"));
    EXPECT_EQ(sortOrder(QStringLiteral("Order Date"), true), QStringLiteral(" [Order Date] ASC "));
    EXPECT_EQ(sortOrder(QStringLiteral("City"), false), QStringLiteral(" [City] DESC "));
    EXPECT_EQ(statusText(12, QStringLiteral("City"), 0), QStringLiteral("Total Records = 12 : Column = City : Row = 0 "));
}

TEST(ColumnRefusal, ForbiddenNamesAndLimits)
{
    const QString dq = QStringLiteral("Double quotation marks are not allowed in column names.\r\rImport cannot continue.");
    auto named = [](const char* n) {
        return QStringLiteral("Column Name %1 is disallowed. Please change the column name and re-try importing").arg(QLatin1String(n));
    };
    struct Case { QStringList names; QString expected; };
    const std::vector<Case> cases = {
        {{"Name", "City"}, QString()},
        {{"Counter", "Account", "Counts"}, QString()},
        {{"Name", "COUNT"}, named("COUNT")},
        {{"count"}, named("count")},
        {{"Name", "lumacorPrimk"}, named("lumacorPrimk")},
        {{"Say \"hi\""}, dq},
        {{"Count", "Say \"hi\""}, named("Count")},          // the first offending column decides
        {{"Say \"hi\"", "Count"}, dq},
        {{"Name", "a] FROM x"}, named("a] FROM x")},        // would end its brackets in every statement
        {{"a [b", "(c)"}, QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(columnRefusal(columns(c.names)), c.expected) << c.names.join(',').toStdString();

    QStringList many;
    for (int i = 1; i <= 254; ++i)
        many << QStringLiteral("F%1").arg(i);
    EXPECT_EQ(columnRefusal(columns(many)), QString());
    many << QStringLiteral("F255");
    EXPECT_EQ(columnRefusal(columns(many)), QStringLiteral("Too many fields defined. Maximum allowed is 254."));
}

TEST(SettingsLists, SpecCharsMergedAndRewritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("SpecChars.txt"));

    // Missing file: the 32 defaults, all unselected, written in order.
    loadSpecChars(path);
    const QList<QByteArray> lines = readFile(path).split('\n');
    ASSERT_EQ(lines.size(), 33);   // 32 lines ended by CR LF
    EXPECT_EQ(lines[0], QByteArray("33,0\r"));
    EXPECT_EQ(lines[15], QByteArray("58,0\r"));
    EXPECT_EQ(lines[31], QByteArray("126,0\r"));

    // Kept rows keep order and flag; bad, repeated and foreign rows are skipped.
    writeFile(path, "64,1\r\nnot a row\r\n64,0\r\n200,1\r\n\r\n 35 , 1\r\n33\r\n");
    loadSpecChars(path);
    EXPECT_EQ(general::gintSpecChars[1][1], 64);
    EXPECT_EQ(general::gintSpecChars[1][2], 1);
    EXPECT_EQ(general::gintSpecChars[2][1], 35);
    EXPECT_EQ(general::gintSpecChars[2][2], 1);
    EXPECT_EQ(general::gintSpecChars[3][1], 33);
    EXPECT_EQ(general::gintSpecChars[3][2], 0);
    EXPECT_EQ(general::gintSpecChars[32][1], 126);
    QSet<int> codes;
    for (int i = 1; i <= 32; ++i)
        codes.insert(general::gintSpecChars[size_t(i)][1]);
    EXPECT_EQ(codes.size(), 32);
    EXPECT_TRUE(readFile(path).startsWith("64,1\r\n35,1\r\n33,0\r\n34,0\r\n36,0\r\n"));
}

TEST(SettingsLists, ListsReadItemByItem)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PreFixes.txt"));
    std::array<QString, 1001> list;
    list[5] = QStringLiteral("left over");

    loadList(dir.filePath(QStringLiteral("missing.txt")), list);
    EXPECT_EQ(list[5], QStringLiteral("left over"));   // no file: untouched

    writeFile(path, "\"Mc\"\r\n\"O'\"\r\n\"\"\r\n\"Mc\"\r\n\"van, der\"\r\nDe\r\n");
    loadList(path, list);
    EXPECT_EQ(list[1], QStringLiteral("Mc"));
    EXPECT_EQ(list[2], QStringLiteral("O'"));
    EXPECT_EQ(list[3], QStringLiteral("van, der"));   // a quoted item keeps its comma
    EXPECT_EQ(list[4], QStringLiteral("De"));
    EXPECT_EQ(list[5], QString());                    // nothing of an older, longer list survives

    QByteArray many;
    for (int i = 1; i <= 1200; ++i)
        many += "\"p" + QByteArray::number(i) + "\"\r\n";
    writeFile(path, many);
    loadList(path, list);
    EXPECT_EQ(list[1000], QStringLiteral("p1000"));
}

TEST(SettingsLists, CountryCodesSkipUnusableLines)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ccTLDs.txt"));
    writeFile(path, "\"uk\",\"United Kingdom\"\r\n\"\",\"\"\r\n\"UK\",\"again\"\r\n\"abc\",\"too long\"\r\n"
                    "\"de\",\"Germany\"\r\n\"fr\"\r\n");
    loadCountryCodes(path);
    const auto& cc = general::gstrCCTLDs;
    EXPECT_EQ(cc[1][0], QStringLiteral("uk"));
    EXPECT_EQ(cc[1][1], QStringLiteral("United Kingdom"));
    EXPECT_EQ(cc[2][0], QStringLiteral("de"));
    EXPECT_EQ(cc[3][0], QStringLiteral("fr"));
    EXPECT_EQ(cc[3][1], QString());
    EXPECT_EQ(cc[4][0], QString());
}
