// qb-bench sql: runs statements of the engine's SQL on a database file and
// prints each SELECT's rows as CSV with a header row.
//   qb-bench sql --db FILE --exec "SELECT ..." [--exec ...] [--create]
#include "registry.h"

#include "platform/jet/database.h"
#include "platform/jet/error.h"

#include <QElapsedTimer>
#include <cstdio>

namespace {

QString csvCell(const jet::Value& v)
{
    if (v.isNull())
        return QString();
    QString s = v.toString();
    if (v.isText() || v.kind() == jet::Kind::Date) {
        s.replace(QLatin1Char('"'), QLatin1String("\"\""));
        return QLatin1Char('"') + s + QLatin1Char('"');
    }
    return s;
}

int runSql(const QStringList& args)
{
    const QString path = bench::option(args, QStringLiteral("--db"));
    const QStringList statements = bench::options(args, QStringLiteral("--exec"));
    if (path.isEmpty() || statements.isEmpty()) {
        std::fprintf(stderr, "usage: qb-bench sql --db FILE [--create] --exec SQL [--exec SQL ...]\n");
        return 2;
    }
    try {
        jet::Database db = jet::Database::open(path, bench::flag(args, QStringLiteral("--create")));
        for (const QString& sql : statements) {
            QElapsedTimer t;
            t.start();
            if (sql.trimmed().startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive)
                && !sql.contains(QLatin1String(" INTO "), Qt::CaseInsensitive)) {
                auto rs = db.openRecordset(sql, jet::dbOpenSnapshot);
                QStringList head;
                for (int i = 0; i < rs->fieldCount(); ++i)
                    head << rs->field(i).name;
                bench::outLine(head.join(QLatin1Char(',')));
                while (!rs->eof()) {
                    QStringList cells;
                    for (int i = 0; i < rs->fieldCount(); ++i)
                        cells << csvCell(rs->value(i));
                    bench::outLine(cells.join(QLatin1Char(',')));
                    rs->moveNext();
                }
            } else {
                db.execute(sql, jet::dbFailOnError);
                std::fprintf(stderr, "%lld row(s) affected\n", static_cast<long long>(db.recordsAffected()));
            }
            std::fprintf(stderr, "%.3f s\n", t.nsecsElapsed() / 1e9);
        }
    } catch (const jet::JetError& e) {
        std::fprintf(stderr, "error %d: %s\n", e.number(), e.description().toUtf8().constData());
        return 1;
    }
    return 0;
}

bench::Registrar reg("sql", "--db FILE [--create] --exec SQL ...: run statements, print SELECT rows as CSV", runSql);

} // namespace
