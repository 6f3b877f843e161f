// Excel export and import through the engine's SQL, as the program runs them.
#include "platform/drivers/xls_writer.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace jet;

namespace {

QStringList dump(Database& db, const QString& sql)
{
    QStringList out;
    auto rs = db.openRecordset(sql, dbOpenSnapshot);
    while (!rs->eof()) {
        QStringList cells;
        for (int i = 0; i < rs->fieldCount(); ++i)
            cells << (rs->value(i).isNull() ? QStringLiteral("<null>") : rs->value(i).toString());
        out << cells.join(QLatin1Char('|'));
        rs->moveNext();
    }
    return out;
}

} // namespace

TEST(ExcelThroughEngine, ExportThenImportBothVersions)
{
    for (const char* version : {"Excel 8.0", "Excel 5.0"}) {
        QTemporaryDir dir;
        Database db = Database::open(dir.filePath(QStringLiteral("w.sys")), true);
        db.execute(QStringLiteral("CREATE TABLE tblData ([Name] TEXT(255), [Age] DOUBLE, [Born] DATETIME, [Note] LONGTEXT)"));
        db.execute(QStringLiteral("INSERT INTO tblData VALUES (\"José \"\"Joe\"\" Müller\", 52, #07/04/1971#, Null)"));
        db.execute(QStringLiteral("INSERT INTO tblData VALUES (\"Ann\", 3.5, #01/05/1990 13:04:05#, \"x\")"));
        const QString file = dir.filePath(QStringLiteral("out.xls"));
        db.execute(QStringLiteral("SELECT [Name], [Age], [Born], [Note] INTO [%1;Database=%2].[out.xls] FROM tblData WHERE [Age] > 1")
                       .arg(QLatin1String(version), file),
                   dbFailOnError);
        EXPECT_EQ(db.recordsAffected(), 2);
        // The file exists now: a second export into it is refused, not merged.
        EXPECT_THROW(db.execute(QStringLiteral("SELECT [Name] INTO [%1;Database=%2].[out.xls] FROM tblData").arg(QLatin1String(version), file)),
                     JetError);
        db.execute(QStringLiteral("SELECT * INTO tblBack FROM [%1; HDR=YES; IMEX=1; Database=%2].[out.xls$]")
                       .arg(QLatin1String(version), file),
                   dbFailOnError);
        EXPECT_EQ(dump(db, QStringLiteral("SELECT [Name], [Age], [Born], [Note] FROM tblBack")),
                  (QStringList{QStringLiteral("José \"Joe\" Müller|52|7/4/1971|<null>"),
                               QStringLiteral("Ann|3.5|1/5/1990 1:04:05 PM|x")}))
            << version;
        const TableDef t = db.tableDef(QStringLiteral("tblBack"));
        EXPECT_EQ(t.fields[1].type, dbDouble);
        EXPECT_EQ(t.fields[2].type, dbDate);
        db.execute(QStringLiteral("SELECT TOP 1 * INTO tblExcel_Sample FROM [%1; HDR=NO; IMEX=1; Database=%2].[out.xls$]")
                       .arg(QLatin1String(version), file));
        EXPECT_EQ(dump(db, QStringLiteral("SELECT F1 FROM tblExcel_Sample")), QStringList{QStringLiteral("Name")});
        EXPECT_THROW(db.execute(QStringLiteral("SELECT * INTO tblNo FROM [%1; HDR=YES; Database=%2].[Nope$]").arg(QLatin1String(version), file)),
                     JetError);
    }
}

// Every text of a sheet reaches the table character for character: one that
// starts with a byte-order mark or its swap, a surrogate pair. A sheet with
// half of a pair is refused.
TEST(ExcelThroughEngine, TextsComeInCharacterForCharacter)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("texts.xls"));
    const QStringList texts = {QStringLiteral("\uFEFFmark first"), QStringLiteral("\uFFFEits swap first"),
                               QStringLiteral("a pair \U0001F600 in it"), QStringLiteral("Müller € \u0800\uFFFF"),
                               QStringLiteral("plain"), QStringLiteral("\uFEFF")};
    std::vector<std::vector<Value>> rows;
    for (const QString& t : texts)
        rows.push_back({Value(t), Value(1.0)});
    jet::ColumnList cols(2);
    cols[0].name = QStringLiteral("Text");
    cols[0].type = dbText;
    cols[0].size = 255;
    cols[1].name = QStringLiteral("N");
    cols[1].type = dbDouble;
    ASSERT_TRUE(drivers::writeXls(file, drivers::XlsVersion::Biff8, QStringLiteral("S"), cols, rows));

    Database db = Database::open(dir.filePath(QStringLiteral("w.sys")), true);
    const QString import = QStringLiteral("SELECT * INTO tblData FROM [Excel 8.0; HDR=YES; IMEX=1; Database=%1].[S$]");
    db.execute(import.arg(file), dbFailOnError);
    {
        auto rs = db.openRecordset(QStringLiteral("SELECT [Text] FROM tblData"), dbOpenSnapshot);
        for (const QString& want : texts) {
            ASSERT_FALSE(rs->eof());
            EXPECT_EQ(rs->value(0).toString().toStdU16String(), want.toStdU16String());
            rs->moveNext();
        }
        EXPECT_TRUE(rs->eof());
    }

    // Half of a pair is no character: the workbook is refused with the
    // reason, not brought in with a broken text.
    rows.push_back({Value(QStringLiteral("half ") + QChar(0xD83D) + QStringLiteral(" of a pair")), Value(2.0)});
    const QString half = dir.filePath(QStringLiteral("half.xls"));
    ASSERT_TRUE(drivers::writeXls(half, drivers::XlsVersion::Biff8, QStringLiteral("S"), cols, rows));
    try {
        db.execute(QStringLiteral("DROP TABLE tblData"), dbFailOnError);
        db.execute(import.arg(half), dbFailOnError);
        ADD_FAILURE() << "a text holding half of a pair came in";
    } catch (const jet::JetError& e) {
        EXPECT_TRUE(e.description().contains(QStringLiteral("a text of the workbook holds half of a character")))
            << e.description().toStdString();
    }
}

// A statement over an outside table that keeps a value across rows (the
// largest, the first) keeps that value, not what later rows put where it was.
TEST(ExcelThroughEngine, AValueKeptAcrossRowsStaysItself)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("many.xls"));
    std::vector<std::vector<Value>> rows;
    for (int r = 0; r < 20000; ++r)
        rows.push_back({Value(r == 7 ? QStringLiteral("zz the largest") : QStringLiteral("row %1 of many").arg(r))});
    jet::ColumnList cols(1);
    cols[0].name = QStringLiteral("Text");
    cols[0].type = dbText;
    cols[0].size = 255;
    ASSERT_TRUE(drivers::writeXls(file, drivers::XlsVersion::Biff8, QStringLiteral("S"), cols, rows));

    Database db = Database::open(dir.filePath(QStringLiteral("w.sys")), true);
    db.execute(QStringLiteral("SELECT max([Text]) AS Most, min([Text]) AS Least INTO tblMost "
                              "FROM [Excel 8.0; HDR=YES; IMEX=1; Database=%1].[S$]").arg(file),
               dbFailOnError);
    EXPECT_EQ(dump(db, QStringLiteral("SELECT Most, Least FROM tblMost")),
              QStringList{QStringLiteral("zz the largest|row 0 of many")});
}
