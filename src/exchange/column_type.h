// Column types of the text import: the four type words the wizard shows, the
// test a value must pass to stay in a type, the lowering of a type until a
// value fits, the value stored for a text, and the CREATE TABLE text.
#pragma once

#include "exchange/date_text.h"
#include "platform/jet/value.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <vector>

namespace exchange {

/// In the order a column is lowered: a value that does not fit moves its column
/// to the next type, never back. Declared as DATETIME, DOUBLE, TEXT (255) and
/// LONGTEXT.
enum class ColumnType { DateTime, Number, Text, Memo };

/// Longest value a "Text (255)" column holds.
constexpr qsizetype kTextColumnLength = 255;

/// "Date/Time", "Number", "Text (255)" or "Memo".
QString typeWord(ColumnType type);
/// The type of an exact type word; nullopt for any other text.
std::optional<ColumnType> typeFromWord(QStringView word);
/// "DATETIME", "DOUBLE", "TEXT (255)" or "LONGTEXT".
QString sqlTypeName(ColumnType type);

/// The number a text stands for: blanks around it, an optional sign, digits
/// with optional thousands separators "," in groups of three, an optional "."
/// and decimals, an optional exponent (e or E, optional sign, digits). Read the
/// same on every machine, whatever its locale. nullopt when it is none of this
/// or too large for a double.
std::optional<double> parseNumber(QStringView text);

/// True when the text is a number that a DOUBLE column keeps without losing
/// digits: parseNumber accepts it, its whole part has no leading zero (a ZIP
/// code such as 02134 stays text) and it has at most 15 significant digits.
bool fitsNumber(QStringView text);

/// Whether a non-empty value fits a column of the type: a date for Date/Time,
/// fitsNumber for Number, at most 255 characters for Text, always for Memo.
bool fitsType(ColumnType type, QStringView value, const DateSettings& dates);

/// The type lowered, starting from `type`, until the value fits. An empty value
/// leaves the type as it is.
ColumnType lowerToFit(ColumnType type, QStringView value, const DateSettings& dates);

/// What the import stores for a text in a column of the type: the date, the
/// number, the text (cut to 255 characters for Text), or Null when the text is
/// empty or does not fit.
jet::Value storedValue(ColumnType type, QStringView value, const DateSettings& dates);

/// "CREATE TABLE <table> ( [a]  TEXT (255), [b]  DOUBLE);". The names must be
/// free of "]" (columnNames gives such names); names and types pair by index.
QString createTableStatement(const QString& table, const QStringList& names,
                             const std::vector<ColumnType>& types);

} // namespace exchange
