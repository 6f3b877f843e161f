// The settings store over QSettings in INI format. A QSettings object is
// made per call and synced before it goes: the store is used a handful of
// times per run (recent files, the tip option), so keeping no cache means
// no stale value when two objects touch one file.
//
// Letter case: the names are matched ignoring case, as the callers write
// "MRUFiles" in one place and may write it otherwise elsewhere; a write to
// a name that exists in another case goes to the existing entry.
#include "platform/ui/settings.h"

#include "platform/files/checked_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryFile>
#include <QVariantMap>

#include <cstdio>
#include <functional>

namespace ui {

namespace {

QString& folderOverride()
{
    static QString folder;
    return folder;
}

QString defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Quillabrand");
}

/// A file name for an application name: characters a file name cannot
/// carry become "_".
QString fileNameFor(const QString& app)
{
    QString name = app.trimmed();
    for (QChar& c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 32)
            c = QLatin1Char('_');
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("_");
    return name + QStringLiteral(".ini");
}

/// The INI file of app, an existing one in any letter case first.
QString iniPath(const QString& app)
{
    const QDir dir(settingsFolder());
    const QString wanted = fileNameFor(app);
    if (dir.exists(wanted))
        return dir.filePath(wanted);
    for (const QString& e : dir.entryList({QStringLiteral("*.ini")}, QDir::Files))
        if (e.compare(wanted, Qt::CaseInsensitive) == 0)
            return dir.filePath(e);
    return dir.filePath(wanted);
}

QString matchIgnoringCase(const QStringList& names, const QString& wanted)
{
    if (names.contains(wanted))
        return wanted;
    for (const QString& n : names)
        if (n.compare(wanted, Qt::CaseInsensitive) == 0)
            return n;
    return wanted;
}

/// Opens the section's group; returns the key's stored spelling.
QString enter(QSettings& s, const QString& section, const QString& key)
{
    s.beginGroup(matchIgnoringCase(s.childGroups(), section));
    return key.isEmpty() ? key : matchIgnoringCase(s.childKeys(), key);
}

QVariantMap contents(const QSettings& s)
{
    QVariantMap out;
    for (const QString& k : s.allKeys())
        out.insert(k, s.value(k));
    return out;
}

/// A unique file name beside path, for a copy of it; "" when none can be made.
QString spareName(const QString& path)
{
    QTemporaryFile t(path + QStringLiteral(".XXXXXX"));
    if (!t.open())
        return QString();
    t.setAutoRemove(false);
    return t.fileName();
}

/// Applies change to the INI file as a whole. QSettings may keep a cut file
/// after a failed write and still report success, so the change is made in a
/// copy beside the file, the copy is read back from disk and compared, and
/// only a copy that holds everything replaces the file.
bool rewrite(const QString& path, const std::function<void(QSettings&)>& change)
{
    QByteArray old;
    if (QFileInfo(path).isFile()) {
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly))
            return false;
        old = in.readAll();
    }
    const QString work = spareName(path);
    const QString check = spareName(path);
    auto done = [&](bool ok) {
        QFile::remove(work);
        QFile::remove(check);
        return ok;
    };
    if (work.isEmpty() || check.isEmpty() || !files::writeWholeFile(work, old))
        return done(false);
    QVariantMap expected;
    {
        QSettings s(work, QSettings::IniFormat);
        change(s);
        s.sync();
        if (s.status() != QSettings::NoError)
            return done(false);
        expected = contents(s);
    }
    // Read back under a name QSettings has not seen, so that the disk answers.
    QFile written(work);
    if (!written.open(QIODevice::ReadOnly) || !files::writeWholeFile(check, written.readAll()))
        return done(false);
    written.close();
    {
        const QSettings back(check, QSettings::IniFormat);
        if (back.status() != QSettings::NoError || contents(back) != expected)
            return done(false);
    }
    if (std::rename(QFile::encodeName(check).constData(), QFile::encodeName(path).constData()) != 0)
        return done(false);
    return done(true);
}

}  // namespace

void setSettingsFolder(const QString& folder) { folderOverride() = folder; }

QString settingsFolder()
{
    return folderOverride().isEmpty() ? defaultFolder() : folderOverride();
}

QString getSetting(const QString& app, const QString& section, const QString& key, const QString& defaultValue)
{
    const QString path = iniPath(app);
    if (!QFileInfo(path).isFile())
        return defaultValue;
    QSettings s(path, QSettings::IniFormat);
    const QString k = enter(s, section, key);
    if (!s.contains(k))
        return defaultValue;
    const QVariant v = s.value(k);
    // A hand-edited "a, b" comes back as a list: give it back as written.
    if (v.metaType().id() == QMetaType::QStringList)
        return v.toStringList().join(QStringLiteral(", "));
    return v.toString();
}

bool saveSetting(const QString& app, const QString& section, const QString& key, const QString& value)
{
    if (section.isEmpty() || key.isEmpty())
        return false;
    if (!QDir().mkpath(settingsFolder()))
        return false;
    return rewrite(iniPath(app), [&](QSettings& s) {
        const QString k = enter(s, section, key);
        s.setValue(k, value);
        s.endGroup();
    });
}

bool deleteSetting(const QString& app, const QString& section, const QString& key)
{
    const QString path = iniPath(app);
    if (!QFileInfo(path).isFile())
        return true;
    if (section.isEmpty())
        return QFile::remove(path);
    return rewrite(path, [&](QSettings& s) {
        const QString k = enter(s, section, key);
        s.remove(k);  // "" removes the whole group
        s.endGroup();
    });
}

}  // namespace ui
