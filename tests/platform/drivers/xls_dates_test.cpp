// Dates before 1900 in .xls files: LibreOffice stores them as negative day
// counts, which FreeXL's date text cannot show; a date-formatted number
// outside the years the engine holds comes in as its number. Workbooks of both versions are
// written by the program's own writer and their date numbers then set to the
// values LibreOffice stores, and the sheet is imported as the worksheet
// chooser imports it.
#include "exchange/import_sources.h"
#include "platform/drivers/xls_writer.h"
#include "platform/jet/database.h"
#include "platform/jet/types.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <gtest/gtest.h>

namespace {

jet::Value date(int y, int m, int d, int h = 0, int n = 0)
{
    return jet::Value(jet::toDateTime(jet::DateParts{y, m, d, h, n, 0}));
}

/// Replaces the 8-byte number `from` in the file by `to` (exactly once).
void patchNumber(const QString& path, double from, double to)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    const QByteArray a(reinterpret_cast<const char*>(&from), 8), b(reinterpret_cast<const char*>(&to), 8);
    const qsizetype at = bytes.indexOf(a);
    ASSERT_GE(at, 0) << from;
    ASSERT_EQ(bytes.indexOf(a, at + 1), -1) << from;
    bytes.replace(at, 8, b);
    ASSERT_TRUE(f.seek(0));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

} // namespace

TEST(XlsDates, NegativeSerialsAreTheirRealDates)
{
    struct Case {
        double stored;     ///< what LibreOffice writes
        jet::Value want;
    };
    const Case cases[] = {
        {-363, date(1899, 1, 1)},
        {-1, date(1899, 12, 29)},
        {-0.25, date(1899, 12, 29, 18, 0)},             // the time runs forward from the day before
        {-17729.5, date(1851, 6, 15, 12, 0)},
        {date(850, 3, 5).toDate().serial, date(850, 3, 5)},   // before the year 1000
    };
    for (const drivers::XlsVersion v : {drivers::XlsVersion::Biff8, drivers::XlsVersion::Biff5}) {
        SCOPED_TRACE(v == drivers::XlsVersion::Biff8 ? "Excel 8.0" : "Excel 5.0");
        QTemporaryDir dir;
        const QString book = dir.filePath(QStringLiteral("dates.xls"));
        // Placeholder dates from 2 January 1901 (serial 368) on, one per case,
        // and one real date that must stay as it is.
        std::vector<std::vector<jet::Value>> rows;
        for (size_t i = 0; i < std::size(cases); ++i)
            rows.push_back({jet::Value(jet::DateTime{368.0 + double(i)}), jet::Value(QStringLiteral("r%1").arg(i))});
        rows.push_back({date(1999, 12, 31), jet::Value("real")});
        jet::ColumnList columns(2);
        columns[0].name = QStringLiteral("Born");
        columns[0].type = jet::dbDate;
        columns[1].name = QStringLiteral("Name");
        columns[1].type = jet::dbText;
        QString why;
        ASSERT_TRUE(drivers::writeXls(book, v, QStringLiteral("Dates"), columns, rows, &why)) << why.toStdString();
        for (size_t i = 0; i < std::size(cases); ++i)
            patchNumber(book, 368.0 + double(i), cases[i].stored);

        jet::Database db = jet::Database::open(dir.filePath(QStringLiteral("work.sys")), true);
        db.execute(QStringLiteral("SELECT * INTO tblData FROM ") + exchange::excelSource(book, QStringLiteral("Dates"), true),
                   jet::dbFailOnError);
        EXPECT_EQ(db.tableDef(QStringLiteral("tblData")).fields[0].type, jet::dbDate);
        auto rs = db.openRecordset(QStringLiteral("SELECT [Born], [Name] FROM tblData"), jet::dbOpenSnapshot);
        for (const Case& c : cases) {
            ASSERT_FALSE(rs->eof());
            EXPECT_EQ(rs->value(0), c.want) << c.stored << " came in as " << rs->value(0).toString().toStdString();
            rs->moveNext();
        }
        ASSERT_FALSE(rs->eof());
        EXPECT_EQ(rs->value(0), date(1999, 12, 31));
    }
}

// A date-formatted number that is no date of the years 100 to 9999 keeps its
// number: a column of only such cells is a number column, one that also holds
// dates is mixed and comes in as text.
TEST(XlsDates, NumbersOutsideTheEnginesYearsComeInAsTheirNumbers)
{
    const double stored[] = {3'000'000, -700'000, -693'594 /* 1 January of the year 1 */, 2'958'466 /* 1/1/10000 */};
    for (const drivers::XlsVersion v : {drivers::XlsVersion::Biff8, drivers::XlsVersion::Biff5}) {
        SCOPED_TRACE(v == drivers::XlsVersion::Biff8 ? "Excel 8.0" : "Excel 5.0");
        QTemporaryDir dir;
        const QString book = dir.filePath(QStringLiteral("dates.xls"));
        // Placeholders: column Mixed from 2 January 1901 on, column Far
        // from 1 January 1902 on; Mixed's last row a real date.
        std::vector<std::vector<jet::Value>> rows;
        for (size_t i = 0; i < std::size(stored); ++i)
            rows.push_back({jet::Value(jet::DateTime{368.0 + double(i)}), jet::Value(jet::DateTime{733.0 + double(i)})});
        rows.push_back({date(1999, 12, 31), jet::Value()});
        jet::ColumnList columns(2);
        columns[0].name = QStringLiteral("Mixed");
        columns[0].type = jet::dbDate;
        columns[1].name = QStringLiteral("Far");
        columns[1].type = jet::dbDate;
        QString why;
        ASSERT_TRUE(drivers::writeXls(book, v, QStringLiteral("Dates"), columns, rows, &why)) << why.toStdString();
        for (size_t i = 0; i < std::size(stored); ++i) {
            patchNumber(book, 368.0 + double(i), stored[i]);
            patchNumber(book, 733.0 + double(i), stored[i]);
        }

        jet::Database db = jet::Database::open(dir.filePath(QStringLiteral("work.sys")), true);
        db.execute(QStringLiteral("SELECT * INTO tblData FROM ") + exchange::excelSource(book, QStringLiteral("Dates"), true),
                   jet::dbFailOnError);
        const jet::TableDef def = db.tableDef(QStringLiteral("tblData"));
        ASSERT_EQ(def.fields.size(), 2u);
        EXPECT_EQ(def.fields[0].type, jet::dbText);
        EXPECT_EQ(def.fields[1].type, jet::dbDouble);
        auto rs = db.openRecordset(QStringLiteral("SELECT [Mixed], [Far] FROM tblData"), jet::dbOpenSnapshot);
        for (const double d : stored) {
            ASSERT_FALSE(rs->eof());
            EXPECT_EQ(rs->value(0), jet::Value(jet::numberText(d)));
            EXPECT_EQ(rs->value(1), jet::Value(d));
            rs->moveNext();
        }
        ASSERT_FALSE(rs->eof());
        EXPECT_EQ(rs->value(0), jet::Value(QStringLiteral("12/31/1999")));
    }
}
