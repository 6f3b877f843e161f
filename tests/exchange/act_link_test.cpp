// The contact-manager link through the scripted desktop: the import from the
// Select Source dialog with its log-on, the system columns kept aside by the
// workbench, a clean-up, and the export back into the same database, read
// again afterwards (by the database's own calls and by Python's dbfread).
#include "cleaning/case_run.h"
#include "support/contact_fixture.h"
#include "support/outside_need.h"
#include "exchange/act_module.h"
#include "exchange/frmact_validateuser.h"
#include "exchange/imported_list.h"
#include "import_fixture.h"

#include "platform/contacts/file_switch.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <sqlite3.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

using contacttest::Contact;
using importtest::ImportTest;

namespace {

const QString kNotOpened = QStringLiteral("Your Act database could not be opened.");
const QString kWarning = QStringLiteral(
    "Warning: Once you export, you will not be able to undo the changes.\r\rPlease make sure your original Act! 6.0 "
    "database is backed up.\r\rDo you still want to continue?");
const QString kSuccess = QStringLiteral("Successfully exported to Act!");
const QString kDeleteCy = QStringLiteral(
    "Are you sure you want to delete: [Cy O'Brien] (Y/N)\r\rAll information relating to this contact will be deleted!");

const QStringList kListColumns = {
    "Company", "Contact", "First Name", "Last Name", "City", "Phone", "Alt Phone", "E-mail", "Notes", "Last Meeting",
    "LumacorPrimK"};

class ActLink : public ImportTest {
protected:
    void SetUp() override
    {
        ImportTest::SetUp();
        general::gblnActUserValidated = false;
        general::gstrActUserName.clear();
        general::gstrActPassword.clear();
        folder = dir.filePath(QStringLiteral("contacts"));
    }
    void TearDown() override
    {
        general::gblnActUserValidated = false;
        ImportTest::TearDown();
    }

    /// What the log-on dialog gets: a name and password typed and OK, or
    /// nullopt for Cancel (its button, or with closeBox its close box).
    struct LogOn {
        std::optional<std::pair<QString, QString>> typed;
        bool closeBox = false;
    };

    /// Imports the contact table through Select Source; logOns are what
    /// each log-on dialog gets, in order (a dialog beyond them fails), and
    /// the messages that follow are answered OK.
    void importThroughDialog(const QString& path, std::vector<LogOn> logOns = {}, const QStringList& messages = {})
    {
        ui.answerFile(path, 4);
        for (const QString& m : messages)
            ui.answerMessage(ui::vbOK, m);
        auto remaining = std::make_shared<std::vector<LogOn>>(std::move(logOns));
        std::function<void()> watch;
        watch = [this, remaining, &watch] {
            auto* d = qobject_cast<frmAct_ValidateUser*>(QApplication::activeModalWidget());
            if (!d) {
                if (!stopWatching)
                    QTimer::singleShot(5, watch);
                return;
            }
            ++dialogs;
            if (remaining->empty()) {
                ADD_FAILURE() << "an unexpected log-on dialog";
                d->reject();
                return;
            }
            const LogOn next = remaining->front();
            remaining->erase(remaining->begin());
            EXPECT_EQ(d->windowTitle(), QStringLiteral("Validate User Information"));
            EXPECT_EQ(d->txtPassword->echoMode(), QLineEdit::Password);
            if (next.typed) {
                d->txtUserName->setText(next.typed->first);
                d->txtPassword->setText(next.typed->second);
                d->cmdOK->click();
            } else if (next.closeBox) {
                d->close();
            } else {
                d->cmdCancel->click();
            }
            QTimer::singleShot(5, watch);
        };
        stopWatching = false;
        QTimer::singleShot(0, watch);
        main->Open_Source_File();
        stopWatching = true;
        QCoreApplication::processEvents();
        EXPECT_TRUE(remaining->empty()) << remaining->size() << " log-on dialogs did not come";
    }

    /// The export to path through File > Export, with the answers to the
    /// deletion questions in order and the message it ends with.
    bool exportTo(const QString& path, const std::vector<int>& deletions, const QString& last = kSuccess)
    {
        ui.answerFile(path, 3);
        ui.answerMessage(ui::vbYes, kWarning);
        for (int answer : deletions)
            ui.answerMessage(answer, kDeleteCy);
        ui.answerMessage(ui::vbOK, last);
        return main->ExportFile();
    }

    /// A contact's values as the database gives them, by field id.
    static QString value(contacts::Database& db, const QString& uid, int id)
    {
        EXPECT_TRUE(db.CONTACT().Goto(uid)) << uid.toStdString();
        return db.CONTACT().Data(id);
    }
    /// The e-mail records as "owner address primary", in file order.
    static QStringList emails(contacts::Database& db)
    {
        QStringList out;
        contacts::Table& e = db.Email();
        if (e.RecordCount() == 0)
            return out;
        for (e.MoveFirst(); !e.isEOF(); e.MoveNext())
            out << e.Data(contacts::kEmailOwnerField) + QLatin1Char(' ') + e.Data(contacts::kEmailAddressField)
                       + QLatin1Char(' ') + e.Data(contacts::kEmailPrimaryField);
        return out;
    }
    static QStringList contactNames(contacts::Database& db)
    {
        QStringList out;
        contacts::Table& c = db.CONTACT();
        for (c.MoveFirst(); !c.isEOF(); c.MoveNext())
            out << c.Data(contacts::kUniqueIdField) + QLatin1Char(' ') + c.Data(contacts::kContactNameField);
        return out;
    }
    QStringList columnsOf(const QString& table) const
    {
        QStringList out;
        jet::Database db = jet::Database::open(general::gstrWorkDBPath);
        for (const jet::FieldDef& f : db.tableDef(table).fields)
            out << f.name;
        return out;
    }

    QStringList hiddenIds() const
    {
        jet::Database db = jet::Database::open(general::gstrWorkDBPath);
        auto rs = db.openRecordset(QStringLiteral("SELECT LumacorPrimK, [Unique Id] FROM tblActHiddenFields ORDER BY 1"),
                                   jet::dbOpenSnapshot);
        QStringList out;
        for (; !rs->eof(); rs->moveNext())
            out << rs->value(0).toString() + QLatin1Char(' ') + rs->value(1).toString();
        return out;
    }

    QString folder;
    int dialogs = 0;
    bool stopWatching = true;
};

} // namespace

TEST_F(ActLink, ImportCleanUpAndExportBackWriteExactlyTheChanges)
{
    const QString path = contacttest::makeDatabase(folder, contacttest::threeContacts());
    contacttest::patchFile(path, "19990401", "19991301");   // a last meeting in month 13

    importThroughDialog(path, {}, {QStringLiteral("1 date value could not be read as a date and was left empty.")});
    ASSERT_NE(frmdataform::loaded(), nullptr);
    // The status tells of the list at once, as after every other import.
    EXPECT_TRUE(main->panelText(1).startsWith(QStringLiteral("Total Records = 3 :"))) << main->panelText(1).toStdString();
    EXPECT_EQ(dialogs, 0);   // single-user: no log-on
    EXPECT_EQ(general::gstrImportType, QStringLiteral("dbf"));
    EXPECT_EQ(importTxt(), QByteArray("\"Import=dbf\"\r\n"));

    // The fields nobody fills are gone, the system columns are aside.
    EXPECT_EQ(columnsOf(QStringLiteral("tblData")), kListColumns);
    QStringList hidden = exchange::hiddenContactColumns();
    hidden.prepend(QStringLiteral("LumacorPrimK"));
    EXPECT_EQ(columnsOf(QStringLiteral("tblActHiddenFields")), hidden);
    EXPECT_EQ(tblData(QStringLiteral("[Contact], [City], [E-mail], [Last Meeting], LEN([Notes])")),
              (QStringList{"Ann Smith|boston|ann@acme.com|3/15/2024|" + QString::number(contacttest::longNote().size()),
                           "Bo Lee|paris|||0", "Cy O'Brien|cork|cy@old.ie||0"}));
    EXPECT_EQ(hiddenIds(), (QStringList{"1 000000000001", "2 000000000002", "3 000000000003"}));

    // A clean-up and the user's edits in the grid.
    cleaning::CaseRequest proper;
    proper.column = QStringLiteral("City");
    ASSERT_TRUE(cleaning::runCaseConversion(general::dbWork, proper).ok());
    general::dbWork.execute(QStringLiteral("UPDATE tblData SET [E-mail]=\"ann@acme.org\" WHERE [Contact]=\"Ann Smith\""));
    general::dbWork.execute(QStringLiteral("UPDATE tblData SET [E-mail]=\"bo@lee.fr\", [Phone]=\"555-0200\" "
                                           "WHERE [Contact]=\"Bo Lee\""));
    general::dbWork.execute(QStringLiteral("DELETE FROM tblData WHERE [Contact]=\"Cy O'Brien\""));
    general::dbWork.execute(QStringLiteral("INSERT INTO tblData ([Contact], [City], [E-mail], [Last Meeting]) "
                                           "VALUES (\"Dee New\", \"Oslo\", \"dee@new.no\", #05/06/2024#)"));

    // The first export: No to the deletion.
    const auto before = contacttest::snapshot(folder);
    EXPECT_FALSE(exportTo(path, {ui::vbNo}));
    {
        contacts::Database db;
        db.Open(path);
        ASSERT_TRUE(db.isopen());
        EXPECT_EQ(contactNames(db), (QStringList{"000000000001 Ann Smith", "000000000002 Bo Lee",
                                                 "000000000003 Cy O'Brien", "000000000004 Dee New"}));
        EXPECT_EQ(value(db, "000000000001", 17), QStringLiteral("Boston"));
        EXPECT_EQ(value(db, "000000000001", 23), contacttest::longNote());
        EXPECT_EQ(value(db, "000000000001", 2), QStringLiteral("01/15/2020 09:30:00"));
        EXPECT_EQ(value(db, "000000000002", 21), QStringLiteral("555-0200"));
        EXPECT_EQ(value(db, "000000000003", 17), QStringLiteral("cork"));         // not in the list: untouched
        EXPECT_EQ(value(db, "000000000002", 24), QStringLiteral("19991301"));     // unread, so kept as stored
        EXPECT_EQ(value(db, "000000000004", 24), QStringLiteral("05/06/2024"));
        EXPECT_EQ(value(db, "000000000004", 17), QStringLiteral("Oslo"));
        EXPECT_EQ(emails(db), (QStringList{"000000000001 ann@acme.org 1", "000000000003 cy@old.ie 1",
                                           "000000000002 bo@lee.fr 1", "000000000004 dee@new.no 1"}));
    }
    // Only the contact and e-mail tables were written.
    const auto after = contacttest::snapshot(folder);
    for (const char* same : {"DBINFO.DBF", "FIELDS.DBF", "USERS.DBF"})
        EXPECT_EQ(after.at(QString::fromLatin1(same)), before.at(QString::fromLatin1(same))) << same;
    EXPECT_EQ(after.size(), before.size());   // nothing left behind

    // The second export: the same question, Yes this time; the new contact
    // is not added again.
    EXPECT_FALSE(exportTo(path, {ui::vbYes}));
    contacts::Database db;
    db.Open(path);
    ASSERT_TRUE(db.isopen());
    EXPECT_EQ(contactNames(db), (QStringList{"000000000001 Ann Smith", "000000000002 Bo Lee", "000000000004 Dee New"}));
    EXPECT_EQ(emails(db), (QStringList{"000000000001 ann@acme.org 1", "000000000002 bo@lee.fr 1",
                                       "000000000004 dee@new.no 1"}));

    // A third export with nothing changed since asks nothing and rewrites no file.
    db.Close();
    const auto unchanged = contacttest::snapshot(folder);
    EXPECT_FALSE(exportTo(path, {}));
    EXPECT_EQ(contacttest::snapshot(folder), unchanged);

    // The same files through a reader that is not ours.
    const auto table = contacttest::readWithDbfread(path);
    QB_NEED_OUTSIDE(table, "Python's dbfread is not installed");
    ASSERT_EQ(table->size(), 3);
    const QJsonObject ann = table->at(0).toObject();
    EXPECT_EQ(ann.value("CITY").toString(), QStringLiteral("Boston"));
    EXPECT_EQ(ann.value("NOTES").toString(), contacttest::longNote());
    EXPECT_EQ(ann.value("CREATEDT").toString(), QStringLiteral("2020-01-15"));
    const QJsonObject dee = table->at(2).toObject();
    EXPECT_EQ(dee.value("CONTACT").toString(), QStringLiteral("Dee New"));
    EXPECT_EQ(dee.value("LASTMEET").toString(), QStringLiteral("2024-05-06"));
    const auto mails = contacttest::readWithDbfread(folder + QStringLiteral("/EMAIL.DBF"));
    ASSERT_TRUE(mails);
    QStringList seen;
    for (const auto& m : *mails)
        seen << m.toObject().value("CONTACTID").toString() + QLatin1Char(' ') + m.toObject().value("ADDRESS").toString();
    EXPECT_EQ(seen, (QStringList{"000000000001 ann@acme.org", "000000000002 bo@lee.fr", "000000000004 dee@new.no"}));
}

TEST_F(ActLink, MultiUserLogOnAsksUntilAcceptedThenKeepsIt)
{
    contacts::NewDatabase spec;
    spec.multiUser = true;
    spec.users = {{QStringLiteral("Chris"), QStringLiteral("s3cret")}};
    const QString path = contacttest::makeDatabase(folder, contacttest::threeContacts(), spec);
    const QString failed = QStringLiteral("Failed user validation process!");

    // A wrong password: refused, and the dialog comes again next time.
    importThroughDialog(path, {LogOn{std::pair{QStringLiteral("Chris"), QStringLiteral("secret")}}}, {failed});
    EXPECT_EQ(ui.shown().back().style, ui::vbCritical);
    EXPECT_EQ(frmdataform::loaded(), nullptr);
    EXPECT_FALSE(general::gblnActUserValidated);

    // Cancel, and the close box like it: nothing is said, nothing imported.
    for (const bool closeBox : {false, true}) {
        const int shown = int(ui.shown().size());
        importThroughDialog(path, {LogOn{std::nullopt, closeBox}});
        EXPECT_EQ(ui.shown().size(), shown + 1);   // the file dialog alone
        EXPECT_EQ(frmdataform::loaded(), nullptr);
    }

    // The right password (the name in any case) opens the list.
    importThroughDialog(path, {LogOn{std::pair{QStringLiteral("chris"), QStringLiteral("s3cret")}}});
    ASSERT_NE(frmdataform::loaded(), nullptr);
    EXPECT_TRUE(general::gblnActUserValidated);
    EXPECT_EQ(tblData(QStringLiteral("[Contact]")), (QStringList{"Ann Smith", "Bo Lee", "Cy O'Brien"}));

    // A second import in the same run logs on without asking.
    ui.answerMessage(ui::vbNo, QStringLiteral("Would you like to export the current data before you open a new file?"));
    dialogs = 0;
    importThroughDialog(path);
    EXPECT_EQ(dialogs, 0);
    EXPECT_NE(frmdataform::loaded(), nullptr);
}

// Databases the import refuses, with the reason it gives. A database that
// cannot be opened says so before any log-on is asked for; one without
// contacts would leave a list of no column once the system columns are aside.
TEST_F(ActLink, RefusedDatabasesSayWhy)
{
    struct Case {
        const char* name;
        int version;
        bool multiUser;
        const char* removeFile;
        bool noContacts;
        const char* message;
    };
    const Case cases[] = {
        {"v50", 50, false, nullptr, false, "You have an ACT database that is not version 6.0"},
        {"nofields", 60, true, "FIELDS.DBF", false, "Your Act database could not be opened."},
        {"noinfo", 60, true, "DBINFO.DBF", false, "Your Act database could not be opened."},
        {"empty", 60, false, nullptr, true, "The Act database holds no contact data to import."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        contacts::NewDatabase spec;
        spec.version = c.version;
        spec.multiUser = c.multiUser;
        const QString sub = folder + QLatin1Char('/') + QLatin1String(c.name);
        const QString path =
            contacttest::makeDatabase(sub, c.noContacts ? std::vector<Contact>{} : contacttest::threeContacts(), spec);
        if (c.removeFile) {
            ASSERT_TRUE(QFile::remove(sub + QLatin1Char('/') + QLatin1String(c.removeFile)));
        }
        makePreviousList();
        importThroughDialog(path, {}, {QString::fromLatin1(c.message)});
        EXPECT_EQ(dialogs, 0);
        EXPECT_EQ(ui.shown().back().style, ui::vbCritical);
        EXPECT_EQ(frmdataform::loaded(), nullptr);
        EXPECT_EQ(tblData(), QStringList{"kept"});   // the earlier list is still there
        jet::Database::open(general::gstrWorkDBPath).execute(QStringLiteral("DROP TABLE tblData"));
    }
}

// Exports that stop: each leaves every file of the database as it was.
TEST_F(ActLink, ExportThatFailsLeavesTheDatabaseAsItWas)
{
    const QString path = contacttest::makeDatabase(folder, contacttest::threeContacts());
    importThroughDialog(path);
    ASSERT_NE(frmdataform::loaded(), nullptr);
    const auto before = contacttest::snapshot(folder);

    // Refused before the database is opened.
    const QString other = dir.filePath(QStringLiteral("other.dbf"));
    ui.answerFile(other, 3);
    ui.answerMessage(ui::vbOK, QStringLiteral("When you import data from an Act! 6.0 database, you can only export the "
                                              "data back to it's original source.\r\rCurrent data has been imported from ")
                                   + path.toUpper()
                                   + QStringLiteral("\r\rPlease choose this database if you would like to export to Act."));
    ui.answerMessage(ui::vbOK, QStringLiteral("Cannot export to a different Act database.  Unable to Export."));
    EXPECT_TRUE(main->ExportFile());
    ui.answerFile(path, 3);
    ui.answerMessage(ui::vbNo, kWarning);
    ui.answerMessage(ui::vbOK, QStringLiteral("Operation cancelled.  Unable to Export."));
    EXPECT_TRUE(main->ExportFile());

    // A column no field takes.
    general::dbWork.execute(QStringLiteral("ALTER TABLE tblData ADD COLUMN [Extra] TEXT(20)"));
    EXPECT_TRUE(exportTo(path, {}, QStringLiteral("Could not link field names  Unable to Export.")));
    general::dbWork.execute(QStringLiteral("ALTER TABLE tblData DROP COLUMN [Extra]"));

    // Part-way: the updates and the deletion are made, then a new contact's
    // city is longer than its field holds.
    general::dbWork.execute(QStringLiteral("UPDATE tblData SET [City]=\"Cambridge\" WHERE [Contact]=\"Ann Smith\""));
    general::dbWork.execute(QStringLiteral("DELETE FROM tblData WHERE [Contact]=\"Cy O'Brien\""));
    general::dbWork.execute(QStringLiteral("INSERT INTO tblData ([Contact], [City]) VALUES (\"Long\", \"%1\")")
                                .arg(QString(41, QLatin1Char('x'))));
    EXPECT_TRUE(exportTo(path, {ui::vbYes},
                         QStringLiteral("The field CITY cannot hold this value: it is longer than 40 characters. (City)"
                                        " Contact \"Long\", row 4 of the list.  Unable to Export.")));
    EXPECT_EQ(contacttest::snapshot(folder), before);

    // A refused value of a contact that is updated, in its own table or in
    // the e-mail table, names that contact and its row.
    general::dbWork.execute(QStringLiteral("DELETE FROM tblData WHERE [Contact]=\"Long\""));
    const struct {
        const char* change;   // %1: a text of length characters
        int length;
        const char* message;
    } refusals[] = {
        {"[City]=\"%1\" WHERE [Contact]=\"Ann Smith\"", 41,
         "The field CITY cannot hold this value: it is longer than 40 characters. (City) Contact \"Ann Smith\", row 1 of "
         "the list."},
        {"[E-mail]=\"%1@x.org\" WHERE [Contact]=\"Bo Lee\"", 123,
         "The field ADDRESS cannot hold this value: it is longer than 128 characters. (Address) Contact \"Bo Lee\", row 2 "
         "of the list."},
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.change);
        general::dbWork.execute(QStringLiteral("UPDATE tblData SET ")
                                + QString::fromLatin1(r.change).arg(QString(r.length, QLatin1Char('x'))));
        EXPECT_TRUE(exportTo(path, {}, QString::fromLatin1(r.message) + QStringLiteral("  Unable to Export.")));
        EXPECT_EQ(contacttest::snapshot(folder), before);
        general::dbWork.execute(QStringLiteral("UPDATE tblData SET [City]=\"boston\", [E-mail]=\"ann@acme.com\" "
                                               "WHERE [Contact]=\"Ann Smith\""));
        general::dbWork.execute(QStringLiteral("UPDATE tblData SET [E-mail]=Null WHERE [Contact]=\"Bo Lee\""));
    }
}

// A list marked as coming from a contact database but without its system
// columns cannot open, and the split leaves nothing half done.
TEST_F(ActLink, ListWithoutSystemColumnsCannotOpen)
{
    makePreviousList();
    general::gstrImportType = QStringLiteral("dbf");
    general::gblnNewImport = true;
    ui.answerMessage(ui::vbOK, QStringLiteral("Could not split hidden Act! fields."));
    exchange::openImportedList();
    EXPECT_EQ(frmdataform::loaded(), nullptr);
    EXPECT_EQ(ui.shown().back().style, ui::vbCritical);
    EXPECT_FALSE(Act_Module1::lastSplitError().isEmpty());
    EXPECT_FALSE(jet::Database::open(general::gstrWorkDBPath).hasTable(QStringLiteral("tblActHiddenFields")));
}

// A contact removed in the contact manager after the import is neither
// edited in another's place nor made again.
TEST_F(ActLink, ContactGoneSinceTheImportIsLeftOut)
{
    const QString path = contacttest::makeDatabase(folder, contacttest::threeContacts());
    importThroughDialog(path);
    ASSERT_NE(frmdataform::loaded(), nullptr);
    {
        contacts::Database db;
        db.Open(path);
        ASSERT_TRUE(db.CONTACT().Goto(QStringLiteral("000000000002")));
        db.CONTACT().Delete();
        db.Close();
    }
    general::dbWork.execute(QStringLiteral("UPDATE tblData SET [City]=[City] & \"!\""));
    ui.answerFile(path, 3);
    ui.answerMessage(ui::vbYes, kWarning);
    ui.answerMessage(ui::vbOK, QStringLiteral("1 of the list's contacts are no longer in the Act! database and were "
                                              "not exported."));
    ui.answerMessage(ui::vbOK, kSuccess);
    EXPECT_FALSE(main->ExportFile());
    contacts::Database db;
    db.Open(path);
    ASSERT_TRUE(db.isopen());
    QStringList cities;
    for (db.CONTACT().MoveFirst(); !db.CONTACT().isEOF(); db.CONTACT().MoveNext())
        cities << db.CONTACT().Data(contacts::kContactNameField) + QLatin1Char(' ') + db.CONTACT().Data(17);
    EXPECT_EQ(cities, (QStringList{"Ann Smith boston!", "Cy O'Brien cork!"}));
}

// Labels become column names by the text wizard's rule, and the export finds
// each field again by the same rule.
TEST_F(ActLink, LabelsBecomeColumnNamesAndMapBack)
{
    contacts::NewDatabase spec;
    std::vector<contacts::FieldSpec> fields;
    for (const contacts::FieldSpec& f : spec.contactFields)
        if (f.id <= 10 || f.id == contacts::kContactNameField)
            fields.push_back(f);
    const std::vector<contacts::FieldSpec> odd = {
        {40, QStringLiteral("Alt. Phone"), contacts::TypeText, QStringLiteral("ALTPHONE"), 20},
        {41, QStringLiteral("Alt Phone"), contacts::TypeText, QStringLiteral("ALTPHONE2"), 20},
        {42, QStringLiteral("[Rank]!"), contacts::TypeText, QStringLiteral("RANK"), 20},
        {43, QStringLiteral("..."), contacts::TypeText, QStringLiteral("DOTS"), 20},
    };
    fields.insert(fields.begin(), odd.begin(), odd.end());
    spec.contactFields = fields;
    Contact ann;
    ann.values = {{contacts::kContactNameField, QStringLiteral("Ann")},
                  {40, QStringLiteral("1")},
                  {41, QStringLiteral("2")},
                  {42, QStringLiteral("3")},
                  {43, QStringLiteral("4")}};
    const QString path = contacttest::makeDatabase(folder, {ann}, spec);

    importThroughDialog(path);
    ASSERT_NE(frmdataform::loaded(), nullptr);
    EXPECT_EQ(columnsOf(QStringLiteral("tblData")),
              (QStringList{"Alt Phone", "Field2", "Rank", "Field4", "Contact", "LumacorPrimK"}));
    general::dbWork.execute(QStringLiteral("UPDATE tblData SET [Alt Phone]=\"10\", [Field2]=\"20\", [Rank]=\"30\", "
                                           "[Field4]=\"40\""));
    EXPECT_FALSE(exportTo(path, {}));
    contacts::Database db;
    db.Open(path);
    ASSERT_TRUE(db.isopen());
    EXPECT_EQ((QStringList{value(db, "000000000001", 40), value(db, "000000000001", 41), value(db, "000000000001", 42),
                           value(db, "000000000001", 43)}),
              (QStringList{"10", "20", "30", "40"}));
}

// ---- an export stopped at each rename of its file switch ----------------------

namespace {

const char* const kChildTest = "ActLinkChild.DISABLED_ExportOrOpen";

QString ownNote(const QString& name, int length)
{
    QString s = QStringLiteral("Notes of ") + name + QLatin1Char(':');
    while (s.size() < length)
        s += QStringLiteral(" and more");
    return s;
}

bool notesAreOwn(const QString& name, const QString& notes)
{
    return notes.startsWith(QStringLiteral("Notes of ") + name + QLatin1Char(':'));
}

/// Forty contacts whose notes say whose they are, of lengths that put them
/// in one or two memo blocks, so that one note growing moves all later ones.
std::vector<Contact> notedContacts()
{
    std::vector<Contact> out;
    for (int i = 1; i <= 40; ++i) {
        Contact c;
        const QString name = QStringLiteral("Person %1").arg(i, 2, 10, QLatin1Char('0'));
        c.values = {{contacts::kContactNameField, name}, {17, QStringLiteral("old town")}, {23, ownNote(name, 40 + (i * 97) % 700)}};
        if (i % 3 == 0)
            c.email = QStringLiteral("p%1@old.org").arg(i);
        out.push_back(c);
    }
    return out;
}

/// The files of a contact folder, with the date of last update in each
/// table's header blanked (a run after midnight writes another one).
std::map<QString, QByteArray> contactFiles(const QString& folder)
{
    auto files = contacttest::snapshot(folder);
    for (auto& [name, bytes] : files)
        if (name.endsWith(QStringLiteral(".DBF"), Qt::CaseInsensitive) && bytes.size() > 4)
            bytes.replace(1, 3, QByteArray(3, '\0'));
    return files;
}

void copyFolder(const QString& from, const QString& to)
{
    QDir(to).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(to));
    for (const QString& name : QDir(from).entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name)) << name.toStdString();
}

struct ChildEnd {
    bool stopped = false;   ///< killed, or ended by _exit, at the rename
    QString output;
};

/// Runs this test program again as a child that exports the list of the
/// program folder into its contact table ("export") or only opens that
/// table ("open"), and is killed (SIGKILL, or _exit with exitInstead) at
/// the rename killAt of its file switch (0: never).
ChildEnd runChild(const QString& mode, const QString& programFolder, const QString& table, int killAt, bool exitInstead)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QB_CHILD_MODE"), mode);
    env.insert(QStringLiteral("QB_CHILD_FOLDER"), programFolder);
    env.insert(QStringLiteral("QB_CHILD_TABLE"), table);
    env.insert(QStringLiteral("QB_CHILD_KILL_AT"), QString::number(killAt));
    env.insert(QStringLiteral("QB_CHILD_EXIT"), exitInstead ? QStringLiteral("1") : QStringLiteral("0"));
    p.setProcessEnvironment(env);
    p.start(QCoreApplication::applicationFilePath(),
            {QStringLiteral("--gtest_filter=%1").arg(QLatin1String(kChildTest)), QStringLiteral("--gtest_also_run_disabled_tests")});
    EXPECT_TRUE(p.waitForFinished(120000));
    ChildEnd end;
    end.output = QString::fromUtf8(p.readAllStandardOutput());
    const bool atRename = end.output.contains(QStringLiteral("stopping at rename %1\n").arg(killAt));
    if (exitInstead)
        end.stopped = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 9 && atRename;
    else
        end.stopped = p.exitStatus() == QProcess::CrashExit && atRename;
    if (!end.stopped) {
        EXPECT_EQ(p.exitCode(), 0) << end.output.toStdString() << p.readAllStandardError().toStdString();
    }
    return end;
}

/// Every contact's notes are its own, through our reader and Python's dbfread.
void expectOwnNotes(const QString& table, qsizetype contactsExpected)
{
    contacts::Database db;
    db.Open(table);
    ASSERT_TRUE(db.isopen()) << db.openFailure().toStdString();
    contacts::Table& c = db.CONTACT();
    EXPECT_EQ(c.RecordCount(), contactsExpected);
    for (c.MoveFirst(); !c.isEOF(); c.MoveNext())
        EXPECT_TRUE(notesAreOwn(c.Data(contacts::kContactNameField), c.Data(23)))
            << c.Data(contacts::kContactNameField).toStdString() << ": " << c.Data(23).left(30).toStdString();
    const auto rows = contacttest::readWithDbfread(table);
    QB_NEED_OUTSIDE(rows, "Python's dbfread is not installed");
    EXPECT_EQ(rows->size(), contactsExpected);
    for (const auto& r : *rows) {
        const QJsonObject o = r.toObject();
        EXPECT_TRUE(notesAreOwn(o.value("CONTACT").toString(), o.value("NOTES").toString()))
            << "dbfread: " << o.value("CONTACT").toString().toStdString();
    }
}

} // namespace

// The child of the test below; it does nothing when run on its own.
TEST(ActLinkChild, DISABLED_ExportOrOpen)
{
    const QString mode = qEnvironmentVariable("QB_CHILD_MODE");
    if (mode.isEmpty())
        GTEST_SKIP() << "run by ActLink.ExportStoppedAtEachRenameIsAllOldOrAllNew";
    const QString table = qEnvironmentVariable("QB_CHILD_TABLE");
    const int killAt = qEnvironmentVariableIntValue("QB_CHILD_KILL_AT");
    const bool exitInstead = qEnvironmentVariableIntValue("QB_CHILD_EXIT") != 0;
    int renames = 0;
    contacts::setRenameHook([&](const QString& from, const QString& to) {
        if (++renames == killAt) {
            std::printf("stopping at rename %d\n", renames);
            std::fflush(stdout);
            if (exitInstead)
                _exit(9);
            raise(SIGKILL);
        }
        std::printf("rename %d: %s -> %s\n", renames, qPrintable(QFileInfo(from).fileName()), qPrintable(QFileInfo(to).fileName()));
        return 0;
    });
    if (mode == QLatin1String("open")) {
        contacts::Database db;
        db.Open(table);
        std::printf("open: %s\n", db.isopen() ? "yes" : qPrintable(db.openFailure()));
    } else {
        const QString folder = qEnvironmentVariable("QB_CHILD_FOLDER");
        general::setProgramFolder(folder);
        general::gstrWorkDBPath = folder + QStringLiteral("/sysfls.sys");
        ui::ScriptedHandler ui{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
        ui.answerMessage(ui::vbYes, kWarning);
        ui.answerMessage(ui::vbOK);
        QString message;
        const int result = Act_Module1::ExportToAct(table, table, message);
        std::printf("export: %d %s | %s\n", result, qPrintable(message), qPrintable(ui.messageTexts().join(QLatin1Char('|'))));
        general::gdbWork.close();
    }
    std::printf("renames: %d\n", renames);
    contacts::setRenameHook(nullptr);
}

// The export's file switch stopped at each of its renames, by a kill (the
// child's SIGKILL or _exit, with a recovery killed too) or by a rename that
// fails: at the next open the contact files are exactly the old ones (before
// the switch happened) or exactly the new ones (after), never a mix, and
// every contact shows its own notes.
TEST_F(ActLink, ExportStoppedAtEachRenameIsAllOldOrAllNew)
{
    const QString path = contacttest::makeDatabase(folder, notedContacts());
    importThroughDialog(path);
    ASSERT_NE(frmdataform::loaded(), nullptr);
    // Every contact's table record changes, the first note grows by two
    // blocks (moving every later note), two e-mails change or come, and a
    // contact is added.
    general::dbWork.execute(QStringLiteral("UPDATE tblData SET [Notes]=[Notes] & \"%1\" WHERE [Contact]=\"Person 01\"")
                                .arg(QString(900, QLatin1Char('x'))));
    general::dbWork.execute(QStringLiteral("UPDATE tblData SET [City]=\"Town \" & [LumacorPrimK]"));
    general::dbWork.execute(QStringLiteral("UPDATE tblData SET [E-mail]=\"p\" & [LumacorPrimK] & \"@new.org\" "
                                           "WHERE [Contact] IN (\"Person 03\", \"Person 04\")"));
    general::dbWork.execute(QStringLiteral("INSERT INTO tblData ([Contact], [City], [E-mail], [Notes]) VALUES "
                                           "(\"Dee New\", \"Oslo\", \"dee@new.no\", \"%1\")")
                                .arg(ownNote(QStringLiteral("Dee New"), 700)));
    const auto oldFiles = contactFiles(folder);
    const QString pristine = dir.filePath(QStringLiteral("pristine"));
    copyFolder(folder, pristine);

    // A run of the export in a copy of the program folder.
    const auto runIn = [&](const QString& name) {
        const QString run = dir.filePath(name);
        copyFolder(pristine, run + QStringLiteral("/contacts"));
        QFile::remove(run + QStringLiteral("/sysfls.sys"));
        EXPECT_TRUE(QFile::copy(general::gstrWorkDBPath, run + QStringLiteral("/sysfls.sys")));
        return run;
    };
    const QString reference = runIn(QStringLiteral("reference"));
    const ChildEnd whole = runChild(QStringLiteral("export"), reference, reference + QStringLiteral("/contacts/CONTACTS.DBF"), 0, false);
    ASSERT_TRUE(whole.output.contains(QStringLiteral("export: 0")) && whole.output.contains(kSuccess)) << whole.output.toStdString();
    const auto newFiles = contactFiles(reference + QStringLiteral("/contacts"));
    ASSERT_EQ(newFiles.size(), oldFiles.size());
    for (const char* changed : {"CONTACTS.DBF", "CONTACTS.DBT", "EMAIL.DBF"})
        EXPECT_NE(newFiles.at(QString::fromLatin1(changed)), oldFiles.at(QString::fromLatin1(changed))) << changed;
    const int renames = QRegularExpression(QStringLiteral("renames: (\\d+)")).match(whole.output).captured(1).toInt();
    ASSERT_EQ(renames, 5);   // the record, the three tables' files, the record's removal
    expectOwnNotes(reference + QStringLiteral("/contacts/CONTACTS.DBF"), 41);

    for (int n = 1; n <= renames; ++n) {
        SCOPED_TRACE(n);
        const bool exitInstead = n % 2 == 0;
        const QString run = runIn(QStringLiteral("kill%1").arg(n));
        const QString contactFolder = run + QStringLiteral("/contacts");
        const QString table = contactFolder + QStringLiteral("/CONTACTS.DBF");
        ASSERT_TRUE(runChild(QStringLiteral("export"), run, table, n, exitInstead).stopped);
        if (n > 1) {
            // The switch had happened: the open that finishes it is killed
            // at its first step too, and the next one finishes it.
            EXPECT_TRUE(QFileInfo::exists(contactFolder + QStringLiteral("/QBSWITCH.LST")));
            EXPECT_TRUE(runChild(QStringLiteral("open"), run, table, 1, !exitInstead).stopped);
        }
        expectOwnNotes(table, n == 1 ? 40 : 41);
        EXPECT_TRUE(contactFiles(contactFolder) == (n == 1 ? oldFiles : newFiles))
            << (contactFiles(contactFolder) == oldFiles ? "old" : contactFiles(contactFolder) == newFiles ? "new" : "mixed");
    }

    // The same renames refused by the system, on the road through File >
    // Export: before the switch the export fails and changes nothing; after
    // it the export is done, says that its last step is left, and the next
    // open completes it. The added contact is recorded only with the files.
    const auto hiddenRows = [] {
        return jet::Database::open(general::gstrWorkDBPath)
            .openRecordset(QStringLiteral("SELECT COUNT(*) FROM tblActHiddenFields"), jet::dbOpenSnapshot)
            ->value(0)
            .toString();
    };
    for (int n = 1; n <= renames; ++n) {
        SCOPED_TRACE(n);
        copyFolder(pristine, folder);
        general::dbWork.execute(QStringLiteral("DELETE FROM tblActHiddenFields WHERE LumacorPrimK > 40"));
        int calls = 0;
        contacts::setRenameHook([&](const QString&, const QString&) { return ++calls == n ? EIO : 0; });
        ui.answerFile(path, 3);
        ui.answerMessage(ui::vbYes, kWarning);
        ui.answerMessage(ui::vbOK);
        const bool failed = main->ExportFile();
        contacts::setRenameHook(nullptr);
        const QString said = ui.shown().back().text;
        if (n == 1) {
            EXPECT_TRUE(failed);
            EXPECT_EQ(said, QStringLiteral("Cannot replace '%1/CONTACTS.DBT': %2  Unable to Export.")
                                .arg(folder, QString::fromLocal8Bit(std::strerror(EIO))));
            EXPECT_EQ(hiddenRows(), QStringLiteral("40"));
        } else {
            EXPECT_FALSE(failed);
            EXPECT_TRUE(said.startsWith(kSuccess + QStringLiteral("\r\rThe export's last step")) && said.contains(QStringLiteral("Input/output error")))
                << said.toStdString();
            EXPECT_TRUE(said.endsWith(QStringLiteral("); it is completed the next time this program opens the contact "
                                                     "database.")))
                << said.toStdString();
            EXPECT_EQ(ui.shown().back().style, ui::vbExclamation);
            EXPECT_EQ(hiddenRows(), QStringLiteral("41"));
        }
        expectOwnNotes(path, n == 1 ? 40 : 41);
        EXPECT_TRUE(contactFiles(folder) == (n == 1 ? oldFiles : newFiles));
    }
}

// The record of the contacts an export adds lands with the contact files or
// not at all: when it cannot be written the export fails and changes
// nothing; when it cannot be kept once the files have switched (another
// program holds the working database), the closing message says so.
TEST_F(ActLink, AddedContactsAreRecordedWithTheFilesOrTheClosingMessageSaysSo)
{
    const QString path = contacttest::makeDatabase(folder, contacttest::threeContacts());
    importThroughDialog(path);
    ASSERT_NE(frmdataform::loaded(), nullptr);
    general::dbWork.execute(QStringLiteral("INSERT INTO tblData ([Contact], [City]) VALUES (\"Dee New\", \"Oslo\")"));
    const auto before = contacttest::snapshot(folder);
    const auto hidden = [] {
        return jet::Database::open(general::gstrWorkDBPath)
            .openRecordset(QStringLiteral("SELECT COUNT(*) FROM tblActHiddenFields"), jet::dbOpenSnapshot)
            ->value(0)
            .toString();
    };
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(general::gstrWorkDBPath).constData(), &other), SQLITE_OK);

    // The record refused: nothing changes in the contact database.
    ASSERT_EQ(sqlite3_exec(other, "CREATE TRIGGER refuse BEFORE INSERT ON tblActHiddenFields "
                                  "BEGIN SELECT RAISE(ABORT, 'the record is refused'); END",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    ui.answerFile(path, 3);
    ui.answerMessage(ui::vbYes, kWarning);
    ui.answerMessage(ui::vbOK);
    EXPECT_TRUE(main->ExportFile());
    EXPECT_TRUE(ui.shown().back().text.contains(QStringLiteral("the record is refused"))) << ui.shown().back().text.toStdString();
    EXPECT_EQ(contacttest::snapshot(folder), before);
    EXPECT_EQ(hidden(), QStringLiteral("3"));
    ASSERT_EQ(sqlite3_exec(other, "DROP TRIGGER refuse", nullptr, nullptr, nullptr), SQLITE_OK);

    // Another reader of the working database from the moment the files
    // switch: the record cannot be kept, and the closing message says so.
    contacts::setRenameHook([&](const QString&, const QString& to) {
        if (to.isEmpty()) {   // the last step of the switch
            EXPECT_EQ(sqlite3_exec(other, "BEGIN; SELECT COUNT(*) FROM tblData;", nullptr, nullptr, nullptr), SQLITE_OK);
        }
        return 0;
    });
    ui.answerFile(path, 3);
    ui.answerMessage(ui::vbYes, kWarning);
    ui.answerMessage(ui::vbOK);
    EXPECT_FALSE(main->ExportFile());
    contacts::setRenameHook(nullptr);
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    const QString said = ui.shown().back().text;
    EXPECT_TRUE(said.startsWith(kSuccess + QStringLiteral("\r\rThe contact added could not be recorded in the list (")))
        << said.toStdString();
    EXPECT_TRUE(said.endsWith(QStringLiteral("exporting this list again would add it again. Import the Act! database "
                                             "again before the next export.")));
    EXPECT_EQ(ui.shown().back().style, ui::vbExclamation);
    EXPECT_EQ(hidden(), QStringLiteral("3"));
    contacts::Database db;
    db.Open(path);
    ASSERT_TRUE(db.isopen());
    EXPECT_EQ(contactNames(db), (QStringList{"000000000001 Ann Smith", "000000000002 Bo Lee", "000000000003 Cy O'Brien",
                                             "000000000004 Dee New"}));
}
