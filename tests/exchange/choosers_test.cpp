// The worksheet chooser and the Access table chooser on their own: the
// preview and its header option, the import into tblData and the workbench it
// opens, Cancel, and the failures that must leave the previous tblData whole.
#include "exchange/frmexceltables.h"
#include "exchange/frmtablenames.h"
#include "import_fixture.h"
#include "support/xls_fixture.h"

#include "platform/jet/connection.h"
#include "platform/jet/types.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>

using importtest::ImportTest;
using importtest::kPeople;

namespace {

QStringList gridRows(QTableView* grid)
{
    QStringList out;
    QAbstractItemModel* m = grid->model();
    for (int r = 0; r < m->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < m->columnCount(); ++c)
            cells << m->data(m->index(r, c)).toString();
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

QStringList gridHeads(QTableView* grid)
{
    QStringList out;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        out << grid->model()->headerData(c, Qt::Horizontal).toString();
    return out;
}

template <typename T>
T* child(QWidget* w, const char* name)
{
    T* c = w->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

class ExcelChooser : public ImportTest {
protected:
    void open(const QString& book, const QStringList& sheets)
    {
        general::gstrExcelFile = book;
        form = std::make_unique<frmExcelTables>();
        form->setSheets(sheets);
    }
    QTableView* grid() { return child<QTableView>(form.get(), "DBGrid1"); }
    void expectRestored()
    {
        EXPECT_TRUE(child<QPushButton>(form.get(), "cmdContinue")->isEnabled());
        EXPECT_TRUE(child<QLabel>(form.get(), "lblwait")->isHidden());
        EXPECT_TRUE(child<QWidget>(form.get(), "PB1")->isHidden());
        EXPECT_TRUE(grid()->isEnabled());
        EXPECT_FALSE(form->importing());
        EXPECT_EQ(ui.pointer(main), ui::Pointer::Default);
        EXPECT_EQ(main->panelText(1), QString());
    }
    std::unique_ptr<frmExcelTables> form;
};

} // namespace

TEST_F(ExcelChooser, PreviewFollowsTheHeaderBoxAndShowsTenRows)
{
    std::vector<importtest::Row> many;
    for (int i = 0; i < 14; ++i)
        many.push_back({QStringLiteral("N%1").arg(i), QStringLiteral("C"), double(i)});
    open(writeWorkbook("many.xls", QStringLiteral("My Sheet"), many), {QStringLiteral("My Sheet")});

    EXPECT_EQ(form->windowTitle(), general::gstrExcelFile);
    EXPECT_EQ(child<QLabel>(form.get(), "lblsample")->text(), QStringLiteral("Sample Data for Worksheet My Sheet"));
    EXPECT_EQ(main->panelText(1), QStringLiteral("Please select the Required WorkSheet"));
    // Unticked: default names, and the names row is the first of ten data rows.
    EXPECT_EQ(gridHeads(grid()), (QStringList{"F1", "F2", "F3"}));
    QStringList rows = gridRows(grid());
    ASSERT_EQ(rows.size(), 10);
    EXPECT_EQ(rows[0], QStringLiteral("Name|City|Amount"));
    EXPECT_EQ(rows[1], QStringLiteral("N0|C|0"));

    child<QCheckBox>(form.get(), "chkFirstRow")->click();
    EXPECT_EQ(gridHeads(grid()), (QStringList{"Name", "City", "Amount"}));
    rows = gridRows(grid());
    ASSERT_EQ(rows.size(), 10);
    EXPECT_EQ(rows[0], QStringLiteral("N0|C|0"));
    EXPECT_EQ(rows[9], QStringLiteral("N9|C|9"));
    EXPECT_TRUE(ui.messageTexts().isEmpty());
}

TEST_F(ExcelChooser, ImportCopiesTheWholeSheetAndOpensTheWorkbench)
{
    makePreviousList();
    open(writeWorkbook("people.xls", QStringLiteral("Sheet1"), kPeople), {QStringLiteral("Sheet1")});
    general::gstrSourceFile = general::gstrExcelFile;
    child<QCheckBox>(form.get(), "chkFirstRow")->click();
    form->show();
    child<QPushButton>(form.get(), "cmdContinue")->click();

    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_FALSE(form->isVisible());
    ASSERT_NE(frmdataform::loaded(), nullptr);
    EXPECT_EQ(general::gintFileOpen, 1);
    EXPECT_EQ(tblData(QStringLiteral("[Name], [City], [Amount], [LumacorPrimK]")),
              (QStringList{"Smith|Boston|10.5|1", "Lee|Paris|7|2", "O'Brien|Cork|-3|3"}));
    EXPECT_TRUE(main->command(QStringLiteral("mnuexport"))->isEnabled());
    EXPECT_EQ(ui.pointer(main), ui::Pointer::Default);
    EXPECT_TRUE(ui.messageTexts().isEmpty());
}

TEST_F(ExcelChooser, WithoutHeadersTheNamesRowIsImportedAsData)
{
    open(writeWorkbook("people.xls", QStringLiteral("Sheet1"), kPeople), {QStringLiteral("Sheet1")});
    general::gstrSourceFile = general::gstrExcelFile;
    // A double click on the sheet imports it at once.
    QTest::mouseDClick(child<QComboBox>(form.get(), "Combo1"), Qt::LeftButton);
    ASSERT_NE(frmdataform::loaded(), nullptr);
    EXPECT_EQ(tblData(QStringLiteral("[F1], [F3]")), (QStringList{"Name|Amount", "Smith|10.5", "Lee|7", "O'Brien|-3"}));
}

TEST_F(ExcelChooser, FormulaResultsComeInAndTheirErrorsAreNamedAtTheEnd)
{
    makePreviousList();
    const QString book = writeWorkbook("people.xls", QStringLiteral("Sheet1"), kPeople);
    // Lee's amount is a formula that ended in #DIV/0!, O'Brien's one that gave -4.
    ASSERT_TRUE(xlsfixture::putFormulas(book, {{7.0, xlsfixture::Result::error(0x07)},
                                               {-3.0, xlsfixture::Result::num(-4)}}));
    open(book, {QStringLiteral("Sheet1")});
    child<QCheckBox>(form.get(), "chkFirstRow")->click();
    ui.answerMessage(ui::vbOK);
    child<QPushButton>(form.get(), "cmdContinue")->click();

    EXPECT_EQ(form->result(), QDialog::Accepted);
    ASSERT_NE(frmdataform::loaded(), nullptr);
    EXPECT_EQ(tblData(QStringLiteral("[Name], [Amount]")), (QStringList{"Smith|10.5", "Lee|", "O'Brien|-4"}));
    ASSERT_EQ(ui.shown().size(), 1);
    EXPECT_EQ(ui.shown()[0].text, QStringLiteral("1 cell held a formula error and came in empty."));
    EXPECT_EQ(ui.shown()[0].style, ui::vbInformation);
}

TEST_F(ExcelChooser, AFailingImportLeavesThePreviousListAndTheWindowOpen)
{
    makePreviousList();
    const QString book = writeWorkbook("people.xls", QStringLiteral("Sheet1"), kPeople);
    open(book, {QStringLiteral("Sheet1")});
    ASSERT_EQ(gridRows(grid()).size(), 4);
    // The workbook is damaged after its preview was built.
    QFile f(book);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("not a workbook any more");
    f.close();

    ui.answerMessage(ui::vbOK);
    child<QPushButton>(form.get(), "cmdContinue")->click();
    ASSERT_EQ(ui.shown().size(), 1);
    EXPECT_EQ(ui.shown()[0].style, ui::vbCritical);
    EXPECT_FALSE(ui.shown()[0].text.isEmpty());
    EXPECT_EQ(tblData(), QStringList{"kept"});
    EXPECT_EQ(frmdataform::loaded(), nullptr);
    EXPECT_NE(form->result(), QDialog::Accepted);
    expectRestored();
}

TEST_F(ExcelChooser, ASheetNameThatWouldLeaveItsBracketsIsRefused)
{
    makePreviousList();
    ui.answerMessage(ui::vbOK);
    open(writeWorkbook("people.xls", QStringLiteral("Sheet1"), kPeople), {QStringLiteral("Sheet1$] WHERE 0=1 OR [x")});
    ASSERT_EQ(ui.shown().size(), 1);
    EXPECT_TRUE(ui.shown()[0].text.contains(QStringLiteral("cannot be used in a table reference"))) << ui.shown()[0].text.toStdString();
    ui.answerMessage(ui::vbOK);
    child<QPushButton>(form.get(), "cmdContinue")->click();
    ASSERT_EQ(ui.shown().size(), 2);
    EXPECT_EQ(ui.shown()[1].style, ui::vbCritical);
    EXPECT_EQ(tblData(), QStringList{"kept"});
    EXPECT_EQ(frmdataform::loaded(), nullptr);
}

TEST_F(ExcelChooser, CancelDuringTheWaitForAFailedPreviewEndsTheImport)
{
    makePreviousList();
    const QString book = writeWorkbook("people.xls", QStringLiteral("Sheet1"), kPeople);
    // A sheet the workbook does not hold: the preview fails with the
    // engine's own words and no icon, and leaves no preview table.
    ui.answerMessage(ui::vbOK);
    open(book, {QStringLiteral("Missing")});
    ASSERT_EQ(ui.shown().size(), 1);
    EXPECT_EQ(ui.shown()[0].style, ui::vbOKOnly);
    EXPECT_TRUE(ui.shown()[0].text.contains(QStringLiteral("Missing")));
    EXPECT_EQ(grid()->model()->rowCount(), 0);

    form->show();
    ui.onProcessEvents([this] {
        if (form->importing())
            child<QPushButton>(form.get(), "cmdCancel")->click();
    });
    ui.answerMessage(ui::vbOK, QStringLiteral("Operation cancelled."));
    child<QPushButton>(form.get(), "cmdContinue")->click();
    ui.onProcessEvents({});
    ASSERT_EQ(ui.shown().size(), 2);
    EXPECT_EQ(ui.shown()[1].style, ui::vbCritical);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Rejected);
    EXPECT_EQ(tblData(), QStringList{"kept"});
    expectRestored();
}

namespace {

class AccessChooser : public ImportTest {
protected:
    /// An Access source in the engine's own format: Customers with a counter
    /// key, and Orders without one.
    void makeSource()
    {
        general::gstrAccessFile = path("source.mdb");
        jet::Database src = jet::Database::open(general::gstrAccessFile, true);
        fillPeople(src, QStringLiteral("Customers"), kPeople);
        src.appendField(QStringLiteral("Customers"), {QStringLiteral("ID"), jet::dbLong, 4, jet::dbAutoIncrField, 0});
        fillPeople(src, QStringLiteral("Orders"), {{"x", "y", 1}});
    }
    frmTablenames& chooser(const QStringList& tables)
    {
        frmTablenames& t = frmTablenames::instance();
        t.setTables(tables);
        t.show();
        return t;
    }
    void pick(frmTablenames& t, int index)
    {
        auto* combo = child<QComboBox>(&t, "Combo1");
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
};

} // namespace

TEST_F(AccessChooser, CounterColumnComesInAsAPlainLongAndTheWorkbenchKeysTheList)
{
    makePreviousList();
    makeSource();
    general::gstrSourceFile = general::gstrAccessFile;
    frmTablenames& t = chooser({QStringLiteral("Customers"), QStringLiteral("Orders")});
    EXPECT_EQ(main->panelText(1), QStringLiteral("Please Select the Table from the list and click continue"));
    EXPECT_FALSE(child<QPushButton>(&t, "cmdcontinue2")->isEnabled());
    pick(t, 0);
    ASSERT_TRUE(child<QPushButton>(&t, "cmdcontinue2")->isEnabled());
    child<QPushButton>(&t, "cmdcontinue2")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    EXPECT_EQ(frmTablenames::loaded(), nullptr);
    ASSERT_NE(frmdataform::loaded(), nullptr);
    jet::Database db = jet::Database::open(general::gstrWorkDBPath);
    const jet::TableDef def = db.tableDef(QStringLiteral("tblData"));
    QStringList names;
    for (const jet::FieldDef& f : def.fields)
        names << f.name;
    EXPECT_EQ(names, (QStringList{"Name", "City", "Amount", "ID", "LumacorPrimK"}));
    EXPECT_EQ(def.fields[3].type, jet::dbLong);
    EXPECT_EQ(def.fields[3].attributes & jet::dbAutoIncrField, 0);
    EXPECT_EQ(tblData(QStringLiteral("[Name], [ID]")), (QStringList{"Smith|1", "Lee|2", "O'Brien|3"}));
    EXPECT_TRUE(main->panelText(1).startsWith(QStringLiteral("Total Records = 3 :"))) << main->panelText(1).toStdString();
    EXPECT_EQ(ui.pointer(main), ui::Pointer::Default);
    EXPECT_TRUE(ui.messageTexts().isEmpty());
}

// Pictures and other binary columns have no place in a list: they are left out
// of tblData, and the status says how many and which, beside the record count.
TEST_F(AccessChooser, BinaryColumnsAreLeftOutAndCounted)
{
    general::gstrAccessFile = path("photos.mdb");
    {
        jet::Database src = jet::Database::open(general::gstrAccessFile, true);
        src.execute(QStringLiteral("CREATE TABLE Staff ([Name] TEXT(20), [Photo] LONGBINARY, [Badge] LONGBINARY, "
                                   "[Room] LONG)"));
        src.execute(QStringLiteral("INSERT INTO Staff ([Name], [Room]) VALUES (\"Ann\", 7)"));
        src.execute(QStringLiteral("CREATE TABLE Scans ([Page] LONGBINARY)"));
    }
    general::gstrSourceFile = general::gstrAccessFile;
    frmTablenames& t = chooser({QStringLiteral("Staff"), QStringLiteral("Scans")});
    pick(t, 0);
    child<QPushButton>(&t, "cmdcontinue2")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_NE(frmdataform::loaded(), nullptr);
    EXPECT_EQ(tblData(), QStringList{"Ann|7|1"});   // Name, Room and the key
    const QString status = main->panelText(1);
    EXPECT_TRUE(status.startsWith(QStringLiteral("Total Records = 1 :"))) << status.toStdString();
    EXPECT_TRUE(status.endsWith(QStringLiteral("2 columns left out ([Photo], [Badge]): pictures and other binary data "
                                               "cannot be imported.")))
        << status.toStdString();

    // A table of nothing but binary data is refused, the list kept.
    general::gblnNewImport = true;
    frmdataform::unload();
    frmTablenames& again = chooser({QStringLiteral("Staff"), QStringLiteral("Scans")});
    pick(again, 1);
    ui.answerMessage(ui::vbOK, QStringLiteral("File Error The table 'Scans' holds no column that can be imported: "
                                              "pictures and other binary data cannot be imported."));
    child<QPushButton>(&again, "cmdcontinue2")->click();
    EXPECT_EQ(tblData(QStringLiteral("[Name]")), QStringList{"Ann"});
}

TEST_F(AccessChooser, ATableThatCannotBeReadLeavesThePreviousListAndTheWindow)
{
    makePreviousList();
    makeSource();
    frmTablenames& t = chooser({QStringLiteral("Customers"), QStringLiteral("Gone")});
    pick(t, 1);
    ui.answerMessage(ui::vbOK);
    child<QPushButton>(&t, "cmdcontinue2")->click();
    ASSERT_EQ(ui.shown().size(), 1);
    EXPECT_TRUE(ui.shown()[0].text.startsWith(QStringLiteral("File Error ")));
    EXPECT_TRUE(ui.shown()[0].text.contains(QStringLiteral("Gone")));
    EXPECT_EQ(ui.shown()[0].style, ui::vbExclamation);
    EXPECT_EQ(tblData(), QStringList{"kept"});
    EXPECT_EQ(frmTablenames::loaded(), &t);
    EXPECT_FALSE(child<QPushButton>(&t, "cmdcontinue2")->isEnabled());
    EXPECT_EQ(main->panelText(1), QString());
    EXPECT_EQ(ui.pointer(main), ui::Pointer::Default);

    // Picking a table again offers Import again.
    pick(t, 0);
    EXPECT_TRUE(child<QPushButton>(&t, "cmdcontinue2")->isEnabled());
}

// Names inside the source file are its maker's choice: one that would end its
// brackets early must stop the import with a message, not rewrite the statement.
TEST_F(AccessChooser, NamesThatWouldLeaveTheirBracketsAreRefused)
{
    struct Case {
        const char* table;
        const char* columns;   ///< SQLite column definitions, written past the engine's dialect
        const char* said;
    };
    const Case cases[] = {
        {"People", "\"Name\" TEXT, \"x] AS [y], 1 AS [z\" TEXT",
         "The column name 'x] AS [y], 1 AS [z' holds a ']', which cannot be used in a column reference."},
        {"People", "\"Name\" TEXT, \"  \" TEXT", "A column without a name cannot be imported."},
        {"T] AS T, [People", "\"Name\" TEXT", "that cannot be used in a table reference."},
    };
    makePreviousList();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.columns);
        general::gstrAccessFile = path("crafted.mdb");
        QFile::remove(general::gstrAccessFile);
        {
            jet::Database src = jet::Database::open(general::gstrAccessFile, true);
            src.connection().exec(QStringLiteral("CREATE TABLE \"%1\" (%2)").arg(QString::fromUtf8(c.table), QString::fromUtf8(c.columns)));
            src.connection().exec(QStringLiteral("INSERT INTO \"%1\" (\"Name\") VALUES ('Smith')").arg(QString::fromUtf8(c.table)));
        }
        frmTablenames& t = chooser({QString::fromUtf8(c.table)});
        pick(t, 0);
        ui.answerMessage(ui::vbOK);
        const auto before = ui.shown().size();
        child<QPushButton>(&t, "cmdcontinue2")->click();
        ASSERT_EQ(ui.shown().size(), before + 1);
        EXPECT_TRUE(ui.shown().back().text.startsWith(QStringLiteral("File Error "))) << ui.shown().back().text.toStdString();
        EXPECT_TRUE(ui.shown().back().text.contains(QString::fromUtf8(c.said))) << ui.shown().back().text.toStdString();
        EXPECT_EQ(tblData(), QStringList{"kept"});
        EXPECT_EQ(frmdataform::loaded(), nullptr);
    }
}

TEST_F(AccessChooser, CancelClosesWithTheStartingStatus)
{
    frmTablenames& t = chooser({});
    EXPECT_FALSE(child<QPushButton>(&t, "cmdcontinue2")->isEnabled());
    child<QPushButton>(&t, "cmdCancel")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frmTablenames::loaded(), nullptr);
    EXPECT_EQ(main->panelText(1), QStringLiteral("Choose 'Import' to Open File or 'Wizard' to Guide you."));
    EXPECT_EQ(frmdataform::loaded(), nullptr);
}
