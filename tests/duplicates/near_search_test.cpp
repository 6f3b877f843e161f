#include "duplicates/near_search.h"

#include "workdb.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <tuple>

using namespace neardup;
using jet::Value;

namespace {

using PairText = std::tuple<QString, qint64, QString, qint64>;
using CountText = std::pair<QString, qint64>;

const QStringList kDefs = {QStringLiteral("[Name] TEXT(50)"), QStringLiteral("[Amount] DOUBLE"),
                           QStringLiteral("[Notes] MEMO")};

std::vector<std::vector<Value>> fixtureRows()
{
    std::vector<std::vector<Value>> rows;
    auto add = [&](Value name, Value amount, int times = 1) {
        for (int i = 0; i < times; ++i)
            rows.push_back({name, amount, Value()});
    };
    add("Smith", 1234, 3);
    add("SMITH", 1254);
    add("Smyth", 12.5);
    add("Smiith", 1254);
    add("Smithh", Value());
    add("Smitha", 9);
    add("Jon", 19);
    add("Jan", 12.5, 2);
    add("Joan", 1234);
    add(Value(), Value());
    add("", 1);
    add("O\"Brien", 10);
    add("O\"Brian", 100);
    return rows;
}

std::vector<PairText> pairRows(jet::Database& db)
{
    std::vector<PairText> out;
    for (auto rs = db.openRecordset(QStringLiteral("SELECT Column1, Count1, Column2, Count2 FROM tblSpecSearch1"), jet::dbOpenSnapshot);
         !rs->eof(); rs->moveNext())
        out.emplace_back(rs->value(0).toString().toCaseFolded(), rs->value(1).toLong(),
                         rs->value(2).toString().toCaseFolded(), rs->value(3).toLong());
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<CountText> countRows(jet::Database& db)
{
    std::vector<CountText> out;
    for (auto rs = db.openRecordset(QStringLiteral("SELECT Column1, Count1 FROM tblCounts1"), jet::dbOpenSnapshot); !rs->eof();
         rs->moveNext())
        out.emplace_back(rs->value(0).toString().toCaseFolded(), rs->value(1).toLong());
    std::sort(out.begin(), out.end());
    return out;
}

QString quoted(const QString& s)
{
    QString q = s;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

// The page's own statements for the search, run through the engine.
void runPartSearch(jet::Database& db, const NearSearchRequest& r)
{
    const QString c = QLatin1Char('[') + r.column + QLatin1Char(']');
    const QString f = quoted(r.filter);
    auto x = [&](const QString& sql) { db.execute(sql, jet::dbFailOnError); };
    const bool missing = r.type == SearchType::OneCharMissing;
    x(QStringLiteral("DELETE * FROM tblSpecSearch1;"));
    if (missing)
        x(QStringLiteral("DELETE * FROM tblSpecSearch1_Temp;"));
    for (int len = r.minLength; len <= r.maxLength; ++len) {
        x(QStringLiteral("DELETE * FROM tblSingle_Col_Filtered;"));
        x(QStringLiteral("DELETE * FROM tblSingle_Col_NoFilter;"));
        x(QStringLiteral("INSERT INTO tblSingle_Col_Filtered (Column1) SELECT DISTINCT %1 FROM tblData WHERE LEN(%1)=%2 AND (%3=\"\" OR %1 LIKE %3);")
              .arg(c).arg(len).arg(f));
        x(QStringLiteral("INSERT INTO tblSingle_Col_NoFilter (Column1) SELECT DISTINCT %1 FROM tblData WHERE LEN(%1)=%2;")
              .arg(c)
              .arg(missing ? len - 1 : len));
        for (int p = 1; p <= len; ++p) {
            const QString cut = QStringLiteral("SET Part1=LEFT(Column1,%1), Part2=MID(Column1,%2,1), Part3=MID(Column1,%3) ")
                                    .arg(p - 1)
                                    .arg(p)
                                    .arg(p + 1);
            x(QStringLiteral("UPDATE tblSingle_Col_Filtered ") + cut);
            if (missing) {
                x(QStringLiteral("UPDATE tblSingle_Col_NoFilter SET Part1=LEFT(Column1,%1), Part3=MID(Column1,%2) ").arg(p - 1).arg(p));
                x(QStringLiteral("INSERT INTO tblSpecSearch1_Temp (Column1, Column2) SELECT D1.Column1, D2.Column1 "
                                 "FROM tblSingle_Col_Filtered D1 INNER JOIN tblSingle_Col_NoFilter D2 ON D1.Part1=D2.Part1 AND D1.Part3=D2.Part3 "));
                continue;
            }
            x(QStringLiteral("UPDATE tblSingle_Col_NoFilter ") + cut);
            const QString ins = QStringLiteral("INSERT INTO tblSpecSearch1 (Column1, Column2) SELECT D1.Column1, D2.Column1 "
                                               "FROM tblSingle_Col_Filtered D1 INNER JOIN tblSingle_Col_NoFilter D2 ON D1.Part1=D2.Part1 "
                                               "AND D1.Part2<>D2.Part2 AND D1.Part3=D2.Part3");
            x(r.filter.isEmpty() ? ins + QStringLiteral(" WHERE D1.Column1>D2.Column1;") : ins + QLatin1Char(';'));
        }
    }
    if (missing)
        x(QStringLiteral("INSERT INTO tblSpecSearch1 (Column1, Column2) SELECT DISTINCT Column1, Column2 FROM tblSpecSearch1_Temp;"));
    if (!missing && !r.filter.isEmpty()) {
        // Of two mirrored rows the one whose Column1 is the smaller goes.
        std::vector<std::pair<QString, QString>> rows;
        for (auto rs = db.openRecordset(QStringLiteral("SELECT Column1, Column2 FROM tblSpecSearch1"), jet::dbOpenSnapshot); !rs->eof();
             rs->moveNext())
            rows.emplace_back(rs->value(0).toString(), rs->value(1).toString());
        for (const auto& [a, b] : rows) {
            const bool mirrored = std::any_of(rows.begin(), rows.end(), [&](const auto& o) {
                return o.first.compare(b, Qt::CaseInsensitive) == 0 && o.second.compare(a, Qt::CaseInsensitive) == 0;
            });
            if (mirrored && a.compare(b, Qt::CaseInsensitive) < 0)
                x(QStringLiteral("DELETE * FROM tblSpecSearch1 WHERE Column1=%1 AND Column2=%2").arg(quoted(a), quoted(b)));
        }
    }
    for (const char* side : {"Column1", "Column2"}) {
        x(QStringLiteral("DELETE * FROM tblCounts1;"));
        x(QStringLiteral("INSERT INTO tblCounts1 (Column1, Count1) SELECT CSTR(%1), COUNT(*) FROM tblData WHERE %1 IS NOT NULL "
                         "  AND CSTR(%1) IN (SELECT %2      FROM tblSpecSearch1) GROUP BY CSTR(%1);")
              .arg(c, QLatin1String(side)));
        x(QStringLiteral("UPDATE tblSpecSearch1 S INNER JOIN tblCounts1 C ON S.%1=C.Column1 SET S.%2=C.Count1;")
              .arg(QLatin1String(side), QLatin1String(side[6] == '1' ? "Count1" : "Count2")));
    }
}

class NearSearch : public ::testing::Test {
protected:
    jet::Database open(const QString& file, const std::vector<std::vector<Value>>& rows = fixtureRows())
    {
        jet::Database d = jet::Database::open(dir.filePath(file), true);
        testdb::makeData(d, kDefs, rows);
        testdb::makeWorkTables(d);
        return d;
    }
    QTemporaryDir dir;
};

NearSearchRequest request(const char* column, SearchType type, int minLen, int maxLen, const char* filter = "")
{
    return NearSearchRequest{QString::fromLatin1(column), type, minLen, maxLen, QString::fromLatin1(filter)};
}

constexpr SearchType kDiff = SearchType::OneCharDifferent;
constexpr SearchType kMiss = SearchType::OneCharMissing;

} // namespace

TEST_F(NearSearch, PairsAndCountsMatchThePagesStatements)
{
    struct Case {
        const char* name;
        NearSearchRequest req;
        std::vector<PairText> expected;
    };
    const Case cases[] = {
        {"one character different", request("Name", kDiff, 1, 10),
         {{"jon", 1, "jan", 2}, {"o\"brien", 1, "o\"brian", 1}, {"smithh", 1, "smitha", 1}, {"smyth", 1, "smith", 4}}},
        {"pattern both match", request("Name", kDiff, 1, 10, "Sm*th"), {{"smyth", 1, "smith", 4}}},
        {"pattern only the greater matches", request("Name", kDiff, 1, 10, "Smy*"), {{"smyth", 1, "smith", 4}}},
        {"pattern with one-character wildcard", request("Name", kDiff, 1, 10, "J?n"), {{"jon", 1, "jan", 2}}},
        {"pattern only the smaller matches", request("Name", kDiff, 1, 10, "ja*"), {{"jan", 2, "jon", 1}}},
        {"one character missing", request("Name", kMiss, 1, 10),
         {{"joan", 1, "jan", 2}, {"joan", 1, "jon", 1}, {"smiith", 1, "smith", 4}, {"smitha", 1, "smith", 4},
          {"smithh", 1, "smith", 4}}},
        {"missing with a pattern on the longer", request("Name", kMiss, 1, 10, "Smi*h"),
         {{"smiith", 1, "smith", 4}, {"smithh", 1, "smith", 4}}},
        {"length range cuts", request("Name", kMiss, 6, 6), {{"smiith", 1, "smith", 4}, {"smitha", 1, "smith", 4}, {"smithh", 1, "smith", 4}}},
        {"numbers as text", request("Amount", kDiff, 1, 6), {{"1254", 2, "1234", 4}, {"19", 1, "10", 1}, {"9", 1, "1", 1}}},
        {"numbers missing a digit", request("Amount", kMiss, 1, 6),
         {{"10", 1, "1", 1}, {"100", 1, "10", 1}, {"19", 1, "1", 1}, {"19", 1, "9", 1}}},
        {"minimum above maximum", request("Name", kDiff, 6, 5), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir here;
        jet::Database part = jet::Database::open(here.filePath(QStringLiteral("p.sys")), true);
        testdb::makeData(part, kDefs, fixtureRows());
        testdb::makeWorkTables(part);
        runPartSearch(part, c.req);
        jet::Database ours = jet::Database::open(here.filePath(QStringLiteral("o.sys")), true);
        testdb::makeData(ours, kDefs, fixtureRows());
        testdb::makeWorkTables(ours);
        const NearSearchRecord r = runNearSearch(ours, c.req);
        ASSERT_TRUE(r.ok) << r.error.toStdString();
        EXPECT_EQ(pairRows(ours), pairRows(part));
        EXPECT_EQ(countRows(ours), countRows(part));
        EXPECT_EQ(r.pairs, qint64(pairRows(ours).size()));
        EXPECT_EQ(pairRows(ours), c.expected);
    }
}

TEST_F(NearSearch, ValuesTooLongForThePairTableAreLeftOutAndCounted)
{
    const QString longA = QString(300, QLatin1Char('a'));
    const QString longB = QString(299, QLatin1Char('a')) + QLatin1Char('b');
    jet::Database db = open(QStringLiteral("l.sys"), {{Value(), Value(), Value(longA)},
                                                     {Value(), Value(), Value(longB)},
                                                     {Value(), Value(), Value("Smith")},
                                                     {Value(), Value(), Value("Smyth")}});
    const NearSearchRecord r = runNearSearch(db, request("Notes", kDiff, 1, 400));
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.tooLong, 2);
    EXPECT_EQ(r.pairs, 1);
    EXPECT_EQ(pairRows(db), (std::vector<PairText>{{"smyth", 1, "smith", 1}}));
}

TEST_F(NearSearch, TheRecordNamesTheSearchedColumn)
{
    jet::Database db = open(QStringLiteral("r.sys"));
    const NearSearchRecord r = runNearSearch(db, request("name", kDiff, 1, 10));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.column, QStringLiteral("Name"));
    EXPECT_TRUE(r.allowsConversionOf(QStringLiteral("NAME")));
    EXPECT_FALSE(r.allowsConversionOf(QStringLiteral("Amount")));
    EXPECT_FALSE(NearSearchRecord{}.allowsConversionOf(QString()));
}

TEST_F(NearSearch, AFailedSearchLeavesThePreviousResults)
{
    jet::Database db = open(QStringLiteral("f.sys"));
    ASSERT_TRUE(runNearSearch(db, request("Name", kDiff, 1, 10)).ok);
    const std::vector<PairText> before = pairRows(db);
    const std::vector<CountText> counts = countRows(db);

    const NearSearchRecord unknown = runNearSearch(db, request("Nowhere", kDiff, 1, 10));
    EXPECT_FALSE(unknown.ok);
    EXPECT_FALSE(unknown.allowsConversionOf(QStringLiteral("Nowhere")));
    const NearSearchRecord key = runNearSearch(db, request("LumacorPrimK", kDiff, 1, 10));
    EXPECT_FALSE(key.ok);
    // A failure while writing, after the pair table was already refilled:
    // the count table can no longer take the values.
    db.execute(QStringLiteral("DROP TABLE tblCounts1"));
    db.execute(QStringLiteral("CREATE TABLE tblCounts1 (Column1 TEXT(2), Count1 INT, CONSTRAINT pk PRIMARY KEY (Column1));"));
    db.execute(QStringLiteral("INSERT INTO tblCounts1 (Column1, Count1) VALUES (\"zz\", 7)"));
    const NearSearchRecord broken = runNearSearch(db, request("Amount", kDiff, 1, 6));
    EXPECT_FALSE(broken.ok);
    EXPECT_FALSE(broken.error.isEmpty());
    EXPECT_EQ(pairRows(db), before);
    EXPECT_EQ(countRows(db), (std::vector<CountText>{{"zz", 7}}));
    EXPECT_FALSE(counts.empty());
}
