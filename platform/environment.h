// The settings a program takes from its process environment, read once by its main and handed
// to everything else through the context: nothing below main reads the environment, so two
// contexts of one process (a program and a test, the sync manager and a provider) each follow
// the settings they were given.
//
//   QUILLET_DEVICE_ROOT    the device root (else $XDG_DATA_HOME/quillet/device, XDG_DATA_HOME
//                          defaulting to ~/.local/share)
//   QUILLET_DESKTOP_ROOT   the desktop root (else $XDG_DATA_HOME/quillet/desktop)
//   QUILLET_NOW            a fixed "now" in seconds since 1970, for scripts and black-box tests
//   QUILLET_QUOTE_SERVER   host:port that every quote connection goes to instead of the
//                          sources' hosts (the quote service simulator)
//   QUILLET_CA_FILE        a file of CA certificates that user-defined HTTPS sources are checked
//                          against instead of the system's store (the tests' own CA)
//   QUILLET_KILL_AT_WRITE  kill tests only: the process kills itself with SIGKILL before its
//                          N-th write to storage; 0 counts the writes and prints the count at
//                          the end (platform/linux/kill_point.h)
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace quillet {

struct EnvironmentSettings {
  std::string deviceRoot;
  std::string desktopRoot;
  std::optional<std::int64_t> fixedNow;     // only when QUILLET_NOW holds a whole number
  std::string quoteServer;                  // as set, "" when unset; its reader checks its form
  std::string caFile;                       // "" when unset: the system's certificate store
  std::optional<std::int64_t> killAtWrite;  // only when QUILLET_KILL_AT_WRITE holds N >= 0
};

// The value of a variable, or null when it is not set (a program passes std::getenv).
using EnvironmentLookup = std::function<const char*(const char* name)>;

EnvironmentSettings ReadEnvironmentSettings(const EnvironmentLookup& lookup);

}  // namespace quillet
