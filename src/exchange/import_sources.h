// The import's decisions without its windows: the kind of a source by its
// extension, the remembered kind in "\settings\import.txt", the names the
// worksheet and table choosers offer, the SQL that copies a worksheet or an
// Access table into tblData, and the all-or-nothing replacement of tblData.
#pragma once

#include "platform/jet/types.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace jet {
class Database;
}

namespace exchange {

/// "txt", "mdb", "xls" or "dbf" for the last three characters of a path (any
/// case; "csv" is "txt"); "" for any other extension.
QString importTypeForExtension(const QString& extension);

/// The Select Source filter index (1 to 4) of an import kind; 0 for none.
int importFilterIndex(const QString& importType);

/// The Select Source dialog's filter text.
QString importDialogFilter();

/// The kind remembered in the file: its first quoted field must be
/// "Import=txt", "Import=mdb", "Import=xls" or "Import=dbf" (exactly).
/// nullopt when the file is missing, empty, unreadable or holds anything else.
std::optional<QString> readImportChoice(const QString& path);

/// Writes "\"Import=<kind>\"\r\n" over the file; false when it cannot be written.
bool writeImportChoice(const QString& path, const QString& importType);

/// The worksheet chooser's entries from a workbook's catalogue names: only
/// names holding "$" and not "MSYS" (any case), without their quotes and the
/// "$" that closes them. Hidden helper ranges ("Sheet1$_FilterDatabase",
/// "_xlnm..."), which spreadsheet programs store beside the sheets, are left out.
QStringList sheetChoices(const QStringList& catalogNames);

/// The table chooser's entries: the names in their order, without those
/// beginning "MSYS" or "SWITCHBOARD" (any case).
QStringList tableChoices(const QStringList& tableNames);

/// True when text can stand between the brackets of a table reference: no
/// "]" (which would end it early) and, for parts of an external specifier, no
/// ";" (which would start another option).
bool fitsReference(const QString& text, bool insideSpecifier);

/// "[Excel 8.0; HDR=YES; IMEX=1; Database=<workbook>].[<sheet>$]".
QString excelSource(const QString& workbook, const QString& sheet, bool firstRowHasNames);

/// excelSource() once the workbook's path and the sheet's name have passed
/// fitsReference(); throws jet::JetError saying which one cannot be used.
QString checkedExcelSource(const QString& workbook, const QString& sheet, bool firstRowHasNames);

/// Why a column name read from a file cannot be used in the statements that
/// copy and later clean the list, or "" when it can: a "]" would end its
/// brackets early, and an empty or blank name names nothing.
QString columnNameProblem(const QString& name);

/// The SELECT list that copies an Access table: an auto-increment Long column
/// as "CLng(T.[x]) AS [x]", every other column (auto-increment ones of other
/// types included, which then come in as plain numbers) as "[x]". Binary and
/// OLE object columns (pictures, documents) are left out: a list holds text,
/// numbers and dates, and the reader has no value for them.
QString accessSelectList(const jet::ColumnList& columns);

/// The names of the columns accessSelectList leaves out, in table order.
QStringList accessLeftOutColumns(const jet::ColumnList& columns);

/// The status note for columns left out of an import ("" for none).
QString leftOutColumnsNote(const QStringList& names);

/// The message after a worksheet import whose formulas ended in an error in
/// `cells` cells ("" for none).
QString formulaErrorsNote(long long cells);

/// "SELECT <list> INTO tblData FROM [<file>].[<table>] AS T;".
QString accessImportSql(const QString& selectList, const QString& file, const QString& table);

/// The whole Access import statement for a table, built from the file's own
/// description of its columns once the path, the table's name and every
/// column name have passed the checks above. Throws jet::JetError naming the
/// first that fails, when the file or the table cannot be read, or when no
/// column is left to copy. leftOut, when given, gets the names of the binary
/// columns left out.
QString accessImportStatement(const QString& file, const QString& table, QStringList* leftOut = nullptr);

/// The columns of a table of an Access file (or a database of the engine's
/// own) as the file describes them, auto-increment attribute included; no row
/// is read. Throws jet::JetError when the file or the table cannot be read.
jet::ColumnList accessTableColumns(const QString& file, const QString& table);

/// The tables of an Access file (or a database of the engine's own), system
/// tables left out. Throws jet::JetError when the file cannot be read.
QStringList accessTables(const QString& file);

/// The catalogue names of a workbook's sheets ("Sales$", "'My Sheet$'").
/// Throws jet::JetError when the file is not a readable workbook.
QStringList workbookCatalog(const QString& workbook);

/// Runs work (which drops and rebuilds tables of db) so that all of it lands
/// or none: on any exception the database is put back as it was and the
/// exception goes on to the caller.
void allOrNothing(jet::Database& db, const std::function<void()>& work);

} // namespace exchange
