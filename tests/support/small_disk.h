// A real small disk for a test: a tmpfs mounted on a folder of the test's
// own (which needs the right to mount: as root, or in a container that
// gives it), filled to the last block or made read-only. Unmounted when the
// object goes. available() is false where nothing could be mounted; the
// test then skips.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cerrno>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace testsupport {

class SmallDisk {
public:
    /// Mounts a tmpfs of kilobytes on folder (made when missing).
    SmallDisk(const QString& folder, int kilobytes) : folder_(QFile::encodeName(folder))
    {
        QDir().mkpath(folder);
        const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0755";
        mounted_ = ::mount("tmpfs", folder_.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) == 0;
    }
    ~SmallDisk()
    {
        if (mounted_)
            ::umount2(folder_.constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool available() const { return mounted_; }

    /// Takes every free block but leaveBytes (rounded to the disk's blocks)
    /// with a hidden filler file.
    void fill(qint64 leaveBytes = 0)
    {
        const QByteArray name = folder_ + "/.filler";
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0)
            return;
        const QByteArray block(4096, 'f');
        while (::write(fd, block.constData(), size_t(block.size())) == block.size()) {
        }
        // Hand back what is to stay free.
        const off_t size = ::lseek(fd, 0, SEEK_END);
        if (leaveBytes > 0 && size > leaveBytes)
            (void)::ftruncate(fd, size - ((leaveBytes + 4095) / 4096) * 4096);
        ::close(fd);
    }

    /// Makes the mounted disk read-only.
    bool makeReadOnly()
    {
        return mounted_
            && ::mount(nullptr, folder_.constData(), nullptr, MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) == 0;
    }

private:
    QByteArray folder_;
    bool mounted_ = false;
};

} // namespace testsupport
