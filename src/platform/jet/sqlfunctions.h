// The engine's text rules and functions, registered on every SQLite connection:
// the case-insensitive collation JETCI, LIKE with the engine's wildcards, and
// the functions queries call (jet_len, jet_mid, jet_cstr, ...).
#pragma once

#include <QString>

#include <vector>

struct sqlite3;
struct sqlite3_context;
struct sqlite3_value;

namespace jet {

void registerSqlFunctions(sqlite3* db);

/// The engine's wildcard match: * any run, ? one character, # one digit,
/// [abc] [a-z] [!abc] one character of (not of) the list; case-insensitive.
bool jetLike(const QString& text, const QString& pattern);

/// SQLite text giving the value of the column ref (of that field type) as
/// its text with every digit (jet_exacttext); a Currency column's stored
/// count is read as its amount. For statements written for SQLite itself.
QString exactTextSql(const QString& ref, int fieldType);

/// Case-insensitive compare as the JETCI collation does it (-1, 0, 1).
int jetCompare(const char* a, int na, const char* b, int nb);

/// A function of SQL registered on a connection for as long as this object
/// lives, with data for sqlite3_user_data: a run's own function (one pass of
/// C++ work inside one statement).
class ScopedFunction {
public:
    using Fn = void (*)(sqlite3_context*, int, sqlite3_value**);
    ScopedFunction(sqlite3* db, const char* name, int args, void* data, Fn fn);
    ~ScopedFunction();
    ScopedFunction(const ScopedFunction&) = delete;
    ScopedFunction& operator=(const ScopedFunction&) = delete;

private:
    sqlite3* db_;
    const char* name_;
    int args_;
};

} // namespace jet
