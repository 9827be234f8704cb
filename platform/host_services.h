// The host's own implementations of the platform services: the system clock (held at the
// fixed time of the settings when they give one), the steady clock, and POSIX sockets with the
// system's name look-up. A program's or tool's main makes one, from the settings it read, and
// opens its contexts with it; it must outlive them.
#pragma once

#include <memory>

#include "platform/context.h"

namespace quillet {

class HostServices {
 public:
  explicit HostServices(EnvironmentSettings settings);
  HostServices(const HostServices&) = delete;
  HostServices& operator=(const HostServices&) = delete;

  PlatformServices services() { return {clock_, ticks_, *sockets_, settings_}; }
  const EnvironmentSettings& settings() const { return settings_; }

 private:
  EnvironmentSettings settings_;
  SystemClock clock_;
  SteadyClock ticks_;
  std::unique_ptr<SocketFactory> sockets_;
};

}  // namespace quillet
