// Day counts of worksheet cells before the first day an Excel sheet can show
// (1 January 1900): LibreOffice and other programs store a date before 1900
// as a negative day count, which this turns into the engine's serial.
#pragma once

#include <optional>

namespace drivers {

/// A day count from 30 December 1899 as LibreOffice stores it, the time of
/// day running forward (-0.25 is 29 December 1899 18:00), as the engine's
/// date serial, which keeps the day and adds the time away from zero. Counts
/// from 0 on are the same in both. nullopt when the date falls outside the
/// years 100 to 9999.
std::optional<double> xlsSerialBefore1900(double stored);

} // namespace drivers
