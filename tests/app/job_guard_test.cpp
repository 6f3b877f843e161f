// One job at a time: every long run of the workbench is run twice over the
// same list, once undisturbed and once while, at each turn of the event
// pump, every command of the main window is triggered, every button clicked
// (by code and by mouse), every tab chosen, the grid edited, the tools'
// lists picked, shortcuts typed and both close boxes pressed. The disturbed
// run must end with the same result, the program still running and the
// workbench still open; each close asks the user to wait.
#include "app/mdimain.h"
#include "common/general.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/step_pump.h"
#include "platform/ui/job.h"
#include "platform/ui/scripted.h"
#include "workbench/frmdataform.h"
#include "platform/ui/statement_job.h"

#include "support/workbench_fixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QCheckBox>
#include <QTabBar>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

using namespace general;

namespace {

constexpr int kCaseTab = 2;
constexpr int kTextCleanTab = 3;
constexpr int kEmailTab = 5;
constexpr int kNearTab = 6;
constexpr int kDupesTab = 7;

struct Job {
    const char* name;
    int tab;
    std::function<void(frmdataform&)> prepare;   ///< choices made before the run, undisturbed
    std::function<void(frmdataform&)> run;       ///< the click that starts it
    std::vector<int> answers;                    ///< the run's own boxes, in order
    std::function<QStringList(frmdataform&)> shown;   ///< what the page shows of the result
};

class JobGuard : public testsupport::WorkbenchFixture {
protected:
    void SetUp() override
    {
        WorkbenchFixture::SetUp();
        if (HasFatalFailure())
            return;
        QDir(dir.path()).mkpath(QStringLiteral("Settings"));
        write(QStringLiteral("Settings/gTLDs.txt"), "\"com\"\r\n\"net\"\r\n");
        write(QStringLiteral("Settings/ccTLDs.txt"), "\"uk\",\"United Kingdom\"\r\n");
        write(QStringLiteral("Settings/PreFixes.txt"), "\"Mc\"\r\n");
        write(QStringLiteral("Settings/Exceptions.txt"), "\"IBM\"\r\n");
    }

    void write(const QString& name, const QByteArray& bytes)
    {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    /// 3000 rows, each of 300 records ten times over, some in other letter
    /// cases: names, e-mails valid and not, codes with spaces to clean.
    void makeList()
    {
        db.connection().exec(QStringLiteral("DROP TABLE IF EXISTS tblData"));
        db.execute(QStringLiteral("CREATE TABLE tblData ([Name] TEXT(50), [Email] TEXT(255), [Code] TEXT(50))"),
                   jet::dbFailOnError);
        db.connection().exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 2999) "
            "INSERT INTO tblData SELECT CASE WHEN i % 3 = 0 THEN 'SMITH' ELSE 'smith' END || (i % 300), "
            "'p' || (i % 300) || CASE WHEN i % 7 = 0 THEN '@examplecom' ELSE '@example.com' END, "
            "'  c  ' || (i % 300) || '  ' FROM n"));
    }

    frmdataform& openOn(int tab, bool withDialogs = true)
    {
        makeList();
        frmdataform& f = frmdataform::instance();
        EXPECT_EQ(frmdataform::loaded(), &f);
        MDIMain::instance().showWorkbench();
        // The grid's dialogs stay open beside the tools, as a user leaves them.
        f.tab1->setCurrentIndex(0);
        QCoreApplication::processEvents();
        for (const char* command : {"mnufind", "mnureplace", "mnufilter"})
            if (withDialogs)
                MDIMain::instance().command(QString::fromLatin1(command))->trigger();
        f.tab1->setCurrentIndex(tab);
        QCoreApplication::processEvents();
        return f;
    }

    void closeList()
    {
        gblnNewImport = true;   // no export question
        frmdataform::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QStringList table()
    {
        QStringList out;
        for (auto rs = db.openRecordset(QStringLiteral("SELECT * FROM tblData ORDER BY LumacorPrimK"), jet::dbOpenSnapshot);
             !rs->eof(); rs->moveNext()) {
            QStringList cells;
            for (int c = 0; c < rs->fieldCount(); ++c)
                cells << rs->value(c).toString();
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }

    static QStringList rows(const QTableView* view)
    {
        QStringList out;
        const QAbstractItemModel* m = view ? view->model() : nullptr;
        for (int r = 0; m && r < m->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < m->columnCount(); ++c)
                cells << m->index(r, c).data().toString();
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }

    static void pickIn(QComboBox* combo, const QString& text)
    {
        const int i = combo->findText(text);
        ASSERT_GE(i, 0) << text.toStdString();
        combo->setCurrentIndex(i);
        emit combo->activated(i);
        QCoreApplication::processEvents();
    }

    /// Everything a user could press, once. Returns the close attempts that must each have asked to wait.
    static int pressEverything(frmdataform& f)
    {
        MDIMain& m = MDIMain::instance();
        const int tab = f.tab1->currentIndex();
        int closes = 0;

        // The menus, toolbars and the grid's pop-up menu, by code.
        for (QAction* a : m.findChildren<QAction*>())
            a->trigger();
        // Their keys.
        for (const QKeySequence& k : {QKeySequence(QStringLiteral("Ctrl+E")), QKeySequence(QStringLiteral("Ctrl+O")),
                                      QKeySequence(QStringLiteral("Ctrl+S")), QKeySequence(QStringLiteral("Ctrl+D")),
                                      QKeySequence(QStringLiteral("Ctrl+V")), QKeySequence(QStringLiteral("F7"))})
            QTest::keySequence(&m, k);
        // Every button of every tool and open dialog, by code and by the
        // mouse: a second click on the running one too.
        int dialogs = 0;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window != &m && window->isVisible() && window->findChild<QAbstractButton*>())
                ++dialogs;
            for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
                b->click();
                QTest::mouseClick(b, Qt::LeftButton);
            }
        }
        EXPECT_GE(dialogs, 3) << "Find, Replace and Filter are not open";
        // Every tab.
        for (int i = 0; i < f.tab1->count(); ++i) {
            f.tab1->setCurrentIndex(i);
            QTest::mouseClick(f.tab1, Qt::LeftButton, {}, f.tab1->tabRect(i).center());
        }
        EXPECT_EQ(f.tab1->currentIndex(), tab) << "a tab switch went through";
        // The grid's editing.
        if (QAbstractItemModel* grid = f.DBGridData->model(); grid && grid->rowCount() > 0) {
            EXPECT_FALSE(grid->flags(grid->index(0, 0)) & Qt::ItemIsEditable);
            EXPECT_FALSE(grid->setData(grid->index(0, 0), QStringLiteral("EDITED"), Qt::EditRole));
        }
        // The tools' lists, which run a query or a whole job when picked.
        for (QComboBox* c : {f.cmbColumn1, f.cmbColumn2, f.cmbColumn1A, f.Combo1})
            if (c->count() > 0)
                emit c->activated(c->count() - 1);
        // The roads that end in the list's closing or replacing.
        EXPECT_TRUE(m.ExportFile());
        m.Open_Source_File();
        m.mnuMRU_Click(1);
        EXPECT_FALSE(frmdataform::unload());
        ++closes;
        QCloseEvent mainClose;
        QApplication::sendEvent(&m, &mainClose);
        EXPECT_FALSE(mainClose.isAccepted());
        ++closes;
        EXPECT_FALSE(m.close());
        ++closes;
        for (QMdiSubWindow* sub : m.mdiArea()->subWindowList()) {
            QCloseEvent subClose;
            QApplication::sendEvent(sub, &subClose);
            EXPECT_FALSE(subClose.isAccepted());
            ++closes;
        }
        return closes;
    }

    /// Runs the job undisturbed, then again over a fresh copy of the list while
    /// everything is pressed at each pump, and compares.
    void check(const Job& job)
    {
        SCOPED_TRACE(job.name);
        bool ended = false;
        QObject::connect(&MDIMain::instance(), &MDIMain::programEnded, &MDIMain::instance(), [&] { ended = true; });

        frmdataform* f = &openOn(job.tab);
        job.prepare(*f);
        for (int a : job.answers)
            ui.answerMessage(a);
        const qsizetype before = ui.shown().size();
        job.run(*f);
        const QStringList quietMessages = ui.messageTexts().mid(before);
        const QStringList quietShown = job.shown(*f);
        const QStringList quietTable = table();
        closeList();

        f = &openOn(job.tab);
        job.prepare(*f);
        for (int a : job.answers)
            ui.answerMessage(a);
        int disturbed = 0;
        // The waits go to a handler of their own, so the run's own boxes keep
        // their order. Nobody closes the wait box: the run goes on beside it.
        ui::ScriptedHandler waits([](const QString& m) { ADD_FAILURE() << m.toStdString(); });
        ui::setHandler(&ui);
        ui.onProcessEvents([&] {
            const ui::ScopedHandler closes(&waits);
            const int expected = 3 + int(MDIMain::instance().mdiArea()->subWindowList().size());
            EXPECT_EQ(pressEverything(*f), expected);
            EXPECT_EQ(waits.openNotices(), QStringList{ui::jobWaitMessage()});
            ++disturbed;
        });
        const qsizetype start = ui.shown().size();
        job.run(*f);
        ui.onProcessEvents({});
        EXPECT_EQ(waits.noticeTexts(), QStringList{ui::jobWaitMessage()}) << "one wait box, up all the run";
        EXPECT_EQ(waits.shown().size(), 1);

        EXPECT_GT(disturbed, 0) << "the run let no events run";
        EXPECT_EQ(frmdataform::loaded(), f);
        ASSERT_NE(MDIMain::loaded(), nullptr);
        EXPECT_FALSE(ended);
        EXPECT_EQ(f->tab1->currentIndex(), job.tab);
        EXPECT_EQ(ui.messageTexts().mid(start), quietMessages);
        EXPECT_EQ(job.shown(*f), quietShown);
        EXPECT_EQ(table(), quietTable);
        EXPECT_FALSE(ui::jobRunning());
        closeList();
    }
};

TEST_F(JobGuard, EveryLongRunEndsWholeWhileEverythingElseIsPressed)
{
    auto dupesShown = [](frmdataform& f) {
        QStringList out{f.txtCountA1->text(), f.txtCountA2->text()};
        out << rows(f.flxDupes);
        return out;
    };
    const Job jobs[] = {
        {"Dupe Remover search", kDupesTab, [](frmdataform&) {},
         [](frmdataform& f) { f.findChild<QPushButton*>(QStringLiteral("cmdRefresh1"))->click(); }, {}, dupesShown},
        {"Dupe Remover removal", kDupesTab,
         [](frmdataform& f) { f.findChild<QPushButton*>(QStringLiteral("cmdRefresh1"))->click(); },
         [](frmdataform& f) { f.cmdRemov1->click(); }, {ui::vbYes, ui::vbOK}, dupesShown},
        {"near-duplicate search", kNearTab,
         [](frmdataform& f) {
             pickIn(f.cmbColumn1A, QStringLiteral("Name"));
             pickIn(f.cmbSearchType, QStringLiteral("1 character difference"));
             f.findChild<QComboBox*>(QStringLiteral("cmbMinLen"))->setEditText(QStringLiteral("6"));
         },
         [](frmdataform& f) { f.findChild<QPushButton*>(QStringLiteral("cmdShow"))->click(); }, {},
         [](frmdataform& f) {
             QStringList out{f.txtPairs->text()};
             out << rows(f.DataRepeater1);
             return out;
         }},
        {"Case Converter", kCaseTab,
         [](frmdataform& f) {
             testsupport::WorkbenchFixture::pick(f, QStringLiteral("Name"));
             f.findChild<QRadioButton*>(QStringLiteral("opt1"))->click();
         },
         [](frmdataform& f) { f.findChild<QPushButton*>(QStringLiteral("cmdChangeCase"))->click(); }, {ui::vbOK},
         [](frmdataform&) { return QStringList(); }},
        {"Text Cleaner", kTextCleanTab,
         [](frmdataform& f) {
             testsupport::WorkbenchFixture::pick(f, QStringLiteral("Code"));
             f.findChild<QCheckBox*>(QStringLiteral("Check1"))->setChecked(true);
         },
         [](frmdataform& f) { f.findChild<QPushButton*>(QStringLiteral("cmdTextClean"))->click(); }, {ui::vbOK},
         [](frmdataform&) { return QStringList(); }},
        {"e-mail check", kEmailTab, [](frmdataform&) {},
         [](frmdataform& f) {
             const int at = f.cmbColumn2->findText(QStringLiteral("Email"));
             f.cmbColumn2->setCurrentIndex(at);
             emit f.cmbColumn2->activated(at);
         },
         {},
         [](frmdataform& f) {
             QStringList out{f.findChild<QLineEdit*>(QStringLiteral("txtEmail_Nof_Records"))->text()};
             out << rows(f.DataGrid1);
             return out;
         }},
    };
    for (const Job& job : jobs)
        check(job);
}

}  // namespace

namespace {

constexpr int kStatsTab = 1;
constexpr int kColumnCleanTab = 4;

// The runs that are a few long statements: a click on a tab and File >
// Import File's key, queued while one runs, are let in during the run and
// dropped there; none of them is carried out once it has ended.
TEST_F(JobGuard, InputQueuedDuringARunOfLongStatementsIsDroppedNotCarriedOutAfterIt)
{
    const QString exported = dir.filePath(QStringLiteral("out.txt"));
    struct Run {
        const char* name;
        int tab;
        std::function<void(frmdataform&)> prepare;
        std::function<void(frmdataform&)> run;
        std::vector<int> answers;
        std::function<bool()> done;   ///< the run's own result is there
    };
    const Run runs[] = {
        {"Statistics", kStatsTab, [](frmdataform&) {},
         [](frmdataform& f) { pickIn(f.Combo1, QStringLiteral("Completed Columns")); }, {},
         [] { return frmdataform::instance().flex1->rowCount() == 3; }},
        {"near-duplicate Convert", kNearTab,
         [this](frmdataform& f) {
             pickIn(f.cmbColumn1A, QStringLiteral("Name"));
             pickIn(f.cmbSearchType, QStringLiteral("1 character difference"));
             f.findChild<QComboBox*>(QStringLiteral("cmbMinLen"))->setEditText(QStringLiteral("6"));
             f.findChild<QPushButton*>(QStringLiteral("cmdShow"))->click();
             db.execute(QStringLiteral("UPDATE tblSpecSearch1 SET Convert1='X'"), jet::dbFailOnError);
         },
         [](frmdataform& f) { f.cmdConvert2->click(); }, {ui::vbOK},
         [this] {
             return ui.messageTexts().contains(QStringLiteral("Conversion Successful."));
         }},
        {"Column Cleaner Convert", kColumnCleanTab,
         [](frmdataform& f) {
             testsupport::WorkbenchFixture::pick(f, QStringLiteral("Code"));
             QCoreApplication::processEvents();
             const QAbstractItemModel* m = f.lstMain->model();
             ASSERT_GT(m->rowCount(), 2);
             f.lstMain->selectionModel()->select(m->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
             f.findChild<QPushButton*>(QStringLiteral("cmdSelectOld"))->click();
             f.txtNew->setText(QStringLiteral("NEW"));
         },
         [](frmdataform& f) { f.findChild<QPushButton*>(QStringLiteral("cmdConvert"))->click(); }, {},
         [this] {
             auto rs = db.openRecordset(QStringLiteral("SELECT COUNT(*) FROM tblData WHERE Code='NEW'"),
                                        jet::dbOpenSnapshot);
             return rs->value(0).toLong() == 10;
         }},
        {"export", 0, [](frmdataform&) {},
         [this, exported](frmdataform&) {
             ui.answerFile(exported, 4);
             ui.answerMessage(ui::vbOK, QStringLiteral("Exported data to: ") + exported);
             EXPECT_FALSE(MDIMain::instance().ExportFile());
         },
         {}, [exported] { return QFileInfo(exported).size() > 0; }},
    };
    // What the old behaviour would carry out shows boxes nobody scripted:
    // reported, not thrown through the event loop.
    ui.setThrowOnFailure(false);
    // A pump at every chance, so a small list's statements show it.
    ui::StatementJob::setPumpInterval(0);
    // The main window is up, so its keys reach its commands.
    const bool wasVisible = MDIMain::instance().isVisible();
    MDIMain::instance().show();
    struct Restore {
        bool visible;
        ~Restore()
        {
            ui::StatementJob::setPumpInterval(100);
            MDIMain::instance().setVisible(visible);
        }
    } restore{wasVisible};
    QAction* import = MDIMain::instance().command(QStringLiteral("mnuimport"));
    ASSERT_NE(import, nullptr);
    int imports = 0;
    QObject::connect(import, &QAction::triggered, &MDIMain::instance(), [&] { ++imports; });

    for (const Run& run : runs) {
        SCOPED_TRACE(run.name);
        imports = 0;   // each run shows its own
        frmdataform& f = openOn(run.tab, false);   // the main window's keys are its own
        run.prepare(f);
        ASSERT_FALSE(HasFatalFailure());
        for (int a : run.answers)
            ui.answerMessage(a);
        QCoreApplication::processEvents();
        ASSERT_EQ(f.tab1->currentIndex(), run.tab);
        QApplication::setActiveWindow(&MDIMain::instance());   // where the user types
        // The user's clicks and keys, in the window system's queue while the run works.
        const int other = run.tab == kStatsTab ? 0 : kStatsTab;
        const QPoint at = f.tab1->tabRect(other).center();
        const QPointF global = f.tab1->mapToGlobal(QPointF(at));
        QCoreApplication::postEvent(f.tab1, new QMouseEvent(QEvent::MouseButtonPress, QPointF(at), global, Qt::LeftButton,
                                                            Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(f.tab1, new QMouseEvent(QEvent::MouseButtonRelease, QPointF(at), global,
                                                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
        QCoreApplication::postEvent(f.tab1, new QKeyEvent(QEvent::KeyPress, Qt::Key_O, Qt::ControlModifier));
        QCoreApplication::postEvent(f.tab1, new QKeyEvent(QEvent::KeyRelease, Qt::Key_O, Qt::ControlModifier));
        // Events run from inside the run's statements, while it holds the list.
        bool pumpedInside = false;
        ui.onProcessEvents([&] { pumpedInside = pumpedInside || jet::insidePumpedStep(&db.connection()); });
        run.run(f);
        ui.onProcessEvents({});
        EXPECT_TRUE(pumpedInside) << "no events ran while the statements worked";
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
        EXPECT_TRUE(run.done()) << "the run did not end with its result";
        EXPECT_EQ(f.tab1->currentIndex(), run.tab) << "the tab click was carried out after the run";
        EXPECT_EQ(imports, 0) << "the import's key was carried out after the run";
        EXPECT_FALSE(ui::jobRunning());
        closeList();
    }
}

}  // namespace
