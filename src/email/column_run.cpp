// The E-Mail Cleaner's button work without its widgets; see column_run.h.
#include "email/column_run.h"

#include "platform/jet/connection.h"
#include "workbench/datacontrol.h"

namespace email {

namespace {

/// While it lives the connection reads the database file through a memory
/// map: the run and the counts list read every page of tblData and tblEMails,
/// and mapped pages cost no read call each. The earlier limit comes back after.
class MappedReads {
public:
    explicit MappedReads(jet::Database& db)
    {
        if (!db.isOpen())
            return;
        try {
            jet::Connection& c = db.connection();
            jet::Stmt read(&c, QStringLiteral("PRAGMA mmap_size"));
            if (!read.step() || read.int64(0) >= kLimit)
                return;
            previous_ = read.int64(0);
            c.exec(QStringLiteral("PRAGMA mmap_size = %1").arg(kLimit));
            conn_ = &c;
        } catch (const std::exception&) {
            // Reads go through the file as before.
        }
    }
    ~MappedReads()
    {
        if (!conn_)
            return;
        try {
            conn_->exec(QStringLiteral("PRAGMA mmap_size = %1").arg(previous_));
        } catch (...) {
        }
    }
    MappedReads(const MappedReads&) = delete;
    MappedReads& operator=(const MappedReads&) = delete;

private:
    static constexpr qint64 kLimit = qint64(1) << 31;
    jet::Connection* conn_ = nullptr;
    qint64 previous_ = 0;
};

} // namespace

RunResult validateAndShow(jet::Database& db, const QString& column, const DomainLists& lists, QStringView specialChars,
                          const CountsChoice& choice, const CountsSort& countsSort, InvalidSort& sort,
                          ResultViews& views, common::Progress& progress)
{
    const MappedReads mapped(db);
    RunResult r = validateColumn(db, column, lists, specialChars, progress);
    if (r.ok) {
        if (r.run.trimmed > 0 && views.listChanged)
            views.listChanged();
        if (views.invalidList && clickInvalidHeader(sort, sort.column - 1))
            showInvalidList(*views.invalidList, r.run, sort);
    }
    if (views.counts)
        showCounts(db, *views.counts, choice, countsSort, r.ok ? &r.groups : nullptr);
    return r;
}

void showInvalidList(workbench::DataControl& invalidList, const EmailRun& run, const InvalidSort& sort)
{
    invalidList.setRecordSource(invalidListSource(run.column, sort.column, sort.descending));
    invalidList.Refresh();
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
