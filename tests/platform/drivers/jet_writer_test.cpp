// The Jet 3 and Jet 4 writer: the shipped templates and the table that
// SELECT ... INTO [;database=F].[data] adds to a copy of one, read back by
// mdbtools' own programs (mdb-ver, mdb-tables, mdb-schema, mdb-export), by
// the program's Access reader and by its Access import; the refusals, the
// size limit and a failing write end the export with their reason.
#include "platform/drivers/jet_writer.h"

#include "exchange/import_sources.h"
#include "platform/drivers/mdb_fixture.h"
#include "platform/drivers/mdb_reader.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "support/write_limit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>
#include <functional>
#include <random>

#include <gtest/gtest.h>

namespace {

using drivers::JetVersion;
using jet::Value;

struct Output {
    int code = -1;
    QString out, err;
};

Output run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    Output r;
    if (!p.waitForFinished(60000))
        return r;
    r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

/// mdb-export's CSV: fields in double quotes with doubled quotes, rows on lines.
std::vector<QStringList> parseCsv(const QString& text)
{
    std::vector<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
        } else if (c == QLatin1Char('\n')) {
            row << field;
            rows.push_back(row);
            row.clear();
            field.clear();
        } else {
            field += c;
        }
    }
    return rows;
}

QString repeated(const QString& unit, int length)
{
    QString s;
    while (s.size() < length)
        s += unit;
    return s.left(length);
}

jet::DateTime date(int y, int m, int d, int h = 0, int mi = 0, int s = 0)
{
    return jet::toDateTime({y, m, d, h, mi, s});
}

const char* versionName(JetVersion v) { return v == JetVersion::Jet3 ? "JET3" : "JET4"; }

class JetWriter : public ::testing::TestWithParam<JetVersion> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        work = jet::Database::open(dir.filePath(QStringLiteral("work.db")), true);
    }

    bool jet3() const { return GetParam() == JetVersion::Jet3; }

    /// A fresh copy of the shipped template of this version.
    QString templateCopy(const QString& name = QStringLiteral("out.mdb"))
    {
        const QString path = dir.filePath(name);
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(QStringLiteral(QB_BINARY_DIR "/") + (jet3() ? "acs1" : "acs2"), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }

    /// Creates table t of the working database and fills it with rows through
    /// one prepared statement. Without the engine's column checks (a table as
    /// a file made before they held the range may have), a number the
    /// column's type cannot hold reaches the writer.
    void fill(const QString& create, const std::vector<std::vector<Value>>& rows, bool engineChecks = true)
    {
        if (engineChecks)
            work.execute(create);
        else
            work.connection().exec(create);
        if (rows.empty())
            return;
        jet::Connection& c = work.connection();
        const int n = static_cast<int>(rows.front().size());
        // With the engine's checks each value goes in as a write converts it.
        const jet::ColumnList cols = engineChecks ? c.columns(QStringLiteral("t")) : jet::ColumnList();
        QStringList marks;
        for (int i = 0; i < n; ++i)
            marks << QStringLiteral("?");
        c.exec(QStringLiteral("BEGIN"));
        jet::Stmt ins(&c, QStringLiteral("INSERT INTO t VALUES (%1)").arg(marks.join(QLatin1Char(','))));
        for (const auto& row : rows) {
            for (int i = 0; i < n; ++i)
                ins.bind(i + 1, engineChecks ? jet::coerce(row[static_cast<size_t>(i)], cols[static_cast<size_t>(i)].type)
                                             : row[static_cast<size_t>(i)]);
            ins.step();
            ins.reset();
        }
        c.exec(QStringLiteral("COMMIT"));
    }

    void exportTo(const QString& path) { work.execute(QStringLiteral("SELECT * INTO [;database=%1].[data] FROM t").arg(path)); }

    QTemporaryDir dir;
    jet::Database work;
};

TEST_P(JetWriter, TemplateIsAnEmptyDatabaseWithItsSystemTables)
{
    const QString path = QStringLiteral(QB_BINARY_DIR "/") + (jet3() ? "acs1" : "acs2");
    EXPECT_EQ(run(QStringLiteral("mdb-ver"), {path}).out.trimmed(), QLatin1String(versionName(GetParam())));
    const Output all = run(QStringLiteral("mdb-tables"), {QStringLiteral("-S"), QStringLiteral("-1"), path});
    EXPECT_EQ(all.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts),
              (QStringList{"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}));
    EXPECT_EQ(all.err, QString());
    EXPECT_EQ(run(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), path}).out, QString());
    EXPECT_TRUE(drivers::mdbTables(path).isEmpty());

    // The catalogue: the containers and the database object beside the tables.
    const auto rows = parseCsv(run(QStringLiteral("mdb-export"), {path, QStringLiteral("MSysObjects")}).out);
    QStringList names;
    for (size_t i = 1; i < rows.size(); ++i)
        names << rows[i].value(2) + QLatin1Char('/') + rows[i].value(3);
    EXPECT_EQ(names, (QStringList{"Tables/3", "Databases/3", "Relationships/3", "MSysDb/2", "MSysObjects/1",
                                  "MSysACEs/1", "MSysQueries/1", "MSysRelationships/1"}));
    // The templates are what the writer makes now, page for page.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.size(), drivers::emptyJetDatabase(GetParam()).size());
}

TEST_P(JetWriter, EveryColumnTypeRoundTripsThroughMdbtoolsAndTheReader)
{
    const QString accents = QStringLiteral("Zoë Ångström, café «crème» – 50 €");
    const QString foreign = jet3() ? accents : accents + QStringLiteral(" Αθήνα Ελλάδα");
    const QString longMemo = repeated(foreign + QStringLiteral(" | "), 10000);
    std::vector<std::vector<Value>> rows = {
        {Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value()},
        {Value(""), Value(""), Value(0), Value(0.0), Value(date(100, 1, 1)), Value(false), Value(0.0), Value(0),
         Value(0)},
        {Value(repeated(QStringLiteral("x"), 255)), Value(longMemo), Value(-2147483647 - 1), Value(-1.25e-7),
         Value(date(9999, 12, 31, 23, 59, 59)), Value(true), Value(-922337203685.4775), Value(-32768), Value(255)},
        {Value(foreign), Value(foreign), Value(2147483647), Value(3.14159265358979), Value(date(1899, 12, 29, 6, 0, 0)),
         Value(true), Value(1234567.8912), Value(32767), Value(1)},
        {Value("He said \"no\""), Value(repeated(foreign, 300)), Value(-1), Value(1e15), Value(date(1753, 1, 1, 12, 0, 0)),
         Value(false), Value(-0.5), Value(-1), Value(128)},
    };
    // Enough further rows for several data pages and long-value pages.
    for (int i = 0; i < 3000; ++i)
        rows.push_back({Value(QStringLiteral("Row %1").arg(i)), i % 7 ? Value() : Value(repeated(QStringLiteral("memo "), 100 + i)),
                        Value(i), Value(i / 8.0), Value(date(2000, 1, 1 + i % 28)), Value(i % 2 == 0), Value(i * 0.25),
                        Value(i % 100), Value(i % 256)});
    fill(QStringLiteral("CREATE TABLE t ([Name] TEXT(255), [Notes] MEMO, [Count] LONG, [Ratio] DOUBLE, [Born] DATETIME, "
                        "[Active] YESNO, [Price] CURRENCY, [Small] SHORT, [Tiny] BYTE)"),
         rows);
    const QString path = templateCopy();
    exportTo(path);

    EXPECT_EQ(run(QStringLiteral("mdb-ver"), {path}).out.trimmed(), QLatin1String(versionName(GetParam())));
    const Output tables = run(QStringLiteral("mdb-tables"), {QStringLiteral("-1"), path});
    EXPECT_EQ(tables.out, QStringLiteral("data\n"));
    EXPECT_EQ(tables.err, QString());

    const Output schema = run(QStringLiteral("mdb-schema"), {path, QStringLiteral("access")});
    EXPECT_EQ(schema.code, 0);
    for (const char* line : {"[Name]\t\t\tText (255)", "[Notes]\t\t\tMemo/Hyperlink", "[Count]\t\t\tLong Integer",
                             "[Ratio]\t\t\tDouble", "[Born]\t\t\tDateTime", "[Active]\t\t\tBoolean NOT NULL",
                             "[Price]\t\t\tCurrency", "[Small]\t\t\tInteger", "[Tiny]\t\t\tByte"})
        EXPECT_TRUE(schema.out.contains(QLatin1String(line))) << line << "\n" << schema.out.toStdString();

    const Output exported = run(QStringLiteral("mdb-export"),
                             {QStringLiteral("-T"), QStringLiteral("%Y-%m-%d %H:%M:%S"), QStringLiteral("-0"),
                              QStringLiteral("~"), path, QStringLiteral("data")});
    EXPECT_EQ(exported.err, QString());
    const auto csv = parseCsv(exported.out);
    ASSERT_EQ(csv.size(), rows.size() + 1);
    EXPECT_EQ(csv[0], (QStringList{"Name", "Notes", "Count", "Ratio", "Born", "Active", "Price", "Small", "Tiny"}));

    // The program's own reader, and the same rows through the engine as an import reads them.
    auto reader = drivers::readMdbTable(path, QStringLiteral("data"));
    std::vector<Value> back;
    for (size_t r = 0; r < rows.size(); ++r) {
        SCOPED_TRACE(r);
        const std::vector<Value>& want = rows[r];
        const QStringList& got = csv[r + 1];
        ASSERT_EQ(got.size(), 9);
        ASSERT_TRUE(reader->next(back));
        for (int c : {0, 1}) {
            // mdb-export prints an empty text as it prints Null; the reader tells them apart.
            const bool noText = want[c].isNull() || want[c].toString().isEmpty();
            EXPECT_EQ(got[c], noText ? QStringLiteral("~") : want[c].toString()) << c;
            EXPECT_EQ(back[c], want[c]) << c;
        }
        for (int c : {2, 7, 8}) {
            EXPECT_EQ(got[c], want[c].isNull() ? QStringLiteral("~") : QString::number(want[c].toLong())) << c;
            EXPECT_EQ(back[c].isNull() ? Value() : Value(back[c].toLong()), want[c]) << c;
        }
        for (int c : {3, 6}) {
            if (want[c].isNull()) {
                EXPECT_EQ(got[c], QStringLiteral("~"));
                EXPECT_TRUE(back[c].isNull());
                continue;
            }
            EXPECT_DOUBLE_EQ(got[c].toDouble(), want[c].toDouble()) << c << " " << got[c].toStdString();
            EXPECT_DOUBLE_EQ(back[c].toDouble(), want[c].toDouble()) << c;
        }
        EXPECT_EQ(back[4], want[4]);
        const int year = want[4].isNull() ? 0 : jet::toParts(want[4].toDate()).year;
        if (year >= 1900 && year < 9999) {   // libmdb's date text is only right in between
            EXPECT_EQ(got[4], jet::storedDate(want[4].toDate()));
        }
        // Yes/No has no Null in a Jet file: a missing flag is No.
        EXPECT_EQ(got[5], want[5].isNull() || !want[5].toBool() ? QStringLiteral("0") : QStringLiteral("1"));
        EXPECT_EQ(back[5].toBool(), !want[5].isNull() && want[5].toBool());
    }
    EXPECT_FALSE(reader->next(back));
    const QByteArray bytes = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    EXPECT_EQ(bytes.size() % (jet3() ? 2048 : 4096), 0);

    // The program's Access import: the chooser, the column types, the copy into tblData.
    EXPECT_EQ(exchange::tableChoices(exchange::accessTables(path)), QStringList{QStringLiteral("data")});
    const jet::ColumnList cols = exchange::accessTableColumns(path, QStringLiteral("data"));
    std::vector<std::pair<int, int>> types;
    for (const jet::ColumnInfo& c : cols)
        types.emplace_back(c.type, c.size);
    EXPECT_EQ(types, (std::vector<std::pair<int, int>>{{jet::dbText, 255}, {jet::dbMemo, 0}, {jet::dbLong, 4},
                                                        {jet::dbDouble, 8}, {jet::dbDate, 8}, {jet::dbBoolean, 1},
                                                        {jet::dbCurrency, 8}, {jet::dbInteger, 2}, {jet::dbByte, 1}}));
    work.execute(exchange::accessImportStatement(path, QStringLiteral("data")), jet::dbFailOnError);
    auto imported = work.openRecordset(QStringLiteral("SELECT * FROM tblData"), jet::dbOpenSnapshot);
    for (size_t r = 0; r < rows.size(); ++r, imported->moveNext()) {
        ASSERT_FALSE(imported->eof());
        for (int c = 0; c < 9; ++c) {
            const Value want = c == 5 ? Value(!rows[r][5].isNull() && rows[r][5].toBool()) : rows[r][size_t(c)];
            const Value got = imported->value(c);
            if (want.isNumber() && got.isNumber())
                EXPECT_DOUBLE_EQ(got.toDouble(), want.toDouble()) << "row " << r << " column " << c;
            else
                EXPECT_EQ(got, want) << "row " << r << " column " << c;
        }
    }
    EXPECT_TRUE(imported->eof());
}

// Jet 3 rows say where each value starts in one byte, with a jump for every
// further 256 bytes; the values here start and end on every side of those
// boundaries. Tiny rows fill pages by their row limit, and a table of more
// pages than a map row covers gets map pages of its own.
// Jet 4 keeps text of one-byte characters in its compressed form (a 0xFF 0xFE
// mark, then a byte a character) and other text as UTF-16; Jet 3 keeps the
// Windows-1252 bytes. The bytes of the file show which form was written.
TEST_P(JetWriter, TextIsStoredInTheVersionsOwnForm)
{
    const QString plain = QStringLiteral("Quietly compressed street name 4711");
    const QString greek = QStringLiteral("Οδός Αθηνών 12");
    const QString latin = QStringLiteral("Crème brûlée Straße");
    std::vector<std::vector<Value>> rows = {{Value(plain)}, {Value(latin)}};
    if (!jet3())
        rows.push_back({Value(greek)});
    fill(QStringLiteral("CREATE TABLE t ([Name] TEXT(255))"), rows);
    const QString path = templateCopy();
    exportTo(path);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    const auto utf16 = [](const QString& t) {
        return QByteArray(reinterpret_cast<const char*>(t.utf16()), t.size() * 2);   // little-endian here
    };
    if (jet3()) {
        EXPECT_TRUE(bytes.contains(plain.toLatin1()));
        EXPECT_TRUE(bytes.contains(latin.toLatin1()));   // these letters are the same bytes in Windows-1252
        EXPECT_FALSE(bytes.contains(utf16(plain)));
    } else {
        EXPECT_TRUE(bytes.contains(QByteArray("\xFF\xFE") + plain.toLatin1()));
        EXPECT_TRUE(bytes.contains(QByteArray("\xFF\xFE") + latin.toLatin1()));
        EXPECT_FALSE(bytes.contains(utf16(plain)));
        EXPECT_TRUE(bytes.contains(utf16(greek)));
    }
    auto reader = drivers::readMdbTable(path, QStringLiteral("data"));
    std::vector<Value> row;
    QStringList read;
    while (reader->next(row))
        read << row.at(0).toString();
    QStringList want{plain, latin};
    if (!jet3())
        want << greek;
    EXPECT_EQ(read, want);
}

TEST_P(JetWriter, RowAndPageLayoutsAtTheirLimitsReadBack)
{
    struct Layout {
        const char* create;
        std::function<std::vector<Value>(int)> row;
        int rows;
    };
    const Layout layouts[] = {
        {"CREATE TABLE t ([A] TEXT(255), [B] TEXT(255), [C] TEXT(255), [D] LONG)",
         [](int i) {
             return std::vector<Value>{Value(repeated(QStringLiteral("a"), i)), Value(repeated(QStringLiteral("b"), 255)),
                                       i % 3 ? Value(repeated(QStringLiteral("c"), 255 - i)) : Value(), Value(i)};
         },
         256},
        {"CREATE TABLE t ([Flag] YESNO, [N] BYTE)", [](int i) { return std::vector<Value>{Value(i % 3 == 0), Value(i % 200)}; },
         1000},
        {"CREATE TABLE t ([N] LONG, [Text] TEXT(255))",
         [](int i) { return std::vector<Value>{Value(i), Value(QStringLiteral("%1 ").arg(i) + repeated(QStringLiteral("z"), 240))}; },
         12000},
        {"CREATE TABLE t ([A] TEXT(10), [B] DATETIME)", [](int) { return std::vector<Value>{}; }, 0},   // an empty list
        // Memos on each side of staying in the row, of one long-value row and
        // of whole chained pages, for both versions' page and text sizes.
        {"CREATE TABLE t ([N] LONG, [M] MEMO)",
         [](int i) {
             static const int lengths[] = {0, 1, 61, 62, 63, 64, 65, 1022, 1023, 1024, 1025, 2030, 2031, 2032, 2033,
                                           2035, 2036, 2037, 2038, 2039, 2040, 2041, 4063, 4064, 4065, 4075, 4076,
                                           4077, 6096, 6097, 6114, 6115};
             return std::vector<Value>{Value(lengths[i]), Value(repeated(QStringLiteral("m"), lengths[i]))};
         },
         32},
    };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.create);
        work.connection().exec(QStringLiteral("DROP TABLE IF EXISTS t"));
        std::vector<std::vector<Value>> rows;
        for (int i = 0; i < l.rows; ++i)
            rows.push_back(l.row(i));
        fill(QString::fromLatin1(l.create), rows);
        const QString path = templateCopy();
        exportTo(path);
        const Output exported = run(QStringLiteral("mdb-export"), {QStringLiteral("-0"), QStringLiteral("~"), path,
                                                                   QStringLiteral("data")});
        EXPECT_EQ(exported.err, QString());
        const auto csv = parseCsv(exported.out);
        ASSERT_EQ(csv.size(), rows.size() + 1);
        EXPECT_EQ(csv[0].size(), drivers::readMdbTable(path, QStringLiteral("data"))->columns().size());
        for (size_t r = 0; r < rows.size(); ++r) {
            QStringList want;
            for (const Value& v : rows[r])
                want << (v.isNull() ? QStringLiteral("~") : v.kind() == jet::Kind::Bool ? QString::number(int(v.toBool())) : v.toString());
            for (QString& w : want)
                if (w.isEmpty())
                    w = QStringLiteral("~");   // mdb-export's empty text
            ASSERT_EQ(csv[r + 1], want) << "row " << r;
        }
        if (l.rows > 10000) {   // past what a map row covers: the map is a list of map pages
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            const QByteArray bytes = f.readAll();
            const int page = jet3() ? 2048 : 4096;
            int mapPages = 0;
            for (qsizetype at = 0; at < bytes.size(); at += page)
                mapPages += bytes[at] == 0x05;
            EXPECT_GT(mapPages, 0);
        }
    }
}

// Tables of random shapes (column types, Nulls, text lengths up to a row's
// limit, so that Jet 3 rows need up to seven jumps) come back value for value.
TEST_P(JetWriter, RandomTablesReadBackValueForValue)
{
    struct Type {
        const char* sql;
        int engineType;
    };
    const Type types[] = {{"TEXT(255)", jet::dbText}, {"TEXT(20)", jet::dbText}, {"MEMO", jet::dbMemo},
                          {"LONG", jet::dbLong},      {"DOUBLE", jet::dbDouble}, {"DATETIME", jet::dbDate},
                          {"YESNO", jet::dbBoolean},  {"CURRENCY", jet::dbCurrency}, {"SHORT", jet::dbInteger},
                          {"BYTE", jet::dbByte}};
    const QString letters = jet3() ? QStringLiteral("abcXYZ éàüß€ \"',") : QStringLiteral("abcXYZ éàüß€ \"',ΑβγЖж中");
    std::mt19937 rng(7);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int table = 0; table < 8; ++table) {
        SCOPED_TRACE(table);
        const int ncols = 1 + pick(table % 2 ? 40 : 8);
        QStringList defs;
        std::vector<int> kinds;
        for (int c = 0; c < ncols; ++c) {
            kinds.push_back(pick(int(std::size(types))));
            defs << QStringLiteral("[C%1] %2").arg(c).arg(QLatin1String(types[kinds.back()].sql));
        }
        std::vector<std::vector<Value>> rows;
        for (int r = 0; r < 300; ++r) {
            std::vector<Value> row;
            int budget = (jet3() ? 1900 : 3900) / (jet3() ? 1 : 2) - 8 * ncols;   // bytes left for text in the row
            for (int c = 0; c < ncols; ++c) {
                const Type& t = types[kinds[size_t(c)]];
                if (pick(5) == 0 && t.engineType != jet::dbBoolean) {
                    row.emplace_back();
                    continue;
                }
                switch (t.engineType) {
                case jet::dbText: {
                    const int most = std::min(QString::fromLatin1(t.sql).contains(QLatin1String("20")) ? 20 : 255,
                                              std::max(budget, 0));
                    QString text;
                    for (int n = pick(most + 1); n > 0; --n)
                        text += letters[pick(int(letters.size()))];
                    budget -= int(text.size()) + 2;
                    row.emplace_back(text);
                    break;
                }
                case jet::dbMemo: {
                    QString text;
                    for (int n = pick(3) == 0 ? pick(5000) : pick(80); n > 0; --n)
                        text += letters[pick(int(letters.size()))];
                    budget -= 80;
                    row.emplace_back(text);
                    break;
                }
                case jet::dbLong: row.emplace_back(int(rng())); break;
                case jet::dbDouble: row.emplace_back(std::ldexp(double(int(rng())), pick(40) - 20)); break;
                case jet::dbDate: row.emplace_back(date(100 + pick(9899), 1 + pick(12), 1 + pick(28), pick(24), pick(60), pick(60))); break;
                case jet::dbBoolean: row.emplace_back(pick(2) == 1); break;
                case jet::dbCurrency: row.emplace_back(double(int(rng() % 2000000000) - 1000000000) / 10000.0); break;
                case jet::dbInteger: row.emplace_back(pick(65536) - 32768); break;
                default: row.emplace_back(pick(256)); break;
                }
            }
            rows.push_back(std::move(row));
        }
        work.connection().exec(QStringLiteral("DROP TABLE IF EXISTS t"));
        fill(QStringLiteral("CREATE TABLE t (%1)").arg(defs.join(QLatin1String(", "))), rows);
        const QString path = templateCopy();
        exportTo(path);
        auto reader = drivers::readMdbTable(path, QStringLiteral("data"));
        std::vector<Value> back;
        for (size_t r = 0; r < rows.size(); ++r) {
            ASSERT_TRUE(reader->next(back)) << "row " << r;
            for (int c = 0; c < ncols; ++c) {
                const Value& want = rows[r][size_t(c)];
                const Value& got = back[size_t(c)];
                if (types[kinds[size_t(c)]].engineType == jet::dbCurrency && !want.isNull())
                    ASSERT_DOUBLE_EQ(got.toDouble(), want.toDouble()) << "row " << r << " column " << c;
                else if (want.isNumber() && got.isNumber())
                    ASSERT_EQ(got.toDouble(), want.toDouble()) << "row " << r << " column " << c;
                else
                    ASSERT_EQ(got, want) << "row " << r << " column " << c;
            }
        }
        EXPECT_FALSE(reader->next(back));
    }
}

TEST_P(JetWriter, ValuesTheFileCannotHoldAreRefusedNamingRowAndColumn)
{
    struct Case {
        const char* create;
        Value value;
        bool jet3Only;
        const char* message;
    };
    const Case cases[] = {
        {"CREATE TABLE t ([City] TEXT(255))", Value("Αθήνα"), true,
         "The text in record 2, column [City] holds the character 'Α' (U+0391), which an Access 97 database cannot "
         "store (it holds the characters of Windows-1252 only).  Export to Access 2000 instead: it holds every "
         "character."},
        {"CREATE TABLE t ([City] MEMO)", Value("ok 😀"), true,
         "The text in record 2, column [City] holds the character '😀' (U+1F600), which an Access 97 database "
         "cannot store (it holds the characters of Windows-1252 only).  Export to Access 2000 instead: it holds "
         "every character."},
        {"CREATE TABLE t ([Straße Ø] TEXT(20), [Πόλη] TEXT(20))", Value("ok"), true,
         "The column name [Πόλη] holds the character 'Π' (U+03A0), which an Access 97 database cannot store (it "
         "holds the characters of Windows-1252 only).  Export to Access 2000 instead: it holds every character."},
        {"CREATE TABLE t ([City] LONG)", Value(4294967296.0), false,
         "Record 2, column [City]: 4294967296 is outside the range of the column's type."},
        {"CREATE TABLE t ([A name longer than the sixty-four characters that Access allows for one field] LONG)",
         Value(1), false,
         "The column name [A name longer than the sixty-four characters that Access allows for one field] is longer "
         "than the 64 characters an %1 field name holds."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.create);
        if (c.jet3Only && !jet3())
            continue;
        work.connection().exec(QStringLiteral("DROP TABLE IF EXISTS t"));
        const size_t columns = size_t(QString::fromUtf8(c.create).count(QLatin1Char('[')));
        fill(QString::fromUtf8(c.create),
             {std::vector<Value>(columns, c.value.isNumber() ? Value(1) : Value("ok")), std::vector<Value>(columns, c.value)},
             !c.value.isNumber());
        const QString path = templateCopy();
        try {
            exportTo(path);
            ADD_FAILURE() << "exported";
        } catch (const jet::JetError& e) {
            EXPECT_EQ(e.description(), QString::fromUtf8(c.message).replace(QLatin1String("%1"),
                                                                             jet3() ? "Access 97" : "Access 2000"));
        }
    }
    if (!jet3()) {   // what Jet 3 refuses, Jet 4 keeps
        work.connection().exec(QStringLiteral("DROP TABLE IF EXISTS t"));
        fill(QStringLiteral("CREATE TABLE t ([City] TEXT(20))"), {{Value("Αθήνα 中文")}});
        const QString path = templateCopy();
        exportTo(path);
        EXPECT_EQ(run(QStringLiteral("mdb-export"), {path, QStringLiteral("data")}).out,
                  QStringLiteral("City\n\"Αθήνα 中文\"\n"));
    }
}

// Currency holds ten-thousandths in 64 bits: up to 922,337,203,685,477.5807
// either way, each amount as its own count; a double past the range (the
// limits' nearest doubles are) is refused.
TEST_P(JetWriter, CurrencyTakesItsWholeRangeAndNothingPast)
{
    const double most = 922337203685477.5807, least = -922337203685477.5808;
    fill(QStringLiteral("CREATE TABLE t ([Price] CURRENCY)"),
         {{Value(jet::Currency{jet::kCurrencyMaxUnits})}, {Value(jet::Currency{-jet::kCurrencyMaxUnits})},
          {Value(920000000000000.0)}, {Value(-920000000000000.0)}, {Value(0.0001)}, {Value(-1234.5678)}});
    const QString path = templateCopy();
    exportTo(path);
    const Output exported = run(QStringLiteral("mdb-export"), {QStringLiteral("-H"), path, QStringLiteral("data")});
    EXPECT_EQ(exported.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts),
              (QStringList{"922337203685477.5807", "-922337203685477.5807", "920000000000000.0000",
                           "-920000000000000.0000", "0.0001", "-1234.5678"}));
    for (double past : {most, least, std::nextafter(most, 1e300), std::nextafter(least, -1e300), 1e300}) {
        SCOPED_TRACE(past);
        work.connection().exec(QStringLiteral("DROP TABLE t"));
        fill(QStringLiteral("CREATE TABLE t ([Price] CURRENCY)"), {{Value(1.0)}, {Value(past)}}, false);
        const QString refused = templateCopy(QStringLiteral("refused.mdb"));
        try {
            exportTo(refused);
            ADD_FAILURE() << "exported";
        } catch (const jet::JetError& e) {
            EXPECT_EQ(e.description(), QStringLiteral("Record 2, column [Price]: the amount is outside the range of Currency."));
        }
    }
}

TEST_P(JetWriter, AListPastTheFileLimitIsRefused)
{
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 6000; ++i)
        rows.push_back({Value(repeated(QStringLiteral("%1 ").arg(i), 200))});
    const QString path = templateCopy();
    jet::ColumnList cols{{QStringLiteral("Text"), jet::dbText, 255, 0}};
    int at = 0;
    const drivers::RowSource source = [&](std::vector<Value>& row) {
        if (at >= static_cast<int>(rows.size()))
            return false;
        row = rows[static_cast<size_t>(at++)];
        return true;
    };
    try {
        drivers::writeJetTable(path, QStringLiteral("data"), cols, source, 1 << 20);
        ADD_FAILURE() << "written past the limit";
    } catch (const jet::JetError& e) {
        EXPECT_EQ(e.description(), QStringLiteral("The list does not fit in an %1 database, which can hold at most "
                                                  "1 MB.  Export fewer rows or choose another format.")
                                       .arg(jet3() ? "Access 97" : "Access 2000"));
    }
    QFile refused(path), pristine(QStringLiteral(QB_BINARY_DIR "/") + (jet3() ? "acs1" : "acs2"));
    ASSERT_TRUE(refused.open(QIODevice::ReadOnly) && pristine.open(QIODevice::ReadOnly));
    EXPECT_EQ(refused.readAll(), pristine.readAll());   // cut back to the empty database
    // Within its limit the same list is written whole.
    at = 0;
    const QString roomy = templateCopy(QStringLiteral("roomy.mdb"));
    drivers::writeJetTable(roomy, QStringLiteral("data"), cols, source, 4 * 1024 * 1024);
    EXPECT_EQ(run(QStringLiteral("mdb-export"), {QStringLiteral("-H"), roomy, QStringLiteral("data")}).out.count(QLatin1Char('\n')), 6000);
}

// The system refuses to let the file grow past 256 KB: the export fails with
// the system's reason instead of leaving a file that looks complete.
TEST_P(JetWriter, AFailedWriteIsAnError)
{
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 3000; ++i)
        rows.push_back({Value(repeated(QStringLiteral("%1 ").arg(i), 200))});
    fill(QStringLiteral("CREATE TABLE t ([Text] TEXT(255))"), rows);
    const QString path = templateCopy();

    QString error;
    {
        const testsupport::WriteLimit full(256 * 1024);
        try {
            exportTo(path);
        } catch (const jet::JetError& e) {
            error = e.description();
        }
    }
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot write the file '%1': ").arg(path))) << error.toStdString();
}

TEST_P(JetWriter, OnlyItsOwnDatabasesTakeATableAndOnlyOnceByName)
{
    fill(QStringLiteral("CREATE TABLE t ([City] TEXT(20))"), {{Value("Paris")}});
    const QString path = templateCopy();
    exportTo(path);
    try {
        exportTo(path);
        ADD_FAILURE() << "second table of one name";
    } catch (const jet::JetError& e) {
        EXPECT_EQ(e.number(), jet::errTableExists);
    }
    // Another name goes beside it.
    work.execute(QStringLiteral("SELECT * INTO [;database=%1].[again] FROM t").arg(path));
    EXPECT_EQ(drivers::mdbTables(path), (QStringList{"data", "again"}));

    // A table refused half-way leaves the database as it was, byte for byte.
    const auto bytesOf = [](const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray before = bytesOf(path);
    std::vector<std::vector<Value>> many;
    for (int i = 0; i < 5000; ++i)
        many.push_back({Value(i % 200)});
    many.push_back({Value(4294967296.0)});   // past what a Long holds
    work.connection().exec(QStringLiteral("DROP TABLE t"));
    fill(QStringLiteral("CREATE TABLE t ([N] LONG)"), many, false);
    EXPECT_THROW(work.execute(QStringLiteral("SELECT * INTO [;database=%1].[third] FROM t").arg(path)), jet::JetError);
    EXPECT_EQ(bytesOf(path), before);

    // A database from elsewhere (its catalogue laid out otherwise) is left as it was.
    const QString other = dir.filePath(QStringLiteral("other.mdb"));
    mdbfixture::Table people{QStringLiteral("People"), {{QStringLiteral("Name"), mdbfixture::Text, 20}}, {{Value("Ann")}}};
    ASSERT_TRUE(mdbfixture::writeMdb(other, jet3() ? mdbfixture::Version::Jet3 : mdbfixture::Version::Jet4, {people}));
    const QByteArray foreign = bytesOf(other);
    EXPECT_THROW(exportTo(other), jet::JetError);
    EXPECT_EQ(bytesOf(other), foreign);
}

INSTANTIATE_TEST_SUITE_P(Versions, JetWriter, ::testing::Values(JetVersion::Jet3, JetVersion::Jet4),
                         [](const auto& info) { return std::string(versionName(info.param)); });

} // namespace
