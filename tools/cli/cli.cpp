#include "tools/cli/cli.h"

#include <iostream>

namespace quillet::cli {
namespace {

constexpr char kVersionText[] = "quillet-cli " QUILLET_VERSION "\n";

// What every command keeps; printed by --help and under each command's own help.
constexpr char kConventions[] =
    "exit codes:\n"
    "  0  done\n"
    "  1  the work failed or was incomplete (a file not saved, a quote source that failed,\n"
    "     an id or name that names nothing, a change while Quillet runs on the device)\n"
    "  2  bad usage or input: an unknown command or option, a number not read whole or out\n"
    "     of range, a text too long for its field; nothing was stored\n"
    "Data goes to standard output, messages and questions to standard error.\n";

constexpr char kJsonShape[] =
    "--json (commands showing [--json]): standard output is one JSON value, UTF-8: an array\n"
    "with one object per record (dump, alerts list, portfolio list, currency list, prefs get,\n"
    "reg list, settings get, backups), or one object for a command that prints one record\n"
    "(show, alerts check). Field names are those of the text output; numbers are JSON\n"
    "numbers, switches true/false, texts strings. On an exit code other than 0 nothing is\n"
    "printed on standard output.\n";

void PrintHelp(std::ostream& out) {
  out << "usage: quillet-cli [--device-root DIR] [--desktop-root DIR] COMMAND [ARGS...]\n"
         "       quillet-cli --version | --help | COMMAND --help\n\n"
         "Works on a handheld's data kept in a device root folder (default: "
         "$QUILLET_DEVICE_ROOT,\nelse $XDG_DATA_HOME/quillet/device).\n\ncommands:\n";
  for (const Command& c : Commands()) {
    out << "  " << c.name << " " << c.usage << (c.json ? " [--json]" : "") << "\n      "
        << c.summary << "\n";
  }
  out << "\n" << kConventions << "\n" << kJsonShape;
}

void PrintCommandHelp(std::ostream& out, const Command& c) {
  out << "usage: quillet-cli " << c.name << " " << c.usage << (c.json ? " [--json]" : "") << "\n\n"
      << c.summary << "\n";
  if (*c.options || c.json) out << "\noptions and arguments:\n" << c.options;
  if (c.json) out << "  --json           print the records as JSON (see quillet-cli --help)\n";
  if (*c.example) out << "\nexample:\n  quillet-cli " << c.example << "\n";
  out << "\n" << kConventions;
}

bool IsHelp(const std::string& a) { return a == "--help" || a == "-h"; }

}  // namespace

PlatformContext* CliEnv::Device() {
  if (!device_) {
    std::string error;
    device_ = PlatformContext::Open(PlatformContext::Kind::kDevice, deviceRoot,
                                    host.services.services(), &error);
    if (!device_) {
      *err << "quillet-cli: " << error << "\n";
    } else {
      deviceWindows_ = std::make_unique<WindowStation>(device_->root(), host.services.files());
      device_->SetWindowStation(deviceWindows_.get());
    }
  }
  return device_.get();
}

PlatformContext* CliEnv::Desktop() {
  if (!desktop_) {
    std::string error;
    desktop_ = PlatformContext::Open(PlatformContext::Kind::kDesktop, desktopRoot,
                                     host.services.services(), &error);
    if (!desktop_) *err << "quillet-cli: " << error << "\n";
  }
  return desktop_.get();
}

int Main(const std::vector<std::string>& args, CliHost& host, std::ostream& out,
         std::ostream& err) {
  CliEnv env(host);
  env.deviceRoot = host.services.settings().deviceRoot;
  env.desktopRoot = host.services.settings().desktopRoot;
  env.out = &out;
  env.err = &err;
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (IsHelp(a)) {
      PrintHelp(out);
      return kExitDone;
    }
    if (a == "--version") {
      out << kVersionText;
      return kExitDone;
    }
    if ((a == "--device-root" || a == "--desktop-root") && i + 1 < args.size()) {
      (a == "--device-root" ? env.deviceRoot : env.desktopRoot) = args[++i];
      continue;
    }
    if (a.rfind("--", 0) == 0) {
      err << "quillet-cli: unknown option " << a << " (see --help)\n";
      return kExitUsage;
    }
    break;
  }
  if (i == args.size()) {
    PrintHelp(err);
    return kExitUsage;
  }
  for (const Command& c : Commands()) {
    if (args[i] != c.name) continue;
    std::vector<std::string> rest;
    for (std::size_t k = i + 1; k < args.size(); ++k) {
      // --help anywhere after the command: `alerts list --help` is the help of alerts.
      if (IsHelp(args[k])) {
        PrintCommandHelp(out, c);
        return kExitDone;
      }
      if (args[k] == "--json") {
        if (!c.json) {
          err << "quillet-cli: " << c.name << " prints no records and takes no --json\n";
          return kExitUsage;
        }
        env.json = true;
        continue;
      }
      rest.push_back(args[k]);
    }
    const int code = c.run(env, rest);
    // One convention for all: a command that returns anything else is a fault of ours, and a
    // script must still see a failure.
    return code == kExitDone || code == kExitUsage ? code : kExitFailed;
  }
  err << "quillet-cli: unknown command " << args[i] << " (see --help)\n";
  return kExitUsage;
}

}  // namespace quillet::cli
