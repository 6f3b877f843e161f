// The distinct values of one column of tblData with the number of rows that
// hold each, as the distinct-values panel lists them: one grouping query, an
// empty-value row first when the list is not filtered, narrowed by a typed
// LIKE pattern or by one character class while "Special" is ticked.
#pragma once

#include "cleaning/char_classes.h"
#include "platform/jet/database.h"
#include "platform/jet/value.h"

#include <QString>
#include <vector>

namespace cleaning {

/// What narrows the list: the filter box, or the class boxes while "Special"
/// is ticked (the typed text is then not used).
struct DistinctFilter {
    QString likePattern;               ///< the filter box, a LIKE pattern as typed
    bool special = false;              ///< "Special" ticked
    CharClass cls = CharClass::None;   ///< the ticked class box (selectedClass)
    std::vector<SpecChar> specChars;   ///< rows 1 to 32 of the special-character table
};

/// The statements of one listing, in the engine's SQL. emptySql and mainSql
/// are the grouping statements themselves: the value comes back as the first
/// field and the count as the second, under the aliases "Colum" and "Count"
/// unless the column bears one of those names. scanSql reads the same rows
/// ungrouped; distinctValues groups them itself (see there).
struct DistinctQuery {
    QString emptySql;   ///< counts the empty values; "" when the list is filtered
    QString mainSql;    ///< the grouping query
    QString scanSql;    ///< the column's values on the rows the list is made of
    /// A class the statements leave to a test of each value, because the
    /// engine's LIKE compares code points where the class is defined on
    /// code-page codes (Other). None when the statements do all the narrowing.
    CharClass valueTest = CharClass::None;
};

/// The statements for column (bracketed as it is) of fieldType (the column's
/// field type code, which decides whether empty strings count as empty).
DistinctQuery distinctQuery(const QString& column, int fieldType, const DistinctFilter& filter);

/// One row of the list.
struct DistinctRow {
    jet::Value value;   ///< Null for the empty-value row
    qint64 count = 0;
    bool empty = false; ///< the empty-value row (text "")
    QString text() const { return empty ? QStringLiteral("") : value.toString(); }
};

struct DistinctList {
    std::vector<DistinctRow> rows;   ///< empty-value row first, then by value ascending
    int fieldType = 0;               ///< the column's field type code
    QString error;                   ///< the engine's description when the listing failed
    bool ok() const { return error.isEmpty(); }
};

/// Lists the distinct values of column in tblData: the rows and counts the
/// grouping statements give, from one read of scanSql grouped in memory (the
/// engine's GROUP BY sorts every row, several times the cost of the read).
/// Values group and sort as the engine's GROUP BY and ORDER BY do: text
/// without regard to case under the engine's collation, numbers by value and
/// before text. Of values that differ only in case, the first row's stands for
/// the group. The column is looked up as the engine looks up a field, without
/// regard to case; a missing column or a pattern the engine rejects gives an
/// empty list with the error's description.
DistinctList distinctValues(jet::Database& db, const QString& column, const DistinctFilter& filter);

/// The literal delimiter of a column of fieldType: "#" for dates, a double
/// quote for text and memo, "" otherwise.
QString literalDelimiter(int fieldType);

/// The grid filter that shows the rows of one listed value: "[c]=" and the
/// value written as a literal of the column's type; the empty-value row gives
/// "[c] IS NULL", for text and memo also "OR [c]=""".
QString valueFilter(const QString& column, int fieldType, const DistinctRow& row);

} // namespace cleaning
