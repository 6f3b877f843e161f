// qb-bench dupes: the Dupe Remover's search and removal on a list.
//   group_by_reference  one plain GROUP BY of the compared columns through SQLite (s)
//   dupe_search         the search: counts and tblDupes_AllX (s)
//   dupe_remove         the removal, keeping the lowest key of each group (s)
// --rows N generates the list (default 1,000,000); --csv FILE loads one
// instead. --column NAME (repeatable) picks the compared columns, by default
// FirstName, LastName and City. --dump prints the groups with their keys as
// CSV before the removal. --save FILE keeps a copy of the loaded list's
// database; --from FILE starts from a copy of one so kept instead of loading
// (a ten-million-row list takes long to load, and the removal changes it).
// --no-reference skips the reference GROUP BY. --keep FILE copies the
// database as the removal left it (tblDupes_AllX, tblDupes_Min, tblDupes_Del
// and what is left of tblData) to FILE.
#include "benchdb.h"
#include "csvload.h"
#include "registry.h"

#include "duplicates/dupe_remover.h"
#include "platform/jet/connection.h"
#include "platform/jet/error.h"
#include "platform/jet/schema.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

QString csvCell(const jet::Value& v)
{
    if (v.isNull())
        return QString();
    QString s = v.toString();
    if (!v.isText())
        return s;
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

void dump(jet::Database& db, const std::vector<dupes::Column>& cols)
{
    QStringList head{QStringLiteral("Count")};
    for (const dupes::Column& c : cols)
        head << c.name;
    head << QStringLiteral("Keys");
    bench::outLine(head.join(QLatin1Char(',')));
    for (const dupes::GroupKeys& g : dupes::groupsWithKeys(db, cols)) {
        QStringList cells{QString::number(g.keys.size())};
        for (const jet::Value& v : g.values)
            cells << csvCell(v);
        QStringList keys;
        for (qint64 k : g.keys)
            keys << QString::number(k);
        cells << keys.join(QLatin1Char(' '));
        bench::outLine(cells.join(QLatin1Char(',')));
    }
}

int runDupes(const QStringList& args)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bench.sys"));
    const QString from = bench::option(args, QStringLiteral("--from"));
    const QString save = bench::option(args, QStringLiteral("--save"));
    QElapsedTimer t;
    t.start();
    if (!from.isEmpty() && !QFile::copy(from, file)) {
        std::fprintf(stderr, "dupes: cannot copy %s\n", qPrintable(from));
        return 1;
    }
    jet::Database db = jet::Database::open(file, from.isEmpty());
    const QString csv = bench::option(args, QStringLiteral("--csv"));
    QStringList names = bench::options(args, QStringLiteral("--column"));
    if (!from.isEmpty()) {
    } else if (!csv.isEmpty()) {
        QString error;
        if (!bench::loadCsv(db, csv, &error)) {
            std::fprintf(stderr, "dupes: %s\n", qPrintable(error));
            return 1;
        }
    } else if (!bench::loadList(db, bench::option(args, QStringLiteral("--rows"), QStringLiteral("1000000")).toLongLong())) {
        std::fprintf(stderr, "dupes: could not generate the list\n");
        return 1;
    }
    if (names.isEmpty())
        names = {QStringLiteral("FirstName"), QStringLiteral("LastName"), QStringLiteral("City")};
    std::fprintf(stderr, "load %.3f s\n", t.nsecsElapsed() / 1e9);
    if (!save.isEmpty()) {
        QFile::remove(save);
        if (!QFile::copy(file, save)) {
            std::fprintf(stderr, "dupes: cannot write %s\n", qPrintable(save));
            return 1;
        }
    }

    try {
        db.execute(QStringLiteral("CREATE TABLE tblDupes_Min (LumacorPrimK LONG, CONSTRAINT pk PRIMARY KEY (LumacorPrimK));"));
        db.execute(QStringLiteral("CREATE TABLE tblDupes_Del (LumacorPrimK LONG, CONSTRAINT pk PRIMARY KEY (LumacorPrimK));"));
        const std::vector<dupes::Column> cols = dupes::comparedColumns(db, dupes::Scope::Selected, names);

        QStringList refs;
        for (const dupes::Column& c : cols)
            refs << jet::quoteName(c.name);
        jet::Connection& c = db.connection();
        const bool dumping = bench::flag(args, QStringLiteral("--dump"));   // the figures then go to stderr
        t.restart();
        qint64 groups = -1;
        if (!bench::flag(args, QStringLiteral("--no-reference"))) {
            groups = 0;
            jet::Stmt s(&c, QStringLiteral("SELECT COUNT(*) FROM tblData GROUP BY ") + refs.join(QLatin1String(", ")));
            while (s.step())
                ++groups;
        }
        const double reference = groups < 0 ? 0.0 : t.nsecsElapsed() / 1e9;
        if (groups >= 0)
            bench::figure("group_by_reference", reference, "s", dumping);

        t.restart();
        const dupes::SearchResult s = dupes::searchDuplicates(db, dupes::Scope::Selected, cols);
        const double search = t.nsecsElapsed() / 1e9;
        bench::figure("dupe_search", search, "s", dumping);
        if (!s.ok) {
            std::fprintf(stderr, "dupes: %s\n", qPrintable(s.error));
            return 1;
        }
        if (dumping)
            dump(db, cols);

        t.restart();
        const dupes::RemovalResult r = dupes::removeDuplicates(db, s);
        const double remove = t.nsecsElapsed() / 1e9;
        bench::figure("dupe_remove", remove, "s", dumping);
        const QString keep = bench::option(args, QStringLiteral("--keep"));
        if (!keep.isEmpty()) {
            QFile::remove(keep);
            if (!QFile::copy(file, keep))
                std::fprintf(stderr, "dupes: cannot write %s\n", qPrintable(keep));
        }
        std::fprintf(stderr, "distinct %lld (reference groups %lld), duplicate %lld, removed %lld: %s\n",
                     static_cast<long long>(s.distinct), static_cast<long long>(groups),
                     static_cast<long long>(s.duplicate), static_cast<long long>(r.removed), qPrintable(r.message));
        std::fprintf(stderr, "search and removal: %.2f times the reference GROUP BY\n",
                     reference > 0 ? (search + remove) / reference : 0.0);
        return r.ok && (groups < 0 || s.distinct == groups) ? 0 : 1;
    } catch (const jet::JetError& e) {
        std::fprintf(stderr, "dupes: %s\n", qPrintable(e.description()));
        return 1;
    }
}

bench::Registrar reg("dupes", "--rows N | --csv FILE | --from DB [--save DB] [--column NAME ...] [--dump] [--no-reference] [--keep DB]: Dupe Remover search and removal", runDupes);

} // namespace
