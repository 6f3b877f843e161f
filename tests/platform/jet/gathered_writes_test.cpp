// The engine's files are written through a layer that gathers writes in
// memory. Whatever it holds back, the file must come out as the engine
// wrote it: after a program killed in the middle of a transaction, after a
// rollback that reads the journal back, and when the engine reads pages it
// has just written.
#include "platform/jet/buffered_vfs.h"
#include "support/write_limit.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <functional>
#include <string>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char* kFill =
    "CREATE TABLE t (k INTEGER PRIMARY KEY, a TEXT, b TEXT);"
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 60000) "
    "INSERT INTO t SELECT i, 'row ' || i, substr(hex(randomblob(30)), 1, 50) FROM n;";
// Every row grows, so pages split and the changed pages outgrow a small cache
// and reach the file before the statement ends.
const char* kGrow = "UPDATE t SET b = b || b || a";
const char* kSummary = "SELECT count(*), sum(length(b)), max(b), min(a), total(k * length(b)) FROM t";

class GatheredWrites : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        jet::installBufferedFiles();
        path = dir.filePath(QStringLiteral("gathered.db")).toStdString();
        db = open();
        exec(kFill);
        before = summary();
    }
    void TearDown() override
    {
        if (db)
            sqlite3_close(db);
    }

    sqlite3* open()
    {
        sqlite3* h = nullptr;
        EXPECT_EQ(sqlite3_open_v2(path.c_str(), &h, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr), SQLITE_OK);
        sqlite3_exec(h, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=NORMAL; PRAGMA cache_size=20", nullptr, nullptr,
                     nullptr);
        return h;
    }
    void exec(const char* sql, sqlite3* on = nullptr)
    {
        char* err = nullptr;
        const int rc = sqlite3_exec(on ? on : db, sql, nullptr, nullptr, &err);
        EXPECT_EQ(rc, SQLITE_OK) << (err ? err : "") << " in " << sql;
        sqlite3_free(err);
    }
    std::string text(const char* sql, sqlite3* on = nullptr)
    {
        sqlite3_stmt* s = nullptr;
        std::string out;
        if (sqlite3_prepare_v2(on ? on : db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
            for (int i = 0; i < sqlite3_column_count(s); ++i) {
                const auto* v = sqlite3_column_text(s, i);
                out += (v ? reinterpret_cast<const char*>(v) : "<null>");
                out += '|';
            }
        sqlite3_finalize(s);
        return out;
    }
    std::string summary(sqlite3* on = nullptr) { return text(kSummary, on); }

    QTemporaryDir dir;
    std::string path;
    sqlite3* db = nullptr;
    std::string before;
};

TEST_F(GatheredWrites, TheLayerIsTheDefault)
{
    sqlite3_vfs* v = sqlite3_vfs_find(nullptr);
    ASSERT_NE(v, nullptr);
    EXPECT_STREQ(v->zName, jet::bufferedFilesName());
}

TEST_F(GatheredWrites, HeldBytesGoOutBeforeEverySyncReadAndLockRelease)
{
    // A database file opened straight through the layer: what the
    // platform's file holds is read with stat, beside the layer.
    sqlite3_vfs* v = sqlite3_vfs_find(jet::bufferedFilesName());
    ASSERT_NE(v, nullptr);
    const std::string name = dir.filePath(QStringLiteral("held.db")).toStdString();
    auto onDisk = [&] { return QFileInfo(QString::fromStdString(name)).size(); };
    const std::string page(4096, 'p');

    struct Event {
        const char* what;
        std::function<void(sqlite3_file*)> run;
    };
    const std::vector<Event> events = {
        {"sync", [](sqlite3_file* f) { EXPECT_EQ(f->pMethods->xSync(f, SQLITE_SYNC_NORMAL), SQLITE_OK); }},
        {"read of held bytes",
         [](sqlite3_file* f) {
             char b[16] = {};
             EXPECT_EQ(f->pMethods->xRead(f, b, 16, 4096 + 100), SQLITE_OK);
             EXPECT_EQ(b[0], 'p');
         }},
        {"size", [](sqlite3_file* f) { sqlite3_int64 n = 0; EXPECT_EQ(f->pMethods->xFileSize(f, &n), SQLITE_OK); }},
        {"write elsewhere", [](sqlite3_file* f) { EXPECT_EQ(f->pMethods->xWrite(f, "hdr", 3, 0), SQLITE_OK); }},
        {"lock release", [](sqlite3_file* f) { f->pMethods->xUnlock(f, SQLITE_LOCK_NONE); }},
        {"truncate", [](sqlite3_file* f) { EXPECT_EQ(f->pMethods->xTruncate(f, 2 * 4096), SQLITE_OK); }},
    };
    for (const Event& e : events) {
        SCOPED_TRACE(e.what);
        std::vector<char> mem(size_t(v->szOsFile));
        auto* f = reinterpret_cast<sqlite3_file*>(mem.data());
        int flags = 0;
        ASSERT_EQ(v->xOpen(v, name.c_str(), f,
                           SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &flags),
                  SQLITE_OK);
        ASSERT_EQ(f->pMethods->xTruncate(f, 0), SQLITE_OK);
        for (int i = 1; i <= 3; ++i)
            ASSERT_EQ(f->pMethods->xWrite(f, page.data(), int(page.size()), sqlite3_int64(i) * 4096), SQLITE_OK);
        EXPECT_EQ(onDisk(), 0) << "the layer wrote through";
        e.run(f);
        EXPECT_GE(onDisk(), 2 * 4096);
        f->pMethods->xClose(f);
        EXPECT_GE(onDisk(), 2 * 4096);
    }
    v->xDelete(v, name.c_str(), 0);
}

TEST_F(GatheredWrites, AProgramKilledMidTransactionLeavesTheListAsItWas)
{
    // The child spills changed pages into the file and is then killed with
    // bytes still held back: the journal must hold every page it overwrote.
    sqlite3_close(db);
    db = nullptr;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        sqlite3* h = nullptr;
        sqlite3_open_v2(path.c_str(), &h, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(h, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=NORMAL; PRAGMA cache_size=20", nullptr, nullptr,
                     nullptr);
        static int rows = 0;
        sqlite3_create_function(
            h, "die_after", 1, SQLITE_UTF8, nullptr,
            [](sqlite3_context* ctx, int, sqlite3_value** argv) {
                if (++rows == sqlite3_value_int(argv[0]))
                    raise(SIGKILL);
                sqlite3_result_int(ctx, 1);
            },
            nullptr, nullptr);
        sqlite3_exec(h, "BEGIN; UPDATE t SET b = b || b || a WHERE die_after(45000) = 1;", nullptr, nullptr, nullptr);
        _exit(0);   // not reached: the update kills the child first
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_TRUE(QFile::exists(QString::fromStdString(path + "-journal"))) << "the child never reached the file";

    db = open();
    EXPECT_EQ(text("PRAGMA integrity_check"), "ok|");
    EXPECT_EQ(summary(), before);
}

TEST_F(GatheredWrites, AJournalThatCannotBeWrittenLeavesTheOldRows)
{
    // No file may grow: the journal's held records never reach the disk, and
    // the error comes at the commit instead of at the first write. The
    // rollback must still find them, or the connection would go on showing
    // the changed rows of a transaction that never happened.
    for (const char* small : {"UPDATE t SET a = a || '!' WHERE k <= 3", kGrow}) {
        SCOPED_TRACE(small);
        {
            testsupport::WriteLimit limit(0);
            exec("BEGIN");
            sqlite3_exec(db, small, nullptr, nullptr, nullptr);
            EXPECT_NE(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
            if (!sqlite3_get_autocommit(db))
                exec("ROLLBACK");
        }
        EXPECT_EQ(summary(), before);
        EXPECT_EQ(text("SELECT a FROM t WHERE k = 2"), "row 2|");
        EXPECT_EQ(text("PRAGMA integrity_check"), "ok|");
    }
    sqlite3_close(db);
    db = open();
    EXPECT_EQ(summary(), before);
}

TEST_F(GatheredWrites, RollbacksAndReadsFindWhatTheEngineWrote)
{
    // A whole transaction rolled back, after its pages went out to the file.
    exec("BEGIN");
    exec(kGrow);
    const std::string grown = summary();
    EXPECT_NE(grown, before);
    exec("ROLLBACK");
    EXPECT_EQ(summary(), before);

    // A savepoint rolled back inside a transaction that then commits.
    exec("BEGIN");
    exec("UPDATE t SET a = 'kept' WHERE k % 1000 = 0");
    exec("SAVEPOINT s");
    exec(kGrow);
    exec("ROLLBACK TO s");
    exec("RELEASE s");
    exec("COMMIT");
    EXPECT_EQ(text("SELECT count(*) FROM t WHERE a = 'kept'"), "60|");
    EXPECT_EQ(text("SELECT sum(length(b)) FROM t"), text("SELECT 50 * 60000"));

    // Committed work read back by another connection, then after reopening.
    exec(kGrow);
    const std::string committed = summary();
    sqlite3* other = open();
    EXPECT_EQ(summary(other), committed);
    sqlite3_close(other);
    sqlite3_close(db);
    db = open();
    EXPECT_EQ(summary(), committed);
    EXPECT_EQ(text("PRAGMA integrity_check"), "ok|");
}

} // namespace
