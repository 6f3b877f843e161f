// qb-bench export: the program's own export of tblData to a destination file,
// without the dialogs, on a generated list (--rows N, a million unless told)
// or on a given CSV (--csv FILE, as `qb-bench gen` writes one).
//   load            writing the list into the working database (generated lists)
//   export          the export alone, the file complete in its place (s)
//   sqlite3_export  the sqlite3 shell's csv output of the same table into a
//                   file, in the same run, when the shell is installed (s)
// --to txt|excel5|excel95|excel8|html|access|access97 picks the destination
// (txt unless told); --out FILE keeps the file there, otherwise it is written
// in a temporary folder and removed. The Excel kinds hold a limited number of
// rows: a longer list is refused as the program refuses it.
#include "benchdb.h"
#include "csvload.h"
#include "registry.h"

#include "exchange/export.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

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

int runExport(const QStringList& args)
{
    const Kind* kind = kindNamed(bench::option(args, QStringLiteral("--to"), QStringLiteral("txt")));
    const QString csv = bench::option(args, QStringLiteral("--csv"));
    if (!kind || (!csv.isEmpty() && !QFileInfo(csv).isFile())) {
        std::fprintf(stderr, "usage: qb-bench export [--rows N | --csv FILE] "
                             "[--to txt|excel5|excel95|excel8|html|access|access97] [--out FILE]\n");
        return 2;
    }
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

    QElapsedTimer t;
    t.start();
    try {
        exchange::writeExport(kind->kind, out, workDb, fields, QString());
    } catch (const jet::JetError& e) {
        std::fprintf(stderr, "export: %s\n", qPrintable(e.description()));
        return 1;
    }
    bench::figure("export", t.nsecsElapsed() / 1e9, "s");
    std::fprintf(stderr, "export: %lld rows, %lld bytes to %s\n", static_cast<long long>(rows),
                 static_cast<long long>(QFileInfo(out).size()), qPrintable(out));

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
