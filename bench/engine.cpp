// qb-bench engine: the recordset figures on a generated list.
//   dynaset_open  opening a dynaset over all rows and columns (s)
//   row_fetch     reading a row at a random position (us per row)
//   findnext      one FindNext that scans the whole list (s)
//   bookkeeping   memory the open dynaset holds (MB)
#include "benchdb.h"
#include "opening.h"
#include "registry.h"

#include "platform/jet/connection.h"
#include "platform/jet/database.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <random>

namespace {

int runEngine(const QStringList& args)
{
    QTemporaryDir dir;
    jet::Database db = jet::Database::open(dir.filePath(QStringLiteral("bench.sys")), true);
    if (!bench::loadTimedList(db, args))
        return 1;
    QElapsedTimer t;
    t.start();

    QStringList names;
    for (const QString& c : bench::generatorColumns())
        names << QStringLiteral("[%1]").arg(c);
    const QString select = QStringLiteral("SELECT %1 FROM tblData").arg(names.join(QLatin1String(", ")));

    const double before = bench::residentMb();
    t.restart();
    auto rs = db.openRecordset(select, jet::dbOpenDynaset);
    bench::figure("dynaset_open", t.nsecsElapsed() / 1e9, "s");

    std::mt19937_64 rng(7);
    std::uniform_int_distribution<long> pick(0, rs->recordCount() - 1);
    const int probes = 20000;
    t.restart();
    qint64 chars = 0;
    for (int i = 0; i < probes; ++i) {
        rs->setAbsolutePosition(pick(rng));
        chars += rs->value(1).toString().size();
    }
    bench::figure("row_fetch", t.nsecsElapsed() / 1e3 / probes, "us");

    // A value that only the last row has: the find scans everything.
    rs->moveLast();
    rs->edit();
    rs->setValue(2, jet::Value(QStringLiteral("Zzyzx")));
    rs->update();
    rs->moveFirst();
    t.restart();
    rs->findNext(QStringLiteral("[LastName] = \"zzyzx\""));
    bench::figure("findnext", t.nsecsElapsed() / 1e9, "s");
    if (rs->noMatch())
        std::fprintf(stderr, "findnext found nothing\n");
    bench::figure("bookkeeping", rs->memoryUse() / (1024.0 * 1024.0), "MB");
    std::fprintf(stderr, "resident growth while open: %.1f MB\n", bench::residentMb() - before);
    return chars > 0 ? 0 : 1;
}

bench::Registrar reg("engine", "--rows N: dynaset open, row fetch, FindNext and bookkeeping figures", runEngine);

} // namespace
