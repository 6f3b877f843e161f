// An export killed part-way, over a file the user already has: the old file
// stays whole, and the hidden folder with the partial new file that the
// killed run left beside it is gone after the next export to that folder.
// An export still running in another process keeps its folder meanwhile.
//
// The exports that are killed run in a child process (qb-test-child), which
// stops while its file stands staged and waits for its SIGKILL.
#include "support/test_child.h"
#include "common/general.h"
#include "exchange/export.h"
#include "exchange/export_fixture.h"
#include "platform/jet/connection.h"
#include "support/file_bytes.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const QString kFields = QStringLiteral("[Name], [City] ");

/// A running qb-test-child whose standard output is read line by line; it is
/// killed, if it still runs, when this goes away.
class Child {
public:
    explicit Child(const QStringList& args)
    {
        pid_ = testsupport::spawnTestChild(args, &out_);
    }
    ~Child()
    {
        kill();
        if (out_ >= 0)
            ::close(out_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    /// The next line of its output without the line end; "" at its end.
    QString line()
    {
        QByteArray got;
        char c;
        for (;;) {
            const ssize_t n = ::read(out_, &c, 1);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0 || c == '\n')
                break;
            got += c;
        }
        return QString::fromLocal8Bit(got);
    }

    /// SIGKILL, then waits for the end; the status as waitpid gives it.
    int kill()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status_, 0);
            pid_ = -1;
        }
        return status_;
    }

    /// Waits for an end of its own.
    int wait()
    {
        if (pid_ > 0) {
            ::waitpid(pid_, &status_, 0);
            pid_ = -1;
        }
        return status_;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int status_ = -1;
};

class KilledExport : public exporttest::ExportTest {
protected:
    KilledExport() : ExportTest(QStringLiteral("[Name] TEXT(255), [City] TEXT(255)"), kFields) {}

    void SetUp() override
    {
        ExportTest::SetUp();
        if (HasFatalFailure())
            return;
        db.connection().exec(QStringLiteral("BEGIN"));
        for (int i = 0; i < 4000; ++i)
            db.execute(QStringLiteral("INSERT INTO tblData ([Name], [City]) VALUES (\"Name %1 %2\", \"City %3\")")
                           .arg(i)
                           .arg(QString(60, QLatin1Char('n')))
                           .arg(i % 97));
        db.connection().exec(QStringLiteral("COMMIT"));
        out = dir.filePath(QStringLiteral("out"));
    }

    /// The export of the File menu, as the user runs it.
    void exportTo(const QString& path, int kind)
    {
        const bool exists = QFileInfo::exists(path);
        ui.answerFile(path, kind);
        if (exists)
            ui.answerMessage(ui::vbYes, path + QStringLiteral(" already exists.  Overwrite it?"));
        ui.answerMessage(ui::vbOK, QStringLiteral("Exported data to: ") + path);
        EXPECT_FALSE(main->ExportFile());
    }

    /// The child's export of the list to path, stopped at its n-th read
    /// while the file stands staged (0: run to the end).
    QStringList childExport(const QString& path, int kind, long stopAt) const
    {
        return {QStringLiteral("export"), dir.path(), general::gstrWorkDBPath, path, QString::number(kind), kFields,
                QString::number(stopAt)};
    }

    QStringList hiddenFolders() const
    {
        return QDir(out).entryList({QStringLiteral(".qb-export-*")}, QDir::AllEntries | QDir::Hidden | QDir::System);
    }

    QString out;
};

TEST_F(KilledExport, LeavesNothingAfterTheNextExportAndTheOldFileWhole)
{
    const QString list = out + QStringLiteral("/list.mdb");
    exportTo(list, exchange::ExportAccess2000);
    const QByteArray old = testfiles::readAll(list);
    ASSERT_FALSE(old.isEmpty());

    // How many reads a whole export makes while its file is staged, in a
    // folder of its own.
    const QString counting = dir.filePath(QStringLiteral("counting"));
    ASSERT_TRUE(QDir().mkpath(counting));
    long reads = 0;
    {
        Child whole(childExport(counting + QStringLiteral("/list.mdb"), exchange::ExportAccess2000, 0));
        const QString said = whole.line();
        const int status = whole.wait();
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << said.toStdString();
        reads = QRegularExpression(QStringLiteral("^reads (\\d+)$")).match(said).captured(1).toLong();
        ASSERT_GT(reads, 4) << said.toStdString();
    }

    for (const long stopAt : {1L, reads / 2, reads - 1}) {
        SCOPED_TRACE(stopAt);
        // Two exports over the user's file stop part-way, one still running.
        Child killed(childExport(list, exchange::ExportAccess2000, stopAt));
        const QString killedSaid = killed.line();
        ASSERT_TRUE(killedSaid.startsWith(QStringLiteral("staged "))) << killedSaid.toStdString();
        Child running(childExport(list, exchange::ExportAccess2000, stopAt));
        const QString runningSaid = running.line();
        ASSERT_TRUE(runningSaid.startsWith(QStringLiteral("staged "))) << runningSaid.toStdString();
        const QString killedFile = killedSaid.mid(7);
        const QString runningFile = runningSaid.mid(7);
        const int status = killed.kill();
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        ASSERT_TRUE(QFileInfo(killedFile).isFile());
        ASSERT_GT(QFileInfo(killedFile).size(), 0);
        ASSERT_EQ(hiddenFolders().size(), 2) << hiddenFolders().join(u' ').toStdString();

        // The next export to the folder, of another file.
        exportTo(out + QStringLiteral("/other.txt"), exchange::ExportText);
        EXPECT_FALSE(QFileInfo::exists(QFileInfo(killedFile).path())) << killedFile.toStdString();
        EXPECT_TRUE(QFileInfo(runningFile).isFile()) << runningFile.toStdString();
        EXPECT_EQ(hiddenFolders(), QStringList{QFileInfo(runningFile).dir().dirName()});

        // Once that one is killed too, the next export removes its folder.
        running.kill();
        exportTo(out + QStringLiteral("/other.txt"), exchange::ExportText);
        EXPECT_EQ(hiddenFolders(), QStringList{});
        EXPECT_EQ(testfiles::readAll(list), old);
    }
    EXPECT_EQ(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("list.mdb"), QStringLiteral("other.txt")}));
}

// A hidden folder of the same name that no export made (no lock file in it)
// is never taken for a killed export's: the one being set up looks the same.
TEST_F(KilledExport, LeavesAFolderWithoutItsLock)
{
    const QString foreign = out + QStringLiteral("/.qb-export-foreign");
    ASSERT_TRUE(QDir().mkpath(foreign));
    testfiles::writeAll(foreign + QStringLiteral("/list.mdb"), "not ours to remove");
    exportTo(out + QStringLiteral("/list.mdb"), exchange::ExportAccess2000);
    EXPECT_EQ(testfiles::readAll(foreign + QStringLiteral("/list.mdb")), QByteArray("not ours to remove"));
}

} // namespace
