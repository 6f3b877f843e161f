// Writing Access databases of our own: Jet 3 (Access 97, 2 KB pages) and
// Jet 4 (Access 2000, 4 KB pages). Two things are written:
//
// - an empty database as Access makes one under its default workgroup: the
//   header page, the free-page map, the object catalogue MSysObjects (with
//   its indexes "Id" and "ParentIdName") holding the containers "Tables",
//   "Databases" and "Relationships", the database object "MSysDb" (with the
//   format's "AccessVersion" property) and the system tables MSysACEs (the
//   objects' default rights), MSysQueries and MSysRelationships (empty, with
//   their indexes); every object has its owner;
// - one new table with its rows, added to such a database: its definition,
//   its data pages, long-value pages for memos, the usage maps of the table
//   and of each memo column, its row and keys in the catalogue and its
//   owner's rights.
//
// Not written: the new table's indexes, relationships, properties, queries,
// forms, reports. A table is added only to a database this writer made (its
// catalogue and indexes lie where the writer keeps them up); any other .mdb
// file is refused untouched.
#pragma once

#include "platform/drivers/external.h"
#include "platform/jet/types.h"

#include <QByteArray>
#include <QString>

namespace drivers {

enum class JetVersion { Jet3, Jet4 };

/// The bytes of an empty database of that version.
QByteArray emptyJetDatabase(JetVersion version);

/// The version of the database at path; throws jet::JetError when it is not
/// a Jet 3 or Jet 4 file.
JetVersion jetVersionOf(const QString& path);

/// Adds the table to the database at path, which emptyJetDatabase made (or a
/// copy of it, with tables added before). Column types: dbText up to 255
/// characters, dbMemo, dbLong, dbInteger, dbByte, dbDouble, dbSingle, dbDate,
/// dbBoolean (which has no Null in the file: Null is written as No),
/// dbCurrency; anything else is written as memo text. Throws
/// jet::JetError, naming the row and column, for a value the file cannot hold
/// (Jet 3 text outside Windows-1252, text longer than its column, a number
/// outside its type, a row longer than a page) and for every failed read or
/// write, and when the file would outgrow sizeLimit (0: the version's
/// limit, jetFileLimit); the file is then put back as it was, as far as the
/// system lets it (the export discards it anyway).
void writeJetTable(const QString& path, const QString& table, const jet::ColumnList& columns, const RowSource& rows,
                   qint64 sizeLimit = 0);

/// Largest file of each version: 1 GB for Jet 3, 2 GB for Jet 4.
qint64 jetFileLimit(JetVersion version);

} // namespace drivers
