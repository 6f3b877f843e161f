// A Text Cleaner run over one text column of tblData: the ticked steps applied
// in their fixed order to every selected value, the changed values written
// back by key, all in one transaction.
#pragma once

#include "cleaning/text_cleaner.h"
#include "common/progress.h"
#include "platform/jet/database.h"

#include <QString>

namespace cleaning {

/// What a run was asked to do. The page reads the column from its picker, the
/// pattern from the filter box and allValues from the ALL or FILTERED question
/// (Yes, or no question because the filter box is empty).
struct TextCleanRequest {
    QString column;
    CleanSteps steps;
    QString likePattern;    ///< the filter box at the moment the run starts
    bool allValues = true;  ///< every non-Null value; false: the values matching likePattern
};

enum class TextCleanOutcome {
    Done,            ///< "Process Complete."
    NoColumn,        ///< the picker shows its prompt: "Please Choose a Column"
    NotText,         ///< "Only text fields can be cleaned."
    NothingSelected, ///< no value to clean: "Nothing To Clean!", nothing changed
    Cancelled,       ///< stopped by the user: "Operation cancelled.", rolled back
    Failed,          ///< the engine's description; rolled back
};

struct TextCleanResult {
    TextCleanOutcome outcome = TextCleanOutcome::Done;
    qint64 selected = 0;   ///< rows the condition selected
    qint64 changed = 0;    ///< rows written back (0 unless Done)
    QString message;       ///< the text the page shows
    bool ok() const { return outcome == TextCleanOutcome::Done; }
};

/// The column picker's prompt; a run on it asks for a column instead.
inline constexpr const char* kChooseColumnPrompt = "Please Choose a Column";

/// Runs the cleaning. The column must be a Text column of tblData, named
/// exactly (letter case included); the key LumacorPrimK never qualifies.
/// Every selected row is read once and cleaned by cleanValue; only the rows
/// whose value changes are written. Progress starts at the number of selected
/// rows and steps by the rows done; a Cancel or any failure rolls it all back.
TextCleanResult runTextClean(jet::Database& db, const TextCleanRequest& request,
                             common::Progress& progress = common::noProgress());

} // namespace cleaning
