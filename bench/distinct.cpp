// qb-bench distinct: the distinct-values list of one column of a generated list.
//   distinct  listing the column's distinct values with their counts, the
//             empty-value row included, as the panel does on a new column (s)
// The column defaults to ZIP, which holds a few hundred thousand distinct
// values on a million rows; --column picks another generator column.
// --csv FILE lists a column of that list instead of a generated one;
// --repeat N lists it N times on the one loaded database, one figure each.
// --dump prints the last list on stdout, a row a line: the value's kind, the
// count and the text, tab-separated, each value whole (a U+0000 in it
// included); the figures then go to stderr.
#include "benchdb.h"
#include "csvload.h"
#include "registry.h"

#include "cleaning/distinct_values.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

void writeDump(const cleaning::DistinctList& list)
{
    QByteArray out;
    for (const cleaning::DistinctRow& r : list.rows) {
        out += QByteArray::number(static_cast<int>(r.value.kind())) + '\t' + QByteArray::number(r.count) + '\t'
            + (r.empty ? QByteArray("(empty)") : r.value.toString().toUtf8()) + '\n';
        if (out.size() > (1 << 20)) {
            bench::out(out);
            out.clear();
        }
    }
    bench::out(out);
}

int runDistinct(const QStringList& args)
{
    const QString column = bench::option(args, QStringLiteral("--column"), QStringLiteral("ZIP"));
    const bool dumping = bench::flag(args, QStringLiteral("--dump"));
    QTemporaryDir dir;
    jet::Database db = jet::Database::open(dir.filePath(QStringLiteral("bench.sys")), true);
    const QString csv = bench::option(args, QStringLiteral("--csv"));
    if (!csv.isEmpty()) {
        QElapsedTimer load;
        load.start();
        QString error;
        if (!bench::loadCsv(db, csv, &error)) {
            std::fprintf(stderr, "distinct: %s\n", qPrintable(error));
            return 1;
        }
        bench::figure("load", load.elapsed() / 1000.0, "s", dumping);
    } else if (!bench::loadTimedList(db, args)) {
        return 1;
    }
    const int repeat = std::max(1, bench::option(args, QStringLiteral("--repeat"), QStringLiteral("1")).toInt());
    for (int i = 0; i < repeat; ++i) {
        QElapsedTimer t;
        t.start();
        const cleaning::DistinctList list = cleaning::distinctValues(db, column, cleaning::DistinctFilter{});
        bench::figure("distinct", t.nsecsElapsed() / 1e9, "s", dumping);
        if (!list.ok()) {
            std::fprintf(stderr, "distinct: %s\n", qPrintable(list.error));
            return 1;
        }
        std::fprintf(stderr, "%s: %zu rows listed\n", qPrintable(column), list.rows.size());
        if (i + 1 == repeat && dumping)
            writeDump(list);
    }
    return 0;
}

bench::Registrar reg("distinct", "--rows N | --csv FILE [--column C] [--repeat N] [--dump]: the distinct-values list of one column", runDistinct);

} // namespace
