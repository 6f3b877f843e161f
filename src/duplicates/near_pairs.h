// Pairs of near-duplicate values in one column: two values of equal length
// that differ in exactly one position, or a value and the value one character
// shorter that it becomes with one character taken out. Text is compared
// without regard to letter case throughout, so values that differ only in
// case are one value.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace neardup {

/// Values longer than this do not fit the pair table's text columns.
inline constexpr int kMaxValueLength = 255;

enum class SearchType {
    OneCharDifferent, ///< same length, one position differs
    OneCharMissing,   ///< the longer value with one character taken out
};

/// One distinct value of the column as text, with the records that hold it.
/// Null values are not passed. Values equal but for case may be passed
/// separately: they are merged, their counts added, and the spelling passed
/// first stands for all of them.
struct ValueCount {
    QString text;
    std::int64_t count = 0;
    /// Whether the value matches the search's pattern; true when there is none.
    /// At least one value of a pair must match (for a missing character, the
    /// longer one).
    bool matchesFilter = true;
};

struct SearchOptions {
    SearchType type = SearchType::OneCharDifferent;
    /// Lengths searched, both ends included; a minimum above the maximum
    /// searches nothing. For a missing character these are the lengths of the
    /// longer value.
    int minLength = 0;
    int maxLength = 0;
    /// Called with each length as its search starts (for a progress bar).
    std::function<void(int length)> onLength;
};

/// One row of the pair table. Column1 is the value that matched the pattern
/// (for a missing character, the longer value); when both match, Column1 is
/// the one that sorts after the other without regard to case. The counts are
/// stored as decimal text; the two marks start Null and the dummy field "123".
struct PairRow {
    QString column1;
    std::int64_t count1 = 0;
    QString column2;
    std::int64_t count2 = 0;
};

/// One row of the count scratch table as a search leaves it: the records of
/// each value that appears as Column2.
struct CountRow {
    QString column1;
    std::int64_t count1 = 0;
};

struct SearchResult {
    /// Ordered by Column1 then Column2, compared without regard to case.
    std::vector<PairRow> pairs;
    /// Ordered by value, compared without regard to case.
    std::vector<CountRow> counts;
    /// Distinct values within the searched lengths that were left out because
    /// they are longer than kMaxValueLength.
    std::int64_t tooLong = 0;
};

/// Finds every near-duplicate pair among values in time close to linear in
/// the total length of the values searched (plus the pairs found).
SearchResult findNearPairs(const std::vector<ValueCount>& values, const SearchOptions& options);

} // namespace neardup
