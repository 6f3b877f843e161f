// Damaged sources on the user's road (Select Source, the chooser, Import):
// Access files cut short, with damaged catalogue properties or with bytes
// flipped anywhere, a damaged workbook and a damaged contact database. Each
// import ends in seconds; a refusal says "File Error" and why, and leaves the
// previous list as it was; nothing is imported with rows missing.
#include "exchange/import_fixture.h"

#include "exchange/frmexceltables.h"
#include "exchange/import_sources.h"
#include "platform/jet/error.h"
#include "platform/drivers/jet_writer.h"
#include "platform/drivers/mdb_fixture.h"
#include "support/contact_fixture.h"
#include "support/file_bytes.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <random>

using importtest::ImportTest;
using jet::Value;

namespace {

using testfiles::readAll;
using testfiles::writeAll;

constexpr int kRows = 3000;
constexpr qint64 kSeconds = 10'000;

/// Flips `count` bytes at random places of [from, to) (a fixed seed per case).
QByteArray flipped(QByteArray b, std::mt19937& rng, int count, qsizetype from = 0, qsizetype to = -1)
{
    if (to < 0)
        to = b.size();
    std::uniform_int_distribution<qsizetype> at(from, to - 1);
    std::uniform_int_distribution<int> bits(1, 255);
    for (int i = 0; i < count; ++i)
        b[at(rng)] = char(b[at(rng)] ^ bits(rng));
    return b;
}

/// What an import ended with.
struct Outcome {
    QStringList messages;
    qint64 millis = 0;
    QStringList list;   ///< tblData's rows, "|"-joined
};

class DamagedSources : public ImportTest {
protected:
    /// An Access file of the program's own writer: kRows rows over many
    /// pages, some with memos on long-value pages of their own.
    QString writtenAccessFile(drivers::JetVersion version)
    {
        const QString file = path(version == drivers::JetVersion::Jet3 ? "people97.mdb" : "people2000.mdb");
        writeAll(file, drivers::emptyJetDatabase(version));
        const jet::ColumnList cols = {{QStringLiteral("Name"), jet::dbText, 40, jet::dbVariableField},
                                      {QStringLiteral("City"), jet::dbText, 30, jet::dbVariableField},
                                      {QStringLiteral("Amount"), jet::dbDouble, 8, jet::dbFixedField},
                                      {QStringLiteral("Notes"), jet::dbMemo, 0, jet::dbVariableField}};
        int at = 0;
        drivers::writeJetTable(file, QStringLiteral("People"), cols, [&](std::vector<Value>& row) {
            if (at == kRows)
                return false;
            const QString notes = at % 100 == 0 ? QStringLiteral("Note %1. ").arg(at).repeated(400) : QString();
            row = {Value(QStringLiteral("Person %1").arg(at)), Value(QStringLiteral("City %1").arg(at % 97)),
                   Value(at * 1.25), notes.isEmpty() ? Value() : Value(notes)};
            ++at;
            return true;
        });
        return file;
    }

    /// A previous list in tblData, and no list open.
    void freshStart()
    {
        if (frmdataform::loaded()) {
            general::gblnNewImport = true;
            frmdataform::unload();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        general::gdbWork.close();
        general::gintFileOpen = 0;
        {
            jet::Database db = jet::Database::open(general::gstrWorkDBPath);
            general::DropTable(db, QStringLiteral("tblData"));
        }
        makePreviousList();
    }

    /// Imports the file's table People through Select Source and the chooser,
    /// every message answered OK.
    Outcome importAccess(const QString& file)
    {
        freshStart();
        Outcome o;
        ui::ScriptedHandler lenient([](const QString&) {});
        lenient.setThrowOnFailure(false);
        lenient.answerFile(file, 2);
        QElapsedTimer clock;
        clock.start();
        main->Open_Source_File();
        if (frmTablenames* chooser = frmTablenames::loaded()) {
            auto* tables = chooser->findChild<QComboBox*>(QStringLiteral("Combo1"));
            const int index = tables->findText(QStringLiteral("People"));
            if (index >= 0) {
                tables->setCurrentIndex(index);
                emit tables->activated(index);
                chooser->findChild<QPushButton*>(QStringLiteral("cmdcontinue2"))->click();
            } else {
                o.messages << QStringLiteral("<no table People>");
            }
            delete frmTablenames::loaded();
        }
        o.millis = clock.elapsed();
        o.messages << lenient.messageTexts();
        o.list = tblData(frmdataform::loaded() ? QStringLiteral("[Name]") : QStringLiteral("*"));
        return o;
    }

    /// The same import without the windows (for many cases): the table list,
    /// then the chooser's statement in its savepoint.
    Outcome importStatement(const QString& file)
    {
        freshStart();
        Outcome o;
        QElapsedTimer clock;
        clock.start();
        try {
            jet::Database db = jet::Database::open(general::gstrWorkDBPath);
            if (!exchange::tableChoices(exchange::accessTables(file)).contains(QStringLiteral("People"))) {
                o.messages << QStringLiteral("<no table People>");
            } else {
                const QString sql = exchange::accessImportStatement(file, QStringLiteral("People"));
                exchange::allOrNothing(db, [&] {
                    general::DropTable(db, QStringLiteral("tblData"));
                    db.execute(sql, jet::dbFailOnError);
                });
            }
        } catch (const jet::JetError& e) {
            o.messages << QStringLiteral("File Error ") + e.description();
        }
        o.millis = clock.elapsed();
        o.list = tblData();
        return o;
    }

    /// Every message box was a refusal of the file with its reason, and the
    /// previous list is still there.
    static void expectRefusedKeepingTheList(const Outcome& o)
    {
        ASSERT_FALSE(o.messages.isEmpty());
        EXPECT_TRUE(o.messages.last().startsWith(QStringLiteral("File Error"))) << o.messages.last().toStdString();
        EXPECT_TRUE(o.messages.last().contains(QStringLiteral("is damaged and cannot be read: ")))
            << o.messages.last().toStdString();
        EXPECT_EQ(o.list, QStringList{QStringLiteral("kept")});
        EXPECT_LT(o.millis, kSeconds);
    }

    /// Either refused as above, or the whole table came in.
    static void expectRefusedOrWhole(const Outcome& o, int rows)
    {
        EXPECT_LT(o.millis, kSeconds);
        if (o.messages.isEmpty()) {
            EXPECT_EQ(o.list.size(), rows);
            return;
        }
        EXPECT_TRUE(o.messages.last().startsWith(QStringLiteral("File Error"))) << o.messages.last().toStdString();
        EXPECT_EQ(o.list, QStringList{QStringLiteral("kept")});
    }
};

class CutAccessFile : public DamagedSources, public ::testing::WithParamInterface<drivers::JetVersion> {};

TEST_P(CutAccessFile, IsRefusedAtAQuarterAndAtAHalf)
{
    const QString file = writtenAccessFile(GetParam());
    const QByteArray whole = readAll(file);
    const Outcome sound = importAccess(file);
    ASSERT_TRUE(sound.messages.isEmpty()) << sound.messages.join(QStringLiteral(" / ")).toStdString();
    ASSERT_EQ(sound.list.size(), kRows);
    ASSERT_GT(whole.size(), 40 * (GetParam() == drivers::JetVersion::Jet3 ? 2048 : 4096));   // many pages

    for (const double part : {0.25, 0.5, 0.75}) {
        SCOPED_TRACE(part);
        // Cut inside a page, and at a page's end.
        for (const qsizetype cut : {qsizetype(whole.size() * part) + 100, qsizetype(whole.size() * part) / 4096 * 4096}) {
            writeAll(file, whole.left(cut));
            expectRefusedKeepingTheList(importAccess(file));
        }
    }
}

/// Access files whose every byte is subject to damage: 64 random flips per
/// case, with fixed seeds.
TEST_P(CutAccessFile, RandomFlipsEndInSeconds)
{
    const QString file = writtenAccessFile(GetParam());
    const QByteArray whole = readAll(file);
    std::mt19937 rng(20261211);
    for (int i = 0; i < 24; ++i) {
        SCOPED_TRACE(i);
        writeAll(file, flipped(whole, rng, 64));
        const Outcome o = importStatement(file);
        EXPECT_LT(o.millis, kSeconds);
        // A flipped name may only hide the table from the chooser.
        if (!o.messages.isEmpty() && o.messages.last() != QLatin1String("<no table People>")) {
            EXPECT_TRUE(o.messages.last().startsWith(QStringLiteral("File Error"))) << o.messages.last().toStdString();
            EXPECT_EQ(o.list, QStringList{QStringLiteral("kept")});
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, CutAccessFile, ::testing::Values(drivers::JetVersion::Jet3, drivers::JetVersion::Jet4),
                         [](const auto& info) { return info.param == drivers::JetVersion::Jet3 ? "Jet3" : "Jet4"; });

// ---- the catalogue's property blocks ----

void put16(QByteArray& b, int v)
{
    b.append(char(v & 0xff));
    b.append(char((v >> 8) & 0xff));
}
void put32(QByteArray& b, quint32 v)
{
    put16(b, int(v & 0xffff));
    put16(b, int(v >> 16));
}

/// Text as the version stores it in a property block.
QByteArray propText(bool jet3, const QString& s)
{
    return jet3 ? s.toLatin1() : QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
}

/// A property block as Access writes one for a table: the names, then one
/// block of values for the table itself.
QByteArray propertyBlock(bool jet3)
{
    QByteArray names;
    for (const QString& n : {QStringLiteral("Description"), QStringLiteral("Orientation"), QStringLiteral("DefaultView")}) {
        put16(names, int(propText(jet3, n).size()));
        names += propText(jet3, n);
    }
    QByteArray values;
    const QByteArray description = propText(jet3, QStringLiteral("Customer list"));
    const auto value = [&](int type, int name, const QByteArray& data) {
        put16(values, 8 + int(data.size()));
        values.append(char(0));
        values.append(char(type));
        put16(values, name);
        put16(values, int(data.size()));
        values += data;
    };
    value(0x0a, 0, description);              // text
    value(0x03, 1, QByteArray("\x01\x00", 2));   // integer
    value(0x03, 2, QByteArray("\x02\x00", 2));   // integer
    QByteArray block;
    block += jet3 ? QByteArray("KKD", 4) : QByteArray("MR2", 4);
    put32(block, quint32(6 + names.size()));
    put16(block, 0x80);
    block += names;
    QByteArray body;
    put32(body, 0);   // the block's own length field, which the library skips
    put16(body, 0);   // no name: the table's own properties
    body += values;
    put32(block, quint32(6 + body.size()));
    put16(block, 0x00);
    block += body;
    return block;
}

/// A property value of the test's fixture writer: the block's bytes as the
/// text it stores (Jet 3 one byte a character, Jet 4 two).
QString asFixtureText(bool jet3, QByteArray block)
{
    if (jet3)
        return QString::fromLatin1(block);
    if (block.size() % 2)
        block.append('\0');
    return QString(reinterpret_cast<const QChar*>(block.constData()), block.size() / 2);
}

struct PropertyDamage {
    const char* name;
    std::function<void(QByteArray&, bool jet3)> damage;
};

void PrintTo(const PropertyDamage& d, std::ostream* os) { *os << d.name; }

class DamagedProperties : public DamagedSources,
                          public ::testing::WithParamInterface<std::tuple<mdbfixture::Version, PropertyDamage>> {};

TEST_P(DamagedProperties, AreRefusedInSeconds)
{
    const bool jet3 = std::get<0>(GetParam()) == mdbfixture::Version::Jet3;
    QByteArray block = propertyBlock(jet3);
    const auto write = [&](const QByteArray& props) {
        mdbfixture::Table people;
        people.name = QStringLiteral("People");
        people.columns = {{QStringLiteral("Name"), mdbfixture::Text, 40, false}};
        for (int i = 0; i < 200; ++i)
            people.rows.push_back({Value(QStringLiteral("Person %1").arg(i))});
        people.properties = asFixtureText(jet3, props);
        const QString file = path("props.mdb");
        QString why;
        EXPECT_TRUE(mdbfixture::writeMdb(file, std::get<0>(GetParam()), {people}, &why)) << why.toStdString();
        return file;
    };
    // The sound block reads.
    const Outcome sound = importStatement(write(block));
    ASSERT_TRUE(sound.messages.isEmpty()) << sound.messages.join(QStringLiteral(" / ")).toStdString();
    ASSERT_EQ(sound.list.size(), 200);

    std::get<1>(GetParam()).damage(block, jet3);
    const Outcome o = importAccess(write(block));
    expectRefusedKeepingTheList(o);
    EXPECT_TRUE(o.messages.last().endsWith(QStringLiteral("the properties of an object in the catalogue are damaged.")))
        << o.messages.last().toStdString();
}

const qsizetype kNamesChunk = 4;   // where the chunk of names starts

/// Where the block of values starts.
qsizetype valuesChunk(const QByteArray& b)
{
    const auto u32 = [&](qsizetype at) { return qsizetype(quint8(b[at]) | quint8(b[at + 1]) << 8); };
    return kNamesChunk + u32(kNamesChunk);
}

const PropertyDamage kPropertyDamages[] = {
    // The library would step by 0 for ever.
    {"ChunkOfNamesOfLengthZero", [](QByteArray& b, bool) { b.replace(kNamesChunk, 4, QByteArray(4, '\0')); }},
    {"ValueOfLengthZero",
     [](QByteArray& b, bool) {
         const qsizetype first = valuesChunk(b) + 6 + 6;   // the chunk's head, the block's length and name
         b[first] = 0;
         b[first + 1] = 0;
     }},
    {"ChunkRunningPastTheBlock", [](QByteArray& b, bool) { b[valuesChunk(b) + 1] = char(0x7f); }},
    {"NameRunningPastItsChunk", [](QByteArray& b, bool) { b[kNamesChunk + 6 + 1] = char(0x40); }},
    {"DateShorterThanItsType",
     [](QByteArray& b, bool) {
         const qsizetype first = valuesChunk(b) + 6 + 6;
         b[first + 3] = 0x08;   // the description becomes a date of its text's few bytes
         b[first + 6] = 2;
         b[first + 7] = 0;
     }},
    {"CutInsideAChunk", [](QByteArray& b, bool) { b.chop(5); }},
};

INSTANTIATE_TEST_SUITE_P(Damages, DamagedProperties,
                         ::testing::Combine(::testing::Values(mdbfixture::Version::Jet3, mdbfixture::Version::Jet4),
                                            ::testing::ValuesIn(kPropertyDamages)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) == mdbfixture::Version::Jet3 ? "Jet3_" : "Jet4_")
                                    + std::get<1>(info.param).name;
                         });

/// Random flips inside the property block: refused, or the table whole.
TEST_F(DamagedSources, RandomFlipsInCatalogueProperties)
{
    std::mt19937 rng(4711);
    for (const auto version : {mdbfixture::Version::Jet3, mdbfixture::Version::Jet4}) {
        const bool jet3 = version == mdbfixture::Version::Jet3;
        const QByteArray block = propertyBlock(jet3);
        for (int i = 0; i < 30; ++i) {
            SCOPED_TRACE(i);
            mdbfixture::Table people;
            people.name = QStringLiteral("People");
            people.columns = {{QStringLiteral("Name"), mdbfixture::Text, 40, false}};
            for (int r = 0; r < 50; ++r)
                people.rows.push_back({Value(QStringLiteral("Person %1").arg(r))});
            people.properties = asFixtureText(jet3, flipped(block, rng, 1 + i % 4, 4));
            const QString file = path("props.mdb");
            ASSERT_TRUE(mdbfixture::writeMdb(file, version, {people}));
            expectRefusedOrWhole(importStatement(file), 50);
        }
    }
}

// ---- a workbook and a contact database ----

TEST_F(DamagedSources, DamagedWorkbookEndsInSeconds)
{
    std::vector<importtest::Row> rows;
    for (int i = 0; i < 400; ++i)
        rows.push_back({QStringLiteral("Person %1").arg(i), QStringLiteral("City %1").arg(i % 13), i * 0.5});
    const QString book = writeWorkbook("people.xls", QStringLiteral("People"), rows);
    const QByteArray whole = readAll(book);
    std::mt19937 rng(1900);
    for (int i = 0; i < 16; ++i) {
        SCOPED_TRACE(i);
        writeAll(book, i == 0 ? whole.left(whole.size() / 2) : flipped(whole, rng, 1 + i % 8));
        freshStart();
        ui::ScriptedHandler lenient([](const QString&) {});
        lenient.setThrowOnFailure(false);
        lenient.answerFile(book, 3);
        QTimer::singleShot(0, [] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!d)
                return;
            if (auto* go = d->findChild<QPushButton*>(QStringLiteral("cmdContinue")))
                go->click();
            if (d->isVisible())
                d->reject();
        });
        QElapsedTimer clock;
        clock.start();
        main->Open_Source_File();
        EXPECT_LT(clock.elapsed(), kSeconds);
        if (!frmdataform::loaded()) {
            EXPECT_EQ(tblData(), QStringList{QStringLiteral("kept")}) << lenient.messageTexts().join(QStringLiteral(" / ")).toStdString();
        }
    }
}

// 512 zero bytes in a sheet's cells read as records of type 0 and put the
// records after them out of step: the file is refused at Select Source with
// "File Error" and the reason, and the previous list stays.
TEST_F(DamagedSources, ZeroedSectorInASheetsCellsIsAFileError)
{
    std::vector<importtest::Row> rows;
    for (int i = 0; i < 400; ++i)
        rows.push_back({QStringLiteral("Person %1").arg(i), QStringLiteral("City %1").arg(i % 13), i * 0.5});
    const QString book = writeWorkbook("people.xls", QStringLiteral("People"), rows);
    QByteArray bytes = readAll(book);
    // The stream lies in one run of sectors after the header; its cells
    // are in its second half.
    const qsizetype sector = (bytes.size() / 512) * 3 / 4;
    bytes.replace(sector * 512, 512, QByteArray(512, '\0'));
    writeAll(book, bytes);
    freshStart();
    ui::ScriptedHandler lenient([](const QString&) {});
    lenient.setThrowOnFailure(false);
    lenient.answerFile(book, 3);
    QTimer::singleShot(0, [] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            d->reject();
    });
    main->Open_Source_File();
    EXPECT_EQ(frmdataform::loaded(), nullptr);
    const QStringList said = lenient.messageTexts();
    ASSERT_EQ(said.size(), 1) << said.join(QStringLiteral(" / ")).toStdString();
    EXPECT_TRUE(said[0].startsWith(QStringLiteral("File Error"))) << said[0].toStdString();
    EXPECT_TRUE(said[0].contains(QStringLiteral("cannot be read as a workbook: a record of the workbook "))) << said[0].toStdString();
    EXPECT_EQ(tblData(), QStringList{QStringLiteral("kept")});
}

TEST_F(DamagedSources, DamagedContactDatabaseEndsInSeconds)
{
    const QString folder = dir.filePath(QStringLiteral("contacts"));
    const QString table = contacttest::makeDatabase(folder, contacttest::threeContacts());
    const auto files = contacttest::snapshot(folder);
    std::mt19937 rng(6);
    int refused = 0;
    for (int i = 0; i < 18; ++i) {
        SCOPED_TRACE(i);
        for (const auto& [name, bytes] : files)
            writeAll(QDir(folder).filePath(name), bytes);
        // The contact table cut short, then flips in each of the files in turn.
        auto it = files.begin();
        std::advance(it, i % files.size());
        const QString victim = i == 0 ? table : QDir(folder).filePath(it->first);
        const QByteArray original = readAll(victim);
        writeAll(victim, i == 0 ? original.left(original.size() / 2) : flipped(original, rng, 1 + i % 6));
        freshStart();
        ui::ScriptedHandler lenient([](const QString&) {});
        lenient.setThrowOnFailure(false);
        lenient.answerFile(table, 4);
        // A damaged flag may ask for a log-on: it is cancelled.
        QTimer guard;
        QObject::connect(&guard, &QTimer::timeout, [] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                d->reject();
        });
        guard.start(20);
        QElapsedTimer clock;
        clock.start();
        main->Open_Source_File();
        EXPECT_LT(clock.elapsed(), kSeconds);
        // A refusal says so and keeps the previous list.
        if (!frmdataform::loaded()) {
            ++refused;
            EXPECT_FALSE(lenient.messageTexts().isEmpty());
            EXPECT_EQ(tblData(), QStringList{QStringLiteral("kept")}) << lenient.messageTexts().join(QStringLiteral(" / ")).toStdString();
        }
    }
    EXPECT_GT(refused, 0);
}

} // namespace
