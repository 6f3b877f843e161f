// The gathering file layer; see buffered_vfs.h.
#include "platform/jet/buffered_vfs.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

namespace jet {

namespace {

// Gathered bytes per file before they go out. The platform's layer hands at
// most 128 KiB to one system call (it masks larger counts), so one gathering
// stays below that.
constexpr int kBufferBytes = 64 * 1024;

sqlite3_vfs* g_base = nullptr;   // the platform's own layer underneath
sqlite3_vfs g_vfs;
sqlite3_io_methods g_methods;

/// One open file: our header, then the platform's file object right after it.
struct File {
    sqlite3_file base;
    sqlite3_file* real;      // the platform's file object
    char* buffer;            // gathered bytes, nullptr for files written through
    sqlite3_int64 start;     // file offset of buffer[0]
    int length;              // bytes gathered
};

File* self(sqlite3_file* f) { return reinterpret_cast<File*>(f); }

/// Writes the gathered bytes out. When that fails they stay: the engine was
/// told they were written, and the rollback that follows the error reads them
/// back (a journal's records above all), so reads keep finding them.
int flush(File* f)
{
    if (f->length == 0)
        return SQLITE_OK;
    const int rc = f->real->pMethods->xWrite(f->real, f->buffer, f->length, f->start);
    if (rc == SQLITE_OK)
        f->length = 0;
    return rc;
}

int xClose(sqlite3_file* file)
{
    File* f = self(file);
    const int flushed = flush(f);
    const int rc = f->real->pMethods ? f->real->pMethods->xClose(f->real) : SQLITE_OK;
    sqlite3_free(f->buffer);
    f->buffer = nullptr;
    f->length = 0;
    return flushed != SQLITE_OK ? flushed : rc;
}

int xRead(sqlite3_file* file, void* out, int amount, sqlite3_int64 offset)
{
    File* f = self(file);
    const sqlite3_int64 end = offset + amount;
    const sqlite3_int64 held = f->start + f->length;
    // Only a read of gathered bytes needs them out first.
    if (f->length == 0 || end <= f->start || offset >= held || flush(f) == SQLITE_OK)
        return f->real->pMethods->xRead(f->real, out, amount, offset);

    // They could not go out: the file's bytes with the held ones laid over.
    const int rc = f->real->pMethods->xRead(f->real, out, amount, offset);
    if (rc != SQLITE_OK && rc != SQLITE_IOERR_SHORT_READ)
        return rc;
    const sqlite3_int64 from = std::max(offset, f->start);
    const sqlite3_int64 to = std::min(end, held);
    std::memcpy(static_cast<char*>(out) + (from - offset), f->buffer + (from - f->start), size_t(to - from));
    if (rc == SQLITE_OK)
        return SQLITE_OK;
    // A short read is whole when the held bytes carry on where the file ends.
    sqlite3_int64 size = 0;
    if (f->real->pMethods->xFileSize(f->real, &size) != SQLITE_OK)
        return rc;
    const bool whole = end <= std::max(size, held) && (offset >= f->start || f->start <= size);
    return whole ? SQLITE_OK : rc;
}

int xWrite(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset)
{
    File* f = self(file);
    if (!f->buffer)
        return f->real->pMethods->xWrite(f->real, data, amount, offset);
    // A write that cannot join the held bytes, or would overfill them, sends
    // them out first; if that fails, this write fails as it would have alone.
    if (f->length > 0 && (offset != f->start + f->length || f->length + amount > kBufferBytes)) {
        const int rc = flush(f);
        if (rc != SQLITE_OK)
            return rc;
    }
    if (amount > kBufferBytes)
        return f->real->pMethods->xWrite(f->real, data, amount, offset);
    if (f->length == 0)
        f->start = offset;
    std::memcpy(f->buffer + f->length, data, size_t(amount));
    f->length += amount;
    return SQLITE_OK;
}

int xTruncate(sqlite3_file* file, sqlite3_int64 size)
{
    File* f = self(file);
    if (f->start >= size)
        f->length = 0;
    else if (f->start + f->length > size)
        f->length = int(size - f->start);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : f->real->pMethods->xTruncate(f->real, size);
}

int xSync(sqlite3_file* file, int flags)
{
    File* f = self(file);
    const int rc = flush(f);
    return rc != SQLITE_OK ? rc : f->real->pMethods->xSync(f->real, flags);
}

int xFileSize(sqlite3_file* file, sqlite3_int64* size)
{
    File* f = self(file);
    flush(f);
    const int rc = f->real->pMethods->xFileSize(f->real, size);
    if (rc == SQLITE_OK && f->length > 0)
        *size = std::max(*size, f->start + f->length);   // what reads find
    return rc;
}

int xLock(sqlite3_file* file, int level) { return self(file)->real->pMethods->xLock(self(file)->real, level); }

int xUnlock(sqlite3_file* file, int level)
{
    // Whoever takes the file next must find every byte in it.
    File* f = self(file);
    const int rc = flush(f);
    const int unlocked = f->real->pMethods->xUnlock(f->real, level);
    return rc != SQLITE_OK ? rc : unlocked;
}

int xCheckReservedLock(sqlite3_file* file, int* out)
{
    return self(file)->real->pMethods->xCheckReservedLock(self(file)->real, out);
}

int xFileControl(sqlite3_file* file, int op, void* arg)
{
    File* f = self(file);
    switch (op) {
    case SQLITE_FCNTL_SYNC_OMITTED:   // a commit without a sync: the bytes go out all the same
    case SQLITE_FCNTL_SIZE_HINT:
    case SQLITE_FCNTL_CHUNK_SIZE:
    case SQLITE_FCNTL_COMMIT_PHASETWO: {
        const int rc = flush(f);
        if (rc != SQLITE_OK)
            return rc;
        break;
    }
    case SQLITE_FCNTL_VFSNAME: {
        const int rc = f->real->pMethods->xFileControl(f->real, op, arg);
        if (rc == SQLITE_OK) {
            char** name = static_cast<char**>(arg);
            char* both = sqlite3_mprintf("%s/%z", bufferedFilesName(), *name);
            *name = both;
        }
        return rc;
    }
    default: break;
    }
    return f->real->pMethods->xFileControl(f->real, op, arg);
}

int xSectorSize(sqlite3_file* file) { return self(file)->real->pMethods->xSectorSize(self(file)->real); }

int xDeviceCharacteristics(sqlite3_file* file)
{
    return self(file)->real->pMethods->xDeviceCharacteristics(self(file)->real);
}

int xShmMap(sqlite3_file* file, int region, int size, int extend, void volatile** out)
{
    return self(file)->real->pMethods->xShmMap(self(file)->real, region, size, extend, out);
}

int xShmLock(sqlite3_file* file, int offset, int n, int flags)
{
    return self(file)->real->pMethods->xShmLock(self(file)->real, offset, n, flags);
}

void xShmBarrier(sqlite3_file* file) { self(file)->real->pMethods->xShmBarrier(self(file)->real); }

int xShmUnmap(sqlite3_file* file, int deleteFlag)
{
    return self(file)->real->pMethods->xShmUnmap(self(file)->real, deleteFlag);
}

int xFetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** out)
{
    File* f = self(file);
    *out = nullptr;
    if (flush(f) != SQLITE_OK)
        return SQLITE_OK;   // no map: the engine reads through xRead, which finds the held bytes
    if (f->real->pMethods->iVersion < 3)
        return SQLITE_OK;
    return f->real->pMethods->xFetch(f->real, offset, amount, out);
}

int xUnfetch(sqlite3_file* file, sqlite3_int64 offset, void* p)
{
    File* f = self(file);
    if (f->real->pMethods->iVersion < 3)
        return SQLITE_OK;
    return f->real->pMethods->xUnfetch(f->real, offset, p);
}

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags)
{
    File* f = self(file);
    f->real = reinterpret_cast<sqlite3_file*>(f + 1);
    f->buffer = nullptr;
    f->start = 0;
    f->length = 0;
    f->base.pMethods = nullptr;
    const int rc = g_base->xOpen(g_base, name, f->real, flags, outFlags);
    if (rc != SQLITE_OK) {
        // The engine calls nothing on a file whose methods are unset, so a
        // half-open platform file is closed here.
        if (f->real->pMethods)
            f->real->pMethods->xClose(f->real);
        return rc;
    }
    if (flags & (SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_MAIN_JOURNAL)) {
        f->buffer = static_cast<char*>(sqlite3_malloc(kBufferBytes));
        // Without room to gather, the file is written through.
    }
    f->base.pMethods = &g_methods;
    return SQLITE_OK;
}

// Everything that is not a file goes to the platform's layer as it is.
int xDelete(sqlite3_vfs*, const char* name, int syncDir) { return g_base->xDelete(g_base, name, syncDir); }
int xAccess(sqlite3_vfs*, const char* name, int flags, int* out) { return g_base->xAccess(g_base, name, flags, out); }
int xFullPathname(sqlite3_vfs*, const char* name, int n, char* out) { return g_base->xFullPathname(g_base, name, n, out); }
void* xDlOpen(sqlite3_vfs*, const char* name) { return g_base->xDlOpen(g_base, name); }
void xDlError(sqlite3_vfs*, int n, char* out) { g_base->xDlError(g_base, n, out); }
void (*xDlSym(sqlite3_vfs*, void* h, const char* sym))(void) { return g_base->xDlSym(g_base, h, sym); }
void xDlClose(sqlite3_vfs*, void* h) { g_base->xDlClose(g_base, h); }
int xRandomness(sqlite3_vfs*, int n, char* out) { return g_base->xRandomness(g_base, n, out); }
int xSleep(sqlite3_vfs*, int us) { return g_base->xSleep(g_base, us); }
int xCurrentTime(sqlite3_vfs*, double* out) { return g_base->xCurrentTime(g_base, out); }
int xGetLastError(sqlite3_vfs*, int n, char* out) { return g_base->xGetLastError(g_base, n, out); }
int xCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) { return g_base->xCurrentTimeInt64(g_base, out); }
int xSetSystemCall(sqlite3_vfs*, const char* name, sqlite3_syscall_ptr p) { return g_base->xSetSystemCall(g_base, name, p); }
sqlite3_syscall_ptr xGetSystemCall(sqlite3_vfs*, const char* name) { return g_base->xGetSystemCall(g_base, name); }
const char* xNextSystemCall(sqlite3_vfs*, const char* name) { return g_base->xNextSystemCall(g_base, name); }

} // namespace

const char* bufferedFilesName() { return "qb-gathered"; }

void installBufferedFiles()
{
    static const bool installed = [] {
        g_base = sqlite3_vfs_find(nullptr);
        if (!g_base || g_base->iVersion < 3)
            return false;
        g_methods = sqlite3_io_methods{};
        g_methods.iVersion = 3;
        g_methods.xClose = xClose;
        g_methods.xRead = xRead;
        g_methods.xWrite = xWrite;
        g_methods.xTruncate = xTruncate;
        g_methods.xSync = xSync;
        g_methods.xFileSize = xFileSize;
        g_methods.xLock = xLock;
        g_methods.xUnlock = xUnlock;
        g_methods.xCheckReservedLock = xCheckReservedLock;
        g_methods.xFileControl = xFileControl;
        g_methods.xSectorSize = xSectorSize;
        g_methods.xDeviceCharacteristics = xDeviceCharacteristics;
        g_methods.xShmMap = xShmMap;
        g_methods.xShmLock = xShmLock;
        g_methods.xShmBarrier = xShmBarrier;
        g_methods.xShmUnmap = xShmUnmap;
        g_methods.xFetch = xFetch;
        g_methods.xUnfetch = xUnfetch;

        g_vfs = sqlite3_vfs{};
        g_vfs.iVersion = 3;
        g_vfs.szOsFile = int(sizeof(File)) + g_base->szOsFile;
        g_vfs.mxPathname = g_base->mxPathname;
        g_vfs.zName = bufferedFilesName();
        g_vfs.xOpen = xOpen;
        g_vfs.xDelete = xDelete;
        g_vfs.xAccess = xAccess;
        g_vfs.xFullPathname = xFullPathname;
        g_vfs.xDlOpen = xDlOpen;
        g_vfs.xDlError = xDlError;
        g_vfs.xDlSym = xDlSym;
        g_vfs.xDlClose = xDlClose;
        g_vfs.xRandomness = xRandomness;
        g_vfs.xSleep = xSleep;
        g_vfs.xCurrentTime = xCurrentTime;
        g_vfs.xGetLastError = xGetLastError;
        g_vfs.xCurrentTimeInt64 = xCurrentTimeInt64;
        g_vfs.xSetSystemCall = xSetSystemCall;
        g_vfs.xGetSystemCall = xGetSystemCall;
        g_vfs.xNextSystemCall = xNextSystemCall;
        return sqlite3_vfs_register(&g_vfs, 1) == SQLITE_OK;
    }();
    (void)installed;
}

} // namespace jet
