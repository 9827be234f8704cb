// A SQLite VFS for tests: it hands every call to the default VFS and fails the n-th read, write
// (or truncate) or sync of the files a connection opened through it (the database, its WAL and
// journal), once or from then on, as a disk would. Each object registers under a name of its
// own and keeps its own counts, so several can live side by side; a connection chooses it by
// name (SqliteDb::Open's `vfs`, PlatformContext::Open's `sqliteVfs`). Every connection that uses
// it must be closed before the object goes.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <functional>
#include <string>

#include "platform/testing/fault_injector.h"

namespace quillet::testing {

class SqliteFaultVfs final : public FaultInjector {
 public:
  SqliteFaultVfs();
  ~SqliteFaultVfs() override;
  SqliteFaultVfs(const SqliteFaultVfs&) = delete;
  SqliteFaultVfs& operator=(const SqliteFaultVfs&) = delete;

  const std::string& name() const { return name_; }

  void FailFrom(int n, bool persistent) override;
  void StopFailing() override;
  int FailuresInjected() const override { return failures_; }
  // Reads, writes and syncs seen since the last FailFrom or StopFailing.
  int OperationCount() const { return operations_; }

  // Called by the files it opened; true when this operation is to fail.
  bool NextOperationFails();
  sqlite3_vfs* base() const { return base_; }

 private:
  std::string name_;
  sqlite3_vfs* base_;
  sqlite3_vfs vfs_{};
  std::atomic<int> operations_{0};
  std::atomic<int> failures_{0};
  std::atomic<int> failFrom_{-1};
  std::atomic<bool> persistent_{false};
};

// `save` followed by a checkpoint of `db`: the copy of the log into the database that a later
// commit would make. In WAL mode a commit only appends to the log, so a sweep of this also fails
// that copy and its syncs. True when both succeeded.
std::function<bool()> ThenCheckpoint(std::function<bool()> save, sqlite3* db);

}  // namespace quillet::testing
