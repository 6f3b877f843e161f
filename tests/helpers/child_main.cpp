// qb-test-child: the other process of the tests that kill a run part-way or
// watch a process end. It runs the program's own code, nothing of the tests.
//
//   qb-test-child run <change> <working db> <kill at> [<text file>]
//       Runs one bulk change on the working database: "textclean" (Text
//       Cleaner over the column Name), "dupes" (search and removal of the
//       duplicates over every column) or "import" (the text file imported
//       over the list). Every write, truncation and deletion that the engine
//       asks of the system is counted; with <kill at> n > 0 the process kills
//       itself with SIGKILL just before the n-th one, which therefore never
//       happens. With 0 it runs to the end and prints "events <count>".
//
//   qb-test-child export <program folder> <working db> <destination> <kind> <fields> <stop at>
//       Runs the export of the columns <fields> of tblData to the destination
//       (a kind of the export dialog) with the program folder's templates.
//       Every read the engine makes while the export's file stands in its
//       hidden folder beside the destination is counted; at the n-th (n > 0)
//       the process prints "staged <file>" and waits, doing nothing, until
//       it is killed. With 0 it runs to the end and prints "reads <count>".
//
//   qb-test-child quit <database> close|leave
//       Opens the program's two shared databases on the file, leaves a write
//       uncommitted in one of them, and returns from main: "close" the way
//       the program's main does (closing them first), "leave" with them still
//       open for the exit's own destructors. Prints the number of engine
//       connections still open once main's objects are gone.
#include "cleaning/text_clean_run.h"
#include "common/general.h"
#include "duplicates/dupe_remover.h"
#include "exchange/export.h"
#include "exchange/text_import.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"

#include <sqlite3.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QString>

#include <csignal>
#include <optional>
#include <type_traits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/types.h>
#include <unistd.h>

namespace {

long gEvents = 0;
long gKillAt = 0;

void event()
{
    if (++gEvents == gKillAt)
        std::raise(SIGKILL);
}

using Pread = ssize_t (*)(int, void*, size_t, off_t);
using Read = ssize_t (*)(int, void*, size_t);
using Pwrite = ssize_t (*)(int, const void*, size_t, off_t);
using Write = ssize_t (*)(int, const void*, size_t);
using Ftruncate = int (*)(int, off_t);
using Unlink = int (*)(const char*);

Pwrite realPwrite = nullptr;
Pwrite realPwrite64 = nullptr;
Write realWrite = nullptr;
Ftruncate realFtruncate = nullptr;
Unlink realUnlink = nullptr;

ssize_t countedPwrite(int fd, const void* b, size_t n, off_t at) { event(); return realPwrite(fd, b, n, at); }
ssize_t countedPwrite64(int fd, const void* b, size_t n, off_t at) { event(); return realPwrite64(fd, b, n, at); }
ssize_t countedWrite(int fd, const void* b, size_t n) { event(); return realWrite(fd, b, n); }
int countedFtruncate(int fd, off_t size) { event(); return realFtruncate(fd, size); }
int countedUnlink(const char* name) { event(); return realUnlink(name); }

// The export's reads: counted only while its file stands staged.
QString gDestination;
QStringList gOthers;   ///< hidden folders there before this export, of other exports
long gReads = 0;
long gStopAt = 0;
Pread realPread = nullptr;
Pread realPread64 = nullptr;
Read realRead = nullptr;

QStringList stagingFolders()
{
    return QFileInfo(gDestination).dir().entryList({QStringLiteral(".qb-export-*")}, QDir::Dirs | QDir::Hidden);
}

/// The destination's file in this export's hidden folder beside it, or "".
QString stagedFile()
{
    const QFileInfo dest(gDestination);
    const QDir folder = dest.dir();
    for (const QString& name : stagingFolders()) {
        if (gOthers.contains(name))
            continue;
        const QFileInfo staged(folder.filePath(name) + QLatin1Char('/') + dest.fileName());
        if (staged.isFile() && staged.size() > 0)
            return staged.filePath();
    }
    return QString();
}

void readEvent()
{
    const QString staged = stagedFile();
    if (staged.isEmpty() || ++gReads != gStopAt)
        return;
    std::printf("staged %s\n", qPrintable(staged));
    std::fflush(stdout);
    for (;;)
        ::pause();
}

ssize_t countedPread(int fd, void* b, size_t n, off_t at) { readEvent(); return realPread(fd, b, n, at); }
ssize_t countedPread64(int fd, void* b, size_t n, off_t at) { readEvent(); return realPread64(fd, b, n, at); }
ssize_t countedRead(int fd, void* b, size_t n) { readEvent(); return realRead(fd, b, n); }

/// The engine's file layer, when its system calls can be replaced.
sqlite3_vfs* unixVfs()
{
    sqlite3_vfs* vfs = sqlite3_vfs_find("unix");
    return vfs && vfs->iVersion >= 3 ? vfs : nullptr;
}

/// Puts counted in the place of the layer's system call name, keeping the
/// one it had in real; a call the layer does not have is left alone.
template <typename Real, typename Counted>
void swapSystemCall(sqlite3_vfs* vfs, const char* name, Real& real, Counted counted)
{
    auto* was = vfs->xGetSystemCall(vfs, name);
    if (!was)
        return;
    real = reinterpret_cast<Real>(was);
    vfs->xSetSystemCall(vfs, name, reinterpret_cast<sqlite3_syscall_ptr>(counted));
}

/// Puts the counters between the engine and the system: the platform's file
/// layer lets its system calls be replaced before any file is opened.
bool countSystemCalls()
{
    sqlite3_vfs* vfs = unixVfs();
    if (!vfs)
        return false;
    auto swap = [vfs](const char* name, auto& real, auto counted) { swapSystemCall(vfs, name, real, counted); };
    swap("pwrite", realPwrite, &countedPwrite);
    swap("pwrite64", realPwrite64, &countedPwrite64);
    swap("write", realWrite, &countedWrite);
    swap("ftruncate", realFtruncate, &countedFtruncate);
    swap("unlink", realUnlink, &countedUnlink);
    return realUnlink && (realPwrite || realPwrite64 || realWrite);
}

/// The same for the engine's reads.
bool countReads()
{
    sqlite3_vfs* vfs = unixVfs();
    if (!vfs)
        return false;
    auto swap = [vfs](const char* name, auto& real, auto counted) { swapSystemCall(vfs, name, real, counted); };
    swap("pread", realPread, &countedPread);
    swap("pread64", realPread64, &countedPread64);
    swap("read", realRead, &countedRead);
    return realPread || realPread64 || realRead;
}

int fail(const QString& why)
{
    std::fprintf(stderr, "%s\n", qPrintable(why));
    return 2;
}

int runChange(const QString& change, const QString& working, const QString& textFile)
{
    jet::Database db = jet::Database::open(working);
    if (change == QLatin1String("textclean")) {
        cleaning::CleanSteps steps;
        steps.trim = true;
        steps.removRepeat = true;
        steps.removNonPrint = true;
        const auto r = cleaning::runTextClean(db, cleaning::TextCleanRequest{QStringLiteral("Name"), steps, QString(), true});
        return r.ok() ? 0 : fail(r.message);
    }
    if (change == QLatin1String("dupes")) {
        const auto columns = dupes::comparedColumns(db, dupes::Scope::All);
        const auto search = dupes::searchDuplicates(db, dupes::Scope::All, columns);
        if (!search.ok)
            return fail(search.error);
        const auto r = dupes::removeDuplicates(db, search);
        return r.ok ? 0 : fail(r.message);
    }
    if (change == QLatin1String("import")) {
        exchange::TextChoices choices;
        choices.firstRowHasNames = true;
        const auto preview = exchange::buildTextPreview(textFile, exchange::TextEncoding::Utf8, choices);
        if (!preview.error.isEmpty())
            return fail(preview.error);
        exchange::TextImportObserver quiet;
        const auto r = exchange::importTextFile(
            db, exchange::TextImportRequest{textFile, exchange::TextEncoding::Utf8, choices, preview.names, preview.types},
            quiet);
        return r.outcome == exchange::TextImportResult::Outcome::Done ? 0 : fail(r.error);
    }
    return fail(QStringLiteral("unknown change ") + change);
}

/// Made before main's other objects, so it goes after them.
struct ReportOpenConnections {
    ~ReportOpenConnections()
    {
        std::printf("open connections %lld\n", static_cast<long long>(jet::Connection::all().size()));
        std::fflush(stdout);
    }
};

} // namespace

int main(int argc, char** argv)
{
    const QStringList args = [&] {
        QStringList a;
        for (int i = 1; i < argc; ++i)
            a << QString::fromLocal8Bit(argv[i]);
        return a;
    }();
    if (args.size() >= 4 && args[0] == QLatin1String("run")) {
        gKillAt = args[3].toLong();
        if (!countSystemCalls())
            return fail(QStringLiteral("the engine's system calls cannot be counted"));
        try {
            const int rc = runChange(args[1], args[2], args.value(4));
            if (rc == 0)
                std::printf("events %ld\n", gEvents);
            return rc;
        } catch (const std::exception& e) {
            return fail(QString::fromLocal8Bit(e.what()));
        }
    }
    if (args.size() == 7 && args[0] == QLatin1String("export")) {
        QCoreApplication app(argc, argv);
        general::setProgramFolder(args[1]);
        gDestination = args[3];
        gStopAt = args[6].toLong();
        gOthers = stagingFolders();
        if (!countReads())
            return fail(QStringLiteral("the engine's reads cannot be counted"));
        try {
            exchange::writeExport(args[4].toInt(), args[3], args[2], args[5], QString());
        } catch (const std::exception& e) {
            return fail(QString::fromLocal8Bit(e.what()));
        }
        std::printf("reads %ld\n", gReads);
        return 0;
    }
    if (args.size() == 3 && args[0] == QLatin1String("quit")) {
        const ReportOpenConnections report;
        QCoreApplication app(argc, argv);
        std::optional<general::DatabasesClosedAtEnd> closing;
        if (args[2] == QLatin1String("close"))
            closing.emplace();
        general::gdbWork = jet::Database::open(args[1]);
        general::dbWork = jet::Database::open(args[1]);
        general::dbWork.execute(QStringLiteral("CREATE TABLE tblQuit ([Name] TEXT(50))"));
        general::gdbWork.connection().exec(QStringLiteral("BEGIN"));
        general::gdbWork.execute(QStringLiteral("INSERT INTO tblQuit ([Name]) VALUES (\"not kept\")"));
        auto rs = general::dbWork.openRecordset(QStringLiteral("SELECT * FROM tblQuit"), jet::dbOpenDynaset);
        rs->close();
        return 0;
    }
    return fail(QStringLiteral("usage: qb-test-child run <change> <working db> <kill at> [<text file>] | "
                               "export <program folder> <working db> <destination> <kind> <fields> <stop at> | "
                               "quit <database> close|leave"));
}
