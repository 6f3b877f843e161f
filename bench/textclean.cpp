// qb-bench textclean: a Text Cleaner run with every step ticked over one
// column of a generated list.
//   textclean  the whole run: selection, cleaning, write-back, commit (s)
// The column defaults to Address, whose values nearly all change, so the
// write-back is at its largest; --column picks another generator column.
#include "benchdb.h"
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
    request.steps = cleaning::CleanSteps{true, true, true, true, true, true, true, true, true, true};
    t.restart();
    const cleaning::TextCleanResult r = cleaning::runTextClean(db, request);
    bench::figure("textclean", t.nsecsElapsed() / 1e9, "s");
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
