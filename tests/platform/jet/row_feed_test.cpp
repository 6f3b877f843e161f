#include "platform/jet/rowfeed.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <stdexcept>

namespace {

// An in-memory connection with a table t of the rowids 1 to 10.
class FeedTables : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
        exec("CREATE TABLE t (k INTEGER PRIMARY KEY, v TEXT)");
        exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10) INSERT INTO t SELECT i, 'r' || i FROM n");
    }
    void TearDown() override { sqlite3_close(db); }

    void exec(const char* sql) { ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db); }

    std::vector<qint64> column(const char* sql)
    {
        std::vector<qint64> out;
        sqlite3_stmt* st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        while (st && sqlite3_step(st) == SQLITE_ROW)
            out.push_back(sqlite3_column_int64(st, 0));
        sqlite3_finalize(st);
        return out;
    }

    sqlite3* db = nullptr;
};

TEST_F(FeedTables, ListsTheKeysWhereverATableMayStand)
{
    const std::vector<qint64> keys{2, 3, 7, 10, 42};
    const jet::ScopedKeyTable list(db, "keys", keys);
    struct Case { const char* sql; std::vector<qint64> rows; };
    const Case cases[] = {
        {"SELECT value FROM keys", keys},
        {"SELECT value FROM keys ORDER BY value DESC", {42, 10, 7, 3, 2}},
        {"SELECT count(*) FROM keys", {5}},
        {"SELECT k FROM t WHERE k IN (SELECT value FROM keys) ORDER BY k", {2, 3, 7, 10}},
        {"SELECT t.k FROM keys JOIN t ON t.k = keys.value", {2, 3, 7, 10}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(column(c.sql), c.rows) << c.sql;

    exec("DELETE FROM t WHERE k IN (SELECT value FROM keys)");
    EXPECT_EQ(column("SELECT k FROM t"), (std::vector<qint64>{1, 4, 5, 6, 8, 9}));
}

TEST_F(FeedTables, EmptyListAndGoneWithItsObject)
{
    {
        const std::vector<qint64> none;
        const jet::ScopedKeyTable list(db, "keys", none);
        EXPECT_TRUE(column("SELECT value FROM keys").empty());
        exec("INSERT INTO t (k) SELECT value FROM keys");
    }
    sqlite3_stmt* st = nullptr;
    EXPECT_NE(sqlite3_prepare_v2(db, "SELECT value FROM keys", -1, &st, nullptr), SQLITE_OK);
    sqlite3_finalize(st);
    EXPECT_EQ(column("SELECT count(*) FROM t"), std::vector<qint64>{10});
}

// A feed that can be read only once, and one whose reading fails.
TEST_F(FeedTables, OneTimeFeedRefusesASecondReadAndAFailingFeedFailsItsStatement)
{
    struct Once : jet::RowFeed {
        int columnCount() const override { return 1; }
        bool next() override
        {
            if (throwAt == n + 1)
                throw std::runtime_error("read error");
            return ++n <= 3;
        }
        void result(sqlite3_context* ctx, int) const override { sqlite3_result_int64(ctx, n); }
        int n = 0;
        int throwAt = 0;
    };
    Once once;
    {
        const jet::ScopedFeed feed(db, "once", once);
        EXPECT_EQ(column("SELECT c0 FROM once"), (std::vector<qint64>{1, 2, 3}));
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT c0 FROM once", -1, &st, nullptr), SQLITE_OK);
        EXPECT_EQ(sqlite3_step(st), SQLITE_ERROR);
        EXPECT_STREQ(sqlite3_errmsg(db), "these rows can be read only once");
        sqlite3_finalize(st);
    }
    Once failing;
    failing.throwAt = 2;
    const jet::ScopedFeed feed(db, "failing", failing);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO t (k) SELECT c0 + 100 FROM failing", -1, &st, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_step(st), SQLITE_ERROR);
    sqlite3_finalize(st);
    ASSERT_TRUE(failing.error);
    EXPECT_THROW(std::rethrow_exception(failing.error), std::runtime_error);
    // The statement failed whole: not even the row read before the failure stays.
    EXPECT_EQ(column("SELECT count(*) FROM t"), std::vector<qint64>{10});
}

} // namespace
