// The E-Mail Cleaner's button work without its widgets; see column_run.h.
#include "email/column_run.h"

#include "platform/jet/connection.h"
#include "workbench/datacontrol.h"

namespace email {

RunResult validateAndShow(jet::Database& db, const QString& column, const DomainLists& lists, QStringView specialChars,
                          const CountsChoice& choice, const CountsSort& countsSort, InvalidSort& sort,
                          ResultViews& views, common::Progress& progress)
{
    RunResult r = validateColumn(db, column, lists, specialChars, progress);
    if (r.ok) {
        if (r.run.trimmed > 0 && views.listChanged)
            views.listChanged();
        if (views.invalidList && clickInvalidHeader(sort, sort.column - 1))
            showInvalidList(*views.invalidList, r.run, sort, invalidListRows(db, r.run, r.invalid, sort).get());
    }
    if (views.counts)
        showCounts(db, *views.counts, choice, countsSort, r.ok ? &r.groups : nullptr);
    return r;
}

void showInvalidList(workbench::DataControl& invalidList, const EmailRun& run, const InvalidSort& sort,
                     jet::RowFeed* knownRows)
{
    invalidList.setRecordSource(invalidListSource(run.column, sort.column, sort.descending));
    invalidList.Refresh(knownRows);
}

void showCounts(jet::Database& db, CountsModel& counts, const CountsChoice& choice, const CountsSort& sort,
                const ValidGroups* groups)
{
    counts.setRows(openCounts(
        db, choice, [&](const QString& query) { return sortedCountsQuery(query, sort); }, groups));
}

ChangeResult changeAllInvalid(jet::Database& db, const EmailRun& run, const QString& column, bool useSuggestions,
                              ResultViews& views)
{
    const ChangeResult r = useSuggestions ? useAllSuggestions(db, run, column) : blankAllInvalid(db, run, column);
    if (r.ok && views.listChanged)
        views.listChanged();
    return r;
}

} // namespace email
