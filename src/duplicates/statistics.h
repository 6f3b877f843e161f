// How complete the chosen columns of tblData are: per column the records that
// hold a value (or lack one), as a share of all records, and the mean share.
// One COUNT statement per column over the whole table, whatever filter the
// grid shows. No windows here: the Statistics page calls these.
#pragma once

#include "common/progress.h"

#include "platform/jet/database.h"

#include <QString>
#include <optional>
#include <vector>

namespace stats {

struct Column {
    QString name;
    int type = 0;   ///< the engine's field type code
};

/// The text after WHERE that counts the column's completed (or incomplete)
/// records; nullopt for a type the statistics do not measure.
std::optional<QString> countCondition(const Column& c, bool completed);

/// The grid filter that shows the column's completed (or incomplete) records.
/// For Yes/No it tests for Null, unlike the count. nullopt for other types.
std::optional<QString> filterCondition(const Column& c, bool completed);

struct ColumnScore {
    QString name;
    qint64 count = 0;
    double score = 0;   ///< count / records * 100
};

struct Result {
    bool ok = false;
    QString error;      ///< the reason when !ok
    qint64 records = 0; ///< the records of tblData
    /// The columns measured, in order; on a failure the ones done before it.
    std::vector<ColumnScore> columns;
    double total = 0;   ///< mean score rounded to 4 decimals (ties to even)
};

inline const char* kUnknownType = "Unknown Data Type";

/// Counts every column over all records of tblData. Never throws. An empty
/// list fails with the engine's "No current record." rather than dividing by
/// zero; a type without a condition stops the run with kUnknownType.
/// progress hears of the columns: start(n), then step(i) after the i-th.
Result computeStatistics(jet::Database& db, const std::vector<Column>& columns, bool completed,
                         common::Progress& progress = common::noProgress());

/// "75.00 %": two decimals, the locale's separator, no grouping.
QString scoreText(double score);
/// "Total Score = 62.5%".
QString totalScoreText(double total);

} // namespace stats
