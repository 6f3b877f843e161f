// Case-insensitive resolving of program-folder file names. A folder listing
// per path part, only when the exact name is missing: a handful of small
// folders, read on each call (the callers open a settings file now and then,
// never in a loop).
#include "app/programfiles.h"

#include "common/general.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace app {

QString resolveIgnoringCase(const QString& folder, const QString& relative)
{
    QString rel = relative;
    rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList parts = rel.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path = folder;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    bool onDisk = QFileInfo(path).isDir();
    for (const QString& part : parts) {
        QString name = part;
        if (onDisk && !QFileInfo::exists(path + QLatin1Char('/') + part)) {
            const QStringList entries =
                QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
            for (const QString& e : entries)
                if (e.compare(part, Qt::CaseInsensitive) == 0) {
                    name = e;
                    break;
                }
        }
        path += (path.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + name;
        onDisk = onDisk && QFileInfo(path).isDir();
    }
    return path;
}

QString programFile(const QString& relative) { return resolveIgnoringCase(general::programFolder(), relative); }

}  // namespace app
