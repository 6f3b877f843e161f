// The Case Converter's run over a column of tblData.
//
// UPPERCASE and lowercase are one UPDATE through the engine's UCASE and
// LCASE: the statement changes the column whole or not at all.
//
// Proper Case reads the selected rows in key order, a chunk at a time, and
// writes back by key only the values the conversion changes; a chunk is read
// to its end before its changes are written, so no row is written while a
// read of it is open. The prefix and exception lists are prepared once for
// the run. Everything runs in one workspace transaction, so a Cancel or a
// failure at any row leaves the column exactly as it was.
#include "cleaning/case_run.h"

#include "cleaning/run_support.h"
#include "cleaning/proper_case.h"
#include "platform/jet/connection.h"
#include "platform/jet/error.h"
#include "platform/jet/schema.h"
#include "platform/jet/translator.h"

#include <exception>
#include <limits>
#include <utility>
#include <vector>

namespace cleaning {
namespace {

using runsupport::describe;
using runsupport::isTextColumn;
using runsupport::rollbackQuietly;

// Rows read before their changes are written: the changed values of one
// chunk are all that is held in memory.
constexpr int kChunk = 4096;

struct Stopped {};

CaseResult finish(CaseOutcome outcome, const QString& message, qint64 selected = 0, qint64 changed = 0)
{
    CaseResult r;
    r.outcome = outcome;
    r.message = message;
    r.selected = selected;
    r.changed = changed;
    return r;
}




CaseResult runProper(jet::Connection& c, const QString& table, const CaseRequest& request,
                     const QString& condition, common::Progress& progress)
{
    const ProperCase proper(request.prefixes, request.exceptions);
    qint64 selected = 0;
    qint64 changed = 0;
    jet::Workspace::beginTrans();
    try {
        {
            jet::Stmt count(&c, jet::translate(QStringLiteral("SELECT COUNT(*) FROM tblData") + condition).sql);
            selected = count.step() ? count.int64(0) : 0;
        }
        if (selected > 0) {
            progress.start(selected);
            // Null stays Null, so only non-Null values are read. The rest is
            // written for SQLite directly so that the scan follows the key.
            QString where = QStringLiteral("%1 IS NOT NULL").arg(jet::quoteName(request.column));
            if (!condition.isEmpty())
                where += QStringLiteral(" AND (%1)")
                             .arg(jet::translateExpression(condition.mid(QLatin1String(" WHERE ").size())));
            const QString key = jet::quoteName(QStringLiteral("LumacorPrimK"));
            const QString col = jet::quoteName(request.column);
            jet::Stmt read(&c, QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 AND %1 > ?1 ORDER BY %1 LIMIT %5")
                                   .arg(key, col, jet::quoteName(table), where)
                                   .arg(kChunk));
            jet::Stmt write(&c, QStringLiteral("UPDATE %1 SET %2 = ?1 WHERE %3 = ?2")
                                    .arg(jet::quoteName(table), col, key));
            std::vector<std::pair<qint64, QString>> changes;
            changes.reserve(kChunk);
            qint64 lastKey = std::numeric_limits<qint64>::min();
            qint64 done = 0;
            for (bool more = true; more;) {
                read.bindInt(1, lastKey);
                qint64 rows = 0;
                while (read.step()) {
                    ++rows;
                    lastKey = read.int64(0);
                    const QString before = read.value(1, jet::dbText).toString();
                    QString after = proper.convert(before);
                    if (after != before)
                        changes.emplace_back(lastKey, std::move(after));
                }
                read.reset();
                more = rows == kChunk;
                for (auto& [k, value] : changes) {
                    write.bind(1, jet::Value(std::move(value)));
                    write.bindInt(2, k);
                    write.step();
                    write.reset();
                }
                changed += qint64(changes.size());
                changes.clear();
                done += rows;
                progress.step(std::min(done, selected));
                if (progress.cancelled())
                    throw Stopped{};
            }
        }
    } catch (const Stopped&) {
        rollbackQuietly();
        return finish(CaseOutcome::Cancelled, QStringLiteral("Operation cancelled."), selected);
    } catch (const std::exception& e) {
        const QString why = describe(e);
        rollbackQuietly();
        return finish(CaseOutcome::Failed, why, selected);
    }
    if (selected == 0) {
        // An empty selection has no current record to convert; it is reported
        // the way a failure is, without the completion message.
        rollbackQuietly();
        return finish(CaseOutcome::NothingSelected, QStringLiteral("No current record."));
    }
    try {
        jet::Workspace::commitTrans();
    } catch (const std::exception& e) {
        // The workspace has closed its level already; only the report is left.
        return finish(CaseOutcome::Failed, describe(e), selected);
    }
    if (changed > 0)
        c.bump();
    return finish(CaseOutcome::Done, QStringLiteral("Conversion Successful."), selected, changed);
}

} // namespace

QString caseCondition(const QString& column, const QString& likePattern, bool allValues)
{
    if (allValues)
        return QString();
    QString pattern = likePattern;
    pattern.replace(u'"', QStringLiteral("\"\""));
    return QStringLiteral(" WHERE [") + column + QStringLiteral("] LIKE \"") + pattern + QStringLiteral("\"");
}

CaseResult runCaseConversion(jet::Database& db, const CaseRequest& request, common::Progress& progress)
{
    const QString notText = QStringLiteral("Only text fields can be converted.");
    jet::Connection& c = db.connection();
    QString table;
    try {
        table = c.tableName(QStringLiteral("tblData"));
        if (table.isEmpty() || !isTextColumn(c, table, request.column))
            return finish(CaseOutcome::NotText, notText);
    } catch (const std::exception& e) {
        return finish(CaseOutcome::Failed, describe(e));
    }

    // An empty filter box has nothing to narrow by: the run takes all rows.
    const bool all = request.allValues || request.likePattern.isEmpty();
    const QString condition = caseCondition(request.column, request.likePattern, all);

    if (request.mode == CaseMode::Proper)
        return runProper(c, table, request, condition, progress);

    const QString fn = request.mode == CaseMode::Upper ? QStringLiteral("]=UCASE([") : QStringLiteral("]=LCASE([");
    try {
        db.execute(QStringLiteral("UPDATE tblData SET [") + request.column + fn + request.column
                       + QStringLiteral("]) ") + condition,
                   jet::dbFailOnError);
    } catch (const std::exception& e) {
        return finish(CaseOutcome::Failed, describe(e));
    }
    return finish(CaseOutcome::Done, QStringLiteral("Conversion Successful."), db.recordsAffected(),
                  db.recordsAffected());
}

} // namespace cleaning
