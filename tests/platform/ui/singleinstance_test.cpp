// The single-instance guard, with two guards in one process on a program folder of
// their own: the later one must always learn that it is not first, also
// when the first cannot be reached, and a dead copy must not lock anyone out.
#include "platform/ui/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using Role = ui::SingleInstance::Role;

/// A program folder of its own for each test.
class Folder {
public:
    operator QString() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};

TEST(SingleInstance, SecondCopyActivatesTheFirst)
{
    const Folder folder;
    ui::SingleInstance first(folder);
    ASSERT_EQ(first.start(), Role::Primary);
    EXPECT_TRUE(first.listening());
    int activations = 0;
    first.onActivate([&] { ++activations; });

    ui::SingleInstance second(folder);
    ASSERT_EQ(second.start(), Role::Secondary);
    EXPECT_EQ(second.start(), Role::Secondary);  // decided once
    EXPECT_TRUE(second.activateRunning());
    EXPECT_EQ(activations, 1);

    ui::SingleInstance third(folder);
    ASSERT_EQ(third.start(), Role::Secondary);
    EXPECT_TRUE(third.activateRunning());
    EXPECT_EQ(activations, 2);
}

TEST(SingleInstance, FirstCopyEndingFreesTheKey)
{
    const Folder folder;
    {
        ui::SingleInstance first(folder);
        ASSERT_EQ(first.start(), Role::Primary);
    }
    ui::SingleInstance next(folder);
    EXPECT_EQ(next.start(), Role::Primary);
    EXPECT_FALSE(next.activateRunning());  // the first copy has nobody to call
}

TEST(SingleInstance, UnreachableFirstCopyStillMakesTheSecondEnd)
{
    const Folder folder;
    // A live copy holds the lock but has no socket (hung, or its listen failed).
    QLockFile held(ui::SingleInstance::lockFilePath(folder));
    ASSERT_TRUE(held.tryLock(0));

    ui::SingleInstance second(folder);
    EXPECT_EQ(second.start(), Role::Secondary);
    EXPECT_FALSE(second.activateRunning(300));
}

TEST(SingleInstance, LeftoversOfADeadCopyDoNotCount)
{
    const Folder folder;
    // A process id that has surely ended: a child that exited and was reaped.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    {
        QFile lock(ui::SingleInstance::lockFilePath(folder));
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(child) + "\nquillabrand\n\n");
    }
    // And the socket file it left behind.
    const QString socketPath = ui::SingleInstance::socketPath(folder);
    {
        QFile sock(socketPath);
        ASSERT_TRUE(sock.open(QIODevice::WriteOnly));
    }

    ui::SingleInstance first(folder);
    ASSERT_EQ(first.start(), Role::Primary);
    EXPECT_TRUE(first.listening());
    bool activated = false;
    first.onActivate([&] { activated = true; });
    ui::SingleInstance second(folder);
    ASSERT_EQ(second.start(), Role::Secondary);
    EXPECT_TRUE(second.activateRunning());
    EXPECT_TRUE(activated);
}

TEST(SingleInstance, AnotherTemporaryFolderMeetsTheSameGuard)
{
    // Two copies of one program folder, the second started with TMPDIR (and
    // HOME) pointing elsewhere: they share the working database, so the
    // second must still learn that it is not first.
    const Folder program;
    ui::SingleInstance first(program);
    ASSERT_EQ(first.start(), Role::Primary);
    int activations = 0;
    first.onActivate([&] { ++activations; });

    const QByteArray oldTmp = qgetenv("TMPDIR");
    const QByteArray oldHome = qgetenv("HOME");
    QTemporaryDir elsewhere;
    qputenv("TMPDIR", QFile::encodeName(elsewhere.path()));
    qputenv("HOME", QFile::encodeName(elsewhere.path()));
    ASSERT_EQ(QDir::tempPath(), elsewhere.path());
    {
        ui::SingleInstance second(program);
        EXPECT_EQ(second.start(), Role::Secondary);
        EXPECT_TRUE(second.activateRunning());
        // The same folder spelt through a link is the same folder.
        const QString link = elsewhere.filePath(QStringLiteral("link"));
        ASSERT_TRUE(QFile::link(program, link));
        ui::SingleInstance third(link);
        EXPECT_EQ(third.start(), Role::Secondary);
        // Another program folder is another working database.
        const Folder other;
        ui::SingleInstance own(other);
        EXPECT_EQ(own.start(), Role::Primary);
    }
    qputenv("TMPDIR", oldTmp);
    qputenv("HOME", oldHome);
    if (oldTmp.isEmpty())
        qunsetenv("TMPDIR");
    EXPECT_EQ(activations, 1);
}

TEST(SingleInstance, LongFolderNamesStillGetASocket)
{
    const Folder base;
    QString deep = base;
    while (QFile::encodeName(deep).size() < 150)
        deep += QStringLiteral("/a-rather-long-folder-name");
    ASSERT_TRUE(QDir().mkpath(deep));
    EXPECT_TRUE(ui::SingleInstance::socketPath(deep).startsWith(QStringLiteral("/tmp/quillabrand-")));
    ui::SingleInstance first(deep);
    ASSERT_EQ(first.start(), Role::Primary);
    EXPECT_TRUE(first.listening());
    ui::SingleInstance second(deep);
    ASSERT_EQ(second.start(), Role::Secondary);
    EXPECT_TRUE(second.activateRunning());
}

TEST(SingleInstance, OnlyASecondaryActivates)
{
    const Folder folder;
    ui::SingleInstance undecided(folder);
    EXPECT_FALSE(undecided.activateRunning(100));
    EXPECT_EQ(undecided.role(), Role::Undecided);
}

}  // namespace
