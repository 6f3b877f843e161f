// The E-Mail Cleaner's Refresh and bulk-correction buttons after their
// questions, without the page's widgets: the validation run, then what the
// page shows of it (the invalid list, the counts list) and what it resets
// when the list changed. The page calls these, and so does the benchmark, so
// the figure measured is the figure a user waits for.
#pragma once

#include "common/progress.h"
#include "email/counts_model.h"
#include "email/email_run.h"

#include <functional>

namespace workbench {
class DataControl;
}

namespace email {

/// Where a run's results go.
struct ResultViews {
    workbench::DataControl* invalidList = nullptr;  ///< the invalid-address grid's data control
    CountsModel* counts = nullptr;                  ///< the counts list (its headers already set)
    /// After a change of tblData: the other tools' results go, the data grid re-reads.
    std::function<void()> listChanged;
};

/// Validates column; on success tells views.listChanged when cells were
/// trimmed and shows the invalid list sorted by a click on "Possible
/// Correction" from sort (so {4, false} gives the fresh descending order).
/// Either way the counts list is then filled for choice in countsSort's order
/// from tblEMails as it now stands (on a failure, the earlier results).
/// Throws jet::JetError when a list's query fails.
RunResult validateAndShow(jet::Database& db, const QString& column, const DomainLists& lists, QStringView specialChars,
                          const CountsChoice& choice, const CountsSort& countsSort, InvalidSort& sort,
                          ResultViews& views, common::Progress& progress = common::noProgress());

/// Re-runs the invalid list's query for run in sort's order; knownRows, when
/// given, are its rows already made (invalidListRows).
void showInvalidList(workbench::DataControl& invalidList, const EmailRun& run, const InvalidSort& sort,
                     jet::RowFeed* knownRows = nullptr);

/// Fills the counts list for choice in sort's order; groups as for openCounts.
void showCounts(jet::Database& db, CountsModel& counts, const CountsChoice& choice, const CountsSort& sort,
                const ValidGroups* groups = nullptr);

/// Use All Corrections (useSuggestions) or Remove All Invalids: the bulk
/// change, and views.listChanged once it went through.
ChangeResult changeAllInvalid(jet::Database& db, const EmailRun& run, const QString& column, bool useSuggestions,
                              ResultViews& views);

} // namespace email
