#include "cleaning/text_clean_run.h"

#include "list_fixture.h"

#include "platform/jet/connection.h"
#include "platform/jet/error.h"

#include <gtest/gtest.h>

using namespace cleaning;
using listfixture::Row;

namespace {

// Values that the steps treat differently, Null and "" among them.
std::vector<Row> mixedRows()
{
    const std::optional<QString> names[] = {
        u"  A  b  "_qs, u"J0HN 1EE"_qs, u"IO-lo"_qs, u"(5) 1-2"_qs, u"1, 2.5 ft"_qs, u"$$$100,,00"_qs,
        u"Mississippi"_qs, u"a\tb\r\nc"_qs, u"caf\u00E9"_qs, u"1\u00A02 3"_qs, u"O'Brien-Smith Jr."_qs,
        u"Nr: lO 5"_qs, u""_qs, std::nullopt, u"  \t x"_qs, u"V\u00E4\u00E4n\u00E4nen"_qs, u"Jos\u00E9"_qs,
        u"A*b"_qs, u"alpha  "_qs, u"ant"_qs, u"   "_qs, u"Hello!!!  World(("_qs, std::nullopt, u"a--b-c"_qs,
        // Half a surrogate pair and a leading mark stay whatever the steps do.
        u"\uFEFFZo\u00EB  "_qs + QChar(0xD83D) + u"  1.5  "_qs,
    };
    std::vector<Row> rows;
    for (const auto& n : names)
        rows.push_back(Row{n, n, std::nullopt, std::nullopt, std::nullopt});
    return rows;
}

using StepFn = QString (*)(const QString&);

// The run as a pass per ticked step: one UPDATE for the trim, then a walk of
// an updatable recordset, opened before anything is written, for every other
// ticked step. Each pass reads and writes every selected record.
void passPerStep(jet::Database& db, const QString& column, const CleanSteps& s, const QString& condition)
{
    auto rs = db.openRecordset(QStringLiteral("SELECT * FROM tblData") + condition, jet::dbOpenDynaset);
    if (s.trim)
        db.execute(QStringLiteral("UPDATE tblData SET [%1]=TRIM([%1]) ").arg(column) + condition, jet::dbFailOnError);
    const std::pair<bool, StepFn> passes[] = {
        {s.removNonPrint, Remov_Non_Print}, {s.removRepeat, Remov_Repeat},
        {s.conv1, Conv_1},                  {s.removNonDigitAlpha, Remov_NonDigitAlpha},
        {s.removDigits, Remov_Digits},      {s.conv2, Conv_2},
        {s.removNonDigitExcept3, Remov_NonDigitExcept3}, {s.remov3, Remov_3},
        {s.removSpace, Remov_Space},
    };
    for (const auto& [ticked, step] : passes) {
        if (!ticked)
            continue;
        rs->moveFirst();
        while (!rs->eof()) {
            rs->edit();
            rs->setValue(column, jet::Value(step(rs->value(column).toString())));
            rs->update();
            rs->moveNext();
        }
    }
}

CleanSteps steps(std::initializer_list<bool CleanSteps::*> ticked)
{
    CleanSteps s;
    for (auto m : ticked)
        s.*m = true;
    return s;
}

// Every non-Null value of column, no question asked.
TextCleanRequest allOf(const QString& column, const CleanSteps& s)
{
    return TextCleanRequest{column, s, QString(), true};
}

qint64 differing(const QStringList& a, const QStringList& b)
{
    qint64 n = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        n += a[i] != b[i];
    return n;
}

class TextCleanRunTest : public listfixture::ListTest {
protected:
    void SetUp() override
    {
        ListTest::SetUp();
        db = open(QStringLiteral("work.sys"));
        listfixture::makeList(db, mixedRows());
    }
    void TearDown() override
    {
        EXPECT_EQ(db.connection().transactionDepth, 0) << "a transaction was left open";
        db.close();
    }

    jet::Database db;
};

class CountingProgress : public common::Progress {
public:
    explicit CountingProgress(qint64 cancelAfter = -1) : cancelAfter_(cancelAfter) {}
    void start(qint64 total) override { total_ = total; }
    void step(qint64 done) override
    {
        EXPECT_GE(done, last_);
        last_ = done;
    }
    bool cancelled() const override { return cancelAfter_ >= 0 && last_ >= cancelAfter_; }

    qint64 total_ = -1;
    qint64 last_ = 0;

private:
    qint64 cancelAfter_;
};

} // namespace

// The one-pass run leaves the column exactly as the pass-per-step walk does,
// whatever is ticked, over all values and over the filtered ones.
TEST_F(TextCleanRunTest, EqualsAPassPerTickedStep)
{
    using S = CleanSteps;
    const CleanSteps all{true, true, true, true, true, true, true, true, true, true};
    struct Case {
        const char* what;
        CleanSteps steps;
        QString pattern;
        bool allValues;
    };
    const Case cases[] = {
        {"as the page opens", steps({&S::trim, &S::removNonPrint}), QString(), true},
        {"trim alone", steps({&S::trim}), QString(), true},
        {"general steps", steps({&S::trim, &S::removNonPrint, &S::removRepeat}), QString(), true},
        {"alpha group", steps({&S::conv1, &S::removNonDigitAlpha, &S::removDigits}), QString(), true},
        {"numeric group", steps({&S::conv2, &S::removNonDigitExcept3, &S::remov3, &S::removSpace}), QString(), true},
        {"repeat after non-print", steps({&S::removNonPrint, &S::removRepeat, &S::removSpace}), QString(), true},
        {"every step", all, QString(), true},
        {"filtered, matched before the trim", steps({&S::trim, &S::removRepeat}), u"a*"_qs, false},
        {"filtered, every step", all, u"*o*"_qs, false},
        {"Yes with a pattern cleans everything", steps({&S::trim, &S::removSpace}), u"a*"_qs, true},
        {"No with an empty pattern cleans everything", steps({&S::trim, &S::removSpace}), QString(), false},
        {"nothing ticked", CleanSteps{}, QString(), true},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString file = QStringLiteral("case%1").arg(++n);
        jet::Database one = open(file + QStringLiteral("a.sys"));
        jet::Database walked = open(file + QStringLiteral("b.sys"));
        listfixture::makeList(one, mixedRows());
        listfixture::makeList(walked, mixedRows());
        const QStringList before = listfixture::column(one, u"Name"_qs);

        TextCleanRequest request{u"Name"_qs, c.steps, c.pattern, c.allValues};
        const TextCleanResult r = runTextClean(one, request);
        passPerStep(walked, u"Name"_qs, c.steps,
                    cleanCondition(u"Name"_qs, c.pattern, c.allValues || c.pattern.isEmpty()));

        ASSERT_EQ(r.outcome, TextCleanOutcome::Done) << c.what << ": " << r.message.toStdString();
        EXPECT_EQ(r.message, u"Process Complete."_qs) << c.what;
        const QStringList after = listfixture::column(one, u"Name"_qs);
        EXPECT_EQ(after, listfixture::column(walked, u"Name"_qs)) << c.what;
        EXPECT_EQ(r.changed, differing(before, after)) << c.what;
        // Only the cleaned column moves.
        EXPECT_EQ(listfixture::column(one, u"Notes"_qs), before) << c.what;
    }
}

TEST_F(TextCleanRunTest, SelectionAndChangeCounts)
{
    TextCleanRequest request{u"Name"_qs, steps({&CleanSteps::removSpace}), u"a*"_qs, false};
    CountingProgress progress;
    const TextCleanResult r = runTextClean(db, request, progress);
    ASSERT_TRUE(r.ok()) << r.message.toStdString();
    // "A*b", "alpha  ", "ant", "a\tb\r\nc", "a--b-c" match; two of them hold spaces.
    EXPECT_EQ(r.selected, 5);
    EXPECT_EQ(r.changed, 1);
    EXPECT_EQ(progress.total_, 5);
    EXPECT_EQ(progress.last_, 5);
    EXPECT_TRUE(listfixture::column(db, u"Name"_qs).contains(u"alpha"_qs));
    EXPECT_TRUE(listfixture::column(db, u"Name"_qs).contains(u"  A  b  "_qs));
}

TEST_F(TextCleanRunTest, RefusedBeforeAnythingRuns)
{
    struct Case {
        QString column;
        TextCleanOutcome outcome;
        QString message;
    };
    const Case cases[] = {
        {u"Please Choose a Column"_qs, TextCleanOutcome::NoColumn, u"Please Choose a Column"_qs},
        {u"Notes"_qs, TextCleanOutcome::NotText, u"Only text fields can be cleaned."_qs},
        {u"Age"_qs, TextCleanOutcome::NotText, u"Only text fields can be cleaned."_qs},
        {u"name"_qs, TextCleanOutcome::NotText, u"Only text fields can be cleaned."_qs},
        {u"LumacorPrimK"_qs, TextCleanOutcome::NotText, u"Only text fields can be cleaned."_qs},
        {u"Nowhere"_qs, TextCleanOutcome::NotText, u"Only text fields can be cleaned."_qs},
    };
    const QStringList before = listfixture::column(db, u"Name"_qs);
    for (const Case& c : cases) {
        const TextCleanResult r = runTextClean(db, allOf(c.column, steps({&CleanSteps::trim})));
        EXPECT_EQ(r.outcome, c.outcome) << c.column.toStdString();
        EXPECT_EQ(r.message, c.message) << c.column.toStdString();
    }
    EXPECT_EQ(listfixture::column(db, u"Name"_qs), before);
}

// An empty selection is reported as such, whichever steps are ticked.
TEST_F(TextCleanRunTest, EmptySelectionSaysSo)
{
    struct Case {
        const char* what;
        QString column;
        QString pattern;
        CleanSteps steps;
    };
    const Case cases[] = {
        {"a column of Nulls, as the page opens", u"Blank"_qs, QString(),
         steps({&CleanSteps::trim, &CleanSteps::removNonPrint})},
        {"a pattern nothing matches", u"Name"_qs, u"Q*"_qs, steps({&CleanSteps::removRepeat})},
        {"trim alone", u"Blank"_qs, QString(), steps({&CleanSteps::trim})},
    };
    for (const Case& c : cases) {
        const TextCleanResult r = runTextClean(db, TextCleanRequest{c.column, c.steps, c.pattern, c.pattern.isEmpty()});
        EXPECT_EQ(r.outcome, TextCleanOutcome::NothingSelected) << c.what;
        EXPECT_EQ(r.message, u"Nothing To Clean!"_qs) << c.what;
        EXPECT_EQ(r.selected, 0) << c.what;
    }
}

// A row the database refuses half-way through, after earlier rows were
// written: nothing of the run stays, and the refusal is the message.
TEST_F(TextCleanRunTest, FailurePartWayRollsBack)
{
    db.connection().exec(QStringLiteral(
        "CREATE TRIGGER refuse BEFORE UPDATE OF Name ON tblData WHEN NEW.Name = 'HelloWorld' "
        "BEGIN SELECT RAISE(ABORT, 'The list refuses this value.'); END"));
    const QStringList before = listfixture::column(db, u"Name"_qs);

    const TextCleanResult r = runTextClean(db, allOf(u"Name"_qs, steps({&CleanSteps::removNonDigitAlpha})));
    EXPECT_EQ(r.outcome, TextCleanOutcome::Failed);
    EXPECT_EQ(r.message, u"The list refuses this value."_qs);
    EXPECT_EQ(r.changed, 0);
    EXPECT_EQ(listfixture::column(db, u"Name"_qs), before);
}

// A Cancel after thousands of rows were written leaves the column as it was.
TEST_F(TextCleanRunTest, CancelRollsBack)
{
    jet::Database big = open(u"big.sys"_qs);
    std::vector<Row> rows;
    for (int i = 0; i < 10000; ++i)
        rows.push_back(Row{QStringLiteral("  row %1  ").arg(i), std::nullopt, std::nullopt, std::nullopt, std::nullopt});
    listfixture::makeList(big, rows);
    const QStringList before = listfixture::column(big, u"Name"_qs);

    CountingProgress progress(1);
    const TextCleanResult r = runTextClean(big, allOf(u"Name"_qs, steps({&CleanSteps::trim})), progress);
    EXPECT_EQ(r.outcome, TextCleanOutcome::Cancelled);
    EXPECT_EQ(r.message, u"Operation cancelled."_qs);
    EXPECT_EQ(progress.total_, 10000);
    EXPECT_LT(progress.last_, 10000);
    EXPECT_EQ(listfixture::column(big, u"Name"_qs), before);
    EXPECT_EQ(big.connection().transactionDepth, 0);

    // The same run without a Cancel goes through.
    const TextCleanResult again = runTextClean(big, allOf(u"Name"_qs, steps({&CleanSteps::trim})));
    EXPECT_EQ(again.changed, 10000);
    EXPECT_EQ(listfixture::column(big, u"Name"_qs).first(), u"row 0"_qs);
}

// The run writes inside an enclosing transaction without closing it.
TEST_F(TextCleanRunTest, NestsInAnOpenTransaction)
{
    jet::Workspace::beginTrans();
    const TextCleanResult r = runTextClean(db, allOf(u"Name"_qs, steps({&CleanSteps::trim})));
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(db.connection().transactionDepth, 1);
    jet::Workspace::rollback();
    EXPECT_EQ(listfixture::column(db, u"Name"_qs).first(), u"  A  b  "_qs);
}
