// Completeness counts over tblData and the filters that show them.
#include "duplicates/statistics.h"

#include "platform/jet/types.h"
#include "workdb.h"

#include <gtest/gtest.h>

namespace {

using jet::Value;

class Statistics : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        db = jet::Database::open(dir.filePath(QStringLiteral("work.db")), true);
        // Eight rows: Name filled in 6 (one "" and one Null left), Amount in 5,
        // Flag Yes in 3 and No in 4 (one Null), Born in 2.
        testdb::makeData(db, {"[Name] TEXT(50)", "[Amount] DOUBLE", "[Flag] YESNO", "[Born] DATETIME", "[Notes] LONGTEXT"},
                         {
                             {"Ann", 1.5, true, jet::DateTime{30000}, ""},
                             {"Bob", 2.0, true, jet::DateTime{30001}, Value()},
                             {"", 3.0, true, Value(), "x"},
                             {Value(), 4.0, false, Value(), Value()},
                             {"Cy", 5.0, false, Value(), Value()},
                             {"Di", Value(), false, Value(), Value()},
                             {"Ed", Value(), false, Value(), Value()},
                             {"Flo", Value(), Value(), Value(), Value()},
                         });
    }

    qint64 countWhere(const QString& where)
    {
        auto rs = db.openRecordset(QStringLiteral("SELECT Count(*) FROM tblData WHERE ") + where, jet::dbOpenSnapshot);
        return rs->value(0).toLong();
    }

    QTemporaryDir dir;
    jet::Database db;
};

TEST_F(Statistics, CountsEachColumnByItsTypeOverTheWholeList)
{
    const std::vector<stats::Column> cols = {{"Name", jet::dbText}, {"Amount", jet::dbDouble}, {"Flag", jet::dbBoolean},
                                             {"Born", jet::dbDate}, {"Notes", jet::dbMemo}};
    struct Case {
        bool completed;
        std::vector<qint64> counts;
    };
    for (const Case& c : {Case{true, {6, 5, 3, 2, 1}}, Case{false, {2, 3, 4, 6, 7}}}) {
        SCOPED_TRACE(c.completed);
        const stats::Result r = stats::computeStatistics(db, cols, c.completed);
        ASSERT_TRUE(r.ok) << r.error.toStdString();
        EXPECT_EQ(r.records, 8);
        ASSERT_EQ(r.columns.size(), cols.size());
        double sum = 0;
        for (size_t i = 0; i < cols.size(); ++i) {
            EXPECT_EQ(r.columns[i].name, cols[i].name);
            EXPECT_EQ(r.columns[i].count, c.counts[i]) << cols[i].name.toStdString();
            EXPECT_DOUBLE_EQ(r.columns[i].score, double(c.counts[i]) / 8.0 * 100.0);
            sum += r.columns[i].score;
        }
        EXPECT_DOUBLE_EQ(r.total, sum / 5.0);
    }
}

TEST_F(Statistics, FiltersShowTheRowsOfEachKindAndYesNoTestsForNull)
{
    struct Case {
        stats::Column col;
        bool completed;
        qint64 rows;
    };
    const Case cases[] = {
        {{"Name", jet::dbText}, true, 6},   {{"Name", jet::dbText}, false, 2},
        {{"Amount", jet::dbDouble}, true, 5}, {{"Amount", jet::dbDouble}, false, 3},
        // A No is a value: the completed filter shows it, though the count does not.
        {{"Flag", jet::dbBoolean}, true, 7}, {{"Flag", jet::dbBoolean}, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.col.name.toStdString() + (c.completed ? " completed" : " incomplete"));
        const auto where = stats::filterCondition(c.col, c.completed);
        ASSERT_TRUE(where);
        EXPECT_EQ(countWhere(*where), c.rows);
    }
}

TEST_F(Statistics, RefusesTypesItCannotMeasureAndAnEmptyList)
{
    EXPECT_FALSE(stats::countCondition({"X", jet::dbGUID}, true));
    EXPECT_FALSE(stats::filterCondition({"X", 11}, false));

    // The run stops at the unknown column, keeping those measured before it.
    const stats::Result r = stats::computeStatistics(db, {{"Name", jet::dbText}, {"X", jet::dbGUID}}, true);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, QLatin1String(stats::kUnknownType));
    ASSERT_EQ(r.columns.size(), 1u);
    EXPECT_EQ(r.columns[0].count, 6);

    db.execute(QStringLiteral("DELETE FROM tblData"));
    const stats::Result empty = stats::computeStatistics(db, {{"Name", jet::dbText}}, true);
    EXPECT_FALSE(empty.ok);
    EXPECT_FALSE(empty.error.isEmpty());
    EXPECT_TRUE(empty.columns.empty());

    const stats::Result bad = stats::computeStatistics(db, {{"Nope", jet::dbText}}, true);
    EXPECT_FALSE(bad.ok);
}

TEST(StatisticsText, ScoresAndTotalsReadAsShown)
{
    struct Case {
        double value;
        const char* score;
    };
    for (const Case& c : {Case{75, "75.00 %"}, Case{0, "0.00 %"}, Case{100, "100.00 %"}, Case{100.0 / 3, "33.33 %"},
                          Case{2.0 / 3, "0.67 %"}})
        EXPECT_EQ(stats::scoreText(c.value), QLatin1String(c.score));
    EXPECT_EQ(stats::totalScoreText(62.5), QLatin1String("Total Score = 62.5%"));
    EXPECT_EQ(stats::totalScoreText(33.3333), QLatin1String("Total Score = 33.3333%"));
}

TEST_F(Statistics, TotalIsRoundedToFourDecimals)
{
    const stats::Result r = stats::computeStatistics(db, {{"Name", jet::dbText}, {"Amount", jet::dbDouble},
                                                          {"Flag", jet::dbBoolean}}, true);
    ASSERT_TRUE(r.ok);
    // (75 + 62.5 + 37.5) / 3 = 58.3333...
    EXPECT_DOUBLE_EQ(r.total, 58.3333);
}

} // namespace
