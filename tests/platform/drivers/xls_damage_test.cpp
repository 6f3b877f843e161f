// Damaged workbooks: sound files from our writer, each with one of the
// damages readers go wrong on (a directory name longer than its field, a text
// longer than its record, a shared-text count beyond the texts, a sheet offset
// that misses the sheet, records of type 0 or shorter than their kind, an
// empty CONTINUE inside a text, a sheet without its end). Opening must fail
// with the reason, before a value is taken from the file. A zeroed sector
// anywhere in the cells or the shared texts is refused, or read as xlrd
// reads the same file.
#include "platform/drivers/xls_reader.h"
#include "platform/drivers/xls_writer.h"

#include "exchange/import_sources.h"
#include "platform/jet/error.h"
#include "support/file_bytes.h"
#include "support/outside_need.h"
#include "support/xls_fixture.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>

namespace {

using jet::Value;

/// The header of the workbook stream's first record of that type; our writer
/// puts the stream in one run of sectors right after the file's header.
qsizetype record(const QByteArray& f, unsigned type)
{
    for (qsizetype at = 512; at + 4 <= f.size();) {
        const unsigned t = static_cast<unsigned char>(f[at]) | static_cast<unsigned char>(f[at + 1]) << 8;
        if (t == type)
            return at;
        at += 4 + (static_cast<unsigned char>(f[at + 2]) | static_cast<unsigned char>(f[at + 3]) << 8);
    }
    return -1;
}

/// The reader refuses the workbook with the reason, and so does the
/// worksheet chooser's road.
void expectRefused(const QString& path, const char* reason)
{
    const QString said = QStringLiteral("'%1' cannot be read as a workbook: %2.").arg(path, QString::fromUtf8(reason));
    drivers::XlsWorkbook book;
    QString error;
    EXPECT_FALSE(book.open(path, &error));
    EXPECT_EQ(error, said);
    try {
        exchange::workbookCatalog(path);
        ADD_FAILURE() << "the damaged workbook was opened";
    } catch (const jet::JetError& e) {
        EXPECT_TRUE(e.description().contains(said)) << e.description().toStdString();
    }
}

struct Case {
    const char* name;
    drivers::XlsVersion version;
    std::function<void(QByteArray&)> damage;
    const char* reason;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class DamagedWorkbook : public ::testing::TestWithParam<Case> {};

TEST_P(DamagedWorkbook, IsRefusedWithTheReason)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("damaged.xls"));
    jet::ColumnInfo name{QStringLiteral("Name"), jet::dbText, 255, 0};
    jet::ColumnInfo score{QStringLiteral("Score"), jet::dbDouble, 8, 0};
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 20; ++i)
        rows.push_back({Value(QStringLiteral("Person %1").arg(i)), Value(i * 1.5)});
    ASSERT_TRUE(drivers::writeXls(path, GetParam().version, QStringLiteral("List"), {name, score}, rows));
    QByteArray bytes;
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        bytes = f.readAll();
    }
    drivers::XlsWorkbook sound;
    ASSERT_TRUE(sound.open(path));
    sound.close();
    GetParam().damage(bytes);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    expectRefused(path, GetParam().reason);
}

const Case kCases[] = {
    {"DirectoryNameLongerThanItsField", drivers::XlsVersion::Biff8,
     [](QByteArray& f) {
         const qsizetype entry = f.indexOf(QByteArray("W\0o\0r\0k\0b\0o\0o\0k\0", 16));
         ASSERT_GT(entry, 0);
         f[entry + 0x40] = char(0x20);
         f[entry + 0x41] = char(0xe4);
     },
     "a directory entry's name has an impossible length"},
    {"TextLongerThanItsRecord", drivers::XlsVersion::Biff5,
     [](QByteArray& f) {
         const qsizetype text = f.indexOf("Person 3");
         ASSERT_GT(text, 2);
         f[text - 2] = char(0xff);   // the LABEL's character count
         f[text - 1] = char(0x7f);
     },
     "a record of the workbook claims more text than it holds"},
    {"MoreSharedTextsThanTheTableHolds", drivers::XlsVersion::Biff8,
     [](QByteArray& f) {
         const qsizetype sst = record(f, 0x00fc);
         ASSERT_GT(sst, 0);
         f[sst + 8 + 3] = char(0x01);   // the count of unique texts grows by 2^24
     },
     "the workbook's shared texts run past their records"},
    // Cells the library would drop (and leak the text of): outside the
    // sheet's declared area, or given a second time.
    {"CellOutsideTheSheetsArea", drivers::XlsVersion::Biff5,
     [](QByteArray& f) {
         const qsizetype label = record(f, 0x0204);
         ASSERT_GT(label, 0);
         f[label + 4 + 3] = char(0x20);   // column 8192
     },
     "a cell lies outside the area its sheet declares"},
    {"CellGivenTwice", drivers::XlsVersion::Biff5,
     [](QByteArray& f) {
         const qsizetype text = f.indexOf("Person 3");
         ASSERT_GT(text, 8);
         f[text - 8] = char(0x03);   // the row of "Person 3" becomes that of "Person 2"
     },
     "a cell of a sheet is given twice"},
    {"SheetOffsetMissingTheSheet", drivers::XlsVersion::Biff8,
     [](QByteArray& f) {
         const qsizetype sheet = record(f, 0x0085);
         ASSERT_GT(sheet, 0);
         f[sheet + 4] = char(f[sheet + 4] + 1);
     },
     "a sheet's place in the workbook does not hold a sheet"},
};

INSTANTIATE_TEST_SUITE_P(Damages, DamagedWorkbook, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- damages made on the records ----

using xlsfixture::Record;

/// A sound workbook of 300 people (a name as a shared text, a score): more
/// than the 4096 bytes below which the stream is padded with zeros.
QString writePeople(const QTemporaryDir& dir, drivers::XlsVersion version)
{
    const QString path = dir.filePath(QStringLiteral("people.xls"));
    jet::ColumnInfo name{QStringLiteral("Name"), jet::dbText, 255, 0};
    jet::ColumnInfo score{QStringLiteral("Score"), jet::dbDouble, 8, 0};
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 300; ++i)
        rows.push_back({Value(QStringLiteral("Person %1").arg(i)), Value(i * 1.5)});
    EXPECT_TRUE(drivers::writeXls(path, version, QStringLiteral("List"), {name, score}, rows));
    return path;
}

std::vector<Record>::iterator first(std::vector<Record>& recs, std::uint16_t id)
{
    return std::find_if(recs.begin(), recs.end(), [&](const Record& r) { return r.id == id; });
}

/// The shared texts split inside the first text's characters into the SST
/// and a CONTINUE that starts with the text's flags again, as Excel splits
/// them; with `empty`, an empty CONTINUE stands between the two.
void splitSharedTexts(std::vector<Record>& recs, bool empty)
{
    const auto sst = first(recs, 0x00FC);
    ASSERT_NE(sst, recs.end());
    const std::string body = sst->body;
    ASSERT_GE(xlsfixture::u16(body, 8), 4);   // "Name"
    const char flags = body[10];
    ASSERT_EQ(flags & 0x0C, 0);
    const std::size_t at = 11 + 2 * (flags & 1 ? 2 : 1);
    sst->body = body.substr(0, at);
    std::vector<Record> parts;
    if (empty)
        parts.push_back({0x003C, std::string(), -1});
    parts.push_back({0x003C, std::string(1, flags) + body.substr(at), -1});
    recs.insert(sst + 1, parts.begin(), parts.end());
}

struct RecordCase {
    const char* name;
    drivers::XlsVersion version;
    std::function<void(std::vector<Record>&)> damage;
    const char* reason;
};

void PrintTo(const RecordCase& c, std::ostream* os) { *os << c.name; }

class DamagedRecords : public ::testing::TestWithParam<RecordCase> {};

TEST_P(DamagedRecords, AreRefusedWithTheReason)
{
    QTemporaryDir dir;
    const QString path = writePeople(dir, GetParam().version);
    ASSERT_TRUE(xlsfixture::editRecords(path, [](std::vector<Record>& recs, bool) { ASSERT_GT(recs.size(), 600u); }));
    drivers::XlsWorkbook sound;
    QString error;
    ASSERT_TRUE(sound.open(path, &error)) << error.toStdString();
    sound.close();
    const auto& damage = GetParam().damage;
    ASSERT_TRUE(xlsfixture::editRecords(path, [&](std::vector<Record>& recs, bool) { damage(recs); }));

    expectRefused(path, GetParam().reason);
}

const RecordCase kRecordCases[] = {
    {"CellRecordOfTypeZero", drivers::XlsVersion::Biff8,
     [](std::vector<Record>& recs) {
         const auto n = first(recs, 0x0203);
         ASSERT_NE(n, recs.end());
         n->id = 0;
     },
     "a record of the workbook is of no known kind (type 0)"},
    {"EmptyRecordOfTypeZeroAmongTheCells", drivers::XlsVersion::Biff5,
     [](std::vector<Record>& recs) {
         const auto n = first(recs, 0x0203);
         ASSERT_NE(n, recs.end());
         recs.insert(n, Record{0, std::string(), -1});
     },
     "a record of the workbook is of no known kind (type 0)"},
    {"NumberShorterThanItsKind", drivers::XlsVersion::Biff5,
     [](std::vector<Record>& recs) {
         const auto n = first(recs, 0x0203);
         ASSERT_NE(n, recs.end());
         n->body.resize(10);
     },
     "a record of the workbook is shorter than its kind needs"},
    {"SharedTextCellShorterThanItsKind", drivers::XlsVersion::Biff8,
     [](std::vector<Record>& recs) {
         const auto n = first(recs, 0x00FD);
         ASSERT_NE(n, recs.end());
         n->body.resize(8);
     },
     "a record of the workbook is shorter than its kind needs"},
    {"SharedTextIndexPastTheTable", drivers::XlsVersion::Biff8,
     [](std::vector<Record>& recs) {
         const auto n = first(recs, 0x00FD);
         ASSERT_NE(n, recs.end());
         n->body.replace(6, 4, xlsfixture::le32(100000));   // the table holds 302
     },
     "a cell refers to a shared text the workbook does not have"},
    {"EmptyContinueInsideASharedText", drivers::XlsVersion::Biff8,
     [](std::vector<Record>& recs) { splitSharedTexts(recs, true); },
     "a text of the workbook goes on in an empty CONTINUE record"},
    {"SheetEndingWithoutItsEof", drivers::XlsVersion::Biff8,
     [](std::vector<Record>& recs) {
         ASSERT_EQ(recs.back().id, 0x000A);
         recs.pop_back();
     },
     "a sheet of the workbook ends inside its records (it has no EOF record)"},
};

INSTANTIATE_TEST_SUITE_P(Damages, DamagedRecords, ::testing::ValuesIn(kRecordCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A text split across a CONTINUE as Excel splits them is no damage.
TEST(SoundRecords, SharedTextsSplitAcrossAContinueReadWhole)
{
    QTemporaryDir dir;
    const QString path = writePeople(dir, drivers::XlsVersion::Biff8);
    ASSERT_TRUE(xlsfixture::editRecords(path, [](std::vector<Record>& recs, bool) { splitSharedTexts(recs, false); }));
    drivers::XlsWorkbook book;
    QString error;
    ASSERT_TRUE(book.open(path, &error)) << error.toStdString();
    drivers::XlsTable t;
    ASSERT_TRUE(book.readSheet(0, {}, t, &error)) << error.toStdString();
    ASSERT_EQ(t.columns.size(), 2u);
    EXPECT_EQ(t.columns[0].name, QStringLiteral("Name"));
    ASSERT_EQ(t.rows.size(), 300u);
    EXPECT_EQ(t.rows[299][0], Value(QStringLiteral("Person 299")));
}

// ---- a zeroed sector, compared with xlrd ----

/// A cell as text: what a reader of the sheet would show.
QString shownCell(const Value& v)
{
    return v.isNull() ? QString() : v.isText() ? *v.textPtr() : jet::numberText(v.toDouble());
}

/// A sheet's cells as lines of "|"-joined texts, without empty cells at the
/// ends of lines and empty lines at the end.
QStringList grid(std::vector<QStringList> rows)
{
    QStringList out;
    for (QStringList& r : rows) {
        while (!r.isEmpty() && r.back().isEmpty())
            r.removeLast();
        out << r.join(u'|');
    }
    while (!out.isEmpty() && out.back().isEmpty())
        out.removeLast();
    return out;
}

/// Our reading of every cell of the first sheet (the first row as data), or
/// an empty list with the reason.
QStringList ourReading(const QString& path, QString* why)
{
    drivers::XlsWorkbook book;
    drivers::XlsTable t;
    drivers::XlsReadOptions o;
    o.firstRowHasNames = false;
    if (!book.open(path, why) || !book.readSheet(0, o, t, why))
        return {};
    std::vector<QStringList> rows;
    for (const auto& row : t.rows) {
        QStringList l;
        for (const Value& v : row)
            l << shownCell(v);
        rows.push_back(l);
    }
    return grid(rows);
}

QStringList xlrdReading(const xlsfixture::XlrdSheet& x)
{
    std::vector<QStringList> rows;
    for (const auto& row : x.rows) {
        QStringList l;
        for (const auto& cell : row.toArray()) {
            const QJsonArray c = cell.toArray();
            const int type = c[0].toInt();
            l << (type == 1 ? c[1].toString() : type == 2 ? jet::numberText(c[1].toDouble()) : QString());
        }
        rows.push_back(l);
    }
    return grid(rows);
}

TEST(ZeroedSector, InTheCellsOrTheSharedTextsIsRefusedOrReadAsXlrdReadsIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("people.xls"));
    jet::ColumnList cols = {{QStringLiteral("Name"), jet::dbText, 255, 0},
                            {QStringLiteral("City"), jet::dbText, 255, 0},
                            {QStringLiteral("Amount"), jet::dbDouble, 8, 0}};
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 1500; ++i)
        rows.push_back({Value(QStringLiteral("Person %1").arg(i)), Value(QStringLiteral("City %1").arg(i % 17)),
                        Value(i * 0.25)});
    ASSERT_TRUE(drivers::writeXls(path, drivers::XlsVersion::Biff8, QStringLiteral("People"), cols, rows));
    const QByteArray whole = testfiles::readAll(path);

    const xlsfixture::XlrdSheet sound = xlsfixture::xlrdRead(path);
    QB_NEED_OUTSIDE(!sound.error.startsWith(QLatin1String("xlrd is not installed")) && !sound.error.startsWith(QLatin1String("python3")),
                    sound.error.toStdString());
    ASSERT_TRUE(sound.error.isEmpty()) << sound.error.toStdString();
    QString why;
    const QStringList want = ourReading(path, &why);
    ASSERT_EQ(want.size(), 1501) << why.toStdString();
    ASSERT_EQ(want, xlrdReading(sound));

    // The stream's sectors may lie anywhere in the file (the writer puts the
    // sheet's first and its globals after them): each is found by its bytes,
    // at a sector's place.
    const std::string stream = xlsfixture::readStream(path);
    const auto fileOffsetOf = [&](qsizetype sector) {
        const QByteArray piece = QByteArray::fromStdString(stream.substr(std::size_t(sector) * 512, 512));
        qsizetype at = whole.indexOf(piece);
        while (at >= 0 && at % 512 != 0)
            at = whole.indexOf(piece, at + 1);
        return at;
    };
    const std::vector<Record> recs = xlsfixture::parse(stream);
    qsizetype sstFrom = -1, sstTo = -1, cellsFrom = -1, cellsTo = -1;
    for (std::size_t i = 0; i < recs.size(); ++i) {
        const Record& r = recs[i];
        if (r.id == 0x00FC)
            sstFrom = r.origin;
        if (sstFrom >= 0 && sstTo < 0 && r.id != 0x00FC && r.id != 0x003C)
            sstTo = r.origin;
        if (r.id == 0x0200)
            cellsFrom = r.origin;
        if (cellsFrom >= 0 && r.id == 0x000A)
            cellsTo = r.origin;
    }
    ASSERT_GT(sstTo - sstFrom, 8 * 512);
    ASSERT_GT(cellsTo - cellsFrom, 16 * 512);
    std::vector<qsizetype> sectors;
    for (int k = 0; k < 5; ++k) {
        sectors.push_back((sstFrom + (sstTo - sstFrom) * k / 5) / 512 + (k == 0));
        sectors.push_back((cellsFrom + (cellsTo - cellsFrom) * k / 5) / 512 + (k == 0));
    }
    sectors.push_back(cellsTo / 512);   // the sheet's last cells and its end

    const QString damaged = dir.filePath(QStringLiteral("damaged.xls"));
    int refused = 0;
    for (const qsizetype sector : sectors) {
        SCOPED_TRACE("stream sector " + std::to_string(sector));
        const qsizetype at = fileOffsetOf(sector);
        ASSERT_GE(at, 512);
        QByteArray b = whole;
        b.replace(at, 512, QByteArray(512, '\0'));
        testfiles::writeAll(damaged, b);
        why.clear();
        const QStringList got = ourReading(damaged, &why);
        const xlsfixture::XlrdSheet x = xlsfixture::xlrdRead(damaged);
        if (got.isEmpty()) {
            ++refused;
            EXPECT_TRUE(why.contains(QLatin1String("cannot be read as a workbook: "))) << why.toStdString();
            continue;
        }
        if (!x.error.isEmpty())
            EXPECT_EQ(got, want) << "xlrd refuses it: " << x.error.toStdString();
        else
            EXPECT_EQ(got, xlrdReading(x));
    }
    EXPECT_GT(refused, 0);
}

} // namespace
