// Access files damaged where their structure shows it, on the chooser's road
// (the table list, then the import's statement in its savepoint): a data page
// zeroed or swapped with another table's, a long-value page zeroed or swapped
// with a data page, a memo's length one off. Each is refused, naming the
// table, and the previous list stays; the same files sound (and with a memo
// of over a megabyte) come in whole. The files: the program's own Jet 3 and
// Jet 4 exports, and the fixture's, laid out as files made elsewhere are (the
// usage maps on page 1, before the data). mdb-export, an independent reader,
// sees each damage: it warns or reads something else.
#include "exchange/import_fixture.h"

#include "exchange/import_sources.h"
#include "platform/drivers/jet_writer.h"
#include "platform/drivers/mdb_fixture.h"
#include "platform/jet/error.h"
#include "support/file_bytes.h"

#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <functional>
#include <optional>

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

/// A file with the tables People (Name, City, Amount, Notes) and Other
/// (Label, N); People's first two rows hold memos.
QString writeFile(const QString& file, Layout layout, qsizetype longMemo = 6000)
{
    if (layout == Layout::OursJet3 || layout == Layout::OursJet4) {
        writeAll(file, drivers::emptyJetDatabase(isJet3(layout) ? drivers::JetVersion::Jet3 : drivers::JetVersion::Jet4));
        const jet::ColumnList people = {{QStringLiteral("Name"), jet::dbText, 40, jet::dbVariableField},
                                        {QStringLiteral("City"), jet::dbText, 30, jet::dbVariableField},
                                        {QStringLiteral("Amount"), jet::dbDouble, 8, jet::dbFixedField},
                                        {QStringLiteral("Notes"), jet::dbMemo, 0, jet::dbVariableField}};
        int at = 0;
        drivers::writeJetTable(file, QStringLiteral("People"), people, [&](std::vector<Value>& row) {
            if (at == kRows)
                return false;
            const QString memo = memoOf(at, longMemo);
            row = {Value(nameOf(at)), Value(QStringLiteral("City %1").arg(at % 97)), Value(at * 1.25),
                   memo.isEmpty() ? Value() : Value(memo)};
            ++at;
            return true;
        });
        const jet::ColumnList other = {{QStringLiteral("Label"), jet::dbText, 40, jet::dbVariableField},
                                       {QStringLiteral("N"), jet::dbLong, 4, jet::dbFixedField}};
        at = 0;
        drivers::writeJetTable(file, QStringLiteral("Other"), other, [&](std::vector<Value>& row) {
            if (at == kRows)
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
                      {QStringLiteral("Notes"), mdbfixture::Memo, 0, false}};
    for (int i = 0; i < kRows; ++i) {
        const QString memo = memoOf(i, longMemo);
        people.rows.push_back({Value(nameOf(i)), Value(QStringLiteral("City %1").arg(i % 97)), Value(i * 1.25),
                               memo.isEmpty() ? Value() : Value(memo)});
    }
    mdbfixture::Table other;
    other.name = QStringLiteral("Other");
    other.columns = {{QStringLiteral("Label"), mdbfixture::Text, 40, false}, {QStringLiteral("N"), mdbfixture::Long, 0, false}};
    for (int i = 0; i < kRows; ++i)
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

/// mdb-export's reading of the table; fails the test (under CI: always)
/// when the tool is missing.
std::optional<Export> mdbExport(const QString& file, const QString& table)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("mdb-export"));
    if (tool.isEmpty()) {
        if (qEnvironmentVariableIsSet("CI"))
            ADD_FAILURE() << "mdb-export is not installed";
        return std::nullopt;
    }
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
    const std::optional<Export> before = mdbExport(file, QStringLiteral("People"));

    QByteArray damaged = sound;
    if (!damage.apply(damaged, pages)) {
        EXPECT_TRUE(layout == Layout::ElsewhereJet3 || layout == Layout::ElsewhereJet4) << "no place for the damage";
        return;
    }
    ASSERT_NE(damaged, sound);
    writeAll(file, damaged);

    // The damage is real: the independent reader warns or reads something else
    // (it reads a memo on one page by its row, not by the length its field
    // gives, which only a strict reader follows).
    if (before && !QByteArray(damage.name).startsWith("OnePage")) {
        const std::optional<Export> after = mdbExport(file, QStringLiteral("People"));
        ASSERT_TRUE(after);
        EXPECT_TRUE(!after->err.isEmpty() || after->out != before->out) << "mdb-export reads the damaged file unchanged";
    }

    const Outcome o = importPeople(file);
    EXPECT_TRUE(o.message.startsWith(QStringLiteral("'%1' is damaged and cannot be read: ").arg(file)))
        << o.message.toStdString();
    EXPECT_TRUE(o.message.contains(QStringLiteral("table 'People'"))) << o.message.toStdString();
    EXPECT_EQ(o.list, QStringList{QStringLiteral("kept")});
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

} // namespace
