// The Access import's road on real Jet 3 and Jet 4 files from the fixture
// writer: the chooser's table list, the column list built from the file's own
// description, and the copy into tblData with both kinds of counter.
#include "platform/drivers/mdb_fixture.h"

#include "exchange/import_sources.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using jet::Value;
using mdbfixture::Version;

class AccessImport : public ::testing::TestWithParam<Version> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        file = dir.filePath(QStringLiteral("source.mdb"));
        mdbfixture::Table orders;
        orders.name = QStringLiteral("Orders");
        orders.columns = {
            {QStringLiteral("OrderID"), mdbfixture::Long, 0, true},
            {QStringLiteral("Item"), mdbfixture::Text, 30, false},
            {QStringLiteral("Line"), mdbfixture::Int, 0, true},   // a counter that is not a Long
        };
        orders.rows = {{Value(7), Value("Pen"), Value(1)}, {Value(9), Value("Ink"), Value(2)}};
        mdbfixture::Table board;
        board.name = QStringLiteral("Switchboard Items");
        board.columns = {{QStringLiteral("x"), mdbfixture::Text, 10, false}};
        QString why;
        ASSERT_TRUE(mdbfixture::writeMdb(file, GetParam(), {orders, board}, &why)) << why.toStdString();
    }
    QTemporaryDir dir;
    QString file;
};

TEST_P(AccessImport, BothCountersComeInAsPlainNumbers)
{
    EXPECT_EQ(exchange::tableChoices(exchange::accessTables(file)), QStringList{QStringLiteral("Orders")});

    const QString list = exchange::accessSelectList(exchange::accessTableColumns(file, QStringLiteral("Orders")));
    EXPECT_EQ(list, QStringLiteral("CLng(T.[OrderID]) AS [OrderID], [Item], [Line]"));

    jet::Database db = jet::Database::open(dir.filePath(QStringLiteral("work.sys")), true);
    db.execute(exchange::accessImportSql(list, file, QStringLiteral("Orders")), jet::dbFailOnError);
    const jet::TableDef def = db.tableDef(QStringLiteral("tblData"));
    ASSERT_EQ(def.fields.size(), 3u);
    EXPECT_EQ(def.fields[0].type, jet::dbLong);
    EXPECT_EQ(def.fields[2].name, QStringLiteral("Line"));
    EXPECT_EQ(def.fields[2].type, jet::dbInteger);
    for (const jet::FieldDef& f : def.fields)
        EXPECT_EQ(f.attributes & jet::dbAutoIncrField, 0) << f.name.toStdString();
    auto rs = db.openRecordset(QStringLiteral("SELECT [OrderID], [Line] FROM tblData ORDER BY [OrderID]"));
    QStringList rows;
    for (; !rs->eof(); rs->moveNext())
        rows << rs->value(0).toString() + QLatin1Char('|') + rs->value(1).toString();
    EXPECT_EQ(rows, (QStringList{"7|1", "9|2"}));
}

// A Jet file can carry names Access itself would never write: a "]" would
// end its brackets in the import statement, so the import refuses it and
// names which only look odd come in unchanged.
TEST_P(AccessImport, CraftedNamesAreRefusedAndOddOnesKept)
{
    const QString crafted = dir.filePath(QStringLiteral("crafted.mdb"));
    mdbfixture::Table bad;
    bad.name = QStringLiteral("Bad");
    bad.columns = {{QStringLiteral("Name"), mdbfixture::Text, 10, false},
                   {QStringLiteral("x] AS [y], 1 AS [z"), mdbfixture::Text, 10, false}};
    bad.rows = {{Value("Smith"), Value("a")}};
    mdbfixture::Table odd;
    odd.name = QStringLiteral("Odd [1]; names");
    odd.columns = {{QStringLiteral("a [b"), mdbfixture::Text, 10, false}, {QStringLiteral("O'Brien; Co."), mdbfixture::Int, 0, false}};
    odd.rows = {{Value("v"), Value(3)}};
    ASSERT_TRUE(mdbfixture::writeMdb(crafted, GetParam(), {bad, odd}));

    try {
        exchange::accessImportStatement(crafted, QStringLiteral("Bad"));
        ADD_FAILURE() << "the crafted column name was accepted";
    } catch (const jet::JetError& e) {
        EXPECT_EQ(e.description(),
                  QStringLiteral("The column name 'x] AS [y], 1 AS [z' holds a ']', which cannot be used in a column reference."));
    }
    EXPECT_THROW(exchange::accessImportStatement(crafted, QStringLiteral("Odd [1]; names")), jet::JetError);   // the table's "]"

    odd.name = QStringLiteral("Odd [1; names");
    ASSERT_TRUE(mdbfixture::writeMdb(crafted, GetParam(), {odd}));
    jet::Database db = jet::Database::open(dir.filePath(QStringLiteral("work.sys")), true);
    db.execute(exchange::accessImportStatement(crafted, odd.name), jet::dbFailOnError);
    auto rs = db.openRecordset(QStringLiteral("SELECT [a [b], [O'Brien; Co.] FROM tblData"));
    ASSERT_FALSE(rs->eof());
    EXPECT_EQ(rs->value(0).toString(), QStringLiteral("v"));
    EXPECT_EQ(rs->value(1).toString(), QStringLiteral("3"));
}

// A new table made from one outside table takes its rows straight from the
// reader; the statement sees the same columns, compares text as the engine
// does (without regard to case) and, where it reads the rows more than once
// (a join), still gets them all.
TEST_P(AccessImport, StatementsOverTheOutsideTableSeeItAsATable)
{
    jet::Database db = jet::Database::open(dir.filePath(QStringLiteral("work.sys")), true);
    const QString source = QStringLiteral("[%1].[Orders] AS T").arg(file);
    const auto rowsOf = [&](const QString& sql) {
        QStringList out;
        for (auto rs = db.openRecordset(sql); !rs->eof(); rs->moveNext())
            out << rs->value(0).toString();
        return out;
    };
    db.execute(QStringLiteral("SELECT T.[Item] INTO a FROM %1 WHERE T.[Item] = 'pen'").arg(source), jet::dbFailOnError);
    EXPECT_EQ(db.recordsAffected(), 1);
    EXPECT_EQ(rowsOf(QStringLiteral("SELECT [Item] FROM a")), QStringList{QStringLiteral("Pen")});
    EXPECT_EQ(db.tableDef(QStringLiteral("a")).fields.at(0).type, jet::dbText);
    EXPECT_EQ(db.tableDef(QStringLiteral("a")).fields.at(0).size, 30);

    db.execute(QStringLiteral("SELECT T.[Item] INTO b FROM %1 ORDER BY T.[Item]").arg(source), jet::dbFailOnError);
    EXPECT_EQ(rowsOf(QStringLiteral("SELECT [Item] FROM b")), (QStringList{QStringLiteral("Ink"), QStringLiteral("Pen")}));

    db.execute(QStringLiteral("CREATE TABLE k ([n] LONG)"), jet::dbFailOnError);
    for (int n : {1, 2, 3})
        db.execute(QStringLiteral("INSERT INTO k VALUES (%1)").arg(n), jet::dbFailOnError);
    db.execute(QStringLiteral("SELECT T.[Item] & K.[n] AS x INTO c FROM k AS K, %1").arg(source), jet::dbFailOnError);
    QStringList joined = rowsOf(QStringLiteral("SELECT [x] FROM c"));
    joined.sort();
    EXPECT_EQ(joined, (QStringList{"Ink1", "Ink2", "Ink3", "Pen1", "Pen2", "Pen3"}));
}

INSTANTIATE_TEST_SUITE_P(Versions, AccessImport, ::testing::Values(Version::Jet3, Version::Jet4),
                         [](const auto& info) { return info.param == Version::Jet3 ? "Jet3" : "Jet4"; });

} // namespace
