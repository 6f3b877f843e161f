// Starting the tests' other process (qb-test-child) with its standard output
// on a pipe.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <spawn.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace testsupport {

/// Starts qb-test-child with args; its standard output goes to *out (the
/// read end of a pipe, for the caller to close). The child's pid, or -1 when
/// it could not be started (then *out is -1).
inline pid_t spawnTestChild(const QStringList& args, int* out)
{
    *out = -1;
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    std::vector<QByteArray> owned{QByteArrayLiteral(QB_TEST_CHILD)};
    for (const QString& a : args)
        owned.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& a : owned)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        return -1;
    }
    *out = fds[0];
    return pid;
}

} // namespace testsupport
