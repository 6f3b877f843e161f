// Damaged Access files: each fixture is a sound Jet 4 file with one of the
// damages the Access library would follow without end (a definition or a
// long value whose pages run in a circle, a definition claiming thousands of
// columns). Reading must end at once with the reason, on the chooser's road.
#include "platform/drivers/mdb_fixture.h"
#include "platform/drivers/mdb_reader.h"

#include "exchange/import_sources.h"
#include "platform/jet/error.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>

namespace {

using jet::Value;

constexpr int kPage = 4096;

void put32(QByteArray& b, qsizetype at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xff);
}

/// Pages of the given type, in file order ("LVAL" pages are data pages marked so).
std::vector<int> pagesOf(const QByteArray& f, char type, bool longValues = false)
{
    std::vector<int> out;
    for (int p = 3; (p + 1) * kPage <= f.size(); ++p)
        if (f[p * kPage] == type && (f.mid(p * kPage + 4, 4) == "LVAL") == longValues)
            out.push_back(p);
    return out;
}

/// The catalogue's properties of a table as Jet 4 keeps them ("MR2", then a
/// chunk of names), with names enough for a chain of long-value pages; as
/// the fixture's text (two bytes a character).
QString longPropertyBlock()
{
    QByteArray names;
    for (int i = 0; names.size() < 9000; ++i) {
        const QString n = QStringLiteral("Property%1").arg(i);
        names.append(char((n.size() * 2) & 0xff));
        names.append(char((n.size() * 2) >> 8));
        names.append(reinterpret_cast<const char*>(n.utf16()), n.size() * 2);
    }
    QByteArray block("MR2", 4);
    block.append(QByteArray(6, '\0'));
    put32(block, 4, std::uint32_t(6 + names.size()));
    block[8] = char(0x80);
    block += names;
    return QString(reinterpret_cast<const QChar*>(block.constData()), block.size() / 2);
}

struct Case {
    const char* name;
    std::function<void(QByteArray&)> damage;
    const char* reason;
    bool whenListing;   ///< the table list already fails
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class DamagedAccessFile : public ::testing::TestWithParam<Case> {};

TEST_P(DamagedAccessFile, EndsAtOnceWithTheReason)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("damaged.mdb"));
    QString memo;
    while (memo.size() < 5000)
        memo += QStringLiteral("Notiz %1 ").arg(memo.size());
    mdbfixture::Table people;
    people.name = QStringLiteral("People");
    people.columns = {{QStringLiteral("Name"), mdbfixture::Text, 20, false}, {QStringLiteral("Notes"), mdbfixture::Memo, 0, false}};
    people.rows = {{Value("Ann"), Value(memo)}, {Value("Bob"), Value("short")}};
    people.properties = longPropertyBlock();   // the catalogue's long value, on pages after the memo's
    ASSERT_TRUE(mdbfixture::writeMdb(path, mdbfixture::Version::Jet4, {people}));
    QByteArray bytes;
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        bytes = f.readAll();
    }
    ASSERT_GE(pagesOf(bytes, 0x01, true).size(), 2u);   // the memo's chain of long-value pages
    GetParam().damage(bytes);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    QElapsedTimer clock;
    clock.start();
    try {
        if (!GetParam().whenListing) {
            EXPECT_EQ(exchange::accessTables(path), QStringList{QStringLiteral("People")});
        }
        auto reader = drivers::readMdbTable(path, QStringLiteral("People"));
        std::vector<Value> row;
        while (reader->next(row)) {
        }
        ADD_FAILURE() << "the damaged file was read";
    } catch (const jet::JetError& e) {
        EXPECT_EQ(e.number(), jet::errExternal) << e.description().toStdString();
        EXPECT_EQ(e.description(),
                  QStringLiteral("'%1' is damaged and cannot be read: %2.").arg(path, QString::fromUtf8(GetParam().reason)));
    }
    EXPECT_LT(clock.elapsed(), 10000);
}

const Case kCases[] = {
    {"CatalogueDefinitionInACircle", [](QByteArray& f) { put32(f, 2 * kPage + 4, 2); },
     "the definition of the catalogue runs in a circle", true},
    {"TableDefinitionInACircle",
     [](QByteArray& f) {
         const int tdef = pagesOf(f, 0x02).front();
         put32(f, qsizetype(tdef) * kPage + 4, std::uint32_t(tdef));
     },
     "the definition of table 'People' runs in a circle", false},
    {"TableDefinitionClaimingThousandsOfColumns",
     [](QByteArray& f) {
         const int tdef = pagesOf(f, 0x02).front();
         f[qsizetype(tdef) * kPage + 45] = char(0xff);
         f[qsizetype(tdef) * kPage + 46] = char(0x7f);
     },
     "table 'People' claims 32767 columns", false},
    // The catalogue's property value (read while the tables are listed) names
    // its own last part as the next: the library would append it forever.
    {"CataloguePropertiesInACircle",
     [](QByteArray& f) {
         const int last = pagesOf(f, 0x01, true).back();
         const qsizetype page = qsizetype(last) * kPage;
         const int row = static_cast<unsigned char>(f[page + 0x0e]) | static_cast<unsigned char>(f[page + 0x0f]) << 8;
         put32(f, page + row, std::uint32_t(last) << 8);
     },
     "a long value of the catalogue runs in a circle of pages", true},
    // The last part of the memo becomes an empty part that names itself as
    // the next: the library would copy nothing, forever.
    {"MemoInACircleOfPages",
     [](QByteArray& f) {
         const std::vector<int> lval = pagesOf(f, 0x01, true);
         const int last = lval[lval.size() / 2 - 1];   // the memo's pages come first, then the properties'
         const qsizetype page = qsizetype(last) * kPage;
         f[page + 0x0e] = char((kPage - 4) & 0xff);   // row 0 starts 4 bytes before the page's end
         f[page + 0x0f] = char((kPage - 4) >> 8);
         put32(f, page + kPage - 4, std::uint32_t(last) << 8);
     },
     "a long value of table 'People' runs in a circle of pages", false},
};

INSTANTIATE_TEST_SUITE_P(Damages, DamagedAccessFile, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

namespace {

/// Damage only the Access library itself sees, and says so on standard error
/// while it reads on: the catalogue's properties of a table that are not a
/// property block at all. The child catches what the library writes.
TEST(AccessLibraryWarnings, RefuseTheFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("warned.mdb"));
    mdbfixture::Table people;
    people.name = QStringLiteral("People");
    people.columns = {{QStringLiteral("Name"), mdbfixture::Text, 20, false}};
    people.rows = {{Value("Ann")}, {Value("Bob")}};
    people.properties = QStringLiteral("not a property block");
    ASSERT_TRUE(mdbfixture::writeMdb(path, mdbfixture::Version::Jet4, {people}));
    for (const bool listing : {true, false}) {
        try {
            if (listing) {
                exchange::accessTables(path);
            } else {
                auto reader = drivers::readMdbTable(path, QStringLiteral("People"));
                std::vector<Value> row;
                while (reader->next(row)) {
                }
            }
            ADD_FAILURE() << "the file was read";
        } catch (const jet::JetError& e) {
            EXPECT_EQ(e.description().toStdString(),
                      QStringLiteral("'%1' is damaged and cannot be read: the Access library reports damage in the "
                                     "catalogue (\"Unrecognized format.\").")
                          .arg(path)
                          .toStdString());
        }
    }
}

} // namespace
