#include "platform/testing/sqlite_fault_vfs.h"

#include <cstdint>
#include <stdexcept>

namespace quillet::testing {
namespace {

// A file opened through the shim: SQLite's file header, the shim it belongs to, and the
// default VFS's own file right behind it (szOsFile makes room for both).
struct ShimFile {
  sqlite3_file base;
  SqliteFaultVfs* shim;
  sqlite3_file* real;
};

constexpr int kShimFileSize = (sizeof(ShimFile) + 7) & ~7;

SqliteFaultVfs* Shim(sqlite3_vfs* vfs) { return static_cast<SqliteFaultVfs*>(vfs->pAppData); }
sqlite3_vfs* Base(sqlite3_vfs* vfs) { return Shim(vfs)->base(); }
ShimFile* Of(sqlite3_file* f) { return reinterpret_cast<ShimFile*>(f); }
sqlite3_file* Real(sqlite3_file* f) { return Of(f)->real; }
const sqlite3_io_methods* RealMethods(sqlite3_file* f) { return Real(f)->pMethods; }

// Each of the counted calls fails with the error SQLite expects of that call.
int Read(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
  if (Of(f)->shim->NextOperationFails()) return SQLITE_IOERR_READ;
  return RealMethods(f)->xRead(Real(f), buffer, amount, offset);
}

int Write(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
  if (Of(f)->shim->NextOperationFails()) return SQLITE_IOERR_WRITE;
  return RealMethods(f)->xWrite(Real(f), buffer, amount, offset);
}

int Truncate(sqlite3_file* f, sqlite3_int64 size) {
  if (Of(f)->shim->NextOperationFails()) return SQLITE_IOERR_TRUNCATE;
  return RealMethods(f)->xTruncate(Real(f), size);
}

int Sync(sqlite3_file* f, int flags) {
  if (Of(f)->shim->NextOperationFails()) return SQLITE_IOERR_FSYNC;
  return RealMethods(f)->xSync(Real(f), flags);
}

const sqlite3_io_methods kMethods = {
    3,  // iVersion: with the shared-memory and memory-map calls WAL mode needs
    [](sqlite3_file* f) {
      int rc = RealMethods(f)->xClose(Real(f));
      f->pMethods = nullptr;
      return rc;
    },
    Read,
    Write,
    Truncate,
    Sync,
    [](sqlite3_file* f, sqlite3_int64* size) { return RealMethods(f)->xFileSize(Real(f), size); },
    [](sqlite3_file* f, int lock) { return RealMethods(f)->xLock(Real(f), lock); },
    [](sqlite3_file* f, int lock) { return RealMethods(f)->xUnlock(Real(f), lock); },
    [](sqlite3_file* f, int* out) { return RealMethods(f)->xCheckReservedLock(Real(f), out); },
    [](sqlite3_file* f, int op, void* arg) {
      return RealMethods(f)->xFileControl(Real(f), op, arg);
    },
    [](sqlite3_file* f) { return RealMethods(f)->xSectorSize(Real(f)); },
    [](sqlite3_file* f) { return RealMethods(f)->xDeviceCharacteristics(Real(f)); },
    [](sqlite3_file* f, int page, int size, int extend, void volatile** p) {
      if (RealMethods(f)->iVersion < 2) return SQLITE_IOERR_SHMMAP;
      return RealMethods(f)->xShmMap(Real(f), page, size, extend, p);
    },
    [](sqlite3_file* f, int offset, int n, int flags) {
      if (RealMethods(f)->iVersion < 2) return SQLITE_IOERR_SHMLOCK;
      return RealMethods(f)->xShmLock(Real(f), offset, n, flags);
    },
    [](sqlite3_file* f) {
      if (RealMethods(f)->iVersion >= 2) RealMethods(f)->xShmBarrier(Real(f));
    },
    [](sqlite3_file* f, int deleteFlag) {
      if (RealMethods(f)->iVersion < 2) return SQLITE_OK;
      return RealMethods(f)->xShmUnmap(Real(f), deleteFlag);
    },
    [](sqlite3_file* f, sqlite3_int64 offset, int amount, void** p) {
      *p = nullptr;
      if (RealMethods(f)->iVersion < 3) return SQLITE_OK;
      return RealMethods(f)->xFetch(Real(f), offset, amount, p);
    },
    [](sqlite3_file* f, sqlite3_int64 offset, void* p) {
      if (RealMethods(f)->iVersion < 3) return SQLITE_OK;
      return RealMethods(f)->xUnfetch(Real(f), offset, p);
    },
};

int Open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags) {
  ShimFile* f = Of(file);
  f->base.pMethods = nullptr;
  f->shim = Shim(vfs);
  f->real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(file) + kShimFileSize);
  int rc = Base(vfs)->xOpen(Base(vfs), name, f->real, flags, outFlags);
  // SQLite closes a file whose open failed only through the methods it finds set.
  if (rc == SQLITE_OK) f->base.pMethods = &kMethods;
  return rc;
}

}  // namespace

SqliteFaultVfs::SqliteFaultVfs() : base_(sqlite3_vfs_find(nullptr)) {
  if (!base_) throw std::runtime_error("no default SQLite VFS");
  name_ = "quillet-faults-" + std::to_string(reinterpret_cast<std::uintptr_t>(this));
  vfs_.iVersion = base_->iVersion < 3 ? base_->iVersion : 3;
  vfs_.szOsFile = kShimFileSize + base_->szOsFile;
  vfs_.mxPathname = base_->mxPathname;
  vfs_.zName = name_.c_str();
  vfs_.pAppData = this;
  vfs_.xOpen = Open;
  vfs_.xDelete = [](sqlite3_vfs* v, const char* name, int syncDir) {
    return Base(v)->xDelete(Base(v), name, syncDir);
  };
  vfs_.xAccess = [](sqlite3_vfs* v, const char* name, int flags, int* out) {
    return Base(v)->xAccess(Base(v), name, flags, out);
  };
  vfs_.xFullPathname = [](sqlite3_vfs* v, const char* name, int n, char* out) {
    return Base(v)->xFullPathname(Base(v), name, n, out);
  };
  vfs_.xDlOpen = [](sqlite3_vfs* v, const char* name) { return Base(v)->xDlOpen(Base(v), name); };
  vfs_.xDlError = [](sqlite3_vfs* v, int n, char* out) { Base(v)->xDlError(Base(v), n, out); };
  vfs_.xDlSym = [](sqlite3_vfs* v, void* handle, const char* symbol) -> void (*)(void) {
    return Base(v)->xDlSym(Base(v), handle, symbol);
  };
  vfs_.xDlClose = [](sqlite3_vfs* v, void* handle) { Base(v)->xDlClose(Base(v), handle); };
  vfs_.xRandomness = [](sqlite3_vfs* v, int n, char* out) {
    return Base(v)->xRandomness(Base(v), n, out);
  };
  vfs_.xSleep = [](sqlite3_vfs* v, int micro) { return Base(v)->xSleep(Base(v), micro); };
  vfs_.xCurrentTime = [](sqlite3_vfs* v, double* now) {
    return Base(v)->xCurrentTime(Base(v), now);
  };
  vfs_.xGetLastError = [](sqlite3_vfs* v, int n, char* out) {
    return Base(v)->xGetLastError(Base(v), n, out);
  };
  vfs_.xCurrentTimeInt64 = [](sqlite3_vfs* v, sqlite3_int64* now) {
    return Base(v)->xCurrentTimeInt64(Base(v), now);
  };
  vfs_.xSetSystemCall = [](sqlite3_vfs* v, const char* name, sqlite3_syscall_ptr call) {
    return Base(v)->xSetSystemCall(Base(v), name, call);
  };
  vfs_.xGetSystemCall = [](sqlite3_vfs* v, const char* name) {
    return Base(v)->xGetSystemCall(Base(v), name);
  };
  vfs_.xNextSystemCall = [](sqlite3_vfs* v, const char* name) {
    return Base(v)->xNextSystemCall(Base(v), name);
  };
  if (sqlite3_vfs_register(&vfs_, /*makeDflt=*/0) != SQLITE_OK) {
    throw std::runtime_error("cannot register the SQLite fault VFS");
  }
}

SqliteFaultVfs::~SqliteFaultVfs() { sqlite3_vfs_unregister(&vfs_); }

void SqliteFaultVfs::FailFrom(int n, bool persistent) {
  operations_ = 0;
  failures_ = 0;
  persistent_ = persistent;
  failFrom_ = n;
}

void SqliteFaultVfs::StopFailing() {
  failFrom_ = -1;
  operations_ = 0;
}

bool SqliteFaultVfs::NextOperationFails() {
  int index = operations_++;
  int from = failFrom_;
  if (from < 0 || index < from || (index > from && !persistent_)) return false;
  ++failures_;
  return true;
}

std::function<bool()> ThenCheckpoint(std::function<bool()> save, sqlite3* db) {
  return [save = std::move(save), db] {
    const bool saved = save();
    return sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr) ==
               SQLITE_OK &&
           saved;
  };
}

}  // namespace quillet::testing
