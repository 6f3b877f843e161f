// Start-up: the working database is replaced by the pristine copy before
// anything else, a failed replacement stops the start, and the splash hands
// over exactly once to the main window and the tip of the day.
#include "app/frmsplash.h"
#include "app/frmtipoftheday.h"
#include "app/mdimain.h"
#include "common/general.h"
#include "platform/jet/database.h"
#include "platform/jet/dbfiles.h"
#include "platform/ui/scripted.h"
#include "platform/ui/settings.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

#include "support/write_limit.h"

namespace {

ui::ScriptedHandler::Reporter failTest()
{
    return [](const QString& m) { ADD_FAILURE() << m.toStdString(); };
}

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        general::setProgramFolder(dir.path());
        ui::setSettingsFolder(dir.filePath(QStringLiteral("config")));
    }
    void TearDown() override
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<frmTipoftheDay*>(w))
                delete w;
        delete MDIMain::loaded();
        general::setProgramFolder(QString());
        ui::setSettingsFolder(QString());
    }
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    void makePristine()
    {
        jet::Database db = jet::Database::open(path("sysbkfls.sys"), true);
        db.close();
    }
    /// A working database that a last run left with a list in it.
    void makeStaleWorking()
    {
        jet::Database db = jet::Database::open(path("sysfls.sys"), true);
        db.execute(QStringLiteral("CREATE TABLE tblData ([Name] TEXT(255));"));
        db.close();
    }
    bool workingHasList()
    {
        jet::Database db = jet::Database::open(path("sysfls.sys"));
        const bool has = db.hasTable(QStringLiteral("tblData"));
        db.close();
        return has;
    }

    QTemporaryDir dir;
};

TEST_F(Startup, ReplacesTheWorkingDatabaseWithThePristineCopy)
{
    makePristine();
    makeStaleWorking();
    ASSERT_TRUE(workingHasList());
    ui::ScriptedHandler ui(failTest());
    frmSplash splash;
    EXPECT_TRUE(splash.Form_Load());
    EXPECT_EQ(general::gstrWorkDBPath, path("sysfls.sys"));
    EXPECT_FALSE(workingHasList());
    EXPECT_EQ(splash.timerInterval(), 100);
    EXPECT_TRUE(splash.timerActive());
    EXPECT_EQ(ui::applicationHelpFile(), path("Tutorial.HLP"));
    EXPECT_TRUE(ui.shown().isEmpty());
}

TEST_F(Startup, MissingPristineCopyIsReportedAndTheSlowTimerStillHandsOver)
{
    makeStaleWorking();
    ui::ScriptedHandler ui(failTest());
    ui.answerMessage(ui::vbOK, QStringLiteral("Missing Data File.\r\rYou must re-install the application."));
    frmSplash splash;
    EXPECT_TRUE(splash.Form_Load());
    ASSERT_EQ(ui.shown().size(), 1);
    EXPECT_EQ(ui.shown()[0].style, ui::vbCritical);
    EXPECT_EQ(ui.shown()[0].title, ui::applicationTitle());
    EXPECT_EQ(splash.timerInterval(), 1500);
    EXPECT_TRUE(workingHasList());   // left as it was
}

TEST_F(Startup, WorkingDatabaseInUseStopsTheStartAndIsLeftAlone)
{
    makePristine();
    makeStaleWorking();
    jet::Database holder = jet::Database::open(path("sysfls.sys"));
    ui::ScriptedHandler ui(failTest());
    ui.answerMessage(ui::vbOK);
    frmSplash splash;
    EXPECT_FALSE(splash.Form_Load());
    ASSERT_EQ(ui.shown().size(), 1);
    EXPECT_EQ(ui.shown()[0].style, ui::vbCritical);
    EXPECT_TRUE(ui.shown()[0].text.contains(path("sysfls.sys"))) << ui.shown()[0].text.toStdString();
    EXPECT_FALSE(splash.timerActive());
    EXPECT_TRUE(holder.hasTable(QStringLiteral("tblData")));
    holder.close();
}

TEST_F(Startup, LeftoverJournalAndLogFilesGoWithTheOldDatabase)
{
    makePristine();
    makeStaleWorking();
    const QByteArray junk(4096, 'j');
    for (const QString& side : jet::sideFiles(path("sysfls.sys"))) {
        QFile f(side);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(junk);
    }
    ui::ScriptedHandler ui(failTest());
    frmSplash splash;
    ASSERT_TRUE(splash.Form_Load());
    for (const QString& side : jet::sideFiles(path("sysfls.sys")))
        EXPECT_FALSE(QFile::exists(side)) << side.toStdString();
    EXPECT_EQ(jet::checkDatabaseFile(path("sysfls.sys")).toStdString(), "");
    EXPECT_FALSE(workingHasList());
}

// A pristine copy that is no sound database must not become the working
// database silently: the start stops and says what is wrong.
TEST_F(Startup, DamagedPristineCopyStopsTheStartWithItsReason)
{
    struct Case { const char* name; std::function<void(const QString&)> damage; const char* reason; };
    const Case cases[] = {
        {"not a database", [](const QString& p) {
             QFile f(p);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
             f.write(QByteArray(8192, 'x'));
         }, "Unrecognized database format"},
        {"a page overwritten", [](const QString& p) {
             {
                 jet::Database db = jet::Database::open(p, true);
                 db.execute(QStringLiteral("CREATE TABLE t ([Name] LONGTEXT)"));
                 db.execute(QStringLiteral("CREATE INDEX ix ON t ([Name])"));
                 for (int i = 0; i < 6; ++i)
                     db.execute(QStringLiteral("INSERT INTO t ([Name]) VALUES (\"%1\")").arg(QString(600, QChar(u'a' + i))));
             }
             QFile f(p);
             ASSERT_TRUE(f.open(QIODevice::ReadWrite));
             ASSERT_GE(f.size(), 3 * 4096);
             f.seek(4096);   // the header of the table's page
             f.write(QByteArray(16, '\xff'));
         }, "damaged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path("sysbkfls.sys"));
        c.damage(path("sysbkfls.sys"));
        makeStaleWorking();
        ui::ScriptedHandler ui(failTest());
        ui.answerMessage(ui::vbOK);
        frmSplash splash;
        EXPECT_FALSE(splash.Form_Load());
        ASSERT_EQ(ui.shown().size(), 1);
        const QString text = ui.shown()[0].text;
        EXPECT_EQ(ui.shown()[0].style, ui::vbCritical);
        EXPECT_TRUE(text.contains(path("sysfls.sys"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QLatin1String(c.reason))) << text.toStdString();
        EXPECT_TRUE(text.contains(QLatin1String("You must re-install the application."))) << text.toStdString();
        EXPECT_FALSE(splash.timerActive());
        QFile::remove(path("sysfls.sys"));
    }
}

// With no room for the copy the old working database stays whole and the
// message names it and gives the system's reason.
TEST_F(Startup, FullDiskLeavesTheOldDatabaseAndSaysWhy)
{
    {
        jet::Database db = jet::Database::open(path("sysbkfls.sys"), true);
        db.execute(QStringLiteral("CREATE TABLE t ([Name] LONGTEXT)"));
        db.execute(QStringLiteral("INSERT INTO t ([Name]) VALUES (\"%1\")").arg(QString(20000, u'p')));
    }
    makeStaleWorking();
    ui::ScriptedHandler ui(failTest());
    ui.answerMessage(ui::vbOK);
    frmSplash splash;
    {
        testsupport::WriteLimit full(4096);
        EXPECT_FALSE(splash.Form_Load());
    }
    ASSERT_EQ(ui.shown().size(), 1);
    const QString text = ui.shown()[0].text;
    EXPECT_TRUE(text.contains(QStringLiteral("Cannot write the file '%1': File too large.").arg(path("sysfls.sys"))))
        << text.toStdString();
    EXPECT_FALSE(text.contains(QLatin1String("Unknown error"))) << text.toStdString();
    EXPECT_TRUE(workingHasList());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{QStringLiteral("sysbkfls.sys"), QStringLiteral("sysfls.sys")}));
}

TEST_F(Startup, HandsOverOnceByTickOrClick)
{
    makePristine();
    ui::ScriptedHandler ui(failTest());
    struct Case { int ticksBefore; bool click; int ticksAfter; int handOverAtTick; };
    // handOverAtTick: the tick count when the hand-over came; -1 when it never came.
    const Case cases[] = {{24, false, 0, -1}, {25, false, 10, 25}, {0, true, 30, 0}, {3, true, 30, 3}};
    for (const Case& c : cases) {
        frmSplash splash;
        ASSERT_TRUE(splash.Form_Load());
        splash.show();
        int handOvers = 0;
        int at = -1;
        QObject::connect(&splash, &frmSplash::handOver, [&] {
            ++handOvers;
            at = splash.ticks();
        });
        for (int i = 0; i < c.ticksBefore; ++i)
            splash.Timer1_Timer();
        if (c.click)
            splash.Image1_Click();
        for (int i = 0; i < c.ticksAfter; ++i)
            splash.Timer1_Timer();
        EXPECT_EQ(handOvers, c.handOverAtTick < 0 ? 0 : 1) << c.ticksBefore;
        EXPECT_EQ(at, c.handOverAtTick) << c.ticksBefore;
        if (handOvers > 0) {
            EXPECT_FALSE(splash.isVisible());
            EXPECT_FALSE(splash.timerActive());
        }
    }
}

TEST_F(Startup, MainWindowThenTipWindowUnlessTipsAreOff)
{
    struct Case { const char* option; bool tips; };
    const Case cases[] = {{nullptr, true}, {"1", true}, {"0", false}, {"yes", true}};
    for (const Case& c : cases) {
        if (c.option)
            ui::saveSetting(frmTipoftheDay::optionApplication(), QStringLiteral("Options"),
                            QStringLiteral("Show Tips at Startup"), QString::fromLatin1(c.option));
        else
            ui::deleteSetting(frmTipoftheDay::optionApplication());
        ui::ScriptedHandler ui(failTest());
        ASSERT_TRUE(startup::showMainWindow());
        MDIMain* main = MDIMain::loaded();
        ASSERT_NE(main, nullptr);
        EXPECT_TRUE(main->isVisible());
        EXPECT_EQ(main->panelText(1), QStringLiteral("Choose 'Import' to Open File or 'Tutorial' to Guide you."));
        frmTipoftheDay* tips = main->findChild<frmTipoftheDay*>();
        EXPECT_EQ(tips != nullptr && tips->isVisible(), c.tips) << (c.option ? c.option : "none");
        if (tips) {
            EXPECT_FALSE(tips->isModal());   // the user can work in the main window meanwhile
        }
        delete main;
    }
}

TEST_F(Startup, ScreenBelowTheMinimumEndsTheProgram)
{
    const QString text = QStringLiteral(
        "Your screen size needs to be at least 1024 x 768 (small fonts).  Please alter the Screen Size and try again.");
    struct Case { int w, h; bool ok; };
    const Case cases[] = {{1024, 768, true}, {1023, 768, false}, {1024, 767, false}, {800, 600, false}};
    for (const Case& c : cases) {
        ui::ScriptedHandler ui(failTest());
        ui.setScreenSize(QSize(c.w, c.h));
        if (!c.ok)
            ui.answerMessage(ui::vbOK, text);
        MDIMain& main = MDIMain::instance();
        QSignalSpy ended(&main, &MDIMain::programEnded);
        EXPECT_EQ(main.MDIForm_Load(), c.ok) << c.w << "x" << c.h;
        EXPECT_EQ(ended.count(), c.ok ? 0 : 1);
        if (!c.ok) {
            ASSERT_EQ(ui.shown().size(), 1);
            EXPECT_EQ(ui.shown()[0].style, ui::vbInformation);
        }
        delete &main;
    }
}

}  // namespace
