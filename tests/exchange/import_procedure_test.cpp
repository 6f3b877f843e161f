// The import procedure through the scripted desktop: the Select Source dialog
// and its remembered filter, the branch by extension to each importer, the
// export offer, the recent-file road, and the "File Error" message.
#include "exchange/frmexceltables.h"
#include "exchange/frmtablenames.h"
#include "import_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QDialog>
#include <QPushButton>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>

using importtest::ImportTest;
using importtest::kPeople;

namespace {

const QString kExportOffer = QStringLiteral("Would you like to export the current data before you open a new file?");
const QString kFilter = QStringLiteral(
    "Delimited Text Files (*.txt, *.csv)|*.txt;*.csv|Access DB Files (*.mdb)|*.mdb|Excel Files  (*.xls)|*.xls|"
    "Act! 6.0 Files (*.dbf)|*.dbf|All Files  (*.*)|*.*|");

class ImportProcedure : public ImportTest {
protected:
    void writeImportTxt(const QByteArray& bytes)
    {
        QFile f(dir.filePath(QStringLiteral("Settings/import.txt")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    /// Runs the procedure; while a modal window of that name is up, act runs
    /// on it (it must end the window).
    void runWithModal(const char* windowName, std::function<void(QDialog*)> act)
    {
        const QString name = QString::fromLatin1(windowName);
        QTimer::singleShot(0, [name, act, this] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!d || d->objectName() != name) {
                ADD_FAILURE() << "no modal " << name.toStdString();
                if (d)
                    d->reject();
                return;
            }
            modalSeen = true;
            act(d);
        });
        main->Open_Source_File();
    }
    /// Opens a list in the workbench, as an earlier import leaves it.
    void openAList()
    {
        makePreviousList();
        general::gstrSourceFile = general::gstrFileName = path("old.csv");
        general::gblnNewImport = true;
        exchange_open();
        ASSERT_EQ(general::gintFileOpen, 1);
    }
    void exchange_open()
    {
        main->enable();
        frmdataform::instance();
        main->showWorkbench();
    }
    bool modalSeen = false;
};

} // namespace

// The filter the dialog opens on: import.txt first, the kind imported last in
// this run over it; a file that is empty or not ours counts as missing.
struct Preselect {
    const char* importTxt;   ///< nullptr: no file
    const char* lastInRun;
    int index;
};
const Preselect kPreselect[] = {
    {nullptr, "", 1},
    {"\"Import=mdb\"\r\n", "", 2},
    {"\"Import=xls\"\r\n", "", 3},
    {"\"Import=dbf\"\r\n", "", 4},
    {"\"Import=txt\"\r\n", "", 1},
    {"", "", 1},
    {"\"import=xls\"\r\n", "", 1},
    {"\"Import=xls\"\r\n", "mdb", 2},
    {nullptr, "xls", 3},
};

TEST_F(ImportProcedure, DialogIsPreselectedAndItsCancelIsSilent)
{
    for (const Preselect& p : kPreselect) {
        SCOPED_TRACE(p.importTxt ? p.importTxt : "<none>");
        QFile::remove(dir.filePath(QStringLiteral("Settings/import.txt")));
        if (p.importTxt)
            writeImportTxt(p.importTxt);
        general::gstrImportType = QString::fromLatin1(p.lastInRun);
        const int before = int(ui.shown().size());
        ui.cancelFile();
        main->Open_Source_File();
        ASSERT_EQ(ui.shown().size(), before + 1);   // the dialog and no message
        const ui::FileDialogRequest& r = ui.shown().back().file;
        EXPECT_EQ(ui.shown().back().kind, ui::ScriptedHandler::Kind::OpenFile);
        EXPECT_EQ(r.title, QStringLiteral("Select Source"));
        EXPECT_EQ(r.filter, kFilter);
        EXPECT_EQ(r.flags & ui::FileHideReadOnly, ui::FileHideReadOnly);
        EXPECT_EQ(r.filterIndex, p.index);
        EXPECT_TRUE(r.fileName.isEmpty());
        EXPECT_EQ(main->mintMRUReopen, 0);
        EXPECT_EQ(main->panelText(1), QString());
        EXPECT_FALSE(main->command(QStringLiteral("mnuexport"))->isEnabled());
    }
}

TEST_F(ImportProcedure, ExportOfferCancelKeepsTheListAndNoClosesIt)
{
    openAList();
    ui.answerMessage(ui::vbCancel, kExportOffer);
    main->Open_Source_File();
    ASSERT_EQ(ui.shown().size(), 1);
    EXPECT_EQ(ui.shown()[0].style, ui::vbYesNoCancel + ui::vbExclamation);
    EXPECT_NE(frmdataform::loaded(), nullptr);
    EXPECT_EQ(general::gintFileOpen, 1);
    EXPECT_TRUE(main->command(QStringLiteral("mnuexport"))->isEnabled());

    // No: the list closes without the workbench's own question; Cancel in the
    // dialog then leaves no list and shows nothing.
    ui.answerMessage(ui::vbNo, kExportOffer);
    ui.cancelFile();
    main->Open_Source_File();
    EXPECT_EQ(ui.shown().size(), 3);
    EXPECT_EQ(frmdataform::loaded(), nullptr);
    EXPECT_EQ(general::gintFileOpen, 0);
    EXPECT_TRUE(general::gblnNewImport);
    EXPECT_FALSE(main->command(QStringLiteral("mnuexport"))->isEnabled());
    EXPECT_EQ(tblData(QStringLiteral("[Old]")), QStringList{"kept"});   // the procedure itself writes no table
}

TEST_F(ImportProcedure, WorkbookGoesThroughTheSheetChooserIntoTheWorkbench)
{
    const QString book = writeWorkbook("people.xls", QStringLiteral("My Sheet"), kPeople);
    ui.answerFile(book, 3);
    runWithModal("frmExcelTables", [](QDialog* d) {
        auto* sheets = d->findChild<QComboBox*>(QStringLiteral("Combo1"));
        ASSERT_EQ(sheets->count(), 1);
        EXPECT_EQ(sheets->itemText(0), QStringLiteral("My Sheet"));
        d->findChild<QPushButton*>(QStringLiteral("cmdContinue"))->click();
    });
    EXPECT_TRUE(modalSeen);
    EXPECT_EQ(general::gstrImportType, QStringLiteral("xls"));
    EXPECT_EQ(general::gstrExcelFile, book);
    EXPECT_EQ(general::gstrSourceFile, book);
    EXPECT_EQ(main->recentFiles().value(0), book);
    EXPECT_EQ(importTxt(), QByteArray("\"Import=xls\"\r\n"));
    ASSERT_NE(frmdataform::loaded(), nullptr);
    EXPECT_EQ(tblData(QStringLiteral("[F1], [F2]")).value(1), QStringLiteral("Smith|Boston"));
    EXPECT_EQ(ui.shown().size(), 1);   // the dialog only
}

TEST_F(ImportProcedure, RecentWorkbookSkipsTheQuestionAndTheDialog)
{
    openAList();
    const QString book = writeWorkbook("recent.xls", QStringLiteral("Sheet1"), kPeople);
    general::gblnNewImport = true;
    frmdataform::unload();   // as the recent-file click does, after its own question
    general::gstrFileName = general::gstrMRUFile = general::gstrSourceFile = book;
    main->mstrSourceExt = QStringLiteral("xls");
    main->mintMRUReopen = 1;
    runWithModal("frmExcelTables", [](QDialog* d) {
        EXPECT_EQ(d->findChild<QComboBox*>(QStringLiteral("Combo1"))->currentText(), QStringLiteral("Sheet1"));
        d->reject();
    });
    EXPECT_TRUE(modalSeen);
    EXPECT_TRUE(ui.shown().isEmpty());
    EXPECT_EQ(main->mintMRUReopen, 0);
    EXPECT_EQ(general::gstrExcelFile, book);
}

TEST_F(ImportProcedure, AccessDatabaseListsItsUserTablesInTheModelessChooser)
{
    const QString db = path("contacts.MDB");
    {
        jet::Database src = jet::Database::open(db, true);
        for (const char* t : {"Customers", "Switchboard Items", "msysconf", "Prospects"})
            fillPeople(src, QString::fromLatin1(t), kPeople);
    }
    ui.answerFile(db, 2);
    main->Open_Source_File();   // returns at once
    frmTablenames* chooser = frmTablenames::loaded();
    ASSERT_NE(chooser, nullptr);
    EXPECT_TRUE(chooser->isVisible());
    EXPECT_FALSE(chooser->isModal());
    auto* tables = chooser->findChild<QComboBox*>(QStringLiteral("Combo1"));
    QStringList listed;
    for (int i = 0; i < tables->count(); ++i)
        listed << tables->itemText(i);
    EXPECT_EQ(listed, (QStringList{"Customers", "Prospects"}));
    EXPECT_EQ(general::gstrAccessFile, db);
    EXPECT_EQ(general::gstrImportType, QStringLiteral("mdb"));
    EXPECT_EQ(importTxt(), QByteArray("\"Import=mdb\"\r\n"));
    EXPECT_EQ(ui.pointer(main), ui::Pointer::Arrow);

    // The next dialog of this run opens on the Access filter.
    writeImportTxt("\"Import=xls\"\r\n");
    ui.cancelFile();
    main->Open_Source_File();
    EXPECT_EQ(ui.shown().back().file.filterIndex, 2);
}

TEST_F(ImportProcedure, TextGoesToTheWizardWhateverTheLetterCase)
{
    const QString csv = path("LIST.CSV");
    {
        QFile f(csv);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Name,City\r\nSmith,Boston\r\n");
    }
    ui.answerFile(csv, 1);
    runWithModal("frmtxtWizard", [](QDialog* d) { d->reject(); });
    EXPECT_TRUE(modalSeen);
    EXPECT_EQ(general::gstrImportType, QStringLiteral("txt"));
    EXPECT_EQ(general::gstrSourceFile, csv);
    EXPECT_EQ(importTxt(), QByteArray("\"Import=txt\"\r\n"));
}

TEST_F(ImportProcedure, DbfThatIsNoContactDatabaseCannotBeOpened)
{
    QFile f(path("contacts.dbf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a table");
    f.close();
    ui.answerFile(path("contacts.dbf"), 4);
    ui.answerMessage(ui::vbOK, QStringLiteral("Your Act database could not be opened."));
    main->Open_Source_File();
    EXPECT_EQ(ui.shown().back().style, ui::vbCritical);
    EXPECT_EQ(importTxt(), QByteArray("\"Import=dbf\"\r\n"));
    EXPECT_EQ(frmdataform::loaded(), nullptr);
    EXPECT_EQ(main->panelText(1), QString());
}

TEST_F(ImportProcedure, OtherKindOfFileEndsWithoutAWord)
{
    writeImportTxt("\"Import=xls\"\r\n");
    ui.answerFile(path("letter.doc"), 5);
    main->Open_Source_File();
    EXPECT_EQ(ui.shown().size(), 1);
    EXPECT_EQ(importTxt(), QByteArray("\"Import=xls\"\r\n"));
    EXPECT_FALSE(main->command(QStringLiteral("mnuexport"))->isEnabled());
    EXPECT_EQ(main->mintMRUReopen, 0);
}

// Files that are not what their extension says, or are missing: the message
// with the error's number and description, and no chooser.
struct BadFile {
    const char* name;
    const char* content;   ///< nullptr: no file
    int filterIndex;
};
const BadFile kBadFiles[] = {
    {"damaged.xls", "this is no workbook", 3},
    {"notes.mdb", "this is no database either, just some text", 2},
    {"missing.mdb", nullptr, 2},
};

TEST_F(ImportProcedure, UnreadableSourceGivesTheFileErrorMessage)
{
    makePreviousList();
    for (const BadFile& b : kBadFiles) {
        SCOPED_TRACE(b.name);
        const QString p = path(b.name);
        if (b.content) {
            QFile f(p);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(b.content);
        }
        ui.answerFile(p, b.filterIndex);
        ui.answerMessage(ui::vbOK);
        main->Open_Source_File();
        const auto& box = ui.shown().back();
        EXPECT_EQ(box.kind, ui::ScriptedHandler::Kind::Message);
        EXPECT_TRUE(box.text.startsWith(QStringLiteral("File Error. Unable to Open File \r\r"))) << box.text.toStdString();
        EXPECT_TRUE(box.text.contains(QRegularExpression(QStringLiteral("^File Error\\. Unable to Open File \r\r\\d+ - .+"))));
        EXPECT_EQ(box.style, ui::vbExclamation);
        EXPECT_EQ(main->panelText(1), QString());
        EXPECT_EQ(ui.pointer(main), ui::Pointer::Arrow);
        EXPECT_EQ(frmTablenames::loaded(), nullptr);
        EXPECT_EQ(QFileInfo::exists(p), b.content != nullptr);   // nothing made in its place
    }
    EXPECT_EQ(tblData(), QStringList{"kept"});
}

// A workbook whose directory is damaged never reaches the Excel library: the
// procedure's message carries the reason, and the open list stays.
TEST_F(ImportProcedure, DamagedWorkbookGivesTheFileErrorWithItsReason)
{
    makePreviousList();
    const QString book = writeWorkbook("damaged.xls", QStringLiteral("Sheet1"), kPeople);
    QByteArray bytes;
    {
        QFile f(book);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        bytes = f.readAll();
    }
    const qsizetype entry = bytes.indexOf(QByteArray("W\0o\0r\0k\0b\0o\0o\0k\0", 16));
    ASSERT_GT(entry, 0);
    bytes[entry + 0x40] = char(0x20);   // a name length far beyond the entry's 64 bytes
    bytes[entry + 0x41] = char(0xe4);
    {
        QFile f(book);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    ui.answerFile(book, 3);
    ui.answerMessage(ui::vbOK);
    main->Open_Source_File();
    const auto& box = ui.shown().back();
    EXPECT_TRUE(box.text.startsWith(QStringLiteral("File Error. Unable to Open File \r\r"))) << box.text.toStdString();
    EXPECT_TRUE(box.text.endsWith(QStringLiteral("'%1' cannot be read as a workbook: a directory entry's name has an "
                                                 "impossible length.").arg(book)))
        << box.text.toStdString();
    EXPECT_EQ(tblData(), QStringList{"kept"});
}

// Every road into a list ends the same way: the workbench maximised inside the
// main window's MDI area (where the menu shortcuts reach it) and the record
// count in the status.
TEST_F(ImportProcedure, EveryImportRoadOpensTheWorkbenchInsideTheMainWindow)
{
    const QString csv = path("people.csv");
    {
        QFile f(csv);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Name,City\r\nSmith,Boston\r\nLee,\"Paris\r\nTX\"\r\nO'Brien,Cork\r\n");
    }
    const QString book = writeWorkbook("people.xls", QStringLiteral("People"), kPeople);
    const QString mdb = path("people.mdb");
    {
        jet::Database src = jet::Database::open(mdb, true);
        fillPeople(src, QStringLiteral("People"), kPeople);
    }
    const auto importText = [](QDialog* d) {
        d->findChild<QCheckBox*>(QStringLiteral("chkFirstRow"))->click();
        d->findChild<QPushButton*>(QStringLiteral("cmdImport"))->click();
    };
    struct Road {
        const char* what;
        std::function<void()> run;
    };
    const Road roads[] = {
        {"text wizard",
         [&] {
             ui.answerFile(csv, 1);
             runWithModal("frmtxtWizard", importText);
         }},
        {"recent text file",
         [&] {
             main->AddToMRU(csv);
             const QString name = QStringLiteral("frmtxtWizard");
             QTimer::singleShot(0, [&] {
                 auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                 ASSERT_TRUE(d && d->objectName() == name);
                 importText(d);
             });
             main->mnuMRU_Click(1);
         }},
        {"worksheet",
         [&] {
             ui.answerFile(book, 3);
             runWithModal("frmExcelTables", [](QDialog* d) {
                 d->findChild<QCheckBox*>(QStringLiteral("chkFirstRow"))->click();
                 d->findChild<QPushButton*>(QStringLiteral("cmdContinue"))->click();
             });
         }},
        {"Access table",
         [&] {
             ui.answerFile(mdb, 2);
             main->Open_Source_File();
             frmTablenames* chooser = frmTablenames::loaded();
             ASSERT_NE(chooser, nullptr);
             auto* tables = chooser->findChild<QComboBox*>(QStringLiteral("Combo1"));
             tables->setCurrentIndex(0);
             emit tables->activated(0);
             chooser->findChild<QPushButton*>(QStringLiteral("cmdcontinue2"))->click();
         }},
    };
    for (const Road& r : roads) {
        SCOPED_TRACE(r.what);
        general::gintFileOpen = 0;
        r.run();
        frmdataform* w = frmdataform::loaded();
        ASSERT_NE(w, nullptr);
        auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget());
        ASSERT_NE(sub, nullptr);
        EXPECT_EQ(sub->mdiArea(), main->mdiArea());
        EXPECT_TRUE(sub->isMaximized());
        EXPECT_TRUE(w->isVisibleTo(main));
        EXPECT_TRUE(main->panelText(1).startsWith(QStringLiteral("Total Records = 3 :"))) << main->panelText(1).toStdString();
        EXPECT_EQ(general::gintFileOpen, 1);
        general::gblnNewImport = true;   // no export question
        ASSERT_TRUE(frmdataform::unload());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// After a text import the workbench's grid has the focus inside the main
// window, so the main menu's keys reach their items from the grid: the keys
// the grid's pop-up menu shows as well, and those it does not.
TEST_F(ImportProcedure, MenuKeysWorkWhileTheImportedGridHasTheFocus)
{
    const QString csv = path("people.csv");
    {
        QFile f(csv);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Name,City\r\nSmith,Boston\r\nLee,Paris\r\n");
    }
    main->show();
    ui.answerFile(csv, 1);
    runWithModal("frmtxtWizard", [](QDialog* d) {
        d->findChild<QCheckBox*>(QStringLiteral("chkFirstRow"))->click();
        d->findChild<QPushButton*>(QStringLiteral("cmdImport"))->click();
    });
    frmdataform* w = frmdataform::loaded();
    ASSERT_NE(w, nullptr);
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    w->DBGridData->setFocus();
    w->DBGridData->setCurrentIndex(w->DBGridData->model()->index(0, 1));
    ASSERT_TRUE(w->DBGridData->hasFocus());

    const struct {
        const char* item;
        int key;
        Qt::KeyboardModifiers modifiers;
        const char* dialog;
    } keys[] = {
        {"mnufind", Qt::Key_F, Qt::ControlModifier, "frmFind"},
        {"mnureplace", Qt::Key_R, Qt::ControlModifier, "frmReplace"},
    };
    for (const auto& k : keys) {
        QAction* item = main->command(QString::fromLatin1(k.item));
        SCOPED_TRACE(k.item);
        ASSERT_NE(item, nullptr);
        QSignalSpy fired(item, &QAction::triggered);
        QString shown;
        // The dialog the item opens is modal: it is noted and closed once it is up.
        QTimer::singleShot(0, [&shown] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                shown = d->objectName();
                d->reject();
            }
        });
        QTest::keyClick(w->DBGridData, Qt::Key(k.key), k.modifiers);
        QCoreApplication::processEvents();
        EXPECT_EQ(fired.count(), 1);
        EXPECT_EQ(shown, QString::fromLatin1(k.dialog));
        // A window manager gives the activation back to the main window when
        // the dialog goes; the offscreen screen has none to do it.
        main->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == main; }));
        w->DBGridData->setFocus();
    }
}

// A modeless table chooser left open belongs to the import that showed it: the
// next import closes it, so its Import cannot run over the newer list.
TEST_F(ImportProcedure, AnotherImportClosesAStaleTableChooser)
{
    const QString mdb = path("people.mdb");
    {
        jet::Database src = jet::Database::open(mdb, true);
        fillPeople(src, QStringLiteral("People"), kPeople);
    }
    ui.answerFile(mdb, 2);
    main->Open_Source_File();
    QPointer<frmTablenames> stale = frmTablenames::loaded();
    ASSERT_FALSE(stale.isNull());
    ASSERT_TRUE(stale->isVisible());

    ui.cancelFile();
    main->Open_Source_File();
    EXPECT_EQ(frmTablenames::loaded(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(stale.isNull());
    EXPECT_TRUE(ui.messageTexts().isEmpty());
}
