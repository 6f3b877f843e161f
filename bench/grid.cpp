// qb-bench grid (also: qb-bench workbench): opening a generated list the way
// the workbench does and reading the grid's screens, without a window.
//   grid_open        checks, key, column list, settings lists, work tables,
//                    grid bound, country table and the first screen read (s)
//   first_screen     the first screen's cells after the model is bound (ms)
//   grid_scroll_end  a jump to the last row: its screen's cells (ms)
//   rss              resident memory with the list open (MB)
//   key              the key column alone, within grid_open (s)
//   sqlite3_key      the sqlite3 shell giving a copy of the list a numbered,
//                    unique column: ALTER TABLE ... ADD COLUMN, UPDATE ... SET
//                    k = rowid, CREATE UNIQUE INDEX, in the same run (s)
// The list is written straight into tblData without the key; the opening adds it.
#include "generator.h"
#include "opening.h"
#include "reference.h"
#include "registry.h"

#include "common/general.h"
#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "workbench/datacontrol.h"
#include "workbench/gridmodel.h"
#include "workbench/opening.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

bool writeList(jet::Database& db, qint64 rows)
{
    const QStringList cols = bench::generatorColumns();
    QStringList defs, marks;
    for (const QString& c : cols) {
        defs << QStringLiteral("[%1] TEXT(255)").arg(c);
        marks << QStringLiteral("?");
    }
    db.execute(QStringLiteral("CREATE TABLE tblData (%1)").arg(defs.join(QLatin1String(", "))));
    jet::Connection& c = db.connection();
    c.exec(QStringLiteral("BEGIN"));
    jet::Stmt ins(&c, QStringLiteral("INSERT INTO tblData VALUES (%1)").arg(marks.join(QLatin1Char(','))));
    bench::GenOptions o;
    o.rows = rows;
    const bool ok = bench::generate(o, [&](const QStringList& row) {
        for (int i = 0; i < row.size(); ++i)
            ins.bind(i + 1, row[i].isEmpty() ? jet::Value() : jet::Value(row[i]));
        ins.step();
        ins.reset();
    });
    c.exec(QStringLiteral("COMMIT"));
    return ok;
}

int runGrid(const QStringList& args, bool workbenchNames)
{
    const qint64 rows = bench::option(args, QStringLiteral("--rows"), QStringLiteral("1000000")).toLongLong();
    QTemporaryDir dir;
    general::setProgramFolder(dir.path());
    const QString path = dir.filePath(QStringLiteral("sysfls.sys"));
    jet::Database db = jet::Database::open(path, true);
    if (!writeList(db, rows)) {
        std::fprintf(stderr, "could not generate the list\n");
        return 1;
    }
    const QString settings = dir.filePath(QStringLiteral("Settings"));
    bench::writeSettings(settings);

    const double reference = bench::shellReference(
        db, QStringLiteral("ALTER TABLE tblData ADD COLUMN k INTEGER; UPDATE tblData SET k = rowid; "
                           "CREATE UNIQUE INDEX tblData_k ON tblData (k);"));

    QElapsedTimer t;
    t.start();
    bench::OpenedList list;
    QString error;
    if (!bench::openList(db, path, settings, list, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const double key = list.keySeconds;
    const workbench::GridModel& model = *list.model;
    const qint64 boundAt = t.nsecsElapsed();
    qint64 chars = bench::readScreen(model, 0);
    const qint64 firstAt = t.nsecsElapsed();
    const double open = t.nsecsElapsed() / 1e9;

    QElapsedTimer s;
    s.start();
    chars += bench::readScreen(model, model.rowCount() - bench::kScreenRows);
    const double end = s.nsecsElapsed() / 1e6;

    bench::figure(workbenchNames ? "workbench_open" : "grid_open", open, "s");
    bench::figure("key", key, "s");
    bench::printReference("sqlite3_key", reference, workbenchNames ? "workbench_open" : "grid_open", open);
    bench::figure("first_screen", (firstAt - boundAt) / 1e6, "ms");
    bench::figure(workbenchNames ? "last_row" : "grid_scroll_end", end, "ms");
    bench::figure("rss", bench::residentMb(), "MB");
    std::fprintf(stderr, "rows %d, columns %d\n", model.rowCount(), model.columnCount());
    general::setProgramFolder(QString());
    return chars > 0 ? 0 : 1;
}

bench::Registrar regGrid("grid", "--rows N: the workbench's opening and the grid's first and last screens",
                         [](const QStringList& a) { return runGrid(a, false); });
bench::Registrar regWorkbench("workbench", "--rows N: the same figures under the names workbench_open and last_row",
                              [](const QStringList& a) { return runGrid(a, true); });

} // namespace
