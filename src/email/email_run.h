// The E-Mail Cleaner's work on the database, without a window: the validation
// run of one column of tblData into tblEMails, the SQL texts the page shows its
// lists and filters through, and the corrections written back into tblData.
//
//   EmailRun run = validateColumn(db, "Email", lists, specials, progress).run;
//   db.openRecordset(countsQuery(choice));            // the counts list
//   db.openRecordset(invalidListSource("Email", 4, true));
//   useAllSuggestions(db, run, "Email");               // then validate again
//
// Every change here is all or nothing, and a correction only touches tblData
// while the run it works from still describes it (see isCurrent).
#pragma once

#include "common/progress.h"
#include "email/domain_lists.h"
#include "platform/jet/database.h"
#include "platform/jet/rowfeed.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace email {

/// What a validation run leaves behind, the token the corrections check
/// before they write. An EmailRun that was never filled is not current.
struct EmailRun {
    QString column;          ///< the validated column of tblData, as the table spells it
    quint64 generation = 0;  ///< the connection's generation once the run had committed
    qint64 rows = 0;         ///< rows written to tblEMails (filled cells)
    qint64 invalid = 0;      ///< of those, the invalid addresses
    qint64 trimmed = 0;      ///< cells of tblData that lost leading or trailing blanks
    qint64 oversized = 0;    ///< rows with a part or suggestion too long for tblEMails, stored Null
    DomainLists lists;       ///< the lists the run checked against (a single correction re-checks with them)
    QString specialChars;
};

/// The valid rows of a run that share one SubDomain, Domain and Country (each
/// Null or its text as UTF-8), and how many they are.
struct ValidGroup {
    std::array<std::optional<std::string>, 3> parts;
    qint64 rows = 0;
};
using ValidGroups = std::vector<ValidGroup>;

/// The invalid rows of a run as the invalid list shows them, in the order the
/// run read them (the key's): the cell as tblData holds it after the run and
/// the stored suggestion, as UTF-8 one after another in text.
struct InvalidRows {
    struct Row {
        qint64 key = 0;
        quint64 cellEnd = 0;        ///< the cell is text[previous row's suggestionEnd, cellEnd)
        quint64 suggestionEnd = 0;  ///< the suggestion is text[cellEnd, suggestionEnd)
        bool noSuggestion = false;  ///< Suggest1 is Null
    };
    bool complete = false;   ///< false when an invalid cell was not stored as text
    std::string text;
    std::vector<Row> rows;

    /// Row n's cell.
    std::string_view cell(size_t n) const
    {
        const quint64 begin = n == 0 ? 0 : rows[n - 1].suggestionEnd;
        return std::string_view(text).substr(begin, rows[n].cellEnd - begin);
    }
    /// Row n's suggestion; nullopt for Null.
    std::optional<std::string_view> suggestion(size_t n) const
    {
        if (rows[n].noSuggestion)
            return std::nullopt;
        return std::string_view(text).substr(rows[n].cellEnd, rows[n].suggestionEnd - rows[n].cellEnd);
    }
};

struct RunResult {
    bool ok = false;
    bool cancelled = false;  ///< the progress asked to stop; nothing was changed
    QString error;           ///< why the run failed; nothing was changed then
    EmailRun run;            ///< filled when ok
    /// The run's valid rows counted as it wrote them: the counts list right
    /// after the run is made from these instead of reading tblEMails again.
    ValidGroups groups;
    /// The run's invalid rows: the invalid list right after the run is made
    /// from these (see invalidListRows).
    InvalidRows invalid;
};

/// Validates every filled cell (neither Null nor "") of column in tblData:
/// trims the cell's leading and trailing blanks in tblData, checks the trimmed
/// address with suggestions and writes one tblEMails row per cell (IsValid,
/// Account, SubDomain, Domain, Country, Suggest1; Suggest2 to Suggest5 Null).
/// tblEMails is emptied first. All of it happens in one transaction, or none of
/// it (error or cancel). A part or suggestion longer than its column
/// (255, or 2 for Country) is stored as Null rather than stopping the run; a
/// cut address would be a wrong one, and a cut suggestion applied would write
/// a wrong address into the list.
RunResult validateColumn(jet::Database& db, const QString& column, const DomainLists& lists,
                         QStringView specialChars, common::Progress& progress = common::noProgress());

/// True when run is the last word on column: it validated that column (names
/// compared as the engine compares them) and nothing was changed through the
/// engine since. Any change counts, since the engine cannot tell which table a
/// change touched; the page then asks for a new run.
bool isCurrent(const jet::Database& db, const EmailRun& run, const QString& column);

/// A fingerprint of the column of tblData record by record (each record's
/// key with the column's value): it stays the same exactly while the column
/// holds the same values in the same records, whatever else was written.
/// Throws jet::JetError when the table or column is gone.
QByteArray columnFingerprint(jet::Database& db, const QString& column);

/// The outcome of a correction. refused: the run is not current for the
/// column, nothing was tried. Otherwise ok, or failed with the engine's reason
/// and nothing changed.
struct ChangeResult {
    bool ok = false;
    bool refused = false;
    QString reason;
    qint64 rows = 0;   ///< rows of tblData changed
};

/// Writes each invalid address's suggestion over it in tblData (rows whose
/// suggestion is Null or only blanks stay), in one transaction. Validate the
/// column again afterwards: the run is no longer current.
ChangeResult useAllSuggestions(jet::Database& db, const EmailRun& run, const QString& column);

/// Sets every invalid address of the run to Null in tblData, in one transaction.
ChangeResult blankAllInvalid(jet::Database& db, const EmailRun& run, const QString& column);

/// Takes the suggestion of one invalid row (by its LumacorPrimK) into tblData
/// and stores the corrected address's own check in its tblEMails row, in one
/// transaction, so the row no longer counts as invalid. An empty suggestion
/// (Null or blanks) writes nothing and is ok with rows 0. On success run stays
/// current: its generation and invalid count follow the change.
ChangeResult applySuggestion(jet::Database& db, EmailRun& run, const QString& column, qint64 key);

// ---- The texts the page's lists and the data grid work from ----

/// The ticks and filter boxes of the counts list; index 1 to 6 as on the page
/// (1 Account, 2 Sub-domain, 3 Domain, 4 Country code, 5 Country name, 6 Count),
/// index 0 unused. Filter texts are LIKE patterns as typed (box 6 is never read).
struct CountsChoice {
    std::array<bool, 7> ticked{};
    std::array<QString, 7> filter;
};

/// The counts query of the valid addresses, grouped by the ticked parts and
/// narrowed by the filled filter boxes of ticked parts.
QString countsQuery(const CountsChoice& choice);
/// The counts list's rows as a snapshot: the rows of sorted(countsQuery(choice)),
/// where sorted appends the list's ORDER BY.
/// groups, when given, are the valid rows of the run that just filled
/// tblEMails (nothing changed since): then tblEMails is not read again.
std::unique_ptr<jet::Recordset> openCounts(jet::Database& db, const CountsChoice& choice,
                                           const std::function<QString(const QString&)>& sorted,
                                           const ValidGroups* groups = nullptr);
/// Whether any filter box contributes to the query ("VALID EMAILS  (FILTERED)").
bool countsFiltered(const CountsChoice& choice);

/// The data grid's filter for one row of the counts list: each shown column as
/// (its header, the row's text in it). Headers "Account", "Sub-domain",
/// "Domain" and "Tld" narrow the filter; "Country", "Count" and others do not.
QString validRowFilter(const std::vector<std::pair<QString, QString>>& shownColumns);

/// The data grid's filter for one invalid address of column.
QString invalidAddressFilter(const QString& column, const QString& address);
/// The data grid's filter for every invalid address of the last run.
QString allInvalidFilter();

/// The invalid-address list: both keys, the address in tblData as "EMail" and
/// the suggestion as "Possible Correction", ordered by query column sortColumn
/// (3 or 4).
QString invalidListSource(const QString& column, int sortColumn, bool descending);

/// The invalid list's sort: the query column last sorted on (0 before any
/// sort) and its direction. A validation starts from {4, false} and then
/// clicks grid column 3, so fresh results show by "Possible Correction"
/// descending.
struct InvalidSort {
    int column = 0;
    bool descending = false;
};
/// A click on grid header colIndex (0-based; only 2 "EMail" and 3 "Possible
/// Correction" sort): a new column sorts ascending, the same one reverses.
/// False, and sort unchanged, for any other header.
bool clickInvalidHeader(InvalidSort& sort, int colIndex);

/// The rows of invalidListSource(run.column, sort.column, sort.descending)
/// made from the run's own invalid rows, without the join: ordered as the
/// engine orders them (the column's compare, Null first ascending and last
/// descending, equal values in key order). nullptr when they cannot stand for
/// the query: the rows are incomplete, the list changed since the run, or a
/// sorted column does not compare as the engine's text collation.
std::unique_ptr<jet::RowFeed> invalidListRows(jet::Database& db, const EmailRun& run, const InvalidRows& rows,
                                              const InvalidSort& sort);

// ---- The settings lists as the run takes them ----

/// The domain lists from general::gstrGTLDs and general::gstrCCTLDs (rows 1 to 1000).
DomainLists settingsDomainLists();
/// The special characters from general::gintSpecChars, rows 1 to 32 in order.
QString settingsSpecialChars();

} // namespace email
