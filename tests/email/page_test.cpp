// The E-Mail Cleaner page driven through its controls over a real working
// database: the run, the counts, the grid filters, the corrections and the
// guard that keeps stale results from touching the list.
#include "app/mdimain.h"
#include "common/general.h"
#include "email/counts_model.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/ui/scripted.h"
#include "workbench/frmdataform.h"
#include "workbench/gridmodel.h"

#include "support/workbench_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFocusEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

using namespace general;

namespace {

void writeFile(const QString& path, const QByteArray& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

/// The rows of a model as "a|b" lines (the columns given).
QStringList modelRows(const QAbstractItemModel* m, std::initializer_list<int> columns)
{
    QStringList out;
    for (int r = 0; m && r < m->rowCount(); ++r) {
        QStringList cells;
        for (int c : columns)
            cells << m->data(m->index(r, c)).toString();
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

class EmailPageTest : public testsupport::WorkbenchFixture {
protected:
    void SetUp() override
    {
        WorkbenchFixture::SetUp();
        if (HasFatalFailure())
            return;
        QDir(dir.path()).mkpath(QStringLiteral("Settings"));
        writeFile(dir.filePath(QStringLiteral("Settings/gTLDs.txt")), "\"com\"\r\n\"net\"\r\n\"org\"\r\n");
        writeFile(dir.filePath(QStringLiteral("Settings/ccTLDs.txt")),
                  "\"uk\",\"United Kingdom\"\r\n\"fr\",\"France\"\r\n");
    }

    /// Ten people: five valid addresses (one padded), two invalid ones with a
    /// suggestion, two without, one empty cell.
    frmdataform& openList()
    {
        db.execute(QStringLiteral("CREATE TABLE tblData ([Name] TEXT(50), [Email] TEXT(255), [Other] TEXT(255))"));
        const char* cells[][2] = {
            {"Ann", "ann@example.com"},
            {"Bob", "  Bob@Mail.Example.co.uk  "},
            {"Carl", "carl@example.con"},
            {"Dora", "dora@examplecom"},
            {"Eve", "eve@@example.com"},
            {"Fred", "fred@example.zz"},
            {"Gus", nullptr},
            {"Gail", "gail@example.fr"},
            {"Hank", "hank@shop.example.com"},
            {"Ida", "ida@example.com"},
        };
        for (const auto& c : cells)
            db.execute(QStringLiteral("INSERT INTO tblData ([Name], [Email], [Other]) VALUES (\"%1\", %2, \"x@y.com\")")
                           .arg(QLatin1String(c[0]),
                                c[1] ? QStringLiteral("\"%1\"").arg(QLatin1String(c[1])) : QStringLiteral("NULL")));
        frmdataform& f = frmdataform::instance();
        EXPECT_EQ(frmdataform::loaded(), &f);
        f.tab1->setCurrentIndex(5);
        return f;
    }

    template <class W>
    W* control(frmdataform& f, const char* name)
    {
        W* w = f.findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    void choose(frmdataform& f, const QString& column)
    {
        const int at = f.cmbColumn2->findText(column);
        ASSERT_GE(at, 0);
        f.cmbColumn2->setCurrentIndex(at);
        emit f.cmbColumn2->activated(at);
    }

    QString cell(const char* name)
    {
        auto rs = db.openRecordset(QStringLiteral("SELECT [Email] FROM tblData WHERE [Name]=\"%1\"").arg(QLatin1String(name)));
        const jet::Value v = rs->value(0);
        return v.isNull() ? QStringLiteral("<null>") : v.toString();
    }

    int dataRows(frmdataform& f)
    {
        const auto* m = f.gridModel();
        int n = 0;
        for (int r = 0; r < m->rowCount(); ++r)
            n += !m->isAddRow(r);
        return n;
    }

    QStringList countsRows(frmdataform& f)
    {
        const auto* view = control<QTreeView>(f, "lstEMailCounts");
        QStringList out;
        const QAbstractItemModel* m = view->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < m->columnCount(); ++c)
                cells << m->data(m->index(r, c)).toString();
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }

    QStringList countsHeaders(frmdataform& f)
    {
        const QAbstractItemModel* m = control<QTreeView>(f, "lstEMailCounts")->model();
        QStringList out;
        for (int c = 0; c < m->columnCount(); ++c)
            out << m->headerData(c, Qt::Horizontal).toString();
        return out;
    }

    /// The invalid list as "address|suggestion" in its order.
    QStringList invalidRows(frmdataform& f) { return modelRows(f.DataGrid1->model(), {2, 3}); }
};

} // namespace

TEST_F(EmailPageTest, RunFillsResultsAndTrimsTheList)
{
    frmdataform& f = openList();
    auto* refresh = control<QPushButton>(f, "cmdUseSuggestions");
    EXPECT_FALSE(refresh->isEnabled());   // nothing validated yet
    choose(f, QStringLiteral("Email"));

    EXPECT_EQ(control<QLineEdit>(f, "txtEmail_Nof_Records")->text(), QStringLiteral("4"));
    EXPECT_EQ(control<QLabel>(f, "lblEmail_Values")->text(), QStringLiteral("VALID EMAILS"));
    // Only the blanks around the address go; its case stays in the list.
    EXPECT_EQ(cell("Bob"), QStringLiteral("Bob@Mail.Example.co.uk"));

    // Fresh results list by the suggestion, descending; rows without one last.
    const QStringList invalid = invalidRows(f);
    ASSERT_EQ(invalid.size(), 4);
    EXPECT_EQ(invalid.mid(0, 2), QStringList({"dora@examplecom|dora@example.com", "carl@example.con|carl@example.com"}));
    EXPECT_TRUE(f.DataGrid1->isColumnHidden(0));
    EXPECT_TRUE(f.DataGrid1->isColumnHidden(1));

    // The counts by domain and country, the generic domains under USA.
    EXPECT_EQ(countsHeaders(f), QStringList({"Domain", "Tld", "Country", "Count"}));
    EXPECT_EQ(countsRows(f), QStringList({"co|uk|United Kingdom|1", "com||USA|3", "example|fr|France|1"}));
    EXPECT_EQ(control<QLineEdit>(f, "txtEMailDistinct")->text(), QStringLiteral("3"));

    for (const char* b : {"cmdFilterInvalid", "cmdUseSuggestions", "cmdRemoveInvalid"})
        EXPECT_TRUE(control<QPushButton>(f, b)->isEnabled()) << b;
    EXPECT_TRUE(f.tab1->isEnabled());
    EXPECT_TRUE(ui.shown().isEmpty());
}

TEST_F(EmailPageTest, ColumnNotInTheListIsNotValidated)
{
    frmdataform& f = openList();
    for (const char* typed : {"Emial", "email"}) {   // the list's names are matched exactly
        f.cmbColumn2->setEditText(QString::fromLatin1(typed));
        QTest::keyClick(f.cmbColumn2, Qt::Key_Return);
        EXPECT_EQ(f.cmbColumn2->currentText(), QStringLiteral("Please Choose a Column")) << typed;
    }
    auto rs = db.openRecordset(QStringLiteral("SELECT COUNT(*) FROM tblEMails"));
    EXPECT_EQ(rs->value(0).toLong(), 0);
    EXPECT_EQ(cell("Bob"), QStringLiteral("  Bob@Mail.Example.co.uk  "));

    // Leaving the combo replaces a wrong name; a right one waits for Enter or Tab.
    for (const char* typed : {"Emial", "Email"}) {
        f.cmbColumn2->setEditText(QString::fromLatin1(typed));
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(f.cmbColumn2, &out);
    }
    EXPECT_EQ(f.cmbColumn2->currentText(), QStringLiteral("Email"));
    auto after = db.openRecordset(QStringLiteral("SELECT COUNT(*) FROM tblEMails"));
    EXPECT_EQ(after->value(0).toLong(), 0);

    // Typed right, Enter runs it.
    f.cmbColumn2->setEditText(QStringLiteral("Email"));
    QTest::keyClick(f.cmbColumn2, Qt::Key_Return);
    EXPECT_EQ(control<QLineEdit>(f, "txtEmail_Nof_Records")->text(), QStringLiteral("4"));
}

TEST_F(EmailPageTest, CountsFollowTicksFiltersAndHeaderClicks)
{
    frmdataform& f = openList();
    choose(f, QStringLiteral("Email"));

    // Untick country and domain: one row, the number of valid addresses.
    control<QCheckBox>(f, "chk4")->click();
    EXPECT_FALSE(control<QCheckBox>(f, "chk5")->isChecked());   // the name goes with the code
    control<QCheckBox>(f, "chk3")->click();
    EXPECT_EQ(countsHeaders(f), QStringList({"Count"}));
    EXPECT_EQ(countsRows(f), QStringList({"5"}));

    // By account, narrowed by a LIKE pattern typed into the account's box.
    control<QCheckBox>(f, "chk1")->click();
    EXPECT_EQ(countsHeaders(f), QStringList({"Account", "Count"}));
    EXPECT_EQ(countsRows(f).size(), 5);
    auto* box = control<QLineEdit>(f, "txtFilter_Email1");
    box->setText(QStringLiteral("*a*"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(countsRows(f), QStringList({"ann|1", "gail|1", "hank|1", "ida|1"}));
    EXPECT_EQ(control<QLabel>(f, "lblEmail_Values")->text(), QStringLiteral("VALID EMAILS  (FILTERED)"));

    // Header clicks: the account reverses; the count starts with the largest.
    QHeaderView* header = control<QTreeView>(f, "lstEMailCounts")->header();
    emit header->sectionClicked(0);
    EXPECT_EQ(countsRows(f), QStringList({"ida|1", "hank|1", "gail|1", "ann|1"}));
    box->clear();
    control<QCheckBox>(f, "chk1")->click();   // back to none ticked
    control<QCheckBox>(f, "chk3")->click();   // by domain
    emit header->sectionClicked(1);
    EXPECT_EQ(countsRows(f).first(), QStringLiteral("com|3"));
    EXPECT_TRUE(ui.shown().isEmpty());
}

TEST_F(EmailPageTest, FiltersTheDataGrid)
{
    frmdataform& f = openList();
    choose(f, QStringLiteral("Email"));
    MDIMain& m = MDIMain::instance();

    // A row of the counts list: the three addresses on com.
    auto* counts = control<QTreeView>(f, "lstEMailCounts");
    emit counts->doubleClicked(counts->model()->index(1, 0));
    EXPECT_TRUE(gstrFilter.contains(QStringLiteral("Domain=\"com\"")));
    EXPECT_EQ(dataRows(f), 3);
    EXPECT_EQ(f.tab1->currentIndex(), 0);
    EXPECT_EQ(m.panelText(2), QStringLiteral("Filter ON: Valid Email"));

    // One invalid address, by a double-click on it.
    f.tab1->setCurrentIndex(5);
    emit f.DataGrid1->horizontalHeader()->sectionClicked(2);   // by address, ascending
    ASSERT_EQ(invalidRows(f).first(), QStringLiteral("carl@example.con|carl@example.com"));
    emit f.DataGrid1->doubleClicked(f.DataGrid1->model()->index(0, 2));
    EXPECT_EQ(gstrFilter, QStringLiteral(" [Email]=\"carl@example.con\""));
    EXPECT_EQ(dataRows(f), 1);
    EXPECT_EQ(m.panelText(2), QStringLiteral("Filter ON: Invalid Email"));

    // All of them.
    f.tab1->setCurrentIndex(5);
    control<QPushButton>(f, "cmdFilterInvalid")->click();
    EXPECT_TRUE(gstrFilter.contains(QStringLiteral("WHERE IsValid=FALSE")));
    EXPECT_EQ(dataRows(f), 4);
    EXPECT_EQ(m.panelText(2), QStringLiteral("Filter ON: All Invalid Emails"));
    EXPECT_TRUE(f.gridFiltered());
    EXPECT_TRUE(ui.shown().isEmpty());
}

TEST_F(EmailPageTest, UseAllCorrectionsThenRemoveTheRest)
{
    frmdataform& f = openList();
    choose(f, QStringLiteral("Email"));
    f.txtCountA1->setText(QStringLiteral("7"));   // a duplicate count from before the change
    f.txtPairs->setText(QStringLiteral("3"));     // near-duplicate pairs from before the change

    ui.answerMessage(ui::vbOK, QStringLiteral("Operation sucessful."));
    control<QPushButton>(f, "cmdUseSuggestions")->click();
    EXPECT_EQ(cell("Carl"), QStringLiteral("carl@example.com"));
    EXPECT_EQ(cell("Dora"), QStringLiteral("dora@example.com"));
    EXPECT_EQ(cell("Eve"), QStringLiteral("eve@@example.com"));   // no suggestion: left as it was
    EXPECT_TRUE(f.txtCountA1->text().isEmpty());
    EXPECT_EQ(f.txtPairs->text(), QStringLiteral("0"));
    // Validated again: only the two without a suggestion are left.
    EXPECT_EQ(control<QLineEdit>(f, "txtEmail_Nof_Records")->text(), QStringLiteral("2"));
    EXPECT_EQ(invalidRows(f).size(), 2);
    EXPECT_TRUE(countsRows(f).contains(QStringLiteral("com||USA|5")));
    EXPECT_TRUE(control<QPushButton>(f, "cmdRemoveInvalid")->isEnabled());   // the new run is current

    ui.answerMessage(ui::vbOK, QStringLiteral("Operation sucessful."));
    control<QPushButton>(f, "cmdRemoveInvalid")->click();
    EXPECT_EQ(cell("Eve"), QStringLiteral("<null>"));
    EXPECT_EQ(cell("Fred"), QStringLiteral("<null>"));
    EXPECT_EQ(cell("Ann"), QStringLiteral("ann@example.com"));
    EXPECT_TRUE(invalidRows(f).isEmpty());
    EXPECT_EQ(control<QLineEdit>(f, "txtEmail_Nof_Records")->text(), QStringLiteral("0"));
    auto rs = db.openRecordset(QStringLiteral("SELECT COUNT(*) FROM tblEMails"));
    EXPECT_EQ(rs->value(0).toLong(), 7);   // the blanked cells get no row
    for (const char* b : {"cmdFilterInvalid", "cmdUseSuggestions", "cmdRemoveInvalid"})
        EXPECT_FALSE(control<QPushButton>(f, b)->isEnabled()) << b;
    EXPECT_EQ(ui.pendingAnswers(), 0);
}

TEST_F(EmailPageTest, StaleResultsAreRefused)
{
    frmdataform& f = openList();
    choose(f, QStringLiteral("Email"));
    auto* use = control<QPushButton>(f, "cmdUseSuggestions");
    auto* remove = control<QPushButton>(f, "cmdRemoveInvalid");

    // Another column typed in: the buttons go off, and back on with the column.
    f.cmbColumn2->setEditText(QStringLiteral("Other"));
    EXPECT_FALSE(use->isEnabled());
    EXPECT_FALSE(remove->isEnabled());
    f.cmbColumn2->setEditText(QStringLiteral("Email"));
    EXPECT_TRUE(remove->isEnabled());

    // The list changed after the run, before the page could notice: the click
    // is refused with its reason and nothing is written.
    db.execute(QStringLiteral("UPDATE tblData SET [Email]=\"fred@example.net\" WHERE [Name]=\"Fred\""));
    ui.answerMessage(ui::vbOK);
    remove->click();
    ASSERT_EQ(ui.shown().size(), 1);
    EXPECT_TRUE(ui.shown().first().text.contains(QStringLiteral("changed")));
    EXPECT_EQ(cell("Carl"), QStringLiteral("carl@example.con"));
    EXPECT_EQ(cell("Fred"), QStringLiteral("fred@example.net"));
    EXPECT_FALSE(remove->isEnabled());
    EXPECT_FALSE(use->isEnabled());

    // A single correction is refused too.
    ui.answerMessage(ui::vbOK);
    emit f.DataGrid1->doubleClicked(f.DataGrid1->model()->index(0, 3));
    EXPECT_EQ(ui.shown().size(), 2);
    EXPECT_EQ(cell("Dora"), QStringLiteral("dora@examplecom"));

    // Showing the page again after a change of the column also switches them off.
    choose(f, QStringLiteral("Email"));
    EXPECT_TRUE(remove->isEnabled());
    f.tab1->setCurrentIndex(0);
    db.execute(QStringLiteral("UPDATE tblData SET [Email]=\"ann@example.org\" WHERE [Name]=\"Ann\""));
    f.tab1->setCurrentIndex(5);
    EXPECT_FALSE(remove->isEnabled());
}

// After the check the list changes by another tool: the page says that its
// results are out of date and how to refresh them, and its three buttons
// wait for that. A write that leaves the column as checked changes nothing.
TEST_F(EmailPageTest, AChangedListIsShownAsOutOfDateUntilTheNextCheck)
{
    frmdataform& f = openList();
    choose(f, QStringLiteral("Email"));
    auto* stale = control<QLabel>(f, "lblStale");
    const std::vector<QPushButton*> buttons = {control<QPushButton>(f, "cmdFilterInvalid"),
                                               control<QPushButton>(f, "cmdUseSuggestions"),
                                               control<QPushButton>(f, "cmdRemoveInvalid")};
    auto state = [&] {
        QStringList out{stale->isHidden() ? QStringLiteral("current") : stale->text()};
        for (QPushButton* b : buttons)
            out << (b->isEnabled() ? QStringLiteral("on") : QStringLiteral("off"));
        return out;
    };
    const QStringList current{QStringLiteral("current"), QStringLiteral("on"), QStringLiteral("on"), QStringLiteral("on")};
    EXPECT_EQ(state(), current);

    // Another column and the tools' own tables: the check still describes the addresses.
    f.tab1->setCurrentIndex(0);
    db.execute(QStringLiteral("UPDATE tblData SET [Other]=\"changed\""));
    db.execute(QStringLiteral("CREATE TABLE tblScratch (x TEXT(5))"));
    f.tab1->setCurrentIndex(5);
    EXPECT_EQ(state(), current);

    // The Text Cleaner takes the repeated @ out of Eve's address.
    f.tab1->setCurrentIndex(3);
    pick(f, QStringLiteral("Email"));
    f.findChild<QCheckBox*>(QStringLiteral("Check3"))->setChecked(true);
    ui.answerMessage(ui::vbOK);
    f.findChild<QPushButton*>(QStringLiteral("cmdTextClean"))->click();
    ASSERT_EQ(cell("Eve"), QStringLiteral("eve@example.com"));
    f.tab1->setCurrentIndex(5);
    EXPECT_EQ(state(), QStringList({QStringLiteral("The list has changed since the check: press Refresh to check the "
                                                   "column again."),
                                    QStringLiteral("off"), QStringLiteral("off"), QStringLiteral("off")}));

    // Refresh checks again: Eve is valid now, and the page is current.
    control<QPushButton>(f, "cmdEMailRefresh")->click();
    EXPECT_EQ(state(), current);
    EXPECT_EQ(control<QLineEdit>(f, "txtEmail_Nof_Records")->text(), QStringLiteral("3"));

    // A change while the page is shown (the grid's dialogs stay open beside
    // it) is noticed once the grid shows it.
    db.execute(QStringLiteral("UPDATE tblData SET [Email]=\"ann@example.org\" WHERE [Name]=\"Ann\""));
    f.gridModel()->refreshRows();
    QCoreApplication::processEvents();
    EXPECT_EQ(state().first(), stale->text());
    EXPECT_FALSE(stale->isHidden());
    EXPECT_EQ(ui.pendingAnswers(), 0);
}

TEST_F(EmailPageTest, DoubleClickTakesOneSuggestion)
{
    frmdataform& f = openList();
    choose(f, QStringLiteral("Email"));
    // Sorted by address: carl, dora, eve (none), fred (none).
    emit f.DataGrid1->horizontalHeader()->sectionClicked(2);
    const QAbstractItemModel* m = f.DataGrid1->model();
    ASSERT_EQ(modelRows(m, {2}), QStringList({"carl@example.con", "dora@examplecom", "eve@@example.com", "fred@example.zz"}));

    // An empty suggestion writes nothing and says nothing.
    emit f.DataGrid1->doubleClicked(m->index(2, 3));
    EXPECT_EQ(cell("Eve"), QStringLiteral("eve@@example.com"));
    EXPECT_EQ(invalidRows(f).size(), 4);

    f.txtCountB1->setText(QStringLiteral("3"));
    emit f.DataGrid1->doubleClicked(f.DataGrid1->model()->index(1, 3));
    EXPECT_EQ(cell("Dora"), QStringLiteral("dora@example.com"));
    // The row no longer counts as invalid, and the page stays usable.
    EXPECT_EQ(modelRows(f.DataGrid1->model(), {2}),
              QStringList({"carl@example.con", "eve@@example.com", "fred@example.zz"}));
    EXPECT_EQ(control<QLineEdit>(f, "txtEmail_Nof_Records")->text(), QStringLiteral("3"));
    EXPECT_TRUE(countsRows(f).contains(QStringLiteral("com||USA|4")));
    EXPECT_TRUE(f.txtCountB1->text().isEmpty());
    EXPECT_TRUE(control<QPushButton>(f, "cmdUseSuggestions")->isEnabled());
    EXPECT_TRUE(ui.shown().isEmpty());
}

TEST(EmailCountsSort, HeaderClicks)
{
    const QStringList parts = {"Domain", "Tld", "Country", "Count"};
    struct Case {
        email::CountsSort before;
        QStringList headers;
        int clicked;
        bool hasRows;
        bool acted;
        email::CountsSort after;
    };
    const Case cases[] = {
        {{0, false}, parts, 0, true, true, {0, true}},     // same text column reverses
        {{0, false}, parts, 2, true, true, {2, false}},    // a new text column starts ascending
        {{0, false}, parts, 3, true, true, {3, true}},     // the count starts with the largest
        {{3, true}, parts, 3, true, true, {3, false}},
        {{0, false}, {"Domain", "Domain", "Count"}, 0, true, true, {1, false}},   // a caption's last place
        {{0, false}, {"Count"}, 0, true, false, {0, false}},                    // one column: nothing
        {{0, false}, parts, 1, false, false, {0, false}},                       // no rows: nothing
    };
    for (const Case& c : cases) {
        email::CountsSort s = c.before;
        EXPECT_EQ(email::clickCountsHeader(s, c.headers, c.clicked, c.hasRows), c.acted) << c.clicked;
        EXPECT_EQ(s.column, c.after.column) << c.clicked;
        EXPECT_EQ(s.descending, c.after.descending) << c.clicked;
    }
}

// A long run moves the page's bar while it works, as the events are let run,
// and hides it at the end.
TEST_F(EmailPageTest, ProgressBarMovesDuringTheRun)
{
    db.execute(QStringLiteral("CREATE TABLE tblData ([Name] TEXT(50), [Email] TEXT(255))"));
    db.connection().exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 29999) "
                                        "INSERT INTO tblData SELECT 'n' || i, 'p' || i || "
                                        "CASE WHEN i % 7 = 0 THEN '@examplecom' ELSE '@example.com' END FROM n"));
    frmdataform& f = frmdataform::instance();
    f.tab1->setCurrentIndex(5);
    auto* bar = control<QProgressBar>(f, "prgEMail");
    std::vector<int> seen;
    ui.onProcessEvents([&] {
        if (!bar->isHidden())
            seen.push_back(bar->value());
    });
    choose(f, QStringLiteral("Email"));
    ui.onProcessEvents({});
    const auto between = std::count_if(seen.begin(), seen.end(), [&](int v) { return v > bar->minimum() && v < bar->maximum(); });
    EXPECT_GE(between, 3) << "the bar stood still";
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(control<QLineEdit>(f, "txtEmail_Nof_Records")->text(), QString::number((30000 + 6) / 7));
}

// The page's own bulk corrections are no change of the list behind its back:
// neither while their message is up (a real box runs the queued events) nor
// after it does the page call its results out of date, and afterwards it
// shows the list as the correction left it, its buttons live.
TEST_F(EmailPageTest, OwnBulkCorrectionsLeaveThePageCurrent)
{
    frmdataform& f = openList();
    choose(f, QStringLiteral("Email"));
    auto* stale = control<QLabel>(f, "lblStale");

    /// Boxes that run the queued events while they are up, as a real box's own loop does.
    class BoxWithItsLoop : public ui::ScriptedHandler {
    public:
        using ScriptedHandler::ScriptedHandler;
        std::function<void()> whileUp;
        int messageBox(const ui::MessageRequest& request) override
        {
            QCoreApplication::processEvents();
            if (whileUp)
                whileUp();
            return ScriptedHandler::messageBox(request);
        }
    } boxes([](const QString& m) { ADD_FAILURE() << m.toStdString(); });
    bool staleUnderTheBox = false;
    boxes.whileUp = [&] { staleUnderTheBox = staleUnderTheBox || !stale->isHidden(); };

    struct Case { const char* button; int invalidLeft; bool buttonsAfter; };
    const Case cases[] = {
        {"cmdUseSuggestions", 2, true},   // the two without a suggestion stay
        {"cmdRemoveInvalid", 0, false},   // nothing left to correct
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        staleUnderTheBox = false;
        boxes.answerMessage(ui::vbOK, QStringLiteral("Operation sucessful."));
        control<QPushButton>(f, c.button)->click();
        QCoreApplication::processEvents();
        EXPECT_FALSE(staleUnderTheBox);
        EXPECT_TRUE(stale->isHidden());
        EXPECT_EQ(invalidRows(f).size(), c.invalidLeft);
        EXPECT_EQ(control<QLineEdit>(f, "txtEmail_Nof_Records")->text(), QString::number(c.invalidLeft));
        for (const char* b : {"cmdFilterInvalid", "cmdUseSuggestions", "cmdRemoveInvalid"})
            EXPECT_EQ(control<QPushButton>(f, b)->isEnabled(), c.buttonsAfter) << b;
    }
    EXPECT_EQ(boxes.pendingAnswers(), 0);
}
