// The main window: the quit road, the data commands switched as one set,
// the toolbar buttons at the positions others address, help ids, the
// recent files, the Tools editors and the web links.
#include "app/mdimain.h"

#include "app/contextids.h"
#include "app/listeditors.h"
#include "common/general.h"
#include "platform/ui/scripted.h"
#include "platform/ui/settings.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <gtest/gtest.h>

namespace {

ui::ScriptedHandler::Reporter failTest()
{
    return [](const QString& m) { ADD_FAILURE() << m.toStdString(); };
}

const QString kQuit = QStringLiteral("Are you sure you want to quit Lumacor Quillabrand Pro Y/N?");

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        general::setProgramFolder(dir.path());
        ui::setSettingsFolder(dir.filePath(QStringLiteral("config")));
        general::gintFileOpen = 0;
        ui_ = std::make_unique<ui::ScriptedHandler>(failTest());
        main = &MDIMain::instance();
        ASSERT_TRUE(main->MDIForm_Load());
        main->show();
    }
    void TearDown() override
    {
        delete MDIMain::loaded();
        QApplication::processEvents();   // the deleteLater of a quit window
        ui_.reset();
        general::gintFileOpen = 0;
        general::setProgramFolder(QString());
        ui::setSettingsFolder(QString());
    }
    bool on(const QString& name) const
    {
        QAction* a = main->command(name);
        EXPECT_NE(a, nullptr) << name.toStdString();
        return a && a->isEnabled();
    }
    QString touch(const char* name)
    {
        const QString p = dir.filePath(QString::fromLatin1(name));
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        return p;
    }

    QTemporaryDir dir;
    std::unique_ptr<ui::ScriptedHandler> ui_;
    MDIMain* main = nullptr;
};

TEST_F(MainWindow, QuitAsksAndNoKeepsTheProgramRunning)
{
    QSignalSpy ended(main, &MDIMain::programEnded);
    ui_->answerMessage(ui::vbNo, kQuit);
    main->command(QStringLiteral("mnuExit"))->trigger();
    ASSERT_EQ(ui_->shown().size(), 1);
    EXPECT_EQ(ui_->shown()[0].style, ui::vbYesNo + ui::vbQuestion);
    EXPECT_EQ(ui_->shown()[0].title, QStringLiteral("Quit Lumacor Quillabrand Pro Y/N?"));
    EXPECT_EQ(MDIMain::loaded(), main);
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(ended.count(), 0);

    // The close box goes the same road; Yes ends the program and saves the recent files.
    main->AddToMRU(QStringLiteral("/lists/a.csv"));
    ui_->answerMessage(ui::vbYes, kQuit);
    EXPECT_TRUE(main->close());
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(MDIMain::loaded(), nullptr);
    EXPECT_EQ(ui::getSetting(ui::applicationTitle(), QStringLiteral("MRUFiles"), QStringLiteral("1")),
              QStringLiteral("/lists/a.csv"));
}

// The data commands: at start, after enable and after disable. Toolbar
// positions are the ones the filter look addresses.
struct Switched { const char* name; bool atStart, afterEnable, afterDisable; };
const Switched kSwitched[] = {
    {"Toolbar1:2", true, true, true},     {"Toolbar2:1", true, true, true},     // import
    {"Toolbar1:5", false, true, false},   {"Toolbar2:2", false, true, false},   // export
    {"mnuexport", false, true, false},    {"mnuClose", false, true, true},
    {"Toolbar1:8", true, true, true},     {"Toolbar2:4", true, true, true},     // tutorial
    {"Toolbar2:5", false, true, false},   {"mnucut", false, true, false},
    {"Toolbar2:6", false, true, false},   {"mnucopy", false, true, false},
    {"Toolbar2:7", false, true, false},   {"mnuPaste", false, true, false},
    {"Toolbar1:15", false, true, false},  {"Toolbar2:8", false, true, false},   {"mnufind", false, true, false},
    {"mnureplace", false, true, false},   {"delrow", false, true, false},
    {"Toolbar1:11", false, true, false},  {"Toolbar1:12", false, true, false},
    {"Toolbar2:12", false, true, false},  {"Toolbar2:13", false, true, false},  {"mnusort", false, true, false},
    {"mnufilter", false, true, false},    {"mnufirst", false, true, false},     {"mnulast", false, true, false},
    {"Toolbar1:18", false, true, false},  {"Toolbar2:10", false, true, false},  {"mnuspell", false, true, false},
    {"mnuSpli", false, true, false},      {"mnuRemoveSplit", false, true, false},
    {"Toolbar1:24", true, true, true},    {"Toolbar2:17", true, true, true},    // help
    {"mnuimport", true, true, true},      {"mnuExit", true, true, true},        {"mnutips", true, true, true},
    {"mnuView", true, true, true},
    // The list editors are no data commands: usable with or without a list.
    {"mnuprefixes", true, true, true},    {"mnuexceptions", true, true, true},
    {"mnudomains", true, true, true},     {"mnugeneric", true, true, true},
};

TEST_F(MainWindow, EnableAndDisableSwitchTheDataCommandsAsOneSet)
{
    for (const Switched& s : kSwitched)
        EXPECT_EQ(on(QString::fromLatin1(s.name)), s.atStart) << "at start: " << s.name;
    EXPECT_TRUE(main->hasBackgroundPicture());
    for (int twice = 0; twice < 2; ++twice) {
        main->enable();
        for (const Switched& s : kSwitched)
            EXPECT_EQ(on(QString::fromLatin1(s.name)), s.afterEnable) << "after enable: " << s.name;
        main->disable();
        for (const Switched& s : kSwitched)
            EXPECT_EQ(on(QString::fromLatin1(s.name)), s.afterDisable) << "after disable: " << s.name;
    }
    EXPECT_FALSE(main->hasBackgroundPicture());   // gone for the rest of the run
}

TEST_F(MainWindow, FilterRemovalButtonsFollowTheFilterLookNotEnable)
{
    // The filter look turns both on while a filter is set.
    main->command(QStringLiteral("Toolbar1:21"))->setEnabled(true);
    main->command(QStringLiteral("Toolbar2:15"))->setEnabled(true);
    main->enable();
    EXPECT_TRUE(on(QStringLiteral("Toolbar1:21")));
    EXPECT_TRUE(on(QStringLiteral("Toolbar2:15")));
    main->disable();
    EXPECT_FALSE(on(QStringLiteral("Toolbar1:21")));
    EXPECT_TRUE(on(QStringLiteral("Toolbar2:15")));
    main->command(QStringLiteral("Toolbar1:21"))->setEnabled(false);
    main->command(QStringLiteral("Toolbar2:15"))->setEnabled(false);
    main->enable();
    EXPECT_FALSE(on(QStringLiteral("Toolbar1:21")));
    EXPECT_FALSE(on(QStringLiteral("Toolbar2:15")));
}

TEST_F(MainWindow, ToolbarButtonsSitAtTheirPositions)
{
    const char* const bar1[24] = {nullptr, "Import", nullptr, nullptr, "Export", nullptr, nullptr, "Wizard",
                                  nullptr, nullptr, "atoz", "ztoa", nullptr, nullptr, "Find", nullptr,
                                  nullptr, "Spelling", nullptr, nullptr, "refresh", nullptr, nullptr, "Help"};
    const char* const bar2[17] = {"Import", "Export", nullptr, "Tutorial", "cut", "copy", "paste", "find", nullptr,
                                  "Spell", nullptr, "Asc", "des", nullptr, "refresh", nullptr, "help"};
    const auto check = [this](int which, const char* const* keys, int count) {
        for (int p = 1; p <= count; ++p) {
            QAction* a = main->command(QStringLiteral("Toolbar%1:%2").arg(which).arg(p));
            ASSERT_NE(a, nullptr) << which << ":" << p;
            EXPECT_EQ(a->isSeparator(), keys[p - 1] == nullptr) << which << ":" << p;
            if (keys[p - 1]) {
                EXPECT_EQ(a->data().toString(), QString::fromLatin1(keys[p - 1])) << which << ":" << p;
            }
        }
        EXPECT_EQ(main->command(QStringLiteral("Toolbar%1:%2").arg(which).arg(count + 1)), nullptr);
        EXPECT_EQ(main->toolbar(which)->actions().size(), count);
    };
    check(1, bar1, 24);
    check(2, bar2, 17);
    EXPECT_EQ(main->command(QStringLiteral("Toolbar1:21"))->text(), QStringLiteral("Filter On"));
}

TEST_F(MainWindow, ToolbarButtonsRunTheMenuCommandOfTheirKey)
{
    // The grid's owner connects one handler per command to the menu item;
    // the toolbars must reach it, after lowering the key.
    QStringList ran;
    for (const char* item : {"mnuascending", "mnudesc", "mnuspell", "mnucut", "mnucopy", "mnuPaste"}) {
        const QString name = QString::fromLatin1(item);
        QObject::connect(main->command(name), &QAction::triggered, main, [&ran, name] { ran << name; });
    }
    main->enable();
    struct Case { const char* button; const char* item; };
    const Case cases[] = {
        {"Toolbar1:11", "mnuascending"}, {"Toolbar1:12", "mnudesc"}, {"Toolbar2:12", "mnuascending"},
        {"Toolbar2:13", "mnudesc"},      {"Toolbar1:18", "mnuspell"}, {"Toolbar2:5", "mnucut"},
        {"Toolbar2:6", "mnucopy"},       {"Toolbar2:7", "mnuPaste"},
        {"Toolbar2:10", nullptr},   // the spell-check step dialog, not the whole check
        {"Toolbar2:8", nullptr},    // Find without blocking: its owner connects to the button
    };
    for (const Case& c : cases) {
        ran.clear();
        main->command(QString::fromLatin1(c.button))->trigger();
        EXPECT_EQ(ran, c.item ? QStringList{QString::fromLatin1(c.item)} : QStringList()) << c.button;
    }
}

TEST_F(MainWindow, MenuCaptionsAndShortcuts)
{
    struct Item { const char* name; const char* caption; const char* shortcut; };
    const Item items[] = {
        {"mnuimport", "&Import File", "Ctrl+O"}, {"mnuexport", "&Export", "Ctrl+S"}, {"mnuExit", "&Exit", "Ctrl+E"},
        {"mnucut", "&Cut", "Ctrl+X"},           {"mnucopy", "&Copy", "Ctrl+C"},     {"mnuPaste", "&Paste", "Ctrl+V"},
        {"mnufind", "&Find", "Ctrl+F"},         {"mnureplace", "&Replace", "Ctrl+R"},
        {"delrow", "&Delete Row", "Ctrl+D"},    {"mnuspell", "Spelling...", "F7"},
        {"mnuClose", "&Close", ""},             {"mnufirst", "Move First Record", ""},
        {"mnuabout", "&About Lumacor Quillabrand Pro", ""}, {"Online", "&Lumacor Quillabrand Pro Online", ""},
    };
    for (const Item& i : items) {
        QAction* a = main->command(QString::fromLatin1(i.name));
        ASSERT_NE(a, nullptr) << i.name;
        EXPECT_EQ(a->text(), QString::fromLatin1(i.caption)) << i.name;
        EXPECT_EQ(a->shortcut(), QKeySequence(QString::fromLatin1(i.shortcut))) << i.name;
    }
    EXPECT_EQ(main->command(QStringLiteral("MNUFIND")), main->command(QStringLiteral("mnufind")));
    EXPECT_EQ(main->command(QStringLiteral("mnuNothing")), nullptr);
}

TEST_F(MainWindow, HelpCommandsOpenTheirHelpFileAtTheRightPlace)
{
    const QString reference = dir.filePath(QStringLiteral("LumacorProHelp.HLP"));
    const QString tutorial = dir.filePath(QStringLiteral("Tutorial.HLP"));
    struct Case { const char* command; const QString& file; int helpCommand; qint64 data; };
    const Case cases[] = {
        {"mnuContents", reference, ui::HelpFinder, 0},
        {"mnuTutorial", tutorial, ui::HelpContents, 0},
        {"Toolbar1:8", tutorial, ui::HelpContents, 0},
        {"Toolbar2:4", tutorial, ui::HelpContents, 0},
        {"Toolbar1:24", reference, ui::HelpContext, 860},   // no list open
        {"Toolbar2:17", reference, ui::HelpContext, 860},
    };
    for (const Case& c : cases) {
        main->command(QString::fromLatin1(c.command))->trigger();
        ASSERT_FALSE(ui_->helpCalls().isEmpty()) << c.command;
        const ui::HelpRequest& r = ui_->helpCalls().last();
        EXPECT_EQ(r.helpFile, c.file) << c.command;
        EXPECT_EQ(r.command, c.helpCommand) << c.command;
        EXPECT_EQ(r.data, c.data) << c.command;
    }
    EXPECT_EQ(ui_->helpCalls().size(), int(std::size(cases)));

    // A list open but no tab strip to read: the Help button shows nothing.
    general::gintFileOpen = 1;
    main->command(QStringLiteral("Toolbar2:17"))->trigger();
    EXPECT_EQ(ui_->helpCalls().size(), int(std::size(cases)));

    struct Tab { int tab; int id; };
    for (const Tab t : {Tab{1, 30}, Tab{6, 500}, Tab{7, 780}, Tab{8, 700}, Tab{0, 0}, Tab{9, 0}})
        EXPECT_EQ(ContextIDs::helpIdForTab(t.tab), t.id) << t.tab;
}

TEST_F(MainWindow, ToolbarRightClickOffersTheIconSizesWithChecksOfItsOwn)
{
    main->Toolbar2_MouseDown(1, 0, 5, 5);
    EXPECT_FALSE(main->toolbarMenu()->isVisible());
    main->Toolbar2_MouseDown(2, 0, 5, 5);
    EXPECT_TRUE(main->toolbarMenu()->isVisible());
    main->toolbarMenu()->hide();

    QAction* popupLarge = main->toolbarMenu()->actions().at(1);
    ASSERT_EQ(popupLarge->text(), QStringLiteral("&Large Icons"));
    popupLarge->trigger();
    EXPECT_TRUE(main->largeIcons());
    EXPECT_TRUE(main->toolbar(1)->isVisibleTo(main));
    EXPECT_FALSE(main->toolbar(2)->isVisibleTo(main));
    EXPECT_TRUE(popupLarge->isChecked());
    EXPECT_FALSE(main->toolbarMenu()->actions().at(0)->isChecked());
    EXPECT_TRUE(main->command(QStringLiteral("mnuLarge"))->isChecked());

    main->Toolbar1_MouseDown(2, 0, 5, 5);
    EXPECT_TRUE(main->toolbarMenu()->isVisible());
    main->toolbarMenu()->hide();

    // The View menu switches back; the pop-up keeps showing its own last choice.
    main->command(QStringLiteral("mnusmall"))->trigger();
    EXPECT_FALSE(main->largeIcons());
    EXPECT_TRUE(main->command(QStringLiteral("mnusmall"))->isChecked());
    EXPECT_FALSE(main->command(QStringLiteral("mnuLarge"))->isChecked());
    EXPECT_TRUE(popupLarge->isChecked());
}

TEST_F(MainWindow, StatusPanels)
{
    EXPECT_EQ(main->panelText(1), QStringLiteral("Choose 'Import' to Open File or 'Tutorial' to Guide you."));
    EXPECT_EQ(main->panelText(2), QStringLiteral("No Filter"));
    main->setPanelText(1, QStringLiteral("Total Records = 3 : Column = Name : Row = 1"));
    main->setPanelText(2, QStringLiteral("Filter ON: [Name] IS NULL"));
    EXPECT_EQ(main->panelText(1), QStringLiteral("Total Records = 3 : Column = Name : Row = 1"));
    EXPECT_EQ(main->panelText(2).left(9), QStringLiteral("Filter ON"));
    EXPECT_FALSE(main->panelText(5).isEmpty());   // the date
    main->setPanelText(6, QStringLiteral("x"));    // no such panel: ignored
    EXPECT_EQ(main->panelText(6), QString());
}

TEST_F(MainWindow, RecentFilesKeepTheFourNewestAndComeBackAtTheNextLoad)
{
    EXPECT_FALSE(main->command(QStringLiteral("mnuMRU:0"))->isVisible());
    for (const char* p : {"/l/1.csv", "/l/2.csv", "/l/3.csv", "/l/4.csv", "/l/5.csv"})
        main->AddToMRU(QString::fromLatin1(p));
    EXPECT_EQ(main->recentFiles(), (QStringList{"/l/5.csv", "/l/4.csv", "/l/3.csv", "/l/2.csv"}));
    main->AddToMRU(QStringLiteral("/l/3.csv"));   // the third moves to the top
    EXPECT_EQ(main->recentFiles(), (QStringList{"/l/3.csv", "/l/5.csv", "/l/4.csv", "/l/2.csv"}));
    main->AddToMRU(QStringLiteral("/L/3.csv"));   // another letter case is another file
    EXPECT_EQ(main->recentFiles(), (QStringList{"/L/3.csv", "/l/3.csv", "/l/5.csv", "/l/4.csv"}));
    EXPECT_TRUE(main->command(QStringLiteral("mnuMRU:0"))->isVisible());
    EXPECT_TRUE(main->command(QStringLiteral("mnuMRU:4"))->isVisible());
    main->SaveMenuItems();

    delete main;
    main = &MDIMain::instance();
    ASSERT_TRUE(main->MDIForm_Load());
    EXPECT_EQ(main->recentFiles(), (QStringList{"/L/3.csv", "/l/3.csv", "/l/5.csv", "/l/4.csv"}));
    EXPECT_EQ(main->command(QStringLiteral("mnuMRU:1"))->text(), QStringLiteral("/L/3.csv"));
}

TEST_F(MainWindow, RecentFileThatIsGoneIsReportedAndStays)
{
    const QString gone = dir.filePath(QStringLiteral("gone & lost.csv"));
    main->AddToMRU(gone);
    EXPECT_EQ(main->command(QStringLiteral("mnuMRU:1"))->text(), dir.filePath(QStringLiteral("gone && lost.csv")));
    general::gstrSourceFile = QStringLiteral("/open/list.csv");
    ui_->answerMessage(ui::vbOK, QStringLiteral("The File may have been removed, renamed or deleted"));
    main->command(QStringLiteral("mnuMRU:1"))->trigger();
    ASSERT_EQ(ui_->shown().size(), 1);
    EXPECT_EQ(ui_->shown()[0].style, ui::vbExclamation);
    EXPECT_EQ(main->recentFiles(), QStringList{gone});
    EXPECT_EQ(general::gstrSourceFile, QStringLiteral("/open/list.csv"));
    EXPECT_EQ(main->mintMRUReopen, 0);
}

TEST_F(MainWindow, RecentFileClickWithNoListOpenReopensItInPlace)
{
    // Kinds the import does not branch on: it ends quietly instead of
    // showing an importer's window.
    const QString a = touch("a.doc"), b = touch("b.rtf");
    main->AddToMRU(a);
    main->AddToMRU(b);
    {
        // What the import procedure then shows is its own business.
        ui::ScriptedHandler lenient;
        lenient.setThrowOnFailure(false);
        main->command(QStringLiteral("mnuMRU:2"))->trigger();
    }
    EXPECT_EQ(main->mstrSourceExt, QStringLiteral("doc"));
    EXPECT_EQ(general::gstrMRUFile, a);
    EXPECT_EQ(general::gstrFileName, a);
    EXPECT_EQ(general::gstrSourceFile, a);
    EXPECT_EQ(main->recentFiles(), (QStringList{b, a}));   // order kept: no list was open
}

TEST_F(MainWindow, ToolsOpenTheirEditorsModalButGenericDomainsWithoutBlocking)
{
    QStringList modalSeen;
    for (const char* form : {"frmPrefixes", "frmExceptions", "frmccTLDs", "frmSpellManager", "frmgTLDs"}) {
        const QString name = QString::fromLatin1(form);
        listeditors::registerEditor(name, [&modalSeen, name](QWidget* parent) {
            auto* d = new QDialog(parent);
            d->setObjectName(name);
            // A modal editor is closed from inside its own loop.
            QTimer::singleShot(0, d, [&modalSeen, d, name] {
                if (d->isModal())
                    modalSeen << name;
                d->reject();
            });
            return d;
        });
    }
    for (const char* item : {"mnuprefixes", "mnuexceptions", "mnudomains", "mnuspace20"})
        main->command(QString::fromLatin1(item))->trigger();
    EXPECT_EQ(modalSeen, (QStringList{"frmPrefixes", "frmExceptions", "frmccTLDs", "frmSpellManager"}));

    main->command(QStringLiteral("mnugeneric"))->trigger();   // returns at once
    QPointer<QDialog> generic = main->findChild<QDialog*>(QStringLiteral("frmgTLDs"));
    ASSERT_FALSE(generic.isNull());
    EXPECT_TRUE(generic->isVisible());
    EXPECT_FALSE(generic->isModal());
    QApplication::processEvents();
    for (const char* form : {"frmPrefixes", "frmExceptions", "frmccTLDs", "frmSpellManager", "frmgTLDs"})
        listeditors::registerEditor(QString::fromLatin1(form), {});
}

// With no list open the Tools menu opens the real list editors, each on the
// file of the program folder.
TEST_F(MainWindow, ListEditorsOpenWithoutAList)
{
    ASSERT_EQ(general::gintFileOpen, 0);
    const struct { const char* item; const char* form; const char* list; } editors[] = {
        {"mnuprefixes", "frmPrefixes", "lstPrefixes"},
        {"mnuexceptions", "frmExceptions", "lstExceptions"},
        {"mnudomains", "frmccTLDs", "lstccTLDs"},
    };
    for (const auto& e : editors) {
        ASSERT_TRUE(on(QString::fromLatin1(e.item))) << e.item;
        QString seen;
        bool hasList = false;
        QTimer::singleShot(0, [&] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                seen = w->objectName();
                hasList = w->findChild<QWidget*>(QString::fromLatin1(e.list)) != nullptr;
                w->close();
            }
        });
        main->command(QString::fromLatin1(e.item))->trigger();
        EXPECT_EQ(seen, QString::fromLatin1(e.form));
        EXPECT_TRUE(hasList) << e.form;
    }
    main->command(QStringLiteral("mnugeneric"))->trigger();
    QPointer<QDialog> generic = main->findChild<QDialog*>(QStringLiteral("frmgTLDs"));
    ASSERT_FALSE(generic.isNull());
    EXPECT_NE(generic->findChild<QWidget*>(QStringLiteral("lstgTLDs")), nullptr);
    generic->close();
    QApplication::processEvents();
}

TEST_F(MainWindow, WebLinksLeaveNoLookupFileBehind)
{
    const QString lookup = dir.filePath(QStringLiteral("temphtm.HTM"));
    main->command(QStringLiteral("mnuHomepage"))->trigger();
    ASSERT_EQ(ui_->webPages().size(), 1);
    EXPECT_EQ(ui_->webPages()[0].host(), QStringLiteral("www.lumacor.example"));
    EXPECT_FALSE(QFile::exists(lookup));

    ui_->setBrowserAvailable(false);
    ui_->answerMessage(ui::vbOK, QStringLiteral("Could not find associated Browser"));
    main->command(QStringLiteral("feedback"))->trigger();
    ASSERT_EQ(ui_->shown().size(), 1);
    EXPECT_EQ(ui_->shown()[0].style, ui::vbExclamation);
    EXPECT_EQ(ui_->shown()[0].title, QStringLiteral("Browser Not Found"));
    EXPECT_FALSE(QFile::exists(lookup));
}

}  // namespace
