#include "tools/cli/desktop_commands.h"

#include <algorithm>
#include <ostream>

#include "desktop/desk_settings.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/linux/remote_api.h"
#include "tools/cli/number_input.h"
#include "tools/cli/portfolio_commands.h"

namespace quillet::cli {

int RunSettings(CliEnv& env, const std::vector<std::string>& args) {
  const bool get = !args.empty() && args[0] == "get" && args.size() <= 2;
  const bool set = !args.empty() && args[0] == "set" && args.size() == 3 && !env.json;
  if (!get && !set) {
    *env.err << "usage: quillet-cli settings get [KEY] | set KEY VALUE\n";
    return 2;
  }
  if (args.size() >= 2) {
    const auto keys = DeskSettingKeys();
    const bool known = std::any_of(keys.begin(), keys.end(),
                                   [&](const std::string& k) { return EqualNoCase(k, args[1]); });
    if (!known) {
      *env.err << "quillet-cli: no setting " << args[1] << " (settings get lists them)\n";
      return 2;
    }
  }
  PlatformContext* desktop = env.Desktop();
  if (!desktop) return 1;
  std::string error;
  // A read leaves the desktop as it was; only a write makes the working directory.
  auto dir =
      set ? FindWorkingDirectory(*desktop, &error) : LocateWorkingDirectory(*desktop, &error);
  if (!dir) {
    *env.err << "quillet-cli: " << error << "\n";
    return 1;
  }
  auto log = [&](std::string_view line) { *env.err << "quillet-cli: " << line << "\n"; };
  DeskSettings s = LoadDeskSettings(*desktop, *dir, nullptr, log);
  if (get && env.json) {
    // The one key asked for, or all, each as {"key", "value"}: a number setting as a number,
    // a text as the file has it.
    *env.out << "[";
    bool first = true;
    for (const std::string& key : DeskSettingKeys()) {
      if (args.size() == 2 && !EqualNoCase(key, args[1])) continue;
      *env.out << (first ? "\n " : ",\n ") << "{\"key\": " << JsonUtf8String(key) << ", \"value\": "
               << (DeskSettingIsNumber(key) ? *GetDeskSetting(s, key)
                                            : JsonString(*GetDeskSetting(s, key)))
               << "}";
      first = false;
    }
    *env.out << (first ? "]\n" : "\n]\n");
    return 0;
  }
  if (get) {
    if (args.size() == 2) {
      *env.out << AnsiToUtf8(*GetDeskSetting(s, args[1])) << "\n";
    } else {
      for (const std::string& key : DeskSettingKeys()) {
        *env.out << key << "=" << AnsiToUtf8(*GetDeskSetting(s, key)) << "\n";
      }
    }
    return 0;
  }
  const std::string value = Utf8ToAnsi(args[2]);
  // A number is read whole: "abc" or "12x" would be stored as some other number.
  const bool number = DeskSettingIsNumber(args[1]);
  std::int64_t typed = 0;
  if (number && !ReadWholeNumber(*env.err, args[1], value, -2147483648LL, 0xFFFFFFFFLL, &typed)) {
    return kExitUsage;
  }
  if (!SetDeskSetting(&s, args[1], value)) {
    *env.err << "quillet-cli: " << args[1] << " is not read from the file; it cannot be set\n";
    return 2;
  }
  // A number the record cannot keep as typed (a byte of 300, a port of 0) is refused, not
  // stored as another one.
  if (number && *GetDeskSetting(s, args[1]) != std::to_string(typed)) {
    *env.err << "quillet-cli: " << args[1] << ": " << args[2] << " is out of its range (it would "
             << "be stored as " << *GetDeskSetting(s, args[1]) << ")\n";
    return kExitUsage;
  }
  if (LONG rc = SaveDeskSettings(*desktop, *dir, s, log)) {
    *env.err << "quillet-cli: the settings were not saved (error " << rc << ")\n";
    return 1;
  }
  const std::string stored = *GetDeskSetting(s, args[1]);
  if (stored != value) {
    *env.err << "quillet-cli: " << args[1] << " is stored as \"" << AnsiToUtf8(stored) << "\"\n";
  }
  return 0;
}

int RunDevice(CliEnv& env, const std::vector<std::string>& args) {
  if (args.size() != 1 || (args[0] != "connect" && args[0] != "disconnect" && args[0] != "show")) {
    *env.err << "usage: quillet-cli [--device-root DIR] device connect|disconnect|show\n";
    return 2;
  }
  PlatformContext* desktop = env.Desktop();
  if (!desktop) return 1;
  LONG rc = ERROR_SUCCESS;
  if (args[0] == "connect") {
    rc = ConnectDevice(desktop->files(), desktop->root(), env.deviceRoot);
  } else if (args[0] == "disconnect") {
    rc = DisconnectDevice(desktop->files(), desktop->root());
  } else {
    auto device = ConnectedDevice(desktop->files(), desktop->root());
    *env.out << (device ? *device : "no device connected") << "\n";
  }
  if (rc != ERROR_SUCCESS) {
    *env.err << "quillet-cli: cannot " << args[0] << " (error " << rc << ")\n";
    return 1;
  }
  return 0;
}

}  // namespace quillet::cli
