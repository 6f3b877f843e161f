#include "platform/files/checked_file.h"

#include "platform/ui/ui.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace files {

namespace {

constexpr qsizetype kBlock = 1 << 20;

/// write(2) until every byte is out; the errno of the first failure otherwise.
int writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return ENOSPC;
        data += n;
        size -= n;
    }
    return 0;
}

} // namespace

QString systemReason(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

QString cannotWrite(const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot write the file '%1': %2.").arg(QDir::toNativeSeparators(path), reason);
}

CheckedFile::CheckedFile(const QString& path) : path_(QFileInfo(path).absoluteFilePath()) {}

CheckedFile::~CheckedFile() { discard(); }

void CheckedFile::discard()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_.isEmpty())
        ::unlink(temp_.constData());
    temp_.clear();
}

bool CheckedFile::fail(const QString& what, int err)
{
    if (!failed_) {
        failed_ = true;
        error_ = cannotWrite(path_, what.isEmpty() ? systemReason(err) : what);
    }
    discard();
    return false;
}

bool CheckedFile::open()
{
    discard();
    failed_ = false;
    error_.clear();
    buffer_.clear();
    size_ = 0;
    const QFileInfo info(path_);
    if (info.isDir())
        return fail(QStringLiteral("it is a folder"), EISDIR);
    temp_ = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName()) + ".XXXXXX";
    fd_ = ::mkstemp(temp_.data());
    if (fd_ < 0) {
        const int err = errno;
        temp_.clear();
        return fail(QString(), err);
    }
    buffer_.reserve(kBlock);
    return true;
}

bool CheckedFile::flushBuffer()
{
    if (buffer_.isEmpty())
        return true;
    const int err = writeAll(fd_, buffer_.constData(), buffer_.size());
    buffer_.clear();
    return err == 0 || fail(QString(), err);
}

bool CheckedFile::write(const char* data, qint64 size)
{
    if (failed_ || fd_ < 0)
        return fail(QStringLiteral("the file is not open"), EBADF);
    size_ += size;
    if (size >= kBlock) {
        if (!flushBuffer())
            return false;
        const int err = writeAll(fd_, data, size);
        return err == 0 || fail(QString(), err);
    }
    buffer_.append(data, size);
    return buffer_.size() < kBlock || flushBuffer();
}

bool CheckedFile::overwrite(qint64 offset, const char* data, qint64 size)
{
    if (failed_ || fd_ < 0)
        return fail(QStringLiteral("the file is not open"), EBADF);
    if (offset < 0 || offset + size > size_)
        return fail(QStringLiteral("a write past the end of what was written"), EINVAL);
    if (!flushBuffer())
        return false;
    while (size > 0) {
        const ssize_t n = ::pwrite(fd_, data, static_cast<size_t>(size), offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(QString(), n < 0 ? errno : ENOSPC);
        data += n;
        size -= n;
        offset += n;
    }
    return true;
}

bool CheckedFile::commit()
{
    if (failed_ || fd_ < 0)
        return fail(QStringLiteral("the file is not open"), EBADF);
    if (!flushBuffer())
        return false;
    struct stat old {};
    const QByteArray dest = QFile::encodeName(path_);
    const mode_t mode = ::stat(dest.constData(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    if (::fchmod(fd_, mode) != 0 || ::fsync(fd_) != 0)
        return fail(QString(), errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        return fail(QString(), errno);
    if (std::rename(temp_.constData(), dest.constData()) != 0)
        return fail(QString(), errno);
    temp_.clear();
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(QFile::encodeName(QFileInfo(path_).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool writeWholeFile(const QString& path, const QByteArray& data, QString* error)
{
    CheckedFile f(path);
    const bool ok = f.open() && f.write(data) && f.commit();
    if (!ok && error)
        *error = f.error();
    return ok;
}

bool copyFile(const QString& source, const QString& dest, QString* error)
{
    auto failed = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    const QByteArray from = QFile::encodeName(source);
    const int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return failed(QStringLiteral("Cannot read the file '%1': %2.")
                          .arg(QDir::toNativeSeparators(source), systemReason(errno)));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{in};
    CheckedFile out(dest);
    if (!out.open())
        return failed(out.error());
    QByteArray block(int(kBlock), Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::read(in, block.data(), size_t(block.size()));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failed(QStringLiteral("Cannot read the file '%1': %2.")
                              .arg(QDir::toNativeSeparators(source), systemReason(errno)));
        }
        if (n == 0)
            break;
        if (!out.write(block.constData(), n))
            return failed(out.error());
    }
    if (!out.commit())
        return failed(out.error());
    return true;
}

bool saveFileOrSay(const QString& path, const QByteArray& data)
{
    QString error;
    if (writeWholeFile(path, data, &error))
        return true;
    ui::msgBox(QStringLiteral("Unable to save ") + QDir::toNativeSeparators(path) + QStringLiteral(".\r\r") + error,
               ui::vbCritical | ui::vbOKOnly);
    return false;
}

} // namespace files
