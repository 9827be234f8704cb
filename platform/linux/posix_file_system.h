// The host's file system through POSIX calls. Files are created with owner-only permissions;
// the contracts and error numbers are FileSystem's. It keeps no state, so every holder may make
// its own, but a program's main hands one to its contexts (HostServices) and everything else
// reaches it through them.
#pragma once

#include "platform/file_system.h"

namespace quillet {

class PosixFileSystem final : public FileSystem {
 public:
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
};

}  // namespace quillet
