// The host's own implementations of the platform services, bundled for a program's or tool's
// main: the POSIX file system, the system clock (held at the fixed time of the settings when
// they give one), the steady clock, POSIX sockets with the system's name look-up, and the root
// databases in SQLite. A main makes one from the settings it read and opens its contexts with
// services(); it must outlive them. When the settings name a kill point (kill tests only), the
// files and the databases go through its counting wrappers (platform/linux/kill_point.h).
#pragma once

#include <memory>

#include "platform/context.h"
#include "platform/linux/curl_transport.h"
#include "platform/linux/kill_point.h"
#include "platform/linux/posix_file_system.h"
#include "platform/linux/sqlite_databases.h"
#include "platform/linux/steady_clock.h"
#include "platform/linux/system_clock.h"

namespace quillet {

class HostServices {
 public:
  explicit HostServices(EnvironmentSettings settings);
  ~HostServices();
  HostServices(const HostServices&) = delete;
  HostServices& operator=(const HostServices&) = delete;

  PlatformServices services() {
    return {files(), clock_, ticks_, *sockets_, *databases_, settings_, &http_};
  }
  const EnvironmentSettings& settings() const { return settings_; }
  // The host's file system, for what a main makes beside its contexts (the window station).
  FileSystem& files() { return killFiles_ ? static_cast<FileSystem&>(*killFiles_) : files_; }

 private:
  EnvironmentSettings settings_;
  PosixFileSystem files_;
  SystemClock clock_;
  SteadyClock ticks_;
  std::unique_ptr<SocketFactory> sockets_;
  // Only in a kill test; declared before the databases, which must close before the VFS goes.
  std::unique_ptr<WriteKillPoint> killPoint_;
  std::unique_ptr<KillPointFileSystem> killFiles_;
  std::unique_ptr<KillPointSqliteVfs> killVfs_;
  std::unique_ptr<SqliteDatabaseFactory> databases_;
  CurlTransport http_;
};

}  // namespace quillet
