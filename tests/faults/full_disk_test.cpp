// Every tool that writes, run the way its button runs it, on a disk with no
// room left (a file-size limit of zero bytes for the process; SIGXFSZ is
// ignored, so a write fails with EFBIG as on a full disk). Each must end with
// the list as it was, a working database that passes its check, an old
// destination file as it was, and a message that says the work failed.
#include "app/mdimain.h"
#include "common/general.h"
#include "exchange/export.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/ui/scripted.h"
#include "workbench/frmdataform.h"
#include "workbench/gridmodel.h"
#include "workbench/gridtools.h"

#include "support/workbench_fixture.h"
#include "support/file_bytes.h"
#include "support/write_limit.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>

#include <algorithm>
#include <functional>
#include <optional>
#include <gtest/gtest.h>

using namespace general;

namespace {

using testfiles::readAll;
using testfiles::writeAll;

constexpr int kCaseTab = 2;
constexpr int kTextCleanerTab = 3;
constexpr int kColumnCleanerTab = 4;
constexpr int kEmailTab = 5;
constexpr int kNearTab = 6;
constexpr int kDupesTab = 7;

const QByteArray kOldFile = "what the user had\r\n";

/// The texts that report success; none may be the last word of a failed run.
const QStringList kSuccess = {
    QStringLiteral("Process Complete."),      QStringLiteral("Conversion Successful."),
    QStringLiteral("Operation successful."),  QStringLiteral("Operation sucessful."),
    QStringLiteral("Complete"),
};

class FullDisk;

/// One tool: what is set up with room on the disk, the answers to its
/// questions, and the click that runs it with no room left.
struct Case {
    const char* name;
    int tab;
    std::function<void(FullDisk&, frmdataform&)> prepare;
    int questions;   ///< Yes answers before the click's last message
    std::function<void(FullDisk&, frmdataform&)> run;
    int exportKind = 0;   ///< an export: the destination kind; the old file must stay
    const char* file = nullptr;
    bool saysDone = true;   ///< a run that worked ends with a success message
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class FullDisk : public testsupport::WorkbenchFixture, public ::testing::WithParamInterface<Case> {
public:
    void SetUp() override
    {
        WorkbenchFixture::SetUp();
        if (HasFatalFailure())
            return;
        QDir(dir.path()).mkpath(QStringLiteral("Settings"));
        QDir(dir.path()).mkpath(QStringLiteral("out"));
        writeAll(dir.filePath(QStringLiteral("Settings/SpecChars.txt")), "33,1\r\n");
        writeAll(dir.filePath(QStringLiteral("Settings/gTLDs.txt")), "\"com\"\r\n\"net\"\r\n");
        writeAll(dir.filePath(QStringLiteral("Settings/ccTLDs.txt")), "\"fr\",\"France\"\r\n");
        for (const char* t : {"acs1", "acs2"})
            ASSERT_TRUE(QFile::copy(QStringLiteral(QB_BINARY_DIR "/") + QLatin1String(t), dir.filePath(QLatin1String(t))));
        db.execute(QStringLiteral("CREATE TABLE tblData ([Name] TEXT(50), [City] TEXT(50), [Email] TEXT(255))"),
                   jet::dbFailOnError);
        const char* rows[][3] = {
            {"ann smith!!", "  Paris ", "ann@example.con"}, {"ann smith!!", "  Paris ", "ann@example.con"},
            {"Smith", "Lyon", "smith@example.com"},         {"Smyth", "Lyon", "smyth@example.com"},
            {"bob", "Nice", "bob@examplecom"},              {"Cy", nullptr, nullptr},
        };
        jet::Stmt ins(&db.connection(), QStringLiteral("INSERT INTO tblData (Name, City, Email) VALUES (?1, ?2, ?3)"));
        for (const auto& r : rows) {
            for (int i = 0; i < 3; ++i)
                ins.bind(i + 1, r[i] ? jet::Value(QString::fromLatin1(r[i])) : jet::Value());
            ins.step();
            ins.reset();
        }
    }

    /// Every row of tblData, "|"-joined, in key order.
    QStringList list()
    {
        QStringList out;
        jet::Stmt s(&db.connection(), QStringLiteral("SELECT * FROM tblData ORDER BY rowid"));
        while (s.step()) {
            QStringList cells;
            for (int i = 0; i < s.columnCount(); ++i) {
                const jet::Value v = s.value(i, 0);
                cells << (v.isNull() ? QStringLiteral("<null>") : v.toString());
            }
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }

    QString integrity()
    {
        jet::Stmt s(&db.connection(), QStringLiteral("PRAGMA integrity_check"));
        return s.step() ? s.value(0, jet::dbText).toString() : QString();
    }

    QString out(const char* name) const { return dir.filePath(QStringLiteral("out/") + QLatin1String(name)); }

    template <class W>
    static W* find(frmdataform& f, const char* name)
    {
        W* w = f.findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static void pickColumn(frmdataform& f, const QString& column) { pick(f, column); }
    static void click(frmdataform& f, const char* button) { find<QPushButton>(f, button)->click(); }
    static void choose(QComboBox* combo, const QString& text)
    {
        const int i = combo->findText(text);
        ASSERT_GE(i, 0) << text.toStdString();
        combo->setCurrentIndex(i);
        emit combo->activated(i);
        QCoreApplication::processEvents();
    }
    /// Selects the values of the distinct-values list that are in texts.
    static void selectValues(frmdataform& f, const QStringList& texts)
    {
        const QAbstractItemModel* m = f.lstMain->model();
        f.lstMain->clearSelection();
        for (int r = 0; r < m->rowCount(); ++r)
            if (texts.contains(m->data(m->index(r, 0)).toString()))
                f.lstMain->selectionModel()->select(m->index(r, 0),
                                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
};

Case exportCase(const char* name, int kind, const char* file)
{
    Case c{name, 0, [](FullDisk&, frmdataform&) {}, 0,
           [](FullDisk&, frmdataform&) { MDIMain::instance().ExportFile(); }};
    c.exportKind = kind;
    c.file = file;
    return c;
}

const Case kCases[] = {
    {"Text Cleaner", kTextCleanerTab,
     [](FullDisk&, frmdataform& f) {
         FullDisk::find<QCheckBox>(f, "Check3")->setChecked(true);
         FullDisk::pickColumn(f, QStringLiteral("Name"));
     },
     0, [](FullDisk&, frmdataform& f) { FullDisk::click(f, "cmdTextClean"); }},
    {"Case Converter", kCaseTab,
     [](FullDisk&, frmdataform& f) {
         FullDisk::pickColumn(f, QStringLiteral("Name"));
         FullDisk::find<QRadioButton>(f, "opt1")->click();
     },
     0, [](FullDisk&, frmdataform& f) { FullDisk::click(f, "cmdChangeCase"); }},
    {"Column Cleaner", kColumnCleanerTab,
     [](FullDisk&, frmdataform& f) {
         FullDisk::pickColumn(f, QStringLiteral("City"));
         FullDisk::selectValues(f, {QStringLiteral("Lyon")});
         FullDisk::click(f, "cmdSelectOld");
         f.txtNew->setText(QStringLiteral("Rome"));
     },
     0, [](FullDisk&, frmdataform& f) { FullDisk::click(f, "cmdConvert"); }, 0, nullptr, false},
    {"Replace All", 0,
     [](FullDisk&, frmdataform& f) {
         f.DBGridData->setCurrentIndex(f.gridModel()->index(0, 1));
         MDIMain::instance().command(QStringLiteral("mnureplace"))->trigger();
         frmReplace* d = frmReplace::loaded();
         ASSERT_NE(d, nullptr);
         d->txtsearch->setText(QStringLiteral("Lyon"));
         d->txtNew->setText(QStringLiteral("Rome"));
     },
     0, [](FullDisk&, frmdataform&) { frmReplace::loaded()->cmdReplaceAll_Click(); }},
    {"Dupe Remover", kDupesTab, [](FullDisk&, frmdataform& f) { FullDisk::click(f, "cmdRefresh1"); }, 1,
     [](FullDisk&, frmdataform& f) { FullDisk::click(f, "cmdRemov1"); }},
    {"E-mail suggestions", kEmailTab,
     [](FullDisk&, frmdataform& f) { FullDisk::choose(f.cmbColumn2, QStringLiteral("Email")); }, 0,
     [](FullDisk&, frmdataform& f) { FullDisk::click(f, "cmdUseSuggestions"); }},
    {"Remove All Invalids", kEmailTab,
     [](FullDisk&, frmdataform& f) { FullDisk::choose(f.cmbColumn2, QStringLiteral("Email")); }, 0,
     [](FullDisk&, frmdataform& f) { FullDisk::click(f, "cmdRemoveInvalid"); }},
    {"Near-duplicate conversion", kNearTab,
     [](FullDisk&, frmdataform& f) {
         FullDisk::choose(f.cmbColumn1A, QStringLiteral("Name"));
         FullDisk::choose(f.cmbSearchType, QStringLiteral("1 character difference"));
         FullDisk::find<QComboBox>(f, "cmbMinLen")->setEditText(QStringLiteral("5"));
         FullDisk::find<QComboBox>(f, "cmbMaxLen")->setEditText(QStringLiteral("5"));
         FullDisk::click(f, "cmdShow");
         QAbstractItemModel* m = f.DataRepeater1->model();
         ASSERT_NE(m, nullptr);
         ASSERT_EQ(m->rowCount(), 1);
         ASSERT_TRUE(m->setData(m->index(0, 2), Qt::Checked, Qt::CheckStateRole));
     },
     0, [](FullDisk&, frmdataform& f) { f.cmdConvert2->click(); }},
    exportCase("Export text", exchange::ExportText, "list.txt"),
    exportCase("Export web page", exchange::ExportWebPage, "list.html"),
    exportCase("Export Excel 5.0", exchange::ExportExcel5, "list5.xls"),
    exportCase("Export Excel 95", exchange::ExportExcel95, "list95.xls"),
    exportCase("Export Excel 97-2000", exchange::ExportExcel2000, "list97.xls"),
    exportCase("Export Access 97", exchange::ExportAccess97, "list97.mdb"),
    exportCase("Export Access 2000", exchange::ExportAccess2000, "list2000.mdb"),
};

/// What one run of a case left.
struct Outcome {
    QStringList before, after;
    QStringList shown;   ///< the messages of the run itself
    QString destination;
};

Outcome runCase(FullDisk& t, const Case& c, bool full)
{
    Outcome o;
    frmdataform& f = frmdataform::instance();
    EXPECT_EQ(frmdataform::loaded(), &f);
    f.tab1->setCurrentIndex(c.tab);
    // A permissive script: questions are answered as given, every other box
    // with OK, and all of them are read afterwards.
    ui::ScriptedHandler boxes{[](const QString&) {}};
    boxes.setThrowOnFailure(false);
    c.prepare(t, f);
    o.before = t.list();
    if (c.exportKind) {
        o.destination = t.out(c.file);
        writeAll(o.destination, kOldFile);
        boxes.answerFile(o.destination, c.exportKind);
    }
    const qsizetype shownBefore = boxes.messageTexts().size();
    for (int i = 0; i < c.questions; ++i)
        boxes.answerMessage(ui::vbYes);
    if (c.exportKind)
        boxes.answerMessage(ui::vbYes);   // the overwrite question
    {
        std::optional<testsupport::WriteLimit> limit;
        if (full)
            limit.emplace(0);
        c.run(t, f);
        QCoreApplication::processEvents();
    }
    o.shown = boxes.messageTexts().mid(shownBefore);
    o.after = t.list();
    return o;
}

TEST_P(FullDisk, FailsWithAMessageAndLosesNothing)
{
    const Case& c = GetParam();
    const Outcome o = runCase(*this, c, true);
    if (HasFatalFailure())
        return;
    SCOPED_TRACE(o.shown.join(QStringLiteral(" / ")).toStdString());
    EXPECT_EQ(o.after, o.before);
    EXPECT_EQ(integrity(), QStringLiteral("ok"));
    ASSERT_FALSE(o.shown.isEmpty());
    const QString last = o.shown.last();
    EXPECT_FALSE(kSuccess.contains(last));
    EXPECT_FALSE(last.startsWith(QStringLiteral("Exported data to")));
    if (c.exportKind) {
        EXPECT_TRUE(last.endsWith(QStringLiteral("Unable to Export."))) << last.toStdString();
        EXPECT_EQ(readAll(o.destination), kOldFile);
        EXPECT_EQ(QDir(dir.filePath(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QString::fromLatin1(c.file)});
    }
}

// The same steps with room on the disk do the work and say so: the cases
// above drive the real tools, not a road that writes nothing.
TEST_P(FullDisk, WithRoomTheSameStepsDoTheWork)
{
    const Case& c = GetParam();
    const Outcome o = runCase(*this, c, false);
    if (HasFatalFailure())
        return;
    SCOPED_TRACE(o.shown.join(QStringLiteral(" / ")).toStdString());
    if (c.exportKind) {
        ASSERT_FALSE(o.shown.isEmpty());
        EXPECT_EQ(o.shown.last(), QStringLiteral("Exported data to: ") + o.destination);
        EXPECT_NE(readAll(o.destination), kOldFile);
    } else {
        if (c.saysDone)
            EXPECT_TRUE(kSuccess.contains(o.shown.value(o.shown.size() - 1))) << o.shown.value(0).toStdString();
        else
            EXPECT_TRUE(o.shown.isEmpty());
        EXPECT_NE(o.after, o.before);
    }
    EXPECT_EQ(integrity(), QStringLiteral("ok"));
}

INSTANTIATE_TEST_SUITE_P(Tools, FullDisk, ::testing::ValuesIn(kCases), [](const auto& info) {
    QString n = QString::fromLatin1(info.param.name);
    n.remove(QLatin1Char(' ')).remove(QLatin1Char('-')).remove(QLatin1Char('.'));
    return n.toStdString();
});

} // namespace

// ---- imports --------------------------------------------------------------------------

#include "exchange/frmtablenames.h"
#include "exchange/import_fixture.h"
#include "support/contact_fixture.h"
#include "support/file_bytes.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QRegularExpression>
#include <QTimer>

namespace {

class ImportOnAFullDisk;

/// One kind of source, imported through File > Import as the user does it.
struct Source {
    const char* name;
    int filterIndex;                                   ///< the kind picked in Select Source
    std::function<QString(ImportOnAFullDisk&)> make;   ///< writes the source; its path
    const char* window;   ///< the chooser or wizard that comes up, if any
    bool modal;
    const char* button;     ///< its button that imports
    const char* firstRow;   ///< how a row of the imported list begins
};

/// When the disk has no room: never, from the start of the import, or from
/// the moment the chooser's or wizard's import button is pressed (its
/// preview was written while there was room).
enum class Disk { Room, Full, FillsAtTheButton };

struct ImportCase {
    const Source* source;
    Disk disk;
};

void PrintTo(const ImportCase& c, std::ostream* os) { *os << c.source->name << ' ' << int(c.disk); }

class ImportOnAFullDisk : public importtest::ImportTest, public ::testing::WithParamInterface<ImportCase> {
public:
    using importtest::ImportTest::fillPeople;
    using importtest::ImportTest::path;
    QString contactFolder() const { return dir.filePath(QStringLiteral("contacts")); }
};

/// Whether the last box told of a failure: not a box of information or a
/// question, and its text gives a reason for a failure. The imports give the
/// reason alone, in their own words or the engine's ("Could not delete
/// existing data.", "disk I/O error"), some with an error icon, some without.
bool toldAFailure(const ui::ScriptedHandler& boxes)
{
    const auto& all = boxes.shown();
    const auto last = std::find_if(all.rbegin(), all.rend(),
                                   [](const auto& s) { return s.kind == ui::ScriptedHandler::Kind::Message; });
    if (last == all.rend())
        return false;
    const int icon = last->style & 0x70;
    static const QRegularExpression reason(QStringLiteral("could not|cannot|unable|error|disk is full"),
                                           QRegularExpression::CaseInsensitiveOption);
    return icon != ui::vbInformation && icon != ui::vbQuestion && reason.match(last->text).hasMatch();
}

const Source kSources[] = {
    {"xls", 3,
     [](ImportOnAFullDisk& t) {
         const QString source = t.path("people.xls");
         jet::Database scratch = jet::Database::open(t.path("scratch.sys"), true);
         ImportOnAFullDisk::fillPeople(scratch, QStringLiteral("t"), importtest::kPeople);
         scratch.execute(QStringLiteral("SELECT * INTO [Excel 8.0;Database=%1].[Sheet1] FROM t").arg(source));
         return source;
     },
     "frmExcelTables", true, "cmdContinue", "Smith|Boston|"},
    {"mdb", 2,
     [](ImportOnAFullDisk& t) {
         const QString source = t.path("people.mdb");
         jet::Database src = jet::Database::open(source, true);
         ImportOnAFullDisk::fillPeople(src, QStringLiteral("Customers"), importtest::kPeople);
         return source;
     },
     "frmTablenames", false, "cmdcontinue2", "Smith|Boston|"},
    {"csv", 1,
     [](ImportOnAFullDisk& t) {
         const QString source = t.path("people.csv");
         writeAll(source, "Smith,Boston,10.5\r\nLee,Paris,7\r\nO'Brien,Cork,-3\r\n");
         return source;
     },
     "frmtxtWizard", true, "cmdImport", "Smith|Boston|"},
    {"dbf", 4,
     [](ImportOnAFullDisk& t) { return contacttest::makeDatabase(t.contactFolder(), contacttest::threeContacts()); },
     nullptr, false, nullptr, "Acme|Ann Smith|"},
};

std::vector<ImportCase> importCases()
{
    std::vector<ImportCase> out;
    for (const Source& s : kSources)
        for (Disk d : {Disk::Room, Disk::Full, Disk::FillsAtTheButton})
            if (s.window || d != Disk::FillsAtTheButton)
                out.push_back({&s, d});
    return out;
}

TEST_P(ImportOnAFullDisk, KeepsThePreviousList)
{
    const Source& src = *GetParam().source;
    const Disk disk = GetParam().disk;
    makePreviousList();
    const QString source = src.make(*this);
    if (HasFatalFailure())
        return;
    const QStringList before = tblData();
    ui::ScriptedHandler boxes{[](const QString&) {}};
    boxes.setThrowOnFailure(false);
    boxes.answerFile(source, src.filterIndex);
    bool windowSeen = src.window == nullptr;
    {
        std::optional<testsupport::WriteLimit> limit;
        if (disk == Disk::Full)
            limit.emplace(0);
        const auto press = [&](QWidget* w) {
            windowSeen = true;
            if (disk == Disk::FillsAtTheButton)
                limit.emplace(0);
            w->findChild<QPushButton*>(QString::fromLatin1(src.button))->click();
        };
        QTimer poll;
        if (src.modal) {
            // The window is modal: its button is pressed once it is up.
            QObject::connect(&poll, &QTimer::timeout, [&] {
                auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                if (!d || d->objectName() != QLatin1String(src.window))
                    return;
                poll.stop();
                press(d);
                // A failed import may leave the window up for another try.
                if (d->isVisible())
                    d->reject();
                QCoreApplication::processEvents();
            });
            poll.start(10);
        }
        main->Open_Source_File();
        if (src.window && !src.modal) {
            // The table chooser stays up beside the main window.
            frmTablenames* chooser = frmTablenames::loaded();
            ASSERT_NE(chooser, nullptr);
            auto* tables = chooser->findChild<QComboBox*>(QStringLiteral("Combo1"));
            tables->setCurrentIndex(0);
            emit tables->activated(0);
            press(chooser);
        }
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(windowSeen);
    const QStringList shown = boxes.messageTexts();
    SCOPED_TRACE(shown.join(QStringLiteral(" / ")).toStdString());
    if (disk == Disk::Room) {
        const QStringList rows = tblData();
        EXPECT_TRUE(std::any_of(rows.begin(), rows.end(),
                                [&](const QString& r) { return r.startsWith(QLatin1String(src.firstRow)); }))
            << rows.join(QLatin1Char('/')).toStdString();
        EXPECT_NE(frmdataform::loaded(), nullptr);
        return;
    }
    EXPECT_EQ(tblData(), before);
    {
        jet::Database db = jet::Database::open(general::gstrWorkDBPath);
        jet::Stmt s(&db.connection(), QStringLiteral("PRAGMA integrity_check"));
        ASSERT_TRUE(s.step());
        EXPECT_EQ(s.value(0, jet::dbText).toString(), QStringLiteral("ok"));
    }
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_TRUE(toldAFailure(boxes)) << shown.last().toStdString();
    EXPECT_EQ(frmdataform::loaded(), nullptr);   // no workbench over a list that is not there
}

std::string importCaseName(const ::testing::TestParamInfo<ImportCase>& info)
{
    static const char* const when[] = {"Room", "Full", "FillsAtTheButton"};
    return std::string(info.param.source->name) + when[int(info.param.disk)];
}

INSTANTIATE_TEST_SUITE_P(Sources, ImportOnAFullDisk, ::testing::ValuesIn(importCases()), importCaseName);

// ---- the export back into a contact database ------------------------------------------

// The export back into the contact database a list came from: on a full
// disk every file of that database stays byte for byte as it was and the
// message says the export failed; with room the change is written.
class ContactExportOnAFullDisk : public importtest::ImportTest, public ::testing::WithParamInterface<bool> {};

/// Every file of a folder as "NAME size digest", for a comparison that reads.
std::vector<std::string> fingerprints(const QString& folder)
{
    std::vector<std::string> out;
    for (const auto& [name, bytes] : contacttest::snapshot(folder))
        out.push_back(QStringLiteral("%1 %2 %3")
                          .arg(name)
                          .arg(bytes.size())
                          .arg(QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()))
                          .toStdString());
    return out;
}

TEST_P(ContactExportOnAFullDisk, LeavesTheContactFilesAsTheyWere)
{
    const bool full = GetParam();
    const QString folder = dir.filePath(QStringLiteral("contacts"));
    const QString source = contacttest::makeDatabase(folder, contacttest::threeContacts());
    ui::ScriptedHandler boxes{[](const QString&) {}};
    boxes.setThrowOnFailure(false);
    boxes.answerFile(source, 4);
    main->Open_Source_File();
    ASSERT_NE(frmdataform::loaded(), nullptr) << boxes.messageTexts().join(QStringLiteral(" / ")).toStdString();

    // An edit of a contact and a new one, which also takes an e-mail record.
    general::dbWork.execute(QStringLiteral("UPDATE tblData SET [City]=\"Cambridge\" WHERE [Contact]=\"Ann Smith\""));
    general::dbWork.execute(QStringLiteral("INSERT INTO tblData ([Contact], [City], [E-mail]) "
                                           "VALUES (\"Dee New\", \"Oslo\", \"dee@new.no\")"));
    const QStringList list = tblData();
    const auto before = fingerprints(folder);

    const qsizetype shownBefore = boxes.messageTexts().size();
    boxes.answerFile(source, exchange::ExportAct);
    boxes.answerMessage(ui::vbYes);   // the warning that an export cannot be undone
    {
        std::optional<testsupport::WriteLimit> limit;
        if (full)
            limit.emplace(0);
        main->ExportFile();
        QCoreApplication::processEvents();
    }
    const QStringList shown = boxes.messageTexts().mid(shownBefore);
    SCOPED_TRACE(shown.join(QStringLiteral(" / ")).toStdString());
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(tblData(), list);
    {
        jet::Database db = jet::Database::open(general::gstrWorkDBPath);
        jet::Stmt s(&db.connection(), QStringLiteral("PRAGMA integrity_check"));
        ASSERT_TRUE(s.step());
        EXPECT_EQ(s.value(0, jet::dbText).toString(), QStringLiteral("ok"));
    }
    if (full) {
        EXPECT_TRUE(shown.last().endsWith(QStringLiteral("Unable to Export."))) << shown.last().toStdString();
        EXPECT_EQ(fingerprints(folder), before);   // no file changed, none left behind
        return;
    }
    EXPECT_EQ(shown.last(), QStringLiteral("Successfully exported to Act!"));
    contacts::Database db;
    db.Open(source);
    ASSERT_TRUE(db.isopen());
    QStringList cities;
    for (db.CONTACT().MoveFirst(); !db.CONTACT().isEOF(); db.CONTACT().MoveNext())
        cities << db.CONTACT().Data(contacts::kContactNameField) + QLatin1Char(' ') + db.CONTACT().Data(17);
    EXPECT_EQ(cities, (QStringList{"Ann Smith Cambridge", "Bo Lee paris", "Cy O'Brien cork", "Dee New Oslo"}));
    QStringList mails;
    for (db.Email().MoveFirst(); !db.Email().isEOF(); db.Email().MoveNext())
        mails << db.Email().Data(contacts::kEmailOwnerField) + QLatin1Char(' ') + db.Email().Data(contacts::kEmailAddressField);
    EXPECT_TRUE(mails.contains(QStringLiteral("000000000004 dee@new.no"))) << mails.join(QLatin1Char('/')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Disk, ContactExportOnAFullDisk, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "Full" : "Room"); });

} // namespace
