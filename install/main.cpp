// QuilletInstall: installs the desktop companion and the device package on the desktop root
// (no argument), or removes an earlier installation before an upgrade (the one argument
// "quit"). Every step is printed; the exit code is 0 in both modes, as the setup package that
// starts it expects, and a step that failed is named on standard error.
//   QuilletInstall [--desktop-root DIR] [quit]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "install/installer.h"
#include "platform/linux/host_services.h"

using namespace quillet;

int main(int argc, char** argv) {
  std::string root;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--desktop-root" && i + 1 < argc) {
      root = argv[++i];
    } else {
      args.push_back(a);
    }
  }
  HostServices host(ReadEnvironmentSettings(std::getenv));
  if (root.empty()) root = host.settings().desktopRoot;
  std::string error;
  auto desktop =
      PlatformContext::Open(PlatformContext::Kind::kDesktop, root, host.services(), &error);
  if (!desktop) {
    std::fprintf(stderr, "cannot open the desktop root %s: %s\n", root.c_str(), error.c_str());
    return 0;
  }
  // The one message box: shown on the terminal, and waited for when someone is there to answer.
  desktop->messageBoxes().SetAnswerer([](const MessageBoxRequest& r) {
    std::printf("%s: %s\n", r.caption.c_str(), r.text.c_str());
    std::fflush(stdout);
    if (isatty(STDIN_FILENO)) {
      std::string line;
      std::getline(std::cin, line);
    }
    return 1;
  });
  const InstallerReport report = IsQuitCommand(args) ? RunRemove(*desktop) : RunInstall(*desktop);
  for (const std::string& line : report.log) std::printf("%s\n", line.c_str());
  if (report.Status() != 0) {
    std::fprintf(stderr, "QuilletInstall: a step failed (see above)\n");
  }
  return 0;
}
