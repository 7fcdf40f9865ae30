#include "db/FaultVfs.h"

#include <sqlite3.h>

#include <atomic>
#include <cstring>
#include <mutex>

namespace Qd::Core::Db::FaultVfs {

namespace {

constexpr int kSteps = 4;

struct State {
    std::atomic<bool> armed{false};
    std::atomic<qint64> countdown{0};  // the armed step fails when this reaches 0
    Step step = Step::Write;
    Fault fault = Fault::IoError;
    bool sticky = false;
    std::atomic<bool> fired{false};
    std::atomic<qint64> counts[kSteps] = {};
};

State& state() {
    static State s;
    return s;
}

// Counts the step and tells the error it must fail with, or SQLITE_OK.
int inject(Step step, int ioError) {
    State& s = state();
    s.counts[int(step)].fetch_add(1, std::memory_order_relaxed);
    if (!s.armed.load(std::memory_order_relaxed) || s.step != step)
        return SQLITE_OK;
    const qint64 left = s.countdown.fetch_sub(1) - 1;
    if (left > 0 || (left < 0 && !s.sticky))
        return SQLITE_OK;
    s.fired = true;
    switch (s.fault) {
        case Fault::DiskFull:
            return SQLITE_FULL;
        case Fault::Busy:
            return SQLITE_BUSY;
        case Fault::ShortRead:
            return step == Step::Read ? SQLITE_IOERR_SHORT_READ : ioError;
        case Fault::IoError:
            break;
    }
    return ioError;
}

// A file of ours: the wrapped file of the default file system follows it in the same block.
struct File {
    sqlite3_file base;
    sqlite3_file* real;
};

sqlite3_file* real(sqlite3_file* f) {
    return reinterpret_cast<File*>(f)->real;
}

int fileClose(sqlite3_file* f) {
    return real(f)->pMethods->xClose(real(f));
}

int fileRead(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
    const int rc = inject(Step::Read, SQLITE_IOERR_READ);
    if (rc == SQLITE_IOERR_SHORT_READ) {
        // half of it, the rest zero as the embedded database expects of a short read
        const int half = amount / 2;
        std::memset(static_cast<char*>(buffer) + half, 0, std::size_t(amount - half));
        const int got = real(f)->pMethods->xRead(real(f), buffer, half, offset);
        return got == SQLITE_OK || got == SQLITE_IOERR_SHORT_READ ? SQLITE_IOERR_SHORT_READ : got;
    }
    if (rc != SQLITE_OK)
        return rc;
    return real(f)->pMethods->xRead(real(f), buffer, amount, offset);
}

int fileWrite(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset) {
    if (const int rc = inject(Step::Write, SQLITE_IOERR_WRITE))
        return rc;
    return real(f)->pMethods->xWrite(real(f), data, amount, offset);
}

int fileTruncate(sqlite3_file* f, sqlite3_int64 size) {
    if (const int rc = inject(Step::Write, SQLITE_IOERR_TRUNCATE))
        return rc;
    return real(f)->pMethods->xTruncate(real(f), size);
}

int fileSync(sqlite3_file* f, int flags) {
    if (const int rc = inject(Step::Sync, SQLITE_IOERR_FSYNC))
        return rc;
    return real(f)->pMethods->xSync(real(f), flags);
}

int fileSize(sqlite3_file* f, sqlite3_int64* size) {
    return real(f)->pMethods->xFileSize(real(f), size);
}

int fileLock(sqlite3_file* f, int level) {
    if (const int rc = inject(Step::Lock, SQLITE_IOERR_LOCK))
        return rc;
    return real(f)->pMethods->xLock(real(f), level);
}

int fileUnlock(sqlite3_file* f, int level) {
    return real(f)->pMethods->xUnlock(real(f), level);
}

int fileCheckReservedLock(sqlite3_file* f, int* out) {
    return real(f)->pMethods->xCheckReservedLock(real(f), out);
}

int fileControl(sqlite3_file* f, int op, void* arg) {
    return real(f)->pMethods->xFileControl(real(f), op, arg);
}

int fileSectorSize(sqlite3_file* f) {
    return real(f)->pMethods->xSectorSize(real(f));
}

int fileDeviceCharacteristics(sqlite3_file* f) {
    return real(f)->pMethods->xDeviceCharacteristics(real(f));
}

int fileShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** out) {
    return real(f)->pMethods->xShmMap(real(f), page, size, extend, out);
}

// The write-ahead log's locks are locks too: a busy one is what another connection causes.
int fileShmLock(sqlite3_file* f, int offset, int n, int flags) {
    if ((flags & SQLITE_SHM_LOCK) != 0)
        if (const int rc = inject(Step::Lock, SQLITE_IOERR_SHMLOCK))
            return rc;
    return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
}

void fileShmBarrier(sqlite3_file* f) {
    real(f)->pMethods->xShmBarrier(real(f));
}

int fileShmUnmap(sqlite3_file* f, int deleteFlag) {
    return real(f)->pMethods->xShmUnmap(real(f), deleteFlag);
}

int fileFetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** out) {
    return real(f)->pMethods->xFetch(real(f), offset, amount, out);
}

int fileUnfetch(sqlite3_file* f, sqlite3_int64 offset, void* p) {
    return real(f)->pMethods->xUnfetch(real(f), offset, p);
}

// The methods for a wrapped file of each version (a journal has no shared memory).
const sqlite3_io_methods* methodsFor(int version) {
    static const sqlite3_io_methods v3 = {3,
                                          fileClose,
                                          fileRead,
                                          fileWrite,
                                          fileTruncate,
                                          fileSync,
                                          fileSize,
                                          fileLock,
                                          fileUnlock,
                                          fileCheckReservedLock,
                                          fileControl,
                                          fileSectorSize,
                                          fileDeviceCharacteristics,
                                          fileShmMap,
                                          fileShmLock,
                                          fileShmBarrier,
                                          fileShmUnmap,
                                          fileFetch,
                                          fileUnfetch};
    static const sqlite3_io_methods v1 = [] {
        sqlite3_io_methods m = v3;
        m.iVersion = 1;
        return m;
    }();
    return version >= 3 ? &v3 : &v1;
}

sqlite3_vfs* wrapped(sqlite3_vfs* vfs) {
    return static_cast<sqlite3_vfs*>(vfs->pAppData);
}

int vfsOpen(sqlite3_vfs* vfs, sqlite3_filename path, sqlite3_file* f, int flags, int* outFlags) {
    auto* file = reinterpret_cast<File*>(f);
    file->real = reinterpret_cast<sqlite3_file*>(file + 1);
    file->base.pMethods = nullptr;
    const int rc = wrapped(vfs)->xOpen(wrapped(vfs), path, file->real, flags, outFlags);
    if (file->real->pMethods)
        file->base.pMethods = methodsFor(file->real->pMethods->iVersion);
    return rc;
}

// The file system's own calls go to the default one, with its own object.
int vfsDelete(sqlite3_vfs* vfs, const char* path, int syncDir) {
    return wrapped(vfs)->xDelete(wrapped(vfs), path, syncDir);
}
int vfsAccess(sqlite3_vfs* vfs, const char* path, int flags, int* out) {
    return wrapped(vfs)->xAccess(wrapped(vfs), path, flags, out);
}
int vfsFullPathname(sqlite3_vfs* vfs, const char* path, int size, char* out) {
    return wrapped(vfs)->xFullPathname(wrapped(vfs), path, size, out);
}
void* vfsDlOpen(sqlite3_vfs* vfs, const char* path) {
    return wrapped(vfs)->xDlOpen(wrapped(vfs), path);
}
void vfsDlError(sqlite3_vfs* vfs, int size, char* out) {
    wrapped(vfs)->xDlError(wrapped(vfs), size, out);
}
void (*vfsDlSym(sqlite3_vfs* vfs, void* handle, const char* symbol))(void) {
    return wrapped(vfs)->xDlSym(wrapped(vfs), handle, symbol);
}
void vfsDlClose(sqlite3_vfs* vfs, void* handle) {
    wrapped(vfs)->xDlClose(wrapped(vfs), handle);
}
int vfsRandomness(sqlite3_vfs* vfs, int size, char* out) {
    return wrapped(vfs)->xRandomness(wrapped(vfs), size, out);
}
int vfsSleep(sqlite3_vfs* vfs, int microseconds) {
    return wrapped(vfs)->xSleep(wrapped(vfs), microseconds);
}
int vfsCurrentTime(sqlite3_vfs* vfs, double* out) {
    return wrapped(vfs)->xCurrentTime(wrapped(vfs), out);
}
int vfsGetLastError(sqlite3_vfs* vfs, int size, char* out) {
    return wrapped(vfs)->xGetLastError(wrapped(vfs), size, out);
}
int vfsCurrentTimeInt64(sqlite3_vfs* vfs, sqlite3_int64* out) {
    return wrapped(vfs)->xCurrentTimeInt64(wrapped(vfs), out);
}

}  // namespace

const char* name() {
    static sqlite3_vfs vfs;
    static std::once_flag once;
    std::call_once(once, [] {
        sqlite3_vfs* base = sqlite3_vfs_find(nullptr);
        vfs = sqlite3_vfs{};
        vfs.iVersion = 2;
        vfs.szOsFile = int(sizeof(File)) + base->szOsFile;
        vfs.mxPathname = base->mxPathname;
        vfs.zName = "qd_fault";
        vfs.pAppData = base;
        vfs.xOpen = vfsOpen;
        vfs.xDelete = vfsDelete;
        vfs.xAccess = vfsAccess;
        vfs.xFullPathname = vfsFullPathname;
        vfs.xDlOpen = vfsDlOpen;
        vfs.xDlError = vfsDlError;
        vfs.xDlSym = vfsDlSym;
        vfs.xDlClose = vfsDlClose;
        vfs.xRandomness = vfsRandomness;
        vfs.xSleep = vfsSleep;
        vfs.xCurrentTime = vfsCurrentTime;
        vfs.xGetLastError = vfsGetLastError;
        vfs.xCurrentTimeInt64 = vfsCurrentTimeInt64;
        sqlite3_vfs_register(&vfs, 0);
    });
    return vfs.zName;
}

void arm(Step step, qint64 n, Fault fault, bool sticky) {
    State& s = state();
    s.armed = false;
    s.step = step;
    s.fault = fault;
    s.sticky = sticky;
    s.fired = false;
    s.countdown = n;
    s.armed = true;
}

void disarm() {
    state().armed = false;
}

bool fired() {
    return state().fired;
}

qint64 count(Step step) {
    return state().counts[int(step)].load(std::memory_order_relaxed);
}

void resetCounts() {
    for (auto& c : state().counts)
        c = 0;
}

}  // namespace Qd::Core::Db::FaultVfs
