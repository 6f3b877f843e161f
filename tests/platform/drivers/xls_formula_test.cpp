// Workbooks as other programs write them: formula cells with each kind of
// stored result, blank cells past the sheet's declared area, a missing sheet
// list, a formula without its text, and one flipped bit anywhere in the
// allocation table. Each workbook is made in the test from one of our own
// writer's, its records edited; each import through the engine ends with the
// values xlrd reads in the same file, or with the refusal named.
#include "support/xls_fixture.h"
#include "support/outside_need.h"

#include "exchange/import_sources.h"
#include "platform/drivers/xls_biff.h"
#include "platform/drivers/xls_reader.h"
#include "platform/drivers/xls_writer.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

#include <functional>

namespace {

using drivers::XlsVersion;
using jet::Value;
using xlsfixture::Record;
using xlsfixture::Result;

const char* versionName(XlsVersion v) { return v == XlsVersion::Biff8 ? "Biff8" : "Biff5"; }

QString dateText(const jet::DateParts& p)
{
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(p.year, 4, 10, QChar(u'0'))
        .arg(p.month, 2, 10, QChar(u'0'))
        .arg(p.day, 2, 10, QChar(u'0'))
        .arg(p.hour, 2, 10, QChar(u'0'))
        .arg(p.minute, 2, 10, QChar(u'0'))
        .arg(p.second, 2, 10, QChar(u'0'));
}

/// A value as the comparison shows it: "Null", "n:<number>", "t:<text>" or
/// the date as "YYYY-MM-DD HH:MM:SS".
QString shown(const Value& v)
{
    switch (v.kind()) {
    case jet::Kind::Null:
        return QStringLiteral("Null");
    case jet::Kind::Date:
        return dateText(jet::toParts(v.toDate()));
    case jet::Kind::Text:
        return QStringLiteral("t:") + *v.textPtr();
    default:
        return QStringLiteral("n:") + QString::number(v.toDouble(), 'g', 17);
    }
}

/// What the engine's import should hold for a cell xlrd read: no value for
/// an empty or blank cell, an error or an empty text; a Boolean as 1 or 0.
QString shownXlrd(const QJsonValue& cell)
{
    const QJsonArray c = cell.toArray();
    const int type = c.at(0).toInt();
    switch (type) {
    case 1: {
        const QString s = c.at(1).toString();
        return s.isEmpty() ? QStringLiteral("Null") : QStringLiteral("t:") + s;
    }
    case 2:
    case 4:
        return QStringLiteral("n:") + QString::number(c.at(1).toDouble(), 'g', 17);
    case 3:
        return c.at(1).toString();
    default:
        return QStringLiteral("Null");
    }
}

/// The sheet's data rows (the first row gives the names) as xlrd reads them.
std::vector<QStringList> xlrdRows(const xlsfixture::XlrdSheet& x, int columns)
{
    std::vector<QStringList> out;
    for (qsizetype r = 1; r < x.rows.size(); ++r) {
        QStringList row;
        const QJsonArray cells = x.rows.at(r).toArray();
        for (int c = 0; c < columns; ++c)
            row << (c < cells.size() ? shownXlrd(cells.at(c)) : QStringLiteral("Null"));
        out.push_back(row);
    }
    return out;
}

long long xlrdErrors(const xlsfixture::XlrdSheet& x)
{
    long long n = 0;
    for (qsizetype r = 1; r < x.rows.size(); ++r)
        for (const QJsonValue& cell : x.rows.at(r).toArray())
            n += cell.toArray().at(0).toInt() == 5;
    return n;
}

struct Imported {
    QString error;   ///< the engine's refusal
    jet::TableDef def;
    std::vector<QStringList> rows;
    long long formulaErrors = 0;
};

/// The worksheet chooser's import statement, run through the engine.
Imported importSheet(const QString& dir, const QString& book)
{
    Imported out;
    jet::Database db = jet::Database::open(dir + QStringLiteral("/work.sys"), true);
    try {
        drivers::takeExcelFormulaErrors();
        db.execute(QStringLiteral("SELECT * INTO tblData FROM ") + exchange::excelSource(book, QStringLiteral("S"), true),
                   jet::dbFailOnError);
        out.formulaErrors = drivers::takeExcelFormulaErrors();
    } catch (const jet::JetError& e) {
        out.error = e.description();
        return out;
    }
    out.def = db.tableDef(QStringLiteral("tblData"));
    auto rs = db.openRecordset(QStringLiteral("SELECT * FROM tblData"), jet::dbOpenSnapshot);
    for (; !rs->eof(); rs->moveNext()) {
        QStringList row;
        for (int i = 0; i < rs->fieldCount(); ++i)
            row << shown(rs->value(i));
        out.rows.push_back(row);
    }
    return out;
}

jet::ColumnInfo column(const char* name, int type)
{
    jet::ColumnInfo c;
    c.name = QString::fromLatin1(name);
    c.type = type;
    return c;
}

Value serial(double d) { return Value(jet::DateTime{d}); }

class XlsFormulas : public ::testing::TestWithParam<XlsVersion> {
protected:
    QTemporaryDir dir;
};

INSTANTIATE_TEST_SUITE_P(Versions, XlsFormulas, ::testing::Values(XlsVersion::Biff8, XlsVersion::Biff5),
                         [](const auto& info) { return std::string(versionName(info.param)); });

// Each column holds formulas of one kind of result; the placeholders our
// writer stores (numbers, and date serials in the date column) are turned
// into formula cells with the result named.
TEST_P(XlsFormulas, EveryKindOfResultComesInAsXlrdReadsIt)
{
    const bool v8 = GetParam() == XlsVersion::Biff8;
    struct ColumnCase {
        const char* name;
        int wantType;
        std::vector<Result> results;   ///< one per row
    };
    const QString farText = v8 ? QStringLiteral("\u0141\u00f3d\u017a \u65e5\u672c") : QStringLiteral("Z\u00f6e \u00c5ngstr\u00f6m");
    const std::vector<ColumnCase> cases = {
        {"Total", jet::dbDouble, {Result::num(12.5), Result::num(-3), Result::num(1e10), Result::num(0)}},
        {"Name", jet::dbText, {Result::str(QStringLiteral("Ann Lee")), Result::str(farText), Result::str(QStringLiteral("x")),
                               Result::str(QStringLiteral("Bob"))}},
        {"Flag", jet::dbDouble, {Result::boolean(true), Result::boolean(false), Result::boolean(true), Result::boolean(false)}},
        // Errors come in empty and do not decide the column's type.
        {"Code", jet::dbDouble, {Result::error(0x2A), Result::num(7), Result::error(0x07), Result::num(8)}},
        // An empty text is no value: a column of numbers with "" stays numbers.
        {"Blank", jet::dbDouble, {Result::emptyText(), Result::num(4), Result::num(5), Result::emptyText()}},
        // A formula in a cell formatted as a date gives a date.
        {"When", jet::dbDate, {Result::num(43890.5729166667), Result::num(36526), Result::num(61.25), Result::num(2958465)}},
    };
    jet::ColumnList columns;
    std::vector<std::vector<Value>> rows(4);
    std::map<double, Result> formulas;
    double next = 1001;
    for (const ColumnCase& c : cases) {
        const bool date = c.wantType == jet::dbDate;
        columns.push_back(column(c.name, date ? jet::dbDate : jet::dbDouble));
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const double placeholder = next++;
            rows[r].push_back(date ? serial(placeholder) : Value(placeholder));
            formulas[placeholder] = c.results[r];
        }
    }
    const QString book = dir.filePath(QStringLiteral("formulas.xls"));
    QString why;
    ASSERT_TRUE(drivers::writeXls(book, GetParam(), QStringLiteral("S"), columns, rows, &why)) << why.toStdString();
    ASSERT_TRUE(xlsfixture::putFormulas(book, formulas));

    const xlsfixture::XlrdSheet x = xlsfixture::xlrdRead(book);
    ASSERT_TRUE(x.error.isEmpty()) << x.error.toStdString();
    ASSERT_EQ(x.rows.size(), 5);
    const Imported got = importSheet(dir.path(), book);
    ASSERT_TRUE(got.error.isEmpty()) << got.error.toStdString();

    const std::vector<QStringList> want = xlrdRows(x, int(cases.size()));
    ASSERT_EQ(got.rows.size(), want.size());
    for (std::size_t r = 0; r < want.size(); ++r)
        EXPECT_EQ(got.rows[r].join(u'|').toStdString(), want[r].join(u'|').toStdString()) << "row " << r + 1;
    ASSERT_EQ(got.def.fields.size(), cases.size());
    for (std::size_t c = 0; c < cases.size(); ++c) {
        EXPECT_EQ(got.def.fields[c].name, QString::fromLatin1(cases[c].name));
        EXPECT_EQ(got.def.fields[c].type, cases[c].wantType) << cases[c].name;
    }
    // The stored results themselves, beside xlrd's reading of them.
    EXPECT_EQ(got.rows[1][1], QStringLiteral("t:") + farText);
    EXPECT_EQ(got.rows[0][2], QStringLiteral("n:1"));
    EXPECT_EQ(got.rows[0][5], QStringLiteral("2020-02-29 13:45:00"));
    EXPECT_EQ(got.formulaErrors, 2);
    EXPECT_EQ(got.formulaErrors, xlrdErrors(x));
}

// A sheet's records as other programs leave them.
struct Shape {
    const char* name;
    std::function<void(std::vector<Record>&, bool biff8)> edit;
    const char* refusal;   ///< nullptr: the values xlrd reads
};

void PrintTo(const Shape& s, std::ostream* os) { *os << s.name; }

/// The index of the first record of that type, or -1.
long long find(const std::vector<Record>& recs, std::uint16_t id)
{
    for (std::size_t i = 0; i < recs.size(); ++i)
        if (recs[i].id == id)
            return static_cast<long long>(i);
    return -1;
}

/// Adds a record just before the sheet's WINDOW2 (after its cells).
void addCell(std::vector<Record>& recs, Record r)
{
    const long long at = find(recs, 0x023E);
    ASSERT_GT(at, 0);
    recs.insert(recs.begin() + at, std::move(r));
}

/// The sheet's declared rows and columns (past its last ones).
std::pair<unsigned, unsigned> area(const std::vector<Record>& recs, bool biff8)
{
    const Record& d = recs[std::size_t(find(recs, 0x0200))];
    return {biff8 ? xlsfixture::u32(d.body, 4) : xlsfixture::u16(d.body, 2), xlsfixture::u16(d.body, biff8 ? 10 : 6)};
}

std::string cellHead(unsigned row, unsigned col) { return xlsfixture::le16(row) + xlsfixture::le16(col) + xlsfixture::le16(15); }

class XlsShapes : public ::testing::TestWithParam<std::tuple<Shape, XlsVersion>> {
protected:
    QTemporaryDir dir;
};

TEST_P(XlsShapes, ComeInAsXlrdReadsThemOrAreRefusedWithTheReason)
{
    const auto& [shape, version] = GetParam();
    const QString book = dir.filePath(QStringLiteral("shape.xls"));
    jet::ColumnList columns = {column("Name", jet::dbText), column("Amount", jet::dbDouble), column("Note", jet::dbText)};
    const std::vector<std::vector<Value>> rows = {{Value(QStringLiteral("Ann")), Value(1.5), Value(901.0)},
                                                  {Value(QStringLiteral("Bob")), Value(-2.0), Value(902.0)},
                                                  {Value(QStringLiteral("Cy")), Value(3.0), Value(903.0)}};
    ASSERT_TRUE(drivers::writeXls(book, version, QStringLiteral("S"), columns, rows));
    ASSERT_TRUE(xlsfixture::putFormulas(book, {{901.0, Result::str(QStringLiteral("first"))},
                                               {902.0, Result::str(QStringLiteral("second"))},
                                               {903.0, Result::str(QStringLiteral("third"))}}));
    ASSERT_TRUE(xlsfixture::editRecords(book, shape.edit));

    const Imported got = importSheet(dir.path(), book);
    if (shape.refusal) {
        EXPECT_TRUE(got.error.contains(QString::fromLatin1(shape.refusal))) << got.error.toStdString();
        EXPECT_FALSE(got.error.contains(QStringLiteral("External table is not in the expected format")));
        // The import procedure's road, which lists the sheets first.
        try {
            exchange::workbookCatalog(book);
            drivers::XlsWorkbook wb;
            QString why;
            ASSERT_TRUE(wb.open(book, &why));
            drivers::XlsTable t;
            EXPECT_FALSE(wb.readSheet(0, {}, t, &why));
            EXPECT_TRUE(why.contains(QString::fromLatin1(shape.refusal))) << why.toStdString();
        } catch (const jet::JetError& e) {
            EXPECT_TRUE(e.description().contains(QString::fromLatin1(shape.refusal))) << e.description().toStdString();
        }
        return;
    }
    ASSERT_TRUE(got.error.isEmpty()) << got.error.toStdString();
    const xlsfixture::XlrdSheet x = xlsfixture::xlrdRead(book);
    ASSERT_TRUE(x.error.isEmpty()) << x.error.toStdString();
    const std::vector<QStringList> want = xlrdRows(x, 3);
    ASSERT_EQ(got.rows.size(), want.size());
    for (std::size_t r = 0; r < want.size(); ++r)
        EXPECT_EQ(got.rows[r].join(u'|').toStdString(), want[r].join(u'|').toStdString()) << "row " << r + 1;
    ASSERT_EQ(got.def.fields.size(), 3u);
    EXPECT_EQ(got.def.fields[1].type, jet::dbDouble);
    EXPECT_EQ(got.def.fields[2].type, jet::dbText);
}

const Shape kShapes[] = {
    {"AsWritten", [](std::vector<Record>&, bool) {}, nullptr},
    {"BlankPastTheDeclaredArea",
     [](std::vector<Record>& recs, bool v8) {
         const auto [rows, cols] = area(recs, v8);
         addCell(recs, {0x0201, cellHead(rows, 0), -1});   // one row past the last
         // A run of blanks in the two columns past the last.
         addCell(recs, {0x00BE, cellHead(1, cols) + xlsfixture::le16(15) + xlsfixture::le16(cols + 1), -1});
     },
     nullptr},
    {"NumberPastTheDeclaredArea",
     [](std::vector<Record>& recs, bool v8) {
         addCell(recs, {0x0203, cellHead(area(recs, v8).first, 0) + xlsfixture::le64(9), -1});
     },
     "a cell lies outside the area its sheet declares"},
    // Cells not stored row by row: the sheet is read whole first.
    {"RowsOutOfOrder",
     [](std::vector<Record>& recs, bool) {
         // Row 1's cells (a formula's text with its formula) go after the last row's.
         static const std::set<std::uint16_t> cells = {0x0203, 0x027E, 0x00BD, 0x0204, 0x00FD,
                                                       0x0205, 0x0006, 0x0201, 0x00BE, 0x00D6};
         std::vector<Record> moved;
         bool afterFormula = false;   // the record before, moved, was a formula
         for (std::size_t i = std::size_t(find(recs, 0x0200)); i < recs.size();) {
             const bool rowOne = cells.count(recs[i].id) && xlsfixture::u16(recs[i].body, 0) == 1;
             if (rowOne || (afterFormula && recs[i].id == 0x0207)) {
                 afterFormula = recs[i].id == 0x0006;
                 moved.push_back(recs[i]);
                 recs.erase(recs.begin() + long(i));
             } else {
                 afterFormula = false;
                 ++i;
             }
         }
         ASSERT_FALSE(moved.empty());
         for (Record& r : moved)
             addCell(recs, std::move(r));
     },
     nullptr},
    {"NoSheetList", [](std::vector<Record>& recs, bool) { recs.erase(recs.begin() + find(recs, 0x0085)); },
     "the workbook's sheet list cannot be read"},
    {"FormulaWithoutItsText", [](std::vector<Record>& recs, bool) { recs.erase(recs.begin() + find(recs, 0x0207)); },
     "a formula's text result is missing"},
};

INSTANTIATE_TEST_SUITE_P(Shapes, XlsShapes,
                         ::testing::Combine(::testing::ValuesIn(kShapes),
                                            ::testing::Values(XlsVersion::Biff8, XlsVersion::Biff5)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + versionName(std::get<1>(info.param));
                         });

// Every single-bit damage of the allocation table's entries that the file
// uses, in a sheet of 28 dates before 1900 (stored as LibreOffice stores
// them, as negative day counts): the workbook is refused with the reason, or
// it comes in with the very values of the sound file.
TEST(XlsAllocationDamage, OneFlippedBitNeverChangesAValue)
{
    QTemporaryDir dir;
    const QString sound = dir.filePath(QStringLiteral("sound.xls"));
    jet::ColumnList columns = {column("Born", jet::dbDate), column("Name", jet::dbText), column("Score", jet::dbDouble)};
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 28; ++i)
        rows.push_back({serial(5000.0 + i), Value(QStringLiteral("Person %1").arg(i)), Value(i * 1.25)});
    ASSERT_TRUE(drivers::writeXls(sound, XlsVersion::Biff8, QStringLiteral("S"), columns, rows));
    // The dates become days of the 1800s.
    std::map<double, double> early;
    for (int i = 0; i < 28; ++i)
        early[5000.0 + i] = -1000.0 * (i + 1) - 0.5;
    ASSERT_TRUE(xlsfixture::editRecords(sound, [&](std::vector<Record>& recs, bool) {
        for (Record& r : recs)
            if (r.id == 0x0203 && early.count(xlsfixture::f64(r.body, 6)))
                r.body.replace(6, 8, xlsfixture::le64(early[xlsfixture::f64(r.body, 6)]));
    }));

    auto read = [](const QString& path, QString* why) {
        drivers::XlsWorkbook wb;
        drivers::XlsTable t;
        std::vector<QStringList> out;
        if (!wb.open(path, why) || !wb.readSheet(0, {}, t, why))
            return out;
        for (const auto& row : t.rows) {
            QStringList l;
            for (const Value& v : row)
                l << shown(v);
            out.push_back(l);
        }
        return out;
    };
    QString why;
    const std::vector<QStringList> want = read(sound, &why);
    ASSERT_EQ(want.size(), 28u) << why.toStdString();
    EXPECT_EQ(want[0][0], QStringLiteral("1897-04-03 12:00:00"));   // -1000.5: 1000 days and a half before 30 December 1899
    EXPECT_EQ(want[27][0], QStringLiteral("1823-05-02 12:00:00"));
    // The names and scores are xlrd's.
    const xlsfixture::XlrdSheet x = xlsfixture::xlrdRead(sound);
    ASSERT_TRUE(x.error.isEmpty()) << x.error.toStdString();
    const std::vector<QStringList> xr = xlrdRows(x, 3);
    ASSERT_EQ(xr.size(), want.size());
    for (std::size_t r = 0; r < want.size(); ++r)
        EXPECT_EQ(want[r].mid(1), xr[r].mid(1)) << r;

    QFile f(sound);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    f.close();
    const auto u32 = [&](qsizetype at) {
        return quint32(quint8(bytes[at])) | quint32(quint8(bytes[at + 1])) << 8 | quint32(quint8(bytes[at + 2])) << 16
            | quint32(quint8(bytes[at + 3])) << 24;
    };
    ASSERT_EQ(u32(0x2C), 1u);   // one sector of the table
    const qsizetype table = (qsizetype(u32(0x4C)) + 1) * 512;
    const qsizetype entries = bytes.size() / 512 + 2;   // the file's sectors and two unused entries past them
    const QString damaged = dir.filePath(QStringLiteral("damaged.xls"));
    int refused = 0, same = 0;
    for (qsizetype e = 0; e < entries; ++e) {
        for (int bit = 0; bit < 32; ++bit) {
            QByteArray b = bytes;
            b[table + 4 * e + bit / 8] = char(b[table + 4 * e + bit / 8] ^ (1 << (bit % 8)));
            QFile d(damaged);
            ASSERT_TRUE(d.open(QIODevice::WriteOnly | QIODevice::Truncate));
            d.write(b);
            d.close();
            why.clear();
            const std::vector<QStringList> got = read(damaged, &why);
            if (got.empty()) {
                ++refused;
                EXPECT_TRUE(why.startsWith(QStringLiteral("'%1' cannot be read as a workbook: ").arg(damaged)))
                    << "entry " << e << " bit " << bit << ": " << why.toStdString();
            } else {
                ++same;
                EXPECT_EQ(got, want) << "entry " << e << " bit " << bit;
            }
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(same, 0);   // a flip in an unused entry harms nothing
}

} // namespace

// The number formats other programs give date cells, and those of numbers,
// which must stay numbers.
TEST(XlsDateFormats, DatesAndTimesAreToldFromNumbers)
{
    const std::pair<const char*, bool> cases[] = {
        {"yyyy-mm-dd", true},
        {"[$-409]d mmmm yyyy;@", true},
        {"[h]:mm:ss", true},
        {"mm:ss.0", true},
        {"dd/mm/yy\\ hh:mm", true},
        {"General", false},
        {"@", false},
        {"0.00", false},
        {"#,##0 \"days\"", false},
        {"[Red]#,##0.00;[Blue]-#,##0.00", false},
        {"0.00E+00", false},
        {"_-* #,##0.00 \"\u20ac\"_-;-* #,##0.00 \"\u20ac\"_-", false},
    };
    for (const auto& [code, date] : cases)
        EXPECT_EQ(drivers::xlsIsDateFormat(QString::fromUtf8(code)), date) << code;
}

// A workbook of four sheets: each is listed, in order, and each reads as its
// own (their places in the stream all differ from the one our writer uses).
TEST_P(XlsFormulas, EverySheetOfTheWorkbookIsListedAndRead)
{
    const QString book = dir.filePath(QStringLiteral("four.xls"));
    ASSERT_TRUE(drivers::writeXls(book, GetParam(), QStringLiteral("First"), {column("N", jet::dbDouble)},
                                  std::vector<std::vector<Value>>{{Value(100.0)}, {Value(200.0)}}));
    ASSERT_TRUE(xlsfixture::editRecords(book, [](std::vector<Record>& recs, bool v8) {
        const long long sheetAt = find(recs, 0x0085);
        ASSERT_GE(sheetAt, 0);
        std::size_t bof = 0;
        while (bof < recs.size() && !(recs[bof].id == 0x0809 && (long long)xlsfixture::u32(recs[std::size_t(sheetAt)].body, 0) == recs[bof].origin))
            ++bof;
        ASSERT_LT(bof, recs.size());
        std::size_t eof = bof;
        while (recs[eof].id != 0x000A)
            ++eof;
        const std::vector<Record> sheet(recs.begin() + long(bof), recs.begin() + long(eof) + 1);
        std::vector<Record> copies;
        std::vector<Record> lists;
        for (int k = 1; k <= 3; ++k) {
            const long long base = 10'000'000LL * k;
            for (const Record& r : sheet) {
                Record c = r;
                c.origin = base + r.origin;
                if (c.id == 0x0203 && xlsfixture::f64(c.body, 6) == 100.0)
                    c.body.replace(6, 8, xlsfixture::le64(100.0 + k));
                copies.push_back(c);
            }
            Record list = recs[std::size_t(sheetAt)];
            list.origin = -1;
            const std::string name = "Sheet " + std::to_string(k + 1);
            list.body = xlsfixture::le32(std::uint32_t(base + sheet.front().origin)) + xlsfixture::le16(0)
                + char(name.size()) + (v8 ? std::string(1, '\0') : std::string()) + name;
            lists.push_back(list);
        }
        recs.insert(recs.begin() + long(eof) + 1, copies.begin(), copies.end());
        recs.insert(recs.begin() + sheetAt + 1, lists.begin(), lists.end());
    }));

    EXPECT_EQ(exchange::sheetChoices(exchange::workbookCatalog(book)),
              (QStringList{"First", "Sheet 2", "Sheet 3", "Sheet 4"}));
    const xlsfixture::XlrdSheet x = xlsfixture::xlrdRead(book, 3);
    ASSERT_TRUE(x.error.isEmpty()) << x.error.toStdString();
    EXPECT_EQ(x.sheets, (QStringList{"First", "Sheet 2", "Sheet 3", "Sheet 4"}));
    drivers::XlsWorkbook wb;
    QString why;
    ASSERT_TRUE(wb.open(book, &why)) << why.toStdString();
    for (int s = 0; s < 4; ++s) {
        drivers::XlsTable t;
        ASSERT_TRUE(wb.readSheet(s, {}, t, &why)) << why.toStdString();
        ASSERT_EQ(t.rows.size(), 2u);
        EXPECT_EQ(t.rows[0][0], Value(100.0 + s)) << s;
        EXPECT_EQ(t.rows[1][0], Value(200.0)) << s;
    }
    EXPECT_EQ(xlrdRows(x, 1), (std::vector<QStringList>{{"n:103"}, {"n:200"}}));
}

namespace {

// A workbook that Excel itself wrote (the sample the xlrd package ships): its
// sheets come in as xlrd reads them, and cut short or with a bit flipped
// anywhere in its first sectors it is either refused with the reason or read
// with exactly the sound file's values.
TEST(XlsForeignWorkbook, ComesInAsXlrdReadsItOrIsRefused)
{
    const QString sample = QStringLiteral("/usr/share/doc/python3-xlrd/examples/namesdemo.xls");
    QB_NEED_OUTSIDE(QFile::exists(sample), "python3-xlrd's sample workbook is not installed");
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("excel.xls"));
    ASSERT_TRUE(QFile::copy(sample, book));

    using Sheets = std::vector<std::vector<QStringList>>;
    auto read = [](const QString& path, QString* why) {
        drivers::XlsWorkbook wb;
        Sheets out;
        if (!wb.open(path, why))
            return out;
        for (int s = 0; s < wb.sheetNames().size(); ++s) {
            drivers::XlsTable t;
            if (!wb.readSheet(s, {}, t, why))
                return Sheets{};
            std::vector<QStringList> rows;
            for (const auto& row : t.rows) {
                QStringList l;
                for (const Value& v : row)
                    l << shown(v);
                rows.push_back(l);
            }
            out.push_back(rows);
        }
        return out;
    };
    QString why;
    const Sheets want = read(book, &why);
    ASSERT_FALSE(want.empty()) << why.toStdString();
    for (std::size_t s = 0; s < want.size(); ++s) {
        SCOPED_TRACE(s);
        const xlsfixture::XlrdSheet x = xlsfixture::xlrdRead(book, int(s));
        ASSERT_TRUE(x.error.isEmpty()) << x.error.toStdString();
        const int columns = want[s].empty() ? 0 : int(want[s].front().size());
        std::vector<QStringList> xr = xlrdRows(x, columns);
        // Rows with no value at the end of a sheet are no records.
        while (!xr.empty() && xr.back() == QStringList(columns, QStringLiteral("Null")))
            xr.pop_back();
        std::vector<QStringList> got = want[s];
        while (!got.empty() && got.back() == QStringList(columns, QStringLiteral("Null")))
            got.pop_back();
        // A column of mixed kinds comes in as text (IMEX=1): compare what the
        // cells say, not their kind.
        const auto flat = [](const std::vector<QStringList>& rows) {
            QStringList out;
            for (const QStringList& r : rows) {
                QStringList cells;
                for (const QString& c : r)
                    cells << (c.startsWith(QLatin1String("t:")) || c.startsWith(QLatin1String("n:")) ? c.mid(2) : c);
                out << cells.join(u'|');
            }
            return out.join(u'\n').toStdString();
        };
        // A Boolean is 1 or 0 in a number column, the engine's text of a
        // Yes/No in a text column.
        for (std::size_t r = 0; r < xr.size() && r < got.size(); ++r) {
            const QJsonArray cells = x.rows.at(qsizetype(r) + 1).toArray();
            for (int c = 0; c < columns && c < cells.size(); ++c)
                if (cells.at(c).toArray().at(0).toInt() == 4 && got[r][c].startsWith(QLatin1String("t:")))
                    xr[r][c] = QStringLiteral("t:") + Value(cells.at(c).toArray().at(1).toDouble() != 0).toString();
        }
        // A date in a text column is the text the engine gives for it.
        for (QStringList& r : xr)
            for (QString& c : r) {
                const QDateTime d = QDateTime::fromString(c, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
                if (d.isValid() && d.time() == QTime(0, 0))
                    c = d.toString(QStringLiteral("M/d/yyyy"));
            }
        EXPECT_EQ(flat(got), flat(xr)) << x.sheets.value(int(s)).toStdString();
    }

    QFile f(book);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    f.close();
    const QString damaged = dir.filePath(QStringLiteral("damaged.xls"));
    const auto write = [&](const QByteArray& b) {
        QFile d(damaged);
        ASSERT_TRUE(d.open(QIODevice::WriteOnly | QIODevice::Truncate));
        d.write(b);
    };
    int refused = 0, same = 0;
    const auto judge = [&](const std::string& what) {
        why.clear();
        const Sheets got = read(damaged, &why);
        if (got.empty()) {
            ++refused;
            EXPECT_FALSE(why.isEmpty()) << what;
        } else {
            ++same;
            EXPECT_TRUE(got == want) << what;
        }
    };
    for (const qsizetype cut : {bytes.size() / 4, bytes.size() / 2, bytes.size() - 512}) {
        write(bytes.left(cut));
        judge("cut at " + std::to_string(cut));
    }
    // The structures of the compound file: its header, its allocation table
    // and its directory, every byte of them. (A flip inside a cell's own
    // bytes is a different value that no reader can tell from the right one.)
    const auto u32 = [&](qsizetype at) {
        return quint32(quint8(bytes[at])) | quint32(quint8(bytes[at + 1])) << 8 | quint32(quint8(bytes[at + 2])) << 16
            | quint32(quint8(bytes[at + 3])) << 24;
    };
    ASSERT_EQ(u32(0x2C), 1u);   // one sector of allocation table
    std::vector<qsizetype> places;
    for (qsizetype at = 0; at < 512; ++at)
        places.push_back(at);
    for (const quint32 sector : {u32(0x4C), u32(0x30)})
        for (qsizetype at = 0; at < 512; ++at)
            places.push_back((qsizetype(sector) + 1) * 512 + at);
    for (const qsizetype at : places) {
        for (int bit = 0; bit < 8; bit += 3) {
            QByteArray b = bytes;
            b[at] = char(b[at] ^ (1 << bit));
            write(b);
            judge("byte " + std::to_string(at) + " bit " + std::to_string(bit));
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(same, 0);
}

} // namespace
