// A look at an Access file's structure before the Access library follows it.
// The library believes what a damaged file claims: a table definition whose
// pages run in a circle, thousands of columns, or a long value (a memo, an OLE
// object, the catalogue's own properties) whose chain of pages runs in a
// circle, which it follows without end while its memory grows. Such files are
// refused here with a reason instead.
#pragma once

#include <QString>

namespace drivers {

/// Why the file's catalogue must not be read, or "" when it may: the pages
/// it claims lie in the file, the catalogue's definition holds together and
/// no long value of the catalogue runs in a circle. A file the library cannot
/// open at all gives "" (the reader reports that itself).
QString mdbDamage(const QString& path);

/// The same for one table's definition and every long value of its rows
/// (one pass over the table's pages). Call after mdbDamage() passed.
QString mdbTableDamage(const QString& path, const QString& table);

} // namespace drivers
