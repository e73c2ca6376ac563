#include "support/failing_vfs.h"

#include <sqlite3.h>

#include <atomic>
#include <cstring>
#include <mutex>

namespace vt::testing {
namespace {

std::mutex filterMutex;
std::string pathFilter;
std::atomic<bool> failAll{false};
std::atomic<int> failTransactions{0};
std::atomic<int> refused{0};

sqlite3_vfs* realVfs = nullptr;
sqlite3_vfs shimVfs;

struct ShimFile {
    sqlite3_file base;
    sqlite3_file* real;  // follows this struct in the same allocation
    bool matches;        // the path passes the filter
    bool doomed;         // a journal of a transaction that is to fail
};

ShimFile* Shim(sqlite3_file* f) {
    return reinterpret_cast<ShimFile*>(f);
}

bool MatchesFilter(const char* path) {
    std::lock_guard<std::mutex> lock(filterMutex);
    return pathFilter.empty() || (path && std::strstr(path, pathFilter.c_str()));
}

bool Refuse(sqlite3_file* f) {
    ShimFile* s = Shim(f);
    if (s->doomed || (s->matches && failAll.load())) {
        ++refused;
        return true;
    }
    return false;
}

int Close(sqlite3_file* f) {
    return Shim(f)->real->pMethods->xClose(Shim(f)->real);
}
int Read(sqlite3_file* f, void* buf, int n, sqlite3_int64 off) {
    return Shim(f)->real->pMethods->xRead(Shim(f)->real, buf, n, off);
}
int Write(sqlite3_file* f, const void* buf, int n, sqlite3_int64 off) {
    if (Refuse(f))
        return SQLITE_FULL;
    return Shim(f)->real->pMethods->xWrite(Shim(f)->real, buf, n, off);
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) {
    if (Refuse(f))
        return SQLITE_FULL;
    return Shim(f)->real->pMethods->xTruncate(Shim(f)->real, size);
}
int Sync(sqlite3_file* f, int flags) {
    if (Refuse(f))
        return SQLITE_FULL;
    return Shim(f)->real->pMethods->xSync(Shim(f)->real, flags);
}
int FileSize(sqlite3_file* f, sqlite3_int64* size) {
    return Shim(f)->real->pMethods->xFileSize(Shim(f)->real, size);
}
int Lock(sqlite3_file* f, int level) {
    return Shim(f)->real->pMethods->xLock(Shim(f)->real, level);
}
int Unlock(sqlite3_file* f, int level) {
    return Shim(f)->real->pMethods->xUnlock(Shim(f)->real, level);
}
int CheckReservedLock(sqlite3_file* f, int* out) {
    return Shim(f)->real->pMethods->xCheckReservedLock(Shim(f)->real, out);
}
int FileControl(sqlite3_file* f, int op, void* arg) {
    return Shim(f)->real->pMethods->xFileControl(Shim(f)->real, op, arg);
}
int SectorSize(sqlite3_file* f) {
    return Shim(f)->real->pMethods->xSectorSize(Shim(f)->real);
}
int DeviceCharacteristics(sqlite3_file* f) {
    return Shim(f)->real->pMethods->xDeviceCharacteristics(Shim(f)->real);
}
int ShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
    return Shim(f)->real->pMethods->xShmMap(Shim(f)->real, region, size, extend, out);
}
int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
    return Shim(f)->real->pMethods->xShmLock(Shim(f)->real, offset, n, flags);
}
void ShmBarrier(sqlite3_file* f) {
    Shim(f)->real->pMethods->xShmBarrier(Shim(f)->real);
}
int ShmUnmap(sqlite3_file* f, int deleteFlag) {
    return Shim(f)->real->pMethods->xShmUnmap(Shim(f)->real, deleteFlag);
}

// Memory-mapped reads are left out (version 2): every page goes through xRead.
const sqlite3_io_methods kMethods = {
    2,
    Close,
    Read,
    Write,
    Truncate,
    Sync,
    FileSize,
    Lock,
    Unlock,
    CheckReservedLock,
    FileControl,
    SectorSize,
    DeviceCharacteristics,
    ShmMap,
    ShmLock,
    ShmBarrier,
    ShmUnmap,
    nullptr,
    nullptr,
};

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
    ShimFile* s = Shim(f);
    s->real = reinterpret_cast<sqlite3_file*>(s + 1);
    s->matches = MatchesFilter(name);
    s->doomed = false;
    const int rc = realVfs->xOpen(realVfs, name, s->real, flags, outFlags);
    if (rc != SQLITE_OK || !s->real->pMethods) {
        if (s->real->pMethods)
            s->real->pMethods->xClose(s->real);
        f->pMethods = nullptr;
        return rc == SQLITE_OK ? SQLITE_CANTOPEN : rc;
    }
    if ((flags & SQLITE_OPEN_MAIN_JOURNAL) && s->matches) {
        int left = failTransactions.load();
        while (left > 0 && !failTransactions.compare_exchange_weak(left, left - 1)) {
        }
        s->doomed = left > 0;
    }
    f->pMethods = &kMethods;
    return SQLITE_OK;
}

int Delete(sqlite3_vfs*, const char* name, int syncDir) {
    return realVfs->xDelete(realVfs, name, syncDir);
}
int Access(sqlite3_vfs*, const char* name, int flags, int* out) {
    return realVfs->xAccess(realVfs, name, flags, out);
}
int FullPathname(sqlite3_vfs*, const char* name, int n, char* out) {
    return realVfs->xFullPathname(realVfs, name, n, out);
}
void* DlOpen(sqlite3_vfs*, const char* name) {
    return realVfs->xDlOpen(realVfs, name);
}
void DlError(sqlite3_vfs*, int n, char* out) {
    realVfs->xDlError(realVfs, n, out);
}
void (*DlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
    return realVfs->xDlSym(realVfs, handle, symbol);
}
void DlClose(sqlite3_vfs*, void* handle) {
    realVfs->xDlClose(realVfs, handle);
}
int Randomness(sqlite3_vfs*, int n, char* out) {
    return realVfs->xRandomness(realVfs, n, out);
}
int Sleep(sqlite3_vfs*, int micros) {
    return realVfs->xSleep(realVfs, micros);
}
int CurrentTime(sqlite3_vfs*, double* out) {
    return realVfs->xCurrentTime(realVfs, out);
}
int GetLastError(sqlite3_vfs*, int n, char* out) {
    return realVfs->xGetLastError ? realVfs->xGetLastError(realVfs, n, out) : 0;
}
int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
    return realVfs->xCurrentTimeInt64(realVfs, out);
}

}  // namespace

FailingVfs& FailingVfs::Install() {
    static FailingVfs instance;
    static std::once_flag once;
    std::call_once(once, [] {
        sqlite3_initialize();
        realVfs = sqlite3_vfs_find(nullptr);
        shimVfs = sqlite3_vfs{};
        shimVfs.iVersion = 2;
        shimVfs.szOsFile = static_cast<int>(sizeof(ShimFile)) + realVfs->szOsFile;
        shimVfs.mxPathname = realVfs->mxPathname;
        shimVfs.zName = "vt-failing";
        shimVfs.xOpen = Open;
        shimVfs.xDelete = Delete;
        shimVfs.xAccess = Access;
        shimVfs.xFullPathname = FullPathname;
        shimVfs.xDlOpen = DlOpen;
        shimVfs.xDlError = DlError;
        shimVfs.xDlSym = DlSym;
        shimVfs.xDlClose = DlClose;
        shimVfs.xRandomness = Randomness;
        shimVfs.xSleep = Sleep;
        shimVfs.xCurrentTime = CurrentTime;
        shimVfs.xGetLastError = GetLastError;
        shimVfs.xCurrentTimeInt64 = CurrentTimeInt64;
        sqlite3_vfs_register(&shimVfs, 1);
    });
    instance.Disarm();
    return instance;
}

void FailingVfs::SetPathFilter(const std::string& containing) {
    std::lock_guard<std::mutex> lock(filterMutex);
    pathFilter = containing;
}

void FailingVfs::FailAllWrites(bool on) {
    failAll = on;
}

void FailingVfs::FailNextTransactions(int n) {
    failTransactions = n;
}

void FailingVfs::Disarm() {
    failAll = false;
    failTransactions = 0;
    SetPathFilter({});
}

int FailingVfs::RefusedWrites() const {
    return refused.load();
}

}  // namespace vt::testing
