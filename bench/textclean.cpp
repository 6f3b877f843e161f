// qb-bench textclean: a Text Cleaner run with every step ticked over one
// column of a generated list.
//   textclean          the whole run: selection, cleaning, write-back, commit (s)
//   sqlite3_textclean  the sqlite3 shell's UPDATE t SET col = upper(col) of the
//                      same column on a copy of the list, in the same run (s)
// The column defaults to Address, whose values nearly all change, so the
// write-back is at its largest; --column picks another generator column.
#include "benchdb.h"
#include "reference.h"
#include "registry.h"

#include "cleaning/text_clean_run.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {

int runTextCleanBench(const QStringList& args)
{
    QTemporaryDir dir;
    jet::Database db = jet::Database::open(dir.filePath(QStringLiteral("bench.sys")), true);
    if (!bench::loadTimedList(db, args))
        return 1;
    QElapsedTimer t;
    t.start();

    cleaning::TextCleanRequest request;
    request.column = bench::option(args, QStringLiteral("--column"), QStringLiteral("Address"));
    QString quoted = request.column;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    const double reference =
        bench::shellReference(db, QStringLiteral("UPDATE tblData SET \"%1\" = upper(\"%1\");").arg(quoted));
    request.steps = cleaning::CleanSteps{true, true, true, true, true, true, true, true, true, true};
    t.restart();
    const cleaning::TextCleanResult r = cleaning::runTextClean(db, request);
    const double seconds = t.nsecsElapsed() / 1e9;
    bench::figure("textclean", seconds, "s");
    bench::printReference("sqlite3_textclean", reference, "textclean", seconds);
    if (!r.ok()) {
        std::fprintf(stderr, "textclean: %s\n", qPrintable(r.message));
        return 1;
    }
    std::fprintf(stderr, "%s: %lld rows selected, %lld changed\n", qPrintable(request.column),
                 static_cast<long long>(r.selected), static_cast<long long>(r.changed));
    return 0;
}

bench::Registrar reg("textclean", "--rows N [--column C]: a Text Cleaner run with every step ticked",
                     runTextCleanBench);

} // namespace
