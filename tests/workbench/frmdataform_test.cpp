#include "workbench/frmdataform.h"

#include "app/mdimain.h"
#include "common/general.h"
#include "platform/jet/error.h"
#include "platform/ui/scripted.h"
#include "workbench/datacontrol.h"
#include "workbench/gridmodel.h"

#include "support/workbench_fixture.h"

#include <QAbstractScrollArea>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QTreeWidget>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace general;

namespace {

const QString kQuestion = QStringLiteral("Do you want to export the changes you made to '%1'");

QStringList comboItems(const QComboBox* c)
{
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

QStringList gridColumn(const frmdataform& f, int column)
{
    QStringList out;
    const auto* m = f.gridModel();
    for (int r = 0; r < m->rowCount(); ++r)
        if (!m->isAddRow(r))
            out << m->data(m->index(r, column)).toString();
    return out;
}

/// Whether the main window already keeps its panel texts (it is being built beside this).
bool mainWindowHasPanels()
{
    MDIMain& m = MDIMain::instance();
    m.setPanelText(2, QStringLiteral("probe"));
    return m.panelText(2) == QLatin1String("probe");
}

class Workbench : public testsupport::WorkbenchFixture {
protected:
    /// Name, City, Amount, Joined, Notes, Code with rows of five cities.
    void makeSampleList()
    {
        db.execute(QStringLiteral("CREATE TABLE tblData ([Name] TEXT(50), [City] TEXT(50), [Amount] DOUBLE, "
                                  "[Joined] DATETIME, [Notes] LONGTEXT, [Code] LONG)"));
        const char* cities[] = {"Paris", "Lyon", "Paris", "Nice", "Brest", "Paris", "Lyon", "Dijon"};
        for (int i = 0; i < 8; ++i)
            db.execute(QStringLiteral("INSERT INTO tblData VALUES (\"Name%1\", \"%2\", %3, #1/%4/2020#, \"note\", %5)")
                           .arg(i)
                           .arg(QLatin1String(cities[i]))
                           .arg(10 - i)
                           .arg(i + 1)
                           .arg(100 + i));
    }

    frmdataform& openList()
    {
        frmdataform& f = frmdataform::instance();
        EXPECT_EQ(frmdataform::loaded(), &f);
        return f;
    }
};

} // namespace

TEST_F(Workbench, OpeningKeysTheListAndBindsTheGrid)
{
    makeSampleList();
    frmdataform& f = openList();

    const jet::TableDef t = db.tableDef(QStringLiteral("tblData"));
    ASSERT_EQ(t.fields.size(), 7u);
    EXPECT_EQ(t.fields.back().name, QStringLiteral("LumacorPrimK"));
    auto keys = db.openRecordset(QStringLiteral("SELECT [LumacorPrimK] FROM tblData"));
    for (long k = 1; !keys->eof(); ++k, keys->moveNext())
        EXPECT_EQ(keys->value(0).toLong(), k);

    EXPECT_EQ(gstrFieldList, QStringLiteral("[Name], [City], [Amount], [Joined], [Notes], [Code] "));
    EXPECT_EQ(f.Data1->RecordSource(), QStringLiteral("SELECT ") + gstrFieldList + QStringLiteral(" FROM tblData"));
    EXPECT_EQ(gintFileOpen, 1);
    EXPECT_FALSE(gblnNewImport);
    EXPECT_EQ(glngTotalRecords, 8);
    EXPECT_EQ(f.windowTitle(), gstrSourceFile);

    const QStringList all = {"Name", "City", "Amount", "Joined", "Notes", "Code"};
    EXPECT_EQ(comboItems(f.cmbColumn1), all);
    EXPECT_EQ(f.cmbColumn1->currentText(), QStringLiteral("Please Choose a Column"));
    EXPECT_EQ(comboItems(f.cmbColumn1A), all);
    EXPECT_EQ(comboItems(f.cmbColumn2), QStringList({"Name", "City", "Notes"}));
    EXPECT_EQ(comboItems(f.cmbSearchType), QStringList({"1 character difference", "missing character"}));
    EXPECT_EQ(f.cmbSearchType->currentText(), QStringLiteral("Please Choose"));
    EXPECT_EQ(f.lstLeft2->count(), 6);
    EXPECT_EQ(gstrFieldNames[1], QStringLiteral("Name"));
    EXPECT_EQ(gstrFieldNames[6], QStringLiteral("Code"));
    EXPECT_EQ(gstrFieldNames[7], QString());

    // The grid: every record, the key never a column, the first tab shown.
    const auto* m = f.gridModel();
    EXPECT_EQ(m->columnCount(), 6);
    EXPECT_EQ(m->headerData(5, Qt::Horizontal).toString(), QStringLiteral("Code"));
    EXPECT_EQ(gridColumn(f, 1), QStringList({"Paris", "Lyon", "Paris", "Nice", "Brest", "Paris", "Lyon", "Dijon"}));
    EXPECT_EQ(f.tab1->currentIndex(), 0);
    EXPECT_TRUE(f.DBGridData->isVisibleTo(&f));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("Settings/SpecChars.txt"))));
    EXPECT_TRUE(ui.shown().isEmpty());
}

TEST_F(Workbench, RefusedListsCloseWithTheirReason)
{
    struct Case { QString columns; QString message; };
    const std::vector<Case> cases = {
        {"[Name] TEXT(10), [count] TEXT(10)",
         "Column Name count is disallowed. Please change the column name and re-try importing"},
        {"[LUMACORPRIMK] LONG, [Name] TEXT(10)",
         "Column Name LUMACORPRIMK is disallowed. Please change the column name and re-try importing"},
        {"[Say \"\"hi\"\"] TEXT(10)",
         "Double quotation marks are not allowed in column names.\r\rImport cannot continue."},
    };
    for (const Case& c : cases) {
        db.execute(QStringLiteral("CREATE TABLE tblData (") + c.columns + QStringLiteral(")"));
        const size_t before = db.tableDef(QStringLiteral("tblData")).fields.size();
        ui.answerMessage(ui::vbOK, c.message);
        frmdataform::instance();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(frmdataform::loaded(), nullptr) << c.columns.toStdString();
        ASSERT_FALSE(ui.shown().isEmpty());
        EXPECT_EQ(ui.shown().last().style, ui::vbCritical) << c.columns.toStdString();
        EXPECT_EQ(db.tableDef(QStringLiteral("tblData")).fields.size(), before);   // no key appended
        EXPECT_EQ(gintFileOpen, 0);
        db.execute(QStringLiteral("DROP TABLE tblData"));   // the failed opening let go of it
    }
    EXPECT_EQ(ui.shown().size(), int(cases.size()));   // no export question after a refusal
}

TEST_F(Workbench, WorkTablesAreRebuiltAndCountryCodesStored)
{
    makeSampleList();
    db.execute(QStringLiteral("CREATE TABLE tblEMails (Junk TEXT(5))"));
    db.execute(QStringLiteral("INSERT INTO tblEMails VALUES (\"x\")"));
    db.execute(QStringLiteral("CREATE TABLE tblDupes_Min (LumacorPrimK LONG)"));
    db.execute(QStringLiteral("INSERT INTO tblDupes_Min VALUES (3)"));
    QDir(dir.path()).mkpath(QStringLiteral("Settings"));
    QFile cc(dir.filePath(QStringLiteral("Settings/ccTLDs.txt")));
    ASSERT_TRUE(cc.open(QIODevice::WriteOnly));
    cc.write("\"fr\",\"France\"\r\n\"\",\"\"\r\n\"FR\",\"again\"\r\n\"xyz\",\"bad\"\r\n\"de\",\"Germany\"\r\n");
    cc.close();
    QFile spec(dir.filePath(QStringLiteral("Settings/SpecChars.txt")));
    ASSERT_TRUE(spec.open(QIODevice::WriteOnly));
    spec.write("64,1\r\n64,1\r\n999,1\r\nbroken\r\n");
    spec.close();

    openList();

    const QStringList tables = {"tblSingle_Col_Filtered", "tblSingle_Col_NoFilter", "tblSpecSearch1", "tblSpecSearch1_Temp",
                                "tblCounts1", "tblDupes_Min", "tblDupes_Del", "tblEMails"};
    for (const QString& name : tables) {
        ASSERT_TRUE(TableExists(db, name)) << name.toStdString();
        EXPECT_EQ(db.openRecordset(name)->recordCount(), 0) << name.toStdString();
    }
    QStringList emailFields;
    for (const jet::FieldDef& fd : db.tableDef(QStringLiteral("tblEMails")).fields)
        emailFields << fd.name;
    EXPECT_EQ(emailFields, QStringList({"LumacorPrimK", "IsValid", "Account", "SubDomain", "Domain", "Country", "Suggest1",
                                        "Suggest2", "Suggest3", "Suggest4", "Suggest5"}));
    // Keys hold: a second row with the same pair is refused.
    db.execute(QStringLiteral("INSERT INTO tblSpecSearch1 (Column1, Column2) VALUES (\"a\", \"b\")"));
    EXPECT_THROW(db.execute(QStringLiteral("INSERT INTO tblSpecSearch1 (Column1, Column2) VALUES (\"a\", \"b\")")), jet::JetError);

    auto z = db.openRecordset(QStringLiteral("SELECT * FROM Z_ccTLD"));
    QStringList codes;
    for (; !z->eof(); z->moveNext())
        codes << z->value(0).toString() + QLatin1Char('=') + z->value(1).toString();
    EXPECT_EQ(codes, QStringList({"fr=France", "de=Germany"}));
    EXPECT_EQ(gintSpecChars[1][1], 64);
    EXPECT_EQ(gintSpecChars[1][2], 1);
    EXPECT_EQ(gintSpecChars[2][1], 33);
}

TEST_F(Workbench, FilterAndSortBuildTheRecordSource)
{
    makeSampleList();
    frmdataform& f = openList();
    MDIMain& main = MDIMain::instance();

    f.tab1->setCurrentIndex(4);   // a tool page: a filter brings the grid back
    gstrFilter = QStringLiteral("[City]=\"Paris\" ");
    main.Refresh_DataTbl();
    main.FilterON();
    EXPECT_EQ(f.Data1->RecordSource(), QStringLiteral("SELECT ") + gstrFieldList + QStringLiteral(" FROM tblData WHERE [City]=\"Paris\"  "));
    EXPECT_EQ(f.tab1->currentIndex(), 0);
    EXPECT_EQ(gridColumn(f, 0), QStringList({"Name0", "Name2", "Name5"}));
    EXPECT_EQ(glngTotalRecords, 3);
    EXPECT_TRUE(f.gridFiltered());
    EXPECT_EQ(f.DBGridData->palette().color(QPalette::Base), QColor(0xFF, 0xFF, 0xC0));

    // A sort on the current column keeps the filter and the column.
    f.DBGridData->setCurrentIndex(f.gridModel()->index(1, 2));
    f.sortOnCurrentColumn(true);
    EXPECT_EQ(gstrSortOrder, QStringLiteral(" [Amount] ASC "));
    EXPECT_EQ(f.Data1->RecordSource(),
              QStringLiteral("SELECT ") + gstrFieldList + QStringLiteral(" FROM tblData WHERE [City]=\"Paris\"  ORDER BY  [Amount] ASC "));
    EXPECT_EQ(gridColumn(f, 0), QStringList({"Name5", "Name2", "Name0"}));
    EXPECT_EQ(f.currentGridColumn(), 2);
    EXPECT_TRUE(f.gridFiltered());

    // Filter off: the whole list in table order, the sort remembered for later.
    main.refreshgrids();
    EXPECT_EQ(f.Data1->RecordSource(), QStringLiteral("SELECT ") + gstrFieldList + QStringLiteral(" FROM tblData"));
    EXPECT_EQ(gstrFilter, QString());
    EXPECT_EQ(gstrSortOrder, QStringLiteral(" [Amount] ASC "));
    EXPECT_FALSE(f.gridFiltered());
    EXPECT_EQ(glngTotalRecords, 8);
    EXPECT_EQ(gridColumn(f, 0).first(), QStringLiteral("Name0"));
    gstrFilter = QStringLiteral("[City]=\"Lyon\" ");
    main.Refresh_DataTbl();
    main.FilterON();
    EXPECT_EQ(gridColumn(f, 0), QStringList({"Name6", "Name1"}));

    // Descending on the first column; a filter matching nothing counts 0.
    f.DBGridData->setCurrentIndex(f.gridModel()->index(0, 0));
    f.sortOnCurrentColumn(false);
    EXPECT_EQ(gstrSortOrder, QStringLiteral(" [Name] DESC "));
    gstrFilter = QStringLiteral("[City]=\"Rome\" ");
    main.Refresh_DataTbl();
    main.FilterONDupes();
    EXPECT_EQ(glngTotalRecords, 0);
    EXPECT_TRUE(f.gridFiltered());
}

TEST_F(Workbench, RefusedFilterOrSortChangesNothing)
{
    makeSampleList();
    frmdataform& f = openList();
    MDIMain& main = MDIMain::instance();

    ui.answerMessage(ui::vbOK);
    gstrFilter = QStringLiteral("[Nowhere]=1 ");
    main.Refresh_DataTbl();
    main.FilterON();
    EXPECT_EQ(ui.shown().last().style, ui::vbOKOnly);
    EXPECT_EQ(gstrFilter, QString());
    EXPECT_FALSE(f.gridFiltered());
    EXPECT_EQ(f.Data1->RecordSource(), QStringLiteral("SELECT ") + gstrFieldList + QStringLiteral(" FROM tblData"));
    EXPECT_EQ(gridColumn(f, 0).size(), 8);

    // With a filter in force, a refused sort keeps the filter and its look.
    gstrFilter = QStringLiteral("[City]=\"Paris\" ");
    main.Refresh_DataTbl();
    main.FilterON();
    ui.answerMessage(ui::vbOK);
    gstrSortOrder = QStringLiteral(" [Missing] ASC ");
    main.Refresh_DataTbl();
    EXPECT_EQ(gstrSortOrder, QString());
    EXPECT_EQ(gstrFilter, QStringLiteral("[City]=\"Paris\" "));
    EXPECT_TRUE(f.gridFiltered());
    EXPECT_EQ(gridColumn(f, 0).size(), 3);
}

TEST_F(Workbench, TabsShowTheirPagesAndRefillPickers)
{
    makeSampleList();
    frmdataform& f = openList();
    struct Case { int tab; std::vector<QGroupBox*> frames; QStringList picker; };
    const std::vector<Case> cases = {
        {1, {f.frmstats}, {}},
        {2, {f.frCaseConv, f.frDistinctValues}, {"Name", "City"}},
        {3, {f.frTextClean, f.frDistinctValues}, {"Name", "City"}},
        {4, {f.frColumnClean, f.frDistinctValues}, {"Name", "City", "Amount", "Joined", "Notes", "Code"}},
        {5, {f.frEMailClean}, {}},
        {6, {f.frAdozIvidor}, {}},
        {7, {f.frDupes}, {}},
        {0, {}, {}},
    };
    const std::vector<QGroupBox*> all = {f.frmstats, f.frCaseConv, f.frEMailClean, f.frDupes,
                                         f.frTextClean, f.frColumnClean, f.frAdozIvidor, f.frDistinctValues};
    for (const Case& c : cases) {
        f.tab1->setCurrentIndex(c.tab);
        EXPECT_EQ(f.DBGridData->isVisibleTo(&f), c.tab == 0) << c.tab;
        for (QGroupBox* g : all) {
            const bool own = std::find(c.frames.begin(), c.frames.end(), g) != c.frames.end();
            EXPECT_EQ(g->isVisibleTo(&f), own) << c.tab << " " << g->objectName().toStdString();
        }
        if (!c.picker.isEmpty()) {
            EXPECT_EQ(comboItems(f.cmbColumn1), c.picker) << c.tab;
        }
    }

    // A column chosen on the Column Cleaner stays shown on a text-only page.
    f.tab1->setCurrentIndex(4);
    f.cmbColumn1->setCurrentIndex(f.cmbColumn1->findText(QStringLiteral("Amount")));
    f.tab1->setCurrentIndex(2);
    EXPECT_EQ(f.cmbColumn1->currentText(), QStringLiteral("Amount"));
    f.tab1->setCurrentIndex(6);
    EXPECT_EQ(comboItems(f.cmbColumn1A).size(), 6);

    // The Statistics page is set up once per list.
    f.tab1->setCurrentIndex(1);
    f.tab1->setCurrentIndex(0);
    f.tab1->setCurrentIndex(1);
    EXPECT_EQ(f.lstRight->count(), 6);
    EXPECT_EQ(gintStatsReady, 1);
    EXPECT_EQ(gintFieldCount, 6);
    EXPECT_EQ(f.Combo1->currentText(), QStringLiteral("Please Choose Statistics"));
}

// At the main window's designed size (about 810 x 590 pixels left for the
// workbench) all eight tabs show their whole captions without scroll arrows,
// and every control of every page lies inside its page with its caption whole.
TEST_F(Workbench, AtTheDesignedSizeEveryTabAndControlIsInSight)
{
    makeSampleList();
    frmdataform& f = openList();
    const QSize designed(810, 590);
    f.resize(designed);
    f.show();
    QCoreApplication::processEvents();

    const QFontMetrics fm = f.tab1->fontMetrics();
    for (int i = 0; i < f.tab1->count(); ++i) {
        const QRect r = f.tab1->tabRect(i);
        EXPECT_TRUE(f.tab1->rect().contains(r)) << f.tab1->tabText(i).toStdString();
        EXPECT_GE(r.width(), fm.horizontalAdvance(f.tab1->tabText(i)) + fm.averageCharWidth())
            << f.tab1->tabText(i).toStdString();
    }

    const auto insideScrollArea = [](const QWidget* w, const QWidget* frame) {
        for (const QWidget* p = w->parentWidget(); p && p != frame; p = p->parentWidget())
            if (qobject_cast<const QAbstractScrollArea*>(p) || qobject_cast<const QComboBox*>(p))
                return true;
        return false;
    };
    const std::vector<QGroupBox*> frames = {f.frmstats, f.frCaseConv, f.frEMailClean, f.frDupes,
                                            f.frTextClean, f.frColumnClean, f.frAdozIvidor, f.frDistinctValues};
    f.lblDoubleClick->show();   // the near-duplicate hint, as a search with pairs leaves it
    for (int tab = 1; tab < f.tab1->count(); ++tab) {
        f.tab1->setCurrentIndex(tab);
        QCoreApplication::processEvents();
        // A page whose controls need more room than the designed size is cut off at its edge.
        EXPECT_LE(f.minimumSizeHint().width(), designed.width()) << tab;
        EXPECT_LE(f.minimumSizeHint().height(), designed.height()) << tab;
        for (QGroupBox* frame : frames) {
            if (!frame->isVisibleTo(&f))
                continue;
            for (QWidget* w : frame->findChildren<QWidget*>()) {
                if (!w->isVisibleTo(frame) || insideScrollArea(w, frame))
                    continue;
                const QRect r(w->mapTo(frame, QPoint(0, 0)), w->size());
                EXPECT_TRUE(frame->rect().contains(r))
                    << tab << " " << frame->objectName().toStdString() << " " << w->metaObject()->className() << " "
                    << w->objectName().toStdString();
                if (const auto* l = qobject_cast<const QLabel*>(w)) {   // a caption cut short
                    EXPECT_GE(l->width(), l->minimumSizeHint().width()) << tab << " " << l->text().toStdString();
                }
            }
        }
    }

    // The Column Cleaner's two ">>" buttons stand left of what they fill.
    f.tab1->setCurrentIndex(4);
    QCoreApplication::processEvents();
    const auto global = [](const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); };
    const auto* selectOld = f.findChild<QPushButton*>(QStringLiteral("cmdSelectOld"));
    ASSERT_NE(selectOld, nullptr);
    EXPECT_LT(global(selectOld).right(), global(f.lstOld).left());
    EXPECT_LT(global(selectOld).top(), global(f.lstOld).bottom());
    EXPECT_LT(global(f.cmdSelectNew).right(), global(f.txtNew).left());
    EXPECT_LT(global(f.Label4).bottom(), global(f.txtNew).top());
}

// The Tab key walks each page as it reads, whichever file made its controls.
TEST_F(Workbench, TabKeyWalksEachPageInReadingOrder)
{
    makeSampleList();
    frmdataform& f = openList();
    const std::vector<QStringList> pages = {
        {"flex1", "Combo1", "lstleft", "cmdMove", "cmdMoveAll", "cmdBack", "cmdBackAll", "lstRight", "GraphCombo",
         "cmdrefresh"},
        {"cmbColumn1", "cmdColumnRefresh", "txtFilter", "chkSpecial", "lstMain", "opt1", "opt2", "opt4", "cmdPrefixes",
         "cmdExceptions", "cmdChangeCase"},
        {"cmbColumn1", "cmdColumnRefresh", "txtFilter", "lstMain", "Check1", "Check4", "Check4A", "Check5", "Check5D",
         "cmdTextClean"},
        {"cmbColumn1", "cmdColumnRefresh", "lstMain", "cmdSelectOld", "lstOld", "txtOld", "cmdSelectNew", "txtNew",
         "cmdConvert"},
        {"cmbColumn2", "cmdEMailRefresh", "lstEMailCounts", "cmdccTLDs", "cmdgTLDs", "DataGrid1", "cmdFilterInvalid",
         "cmdUseSuggestions", "cmdRemoveInvalid"},
        {"cmbColumn1A", "cmbSearchType", "cmbMinLen", "cmbMaxLen", "txtFilterA", "cmdShow", "DataRepeater1", "txtPairs",
         "txtTooLong", "cmdClear", "cmdConvert2"},
        {"txtCountA1", "cmdRefresh1", "cmdRemov1", "cmdHelp1", "lstLeft2", "cmdMove2", "cmdMoveAll2", "cmdBack2",
         "cmdBackAll2", "lstRight2", "cmdRefresh2", "cmdRemov2", "cmdHelp2", "flxDupes"},
    };
    for (const QStringList& expected : pages) {
        auto* first = f.findChild<QWidget*>(expected.front());
        ASSERT_NE(first, nullptr) << expected.front().toStdString();
        // The chain from the first control; the expected ones must come in this order.
        int at = 1;
        QWidget* w = first->nextInFocusChain();
        for (int steps = 0; w != first && steps < 1000 && at < expected.size(); ++steps, w = w->nextInFocusChain())
            if (w->objectName() == expected[at])
                ++at;
        EXPECT_EQ(at, expected.size()) << expected.front().toStdString() << ": "
                                       << expected[std::min<qsizetype>(at, expected.size() - 1)].toStdString()
                                       << " is out of order";
    }
}

TEST_F(Workbench, GridEventsKeepThePositionAndReportErrors)
{
    makeSampleList();
    frmdataform& f = openList();
    const auto* m = f.gridModel();

    f.DBGridData->setCurrentIndex(m->index(2, 1));
    EXPECT_EQ(glngCurRow, 3);
    EXPECT_EQ(gintCurCol, 1);
    EXPECT_EQ(gstrCurColumn, QStringLiteral("City"));

    // A header click names its column and moves nothing.
    QHeaderView* header = f.DBGridData->horizontalHeader();
    f.resize(1000, 700);
    f.show();
    const QPoint at(header->sectionViewportPosition(3) + 5, 5);
    QMouseEvent release(QEvent::MouseButtonRelease, at, header->viewport()->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(header->viewport(), &release);
    EXPECT_EQ(gstrCurColumn, QStringLiteral("Joined"));
    EXPECT_EQ(gintCurCol, 1);
    EXPECT_EQ(f.currentGridColumn(), 1);

    f.DBGridData->setCurrentIndex(m->index(m->rowCount() - 1, 0));   // the empty row for a new record
    EXPECT_EQ(glngCurRow, 0);

    struct Case { int column; const char* value; QString message; };
    const std::vector<Case> cases = {
        {2, "abc", "Sorry, cannot enter that Value."},
        {5, "abc", "This Column is an AutoNumber and cannot be changed."},
    };
    for (const Case& c : cases) {
        f.DBGridData->setCurrentIndex(m->index(0, c.column));
        ui.answerMessage(ui::vbOK, c.message);
        EXPECT_FALSE(f.gridModel()->setData(m->index(0, c.column), QString::fromLatin1(c.value)));
        EXPECT_EQ(ui.shown().last().title, QStringLiteral("Lumacor Quillabrand Pro Error"));
        EXPECT_EQ(ui.shown().last().style, ui::vbExclamation);
    }

    // Deleting a row recounts and voids the duplicate counts.
    f.txtCountA1->setText(QStringLiteral("4"));
    f.cmdRemov1->setEnabled(true);
    ASSERT_TRUE(f.gridModel()->deleteRecord(1));
    EXPECT_EQ(glngTotalRecords, 7);
    EXPECT_EQ(f.txtCountA1->text(), QString());
    EXPECT_FALSE(f.cmdRemov1->isEnabled());
    EXPECT_EQ(db.openRecordset(QStringLiteral("tblData"))->recordCount(), 7);
}

TEST_F(Workbench, ClosingAsksForExportAndLetsGoOfTheList)
{
    makeSampleList();
    openList();
    MDIMain::instance().FilterON();
    ui.answerMessage(ui::vbNo, kQuestion.arg(gstrFileName));
    EXPECT_TRUE(frmdataform::unload());
    ASSERT_EQ(ui.shown().size(), 1);
    EXPECT_EQ(ui.shown().first().style, ui::vbYesNo | ui::vbExclamation);
    EXPECT_EQ(ui.shown().first().title, QStringLiteral("Lumacor Quillabrand Pro"));
    EXPECT_EQ(frmdataform::loaded(), nullptr);
    EXPECT_EQ(gintFileOpen, 0);
    EXPECT_EQ(gintStatsReady, 0);
    EXPECT_EQ(gstrFilter, QString());
    // Nothing holds tblData any more: the next import can replace it.
    EXPECT_FALSE(DropTable(db, QStringLiteral("tblData")));

    // During a new import the closing asks nothing.
    makeSampleList();
    openList();
    gblnNewImport = true;
    EXPECT_TRUE(frmdataform::unload());
    EXPECT_EQ(ui.shown().size(), 1);
}

TEST_F(Workbench, FilterLookTexts)
{
    if (!mainWindowHasPanels())
        GTEST_SKIP() << "the main window's status bar is not there yet";
    makeSampleList();
    frmdataform& f = openList();
    MDIMain& main = MDIMain::instance();
    gstrStatFilterType = QStringLiteral("Incomplete Column");
    gstrStatFilterColumn = QStringLiteral("Phone");
    gstrFilter = QStringLiteral("[City]=\"Paris\" ");
    main.Refresh_DataTbl();
    struct Case { void (MDIMain::*on)(); QString text; };
    const std::vector<Case> cases = {
        {&MDIMain::FilterON, "Filter ON: [City]=\"Paris\" "},
        {&MDIMain::FilterONDupes, "Filter ON: Duplications"},
        {&MDIMain::FilterONStatistics, "Filter ON: Incomplete Column = Phone"},
        {&MDIMain::FilterOnValidEmail, "Filter ON: Valid Email"},
        {&MDIMain::FilterOnInvalidEmail, "Filter ON: Invalid Email"},
        {&MDIMain::FilterOnInvalidEmails, "Filter ON: All Invalid Emails"},
    };
    for (const Case& c : cases) {
        (main.*c.on)();
        EXPECT_EQ(main.panelText(2), c.text);
    }
    main.FilterON2();
    EXPECT_EQ(main.panelText(2), cases.back().text);
    f.DBGridData->setCurrentIndex(f.gridModel()->index(1, 1));
    EXPECT_EQ(main.panelText(1), QStringLiteral("Total Records = 3 : Column = City : Row = 2 "));
    main.FilterOFF();
    EXPECT_EQ(main.panelText(2), QStringLiteral("No Filter"));
}
