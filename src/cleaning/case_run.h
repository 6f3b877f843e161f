// A Case Converter run over one text column of tblData: UPPERCASE or
// lowercase as one UPDATE, Proper Case as one pass that writes back only the
// values it changes, all or nothing.
#pragma once

#include "common/progress.h"
#include "platform/jet/database.h"

#include <QString>
#include <QStringList>

namespace cleaning {

enum class CaseMode { Upper, Lower, Proper };

/// What a run was asked to do. The page reads the column from its picker,
/// the pattern from the filter box and allValues from the ALL or FILTERED
/// question (Yes, or no question because the filter box is empty).
struct CaseRequest {
    QString column;
    CaseMode mode = CaseMode::Proper;
    QString likePattern;    ///< the filter box at the moment the run starts
    bool allValues = true;  ///< every row; false: the values matching likePattern
    QStringList prefixes;   ///< Proper Case: up to the first empty entry
    QStringList exceptions; ///< Proper Case: empty entries skipped
};

enum class CaseOutcome {
    Done,            ///< "Conversion Successful."
    NotText,         ///< "Only text fields can be converted." (also the picker's prompt)
    NothingSelected, ///< Proper Case over no row: "No current record.", nothing changed
    Cancelled,       ///< stopped by the user: "Operation cancelled.", rolled back
    Failed,          ///< the engine's description; nothing changed
};

struct CaseResult {
    CaseOutcome outcome = CaseOutcome::Done;
    qint64 selected = 0;  ///< Proper Case: rows the condition selected
    qint64 changed = 0;   ///< Proper Case: rows written back
    QString message;      ///< the text the page shows
    bool ok() const { return outcome == CaseOutcome::Done; }
};

/// The condition that follows the statement: "" for all rows, else
/// " WHERE [column] LIKE "pattern"" with double quotes doubled.
QString caseCondition(const QString& column, const QString& likePattern, bool allValues);

/// Runs the conversion. The column must be a Text column of tblData other
/// than the key, named exactly (letter case included). Proper Case reads
/// every selected row once and writes only the values that change (Null
/// stays Null); progress starts at the number of selected rows. A Cancel or
/// any failure leaves the column as it was.
CaseResult runCaseConversion(jet::Database& db, const CaseRequest& request,
                             common::Progress& progress = common::noProgress());

} // namespace cleaning
