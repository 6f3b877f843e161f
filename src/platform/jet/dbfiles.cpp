#include "platform/jet/dbfiles.h"

#include "platform/files/checked_file.h"

#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <unistd.h>

namespace jet {

QStringList sideFiles(const QString& path)
{
    return {path + QStringLiteral("-journal"), path + QStringLiteral("-wal"), path + QStringLiteral("-shm")};
}

bool removeSideFiles(const QString& path, QString* error)
{
    for (const QString& side : sideFiles(path)) {
        if (::unlink(QFile::encodeName(side).constData()) == 0 || errno == ENOENT)
            continue;
        if (error)
            *error = QStringLiteral("Cannot delete the file '%1': %2.")
                         .arg(QDir::toNativeSeparators(side), files::systemReason(errno));
        return false;
    }
    return true;
}

QString checkDatabaseFile(const QString& path)
{
    // Through the program's own connection, so that the engine is set up as
    // for every other use; the connection is closed again before this returns.
    try {
        Database db = Database::open(path);
        QStringList lines;
        {
            Stmt check(&db.connection(), QStringLiteral("PRAGMA integrity_check"));
            while (check.step())
                lines << check.value(0, dbText).toString();
        }
        db.close();
        if (lines == QStringList{QStringLiteral("ok")})
            return QString();
        return lines.mid(0, 3).join(QStringLiteral("; "));
    } catch (const JetError& e) {
        return e.description();
    }
}

} // namespace jet
