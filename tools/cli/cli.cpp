#include "tools/cli/cli.h"

#include <iostream>

namespace quillet::cli {
namespace {

void PrintHelp(std::ostream& out) {
  out << "usage: quillet-cli [--device-root DIR] [--desktop-root DIR] COMMAND [ARGS...]\n\n"
         "Works on a handheld's data kept in a device root folder (default: "
         "$QUILLET_DEVICE_ROOT,\nelse $XDG_DATA_HOME/quillet/device).\n\ncommands:\n";
  for (const Command& c : Commands()) {
    out << "  " << c.name << " " << c.usage << "\n      " << c.summary << "\n";
  }
}

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
    if (a == "--help" || a == "-h") {
      PrintHelp(out);
      return 0;
    }
    if ((a == "--device-root" || a == "--desktop-root") && i + 1 < args.size()) {
      (a == "--device-root" ? env.deviceRoot : env.desktopRoot) = args[++i];
      continue;
    }
    if (a.rfind("--", 0) == 0) {
      err << "quillet-cli: unknown option " << a << "\n";
      return 2;
    }
    break;
  }
  if (i == args.size()) {
    PrintHelp(err);
    return 2;
  }
  for (const Command& c : Commands()) {
    if (args[i] == c.name) {
      std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
      if (rest.size() == 1 && (rest[0] == "--help" || rest[0] == "-h")) {
        out << "usage: quillet-cli " << c.name << " " << c.usage << "\n" << c.summary << "\n";
        return 0;
      }
      return c.run(env, rest);
    }
  }
  err << "quillet-cli: unknown command " << args[i] << " (see --help)\n";
  return 2;
}

}  // namespace quillet::cli
