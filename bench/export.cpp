// qb-bench export: the program's own export of tblData to a destination file,
// without the dialogs, on a generated list (--rows N, a million unless told)
// or on a given CSV (--csv FILE, as `qb-bench gen` writes one).
//   load            writing the list into the working database (generated lists)
//   export          the export alone, the file complete in its place (s)
//   peak_rss        the most memory the exporting process held (MB)
//   sqlite3_export  the sqlite3 shell's csv output of the same table into a
//                   file, in the same run, when the shell is installed (s)
// --to txt|excel5|excel95|excel8|html|access|access97 picks the destination
// (txt unless told); --out FILE keeps the file there, otherwise it is written
// in a temporary folder and removed. The Excel kinds hold a limited number of
// rows: a longer list is refused as the program refuses it.
// For every kind but txt the text export of the same list follows in the same run:
//   txt_export      the text export (s)
//   txt_peak_rss    its process's peak memory (MB)
//   ratio_to_txt    export / txt_export (x)
// Each export runs in a process of its own (this program again, with
// --work-db naming the loaded working database), so that its peak memory is
// its own: the whole process's, from its start to its end, and not the
// loading's. That process prints `export` alone.
// Access 97 and Excel 5.0/95 keep text in Windows-1252 and refuse any other
// character; the generated lists hold names from all of Europe, so for --to
// access97, excel5 and excel95 their letters outside that code page become "?"
// first (not timed; every export of the run then works on that list). A list
// given with --csv is loaded by the program's text import (its types guessed)
// and exported as it stands: a refusal prints the program's message and the
// command fails.
#include "benchdb.h"
#include "csvload.h"
#include "registry.h"

#include "common/codepage.h"
#include "exchange/export.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/jet/schema.h"

#include <sqlite3.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Kind {
    const char* name;
    int kind;
    const char* suffix;
};

const Kind kKinds[] = {
    {"txt", exchange::ExportText, "txt"},         {"excel5", exchange::ExportExcel5, "xls"},
    {"excel95", exchange::ExportExcel95, "xls"},  {"excel8", exchange::ExportExcel2000, "xls"},
    {"html", exchange::ExportWebPage, "html"},    {"access", exchange::ExportAccess2000, "mdb"},
    {"access97", exchange::ExportAccess97, "mdb"},
};

const Kind* kindNamed(const QString& name)
{
    for (const Kind& k : kKinds)
        if (name == QLatin1String(k.name))
            return &k;
    return nullptr;
}

/// The user's columns of tblData as the workbench lists them for an export.
QString fieldList(jet::Database& db, qint64* rows)
{
    auto rs = db.openRecordset(QStringLiteral("SELECT * FROM tblData WHERE 1=0"), jet::dbOpenSnapshot);
    QString list;
    for (int i = 0; i < rs->fieldCount(); ++i)
        if (rs->field(i).name.compare(QLatin1String("LumacorPrimK"), Qt::CaseInsensitive) != 0)
            list += QLatin1Char('[') + rs->field(i).name + QLatin1String("], ");
    list.chop(2);
    auto count = db.openRecordset(QStringLiteral("SELECT COUNT(*) FROM tblData"), jet::dbOpenSnapshot);
    *rows = count->value(0).toLong();
    return list + QLatin1Char(' ');
}

/// The sqlite3 shell's csv output of the same columns into a file; < 0 when
/// the shell is not installed or fails.
double sqliteShellExport(const QString& workDb, const QString& fieldList, const QString& out)
{
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty())
        return -1;
    QProcess p;
    p.setStandardOutputFile(out);
    QElapsedTimer t;
    t.start();
    p.start(shell, {QStringLiteral("-csv"), QStringLiteral("-header"), QStringLiteral("-readonly"), workDb,
                    QStringLiteral("SELECT ") + fieldList + QStringLiteral("FROM tblData")});
    if (!p.waitForFinished(-1) || p.exitCode() != 0)
        return -1;
    return t.nsecsElapsed() / 1e9;
}

/// qb_cp1252(x): text x with every character outside Windows-1252 as "?".
void cp1252Only(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    QString text = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])),
                                     sqlite3_value_bytes(argv[0]));
    bool changed = false;
    for (QChar& c : text)
        if (codepage::codeOf(c) < 0) {
            c = QLatin1Char('?');
            changed = true;
        }
    if (!changed) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    sqlite3_result_text(ctx, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

/// Puts "?" for the characters of tblData that Access 97 and Excel 5.0 cannot keep; the rows changed.
qint64 fitToWindows1252(jet::Database& db)
{
    jet::Connection& c = db.connection();
    sqlite3_create_function(c.handle(), "qb_cp1252", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, cp1252Only,
                            nullptr, nullptr);
    auto rs = db.openRecordset(QStringLiteral("SELECT * FROM tblData WHERE 1=0"), jet::dbOpenSnapshot);
    QStringList sets, differs;
    for (int i = 0; i < rs->fieldCount(); ++i) {
        const QString name = jet::quoteName(rs->field(i).name);
        sets << name + QStringLiteral(" = qb_cp1252(") + name + QLatin1Char(')');
        differs << name + QStringLiteral(" IS NOT qb_cp1252(") + name + QLatin1Char(')');
    }
    c.exec(QStringLiteral("UPDATE tblData SET ") + sets.join(QLatin1String(", ")) + QStringLiteral(" WHERE ")
           + differs.join(QLatin1String(" OR ")));
    return c.changes();
}

/// The export alone, in this process, on a loaded working database: prints
/// `export`. 0 on success.
int exportHere(const Kind& kind, const QString& workDb, const QString& out)
{
    QString fields;
    {
        jet::Database db = jet::Database::open(workDb);
        qint64 rows = 0;
        fields = fieldList(db, &rows);
    }
    QElapsedTimer t;
    t.start();
    try {
        exchange::writeExport(kind.kind, out, workDb, fields, QString());
    } catch (const jet::JetError& e) {
        std::fprintf(stderr, "export: %s  Unable to Export.\n", qPrintable(e.description()));
        return 1;
    }
    bench::figure("export", t.nsecsElapsed() / 1e9, "s");
    return 0;
}

struct ChildExport {
    bool ok = false;
    double seconds = 0;
    double peakMb = 0;
};

/// Runs this program's exportHere() for kind in a child process and takes
/// its time from the child's output and its peak memory from the system's
/// account of the child.
ChildExport exportInChild(const Kind& kind, const QString& workDb, const QString& out)
{
    ChildExport r;
    const QByteArray exe = QFile::encodeName(QCoreApplication::applicationFilePath());
    std::vector<QByteArray> args = {exe, "export", "--work-db", QFile::encodeName(workDb), "--to", kind.name, "--out",
                                    QFile::encodeName(out)};
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return r;
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return r;
    }
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    QByteArray said;
    char block[4096];
    for (;;) {
        const ssize_t n = ::read(fds[0], block, sizeof block);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        said.append(block, n);
    }
    ::close(fds[0]);
    int status = 0;
    struct rusage use {};
    while (::wait4(pid, &status, 0, &use) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return r;
    for (const QByteArray& line : said.split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() == 3 && words[0] == "export")
            r.seconds = words[1].toDouble(&r.ok);
    }
    r.peakMb = use.ru_maxrss / 1024.0; // kilobytes on Linux
    return r;
}

int runExport(const QStringList& args)
{
    const Kind* kind = kindNamed(bench::option(args, QStringLiteral("--to"), QStringLiteral("txt")));
    const QString csv = bench::option(args, QStringLiteral("--csv"));
    const QString given = bench::option(args, QStringLiteral("--work-db"));
    if (!kind || (!csv.isEmpty() && !QFileInfo(csv).isFile())
        || (!given.isEmpty() && bench::option(args, QStringLiteral("--out")).isEmpty())) {
        std::fprintf(stderr, "usage: qb-bench export [--rows N | --csv FILE] "
                             "[--to txt|excel5|excel95|excel8|html|access|access97] [--out FILE]\n");
        return 2;
    }
    if (!given.isEmpty())
        return exportHere(*kind, given, bench::option(args, QStringLiteral("--out")));
    QTemporaryDir dir;
    const QString workDb = dir.filePath(QStringLiteral("sysfls.sys"));
    QString fields;
    qint64 rows = 0;
    {
        jet::Database db = jet::Database::open(workDb, true);
        if (csv.isEmpty()) {
            if (!bench::loadTimedList(db, args))
                return 1;
        } else {
            QString error;
            if (!bench::loadCsv(db, csv, &error)) {
                std::fprintf(stderr, "export: %s\n", qPrintable(error));
                return 1;
            }
        }
        // Only a generated list is fitted; a given one goes out as it stands,
        // and a character its destination cannot hold refuses it as the
        // program refuses it.
        if (csv.isEmpty()
            && (kind->kind == exchange::ExportAccess97 || kind->kind == exchange::ExportExcel5
                || kind->kind == exchange::ExportExcel95))
            std::fprintf(stderr, "export: %lld rows fitted to Windows-1252\n", static_cast<long long>(fitToWindows1252(db)));
        fields = fieldList(db, &rows);
    }
    const int limit = exchange::excelRowLimit(kind->kind);
    if (limit >= 0 && rows > limit) {
        std::fprintf(stderr, "export: %lld rows: File too large, cannot export in Excel Format (at most %d)\n",
                     static_cast<long long>(rows), limit);
        return 1;
    }
    QString out = bench::option(args, QStringLiteral("--out"));
    if (out.isEmpty())
        out = dir.filePath(QStringLiteral("export.") + QLatin1String(kind->suffix));
    out = QFileInfo(out).absoluteFilePath();

    const ChildExport done = exportInChild(*kind, workDb, out);
    if (!done.ok)
        return 1;
    bench::figure("export", done.seconds, "s");
    bench::figure("peak_rss", done.peakMb, "MB");
    std::fprintf(stderr, "export: %lld rows, %lld bytes to %s\n", static_cast<long long>(rows),
                 static_cast<long long>(QFileInfo(out).size()), qPrintable(out));

    if (kind->kind != exchange::ExportText) {
        const ChildExport text = exportInChild(*kindNamed(QStringLiteral("txt")), workDb,
                                               dir.filePath(QStringLiteral("same-list.txt")));
        if (!text.ok)
            return 1;
        bench::figure("txt_export", text.seconds, "s");
        bench::figure("txt_peak_rss", text.peakMb, "MB");
        bench::figure("ratio_to_txt", done.seconds / text.seconds, "x");
    }

    const double shell = sqliteShellExport(workDb, fields, dir.filePath(QStringLiteral("shell.csv")));
    if (shell >= 0)
        bench::figure("sqlite3_export", shell, "s");
    return 0;
}

const bench::Registrar reg("export",
                           "the export of tblData: [--rows N | --csv FILE] "
                           "[--to txt|excel5|excel95|excel8|html|access|access97] [--out FILE]",
                           runExport);

} // namespace
