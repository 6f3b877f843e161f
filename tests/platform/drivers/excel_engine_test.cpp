// Excel export and import through the engine's SQL, as the program runs them.
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
