// The commit record is UTF-8 text:
//   qb-switch 1
//   <size> TAB <sha256 hex> TAB <staged name> TAB <target name>   (one line per file)
//   end <sha256 hex of every byte before this line>
// Names are file names inside the folder. A record whose last line is
// missing or whose checksum does not match is damaged.
#include "platform/contacts/file_switch.h"

#include "platform/contacts/dbase.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace contacts {
namespace {

RenameHook& hook()
{
    static RenameHook h;
    return h;
}

SyncHook& syncHook()
{
    static SyncHook h;
    return h;
}

QString reason(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

/// Runs the hook, then the rename; 0 or the errno of the failure.
int renameStep(const QString& from, const QString& to)
{
    if (hook())
        if (const int err = hook()(from, to))
            return err;
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return errno;
    return 0;
}

/// Flushes the folder's entries (the renames and removals in it) to the
/// disk; 0 or the errno of the failure. A file system that cannot flush a
/// folder at all (EINVAL) has nothing to flush.
int syncFolder(const QString& folder)
{
    if (syncHook())
        if (const int err = syncHook()(folder))
            return err;
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int err = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    ::close(fd);
    return err;
}

QString cannotFlush(const QString& folder, int err)
{
    return QStringLiteral("Cannot flush the folder '%1' to the disk: %2").arg(folder, reason(err));
}

struct Entry {
    qint64 size = 0;
    QByteArray hash;   ///< hex
    QString staged, target;
};

/// Size and SHA-256 of a file; false when it cannot be read.
bool fingerprint(const QString& path, qint64& size, QByteArray& hash)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QCryptographicHash h(QCryptographicHash::Sha256);
    if (!h.addData(&f))
        return false;
    size = f.size();
    hash = h.result().toHex();
    return true;
}

QByteArray recordText(const std::vector<Entry>& entries)
{
    QByteArray body = "qb-switch 1\n";
    for (const Entry& e : entries)
        body += QByteArray::number(e.size) + '\t' + e.hash + '\t' + e.staged.toUtf8() + '\t' + e.target.toUtf8() + '\n';
    return body + "end " + QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex() + '\n';
}

/// The record's entries; false when it is damaged.
bool parseRecord(const QByteArray& text, std::vector<Entry>& entries)
{
    const qsizetype endAt = text.lastIndexOf("\nend ");
    if (!text.startsWith("qb-switch 1\n") || endAt < 0 || !text.endsWith('\n'))
        return false;
    const QByteArray body = text.left(endAt + 1);
    const QByteArray sum = text.mid(endAt + 5).trimmed();
    if (QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex() != sum)
        return false;
    const QList<QByteArray> lines = body.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        const QList<QByteArray> parts = lines[i].split('\t');
        if (parts.size() != 4)
            return false;
        Entry e;
        bool ok = false;
        e.size = parts[0].toLongLong(&ok);
        e.hash = parts[1];
        e.staged = QString::fromUtf8(parts[2]);
        e.target = QString::fromUtf8(parts[3]);
        if (!ok || e.staged.contains(QLatin1Char('/')) || e.target.contains(QLatin1Char('/')) || e.staged.isEmpty()
            || e.target.isEmpty())
            return false;
        entries.push_back(e);
    }
    return true;
}

bool matches(const QString& path, const Entry& e)
{
    qint64 size = 0;
    QByteArray hash;
    return fingerprint(path, size, hash) && size == e.size && hash == e.hash;
}

/// Writes bytes to path and flushes them to the disk; "" or why not.
QString writeSynced(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size() || !f.flush()
        || f.error() != QFileDevice::NoError || ::fsync(f.handle()) != 0) {
        const int err = errno;
        const QString why = f.error() != QFileDevice::NoError ? f.errorString() : reason(err);
        f.close();
        f.remove();
        return why.isEmpty() ? reason(err) : why;
    }
    return QString();
}

/// The renames a record names that are not done yet, then the record's
/// removal. "" or why a step failed.
QString finish(const QDir& dir, const std::vector<Entry>& entries)
{
    for (const Entry& e : entries) {
        const QString staged = dir.filePath(e.staged);
        if (!QFileInfo::exists(staged))
            continue;   // renamed already
        if (const int err = renameStep(staged, dir.filePath(e.target)))
            return QStringLiteral("Cannot replace '%1': %2").arg(dir.filePath(e.target), reason(err));
    }
    // The record goes only once the renames are on the disk.
    if (const int err = syncFolder(dir.path()))
        return cannotFlush(dir.path(), err);
    const QString record = dir.filePath(QLatin1String(kSwitchRecord));
    if (hook())
        if (const int err = hook()(record, QString()))
            return QStringLiteral("Cannot remove '%1': %2").arg(record, reason(err));
    if (::unlink(QFile::encodeName(record).constData()) != 0 && errno != ENOENT)
        return QStringLiteral("Cannot remove '%1': %2").arg(record, reason(errno));
    if (const int err = syncFolder(dir.path()))
        return cannotFlush(dir.path(), err);
    return QString();
}

} // namespace

void setRenameHook(RenameHook h) { hook() = std::move(h); }

void setSyncHook(SyncHook h) { syncHook() = std::move(h); }

QString switchFiles(const QString& folder, const std::vector<FileSwap>& swaps)
{
    const QDir dir(folder);
    const QString record = dir.filePath(QLatin1String(kSwitchRecord));
    const QString pending = record + QLatin1String(kStagedSuffix);
    const auto abandon = [&] {
        QFile::remove(pending);
        for (const FileSwap& s : swaps)
            QFile::remove(s.staged);
        (void)syncFolder(folder);   // what is left is cleared at the next recovery
    };
    if (swaps.empty())
        return QString();

    std::vector<Entry> entries;
    for (const FileSwap& s : swaps) {
        Entry e;
        e.staged = QFileInfo(s.staged).fileName();
        e.target = QFileInfo(s.target).fileName();
        if (QFileInfo(s.staged).absolutePath() != dir.absolutePath()
            || QFileInfo(s.target).absolutePath() != dir.absolutePath() || !fingerprint(s.staged, e.size, e.hash)) {
            abandon();
            throw ContactError(QStringLiteral("Cannot replace '%1': its new file cannot be read.").arg(s.target));
        }
        entries.push_back(e);
    }
    if (const QString why = writeSynced(pending, recordText(entries)); !why.isEmpty()) {
        abandon();
        throw ContactError(QStringLiteral("Cannot write '%1': %2").arg(pending, why));
    }
    const auto refuse = [&](int err) {
        return ContactError(QStringLiteral("Cannot replace '%1': %2").arg(swaps.front().target, reason(err)));
    };
    // The new files' names are on the disk before the record that names them.
    if (const int err = syncFolder(folder)) {
        abandon();
        throw refuse(err);
    }
    if (const int err = renameStep(pending, record)) {
        abandon();
        throw refuse(err);
    }
    // The record on the disk is the switch. Until then it can be taken back:
    // without the record, the next recovery clears the new files away. They
    // are removed here only once the record's removal is on the disk, since
    // a record that outlived them would name files that are gone.
    if (const int err = syncFolder(folder)) {
        if (::unlink(QFile::encodeName(record).constData()) == 0) {
            if (syncFolder(folder) == 0)
                abandon();
            throw refuse(err);
        }
        // The record cannot be taken back: the switch stands, as after a
        // power cut the next recovery would find it.
        const QString rest = finish(dir, entries);
        return rest.isEmpty() ? cannotFlush(folder, err) : rest;
    }
    // From here on the switch has happened: what is left is finished here or
    // at the next recovery.
    return finish(dir, entries);
}

void recoverSwitch(const QString& folder)
{
    const QDir dir(folder);
    const QString record = dir.filePath(QLatin1String(kSwitchRecord));
    if (QFileInfo::exists(record)) {
        QFile f(record);
        if (!f.open(QIODevice::ReadOnly))
            throw ContactError(QStringLiteral("Cannot read '%1': %2").arg(record, f.errorString()));
        std::vector<Entry> entries;
        if (!parseRecord(f.readAll(), entries))
            throw ContactError(QStringLiteral("The record of an unfinished change '%1' is damaged.").arg(record));
        f.close();
        // Every file must be the new one, staged or in place, before anything moves.
        for (const Entry& e : entries) {
            const QString staged = dir.filePath(e.staged);
            const QString in = QFileInfo::exists(staged) ? staged : dir.filePath(e.target);
            if (!matches(in, e))
                throw ContactError(QStringLiteral("The unfinished change of '%1' cannot be completed: '%2' is not the file "
                                                  "it wrote.")
                                       .arg(record, in));
        }
        if (const QString why = finish(dir, entries); !why.isEmpty())
            throw ContactError(why);
    }
    // No record: whatever new files are there belong to a switch that never happened.
    bool removed = false;
    const QString suffix = QLatin1String(kStagedSuffix);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden))
        if (name.endsWith(suffix, Qt::CaseInsensitive))
            removed = QFile::remove(dir.filePath(name)) || removed;
    if (removed)
        (void)syncFolder(folder);   // leftovers that come back are cleared again
}

} // namespace contacts
