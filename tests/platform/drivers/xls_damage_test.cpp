// Damaged workbooks: sound files from our writer, each with one of the
// damages readers go wrong on (a directory name longer than its field, a text
// longer than its record, a shared-text count beyond the texts, a sheet offset
// that misses the sheet, records of type 0 or shorter than their kind, an
// empty CONTINUE inside a text, a sheet without its end). Opening must fail
// with the reason, before a value is taken from the file. A zeroed sector
// anywhere in the cells or the shared texts is refused, or read as xlrd
// reads the same file.
#include "platform/drivers/builtin.h"
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

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <random>

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
    // A length field one too large: every record after it would be read one
    // byte out of step.
    {"SharedTextCellLengthReadingOneMore", drivers::XlsVersion::Biff8,
     [](QByteArray& f) {
         const qsizetype cell = record(f, 0x00fd);
         ASSERT_GT(cell, 0);
         ASSERT_EQ(f[cell + 2], char(10));
         f[cell + 2] = char(11);
     },
     "a record of the workbook is longer than its kind holds"},
    {"NumberLengthReadingOneMore", drivers::XlsVersion::Biff5,
     [](QByteArray& f) {
         const qsizetype cell = record(f, 0x0203);
         ASSERT_GT(cell, 0);
         ASSERT_EQ(f[cell + 2], char(14));
         f[cell + 2] = char(15);
     },
     "a record of the workbook is longer than its kind holds"},
    // The header's list of allocation-table sectors is padded with free
    // entries; one more entry there is a damaged count.
    {"TableSectorListHoldingAnUncountedSector", drivers::XlsVersion::Biff8,
     [](QByteArray& f) {
         const qsizetype counted = qsizetype(quint8(f[0x2C]));
         ASSERT_LT(counted, 109);
         f[0x4C + 4 * counted] = char(0x01);
         f[0x4C + 4 * counted + 1] = 0;
         f[0x4C + 4 * counted + 2] = 0;
         f[0x4C + 4 * counted + 3] = 0;
     },
     "its allocation table's sector list holds more sectors than it counts"},
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

/// The first shared text ("Name") replaced by `chars`, stored two bytes a
/// character; with `splitAt` the text goes on in a CONTINUE record from that
/// character, whose flags byte says two bytes (`wide`) or one.
void replaceFirstSharedText(std::vector<Record>& recs, const std::vector<char16_t>& chars, std::size_t splitAt = 0,
                            bool wide = true)
{
    const auto sst = first(recs, 0x00FC);
    ASSERT_NE(sst, recs.end());
    const std::string body = sst->body;
    const std::size_t oldChars = xlsfixture::u16(body, 8);
    ASSERT_EQ(body[10], '\0');   // one byte a character
    std::string text = xlsfixture::le16(unsigned(chars.size())) + '\x01';
    std::string rest;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        if (splitAt > 0 && i >= splitAt)
            rest += wide ? xlsfixture::le16(chars[i]) : std::string(1, char(chars[i]));
        else
            text += xlsfixture::le16(chars[i]);
    }
    sst->body = body.substr(0, 8) + text + (splitAt > 0 ? std::string() : body.substr(11 + oldChars));
    if (splitAt > 0)
        recs.insert(sst + 1, Record{0x003C, std::string(1, wide ? '\x01' : '\0') + rest + body.substr(11 + oldChars), -1});
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
    // A cell whose type became CONTINUE would drop out of the sheet.
    {"NumberTurnedIntoAContinue", drivers::XlsVersion::Biff8,
     [](std::vector<Record>& recs) {
         const auto n = first(recs, 0x0203);
         ASSERT_NE(n, recs.end());
         n->id = 0x003C;
     },
     "a CONTINUE record of the workbook goes on from a record that does not go on"},
    {"CellFormatTurnedIntoAContinue", drivers::XlsVersion::Biff5,
     [](std::vector<Record>& recs) {
         const auto xf = first(recs, 0x00E0);
         ASSERT_NE(xf, recs.end());
         (xf + 1)->id = 0x003C;
     },
     "a CONTINUE record of the workbook goes on from a record that does not go on"},
    {"LoneHighSurrogateInASharedText", drivers::XlsVersion::Biff8,
     [](std::vector<Record>& recs) { replaceFirstSharedText(recs, {0xD83D, u'a'}); },
     "a text of the workbook holds half of a character (a lone surrogate)"},
    {"LoneLowSurrogateInASharedText", drivers::XlsVersion::Biff8,
     [](std::vector<Record>& recs) { replaceFirstSharedText(recs, {u'a', 0xDE00}); },
     "a text of the workbook holds half of a character (a lone surrogate)"},
    {"HighSurrogateEndingASharedText", drivers::XlsVersion::Biff8,
     [](std::vector<Record>& recs) { replaceFirstSharedText(recs, {u'a', 0xD83D}); },
     "a text of the workbook holds half of a character (a lone surrogate)"},
    {"HighSurrogateBeforeACompressedPart", drivers::XlsVersion::Biff8,
     [](std::vector<Record>& recs) { replaceFirstSharedText(recs, {u'a', 0xD83D, u'b'}, 2, false); },
     "a text of the workbook holds half of a character (a lone surrogate)"},
    {"SheetEndingWithoutItsEof", drivers::XlsVersion::Biff8,
     [](std::vector<Record>& recs) {
         ASSERT_EQ(recs.back().id, 0x000A);
         recs.pop_back();
     },
     "a sheet of the workbook ends inside its records (it has no EOF record)"},
};

INSTANTIATE_TEST_SUITE_P(Damages, DamagedRecords, ::testing::ValuesIn(kRecordCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Every kind of record the walk takes a value from has its length: one byte
// more or less is refused at that record, before the records after it are
// read out of step. A kind the writer does not use is added before the
// sheet's end.
struct LengthCase {
    const char* name;
    std::uint16_t id;
    std::size_t length;   ///< the kind's length (the least, for a run of cells)
    int delta;
    const char* reason;
};

void PrintTo(const LengthCase& c, std::ostream* os) { *os << c.name; }

class RecordLengths : public ::testing::TestWithParam<std::tuple<drivers::XlsVersion, LengthCase>> {};

TEST_P(RecordLengths, ThatDoNotFitTheirKindAreRefused)
{
    const drivers::XlsVersion version = std::get<0>(GetParam());
    const LengthCase& c = std::get<1>(GetParam());
    const bool biff8 = version == drivers::XlsVersion::Biff8;
    if (c.id == 0x00FD && !biff8)
        GTEST_SKIP() << "BIFF5 has no shared texts";
    // The lengths that differ between the versions.
    std::size_t length = c.length;
    if (c.id == 0x00E0)
        length = biff8 ? 20 : 16;
    if (c.id == 0x0200)
        length = biff8 ? 14 : 10;
    QTemporaryDir dir;
    const QString path = writePeople(dir, version);
    ASSERT_TRUE(xlsfixture::editRecords(path, [&](std::vector<Record>& recs, bool) {
        auto r = first(recs, c.id);
        if (r == recs.end()) {
            ASSERT_EQ(recs.back().id, 0x000A);
            r = recs.insert(recs.end() - 1, Record{c.id, std::string(length, '\0'), -1});
        }
        ASSERT_EQ(r->body.size(), length) << c.name;
        r->body.resize(std::size_t(std::ptrdiff_t(length) + c.delta), '\0');
    }));
    expectRefused(path, c.reason);
}

constexpr const char* kLonger = "a record of the workbook is longer than its kind holds";
constexpr const char* kShorter = "a record of the workbook is shorter than its kind needs";

const LengthCase kLengthCases[] = {
    {"SharedTextCellLonger", 0x00FD, 10, +1, kLonger},
    {"SharedTextCellShorter", 0x00FD, 10, -1, kShorter},
    {"NumberLonger", 0x0203, 14, +1, kLonger},
    {"NumberShorter", 0x0203, 14, -1, kShorter},
    {"RkLonger", 0x027E, 10, +1, kLonger},
    {"RkShorter", 0x027E, 10, -1, kShorter},
    {"BlankLonger", 0x0201, 6, +1, kLonger},
    {"BlankShorter", 0x0201, 6, -1, kShorter},
    {"BoolErrLonger", 0x0205, 8, +2, kLonger},
    {"BoolErrShorter", 0x0205, 8, -1, kShorter},
    {"CodePageLonger", 0x0042, 2, +1, kLonger},
    {"DateModeLonger", 0x0022, 2, +2, kLonger},
    {"CellFormatLonger", 0x00E0, 0, +1, kLonger},
    {"CellFormatShorter", 0x00E0, 0, -2, kShorter},
    {"AreaLonger", 0x0200, 0, +1, kLonger},
    {"AreaShorter", 0x0200, 0, -1, kShorter},
    {"EndLonger", 0x000A, 0, +1, kLonger},
    {"RunOfNumbersOneByteLonger", 0x00BD, 12, +1, "a record of the workbook has an impossible length"},
    {"RunOfNumbersShorter", 0x00BD, 12, -1, kShorter},
    {"RunOfBlanksOneByteLonger", 0x00BE, 8, +1, "a record of the workbook has an impossible length"},
};

INSTANTIATE_TEST_SUITE_P(Kinds, RecordLengths,
                         ::testing::Combine(::testing::Values(drivers::XlsVersion::Biff5, drivers::XlsVersion::Biff8),
                                            ::testing::ValuesIn(kLengthCases)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) == drivers::XlsVersion::Biff8 ? "Biff8_" : "Biff5_")
                                    + std::get<1>(info.param).name;
                         });

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

// Texts that go on in a CONTINUE record as other writers store them.
struct SplitCase {
    const char* name;
    drivers::XlsVersion version;
    std::function<void(std::vector<Record>&)> edit;
    unsigned row;        ///< of the text in the sheet, the first row as data
    const char16_t* text;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class SoundSplits : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SoundSplits, ReadWhole)
{
    QTemporaryDir dir;
    const QString path = writePeople(dir, GetParam().version);
    ASSERT_TRUE(xlsfixture::editRecords(path, [&](std::vector<Record>& recs, bool) { GetParam().edit(recs); }));
    drivers::XlsWorkbook book;
    QString error;
    ASSERT_TRUE(book.open(path, &error)) << error.toStdString();
    drivers::XlsTable t;
    drivers::XlsReadOptions o;
    o.firstRowHasNames = false;
    ASSERT_TRUE(book.readSheet(0, o, t, &error)) << error.toStdString();
    ASSERT_EQ(t.rows.size(), 301u);
    EXPECT_EQ(t.rows[GetParam().row][0], Value(QString::fromUtf16(GetParam().text)));
    EXPECT_EQ(t.rows[300][0], Value(QStringLiteral("Person 299")));
}

const SplitCase kSplitCases[] = {
    // A BIFF5 cell's text goes on as it is, without a flags byte.
    {"Biff5TextGoingOnInAContinue", drivers::XlsVersion::Biff5,
     [](std::vector<Record>& recs) {
         auto label = std::find_if(recs.begin(), recs.end(), [](const Record& r) {
             return r.id == 0x0204 && r.body.find("Person 3") != std::string::npos;
         });
         ASSERT_NE(label, recs.end());
         ASSERT_EQ(label->body.size(), 16u);
         const std::string rest = label->body.substr(11);
         label->body.resize(11);   // row, column, format, count and "Per"
         recs.insert(label + 1, Record{0x003C, rest, -1});
     },
     4, u"Person 3"},
    // A pair of surrogates split by a CONTINUE is one character.
    {"Biff8PairSplitByAContinue", drivers::XlsVersion::Biff8,
     [](std::vector<Record>& recs) { replaceFirstSharedText(recs, {u'N', 0xD83D, 0xDE00, u'e'}, 2); },
     0, u"N\U0001F600e"},
    {"Biff8PairWhole", drivers::XlsVersion::Biff8,
     [](std::vector<Record>& recs) { replaceFirstSharedText(recs, {0xD83D, 0xDE00}); }, 0, u"\U0001F600"},
};

INSTANTIATE_TEST_SUITE_P(Texts, SoundSplits, ::testing::ValuesIn(kSplitCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- a zeroed sector, compared with xlrd ----

/// A cell as text: what a reader of the sheet would show.
QString shownCell(const Value& v)
{
    if (v.kind() == jet::Kind::Date)
        return jet::displayDate(v.toDate());
    return v.isNull() ? QString() : v.isText() ? *v.textPtr() : jet::numberText(v.toDouble());
}

/// A sheet's cells by row, without empty cells at the ends of rows and empty
/// rows at the end.
using Cells = std::vector<QStringList>;
Cells trimmed(Cells rows)
{
    for (QStringList& r : rows)
        while (!r.isEmpty() && r.back().isEmpty())
            r.removeLast();
    while (!rows.empty() && rows.back().isEmpty())
        rows.pop_back();
    return rows;
}

/// The same as lines of "|"-joined texts.
QStringList grid(std::vector<QStringList> rows)
{
    QStringList out;
    for (const QStringList& r : trimmed(std::move(rows)))
        out << r.join(u'|');
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

/// An xlrd date as the engine shows it. The day count 60 of a 1900 sheet is
/// Excel's 29 February 1900, a day that never was: xlrd puts it on 28
/// February, the import on 1 March.
QString dateShown(QString xlrdDate, double stored)
{
    if (stored >= 60 && stored < 61 && xlrdDate.startsWith(QLatin1String("1900-02-28")))
        xlrdDate.replace(0, 10, QStringLiteral("1900-03-01"));
    const std::optional<jet::DateTime> d = jet::readDateText(xlrdDate);
    return d ? jet::displayDate(*d) : xlrdDate;
}

/// The cells xlrd read, as text.
Cells xlrdCells(const xlsfixture::XlrdSheet& x)
{
    Cells rows;
    for (const auto& row : x.rows) {
        QStringList l;
        for (const auto& cell : row.toArray()) {
            const QJsonArray c = cell.toArray();
            const int type = c[0].toInt();
            QString shown;
            if (type == 1)
                shown = c[1].toString();
            else if (type == 2 || type == 4)
                shown = jet::numberText(c[1].toDouble());
            else if (type == 3)   // "yyyy-mm-dd hh:mm:ss", shown as the engine shows a date
                shown = dateShown(c[1].toString(), c[2].toDouble());
            l << shown;
        }
        rows.push_back(l);
    }
    return trimmed(rows);
}

QStringList xlrdReading(const xlsfixture::XlrdSheet& x)
{
    return grid(xlrdCells(x));
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

// ---- through the reading child, compared with xlrd ----

/// The first sheet as the import reads it: listed and read in the reading
/// child, the first row as data, mixed columns as text; nullopt with the
/// refusal in `why`.
std::optional<Cells> imported(const QString& path, QString* why)
{
    try {
        const QStringList sheets = exchange::workbookCatalog(path);
        if (sheets.isEmpty()) {
            *why = QStringLiteral("no sheet is listed");
            return std::nullopt;
        }
        drivers::Spec spec;
        spec.kind = QStringLiteral("EXCEL 8.0");
        spec.database = path;
        spec.options.insert(QStringLiteral("HDR"), QStringLiteral("NO"));
        spec.options.insert(QStringLiteral("IMEX"), QStringLiteral("1"));
        const std::unique_ptr<drivers::RowReader> reader = drivers::readExcelSheet(spec, sheets.front());
        Cells rows;
        std::vector<Value> row;
        while (reader->next(row)) {
            QStringList l;
            for (const Value& v : row)
                l << shownCell(v);
            rows.push_back(l);
        }
        return trimmed(rows);
    } catch (const jet::JetError& e) {
        *why = e.description();
        return std::nullopt;
    }
}

/// The first cell where two readings differ, for a failure's message.
std::string firstDifference(const Cells& a, const Cells& b)
{
    for (std::size_t r = 0; r < std::max(a.size(), b.size()); ++r) {
        const QStringList ra = r < a.size() ? a[r] : QStringList(), rb = r < b.size() ? b[r] : QStringList();
        for (qsizetype c = 0; c < std::max(ra.size(), rb.size()); ++c) {
            const QString x = ra.value(c), y = rb.value(c);
            if (x == y)
                continue;
            qsizetype at = 0;
            while (at < x.size() && at < y.size() && x[at] == y[at])
                ++at;
            const qsizetype from = std::max<qsizetype>(0, at - 10);
            return "row " + std::to_string(r) + " column " + std::to_string(c) + ", from character "
                   + std::to_string(from) + " (of " + std::to_string(x.size()) + " and " + std::to_string(y.size())
                   + "): \"" + x.mid(from, 40).toStdString() + "\" against \"" + y.mid(from, 40).toStdString() + "\"";
        }
    }
    return "none";
}

/// Whether our reading is xlrd's. xlrd reads a BIFF5 text only as far as its
/// own record goes (2,072 characters in a full one); the import takes the
/// rest from the CONTINUE record after it, as its writer meant.
bool sameAsXlrd(const Cells& ours, const Cells& xlrd, bool biff5)
{
    if (ours.size() != xlrd.size())
        return false;
    for (std::size_t r = 0; r < ours.size(); ++r) {
        if (ours[r].size() != xlrd[r].size())
            return false;
        for (qsizetype c = 0; c < ours[r].size(); ++c) {
            const QString& a = ours[r][c];
            const QString& b = xlrd[r][c];
            if (a != b && !(biff5 && b.size() == 2072 && a.size() > b.size() && a.startsWith(b)))
                return false;
        }
    }
    return true;
}

/// A sheet as CSV gives it: by row, each field as it stands.
Cells csvCells(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    Cells rows;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        QStringList fields;
        QString field;
        bool quoted = false;
        const QString text = QString::fromUtf8(line).remove(u'\r');
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar ch = text[i];
            if (quoted && ch == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += ch;
                ++i;
            } else if (ch == u'"') {
                quoted = !quoted;
            } else if (ch == u',' && !quoted) {
                fields << field;
                field.clear();
            } else {
                field += ch;
            }
        }
        fields << field;
        rows.push_back(fields);
    }
    return trimmed(rows);
}

QString dataFile(const char* name)
{
    return QStringLiteral(QB_SOURCE_DIR "/tests/platform/drivers/data/") + QLatin1String(name);
}

// Workbooks another spreadsheet program wrote (made once with Gnumeric's
// ssconvert from the CSV beside them: -T Gnumeric_Excel:excel_biff7 and
// excel_biff8). The BIFF5 one stores a cell of 2,100 characters as a LABEL
// of that length whose last 28 characters go on in a CONTINUE record; the
// BIFF8 one keeps its shared texts in an SST record and a CONTINUE, with
// Greek text and a character outside the BMP.
TEST(OtherWriters, WorkbooksComeInCellForCellAsXlrdReadsThem)
{
    for (const char* name : {"other_writer_5", "other_writer_8"}) {
        SCOPED_TRACE(name);
        const QString book = dataFile(name) + QStringLiteral(".xls");
        const xlsfixture::XlrdSheet x = xlsfixture::xlrdRead(book);
        QB_NEED_OUTSIDE(!xlsfixture::xlrdMissing(x), x.error.toStdString());
        ASSERT_TRUE(x.error.isEmpty()) << x.error.toStdString();
        QString why;
        const std::optional<Cells> ours = imported(book, &why);
        ASSERT_TRUE(ours) << why.toStdString();
        const Cells theirs = xlrdCells(x);
        const bool biff5 = QByteArray(name).endsWith('5');
        EXPECT_TRUE(sameAsXlrd(*ours, theirs, biff5)) << firstDifference(*ours, theirs);
        // Every cell whole, as the list the workbook was made from.
        const Cells source = csvCells(dataFile(name) + QStringLiteral(".csv"));
        EXPECT_EQ(*ours, source) << firstDifference(*ours, source);
        ASSERT_GE(ours->size(), 3u);
        EXPECT_EQ((*ours)[1][1].size(), 2100);
        if (biff5) {
            EXPECT_EQ(theirs[1][1].size(), 2072);   // xlrd stops at the LABEL's end
        }
    }
}

// ---- damage compared: mutants of sound workbooks ----
//
// Each mutant of a sound workbook (from another program, and from the
// program's own export) is imported as the user imports it, through the
// reading child. It passes when the import is refused, or brings what the
// sound file brings, or what xlrd reads in the mutant. The damages: the
// compound file's header, allocation table and directory entry; the
// records' lengths and types, the sheet list, the shared-text counts and
// the CONTINUE records; a bit flipped anywhere. A failure names the seed (set
// QB_XLS_MUTANT_SEED to run another) and the mutant.

struct Sound {
    QString name;
    QByteArray bytes;
    bool biff5 = false;
    std::vector<qsizetype> where;   ///< the file's place of each byte of the workbook stream
    QByteArray stream;
    std::vector<xlsfixture::Record> records;
    qsizetype entry = -1;           ///< the workbook stream's directory entry, in the file
    std::vector<qsizetype> fatPlaces;   ///< the file's place of the stream's sectors' allocation entries
};

quint32 le32At(const QByteArray& b, qsizetype at)
{
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 | quint32(quint8(b[at + 2])) << 16
           | quint32(quint8(b[at + 3])) << 24;
}

/// A sound file's compound-file layout and records, read here for the
/// mutations (the files are small: one sector of allocation table, no
/// small-stream workbook).
Sound layout(const QString& name, const QByteArray& bytes)
{
    Sound s;
    s.name = name;
    s.bytes = bytes;
    const qsizetype sector = qsizetype(1) << (quint8(bytes[0x1E]));
    auto at = [&](quint32 id) { return (qsizetype(id) + 1) * sector; };
    std::vector<quint32> fat;
    std::vector<qsizetype> fatEntryPlace;
    for (quint32 i = 0; i < le32At(bytes, 0x2C); ++i) {
        const quint32 fs = le32At(bytes, 0x4C + 4 * qsizetype(i));
        for (qsizetype k = 0; k < sector / 4; ++k) {
            fat.push_back(le32At(bytes, at(fs) + 4 * k));
            fatEntryPlace.push_back(at(fs) + 4 * k);
        }
    }
    auto chain = [&](quint32 first) {
        std::vector<quint32> out;
        for (quint32 c = first; c < fat.size() && out.size() < fat.size(); c = fat[c])
            out.push_back(c);
        return out;
    };
    const std::vector<quint32> dir = chain(le32At(bytes, 0x30));
    for (const quint32 d : dir)
        for (qsizetype e = 0; e < sector / 128; ++e) {
            const qsizetype p = at(d) + 128 * e;
            const QString n = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + p));
            if (quint8(bytes[p + 0x42]) == 2 && (n == QLatin1String("Workbook") || n == QLatin1String("Book"))) {
                s.entry = p;
                s.biff5 = n == QLatin1String("Book");
            }
        }
    EXPECT_GE(s.entry, 0) << name.toStdString();
    if (s.entry < 0)
        return s;
    const quint32 size = le32At(bytes, s.entry + 0x78);
    EXPECT_GE(size, 4096u) << "the workbook stream is in the small-stream area";
    for (const quint32 c : chain(le32At(bytes, s.entry + 0x74))) {
        s.fatPlaces.push_back(fatEntryPlace[c]);
        for (qsizetype k = 0; k < sector && qsizetype(s.where.size()) < qsizetype(size); ++k)
            s.where.push_back(at(c) + k);
    }
    for (const qsizetype p : s.where)
        s.stream += bytes[p];
    s.records = xlsfixture::parse(s.stream.toStdString());
    return s;
}

struct Mutant {
    std::string what;
    QByteArray bytes;
    int kind = 0;   ///< the structure damaged (Damaged)
};

/// The structures the mutants damage, each sampled on its own.
enum Damaged { kHeader, kAllocation, kDirectory, kLengths, kTypes, kSheetList, kSharedTexts, kContinues, kCells, kKinds };

/// The damages of the structures, each a mutant of `s`.
std::vector<Mutant> structuralMutants(const Sound& s)
{
    std::vector<Mutant> out;
    int kind = kHeader;
    auto put = [&](std::string what, const std::vector<std::pair<qsizetype, quint32>>& writes, int width) {
        Mutant m{std::move(what), s.bytes, kind};
        for (const auto& [at, v] : writes)
            for (int i = 0; i < width; ++i)
                m.bytes[at + i] = char((v >> (8 * i)) & 0xFF);
        out.push_back(std::move(m));
    };
    auto hex = [](quint32 v) { return QString::number(v, 16).toStdString(); };
    // The compound file's header: sector size, allocation table, directory, small streams.
    for (const qsizetype field : {0x1E, 0x2C, 0x30, 0x38, 0x3C, 0x44, 0x4C})
        for (const quint32 v : {0u, 1u, 0xFFFFFFFEu, 0xFFFFFFFFu, 0x7FFFu}) {
            const int width = field == 0x1E ? 2 : 4;
            put("header field 0x" + hex(quint32(field)) + " = 0x" + hex(v), {{field, v}}, width);
        }
    // The allocation table's entries of the workbook stream's sectors.
    kind = kAllocation;
    for (std::size_t k = 0; k < s.fatPlaces.size(); ++k)
        for (const quint32 v : {0u, 0xFFFFFFFEu, 0xFFFFFFFFu, 0xFFFFFFFDu, quint32(k + 1), 0x7FFFu})
            put("allocation entry of stream sector " + std::to_string(k) + " = 0x" + hex(v), {{s.fatPlaces[k], v}}, 4);
    // The workbook stream's directory entry: name length, kind, links, first sector, size.
    kind = kDirectory;
    for (const auto& [field, width, values] :
         std::vector<std::tuple<qsizetype, int, std::vector<quint32>>>{
             {0x40, 2, {0, 2, 0x7F, 0x42}},
             {0x42, 1, {0, 1, 5, 7}},
             {0x44, 4, {1, 99}},
             {0x4C, 4, {0, 99}},
             {0x74, 4, {0, 1, 0xFFFFFFFEu, 0x7FFF}},
             {0x78, 4, {0, 1, 4095, 512, quint32(s.stream.size() + 512), quint32(s.stream.size() * 16),
                        quint32(s.stream.size() - 1)}}})
        for (const quint32 v : values)
            put("directory entry field 0x" + hex(quint32(field)) + " = 0x" + hex(v), {{s.entry + field, v}}, width);
    // The records: each length and type field, and the fields the sheet
    // list and the shared texts are found by.
    for (std::size_t i = 0; i < s.records.size(); ++i) {
        const xlsfixture::Record& r = s.records[i];
        const qsizetype head = qsizetype(r.origin);
        if (head + 4 > qsizetype(s.where.size()))
            break;
        const std::string rec = "record " + std::to_string(i) + " (type 0x" + hex(r.id) + ", length "
                                + std::to_string(r.body.size()) + ")";
        auto field = [&](qsizetype offset, int width, quint32 v, const std::string& what) {
            std::vector<std::pair<qsizetype, quint32>> writes;
            for (int b = 0; b < width; ++b)
                writes.push_back({s.where[std::size_t(head + offset + b)], (v >> (8 * b)) & 0xFF});
            put(rec + ": " + what, writes, 1);
        };
        const quint32 len = quint32(r.body.size());
        kind = r.id == 0x003C ? kContinues : kLengths;
        for (const int delta : {+1, -1, +2, -2, +6})
            if (qint64(len) + delta >= 0)
                field(2, 2, quint32(qint64(len) + delta), "length " + std::to_string(qint64(len) + delta));
        for (const quint32 type : {0u, 0x3Cu, 0x0Au, 0x0809u, quint32(r.id ^ 1), 0x00FDu, 0x0203u}) {
            if (type == r.id)
                continue;
            kind = type == 0x3C || r.id == 0x3C ? kContinues : kTypes;
            field(0, 2, type, "type 0x" + hex(type));
        }
        kind = r.id == 0x0085 ? kSheetList : r.id == 0x00FC || r.id == 0x003C ? kSharedTexts : kCells;
        if (r.id == 0x0085)   // BOUNDSHEET: the sheet's place, kind and name length
            for (const qint64 d : {-1, +1, +4})
                field(4, 4, quint32(qint64(xlsfixture::u32(r.body, 0)) + d), "sheet place moved by " + std::to_string(d));
        if (r.id == 0x0085) {
            field(4 + 5, 1, 2, "sheet kind chart");
            field(4 + 6, 1, quint32(quint8(r.body[6]) + 1), "sheet name one longer");
        }
        if (r.id == 0x00FC) {   // SST: the counts of texts, the first text's count and flags
            for (const qint64 d : {-1, +1})
                for (const int f : {0, 4})
                    field(4 + f, 4, quint32(qint64(xlsfixture::u32(r.body, std::size_t(f))) + d),
                          std::string(f ? "unique" : "total") + " texts " + (d > 0 ? "+1" : "-1"));
            field(4 + 8, 2, quint32(xlsfixture::u16(r.body, 8) + 1), "first text one longer");
            field(4 + 10, 1, quint32(quint8(r.body[10]) ^ 1), "first text's width flag flipped");
        }
        if (r.id == 0x003C && !r.body.empty())
            field(4, 1, quint32(quint8(r.body[0]) ^ 1), "first byte flipped (a text's flags)");
        if (r.id == 0x00FD)
            field(4 + 6, 4, xlsfixture::u32(r.body, 6) + 1, "shared text number +1");
        if (r.id == 0x0204 && r.body.size() >= 8)
            for (const qint64 d : {-1, +1})
                field(4 + 6, 2, quint32(qint64(xlsfixture::u16(r.body, 6)) + d), "text count " + std::to_string(d));
        if (r.id == 0x0200)
            field(4 + (s.biff5 ? 2 : 4), 2, 1, "area of one row");
    }
    return out;
}

/// A bit flipped at a random place of the whole file. One damage a mutant:
/// two at once (one in a cell's text, one in a record that only xlrd reads)
/// could leave no reading to compare with.
Mutant flip(const Sound& s, std::mt19937& rng)
{
    Mutant m{"bit flip at", s.bytes};
    const qsizetype at = qsizetype(rng() % quint32(m.bytes.size()));
    const int bit = int(rng() % 8);
    m.bytes[at] = char(m.bytes[at] ^ (1 << bit));
    m.what += " " + std::to_string(at) + "." + std::to_string(bit);
    return m;
}

/// The program's own export of a list of names, cities, amounts and a few
/// long notes (the BIFF8 shared texts go on in a CONTINUE record).
QByteArray ownExport(const QTemporaryDir& dir, drivers::XlsVersion version)
{
    const QString path = dir.filePath(version == drivers::XlsVersion::Biff8 ? QStringLiteral("own8.xls")
                                                                           : QStringLiteral("own5.xls"));
    const jet::ColumnList cols = {{QStringLiteral("Name"), jet::dbText, 255, 0},
                                  {QStringLiteral("City"), jet::dbText, 255, 0},
                                  {QStringLiteral("Amount"), jet::dbDouble, 8, 0},
                                  {QStringLiteral("Notes"), jet::dbMemo, 0, 0}};
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 80; ++i)
        rows.push_back({Value(QStringLiteral("Person %1").arg(i)), Value(i % 3 ? QStringLiteral("Z\u00fcrich") : QStringLiteral("Caf\u00e9 \u20ac")),
                        i % 7 ? Value(i * 1.25) : Value(),
                        i % 25 == 3 ? Value(QStringLiteral("Note %1; ").arg(i).repeated(200)) : Value(QStringLiteral("n%1").arg(i))});
    EXPECT_TRUE(drivers::writeXls(path, version, QStringLiteral("List"), cols, rows));
    return testfiles::readAll(path);
}

TEST(DamageCompared, EveryMutantIsRefusedOrReadAsTheSoundFileOrAsXlrdReadsIt)
{
    QTemporaryDir dir;
    const quint32 seed = qEnvironmentVariableIsSet("QB_XLS_MUTANT_SEED")
                             ? quint32(qEnvironmentVariableIntValue("QB_XLS_MUTANT_SEED"))
                             : 20261211u;
    std::mt19937 rng(seed);
    std::vector<Sound> sounds = {
        layout(QStringLiteral("other_writer_5"), testfiles::readAll(dataFile("other_writer_5.xls"))),
        layout(QStringLiteral("other_writer_8"), testfiles::readAll(dataFile("other_writer_8.xls"))),
        layout(QStringLiteral("own5"), ownExport(dir, drivers::XlsVersion::Biff5)),
        layout(QStringLiteral("own8"), ownExport(dir, drivers::XlsVersion::Biff8)),
    };
    constexpr std::size_t kEachKind = 6, kFlips = 25;

    struct Case {
        const Sound* sound;
        Mutant mutant;
        QString path;
    };
    std::vector<Case> cases;
    QStringList paths;
    for (const Sound& s : sounds) {
        ASSERT_FALSE(s.records.empty()) << s.name.toStdString();
        // A few of each kind of damage, then bit flips.
        std::vector<Mutant> all = structuralMutants(s);
        std::shuffle(all.begin(), all.end(), rng);
        std::vector<Mutant> pool;
        for (int kind = 0; kind < kKinds; ++kind) {
            std::size_t taken = 0;
            for (Mutant& m : all)
                if (m.kind == kind && taken < kEachKind) {
                    pool.push_back(std::move(m));
                    ++taken;
                }
        }
        for (std::size_t k = 0; k < kFlips; ++k)
            pool.push_back(flip(s, rng));
        for (Mutant& m : pool) {
            const QString path = dir.filePath(QStringLiteral("mutant%1.xls").arg(cases.size()));
            testfiles::writeAll(path, m.bytes);
            paths << path;
            cases.push_back({&s, std::move(m), path});
        }
    }
    const std::vector<xlsfixture::XlrdSheet> xlrd = xlsfixture::xlrdReadMany(paths);
    ASSERT_EQ(xlrd.size(), cases.size());
    QB_NEED_OUTSIDE(!xlsfixture::xlrdMissing(xlrd.front()), xlrd.front().error.toStdString());

    std::map<const Sound*, Cells> soundReading;
    for (const Sound& s : sounds) {
        const QString path = dir.filePath(s.name + QStringLiteral(".xls"));
        testfiles::writeAll(path, s.bytes);
        QString why;
        const std::optional<Cells> r = imported(path, &why);
        ASSERT_TRUE(r) << s.name.toStdString() << ": " << why.toStdString();
        soundReading[&s] = *r;
    }

    int refused = 0, asSound = 0, asXlrd = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const std::string name = "seed " + std::to_string(seed) + ", mutant " + std::to_string(i) + " of "
                                 + c.sound->name.toStdString() + ": " + c.mutant.what;
        QString why;
        const std::optional<Cells> ours = imported(c.path, &why);
        if (!ours) {
            ++refused;
            EXPECT_TRUE(why.contains(QLatin1String("cannot be read"))) << name << ": " << why.toStdString();
            continue;
        }
        if (*ours == soundReading[c.sound]) {
            ++asSound;
            continue;
        }
        const xlsfixture::XlrdSheet& x = xlrd[i];
        if (x.error.isEmpty() && sameAsXlrd(*ours, xlrdCells(x), c.sound->biff5)) {
            ++asXlrd;
            continue;
        }
        ADD_FAILURE() << name << ": imported, but neither as the sound file ("
                      << firstDifference(*ours, soundReading[c.sound]) << ") nor as xlrd reads it ("
                      << (x.error.isEmpty() ? firstDifference(*ours, xlrdCells(x)) : "xlrd: " + x.error.toStdString())
                      << ")";
    }
    RecordProperty("mutants", int(cases.size()));
    RecordProperty("refused", refused);
    RecordProperty("as_sound", asSound);
    RecordProperty("as_xlrd", asXlrd);
    std::printf("seed %u: %zu mutants, %d refused, %d as the sound file, %d as xlrd reads them\n", seed, cases.size(),
                refused, asSound, asXlrd);
    EXPECT_GT(refused, int(cases.size()) / 4);
}

} // namespace
