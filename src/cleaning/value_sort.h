// Sorting the value lists of the cleaning pages (the distinct values and the
// Column Cleaner's selection) on a header click: by text, as numbers or as
// dates according to the column's field type; the count column always as
// numbers. The empty-value row comes first in ascending order.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace cleaning {

enum class SortKind { Numeric, Date, Text, None };

/// The kind of a value column of the field type (jet::FieldType codes).
SortKind sortKindOfType(int fieldType);

/// The sort state of one list: the column last sorted and its direction.
struct SortState {
    int column = 0;
    bool descending = false;
};

/// The state after a click on column: the same column again reverses, another starts ascending.
SortState clickedSort(SortState current, int column);

/// The order of the rows (indexes into texts) sorted by their texts as kind,
/// stable for equal keys. None keeps the order. Throws jet::JetError ("Type
/// mismatch") when a text cannot be read as the kind.
std::vector<int> sortedOrder(const QStringList& texts, SortKind kind, bool descending);

} // namespace cleaning
