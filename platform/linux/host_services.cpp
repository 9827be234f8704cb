#include "platform/linux/host_services.h"

#include "platform/linux/posix_sockets.h"

namespace quillet {

HostServices::HostServices(EnvironmentSettings settings)
    : settings_(std::move(settings)),
      clock_(settings_.fixedNow),
      sockets_(MakePosixSockets(SystemResolver)) {}

}  // namespace quillet
