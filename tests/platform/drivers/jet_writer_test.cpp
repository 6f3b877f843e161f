// The Jet 3 and Jet 4 writer: the shipped templates and the table that
// SELECT ... INTO [;database=F].[data] adds to a copy of one, read back by
// mdbtools' own programs (mdb-ver, mdb-tables, mdb-schema, mdb-export) and by
// the program's Access reader; the refusals leave no table behind.
#include "platform/drivers/jet_writer.h"
#include "platform/drivers/mdb_fixture.h"
#include "platform/drivers/mdb_reader.h"

#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

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

    /// Fills table t of the working database with rows through one prepared statement.
    void fill(const QString& create, const std::vector<std::vector<Value>>& rows)
    {
        work.execute(create);
        jet::Connection& c = work.connection();
        const int n = rows.empty() ? 0 : static_cast<int>(rows.front().size());
        QStringList marks;
        for (int i = 0; i < n; ++i)
            marks << QStringLiteral("?");
        c.exec(QStringLiteral("BEGIN"));
        jet::Stmt ins(&c, QStringLiteral("INSERT INTO t VALUES (%1)").arg(marks.join(QLatin1Char(','))));
        for (const auto& row : rows) {
            for (int i = 0; i < n; ++i)
                ins.bind(i + 1, row[static_cast<size_t>(i)]);
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

    auto rs = work.openRecordset(QStringLiteral("SELECT [Count], [Notes] FROM [%1].[data] WHERE [Count] = 2147483647").arg(path));
    ASSERT_FALSE(rs->eof());
    EXPECT_EQ(rs->value(1).toString(), foreign);
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
         "Row 2, column 'City': the character 'Α' (U+0391) cannot be written to an Access 97 database, which keeps "
         "text in the Windows-1252 code page."},
        {"CREATE TABLE t ([City] MEMO)", Value(QStringLiteral("ok ") + QChar(0x4e2d)), true,
         "Row 2, column 'City': the character '中' (U+4e2d) cannot be written to an Access 97 database, which keeps "
         "text in the Windows-1252 code page."},
        {"CREATE TABLE t ([City] LONG)", Value(4294967296.0), false,
         "Row 2, column 'City': 4294967296 is outside the range of the column's type."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.create);
        if (c.jet3Only && !jet3())
            continue;
        work.connection().exec(QStringLiteral("DROP TABLE IF EXISTS t"));
        fill(QString::fromUtf8(c.create), {{c.value.isNumber() ? Value(1) : Value("ok")}, {c.value}});
        const QString path = templateCopy();
        try {
            exportTo(path);
            ADD_FAILURE() << "exported";
        } catch (const jet::JetError& e) {
            EXPECT_EQ(e.description(), QString::fromUtf8(c.message));
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

    // A database from elsewhere (its catalogue laid out otherwise) is left as it was.
    const QString other = dir.filePath(QStringLiteral("other.mdb"));
    mdbfixture::Table people{QStringLiteral("People"), {{QStringLiteral("Name"), mdbfixture::Text, 20}}, {{Value("Ann")}}};
    ASSERT_TRUE(mdbfixture::writeMdb(other, jet3() ? mdbfixture::Version::Jet3 : mdbfixture::Version::Jet4, {people}));
    QFile f(other);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    EXPECT_THROW(exportTo(other), jet::JetError);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

INSTANTIATE_TEST_SUITE_P(Versions, JetWriter, ::testing::Values(JetVersion::Jet3, JetVersion::Jet4),
                         [](const auto& info) { return std::string(versionName(info.param)); });

} // namespace
