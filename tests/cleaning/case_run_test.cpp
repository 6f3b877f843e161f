#include "cleaning/case_run.h"

#include "list_fixture.h"

#include <gtest/gtest.h>

using namespace cleaning;
using listfixture::Row;

namespace {

Row named(std::optional<QString> name) { return Row{name, name, std::nullopt, std::nullopt, std::nullopt}; }

const std::vector<std::optional<QString>> kNames = {
    u"john mcdonald"_qs, u"ANNA O'NEIL"_qs, std::nullopt, u""_qs, u"\u00E9mile z\u00F6LLER"_qs,
    u"Already Proper"_qs, u"ibm usa"_qs, u"alpha"_qs, u"O\"Brien smith"_qs,
};

class CaseRun : public listfixture::ListTest {
protected:
    void SetUp() override
    {
        ListTest::SetUp();
        db = open(QStringLiteral("work.sys"));
        std::vector<Row> rows;
        for (const auto& n : kNames)
            rows.push_back(named(n));
        listfixture::makeList(db, rows);
    }

    CaseRequest request(CaseMode mode, const QString& pattern = QString(), bool all = true) const
    {
        return CaseRequest{QStringLiteral("Name"), mode, pattern, all, {u"Mc"_qs, u"O'"_qs}, {u"IBM"_qs, u"USA"_qs}};
    }

    jet::Database db;
};

TEST_F(CaseRun, ConvertsTheSelectedValuesOnly)
{
    const QString null = QStringLiteral("<null>");
    const struct {
        CaseMode mode;
        QString pattern;
        bool all;
        QStringList expected;
        qint64 changed;   // Proper Case: rows written back
    } cases[] = {
        {CaseMode::Upper, {}, true,
         {u"JOHN MCDONALD"_qs, u"ANNA O'NEIL"_qs, null, u""_qs, u"\u00C9MILE Z\u00D6LLER"_qs, u"ALREADY PROPER"_qs,
          u"IBM USA"_qs, u"ALPHA"_qs, u"O\"BRIEN SMITH"_qs}, -1},
        // A pattern with the answer Yes still takes every row.
        {CaseMode::Lower, u"a*"_qs, true,
         {u"john mcdonald"_qs, u"anna o'neil"_qs, null, u""_qs, u"\u00E9mile z\u00F6ller"_qs, u"already proper"_qs,
          u"ibm usa"_qs, u"alpha"_qs, u"o\"brien smith"_qs}, -1},
        {CaseMode::Upper, u"a*"_qs, false,
         {u"john mcdonald"_qs, u"ANNA O'NEIL"_qs, null, u""_qs, u"\u00E9mile z\u00F6LLER"_qs, u"ALREADY PROPER"_qs,
          u"ibm usa"_qs, u"ALPHA"_qs, u"O\"Brien smith"_qs}, -1},
        {CaseMode::Proper, {}, true,
         {u"John McDonald"_qs, u"Anna O'Neil"_qs, null, u""_qs, u"\u00C9mile Z\u00F6ller"_qs, u"Already Proper"_qs,
          u"IBM USA"_qs, u"Alpha"_qs, u"O\"Brien Smith"_qs}, 6},
        // The filter's double quote is doubled into the literal, not a break out of it.
        {CaseMode::Proper, u"O\"B*"_qs, false,
         {u"john mcdonald"_qs, u"ANNA O'NEIL"_qs, null, u""_qs, u"\u00E9mile z\u00F6LLER"_qs, u"Already Proper"_qs,
          u"ibm usa"_qs, u"alpha"_qs, u"O\"Brien Smith"_qs}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern.toStdString());
        jet::Database fresh = open(QStringLiteral("case%1.sys").arg(&c - cases));
        std::vector<Row> rows;
        for (const auto& n : kNames)
            rows.push_back(named(n));
        listfixture::makeList(fresh, rows);
        const CaseResult r = runCaseConversion(fresh, request(c.mode, c.pattern, c.all));
        ASSERT_EQ(r.outcome, CaseOutcome::Done) << r.message.toStdString();
        EXPECT_EQ(r.message, u"Conversion Successful."_qs);
        EXPECT_EQ(listfixture::column(fresh, QStringLiteral("Name")), c.expected);
        if (c.changed >= 0) {
            EXPECT_EQ(r.changed, c.changed);
        }
        // The other text columns are never touched.
        EXPECT_EQ(listfixture::column(fresh, QStringLiteral("Notes")), listfixture::column(db, QStringLiteral("Notes")));
    }
}

TEST_F(CaseRun, OnlyATextColumnNamedExactlyQualifies)
{
    const QStringList before = listfixture::column(db, QStringLiteral("Name"));
    const QString refused[] = {u"Notes"_qs, u"Age"_qs, u"Born"_qs, u"name"_qs, u"LumacorPrimK"_qs,
                               u"Please Choose a Column"_qs, u""_qs};
    for (const QString& column : refused) {
        for (CaseMode mode : {CaseMode::Upper, CaseMode::Proper}) {
            CaseRequest r = request(mode);
            r.column = column;
            const CaseResult result = runCaseConversion(db, r);
            EXPECT_EQ(result.outcome, CaseOutcome::NotText) << column.toStdString();
            EXPECT_EQ(result.message, u"Only text fields can be converted."_qs);
        }
    }
    EXPECT_EQ(listfixture::column(db, QStringLiteral("Name")), before);
}

TEST_F(CaseRun, EmptySelection)
{
    const QStringList before = listfixture::column(db, QStringLiteral("Name"));
    // Proper Case has no record to start on and says so, as a failure.
    const CaseResult proper = runCaseConversion(db, request(CaseMode::Proper, u"zz*"_qs, false));
    EXPECT_EQ(proper.outcome, CaseOutcome::NothingSelected);
    EXPECT_FALSE(proper.ok());
    // The statement of UPPERCASE simply changes nothing.
    const CaseResult upper = runCaseConversion(db, request(CaseMode::Upper, u"zz*"_qs, false));
    EXPECT_EQ(upper.outcome, CaseOutcome::Done);
    EXPECT_EQ(listfixture::column(db, QStringLiteral("Name")), before);
}

// Stops the run once the first rows have been written.
class StopAfterFirst : public common::Progress {
public:
    void start(qint64 total) override { total_ = total; }
    void step(qint64 done) override { steps_.push_back(done); }
    bool cancelled() const override { return !steps_.empty(); }
    qint64 total_ = 0;
    std::vector<qint64> steps_;
};

TEST_F(CaseRun, CancelLeavesTheColumnAsItWas)
{
    jet::Database big = open(QStringLiteral("big.sys"));
    std::vector<Row> rows;
    for (int i = 0; i < 10000; ++i)
        rows.push_back(named(QStringLiteral("name %1").arg(i)));
    listfixture::makeList(big, rows);
    const QStringList before = listfixture::column(big, QStringLiteral("Name"));

    StopAfterFirst stop;
    const CaseResult r = runCaseConversion(big, request(CaseMode::Proper), stop);
    EXPECT_EQ(r.outcome, CaseOutcome::Cancelled);
    EXPECT_EQ(r.message, u"Operation cancelled."_qs);
    EXPECT_EQ(stop.total_, 10000);
    ASSERT_EQ(stop.steps_.size(), 1u);
    EXPECT_LT(stop.steps_[0], 10000);   // stopped part way, after a chunk was written
    EXPECT_EQ(listfixture::column(big, QStringLiteral("Name")), before);

    // Run to its end, every row is converted, across the chunks.
    common::Progress quiet;
    const CaseResult done = runCaseConversion(big, request(CaseMode::Proper), quiet);
    ASSERT_TRUE(done.ok());
    EXPECT_EQ(done.changed, 10000);
    QStringList expected;
    for (int i = 0; i < 10000; ++i)
        expected << QStringLiteral("Name %1").arg(i);
    EXPECT_EQ(listfixture::column(big, QStringLiteral("Name")), expected);
}

} // namespace
