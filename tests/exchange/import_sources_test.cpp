// The import's plain decisions: source kinds, chooser lists, the Access
// column list and the all-or-nothing replacement of a table.
#include "exchange/import_sources.h"

#include "platform/jet/database.h"
#include "platform/jet/error.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace exchange;

TEST(ImportKinds, ByTheLastThreeCharactersInAnyCase)
{
    const std::pair<const char*, const char*> cases[] = {
        {"txt", "txt"}, {"CSV", "txt"}, {"Mdb", "mdb"}, {"XLS", "xls"}, {"dbf", "dbf"},
        {"doc", ""},    {"lsx", ""},    {"", ""},
    };
    for (const auto& [ext, kind] : cases)
        EXPECT_EQ(importTypeForExtension(QString::fromLatin1(ext)), QString::fromLatin1(kind)) << ext;
    EXPECT_EQ(importFilterIndex(QStringLiteral("xls")), 3);
    EXPECT_EQ(importFilterIndex(QStringLiteral("XLS")), 0);   // the kinds are stored in lower case
}

TEST(SheetChoices, SheetsOnlyWithoutQuotesAndDollar)
{
    const QStringList catalogue = {
        "Sales$",      "'My Sheet$'",          "Totals",            "Sales$_FilterDatabase",
        "'My Sheet$'_FilterDatabase", "Sales$Print_Area", "MSysObjects$", "'O''Brien$'",
        "a#b$",        "$",
    };
    EXPECT_EQ(sheetChoices(catalogue), (QStringList{"Sales", "My Sheet", "O'Brien", "a#b"}));
}

TEST(TableChoices, SystemAndSwitchboardTablesLeftOut)
{
    EXPECT_EQ(tableChoices({"Customers", "Switchboard Items", "msysconf", "MSysObjects", "Orders", "SWITCH"}),
              (QStringList{"Customers", "Orders", "SWITCH"}));
}

TEST(AccessSelectList, LongCounterThroughCLngOtherCountersPlain)
{
    const jet::ColumnList cols = {
        {QStringLiteral("ID"), jet::dbLong, 4, jet::dbAutoIncrField},
        {QStringLiteral("Name"), jet::dbText, 50, 0},
        {QStringLiteral("Seq"), jet::dbInteger, 2, jet::dbAutoIncrField},
        {QStringLiteral("Code"), jet::dbLong, 4, 0},
    };
    EXPECT_EQ(accessSelectList(cols), QStringLiteral("CLng(T.[ID]) AS [ID], [Name], [Seq], [Code]"));
    EXPECT_EQ(accessImportSql(QStringLiteral("[a]"), QStringLiteral("/d/x.mdb"), QStringLiteral("t")),
              QStringLiteral("SELECT [a] INTO tblData FROM [/d/x.mdb].[t] AS T;"));
}

TEST(FitsReference, BracketsNeverAndSemicolonsOnlyOutsideSpecifiers)
{
    EXPECT_TRUE(fitsReference(QStringLiteral("/home/a b/list.xls"), true));
    EXPECT_FALSE(fitsReference(QStringLiteral("/home/x]/list.xls"), true));
    EXPECT_FALSE(fitsReference(QStringLiteral("/home/a;b/list.xls"), true));
    EXPECT_TRUE(fitsReference(QStringLiteral("a;b"), false));
    EXPECT_FALSE(fitsReference(QStringLiteral("Sheet] WHERE"), false));
}

TEST(AllOrNothing, AFailurePutsTheDroppedTableBack)
{
    QTemporaryDir dir;
    jet::Database db = jet::Database::open(dir.filePath(QStringLiteral("w.sys")), true);
    db.execute(QStringLiteral("CREATE TABLE tblData ([Old] TEXT(10))"));
    db.execute(QStringLiteral("INSERT INTO tblData VALUES (\"kept\")"));
    EXPECT_THROW(allOrNothing(db,
                              [&] {
                                  db.execute(QStringLiteral("DROP TABLE tblData"));
                                  db.execute(QStringLiteral("SELECT * INTO tblData FROM [%1].[nowhere]")
                                                 .arg(dir.filePath(QStringLiteral("none.sys"))));
                              }),
                 jet::JetError);
    auto rs = db.openRecordset(QStringLiteral("SELECT [Old] FROM tblData"));
    ASSERT_FALSE(rs->eof());
    EXPECT_EQ(rs->value(0).toString(), QStringLiteral("kept"));
    rs.reset();

    allOrNothing(db, [&] {
        db.execute(QStringLiteral("DROP TABLE tblData"));
        db.execute(QStringLiteral("CREATE TABLE tblData ([New] TEXT(10))"));
    });
    EXPECT_EQ(db.tableDef(QStringLiteral("tblData")).fields.at(0).name, QStringLiteral("New"));
}
