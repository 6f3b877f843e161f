// The export of the open list: File > Export, the Export buttons, the offer
// before a new import and the workbench's closing all run MDIMain::ExportFile.
// It asks about a filter, shows "Select Destination", remembers the kind in
// Settings/export.txt, asks before replacing a file and runs one
// SELECT ... INTO on the working database whose target names the destination.
//
// Nothing the user already has is destroyed before the new file is whole:
// the statement writes into a hidden folder made beside the destination
// (same file system), and the finished file is renamed over the destination
// in one step. A refused or failed export leaves an existing file as it was.
// The cost is a second name in the folder for the length of the statement.
//
// A run that is killed cannot remove its hidden folder, so the next export
// to the same folder does: each export holds a lock (flock) on a file in its
// own hidden folder while it runs, and any such folder whose lock can be
// taken belongs to no running export. The lock file takes its name only once
// it is locked, so a folder without one is still being set up and is left.
//
// Paths go into the statement's bracketed specifier as they are; the
// engine's SQL has no way to write "]" inside brackets and the specifier
// splits its options at ";", so a path holding either is refused up front.
#include "exchange/export.h"

#include "app/mdimain.h"
#include "app/programfiles.h"
#include "common/general.h"
#include "exchange/act_module.h"
#include "platform/files/checked_file.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/ui/job.h"
#include "platform/ui/statement_job.h"
#include "platform/ui/ui.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Destination {
    const char* description;
    const char* pattern;
    const char* setting;   ///< the line kept in export.txt: persisted, do not change
};

// In the order of the dialog's filter list; the position + 1 is the filter index.
const Destination kDestinations[] = {
    {"Access 97 (*.mdb)", "*.mdb", "Export=Access97"},
    {"Access 2000 (*.mdb)", "*.mdb", "Export=Access2000"},
    {"Act! 6.0 (*.dbf)", "*.dbf", "Export=act"},
    {"Comma Delimited Text File (*.txt)", "*.txt", "Export=txt"},
    {"Excel 5.0 Worksheet (*.xls)", "*.xls", "Export=Excel5"},
    {"Excel 95  Worksheet (*.xls)", "*.xls", "Export=Excel95"},
    {"Excel 97-2000 Worksheet (*.xls)", "*.xls", "Export=Excel2000"},
    {"WebPage (*.html)", "*.html", "Export=html"},
};
constexpr int kDestinationCount = int(std::size(kDestinations));

const char* const kExportSettings = "\\settings\\export.txt";

const QString kCancelled = QStringLiteral("Operation cancelled.");

constexpr int errFileNotFound = 53;
constexpr int errInvalidPath = 3044;

QString dialogFilter()
{
    QString f;
    for (const Destination& d : kDestinations)
        f += QLatin1String(d.description) + QLatin1Char('|') + QLatin1String(d.pattern) + QLatin1Char('|');
    return f;
}

// The first field of a settings line as the old sequential read gives it:
// the text between the first pair of double quotes, or up to a comma or the
// line's end when it is not quoted.
QString firstField(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    if (i < text.size() && text[i] == QLatin1Char('"')) {
        qsizetype end = i + 1;
        while (end < text.size() && text[end] != QLatin1Char('"') && text[end] != QLatin1Char('\r')
               && text[end] != QLatin1Char('\n'))
            ++end;
        return text.mid(i + 1, end - i - 1);
    }
    qsizetype end = i;
    while (end < text.size() && text[end] != QLatin1Char(',') && text[end] != QLatin1Char('\r')
           && text[end] != QLatin1Char('\n'))
        ++end;
    return text.mid(i, end - i).trimmed();
}

/// The filter index export.txt names; 0 when the file is missing, empty,
/// unreadable or holds no known line (the dialog then keeps its index).
int rememberedDestination()
{
    QFile f(app::programFile(QString::fromLatin1(kExportSettings)));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QString field = firstField(QString::fromUtf8(f.read(4096)));
    for (int i = 0; i < kDestinationCount; ++i)
        if (field == QLatin1String(kDestinations[i].setting))
            return i + 1;
    return 0;
}

/// Replaces export.txt with the chosen kind. A failure leaves the old file
/// whole and is not told: the export goes on without remembering.
void rememberDestination(int kind)
{
    files::writeWholeFile(app::programFile(QString::fromLatin1(kExportSettings)),
                           QByteArray("\"") + kDestinations[kind - 1].setting + "\"\r\n");
}

QString workDatabase()
{
    return general::gstrWorkDBPath.isEmpty() ? app::programFile(QStringLiteral("\\sysfls.sys")) : general::gstrWorkDBPath;
}

/// Position of the separator before the file name; -1 when there is none.
qsizetype lastSeparator(const QString& path) { return path.lastIndexOf(QLatin1Char('/')); }

QString folderOf(const QString& path) { return path.left(std::max<qsizetype>(lastSeparator(path), 0)); }
QString nameOf(const QString& path) { return path.mid(lastSeparator(path) + 1); }

QString tablePart(const QString& path) { return QStringLiteral("].[") + nameOf(path) + QLatin1Char(']'); }

/// The target of SELECT ... INTO for a file of kind at path.
QString specifier(int kind, const QString& path)
{
    switch (kind) {
    case exchange::ExportAccess97:
    case exchange::ExportAccess2000: return QStringLiteral("[;database=") + path + QStringLiteral("].[data]");
    case exchange::ExportText: return QStringLiteral("[TEXT;Database=") + folderOf(path) + tablePart(path);
    case exchange::ExportExcel5:
    case exchange::ExportExcel95: return QStringLiteral("[Excel 5.0;Database=") + path + tablePart(path);
    case exchange::ExportExcel2000: return QStringLiteral("[Excel 8.0;Database=") + path + tablePart(path);
    case exchange::ExportWebPage: return QStringLiteral("[HTML Export;Database=") + folderOf(path) + tablePart(path);
    default: break;
    }
    throw jet::JetError(jet::errGeneral, QStringLiteral("Unknown export destination %1.").arg(kind));
}

QString exportStatement(const QString& fieldList, const QString& destination, const QString& filter)
{
    if (filter.isEmpty())
        return QStringLiteral("SELECT ") + fieldList + QStringLiteral(" INTO ") + destination + QStringLiteral(" FROM tblData ");
    return QStringLiteral("SELECT ") + fieldList + QStringLiteral(" INTO ") + destination + QStringLiteral(" FROM tblData WHERE ")
        + filter + QLatin1Char(';');
}

bool isExcel(int kind)
{
    return kind == exchange::ExportExcel5 || kind == exchange::ExportExcel95 || kind == exchange::ExportExcel2000;
}

bool isAccess(int kind) { return kind == exchange::ExportAccess97 || kind == exchange::ExportAccess2000; }

qint64 countRows(const QString& workDb, const QString& filter)
{
    jet::Database db = jet::Database::open(workDb);
    const QString where = filter.isEmpty() ? QString() : QStringLiteral(" WHERE ") + filter;
    auto rs = db.openRecordset(QStringLiteral("SELECT COUNT(*) FROM tblData") + where, jet::dbOpenSnapshot);
    return rs->value(0).toLong();
}

const char* const kStagingPrefix = ".qb-export-";
const char* const kStagingLock = ".lock";

/// Removes the hidden folders in folder that exports killed part-way left:
/// those whose lock file is there and can be locked. A folder held by a
/// running export (of this or any other process) is left alone, and so is
/// one whose lock file has no name yet; failures are left for the next time.
void removeStaleStaging(const QString& folder)
{
    const QDir dir(folder);
    const QStringList names =
        dir.entryList({QLatin1String(kStagingPrefix) + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden | QDir::NoSymLinks
                                                                              | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QString staging = dir.filePath(name);
        const QByteArray lock = QFile::encodeName(staging + QLatin1Char('/') + QLatin1String(kStagingLock));
        const int fd = ::open(lock.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        struct stat held {};
        struct stat named {};
        // Still the same file under that name once locked: another export's
        // sweep may have removed the folder in between.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && ::lstat(lock.constData(), &named) == 0
            && held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            QDir(staging).removeRecursively();
        ::close(fd);
    }
}

/// The new file's place while it is written: a hidden folder beside the
/// destination, locked for as long as this lives and removed with whatever
/// is left in it when this goes away.
class Staging {
public:
    explicit Staging(const QString& path) : path_(path)
    {
        if (path.contains(QLatin1Char(']')) || path.contains(QLatin1Char(';')))
            throw jet::JetError(errInvalidPath,
                                QStringLiteral("'%1' cannot be exported to: a destination's path may not contain "
                                               "']' or ';'.")
                                    .arg(path));
        const QString name = nameOf(path);
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
            throw jet::JetError(errInvalidPath, QStringLiteral("'%1' is not a valid file name.").arg(path));
        QString folder = folderOf(path);
        if (folder.isEmpty())
            folder = lastSeparator(path) == 0 ? QStringLiteral("/") : QStringLiteral(".");
        removeStaleStaging(folder);
        QByteArray made = QFile::encodeName(QDir(folder).filePath(QLatin1String(kStagingPrefix) + QStringLiteral("XXXXXX")));
        if (!::mkdtemp(made.data())) {
            const QString why = QString::fromLocal8Bit(std::strerror(errno));
            // A folder that is there but cannot take a new file (a read-only
            // or full disk, no permission) is told with the system's reason.
            if (QFileInfo(folder).isDir())
                throw jet::JetError(jet::errCannotOpen, files::cannotWrite(path, why));
            throw jet::JetError(errInvalidPath,
                                QStringLiteral("'%1' is not a valid path.  Make sure that the path name is spelled "
                                               "correctly and that you are connected to the server on which the file "
                                               "resides.")
                                    .arg(folder));
        }
        dir_ = QFile::decodeName(made);
        lock();
        file_ = QDir(dir_).filePath(name);
    }

    ~Staging()
    {
        QDir(dir_).removeRecursively();
        if (lockFd_ >= 0)
            ::close(lockFd_);
    }
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;

    /// Where the statement writes.
    const QString& file() const { return file_; }

    /// A failure's message in the user's words: the hidden folder and the
    /// file in it are named as the destination they stand for.
    QString inUserWords(QString message) const
    {
        const QString folder = dir_;
        const QString destinationFolder = QFileInfo(path_).absolutePath();
        for (const auto& [from, to] : {std::pair{file_, path_}, std::pair{folder, destinationFolder}}) {
            message.replace(from, to);
            message.replace(QDir::toNativeSeparators(from), QDir::toNativeSeparators(to));
        }
        return message;
    }

    /// Runs one step of the export; a failure comes out naming the destination.
    template <class Step>
    void run(Step step) const
    {
        try {
            step();
        } catch (const jet::JetError& e) {
            throw jet::JetError(e.number(), inUserWords(e.description()));
        }
    }

    /// Moves the finished file over the destination in one step. An existing
    /// destination passes its permissions on; a new one gets the usual 0644.
    void commit()
    {
        const QFileInfo old(path_);
        const QFile::Permissions perms = old.isFile() ? old.permissions()
                                                       : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser
                                                             | QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther;
        QFile::setPermissions(file_, perms);
        if (std::rename(QFile::encodeName(file_).constData(), QFile::encodeName(path_).constData()) != 0)
            throw jet::JetError(jet::errCannotOpen, QStringLiteral("Cannot write the file '%1': %2.")
                                                        .arg(path_, QString::fromLocal8Bit(std::strerror(errno))));
    }

private:
    /// Takes the lock that tells other exports this folder is in use: the
    /// file is made and locked under a name of its own, then renamed to the
    /// name a sweep looks for. Where the file system has no locks the file
    /// keeps its first name: no sweep can take the folder then.
    void lock()
    {
        const QByteArray locked = QFile::encodeName(dir_ + QLatin1Char('/') + QLatin1String(kStagingLock));
        const QByteArray unnamed = locked + "-new";
        lockFd_ = ::open(unnamed.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (lockFd_ < 0) {
            const QString why = QString::fromLocal8Bit(std::strerror(errno));
            QDir(dir_).removeRecursively();
            throw jet::JetError(jet::errCannotOpen, files::cannotWrite(path_, why));
        }
        if (::flock(lockFd_, LOCK_EX | LOCK_NB) == 0)
            (void)::rename(unnamed.constData(), locked.constData());
    }

    QString path_;
    QString file_;
    QString dir_;
    int lockFd_ = -1;
};

/// Copies the shipped empty database of the Access kind to copyTo.
void copyTemplate(int kind, const QString& copyTo)
{
    const QString name = kind == exchange::ExportAccess97 ? QStringLiteral("acs1") : QStringLiteral("acs2");
    const QString source = app::programFile(QStringLiteral("\\") + name);
    if (!QFileInfo(source).isFile())
        throw jet::JetError(errFileNotFound, QStringLiteral("File not found: %1").arg(source));
    // The copy is written whole (every write checked, synced) before it
    // takes its name; a failure names the file and the system's reason.
    QString why;
    if (!files::copyFile(source, copyTo, &why))
        throw jet::JetError(jet::errCannotOpen, why);
    // The installed template may be read-only; the copy must take the new table.
    QFile::setPermissions(copyTo, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
}

/// The one statement of an export, on db (a connection of its own to the
/// working database).
void runExport(jet::Database& db, int kind, const QString& file, const QString& fieldList, const QString& filter)
{
    db.execute(exportStatement(fieldList, specifier(kind, file), filter));
}

/// The failure end: the reason and "  Unable to Export.", critical.
bool failed(const QString& reason)
{
    ui::msgBox(reason + QStringLiteral("  Unable to Export."), ui::vbCritical);
    return true;
}

/// While an export writes: the hourglass over the main window and a status
/// text that says so; the text shown before comes back at the end.
class BusyScope {
public:
    explicit BusyScope(MDIMain& m) : m_(m), before_(m.panelText(1))
    {
        ui::setPointer(&m_, ui::Pointer::Hourglass);
        m_.setPanelText(1, QStringLiteral("Please Wait....Exporting Data"));
    }
    ~BusyScope()
    {
        m_.setPanelText(1, before_);
        ui::setPointer(&m_, ui::Pointer::Default);
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    MDIMain& m_;
    QString before_;
};

} // namespace

namespace exchange {

int excelRowLimit(int kind)
{
    if (kind == ExportExcel5 || kind == ExportExcel95)
        return 16383;
    if (kind == ExportExcel2000)
        return 65535;
    return -1;
}

void writeExport(int kind, const QString& path, const QString& workDb, const QString& fieldList, const QString& filter)
{
    if (kind == ExportAct || kind < 1 || kind > kDestinationCount)
        throw jet::JetError(jet::errGeneral, QStringLiteral("Unknown export destination %1.").arg(kind));
    Staging staging(path);
    staging.run([&] {
        if (isAccess(kind))
            copyTemplate(kind, staging.file());
        jet::Database db = jet::Database::open(workDb);
        runExport(db, kind, staging.file(), fieldList, filter);
        db.close();
    });
    staging.commit();
}

} // namespace exchange

QString MDIMain::ExcelExport(const QString& path) { return tablePart(path); }

QString MDIMain::ExportFileName(const QString& path) { return folderOf(path) + tablePart(path); }

bool MDIMain::CreateAccessExportDB(int version, const QString& path, const QString& copyTo, QString& reason)
{
    reason.clear();
    if (general::FileExists(path)
        && ui::msgBox(path + QStringLiteral(" already exists.  Overwrite it?"), ui::vbYesNo + ui::vbExclamation) != ui::vbYes) {
        reason = QStringLiteral("Operation Cancelled.");
        return true;
    }
    try {
        copyTemplate(version == 97 ? exchange::ExportAccess97 : exchange::ExportAccess2000, copyTo);
    } catch (const jet::JetError& e) {
        // The copy is made under a hidden name beside the destination; the
        // user is told of the destination itself.
        QString text = e.description();
        if (!copyTo.isEmpty() && copyTo != path) {
            text.replace(copyTo, path);
            text.replace(QDir::toNativeSeparators(copyTo), QDir::toNativeSeparators(path));
        }
        ui::msgBox(text, ui::vbCritical);
        return true;
    }
    return false;
}

bool MDIMain::ExportFile()
{
    if (ui::jobRunning())
        return true;   // refused: the list is in use
    const QString filter = general::gstrFilter;
    try {
        if (!filter.isEmpty()
            && ui::msgBox(QStringLiteral("Your data is currently filtered. Are you sure you want to export filtered "
                                         "selection only?"),
                          ui::vbOKCancel + ui::vbQuestion) != ui::vbOK)
            return failed(kCancelled);

        ui::FileDialog& dialog = commondialog1;
        dialog.cancelError = true;
        dialog.flags = ui::FileHideReadOnly;
        dialog.title = QStringLiteral("Select Destination");
        dialog.filter = dialogFilter();
        dialog.fileName.clear();
        if (const int last = rememberedDestination())
            dialog.filterIndex = last;
        dialog.showSave();

        const int kind = dialog.filterIndex;
        const QString path = dialog.fileName;
        if (kind < 1 || kind > kDestinationCount)
            throw jet::JetError(jet::errGeneral, QStringLiteral("Unknown export destination %1.").arg(kind));
        const QString workDb = workDatabase();

        // Counted in the working database with the filter, so an empty list
        // makes an empty sheet and the count does not depend on the grid.
        if (isExcel(kind) && countRows(workDb, filter) > exchange::excelRowLimit(kind)) {
            ui::msgBox(QStringLiteral("File too large, cannot export in Excel Format"), ui::vbExclamation);
            return true;
        }

        rememberDestination(kind);

        if (kind == exchange::ExportAct) {
            if (!filter.isEmpty())
                return failed(QStringLiteral("It is not possible to export filtered selection only if the destination "
                                             "file is Act!. Please take off the filter and try again."));
            if (general::gstrImportType != QLatin1String("dbf"))
                return failed(QStringLiteral("You can only export to Act if you import from an Act! 6.0 database"));
            QString reason;
            if (Act_Module1::ExportToAct(general::gstrSourceFile, path, reason) != 0)
                return failed(reason);
            return false;
        }

        Staging staging(path);
        if (isAccess(kind)) {
            QString reason;
            if (CreateAccessExportDB(kind == exchange::ExportAccess97 ? 97 : 2000, path, staging.file(), reason))
                return failed(reason);
        } else if (general::FileExists(path)
                   && ui::msgBox(path + QStringLiteral(" already exists.  Overwrite it?"),
                                 ui::vbYesNo + ui::vbExclamation) != ui::vbYes) {
            return failed(kCancelled);
        }

        {
            const BusyScope busy(*this);
            // One job on the statement's own connection: the events run from
            // inside its steps, so the window repaints (the status text, the
            // hourglass) and what the user does meanwhile is dropped.
            jet::Database work = jet::Database::open(workDb);
            {
                const ui::StatementJob job(work.connection());
                ui::StatementJob::pump();   // the busy look is on the screen before the statement starts
                staging.run([&] { runExport(work, kind, staging.file(), general::gstrFieldList, filter); });
            }
            staging.run([&] { work.close(); });
            staging.commit();
        }
        ui::msgBox(QStringLiteral("Exported data to: ") + path, ui::vbInformation);
        return false;
    } catch (const ui::Cancelled& e) {
        return failed(e.description());
    } catch (const jet::JetError& e) {
        return failed(e.description());
    } catch (const std::exception& e) {
        return failed(QString::fromLocal8Bit(e.what()));
    }
}
