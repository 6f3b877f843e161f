// Writing the open list to a destination file without any dialog: what the
// main window's export runs once the user has chosen, and what the export
// benchmark runs on its own.
#pragma once

#include <QString>

namespace exchange {

/// The destinations by the export dialog's filter index.
enum ExportKind {
    ExportAccess97 = 1,
    ExportAccess2000 = 2,
    ExportAct = 3,
    ExportText = 4,
    ExportExcel5 = 5,
    ExportExcel95 = 6,
    ExportExcel2000 = 7,
    ExportWebPage = 8,
};

/// The most data rows a sheet of the Excel kind holds below its header
/// (16,383 for Excel 5.0 and 95, 65,535 for 97-2000); -1 for other kinds.
int excelRowLimit(int kind);

/// Copies the columns fieldList of tblData in the database workDb (the rows
/// that pass filter, all when it is "") into a new file path of kind (every
/// kind but ExportAct). The file is built beside path and moved over it only
/// when it is complete, so a failure leaves an existing path untouched.
/// Throws jet::JetError with the reason on any failure.
void writeExport(int kind, const QString& path, const QString& workDb, const QString& fieldList,
                 const QString& filter);

} // namespace exchange
