// A working database for the benchmarks: a generated list loaded as tblData.
#pragma once

#include "generator.h"

#include "platform/jet/database.h"

namespace bench {

/// Writes a generated list of rows rows as tblData (the generator's 12 text
/// columns) and appends the key LumacorPrimK. False when the generator refused.
bool loadList(jet::Database& db, qint64 rows);

} // namespace bench
