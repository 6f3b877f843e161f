// How the engine's column types are kept in SQLite. A column's declared type
// names the engine's type ("TEXT(255)", "LONGTEXT", "DOUBLE", "LONG", "YESNO",
// "DATETIME", ...), so the table definitions can be read back from SQLite's own
// catalogue. Text columns compare with the case-insensitive collation JETCI and
// carry a length check; numeric columns carry a type check and a check of
// their type's range, date columns one of the stored date shape; an auto-increment
// key is SQLite's INTEGER PRIMARY KEY AUTOINCREMENT.
#pragma once

#include "platform/jet/types.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace jet {

/// Parses a type as written in the engine's SQL ("TEXT", "TEXT(50)", "Text (255)",
/// "MEMO", "COUNTER", "INT", "YESNO", ...) or as read back from SQLite's declared type.
/// size < 0 means the written default. nullopt for an unknown type word.
std::optional<ColumnInfo> parseTypeName(const QString& word, int size);

/// The SQLite column definition for a column: quoted name, declared type,
/// collation and checks. autoKey makes it the table's INTEGER PRIMARY KEY.
QString columnDefinition(const ColumnInfo& c, bool notNull, bool autoKey);

/// "name" with inner double quotes doubled.
QString quoteName(const QString& name);

/// The type a value of SQLite storage class gives a result column that has no declared type.
int fieldTypeOfStorage(int sqliteType, bool looksDate);

/// Constraint name prefixes in column checks, mapped back to the engine's errors.
inline const char* kLenCheck = "qb_len_";
inline const char* kTypeCheck = "qb_type_";
inline const char* kRangeCheck = "qb_range_";

} // namespace jet
