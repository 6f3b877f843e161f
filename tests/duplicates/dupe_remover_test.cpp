#include "duplicates/dupe_remover.h"

#include "workdb.h"

#include "platform/jet/connection.h"
#include "platform/jet/error.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <map>
#include <random>

using namespace dupes;
using jet::Value;

namespace {

const QStringList kDefs = {QStringLiteral("[Name] TEXT(50)"), QStringLiteral("[City] TEXT(255)"),
                           QStringLiteral("[Age] DOUBLE"), QStringLiteral("[Born] DATETIME"),
                           QStringLiteral("[Notes] MEMO")};

Value date(int y, int m, int d) { return Value(jet::toDateTime(jet::DateParts{y, m, d, 0, 0, 0})); }

// Keys 1..11. Case-only differences (1/4, 3/7/9), Null against "" in text
// (2/5), Null against 0 in a number (6/8), a date against Null (10/11).
std::vector<std::vector<Value>> fixtureRows()
{
    return {
        {"Ann", "Boston", 30, Value(), "x"},
        {"Bob", Value(), Value(), Value(), Value()},
        {"Cy", "Rome", 40, Value(), Value()},
        {"ann", "BOSTON", 30, Value(), "X"},
        {"Bob", "", Value(), Value(), ""},
        {"Dee", "Oslo", Value(), Value(), Value()},
        {"Cy", "Rome", 40, Value(), Value()},
        {"Dee", "Oslo", 0, Value(), Value()},
        {"CY", "rome", 40, Value(), Value()},
        {"Eve", "Oslo", Value(), date(2000, 1, 1), Value()},
        {"Eve", "Oslo", Value(), Value(), Value()},
    };
}

class DupeRemover : public ::testing::Test {
protected:
    void SetUp() override { db = open(QStringLiteral("a.sys")); }

    jet::Database open(const QString& file, const std::vector<std::vector<Value>>& rows = fixtureRows())
    {
        jet::Database d = jet::Database::open(dir.filePath(file), true);
        testdb::makeData(d, kDefs, rows);
        testdb::makeWorkTables(d);
        return d;
    }

    std::vector<qint64> keys(jet::Database& d, const char* table)
    {
        return testdb::longs(d, QStringLiteral("SELECT LumacorPrimK FROM %1").arg(QLatin1String(table)));
    }

    QTemporaryDir dir;
    jet::Database db;
};

struct ScopeCase {
    const char* name;
    Scope scope;
    QStringList selected;
    qint64 distinct;
    qint64 duplicate;
    std::vector<std::vector<qint64>> groups;   // keys of each group of two or more
};

std::vector<ScopeCase> scopeCases()
{
    return {
        {"all columns", Scope::All, {}, 7, 4, {{1, 4}, {2, 5}, {3, 7, 9}}},
        {"text column: case and Null against empty", Scope::Selected, {QStringLiteral("City")}, 4, 7,
         {{1, 4}, {2, 5}, {3, 7, 9}, {6, 8, 10, 11}}},
        {"number column: Nulls together, apart from 0", Scope::Selected, {QStringLiteral("Age")}, 4, 7,
         {{1, 4}, {2, 5, 6, 10, 11}, {3, 7, 9}}},
        {"text and date columns", Scope::Selected, {QStringLiteral("name"), QStringLiteral("Born")}, 6, 5,
         {{1, 4}, {2, 5}, {3, 7, 9}, {6, 8}}},
    };
}

// The page's own statements, run through the engine: the reference.
struct PartSearch {
    qint64 distinct = 0;
    qint64 duplicate = 0;
};

PartSearch runPartSearch(jet::Database& d, Scope scope, const std::vector<Column>& cols)
{
    PartSearch p;
    const QString g = searchGroupList(cols, scope);
    auto rs = d.openRecordset(distinctCountSql(g), jet::dbOpenSnapshot);
    if (!rs->eof()) {
        rs->moveLast();
        p.distinct = rs->recordCount();
    }
    qint64 sum = 0, groups = 0;
    for (auto dup = d.openRecordset(duplicateCountSql(g), jet::dbOpenSnapshot); !dup->eof(); dup->moveNext()) {
        sum += dup->value(0).toLong();
        ++groups;
    }
    p.duplicate = sum - groups;
    if (d.hasTable(QStringLiteral("tblDupes_AllX")))
        d.execute(QStringLiteral("DROP TABLE tblDupes_AllX"));
    d.execute(resultTableSql(searchSelectList(cols, scope), g));
    return p;
}

// The rows of tblDupes_AllX in table order, one line each, text folded
// (which spelling stands for a group is the engine's choice).
QStringList groupTableRows(jet::Database& d)
{
    QStringList lines;
    for (const Group& g : readGroupTable(d).rows) {
        QStringList cells{QString::number(g.count)};
        for (const Value& v : g.values)
            cells << (v.isNull() ? QStringLiteral("<null>") : v.toString().toCaseFolded());
        lines << cells.join(QLatin1Char('|'));
    }
    return lines;
}

// tblDupes_AllX as comparable text: field names, then its rows sorted.
QStringList groupTableText(jet::Database& d)
{
    const GroupTable t = readGroupTable(d);
    QStringList lines = groupTableRows(d);
    lines.sort();
    lines.prepend(t.fields.join(QLatin1Char('|')));
    return lines;
}

} // namespace

TEST_F(DupeRemover, CountsAndGroupsMatchThePagesStatements)
{
    for (const ScopeCase& sc : scopeCases()) {
        SCOPED_TRACE(sc.name);
        const std::vector<Column> cols = comparedColumns(db, sc.scope, sc.selected);
        const PartSearch part = runPartSearch(db, sc.scope, cols);
        const QStringList partTable = groupTableText(db);

        const SearchResult r = searchDuplicates(db, sc.scope, cols);
        ASSERT_TRUE(r.ok) << r.error.toStdString();
        EXPECT_EQ(r.distinct, sc.distinct);
        EXPECT_EQ(r.duplicate, sc.duplicate);
        EXPECT_EQ(part.distinct, sc.distinct);
        EXPECT_EQ(part.duplicate, sc.duplicate);
        EXPECT_EQ(groupTableText(db), partTable);
        EXPECT_EQ(readGroupTable(db).rows.size(), sc.groups.size());

        std::vector<std::vector<qint64>> got;
        for (const GroupKeys& g : groupsWithKeys(db, cols))
            got.push_back(g.keys);
        EXPECT_EQ(got, sc.groups);
    }
}

// Many records drawn from small pools, so that groups form across every rule
// at once: letter case beyond ASCII (É/é, the Kelvin sign against k), Null
// against "" in text and memo, Null against 0, equal dates, and values that
// only look alike (Straße/STRASSE, 1/1.5).
std::vector<std::vector<Value>> drawnRows(unsigned seed, int n)
{
    const std::vector<Value> names = {"Ann", "ann", QString::fromUtf8("\u00c9lodie"), QString::fromUtf8("\u00e9LODIE"),
                                      QString::fromUtf8("\u212aelvin"), "kelvin", QString::fromUtf8("Stra\u00dfe"),
                                      "STRASSE", Value(), ""};
    const std::vector<Value> cities = {"Oslo", "OSLO", QString::fromUtf8("\u00d8ster"), QString::fromUtf8("\u00f8STER"),
                                       Value(), ""};
    const std::vector<Value> ages = {Value(), 0, 1, 1.5, 30};
    const std::vector<Value> borns = {Value(), date(2000, 1, 1), date(1999, 12, 31)};
    const std::vector<Value> notes = {Value(), "", "x", "X"};
    std::mt19937 rng(seed);
    auto pick = [&](const std::vector<Value>& pool) { return pool[std::uniform_int_distribution<size_t>(0, pool.size() - 1)(rng)]; };
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < n; ++i)
        rows.push_back({pick(names), pick(cities), pick(ages), pick(borns), pick(notes)});
    return rows;
}

TEST(DupeRemoverDrawn, SearchAndRemovalMatchThePagesStatements)
{
    struct Case {
        const char* name;
        Scope scope;
        QStringList selected;
    };
    const Case cases[] = {
        {"all columns", Scope::All, {}},
        {"text columns", Scope::Selected, {QStringLiteral("Name"), QStringLiteral("City")}},
        {"number, date and memo", Scope::Selected, {QStringLiteral("Age"), QStringLiteral("Born"), QStringLiteral("Notes")}},
    };
    const std::vector<std::vector<Value>> rows = drawnRows(7u, 400);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir here;
        jet::Database part = jet::Database::open(here.filePath(QStringLiteral("part.sys")), true);
        testdb::makeData(part, kDefs, rows);
        testdb::makeWorkTables(part);
        jet::Database ours = jet::Database::open(here.filePath(QStringLiteral("ours.sys")), true);
        testdb::makeData(ours, kDefs, rows);
        testdb::makeWorkTables(ours);
        const std::vector<Column> cols = comparedColumns(part, c.scope, c.selected);

        const PartSearch expected = runPartSearch(part, c.scope, cols);
        const SearchResult s = searchDuplicates(ours, c.scope, cols);
        ASSERT_TRUE(s.ok) << s.error.toStdString();
        EXPECT_GT(expected.duplicate, 0);
        EXPECT_EQ(s.distinct, expected.distinct);
        EXPECT_EQ(s.duplicate, expected.duplicate);
        EXPECT_EQ(groupTableText(ours), groupTableText(part));

        for (const QString& sql : removalSql(removalGroupList(cols)))
            part.execute(sql);
        const RemovalResult r = removeDuplicates(ours, s);
        ASSERT_TRUE(r.ok) << r.message.toStdString();
        EXPECT_EQ(r.removed, expected.duplicate);
        for (const char* table : {"tblData", "tblDupes_Min", "tblDupes_Del"})
            EXPECT_EQ(testdb::longs(ours, QStringLiteral("SELECT LumacorPrimK FROM %1").arg(QLatin1String(table))),
                      testdb::longs(part, QStringLiteral("SELECT LumacorPrimK FROM %1").arg(QLatin1String(table))))
                << table;
    }
}

// The result table lists its groups in the order of the engine's GROUP BY:
// values that agree on a long stretch, one the start of another, letters
// beyond ASCII early and late, empty and Null, a number in a text column,
// values longer than 127 bytes, letters that fold to ASCII (the long s),
// Greek and Japanese, letters outside the Basic Multilingual Plane, and a
// letter of two bytes cut where the sort's prefix ends.
TEST(DupeRemoverOrder, ResultRowsInTheEnginesOrder)
{
    const std::vector<Value> names = {
        "Ann", "ANNE", "ann ", "Anna", "", Value(), "anna-maria josephine catherine", "Anna-Maria Josephine Catherina",
        "Anna-Maria Josephine Cather", "Anna-Maria Josephine Catherine X", QString::fromUtf8("Zo\u00eb"), "Zoe", "ZZ",
        QString::fromUtf8("\u00c9mile"), "Emile", QString::fromUtf8("Emil\u00e9"), QString::fromUtf8("Anna-Maria \u00c9"),
        "Anna-Maria Z", "12", "Anna\tB", QString::fromUtf8("\u017Ftarling"), "Starr", "Stars",
        QString::fromUtf8("\u03A9megb"), QString::fromUtf8("\u03C9mega"), QString::fromUtf8("\u65E5\u672C"),
        QString::fromUtf8("\u65E5\u672Ca"), QString::fromUtf8("Zo\u00eb \U0001F600"), QString::fromUtf8("Zo\u00eb \U0001F601"),
        QString::fromUtf8("Anna-Maria Josephine Cat\u00e9"), QString::fromUtf8("Anna-Maria Josephine Cat\u00c8")};
    const std::vector<Value> cities = {"Oslo", "oslo a", QString::fromUtf8("D\u00fan Laoghaire"), "Dun Laoghaire",
                                       "Dunmore East and the long road out", "Dunmore East and the long road in", "",
                                       QStringLiteral("Dunmore ") + QString(150, QLatin1Char('e')) + QStringLiteral("b"),
                                       QStringLiteral("DUNMORE ") + QString(150, QLatin1Char('E')) + QStringLiteral("A")};
    std::vector<std::vector<Value>> rows;
    std::mt19937 rng(11u);
    for (const Value& name : names)
        for (const Value& city : cities)
            for (int copy = 0; copy < 2; ++copy)
                rows.push_back({name, city, Value(), Value(), Value()});
    std::shuffle(rows.begin(), rows.end(), rng);

    QTemporaryDir here;
    jet::Database engine = jet::Database::open(here.filePath(QStringLiteral("engine.sys")), true);
    testdb::makeData(engine, kDefs, rows);
    jet::Database ours = jet::Database::open(here.filePath(QStringLiteral("ours.sys")), true);
    testdb::makeData(ours, kDefs, rows);
    for (const QStringList& selected : {QStringList{QStringLiteral("Name"), QStringLiteral("City")},
                                        QStringList{QStringLiteral("City"), QStringLiteral("Name")}}) {
        SCOPED_TRACE(selected.join(QLatin1Char(',')).toStdString());
        const std::vector<Column> cols = comparedColumns(engine, Scope::Selected, selected);
        if (engine.hasTable(QStringLiteral("tblDupes_AllX")))
            engine.execute(QStringLiteral("DROP TABLE tblDupes_AllX"));
        engine.execute(resultTableSql(searchSelectList(cols, Scope::Selected), searchGroupList(cols, Scope::Selected)));
        ASSERT_TRUE(searchDuplicates(ours, Scope::Selected, cols).ok);
        const QStringList expected = groupTableRows(engine);
        EXPECT_EQ(expected.size(), qsizetype(names.size() * cities.size()) - qsizetype(cities.size()));
        EXPECT_EQ(groupTableRows(ours), expected);

        // Each group shows its lowest key's record as it is stored, letter
        // case and all (the keys follow the rows' order).
        const bool nameFirst = selected.front() == QLatin1String("Name");
        auto text = [](const Value& v) { return v.isNull() ? QString() : v.toString(); };
        std::map<QString, QString> firstOfGroup;
        for (const std::vector<Value>& row : rows) {
            const QString shown = nameFirst ? text(row[0]) + QLatin1Char('|') + text(row[1])
                                            : text(row[1]) + QLatin1Char('|') + text(row[0]);
            firstOfGroup.emplace(shown.toCaseFolded(), shown);
        }
        for (const Group& g : readGroupTable(ours).rows) {
            const QString shown = text(g.values[0]) + QLatin1Char('|') + text(g.values[1]);
            EXPECT_EQ(shown.toStdString(), firstOfGroup[shown.toCaseFolded()].toStdString());
        }
    }
}

TEST_F(DupeRemover, ResultTableLayout)
{
    const std::vector<Column> cols = comparedColumns(db, Scope::Selected, {QStringLiteral("City"), QStringLiteral("Age")});
    ASSERT_TRUE(searchDuplicates(db, Scope::Selected, cols).ok);
    const GroupTable t = readGroupTable(db);
    EXPECT_EQ(t.fields, (QStringList{QStringLiteral("Count"), QStringLiteral("City"), QStringLiteral("Age")}));
    // Boston/30 {1,4}, ""/Null {2,5}, Rome/40 {3,7,9}; Oslo/Null {6,10,11} with Oslo/0 alone.
    std::vector<std::tuple<qint64, QString, bool>> rows;
    for (const Group& g : t.rows)
        rows.emplace_back(g.count, g.values[0].toString().toCaseFolded(), g.values[1].isNull());
    std::sort(rows.begin(), rows.end());
    const std::vector<std::tuple<qint64, QString, bool>> expected = {
        {2, QString(), true}, {2, QStringLiteral("boston"), false}, {3, QStringLiteral("oslo"), true},
        {3, QStringLiteral("rome"), false}};
    EXPECT_EQ(rows, expected);
    // The text value of a Null group is "", not Null.
    for (const Group& g : t.rows)
        EXPECT_FALSE(g.values[0].isNull());
}

TEST_F(DupeRemover, RemovalMatchesThePagesStatements)
{
    for (const ScopeCase& sc : scopeCases()) {
        SCOPED_TRACE(sc.name);
        QTemporaryDir here;
        jet::Database part = jet::Database::open(here.filePath(QStringLiteral("part.sys")), true);
        testdb::makeData(part, kDefs, fixtureRows());
        testdb::makeWorkTables(part);
        jet::Database ours = jet::Database::open(here.filePath(QStringLiteral("ours.sys")), true);
        testdb::makeData(ours, kDefs, fixtureRows());
        testdb::makeWorkTables(ours);

        const std::vector<Column> cols = comparedColumns(part, sc.scope, sc.selected);
        for (const QString& sql : removalSql(removalGroupList(cols)))
            part.execute(sql);

        const SearchResult s = searchDuplicates(ours, sc.scope, cols);
        const RemovalResult r = removeDuplicates(ours, s);
        ASSERT_TRUE(r.ok) << r.message.toStdString();
        EXPECT_EQ(r.message, QStringLiteral("Operation successful."));
        EXPECT_EQ(r.removed, sc.duplicate);
        for (const char* table : {"tblData", "tblDupes_Min", "tblDupes_Del"})
            EXPECT_EQ(keys(ours, table), keys(part, table)) << table;

        // Every group kept its lowest key.
        std::vector<qint64> kept = keys(ours, "tblData");
        for (const auto& g : sc.groups) {
            EXPECT_TRUE(std::binary_search(kept.begin(), kept.end(), g.front()));
            for (size_t i = 1; i < g.size(); ++i)
                EXPECT_FALSE(std::binary_search(kept.begin(), kept.end(), g[i]));
        }
        const SearchResult again = searchDuplicates(ours, sc.scope, cols);
        EXPECT_EQ(again.duplicate, 0);
        EXPECT_EQ(again.distinct, sc.distinct);
        EXPECT_FALSE(again.canRemove());
    }
}

TEST_F(DupeRemover, AFailureAnywhereRemovesNothing)
{
    db.execute(QStringLiteral("INSERT INTO tblDupes_Min (LumacorPrimK) VALUES (99)"));
    db.execute(QStringLiteral("INSERT INTO tblDupes_Del (LumacorPrimK) VALUES (98)"));
    const std::vector<qint64> before = keys(db, "tblData");
    const std::vector<Column> cols = comparedColumns(db, Scope::All);
    for (int failAt = 1; failAt <= 5; ++failAt) {
        SCOPED_TRACE(failAt);
        const SearchResult s = searchDuplicates(db, Scope::All, cols);
        ASSERT_TRUE(s.canRemove());
        RemovalOptions o;
        o.beforeStep = [&](int step) {
            if (step == failAt)
                throw jet::JetError(jet::errGeneral, QStringLiteral("Disk full."));
        };
        const RemovalResult r = removeDuplicates(db, s, o);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message, QStringLiteral("Disk full."));
        EXPECT_EQ(r.removed, 0);
        EXPECT_EQ(keys(db, "tblData"), before);
        EXPECT_EQ(keys(db, "tblDupes_Min"), std::vector<qint64>{99});
        EXPECT_EQ(keys(db, "tblDupes_Del"), std::vector<qint64>{98});
    }
    // A database failure of its own: a work table gone.
    db.execute(QStringLiteral("DROP TABLE tblDupes_Del"));
    const RemovalResult r = removeDuplicates(db, searchDuplicates(db, Scope::All, cols));
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.message.contains(QStringLiteral("tblDupes_Del"))) << r.message.toStdString();
    EXPECT_EQ(keys(db, "tblData"), before);
}

TEST_F(DupeRemover, AChangeAfterTheSearchIsNotTrusted)
{
    // Key 9 ("CY", "rome") stops being a copy of key 3 after the search, by
    // the engine or behind its back; the removal must keep it either way.
    struct Case {
        const char* name;
        bool throughEngine;
    };
    for (const Case& c : {Case{"through the engine", true}, Case{"behind the engine", false}}) {
        SCOPED_TRACE(c.name);
        QTemporaryDir here;
        jet::Database d = jet::Database::open(here.filePath(QStringLiteral("c.sys")), true);
        testdb::makeData(d, kDefs, fixtureRows());
        testdb::makeWorkTables(d);
        const std::vector<Column> cols = comparedColumns(d, Scope::All);
        const SearchResult s = searchDuplicates(d, Scope::All, cols);
        ASSERT_EQ(s.duplicate, 4);
        if (c.throughEngine)
            d.execute(QStringLiteral("UPDATE tblData SET [City]=\"Milan\" WHERE LumacorPrimK=9"));
        else
            d.connection().exec(QStringLiteral("UPDATE tblData SET City='Milan' WHERE LumacorPrimK=9"));
        const RemovalResult r = removeDuplicates(d, s);
        ASSERT_TRUE(r.ok) << r.message.toStdString();
        EXPECT_EQ(r.removed, 3);
        EXPECT_EQ(keys(d, "tblData"), (std::vector<qint64>{1, 2, 3, 6, 8, 9, 10, 11}));
        EXPECT_EQ(keys(d, "tblDupes_Del"), (std::vector<qint64>{4, 5, 7}));
    }
}

TEST_F(DupeRemover, EmptyListAndNoDuplicates)
{
    struct Case {
        const char* name;
        std::vector<std::vector<Value>> rows;
        qint64 distinct;
    };
    const Case cases[] = {
        {"empty list", {}, 0},
        {"all different", {{"Ann", "Oslo", 1, Value(), Value()}, {"Ann", "Oslo", 2, Value(), Value()}}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir here;
        jet::Database d = jet::Database::open(here.filePath(QStringLiteral("e.sys")), true);
        testdb::makeData(d, kDefs, c.rows);
        testdb::makeWorkTables(d);
        const SearchResult s = searchDuplicates(d, Scope::All, comparedColumns(d, Scope::All));
        ASSERT_TRUE(s.ok) << s.error.toStdString();
        EXPECT_EQ(s.distinct, c.distinct);
        EXPECT_EQ(s.duplicate, 0);
        EXPECT_FALSE(s.canRemove());
        const GroupTable t = readGroupTable(d);
        EXPECT_EQ(t.fields.size(), 6);
        EXPECT_TRUE(t.rows.empty());
    }
}

TEST_F(DupeRemover, SearchFailures)
{
    const std::vector<Column> cols = comparedColumns(db, Scope::All);
    ASSERT_TRUE(searchDuplicates(db, Scope::All, cols).ok);
    {
        // The grid still holds the last result table open.
        auto held = db.openRecordset(QStringLiteral("tblDupes_AllX"), jet::dbOpenTable);
        const SearchResult r = searchDuplicates(db, Scope::All, cols);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, QStringLiteral("Could not delete table tblDupes"));
        EXPECT_FALSE(r.canRemove());
    }
    EXPECT_THROW(comparedColumns(db, Scope::Selected, {QStringLiteral("Nowhere")}), jet::JetError);
    EXPECT_THROW(comparedColumns(db, Scope::Selected, {QStringLiteral("LumacorPrimK")}), jet::JetError);
    const SearchResult none = searchDuplicates(db, Scope::Selected, {});
    EXPECT_FALSE(none.ok);
}

TEST(DupeRemoverSql, StatementTexts)
{
    const std::vector<Column> cols = {{QStringLiteral("Name"), jet::dbText}, {QStringLiteral("Age"), jet::dbDouble},
                                      {QStringLiteral("Notes"), jet::dbMemo}};
    EXPECT_EQ(searchGroupList(cols, Scope::All),
              QStringLiteral(" IIF(ISNULL([Name]),'',[Name]), [Age], IIF(ISNULL([Notes]),'',[Notes])"));
    EXPECT_EQ(searchSelectList(cols, Scope::All),
              QStringLiteral(" IIF(ISNULL(T1.[Name]),'',T1.[Name]) AS [Name], T1.[Age], "
                             "IIF(ISNULL(T1.[Notes]),'',T1.[Notes]) AS [Notes]"));
    EXPECT_EQ(searchGroupList(cols, Scope::Selected),
              QStringLiteral(" IIF(ISNULL([Name]),'',[Name]) , [Age], IIF(ISNULL([Notes]),'',[Notes]) "));
    EXPECT_EQ(searchSelectList(cols, Scope::Selected),
              QStringLiteral(" IIF(ISNULL(T1.[Name]),'',T1.[Name]) AS [Name] , T1.[Age] , "
                             "IIF(ISNULL(T1.[Notes]),'',T1.[Notes]) AS [Notes] "));
    EXPECT_EQ(removalGroupList(cols),
              QStringLiteral(" IIF(ISNULL([Name]),'',[Name]) , [Age] , IIF(ISNULL([Notes]),'',[Notes]) "));
    EXPECT_EQ(resultTableSql(QStringLiteral(" T1.[Age]"), QStringLiteral(" [Age]")),
              QStringLiteral("SELECT COUNT(*) AS Count,  T1.[Age] INTO tblDupes_AllX FROM tblData T1 GROUP BY  [Age] HAVING COUNT(*)>1"));
    EXPECT_EQ(removalSql(QStringLiteral(" [Age] ")).last(),
              QStringLiteral("DELETE * FROM tblData WHERE LumacorPrimK IN (SELECT LumacorPrimK                        FROM tblDupes_Del);"));
}

// The search's bar moves while the records are read, not only after each
// stage, and ends full; the removal after it still removes the right records.
TEST_F(DupeRemover, SearchReportsProgressWhileItReads)
{
    struct Recording : common::Progress {
        void start(qint64 total) override { this->total = total; }
        void step(qint64 done) override { steps.push_back(done); }
        qint64 total = -1;
        std::vector<qint64> steps;
    } progress;
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 12000; ++i)
        rows.push_back({QStringLiteral("n%1").arg(i % 9000), "c", 1, Value(), Value()});
    jet::Database d = open(QStringLiteral("many.sys"), rows);
    const std::vector<Column> cols = comparedColumns(d, Scope::All);
    const SearchResult s = searchDuplicates(d, Scope::All, cols, progress);
    ASSERT_TRUE(s.ok) << s.error.toStdString();
    EXPECT_EQ(s.duplicate, 3000);
    ASSERT_GT(progress.total, 0);
    const auto during = std::count_if(progress.steps.begin(), progress.steps.end(),
                                      [&](qint64 v) { return v > 0 && v < progress.total; });
    EXPECT_GE(during, 3);
    EXPECT_TRUE(std::is_sorted(progress.steps.begin(), progress.steps.end()));
    EXPECT_EQ(progress.steps.back(), progress.total);
    EXPECT_EQ(removeDuplicates(d, s).removed, 3000);
}
