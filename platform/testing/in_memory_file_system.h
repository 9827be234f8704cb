// A file system held in memory, for tests. It answers every call with the same Win32 error
// numbers as PosixFileSystem (2 missing file, 3 missing folder, 5 refused, 183 folder exists),
// so code under test cannot tell the two apart, and it keeps what a disk would: the bytes and
// folder entries as they were when last synced. SimulatePowerLoss throws away everything that
// was not synced, so a test can see whether a save really made its data durable.
//
// Paths are '/'-separated and absolute; names are compared exactly, as on Linux.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"

namespace quillet::testing {

class InMemoryFileSystem final : public FileSystem {
 public:
  // Write times come from `clock`. Only the root folder "/" exists at first.
  explicit InMemoryFileSystem(Clock& clock);
  ~InMemoryFileSystem() override;

  LONG Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override;
  LONG Delete(const std::string& path) override;
  LONG Rename(const std::string& from, const std::string& to) override;
  LONG CreateFolder(const std::string& path) override;
  LONG RemoveFolder(const std::string& path) override;
  LONG FindFiles(const std::string& folder, std::string_view pattern,
                 std::vector<FoundFile>* found) override;
  LONG LastWriteTime(const std::string& path, std::int64_t* seconds) override;
  bool Exists(const std::string& path) override;
  LONG SyncFolder(const std::string& path) override;

  // Every file and folder as it stands is now on the disk, as after the system's own flush.
  void SyncEverything();
  // The power goes: every file goes back to the bytes of its last Sync and every folder to
  // the entries of its last SyncFolder. Handles opened before must not be used after.
  void SimulatePowerLoss();

  struct Node;

 private:
  // The folder that holds `path` and the last name in it; an error when a folder on the way is
  // missing or is a file.
  LONG Parent(const std::string& path, std::shared_ptr<Node>* folder, std::string* name) const;
  std::shared_ptr<Node> Find(const std::string& path) const;

  Clock& clock_;
  std::shared_ptr<Node> root_;
};

}  // namespace quillet::testing
