// quillet-pkg: the handheld's package installer on a device root.
//   quillet-pkg [--device-root DIR] install PACKAGE_FOLDER
//   quillet-pkg [--device-root DIR] remove
// The setup library's messages are printed; nobody is asked anything.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/linux/host_services.h"
#include "platform/message_box.h"
#include "platform/roots.h"
#include "standins/installer/package_installer.h"

int main(int argc, char** argv) {
  std::string root;
  int i = 1;
  if (i + 1 < argc && std::strcmp(argv[i], "--device-root") == 0) {
    root = argv[i + 1];
    i += 2;
  }
  // The program's one look at its environment; everything below gets the settings from here.
  quillet::HostServices host(quillet::ReadEnvironmentSettings(std::getenv));
  if (root.empty()) root = host.settings().deviceRoot;
  const std::string command = i < argc ? argv[i] : "";
  if (!((command == "install" && i + 2 == argc) || (command == "remove" && i + 1 == argc))) {
    std::fprintf(stderr,
                 "usage: quillet-pkg [--device-root DIR] install PACKAGE_FOLDER\n"
                 "       quillet-pkg [--device-root DIR] remove\n");
    return 2;
  }
  quillet::MessageBoxes boxes;
  boxes.SetAnswerer([](const quillet::MessageBoxRequest& r) {
    std::printf("[%s] %s\n", r.caption.c_str(), r.text.c_str());
    return quillet::DefaultAnswer(r.flags);
  });
  const quillet::PlatformServices services = host.services();
  quillet::CPackageInstaller installer(root, boxes, services);
  std::string report;
  const quillet::LONG rc =
      command == "install" ? installer.Install(argv[i + 1], &report) : installer.Remove(&report);
  std::fputs(report.c_str(), rc == 0 ? stdout : stderr);
  return rc == 0 ? 0 : 1;
}
