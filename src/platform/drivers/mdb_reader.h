// Reading tables of Jet 3 (Access 97) and Jet 4 (Access 2000 to 2003) .mdb
// files, and of the ACE files of later versions that the same reader knows.
// The engine reaches it through "[file].[table]" when the file's header says
// it is such a database (see isJetFile); nothing here writes .mdb files.
#pragma once

#include "platform/drivers/external.h"
#include "platform/jet/types.h"
#include "platform/jet/value.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace drivers {

/// True when the file starts with a Jet or ACE database header
/// ("Standard Jet DB" or "Standard ACE DB" at offset 4).
bool isJetFile(const QString& path);

/// The user tables of the database, in catalogue order (system tables left out).
/// Throws jet::JetError when the file cannot be read as a database. Read in
/// a child process (read_boundary.h), like readMdbTable.
QStringList mdbTables(const QString& path);

/// The rows of one table (its name compared without regard to case).
/// Throws jet::JetError when the file or the table cannot be read, and
/// "'path' is damaged and cannot be read: ..." when the table's pages, its
/// long values or its reader fail, or a row or value does not hold what the
/// table's definition lays out.
std::unique_ptr<RowReader> readMdbTable(const QString& path, const QString& table);

/// The same two in this process, without the child's limits: for the child
/// itself and for tests of the reader's own code.
QStringList mdbTablesInProcess(const QString& path);
std::unique_ptr<RowReader> readMdbTableInProcess(const QString& path, const QString& table);

/// Jet text as stored: Jet 3 in Windows-1252, Jet 4 in UTF-16, compressed
/// when it starts with FF FE.
QString jetText(bool jet3, const char* bytes, qsizetype size);

/// A stored GUID (16 bytes) as "{8E39276A-BCA8-4AC4-891E-49911D8438DD}".
QString jetGuidText(const unsigned char* bytes);

/// The engine's field type for a Jet column type code; dbText for codes it does not know.
int mdbFieldType(int jetColumnType);

/// A stored date (the raw 8-byte serial, days since 1899-12-30) as the engine's
/// value; Null for a serial outside the years 100 to 9999 or not a number.
jet::Value mdbDateValue(double serial);

} // namespace drivers
