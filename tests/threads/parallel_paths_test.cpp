// The steps of the jobs that spread their work over several threads once a
// list is long enough (the sorts and loops of common/parallel.h inside the
// dupe search's result table, the distinct values and the e-mail run's
// invalid list), on lists just long enough to take those paths, against the
// plain statements that give the same result.
#include "cleaning/distinct_values.h"
#include "common/progress.h"
#include "duplicates/dupe_remover.h"
#include "email/address_check.h"
#include "email/domain_lists.h"
#include "email/email_run.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/recordset.h"
#include "platform/jet/value.h"
#include "workbench/opening.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString cellText(const jet::Value& v)
{
    if (v.isNull())
        return QStringLiteral("<null>");
    if (v.isNumber())
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

/// A recordset's rows in its own order, cells joined by "|"; text folded
/// when fold is set (a group shows one of its spellings).
QStringList rowsOf(jet::Recordset& rs, bool fold)
{
    QStringList out;
    for (; !rs.eof(); rs.moveNext()) {
        QStringList cells;
        for (int i = 0; i < rs.fieldCount(); ++i)
            cells << (fold ? cellText(rs.value(i)).toCaseFolded() : cellText(rs.value(i)));
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

class ParallelPaths : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        db = jet::Database::open(dir.filePath(QStringLiteral("work.sys")), true);
    }

    /// tblData of rows made by the SQLite select over n(i), i from 0 to rows-1,
    /// keyed as the workbench keys it.
    void makeList(const QString& columns, int rows, const QString& select)
    {
        db.execute(QStringLiteral("CREATE TABLE tblData (%1)").arg(columns));
        db.connection().exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                                            "INSERT INTO tblData %2 FROM n")
                                 .arg(rows - 1)
                                 .arg(select));
        db.appendField(QStringLiteral("tblData"),
                       jet::FieldDef{QStringLiteral("LumacorPrimK"), jet::dbLong, 4, jet::dbAutoIncrField, 0});
        ASSERT_TRUE(workbench::rebuildWorkTables(db));
    }

    QTemporaryDir dir;
    jet::Database db;
};

// More than 131,072 groups of two or more: the result table's rows are
// put in order on several threads.
TEST_F(ParallelPaths, DupeResultTableOfManyGroupsEqualsItsStatement)
{
    makeList(QStringLiteral("[Name] TEXT(255), [Amount] DOUBLE"), 280000,
             QStringLiteral("SELECT CASE WHEN i < 140000 THEN 'n' ELSE 'N' END || (i % 140000) || CASE WHEN i % 140000 % 3 = 0 "
                            "THEN '\u00e9' ELSE '' END, CASE WHEN i % 140000 % 11 = 0 THEN NULL ELSE i % 140000 % 7 END"));
    const std::vector<dupes::Column> columns = dupes::comparedColumns(db, dupes::Scope::All);
    const dupes::SearchResult r = dupes::searchDuplicates(db, dupes::Scope::All, columns, common::noProgress());
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    const QString groups = QStringLiteral(" IIF(ISNULL([Name]),'',[Name]), [Amount]");
    auto expected = db.openRecordset(QStringLiteral("SELECT COUNT(*) AS Count,  IIF(ISNULL(T1.[Name]),'',T1.[Name]) AS "
                                                    "[Name], T1.[Amount] FROM tblData T1 GROUP BY ")
                                         + groups + QStringLiteral(" HAVING COUNT(*)>1"),
                                     jet::dbOpenSnapshot);
    QStringList want = rowsOf(*expected, true);
    ASSERT_GT(want.size(), 131072);
    auto table = db.openRecordset(QStringLiteral(" SELECT  * FROM tblDupes_AllX"), jet::dbOpenSnapshot);
    QStringList got = rowsOf(*table, true);
    want.sort();
    got.sort();
    EXPECT_EQ(got, want);
    qint64 surplus = 0;
    for (const QString& g : want)
        surplus += g.section(QLatin1Char('|'), 0, 0).toLongLong() - 1;
    EXPECT_EQ(r.duplicate, surplus);
}

// More than 131,072 distinct values: sorted and made into rows on several
// threads, in the order and with the counts of the grouping statement.
TEST_F(ParallelPaths, DistinctValuesOfALongListEqualTheGroupingStatement)
{
    makeList(QStringLiteral("[Name] TEXT(255)"), 300000,
             QStringLiteral("SELECT CASE WHEN i % 20 = 0 THEN NULL WHEN i % 2 = 0 THEN 'v' ELSE 'V' END || (i * 7 % 150000)"));
    const cleaning::DistinctList list = cleaning::distinctValues(db, QStringLiteral("Name"), cleaning::DistinctFilter{});
    ASSERT_TRUE(list.ok()) << list.error.toStdString();
    auto grouped = db.openRecordset(QStringLiteral("SELECT [Name], COUNT(*) FROM tblData WHERE [Name] IS NOT NULL "
                                                   "GROUP BY [Name] ORDER BY [Name]"),
                                    jet::dbOpenSnapshot);
    const QStringList want = rowsOf(*grouped, true);
    ASSERT_GT(want.size(), 131072);
    QStringList got;
    qint64 empties = 0;
    for (const cleaning::DistinctRow& row : list.rows) {
        if (row.empty)
            empties += row.count;
        else
            got << row.text().toCaseFolded() + QLatin1Char('|') + QString::number(row.count);
    }
    EXPECT_EQ(got, want);
    EXPECT_EQ(empties, 15000);
}

// More than 16,384 invalid addresses: the invalid list made from the run's
// own rows is sorted on several threads, and must be the query's list row
// for row.
TEST_F(ParallelPaths, InvalidListOfALongRunEqualsItsQuery)
{
    makeList(QStringLiteral("[Email] TEXT(255)"), 24000,
             QStringLiteral("SELECT CASE i % 4 WHEN 0 THEN 'p' || i || '@example.com' WHEN 1 THEN 'P' || (i % 900) || "
                            "'@examplecom' WHEN 2 THEN 'p' || (i % 700) || '#example.com' ELSE 'x' || i || '@example.zz' END"));
    const email::DomainLists lists({QStringLiteral("com")}, {{QStringLiteral("uk"), QStringLiteral("United Kingdom")}});
    const email::RunResult r = email::validateColumn(db, QStringLiteral("Email"), lists, email::defaultSpecialChars());
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    ASSERT_GT(r.run.invalid, 16384);
    for (const email::InvalidSort& sort : {email::InvalidSort{4, true}, email::InvalidSort{3, false}}) {
        SCOPED_TRACE(sort.column);
        const auto known = email::invalidListRows(db, r.run, r.invalid, sort);
        ASSERT_TRUE(known);
        const QString source = email::invalidListSource(r.run.column, sort.column, sort.descending);
        auto fromRun = db.openRecordset(source, jet::dbOpenDynaset, known.get());
        auto fromQuery = db.openRecordset(source, jet::dbOpenDynaset);
        EXPECT_EQ(rowsOf(*fromRun, false), rowsOf(*fromQuery, false));
    }
}

} // namespace
