#include "ImportFaultVfs.h"

#include <sqlite3.h>

#include <atomic>
#include <stdexcept>

namespace orv::test::faultVfs {

namespace {

sqlite3_vfs* gReal = nullptr;
sqlite3_vfs gVfs;
std::atomic<int> gWritesLeft{-1}; // -1: not armed

struct File {
    sqlite3_file base;
    sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

File* self(sqlite3_file* f) {
    return reinterpret_cast<File*>(f);
}

int xClose(sqlite3_file* f) {
    return self(f)->real()->pMethods->xClose(self(f)->real());
}
int xRead(sqlite3_file* f, void* out, int n, sqlite3_int64 at) {
    return self(f)->real()->pMethods->xRead(self(f)->real(), out, n, at);
}
int xWrite(sqlite3_file* f, const void* in, int n, sqlite3_int64 at) {
    int left = gWritesLeft.load();
    while (left >= 0) {
        if (left == 0)
            return SQLITE_FULL;
        if (gWritesLeft.compare_exchange_weak(left, left - 1))
            break;
    }
    return self(f)->real()->pMethods->xWrite(self(f)->real(), in, n, at);
}
int xTruncate(sqlite3_file* f, sqlite3_int64 size) {
    return self(f)->real()->pMethods->xTruncate(self(f)->real(), size);
}
int xSync(sqlite3_file* f, int flags) {
    return self(f)->real()->pMethods->xSync(self(f)->real(), flags);
}
int xFileSize(sqlite3_file* f, sqlite3_int64* size) {
    return self(f)->real()->pMethods->xFileSize(self(f)->real(), size);
}
int xLock(sqlite3_file* f, int level) {
    return self(f)->real()->pMethods->xLock(self(f)->real(), level);
}
int xUnlock(sqlite3_file* f, int level) {
    return self(f)->real()->pMethods->xUnlock(self(f)->real(), level);
}
int xCheckReservedLock(sqlite3_file* f, int* out) {
    return self(f)->real()->pMethods->xCheckReservedLock(self(f)->real(), out);
}
int xFileControl(sqlite3_file* f, int op, void* arg) {
    return self(f)->real()->pMethods->xFileControl(self(f)->real(), op, arg);
}
int xSectorSize(sqlite3_file* f) {
    return self(f)->real()->pMethods->xSectorSize(self(f)->real());
}
int xDeviceCharacteristics(sqlite3_file* f) {
    return self(f)->real()->pMethods->xDeviceCharacteristics(self(f)->real());
}
int xShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
    return self(f)->real()->pMethods->xShmMap(self(f)->real(), region, size, extend, out);
}
int xShmLock(sqlite3_file* f, int offset, int n, int flags) {
    return self(f)->real()->pMethods->xShmLock(self(f)->real(), offset, n, flags);
}
void xShmBarrier(sqlite3_file* f) {
    self(f)->real()->pMethods->xShmBarrier(self(f)->real());
}
int xShmUnmap(sqlite3_file* f, int deleteFlag) {
    return self(f)->real()->pMethods->xShmUnmap(self(f)->real(), deleteFlag);
}
int xFetch(sqlite3_file* f, sqlite3_int64 at, int n, void** out) {
    return self(f)->real()->pMethods->xFetch(self(f)->real(), at, n, out);
}
int xUnfetch(sqlite3_file* f, sqlite3_int64 at, void* p) {
    return self(f)->real()->pMethods->xUnfetch(self(f)->real(), at, p);
}

const sqlite3_io_methods kMethods = {3,
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

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
    File* file = self(f);
    file->base.pMethods = nullptr;
    const int rc = gReal->xOpen(gReal, name, file->real(), flags, outFlags);
    if (rc == SQLITE_OK && file->real()->pMethods)
        file->base.pMethods = &kMethods;
    return rc;
}

} // namespace

void install() {
    if (!gReal) {
        gReal = sqlite3_vfs_find(nullptr);
        if (!gReal)
            throw std::runtime_error("no default SQLite file system");
        gVfs = *gReal;
        gVfs.zName = "orv-import-fault";
        gVfs.szOsFile = static_cast<int>(sizeof(File)) + gReal->szOsFile;
        gVfs.xOpen = xOpen;
        gVfs.pNext = nullptr;
    }
    gWritesLeft = -1;
    sqlite3_vfs_register(&gVfs, 1);
}

void armDiskFull(int writes) {
    gWritesLeft = writes;
}

void reset() {
    gWritesLeft = -1;
    if (gReal) {
        sqlite3_vfs_unregister(&gVfs);
        sqlite3_vfs_register(gReal, 1);
    }
}

} // namespace orv::test::faultVfs
