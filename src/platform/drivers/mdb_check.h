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
#pragma once

#include <QString>

namespace drivers {

/// Why the file's catalogue must not be read, or "" when it may: the pages
/// it claims lie in the file, the catalogue's definition holds together, no
/// long value of the catalogue runs in a circle and its property blocks hold
/// together. A file the library cannot
/// open at all gives "" (the reader reports that itself).
QString mdbDamage(const QString& path);

/// The same for one table's definition, the pages its usage map lists and
/// every long value of its rows (one pass over the table's pages). Call after mdbDamage() passed.
QString mdbTableDamage(const QString& path, const QString& table);

} // namespace drivers
