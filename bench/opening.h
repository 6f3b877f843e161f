// The workbench's opening of tblData without a window, as the benchmarks run
// it: the column checks, the key, the column list, the settings lists, the
// work tables, the grid bound to the whole list and the country table; and
// the grid's screens.
#pragma once

#include "platform/jet/database.h"
#include "workbench/datacontrol.h"
#include "workbench/gridmodel.h"

#include <QString>
#include <memory>

namespace bench {

/// The grid as the opening leaves it.
struct OpenedList {
    QString fieldList;
    workbench::DataControl data;
    std::unique_ptr<workbench::GridModel> model;
    double keySeconds = 0;   ///< the key step alone
};

/// Writes the generator's domains as the settings lists (gTLDs.txt, ccTLDs.txt) into folder.
void writeSettings(const QString& folder);

/// Opens tblData of db (its file at path) as the workbench does, the settings
/// lists read from settingsFolder. False, with the reason in error, when the
/// list is refused or the work tables cannot be made.
bool openList(jet::Database& db, const QString& path, const QString& settingsFolder, OpenedList& out, QString* error);

/// Rows on one screen of the grid.
inline constexpr int kScreenRows = 40;
/// Reads every cell of a screen of rows from first; returns the characters read.
qint64 readScreen(const workbench::GridModel& m, int first);

/// Resident memory of the process now, and at its peak (MB).
double residentMb();
double peakResidentMb();
/// Starts the peak over from the memory resident now (Linux).
void resetPeakResident();

} // namespace bench
