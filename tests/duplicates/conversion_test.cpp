// Convert and Clear Selection over tblSpecSearch1, and the filter of one
// duplicate group.
#include "duplicates/conversion.h"

#include "platform/jet/error.h"
#include "platform/jet/recordset.h"
#include "platform/jet/types.h"
#include "workdb.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

using jet::Value;

class Conversion : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        db = jet::Database::open(dir.filePath(QStringLiteral("work.db")), true);
        testdb::makeWorkTables(db);
    }

    void pair(const QString& c1, int n1, const QString& c2, int n2, const QString& mark1 = {}, const QString& mark2 = {})
    {
        db.execute(QStringLiteral("INSERT INTO tblSpecSearch1 (Column1, Count1, Convert1, Column2, Count2, Convert2) "
                                  "VALUES (\"%1\", \"%2\", \"%3\", \"%4\", \"%5\", \"%6\")")
                       .arg(c1).arg(n1).arg(mark1, c2).arg(n2).arg(mark2),
                   jet::dbFailOnError);
    }

    QStringList column(const QString& name)
    {
        QStringList out;
        for (auto rs = db.openRecordset(QStringLiteral("SELECT [%1] FROM tblData ORDER BY LumacorPrimK").arg(name),
                                        jet::dbOpenSnapshot);
             !rs->eof(); rs->moveNext())
            out << rs->value(0).toString();
        return out;
    }

    std::pair<QString, QString> counts(const QString& c1)
    {
        auto rs = db.openRecordset(QStringLiteral("SELECT Count1, Count2 FROM tblSpecSearch1 WHERE Column1=\"%1\"").arg(c1),
                                   jet::dbOpenSnapshot);
        return {rs->value(0).toString(), rs->value(1).toString()};
    }

    QTemporaryDir dir;
    jet::Database db;
};

TEST_F(Conversion, MarkedValuesTakeTheirPartnersAndTheCountsMove)
{
    struct Case {
        const char* mark1;
        const char* mark2;
        QStringList names;
        std::pair<QString, QString> counts;
    };
    const Case cases[] = {
        {"X", "", {"Smith", "Smith", "Smith", "Smith", "Jones"}, {"0", "4"}},
        {"", "X", {"Smyth", "Smyth", "Smyth", "Smyth", "Jones"}, {"4", "0"}},
        // Both sides: Column1's records go to Column2, then all of them back to Column1.
        {"X", "X", {"Smyth", "Smyth", "Smyth", "Smyth", "Jones"}, {"4", "0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.mark1) + "/" + c.mark2);
        if (db.hasTable(QStringLiteral("tblData")))
            db.execute(QStringLiteral("DROP TABLE tblData"));
        db.execute(QStringLiteral("DELETE FROM tblSpecSearch1"));
        testdb::makeData(db, {"[Name] TEXT(50)"}, {{"Smyth"}, {"Smith"}, {"Smith"}, {"Smith"}, {"Jones"}});
        pair("Smyth", 1, "Smith", 3, QString::fromLatin1(c.mark1), QString::fromLatin1(c.mark2));
        const neardup::ConversionResult r = neardup::convertMarkedPairs(db, QStringLiteral("Name"));
        ASSERT_TRUE(r.ok) << r.message.toStdString();
        EXPECT_EQ(r.message, QLatin1String(neardup::kConversionSucceeded));
        EXPECT_EQ(column(QStringLiteral("Name")), c.names);
        EXPECT_EQ(counts(QStringLiteral("Smyth")), c.counts);

        // The marks stay; a second Convert finds nothing left to move.
        ASSERT_TRUE(neardup::convertMarkedPairs(db, QStringLiteral("Name")).ok);
        EXPECT_EQ(column(QStringLiteral("Name")), c.names);
        EXPECT_EQ(counts(QStringLiteral("Smyth")), c.counts);
    }
}

TEST_F(Conversion, NumberColumnsCompareThroughTheirType)
{
    testdb::makeData(db, {"[Code] LONG", "[Name] TEXT(50)"}, {{1234, "a"}, {1254, "b"}, {1254, "c"}, {99, "d"}});
    pair("1234", 1, "1254", 2, "X");
    ASSERT_TRUE(neardup::convertMarkedPairs(db, QStringLiteral("Code")).ok);
    EXPECT_EQ(column(QStringLiteral("Code")), (QStringList{"1254", "1254", "1254", "99"}));
}

// Each number type compares the pair's text with its values as the column
// stores them: a Single keeps 0.16 as the shortest decimal of its float, so
// its cast must give that decimal too, or no row would match and the
// conversion would claim success having changed nothing.
TEST_F(Conversion, EveryNumberTypeFindsItsValuesAsStored)
{
    const struct { const char* type; const char* wrong; const char* right; } cases[] = {
        {"SINGLE", "0.16", "0.15"}, {"DOUBLE", "0.16", "0.15"}, {"CURRENCY", "0.16", "0.15"},
        {"BYTE", "16", "15"}, {"SHORT", "16", "15"}, {"LONG", "16", "15"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        if (db.hasTable(QStringLiteral("tblData")))
            db.execute(QStringLiteral("DROP TABLE tblData"));
        db.execute(QStringLiteral("DELETE FROM tblSpecSearch1"));
        const QString wrong = QString::fromLatin1(c.wrong), right = QString::fromLatin1(c.right);
        testdb::makeData(db, {QStringLiteral("[N] %1").arg(QLatin1String(c.type))},
                         {{Value(wrong)}, {Value(right)}, {Value(wrong)}, {Value("7")}});
        pair(wrong, 2, right, 1, QStringLiteral("X"));
        const neardup::ConversionResult r = neardup::convertMarkedPairs(db, QStringLiteral("N"));
        ASSERT_TRUE(r.ok) << r.message.toStdString();
        EXPECT_EQ(r.message, QLatin1String(neardup::kConversionSucceeded));
        EXPECT_EQ(column(QStringLiteral("N")), (QStringList{right, right, right, "7"}));
        EXPECT_EQ(counts(wrong), (std::pair<QString, QString>{"0", "3"}));

        // A pair whose records the column no longer holds as counted: the
        // conversion is undone and says so.
        db.execute(QStringLiteral("DELETE FROM tblSpecSearch1"));
        pair(QStringLiteral("7"), 2, right, 3, QStringLiteral("X"));
        const neardup::ConversionResult short_ = neardup::convertMarkedPairs(db, QStringLiteral("N"));
        EXPECT_FALSE(short_.ok);
        EXPECT_EQ(short_.message, QStringLiteral("Only 1 of the 2 records holding the marked values were found in the "
                                                 "column [N]. Nothing was converted."));
        EXPECT_EQ(column(QStringLiteral("N")), (QStringList{right, right, right, "7"}));
        EXPECT_EQ(counts(QStringLiteral("7")), (std::pair<QString, QString>{"2", "3"}));
    }
}

// Date and Yes/No columns compare through CDATE and CBOOL: the pair texts are
// the values as the search wrote them (the engine's text of each value).
TEST_F(Conversion, DateAndYesNoColumnsCompareThroughTheirCasts)
{
    testdb::makeData(db, {"[Born] DATETIME", "[Member] YESNO", "[Name] TEXT(50)"},
                     {{jet::Value(jet::DateTime{37623.0}), true, "a"},    // 1/2/2003
                      {jet::Value(jet::DateTime{37624.5}), false, "b"},   // 1/3/2003 12:00:00 PM
                      {jet::Value(jet::DateTime{37624.5}), false, "c"},
                      {jet::Value(), true, "d"}});
    pair("1/3/2003 12:00:00 PM", 2, "1/2/2003", 1, "X");
    const auto dates = neardup::convertMarkedPairs(db, QStringLiteral("Born"));
    ASSERT_TRUE(dates.ok) << dates.message.toStdString();
    EXPECT_EQ(column(QStringLiteral("Born")), (QStringList{"1/2/2003", "1/2/2003", "1/2/2003", ""}));

    db.execute(QStringLiteral("DELETE FROM tblSpecSearch1"), jet::dbFailOnError);
    pair("0", 2, "-1", 2, "X");
    const auto flags = neardup::convertMarkedPairs(db, QStringLiteral("Member"));
    ASSERT_TRUE(flags.ok) << flags.message.toStdString();
    EXPECT_EQ(column(QStringLiteral("Member")), (QStringList{"True", "True", "True", "True"}));

    // A pair text the cast cannot read fails inside the savepoint: nothing changes.
    db.execute(QStringLiteral("DELETE FROM tblSpecSearch1"), jet::dbFailOnError);
    pair("soon", 1, "1/2/2003", 3, "X");
    const auto refused = neardup::convertMarkedPairs(db, QStringLiteral("Born"));
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.message, QStringLiteral("Data type mismatch in criteria expression."));
    EXPECT_EQ(column(QStringLiteral("Born")), (QStringList{"1/2/2003", "1/2/2003", "1/2/2003", ""}));
}

TEST_F(Conversion, NothingMarkedOrAFailureChangesNothing)
{
    testdb::makeData(db, {"[Name] TEXT(50)", "[When] DATETIME"}, {{"Smyth", Value()}, {"Smith", Value()}});
    pair("Smyth", 1, "Smith", 1, "X");
    neardup::clearMarks(db);
    neardup::ConversionResult r = neardup::convertMarkedPairs(db, QStringLiteral("Name"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, QLatin1String(neardup::kNothingToConvert));

    db.execute(QStringLiteral("UPDATE tblSpecSearch1 SET Convert1='X', Convert2='X'"));
    for (int failAt = 2; failAt <= 4; ++failAt) {
        SCOPED_TRACE(failAt);
        neardup::ConversionOptions o;
        o.beforeStep = [failAt](int step) {
            if (step == failAt)
                throw std::runtime_error("disk full");
        };
        r = neardup::convertMarkedPairs(db, QStringLiteral("Name"), o);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message, QLatin1String("disk full"));
        EXPECT_EQ(column(QStringLiteral("Name")), (QStringList{"Smyth", "Smith"}));
        EXPECT_EQ(counts(QStringLiteral("Smyth")), (std::pair<QString, QString>{"1", "1"}));
    }

    // A column the engine cannot compare with text, and one that is not there.
    EXPECT_FALSE(neardup::convertMarkedPairs(db, QStringLiteral("When")).ok);
    EXPECT_FALSE(neardup::convertMarkedPairs(db, QStringLiteral("Nope")).ok);
    EXPECT_EQ(column(QStringLiteral("Name")), (QStringList{"Smyth", "Smith"}));
}

TEST_F(Conversion, GroupFilterFindsExactlyTheGroupsRecords)
{
    testdb::makeData(db, {"[Name] TEXT(50)", "[Qty] LONG", "[Born] DATETIME", "[Ok] YESNO"},
                     {
                         {"Ann", 5, jet::DateTime{30000.5}, true},
                         {"Ann", 5, jet::DateTime{30000.5}, true},
                         {"", Value(), Value(), false},
                         {Value(), Value(), Value(), false},
                         {Value(), 0, Value(), false},
                         {"Say \"hi\"", 1, Value(), Value()},
                     });
    const std::vector<dupes::Column> cols = {
        {"Name", jet::dbText}, {"Qty", jet::dbLong}, {"Born", jet::dbDate}, {"Ok", jet::dbBoolean}};
    struct Case {
        std::vector<Value> values;
        std::vector<qint64> keys;
    };
    const Case cases[] = {
        {{"Ann", 5, jet::DateTime{30000.5}, true}, {1, 2}},
        // An empty text cell is Null or ""; an empty number cell is only Null.
        {{Value(), Value(), Value(), false}, {3, 4}},
        {{"Say \"hi\"", 1, Value(), Value()}, {6}},
    };
    for (const Case& c : cases) {
        const QString where = dupes::groupFilter(cols, c.values);
        SCOPED_TRACE(where.toStdString());
        // Each term ends in a blank, so the joins read "  AND ".
        EXPECT_EQ(where.count(QLatin1String("  AND ")), 3);
        EXPECT_EQ(testdb::longs(db, QStringLiteral("SELECT LumacorPrimK FROM tblData WHERE ") + where), c.keys);
    }
    EXPECT_EQ(dupes::groupFilter({{"Name", jet::dbText}}, {Value("Ann")}).count(QLatin1String("  AND ")), 0);
}

} // namespace
