// The child-process boundary of read_boundary.h.
//
// The child's answer is a series of messages: a tag byte, a 4-byte length
// and the body. 'C' the columns (then the count of cells handed out as Null
// for want of a value), 'R' a batch of rows, 'L' a list of names,
// 'H' "still at work", 'E' the reader's error, 'D' the end. Numbers are
// little-endian; names and messages are UTF-16 with their length in code
// units. A row's text goes as the engine stores it (jet::utf8OfText's form,
// half a surrogate pair included), so the parent hands it on unconverted.
#include "platform/drivers/read_boundary.h"

#include "platform/jet/engine_text.h"
#include "platform/jet/error.h"

#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <new>
#include <string>

#include <cstdio>
#include <stdio_ext.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#include <sanitizer/common_interface_defs.h>
#endif

namespace drivers {
namespace {

constexpr qsizetype kBatchBytes = 256 * 1024;
constexpr qint64 kFlushNanos = 100'000'000;   // a batch waits at most 0.1 s
constexpr int kPollMillis = 100;
constexpr qint64 kBaseMemory = qint64(1) << 30;
constexpr qint64 kWaitedNanos = 8'000'000'000;   // the least wall-clock silence that ends a child

// Set in the child only: the pipe its answer goes to, and the file its
// standard output and error are written to.
int gChildFd = -1;
int gOutputFd = -1;
qint64 gLastBeat = 0;
bool gEndSent = false;
qint64 gBeatNanos = 1'000'000'000;

qint64 nowNanos()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

/// The start of /proc/<pid>/<name> into text (NUL-terminated); false when
/// it cannot be read.
template <std::size_t N>
bool readProc(pid_t pid, const char* name, char (&text)[N])
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/%s", int(pid), name);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const ssize_t n = ::read(fd, text, N - 1);
    ::close(fd);
    text[n > 0 ? n : 0] = '\0';
    return n > 0;
}

/// Pages of a process's address space (field 0) or resident set (field 1).
qint64 statmBytes(pid_t pid, int field)
{
    char text[128];
    if (!readProc(pid, "statm", text))
        return -1;
    const char* p = text;
    for (int i = 0; i < field; ++i) {
        p = std::strchr(p, ' ');
        if (!p)
            return -1;
        ++p;
    }
    return std::strtoll(p, nullptr, 10) * sysconf(_SC_PAGESIZE);
}

/// The processor time a process has used (user and system), or -1.
qint64 cpuNanos(pid_t pid)
{
    char text[1024];
    if (!readProc(pid, "stat", text))
        return -1;
    // After the name in parentheses (which may hold anything): the state,
    // then fields 4 to 13, then utime and stime.
    const char* p = std::strrchr(text, ')');
    if (!p)
        return -1;
    ++p;
    for (int field = 3; field <= 13; ++field) {
        p = std::strchr(p + 1, ' ');
        if (!p)
            return -1;
    }
    char* end = nullptr;
    const long long user = std::strtoll(p + 1, &end, 10);
    if (end == p + 1)
        return -1;
    const long long system = std::strtoll(end, &end, 10);
    const long ticks = sysconf(_SC_CLK_TCK);
    if (ticks <= 0)
        return -1;
    return (user + system) * (1'000'000'000 / ticks);
}

// ---- writing (the child) ----

class Out {
public:
    void u8(quint8 v) { buf_.append(char(v)); }
    void u32(quint32 v)
    {
        char b[4];
        for (int i = 0; i < 4; ++i)
            b[i] = char((v >> (8 * i)) & 0xff);
        buf_.append(b, 4);
    }
    void u64(quint64 v)
    {
        u32(quint32(v));
        u32(quint32(v >> 32));
    }
    void f64(double d)
    {
        quint64 v;
        std::memcpy(&v, &d, sizeof v);
        u64(v);
    }
    void text(const QString& s)
    {
        u32(quint32(s.size()));
        buf_.append(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
    }
    void cell(const CellView& c)
    {
        switch (c.kind) {
        case CellView::Kind::Null: u8(0); break;
        case CellView::Kind::Bool: u8(1); u8(c.i ? 1 : 0); break;
        case CellView::Kind::Long: u8(2); u64(quint64(c.i)); break;
        case CellView::Kind::Double: u8(3); f64(c.d); break;
        case CellView::Kind::Date: u8(4); f64(c.d); break;
        case CellView::Kind::Currency: u8(7); u64(quint64(c.i)); break;
        case CellView::Kind::Utf16: utf16AsUtf8(static_cast<const char16_t*>(c.p), c.n); break;
        case CellView::Kind::Utf8:
            u8(5);
            u32(quint32(c.n));
            buf_.append(static_cast<const char*>(c.p), c.n);
            break;
        }
    }
    /// Room for a batch and a row past it, so that appending does not move it.
    void reserve(qsizetype bytes) { buf_.reserve(bytes); }
    /// Starts a message; its length is filled in by end().
    void begin(char tag)
    {
        start_ = buf_.size();
        u8(quint8(tag));
        u32(0);
    }
    void end()
    {
        const quint32 len = quint32(buf_.size() - start_ - 5);
        for (int i = 0; i < 4; ++i)
            buf_[start_ + 1 + i] = char((len >> (8 * i)) & 0xff);
    }
    qsizetype size() const { return buf_.size(); }
    void send()
    {
        const char* p = buf_.constData();
        qsizetype left = buf_.size();
        while (left > 0) {
            const ssize_t n = ::write(gChildFd, p, size_t(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                _exit(3);   // the parent has gone
            p += n;
            left -= n;
        }
        buf_.resize(0);   // its room stays for the next batch
        gLastBeat = nowNanos();
    }

private:
    // Text as the engine stores it (tag 5), half a surrogate pair too. A
    // pair takes 4 bytes in UTF-8 as in UTF-16, so 3 bytes a unit is room
    // enough.
    void utf16AsUtf8(const char16_t* t, qsizetype n)
    {
        const qsizetype at = buf_.size();
        buf_.resize(at + 5 + 3 * n);
        const char* end = jet::writeUtf8(t, n, buf_.data() + at + 5);
        const qsizetype bytes = end - (buf_.constData() + at + 5);
        buf_.resize(at + 5 + bytes);
        buf_[at] = char(5);
        writeU32(at + 1, quint32(bytes));
    }
    void writeU32(qsizetype at, quint32 v)
    {
        for (int i = 0; i < 4; ++i)
            buf_[at + i] = char((v >> (8 * i)) & 0xff);
    }

    QByteArray buf_;
    qsizetype start_ = 0;
};

/// The closing message, once. A reader's work may send it before its own
/// clean-up (freeing a large sheet takes a while), which then never holds
/// the parent up: the parent ends the child when the message is in.
void sendEnd()
{
    if (gEndSent)
        return;
    gEndSent = true;
    Out o;
    o.begin('D');
    o.end();
    o.send();
}

void sendError(int number, const QString& description)
{
    Out o;
    o.begin('E');
    o.u32(quint32(number));
    o.text(description);
    o.end();
    o.send();
}

const QString kTooMuchMemory = QStringLiteral("reading it needed more memory than the file can explain");

/// Sends the child's standard output and error into a file in memory, which
/// readerOutput() looks at. Output the parent left in stdio's buffers is
/// dropped first (it is the parent's to write); a sanitizer's report keeps
/// going to the real standard error.
void captureOutput()
{
    __fpurge(stdout);
    __fpurge(stderr);
    const int fd = ::memfd_create("reader-output", MFD_CLOEXEC);
    if (fd < 0)
        return;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    const int real = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
    if (real >= 0)
        __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(real)));
#endif
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    gOutputFd = fd;
}

/// The child's whole life: the work, its answer, and the end.
[[noreturn]] void childMain(int fd, qint64 memoryBytes, double quietSeconds, const std::function<void(Out&)>& work)
{
    gChildFd = fd;
    gBeatNanos = std::min<qint64>(1'000'000'000, qint64(quietSeconds * 1e9 / 4));
    ::signal(SIGPIPE, SIG_DFL);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#ifndef __SANITIZE_ADDRESS__
    // The sanitizers reserve terabytes of address space up front; there the
    // parent's watch on the resident size is the only bound.
    const qint64 have = statmBytes(getpid(), 0);
    if (have > 0) {
        rlimit r{};
        r.rlim_cur = r.rlim_max = rlim_t(have + memoryBytes);
        setrlimit(RLIMIT_AS, &r);
    }
#endif
    captureOutput();
    try {
        Out o;
        work(o);
        sendEnd();
    } catch (const jet::JetError& e) {
        sendError(e.number(), e.description());
    } catch (const std::bad_alloc&) {
        sendError(-1, kTooMuchMemory);
    } catch (const std::exception& e) {
        sendError(jet::errExternal, QString::fromUtf8(e.what()));
    } catch (...) {
        sendError(jet::errExternal, QStringLiteral("The file cannot be read."));
    }
    _exit(0);
}

// ---- reading (the parent) ----

class Child {
public:
    Child(const QString& path, const ReadLimits& limits, const std::function<void(Out&)>& work) : path_(path)
    {
        quiet_ = limits.quietSeconds;
        memory_ = limits.memoryBytes > 0 ? limits.memoryBytes : kBaseMemory + 16 * QFileInfo(path).size();
        baseline_ = statmBytes(getpid(), 1);
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            throw jet::JetError(jet::errExternal, QStringLiteral("Cannot start reading '%1': %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        const pid_t pid = ::fork();
        if (pid < 0) {
            const int e = errno;
            ::close(fds[0]);
            ::close(fds[1]);
            throw jet::JetError(jet::errExternal, QStringLiteral("Cannot start reading '%1': %2").arg(path, QString::fromLocal8Bit(std::strerror(e))));
        }
        if (pid == 0) {
            ::close(fds[0]);
            childMain(fds[1], memory_, quiet_, work);
        }
        ::close(fds[1]);
        fd_ = fds[0];
        pid_ = pid;
    }

    ~Child() { stop(); }

    /// The next message's tag; its body is then at body()/bodySize(). 'H' never comes out.
    char next()
    {
        for (;;) {
            buf_.remove(0, consumed_);
            consumed_ = 0;
            if (buf_.size() >= 5) {
                const quint32 len = quint32(quint8(buf_[1])) | quint32(quint8(buf_[2])) << 8
                                    | quint32(quint8(buf_[3])) << 16 | quint32(quint8(buf_[4])) << 24;
                if (qsizetype(len) <= buf_.size() - 5) {
                    const char tag = buf_[0];
                    bodyAt_ = 5;
                    bodyEnd_ = 5 + qsizetype(len);
                    consumed_ = bodyEnd_;
                    if (tag == 'H')
                        continue;
                    return tag;
                }
            }
            fill();
        }
    }

    // Reading inside the current message's body.
    quint8 u8() { return quint8(*take(1)); }
    quint32 u32()
    {
        const auto* p = reinterpret_cast<const unsigned char*>(take(4));
        return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
    }
    quint64 u64()
    {
        const quint64 lo = u32();
        return lo | quint64(u32()) << 32;
    }
    double f64()
    {
        const quint64 v = u64();
        double d;
        std::memcpy(&d, &v, sizeof d);
        return d;
    }
    QString text()
    {
        const quint32 n = u32();
        if (qsizetype(n) > (bodyEnd_ - bodyAt_) / 2)
            broken();
        const char* p = take(qsizetype(n) * 2);
        QString s(qsizetype(n), Qt::Uninitialized);
        std::memcpy(s.data(), p, size_t(n) * 2);
        return s;
    }
    /// A row's cell, its text seen in the message (until the next message).
    void cell(CellView& c)
    {
        switch (u8()) {
        case 0: c.kind = CellView::Kind::Null; return;
        case 1:
            c.kind = CellView::Kind::Bool;
            c.i = u8() != 0;
            return;
        case 2:
            c.kind = CellView::Kind::Long;
            c.i = qint64(u64());
            return;
        case 3:
            c.kind = CellView::Kind::Double;
            c.d = f64();
            return;
        case 4:
            c.kind = CellView::Kind::Date;
            c.d = f64();
            return;
        case 7:
            c.kind = CellView::Kind::Currency;
            c.i = qint64(u64());
            return;
        case 5: {
            const quint32 n = u32();
            c.kind = CellView::Kind::Utf8;
            c.p = take(qsizetype(n));
            c.n = qsizetype(n);
            return;
        }
        default: broken();
        }
    }

    /// The reader's error, which ends the child.
    [[noreturn]] void rethrow()
    {
        const int number = int(u32());
        const QString description = text();
        stop();
        if (number == -1)
            throwDamaged(path_, description);
        throw jet::JetError(number, description);
    }

    /// Whether the current message's body holds more.
    bool bodyLeft() const { return bodyAt_ < bodyEnd_; }

    /// The end: the child is gone and reaped.
    void finish() { stop(); }

    /// Stops the child for a reason of the parent's (too many rows).
    [[noreturn]] void refuse(const QString& why)
    {
        stop();
        throwDamaged(path_, why);
    }

private:
    const char* take(qsizetype n)
    {
        if (n < 0 || n > bodyEnd_ - bodyAt_)
            broken();
        const char* p = buf_.constData() + bodyAt_;
        bodyAt_ += n;
        return p;
    }

    [[noreturn]] void broken() { refuse(QStringLiteral("the reader's answer is not complete")); }

    /// Reads what the child sent, watching its time and memory meanwhile.
    void fill()
    {
        if (fd_ < 0)
            broken();
        // Silence is time the child spends at work without a word: a busy
        // machine that leaves it waiting for a processor does not count,
        // unless it stays quiet far longer (a reader stuck in a call that
        // never returns uses no processor time).
        const qint64 quietSince = nowNanos();
        const qint64 cpuSince = cpuNanos(pid_);
        const qint64 limit = qint64(quiet_ * 1e9);
        const qint64 wallLimit = std::max<qint64>(4 * limit, kWaitedNanos);
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            const int r = ::poll(&p, 1, kPollMillis);
            if (r < 0 && errno != EINTR)
                broken();
            const qint64 rss = statmBytes(pid_, 1);
            if (rss > 0 && baseline_ > 0 && rss - baseline_ > memory_)
                refuse(kTooMuchMemory);
            if (r > 0) {
                char chunk[64 * 1024];
                const ssize_t n = ::read(fd_, chunk, sizeof chunk);
                if (n > 0) {
                    buf_.append(chunk, n);
                    return;
                }
                if (n == 0 || errno != EINTR)
                    ended();
            }
            const qint64 waited = nowNanos() - quietSince;
            if (waited > limit) {
                const qint64 cpu = cpuNanos(pid_);
                if (cpu < 0 || cpuSince < 0 || cpu - cpuSince > limit || waited > wallLimit)
                    refuse(QStringLiteral("its reader did not finish (it sent nothing for %1 seconds)").arg(quiet_));
            }
        }
    }

    /// The pipe closed before the child's last message.
    [[noreturn]] void ended()
    {
        int status = 0;
        ::close(fd_);
        fd_ = -1;
        const pid_t pid = pid_;
        pid_ = -1;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            throwDamaged(path_, kTooMuchMemory);   // the only one who kills it is the system
        if (WIFSIGNALED(status))
            throwDamaged(path_, QStringLiteral("its reader failed (signal %1)").arg(WTERMSIG(status)));
        throwDamaged(path_, QStringLiteral("its reader failed (exit code %1)").arg(WEXITSTATUS(status)));
    }

    void stop()
    {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            pid_ = -1;
        }
    }

    QString path_;
    double quiet_ = kQuietSeconds;
    qint64 memory_ = 0;
    qint64 baseline_ = 0;
    int fd_ = -1;
    pid_t pid_ = -1;
    QByteArray buf_;
    qsizetype consumed_ = 0;
    qsizetype bodyAt_ = 0;
    qsizetype bodyEnd_ = 0;
};

class ChildRowReader : public RowReader {
public:
    ChildRowReader(const QString& path, const ReadLimits& limits, const std::function<std::unique_ptr<RowReader>()>& open)
        : child_(path, limits,
                 [&open](Out& o) {
                     std::unique_ptr<RowReader> reader = open();
                     const jet::ColumnList& cols = reader->columns();
                     o.begin('C');
                     o.u32(quint32(cols.size()));
                     for (const jet::ColumnInfo& c : cols) {
                         o.text(c.name);
                         o.u32(quint32(c.type));
                         o.u32(quint32(c.size));
                         o.u32(quint32(c.attributes));
                     }
                     o.u64(quint64(reader->emptiedCells()));
                     o.end();
                     o.send();
                     // Rows are gathered into one message per batch.
                     std::vector<CellView> row;
                     quint32 inBatch = 0;
                     qint64 batchStart = 0;
                     Out msg;
                     msg.reserve(2 * kBatchBytes);
                     const auto startBatch = [&] {
                         msg.begin('R');
                         inBatch = 0;
                         batchStart = nowNanos();
                     };
                     startBatch();
                     while (reader->nextView(row)) {
                         msg.u32(quint32(row.size()));
                         for (const CellView& v : row)
                             msg.cell(v);
                         ++inBatch;
                         if (msg.size() >= kBatchBytes || ((inBatch & 255) == 0 && nowNanos() - batchStart > kFlushNanos)) {
                             msg.end();
                             msg.send();
                             startBatch();
                         }
                     }
                     if (inBatch > 0) {
                         msg.end();
                         msg.send();
                     }
                     sendEnd();   // before the reader is freed
                 }),
          maxRows_(limits.maxRows)
    {
        const char tag = child_.next();
        if (tag == 'E')
            child_.rethrow();
        if (tag != 'C')
            child_.refuse(QStringLiteral("the reader's answer is not complete"));
        const quint32 n = child_.u32();
        for (quint32 i = 0; i < n; ++i) {
            jet::ColumnInfo c;
            c.name = child_.text();
            c.type = int(child_.u32());
            c.size = int(child_.u32());
            c.attributes = int(child_.u32());
            cols_.push_back(std::move(c));
        }
        emptied_ = static_cast<long long>(child_.u64());
    }

    const jet::ColumnList& columns() const override { return cols_; }
    long long emptiedCells() const override { return emptied_; }

    bool next(std::vector<jet::Value>& row) override
    {
        if (!nextView(view_))
            return false;
        row.resize(view_.size());
        for (size_t i = 0; i < view_.size(); ++i)
            row[i] = view_[i].value();
        return true;
    }

    bool nextView(std::vector<CellView>& row) override
    {
        while (!inBatch_) {
            if (done_)
                return false;
            switch (child_.next()) {
            case 'R': inBatch_ = true; break;
            case 'D':
                done_ = true;
                child_.finish();
                return false;
            case 'E': child_.rethrow();
            default: child_.refuse(QStringLiteral("the reader's answer is not complete"));
            }
            if (!child_.bodyLeft())
                inBatch_ = false;
        }
        const quint32 n = child_.u32();
        row.resize(n);
        for (quint32 i = 0; i < n; ++i)
            child_.cell(row[i]);
        if (!child_.bodyLeft())
            inBatch_ = false;
        if (maxRows_ >= 0 && ++rows_ > maxRows_)
            child_.refuse(QStringLiteral("it claims more rows than the file can hold"));
        return true;
    }

private:
    Child child_;
    jet::ColumnList cols_;
    qint64 maxRows_ = -1;
    qint64 rows_ = 0;
    long long emptied_ = 0;
    bool inBatch_ = false;
    bool done_ = false;
    std::vector<CellView> view_;
};

} // namespace

void stillReading()
{
    if (gChildFd < 0 || nowNanos() - gLastBeat < gBeatNanos)
        return;
    Out o;
    o.begin('H');
    o.end();
    o.send();
}

QString readerOutput()
{
    if (gOutputFd < 0)
        return QString();
    std::fflush(stdout);
    std::fflush(stderr);
    struct stat st {};
    if (::fstat(gOutputFd, &st) != 0 || st.st_size == 0)
        return QString();
    char text[512];
    const ssize_t n = ::pread(gOutputFd, text, sizeof text, 0);
    QString line = QString::fromLocal8Bit(text, n > 0 ? qsizetype(n) : 0);
    line = line.section(QLatin1Char('\n'), 0, 0).trimmed();
    return line.isEmpty() ? QStringLiteral("(a blank line)") : line;
}

[[noreturn]] void throwDamaged(const QString& path, const QString& why)
{
    throw jet::JetError(jet::errExternal, QStringLiteral("'%1' is damaged and cannot be read: %2.").arg(path, why));
}

std::unique_ptr<RowReader> readInChild(const QString& path, const std::function<std::unique_ptr<RowReader>()>& open,
                                       const ReadLimits& limits)
{
    return std::make_unique<ChildRowReader>(path, limits, open);
}

QStringList listInChild(const QString& path, const std::function<QStringList()>& list, const ReadLimits& limits)
{
    Child child(path, limits, [&list](Out& o) {
        const QStringList names = list();
        o.begin('L');
        o.u32(quint32(names.size()));
        for (const QString& n : names)
            o.text(n);
        o.end();
        o.send();
    });
    const char tag = child.next();
    if (tag == 'E')
        child.rethrow();
    if (tag != 'L')
        child.refuse(QStringLiteral("the reader's answer is not complete"));
    QStringList names;
    const quint32 n = child.u32();
    for (quint32 i = 0; i < n; ++i)
        names << child.text();
    if (child.next() != 'D')
        child.refuse(QStringLiteral("the reader's answer is not complete"));
    child.finish();
    return names;
}

} // namespace drivers
