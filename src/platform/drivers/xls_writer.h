// Writes a list as a one-sheet Excel workbook: "Excel 5.0" (BIFF5) or
// "Excel 8.0" (BIFF8) inside an OLE2 compound file.
#pragma once

#include "platform/jet/types.h"
#include "platform/jet/value.h"

#include <QString>
#include <functional>
#include <vector>

namespace drivers {

enum class XlsVersion {
    Biff5, ///< "Excel 5.0" (also what Excel 95 reads): CP1252 text, 16,384 rows
    Biff8, ///< "Excel 8.0" (Excel 97-2000): UTF-16 text in a shared string table, 65,536 rows
};

/// Rows a sheet of that version holds, the header row included.
int xlsMaxRows(XlsVersion version);
/// Columns a sheet holds (both versions).
inline constexpr int kXlsMaxColumns = 256;
/// Longest text a cell takes; longer text is refused rather than cut. BIFF5:
/// what one LABEL record holds (2,072), as readers do not follow a BIFF5
/// cell's text into CONTINUE records. BIFF8: what two string-table records
/// hold, the most FreeXL reads back: 16,444 characters when all are Latin-1
/// (U+0000 to U+00FF), else 8,221.
int xlsMaxTextLength(XlsVersion version, bool latin1 = true);

/// Fills `row` with the next record's values, one per column, and returns
/// true; returns false when no record is left.
using XlsRowSource = std::function<bool(std::vector<jet::Value>& row)>;

/// Writes a new workbook at `path` (replacing a file of that name) holding one
/// sheet `sheetName`: a header row of the column names, then one row per record.
/// Numbers become number cells, dates number cells with a date format, text
/// text cells, flags boolean cells, Null an empty cell. Characters that a
/// sheet name cannot hold become "_" and the name is cut to 31 characters.
/// Nothing is written when the rows or columns exceed the limits, a row has the
/// wrong number of values, a text is too long or the workbook would pass
/// 2 GB: the result is then false and `error` (when given) says why. The cells
/// go to a temporary file beside `path` as the rows come, and the file takes
/// its name only when it is whole; memory holds the distinct texts of a BIFF8
/// sheet (its shared string table), not the cells.
bool writeXls(const QString& path, XlsVersion version, const QString& sheetName,
              const jet::ColumnList& columns, const XlsRowSource& rows, QString* error = nullptr);
bool writeXls(const QString& path, XlsVersion version, const QString& sheetName,
              const jet::ColumnList& columns, const std::vector<std::vector<jet::Value>>& rows,
              QString* error = nullptr);

} // namespace drivers
