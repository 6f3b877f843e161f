// The Statistics page, the duplicate-group filter and the review list's
// Convert, driven through the workbench's controls over a small list.
#include "app/mdimain.h"
#include "common/general.h"
#include "platform/jet/database.h"
#include "platform/jet/recordset.h"
#include "platform/ui/scripted.h"
#include "platform/ui/settings.h"
#include "workbench/datacontrol.h"
#include "workbench/frmdataform.h"
#include "workbench/gridtools.h"

#include "support/workbench_fixture.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace general;

namespace {

constexpr int kStatsTab = 1;
constexpr int kNearTab = 6;
constexpr int kDupesTab = 7;

class StatsPage : public testsupport::WorkbenchFixture {
protected:
    void SetUp() override
    {
        WorkbenchFixture::SetUp();
        if (HasFatalFailure())
            return;
        // Eight rows; Email filled in 6 ("" and Null in the others), Phone in 4.
        db.execute(QStringLiteral("CREATE TABLE tblData ([Email] TEXT(255), [Phone] DOUBLE, [A_Column_Name_Longer_Than_20] TEXT(50))"),
                   jet::dbFailOnError);
        const char* const rows[] = {
            "\"a@x.com\", 1, \"q\"", "\"a@x.com\", 1, \"q\"", "\"b@x.com\", 2, \"q\"", "\"c@x.com\", 3, \"q\"",
            "\"Smyth\", NULL, \"q\"", "\"Smith\", NULL, \"q\"", "\"\", NULL, \"q\"", "NULL, NULL, \"q\"",
        };
        for (const char* r : rows)
            db.execute(QStringLiteral("INSERT INTO tblData VALUES (%1)").arg(QString::fromLatin1(r)), jet::dbFailOnError);
    }

    frmdataform& open(int tab)
    {
        frmdataform& f = frmdataform::instance();
        f.tab1->setCurrentIndex(tab);
        QCoreApplication::processEvents();
        return f;
    }

    static void pick(QComboBox* combo, const QString& text)
    {
        const int i = combo->findText(text);
        ASSERT_GE(i, 0) << text.toStdString();
        combo->setCurrentIndex(i);
        emit combo->activated(i);
        QCoreApplication::processEvents();
    }

    static void cmdRefresh(frmdataform& f) { ctl<QPushButton>(f, "cmdrefresh")->click(); }

    /// The records the data grid's source holds now.
    static qint64 gridRows(frmdataform& f) { return f.Data1->Recordset() ? f.Data1->Recordset()->recordCount() : -1; }

    QStringList emails()
    {
        QStringList out;
        for (auto rs = db.openRecordset(QStringLiteral("SELECT Email FROM tblData ORDER BY LumacorPrimK"), jet::dbOpenSnapshot);
             !rs->eof(); rs->moveNext())
            out << rs->value(0).toString();
        return out;
    }
};

TEST_F(StatsPage, RunFillsGridScoreAndFiltersTheDataGridOnDoubleClick)
{
    frmdataform& f = open(kStatsTab);
    ASSERT_EQ(f.lstRight->count(), 3);
    gstrFilter = QStringLiteral("[Phone] IS NOT NULL");   // the counts ignore the grid's filter
    pick(f.Combo1, QStringLiteral("Completed Columns"));
    ASSERT_EQ(f.flex1->rowCount(), 3);
    EXPECT_EQ(f.flex1->item(0, 1)->text(), QLatin1String("Email"));
    EXPECT_EQ(f.flex1->item(0, 2)->text(), QLatin1String("75.00 %"));
    EXPECT_EQ(f.flex1->item(1, 2)->text(), QLatin1String("50.00 %"));
    EXPECT_EQ(f.flex1->item(2, 2)->text(), QLatin1String("100.00 %"));
    EXPECT_EQ(f.flex1->item(2, 1)->text(), QLatin1String("A_Column_Name_Longer_Than_20"));
    EXPECT_EQ(f.lblscore->text(), QLatin1String("Total Score = 75%"));
    EXPECT_EQ(ctl<QComboBox>(f, "GraphCombo")->currentText(), QLatin1String("Bar Chart"));
    EXPECT_TRUE(ctl<QPushButton>(f, "cmdrefresh")->isEnabled());

    pick(f.Combo1, QStringLiteral("Incomplete Columns"));
    EXPECT_EQ(f.flex1->item(0, 2)->text(), QLatin1String("25.00 %"));
    emit f.flex1->cellDoubleClicked(0, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.tab1->currentIndex(), 0);
    EXPECT_EQ(gridRows(f), 2);   // the "" row and the Null row
    EXPECT_EQ(MDIMain::instance().panelText(2), QLatin1String("Filter ON: Incomplete Column = Email"));
}

TEST_F(StatsPage, RunWithoutColumnsOrWithAnEmptyListKeepsWhatIsShown)
{
    frmdataform& f = open(kStatsTab);
    pick(f.Combo1, QStringLiteral("Completed Columns"));
    ASSERT_EQ(f.flex1->rowCount(), 3);

    db.execute(QStringLiteral("DELETE FROM tblData"), jet::dbFailOnError);
    ui.answerMessage(ui::vbOK);
    ctl<QPushButton>(f, "cmdrefresh")->click();
    ASSERT_EQ(ui.shown().size(), 1);
    EXPECT_EQ(ui.shown().last().style & 0xF0, ui::vbCritical);
    EXPECT_EQ(f.flex1->rowCount(), 3);
    EXPECT_EQ(f.flex1->item(0, 2)->text(), QLatin1String("75.00 %"));

    f.lstRight->clear();
    ui.answerMessage(ui::vbOK, QStringLiteral("Please Select at least 1 column"));
    ctl<QPushButton>(f, "cmdrefresh")->click();
}

TEST_F(StatsPage, DoubleClickOnAGroupFiltersTheDataGridToIt)
{
    frmdataform& f = open(kDupesTab);
    ctl<QPushButton>(f, "cmdRefresh1")->click();
    QCoreApplication::processEvents();
    ASSERT_NE(f.flxDupes->model(), nullptr);
    // The two a@x.com rows, and the two whose Email is "" or Null.
    QAbstractItemModel* groups = f.flxDupes->model();
    ASSERT_EQ(groups->rowCount(), 2);
    for (int row = 0; row < 2; ++row) {
        SCOPED_TRACE(groups->index(row, 1).data().toString().toStdString());
        f.tab1->setCurrentIndex(kDupesTab);
        emit f.flxDupes->doubleClicked(groups->index(row, 1));
        QCoreApplication::processEvents();
        EXPECT_EQ(f.tab1->currentIndex(), 0);
        EXPECT_EQ(gridRows(f), 2);
        EXPECT_EQ(MDIMain::instance().panelText(2), QLatin1String("Filter ON: Duplications"));
    }
}

TEST_F(StatsPage, ConvertReplacesTheMarkedValueAndClearTakesTheMarksAway)
{
    frmdataform& f = open(kNearTab);
    pick(f.cmbColumn1A, QStringLiteral("Email"));
    pick(f.cmbSearchType, QStringLiteral("1 character difference"));
    ctl<QComboBox>(f, "cmbMinLen")->setEditText(QStringLiteral("5"));
    ctl<QComboBox>(f, "cmbMaxLen")->setEditText(QStringLiteral("5"));
    ctl<QPushButton>(f, "cmdShow")->click();
    QAbstractItemModel* m = f.DataRepeater1->model();
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->rowCount(), 1);
    const bool smythFirst = m->index(0, 0).data().toString() == QLatin1String("Smyth");
    ASSERT_TRUE(m->setData(m->index(0, smythFirst ? 2 : 5), Qt::Checked, Qt::CheckStateRole));

    // The distinct values, listed for the column when it was picked, are listed again.
    const auto listed = [&f] {
        QStringList out;
        for (int r = 0; r < f.lstMain->model()->rowCount(); ++r)
            out << f.lstMain->model()->index(r, 0).data().toString();
        return out;
    };
    ASSERT_TRUE(listed().contains(QStringLiteral("Smyth")));
    ui.answerMessage(ui::vbOK, QStringLiteral("Conversion Successful."));
    f.cmdConvert2->click();
    EXPECT_EQ(emails().count(QStringLiteral("Smith")), 2);
    EXPECT_EQ(emails().count(QStringLiteral("Smyth")), 0);
    EXPECT_FALSE(listed().contains(QStringLiteral("Smyth")));
    EXPECT_TRUE(listed().contains(QStringLiteral("Smith")));

    ctl<QPushButton>(f, "cmdClear")->click();
    ui.answerMessage(ui::vbOK, QStringLiteral("Nothing To Convert!"));
    f.cmdConvert2->click();
    EXPECT_EQ(ui.shown().last().style & 0xF0, ui::vbCritical);
}

// The chooser: the buttons and double-clicks move columns between the lists,
// and a run measures the chosen columns only, in their order.
TEST_F(StatsPage, ChooserMovesColumnsAndTheRunMeasuresTheChosenOnes)
{
    frmdataform& f = open(kStatsTab);
    auto* move = ctl<QPushButton>(f, "cmdMove");
    auto* moveAll = ctl<QPushButton>(f, "cmdMoveAll");
    auto* back = ctl<QPushButton>(f, "cmdBack");
    auto* backAll = ctl<QPushButton>(f, "cmdBackAll");
    EXPECT_EQ(ctl<QLabel>(f, "lblColumns")->text(), QLatin1String("Columns"));
    EXPECT_EQ(ctl<QLabel>(f, "lblSelectedColumns")->text(), QLatin1String("Selected Columns"));
    const auto texts = [](const QListWidget* l) {
        QStringList out;
        for (int i = 0; i < l->count(); ++i)
            out << l->item(i)->text();
        return out;
    };
    ASSERT_EQ(texts(f.lstRight), (QStringList{"Email", "Phone", "A_Column_Name_Longer_Than_20"}));
    EXPECT_FALSE(moveAll->isEnabled());
    EXPECT_TRUE(backAll->isEnabled());

    // Two selected entries go left in one click, the one between them stays.
    f.lstRight->clearSelection();
    f.lstRight->item(0)->setSelected(true);
    f.lstRight->item(2)->setSelected(true);
    back->click();
    EXPECT_EQ(texts(f.lstleft), (QStringList{"Email", "A_Column_Name_Longer_Than_20"}));
    EXPECT_EQ(texts(f.lstRight), (QStringList{"Phone"}));
    EXPECT_TRUE(move->isEnabled());
    EXPECT_TRUE(moveAll->isEnabled());

    pick(f.Combo1, QStringLiteral("Completed Columns"));
    ASSERT_EQ(f.flex1->rowCount(), 1);
    EXPECT_EQ(f.flex1->item(0, 1)->text(), QLatin1String("Phone"));
    EXPECT_EQ(f.lblscore->text(), QLatin1String("Total Score = 50%"));

    // A double-click moves the entry it is on; ">" with nothing selected takes the current one.
    f.lstleft->setCurrentRow(1);   // the double-click's first press
    emit f.lstleft->itemDoubleClicked(f.lstleft->item(1));
    EXPECT_EQ(texts(f.lstRight), (QStringList{"Phone", "A_Column_Name_Longer_Than_20"}));
    move->click();
    EXPECT_EQ(texts(f.lstRight), (QStringList{"Phone", "A_Column_Name_Longer_Than_20", "Email"}));
    EXPECT_TRUE(f.lstleft->count() == 0);
    EXPECT_FALSE(move->isEnabled());
    EXPECT_FALSE(moveAll->isEnabled());
    cmdRefresh(f);
    ASSERT_EQ(f.flex1->rowCount(), 3);
    EXPECT_EQ(f.flex1->item(2, 1)->text(), QLatin1String("Email"));

    backAll->click();
    EXPECT_EQ(f.lstRight->count(), 0);
    EXPECT_FALSE(back->isEnabled());
    EXPECT_FALSE(backAll->isEnabled());
    emit f.lstRight->itemDoubleClicked(nullptr);   // nothing to move back: nothing happens
    EXPECT_EQ(f.lstleft->count(), 3);
    ui.answerMessage(ui::vbOK, QStringLiteral("Please Select at least 1 column"));
    cmdRefresh(f);
    EXPECT_EQ(f.flex1->rowCount(), 3);   // the last results stay
    moveAll->click();
    EXPECT_EQ(f.lstRight->count(), 3);
}

// A group whose value needs 17 digits is found again by the filter; the
// filter takes the sort items off the grid's pop-up and Sort Descending off
// the small toolbar, leaves the main menu's sorting alone, and Filter Off
// gives them back.
TEST_F(StatsPage, GroupFilterFindsNumbersByEveryDigitAndLeavesTheMainSortAlone)
{
    db.execute(QStringLiteral("UPDATE tblData SET Phone=0.30000000000000004 WHERE Phone=1"), jet::dbFailOnError);
    frmdataform& f = open(kDupesTab);
    ctl<QPushButton>(f, "cmdRefresh1")->click();
    QCoreApplication::processEvents();
    QAbstractItemModel* groups = f.flxDupes->model();
    ASSERT_NE(groups, nullptr);
    int row = -1;
    for (int r = 0; r < groups->rowCount(); ++r)
        if (groups->index(r, 1).data().toString() == QLatin1String("a@x.com"))
            row = r;
    ASSERT_GE(row, 0);
    emit f.flxDupes->doubleClicked(groups->index(row, 1));
    QCoreApplication::processEvents();
    EXPECT_EQ(gridRows(f), 2);

    MDIMain& main = MDIMain::instance();
    for (const char* name : {"mnuascending", "mnudesc", "Toolbar1:11", "Toolbar1:12", "Toolbar2:12"})
        EXPECT_TRUE(main.command(QString::fromLatin1(name))->isEnabled()) << name;
    EXPECT_FALSE(main.command(QStringLiteral("Toolbar2:13"))->isEnabled());
    for (const char* name : {"mnuascending", "mnudescending"})
        EXPECT_FALSE(frmbitmaps::item(QString::fromLatin1(name))->isEnabled()) << name;
    main.refreshgrids();
    EXPECT_TRUE(main.command(QStringLiteral("Toolbar2:13"))->isEnabled());
    for (const char* name : {"mnuascending", "mnudescending"})
        EXPECT_TRUE(frmbitmaps::item(QString::fromLatin1(name))->isEnabled()) << name;
}

// Near duplicates of a number column that needs 16 digits: the converted
// value replaces its partner in tblData, and the distinct values are listed
// afresh.
TEST_F(StatsPage, ConvertOfNumbersKeepsEveryDigitAndListsTheValuesAgain)
{
    db.execute(QStringLiteral("UPDATE tblData SET Phone=1234567890123456 WHERE Phone=1"), jet::dbFailOnError);
    db.execute(QStringLiteral("UPDATE tblData SET Phone=1234567890123457 WHERE Phone=2"), jet::dbFailOnError);
    frmdataform& f = open(4);   // the Column Cleaner lists the column
    pick(f.cmbColumn1, QStringLiteral("Phone"));
    ASSERT_EQ(f.lstMain->model()->rowCount(), 4);   // empty, 3, and the two long ones

    f.tab1->setCurrentIndex(kNearTab);
    QCoreApplication::processEvents();
    pick(f.cmbColumn1A, QStringLiteral("Phone"));
    pick(f.cmbSearchType, QStringLiteral("1 character difference"));
    // The lengths offered are those of the values' text with every digit.
    EXPECT_EQ(ctl<QComboBox>(f, "cmbMaxLen")->currentText(), QStringLiteral("16"));
    ctl<QComboBox>(f, "cmbMinLen")->setEditText(QStringLiteral("16"));
    ctl<QComboBox>(f, "cmbMaxLen")->setEditText(QStringLiteral("16"));
    ctl<QPushButton>(f, "cmdShow")->click();
    QAbstractItemModel* m = f.DataRepeater1->model();
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->rowCount(), 1);
    ASSERT_TRUE(m->setData(m->index(0, 2), Qt::Checked, Qt::CheckStateRole));
    const QString kept = m->index(0, 3).data().toString();

    ui.answerMessage(ui::vbOK, QStringLiteral("Conversion Successful."));
    f.cmdConvert2->click();
    auto rs = db.openRecordset(QStringLiteral("SELECT COUNT(*) FROM tblData WHERE Phone=") + kept, jet::dbOpenSnapshot);
    EXPECT_EQ(rs->value(0).toLong(), 3);
    EXPECT_EQ(f.lstMain->model()->rowCount(), 3);   // empty, 3, and the one left
}

} // namespace
