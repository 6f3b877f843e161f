// The Text Cleaner's run over a column of tblData.
//
// The ticked steps are meant as passes of their own over the selection, each
// seeing what the earlier ones left. Applying them in the same order to each
// value in turn gives the same column, so the run is one UPDATE of the
// column: the engine visits each row once, a function of ours cleans the
// value with cleanValue as the row's condition is tested, and the row is
// written only when its value changed. One scan, one write per changed row,
// no statement per row.
//
//   UPDATE tblData SET col = qb_clean_take(col) WHERE qb_clean_pick((cond), col)
//
// qb_clean_pick sees each row's condition and value: it counts the selected
// rows, reports progress, answers a Cancel by failing the statement, and keeps
// the cleaned text of a value that changes; qb_clean_take hands that text to
// the row's write (cleaning again only if the engine should ever ask for
// another value than the one just picked).
//
// The selection is the rows the condition picks before anything is written
// (the trim step included), as a recordset opened at the start would fix it:
// each row is tested before it is written and no write changes another row.
//
// Everything runs in one workspace transaction: a Cancel or a failure at any
// row leaves the column exactly as it was.
#include "cleaning/text_clean_run.h"

#include "cleaning/run_support.h"
#include "platform/jet/connection.h"
#include "platform/jet/engine_text.h"
#include "platform/jet/error.h"
#include "platform/jet/schema.h"
#include "platform/jet/sqlfunctions.h"
#include "platform/jet/translator.h"

#include <sqlite3.h>

#include <cstring>
#include <exception>
#include <string>

namespace cleaning {
namespace {

using runsupport::describe;
using runsupport::isTextColumn;
using runsupport::rollbackQuietly;

// Rows between two progress reports.
constexpr qint64 kProgressEvery = 4096;

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


/// The state of one run's UPDATE, shared by its two functions.
struct CleanPass {
    const CleanSteps* steps = nullptr;
    common::Progress* progress = nullptr;
    qint64 picked = 0;     ///< rows the condition selected so far
    bool stopped = false;  ///< the user cancelled; the statement failed for it
    std::string lastIn;    ///< the last changing value picked, as stored
    QByteArray lastOut;    ///< its cleaned text
};

QString textOf(sqlite3_value* v)
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? jet::textFromUtf8(p, sqlite3_value_bytes(v)) : QString();
}

void pickFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* pass = static_cast<CleanPass*>(sqlite3_user_data(ctx));
    try {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_int64(argv[0]) == 0) {
            sqlite3_result_int(ctx, 0);
            return;
        }
        if (++pass->picked % kProgressEvery == 0) {
            pass->progress->step(pass->picked);
            if (pass->progress->cancelled()) {
                pass->stopped = true;
                sqlite3_result_error(ctx, "Operation cancelled.", -1);
                return;
            }
        }
        if (sqlite3_value_type(argv[1]) == SQLITE_NULL) {
            sqlite3_result_int(ctx, 0);   // cleans to "", as it reads
            return;
        }
        const QString before = textOf(argv[1]);
        const QString after = cleanValue(before, *pass->steps);
        if (after == before) {
            sqlite3_result_int(ctx, 0);
            return;
        }
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
        pass->lastIn.assign(p, size_t(sqlite3_value_bytes(argv[1])));
        pass->lastOut = jet::utf8OfText(after);
        sqlite3_result_int(ctx, 1);
    } catch (const std::exception& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    }
}

void takeFunction(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* pass = static_cast<CleanPass*>(sqlite3_user_data(ctx));
    try {
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
        const auto n = size_t(sqlite3_value_bytes(argv[0]));
        if (p && n == pass->lastIn.size() && std::memcmp(p, pass->lastIn.data(), n) == 0) {
            sqlite3_result_text(ctx, pass->lastOut.constData(), int(pass->lastOut.size()), SQLITE_TRANSIENT);
            return;
        }
        const QByteArray out = jet::utf8OfText(cleanValue(textOf(argv[0]), *pass->steps));
        sqlite3_result_text(ctx, out.constData(), int(out.size()), SQLITE_TRANSIENT);
    } catch (const std::exception& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    }
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
            // directly.
            const QString where = jet::translateExpression(condition.mid(QLatin1String(" WHERE ").size()));
            const QString col = jet::quoteName(column);
            CleanPass pass;
            pass.steps = &request.steps;
            pass.progress = &progress;
            {
                const jet::ScopedFunction pick(c.handle(), "qb_clean_pick", 2, &pass, pickFunction);
                const jet::ScopedFunction take(c.handle(), "qb_clean_take", 1, &pass, takeFunction);
                jet::Stmt update(&c, QStringLiteral("UPDATE %1 SET %2 = qb_clean_take(%2) WHERE qb_clean_pick((%3), %2)")
                                         .arg(jet::quoteName(table), col, where));
                try {
                    update.step();
                } catch (const jet::JetError&) {
                    if (pass.stopped)
                        throw Stopped{};
                    throw;
                }
            }
            changed = c.changes();
            progress.step(pass.picked);
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
