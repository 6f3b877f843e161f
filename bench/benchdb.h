// A working database for the benchmarks: a generated list loaded as tblData.
#pragma once

#include "generator.h"

#include "platform/jet/database.h"

#include <QStringList>

namespace bench {

/// Writes a generated list of rows rows as tblData (the generator's 12 text
/// columns) and appends the key LumacorPrimK. False when the generator refused.
bool loadList(jet::Database& db, qint64 rows);

/// loadList with the --rows of args (a million unless told), reported as the
/// "load" figure. False, said on stderr, when the generator refused.
bool loadTimedList(jet::Database& db, const QStringList& args);

} // namespace bench
