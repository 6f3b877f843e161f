#include "workbench/gridsplits.h"

#include "app/mdimain.h"
#include "common/general.h"
#include "platform/jet/connection.h"
#include "support/workbench_fixture.h"
#include "workbench/datacontrol.h"
#include "workbench/gridmodel.h"
#include "workbench/spelling.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QTabBar>
#include <QTableView>
#include <QTest>

#include <sqlite3.h>

using namespace general;

namespace {

class GridSplitsTest : public testsupport::WorkbenchFixture {
protected:
    void TearDown() override
    {
        if (frmSpellChecker* c = frmSpellChecker::loaded())
            c->unload();
        WorkbenchFixture::TearDown();
    }

    /// rows rows of six text columns C1..C6, value "r<row>c<column>", made in one statement.
    frmdataform& openList(long rows)
    {
        db.execute(QStringLiteral("CREATE TABLE tblData ([C1] TEXT(20), [C2] TEXT(20), [C3] TEXT(20), [C4] TEXT(20), "
                                  "[C5] TEXT(20), [C6] TEXT(20))"));
        const QByteArray fill = QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
            "INSERT INTO tblData SELECT 'r'||i||'c1', 'r'||i||'c2', 'r'||i||'c3', 'r'||i||'c4', 'r'||i||'c5', "
            "'r'||i||'c6' FROM n").arg(rows).toUtf8();
        EXPECT_EQ(sqlite3_exec(db.connection().handle(), fill.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        frmdataform& f = frmdataform::instance();
        EXPECT_EQ(frmdataform::loaded(), &f);
        MDIMain& m = MDIMain::instance();
        m.resize(1200, 900);
        m.showWorkbench();
        m.show();
        QCoreApplication::processEvents();
        return f;
    }

    static void trigger(const char* name) { MDIMain::instance().command(QString::fromLatin1(name))->trigger(); }
    static workbench::GridSplits& splits(frmdataform& f)
    {
        workbench::GridSplits* s = workbench::GridSplits::of(f);
        EXPECT_NE(s, nullptr);
        return *s;
    }
    /// The first and last rows a view shows.
    static std::pair<int, int> shownRows(QTableView* v)
    {
        return {v->rowAt(0), v->rowAt(v->viewport()->height() - 1)};
    }
};

} // namespace

TEST_F(GridSplitsTest, RemoveSplitsWithNoneAddedDoesNothing)
{
    frmdataform& f = openList(20);
    trigger("mnuRemoveSplit");
    EXPECT_EQ(splits(f).count(), 0);
    EXPECT_EQ(splits(f).splitter()->count(), 1);
    EXPECT_TRUE(f.DBGridData->isVisible());
    EXPECT_TRUE(ui.shown().isEmpty());
}

TEST_F(GridSplitsTest, ASplitIsASecondViewOfTheSameGrid)
{
    frmdataform& f = openList(200);
    trigger("mnuSpli");
    QCoreApplication::processEvents();
    ASSERT_EQ(splits(f).count(), 1);
    QTableView* split = splits(f).split(1);
    EXPECT_TRUE(split->isVisible());
    EXPECT_EQ(split->model(), f.DBGridData->model());
    EXPECT_EQ(split->selectionModel(), f.DBGridData->selectionModel());
    EXPECT_GT(split->x(), f.DBGridData->x());   // side by side, the split to the right

    // Up and down together, either way; across each on its own.
    f.DBGridData->verticalScrollBar()->setValue(40);
    EXPECT_EQ(split->verticalScrollBar()->value(), 40);
    EXPECT_EQ(shownRows(split).first, shownRows(f.DBGridData).first);
    split->verticalScrollBar()->setValue(90);
    EXPECT_EQ(f.DBGridData->verticalScrollBar()->value(), 90);
    EXPECT_EQ(f.DBGridData->rowAt(0), 90);
    split->horizontalScrollBar()->setValue(split->horizontalScrollBar()->maximum());
    EXPECT_EQ(f.DBGridData->horizontalScrollBar()->value(), 0);

    // The cell the user moves to in the split is the grid's current cell,
    // and the commands take their row and column from it.
    split->setFocus();
    split->setCurrentIndex(f.gridModel()->index(95, 4));
    EXPECT_EQ(f.DBGridData->currentIndex(), f.gridModel()->index(95, 4));
    EXPECT_EQ(gintCurCol, 4);
    EXPECT_EQ(gstrCurColumn, QStringLiteral("C5"));
    EXPECT_EQ(glngCurRow, 96);
    EXPECT_EQ(f.Data1->Recordset()->value(4).toString(), QStringLiteral("r96c5"));
    EXPECT_EQ(f.DBGridData->horizontalScrollBar()->value(), 0);   // the first view keeps its columns
    // A header click in the split names its column, and moves no cell.
    QHeaderView* head = split->horizontalHeader();
    QTest::mouseClick(head->viewport(), Qt::LeftButton, {},
                      QPoint(head->sectionViewportPosition(5) + 5, head->height() / 2));
    EXPECT_EQ(gstrCurColumn, QStringLiteral("C6"));
    EXPECT_EQ(gintCurCol, 4);
    split->setCurrentIndex(f.gridModel()->index(95, 4));
    EXPECT_EQ(gstrCurColumn, QStringLiteral("C6"));   // the same cell again: the header's column stays
    split->setCurrentIndex(f.gridModel()->index(96, 4));
    split->setCurrentIndex(f.gridModel()->index(95, 4));
    EXPECT_EQ(gstrCurColumn, QStringLiteral("C5"));
    QDir().mkpath(dir.filePath(QStringLiteral("Settings")));
    QFile dict(dir.filePath(QStringLiteral("Settings/dict.dic")));
    ASSERT_TRUE(dict.open(QIODevice::WriteOnly));
    dict.close();
    trigger("mnuspell");
    ASSERT_NE(frmSpellChecker::loaded(), nullptr);
    EXPECT_EQ(frmSpellChecker::loaded()->windowTitle(), QStringLiteral("Spelling Checker on: C5"));
    EXPECT_EQ(frmSpellChecker::loaded()->txtspell->text(), QStringLiteral("r96c5"));
    frmSpellChecker::loaded()->unload();

    // An edit in the split is an edit of the list.
    ASSERT_TRUE(split->model()->setData(f.gridModel()->index(95, 4), QStringLiteral("changed")));
    EXPECT_EQ(f.DBGridData->model()->data(f.gridModel()->index(95, 4)).toString(), QStringLiteral("changed"));
    auto rs = db.openRecordset(QStringLiteral("SELECT [C5] FROM tblData WHERE [C1] = 'r96c1'"));
    EXPECT_EQ(rs->value(0).toString(), QStringLiteral("changed"));

    // What is being typed in a split is stored before the list is read again.
    split->setCurrentIndex(f.gridModel()->index(10, 1));
    split->edit(f.gridModel()->index(10, 1));
    auto* editor = qobject_cast<QLineEdit*>(split->indexWidget(f.gridModel()->index(10, 1)));
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("typed"));
    MDIMain::instance().Refresh_DataTbl();
    rs = db.openRecordset(QStringLiteral("SELECT [C2] FROM tblData WHERE [C1] = 'r11c1'"));
    EXPECT_EQ(rs->value(0).toString(), QStringLiteral("typed"));

    // The filter's colour reaches the split; a tool page hides the splits with the grid.
    MDIMain::instance().FilterON();
    EXPECT_EQ(split->palette().color(QPalette::Base), f.DBGridData->palette().color(QPalette::Base));
    MDIMain::instance().FilterOFF();
    f.tab1->setCurrentIndex(1);
    EXPECT_FALSE(split->isVisible());
    EXPECT_FALSE(f.DBGridData->isVisible());
    f.tab1->setCurrentIndex(0);
    EXPECT_TRUE(split->isVisible());
    EXPECT_TRUE(f.DBGridData->isVisible());

    // A second split comes at position 1; Remove Splits takes position 1 away each time.
    trigger("mnuSpli");
    ASSERT_EQ(splits(f).count(), 2);
    QTableView* second = splits(f).split(1);
    EXPECT_NE(second, split);
    EXPECT_EQ(splits(f).splitter()->widget(1), second);
    EXPECT_EQ(splits(f).splitter()->widget(2), split);
    // What is being typed in the split that goes is stored first.
    second->setCurrentIndex(f.gridModel()->index(12, 1));
    second->edit(f.gridModel()->index(12, 1));
    auto* typing = qobject_cast<QLineEdit*>(second->indexWidget(f.gridModel()->index(12, 1)));
    ASSERT_NE(typing, nullptr);
    typing->setText(QStringLiteral("typed before removal"));
    trigger("mnuRemoveSplit");
    rs = db.openRecordset(QStringLiteral("SELECT [C2] FROM tblData WHERE [C1] = 'r13c1'"));
    EXPECT_EQ(rs->value(0).toString(), QStringLiteral("typed before removal"));
    EXPECT_EQ(splits(f).count(), 1);
    EXPECT_EQ(splits(f).split(1), split);
    trigger("mnuRemoveSplit");
    EXPECT_EQ(splits(f).count(), 0);
    EXPECT_EQ(splits(f).splitter()->count(), 1);
    trigger("mnuRemoveSplit");
    EXPECT_EQ(splits(f).count(), 0);
    EXPECT_EQ(f.DBGridData->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_TRUE(f.DBGridData->hasAutoScroll());
    EXPECT_TRUE(ui.shown().isEmpty());
}

TEST_F(GridSplitsTest, BothViewsStayRightOnAMillionRows)
{
    constexpr long kRows = 1000000;
    frmdataform& f = openList(kRows);
    trigger("mnuSpli");
    QCoreApplication::processEvents();
    QTableView* split = splits(f).split(1);
    ASSERT_NE(split, nullptr);
    EXPECT_EQ(split->model()->rowCount(), f.DBGridData->model()->rowCount());

    trigger("mnulast");   // Records > Move Last Record
    QCoreApplication::processEvents();
    EXPECT_EQ(f.Data1->Recordset()->absolutePosition(), kRows - 1);
    EXPECT_EQ(split->verticalScrollBar()->value(), f.DBGridData->verticalScrollBar()->value());
    const auto [top, bottom] = shownRows(split);
    EXPECT_EQ(top, shownRows(f.DBGridData).first);
    EXPECT_GE(bottom, kRows - 2);   // the last record (the add row may be below it)
    EXPECT_EQ(split->model()->data(split->model()->index(int(kRows - 1), 5)).toString(), QStringLiteral("r1000000c6"));

    // Half way down through the split: both views show the same rows.
    split->verticalScrollBar()->setValue(int(kRows / 2));
    QCoreApplication::processEvents();
    EXPECT_EQ(f.DBGridData->rowAt(0), int(kRows / 2));
    EXPECT_EQ(split->rowAt(0), int(kRows / 2));
    EXPECT_EQ(split->model()->data(split->model()->index(int(kRows / 2), 2)).toString(), QStringLiteral("r500001c3"));
}
