// The engine's text rules and functions, registered on every SQLite connection:
// the case-insensitive collation JETCI, LIKE with the engine's wildcards, and
// the functions queries call (jet_len, jet_mid, jet_cstr, ...).
#pragma once

#include <QString>

struct sqlite3;

namespace jet {

void registerSqlFunctions(sqlite3* db);

/// The engine's wildcard match: * any run, ? one character, # one digit,
/// [abc] [a-z] [!abc] one character of (not of) the list; case-insensitive.
bool jetLike(const QString& text, const QString& pattern);

/// Case-insensitive compare as the JETCI collation does it (-1, 0, 1).
int jetCompare(const char* a, int na, const char* b, int nb);

} // namespace jet
