// The Dupe Remover and near-duplicate pages, driven as the user drives them,
// over a small list opened in the workbench.
#include "duplicates/pages.h"

#include "app/mdimain.h"
#include "common/general.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/ui/scripted.h"
#include "platform/ui/settings.h"
#include "workbench/frmdataform.h"
#include "workbench/gridmodel.h"
#include "workbench/opening.h"

#include "support/workbench_fixture.h"

#include <QComboBox>
#include <functional>
#include <optional>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace general;

namespace {

constexpr int kNearTab = 6;
constexpr int kDupesTab = 7;

const QString kLong300 = QString(300, QLatin1Char('a'));
const QString kLong299b = QString(299, QLatin1Char('a')) + QLatin1Char('b');

class DuplicatePages : public testsupport::WorkbenchFixture {
protected:
    void SetUp() override
    {
        WorkbenchFixture::SetUp();
        if (HasFatalFailure())
            return;
        makeList();
    }

    void makeList()
    {
        // Keys 1..9 in row order. On ALL columns, 1, 2 and 4 are one group
        // (letter case does not count) and so are 6 and 7 (Null City is "");
        // 8 and 9 differ, as Null and 0 do in a number column.
        db.execute(QStringLiteral("CREATE TABLE tblData ([Name] TEXT(255), [City] TEXT(255), [Amount] DOUBLE, "
                                  "[Memo] LONGTEXT, [Blank] TEXT(50))"),
                   jet::dbFailOnError);
        struct Row {
            const char* name;
            const char* city;
            std::optional<double> amount;
            QString memo;
        };
        const Row rows[] = {
            {"Smith", "Paris", 10, {}},  {"Smith", "Paris", 10, {}},    {"Smyth", "Lyon", {}, {}},
            {"smith", "Paris", 10, {}},  {"Smith", "Lyon", {}, {}},     {"Smiith", "", {}, {}},
            {"Smiith", nullptr, {}, {}}, {"Jones", "Nice", 0, kLong300}, {"Jones", "Nice", {}, kLong299b},
        };
        jet::Connection& c = db.connection();
        jet::Stmt ins(&c, QStringLiteral("INSERT INTO tblData (Name, City, Amount, Memo) VALUES (?1, ?2, ?3, ?4)"));
        for (const Row& r : rows) {
            ins.bind(1, jet::Value(QString::fromLatin1(r.name)));
            ins.bind(2, r.city ? jet::Value(QString::fromLatin1(r.city)) : jet::Value());
            ins.bind(3, r.amount ? jet::Value(*r.amount) : jet::Value());
            ins.bind(4, r.memo.isEmpty() ? jet::Value() : jet::Value(r.memo));
            ins.step();
            ins.reset();
        }
    }

    frmdataform& open(int tab)
    {
        frmdataform& f = frmdataform::instance();
        EXPECT_EQ(frmdataform::loaded(), &f);
        f.tab1->setCurrentIndex(tab);
        QCoreApplication::processEvents();
        return f;
    }

    static void closeList()
    {
        gblnNewImport = true;   // no export question
        frmdataform::unload();
    }

    /// Closes the list and puts the fixture's tblData back, unkeyed, as an import leaves it.
    void closeAndRebuild()
    {
        closeList();
        db.execute(QStringLiteral("DROP TABLE tblData"), jet::dbFailOnError);
        makeList();
    }

    static void click(frmdataform& f, const char* button) { ctl<QPushButton>(f, button)->click(); }

    /// Moves the named columns into "Selected", one by one, as a double click does.
    static void choose(frmdataform& f, const QStringList& columns)
    {
        for (const QString& c : columns) {
            const QList<QListWidgetItem*> found = f.lstLeft2->findItems(c, Qt::MatchExactly);
            ASSERT_EQ(found.size(), 1) << c.toStdString();
            f.lstLeft2->clearSelection();
            found.first()->setSelected(true);
            click(f, "cmdMove2");
        }
    }

    static QStringList items(const QListWidget* l)
    {
        QStringList out;
        for (int i = 0; i < l->count(); ++i)
            out << l->item(i)->text();
        return out;
    }

    /// The rows of a view's model, cells joined by "|", sorted.
    static QStringList rows(const QTableView* view)
    {
        QStringList out;
        const QAbstractItemModel* m = view->model();
        if (!m)
            return out;
        for (int r = 0; r < m->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < m->columnCount(); ++c)
                cells << m->index(r, c).data().toString();
            out << cells.join(QLatin1Char('|'));
        }
        out.sort();
        return out;
    }

    static QStringList header(const QTableView* view)
    {
        QStringList out;
        const QAbstractItemModel* m = view->model();
        for (int c = 0; m && c < m->columnCount(); ++c)
            out << m->headerData(c, Qt::Horizontal).toString();
        return out;
    }

    std::vector<qint64> keys()
    {
        std::vector<qint64> out;
        for (auto rs = db.openRecordset(QStringLiteral("SELECT LumacorPrimK FROM tblData ORDER BY LumacorPrimK"),
                                        jet::dbOpenSnapshot);
             !rs->eof(); rs->moveNext())
            out.push_back(rs->value(0).toLong());
        return out;
    }

    /// Picks an item of the near-duplicate finder's combo as a click in its drop-down does.
    static void pick(QComboBox* combo, const QString& text)
    {
        const int i = combo->findText(text);
        ASSERT_GE(i, 0) << text.toStdString();
        combo->setCurrentIndex(i);
        emit combo->activated(i);
        QCoreApplication::processEvents();
    }

    void nearSearch(frmdataform& f, const QString& column, const QString& type, int minLen, int maxLen,
                    const QString& filter = QString())
    {
        pick(f.cmbColumn1A, column);
        pick(f.cmbSearchType, type);
        ctl<QComboBox>(f, "cmbMinLen")->setEditText(QString::number(minLen));
        ctl<QComboBox>(f, "cmbMaxLen")->setEditText(QString::number(maxLen));
        ctl<QLineEdit>(f, "txtFilterA")->setText(filter);
        click(f, "cmdShow");
    }

    /// The marks of tblSpecSearch1 as "Column1:Convert1:Convert2".
    QStringList marks()
    {
        QStringList out;
        for (auto rs = db.openRecordset(QStringLiteral("SELECT Column1, Convert1, Convert2 FROM tblSpecSearch1"),
                                        jet::dbOpenSnapshot);
             !rs->eof(); rs->moveNext())
            out << rs->value(0).toString() + QLatin1Char(':') + rs->value(1).toString() + QLatin1Char(':')
                    + rs->value(2).toString();
        out.sort();
        return out;
    }
};

// ---- Dupe Remover ---------------------------------------------------------------------

TEST_F(DuplicatePages, SearchCountsAndListsTheGroupsOnAllOrSelectedColumns)
{
    struct Case {
        const char* what;
        QStringList selected;   ///< empty: the ALL frame
        const char* distinct;
        const char* duplicate;
        QStringList header;
        QStringList groups;
        const char* caption;
    };
    const std::vector<Case> cases = {
        {"all columns", {}, "6", "3",
         {"Count", "Name", "City", "Amount", "Memo", "Blank"},
         {"2|Smiith||||", "3|Smith|Paris|10||"},
         "Search results of ALL columns"},
        {"one text column", {"Name"}, "4", "5", {"Count", "Name"}, {"2|Jones", "2|Smiith", "4|Smith"},
         "Search results of SELECTED columns"},
        {"text and number columns, in the chosen order", {"Amount", "City"}, "5", "4",
         {"Count", "Amount", "City"}, {"2||", "2||Lyon", "3|10|Paris"},
         "Search results of SELECTED columns"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        frmdataform& f = open(kDupesTab);
        const bool all = c.selected.isEmpty();
        choose(f, c.selected);
        // The other frame's results go when this one searches.
        (all ? f.txtCountB1 : f.txtCountA1)->setText(QStringLiteral("99"));
        (all ? f.cmdRemov2 : f.cmdRemov1)->setEnabled(true);

        click(f, all ? "cmdRefresh1" : "cmdRefresh2");

        EXPECT_EQ((all ? f.txtCountA1 : f.txtCountB1)->text(), QString::fromLatin1(c.distinct));
        EXPECT_EQ((all ? f.txtCountA2 : f.txtCountB2)->text(), QString::fromLatin1(c.duplicate));
        EXPECT_TRUE((all ? f.cmdRemov1 : f.cmdRemov2)->isEnabled());
        EXPECT_EQ((all ? f.txtCountB1 : f.txtCountA1)->text(), QString());
        EXPECT_FALSE((all ? f.cmdRemov2 : f.cmdRemov1)->isEnabled());
        EXPECT_EQ(header(f.flxDupes), c.header);
        // The Null Amount of a group shows as an empty cell.
        EXPECT_EQ(rows(f.flxDupes), c.groups);
        EXPECT_EQ(f.lblSearch_Results->text(), QString::fromLatin1(c.caption));
        EXPECT_EQ(ctl<QPushButton>(f, all ? "cmdRefresh1" : "cmdRefresh2")->text(), QStringLiteral("Search"));
        EXPECT_EQ(ui.pointer(&f), ui::Pointer::Default);
        EXPECT_TRUE(ui.shown().isEmpty());
        closeAndRebuild();
    }
}

TEST_F(DuplicatePages, SearchOfAListWithoutDuplicatesOffersNoRemoval)
{
    db.execute(QStringLiteral("DELETE FROM tblData WHERE Name <> \"Smyth\" AND Name <> \"Jones\""), jet::dbFailOnError);
    frmdataform& f = open(kDupesTab);
    click(f, "cmdRefresh1");
    EXPECT_EQ(f.txtCountA1->text(), QStringLiteral("3"));
    EXPECT_EQ(f.txtCountA2->text(), QStringLiteral("0"));
    EXPECT_FALSE(f.cmdRemov1->isEnabled());
    EXPECT_EQ(f.flxDupes->model()->rowCount(), 0);
    EXPECT_EQ(header(f.flxDupes).value(0), QStringLiteral("Count"));

    db.execute(QStringLiteral("DELETE FROM tblData"), jet::dbFailOnError);
    click(f, "cmdRefresh1");
    EXPECT_EQ(f.txtCountA1->text(), QStringLiteral("0"));
    EXPECT_EQ(f.txtCountA2->text(), QStringLiteral("0"));
    EXPECT_FALSE(f.cmdRemov1->isEnabled());
}

TEST_F(DuplicatePages, RemovalKeepsTheLowestKeyOfEachGroupAndSearchesAgain)
{
    struct Case {
        const char* what;
        QStringList selected;
        QString question;
        int style;
        std::vector<qint64> left;
    };
    const std::vector<Case> cases = {
        {"all columns", {}, QStringLiteral("Are you sure you want to remove identical records?"),
         ui::vbYesNo | ui::vbQuestion, {1, 3, 5, 6, 8, 9}},
        {"selected column", {"Name"},
         QStringLiteral("\rTHIS WILL CAUSE DATA LOSS !\r\r\rAre you sure you want to delete records?\r\r"),
         ui::vbYesNo | ui::vbQuestion | ui::vbMsgBoxHelpButton, {1, 3, 6, 8}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        frmdataform& f = open(kDupesTab);
        const bool all = c.selected.isEmpty();
        choose(f, c.selected);
        click(f, all ? "cmdRefresh1" : "cmdRefresh2");

        const int before = int(ui.shown().size());
        ui.answerMessage(ui::vbYes, c.question);
        ui.answerMessage(ui::vbOK, QStringLiteral("Operation successful."));
        click(f, all ? "cmdRemov1" : "cmdRemov2");

        ASSERT_EQ(ui.shown().size(), before + 2) << ui.messageTexts().join(QLatin1Char('/')).toStdString();
        const auto& question = ui.shown()[before];
        EXPECT_EQ(question.style, c.style);
        if (!all) {
            EXPECT_TRUE(question.message.helpFile.endsWith(QStringLiteral("LumacorProHelp.hlp"), Qt::CaseInsensitive));
            EXPECT_EQ(question.message.helpContext, 1170);
        }
        EXPECT_EQ(ui.shown().last().style, ui::vbInformation);
        EXPECT_EQ(keys(), c.left);
        // The search ran again on what is left.
        const long left = long(c.left.size());
        EXPECT_EQ((all ? f.txtCountA1 : f.txtCountB1)->text(), QString::number(left));
        EXPECT_EQ((all ? f.txtCountA2 : f.txtCountB2)->text(), QStringLiteral("0"));
        EXPECT_FALSE((all ? f.cmdRemov1 : f.cmdRemov2)->isEnabled());
        EXPECT_EQ(f.flxDupes->model()->rowCount(), 0);
        EXPECT_EQ(ctl<QPushButton>(f, all ? "cmdRemov1" : "cmdRemov2")->text(), QStringLiteral("Remove Records"));
        EXPECT_EQ(f.gridModel()->rowCount() - (f.gridModel()->isAddRow(f.gridModel()->rowCount() - 1) ? 1 : 0), left);
        EXPECT_EQ(glngTotalRecords, left);
        EXPECT_EQ(MDIMain::instance().panelText(1), workbench::statusText(left, gstrCurColumn, glngCurRow));
        EXPECT_EQ(ui.pointer(&f), ui::Pointer::Default);
        closeAndRebuild();
    }
}

TEST_F(DuplicatePages, RefusedRemovalChangesNothing)
{
    frmdataform& f = open(kDupesTab);
    click(f, "cmdRefresh1");
    const QStringList groups = rows(f.flxDupes);

    ui.answerMessage(ui::vbNo);
    ui.answerMessage(ui::vbOK, QStringLiteral("Operation cancelled."));
    click(f, "cmdRemov1");

    EXPECT_EQ(ui.shown().last().style, ui::vbCritical);
    EXPECT_EQ(keys(), (std::vector<qint64>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(f.txtCountA2->text(), QStringLiteral("3"));
    EXPECT_TRUE(f.cmdRemov1->isEnabled());
    EXPECT_EQ(rows(f.flxDupes), groups);
    EXPECT_EQ(f.cmdRemov1->text(), QStringLiteral("Remove Records"));
}

TEST_F(DuplicatePages, ChooserMovesEntriesAndVoidsTheSelectedResults)
{
    frmdataform& f = open(kDupesTab);
    ASSERT_EQ(items(f.lstLeft2), (QStringList{"Name", "City", "Amount", "Memo", "Blank"}));

    // A move from an empty list changes nothing, not even the counts.
    f.txtCountB1->setText(QStringLiteral("7"));
    click(f, "cmdBackAll2");
    EXPECT_EQ(f.txtCountB1->text(), QStringLiteral("7"));

    // Three selected entries move in list order; those between them stay.
    f.lstLeft2->clearSelection();
    for (int i : {0, 2, 4})
        f.lstLeft2->item(i)->setSelected(true);
    click(f, "cmdMove2");
    EXPECT_EQ(items(f.lstRight2), (QStringList{"Name", "Amount", "Blank"}));
    EXPECT_EQ(items(f.lstLeft2), (QStringList{"City", "Memo"}));
    EXPECT_EQ(f.txtCountB1->text(), QString());

    // After a search, any move empties the counts, the groups and the removal.
    click(f, "cmdRefresh2");
    ASSERT_TRUE(f.cmdRemov2->isEnabled());
    ASSERT_GT(f.flxDupes->model()->rowCount(), 0);
    click(f, "cmdMoveAll2");
    EXPECT_EQ(items(f.lstRight2), (QStringList{"Name", "Amount", "Blank", "City", "Memo"}));
    EXPECT_TRUE(f.lstLeft2->count() == 0);
    EXPECT_FALSE(ctl<QPushButton>(f, "cmdMove2")->isEnabled());
    EXPECT_FALSE(ctl<QPushButton>(f, "cmdMoveAll2")->isEnabled());
    EXPECT_EQ(f.txtCountB1->text(), QString());
    EXPECT_EQ(f.txtCountB2->text(), QString());
    EXPECT_FALSE(f.cmdRemov2->isEnabled());
    EXPECT_EQ(f.flxDupes->model()->rowCount(), 0);
    EXPECT_EQ(f.flxDupes->model()->columnCount(), 0);
    EXPECT_TRUE(ctl<QPushButton>(f, "cmdRefresh2")->isEnabled());

    // Moving the last entry out disables Search and the buttons that move from the list.
    click(f, "cmdBackAll2");
    EXPECT_EQ(f.lstRight2->count(), 0);
    EXPECT_FALSE(ctl<QPushButton>(f, "cmdRefresh2")->isEnabled());
    EXPECT_FALSE(ctl<QPushButton>(f, "cmdBack2")->isEnabled());
    EXPECT_FALSE(ctl<QPushButton>(f, "cmdBackAll2")->isEnabled());
    EXPECT_TRUE(ctl<QPushButton>(f, "cmdMove2")->isEnabled());
}

TEST_F(DuplicatePages, ChangeOfTheListVoidsTheCountsButKeepsTheGroupsOnScreen)
{
    frmdataform& f = open(kDupesTab);
    click(f, "cmdRefresh1");
    const QStringList groups = rows(f.flxDupes);

    // An edit in the grid: record 2 is no longer a duplicate.
    workbench::GridModel* grid = f.gridModel();
    ASSERT_TRUE(grid->setData(grid->index(1, 0), QStringLiteral("Smithers")));

    for (QLineEdit* e : {f.txtCountA1, f.txtCountA2, f.txtCountB1, f.txtCountB2})
        EXPECT_EQ(e->text(), QString());
    EXPECT_FALSE(f.cmdRemov1->isEnabled());
    EXPECT_EQ(rows(f.flxDupes), groups);

    // A new search sees the change, and its removal keeps records 1 and 2.
    click(f, "cmdRefresh1");
    EXPECT_EQ(f.txtCountA2->text(), QStringLiteral("2"));
    ui.answerMessage(ui::vbYes);
    ui.answerMessage(ui::vbOK, QStringLiteral("Operation successful."));
    click(f, "cmdRemov1");
    EXPECT_EQ(keys(), (std::vector<qint64>{1, 2, 3, 5, 6, 8, 9}));
}

// ---- near-duplicate finder --------------------------------------------------------------

TEST_F(DuplicatePages, NearSearchListsPairsWithTheirCounts)
{
    struct Case {
        const char* what;
        QString type;
        int minLen, maxLen;
        QString filter;
        QStringList pairs;   ///< Column1|Count1|mark|Column2|Count2|mark
    };
    const QString diff = QStringLiteral("1 character difference");
    const QString missing = QStringLiteral("missing character");
    const std::vector<Case> cases = {
        {"one character different; case does not count", diff, 5, 5, {}, {"Smyth|1||Smith|4|"}},
        {"a doubled letter is one pair, counted once", missing, 6, 6, {}, {"Smiith|2||Smith|4|"}},
        {"both kinds are asked for by the longer length only", missing, 5, 5, {}, {}},
        {"lengths outside the range find nothing", diff, 6, 6, {}, {}},
        {"minimum above the maximum searches nothing", diff, 6, 5, {}, {}},
        {"a pattern both values match keeps the orientation", diff, 5, 5, QStringLiteral("Sm?th"), {"Smyth|1||Smith|4|"}},
        {"a pattern only one value matches puts it first", diff, 5, 5, QStringLiteral("Smi*"), {"Smith|4||Smyth|1|"}},
        {"a pattern no value matches", diff, 5, 5, QStringLiteral("J*"), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        frmdataform& f = open(kNearTab);
        nearSearch(f, QStringLiteral("Name"), c.type, c.minLen, c.maxLen, c.filter);

        EXPECT_TRUE(ui.shown().isEmpty());
        EXPECT_EQ(rows(f.DataRepeater1), c.pairs);
        EXPECT_EQ(f.txtPairs->text(), QString::number(c.pairs.size()));
        EXPECT_EQ(f.cmdConvert2->isEnabled(), !c.pairs.isEmpty());
        EXPECT_EQ(f.lblDoubleClick->isVisibleTo(&f), !c.pairs.isEmpty());
        EXPECT_TRUE(f.txtPairs->isVisibleTo(&f));
        EXPECT_FALSE(ctl<QWidget>(f, "PBar4")->isVisibleTo(&f));
        EXPECT_EQ(ui.pointer(&f), ui::Pointer::Default);
        const auto shown = duplicates::shownNearSearch(f);
        ASSERT_TRUE(shown.has_value());
        EXPECT_EQ(shown->column, QStringLiteral("Name"));
        EXPECT_TRUE(shown->allowsConversionOf(QStringLiteral("name")));
        EXPECT_FALSE(shown->allowsConversionOf(QStringLiteral("City")));
        closeAndRebuild();
    }
}

TEST_F(DuplicatePages, NearSearchLeavesOutValuesTooLongForThePairTable)
{
    frmdataform& f = open(kNearTab);
    nearSearch(f, QStringLiteral("Memo"), QStringLiteral("1 character difference"), 290, 300);
    EXPECT_TRUE(ui.shown().isEmpty());   // no error: the two long values are counted, not paired
    EXPECT_EQ(f.txtPairs->text(), QStringLiteral("0"));
    EXPECT_EQ(ctl<QLineEdit>(f, "txtTooLong")->text(), QStringLiteral("2"));
}

TEST_F(DuplicatePages, ColumnChoiceListsTheLengthsAndKeepsBothPickersEqual)
{
    frmdataform& f = open(kNearTab);
    auto* minLen = ctl<QComboBox>(f, "cmbMinLen");
    auto* maxLen = ctl<QComboBox>(f, "cmbMaxLen");
    struct Case {
        const char* column;
        const char* min;
        const char* max;
        QStringList lengths;
    };
    const Case cases[] = {
        {"Name", "6", "6", {"5", "6"}},    // the default minimum is 8, or the longest length below it
        {"Memo", "8", "300", {"300"}},     // 8 even though no value is that short
        {"Blank", "0", "0", {"0"}},        // no value at all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.column);
        pick(f.cmbColumn1A, QString::fromLatin1(c.column));
        EXPECT_EQ(minLen->currentText(), QString::fromLatin1(c.min));
        EXPECT_EQ(maxLen->currentText(), QString::fromLatin1(c.max));
        QStringList listed;
        for (int i = 0; i < maxLen->count(); ++i)
            listed << maxLen->itemText(i);
        EXPECT_EQ(listed, c.lengths);
        EXPECT_EQ(minLen->count(), maxLen->count());
        EXPECT_EQ(f.cmbColumn1->currentText(), QString::fromLatin1(c.column));
    }

    // A column picked on the Column Cleaner's page is followed here.
    f.tab1->setCurrentIndex(4);
    pick(f.cmbColumn1, QStringLiteral("City"));
    EXPECT_EQ(f.cmbColumn1A->currentText(), QStringLiteral("City"));
    EXPECT_EQ(maxLen->currentText(), QStringLiteral("5"));
}

TEST_F(DuplicatePages, NearSearchRefusesMissingChoicesAndBadLengths)
{
    frmdataform& f = open(kNearTab);
    ui.answerMessage(ui::vbOK, QStringLiteral("Please Choose"));
    click(f, "cmdShow");
    EXPECT_EQ(ui.shown().last().style, ui::vbExclamation);

    pick(f.cmbColumn1A, QStringLiteral("Name"));
    pick(f.cmbSearchType, QStringLiteral("missing character"));
    ctl<QComboBox>(f, "cmbMinLen")->setEditText(QStringLiteral("five"));
    ui.answerMessage(ui::vbOK);
    click(f, "cmdShow");
    EXPECT_EQ(ui.shown().last().style, ui::vbOKOnly);
    EXPECT_EQ(f.txtPairs->text(), QString());
    EXPECT_FALSE(f.cmdConvert2->isEnabled());
    EXPECT_FALSE(ctl<QWidget>(f, "PBar4")->isVisibleTo(&f));
    EXPECT_EQ(ui.pointer(&f), ui::Pointer::Default);
}

TEST_F(DuplicatePages, TicksInTheReviewListWriteTheMarks)
{
    db.execute(QStringLiteral("UPDATE tblData SET Name=\"Smitg\" WHERE City=\"Nice\" AND Amount IS NULL"), jet::dbFailOnError);
    frmdataform& f = open(kNearTab);
    nearSearch(f, QStringLiteral("Name"), QStringLiteral("1 character difference"), 5, 5);
    QAbstractItemModel* m = f.DataRepeater1->model();
    ASSERT_EQ(m->rowCount(), 2);   // Smith/Smitg and Smyth/Smith
    QStringList column1;
    for (int r = 0; r < m->rowCount(); ++r)
        column1 << m->index(r, 0).data().toString() + QLatin1Char('/') + m->index(r, 3).data().toString();

    const int row = int(column1.indexOf(QStringLiteral("Smyth/Smith")));
    ASSERT_GE(row, 0) << column1.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(m->setData(m->index(row, 2), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(m->index(row, 2).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    emit f.DataRepeater1->doubleClicked(m->index(row, 3));   // beside the second value
    EXPECT_TRUE(marks().contains(QStringLiteral("Smyth:X:X"))) << marks().join(QLatin1Char(' ')).toStdString();

    EXPECT_TRUE(m->setData(m->index(row, 2), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_TRUE(marks().contains(QStringLiteral("Smyth::X")));
    EXPECT_EQ(m->index(row, 2).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
}

TEST_F(DuplicatePages, ChangedChoicesTakeThePairsOffThePage)
{
    struct Case {
        const char* what;
        std::function<void(frmdataform&)> change;
    };
    const std::vector<Case> cases = {
        {"another search type", [](frmdataform& f) { pick(f.cmbSearchType, QStringLiteral("missing character")); }},
        {"another column", [](frmdataform& f) { pick(f.cmbColumn1A, QStringLiteral("City")); }},
        {"a change of the list elsewhere", [](frmdataform& f) { f.Reset_AdozIvidor(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        frmdataform& f = open(kNearTab);
        nearSearch(f, QStringLiteral("Name"), QStringLiteral("1 character difference"), 5, 5);
        ASSERT_TRUE(duplicates::shownNearSearch(f).has_value());

        c.change(f);

        EXPECT_EQ(f.DataRepeater1->model(), nullptr);
        EXPECT_EQ(f.txtPairs->text(), QStringLiteral("0"));
        EXPECT_FALSE(f.cmdConvert2->isEnabled());
        EXPECT_FALSE(f.lblDoubleClick->isVisibleTo(&f));
        EXPECT_FALSE(duplicates::shownNearSearch(f).has_value());
        // Coming back to the page does not bring the old pairs back.
        f.tab1->setCurrentIndex(0);
        f.tab1->setCurrentIndex(kNearTab);
        QCoreApplication::processEvents();
        EXPECT_EQ(f.DataRepeater1->model(), nullptr);
        closeAndRebuild();
    }
}

} // namespace

TEST_F(DuplicatePages, RemovalClearsTheNearDuplicatePairs)
{
    frmdataform& f = open(kNearTab);
    nearSearch(f, QStringLiteral("Name"), QStringLiteral("1 character difference"), 5, 5, {});
    ASSERT_NE(f.txtPairs->text(), QStringLiteral("0"));
    ASSERT_TRUE(f.cmdConvert2->isEnabled());

    open(kDupesTab);
    click(f, "cmdRefresh1");
    ui.answerMessage(ui::vbYes);
    ui.answerMessage(ui::vbOK, QStringLiteral("Operation successful."));
    click(f, "cmdRemov1");
    // The pairs named values of records now gone: they may not stay actionable.
    EXPECT_EQ(f.txtPairs->text(), QStringLiteral("0"));
    EXPECT_FALSE(f.cmdConvert2->isEnabled());
}
