// Writing a file whole or not at all. The bytes go to a temporary file beside
// the destination; every write is checked, the file is synced to disk and
// only then renamed over the destination. A failed write (a full disk, a
// file-size limit, a folder that cannot be written) leaves an existing
// destination as it was and says why.
//
// Every file the program writes goes through here: exports, the settings and
// list files of the Settings folder, the remembered choices.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace files {

class CheckedFile {
public:
    explicit CheckedFile(const QString& path);
    /// Without commit() the temporary file is removed and the destination stays.
    ~CheckedFile();
    CheckedFile(const CheckedFile&) = delete;
    CheckedFile& operator=(const CheckedFile&) = delete;

    /// Makes the temporary file; false (see error()) when it cannot be made.
    bool open();
    /// Adds bytes; they reach the disk in large blocks. False once any write
    /// has failed: later writes do nothing and error() keeps the first reason.
    bool write(const char* data, qint64 size);
    bool write(const QByteArray& data) { return write(data.constData(), data.size()); }
    /// Writes bytes over ones already written at `offset` (a header whose
    /// fields are known only at the end). False as write() fails.
    bool overwrite(qint64 offset, const char* data, qint64 size);
    /// The bytes written so far.
    qint64 size() const { return size_; }
    /// Writes what is left, syncs the file and moves it over the destination.
    /// An existing destination passes its permissions on; a new file gets
    /// 0644. False (and the destination untouched) when any step failed.
    bool commit();

    const QString& path() const { return path_; }
    /// Why the file could not be written, in words for a message box.
    const QString& error() const { return error_; }

private:
    bool flushBuffer();
    bool fail(const QString& what, int err);
    void discard();

    QString path_;
    QByteArray temp_;   ///< the temporary file's name, encoded
    int fd_ = -1;
    QByteArray buffer_;
    qint64 size_ = 0;
    bool failed_ = false;
    QString error_;
};

/// Replaces path with data in one step; false and *error set when it failed.
bool writeWholeFile(const QString& path, const QByteArray& data, QString* error = nullptr);

/// Makes dest a byte copy of source through a CheckedFile: the copy is whole
/// on disk before it takes dest's name, and a failure leaves dest as it was.
/// *error, when it fails, names the file that could not be read or written
/// and the system's reason ("No space left on device").
bool copyFile(const QString& source, const QString& dest, QString* error = nullptr);

/// writeWholeFile(), and on failure the critical message box
/// "Unable to save <path>." with the reason.
bool saveFileOrSay(const QString& path, const QByteArray& data);

/// The usual words for a file that could not be written:
/// "Cannot write the file '<path>': <reason>."
QString cannotWrite(const QString& path, const QString& reason);

/// The system's words for an errno value ("No space left on device").
QString systemReason(int err);

} // namespace files
