// The stored numbers of a worksheet's cells that lie below the first day an
// Excel sheet can show (1 January 1900). FreeXL hands out a date cell only as
// its date text, which it cannot give for those: LibreOffice and other
// programs store a date before 1900 as a negative day count, and the library
// turns it into a wrong date or none. Reading the number itself gives the
// real date back.
#pragma once

#include <QHash>
#include <QString>

#include <optional>

namespace drivers {

/// Key of a cell: row << 16 | column.
inline quint64 xlsCellKey(unsigned row, unsigned short col) { return (quint64(row) << 16) | col; }

/// The cells of sheet `sheetIndex` (in workbook order) of the BIFF5 or BIFF8
/// workbook at path whose stored number (NUMBER, RK and MULRK records) is
/// below 1, by xlsCellKey. Empty when the file is not a compound file with a
/// workbook stream, or the stream does not hold the sheet; a damaged record
/// ends the reading there. Costs one pass over the sheet's records.
QHash<quint64, double> xlsSmallNumbers(const QString& path, int sheetIndex);

/// A number below 1 in a date cell of a workbook of the 1900 day count, as
/// the engine's date serial: LibreOffice counts such days back from
/// 30 December 1899, as the engine does, with the time of day running forward
/// (-0.25 is 29 December 1899 18:00), where the engine's serial keeps the day
/// and adds the time away from zero. nullopt when the date falls outside the
/// years 100 to 9999.
std::optional<double> xlsSerialBefore1900(double stored);

} // namespace drivers
