// A look at an Access file's structure before the Access library follows it.
// The library believes what a damaged file claims: a table definition whose
// pages run in a circle, thousands of columns, or a long value (a memo, an OLE
// object, the catalogue's own properties) whose chain of pages runs in a
// circle, which it follows without end while its memory grows; a property
// block of the catalogue whose lengths do not move on or run past its end;
// and, in a file cut short, pages its usage maps list beyond the end of the
// file, where the library just ends the table early. Such files are refused
// here with a reason instead. (Whatever these checks miss, the child process
// the reading runs in still bounds: read_boundary.h.)
//
// What is checked of a table: its columns' names, kinds and lengths hold
// together (a fixed column takes its kind's bytes); every page its usage map
// names is one of its data pages (page type 0x01, the table's definition page
// as owner) and lies in the file; every row a page lists lies inside the page
// and holds what the definition lays out (its column count, every fixed
// column, its variable values in order between the fixed part and its tail);
// the rows on those pages, deleted ones aside, are as many as the definition
// counts; and every long value's parts lie on long-value pages, inside them,
// and add up to the length its field gives. The library's own warnings on standard error are
// caught by the reader (mdb_reader.cpp). A changed byte inside a stored value
// breaks no structure and cannot be seen.
#pragma once

// libmdb's header is C and needs glib's declarations before it.
#include <glib.h>
#include <mdbtools.h>

#include <QByteArray>
#include <QSet>
#include <QString>

namespace drivers {

/// Why the file's catalogue must not be read, or "" when it may: the pages
/// it claims lie in the file, the catalogue's definition holds together, no
/// long value of the catalogue runs in a circle and its property blocks hold
/// together. A file the library cannot
/// open at all gives "" (the reader reports that itself).
QString mdbDamage(const QString& path);

/// The same for one table's definition and columns, the pages its usage map
/// lists, their rows and every long value of its rows (one pass over the
/// table's pages). Call after mdbDamage() passed. With definitionOnly, the
/// definition and its columns alone (what the library follows to read the
/// table's columns).
QString mdbTableDamage(const QString& path, const QString& table, bool definitionOnly = false);

/// Where row `row` of a data or long-value page lies (its flags masked off):
/// false when the page does not list that row or its bytes do not lie inside
/// the page, after the row table and before the row listed before it.
bool jetRowBounds(const unsigned char* page, const MdbFormatConstants* fmt, int row, int& start, int& length);

/// A long value (a memo or OLE object) whose field in the row is `field`
/// (`size` bytes, at least 12): appends its bytes to `out` (when given) and
/// returns "", or says why it cannot be read: its parts must lie on
/// long-value pages of the file (in Jet 4 marked "LVAL"; in Jet 3, whose
/// pages may not say so, at least not a page of a table: `definitions` are
/// the file's definition pages), inside their pages, end, and add up to the
/// length the field gives. Reads pages into the handle's second page buffer
/// only (the row being read stays in the first). `pages` is the file's count
/// of whole pages.
QString readLongValue(MdbHandle* h, qint64 pages, const QSet<quint32>& definitions, const void* field, int size,
                      QByteArray* out);

/// The bytes a value of a column type takes in a row's fixed part; -1 for
/// the kinds kept in its variable part (and for kinds this reader does not
/// know). A Yes/No value lives in the null mask and takes none.
int mdbFixedWidth(int type);

} // namespace drivers
