// The near-duplicate review's Convert and Clear Selection on the working
// database, and the filter that shows one duplicate group in the grid. No
// windows here: the pages call these and show what they return.
#pragma once

#include "duplicates/dupe_remover.h"
#include "platform/jet/database.h"
#include "platform/jet/value.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace neardup {

/// How a pair's stored text is turned into the column's type for the
/// comparison with tblData ("S.Column1 " for Text); nullopt when the engine
/// has no conversion for that type.
std::optional<QString> pairCast(int fieldType, const QString& side);

inline const char* kNothingToConvert = "Nothing To Convert!";
inline const char* kConversionSucceeded = "Conversion Successful.";

struct ConversionResult {
    bool ok = false;
    QString message;   ///< kConversionSucceeded, or why nothing changed
};

struct ConversionOptions {
    /// Called before each of the four statements (1 to 4); a test throws
    /// from it to prove that a failure half-way changes nothing.
    std::function<void(int step)> beforeStep;
};

/// In column of tblData, replaces every value marked in tblSpecSearch1
/// (Convert1 = "X": Column1 by Column2; Convert2 = "X": Column2 by Column1)
/// and moves the pairs' counts to match, all in one transaction: everything,
/// or nothing with the reason. The marks stay. Never throws.
ConversionResult convertMarkedPairs(jet::Database& db, const QString& column, const ConversionOptions& options = {});

/// Takes every mark off tblSpecSearch1. Throws jet::JetError on failure.
void clearMarks(jet::Database& db);

} // namespace neardup

namespace dupes {

/// The grid filter that matches the records of one duplicate group: one term
/// per compared column, joined by " AND ". A Text or Memo value matches with
/// Null read as ""; any other Null matches only Null. A column of a type
/// without a term adds none (and no " AND ").
QString groupFilter(const std::vector<Column>& columns, const std::vector<jet::Value>& values);

} // namespace dupes
