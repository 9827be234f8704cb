#include "platform/linux/host_services.h"

#include <cstdio>

#include "platform/linux/posix_sockets.h"

namespace quillet {

HostServices::HostServices(EnvironmentSettings settings)
    : settings_(std::move(settings)),
      clock_(settings_.fixedNow),
      sockets_(MakePosixSockets(SystemResolver)) {
  if (settings_.killAtWrite) {
    killPoint_ = std::make_unique<WriteKillPoint>(*settings_.killAtWrite);
    killFiles_ = std::make_unique<KillPointFileSystem>(files_, *killPoint_);
    killVfs_ = std::make_unique<KillPointSqliteVfs>(*killPoint_);
  }
  databases_ = std::make_unique<SqliteDatabaseFactory>(killVfs_ ? killVfs_->name() : "");
}

HostServices::~HostServices() {
  // A kill test reads the count of an undisturbed run from here.
  if (killPoint_) {
    std::fprintf(stderr, "quillet: %lld writes to storage\n",
                 static_cast<long long>(killPoint_->count()));
  }
}

}  // namespace quillet
