// Loading a generated list into a benchmark's working database: one prepared
// INSERT in one transaction, then the key appended as the workbench does.
#include "benchdb.h"
#include "registry.h"

#include "platform/jet/connection.h"

#include <QElapsedTimer>
#include <cstdio>

namespace bench {

bool loadList(jet::Database& db, qint64 rows)
{
    const QStringList cols = generatorColumns();
    QStringList defs, marks;
    for (const QString& c : cols) {
        defs << QStringLiteral("[%1] TEXT(255)").arg(c);
        marks << QStringLiteral("?");
    }
    db.execute(QStringLiteral("CREATE TABLE tblData (%1)").arg(defs.join(QLatin1String(", "))));
    jet::Connection& c = db.connection();
    c.exec(QStringLiteral("BEGIN"));
    jet::Stmt ins(&c, QStringLiteral("INSERT INTO tblData VALUES (%1)").arg(marks.join(QLatin1Char(','))));
    GenOptions o;
    o.rows = rows;
    const bool ok = generate(o, [&](const QStringList& row) {
        for (int i = 0; i < row.size(); ++i)
            ins.bind(i + 1, row[i].isEmpty() ? jet::Value() : jet::Value(row[i]));
        ins.step();
        ins.reset();
    });
    c.exec(QStringLiteral("COMMIT"));
    db.appendField(QStringLiteral("tblData"),
                   jet::FieldDef{QStringLiteral("LumacorPrimK"), jet::dbLong, 4, jet::dbAutoIncrField, 0});
    return ok;
}

bool loadTimedList(jet::Database& db, const QStringList& args)
{
    const qint64 rows = option(args, QStringLiteral("--rows"), QStringLiteral("1000000")).toLongLong();
    QElapsedTimer t;
    t.start();
    if (!loadList(db, rows)) {
        std::fprintf(stderr, "could not generate the list\n");
        return false;
    }
    figure("load", t.elapsed() / 1000.0, "s", flag(args, QStringLiteral("--dump")));
    return true;
}

} // namespace bench
