// The shared helpers. None of them shows anything to the user.
#include "common/general.h"

#include "platform/jet/error.h"
#include "platform/ui/ui.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>

namespace general {
namespace {
QString& folderOverride()
{
    static QString f;
    return f;
}
} // namespace

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo fi(path);
    return fi.exists() && !fi.isDir();
}

QString Double_Quotes(const QString& text)
{
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        out += c;
        if (c == QLatin1Char('"'))
            out += c;
    }
    return out;
}

bool TableExists(jet::Database& db, const QString& name)
{
    bool found = false;
    for (const jet::TableDef& t : db.tableDefs())
        found = found || t.name == name;   // every definition is compared, as the engine's list is walked
    return found;
}

bool DropTable(jet::Database& db, const QString& name)
{
    try {
        if (TableExists(db, name))
            db.execute(QStringLiteral("DROP TABLE ") + name + QStringLiteral(";"), jet::dbFailOnError);
        return false;
    } catch (...) {
        return true;
    }
}

void Wait(int seconds)
{
    try {
        const qint64 target = QDateTime::currentSecsSinceEpoch() + seconds;
        while (QDateTime::currentSecsSinceEpoch() < target)
            ui::doEvents();
    } catch (...) {
    }
}

void closeDatabases()
{
    gdbWork.close();
    dbWork.close();
}

QString programFolder()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    return QCoreApplication::applicationDirPath();
}

void setProgramFolder(const QString& folder) { folderOverride() = folder; }

} // namespace general
