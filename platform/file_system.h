// The file services the system calls, on host paths (map handheld and desktop paths with
// roots.h first). Every call returns a Win32 error number: 0 on success, 2 when the file is
// missing, 3 when its folder is, 5 when access is refused, 183 when a folder already exists.
// FileSystemWrapper forwards every call to another, and FaultInjectingFileSystem builds on it to
// fail a chosen call so tests can see what a full disk or a failed rename leaves behind. The real
// one (POSIX) is in platform/linux; a program's main hands it to its contexts.
//
// Nothing written is known to be on the disk until File::Sync (and, for a file created or
// renamed, FileSystem::SyncFolder) has succeeded. ReplaceFile puts the steps of a safe save
// together; every save of a data file goes through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace quillet {

class File {
 public:
  virtual ~File() = default;
  // Reads up to size bytes at the current position; *read is what arrived (0 at the end).
  virtual LONG Read(void* buffer, std::size_t size, std::size_t* read) = 0;
  // Writes all bytes or fails; a failure may leave part of them written.
  virtual LONG Write(const void* buffer, std::size_t size) = 0;
  // whence: SEEK_SET, SEEK_CUR or SEEK_END.
  virtual LONG Seek(std::int64_t offset, int whence) = 0;
  virtual LONG Size(std::uint64_t* size) = 0;
  // Forces the bytes written so far onto the disk (fsync). Until it succeeds a power cut may
  // lose them, even after Close.
  virtual LONG Sync() = 0;
  // Closes the handle; later calls fail with 6. It only hands the file back: nothing is forced
  // onto the disk (that is Sync's job). The destructor closes too.
  virtual LONG Close() = 0;
};

enum class OpenMode {
  kRead,        // existing file, reading
  kReadWrite,   // existing file, reading and writing
  kCreate,      // create or truncate, writing
  kOpenAlways,  // open or create, reading and writing, not truncated
};

struct FoundFile {
  std::string name;  // name within the folder
  bool isFolder = false;
  std::uint64_t size = 0;
  std::int64_t lastWrite = 0;  // seconds since 1970 UTC
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual LONG Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) = 0;
  virtual LONG Delete(const std::string& path) = 0;
  // Replaces an existing target, as the callers' delete-then-rename would.
  virtual LONG Rename(const std::string& from, const std::string& to) = 0;
  // Creates one folder; 80 when it exists, 3 when its parent is missing.
  virtual LONG CreateFolder(const std::string& path) = 0;
  virtual LONG RemoveFolder(const std::string& path) = 0;
  // Entries of `folder` whose names match `pattern` ('*' and '?', case-insensitive), sorted by
  // name. 3 when the folder is missing.
  virtual LONG FindFiles(const std::string& folder, std::string_view pattern,
                         std::vector<FoundFile>* found) = 0;
  // Seconds since 1970 UTC of the last write.
  virtual LONG LastWriteTime(const std::string& path, std::int64_t* seconds) = 0;
  virtual bool Exists(const std::string& path) = 0;
  // Forces the folder's entries (files created, renamed or deleted in it) onto the disk; 3 when
  // the folder is missing.
  virtual LONG SyncFolder(const std::string& path) = 0;

  // The steps of ReplaceFile, to tell the caller where one failed.
  enum class ReplaceStep { kNone, kCreate, kWrite, kSync, kClose, kRename, kSyncFolder };
  // The temporary file of ReplaceFile is the target's name followed by this.
  static constexpr std::string_view kReplaceSuffix = ".tmp";
  // Replaces the file at `path` (created when missing) with `bytes`, so that whatever fails and
  // whenever the process or the power stops, the file holds the old bytes or the new ones:
  // writes `path` + ".tmp", syncs and closes it, renames it over `path` and syncs the folder.
  // A failure up to the rename removes the temporary file and leaves the old file byte for
  // byte. A failed folder sync comes after the rename: the new file is in place, but a power
  // cut may still bring the old one back, so it is reported as a failure too. *failedStep
  // (when given) says which step failed, kNone on success.
  LONG ReplaceFile(const std::string& path, std::string_view bytes,
                   ReplaceStep* failedStep = nullptr);

  // Creates every missing folder on the way to `path` (itself included).
  LONG CreateFolders(const std::string& path);
  // Reads or writes a whole file.
  LONG ReadAll(const std::string& path, std::string* bytes);
  LONG WriteAll(const std::string& path, std::string_view bytes);
};

// '*' and '?' matching without regard to ASCII case, as the original's FindFirstFile does.
bool MatchesPattern(std::string_view name, std::string_view pattern);

// The folder that holds `path`, as SyncFolder and CreateFolders take it: "/" for an entry of
// the top folder, "." for a bare name.
std::string FolderOf(std::string_view path);

// Forwards every call to the file system it wraps. Tests derive from it to change a few calls
// and keep the others as they are.
class FileSystemWrapper : public FileSystem {
 public:
  explicit FileSystemWrapper(FileSystem& target) : target_(target) {}
  FileSystem& target() const { return target_; }

  LONG Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
    return target_.Open(path, mode, file);
  }
  LONG Delete(const std::string& path) override { return target_.Delete(path); }
  LONG Rename(const std::string& from, const std::string& to) override {
    return target_.Rename(from, to);
  }
  LONG CreateFolder(const std::string& path) override { return target_.CreateFolder(path); }
  LONG RemoveFolder(const std::string& path) override { return target_.RemoveFolder(path); }
  LONG FindFiles(const std::string& folder, std::string_view pattern,
                 std::vector<FoundFile>* found) override {
    return target_.FindFiles(folder, pattern, found);
  }
  LONG LastWriteTime(const std::string& path, std::int64_t* seconds) override {
    return target_.LastWriteTime(path, seconds);
  }
  bool Exists(const std::string& path) override { return target_.Exists(path); }
  LONG SyncFolder(const std::string& path) override { return target_.SyncFolder(path); }

 private:
  FileSystem& target_;
};

// Fails chosen operations of the file system it wraps. A rule names the operation, a path
// suffix it applies to (empty: every path) and how many matching calls pass before the failure;
// a write rule may let some bytes through first, as a full disk would.
class FaultInjectingFileSystem final : public FileSystemWrapper {
 public:
  enum class Op {
    kCreate,
    kOpen,
    kWrite,
    kSync,
    kClose,
    kRename,
    kDelete,
    kCreateFolder,
    kSyncFolder
  };

  explicit FaultInjectingFileSystem(FileSystem& base) : FileSystemWrapper(base) {}

  // The (skip + 1)-th matching call fails with `error`; with `sticky` every later one too.
  void FailOn(Op op, std::string pathSuffix, int skip = 0, LONG error = ERROR_WRITE_FAULT,
              bool sticky = false);
  // A write to a file whose path ends in `pathSuffix` fails once `bytesAllowed` bytes of it have
  // been written (the bytes up to the limit reach the file).
  void FailWritesAfter(std::string pathSuffix, std::uint64_t bytesAllowed);
  // Fails the n-th (0-based, counted from now) operation of any kind, for stepped failure
  // sweeps; with `persistent` every operation after it fails too, as on a disk that died.
  // Counted are the opens and creates, the writes, syncs and closes of files opened through
  // this object, renames, deletes, folder creations and folder syncs.
  void FailNthOperation(int n, bool persistent = false);
  void Clear();
  int OperationCount() const { return operations_; }
  int FailuresInjected() const { return failures_; }

  LONG Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override;
  LONG Delete(const std::string& path) override;
  LONG Rename(const std::string& from, const std::string& to) override;
  LONG CreateFolder(const std::string& path) override;
  LONG SyncFolder(const std::string& path) override;

  // Called by wrapped files; public only for them.
  LONG CheckWrite(const std::string& path, std::uint64_t alreadyWritten, std::size_t size,
                  std::size_t* allowed);
  LONG CheckFileOp(Op op, const std::string& path) { return Check(op, path); }

 private:
  struct Rule {
    Op op;
    std::string suffix;
    int skip;
    LONG error;
    bool sticky;
    bool fired = false;
  };
  LONG Check(Op op, const std::string& path);

  std::vector<Rule> rules_;
  std::vector<std::pair<std::string, std::uint64_t>> writeLimits_;
  int failNth_ = -1;
  bool failPersistent_ = false;
  int operations_ = 0;
  int failures_ = 0;
};

}  // namespace quillet
