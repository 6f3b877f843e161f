// What other parts of the workbench ask of the Dupe Remover and near-duplicate
// pages. The pages themselves are built by duplicates::installPages
// (workbench/toolpages.h).
#pragma once

#include "duplicates/near_search.h"

#include <optional>

class frmdataform;

namespace duplicates {

/// The near-duplicate search whose pairs the review list shows now, or
/// nullopt when the list shows none (no search yet, or its results were reset
/// because the list or the choices changed). A conversion works only on the
/// pairs of this record, and only on its column (allowsConversionOf).
std::optional<neardup::NearSearchRecord> shownNearSearch(const frmdataform& form);

} // namespace duplicates
