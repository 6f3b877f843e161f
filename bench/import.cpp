// qb-bench import: the text import of the program, without its window, on a
// CSV such as `qb-bench gen` writes (header row, comma, double quotes).
//   import          preview steps and both passes into tblData (s)
//   key             appending the key column, as the workbench does on opening (s)
//   sqlite3_import  the sqlite3 shell's .import of the same file, when installed (s)
// --dump N then prints the first N rows of tblData as CSV, key included.
#include "registry.h"

#include "exchange/text_import.h"
#include "platform/jet/database.h"
#include "platform/jet/types.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

namespace {

QString csvField(const jet::Value& v)
{
    if (v.isNull())
        return QString();
    if (!v.isText())
        return v.toString();
    QString s = *v.textPtr();
    s.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

void dump(jet::Database& db, int rows)
{
    auto rs = db.openRecordset(QStringLiteral("SELECT * FROM tblData ORDER BY LumacorPrimK"), jet::dbOpenSnapshot);
    QStringList head;
    for (int i = 0; i < rs->fieldCount(); ++i)
        head << rs->field(i).name;
    std::printf("%s\n", qPrintable(head.join(QLatin1Char(','))));
    for (int n = 0; n < rows && !rs->eof(); ++n, rs->moveNext()) {
        QStringList cells;
        for (int i = 0; i < rs->fieldCount(); ++i)
            cells << csvField(rs->value(i));
        std::printf("%s\n", cells.join(QLatin1Char(',')).toUtf8().constData());
    }
}

/// The sqlite3 shell's own CSV import of the file, for comparison; < 0 when the
/// shell is not installed or fails.
double sqliteShellImport(const QString& csv, const QString& folder)
{
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty())
        return -1;
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(shell, {folder + QStringLiteral("/shell.db"), QStringLiteral(".import --csv ") + csv + QStringLiteral(" t")});
    if (!p.waitForFinished(-1) || p.exitCode() != 0)
        return -1;
    return t.nsecsElapsed() / 1e9;
}

int runImport(const QStringList& args)
{
    const QString csv = bench::option(args, QStringLiteral("--csv"));
    if (csv.isEmpty() || !QFileInfo(csv).isFile()) {
        std::fprintf(stderr, "usage: qb-bench import --csv FILE [--dump N]\n");
        return 2;
    }
    QTemporaryDir dir;
    jet::Database db = jet::Database::open(dir.filePath(QStringLiteral("sysfls.sys")), true);

    QElapsedTimer t;
    t.start();
    exchange::TextChoices choices;
    choices.firstRowHasNames = true;
    const exchange::TextEncoding encoding = exchange::detectTextEncoding(csv).value_or(exchange::TextEncoding::Utf8);
    const exchange::TextPreview preview = exchange::buildTextPreview(csv, encoding, choices);
    if (!preview.error.isEmpty()) {
        std::fprintf(stderr, "import: %s\n", qPrintable(preview.error));
        return 1;
    }
    exchange::TextImportRequest request{csv, encoding, choices, preview.names, preview.types};
    exchange::TextImportObserver quiet;
    const exchange::TextImportResult r = exchange::importTextFile(db, request, quiet);
    if (r.outcome != exchange::TextImportResult::Outcome::Done) {
        std::fprintf(stderr, "import: %s\n", qPrintable(r.error));
        return 1;
    }
    bench::figure("import", t.nsecsElapsed() / 1e9, "s");
    std::fprintf(stderr, "import: %lld rows, %lld columns\n", static_cast<long long>(r.rows),
                 static_cast<long long>(r.names.size()));

    t.restart();
    db.appendField(QStringLiteral("tblData"),
                   jet::FieldDef{QStringLiteral("LumacorPrimK"), jet::dbLong, 4, jet::dbAutoIncrField, 0});
    bench::figure("key", t.nsecsElapsed() / 1e9, "s");

    const double shell = sqliteShellImport(csv, dir.path());
    if (shell >= 0)
        bench::figure("sqlite3_import", shell, "s");

    const int rows = bench::option(args, QStringLiteral("--dump"), QStringLiteral("0")).toInt();
    if (rows > 0)
        dump(db, rows);
    return 0;
}

const bench::Registrar reg("import", "the text import into tblData: --csv FILE [--dump N]", runImport);

} // namespace
