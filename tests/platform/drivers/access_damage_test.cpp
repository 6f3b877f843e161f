// Access files damaged where their structure shows it, on the chooser's road
// (the table list, then the import's statement in its savepoint): a data page
// zeroed or swapped with another table's, a long-value page zeroed or swapped
// with a data page, a memo's length one off; a column whose definition does
// not fit its rows (a fixed length halved, a kind changed), row offsets that
// leave their row, a usage map or a page's row count that loses rows. Each is
// refused, naming the table, and the previous list stays; the same files
// sound (and with a memo of over a megabyte) come in whole. The files: the
// program's own Jet 3 and Jet 4 exports, and the fixture's, laid out as files
// made elsewhere are (the usage maps on page 1, before the data). mdb-export,
// an independent reader, sees each damage: it warns or reads something else.
//
// Then seeded mutants of such files, damaged at random where the structure
// lies (pages, the table's definition, its usage map, row tables, rows, memo
// fields) and anywhere: each must be refused, come in as the sound file does,
// or come in as both independent readers (mdb-reader and mdb-export, the
// latter without a warning) read it. A failure prints the seed and the
// mutant, QB_MUTANT_SEED repeats a run and QB_MUTANT_KEEP keeps its files.
#include "exchange/import_fixture.h"

#include "exchange/import_sources.h"
#include "platform/drivers/jet_writer.h"
#include "platform/drivers/mdb_fixture.h"
#include "platform/jet/error.h"
#include "support/file_bytes.h"
#include "support/outside_need.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <random>

using importtest::ImportTest;
using jet::Value;
using testfiles::readAll;
using testfiles::writeAll;

namespace {

constexpr int kRows = 600;

enum class Layout { OursJet3, OursJet4, ElsewhereJet3, ElsewhereJet4 };

const char* layoutName(Layout l)
{
    switch (l) {
    case Layout::OursJet3: return "OursJet3";
    case Layout::OursJet4: return "OursJet4";
    case Layout::ElsewhereJet3: return "ElsewhereJet3";
    case Layout::ElsewhereJet4: return "ElsewhereJet4";
    }
    return "";
}

bool isJet3(Layout l) { return l == Layout::OursJet3 || l == Layout::ElsewhereJet3; }
int pageSizeOf(Layout l) { return isJet3(l) ? 2048 : 4096; }

/// Row i's memo: a long one on a chain of pages, one that fits one page, or none.
QString memoOf(int i, qsizetype longMemo)
{
    if (i == 0)
        return QStringLiteral("Long note %1. ").repeated(int(longMemo / 14 + 1)).left(longMemo);
    if (i == 1)
        return QStringLiteral("Mid note. ").repeated(60);   // 600 characters
    return QString();
}

QString nameOf(int i) { return QStringLiteral("Person %1").arg(i); }

/// A file with the tables People (Name, City, Amount, Count, Since, Active,
/// Notes) and Other (Label, N); People's first two rows hold memos (a long
/// one on a chain of pages, one on one page), every fifth row a short one.
QString writeFile(const QString& file, Layout layout, qsizetype longMemo = 6000, int rows = kRows)
{
    const auto memo = [&](int i) {
        const QString m = memoOf(i, longMemo);
        return !m.isEmpty() || rows == kRows || i % 5 ? m : QStringLiteral("Short note %1").arg(i);
    };
    const auto peopleRow = [&](int i) {
        const QString m = memo(i);
        return std::vector<Value>{Value(nameOf(i)), Value(QStringLiteral("City %1").arg(i % 97)), Value(i * 1.25),
                                  Value(i * 3), Value(jet::DateTime{36526.0 + i}), Value(i % 3 == 0),
                                  m.isEmpty() ? Value() : Value(m)};
    };
    if (layout == Layout::OursJet3 || layout == Layout::OursJet4) {
        writeAll(file, drivers::emptyJetDatabase(isJet3(layout) ? drivers::JetVersion::Jet3 : drivers::JetVersion::Jet4));
        const jet::ColumnList people = {{QStringLiteral("Name"), jet::dbText, 40, jet::dbVariableField},
                                        {QStringLiteral("City"), jet::dbText, 30, jet::dbVariableField},
                                        {QStringLiteral("Amount"), jet::dbDouble, 8, jet::dbFixedField},
                                        {QStringLiteral("Count"), jet::dbLong, 4, jet::dbFixedField},
                                        {QStringLiteral("Since"), jet::dbDate, 8, jet::dbFixedField},
                                        {QStringLiteral("Active"), jet::dbBoolean, 1, jet::dbFixedField},
                                        {QStringLiteral("Notes"), jet::dbMemo, 0, jet::dbVariableField}};
        int at = 0;
        drivers::writeJetTable(file, QStringLiteral("People"), people, [&](std::vector<Value>& row) {
            if (at == rows)
                return false;
            row = peopleRow(at++);
            return true;
        });
        const jet::ColumnList other = {{QStringLiteral("Label"), jet::dbText, 40, jet::dbVariableField},
                                       {QStringLiteral("N"), jet::dbLong, 4, jet::dbFixedField}};
        at = 0;
        drivers::writeJetTable(file, QStringLiteral("Other"), other, [&](std::vector<Value>& row) {
            if (at == rows)
                return false;
            row = {Value(QStringLiteral("Label %1").arg(at)), Value(at)};
            ++at;
            return true;
        });
        return file;
    }
    mdbfixture::Table people;
    people.name = QStringLiteral("People");
    people.columns = {{QStringLiteral("Name"), mdbfixture::Text, 40, false},
                      {QStringLiteral("City"), mdbfixture::Text, 30, false},
                      {QStringLiteral("Amount"), mdbfixture::Double, 0, false},
                      {QStringLiteral("Count"), mdbfixture::Long, 0, false},
                      {QStringLiteral("Since"), mdbfixture::DateTime, 0, false},
                      {QStringLiteral("Active"), mdbfixture::Bool, 0, false},
                      {QStringLiteral("Notes"), mdbfixture::Memo, 0, false}};
    for (int i = 0; i < rows; ++i)
        people.rows.push_back(peopleRow(i));
    mdbfixture::Table other;
    other.name = QStringLiteral("Other");
    other.columns = {{QStringLiteral("Label"), mdbfixture::Text, 40, false}, {QStringLiteral("N"), mdbfixture::Long, 0, false}};
    for (int i = 0; i < rows; ++i)
        other.rows.push_back({Value(QStringLiteral("Label %1").arg(i)), Value(i)});
    QString why;
    EXPECT_TRUE(mdbfixture::writeMdb(file, isJet3(layout) ? mdbfixture::Version::Jet3 : mdbfixture::Version::Jet4,
                                     {people, other}, &why))
        << why.toStdString();
    return file;
}

// ---- finding pages in a file ----

quint32 get32(const QByteArray& b, qsizetype at)
{
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 | quint32(quint8(b[at + 2])) << 16
           | quint32(quint8(b[at + 3])) << 24;
}

struct Pages {
    int size;
    std::vector<int> people, other;   ///< data pages of each table
    std::vector<int> longValues;      ///< long-value pages a memo field of People points at
};

/// Whether a page holds the text in the file's encoding (Jet 3 bytes, Jet 4
/// UTF-16 or its compressed form).
bool holds(const QByteArray& page, const QString& text)
{
    return page.contains(text.toLatin1())
           || page.contains(QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2));
}

Pages pagesOf(const QByteArray& f, int size)
{
    Pages out{size, {}, {}, {}};
    std::optional<quint32> peopleOwner, otherOwner;
    for (int p = 1; (p + 1) * qsizetype(size) <= f.size(); ++p) {
        const QByteArray page = f.mid(qsizetype(p) * size, size);
        if (page[0] != 0x01)
            continue;
        if (page.mid(4, 4) == "LVAL")
            continue;
        if (!peopleOwner && holds(page, QStringLiteral("Person 1")))
            peopleOwner = get32(page, 4);
        if (!otherOwner && holds(page, QStringLiteral("Label 1")))
            otherOwner = get32(page, 4);
    }
    for (int p = 1; (p + 1) * qsizetype(size) <= f.size(); ++p) {
        const QByteArray page = f.mid(qsizetype(p) * size, size);
        if (page[0] == 0x01 && page.mid(4, 4) != "LVAL") {
            if (peopleOwner && get32(page, 4) == *peopleOwner)
                out.people.push_back(p);
            else if (otherOwner && get32(page, 4) == *otherOwner)
                out.other.push_back(p);
        }
    }
    // A memo's field: its length and flags, then the data pointer (page * 256 + row).
    for (int p = 1; (p + 1) * qsizetype(size) <= f.size(); ++p) {
        if (f.mid(qsizetype(p) * size + 4, 4) != "LVAL")
            continue;
        for (quint32 row = 0; row < 4; ++row) {
            const quint32 pointer = quint32(p) << 8 | row;
            const QByteArray needle(reinterpret_cast<const char*>(&pointer), 4);   // little-endian machines
            const bool pointed = std::any_of(out.people.begin(), out.people.end(), [&](int data) {
                return f.mid(qsizetype(data) * size, size).indexOf(needle, 14) >= 0;
            });
            if (pointed) {
                out.longValues.push_back(p);
                break;
            }
        }
    }
    return out;
}

void zeroPage(QByteArray& f, int size, int page) { f.replace(qsizetype(page) * size, size, QByteArray(size, '\0')); }

void swapPages(QByteArray& f, int size, int a, int b)
{
    const QByteArray pa = f.mid(qsizetype(a) * size, size);
    f.replace(qsizetype(a) * size, size, f.mid(qsizetype(b) * size, size));
    f.replace(qsizetype(b) * size, size, pa);
}

/// Where the 12-byte field of a memo lies: the field on one of People's data
/// pages that points at a long-value page, stored on one page (flag 0x40)
/// or on a chain (no flag).
qsizetype memoField(const QByteArray& f, const Pages& pages, bool onePage)
{
    for (int lval : pages.longValues)
        for (int row = 0; row < 4; ++row) {
            const quint32 pointer = quint32(lval) << 8 | quint32(row);
            const QByteArray needle(reinterpret_cast<const char*>(&pointer), 4);   // little-endian machines
            for (int data : pages.people) {
                const QByteArray page = f.mid(qsizetype(data) * pages.size, pages.size);
                for (qsizetype at = page.indexOf(needle); at >= 4; at = page.indexOf(needle, at + 1)) {
                    const quint8 flags = quint8(page[at - 1]);
                    // A field's length is a memo's, and 4 zero bytes follow its pointer.
                    const quint32 length = get32(page, at - 4) & 0x00ffffffu;
                    if (length == 0 || length > 2'000'000 || at + 8 > page.size() || get32(page, at + 4) != 0)
                        continue;
                    if ((onePage && flags == 0x40) || (!onePage && flags == 0x00))
                        return qsizetype(data) * pages.size + at - 4;
                }
            }
        }
    return -1;
}

/// Adds `by` to the length a memo's field gives (its low three bytes).
void changeLength(QByteArray& f, qsizetype field, int by)
{
    const quint32 word = get32(f, field);
    const quint32 length = (word & 0x00ffffffu) + quint32(by);
    for (int i = 0; i < 3; ++i)
        f[field + i] = char((length >> (8 * i)) & 0xff);
}

// ---- mdb-export ----

struct Export {
    QByteArray out, err;
};

bool mdbExportInstalled() { return !QStandardPaths::findExecutable(QStringLiteral("mdb-export")).isEmpty(); }

/// mdb-export's reading of the table (see mdbExportInstalled).
Export mdbExport(const QString& file, const QString& table)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("mdb-export"));
    QProcess p;
    p.start(tool, {file, table});
    if (!p.waitForFinished(60000))
        return Export{{}, "did not finish"};
    return Export{p.readAllStandardOutput(), p.readAllStandardError()};
}

// ---- the road ----

struct Outcome {
    QString message;    ///< "" on success
    QStringList list;   ///< tblData afterwards
};

class AccessDamage : public ImportTest {
protected:
    /// The table list, then People's import in its savepoint, over a previous list.
    Outcome importPeople(const QString& file)
    {
        {
            jet::Database db = jet::Database::open(general::gstrWorkDBPath);
            general::DropTable(db, QStringLiteral("tblData"));
        }
        makePreviousList();
        Outcome o;
        try {
            jet::Database db = jet::Database::open(general::gstrWorkDBPath);
            const QStringList tables = exchange::tableChoices(exchange::accessTables(file));
            if (!tables.contains(QStringLiteral("People"))) {
                o.message = QStringLiteral("<no table People>");
            } else {
                const QString sql = exchange::accessImportStatement(file, QStringLiteral("People"));
                exchange::allOrNothing(db, [&] {
                    general::DropTable(db, QStringLiteral("tblData"));
                    db.execute(sql, jet::dbFailOnError);
                });
            }
        } catch (const jet::JetError& e) {
            o.message = e.description();
        }
        o.list = tblData(QStringLiteral("*"));
        return o;
    }

    /// Imported whole: every row, the memos as written.
    void expectWhole(const QString& file, qsizetype longMemo)
    {
        const Outcome o = importPeople(file);
        ASSERT_EQ(o.message.toStdString(), "");
        ASSERT_EQ(o.list.size(), kRows);
        jet::Database db = jet::Database::open(general::gstrWorkDBPath);
        auto rs = db.openRecordset(QStringLiteral("SELECT [Name], [Notes] FROM tblData"), jet::dbOpenSnapshot);
        int i = 0;
        for (; !rs->eof(); rs->moveNext(), ++i) {
            ASSERT_EQ(rs->value(0).toString(), nameOf(i));
            const QString memo = memoOf(i, longMemo);
            if (memo.isEmpty())
                EXPECT_TRUE(rs->value(1).isNull()) << i;
            else
                EXPECT_TRUE(rs->value(1).toString() == memo) << "row " << i << ": " << rs->value(1).toString().size()
                                                              << " characters";
        }
        EXPECT_EQ(i, kRows);
    }
};

struct Damage {
    const char* name;
    /// Damages the file; false when the layout has no such place.
    std::function<bool(QByteArray&, const Pages&)> apply;
};

void PrintTo(const Damage& d, std::ostream* os) { *os << d.name; }

const Damage kDamages[] = {
    {"ZeroedDataPage",
     [](QByteArray& f, const Pages& p) {
         zeroPage(f, p.size, p.people.at(p.people.size() / 2));
         return true;
     }},
    {"DataPageSwappedWithAnotherTables",
     [](QByteArray& f, const Pages& p) {
         swapPages(f, p.size, p.people.at(p.people.size() / 2), p.other.at(0));
         return true;
     }},
    {"ZeroedLongValuePage",
     [](QByteArray& f, const Pages& p) {
         zeroPage(f, p.size, p.longValues.at(0));
         return true;
     }},
    {"LongValuePageSwappedWithADataPage",
     [](QByteArray& f, const Pages& p) {
         swapPages(f, p.size, p.longValues.at(0), p.people.back());
         return true;
     }},
    {"LongValuePageSwappedWithAnotherTablesPage",
     [](QByteArray& f, const Pages& p) {
         swapPages(f, p.size, p.longValues.at(0), p.other.back());
         return true;
     }},
    {"ChainedMemoOneLonger",
     [](QByteArray& f, const Pages& p) {
         const qsizetype at = memoField(f, p, false);
         EXPECT_GE(at, 0);
         if (at >= 0)
             changeLength(f, at, 1);
         return at >= 0;
     }},
    {"ChainedMemoOneShorter",
     [](QByteArray& f, const Pages& p) {
         const qsizetype at = memoField(f, p, false);
         EXPECT_GE(at, 0);
         if (at >= 0)
             changeLength(f, at, -1);
         return at >= 0;
     }},
    // Only the program's writer keeps a memo that fits one page on one page.
    {"OnePageMemoOneLonger",
     [](QByteArray& f, const Pages& p) {
         const qsizetype at = memoField(f, p, true);
         if (at >= 0)
             changeLength(f, at, 1);
         return at >= 0;
     }},
    {"OnePageMemoOneShorter",
     [](QByteArray& f, const Pages& p) {
         const qsizetype at = memoField(f, p, true);
         if (at >= 0)
             changeLength(f, at, -1);
         return at >= 0;
     }},
};

class DamagedAccessTable : public AccessDamage, public ::testing::WithParamInterface<std::tuple<Layout, Damage>> {};

TEST_P(DamagedAccessTable, IsRefusedNamingTheTableAndTheListStays)
{
    const Layout layout = std::get<0>(GetParam());
    const Damage& damage = std::get<1>(GetParam());
    const QString file = writeFile(path("people.mdb"), layout);
    const QByteArray sound = readAll(file);
    const Pages pages = pagesOf(sound, pageSizeOf(layout));
    ASSERT_GE(pages.people.size(), 3u);
    ASSERT_GE(pages.other.size(), 1u);
    ASSERT_GE(pages.longValues.size(), 2u);
    expectWhole(file, 6000);

    QByteArray damaged = sound;
    if (!damage.apply(damaged, pages)) {
        EXPECT_TRUE(layout == Layout::ElsewhereJet3 || layout == Layout::ElsewhereJet4) << "no place for the damage";
        return;
    }
    ASSERT_NE(damaged, sound);
    writeAll(file, damaged);

    const Outcome o = importPeople(file);
    EXPECT_TRUE(o.message.startsWith(QStringLiteral("'%1' is damaged and cannot be read: ").arg(file)))
        << o.message.toStdString();
    EXPECT_TRUE(o.message.contains(QStringLiteral("table 'People'"))) << o.message.toStdString();
    EXPECT_EQ(o.list, QStringList{QStringLiteral("kept")});

    // The damage is real: the independent reader warns or reads something else
    // (it reads a memo on one page by its row, not by the length its field
    // gives, which only a strict reader follows).
    if (QByteArray(damage.name).startsWith("OnePage"))
        return;
    QB_NEED_OUTSIDE(mdbExportInstalled(), "mdb-export is not installed");
    const QString soundFile = path("sound.mdb");
    writeAll(soundFile, sound);
    const Export before = mdbExport(soundFile, QStringLiteral("People"));
    const Export after = mdbExport(file, QStringLiteral("People"));
    EXPECT_TRUE(!after.err.isEmpty() || after.out != before.out) << "mdb-export reads the damaged file unchanged";
}

INSTANTIATE_TEST_SUITE_P(Layouts, DamagedAccessTable,
                         ::testing::Combine(::testing::Values(Layout::OursJet3, Layout::OursJet4, Layout::ElsewhereJet3,
                                                              Layout::ElsewhereJet4),
                                            ::testing::ValuesIn(kDamages)),
                         [](const auto& info) {
                             return std::string(layoutName(std::get<0>(info.param))) + "_" + std::get<1>(info.param).name;
                         });

class SoundAccessTable : public AccessDamage, public ::testing::WithParamInterface<Layout> {};

/// A memo of over a megabyte on a chain of some 300 to 600 pages.
TEST_P(SoundAccessTable, WithAMemoOfOverAMegabyteComesInWhole)
{
    const qsizetype big = 1'100'000;
    expectWhole(writeFile(path("big.mdb"), GetParam(), big), big);
}

INSTANTIATE_TEST_SUITE_P(Layouts, SoundAccessTable,
                         ::testing::Values(Layout::OursJet3, Layout::OursJet4, Layout::ElsewhereJet3, Layout::ElsewhereJet4),
                         [](const auto& info) { return std::string(layoutName(info.param)); });

/// A file laid out as files made elsewhere are: the table's usage map on
/// page 1, before its data, and the catalogue's rows before the table's. Cut
/// anywhere inside the table's data, the map survives and names pages past
/// the end, and only the walk of the map can tell that rows are missing.
class CutBehindItsMap : public AccessDamage, public ::testing::WithParamInterface<mdbfixture::Version> {};

TEST_P(CutBehindItsMap, IsRefusedForThePagesItsMapNames)
{
    const int size = GetParam() == mdbfixture::Version::Jet3 ? 2048 : 4096;
    mdbfixture::Table people;
    people.name = QStringLiteral("People");
    people.columns = {{QStringLiteral("Name"), mdbfixture::Text, 40, false}, {QStringLiteral("N"), mdbfixture::Long, 0, false}};
    for (int i = 0; i < 3000; ++i)
        people.rows.push_back({Value(nameOf(i)), Value(i)});
    const QString file = path("cut.mdb");
    QString why;
    ASSERT_TRUE(mdbfixture::writeMdb(file, GetParam(), {people}, &why, mdbfixture::CatalogueRows::First)) << why.toStdString();
    const QByteArray whole = readAll(file);
    const Pages pages = pagesOf(whole, size);
    ASSERT_GE(pages.people.size(), 20u);
    // The map lies before the data and the data runs to the file's end.
    ASSERT_LT(1, pages.people.front());
    ASSERT_EQ(qsizetype(pages.people.back() + 1) * size, whole.size());
    {
        const Outcome sound = importPeople(file);
        ASSERT_EQ(sound.message.toStdString(), "");
        ASSERT_EQ(sound.list.size(), 3000);
    }
    const qsizetype first = qsizetype(pages.people.front()) * size;
    for (const double part : {0.1, 0.5, 0.9}) {
        SCOPED_TRACE(part);
        const qsizetype page = first + qsizetype((whole.size() - first) * part) / size * size;
        for (const qsizetype cut : {page, page + 100}) {
            writeAll(file, whole.left(cut));
            const Outcome o = importPeople(file);
            EXPECT_EQ(o.message.toStdString(), QStringLiteral("'%1' is damaged and cannot be read: pages of table 'People' "
                                                              "lie beyond the end of the file.")
                                                   .arg(file)
                                                   .toStdString());
            EXPECT_EQ(o.list, QStringList{QStringLiteral("kept")});
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, CutBehindItsMap, ::testing::Values(mdbfixture::Version::Jet3, mdbfixture::Version::Jet4),
                         [](const auto& info) { return info.param == mdbfixture::Version::Jet3 ? "Jet3" : "Jet4"; });


// ---- the structure of a file, as far as the damages below need it ----

/// Where the two versions keep what is damaged below.
struct Jet {
    bool jet3;
    int size;           ///< page size
    int rowCountAt;     ///< a data page's row count
    int tdefRows;       ///< the definition's row count
    int tdefColumns;    ///< the definition's column count (rows' most columns 4 before it)
    int tdefRealIndexes;
    int columnsStart;   ///< the first column entry, after the real indexes' entries
    int realIndexEntry;
    int columnEntry;
    int columnSizeAt;   ///< a column's length inside its entry (its kind at 0)
    int tdefMap;        ///< the data pointer of the table's usage map
};

Jet jetOf(Layout l)
{
    if (isJet3(l))
        return {true, 2048, 8, 12, 25, 31, 43, 8, 18, 16, 35};
    return {false, 4096, 12, 16, 45, 51, 63, 12, 25, 23, 55};
}

int get16(const QByteArray& b, qsizetype at) { return quint8(b[at]) | quint8(b[at + 1]) << 8; }
void put16(QByteArray& b, qsizetype at, int v)
{
    b[at] = char(v & 0xff);
    b[at + 1] = char((v >> 8) & 0xff);
}
void put32(QByteArray& b, qsizetype at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xff);
}

struct Span {
    qsizetype at;   ///< byte offset in the file
    int size;
};

/// People's table in a file: its definition, columns, usage map, rows and memo fields.
struct Structure {
    Jet j{};
    Pages pages{};
    qsizetype tdef = 0;                    ///< the definition page's first byte
    std::map<QString, qsizetype> columns;  ///< each column's entry
    Span map{0, 0};                        ///< the usage map's row
    std::vector<Span> rows;                ///< People's rows
    std::vector<Span> varTables;           ///< per row: the offsets of its variable values (Jet 4; Jet 3 rows under 256 bytes)
    std::vector<qsizetype> memoFields;     ///< 12-byte memo fields in People's rows
};

/// The rows a page lists (flags masked off).
std::vector<Span> rowsOn(const QByteArray& f, const Jet& j, int page)
{
    const qsizetype base = qsizetype(page) * j.size;
    const int count = get16(f, base + j.rowCountAt);
    std::vector<Span> out;
    for (int r = 0; r < count; ++r) {
        const int start = get16(f, base + j.rowCountAt + 2 + 2 * r) & 0x1fff;
        const int end = r == 0 ? j.size : get16(f, base + j.rowCountAt + 2 * r) & 0x1fff;
        out.push_back({base + start, end - start});
    }
    return out;
}

Structure structureOf(const QByteArray& f, Layout layout)
{
    Structure s;
    s.j = jetOf(layout);
    s.pages = pagesOf(f, s.j.size);
    const Jet& j = s.j;
    s.tdef = qsizetype(get32(f, qsizetype(s.pages.people.at(0)) * j.size + 4)) * j.size;
    const int columns = get16(f, s.tdef + j.tdefColumns);
    const qsizetype entries = s.tdef + j.columnsStart + qsizetype(get32(f, s.tdef + j.tdefRealIndexes)) * j.realIndexEntry;
    qsizetype name = entries + qsizetype(columns) * j.columnEntry;
    for (int c = 0; c < columns; ++c) {
        QString n;
        if (j.jet3) {
            const int len = quint8(f[name]);
            n = QString::fromLatin1(f.mid(name + 1, len));
            name += 1 + len;
        } else {
            const int len = get16(f, name);
            n = QString(reinterpret_cast<const QChar*>(f.constData() + name + 2), len / 2);
            name += 2 + len;
        }
        s.columns[n] = entries + qsizetype(c) * j.columnEntry;
    }
    const quint32 map = get32(f, s.tdef + j.tdefMap);
    s.map = rowsOn(f, j, int(map >> 8)).at(map & 0xff);
    for (int page : s.pages.people)
        for (const Span& r : rowsOn(f, j, page)) {
            s.rows.push_back(r);
            const int count = j.jet3 ? quint8(f[r.at]) : get16(f, r.at);
            const int mask = (count + 7) / 8;
            const qsizetype end = r.at + r.size;
            if (j.jet3 && r.size >= 256)
                continue;
            const int values = j.jet3 ? quint8(f[end - mask - 1]) : get16(f, end - mask - 2);
            const int width = j.jet3 ? 1 : 2;
            const qsizetype table = end - mask - width - width * (values + 1);
            s.varTables.push_back({table, width * (values + 1)});
            const auto offset = [&](int i) { return j.jet3 ? int(quint8(f[end - mask - 2 - i])) : get16(f, end - mask - 4 - 2 * i); };
            if (values >= 3 && offset(3) - offset(2) >= 12)   // Notes, the third variable column
                s.memoFields.push_back(r.at + offset(2));
        }
    return s;
}

/// The usage map's bits for People's pages: where each byte lies in the file.
std::vector<qsizetype> mapBytes(const QByteArray& f, const Structure& s)
{
    std::vector<qsizetype> out;
    if (f[s.map.at] == 0) {
        for (qsizetype at = s.map.at + 5; at < s.map.at + s.map.size; ++at)
            out.push_back(at);
        return out;
    }
    for (qsizetype at = s.map.at + 1; at + 4 <= s.map.at + s.map.size; at += 4)
        if (const quint32 page = get32(f, at))
            for (int i = 4; i < s.j.size; ++i)
                out.push_back(qsizetype(page) * s.j.size + i);
    return out;
}

/// Clears the usage map's bit of page `page`.
bool clearMapBit(QByteArray& f, const Structure& s, int page)
{
    if (f[s.map.at] == 0) {
        const qsizetype bit = page - qsizetype(get32(f, s.map.at + 1));
        const qsizetype at = s.map.at + 5 + bit / 8;
        if (bit < 0 || at >= s.map.at + s.map.size || !(quint8(f[at]) & (1 << (bit % 8))))
            return false;
        f[at] = char(quint8(f[at]) & ~(1 << (bit % 8)));
        return true;
    }
    const qsizetype per = qsizetype(s.j.size - 4) * 8;
    const quint32 mapPage = get32(f, s.map.at + 1 + 4 * (page / per));
    const qsizetype bit = page % per;
    const qsizetype at = qsizetype(mapPage) * s.j.size + 4 + bit / 8;
    if (!mapPage || !(quint8(f[at]) & (1 << (bit % 8))))
        return false;
    f[at] = char(quint8(f[at]) & ~(1 << (bit % 8)));
    return true;
}

// ---- a column's definition, a row's layout, the rows a table counts ----

struct Structural {
    const char* name;
    std::function<void(QByteArray&, const Structure&)> apply;
};

void PrintTo(const Structural& d, std::ostream* os) { *os << d.name; }

/// Sets a column's length (Jet 4 keeps a text's in bytes, two a character).
auto columnLength(const char* column, int length)
{
    return [=](QByteArray& f, const Structure& s) { put16(f, s.columns.at(QString::fromLatin1(column)) + s.j.columnSizeAt, length); };
}

auto columnKind(const char* column, int kind)
{
    return [=](QByteArray& f, const Structure& s) { f[s.columns.at(QString::fromLatin1(column))] = char(kind); };
}

const Structural kStructural[] = {
    {"DoubleLengthHalved", columnLength("Amount", 4)},
    {"LongLengthHalved", columnLength("Count", 2)},
    {"DateLengthHalved", columnLength("Since", 4)},
    {"TextBecomesMemo", columnKind("Name", mdbfixture::Memo)},
    {"LongBecomesDouble", columnKind("Count", mdbfixture::Double)},
    {"YesNoBecomesInteger", columnKind("Active", mdbfixture::Int)},
    {"DateBecomesText", columnKind("Since", mdbfixture::Text)},
    // A row's offset of its second variable value moved past the row's end.
    {"VariableOffsetLeavesItsRow",
     [](QByteArray& f, const Structure& s) {
         const Span& t = s.varTables.at(s.varTables.size() / 2);
         const qsizetype second = t.at + t.size - 2 * (s.j.jet3 ? 1 : 2);   // stored in reverse
         f[second] = char(quint8(f[second]) ^ 0x80);
         if (!s.j.jet3)
             f[second + 1] = char(quint8(f[second + 1]) ^ 0x08);
     }},
    // The first variable value's offset after the second's.
    {"VariableOffsetsOutOfOrder",
     [](QByteArray& f, const Structure& s) {
         const Span& t = s.varTables.at(s.varTables.size() / 3);
         const int w = s.j.jet3 ? 1 : 2;
         const qsizetype first = t.at + t.size - w, second = first - w;
         const QByteArray a = f.mid(first, w);
         f.replace(first, w, f.mid(second, w));
         f.replace(second, w, a);
         // the two differ unless the first value is empty: make it longer
         if (f.mid(first, w) == f.mid(second, w))
             f[first] = char(quint8(f[first]) + 1);
     }},
    {"RowClaimsMoreColumnsThanItsTable",
     [](QByteArray& f, const Structure& s) {
         const Span& r = s.rows.at(s.rows.size() / 2);
         f[r.at] = char(quint8(f[r.at]) + 8);   // the null mask grows by a byte and the tail moves
     }},
    {"RowEntryMovedBySeven",
     [](QByteArray& f, const Structure& s) {
         const qsizetype entry = qsizetype(s.pages.people.at(s.pages.people.size() / 2)) * s.j.size + s.j.rowCountAt + 4;
         put16(f, entry, get16(f, entry) + 7);
     }},
    // A row Access moved to another page on an edit: not followed, so refused.
    {"RowMovedToAnotherPage",
     [](QByteArray& f, const Structure& s) {
         const qsizetype entry = qsizetype(s.pages.people.at(s.pages.people.size() / 2)) * s.j.size + s.j.rowCountAt + 4;
         put16(f, entry, get16(f, entry) | 0x4000);
     }},
    {"PageRowCountOneLess",
     [](QByteArray& f, const Structure& s) {
         const qsizetype at = qsizetype(s.pages.people.at(s.pages.people.size() / 2)) * s.j.size + s.j.rowCountAt;
         put16(f, at, get16(f, at) - 1);
     }},
    {"UsageMapBitCleared",
     [](QByteArray& f, const Structure& s) { EXPECT_TRUE(clearMapBit(f, s, s.pages.people.at(s.pages.people.size() / 2))); }},
    {"UsageMapZeroed",
     [](QByteArray& f, const Structure& s) {
         for (qsizetype at : mapBytes(f, s))
             f[at] = 0;
     }},
    // The catalogue's entry of People leads to a system table's definition.
    {"DefinitionOfASystemTable", [](QByteArray& f, const Structure& s) { f[s.tdef + s.j.tdefColumns - 5] = 0x53; }},
    {"DefinitionCountsOneRowMore",
     [](QByteArray& f, const Structure& s) { put32(f, s.tdef + s.j.tdefRows, get32(f, s.tdef + s.j.tdefRows) + 1); }},
    {"DefinitionCountsOneRowLess",
     [](QByteArray& f, const Structure& s) { put32(f, s.tdef + s.j.tdefRows, get32(f, s.tdef + s.j.tdefRows) - 1); }},
};

class StructurallyDamagedAccessTable : public AccessDamage,
                                       public ::testing::WithParamInterface<std::tuple<Layout, Structural>> {};

TEST_P(StructurallyDamagedAccessTable, IsRefusedNamingTheTable)
{
    const Layout layout = std::get<0>(GetParam());
    const QString file = writeFile(path("people.mdb"), layout, 6000, 400);
    const QByteArray sound = readAll(file);
    const Structure s = structureOf(sound, layout);
    ASSERT_EQ(s.columns.size(), 7u);
    ASSERT_GE(s.rows.size(), 400u);
    ASSERT_GE(s.varTables.size(), 3u);
    QByteArray damaged = sound;
    std::get<1>(GetParam()).apply(damaged, s);
    ASSERT_NE(damaged, sound);
    writeAll(file, damaged);
    const Outcome o = importPeople(file);
    EXPECT_TRUE(o.message.startsWith(QStringLiteral("'%1' is damaged and cannot be read: ").arg(file)))
        << o.message.toStdString();
    EXPECT_TRUE(o.message.contains(QStringLiteral("table 'People'"))) << o.message.toStdString();
    EXPECT_EQ(o.list, QStringList{QStringLiteral("kept")});
}

INSTANTIATE_TEST_SUITE_P(Layouts, StructurallyDamagedAccessTable,
                         ::testing::Combine(::testing::Values(Layout::OursJet3, Layout::OursJet4, Layout::ElsewhereJet3,
                                                              Layout::ElsewhereJet4),
                                            ::testing::ValuesIn(kStructural)),
                         [](const auto& info) {
                             return std::string(layoutName(std::get<0>(info.param))) + "_" + std::get<1>(info.param).name;
                         });

/// A row marked deleted (and no longer counted by the definition) is left
/// out; the library alone would read it as any other.
class DeletedAccessRow : public AccessDamage, public ::testing::WithParamInterface<Layout> {};

TEST_P(DeletedAccessRow, IsLeftOut)
{
    const Layout layout = GetParam();
    const QString file = writeFile(path("people.mdb"), layout, 6000, 400);
    QByteArray f = readAll(file);
    const Structure s = structureOf(f, layout);
    const int page = s.pages.people.at(s.pages.people.size() / 2);
    const qsizetype entry = qsizetype(page) * s.j.size + s.j.rowCountAt + 4;   // the page's second row
    const Span row = rowsOn(f, s.j, page).at(1);
    const QString name = nameOf(int(std::find_if(s.rows.begin(), s.rows.end(), [&](const Span& r) { return r.at == row.at; })
                                    - s.rows.begin()));
    ASSERT_TRUE(holds(f.mid(row.at, row.size), name));
    put16(f, entry, get16(f, entry) | 0x8000);
    put32(f, s.tdef + s.j.tdefRows, get32(f, s.tdef + s.j.tdefRows) - 1);
    writeAll(file, f);
    const Outcome o = importPeople(file);
    ASSERT_EQ(o.message.toStdString(), "");
    EXPECT_EQ(o.list.size(), 399);
    const QStringList names = tblData(QStringLiteral("[Name]"));
    EXPECT_FALSE(names.contains(name)) << name.toStdString();
    EXPECT_TRUE(names.contains(nameOf(0)));
}

INSTANTIATE_TEST_SUITE_P(Layouts, DeletedAccessRow,
                         ::testing::Values(Layout::OursJet3, Layout::OursJet4, Layout::ElsewhereJet3, Layout::ElsewhereJet4),
                         [](const auto& info) { return std::string(layoutName(info.param)); });

// ---- seeded mutants, against the sound file and the independent readers ----

/// The cells of a row as "name=value", sorted by name, so that readers that
/// keep no column order compare: text as it is, numbers to 6 digits, dates
/// as their day, Yes/No as 1 or 0, Null as "<null>".
QString canonicalRow(std::vector<std::pair<QString, QString>> cells)
{
    std::sort(cells.begin(), cells.end());
    QStringList out;
    for (const auto& [name, value] : cells)
        out << name + QLatin1Char('=') + value;
    return out.join(QLatin1Char('|'));
}

const QString kNull = QStringLiteral("<null>");

/// A number to 6 digits (a Single carries no more), any below 1e-30 alike
/// (the readers round a Single's subnormals each their own way).
QString canonicalNumber(double d) { return std::abs(d) < 1e-30 ? QStringLiteral("0") : QString::number(d, 'g', 6); }

QString canonicalDay(double serial) { return QDate(1899, 12, 30).addDays(qint64(std::floor(serial))).toString(Qt::ISODate); }

QString canonical(const Value& v)
{
    switch (v.kind()) {
    case jet::Kind::Null: return kNull;
    case jet::Kind::Bool: return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case jet::Kind::Long:
    case jet::Kind::Currency:   // the other readers give an amount as a double
    case jet::Kind::Double: return canonicalNumber(v.toDouble());
    case jet::Kind::Date: return canonicalDay(v.toDate().serial);
    default: return v.toString();
    }
}

/// mdb-reader's rows of People, or why it did not read them.
std::optional<QStringList> readerRows(const QJsonObject& file)
{
    if (file.contains(QStringLiteral("error")))
        return std::nullopt;
    QStringList out;
    for (const QJsonValue row : file[QStringLiteral("tables")][QStringLiteral("People")][QStringLiteral("data")].toArray()) {
        std::vector<std::pair<QString, QString>> cells;
        const QJsonObject o = row.toObject();
        for (auto it = o.begin(); it != o.end(); ++it) {
            const QJsonValue v = it.value();
            QString c;
            if (v.isNull())
                c = kNull;
            else if (v.isBool())
                c = v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
            else if (v.isDouble())
                c = canonicalNumber(v.toDouble());
            else if (static const QRegularExpression currency(QStringLiteral("^-?[0-9]+\\.[0-9]{4}$"));
                     currency.match(v.toString()).hasMatch())
                c = canonicalNumber(v.toString().toDouble());   // a currency, as text
            else if (static const QRegularExpression date(QStringLiteral("^-?[0-9]{4,6}-[0-9]{2}-[0-9]{2}T[0-9:.]{12}Z$"));
                     date.match(v.toString()).hasMatch())
                c = v.toString().left(v.toString().size() - 14);   // a date, in UTC: its day
            else
                c = v.toString();
            cells.emplace_back(it.key(), c);
        }
        out << canonicalRow(std::move(cells));
    }
    return out;
}

/// mdb-export's rows of People (dates as their day), or nothing when it
/// warned or failed.
std::optional<QStringList> exportRows(const QString& file)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("mdb-export"));
    QProcess p;
    p.start(tool, {QStringLiteral("-D"), QStringLiteral("%Y-%m-%d"), QStringLiteral("-T"), QStringLiteral("%Y-%m-%d"), file,
                   QStringLiteral("People")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return std::nullopt;
    if (!p.readAllStandardError().isEmpty())
        return std::nullopt;
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    // CSV: text in double quotes (doubled inside), Null as nothing.
    std::vector<std::vector<std::pair<QString, bool>>> records(1);
    QString cell;
    bool quoted = false, inQuotes = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (inQuotes) {
            if (ch == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                cell += ch;
                ++i;
            } else if (ch == QLatin1Char('"')) {
                inQuotes = false;
            } else {
                cell += ch;
            }
        } else if (ch == QLatin1Char('"')) {
            inQuotes = quoted = true;
        } else if (ch == QLatin1Char(',') || ch == QLatin1Char('\n')) {
            records.back().emplace_back(cell, quoted);
            cell.clear();
            quoted = false;
            if (ch == QLatin1Char('\n'))
                records.emplace_back();
        } else {
            cell += ch;
        }
    }
    if (!records.back().empty() || !cell.isEmpty())
        return std::nullopt;   // no line end at the end
    records.pop_back();
    if (records.empty())
        return std::nullopt;
    const auto& header = records.front();
    QStringList out;
    for (size_t r = 1; r < records.size(); ++r) {
        if (records[r].size() != header.size())
            return std::nullopt;
        std::vector<std::pair<QString, QString>> cells;
        for (size_t c = 0; c < header.size(); ++c) {
            const auto& [v, q] = records[r][c];
            QString out = v;
            bool number = false;
            const double d = v.toDouble(&number);
            if (!q && v.isEmpty())
                out = kNull;
            else if (!q && number)
                out = canonicalNumber(d);
            cells.emplace_back(header[c].first, out);
        }
        out << canonicalRow(std::move(cells));
    }
    return out;
}

struct Mutant {
    QString what;      ///< the damage, for the failure's message
    QByteArray bytes;
    QString binary{};  ///< a column made binary, which an import leaves out
};

/// One seeded damage of the sound file where its structure lies, or anywhere.
Mutant mutate(const QByteArray& sound, const Structure& s, std::mt19937& rng)
{
    Mutant m{QString(), sound};
    QByteArray& f = m.bytes;
    const int size = s.j.size;
    const int pages = int(f.size() / size);
    const auto pick = [&](int n) { return int(std::uniform_int_distribution<int>(0, std::max(0, n - 1))(rng)); };
    const auto flip = [&](qsizetype at) {
        const int bit = pick(8);
        f[at] = char(quint8(f[at]) ^ (1 << bit));
        return QStringLiteral(" byte %1 bit %2").arg(at).arg(bit);
    };
    const auto anyPage = [&] { return 1 + pick(pages - 1); };
    const auto peoplePage = [&] { return s.pages.people.at(size_t(pick(int(s.pages.people.size())))); };
    const auto someRow = [&] { return s.rows.at(size_t(pick(int(s.rows.size())))); };
    switch (pick(16)) {
    case 0: {
        const int p = anyPage();
        f.replace(qsizetype(p) * size, size, QByteArray(size, '\0'));
        m.what = QStringLiteral("page %1 zeroed").arg(p);
        break;
    }
    case 1: {
        const int a = anyPage(), b = anyPage();
        swapPages(f, size, a, b);
        m.what = QStringLiteral("pages %1 and %2 swapped").arg(a).arg(b);
        break;
    }
    case 2: {
        const int a = anyPage(), b = anyPage();
        f.replace(qsizetype(b) * size, size, f.mid(qsizetype(a) * size, size));
        m.what = QStringLiteral("page %1 copied over page %2").arg(a).arg(b);
        break;
    }
    case 3: {
        const qsizetype at = qsizetype(size) + pick(int(f.size() - size));
        f.truncate(pick(2) ? at / size * size : at);
        m.what = QStringLiteral("cut at %1").arg(f.size());
        break;
    }
    case 4: {
        const qsizetype at = s.tdef + s.j.tdefRows;
        const int by = pick(2) ? 1 : -1;
        put32(f, at, pick(4) ? get32(f, at) + quint32(by) : quint32(rng()));
        m.what = QStringLiteral("the definition's row count set to %1").arg(get32(f, at));
        break;
    }
    case 5: {
        const qsizetype at = s.tdef + s.j.tdefColumns - 2 * pick(3);   // columns, variable columns, rows' most columns
        put16(f, at, get16(f, at) + (pick(2) ? 1 : -1));
        m.what = QStringLiteral("the definition's column count at %1 set to %2").arg(at).arg(get16(f, at));
        break;
    }
    case 6: {
        auto c = s.columns.begin();
        std::advance(c, pick(int(s.columns.size())));
        static const int kinds[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0f, 0x10};
        f[c->second] = char(kinds[pick(int(std::size(kinds)))]);
        m.what = QStringLiteral("column %1's kind set to %2").arg(c->first).arg(int(f[c->second]));
        if (f[c->second] == 0x09 || f[c->second] == 0x0b)
            m.binary = c->first;
        break;
    }
    case 7: {
        auto c = s.columns.begin();
        std::advance(c, pick(int(s.columns.size())));
        const qsizetype at = c->second + s.j.columnSizeAt;
        static const int lengths[] = {0, 1, 2, 3, 4, 6, 8, 16, 17, 40, 255, 256};
        const int old = get16(f, at);
        put16(f, at, pick(3) ? lengths[pick(int(std::size(lengths)))] : (pick(2) ? old / 2 : old * 2));
        m.what = QStringLiteral("column %1's length set to %2").arg(c->first).arg(get16(f, at));
        break;
    }
    case 8: {
        const std::vector<qsizetype> bytes = mapBytes(f, s);
        if (pick(4) == 0) {
            for (qsizetype at : bytes)
                f[at] = 0;
            m.what = QStringLiteral("the usage map zeroed");
        } else {
            m.what = QStringLiteral("the usage map's") + flip(s.map.at + pick(std::min(s.map.size, 5)));
            if (pick(2))
                m.what = QStringLiteral("the usage map's bitmap") + flip(bytes.at(size_t(pick(int(std::min<size_t>(bytes.size(), 64))))));
        }
        break;
    }
    case 9: {
        const int p = peoplePage();
        const qsizetype base = qsizetype(p) * size + s.j.rowCountAt;
        const int rows = get16(f, base);
        const qsizetype entry = base + 2 + 2 * pick(rows);
        if (pick(2)) {
            const int by = 1 + pick(8);
            put16(f, entry, get16(f, entry) + (pick(2) ? by : -by));
            m.what = QStringLiteral("a row entry on page %1 moved to %2").arg(p).arg(get16(f, entry));
        } else {
            m.what = QStringLiteral("a row entry on page %1:").arg(p) + flip(entry + pick(2));
        }
        break;
    }
    case 10: {
        const int p = peoplePage();
        const qsizetype at = qsizetype(p) * size + s.j.rowCountAt;
        put16(f, at, get16(f, at) + (pick(2) ? 1 : -1));
        m.what = QStringLiteral("page %1's row count set to %2").arg(p).arg(get16(f, at));
        break;
    }
    case 11: {
        const Span r = someRow();
        m.what = QStringLiteral("a row's column count:") + flip(r.at + (s.j.jet3 ? 0 : pick(2)));
        break;
    }
    case 12: {
        const Span t = s.varTables.at(size_t(pick(int(s.varTables.size()))));
        m.what = QStringLiteral("a row's variable offsets or their count:") + flip(t.at + pick(t.size + (s.j.jet3 ? 1 : 2)));
        break;
    }
    case 13: {
        if (s.memoFields.empty())
            return mutate(sound, s, rng);
        const qsizetype field = s.memoFields.at(size_t(pick(int(s.memoFields.size()))));
        m.what = QStringLiteral("a memo field:") + flip(field + pick(12));
        break;
    }
    case 14: {
        const int p = pick(2) ? peoplePage() : int(s.tdef / size);
        m.what = QStringLiteral("page %1:").arg(p) + flip(qsizetype(p) * size + pick(size));
        break;
    }
    default: {
        const int n = 1 + pick(3);
        for (int i = 0; i < n; ++i)
            m.what += flip(pick(int(f.size())));
        m.what.prepend(QStringLiteral("bits flipped:"));
        break;
    }
    }
    return m;
}

/// The imported list as canonical rows.
QStringList importedRows()
{
    jet::Database db = jet::Database::open(general::gstrWorkDBPath);
    QStringList out;
    if (!db.hasTable(QStringLiteral("tblData")))
        return out;
    auto rs = db.openRecordset(QStringLiteral("SELECT * FROM tblData"), jet::dbOpenSnapshot);
    for (; !rs->eof(); rs->moveNext()) {
        std::vector<std::pair<QString, QString>> cells;
        for (int i = 0; i < rs->fieldCount(); ++i)
            cells.emplace_back(rs->field(i).name, canonical(rs->value(i)));
        out << canonicalRow(std::move(cells));
    }
    return out;
}

/// The first row where two readings differ, cut short, or "the same".
QString difference(const QStringList& ours, const QStringList& theirs)
{
    for (qsizetype i = 0; i < std::max(ours.size(), theirs.size()); ++i) {
        const QString a = ours.value(i, QStringLiteral("<none>")), b = theirs.value(i, QStringLiteral("<none>"));
        if (a == b)
            continue;
        qsizetype from = 0;
        while (from < a.size() && from < b.size() && a[from] == b[from])
            ++from;
        from = std::max<qsizetype>(0, from - 40);
        return QStringLiteral("row %1 of %2/%3: ours ...%4 / theirs ...%5")
            .arg(i)
            .arg(ours.size())
            .arg(theirs.size())
            .arg(a.mid(from, 160), b.mid(from, 160));
    }
    return QStringLiteral("the same");
}

unsigned mutantSeed()
{
    bool ok = false;
    const unsigned seed = qEnvironmentVariable("QB_MUTANT_SEED").toUInt(&ok);
    return ok ? seed : 20261211u;   // the same mutants on every run unless asked for others
}

class AccessMutants : public AccessDamage, public ::testing::WithParamInterface<Layout> {};

TEST_P(AccessMutants, AreRefusedOrReadAsTheSoundFileOrAsTheIndependentReadersRead)
{
    constexpr int kMutants = 90;
    const Layout layout = GetParam();
    const unsigned seed = mutantSeed();
    SCOPED_TRACE(QStringLiteral("seed %1 (QB_MUTANT_SEED=%1 repeats it)").arg(seed).toStdString());
    const QString base = writeFile(path("sound.mdb"), layout, 3000, 40);
    const QByteArray sound = readAll(base);
    const Structure s = structureOf(sound, layout);
    ASSERT_GE(s.memoFields.size(), 3u);
    const Outcome whole = importPeople(base);
    ASSERT_EQ(whole.message.toStdString(), "");
    ASSERT_EQ(whole.list.size(), 40);
    const QStringList soundRows = importedRows();

    std::mt19937 rng(seed);
    struct Open {
        QString what, file;
        QStringList rows;
        QString binary;
    };
    std::vector<Open> open;
    int refused = 0, same = 0;
    QElapsedTimer clock;
    clock.start();
    for (int n = 0; n < kMutants; ++n) {
        const Mutant m = mutate(sound, s, rng);
        const QString what = QStringLiteral("mutant %1 (%2)").arg(n).arg(m.what);
        const QString file = path("mutant.mdb");
        writeAll(file, m.bytes);
        const Outcome o = importPeople(file);
        if (!o.message.isEmpty()) {
            ++refused;
            EXPECT_EQ(o.list, QStringList{QStringLiteral("kept")}) << what.toStdString();
            continue;
        }
        const QStringList rows = importedRows();
        if (rows == soundRows) {
            ++same;
            continue;
        }
        const QString kept = path(QStringLiteral("mutant-%1.mdb").arg(n).toUtf8().constData());
        writeAll(kept, m.bytes);
        open.push_back({what, kept, rows, m.binary});
    }
    std::cout << "[          ] " << layoutName(layout) << ", seed " << seed << ": " << refused << " refused, " << same
              << " as the sound file, " << open.size() << " to compare, in " << clock.elapsed() << " ms\n";
    if (open.empty())
        return;

    QB_NEED_OUTSIDE(mdbExportInstalled(), "mdb-export is not installed");
    QStringList files;
    for (const Open& o : open)
        files << o.file;
    QJsonArray report;
    const QString why = mdbfixture::mdbReader(files, report, {QStringLiteral("People")});   // what the import reads
    QB_NEED_OUTSIDE(why.isEmpty(), why.toStdString());
    ASSERT_EQ(report.size(), qsizetype(open.size())) << QJsonDocument(report).toJson().toStdString();
    for (size_t i = 0; i < open.size(); ++i) {
        std::optional<QStringList> reader = readerRows(report[qsizetype(i)].toObject());
        std::optional<QStringList> exported = exportRows(open[i].file);
        // An import leaves binary columns out: so do the others' readings here.
        if (!open[i].binary.isEmpty())
            for (std::optional<QStringList>* rows : {&reader, &exported})
                if (*rows)
                    for (QString& row : **rows)
                        row.remove(QRegularExpression(QStringLiteral("(^|\\|)%1=[^|]*").arg(QRegularExpression::escape(open[i].binary))));
        // mdb-export writes an empty text as it writes Null, ends a text at
        // a zero character, and writes no date before 1900 right.
        QStringList ours = open[i].rows;
        static const QRegularExpression empty(QStringLiteral("=(?=\\||$)")), zero(QStringLiteral("\\x{0}[^|]*")),
            early(QStringLiteral("=(0[0-9]{3}|1[0-8][0-9]{2})-[0-9]{2}-[0-9]{2}(?=\\||$)"));
        static const QRegularExpression exportEarly(QStringLiteral("=(1900-01-00|0[0-9]{3}-[0-9]{2}-[0-9]{2}|1[0-8][0-9]{2}-[0-9]{2}-[0-9]{2})(?=\\||$)"));
        const QString before1900 = QStringLiteral("=<before 1900>");
        for (QString& row : ours)
            row.remove(zero).replace(empty, QStringLiteral("=") + kNull).replace(early, before1900);
        if (exported)
            for (QString& row : *exported)
                row.replace(exportEarly, before1900);
        const bool agreed = reader && exported && *reader == open[i].rows && *exported == ours;
        EXPECT_TRUE(agreed) << open[i].what.toStdString() << " came in as neither the sound file nor as the other readers read it:\n"
                            << "against the sound file: " << difference(open[i].rows, soundRows).toStdString() << "\nmdb-reader: "
                            << (reader ? difference(open[i].rows, *reader).toStdString()
                                       : QJsonDocument(report[qsizetype(i)].toObject()).toJson().left(400).toStdString())
                            << "\nmdb-export: " << (exported ? difference(ours, *exported).toStdString() : "warned or failed");
        // QB_MUTANT_KEEP names a folder to keep such mutants in.
        if (!agreed && qEnvironmentVariableIsSet("QB_MUTANT_KEEP"))
            QFile::copy(open[i].file, QDir(qEnvironmentVariable("QB_MUTANT_KEEP")).filePath(QFileInfo(open[i].file).fileName()));
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, AccessMutants,
                         ::testing::Values(Layout::OursJet3, Layout::OursJet4, Layout::ElsewhereJet3, Layout::ElsewhereJet4),
                         [](const auto& info) { return std::string(layoutName(info.param)); });

} // namespace
