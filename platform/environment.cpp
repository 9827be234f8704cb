#include "platform/environment.h"

#include <cerrno>
#include <cstdlib>

namespace quillet {
namespace {

std::string Value(const EnvironmentLookup& lookup, const char* name) {
  const char* value = lookup(name);
  return value != nullptr ? std::string(value) : std::string();
}

// A root named with a trailing '/' is the same folder without it.
std::string WithoutTrailingSlashes(std::string root) {
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

std::optional<std::int64_t> WholeNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end == nullptr || *end != '\0') return std::nullopt;
  return static_cast<std::int64_t>(v);
}

}  // namespace

EnvironmentSettings ReadEnvironmentSettings(const EnvironmentLookup& lookup) {
  std::string dataHome = Value(lookup, "XDG_DATA_HOME");
  if (dataHome.empty()) {
    std::string home = Value(lookup, "HOME");
    dataHome = (home.empty() ? std::string("/tmp") : home) + "/.local/share";
  }
  EnvironmentSettings settings;
  settings.deviceRoot = WithoutTrailingSlashes(Value(lookup, "QUILLET_DEVICE_ROOT"));
  if (settings.deviceRoot.empty()) settings.deviceRoot = dataHome + "/quillet/device";
  settings.desktopRoot = WithoutTrailingSlashes(Value(lookup, "QUILLET_DESKTOP_ROOT"));
  if (settings.desktopRoot.empty()) settings.desktopRoot = dataHome + "/quillet/desktop";
  settings.fixedNow = WholeNumber(Value(lookup, "QUILLET_NOW"));
  settings.quoteServer = Value(lookup, "QUILLET_QUOTE_SERVER");
  settings.caFile = Value(lookup, "QUILLET_CA_FILE");
  settings.killAtWrite = WholeNumber(Value(lookup, "QUILLET_KILL_AT_WRITE"));
  if (settings.killAtWrite && *settings.killAtWrite < 0) settings.killAtWrite.reset();
  return settings;
}

}  // namespace quillet
