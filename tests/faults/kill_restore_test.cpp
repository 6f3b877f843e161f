// A bulk change killed part-way, then the next start: the start-up restore
// must give a working database that nothing of the killed run reaches (its
// rollback journal above all, which the engine would otherwise play back
// into the fresh copy), and the next import must find it sound.
//
// The change runs in a child process (qb-test-child) that counts the
// engine's writes, truncations and deletions and kills itself with SIGKILL
// just before the n-th; the points are every one of them for a short run,
// else the first, the last and a fixed-seed sample between.
#include "support/test_child.h"
#include "app/frmsplash.h"
#include "common/general.h"
#include "exchange/text_import.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/dbfiles.h"
#include "platform/ui/scripted.h"
#include "workbench/opening.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <random>
#include <set>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct ChildResult {
    int status = -1;   ///< as waitpid gives it
    QString out;
};

/// Runs qb-test-child with args and waits for it; its standard output is kept.
ChildResult runChild(const QStringList& args)
{
    ChildResult r;
    int fd = -1;
    const pid_t pid = testsupport::spawnTestChild(args, &fd);
    if (pid < 0)
        return r;
    QByteArray out;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            out.append(buf, n);
    ::waitpid(pid, &r.status, 0);
    r.out = QString::fromLocal8Bit(out);
    ::close(fd);
    return r;
}

void writeText(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

/// A list with a header, messy names and many duplicates: rows of
/// (name, city, notes) from a fixed seed.
QByteArray oldList(int rows)
{
    std::mt19937 rng(24);
    QByteArray out = "Name,City,Notes\r\n";
    for (int i = 0; i < rows; ++i) {
        const unsigned k = rng() % 300;
        out += "\"  ann  ##  smith " + QByteArray::number(k) + "  \",Paris,\"note " + QByteArray::number(k % 7)
            + " of a longer text to fill the pages\"\r\n";
    }
    return out;
}

class KillDuringABulkChange : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        general::setProgramFolder(dir.path());
        ASSERT_TRUE(QFile::copy(QStringLiteral(QB_BINARY_DIR "/sysbkfls.sys"), path("sysbkfls.sys")));
        writeText(path("old.csv"), oldList(3000));
        writeText(path("middle.csv"), "Name,City,Notes\r\nMid One,Rome,a\r\nMid Two,Oslo,b\r\n");
        QByteArray fresh = "Code,Town\r\n";
        for (int i = 0; i < 25; ++i) {
            fresh += "C" + QByteArray::number(i) + ",Town " + QByteArray::number(i * 7) + "\r\n";
            newRows << QStringLiteral("C%1|Town %2").arg(i).arg(i * 7);
        }
        writeText(path("new.csv"), fresh);
        if (HasFatalFailure())
            return;

        // What a start and the new import give on a clean program folder.
        startUp();
        import(path("new.csv"));
        if (HasFatalFailure())
            return;
        cleanTables = tables();
        cleanSize = QFileInfo(working()).size();

        // The list the killed change works on, as the workbench leaves it.
        startUp();
        import(path("old.csv"));
        {
            jet::Database db = jet::Database::open(working());
            workbench::appendKey(db);
            ASSERT_TRUE(workbench::rebuildWorkTables(db));
        }
        ASSERT_TRUE(QFile::copy(working(), path("old-list.snapshot")));
        ASSERT_GT(QFileInfo(working()).size(), 4 * cleanSize);   // else a played-back journal would hardly show
    }
    void TearDown() override
    {
        general::setProgramFolder(QString());
        general::gstrWorkDBPath.clear();
    }

    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QString working() const { return path("sysfls.sys"); }

    /// The real start: the splash's load, which restores the working database.
    void startUp()
    {
        ui::ScriptedHandler boxes{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
        frmSplash splash;
        ASSERT_TRUE(splash.Form_Load());
        ASSERT_EQ(general::gstrWorkDBPath, working());
    }

    /// The text wizard's import of a file with names in its first row.
    void import(const QString& file)
    {
        exchange::TextChoices choices;
        choices.firstRowHasNames = true;
        const exchange::TextPreview preview = exchange::buildTextPreview(file, exchange::TextEncoding::Utf8, choices);
        ASSERT_EQ(preview.error.toStdString(), "");
        jet::Database db = jet::Database::open(working());
        exchange::TextImportObserver quiet;
        const exchange::TextImportResult r = exchange::importTextFile(
            db, {file, exchange::TextEncoding::Utf8, choices, preview.names, preview.types}, quiet);
        ASSERT_EQ(r.outcome, exchange::TextImportResult::Outcome::Done) << r.error.toStdString();
    }

    QStringList tables()
    {
        jet::Database db = jet::Database::open(working());
        return db.connection().tables();
    }

    QStringList rows()
    {
        jet::Database db = jet::Database::open(working());
        QStringList out;
        jet::Stmt s(&db.connection(), QStringLiteral("SELECT * FROM tblData ORDER BY rowid"));
        while (s.step()) {
            QStringList cells;
            for (int i = 0; i < s.columnCount(); ++i)
                cells << s.value(i, 0).toString();
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }

    /// The working database back to the list the change starts from.
    void resetToOldList()
    {
        ASSERT_TRUE(jet::removeSideFiles(working()));
        QFile::remove(working());
        ASSERT_TRUE(QFile::copy(path("old-list.snapshot"), working()));
    }

    std::vector<long> killPoints(long events)
    {
        std::vector<long> all(events);
        for (long i = 0; i < events; ++i)
            all[i] = i + 1;
        if (events <= 10)
            return all;
        std::vector<long> sample;
        std::sample(all.begin() + 1, all.end() - 1, std::back_inserter(sample), 8, std::mt19937(24));
        sample.insert(sample.begin(), 1);
        sample.push_back(events);
        return sample;
    }

    QTemporaryDir dir;
    QStringList newRows;
    QStringList cleanTables;
    qint64 cleanSize = 0;
};

TEST_P(KillDuringABulkChange, TheNextStartGivesASoundDatabaseWithOnlyTheNewImport)
{
    const QString change = QString::fromLatin1(GetParam());
    const QStringList run{QStringLiteral("run"), change, working()};
    const ChildResult whole = runChild(run + QStringList{QStringLiteral("0"), path("middle.csv")});
    ASSERT_TRUE(WIFEXITED(whole.status) && WEXITSTATUS(whole.status) == 0) << whole.status;
    ASSERT_TRUE(whole.out.startsWith(QStringLiteral("events "))) << whole.out.toStdString();
    const long events = whole.out.mid(7).trimmed().toLong();
    ASSERT_GE(events, 3) << "the change wrote next to nothing";

    int leftAJournal = 0;
    for (const long at : killPoints(events)) {
        SCOPED_TRACE("killed before event " + std::to_string(at) + " of " + std::to_string(events));
        resetToOldList();
        const ChildResult killed = runChild(run + QStringList{QString::number(at), path("middle.csv")});
        ASSERT_TRUE(WIFSIGNALED(killed.status) && WTERMSIG(killed.status) == SIGKILL) << killed.status;
        if (QFileInfo::exists(working() + QStringLiteral("-journal")))
            ++leftAJournal;

        startUp();
        for (const QString& side : jet::sideFiles(working()))
            EXPECT_FALSE(QFileInfo::exists(side)) << side.toStdString();
        import(path("new.csv"));
        if (HasFatalFailure())
            return;
        EXPECT_EQ(jet::checkDatabaseFile(working()).toStdString(), "");
        EXPECT_EQ(rows(), newRows);
        EXPECT_EQ(tables(), cleanTables);
        EXPECT_EQ(QFileInfo(working()).size(), cleanSize);
    }
    // The kills did leave what the restore has to deal with.
    EXPECT_GT(leftAJournal, 0);
}

INSTANTIATE_TEST_SUITE_P(Changes, KillDuringABulkChange, ::testing::Values("textclean", "dupes", "import"));

} // namespace
