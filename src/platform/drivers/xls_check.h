// A look at an .xls file's structure before a value is read from it: a
// damaged file claims what it does not hold (directory names, record and
// string lengths, sheet offsets, chains of sectors), and is refused here with
// a reason instead of handing out another part of the file as cells.
#pragma once

#include <QByteArray>
#include <QString>

namespace drivers {

/// Why the workbook must not be read, or "" when its
/// container (an OLE2 compound file: header, allocation tables, directory)
/// and its workbook stream (record lengths, string lengths and counts, the
/// sheets' offsets) hold together.
/// With `stream`, the workbook stream of a sound file is handed out too; it
/// may be a view of file's bytes (QByteArray::fromRawData), valid while they are.
QString xlsDamage(const QByteArray& file, QByteArray* stream = nullptr);

} // namespace drivers
