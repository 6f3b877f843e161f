// The link to contact-manager databases: the log-on, the import of the
// contact table into tblData, the split of its system columns into
// tblActHiddenFields when the workbench opens, and the export of the cleaned
// list back into the same database.
//
// The window-less steps (the column names, the load of tblData, the split)
// are in namespace exchange for the benchmark and the tests; Act_Module1
// holds the procedures the windows call, which ask and tell through the ui
// seam.
#pragma once

#include "platform/jet/value.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace contacts {
class Database;
class Table;
} // namespace contacts

namespace jet {
class Database;
}  // namespace jet

namespace exchange {

/// A contact field as a column of tblData.
struct ContactColumn {
    int id = 0;
    int type = 0;    ///< the field's type code
    QString name;    ///< the column's name
};

/// The fields that are imported, in the table's field order, named from
/// their labels by the text wizard's rule for header names (forbidden
/// characters removed, an empty or repeated name replaced by "Field" and its
/// column number). Ids 201 to 203 are never imported. The export maps the
/// columns back through the same list.
std::vector<ContactColumn> contactColumns(const contacts::Table& contacts);

/// A date of the contact table read by the one rule for them: "mm/dd/yyyy",
/// optionally followed by " hh:nn:ss"; nullopt for "" and anything else.
std::optional<jet::DateTime> readContactDate(const QString& text);

/// The ten system columns that the workbench keeps aside in tblActHiddenFields.
const QStringList& hiddenContactColumns();

struct ContactImport {
    qint64 rows = 0;
    qint64 unreadableDates = 0;   ///< date values that are no date, stored as Null
    QStringList columns;          ///< of the new tblData
    QStringList dropped;          ///< columns left out because no contact fills them
};

/// Replaces tblData in work with the contact table: one column per imported
/// field that some contact fills (the system columns always), DATETIME for
/// the date types, LONGTEXT for memo fields and for fields holding a text
/// longer than 255 characters, TEXT(255) otherwise; one row per contact.
/// Dates are read by one rule ("mm/dd/yyyy", optionally " hh:nn:ss"). All or
/// nothing: on failure the earlier tblData stays. Throws jet::JetError
/// ("Could not delete existing data." or the engine's or the files' text).
ContactImport importContacts(contacts::Table& contacts, jet::Database& work);

/// Moves the key and the system columns of tblData into a new
/// tblActHiddenFields keyed by LumacorPrimK, all or nothing. Throws
/// jet::JetError ("Could not delete internal tables." or the engine's text).
void splitHiddenColumns(jet::Database& work);

} // namespace exchange

namespace Act_Module1 {

/// Logs on to a multi-user database: the dialog the first time in a run,
/// the kept name and password after a log-on that worked. True when the
/// user may go on. Throws ui::Cancelled when the dialog was cancelled.
bool ValidateActUser(contacts::Database& db);

/// The import of the contact database whose contact table is fileName into
/// tblData, then the workbench. Reports its own failures.
void ImportActDatabase(const QString& fileName);

/// The workbench's split of the system columns on general::gdbWork: 0 on
/// success, 1 on failure (the reason in lastSplitError()).
int SplitActHiddenFields();
QString lastSplitError();

/// Writes the list back into the database it was imported from. 0 after a
/// successful export (the success box has been shown), 1 with the reason in
/// message otherwise; on failure the database is left as it was. The
/// contact files switch all at once, together with the list's record of
/// the contacts added; a record that cannot be kept once the files have
/// switched is said in the success box. A value the database refuses is
/// named with its contact and its row of the list.
int ExportToAct(const QString& source, const QString& destination, QString& message);

} // namespace Act_Module1
