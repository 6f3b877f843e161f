// The sqlite3 shell's least work for a job, run on a copy of the benchmark's
// working database in the same process run: the figure a benchmark prints
// beside its own, so that a shared, noisy machine still gives a ratio.
#pragma once

#include "platform/jet/database.h"

#include <QString>

namespace bench {

/// Copies db's file (VACUUM INTO) beside it and times the sqlite3 shell
/// running script on the copy, with the same journal mode, synchronous
/// setting and page cache as db's own connection. The copy is deleted
/// afterwards. Seconds, or < 0 (said on stderr) when the shell is missing or
/// fails.
double shellReference(jet::Database& db, const QString& script);

/// Prints the reference as "name value s" and, when both are known, the
/// ratio of figure to it on stderr ("figure / name = x").
void printReference(const char* name, double reference, const char* figureName, double figure);

} // namespace bench
