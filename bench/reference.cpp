// Timing the sqlite3 shell on a copy of a benchmark's working database.
#include "reference.h"
#include "registry.h"

#include "platform/jet/connection.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <cstdio>

namespace bench {
namespace {

QString pragma(jet::Connection& c, const char* name)
{
    jet::Stmt s(&c, QStringLiteral("PRAGMA ") + QLatin1String(name));
    return s.step() ? s.value(0, jet::dbText).toString() : QString();
}

} // namespace

double shellReference(jet::Database& db, const QString& script)
{
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty()) {
        std::fprintf(stderr, "reference: no sqlite3 shell installed\n");
        return -1;
    }
    jet::Connection& c = db.connection();
    const QString copy = QFileInfo(c.path()).absolutePath() + QStringLiteral("/reference-copy.db");
    QFile::remove(copy);
    QString quoted = copy;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    c.exec(QStringLiteral("VACUUM INTO '%1'").arg(quoted));
    const QString setup = QStringLiteral("PRAGMA journal_mode=%1; PRAGMA synchronous=%2; PRAGMA cache_size=%3; "
                                         "PRAGMA temp_store=%4;\n")
                              .arg(pragma(c, "journal_mode"), pragma(c, "synchronous"), pragma(c, "cache_size"),
                                   pragma(c, "temp_store"));
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(shell, {QStringLiteral("-bail"), copy});
    p.write((setup + script + QStringLiteral("\n.quit\n")).toUtf8());
    p.closeWriteChannel();
    const bool ok = p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    const double seconds = t.nsecsElapsed() / 1e9;
    QFile::remove(copy);
    QFile::remove(copy + QStringLiteral("-wal"));
    QFile::remove(copy + QStringLiteral("-shm"));
    if (!ok) {
        std::fprintf(stderr, "reference: the sqlite3 shell failed on: %s\n", qPrintable(script));
        return -1;
    }
    return seconds;
}

void printReference(const char* name, double reference, const char* figureName, double value)
{
    if (reference < 0)
        return;
    figure(name, reference, "s");
    if (reference > 0)
        std::fprintf(stderr, "%s / %s = %.2f\n", figureName, name, value / reference);
}

} // namespace bench
