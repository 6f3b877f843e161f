// The single-instance guard, with two guards in one process on a key of
// their own: the later one must always learn that it is not first, also
// when the first cannot be reached, and a dead copy must not lock anyone out.
#include "platform/ui/singleinstance.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QUuid>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using Role = ui::SingleInstance::Role;

QString uniqueKey()
{
    return QStringLiteral("qbtest-") + QUuid::createUuid().toString(QUuid::Id128);
}

TEST(SingleInstance, SecondCopyActivatesTheFirst)
{
    const QString key = uniqueKey();
    ui::SingleInstance first(key);
    ASSERT_EQ(first.start(), Role::Primary);
    EXPECT_TRUE(first.listening());
    int activations = 0;
    first.onActivate([&] { ++activations; });

    ui::SingleInstance second(key);
    ASSERT_EQ(second.start(), Role::Secondary);
    EXPECT_EQ(second.start(), Role::Secondary);  // decided once
    EXPECT_TRUE(second.activateRunning());
    EXPECT_EQ(activations, 1);

    ui::SingleInstance third(key);
    ASSERT_EQ(third.start(), Role::Secondary);
    EXPECT_TRUE(third.activateRunning());
    EXPECT_EQ(activations, 2);
}

TEST(SingleInstance, FirstCopyEndingFreesTheKey)
{
    const QString key = uniqueKey();
    {
        ui::SingleInstance first(key);
        ASSERT_EQ(first.start(), Role::Primary);
    }
    ui::SingleInstance next(key);
    EXPECT_EQ(next.start(), Role::Primary);
    EXPECT_FALSE(next.activateRunning());  // the first copy has nobody to call
}

TEST(SingleInstance, UnreachableFirstCopyStillMakesTheSecondEnd)
{
    const QString key = uniqueKey();
    // A live copy holds the lock but has no socket (hung, or its listen failed).
    QLockFile held(ui::SingleInstance::lockFilePath(key));
    ASSERT_TRUE(held.tryLock(0));

    ui::SingleInstance second(key);
    EXPECT_EQ(second.start(), Role::Secondary);
    EXPECT_FALSE(second.activateRunning(300));
}

TEST(SingleInstance, LeftoversOfADeadCopyDoNotCount)
{
    const QString key = uniqueKey();
    // A process id that has surely ended: a child that exited and was reaped.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    {
        QFile lock(ui::SingleInstance::lockFilePath(key));
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(child) + "\nquillabrand\n\n");
    }
    // And the socket file it left behind.
    const QString socketPath = QDir(QDir::tempPath()).filePath(key);
    {
        QFile sock(socketPath);
        ASSERT_TRUE(sock.open(QIODevice::WriteOnly));
    }

    ui::SingleInstance first(key);
    ASSERT_EQ(first.start(), Role::Primary);
    EXPECT_TRUE(first.listening());
    bool activated = false;
    first.onActivate([&] { activated = true; });
    ui::SingleInstance second(key);
    ASSERT_EQ(second.start(), Role::Secondary);
    EXPECT_TRUE(second.activateRunning());
    EXPECT_TRUE(activated);
}

TEST(SingleInstance, OnlyASecondaryActivates)
{
    ui::SingleInstance undecided(uniqueKey());
    EXPECT_FALSE(undecided.activateRunning(100));
    EXPECT_EQ(undecided.role(), Role::Undecided);
}

}  // namespace
