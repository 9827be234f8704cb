// QuilletShell: the handheld's shell on a device root (the Today screen, notification bubbles,
// the task bar). `QuilletShell [--device-root DIR]` runs it; `--screenshot FILE` starts it
// without a display, writes its screen as a PNG and ends.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/context.h"
#include "platform/linux/host_services.h"
#include "platform/roots.h"
#include "standins/shell/handheld_shell.h"

int main(int argc, char** argv) {
  std::string root;
  std::string screenshot;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--device-root") == 0 && i + 1 < argc) {
      root = argv[++i];
    } else if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
      screenshot = argv[++i];
    } else {
      std::fprintf(stderr, "usage: QuilletShell [--device-root DIR] [--screenshot FILE]\n");
      return 2;
    }
  }
  if (!screenshot.empty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The program's one look at its environment; everything below gets the settings from here.
  quillet::HostServices host(quillet::ReadEnvironmentSettings(std::getenv));
  if (root.empty()) root = host.settings().deviceRoot;
  QApplication qapp(argc, argv);
  std::string error;
  auto ctx = quillet::PlatformContext::Open(quillet::PlatformContext::Kind::kDevice, root,
                                            host.services(), &error);
  if (!ctx) {
    std::fprintf(stderr, "QuilletShell: cannot use the device root %s: %s\n", root.c_str(),
                 error.c_str());
    return 1;
  }
  quillet::CHandheldShell shell(*ctx);
  if (!shell.Start()) {
    std::fprintf(stderr, "QuilletShell: cannot register the shell's windows on %s\n", root.c_str());
  }
  if (!screenshot.empty()) {
    QCoreApplication::processEvents();
    if (!shell.grab().save(QString::fromStdString(screenshot), "PNG")) {
      std::fprintf(stderr, "QuilletShell: cannot write %s\n", screenshot.c_str());
      return 1;
    }
    return 0;
  }
  shell.show();
  return qapp.exec();
}
