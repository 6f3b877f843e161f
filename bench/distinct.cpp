// qb-bench distinct: the distinct-values list of one column of a generated list.
//   distinct  listing the column's distinct values with their counts, the
//             empty-value row included, as the panel does on a new column (s)
// The column defaults to ZIP, which holds a few hundred thousand distinct
// values on a million rows; --column picks another generator column.
#include "benchdb.h"
#include "registry.h"

#include "cleaning/distinct_values.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {

int runDistinct(const QStringList& args)
{
    const QString column = bench::option(args, QStringLiteral("--column"), QStringLiteral("ZIP"));
    QTemporaryDir dir;
    jet::Database db = jet::Database::open(dir.filePath(QStringLiteral("bench.sys")), true);
    if (!bench::loadTimedList(db, args))
        return 1;
    QElapsedTimer t;
    t.start();

    t.restart();
    const cleaning::DistinctList list = cleaning::distinctValues(db, column, cleaning::DistinctFilter{});
    bench::figure("distinct", t.nsecsElapsed() / 1e9, "s");
    if (!list.ok()) {
        std::fprintf(stderr, "distinct: %s\n", qPrintable(list.error));
        return 1;
    }
    std::fprintf(stderr, "%s: %zu rows listed\n", qPrintable(column), list.rows.size());
    return 0;
}

bench::Registrar reg("distinct", "--rows N [--column C]: the distinct-values list of one column", runDistinct);

} // namespace
