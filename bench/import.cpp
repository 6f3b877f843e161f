// qb-bench import: the text import of the program, without its window, on a
// CSV such as `qb-bench gen` writes (header row, comma, double quotes).
//   import          preview steps and both passes into tblData (s)
//   key             appending the key column, as the workbench does on opening (s)
//   sqlite3_import  the sqlite3 shell's .import of the same file, when installed (s)
// --xls FILE [--sheet NAME] and --mdb FILE [--table NAME] run the worksheet and
// Access imports instead (the first sheet or table when none is named), with
// the same figures. A workbook to try comes from `qb-bench export --to excel8
// --out FILE`. --xls also prints
//   csv_import      the text import of the list it brought, written out as CSV (s)
// and the count of cells whose formula ended in an error on stderr; --mdb in
// the same run also
//   read            the table's rows read and handed over by the reading
//                   child, without the load into the database (s)
//   mdb_export      mdbtools' mdb-export of the same table to /dev/null (s)
//   ratio_to_mdb_export  import / mdb_export (x)
// --dbf FILE [--user NAME --password TEXT] imports a contact-manager database
// (one from `qb-bench gen --contacts DIR`) with the figures import, key and
// split (the system columns moved aside, as the workbench does on opening).
// --dump N then prints the first N rows of tblData as CSV, key included, on
// stdout; the figures then go to stderr.
#include "registry.h"

#include "exchange/act_module.h"
#include "exchange/import_sources.h"
#include "exchange/text_import.h"
#include "common/general.h"
#include "platform/drivers/xls_reader.h"
#include "platform/contacts/contactdb.h"
#include "platform/drivers/mdb_reader.h"
#include "platform/jet/error.h"
#include "platform/jet/database.h"
#include "platform/jet/types.h"
#include "workbench/opening.h"

#include <QElapsedTimer>
#include <QFile>
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
    bench::outLine(head.join(QLatin1Char(',')), "\n");
    for (int n = 0; n < rows && !rs->eof(); ++n, rs->moveNext()) {
        QStringList cells;
        for (int i = 0; i < rs->fieldCount(); ++i)
            cells << csvField(rs->value(i));
        bench::outLine(cells.join(QLatin1Char(',')), "\n");
    }
}

/// tblData as a CSV file of a header row and its rows (the key left out).
bool writeCsv(jet::Database& db, const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    auto rs = db.openRecordset(QStringLiteral("SELECT * FROM tblData"), jet::dbOpenSnapshot);
    QStringList head;
    for (int i = 0; i < rs->fieldCount(); ++i)
        head << csvField(jet::Value(rs->field(i).name));
    QByteArray out = head.join(QLatin1Char(',')).toUtf8() + "\r\n";
    for (; !rs->eof(); rs->moveNext()) {
        QStringList cells;
        for (int i = 0; i < rs->fieldCount(); ++i)
            cells << csvField(rs->value(i));
        out += cells.join(QLatin1Char(',')).toUtf8() + "\r\n";
        if (out.size() > (1 << 20)) {
            f.write(out);
            out.clear();
        }
    }
    f.write(out);
    return f.error() == QFileDevice::NoError;
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

/// The Access table the run imports: --table, else the file's first.
QString accessTable(const QString& mdb, const QStringList& args)
{
    const QString table = bench::option(args, QStringLiteral("--table"));
    return table.isEmpty() ? exchange::tableChoices(exchange::accessTables(mdb)).value(0) : table;
}

/// mdbtools' dump of the table as CSV to /dev/null; < 0 when mdb-export is
/// not installed or fails.
double mdbExport(const QString& mdb, const QString& table)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("mdb-export"));
    if (tool.isEmpty())
        return -1;
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(tool, {mdb, table});
    if (!p.waitForFinished(-1) || p.exitCode() != 0)
        return -1;
    return t.nsecsElapsed() / 1e9;
}

/// The worksheet or Access import as the choosers run it, with the same checks
/// of the names read from the file: the SELECT ... INTO that replaces tblData,
/// all or nothing. Returns the SQL's row count; throws jet::JetError.
qint64 importByEngine(jet::Database& db, const QString& xls, const QString& mdb, const QStringList& args)
{
    QString sql;
    if (!xls.isEmpty()) {
        QString sheet = bench::option(args, QStringLiteral("--sheet"));
        if (sheet.isEmpty())
            sheet = exchange::sheetChoices(exchange::workbookCatalog(xls)).value(0);
        sql = QStringLiteral("SELECT * INTO tblData FROM ") + exchange::checkedExcelSource(xls, sheet, true);
    } else {
        sql = exchange::accessImportStatement(mdb, accessTable(mdb, args));
    }
    qint64 rows = 0;
    exchange::allOrNothing(db, [&] {
        if (general::DropTable(db, QStringLiteral("tblData")))
            throw jet::JetError(jet::errGeneral, QStringLiteral("Could not delete existing data."));
        db.execute(sql, jet::dbFailOnError);
        rows = db.recordsAffected();
    });
    return rows;
}

/// The workbench's opening checks of the new tblData, then its key; false
/// (with the workbench's own message on stderr) when the list would be refused.
bool keyTheList(jet::Database& db, bool dumping)
{
    const QString refusal = workbench::columnRefusal(workbench::listColumns(db));
    if (!refusal.isEmpty()) {
        std::fprintf(stderr, "import: %s\n", qPrintable(refusal));
        return false;
    }
    QElapsedTimer t;
    t.start();
    workbench::appendKey(db);
    bench::figure("key", t.nsecsElapsed() / 1e9, "s", dumping);
    return true;
}

/// The contact import as the program runs it, without its dialog: the log-on
/// takes --user and --password.
int importContactDatabase(const QString& dbf, const QStringList& args)
{
    const int rows = bench::option(args, QStringLiteral("--dump"), QStringLiteral("0")).toInt();
    contacts::Database act;
    act.Open(dbf);
    if (!act.isopen()) {
        std::fprintf(stderr, "import: the database could not be opened: %s\n", qPrintable(act.openFailure()));
        return 1;
    }
    if (act.IsMultiUser()) {
        act.validateuser(bench::option(args, QStringLiteral("--user")), bench::option(args, QStringLiteral("--password")));
        if (act.Error()) {
            std::fprintf(stderr, "import: the user name or password was not accepted\n");
            return 1;
        }
    }
    if (act.MajorVersion() != 60) {
        std::fprintf(stderr, "import: the database is of version %d, not 60\n", act.MajorVersion());
        return 1;
    }
    QTemporaryDir dir;
    jet::Database db = jet::Database::open(dir.filePath(QStringLiteral("sysfls.sys")), true);
    QElapsedTimer t;
    t.start();
    const exchange::ContactImport r = exchange::importContacts(act.CONTACT(), db);
    bench::figure("import", t.nsecsElapsed() / 1e9, "s", rows > 0);
    std::fprintf(stderr, "import: %lld rows, %lld columns, %lld columns left out as empty, %lld unreadable dates\n",
                 static_cast<long long>(r.rows), static_cast<long long>(r.columns.size()),
                 static_cast<long long>(r.dropped.size()), static_cast<long long>(r.unreadableDates));
    if (!keyTheList(db, rows > 0))
        return 1;
    t.restart();
    exchange::splitHiddenColumns(db);
    bench::figure("split", t.nsecsElapsed() / 1e9, "s", rows > 0);
    if (rows > 0)
        dump(db, rows);
    return 0;
}

/// The text import of the program into db's tblData; false (with the
/// reason on stderr) when it fails.
bool importText(jet::Database& db, const QString& csv, exchange::TextImportResult& r)
{
    exchange::TextChoices choices;
    choices.firstRowHasNames = true;
    const exchange::TextEncoding encoding = exchange::detectTextEncoding(csv).value_or(exchange::TextEncoding::Utf8);
    const exchange::TextPreview preview = exchange::buildTextPreview(csv, encoding, choices);
    if (!preview.error.isEmpty()) {
        std::fprintf(stderr, "import: %s\n", qPrintable(preview.error));
        return false;
    }
    exchange::TextImportRequest request{csv, encoding, choices, preview.names, preview.types};
    exchange::TextImportObserver quiet;
    r = exchange::importTextFile(db, request, quiet);
    if (r.outcome != exchange::TextImportResult::Outcome::Done) {
        std::fprintf(stderr, "import: %s\n", qPrintable(r.error));
        return false;
    }
    return true;
}

/// The text import of tblData written out as CSV, in a database of its own,
/// for comparison with the worksheet import.
bool csvOfTheSameList(jet::Database& db, const QString& folder, bool dumping)
{
    const QString csv = folder + QStringLiteral("/same-list.csv");
    if (!writeCsv(db, csv)) {
        std::fprintf(stderr, "import: the list could not be written out as CSV\n");
        return false;
    }
    jet::Database other = jet::Database::open(folder + QStringLiteral("/csv.sys"), true);
    QElapsedTimer t;
    t.start();
    exchange::TextImportResult r;
    if (!importText(other, csv, r))
        return false;
    bench::figure("csv_import", t.nsecsElapsed() / 1e9, "s", dumping);
    std::fprintf(stderr, "csv_import: %lld rows, %lld columns\n", static_cast<long long>(r.rows),
                 static_cast<long long>(r.names.size()));
    return true;
}

int importCommand(const QStringList& args)
{
    const QString dbf = bench::option(args, QStringLiteral("--dbf"));
    if (!dbf.isEmpty())
        return importContactDatabase(dbf, args);
    const QString csv = bench::option(args, QStringLiteral("--csv"));
    const QString xls = bench::option(args, QStringLiteral("--xls"));
    const QString mdb = bench::option(args, QStringLiteral("--mdb"));
    const QString source = !csv.isEmpty() ? csv : !xls.isEmpty() ? xls : mdb;
    if (source.isEmpty() || !QFileInfo(source).isFile()) {
        std::fprintf(stderr, "usage: qb-bench import --csv FILE | --xls FILE [--sheet NAME] | --mdb FILE [--table NAME]"
                             " | --dbf FILE [--user NAME --password TEXT] [--dump N]\n");
        return 2;
    }
    QTemporaryDir dir;
    jet::Database db = jet::Database::open(dir.filePath(QStringLiteral("sysfls.sys")), true);
    const int dumpRows = bench::option(args, QStringLiteral("--dump"), QStringLiteral("0")).toInt();
    const bool dumping = dumpRows > 0;

    QElapsedTimer t;
    t.start();
    if (csv.isEmpty()) {
        drivers::takeExcelFormulaErrors();
        t.restart();
        const qint64 rows = importByEngine(db, xls, mdb, args);
        const double seconds = t.nsecsElapsed() / 1e9;
        bench::figure("import", seconds, "s", dumping);
        std::fprintf(stderr, "import: %lld rows\n", static_cast<long long>(rows));
        if (!xls.isEmpty()) {
            std::fprintf(stderr, "import: %lld cells held a formula error and came in empty\n",
                         drivers::takeExcelFormulaErrors());
            if (!csvOfTheSameList(db, dir.path(), dumping))
                return 1;
        }
        if (!mdb.isEmpty() && drivers::isJetFile(mdb)) {   // not for a database of the engine's own
            t.restart();
            auto reader = drivers::readMdbTable(mdb, accessTable(mdb, args));
            std::vector<jet::Value> row;
            while (reader->next(row)) {
            }
            bench::figure("read", t.nsecsElapsed() / 1e9, "s", dumping);
            const double reference = mdbExport(mdb, accessTable(mdb, args));
            if (reference > 0) {
                bench::figure("mdb_export", reference, "s", dumping);
                bench::figure("ratio_to_mdb_export", seconds / reference, "x", dumping);
            }
        }
        if (!keyTheList(db, dumping))
            return 1;
        if (dumping)
            dump(db, dumpRows);
        return 0;
    }
    exchange::TextImportResult r;
    if (!importText(db, csv, r))
        return 1;
    bench::figure("import", t.nsecsElapsed() / 1e9, "s", dumping);
    std::fprintf(stderr, "import: %lld rows, %lld columns\n", static_cast<long long>(r.rows),
                 static_cast<long long>(r.names.size()));

    if (!keyTheList(db, dumping))
        return 1;

    const double shell = sqliteShellImport(csv, dir.path());
    if (shell >= 0)
        bench::figure("sqlite3_import", shell, "s", dumping);

    if (dumping)
        dump(db, dumpRows);
    return 0;
}

int runImport(const QStringList& args)
{
    try {
        return importCommand(args);
    } catch (const jet::JetError& e) {
        std::fprintf(stderr, "import: %s\n", qPrintable(e.description()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "import: %s\n", e.what());
    }
    return 1;
}

const bench::Registrar reg("import",
                           "the import into tblData: --csv FILE | --xls FILE [--sheet NAME] | --mdb FILE [--table NAME] "
                           "| --dbf FILE [--user NAME --password TEXT] [--dump N]",
                           runImport);

} // namespace
