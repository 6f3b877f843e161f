// The files of an engine database on disk, for the code that replaces one.
//
// The engine keeps its rollback journal ("<file>-journal") or its write-ahead
// log ("<file>-wal", "<file>-shm") beside the database. A journal that a
// killed run left is "hot": at the next open the engine plays it back into
// whatever file then has the database's name. Replacing a database by a copy
// of another file must therefore remove those side files first, and the new
// file should be checked before it is used.
#pragma once

#include <QString>
#include <QStringList>

namespace jet {

/// The names of the side files the engine may keep beside path.
QStringList sideFiles(const QString& path);

/// Removes every side file of path that exists. False, with the file's name
/// and the system's reason in *error, when one could not be removed.
bool removeSideFiles(const QString& path, QString* error = nullptr);

/// Opens the database at path on a connection of its own and runs the
/// engine's integrity check. "" when the file is sound; else what is wrong,
/// in the engine's words (for instance "database disk image is malformed"
/// or "file is not a database").
QString checkDatabaseFile(const QString& path);

} // namespace jet
