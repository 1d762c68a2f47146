#include "FaultVfs.h"

#include <sqlite3.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

namespace orv::test {

namespace {

enum class Fault { None, Write, Sync, Full, ReadOnlyFolder };

struct State {
    std::mutex mutex;
    Fault fault = Fault::None;
    int allowed = 0;
    std::string pathPart;
    int writes = 0;
    int syncs = 0;
    bool fired = false;
};

State& state() {
    static State s;
    return s;
}

sqlite3_vfs* gReal = nullptr;
sqlite3_vfs gShim;
bool gInstalled = false;

// The shim's file comes first; the real layer's file follows it in the same allocation.
struct ShimFile {
    sqlite3_file base;
    sqlite3_file* real;
    std::string path;
};

// Counts a write or a sync; returns the error to give instead, or SQLITE_OK.
int check(const ShimFile* f, bool isWrite) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.pathPart.empty() && f->path.find(s.pathPart) == std::string::npos)
        return SQLITE_OK;
    int& seen = isWrite ? s.writes : s.syncs;
    ++seen;
    const bool mine =
        isWrite ? (s.fault == Fault::Write || s.fault == Fault::Full) : s.fault == Fault::Sync;
    if (!mine || seen <= s.allowed)
        return SQLITE_OK;
    s.fired = true;
    switch (s.fault) {
    case Fault::Write:
        return SQLITE_IOERR_WRITE;
    case Fault::Sync:
        return SQLITE_IOERR_FSYNC;
    case Fault::Full:
        return SQLITE_FULL;
    case Fault::None:
    case Fault::ReadOnlyFolder:
        break;
    }
    return SQLITE_OK;
}

sqlite3_file* real(sqlite3_file* f) {
    return reinterpret_cast<ShimFile*>(f)->real;
}

int xClose(sqlite3_file* f) {
    auto* shim = reinterpret_cast<ShimFile*>(f);
    const int rc = shim->real->pMethods ? shim->real->pMethods->xClose(shim->real) : SQLITE_OK;
    shim->path.~basic_string();
    return rc;
}
int xRead(sqlite3_file* f, void* buf, int amount, sqlite3_int64 offset) {
    return real(f)->pMethods->xRead(real(f), buf, amount, offset);
}
int xWrite(sqlite3_file* f, const void* buf, int amount, sqlite3_int64 offset) {
    if (const int rc = check(reinterpret_cast<ShimFile*>(f), true); rc != SQLITE_OK)
        return rc;
    return real(f)->pMethods->xWrite(real(f), buf, amount, offset);
}
int xTruncate(sqlite3_file* f, sqlite3_int64 size) {
    return real(f)->pMethods->xTruncate(real(f), size);
}
int xSync(sqlite3_file* f, int flags) {
    if (const int rc = check(reinterpret_cast<ShimFile*>(f), false); rc != SQLITE_OK)
        return rc;
    return real(f)->pMethods->xSync(real(f), flags);
}
int xFileSize(sqlite3_file* f, sqlite3_int64* size) {
    return real(f)->pMethods->xFileSize(real(f), size);
}
int xLock(sqlite3_file* f, int level) {
    return real(f)->pMethods->xLock(real(f), level);
}
int xUnlock(sqlite3_file* f, int level) {
    return real(f)->pMethods->xUnlock(real(f), level);
}
int xCheckReservedLock(sqlite3_file* f, int* out) {
    return real(f)->pMethods->xCheckReservedLock(real(f), out);
}
int xFileControl(sqlite3_file* f, int op, void* arg) {
    return real(f)->pMethods->xFileControl(real(f), op, arg);
}
int xSectorSize(sqlite3_file* f) {
    return real(f)->pMethods->xSectorSize(real(f));
}
int xDeviceCharacteristics(sqlite3_file* f) {
    return real(f)->pMethods->xDeviceCharacteristics(real(f));
}
int xShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
    return real(f)->pMethods->xShmMap(real(f), region, size, extend, out);
}
int xShmLock(sqlite3_file* f, int offset, int n, int flags) {
    return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
}
void xShmBarrier(sqlite3_file* f) {
    real(f)->pMethods->xShmBarrier(real(f));
}
int xShmUnmap(sqlite3_file* f, int deleteFlag) {
    return real(f)->pMethods->xShmUnmap(real(f), deleteFlag);
}
int xFetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** out) {
    return real(f)->pMethods->xFetch(real(f), offset, amount, out);
}
int xUnfetch(sqlite3_file* f, sqlite3_int64 offset, void* p) {
    return real(f)->pMethods->xUnfetch(real(f), offset, p);
}

// Version 3 methods, for files whose real methods are version 3; older ones get a copy
// with the version lowered, so the engine never calls what the real layer lacks.
const sqlite3_io_methods kMethods3 = {3,
                                      xClose,
                                      xRead,
                                      xWrite,
                                      xTruncate,
                                      xSync,
                                      xFileSize,
                                      xLock,
                                      xUnlock,
                                      xCheckReservedLock,
                                      xFileControl,
                                      xSectorSize,
                                      xDeviceCharacteristics,
                                      xShmMap,
                                      xShmLock,
                                      xShmBarrier,
                                      xShmUnmap,
                                      xFetch,
                                      xUnfetch};
const sqlite3_io_methods kMethods2 = [] {
    sqlite3_io_methods m = kMethods3;
    m.iVersion = 2;
    return m;
}();
const sqlite3_io_methods kMethods1 = [] {
    sqlite3_io_methods m = kMethods3;
    m.iVersion = 1;
    return m;
}();

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    auto* shim = reinterpret_cast<ShimFile*>(file);
    shim->base.pMethods = nullptr;
    if (flags & SQLITE_OPEN_MAIN_JOURNAL) {
        State& s = state();
        std::lock_guard<std::mutex> lock(s.mutex);
        // What the engine's own layer says when a folder refuses a new file.
        if (s.fault == Fault::ReadOnlyFolder && name &&
            std::string(name).find(s.pathPart) != std::string::npos) {
            s.fired = true;
            return SQLITE_READONLY_DIRECTORY;
        }
    }
    shim->real = reinterpret_cast<sqlite3_file*>(shim + 1);
    std::memset(shim->real, 0, static_cast<size_t>(gReal->szOsFile));
    const int rc = gReal->xOpen(gReal, name, shim->real, flags, outFlags);
    if (rc != SQLITE_OK || !shim->real->pMethods) {
        // The engine never closes a file whose open failed; the real layer closed its own.
        return rc;
    }
    new (&shim->path) std::string(name ? name : "");
    switch (shim->real->pMethods->iVersion) {
    case 1:
        shim->base.pMethods = &kMethods1;
        break;
    case 2:
        shim->base.pMethods = &kMethods2;
        break;
    default:
        shim->base.pMethods = &kMethods3;
        break;
    }
    return rc;
}

int xDelete(sqlite3_vfs*, const char* name, int syncDir) {
    return gReal->xDelete(gReal, name, syncDir);
}
int xAccess(sqlite3_vfs*, const char* name, int flags, int* out) {
    return gReal->xAccess(gReal, name, flags, out);
}
int xFullPathname(sqlite3_vfs*, const char* name, int n, char* out) {
    return gReal->xFullPathname(gReal, name, n, out);
}
void* xDlOpen(sqlite3_vfs*, const char* name) {
    return gReal->xDlOpen(gReal, name);
}
void xDlError(sqlite3_vfs*, int n, char* out) {
    gReal->xDlError(gReal, n, out);
}
void (*xDlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
    return gReal->xDlSym(gReal, handle, symbol);
}
void xDlClose(sqlite3_vfs*, void* handle) {
    gReal->xDlClose(gReal, handle);
}
int xRandomness(sqlite3_vfs*, int n, char* out) {
    return gReal->xRandomness(gReal, n, out);
}
int xSleep(sqlite3_vfs*, int micro) {
    return gReal->xSleep(gReal, micro);
}
int xCurrentTime(sqlite3_vfs*, double* out) {
    return gReal->xCurrentTime(gReal, out);
}
int xGetLastError(sqlite3_vfs*, int n, char* out) {
    return gReal->xGetLastError ? gReal->xGetLastError(gReal, n, out) : 0;
}
int xCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
    return gReal->xCurrentTimeInt64(gReal, out);
}

void arm(Fault fault, int n, const QString& pathPart) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.fault = fault;
    s.allowed = n;
    s.pathPart = pathPart.toStdString();
    s.writes = 0;
    s.syncs = 0;
    s.fired = false;
}

} // namespace

void FaultVfs::install() {
    if (gInstalled) {
        sqlite3_vfs_register(&gShim, 1);
        return;
    }
    sqlite3_initialize();
    gReal = sqlite3_vfs_find(nullptr);
    gShim = sqlite3_vfs{};
    // Version 2 of the layer: the real one's first versions plus its 64-bit clock.
    gShim.iVersion = 2;
    gShim.szOsFile = static_cast<int>(sizeof(ShimFile)) + gReal->szOsFile;
    gShim.mxPathname = gReal->mxPathname;
    gShim.zName = "orv-fault";
    gShim.xOpen = xOpen;
    gShim.xDelete = xDelete;
    gShim.xAccess = xAccess;
    gShim.xFullPathname = xFullPathname;
    gShim.xDlOpen = xDlOpen;
    gShim.xDlError = xDlError;
    gShim.xDlSym = xDlSym;
    gShim.xDlClose = xDlClose;
    gShim.xRandomness = xRandomness;
    gShim.xSleep = xSleep;
    gShim.xCurrentTime = xCurrentTime;
    gShim.xGetLastError = xGetLastError;
    gShim.xCurrentTimeInt64 = xCurrentTimeInt64;
    sqlite3_vfs_register(&gShim, 1);
    gInstalled = true;
}

void FaultVfs::uninstall() {
    reset();
    if (gInstalled)
        sqlite3_vfs_register(gReal, 1);
}

void FaultVfs::armWriteFailure(int n, const QString& pathPart) {
    arm(Fault::Write, n, pathPart);
}

void FaultVfs::armSyncFailure(int n, const QString& pathPart) {
    arm(Fault::Sync, n, pathPart);
}

void FaultVfs::armDiskFull(int n, const QString& pathPart) {
    arm(Fault::Full, n, pathPart);
}

void FaultVfs::armReadOnlyFolder(const QString& pathPart) {
    arm(Fault::ReadOnlyFolder, 0, pathPart);
}

void FaultVfs::reset() {
    arm(Fault::None, 0, {});
}

bool FaultVfs::fired() {
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().fired;
}

int FaultVfs::writes() {
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().writes;
}

int FaultVfs::syncs() {
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().syncs;
}

} // namespace orv::test
