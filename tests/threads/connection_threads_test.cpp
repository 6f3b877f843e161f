// One thread at a time on an engine connection: a second thread that calls in
// while the first is inside ends the program with a message; the same thread
// coming in again (the event pump inside a statement's step) and a connection
// passed from one thread to the next are let through.
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/rowfeed.h"

#include <sqlite3.h>

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <thread>

namespace {

#if QB_THREAD_CHECKS

/// Rows 1..n; on its first row it runs the hook (on the stepping thread).
class HookedFeed : public jet::RowFeed {
public:
    HookedFeed(int n, std::function<void()> hook) : n_(n), hook_(std::move(hook)) {}
    int columnCount() const override { return 1; }
    bool next() override
    {
        if (++at_ == 1 && hook_)
            hook_();
        return at_ <= n_;
    }
    void result(sqlite3_context* ctx, int) const override { sqlite3_result_int64(ctx, at_); }

private:
    int n_;
    int at_ = 0;
    std::function<void()> hook_;
};

class ConnectionThreads : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("work.db"));
        jet::Database db = jet::Database::open(path, true);
        db.execute(QStringLiteral("CREATE TABLE tblData ([N] LONG)"));
    }

    /// Inserts n rows through a feed on this thread, running hook inside the
    /// statement's step.
    static void insertThroughFeed(jet::Database& db, int n, std::function<void()> hook)
    {
        HookedFeed feed(n, std::move(hook));
        const jet::ScopedFeed table(db.connection(), "qb_test_feed", feed);
        jet::Stmt ins(&db.connection(), QStringLiteral("INSERT INTO tblData (N) SELECT c0 FROM qb_test_feed"));
        jet::runFeed(ins, feed);
    }

    QTemporaryDir dir;
    QString path;
};

// While one thread is inside a statement's step, any call of another thread
// into the same connection (statement, connection, database, recordset) ends
// the program and says which connection and which calls.
TEST_F(ConnectionThreads, SecondThreadInsideOneConnectionEndsTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        const char* what;
        std::function<void(jet::Database&)> call;
    };
    const Case cases[] = {
        {"statement", [](jet::Database& db) { jet::Stmt(&db.connection(), QStringLiteral("SELECT 1")).step(); }},
        {"connection", [](jet::Database& db) { db.connection().exec(QStringLiteral("SELECT 1")); }},
        {"database", [](jet::Database& db) { db.execute(QStringLiteral("DELETE FROM tblData WHERE N = 0")); }},
        {"recordset", [](jet::Database& db) { db.openRecordset(QStringLiteral("SELECT N FROM tblData")); }},
        {"handle", [](jet::Database& db) { (void)db.connection().handle(); }},
    };
    for (const Case& c : cases) {
        EXPECT_DEATH(
            {
                jet::Database db = jet::Database::open(path);
                std::promise<void> inside;
                std::promise<void> never;
                std::thread stepping([&] {
                    insertThroughFeed(db, 3, [&] {
                        inside.set_value();
                        never.get_future().wait();
                    });
                });
                inside.get_future().wait();
                c.call(db);
                stepping.detach();
            },
            "Two threads use the engine connection to '.*work\\.db' at once: .* while thread .* is inside step")
            << c.what;
    }
}

// The thread inside may come in again (a progress report inside a step lets
// the window's events read through the same connection), and once it has
// left, another thread may take the connection.
TEST_F(ConnectionThreads, SameThreadAgainAndOneThreadAfterAnotherPass)
{
    jet::Database db = jet::Database::open(path);
    qint64 seenInside = -1;
    insertThroughFeed(db, 5, [&] {
        auto rs = db.openRecordset(QStringLiteral("SELECT COUNT(*) FROM tblData"), jet::dbOpenSnapshot);
        seenInside = rs->value(0).toLong();
    });
    EXPECT_EQ(seenInside, 0);

    std::thread other([&] { insertThroughFeed(db, 5, {}); });
    other.join();
    auto rs = db.openRecordset(QStringLiteral("SELECT COUNT(*) FROM tblData"), jet::dbOpenSnapshot);
    EXPECT_EQ(rs->value(0).toLong(), 10);
}

#else

TEST(ConnectionThreads, ChecksAreOffInThisBuild)
{
    GTEST_SKIP() << "the one-thread check of the engine's connections is built in debug and sanitizer builds only";
}

#endif

} // namespace
