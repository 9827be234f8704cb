// Quillet, the handheld program. `Quillet [--device-root DIR]` runs it on a device root (default
// $QUILLET_DEVICE_ROOT); `Quillet --screenshot FILE` starts it without a display, writes the
// main window as a PNG, prints the totals and ends, leaving every file of the device as it was.
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/main_frame.h"
#include "device/message_box_answerer.h"
#include "device/quillet_app.h"
#include "device/ui_style.h"
#include "platform/context.h"
#include "platform/environment.h"
#include "platform/linux/host_services.h"
#include "platform/linux/window_station.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: Quillet [--device-root DIR] [--screenshot FILE]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string root;
  std::string screenshot;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc) {
      screenshot = argv[++i];
    } else if (std::strcmp(argv[i], "--device-root") == 0 && i + 1 < argc) {
      root = argv[++i];
    } else {
      return Usage();
    }
  }
  if (!screenshot.empty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The program's one look at its environment; everything below gets the settings from here.
  quillet::HostServices host(quillet::ReadEnvironmentSettings(std::getenv));
  if (root.empty()) root = host.settings().deviceRoot;

  QApplication qapp(argc, argv);
  quillet::ApplyHandheldStyle(qapp);
  qapp.setQuitOnLastWindowClosed(false);

  std::string error;
  auto ctx = quillet::PlatformContext::Open(quillet::PlatformContext::Kind::kDevice, root,
                                            host.services(), &error);
  if (!ctx) {
    std::fprintf(stderr, "Quillet: cannot use the device root %s: %s\n", root.c_str(),
                 error.c_str());
    return 1;
  }
  quillet::WindowStation station(ctx->root(), host.files());
  ctx->SetWindowStation(&station);
  // One program per device: a second start brings the running one to the front and leaves
  // the data to it, so two copies never write the same files over each other.
  for (const quillet::WindowInfo& w : station.EnumWindows()) {
    if (w.programPath == ctx->programPath() && w.pid != getpid()) {
      if (!screenshot.empty()) {
        std::fprintf(stderr, "Quillet: the program is running on %s; close it first\n",
                     root.c_str());
        return 1;
      }
      station.PostMessage(w.hwnd, quillet::WM_ACTIVATE, 1, 0);
      return 0;
    }
  }
  quillet::CQuilletApp::Options options;
  options.skipAboutBox = !screenshot.empty();
  options.readOnly = !screenshot.empty();
  quillet::CQuilletApp app(*ctx, options);
  if (screenshot.empty()) {
    ctx->messageBoxes().SetAnswerer(quillet::QtMessageBoxAnswerer(app));
  } else {
    // Nobody can answer without a display: messages go to the error output and every question
    // gets its harmless default.
    ctx->messageBoxes().SetAnswerer([](const quillet::MessageBoxRequest& r) {
      std::fprintf(stderr, "Quillet: %s\n", r.text.c_str());
      return quillet::DefaultAnswer(r.flags);
    });
    // The password keypad cannot be answered either: a protected device is not shown.
    app.SetModalAnswerer([](QDialog& d) {
      std::fprintf(stderr, "Quillet: %s needs an answer; no screenshot without a display\n",
                   d.windowTitle().toUtf8().constData());
      return 0;
    });
  }
  app.SetQuitHandler([] { QCoreApplication::exit(0); });

  int rc = 0;
  if (app.InitInstance()) {
    if (screenshot.empty()) {
      rc = qapp.exec();
    } else {
      QCoreApplication::processEvents();
      QPixmap shot = app.frame()->grab();
      if (!shot.save(QString::fromStdString(screenshot), "PNG")) {
        std::fprintf(stderr, "Quillet: cannot write %s\n", screenshot.c_str());
        rc = 1;
      } else {
        quillet::CStockListView* list = app.frame()->list();
        for (const char* name : {"totalProfit", "totalProfitPercent", "totalProfitPerYear",
                                 "totalCost", "totalValue"}) {
          auto* value = list->findChild<QLabel*>(QString::fromLatin1(name));
          std::printf("%s %s\n", name + 5, value ? value->text().toUtf8().constData() : "");
        }
      }
    }
  } else if (!screenshot.empty()) {
    rc = 1;
  }
  app.ExitInstance();
  return rc;
}
