// The near-duplicate search run on the working database: the distinct values
// of one column of tblData, paired by findNearPairs, written to
// tblSpecSearch1 (the review list) and tblCounts1. No windows here.
#pragma once

#include "common/progress.h"
#include "duplicates/near_pairs.h"
#include "platform/jet/database.h"

#include <QString>

namespace neardup {

struct NearSearchRequest {
    QString column;
    SearchType type = SearchType::OneCharDifferent;
    int minLength = 0;
    int maxLength = 0;
    /// A LIKE pattern in the engine's wildcards that at least one value of a
    /// pair must match (for a missing character, the longer one); "" for none.
    QString filter;
};

/// What the page keeps of the last search. The pairs in tblSpecSearch1 belong
/// to column; a conversion of any other column must be refused.
struct NearSearchRecord {
    bool ok = false;
    QString error;            ///< the reason when !ok; tblSpecSearch1 is then as before
    QString column;           ///< the column as tblData names it
    SearchType type = SearchType::OneCharDifferent;
    int minLength = 0;
    int maxLength = 0;
    QString filter;
    qint64 pairs = 0;         ///< rows written to tblSpecSearch1
    qint64 tooLong = 0;       ///< values left out for being longer than kMaxValueLength

    /// True when the results may drive a conversion of column (names compare
    /// as the engine compares them, without regard to case).
    bool allowsConversionOf(const QString& otherColumn) const;
};

/// Empties tblSpecSearch1 and tblCounts1 and fills them with the pairs of the
/// request, in one transaction. Never throws.
NearSearchRecord runNearSearch(jet::Database& db, const NearSearchRequest& request,
                               common::Progress& progress = common::noProgress());

} // namespace neardup
