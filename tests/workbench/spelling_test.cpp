#include "workbench/spelling.h"

#include "app/listeditors.h"
#include "app/mdimain.h"
#include "common/general.h"
#include "support/workbench_fixture.h"
#include "workbench/datacontrol.h"
#include "workbench/gridmodel.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

using namespace general;

namespace {

const QString kComplete = QStringLiteral("The Spelling check is Complete.");
const QString kUnable = QStringLiteral("Unable to Open Dictionary");

class Spelling : public testsupport::WorkbenchFixture {
protected:
    void SetUp() override
    {
        WorkbenchFixture::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("Settings")));
    }

    void TearDown() override
    {
        if (frmSpellChecker* c = frmSpellChecker::loaded())
            c->unload();
        WorkbenchFixture::TearDown();
    }

    QString dictPath() const { return dir.filePath(QStringLiteral("Settings/dict.dic")); }

    void writeDict(const QByteArray& bytes)
    {
        QFile f(dictPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    QByteArray dictBytes() const
    {
        QFile f(dictPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    /// The Last column: known, known, a case variant, two known words
    /// together, a number as text, Null, a number with separators, unknown, a
    /// value with a comma.
    frmdataform& openList()
    {
        db.execute(QStringLiteral("CREATE TABLE tblData ([Last] TEXT(50), [Code] TEXT(20), [Amount] DOUBLE)"));
        const char* rows[] = {
            "\"Street\", \"A\", 1", "\"Smith\", \"B\", 2",   "\"smith\", \"C\", 3",
            "\"John Smith\", \"D\", 4", "\"12345\", \"E\", 5", "Null, \"F\", 6",
            "\"1,234.5\", \"G\", 7", "\"Jones\", \"H\", 8",   "\"Smith, John\", \"I\", 9",
        };
        for (const char* r : rows)
            db.execute(QStringLiteral("INSERT INTO tblData VALUES (%1)").arg(QLatin1String(r)));
        frmdataform& f = frmdataform::instance();
        EXPECT_EQ(frmdataform::loaded(), &f);
        return f;
    }

    static void goTo(frmdataform& f, int row, int column = 0)
    {
        f.DBGridData->setCurrentIndex(f.gridModel()->index(row, column));
    }
    /// F7 with the grid on row and column.
    static void startCheck(frmdataform& f, int row, int column = 0)
    {
        goTo(f, row, column);
        trigger("mnuspell");
    }
    static int gridRow(const frmdataform& f) { return f.DBGridData->currentIndex().row(); }
    static void trigger(const char* name) { MDIMain::instance().command(QString::fromLatin1(name))->trigger(); }

    /// A click on a word of the manager's list.
    static void clickWord(frmSpellManager& m, int row)
    {
        const QRect r = m.flexspell->visualItemRect(m.flexspell->item(row, 0));
        QTest::mouseClick(m.flexspell->viewport(), Qt::LeftButton, {}, r.center());
    }

    QStringList lastColumn()
    {
        QStringList out;
        auto rs = db.openRecordset(QStringLiteral("SELECT [Last] FROM tblData ORDER BY [LumacorPrimK]"));
        for (; !rs->eof(); rs->moveNext())
            out << (rs->value(0).isNull() ? QStringLiteral("<null>") : rs->value(0).toString());
        return out;
    }

    /// The checker where the walk stopped: shown, on the value, the grid on its row.
    void expectStop(frmdataform& f, int row, const QString& value)
    {
        frmSpellChecker* c = frmSpellChecker::loaded();
        ASSERT_NE(c, nullptr) << value.toStdString();
        EXPECT_TRUE(c->isVisible());
        EXPECT_EQ(c->txtspell->text(), value);
        EXPECT_EQ(gridRow(f), row) << value.toStdString();
        EXPECT_EQ(f.Data1->Recordset()->absolutePosition(), row);
    }
};

} // namespace

TEST_F(Spelling, TheWalkStopsAtEachValueTheDictionaryDoesNotHold)
{
    writeDict("\"Street\"\r\nSmith\r\nJohn\r\n");
    frmdataform& f = openList();
    startCheck(f, 0);   // Tools > Spelling... (F7)
    // Case counts, and a cell is one word: John and Smith do not make "John Smith".
    expectStop(f, 2, QStringLiteral("smith"));
    frmSpellChecker* c = frmSpellChecker::loaded();
    EXPECT_EQ(c->windowTitle(), QStringLiteral("Spelling Checker on: Last"));
    EXPECT_EQ(c->windowModality(), Qt::ApplicationModal);
    c->cmdIgnore->click();
    expectStop(f, 3, QStringLiteral("John Smith"));
    // After an answer, numbers and empty cells are passed over.
    c->cmdIgnore->click();
    expectStop(f, 7, QStringLiteral("Jones"));
    c->cmdIgnore->click();
    expectStop(f, 8, QStringLiteral("Smith, John"));
    ui.answerMessage(ui::vbOK, kComplete);
    c->cmdIgnore->click();
    EXPECT_EQ(ui.shown().back().style, ui::vbInformation);
    EXPECT_EQ(frmSpellChecker::loaded(), nullptr);
    EXPECT_EQ(gridRow(f), 0);
    EXPECT_EQ(f.Data1->Recordset()->absolutePosition(), 0);
}

TEST_F(Spelling, TheStartChecksNumbersAndEmptyCellsToo)
{
    writeDict("Street\r\nSmith\r\n");
    frmdataform& f = openList();
    startCheck(f, 4);
    expectStop(f, 4, QStringLiteral("12345"));
    frmSpellChecker::loaded()->btnCancelFind->click();
    startCheck(f, 5);
    expectStop(f, 5, QString());
    frmSpellChecker::loaded()->btnCancelFind->click();

    // An empty line is an empty entry: the empty cell is then known.
    writeDict("Street\r\n\r\nSmith\r\n");
    startCheck(f, 5);
    expectStop(f, 6, QStringLiteral("1,234.5"));
    frmSpellChecker::loaded()->btnCancelFind->click();

    // From the last value to the end: complete, and the grid on the first record.
    writeDict("\"Smith, John\"\r\n");
    goTo(f, 8, 0);
    ui.answerMessage(ui::vbOK, kComplete);
    trigger("mnuspell");
    EXPECT_EQ(frmSpellChecker::loaded(), nullptr);
    EXPECT_EQ(gridRow(f), 0);
}

TEST_F(Spelling, ChangeWritesTheReplacementIntoTheCellAndGoesOn)
{
    writeDict("Street\r\nSmith\r\nJohn\r\n");
    frmdataform& f = openList();
    startCheck(f, 0);
    expectStop(f, 2, QStringLiteral("smith"));
    frmSpellChecker* c = frmSpellChecker::loaded();
    c->txtreplace->setText(QStringLiteral("Smythe"));
    c->cmdchange->click();
    expectStop(f, 3, QStringLiteral("John Smith"));
    // An empty replacement empties the cell.
    c->txtreplace->clear();
    c->cmdchange->click();
    expectStop(f, 7, QStringLiteral("Jones"));
    EXPECT_EQ(lastColumn(), (QStringList{"Street", "Smith", "Smythe", "<null>", "12345", "<null>", "1,234.5",
                                         "Jones", "Smith, John"}));
    EXPECT_EQ(dictBytes(), QByteArray("Street\r\nSmith\r\nJohn\r\n"));   // Change adds nothing

    // A replacement the column refuses is reported by the grid; the check stays on the value.
    c->unload();
    startCheck(f, 0, 2);   // Amount: the start checks numbers too
    expectStop(f, 0, QStringLiteral("1"));
    c = frmSpellChecker::loaded();
    c->txtreplace->setText(QStringLiteral("not a number"));
    ui.answerMessage(ui::vbOK, QStringLiteral("Sorry, cannot enter that Value."));
    c->cmdchange->click();
    expectStop(f, 0, QStringLiteral("1"));
}

TEST_F(Spelling, AddPutsTheValueInTheDictionaryAndCancelStaysOnTheRecord)
{
    writeDict("Street\r\nSmith\r\n");
    frmdataform& f = openList();
    startCheck(f, 0);
    expectStop(f, 2, QStringLiteral("smith"));
    frmSpellChecker* c = frmSpellChecker::loaded();

    // Nothing to add: asked for a word, nothing else happens.
    c->txtspell->clear();
    ui.answerMessage(ui::vbOK, QStringLiteral("Please Enter a valid word"));
    c->cmdAdd->click();
    EXPECT_EQ(ui.shown().back().style, ui::vbExclamation);
    EXPECT_EQ(gridRow(f), 2);
    EXPECT_EQ(dictBytes(), QByteArray("Street\r\nSmith\r\n"));

    c->txtspell->setText(QStringLiteral("smith"));
    ui.answerMessage(ui::vbOK, QStringLiteral("smith now added onto the dictionary"));
    c->cmdAdd->click();
    expectStop(f, 3, QStringLiteral("John Smith"));
    c->cmdIgnore->click();
    expectStop(f, 7, QStringLiteral("Jones"));
    c->cmdIgnore->click();
    expectStop(f, 8, QStringLiteral("Smith, John"));
    ui.answerMessage(ui::vbOK, QStringLiteral("Smith, John now added onto the dictionary"));
    ui.answerMessage(ui::vbOK, kComplete);
    c->cmdAdd->click();
    EXPECT_EQ(frmSpellChecker::loaded(), nullptr);

    // A new check knows both values, the one with a comma as one entry.
    startCheck(f, 0);
    expectStop(f, 3, QStringLiteral("John Smith"));
    frmSpellChecker::loaded()->btnCancelFind->click();
    EXPECT_EQ(frmSpellChecker::loaded(), nullptr);
    EXPECT_EQ(gridRow(f), 3);   // Cancel leaves the grid on the unknown value
    goTo(f, 8);
    ui.answerMessage(ui::vbOK, kComplete);
    trigger("mnuspell");
    EXPECT_EQ(ui.pendingAnswers(), 0);
}

TEST_F(Spelling, CustomiseOpensTheManagerOverTheChecker)
{
    writeDict("Street\r\n\"Smith\"\r\n");
    frmdataform& f = openList();
    startCheck(f, 0);
    expectStop(f, 2, QStringLiteral("smith"));
    frmSpellChecker* c = frmSpellChecker::loaded();
    QStringList listed;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        auto* m = qobject_cast<frmSpellManager*>(QApplication::activeModalWidget());
        ASSERT_NE(m, nullptr);
        modal = m->isModal();
        for (int r = 0; r < m->flexspell->rowCount(); ++r)
            listed << m->flexspell->item(r, 0)->text();
        m->Command1->click();
    });
    c->Command1->click();
    EXPECT_TRUE(modal);
    EXPECT_EQ(listed, (QStringList{"Street", "Smith"}));
    expectStop(f, 2, QStringLiteral("smith"));   // the checker stays, with its value
}

TEST_F(Spelling, ADictionaryThatCannotBeOpenedIsSaidSo)
{
    frmdataform& f = openList();
    goTo(f, 1);
    // At the start: no walk and no "complete".
    ui.answerMessage(ui::vbOK, kUnable);
    trigger("mnuspell");
    EXPECT_EQ(ui.shown().back().style, ui::vbExclamation);
    EXPECT_EQ(frmSpellChecker::loaded(), nullptr);
    EXPECT_EQ(gridRow(f), 1);

    // While the walk goes on: after Ignore the reason first; the checker stays.
    writeDict("Street\r\nSmith\r\n");
    startCheck(f, 0);
    expectStop(f, 2, QStringLiteral("smith"));
    ASSERT_TRUE(QFile::remove(dictPath()));
    ui.answerMessage(ui::vbOK, QStringLiteral("File not found"));
    ui.answerMessage(ui::vbOK, kUnable);
    frmSpellChecker::loaded()->cmdIgnore->click();
    expectStop(f, 2, QStringLiteral("smith"));

    // A dictionary that cannot be written: Add says so and adds nothing.
    writeDict("Street\r\nSmith\r\n");
    ASSERT_TRUE(QFile::setPermissions(dictPath(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    ui.answerMessage(ui::vbOK, kUnable);
    frmSpellChecker::loaded()->cmdAdd->click();
    expectStop(f, 2, QStringLiteral("smith"));
    EXPECT_EQ(dictBytes(), QByteArray("Street\r\nSmith\r\n"));
}

TEST_F(Spelling, TheSmallToolbarsCheckerGoesOnFromWhereTheGridIs)
{
    writeDict("Street\r\nSmith\r\n");
    frmdataform& f = openList();
    goTo(f, 0);
    trigger("Toolbar2:10");
    frmSpellChecker* c = frmSpellChecker::loaded();
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c->isVisible());
    EXPECT_EQ(c->windowModality(), Qt::NonModal);
    EXPECT_EQ(c->windowTitle(), QStringLiteral("Spell Checker"));
    EXPECT_TRUE(c->txtspell->text().isEmpty());
    c->cmdIgnore->click();
    expectStop(f, 2, QStringLiteral("smith"));
    // The user moves in the grid between two answers.
    goTo(f, 6, 0);
    c->cmdIgnore->click();
    expectStop(f, 7, QStringLiteral("Jones"));
    // Add without a value asks for one.
    trigger("Toolbar2:10");
    c->txtspell->clear();
    ui.answerMessage(ui::vbOK, QStringLiteral("Please Enter a valid word"));
    c->cmdAdd->click();
}

TEST_F(Spelling, TheCheckFollowsTheGridsFilterAndColumn)
{
    writeDict("A\r\nB\r\nD\r\nStreet\r\n");
    frmdataform& f = openList();
    gstrFilter = QStringLiteral("[Amount] > 2");
    MDIMain::instance().Refresh_DataTbl();
    MDIMain::instance().FilterON();
    goTo(f, 0, 1);   // the Code column, from its first shown record (C)
    trigger("mnuspell");
    expectStop(f, 0, QStringLiteral("C"));
    EXPECT_EQ(frmSpellChecker::loaded()->windowTitle(), QStringLiteral("Spelling Checker on: Code"));
    frmSpellChecker::loaded()->cmdIgnore->click();
    expectStop(f, 2, QStringLiteral("E"));   // D is known
    EXPECT_EQ(f.DBGridData->currentIndex().column(), 1);
}

// A header click names another column than the grid's current cell: the
// caption, the walk and Change all take the column the caption names.
TEST_F(Spelling, AfterAHeaderClickTheCheckActsOnTheColumnItNames)
{
    writeDict("Street\r\nSmith\r\nA\r\nB\r\n");
    frmdataform& f = openList();
    goTo(f, 0, 0);   // on Last ...
    f.DBGridData_HeadClick(1);   // ... the header of Code clicked
    ASSERT_EQ(gstrCurColumn, QStringLiteral("Code"));
    trigger("mnuspell");
    expectStop(f, 2, QStringLiteral("C"));
    frmSpellChecker* c = frmSpellChecker::loaded();
    EXPECT_EQ(c->windowTitle(), QStringLiteral("Spelling Checker on: Code"));
    EXPECT_EQ(f.DBGridData->currentIndex().column(), 1);
    c->txtreplace->setText(QStringLiteral("Z"));
    c->cmdchange->click();
    expectStop(f, 3, QStringLiteral("D"));
    auto rs = db.openRecordset(QStringLiteral("SELECT [Last], [Code] FROM tblData ORDER BY [LumacorPrimK]"));
    rs->move(2);
    EXPECT_EQ(rs->value(0).toString(), QStringLiteral("smith"));   // Last untouched
    EXPECT_EQ(rs->value(1).toString(), QStringLiteral("Z"));
}

// F7 on the empty row for a new record checks from the first record.
TEST_F(Spelling, OnTheNewRecordRowTheCheckStartsFromTheFirstRecord)
{
    writeDict("Smith\r\n");
    frmdataform& f = openList();
    goTo(f, 7, 0);   // the list stood on Jones last ...
    goTo(f, f.gridModel()->rowCount() - 1, 0);   // ... and now on the new-record row
    ASSERT_TRUE(f.gridModel()->isAddRow(gridRow(f)));
    trigger("mnuspell");
    expectStop(f, 0, QStringLiteral("Street"));
}

// A value holding a line break cannot be one entry of a file of lines: it is
// refused, and the dictionary stays as it was.
TEST_F(Spelling, AWordWithALineBreakIsRefused)
{
    writeDict("Street\r\n");
    frmSpellManager m;
    m.show();
    for (const char* word : {"Ann\nLee", "Ann\r\nLee", "Ann\rLee"}) {
        m.txtspell->setText(QString::fromLatin1(word));
        ui.answerMessage(ui::vbOK, QStringLiteral("A word that holds a line break cannot be added to the dictionary."));
        m.cmdAdd->click();
        EXPECT_EQ(dictBytes(), QByteArray("Street\r\n")) << word;
    }
    EXPECT_EQ(ui.pendingAnswers(), 0);
    EXPECT_EQ(ui.failures(), QStringList());
}

// ---- the manager ---------------------------------------------------------------------

TEST_F(Spelling, TheManagerListsAddsAndRemovesWords)
{
    // Smith three times, in both stored forms; no seed file beside it.
    writeDict("\"Street\"\r\nSmith\r\n\r\n\"Smith\"\r\nJones, Brown\r\nSmith\r\n\"Smith, John\"\r\n");
    ASSERT_FALSE(QFile::exists(dir.filePath(QStringLiteral("Settings/dict0.dic"))));
    frmSpellManager m;
    m.show();
    const auto words = [&m] {
        QStringList out;
        for (int r = 0; r < m.flexspell->rowCount(); ++r)
            out << m.flexspell->item(r, 0)->text();
        return out;
    };
    EXPECT_EQ(m.windowTitle(), QStringLiteral("Spelling Manager"));
    EXPECT_EQ(words(), (QStringList{"Street", "Smith", "Smith", "Jones", "Brown", "Smith", "Smith, John"}));

    ui.answerMessage(ui::vbOK, QStringLiteral("Please Enter a valid word"));
    m.cmdAdd->click();
    m.txtspell->setText(QStringLiteral("O'Neil, Ann"));
    ui.answerMessage(ui::vbOK, QStringLiteral("O'Neil, Ann now added onto the dictionary"));
    m.cmdAdd->click();
    EXPECT_EQ(m.txtspell->text(), QStringLiteral("O'Neil, Ann"));
    EXPECT_EQ(words().back(), QStringLiteral("O'Neil, Ann"));

    // Remove asks for a word first; then every copy of the clicked one goes.
    ui.answerMessage(ui::vbOK, QStringLiteral("Please Highlight the Word you would like to Remove"));
    m.cmdRemove->click();
    clickWord(m, 1);
    EXPECT_EQ(m.lblremove->text(), QStringLiteral("remove"));
    ui.answerMessage(ui::vbOK, QStringLiteral("Smith has now been removed from the dictionary"));
    m.cmdRemove->click();
    EXPECT_TRUE(m.lblremove->text().isEmpty());
    EXPECT_EQ(words(), (QStringList{"Street", "Jones", "Brown", "Smith, John", "O'Neil, Ann"}));
    EXPECT_EQ(dictBytes(), QByteArray("\"Street\"\r\n\"\"\r\n\"Jones\"\r\n\"Brown\"\r\n\"Smith, John\"\r\n"
                                      "\"O'Neil, Ann\"\r\n"));

    // The last word can go too: an empty dictionary is an empty list.
    for (int i = 0; i < 5; ++i) {
        clickWord(m, 0);
        ui.answerMessage(ui::vbOK);
        m.cmdRemove->click();
    }
    EXPECT_EQ(m.flexspell->rowCount(), 0);
    EXPECT_EQ(ui.failures(), QStringList());
}

TEST_F(Spelling, TheManagerLeavesAReadOnlyOrMissingDictionaryAlone)
{
    const QByteArray old = "Street\r\nSmith\r\n";
    writeDict(old);
    ASSERT_TRUE(QFile::setPermissions(dictPath(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    frmSpellManager m;
    m.show();
    ASSERT_EQ(m.flexspell->rowCount(), 2);
    m.txtspell->setText(QStringLiteral("Brown"));
    ui.answerMessage(ui::vbOK, kUnable);
    m.cmdAdd->click();
    clickWord(m, 1);
    ui.answerMessage(ui::vbOK, QStringLiteral("Smith could not be removed from the dictionary. Cannot write the file '")
                                   + dictPath() + QStringLiteral("': Permission denied. The dictionary is unchanged."));
    m.cmdRemove->click();
    EXPECT_EQ(dictBytes(), old);
    EXPECT_EQ(m.flexspell->rowCount(), 2);

    QFile::setPermissions(dictPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    ASSERT_TRUE(QFile::remove(dictPath()));
    ui.answerMessage(ui::vbOK, kUnable);
    frmSpellManager missing;
    EXPECT_EQ(missing.flexspell->rowCount(), 0);
    EXPECT_FALSE(QFile::exists(dictPath()));

    // An empty dictionary (every word removed) is an empty list, not a failure.
    writeDict("");
    frmSpellManager empty;
    EXPECT_EQ(empty.flexspell->rowCount(), 0);
    EXPECT_EQ(ui.pendingAnswers(), 0);
}

TEST_F(Spelling, TheToolsMenuOpensTheManagerWithoutAList)
{
    writeDict("Street\r\n");
    QAction* item = MDIMain::instance().command(QStringLiteral("mnuspace20"));
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->isEnabled());
    int rows = -1;
    QTimer::singleShot(0, [&rows] {
        if (auto* m = qobject_cast<frmSpellManager*>(QApplication::activeModalWidget())) {
            rows = m->flexspell->rowCount();
            m->Command1->click();
        }
    });
    item->trigger();
    EXPECT_EQ(rows, 1);
}
