// The Column Cleaner page driven through its controls over a small list open
// in the workbench: gathering values, the new value, the conversion with its
// questions and refusals, and the header-click sorts of both value lists.
#include "cleaning/column_cleaner.h"

#include "cleaning/pages.h"

#include "app/mdimain.h"
#include "common/general.h"
#include "platform/jet/database.h"
#include "platform/ui/scripted.h"
#include "platform/ui/settings.h"
#include "workbench/frmdataform.h"

#include "list_fixture.h"

#include "support/workbench_fixture.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace general;

namespace {

constexpr int kTextCleaner = 3;
constexpr int kColumnCleaner = 4;

const QString kBlank = QStringLiteral("Are you sure you want to convert the selected values to BLANK ?");
const QString kClash = QStringLiteral("One of the items listed in selection list is also listed as the new value");

class ColumnCleanerPage : public testsupport::WorkbenchFixture {
protected:
    void SetUp() override
    {
        WorkbenchFixture::SetUp();
        if (HasFatalFailure())
            return;
        QDir(dir.path()).mkpath(QStringLiteral("Settings"));
        db.execute(QStringLiteral("CREATE TABLE tblData ([City] TEXT(255), [Amount] DOUBLE)"), jet::dbFailOnError);
        const char* cities[] = {"Paris", "Lyon", "Paris", nullptr, "", "Nice", "Paris"};
        const char* amounts[] = {"10", "-5", "100", "9", nullptr, "10", "10"};
        for (int i = 0; i < 7; ++i)
            db.execute(QStringLiteral("INSERT INTO tblData (City, Amount) VALUES (%1, %2)")
                           .arg(cities[i] ? QStringLiteral("\"%1\"").arg(QLatin1String(cities[i])) : QStringLiteral("NULL"),
                                amounts[i] ? QLatin1String(amounts[i]) : QLatin1String("NULL")),
                       jet::dbFailOnError);
    }

    frmdataform& open(const QString& column, int tab = kColumnCleaner)
    {
        frmdataform& f = frmdataform::instance();
        f.tab1->setCurrentIndex(tab);
        const int i = f.cmbColumn1->findText(column);
        EXPECT_GE(i, 0);
        f.cmbColumn1->setCurrentIndex(i);
        emit f.cmbColumn1->activated(i);
        return f;
    }
    static QPushButton* button(frmdataform& f, const char* name)
    {
        auto* b = f.findChild<QPushButton*>(QString::fromLatin1(name));
        EXPECT_NE(b, nullptr) << name;
        return b;
    }
    /// Selects the rows of lstMain whose value is one of texts.
    static void selectMain(frmdataform& f, const QStringList& texts)
    {
        const QAbstractItemModel* m = f.lstMain->model();
        f.lstMain->clearSelection();
        for (int r = 0; r < m->rowCount(); ++r)
            if (texts.contains(m->data(m->index(r, 0)).toString()))
                f.lstMain->selectionModel()->select(m->index(r, 0),
                                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    static QStringList old(frmdataform& f)
    {
        QStringList out;
        for (int i = 0; i < f.lstOld->topLevelItemCount(); ++i)
            out << f.lstOld->topLevelItem(i)->text(0) + QLatin1Char('=') + f.lstOld->topLevelItem(i)->text(1);
        return out;
    }
    static QStringList mainValues(frmdataform& f, int column = 0)
    {
        QStringList out;
        const QAbstractItemModel* m = f.lstMain->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->data(m->index(r, column)).toString();
        return out;
    }
};

} // namespace

TEST_F(ColumnCleanerPage, GathersEachValueOnce)
{
    frmdataform& f = open(QStringLiteral("City"));
    selectMain(f, {QStringLiteral("Paris"), QString()});
    button(f, "cmdSelectOld")->click();
    button(f, "cmdSelectOld")->click();
    EXPECT_EQ(old(f), (QStringList{QStringLiteral("=2"), QStringLiteral("Paris=3")}));
    EXPECT_EQ(f.txtOld->text(), QStringLiteral("2"));

    // A double click adds the current value once, and only on this page.
    f.lstMain->setCurrentIndex(f.lstMain->model()->index(1, 0));   // Lyon
    emit f.lstMain->doubleClicked(f.lstMain->currentIndex());
    emit f.lstMain->doubleClicked(f.lstMain->currentIndex());
    EXPECT_EQ(old(f).size(), 3);
    f.tab1->setCurrentIndex(kTextCleaner);
    f.lstMain->setCurrentIndex(f.lstMain->model()->index(2, 0));   // Nice
    emit f.lstMain->doubleClicked(f.lstMain->currentIndex());
    EXPECT_EQ(old(f).size(), 3);

    // A click on a selected value takes it away.
    emit f.lstOld->itemClicked(f.lstOld->topLevelItem(0), 0);
    EXPECT_EQ(old(f), (QStringList{QStringLiteral("Paris=3"), QStringLiteral("Lyon=1")}));
    EXPECT_EQ(f.txtOld->text(), QStringLiteral("2"));
}

TEST_F(ColumnCleanerPage, NewValueTakesASingleSelection)
{
    frmdataform& f = open(QStringLiteral("City"));
    selectMain(f, {QStringLiteral("Nice")});
    f.cmdSelectNew->click();
    EXPECT_EQ(f.txtNew->text(), QStringLiteral("Nice"));
    selectMain(f, {QStringLiteral("Nice"), QStringLiteral("Lyon")});
    ui.answerMessage(ui::vbOK, QStringLiteral("Please make a single selection."));
    f.cmdSelectNew->click();
    EXPECT_TRUE(f.txtNew->text().isEmpty());
}

TEST_F(ColumnCleanerPage, ConvertsAndListsTheColumnAgain)
{
    frmdataform& f = open(QStringLiteral("City"));
    QPushButton* convert = button(f, "cmdConvert");
    convert->click();   // nothing selected: nothing happens, nothing is asked
    EXPECT_TRUE(ui.shown().isEmpty());

    selectMain(f, {QStringLiteral("Paris"), QString()});
    button(f, "cmdSelectOld")->click();
    ui.answerMessage(ui::vbNo, kBlank);
    convert->click();
    ui.answerMessage(ui::vbYes, kBlank).answerMessage(ui::vbOK, kClash);   // the empty value is also the new one
    convert->click();
    EXPECT_EQ(convert->text(), QStringLiteral("Convert"));
    EXPECT_EQ(old(f).size(), 2);
    EXPECT_EQ(listfixture::count(db, QStringLiteral("City IS NULL")), 1);

    f.txtNew->setText(QStringLiteral("Rome"));
    convert->click();
    EXPECT_EQ(listfixture::column(db, QStringLiteral("City")),
              (QStringList{"Rome", "Lyon", "Rome", "Rome", "Rome", "Nice", "Rome"}));
    EXPECT_EQ(mainValues(f), (QStringList{QStringLiteral("Lyon"), QStringLiteral("Nice"), QStringLiteral("Rome")}));
    EXPECT_TRUE(old(f).isEmpty());
    EXPECT_TRUE(f.txtNew->text().isEmpty());
    EXPECT_TRUE(f.txtOld->text().isEmpty());
    EXPECT_EQ(convert->text(), QStringLiteral("Convert"));
}

TEST_F(ColumnCleanerPage, FirstColumnNarrowsPastEightValues)
{
    db.execute(QStringLiteral("DELETE FROM tblData"), jet::dbFailOnError);
    for (int i = 0; i < 9; ++i)
        db.execute(QStringLiteral("INSERT INTO tblData (City) VALUES (\"c%1\")").arg(i), jet::dbFailOnError);
    frmdataform& f = open(QStringLiteral("City"));
    const int wide = f.lstOld->columnWidth(0);
    QStringList eight;
    for (int i = 0; i < 8; ++i)
        eight << QStringLiteral("c%1").arg(i);
    selectMain(f, eight);
    button(f, "cmdSelectOld")->click();
    EXPECT_EQ(f.lstOld->columnWidth(0), wide);
    selectMain(f, {QStringLiteral("c8")});
    button(f, "cmdSelectOld")->click();
    EXPECT_LT(f.lstOld->columnWidth(0), wide);
}

TEST_F(ColumnCleanerPage, HeaderClicksSortBothLists)
{
    frmdataform& f = open(QStringLiteral("Amount"));
    QHeaderView* header = f.lstMain->horizontalHeader();
    emit header->sectionClicked(0);   // listed ascending already: the first click reverses
    EXPECT_EQ(mainValues(f), (QStringList{"100", "10", "9", "-5", ""}));
    emit header->sectionClicked(1);   // another column starts ascending
    EXPECT_EQ(mainValues(f, 1), (QStringList{"1", "1", "1", "1", "3"}));
    emit header->sectionClicked(0);
    EXPECT_EQ(mainValues(f), (QStringList{"", "-5", "9", "10", "100"}));

    f.lstMain->selectAll();
    button(f, "cmdSelectOld")->click();
    emit f.lstOld->header()->sectionClicked(1);
    EXPECT_EQ(old(f).last(), QStringLiteral("10=3"));
    emit f.lstOld->header()->sectionClicked(1);
    EXPECT_EQ(old(f).first(), QStringLiteral("10=3"));
    emit f.lstOld->header()->sectionClicked(0);
    EXPECT_EQ(old(f).first(), QStringLiteral("=1"));
    EXPECT_EQ(old(f).last(), QStringLiteral("100=1"));
}

// Numbers that need 16 or 17 digits are listed with the engine's 15, but the
// conversion finds their rows by every digit.
TEST_F(ColumnCleanerPage, ConvertsNumbersThatNeedEveryDigit)
{
    db.execute(QStringLiteral("INSERT INTO tblData (City, Amount) VALUES (\"Oslo\", 1234567890123456)"), jet::dbFailOnError);
    db.execute(QStringLiteral("INSERT INTO tblData (City, Amount) VALUES (\"Bonn\", 0.30000000000000004)"), jet::dbFailOnError);
    frmdataform& f = open(QStringLiteral("Amount"));
    selectMain(f, {QStringLiteral("1.23456789012346E+15"), QStringLiteral("0.3")});
    button(f, "cmdSelectOld")->click();
    ASSERT_EQ(old(f).size(), 2);
    f.txtNew->setText(QStringLiteral("7"));
    button(f, "cmdConvert")->click();
    EXPECT_EQ(listfixture::count(db, QStringLiteral("Amount=7")), 2);
    EXPECT_EQ(listfixture::count(db, QStringLiteral("City IN (\"Oslo\", \"Bonn\") AND Amount=7")), 2);

    // A listed value taken as the new one keeps its digits too.
    db.execute(QStringLiteral("INSERT INTO tblData (City, Amount) VALUES (\"Kiel\", 0.30000000000000004)"), jet::dbFailOnError);
    cleaning::cmbColumn1_Click(f);
    selectMain(f, {QStringLiteral("0.3")});
    f.cmdSelectNew->click();
    EXPECT_EQ(f.txtNew->text(), QStringLiteral("0.30000000000000004"));
    selectMain(f, {QStringLiteral("9")});
    button(f, "cmdSelectOld")->click();
    button(f, "cmdConvert")->click();
    EXPECT_EQ(listfixture::count(db, QStringLiteral("Amount=0.30000000000000004")), 2);
}

// A column typed into the picker without Enter and listed by the filter box
// is the column the conversion writes, with the values gathered from it.
TEST_F(ColumnCleanerPage, ConvertsTheColumnTheListShows)
{
    frmdataform& f = open(QStringLiteral("City"));
    selectMain(f, {QStringLiteral("Paris")});
    button(f, "cmdSelectOld")->click();
    f.cmbColumn1->setEditText(QStringLiteral("Amount"));
    auto* filter = f.findChild<QLineEdit*>(QStringLiteral("txtFilter"));
    ASSERT_NE(filter, nullptr);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(filter, &enter);
    ASSERT_TRUE(mainValues(f).contains(QStringLiteral("-5")));
    EXPECT_TRUE(old(f).isEmpty());   // Paris was the other column's
    EXPECT_EQ(f.lstOld->headerItem()->text(0), QStringLiteral("Amount"));

    selectMain(f, {QStringLiteral("10")});
    button(f, "cmdSelectOld")->click();
    f.txtNew->setText(QStringLiteral("11"));
    button(f, "cmdConvert")->click();
    EXPECT_EQ(listfixture::count(db, QStringLiteral("Amount=11")), 3);
    EXPECT_EQ(listfixture::count(db, QStringLiteral("City=\"Paris\"")), 3);
}

// A typed new value the number column cannot hold is refused, with what the
// column holds, before any statement; the list stays as it was.
TEST_F(ColumnCleanerPage, RefusesANewValueTheColumnCannotHold)
{
    frmdataform& f = open(QStringLiteral("Amount"));
    for (const char* typed : {"1,000", "inf", "1e999"}) {
        selectMain(f, {QStringLiteral("10")});
        button(f, "cmdSelectOld")->click();
        f.txtNew->setText(QString::fromLatin1(typed));
        ui.answerMessage(ui::vbOK, QStringLiteral("The column Amount holds numbers: \"%1\" is not one of them.")
                                       .arg(QLatin1String(typed)));
        button(f, "cmdConvert")->click();
        EXPECT_EQ(listfixture::count(db, QStringLiteral("Amount=10")), 3) << typed;
    }
    EXPECT_EQ(ui.shown().size(), 3);
}
