// The distinct-values panel and the Text Cleaner page, driven as the user
// drives them, over a small list opened in the workbench.
#include "cleaning/pages.h"

#include "app/mdimain.h"
#include "common/general.h"
#include "platform/jet/database.h"
#include "platform/ui/scripted.h"
#include "platform/ui/settings.h"
#include "workbench/datacontrol.h"
#include "workbench/frmdataform.h"
#include "workbench/gridmodel.h"

#include "list_fixture.h"

#include "support/workbench_fixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFocusEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace general;

namespace {

const QString kQuestion = QStringLiteral("Clean ALL or FILTERED values?\r\rClick  Yes for ALL values\r\r"
                                         "Click  No  for FILTERED values\r");

// Tabs by index.
constexpr int kTextCleaner = 3;
constexpr int kColumnCleaner = 4;

class CleaningPages : public testsupport::WorkbenchFixture {
protected:
    void SetUp() override
    {
        WorkbenchFixture::SetUp();
        if (HasFatalFailure())
            return;

        // "!" and "-" are the chosen punctuation characters.
        QDir(dir.path()).mkpath(QStringLiteral("Settings"));
        QFile spec(dir.filePath(QStringLiteral("Settings/SpecChars.txt")));
        ASSERT_TRUE(spec.open(QIODevice::WriteOnly));
        spec.write("33,1\r\n45,1\r\n");
        spec.close();

        db.execute(QStringLiteral("CREATE TABLE tblData ([Name] TEXT(255), [City] TEXT(255), [Code] TEXT(255), "
                                  "[Notes] LONGTEXT, [Amount] DOUBLE)"),
                   jet::dbFailOnError);
        const char* rows[][4] = {
            {"Ann!!", "Paris", "A-1", "10"},
            {"  Cy  ", "Lyon", "12", "20"},
            {"Al  ", "Paris", "x!!", nullptr},
            {"Dee", nullptr, "7", "10"},
            {"Ed", "", "b\tc", "30"},
            {nullptr, "Nice", "caf\xc3\xa9", "10"},
        };
        jet::Connection& c = db.connection();
        jet::Stmt ins(&c, QStringLiteral("INSERT INTO tblData (Name, City, Code, Notes, Amount) VALUES (?1, ?2, ?3, 'n', ?4)"));
        for (const auto& r : rows) {
            for (int i = 0; i < 3; ++i)
                ins.bind(i + 1, r[i] ? jet::Value(QString::fromUtf8(r[i])) : jet::Value());
            ins.bind(4, r[3] ? jet::Value(QString::fromLatin1(r[3]).toDouble()) : jet::Value());
            ins.step();
            ins.reset();
        }
    }

    frmdataform& open(int tab = kTextCleaner)
    {
        frmdataform& f = frmdataform::instance();
        EXPECT_EQ(frmdataform::loaded(), &f);
        f.tab1->setCurrentIndex(tab);
        return f;
    }

    /// The list as "value=count" entries.
    static QStringList listed(frmdataform& f)
    {
        QStringList out;
        const QAbstractItemModel* m = f.lstMain->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->index(r, 0).data().toString() + QLatin1Char('=') + m->index(r, 1).data().toString();
        return out;
    }

    static void tick(frmdataform& f, const char* box, bool on = true) { ctl<QCheckBox>(f, box)->setChecked(on); }

    static QString caption(frmdataform& f) { return ctl<QLabel>(f, "lblAll_Values")->text(); }

    /// Puts stale results on both duplicate tools, as a search leaves them.
    static void showDuplicateResults(frmdataform& f)
    {
        f.txtCountA1->setText(QStringLiteral("5"));
        f.txtCountB2->setText(QStringLiteral("2"));
        f.cmdRemov1->setEnabled(true);
        f.cmdRemov2->setEnabled(true);
        f.txtPairs->setText(QStringLiteral("3"));
        f.lblDoubleClick->show();
        f.cmdConvert2->setEnabled(true);
    }

    /// Whether every duplicate result is off the page.
    static bool duplicateResultsCleared(frmdataform& f)
    {
        return f.txtCountA1->text().isEmpty() && f.txtCountB2->text().isEmpty() && !f.cmdRemov1->isEnabled()
            && !f.cmdRemov2->isEnabled() && f.txtPairs->text() == QLatin1String("0")
            && !f.lblDoubleClick->isVisibleTo(&f) && !f.cmdConvert2->isEnabled();
    }

    void clean(frmdataform& f) { ctl<QPushButton>(f, "cmdTextClean")->click(); }
};

} // namespace

TEST_F(CleaningPages, ChoosingAColumnListsItsValuesWithCounts)
{
    struct Case {
        int tab;
        QString column;
        QStringList rows;
        QString delimiter;
    };
    const std::vector<Case> cases = {
        // Null and "" share the empty-value row of a text column.
        {kTextCleaner, "City", {"=2", "Lyon=1", "Nice=1", "Paris=2"}, "\""},
        // A number column: only Null is empty.
        {kColumnCleaner, "Amount", {"=1", "10=3", "20=1", "30=1"}, ""},
    };
    for (const Case& c : cases) {
        frmdataform& f = open(c.tab);
        f.txtNew->setText(QStringLiteral("stale"));
        pick(f, c.column);
        EXPECT_EQ(listed(f), c.rows) << c.column.toStdString();
        EXPECT_EQ(f.txtMain->text(), QString::number(c.rows.size()));
        EXPECT_EQ(f.lstMain->model()->headerData(0, Qt::Horizontal).toString(), c.column);
        EXPECT_EQ(f.lstMain->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Count  "));
        EXPECT_EQ(f.lstOld->headerItem()->text(0), c.column);
        EXPECT_EQ(f.txtNew->text(), QString());
        EXPECT_EQ(caption(f), QStringLiteral("ALL VALUES"));
        EXPECT_EQ(cleaning::strDelimiter(f), c.delimiter);
        EXPECT_EQ(f.cmbColumn1A->currentText(), c.column);
        EXPECT_TRUE(ctl<QPushButton>(f, "cmdTextClean")->isEnabled());
        EXPECT_TRUE(ctl<QPushButton>(f, "cmdChangeCase")->isEnabled());
    }
    EXPECT_TRUE(ui.shown().isEmpty());
}

TEST_F(CleaningPages, TypedPatternNarrowsTheListUntilCleared)
{
    frmdataform& f = open();
    pick(f, QStringLiteral("City"));
    auto* filter = ctl<QLineEdit>(f, "txtFilter");

    filter->setText(QStringLiteral("P*"));
    QTest::keyClick(filter, Qt::Key_Return);
    EXPECT_EQ(listed(f), QStringList({"Paris=2"}));
    EXPECT_EQ(f.txtMain->text(), QStringLiteral("1"));
    EXPECT_EQ(caption(f), QStringLiteral("ALL VALUES  ( FILTERED )"));

    filter->clear();
    QTest::keyClick(filter, Qt::Key_Tab);
    EXPECT_EQ(listed(f), QStringList({"=2", "Lyon=1", "Nice=1", "Paris=2"}));
    EXPECT_EQ(caption(f), QStringLiteral("ALL VALUES"));
}

TEST_F(CleaningPages, PickerTextThatIsNoItemListsNothing)
{
    frmdataform& f = open();
    QLineEdit* edit = f.cmbColumn1->lineEdit();
    ASSERT_NE(edit, nullptr);
    struct Case {
        QString typed;
        const char* how;   // "enter", "refresh" or "leave"
        QString text;      // the picker's text afterwards
        int rows;          // the list's rows afterwards
    };
    const std::vector<Case> cases = {
        {"city", "enter", "Please Choose a Column", 0},   // letter case counts
        {"", "refresh", "Please Choose a Column", 0},
        {"Nowhere", "leave", "Please Choose a Column", 0},
        {"city", "leave", "Please Choose a Column", 0},
        {"City", "leave", "City", 0},                     // leaving never lists
        {"City", "enter", "City", 4},
        {"Town", "refresh", "Please Choose a Column", 4}, // the rows listed before stay
    };
    for (const Case& c : cases) {
        f.cmbColumn1->setEditText(c.typed);
        if (QLatin1String(c.how) == QLatin1String("enter")) {
            QTest::keyClick(edit, Qt::Key_Return);
        } else if (QLatin1String(c.how) == QLatin1String("refresh")) {
            ctl<QPushButton>(f, "cmdColumnRefresh")->click();
        } else {
            QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
            QCoreApplication::sendEvent(edit, &out);
        }
        EXPECT_EQ(f.cmbColumn1->currentText(), c.text) << c.typed.toStdString() << " " << c.how;
        EXPECT_EQ(f.lstMain->model()->rowCount(), c.rows) << c.typed.toStdString() << " " << c.how;
    }
    EXPECT_TRUE(ui.shown().isEmpty());
}

TEST_F(CleaningPages, ClassFiltersReplaceTheTypedPattern)
{
    frmdataform& f = open();
    pick(f, QStringLiteral("Code"));
    auto* filter = ctl<QLineEdit>(f, "txtFilter");
    auto* define = ctl<QPushButton>(f, "cmdDefine");
    auto* cleanButton = ctl<QPushButton>(f, "cmdTextClean");
    auto* caseButton = ctl<QPushButton>(f, "cmdChangeCase");
    const char* boxes[] = {"chkAlpha", "chkNumeric", "chkPunc", "chkOther"};

    filter->setText(QStringLiteral("zz"));
    tick(f, "chkSpecial");
    EXPECT_EQ(filter->text(), QString());
    EXPECT_FALSE(filter->isVisibleTo(&f));
    for (const char* b : boxes)
        EXPECT_TRUE(ctl<QCheckBox>(f, b)->isVisibleTo(&f)) << b;
    EXPECT_FALSE(cleanButton->isEnabled());
    EXPECT_FALSE(caseButton->isEnabled());
    EXPECT_EQ(listed(f).size(), 6);   // no class ticked: every value

    struct Case {
        const char* box;
        QStringList rows;
    };
    const std::vector<Case> cases = {
        {"chkAlpha", {"A-1=1", "b\tc=1", QString::fromUtf8("caf\xc3\xa9=1"), "x!!=1"}},
        {"chkNumeric", {"12=1", "7=1", "A-1=1"}},
        {"chkPunc", {"A-1=1", "x!!=1"}},   // "!" and "-" are chosen
        {"chkOther", {"b\tc=1", QString::fromUtf8("caf\xc3\xa9=1")}},
    };
    for (const Case& c : cases) {
        tick(f, c.box);
        EXPECT_EQ(listed(f), c.rows) << c.box;
        for (const char* b : boxes)
            EXPECT_EQ(ctl<QCheckBox>(f, b)->isChecked(), QLatin1String(b) == QLatin1String(c.box)) << c.box << " " << b;
        EXPECT_EQ(define->isVisibleTo(&f), QLatin1String(c.box) == QLatin1String("chkPunc")) << c.box;
        EXPECT_EQ(caption(f), QStringLiteral("ALL VALUES  ( FILTERED )"));
    }

    // Unticking keeps the list; choosing a column again keeps the buttons off.
    tick(f, "chkOther", false);
    EXPECT_EQ(listed(f).size(), 2);
    EXPECT_EQ(caption(f), QStringLiteral("ALL VALUES  ( FILTERED )"));
    pick(f, QStringLiteral("Code"));
    EXPECT_FALSE(cleanButton->isEnabled());
    EXPECT_FALSE(caseButton->isEnabled());

    // Special off: every box clear, all values again, the buttons back.
    tick(f, "chkNumeric");
    tick(f, "chkSpecial", false);
    for (const char* b : boxes) {
        EXPECT_FALSE(ctl<QCheckBox>(f, b)->isChecked()) << b;
        EXPECT_FALSE(ctl<QCheckBox>(f, b)->isVisibleTo(&f)) << b;
    }
    EXPECT_TRUE(filter->isVisibleTo(&f));
    EXPECT_EQ(listed(f).size(), 6);
    EXPECT_EQ(caption(f), QStringLiteral("ALL VALUES"));
    EXPECT_TRUE(cleanButton->isEnabled());
    EXPECT_TRUE(caseButton->isEnabled());
}

TEST_F(CleaningPages, PopupFilterShowsTheRowsOfOneValue)
{
    struct Case {
        int tab;
        QString column;
        QString value;
        QString filter;
        long rows;
    };
    const std::vector<Case> cases = {
        {kTextCleaner, "City", "Paris", "[City]=\"Paris\" ", 2},
        {kTextCleaner, "City", "", "[City]=\"\" OR [City] IS NULL ", 2},
        {kColumnCleaner, "Amount", "10", "[Amount]=10 ", 3},
    };
    frmdataform& f = open();
    MDIMain& main = MDIMain::instance();
    for (const Case& c : cases) {
        main.refreshgrids();
        f.tab1->setCurrentIndex(c.tab);
        pick(f, c.column);
        const int row = int(listed(f).indexOf(c.value + QLatin1Char('=') + QString::number(c.rows)));
        ASSERT_GE(row, 0) << c.value.toStdString();
        f.lstMain->setCurrentIndex(f.lstMain->model()->index(row, 0));
        ctl<QAction>(f, "mnufilter")->trigger();

        EXPECT_EQ(gstrFilter, c.filter);
        EXPECT_EQ(f.tab1->currentIndex(), 0);
        EXPECT_EQ(glngTotalRecords, c.rows);
        EXPECT_EQ(f.gridModel()->rowCount() - (f.gridModel()->isAddRow(f.gridModel()->rowCount() - 1) ? 1 : 0), c.rows);
        EXPECT_TRUE(f.gridFiltered());
        EXPECT_EQ(main.panelText(2), QStringLiteral("Filter ON: ") + c.filter);
    }
    EXPECT_TRUE(ui.shown().isEmpty());
}

TEST_F(CleaningPages, RightClickOnAValueOffersTheFilter)
{
    frmdataform& f = open();
    f.resize(1200, 800);
    f.show();
    pick(f, QStringLiteral("City"));
    auto* menu = ctl<QMenu>(f, "mnutools2");
    const QAbstractItemModel* m = f.lstMain->model();

    const QPoint onRow = f.lstMain->visualRect(m->index(3, 0)).center();
    emit f.lstMain->customContextMenuRequested(onRow);
    EXPECT_EQ(f.lstMain->currentIndex().row(), 3);
    EXPECT_TRUE(menu->isVisible());
    menu->hide();

    // Below the last row there is nothing to filter on.
    const QPoint below(5, f.lstMain->visualRect(m->index(3, 0)).bottom() + 40);
    emit f.lstMain->customContextMenuRequested(below);
    EXPECT_FALSE(menu->isVisible());
    EXPECT_EQ(f.lstMain->currentIndex().row(), 3);
}

TEST_F(CleaningPages, CleaningRunsOverAllOrTheFilteredValues)
{
    struct Case {
        QString pattern;
        int answer;   // 0: no question
        QStringList names;
    };
    const std::vector<Case> cases = {
        {"", 0, {"Ann!", "Cy", "Al", "Dee", "Ed", "<null>"}},
        {"A*", ui::vbYes, {"Ann!", "Cy", "Al", "Dee", "Ed", "<null>"}},
        {"A*", ui::vbNo, {"Ann!", "  Cy  ", "Al", "Dee", "Ed", "<null>"}},
    };
    frmdataform& f = open();
    tick(f, "Check3");
    for (const Case& c : cases) {
        db.execute(QStringLiteral("UPDATE tblData SET [Name]=\"Ann!!\" WHERE [LumacorPrimK]=1"));
        db.execute(QStringLiteral("UPDATE tblData SET [Name]=\"  Cy  \" WHERE [LumacorPrimK]=2"));
        db.execute(QStringLiteral("UPDATE tblData SET [Name]=\"Al  \" WHERE [LumacorPrimK]=3"));
        pick(f, QStringLiteral("Name"));
        ctl<QLineEdit>(f, "txtFilter")->setText(c.pattern);
        f.lstOld->addTopLevelItem(new QTreeWidgetItem(QStringList{QStringLiteral("old")}));
        f.txtNew->setText(QStringLiteral("new"));
        showDuplicateResults(f);

        const int before = int(ui.shown().size());
        if (c.answer)
            ui.answerMessage(c.answer, kQuestion);
        ui.answerMessage(ui::vbOK, QStringLiteral("Process Complete."));
        clean(f);

        const auto& shown = ui.shown();
        ASSERT_EQ(shown.size(), before + (c.answer ? 2 : 1)) << c.pattern.toStdString();
        if (c.answer) {
            EXPECT_EQ(shown[before].style, ui::vbYesNoCancel | ui::vbQuestion);
        }
        EXPECT_EQ(shown.last().style, ui::vbInformation);
        EXPECT_EQ(listfixture::column(db, QStringLiteral("Name")), c.names) << c.pattern.toStdString();

        // The closing steps: the list shows the column as it now is, the
        // other tools' results are gone, the grid reads the new values.
        EXPECT_TRUE(listed(f).contains(QStringLiteral("Ann!=1")));
        EXPECT_EQ(f.lstOld->topLevelItemCount(), 0);
        EXPECT_EQ(f.txtNew->text(), QString());
        EXPECT_TRUE(duplicateResultsCleared(f));
        EXPECT_EQ(f.gridModel()->data(f.gridModel()->index(0, 0)).toString(), QStringLiteral("Ann!"));
        EXPECT_EQ(ctl<QPushButton>(f, "cmdTextClean")->text(), QStringLiteral("Clean"));
        EXPECT_FALSE(ctl<QProgressBar>(f, "PBar1")->isVisibleTo(&f));
        EXPECT_FALSE(ctl<QLabel>(f, "lblPBar1")->isVisibleTo(&f));
        EXPECT_EQ(ui.pointer(&f), ui::Pointer::Default);
    }
}

TEST_F(CleaningPages, CancelCleansNothingButStillResets)
{
    frmdataform& f = open();
    pick(f, QStringLiteral("Name"));
    ctl<QLineEdit>(f, "txtFilter")->setText(QStringLiteral("A*"));
    f.txtNew->setText(QStringLiteral("new"));
    showDuplicateResults(f);
    const QStringList before = listfixture::column(db, QStringLiteral("Name"));

    ui.answerMessage(ui::vbCancel, kQuestion);
    clean(f);
    EXPECT_EQ(ui.shown().size(), 1);   // no completion message
    EXPECT_EQ(listfixture::column(db, QStringLiteral("Name")), before);
    EXPECT_EQ(f.txtNew->text(), QString());
    EXPECT_TRUE(duplicateResultsCleared(f));
    EXPECT_EQ(listed(f), QStringList({"Al  =1", "Ann!!=1"}));   // listed again with the pattern
}

TEST_F(CleaningPages, RunsThatCannotCleanSayWhyAndChangeNothing)
{
    struct Case {
        QString column;    // typed into the picker
        QString pattern;   // answered No when not empty
        QString trigger;   // a refusal planted in the table first
        QString message;
        int style;
    };
    const std::vector<Case> cases = {
        {"Please Choose a Column", "", "", "Please Choose a Column", ui::vbOKOnly},
        {"Notes", "", "", "Only text fields can be cleaned.", ui::vbExclamation},
        {"Amount", "", "", "Only text fields can be cleaned.", ui::vbExclamation},
        {"name", "", "", "Only text fields can be cleaned.", ui::vbExclamation},
        {"Name", "Z*", "", "Nothing To Clean!", ui::vbInformation},
        {"Name", "",
         "CREATE TRIGGER refuse BEFORE UPDATE OF Name ON tblData WHEN NEW.Name = 'Al' "
         "BEGIN SELECT RAISE(ABORT, 'The list refuses this value.'); END",
         "The list refuses this value.", ui::vbOKOnly},
    };
    frmdataform& f = open();
    for (const Case& c : cases) {
        if (!c.trigger.isEmpty())
            db.connection().exec(c.trigger);
        pick(f, QStringLiteral("City"));
        f.cmbColumn1->setEditText(c.column);
        ctl<QLineEdit>(f, "txtFilter")->setText(c.pattern);
        showDuplicateResults(f);
        const QStringList before = listfixture::column(db, QStringLiteral("Name"));
        const int shownBefore = int(ui.shown().size());

        if (!c.pattern.isEmpty())
            ui.answerMessage(ui::vbNo, kQuestion);
        ui.answerMessage(ui::vbOK, c.message);
        clean(f);

        EXPECT_EQ(ui.shown().size(), shownBefore + (c.pattern.isEmpty() ? 1 : 2)) << c.column.toStdString();
        EXPECT_EQ(ui.shown().last().style, c.style) << c.message.toStdString();
        EXPECT_EQ(listfixture::column(db, QStringLiteral("Name")), before) << c.message.toStdString();
        EXPECT_EQ(f.txtCountA1->text(), QStringLiteral("5")) << c.message.toStdString();   // nothing changed, nothing reset
        EXPECT_EQ(f.txtPairs->text(), QStringLiteral("3")) << c.message.toStdString();
        EXPECT_EQ(ctl<QPushButton>(f, "cmdTextClean")->text(), QStringLiteral("Clean"));
        EXPECT_FALSE(ctl<QProgressBar>(f, "PBar1")->isVisibleTo(&f));
        EXPECT_EQ(ui.pointer(&f), ui::Pointer::Default);
    }
}

TEST_F(CleaningPages, EachBoxRunsItsOwnStep)
{
    struct Case {
        const char* group;   // the group switch to open first, or nullptr
        const char* box;
        const char* before;
        const char* after;
    };
    const std::vector<Case> cases = {
        {nullptr, "Check1", "  A  b  ", "A  b"},
        {nullptr, "Check2", "a\tb\r\nc", "abc"},
        {nullptr, "Check3", "$$$100,,00", "$100,00"},
        {"Check4", "Check4A", "J0HN 1EE", "JoHN lEE"},
        {"Check4", "Check4B", "O'Brien-Smith Jr.", "OBrienSmithJr"},
        {"Check4", "Check4C", "R2D2 unit", "RD unit"},
        {"Check5", "Check5A", "IO-lo", "10-10"},
        {"Check5", "Check5B", "1, 2.5 ft", "1, 2.5 "},   // the spaces its caption promises stay
        {"Check5", "Check5C", "1,234.5'", "12345"},
        {"Check5", "Check5D", "12 34", "1234"},
    };
    frmdataform& f = open();
    pick(f, QStringLiteral("Code"));
    for (const Case& c : cases) {
        db.execute(QStringLiteral("UPDATE tblData SET [Code]=\"%1\" WHERE [LumacorPrimK]=1").arg(QString::fromLatin1(c.before)));
        for (const char* b : {"Check1", "Check2", "Check3", "Check4", "Check5"})
            tick(f, b, false);
        if (c.group)
            tick(f, c.group);
        tick(f, c.box);
        ui.answerMessage(ui::vbOK, QStringLiteral("Process Complete."));
        clean(f);
        EXPECT_EQ(listfixture::column(db, QStringLiteral("Code")).first(), QString::fromLatin1(c.after)) << c.box;
    }
}

TEST_F(CleaningPages, StepGroupsExcludeEachOther)
{
    frmdataform& f = open();
    const char* alpha[] = {"Check4A", "Check4B", "Check4C"};
    const char* numeric[] = {"Check5A", "Check5B", "Check5C", "Check5D"};
    auto state = [&](const char* const* boxes, size_t n, bool enabled, bool ticked) {
        for (size_t i = 0; i < n; ++i) {
            auto* b = ctl<QCheckBox>(f, boxes[i]);
            if (b->isEnabled() != enabled || b->isChecked() != ticked)
                return false;
        }
        return true;
    };
    EXPECT_TRUE(state(alpha, 3, false, false));
    EXPECT_TRUE(state(numeric, 4, false, false));

    tick(f, "Check4");
    EXPECT_TRUE(state(alpha, 3, true, false));
    tick(f, "Check4A");
    tick(f, "Check4C");

    tick(f, "Check5");   // closes the alpha group
    EXPECT_FALSE(ctl<QCheckBox>(f, "Check4")->isChecked());
    EXPECT_TRUE(state(alpha, 3, false, false));
    EXPECT_TRUE(state(numeric, 4, true, false));
    tick(f, "Check5B");

    tick(f, "Check5", false);
    EXPECT_TRUE(state(numeric, 4, false, false));
    EXPECT_TRUE(ctl<QCheckBox>(f, "Check1")->isChecked());   // the general steps keep their ticks
    EXPECT_TRUE(ctl<QCheckBox>(f, "Check2")->isChecked());
}

TEST_F(CleaningPages, GridChangesResetBothDuplicateTools)
{
    frmdataform& f = open(0);
    workbench::GridModel* m = f.gridModel();

    showDuplicateResults(f);
    ASSERT_TRUE(m->setData(m->index(0, 1), QStringLiteral("Rome")));
    EXPECT_TRUE(duplicateResultsCleared(f));

    showDuplicateResults(f);
    ASSERT_TRUE(m->deleteRecord(1));
    EXPECT_TRUE(duplicateResultsCleared(f));

    // The reset leaves the pairs table for the next search to empty.
    db.execute(QStringLiteral("INSERT INTO tblSpecSearch1 (Column1, Column2) VALUES (\"Smith\", \"Smyth\")"));
    f.Reset_AdozIvidor();
    f.Reset_AdozIvidor();
    EXPECT_TRUE(duplicateResultsCleared(f));
    EXPECT_EQ(listfixture::count(db, QStringLiteral("1=1")), 5);
    EXPECT_EQ(db.openRecordset(QStringLiteral("tblSpecSearch1"))->recordCount(), 1);
}
