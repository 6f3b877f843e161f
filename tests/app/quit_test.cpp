// The end of the program: with the two shared databases open and a write
// left uncommitted, main returns and the process ends cleanly, whether the
// databases were closed on the way out (as the program's main does) or left
// to the exit's own destructors. Under the sanitizers a destructor that
// touches a destroyed object makes the child fail.
#include "platform/jet/database.h"
#include "platform/jet/dbfiles.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

/// Runs qb-test-child quit <db> <how>; its exit status and standard output.
std::pair<int, QString> quitChild(const QString& db, const char* how)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {-1, QString()};
    QByteArray program(QB_TEST_CHILD), mode("quit"), file = QFile::encodeName(db), h(how);
    char* argv[] = {program.data(), mode.data(), file.data(), h.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    int status = -1;
    QByteArray out;
    if (rc == 0) {
        char buf[1024];
        ssize_t n;
        while ((n = ::read(fds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
            if (n > 0)
                out.append(buf, n);
        ::waitpid(pid, &status, 0);
    }
    ::close(fds[0]);
    return {status, QString::fromLocal8Bit(out).trimmed()};
}

TEST(Quit, MainReturnsCleanlyWithTheSharedDatabasesOpen)
{
    struct Case { const char* how; const char* report; };
    const Case cases[] = {{"close", "open connections 0"}, {"leave", "open connections 1"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        QTemporaryDir dir;
        const QString db = dir.filePath(QStringLiteral("sysfls.sys"));
        jet::Database::open(db, true).close();
        const auto [status, out] = quitChild(db, c.how);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << " " << out.toStdString();
        EXPECT_EQ(out.toStdString(), c.report);
        // The uncommitted write is undone and nothing is left beside the file.
        for (const QString& side : jet::sideFiles(db))
            EXPECT_FALSE(QFileInfo::exists(side)) << side.toStdString();
        EXPECT_EQ(jet::checkDatabaseFile(db).toStdString(), "");
        jet::Database after = jet::Database::open(db);
        auto rs = after.openRecordset(QStringLiteral("SELECT COUNT(*) FROM tblQuit"), jet::dbOpenSnapshot);
        EXPECT_EQ(rs->value(0).toLong(), 0);
        rs->close();
        after.close();
    }
}

} // namespace
