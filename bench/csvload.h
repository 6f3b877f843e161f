// Loading a CSV list (as `qb-bench gen` writes one) into tblData for the
// benchmarks that take --csv FILE.
#pragma once

#include "platform/jet/database.h"

#include <QString>

namespace bench {

/// Loads a CSV file (header row of names, comma-separated, fields optionally
/// in double quotes with inner quotes doubled, CR LF or LF line ends) as
/// tblData with one TEXT(255) column per header name, empty fields as Null,
/// and appends the key LumacorPrimK. Short rows are padded with Null; a row
/// with more fields than the header, or a field longer than 255 characters,
/// fails the load with the reason in error.
bool loadCsv(jet::Database& db, const QString& path, QString* error);

} // namespace bench
