// The Text Cleaner's run over a column of tblData.
//
// The ticked steps are meant as passes of their own over the selection, each
// seeing what the earlier ones left. Applying them in the same order to each
// value in turn gives the same column, so the run reads every selected row
// once, cleans the value with cleanValue and writes it back only when it
// changed: one scan and one prepared UPDATE by key, instead of a scan and a
// write per row for every ticked step.
//
// The selection is the rows the condition picks before anything is written
// (the trim step included), as a recordset opened at the start would fix it.
// The scan goes in key order, a chunk of rows at a time: a chunk is read to
// its end, then its changed values are written, then the next chunk is read
// from the key after the last one. No row is written while a read of it is
// open, so the engine never hands back a row it has already changed, and a
// row not yet read has not been touched when the condition is tested on it.
//
// Everything runs in one workspace transaction: a Cancel or a failure at any
// row leaves the column exactly as it was.
#include "cleaning/text_clean_run.h"

#include "cleaning/run_support.h"
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

// Rows read before their changes are written. The read statement is finished
// before the writes of its chunk, so the engine never has to keep a scan's
// place across changes to the rows under it; the changed values of one chunk
// are all that is held in memory.
constexpr int kChunk = 4096;

// The run ends early through this: the user stopped it.
struct Stopped {};

TextCleanResult finish(TextCleanOutcome outcome, const QString& message, qint64 selected = 0,
                       qint64 changed = 0)
{
    TextCleanResult r;
    r.outcome = outcome;
    r.message = message;
    r.selected = selected;
    r.changed = changed;
    return r;
}




qint64 countSelected(jet::Connection& c, const QString& condition)
{
    jet::Stmt s(&c, jet::translate(QStringLiteral("SELECT COUNT(*) FROM tblData") + condition).sql);
    return s.step() ? s.int64(0) : 0;
}

} // namespace

TextCleanResult runTextClean(jet::Database& db, const TextCleanRequest& request, common::Progress& progress)
{
    const QString& column = request.column;
    if (column == QLatin1String(kChooseColumnPrompt))
        return finish(TextCleanOutcome::NoColumn, QString::fromLatin1(kChooseColumnPrompt));

    jet::Connection& c = db.connection();
    QString table;
    try {
        table = c.tableName(QStringLiteral("tblData"));
        if (table.isEmpty() || !isTextColumn(c, table, column))
            return finish(TextCleanOutcome::NotText, QStringLiteral("Only text fields can be cleaned."));
    } catch (const std::exception& e) {
        return finish(TextCleanOutcome::Failed, describe(e));
    }

    const bool all = request.allValues || request.likePattern.isEmpty();
    const QString condition = cleanCondition(column, request.likePattern, all);

    qint64 selected = 0;
    qint64 changed = 0;
    jet::Workspace::beginTrans();
    try {
        selected = countSelected(c, condition);
        if (selected > 0 && request.steps.any()) {
            progress.start(selected);
            // Condition in the engine's dialect; the rest is written for SQLite
            // directly so that the scan's order is the key's, with no collation.
            const QString where = jet::translateExpression(condition.mid(QLatin1String(" WHERE ").size()));
            const QString key = jet::quoteName(QStringLiteral("LumacorPrimK"));
            const QString col = jet::quoteName(column);
            jet::Stmt read(&c, QStringLiteral("SELECT %1, %2 FROM %3 WHERE (%4) AND %1 > ?1 ORDER BY %1 LIMIT %5")
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
                    const jet::Value v = read.value(1, jet::dbText);
                    const QString before = v.isNull() ? QString() : v.toString();
                    QString after = cleanValue(before, request.steps);
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
                changed += static_cast<qint64>(changes.size());
                changes.clear();
                done += rows;
                progress.step(done);
                if (progress.cancelled())
                    throw Stopped{};
            }
        }
    } catch (const Stopped&) {
        rollbackQuietly();
        return finish(TextCleanOutcome::Cancelled, QStringLiteral("Operation cancelled."), selected);
    } catch (const std::exception& e) {
        const QString why = describe(e);
        rollbackQuietly();
        return finish(TextCleanOutcome::Failed, why, selected);
    }

    if (selected == 0) {
        rollbackQuietly();
        return finish(TextCleanOutcome::NothingSelected, QStringLiteral("Nothing To Clean!"));
    }
    try {
        jet::Workspace::commitTrans();
    } catch (const std::exception& e) {
        // The workspace has already closed its level: a rollback now would undo
        // an enclosing transaction instead. Only the report is left.
        return finish(TextCleanOutcome::Failed, describe(e), selected);
    }
    if (changed > 0)
        c.bump();
    return finish(TextCleanOutcome::Done, QStringLiteral("Process Complete."), selected, changed);
}

} // namespace cleaning
