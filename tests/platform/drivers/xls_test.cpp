// The Excel drivers: what the writer stores must come back through the reader
// cell for cell, the BIFF stream must keep the format's record rules (checked
// on the raw records, since a lenient reader would forgive a broken split),
// and the reader's naming and typing rules must hold for any sheet.
#include <cmath>
#include "platform/drivers/xls_reader.h"
#include "platform/drivers/xls_writer.h"

#include "exchange/import_sources.h"
#include "platform/drivers/builtin.h"
#include "platform/jet/database.h"
#include "support/outside_need.h"
#include "support/xls_fixture.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <sys/resource.h>
#include <map>
#include <string>

// Readable failure messages for Qt strings (found by argument lookup, so in
// the global namespace).
static void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
static void PrintTo(const QStringList& l, std::ostream* os)
{
    *os << '{' << l.join(QStringLiteral("|")).toStdString() << '}';
}

using drivers::XlsReadOptions;
using drivers::XlsTable;
using drivers::XlsVersion;
using drivers::XlsWorkbook;
using jet::Value;

namespace {

jet::DateTime date(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0)
{
    return jet::toDateTime({y, m, d, hh, mm, ss});
}

QString repeated(const QString& unit, int length)
{
    QString s;
    while (s.size() < length)
        s += unit;
    return s.left(length);
}

jet::ColumnInfo column(const char* name, int type = jet::dbText)
{
    jet::ColumnInfo c;
    c.name = QString::fromUtf8(name);
    c.type = type;
    return c;
}

std::string describe(const Value& v)
{
    if (v.isNull())
        return "Null";
    QString s = v.toString();
    if (s.size() > 40)
        s = s.left(20) + QStringLiteral("...(%1 chars)").arg(s.size());
    return std::to_string(static_cast<int>(v.kind())) + ":" + s.toStdString();
}

::testing::AssertionResult sameValue(const Value& got, const Value& want)
{
    if (got == want)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << describe(got) << " instead of " << describe(want);
}

// One record of a BIFF stream.
struct Record {
    std::uint16_t id;
    std::string body;
    std::size_t offset;
};

// The workbook stream of a compound file, read through libgsf as any other
// program would find it.
std::string workbookStream(const QString& path, const char* streamName)
{
    gsf_init();
    GError* err = nullptr;
    GsfInput* in = gsf_input_stdio_new(QFile::encodeName(path).constData(), &err);
    if (!in)
        return {};
    GsfInfile* ole = gsf_infile_msole_new(in, &err);
    std::string out;
    if (ole) {
        if (GsfInput* s = gsf_infile_child_by_name(ole, streamName)) {
            const auto size = static_cast<std::size_t>(gsf_input_size(s));
            out.resize(size);
            if (size && !gsf_input_read(s, size, reinterpret_cast<guint8*>(out.data())))
                out.clear();
            g_object_unref(s);
        }
        g_object_unref(ole);
    }
    g_object_unref(in);
    if (err)
        g_error_free(err);
    return out;
}

std::uint16_t u16At(const std::string& s, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8);
}

std::uint32_t u32At(const std::string& s, std::size_t at)
{
    return u16At(s, at) | static_cast<std::uint32_t>(u16At(s, at + 2)) << 16;
}

// Records up to the second EOF (the end of the sheet); the zeros after it pad.
std::vector<Record> records(const std::string& stream)
{
    std::vector<Record> out;
    std::size_t pos = 0;
    int eofs = 0;
    while (pos + 4 <= stream.size() && eofs < 2) {
        Record r{u16At(stream, pos), {}, pos};
        const std::size_t len = u16At(stream, pos + 2);
        r.body = stream.substr(pos + 4, len);
        pos += 4 + len;
        if (r.id == 0x000A)
            ++eofs;
        out.push_back(std::move(r));
    }
    return out;
}

class XlsTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }

    XlsTable roundTrip(XlsVersion v, const jet::ColumnList& cols, const std::vector<std::vector<Value>>& rows,
                       XlsReadOptions options = {})
    {
        const QString file = path(QStringLiteral("round.xls"));
        QString error;
        EXPECT_TRUE(drivers::writeXls(file, v, QStringLiteral("Data"), cols, rows, &error))
            << error.toStdString();
        XlsWorkbook book;
        XlsTable table;
        EXPECT_TRUE(book.open(file, &error)) << error.toStdString();
        EXPECT_TRUE(book.readSheet(0, options, table, &error)) << error.toStdString();
        return table;
    }

    QTemporaryDir dir;
};

class XlsVersionTest : public XlsTest, public ::testing::WithParamInterface<XlsVersion> {};

INSTANTIATE_TEST_SUITE_P(Versions, XlsVersionTest, ::testing::Values(XlsVersion::Biff5, XlsVersion::Biff8),
                         [](const auto& info) { return info.param == XlsVersion::Biff8 ? "Biff8" : "Biff5"; });

TEST_P(XlsVersionTest, ListComesBackCellForCell)
{
    const XlsVersion v = GetParam();
    // The longest text a cell of the version takes: BIFF8's needs the string
    // table's CONTINUE records, BIFF5's fills one LABEL record.
    const int longLength = v == XlsVersion::Biff8 ? 10000 : drivers::xlsMaxTextLength(v, true);
    const QString longText = repeated(QStringLiteral("Lorem ipsum dolor sit amet, Ä "), longLength);
    const jet::ColumnList cols = {column("Name"), column("Amount", jet::dbDouble), column("Born", jet::dbDate),
                                  column("Notes", jet::dbMemo)};
    const std::vector<std::vector<Value>> rows = {
        {QString::fromUtf8("José Müller"), 1.5, date(1900, 1, 1), QStringLiteral("He said \"hi\", didn't he?")},
        {QString::fromUtf8("Zoë O'Brien"), -1234567.125, date(2023, 3, 15, 13, 45, 30), longText},
        {Value(), 0.0, date(1999, 12, 31, 23, 59, 59), Value()},
        {QString::fromUtf8("€ 5 – “quoted”"), 123456789012345.0, Value(), QStringLiteral(" padded  ")},
        {QStringLiteral("x"), 42LL, jet::DateTime{0.25}, QString()},
        {Value(), Value(), Value(), Value()},
    };

    const XlsTable t = roundTrip(v, cols, rows);

    ASSERT_EQ(t.columns.size(), cols.size());
    const int wantTypes[] = {jet::dbText, jet::dbDouble, jet::dbDate, jet::dbMemo};
    for (std::size_t c = 0; c < cols.size(); ++c) {
        EXPECT_EQ(t.columns[c].name, cols[c].name);
        EXPECT_EQ(t.columns[c].type, wantTypes[c]) << "column " << c;
    }
    ASSERT_EQ(t.rows.size(), rows.size()) << "a trailing record of Nulls must keep its row";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < cols.size(); ++c) {
            Value want = rows[r][c];
            if (want.kind() == jet::Kind::Long)
                want = want.toDouble();        // every number comes back as a double
            if (want.isText() && want.textPtr()->isEmpty())
                want = Value();                // a sheet has no empty text: an empty cell
            EXPECT_TRUE(sameValue(t.rows[r][c], want)) << "row " << r << " column " << c;
        }
    }
}

TEST_P(XlsVersionTest, DatesKeepTheirDayAcrossExcelsCalendar)
{
    // Excel counts a 29 February 1900, so its early serials differ from the
    // engine's by one; days before 1900 have no Excel serial at all and stay
    // readable as text.
    const std::vector<jet::DateTime> representable = {
        date(1900, 1, 1),      date(1900, 2, 28), date(1900, 3, 1),  date(1904, 1, 1),
        date(2000, 2, 29, 12), date(2100, 2, 28), date(2100, 3, 1),  date(2400, 2, 29, 13, 45, 30),
        date(9999, 12, 31, 23, 59, 59),           jet::DateTime{0.5},  jet::DateTime{0}, // midnight alone is a time
    };
    const std::vector<jet::DateTime> before1900 = {date(1899, 12, 31), date(1850, 6, 1, 8, 30)};
    std::vector<std::vector<Value>> rows;
    for (std::size_t i = 0; i < representable.size(); ++i)
        rows.push_back({representable[i], i < before1900.size() ? Value(before1900[i]) : Value()});

    const XlsTable t = roundTrip(GetParam(), {column("D", jet::dbDate), column("Old", jet::dbDate)}, rows);

    EXPECT_EQ(t.columns[0].type, jet::dbDate);
    EXPECT_EQ(t.columns[1].type, jet::dbText);
    ASSERT_EQ(t.rows.size(), rows.size());
    for (std::size_t i = 0; i < representable.size(); ++i)
        EXPECT_EQ(jet::storedDate(t.rows[i][0].toDate()), jet::storedDate(representable[i]));
    for (std::size_t i = 0; i < before1900.size(); ++i)
        EXPECT_EQ(t.rows[i][1], Value(jet::displayDate(before1900[i])));
}

TEST_P(XlsVersionTest, RowLimitCountsTheHeaderAndRefusesWithoutWriting)
{
    const XlsVersion v = GetParam();
    const long long fit = drivers::xlsMaxRows(v) - 1; // rows besides the header row
    for (const long long count : {fit, fit + 1}) {
        const QString file = path(QStringLiteral("rows%1.xls").arg(count));
        long long made = 0;
        QString error;
        const bool ok = drivers::writeXls(
            file, v, QStringLiteral("Data"), {column("N", jet::dbLong)},
            [&](std::vector<Value>& row) {
                if (made == count)
                    return false;
                row.push_back(Value(++made));
                return true;
            },
            &error);
        if (count == fit) {
            ASSERT_TRUE(ok) << error.toStdString();
            XlsWorkbook book;
            XlsTable t;
            ASSERT_TRUE(book.open(file, &error)) << error.toStdString();
            ASSERT_TRUE(book.readSheet(0, {}, t, &error));
            ASSERT_EQ(static_cast<long long>(t.rows.size()), fit);
            EXPECT_EQ(t.rows.back()[0], Value(static_cast<double>(fit)));
        } else {
            EXPECT_FALSE(ok);
            EXPECT_TRUE(error.contains(QStringLiteral("Too many rows"))) << error.toStdString();
            EXPECT_TRUE(error.contains(QString::number(fit))) << error.toStdString();
            EXPECT_FALSE(QFile::exists(file));
        }
    }
}

TEST_P(XlsVersionTest, RecordsKeepTheFormatsRules)
{
    const XlsVersion v = GetParam();
    const bool v8 = v == XlsVersion::Biff8;
    // Enough distinct text to overflow the string table several times, wide
    // (UTF-16) and narrow strings of uneven lengths so that splits fall inside
    // strings of both kinds; every text once more, to be shared.
    // BIFF5 text is CP1252, so its "wide" strings use that code page's own
    // letters above Latin-1.
    const QString wideUnit = v8 ? QStringLiteral("Ωμέγα€ ") : QStringLiteral("Œuvre € „ok“ ");
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 3000; ++i) {
        const QString s = i % 3 == 0 ? repeated(wideUnit, 5 + i % 17) + QString::number(i)
                                     : QStringLiteral("row %1 ").arg(i) + repeated(QStringLiteral("ab"), i % 23);
        rows.push_back({s, Value(i * 0.5)});
    }
    if (v8) {
        // The longest texts of both kinds, each needing a CONTINUE record.
        rows.push_back({repeated(QStringLiteral("жё€"), drivers::xlsMaxTextLength(v, false)), Value()});
        rows.push_back({repeated(QStringLiteral("narrow "), drivers::xlsMaxTextLength(v, true)), Value()});
    }
    const std::size_t distinct = rows.size();
    for (std::size_t i = 0; i < distinct; ++i)
        rows.push_back(rows[i]);

    const QString file = path(QStringLiteral("records.xls"));
    QString error;
    ASSERT_TRUE(drivers::writeXls(file, v, QStringLiteral("S"), {column("T"), column("N", jet::dbDouble)}, rows,
                                  &error))
        << error.toStdString();

    const std::string stream = workbookStream(file, v8 ? "Workbook" : "Book");
    ASSERT_GE(stream.size(), 4096u) << "a short stream would go to the mini-stream";
    const std::vector<Record> recs = records(stream);
    ASSERT_GE(recs.size(), 3u);
    const std::size_t limit = v8 ? 8224 : 2080;
    std::map<std::uint16_t, int> counts;
    std::size_t sheetOffset = 0;
    for (const Record& r : recs) {
        EXPECT_LE(r.body.size(), limit) << "record " << std::hex << r.id << " at " << std::dec << r.offset;
        ++counts[r.id];
        if (r.id == 0x0085)
            sheetOffset = u32At(r.body, 0);
    }
    EXPECT_EQ(recs.front().id, 0x0809);
    EXPECT_EQ(u16At(recs.front().body, 0), v8 ? 0x0600 : 0x0500);
    ASSERT_EQ(counts[0x0085], 1);
    ASSERT_LT(sheetOffset + 8, stream.size());
    EXPECT_EQ(u16At(stream, sheetOffset), 0x0809) << "BOUNDSHEET must point at the sheet's BOF";
    EXPECT_EQ(u16At(stream, sheetOffset + 6), 0x0010);
    if (v8) {
        EXPECT_GE(counts[0x003C], 5) << "the string table should need CONTINUE records";
        EXPECT_EQ(counts[0x00FD], static_cast<int>(rows.size()) + 2) << "one LABELSST per text cell";
    }

    XlsWorkbook book;
    XlsTable t;
    ASSERT_TRUE(book.open(file, &error)) << error.toStdString();
    ASSERT_TRUE(book.readSheet(0, {}, t, &error));
    ASSERT_EQ(t.rows.size(), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r)
        ASSERT_TRUE(sameValue(t.rows[r][0], rows[r][0])) << "row " << r;
}

TEST_P(XlsVersionTest, RefusesWhatASheetCannotHold)
{
    const XlsVersion v = GetParam();
    const QString tooLong = repeated(QStringLiteral("x"), drivers::xlsMaxTextLength(v, true) + 1);
    const QString tooLongWide = repeated(QStringLiteral("€"), drivers::xlsMaxTextLength(v, false) + 1);
    jet::ColumnList wide;
    for (int i = 0; i <= drivers::kXlsMaxColumns; ++i)
        wide.push_back(column("C"));
    struct Case {
        const char* what;
        jet::ColumnList cols;
        std::vector<std::vector<Value>> rows;
        const char* message;
    };
    const Case cases[] = {
        {"text too long", {column("A"), column("B")}, {{QStringLiteral("ok"), tooLong}}, "longer than"},
        {"wide text too long", {column("A")}, {{tooLongWide}}, "longer than"},
        {"257 columns", wide, {}, "Too many columns"},
        {"short row", {column("A"), column("B")}, {{QStringLiteral("only one")}}, "has 1 values for 2 columns"},
    };
    for (const Case& c : cases) {
        const QString file = path(QStringLiteral("refused.xls"));
        QString error;
        EXPECT_FALSE(drivers::writeXls(file, v, QStringLiteral("S"), c.cols, c.rows, &error)) << c.what;
        EXPECT_TRUE(error.contains(QLatin1String(c.message))) << c.what << ": " << error.toStdString();
        EXPECT_FALSE(QFile::exists(file)) << c.what;
    }
}

TEST_P(XlsVersionTest, FlagsComeBackAsNumbers)
{
    const XlsTable t = roundTrip(GetParam(), {column("F", jet::dbBoolean)}, {{true}, {false}, {Value()}});
    ASSERT_EQ(t.rows.size(), 3u);
    EXPECT_EQ(t.columns[0].type, jet::dbDouble);
    EXPECT_EQ(t.rows[0][0], Value(1.0));
    EXPECT_EQ(t.rows[1][0], Value(0.0));
    EXPECT_TRUE(t.rows[2][0].isNull());
}

// A Boolean in a column that comes in as text reads as the engine's own
// text of a Yes/No.
TEST_P(XlsVersionTest, FlagsInATextColumnAreTheEnginesTextOfAYesNo)
{
    const XlsTable t = roundTrip(GetParam(), {column("F")}, {{true}, {QStringLiteral("maybe")}, {false}, {Value()}});
    ASSERT_EQ(t.rows.size(), 4u);
    EXPECT_EQ(t.columns[0].type, jet::dbText);
    EXPECT_EQ(t.rows[0][0], Value(Value(true).toString()));
    EXPECT_EQ(t.rows[0][0], Value(QStringLiteral("True")));
    EXPECT_EQ(t.rows[1][0], Value(QStringLiteral("maybe")));
    EXPECT_EQ(t.rows[2][0], Value(QStringLiteral("False")));
    EXPECT_TRUE(t.rows[3][0].isNull());
}

// Other spreadsheet programs declare 256 columns in every sheet's DIMENSIONS
// whatever the sheet uses: the columns are those up to the last that holds a
// value or a header, and the declared area stays the bound of the cells.
TEST_P(XlsVersionTest, ColumnsEndAtTheLastUsedOneNotAtTheDeclaredArea)
{
    const QString file = path(QStringLiteral("wide.xls"));
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 5; ++i)
        rows.push_back({QStringLiteral("Name %1").arg(i), Value(i * 2.0), Value()});
    QString error;
    ASSERT_TRUE(drivers::writeXls(file, GetParam(), QStringLiteral("Data"),
                                  {column("Name"), column("Amount", jet::dbDouble), column("Notes")}, rows, &error))
        << error.toStdString();
    // Columns A and B hold values; C only its header. Then the same with
    // the header of C taken away: two columns.
    QString xlrdMissing;
    for (const bool header : {true, false}) {
        SCOPED_TRACE(header ? "with a header in C" : "two used columns");
        ASSERT_TRUE(xlsfixture::editRecords(file, [&](std::vector<xlsfixture::Record>& recs, bool biff8) {
            for (auto r = recs.begin(); r != recs.end();) {
                if (r->id == 0x0200) {
                    r->body.replace(biff8 ? 10 : 6, 2, xlsfixture::le16(256));
                } else if (!header && r->body.size() >= 4 && xlsfixture::u16(r->body, 0) == 0
                           && xlsfixture::u16(r->body, 2) == 2 && (r->id == 0x00FD || r->id == 0x0204)) {
                    r = recs.erase(r);
                    continue;
                }
                ++r;
            }
        }));
        const unsigned want = header ? 3 : 2;
        XlsWorkbook book;
        XlsTable t;
        ASSERT_TRUE(book.open(file, &error)) << error.toStdString();
        ASSERT_TRUE(book.readSheet(0, {}, t, &error)) << error.toStdString();
        ASSERT_EQ(t.columns.size(), want);
        EXPECT_EQ(t.columns[1].type, jet::dbDouble);
        ASSERT_EQ(t.rows.size(), 5u);
        EXPECT_EQ(t.rows[4][0], Value(QStringLiteral("Name 4")));
        EXPECT_EQ(t.rows[4][1], Value(8.0));

        // The import's road: SELECT ... INTO makes a table of those columns.
        jet::Database db = jet::Database::open(path(header ? QStringLiteral("work1.sys") : QStringLiteral("work2.sys")), true);
        db.execute(QStringLiteral("SELECT * INTO tblData FROM ") + exchange::excelSource(file, QStringLiteral("Data"), true),
                   jet::dbFailOnError);
        EXPECT_EQ(db.tableDef(QStringLiteral("tblData")).fields.size(), want);

        // xlrd reads the same cells.
        const xlsfixture::XlrdSheet x = xlsfixture::xlrdRead(file);
        if (x.error.startsWith(QLatin1String("xlrd is not installed")) || x.error.startsWith(QLatin1String("python3"))) {
            xlrdMissing = x.error;   // our own reading is still checked in both shapes
            continue;
        }
        ASSERT_TRUE(x.error.isEmpty()) << x.error.toStdString();
        ASSERT_EQ(x.rows.size(), 6);
        for (int r = 1; r < 6; ++r) {
            const QJsonArray row = x.rows[r].toArray();
            EXPECT_EQ(row[0].toArray()[1].toString(), *t.rows[std::size_t(r - 1)][0].textPtr());
            EXPECT_EQ(row[1].toArray()[1].toDouble(), t.rows[std::size_t(r - 1)][1].toDouble());
        }
    }
    QB_NEED_OUTSIDE(xlrdMissing.isEmpty(), xlrdMissing.toStdString());
}

TEST_F(XlsTest, HeaderAndMixedColumnOptions)
{
    // The header row holds an empty, a repeated (other case) and a dotted name.
    const jet::ColumnList cols = {column("Name"), column(""), column("name"), column(" Price.Net "), column("7")};
    const std::vector<std::vector<Value>> rows = {
        {QStringLiteral("Ann"), 1.0, QStringLiteral("a"), 12.5, QStringLiteral("n/a")},
        {QStringLiteral("Bob"), 2.0, QStringLiteral("b"), QStringLiteral("free"), date(2020, 5, 17)},
        {QStringLiteral("Cy"), 3.0, QStringLiteral("c"), 99.0, 8.0},
    };
    const QString file = path(QStringLiteral("opts.xls"));
    QString error;
    ASSERT_TRUE(drivers::writeXls(file, XlsVersion::Biff8, QStringLiteral("S"), cols, rows, &error));
    XlsWorkbook book;
    ASSERT_TRUE(book.open(file, &error)) << error.toStdString();

    const QStringList named = {"Name", "F2", "F3", "Price#Net", "7"};
    struct Case {
        const char* what;
        XlsReadOptions options;
        QStringList names;
        std::vector<int> types;
        std::vector<std::vector<Value>> rows;
    };
    const Case cases[] = {
        {"HDR=NO: default names, the names row is data",
         {false, true, -1},
         {"F1", "F2", "F3", "F4", "F5"},
         {jet::dbText, jet::dbDouble, jet::dbText, jet::dbText, jet::dbText},
         {{"Name", Value(), "name", " Price.Net ", "7"},
          {"Ann", 1.0, "a", "12.5", "n/a"},
          {"Bob", 2.0, "b", "free", "5/17/2020"},
          {"Cy", 3.0, "c", "99", "8"}}},
        {"HDR=YES, IMEX=1: mixed columns as text",
         {true, true, -1},
         named,
         {jet::dbText, jet::dbDouble, jet::dbText, jet::dbText, jet::dbText},
         {{"Ann", 1.0, "a", "12.5", "n/a"}, {"Bob", 2.0, "b", "free", "5/17/2020"}, {"Cy", 3.0, "c", "99", "8"}}},
        {"without IMEX: the kind most cells have wins, the others are Null; a tie goes to text",
         {true, false, -1},
         named,
         {jet::dbText, jet::dbDouble, jet::dbText, jet::dbDouble, jet::dbText},
         {{"Ann", 1.0, "a", 12.5, "n/a"}, {"Bob", 2.0, "b", Value(), "5/17/2020"}, {"Cy", 3.0, "c", 99.0, "8"}}},
        {"TOP 2 types the columns by the rows it reads",
         {true, true, 2},
         named,
         {jet::dbText, jet::dbDouble, jet::dbText, jet::dbText, jet::dbText},
         {{"Ann", 1.0, "a", "12.5", "n/a"}, {"Bob", 2.0, "b", "free", "5/17/2020"}}},
    };
    for (const Case& c : cases) {
        XlsTable t;
        ASSERT_TRUE(book.readSheet(0, c.options, t, &error)) << c.what;
        QStringList names;
        for (const auto& col : t.columns)
            names << col.name;
        EXPECT_EQ(names, c.names) << c.what;
        for (std::size_t i = 0; i < c.types.size() && i < t.columns.size(); ++i)
            EXPECT_EQ(t.columns[i].type, c.types[i]) << c.what << ", column " << i;
        ASSERT_EQ(t.rows.size(), c.rows.size()) << c.what;
        for (std::size_t r = 0; r < c.rows.size(); ++r)
            for (std::size_t i = 0; i < c.rows[r].size(); ++i)
                EXPECT_TRUE(sameValue(t.rows[r][i], c.rows[r][i])) << c.what << ", row " << r << " col " << i;
    }
}

TEST_F(XlsTest, LongTextMakesAMemoColumnAndEmptySheetHasOneColumn)
{
    const XlsTable memo = roundTrip(XlsVersion::Biff8, {column("T"), column("U")},
                                    {{repeated(QStringLiteral("é"), 255), repeated(QStringLiteral("é"), 256)}});
    EXPECT_EQ(memo.columns[0].type, jet::dbText);
    EXPECT_EQ(memo.columns[0].size, 255);
    EXPECT_EQ(memo.columns[1].type, jet::dbMemo);

    const XlsTable empty = roundTrip(XlsVersion::Biff8, {}, {});
    ASSERT_EQ(empty.columns.size(), 1u);
    EXPECT_EQ(empty.columns[0].name, QStringLiteral("F1"));
    EXPECT_TRUE(empty.rows.empty());
}

TEST_F(XlsTest, CatalogueNamesAndReferences)
{
    struct Case {
        const char* sheet;       // the name given to the writer
        const char* catalogue;   // what the catalogue lists
        QStringList references;  // references that must find the sheet
    };
    const Case cases[] = {
        {"Sales", "Sales$", {"Sales$", "Sales", "SALES$", "[Sales$]x"}},
        {"My Sheet", "'My Sheet$'", {"'My Sheet$'", "My Sheet$", "my sheet"}},
        {"out.xls", "'out#xls$'", {"out#xls$", "'out#xls$'", "out.xls$"}},
        {"O'Brien list", "'O''Brien list$'", {"'O''Brien list$'", "O'Brien list$"}},
        {"a/b:c*d?", "a_b_c_d_$", {"a_b_c_d_$", "'a_b_c_d_$'"}},
        {"Quite a long sheet name, cut at 31 characters", "'Quite a long sheet name, cut at$'",
         {"Quite a long sheet name, cut at$"}},
    };
    for (const Case& c : cases) {
        const QString file = path(QStringLiteral("cat.xls"));
        QString error;
        ASSERT_TRUE(drivers::writeXls(file, XlsVersion::Biff8, QString::fromUtf8(c.sheet), {column("A")},
                                      {{QStringLiteral("v")}}, &error));
        XlsWorkbook book;
        ASSERT_TRUE(book.open(file, &error)) << c.sheet;
        EXPECT_EQ(book.catalogNames(), QStringList{QString::fromUtf8(c.catalogue)}) << c.sheet;
        for (const QString& ref : c.references) {
            if (ref.startsWith(u'['))
                EXPECT_EQ(book.findSheet(ref), -1) << c.sheet << " / " << ref.toStdString();
            else
                EXPECT_EQ(book.findSheet(ref), 0) << c.sheet << " / " << ref.toStdString();
        }
        XlsTable t;
        EXPECT_FALSE(book.readSheet(QStringLiteral("Nosuch$"), {}, t, &error));
        EXPECT_TRUE(error.contains(QStringLiteral("Nosuch$")));
    }
}

TEST_F(XlsTest, WorkbookOfThe1904DayCount)
{
    const QString file = path(QStringLiteral("mac.xls"));
    QString error;
    ASSERT_TRUE(drivers::writeXls(file, XlsVersion::Biff8, QStringLiteral("S"), {column("D", jet::dbDate)},
                                  {{date(2001, 7, 4, 10, 30)}}, &error));
    // Turn the DATEMODE record (id 0x22, 2 bytes, 0) into the 1904 count: the
    // same stored serial then means a day 1462 days later.
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    const QByteArray record("\x22\x00\x02\x00\x00\x00", 6);
    const qsizetype at = bytes.indexOf(record);
    ASSERT_GE(at, 0);
    ASSERT_EQ(bytes.indexOf(record, at + 1), -1);
    bytes[at + 4] = 1;
    f.seek(0);
    f.write(bytes);
    f.close();

    XlsWorkbook book;
    XlsTable t;
    ASSERT_TRUE(book.open(file, &error)) << error.toStdString();
    EXPECT_EQ(book.dateMode(), 1904);
    ASSERT_TRUE(book.readSheet(0, {}, t, &error));
    EXPECT_EQ(jet::storedDate(t.rows[0][0].toDate()), jet::storedDate(jet::DateTime{date(2001, 7, 4, 10, 30).serial + 1462}));
}

TEST_F(XlsTest, DamagedOrForeignFilesAreRefused)
{
    const QString good = path(QStringLiteral("good.xls"));
    QString error;
    ASSERT_TRUE(drivers::writeXls(good, XlsVersion::Biff8, QStringLiteral("S"), {column("A")},
                                  {{QStringLiteral("v")}}, &error));
    QFile g(good);
    ASSERT_TRUE(g.open(QIODevice::ReadOnly));
    const QByteArray bytes = g.readAll();

    // A compound file whose stream is not a workbook.
    QByteArray zeroedStream = bytes;
    {
        // The stream's sectors need not follow each other in the file: each
        // piece of it that holds anything is found and zeroed where it is.
        const std::string stream = workbookStream(good, "Workbook");
        ASSERT_FALSE(stream.empty());
        for (std::size_t k = 0; k < stream.size(); k += 512) {
            const QByteArray piece(stream.data() + k, qsizetype(std::min<std::size_t>(512, stream.size() - k)));
            if (piece.count('\0') == piece.size())
                continue;
            const qsizetype at = zeroedStream.indexOf(piece);
            ASSERT_GE(at, 0);
            zeroedStream.replace(at, piece.size(), QByteArray(piece.size(), '\0'));
        }
    }
    struct Case {
        const char* what;
        QByteArray content; // empty: the file is not there
    };
    const Case cases[] = {
        {"missing file", {}},
        {"text file", "Name,Amount\r\nAnn,1\r\n"},
        {"first sector only", bytes.left(512)},
        {"cut in half", bytes.left(bytes.size() / 2)},
        {"stream without BIFF records", zeroedStream},
    };
    for (const Case& c : cases) {
        const QString file = path(QStringLiteral("bad.xls"));
        QFile::remove(file);
        if (!c.content.isEmpty()) {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.content);
        }
        XlsWorkbook book;
        error.clear();
        EXPECT_FALSE(book.open(file, &error)) << c.what;
        EXPECT_FALSE(error.isEmpty()) << c.what;
        EXPECT_FALSE(book.isOpen()) << c.what;
        EXPECT_TRUE(book.catalogNames().isEmpty()) << c.what;
    }
}

} // namespace

namespace {

/// Processor time (user and system) of this process's children that have
/// ended and been waited for.
double childrenCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The child that reads a sheet tells the parent it is at work while it
// checks the file, walks the records, weighs the columns and makes the rows,
// so that only silence counts against the quiet limit: a sheet whose reading
// takes many times that limit before its first row comes in whole.
TEST(XlsHeartbeat, ASheetThatTakesLongerThanTheQuietLimitComesInWhole)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("large.xls"));
    drivers::Spec spec;
    spec.kind = QStringLiteral("EXCEL 8.0");
    spec.database = file;
    spec.options.insert(QStringLiteral("HDR"), QStringLiteral("YES"));
    spec.options.insert(QStringLiteral("IMEX"), QStringLiteral("1"));

    // The child is judged on its processor time, not the clock's: the limit
    // is set from the processor time the child spends before its first row
    // (what a busy machine does not stretch), a quarter of it, so that
    // without its word of being at work the child is refused on any machine.
    // The floor keeps the limit above a scheduler's slice; the sheet is made
    // large enough that the reading before its first row takes four times
    // the floor or more.
    // Under the sanitizers the child inherits the parent's quarantine of
    // freed memory, and the first free after it fills recycles it all at
    // once: up to a second and more of work without a word, which is the
    // sanitizer's, not the reader's. There the floor is higher and the sheet
    // is not grown: the read shows only that a large sheet comes in whole
    // under a limit well below the default.
#ifdef QB_SANITIZED
    constexpr double kQuietFloor = 3.0;
    constexpr bool kShowsTheLimit = false;
#else
    constexpr double kQuietFloor = 0.2;
    constexpr bool kShowsTheLimit = true;
#endif
    int rows = 30000, columns = 30;
    auto writeSheet = [&] {
        jet::ColumnList cols;
        for (int c = 0; c < columns; ++c)
            cols.push_back(column(QStringLiteral("C%1").arg(c).toUtf8().constData(), c % 2 ? jet::dbDouble : jet::dbText));
        int at = 0;
        QString error;
        const bool ok = drivers::writeXls(file, XlsVersion::Biff8, QStringLiteral("Data"), cols,
                                          [&](std::vector<Value>& row) {
                                              if (at == rows)
                                                  return false;
                                              row.clear();
                                              for (int c = 0; c < columns; ++c)
                                                  row.push_back(c % 2 ? Value(at * 0.5 + c)
                                                                      : Value(QStringLiteral("r%1c%2").arg(at).arg(c)));
                                              ++at;
                                              return true;
                                          },
                                          &error);
        EXPECT_TRUE(ok) << error.toStdString();
        return ok;
    };
    // The child's processor time until its columns are in: the reader is
    // dropped then, which ends the child and waits for it, and the time of
    // a child waited for counts in this process's children's time. What it
    // does between sending the columns and its end is a few rows at most.
    auto cpuUntilColumns = [&] {
        const double before = childrenCpuSeconds();
        drivers::readExcelSheet(spec, QStringLiteral("Data$"));
        return childrenCpuSeconds() - before;
    };
    ASSERT_TRUE(writeSheet());
    double first = cpuUntilColumns();
    // The time has a part that does not grow with the sheet (the child's
    // start), so one estimate can fall short: grow until the reading is slow
    // enough or the sheet is as large as a sheet may be.
    for (int round = 0; kShowsTheLimit && first < 4.2 * kQuietFloor && round < 6; ++round) {
        if (rows == 65535 && columns == 250)
            break;
        const double grow = std::max(1.25, 1.2 * 4.2 * kQuietFloor / std::max(first, 0.01));
        const double cells = double(rows) * columns * grow;
        columns = int(std::min(250.0, std::ceil(cells / 65535)));
        rows = int(std::min(65535.0, std::ceil(cells / columns)));
        ASSERT_TRUE(writeSheet());
        first = cpuUntilColumns();
    }
    RecordProperty("cpu_until_columns_ms", int(first * 1000));
    if (kShowsTheLimit) {
        // The test means something only where the child works four times
        // the limit before its first row.
        ASSERT_GE(first, 4 * kQuietFloor) << "the sheet was read too fast to show the limit";
    }
    drivers::ReadLimits limits;
    limits.quietSeconds = std::max(kQuietFloor, first / 4);
    const std::unique_ptr<drivers::RowReader> reader = drivers::readExcelSheet(spec, QStringLiteral("Data$"), limits);
    ASSERT_EQ(reader->columns().size(), std::size_t(columns));
    std::vector<Value> row;
    int seen = 0;
    while (reader->next(row)) {
        if (seen == rows - 1) {
            EXPECT_EQ(row[0], Value(QStringLiteral("r%1c0").arg(seen)));
            EXPECT_EQ(row[1], Value(seen * 0.5 + 1));
        }
        ++seen;
    }
    EXPECT_EQ(seen, rows);
}

} // namespace
