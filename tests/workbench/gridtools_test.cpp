#include "workbench/gridtools.h"

#include "app/mdimain.h"
#include "common/general.h"
#include "platform/ui/scripted.h"
#include "workbench/datacontrol.h"
#include "workbench/frmdataform.h"
#include "workbench/gridmodel.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTableView>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace general;

namespace {

class GridTools : public ::testing::Test {
protected:
    void SetUp() override
    {
        setProgramFolder(dir.path());
        gstrWorkDBPath = dir.filePath(QStringLiteral("sysfls.sys"));
        db = jet::Database::open(gstrWorkDBPath, true);
        gblnNewImport = true;
        gintFileOpen = 0;
        gstrImportType = QStringLiteral("txt");
        gstrSourceFile = gstrFileName = dir.filePath(QStringLiteral("list.csv"));
        gstrFilter.clear();
        gstrSortOrder.clear();
        gstrReplaceFind.clear();
        MDIMain::instance();   // the commands must exist before the workbench connects to them
    }

    void TearDown() override
    {
        for (QDialog* d : std::initializer_list<QDialog*>{frmFilter::loaded(), frmFind::loaded(), frmReplace::loaded()})
            if (d)
                d->close();
        if (frmdataform::loaded()) {
            gblnNewImport = true;
            frmdataform::unload();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        db.close();
        setProgramFolder(QString());
        gstrWorkDBPath.clear();
    }

    /// Last (text), Street (text), Amount (double), Joined (date), with a Null Last on row 5.
    frmdataform& openList()
    {
        db.execute(QStringLiteral("CREATE TABLE tblData ([Last] TEXT(50), [Street] TEXT(50), [Amount] DOUBLE, [Joined] DATETIME)"));
        const char* rows[] = {
            "\"Robert\", \"First Street\", 10, #1/2/2020#",
            "\"Johnson\", \"Main st\", 11, #1/3/2020#",
            "\"Smith\", \"Oak Road\", 12, #1/2/2020#",
            "\"Rupert\", \"Stone Street\", 13, #1/4/2020#",
            "\"Anderson\", Null, 14, #1/5/2020#",
            "Null, \"Mist Lane\", 15, Null",
        };
        for (const char* r : rows)
            db.execute(QStringLiteral("INSERT INTO tblData VALUES (%1)").arg(QLatin1String(r)));
        frmdataform& f = frmdataform::instance();
        EXPECT_EQ(frmdataform::loaded(), &f);
        return f;
    }

    void goTo(frmdataform& f, int row, int column) { f.DBGridData->setCurrentIndex(f.gridModel()->index(row, column)); }

    QStringList column(const QString& name)
    {
        QStringList out;
        auto rs = db.openRecordset(QStringLiteral("SELECT [%1] FROM tblData ORDER BY [LumacorPrimK]").arg(name));
        for (; !rs->eof(); rs->moveNext())
            out << (rs->value(0).isNull() ? QStringLiteral("<null>") : rs->value(0).toString());
        return out;
    }

    static QList<int> selectedRows(const frmdataform& f)
    {
        QList<int> out;
        for (const QModelIndex& i : f.DBGridData->selectionModel()->selectedRows())
            out << i.row();
        std::sort(out.begin(), out.end());
        return out;
    }

    static void press(QWidget* w, int key)
    {
        QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &e);
    }

    static void trigger(const char* name) { MDIMain::instance().command(QString::fromLatin1(name))->trigger(); }

    QTemporaryDir dir;
    jet::Database db;
    ui::ScriptedHandler ui{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
};

} // namespace

TEST_F(GridTools, FilterDialogFiltersOnTheCurrentColumnAndStaysOpen)
{
    frmdataform& f = openList();
    goTo(f, 1, 0);
    trigger("mnufilter");
    frmFilter* d = frmFilter::loaded();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->windowTitle(), QStringLiteral("Filter on: Last"));
    EXPECT_EQ(d->txtFilter->text(), QStringLiteral("Johnson"));
    EXPECT_EQ(d->windowModality(), Qt::ApplicationModal);

    const struct { int column; const char* text; const char* filter; int rows; } cases[] = {
        {0, "*son", "[Last] LIKE \"*son\" ", 2},
        {0, "", "[Last] IS NULL OR [Last]=\"\" ", 1},
        {2, "12", "[Amount]=12 ", 1},
        {3, "1/2/2020", "[Joined]=#01/02/2020 00:00:00# ", 2},
    };
    for (const auto& c : cases) {
        MDIMain::instance().refreshgrids();
        goTo(f, 0, c.column);
        d->txtFilter->setText(QString::fromUtf8(c.text));
        press(d->txtFilter, Qt::Key_Return);
        EXPECT_EQ(gstrFilter, QString::fromUtf8(c.filter));
        EXPECT_EQ(f.gridModel()->rowCount() - (f.gridModel()->allowAddNew() ? 1 : 0), c.rows) << c.text;
        EXPECT_EQ(glngTotalRecords, c.rows);
        EXPECT_TRUE(d->isVisible());
    }

    // The filter look switches the pop-up's items; Filter Off puts them back.
    for (const char* off : {"mnufind", "mnureplace", "mnufilter"})
        EXPECT_FALSE(frmbitmaps::item(QString::fromLatin1(off))->isEnabled()) << off;
    EXPECT_TRUE(frmbitmaps::item(QStringLiteral("mnurefresh"))->isEnabled());
    frmbitmaps::item(QStringLiteral("mnurefresh"))->trigger();
    EXPECT_EQ(gstrFilter, QString());
    EXPECT_EQ(glngTotalRecords, 6);
    for (const char* on : {"mnufind", "mnureplace", "mnufilter", "mnuascending", "mnudescending"})
        EXPECT_TRUE(frmbitmaps::item(QString::fromLatin1(on))->isEnabled()) << on;
    EXPECT_FALSE(frmbitmaps::item(QStringLiteral("mnurefresh"))->isEnabled());

    // Esc closes without filtering.
    d->txtFilter->setText(QStringLiteral("Smith"));
    press(d->txtFilter, Qt::Key_Escape);
    EXPECT_EQ(gstrFilter, QString());
    EXPECT_FALSE(d->isVisible());
}

TEST_F(GridTools, PopupMenuHoldsItsItemsInOrderAndOpensDialogsOnTheCell)
{
    frmdataform& f = openList();
    QStringList captions;
    for (QAction* a : frmbitmaps::test2()->actions())
        captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(captions, QStringList({"Cut", "Copy", "Paste", "-", "Sort Ascending", "Sort Descending", "-", "Find",
                                     "Replace", "Filter", "-", "&Delete Row", "-", "Spelling...", "Spelling Manager",
                                     "-", "Move First Record", "Move Last Record", "-", "Filter Off"}));

    goTo(f, 2, 1);
    frmbitmaps::item(QStringLiteral("mnufind"))->trigger();
    ASSERT_TRUE(frmFind::loaded());
    EXPECT_EQ(frmFind::loaded()->windowTitle(), QStringLiteral("Find on: Street"));
    EXPECT_EQ(frmFind::loaded()->txtsearch->text(), QStringLiteral("Oak Road"));
    EXPECT_EQ(frmFind::loaded()->windowModality(), Qt::NonModal);
    frmbitmaps::item(QStringLiteral("mnufilter"))->trigger();
    EXPECT_EQ(frmFilter::loaded()->txtFilter->text(), QStringLiteral("Oak Road"));
    goTo(f, 3, 1);
    frmbitmaps::item(QStringLiteral("mnufilter"))->trigger();   // the open dialog takes the new cell
    EXPECT_EQ(frmFilter::loaded()->txtFilter->text(), QStringLiteral("Stone Street"));

    frmbitmaps::item(QStringLiteral("mnudescending"))->trigger();
    EXPECT_EQ(gstrSortOrder, QStringLiteral(" [Street] DESC "));
    EXPECT_EQ(f.gridModel()->data(f.gridModel()->index(0, 1)).toString(), QStringLiteral("Stone Street"));
}

TEST_F(GridTools, FindSelectsEachHitInTurn)
{
    frmdataform& f = openList();
    goTo(f, 0, 0);
    trigger("mnufind");
    frmFind* d = frmFind::loaded();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->windowTitle(), QStringLiteral("Find on: Last"));
    EXPECT_EQ(d->matchtype->currentText(), QStringLiteral("Any Part"));

    d->txtsearch->setText(QStringLiteral("son"));
    press(d->txtsearch, Qt::Key_Return);
    EXPECT_EQ(selectedRows(f), QList<int>({1}));
    d->cmdfind_Click();
    EXPECT_EQ(selectedRows(f), QList<int>({1, 4}));
    ui.answerMessage(ui::vbOK, QStringLiteral("No Matches Found"));
    d->cmdfind_Click();
    EXPECT_EQ(ui.shown().last().style, ui::vbExclamation | ui::vbOKOnly);

    // Up from the last hit, whole-cell matching.
    d->matchtype->setCurrentText(QStringLiteral("Exact Match"));
    d->cmbdirection->setCurrentText(QStringLiteral("Up"));
    d->txtsearch->setText(QStringLiteral("robert"));
    goTo(f, 4, 0);
    d->cmdfind_Click();
    EXPECT_EQ(f.DBGridData->currentIndex().row(), 0);

    // A match text that is none of the modes does nothing.
    d->matchtype->setCurrentText(QStringLiteral("Whole"));
    d->cmdfind_Click();
    EXPECT_EQ(ui.pendingAnswers(), 0);

    // Esc hides the dialog and empties the text; it stays loaded.
    press(d->txtsearch, Qt::Key_Escape);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(frmFind::loaded(), d);
    EXPECT_EQ(d->txtsearch->text(), QString());
}

TEST_F(GridTools, SoundsLikeScansFromTheCurrentRecord)
{
    frmdataform& f = openList();
    frmFind& d = frmFind::instance();
    d.chksoundslike->setChecked(true);
    d.matchtype->setCurrentText(QStringLiteral("Whole"));   // irrelevant once Sounds Like is on

    goTo(f, 0, 0);
    d.txtsearch->setText(QStringLiteral("Rupert"));
    d.cmdfind_Click();   // the current record itself is the first compared
    EXPECT_EQ(selectedRows(f), QList<int>({0}));
    EXPECT_EQ(f.Data1->Recordset()->absolutePosition(), 1);
    d.cmdfind_Click();
    EXPECT_EQ(selectedRows(f), QList<int>({0, 3}));
    ui.answerMessage(ui::vbOK, QStringLiteral("No More Matches"));
    d.cmdfind_Click();

    d.cmbdirection->setCurrentText(QStringLiteral("Up"));
    d.txtsearch->setText(QStringLiteral("Smyth"));
    goTo(f, 5, 0);   // a Null first read keeps the empty text, which does not sound like Smyth
    d.cmdfind_Click();
    EXPECT_TRUE(selectedRows(f).contains(2));
    ui.answerMessage(ui::vbOK, QStringLiteral("No Matches"));
    d.cmdfind_Click();
    EXPECT_TRUE(f.Data1->Recordset()->bof());
}

TEST_F(GridTools, ReplaceInTheCellAndInTheWholeColumn)
{
    frmdataform& f = openList();
    goTo(f, 0, 1);
    trigger("mnureplace");
    frmReplace* d = frmReplace::loaded();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->windowTitle(), QStringLiteral("Replace on: Street"));
    EXPECT_EQ(d->txtsearch->text(), QStringLiteral("First Street"));

    d->txtsearch->setText(QStringLiteral("st"));
    d->txtNew->setText(QStringLiteral("ST"));
    d->cmdreplace_Click();
    EXPECT_EQ(column(QStringLiteral("Street")).first(), QStringLiteral("FirST STreet"));
    EXPECT_EQ(f.DBGridData->currentIndex(), f.gridModel()->index(0, 1));

    // The whole text column in one go; Null stays Null, the rest of each cell is kept.
    d->txtsearch->setText(QStringLiteral("ST"));
    d->txtNew->setText(QStringLiteral("s-t"));
    ui.answerMessage(ui::vbOK, QStringLiteral("Complete"));
    d->cmdReplaceAll_Click();
    EXPECT_EQ(column(QStringLiteral("Street")),
              QStringList({"Firs-t s-treet", "Main s-t", "Oak Road", "s-tone s-treet", "<null>", "Mis-t Lane"}));
    EXPECT_EQ(f.gridModel()->data(f.gridModel()->index(1, 1)).toString(), QStringLiteral("Main s-t"));
    EXPECT_FALSE(d->lblreplacewait->isVisible());

    // An empty replacement removes every occurrence; a numeric column goes through the grid.
    goTo(f, 0, 2);
    d->txtsearch->setText(QStringLiteral("1"));
    d->txtNew->setText(QStringLiteral("2"));
    ui.answerMessage(ui::vbOK, QStringLiteral("Complete"));
    d->cmdReplaceAll_Click();
    EXPECT_EQ(column(QStringLiteral("Amount")), QStringList({"20", "22", "22", "23", "24", "25"}));
    EXPECT_EQ(f.Data1->Recordset()->absolutePosition(), 0);

    // Find Next looks for whole cells, downwards.
    goTo(f, 0, 0);
    d->txtsearch->setText(QStringLiteral("smith"));
    d->Command2_Click();
    EXPECT_EQ(selectedRows(f), QList<int>({2}));
    ui.answerMessage(ui::vbOK, QStringLiteral("No Matches Found"));
    d->Command2_Click();
}

TEST_F(GridTools, ReplaceAllKeepsToTheFilteredRows)
{
    frmdataform& f = openList();
    gstrFilter = QStringLiteral("[Amount] < 12 ");
    MDIMain::instance().Refresh_DataTbl();
    MDIMain::instance().FilterON();
    goTo(f, 0, 1);
    frmReplace& d = frmReplace::instance();
    d.txtsearch->setText(QStringLiteral("street"));
    d.txtNew->setText(QStringLiteral("Rd"));
    ui.answerMessage(ui::vbOK, QStringLiteral("Complete"));
    d.cmdReplaceAll_Click();
    EXPECT_EQ(column(QStringLiteral("Street")),
              QStringList({"First Rd", "Main st", "Oak Road", "Stone Street", "<null>", "Mist Lane"}));
}

// Replace All changes only what it finds: half a surrogate pair and a
// leading mark elsewhere in the cell stay as they were.
TEST_F(GridTools, ReplaceAllKeepsEveryOtherCharacter)
{
    frmdataform& f = openList();
    const QString half = QString(QChar(0xD83D));
    {
        auto rs = db.openRecordset(QStringLiteral("SELECT [Street] FROM tblData WHERE [Street]=\"Main st\""), jet::dbOpenDynaset);
        ASSERT_FALSE(rs->eof());
        rs->edit();
        rs->setValue(0, jet::Value(QStringLiteral("\uFFFEMain st ") + half));
        rs->update();
    }
    MDIMain::instance().Refresh_DataTbl();
    goTo(f, 0, 1);
    frmReplace& d = frmReplace::instance();
    d.txtsearch->setText(QStringLiteral("st"));
    d.txtNew->setText(QStringLiteral("s-t"));
    ui.answerMessage(ui::vbOK, QStringLiteral("Complete"));
    d.cmdReplaceAll_Click();
    EXPECT_EQ(column(QStringLiteral("Street"))[1].toStdU16String(), (QStringLiteral("\uFFFEMain s-t ") + half).toStdU16String());
}

TEST_F(GridTools, FindHandsItsTextToReplace)
{
    frmdataform& f = openList();
    goTo(f, 0, 1);
    frmFind& find = frmFind::instance();
    find.txtsearch->setText(QStringLiteral("Road"));
    find.cmdfilter_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(gstrReplaceFind, QStringLiteral("Road"));
    EXPECT_EQ(frmFind::loaded(), nullptr);
    ASSERT_TRUE(frmReplace::loaded());
    EXPECT_EQ(frmReplace::loaded()->txtsearch->text(), QStringLiteral("Road"));
    EXPECT_EQ(frmReplace::loaded()->windowTitle(), QStringLiteral("Replace on: Street"));
}

TEST_F(GridTools, ClipboardMovesTheCellTextTrimmedOfSpaces)
{
    frmdataform& f = openList();
    auto* m = f.gridModel();
    m->setData(m->index(0, 0), QStringLiteral("  Ann\tLee "));
    goTo(f, 0, 0);
    trigger("mnucopy");
    EXPECT_EQ(ui.clipboard(), QStringLiteral("Ann\tLee"));
    goTo(f, 1, 0);
    trigger("mnuPaste");
    EXPECT_EQ(column(QStringLiteral("Last"))[1], QStringLiteral("Ann\tLee"));

    // Cut of a Null cell leaves an empty clipboard; Paste of it empties the target.
    goTo(f, 5, 0);
    trigger("mnucut");
    EXPECT_EQ(ui.clipboard(), QString());
    goTo(f, 2, 0);
    frmbitmaps::item(QStringLiteral("mnuPaste"))->trigger();
    EXPECT_EQ(column(QStringLiteral("Last"))[2], QStringLiteral("<null>"));

    // Cut and Paste back: the cell loses its outer blanks only.
    goTo(f, 0, 0);
    trigger("mnucut");
    EXPECT_EQ(column(QStringLiteral("Last"))[0], QStringLiteral("<null>"));
    trigger("mnuPaste");
    EXPECT_EQ(column(QStringLiteral("Last"))[0], QStringLiteral("Ann\tLee"));
}

TEST_F(GridTools, DeleteRowTakesOneRecordUntilTheGridMoves)
{
    frmdataform& f = openList();
    goTo(f, 1, 0);
    trigger("delrow");
    trigger("delrow");   // no move in between: no current record
    EXPECT_EQ(column(QStringLiteral("Last")), QStringList({"Robert", "Smith", "Rupert", "Anderson", "<null>"}));
    // The status bar's total follows at once.
    EXPECT_EQ(glngTotalRecords, 5);
    EXPECT_TRUE(MDIMain::instance().panelText(1).startsWith(QStringLiteral("Total Records = 5 ")))
        << MDIMain::instance().panelText(1).toStdString();
    goTo(f, 0, 0);
    frmbitmaps::item(QStringLiteral("delrow"))->trigger();
    EXPECT_EQ(column(QStringLiteral("Last")), QStringList({"Smith", "Rupert", "Anderson", "<null>"}));
    EXPECT_TRUE(ui.shown().isEmpty());
}

// Numbers of 16 and 17 digits: the pop-up's Filter starts with every digit of
// the cell and finds its row; a typed number goes in as the number read.
TEST_F(GridTools, FilterFindsNumbersByEveryDigitAndReadsTypedNumbers)
{
    frmdataform& f = openList();
    db.execute(QStringLiteral("UPDATE tblData SET Amount=1234567890123456 WHERE [Last]=\"Smith\""));
    db.execute(QStringLiteral("UPDATE tblData SET Amount=0.30000000000000004 WHERE [Last]=\"Rupert\""));
    db.execute(QStringLiteral("UPDATE tblData SET Amount=1000 WHERE [Last]=\"Johnson\""));
    MDIMain::instance().refreshgrids();
    const struct { int row; const char* prefilled; } cells[] = {
        {2, "1234567890123456"},
        {3, "0.30000000000000004"},
    };
    for (const auto& c : cells) {
        MDIMain::instance().refreshgrids();
        goTo(f, c.row, 2);
        frmbitmaps::item(QStringLiteral("mnufilter"))->trigger();
        frmFilter* d = frmFilter::loaded();
        ASSERT_TRUE(d);
        EXPECT_EQ(d->txtFilter->text(), QString::fromLatin1(c.prefilled));
        press(d->txtFilter, Qt::Key_Return);
        EXPECT_EQ(glngTotalRecords, 1) << c.prefilled;
    }

    // Find compares the text the grid shows, and starts with it.
    MDIMain::instance().refreshgrids();
    goTo(f, 2, 2);
    frmbitmaps::item(QStringLiteral("mnufind"))->trigger();
    ASSERT_TRUE(frmFind::loaded());
    EXPECT_EQ(frmFind::loaded()->txtsearch->text(), QStringLiteral("1.23456789012346E+15"));
    goTo(f, 0, 2);
    frmFind::loaded()->cmdfind_Click();
    EXPECT_EQ(selectedRows(f), QList<int>({2}));
    frmFind::loaded()->close();

    const struct { const char* typed; const char* filter; int rows; } typed[] = {
        {"1,000", "[Amount]=1000 ", 1},
        {" 1e3 ", "[Amount]=1000 ", 1},
        {"inf", "[Amount] LIKE \"inf\" ", 0},
        {"1e999", "[Amount] LIKE \"1e999\" ", 0},
    };
    frmFilter* d = frmFilter::loaded();
    for (const auto& t : typed) {
        MDIMain::instance().refreshgrids();
        goTo(f, 0, 2);
        d->txtFilter->setText(QString::fromLatin1(t.typed));
        press(d->txtFilter, Qt::Key_Return);
        EXPECT_EQ(gstrFilter, QString::fromLatin1(t.filter));
        EXPECT_EQ(glngTotalRecords, t.rows) << t.typed;
    }
}

// A header click names another column than the current cell's: Find, Replace
// and Filter name that column and act on it.
TEST_F(GridTools, DialogsActOnTheColumnTheirCaptionNames)
{
    frmdataform& f = openList();
    const auto headerClick = [&f](int column) {
        QHeaderView* h = f.DBGridData->horizontalHeader();
        const QPointF at(h->sectionViewportPosition(column) + h->sectionSize(column) / 2, 2);
        QMouseEvent release(QEvent::MouseButtonRelease, at, h->viewport()->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(h->viewport(), &release);
    };
    goTo(f, 0, 0);   // Last
    headerClick(1);  // Street
    ASSERT_EQ(gstrCurColumn, QStringLiteral("Street"));
    trigger("mnureplace");
    frmReplace* r = frmReplace::loaded();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->windowTitle(), QStringLiteral("Replace on: Street"));
    EXPECT_EQ(r->txtsearch->text(), QStringLiteral("First Street"));
    r->txtsearch->setText(QStringLiteral("r"));
    r->txtNew->setText(QStringLiteral("R"));
    ui.answerMessage(ui::vbOK, QStringLiteral("Complete"));
    r->cmdReplaceAll_Click();
    EXPECT_EQ(column(QStringLiteral("Last")), QStringList({"Robert", "Johnson", "Smith", "Rupert", "Anderson", "<null>"}));
    EXPECT_EQ(column(QStringLiteral("Street")).first(), QStringLiteral("FiRst StReet"));
    r->close();

    goTo(f, 1, 0);
    headerClick(2);  // Amount
    trigger("mnufilter");
    frmFilter* d = frmFilter::loaded();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->windowTitle(), QStringLiteral("Filter on: Amount"));
    d->txtFilter->setText(QStringLiteral("14"));
    press(d->txtFilter, Qt::Key_Return);
    EXPECT_EQ(gstrFilter, QStringLiteral("[Amount]=14 "));
    EXPECT_EQ(glngTotalRecords, 1);
    d->close();
    MDIMain::instance().refreshgrids();

    goTo(f, 0, 1);
    headerClick(0);  // Last
    trigger("mnufind");
    frmFind* find = frmFind::loaded();
    ASSERT_TRUE(find);
    EXPECT_EQ(find->windowTitle(), QStringLiteral("Find on: Last"));
    find->txtsearch->setText(QStringLiteral("Smith"));
    find->matchtype->setCurrentText(QStringLiteral("Exact Match"));
    find->cmdfind_Click();
    EXPECT_EQ(selectedRows(f), QList<int>({2}));
}

// Replace All on a number column: the values the column refuses are counted
// in one message, the others are replaced, and nothing claims "Complete".
TEST_F(GridTools, ReplaceAllOnANumberColumnCountsTheRefusedValues)
{
    frmdataform& f = openList();
    goTo(f, 0, 2);
    trigger("mnureplace");
    frmReplace* d = frmReplace::loaded();
    ASSERT_TRUE(d);
    d->txtsearch->setText(QStringLiteral("1"));
    d->txtNew->setText(QStringLiteral("x"));
    // 10 to 15: the five that start with 1 and are not 11 become "x0".."x5";
    // 11 becomes "xx". None is a number.
    ui.answerMessage(ui::vbOK, QStringLiteral("6 values could not be replaced: the column cannot hold the new text."));
    d->cmdReplaceAll_Click();
    EXPECT_EQ(ui.shown().size(), 1);
    EXPECT_EQ(column(QStringLiteral("Amount")), QStringList({"10", "11", "12", "13", "14", "15"}));

    d->txtsearch->setText(QStringLiteral("2"));
    d->txtNew->setText(QStringLiteral(".5"));
    ui.answerMessage(ui::vbOK, QStringLiteral("Complete"));
    d->cmdReplaceAll_Click();
    EXPECT_EQ(column(QStringLiteral("Amount")), QStringList({"10", "11", "1.5", "13", "14", "15"}));

    // A date column: the dates as the grid shows them; Null stays Null.
    MDIMain::instance().refreshgrids();
    goTo(f, 0, 3);
    d->close();
    trigger("mnureplace");
    d = frmReplace::loaded();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->windowTitle(), QStringLiteral("Replace on: Joined"));
    d->txtsearch->setText(QStringLiteral("/2020"));
    d->txtNew->setText(QStringLiteral("/2021"));
    ui.answerMessage(ui::vbOK, QStringLiteral("Complete"));
    d->cmdReplaceAll_Click();
    EXPECT_EQ(column(QStringLiteral("Joined")),
              QStringList({"1/2/2021", "1/3/2021", "1/2/2021", "1/4/2021", "1/5/2021", "<null>"}));
    d->txtsearch->setText(QStringLiteral("1/2/"));
    d->txtNew->setText(QStringLiteral("13/2/"));
    ui.answerMessage(ui::vbOK, QStringLiteral("2 values could not be replaced: the column cannot hold the new text."));
    d->cmdReplaceAll_Click();
    EXPECT_EQ(column(QStringLiteral("Joined")).first(), QStringLiteral("1/2/2021"));
}
