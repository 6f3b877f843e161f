// Loading a CSV list (as `qb-bench gen` writes one) into tblData for the
// benchmarks that take --csv FILE.
#pragma once

#include "platform/jet/database.h"

#include <QString>

namespace bench {

/// Loads a CSV file (a header row of names, comma-separated, fields optionally
/// in double quotes) as the program's text import loads it: the encoding
/// detected, the column types guessed from the sample as the wizard guesses
/// them, both passes of the import into tblData; then the key appended as the
/// workbench appends it. False with the import's own message in error.
bool loadCsv(jet::Database& db, const QString& path, QString* error);

} // namespace bench
