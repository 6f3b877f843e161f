// The workbench's opening work that needs no window: the checks and the key of
// tblData, the column list and record-source texts of the grid, the settings
// lists and the work tables. frmdataform runs these in its load; the grid
// benchmark runs them without a window.
#pragma once

#include "platform/jet/database.h"

#include <QString>
#include <array>
#include <vector>

namespace workbench {

struct Column {
    QString name;
    int type = 0;   ///< jet::FieldType
};

/// The fields of tblData in table order ("SELECT TOP 1 * FROM tblData;").
std::vector<Column> listColumns(jet::Database& db);

/// The refusal message for a list that cannot be opened, "" when its columns
/// pass: more than 253 fields besides one, a column named like the key or
/// "COUNT" or holding a "]", a double quote in a name (the first offending
/// column decides).
QString columnRefusal(const std::vector<Column>& columns);

/// Appends the counter key LumacorPrimK as the last field of tblData and puts
/// the primary key pk on it. Throws jet::JetError.
void appendKey(jet::Database& db);

/// "[a], [b] ": every column but the key, the last ", " turned into " ".
QString buildFieldList(const std::vector<Column>& columns);

/// The grid's record source for the field list, a filter and a sort (either may be "").
QString recordSource(const QString& fieldList, const QString& filter, const QString& sortOrder);
/// The whole list in table order.
QString wholeListSource(const QString& fieldList);
/// " [name] ASC " or " [name] DESC ".
QString sortOrder(const QString& column, bool ascending);
/// The text of the status panel "Msg" for the grid position.
QString statusText(long totalRecords, const QString& column, long row);

/// Reads "SpecChars.txt" into general::gintSpecChars, adds the missing default
/// characters and writes the 32 rows back. Unreadable, repeated or foreign
/// rows are skipped.
void loadSpecChars(const QString& path);
/// Reads a one-item-per-line list (prefixes, exceptions, generic domains).
/// Empty and repeated items are skipped, items past 1000 are ignored; a missing
/// file leaves the list as it is.
void loadList(const QString& path, std::array<QString, 1001>& list);
/// Reads the country-code list into general::gstrCCTLDs. Lines without a code,
/// with a code longer than two characters, a name longer than 255 or a code
/// already read (in any case) are skipped.
void loadCountryCodes(const QString& path);
/// All five lists from the settings folder (folder = program folder + "/Settings").
void loadSettings(const QString& folder);

/// The nine work tables in the order they are dropped and created.
const std::vector<QString>& workTableNames();
/// Drops and re-creates the nine work tables. False when a drop failed (nothing
/// is created then); a failing CREATE throws jet::JetError.
bool rebuildWorkTables(jet::Database& db);
/// Fills the empty Z_ccTLD from general::gstrCCTLDs in one prepared batch;
/// empty codes and repeats are skipped. Throws jet::JetError (nothing is stored then).
void fillCountryTable(jet::Database& db);

/// Moves the system columns of a list from a contact database aside into
/// tblActHiddenFields (0 success, above 0 failure).
int splitHiddenFields();

} // namespace workbench
