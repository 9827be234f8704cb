// quillet-dialog-screenshots: pictures of the Alerts view, the Preferences pages and the
// Currencies dialog as the handheld shows them, for the documentation.
// `quillet-dialog-screenshots --device-root DIR --out DIR` starts the program on the device
// without a display and without writing anything, and writes "alerts-view.png",
// "prefs-general.png", "prefs-network.png" and "currencies.png" (240 by 320 screens). The
// dialogs are made and drawn, never run, so nothing they would store on closing is stored.
#include <QApplication>
#include <QPainter>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/alerts_view.h"
#include "device/main_frame.h"
#include "device/portfolio_dialogs.h"
#include "device/prefs_sheet.h"
#include "device/quillet_app.h"
#include "device/ui_style.h"
#include "platform/context.h"
#include "platform/environment.h"
#include "platform/linux/host_services.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: quillet-dialog-screenshots --device-root DIR --out DIR\n");
  return 2;
}

// The screen: the program's window (its title bar) with the dialog below the bar.
bool WriteScreen(quillet::CMainFrame& frame, QWidget& dialog, const std::string& path) {
  dialog.show();
  QCoreApplication::processEvents();
  QPixmap screen(quillet::kScreenWidth, quillet::kScreenHeight);
  screen.fill(Qt::white);
  QPainter p(&screen);
  frame.render(&p);
  dialog.render(&p, QPoint(0, quillet::kTitleBarHeight));
  p.end();
  dialog.hide();
  const bool ok = screen.save(QString::fromStdString(path), "PNG");
  std::printf("%s\n", path.c_str());
  if (!ok) std::fprintf(stderr, "quillet-dialog-screenshots: cannot write %s\n", path.c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::string root, out;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--device-root") == 0) {
      root = argv[i + 1];
    } else if (std::strcmp(argv[i], "--out") == 0) {
      out = argv[i + 1];
    } else {
      return Usage();
    }
  }
  if (root.empty() || out.empty() || argc % 2 == 0) return Usage();
  qputenv("QT_QPA_PLATFORM", "offscreen");
  quillet::HostServices host(quillet::ReadEnvironmentSettings(std::getenv));
  QApplication qapp(argc, argv);
  quillet::ApplyHandheldStyle(qapp);
  std::string error;
  auto ctx = quillet::PlatformContext::Open(quillet::PlatformContext::Kind::kDevice, root,
                                            host.services(), &error);
  if (!ctx) {
    std::fprintf(stderr, "quillet-dialog-screenshots: %s: %s\n", root.c_str(), error.c_str());
    return 1;
  }
  quillet::CQuilletApp::Options options;
  options.skipAboutBox = true;
  options.readOnly = true;  // a picture leaves the device as it found it
  quillet::CQuilletApp app(*ctx, options);
  int rc = 1;
  if (app.InitInstance()) {
    quillet::CMainFrame& frame = *app.frame();
    frame.show();
    QCoreApplication::processEvents();
    bool ok = true;
    {
      quillet::CAlertsDlg alerts(&frame, app);
      ok = WriteScreen(frame, alerts, out + "/alerts-view.png") && ok;
    }
    {
      quillet::CPrefsSheet prefs(&frame, app);
      ok = WriteScreen(frame, prefs, out + "/prefs-general.png") && ok;
      prefs.tabs()->setCurrentWidget(prefs.network());
      ok = WriteScreen(frame, prefs, out + "/prefs-network.png") && ok;
    }
    {
      quillet::CCurrenciesDlg currencies(&frame, app);
      ok = WriteScreen(frame, currencies, out + "/currencies.png") && ok;
    }
    rc = ok ? 0 : 1;
  }
  app.ExitInstance();
  return rc;
}
