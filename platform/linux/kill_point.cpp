#include "platform/linux/kill_point.h"

#include <signal.h>
#include <unistd.h>

namespace quillet {

void WriteKillPoint::BeforeWrite() {
  const std::int64_t n = ++count_;
  if (at_ > 0 && n == at_) {
    // A real crash: no destructor, no flush, no handler runs after this.
    ::kill(::getpid(), SIGKILL);
    for (;;) ::pause();
  }
}

namespace {

// A file opened for writing: every call that changes it is a write.
class KillPointFile final : public File {
 public:
  KillPointFile(std::unique_ptr<File> file, WriteKillPoint& point)
      : file_(std::move(file)), point_(point) {}
  LONG Read(void* buffer, std::size_t size, std::size_t* read) override {
    return file_->Read(buffer, size, read);
  }
  LONG Write(const void* buffer, std::size_t size) override {
    point_.BeforeWrite();
    return file_->Write(buffer, size);
  }
  LONG Seek(std::int64_t offset, int whence) override { return file_->Seek(offset, whence); }
  LONG Size(std::uint64_t* size) override { return file_->Size(size); }
  LONG Sync() override {
    point_.BeforeWrite();
    return file_->Sync();
  }
  LONG Close() override {
    point_.BeforeWrite();
    return file_->Close();
  }

 private:
  std::unique_ptr<File> file_;
  WriteKillPoint& point_;
};

}  // namespace

LONG KillPointFileSystem::Open(const std::string& path, OpenMode mode,
                               std::unique_ptr<File>* file) {
  if (mode == OpenMode::kRead) return FileSystemWrapper::Open(path, mode, file);
  point_.BeforeWrite();
  std::unique_ptr<File> opened;
  LONG rc = FileSystemWrapper::Open(path, mode, &opened);
  if (rc == ERROR_SUCCESS) *file = std::make_unique<KillPointFile>(std::move(opened), point_);
  return rc;
}

LONG KillPointFileSystem::Delete(const std::string& path) {
  point_.BeforeWrite();
  return FileSystemWrapper::Delete(path);
}

LONG KillPointFileSystem::Rename(const std::string& from, const std::string& to) {
  point_.BeforeWrite();
  return FileSystemWrapper::Rename(from, to);
}

LONG KillPointFileSystem::CreateFolder(const std::string& path) {
  point_.BeforeWrite();
  return FileSystemWrapper::CreateFolder(path);
}

LONG KillPointFileSystem::RemoveFolder(const std::string& path) {
  point_.BeforeWrite();
  return FileSystemWrapper::RemoveFolder(path);
}

LONG KillPointFileSystem::SyncFolder(const std::string& path) {
  point_.BeforeWrite();
  return FileSystemWrapper::SyncFolder(path);
}

namespace {

// A file opened through the VFS: SQLite's file header, the VFS it belongs to, and the default
// VFS's own file right behind it (szOsFile makes room for both).
struct ShimFile {
  sqlite3_file base;
  KillPointSqliteVfs* shim;
  sqlite3_file* real;
};

constexpr int kShimFileSize = (sizeof(ShimFile) + 7) & ~7;

KillPointSqliteVfs* Shim(sqlite3_vfs* vfs) {
  return static_cast<KillPointSqliteVfs*>(vfs->pAppData);
}
sqlite3_vfs* Base(sqlite3_vfs* vfs) { return Shim(vfs)->base(); }
ShimFile* Of(sqlite3_file* f) { return reinterpret_cast<ShimFile*>(f); }
sqlite3_file* Real(sqlite3_file* f) { return Of(f)->real; }
const sqlite3_io_methods* RealMethods(sqlite3_file* f) { return Real(f)->pMethods; }

const sqlite3_io_methods kMethods = {
    3,  // iVersion: with the shared-memory and memory-map calls WAL mode needs
    [](sqlite3_file* f) {
      int rc = RealMethods(f)->xClose(Real(f));
      f->pMethods = nullptr;
      return rc;
    },
    [](sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
      return RealMethods(f)->xRead(Real(f), buffer, amount, offset);
    },
    [](sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
      Of(f)->shim->point().BeforeWrite();
      return RealMethods(f)->xWrite(Real(f), buffer, amount, offset);
    },
    [](sqlite3_file* f, sqlite3_int64 size) {
      Of(f)->shim->point().BeforeWrite();
      return RealMethods(f)->xTruncate(Real(f), size);
    },
    [](sqlite3_file* f, int flags) {
      Of(f)->shim->point().BeforeWrite();
      return RealMethods(f)->xSync(Real(f), flags);
    },
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

KillPointSqliteVfs::KillPointSqliteVfs(WriteKillPoint& point)
    : point_(point), base_(sqlite3_vfs_find(nullptr)) {
  if (!base_) return;
  name_ = "quillet-kill-point-" + std::to_string(reinterpret_cast<std::uintptr_t>(this));
  vfs_.iVersion = base_->iVersion < 3 ? base_->iVersion : 3;
  vfs_.szOsFile = kShimFileSize + base_->szOsFile;
  vfs_.mxPathname = base_->mxPathname;
  vfs_.zName = name_.c_str();
  vfs_.pAppData = this;
  vfs_.xOpen = Open;
  vfs_.xDelete = [](sqlite3_vfs* v, const char* name, int syncDir) {
    // Removing a journal is how a rollback-journal commit ends: a write too.
    Shim(v)->point().BeforeWrite();
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
  // Without the registration the databases go through the default VFS, uncounted.
  if (sqlite3_vfs_register(&vfs_, /*makeDflt=*/0) != SQLITE_OK) name_.clear();
}

KillPointSqliteVfs::~KillPointSqliteVfs() {
  if (!name_.empty()) sqlite3_vfs_unregister(&vfs_);
}

}  // namespace quillet
