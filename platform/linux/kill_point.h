// The kill point of the kill tests: a program started with QUILLET_KILL_AT_WRITE=N kills
// itself with SIGKILL just before its N-th write to storage, so a test can stop a save at a
// chosen, reproducible place and check what a real crash there leaves behind. Counted are the
// writes to files (creating or opening a file for writing, each write, sync and close of such a
// file, renames, deletes, folder creations, removals and syncs) and the writes of the root
// databases (each write, truncate and sync SQLite makes to a database, its journal or its log).
// With N = 0 nothing is killed and the count is printed on the error output when the services
// end: "quillet: N writes to storage", which tells a test how many points a save has.
//
// Production never sets the variable; HostServices installs these wrappers only when it is set,
// and they live as long as the HostServices that owns them.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_system.h"

namespace quillet {

class WriteKillPoint {
 public:
  // Kills before the `at`-th write (1-based); 0 only counts.
  explicit WriteKillPoint(std::int64_t at) : at_(at) {}
  // Called before every write; does not return when this is the write to be killed at.
  void BeforeWrite();
  std::int64_t count() const { return count_; }

 private:
  const std::int64_t at_;
  std::atomic<std::int64_t> count_{0};
};

// Forwards to `target`, telling the kill point of every write.
class KillPointFileSystem final : public FileSystemWrapper {
 public:
  KillPointFileSystem(FileSystem& target, WriteKillPoint& point)
      : FileSystemWrapper(target), point_(point) {}

  LONG Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override;
  LONG Delete(const std::string& path) override;
  LONG Rename(const std::string& from, const std::string& to) override;
  LONG CreateFolder(const std::string& path) override;
  LONG RemoveFolder(const std::string& path) override;
  LONG SyncFolder(const std::string& path) override;

 private:
  WriteKillPoint& point_;
};

// A SQLite VFS over the default one that tells the kill point of every write, truncate and
// sync. It registers under a name of its own (name()), which the root databases are opened
// with; every connection through it must be closed before it goes.
class KillPointSqliteVfs {
 public:
  explicit KillPointSqliteVfs(WriteKillPoint& point);
  ~KillPointSqliteVfs();
  KillPointSqliteVfs(const KillPointSqliteVfs&) = delete;
  KillPointSqliteVfs& operator=(const KillPointSqliteVfs&) = delete;

  const std::string& name() const { return name_; }
  WriteKillPoint& point() const { return point_; }
  sqlite3_vfs* base() const { return base_; }

 private:
  WriteKillPoint& point_;
  std::string name_;
  sqlite3_vfs* base_;
  sqlite3_vfs vfs_{};
};

}  // namespace quillet
