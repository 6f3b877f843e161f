// Excel export and import through the engine's SQL, as the program runs them.
#include "platform/drivers/external.h"
#include "platform/drivers/xls_writer.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

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
// starts with a byte-order mark or its swap, a surrogate pair, whether the
// table is read once or copied first. (A sheet holding half of a pair is
// refused as damaged; the damage tests read such sheets.)
TEST(ExcelThroughEngine, TextsComeInCharacterForCharacter)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("texts.xls"));
    const QChar high(0xD83D), low(0xDE00);
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

    // Both ways an outside table comes in: read once by the statement, and
    // copied first for a statement that reads it twice.
    const struct {
        const char* what;
        const char* sql;
    } ways[] = {{"read once", "SELECT [Text] INTO tblData FROM [Excel 8.0; HDR=YES; IMEX=1; Database=%1].[S$]"},
                {"read twice", "SELECT A.[Text] INTO tblData FROM [Excel 8.0; HDR=YES; IMEX=1; Database=%1].[S$] AS A "
                               "WHERE A.[N] IN (SELECT B.[N] FROM [Excel 8.0; HDR=YES; IMEX=1; Database=%1].[S$] AS B)"}};
    for (const auto& way : ways) {
        Database db = Database::open(dir.filePath(QString::fromLatin1(way.what) + QStringLiteral(".sys")), true);
        db.execute(QString::fromLatin1(way.sql).arg(file), dbFailOnError);
        auto rs = db.openRecordset(QStringLiteral("SELECT [Text] FROM tblData"), dbOpenSnapshot);
        for (const QString& want : texts) {
            ASSERT_FALSE(rs->eof()) << way.what;
            EXPECT_EQ(rs->value(0).toString().toStdU16String(), want.toStdU16String()) << way.what;
            rs->moveNext();
        }
        EXPECT_TRUE(rs->eof()) << way.what;
    }

    // Half of a pair is no character: an Excel 97-2000 sheet is not written
    // with one (the readers of such files, ours included, refuse it), and the
    // refusal names the record and the column.
    for (const QString& broken : {QStringLiteral("\uFFFEswap then half ") + high, QStringLiteral("half ") + high + QStringLiteral(" of a pair"),
                                  low + QStringLiteral(" low half first")}) {
        auto withHalf = rows;
        withHalf.push_back({Value(broken), Value(2.0)});
        const QString half = dir.filePath(QStringLiteral("half.xls"));
        QString why;
        EXPECT_FALSE(drivers::writeXls(half, drivers::XlsVersion::Biff8, QStringLiteral("S"), cols, withHalf, &why));
        EXPECT_EQ(why, QStringLiteral("The text in record 7, column [Text] holds half of a character (a lone UTF-16 "
                                      "surrogate), which an Excel worksheet cannot store."));
        EXPECT_FALSE(QFile::exists(half));
    }
}

namespace {

/// An outside table whose reader writes each row's text over the last one,
/// in one buffer, as a reader that streams its rows may.
class OneBufferDriver : public drivers::Driver {
public:
    static constexpr int kRows = 1000;

    std::unique_ptr<drivers::RowReader> read(const drivers::Spec&, const QString&) override
    {
        class Reader : public drivers::RowReader {
        public:
            Reader()
            {
                cols_.resize(1);
                cols_[0].name = QStringLiteral("Text");
                cols_[0].type = dbText;
                cols_[0].size = 255;
            }
            const jet::ColumnList& columns() const override { return cols_; }
            bool next(std::vector<Value>& row) override
            {
                std::vector<drivers::CellView> v;
                if (!nextView(v))
                    return false;
                row = {v[0].value()};
                return true;
            }
            bool nextView(std::vector<drivers::CellView>& row) override
            {
                if (at_ == kRows)
                    return false;
                const std::string text = at_ == 7 ? "zz the largest" : "row " + std::to_string(at_) + " of many";
                std::snprintf(buffer_, sizeof buffer_, "%s", text.c_str());
                row.assign(1, drivers::CellView{drivers::CellView::Kind::Utf8, 0, 0, buffer_, qsizetype(text.size())});
                ++at_;
                return true;
            }

        private:
            jet::ColumnList cols_;
            char buffer_[64] = {};
            int at_ = 0;
        };
        return std::make_unique<Reader>();
    }
    void write(const drivers::Spec&, const QString&, const jet::ColumnList&, const drivers::RowSource&) override
    {
        throw JetError(errExternal, QStringLiteral("not written"));
    }
};

} // namespace

// A statement over an outside table that keeps a value across rows (the
// largest, the first) keeps that value, not what later rows put where it was:
// from a reader that writes every row into one buffer, and from a workbook
// long enough that its rows cross from the reading child in many messages
// into one buffer that each message refills.
TEST(ExcelThroughEngine, AValueKeptAcrossRowsStaysItself)
{
    QTemporaryDir dir;
    drivers::registerDriver(QStringLiteral("ONE BUFFER"), std::make_shared<OneBufferDriver>());
    const QString file = dir.filePath(QStringLiteral("many.xls"));
    const QString pad(150, QLatin1Char('.'));
    std::vector<std::vector<Value>> rows;
    for (int r = 0; r < 60000; ++r)
        rows.push_back({Value(r == 7 ? QStringLiteral("zz the largest") + pad : QStringLiteral("row %1 of many").arg(r) + pad)});
    jet::ColumnList cols(1);
    cols[0].name = QStringLiteral("Text");
    cols[0].type = dbText;
    cols[0].size = 255;
    ASSERT_TRUE(drivers::writeXls(file, drivers::XlsVersion::Biff8, QStringLiteral("S"), cols, rows));

    const struct {
        const char* what;
        QString source;
        QString suffix;
    } cases[] = {{"one buffer", QStringLiteral("[ONE BUFFER;Database=%1].[t]").arg(dir.path()), QString()},
                 {"workbook", QStringLiteral("[Excel 8.0; HDR=YES; IMEX=1; Database=%1].[S$]").arg(file), pad}};
    for (const auto& c : cases) {
        Database db = Database::open(dir.filePath(QString::fromLatin1(c.what) + QStringLiteral(".sys")), true);
        db.execute(QStringLiteral("SELECT max([Text]) AS Most, min([Text]) AS Least INTO tblMost FROM ") + c.source,
                   dbFailOnError);
        EXPECT_EQ(dump(db, QStringLiteral("SELECT Most, Least FROM tblMost")),
                  QStringList{QStringLiteral("zz the largest") + c.suffix + QStringLiteral("|row 0 of many") + c.suffix})
            << c.what;
    }
}
