// Writing Access databases of our own: Jet 3 (Access 97, 2 KB pages) and
// Jet 4 (Access 2000, 4 KB pages). Two things are written:
//
// - an empty database: the header page, the free-page map, the object
//   catalogue MSysObjects with the containers "Tables", "Databases" and
//   "Relationships" and the database object "MSysDb", and the empty system
//   tables MSysACEs (access control), MSysQueries and MSysRelationships;
// - one new table with its rows, added to such a database: its definition,
//   its data pages, long-value pages for memos, its two usage maps (pages it
//   owns, pages with free space) and its row in the catalogue.
//
// Not written: indexes, relationships, properties, queries, forms, reports.
// A table is added only to a database this writer made (its catalogue has no
// index to keep up); any other .mdb file is refused untouched.
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
