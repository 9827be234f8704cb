// quillet-syncmgr: the desktop's sync manager ("WCESMGR.EXE") on a desktop root, with the
// device root connected to it (quillet-cli --device-root ... connect, or --device-root here).
//   quillet-syncmgr [--desktop-root DIR] [--device-root DIR] [--every SECONDS] [/show]
//                   [/syncmgr] [/syncnow] [/quit]
// While it runs it has a top-level window titled "Microsoft ActiveSync". /quit alone ends the
// one already running; with other options, this one ends once they are done. /syncmgr opens the
// options dialog listing the providers (a dialog holding a page holding the list; its Settings
// button opens the chosen provider's own options) until it is confirmed (command 1, OK) or
// closed. /syncnow runs one synchronisation. Without /quit it stays connected and enumerates
// again every --every seconds (60 by default) until its window is closed. Every step goes to
// standard output. Without a display its windows are drawn offscreen.
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ascii.h"
#include "platform/linux/host_services.h"
#include "platform/linux/remote_api.h"
#include "platform/linux/window_station.h"
#include "standins/syncmgr/sync_manager.h"

using namespace quillet;

namespace {

constexpr char kProgramPath[] = "C:\\Program Files\\Microsoft ActiveSync\\WCESMGR.EXE";

void Print(std::string_view line) {
  std::printf("%.*s\n", static_cast<int>(line.size()), line.data());
  std::fflush(stdout);
}

int Usage() {
  std::fprintf(stderr,
               "usage: quillet-syncmgr [--desktop-root DIR] [--device-root DIR] [--every "
               "SECONDS] [/show] [/syncmgr] [/syncnow] [/quit]\n");
  return 2;
}

// The options dialog: the providers in a list on a page of the dialog. Other programs find it
// through the window station as the same tree (the uninstaller confirms it with command 1).
void RunOptions(SyncManager& manager, WindowStation& station, PlatformContext& desktop,
                QWidget* parent) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("syncOptions"));
  dialog.setWindowTitle(QStringLiteral("Options"));
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(QStringLiteral("Sync Options"), &dialog));
  auto* list = new QListWidget(&dialog);
  list->setObjectName(QStringLiteral("providers"));
  std::string names;
  const std::vector<std::string> open = manager.openProviders();
  for (const ProviderEntry& e : FindProviders(desktop.registry())) {
    const std::string name = e.displayName.empty() ? e.objType : e.displayName;
    auto* row = new QListWidgetItem(QString::fromStdString(name), list);
    row->setData(Qt::UserRole, QString::fromStdString(e.objType));
    row->setCheckState(e.disabled ? Qt::Unchecked : Qt::Checked);
    if (!names.empty()) names += ", ";
    names += name + (e.disabled ? " (off)" : "");
  }
  layout->addWidget(list);
  auto* settings = new QPushButton(QStringLiteral("&Settings..."), &dialog);
  settings->setObjectName(QStringLiteral("settings"));
  layout->addWidget(settings);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(settings, &QPushButton::clicked, [&] {
    QListWidgetItem* row = list->currentItem();
    if (!row) return;
    const std::string objType = row->data(Qt::UserRole).toString().toStdString();
    const HRESULT hr = manager.ShowProviderOptions(objType);
    char text[80];
    std::snprintf(text, sizeof text, "Options of %s: 0x%08X", objType.c_str(),
                  static_cast<unsigned>(hr));
    Print(text);
  });

  HWND top = station.CreateWindow("Options", "#32770", kProgramPath,
                                  [&dialog](const WindowMessage& m) -> LRESULT {
                                    if (m.msg == WM_COMMAND && (m.wParam & 0xFFFF) == 1) {
                                      dialog.accept();
                                    } else if (m.msg == WM_CLOSE) {
                                      dialog.reject();
                                    }
                                    return 0;
                                  });
  HWND page = station.CreateChildWindow(top, "Sync Options", "#32770", nullptr);
  station.CreateChildWindow(page, names, "SysListView32", nullptr);
  Print("Options: " + names);
  const int result = dialog.exec();
  station.DestroyWindow(top);
  Print(result == QDialog::Accepted ? "Options confirmed" : "Options cancelled");
}

}  // namespace

int main(int argc, char** argv) {
  std::string root, deviceRoot;
  bool show = false, options = false, syncNow = false, quit = false;
  int every = 60;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--desktop-root" && i + 1 < argc) {
      root = argv[++i];
    } else if (a == "--device-root" && i + 1 < argc) {
      deviceRoot = argv[++i];
    } else if (a == "--every" && i + 1 < argc) {
      every = std::atoi(argv[++i]);
      if (every <= 0) return Usage();
    } else if (EqualNoCase(a, "/show")) {
      show = true;
    } else if (EqualNoCase(a, "/syncmgr")) {
      options = true;
    } else if (EqualNoCase(a, "/syncnow")) {
      syncNow = true;
    } else if (EqualNoCase(a, "/quit")) {
      quit = true;
    } else {
      return Usage();
    }
  }
  HostServices host(ReadEnvironmentSettings(std::getenv));
  if (root.empty()) root = host.settings().desktopRoot;
  std::string error;
  auto desktop =
      PlatformContext::Open(PlatformContext::Kind::kDesktop, root, host.services(), &error);
  if (!desktop) {
    std::fprintf(stderr, "cannot open the desktop root %s: %s\n", root.c_str(), error.c_str());
    return 1;
  }
  if (!deviceRoot.empty() && ConnectDevice(host.files(), root, deviceRoot) != 0) {
    std::fprintf(stderr, "cannot connect the device root %s\n", deviceRoot.c_str());
    return 1;
  }
  // The synchronisation objects key is the sync manager's own: providers register under it.
  HKEY objects{};
  if (desktop->registry().CreateKey(HKEY_LOCAL_MACHINE, kDesktopSyncObjectsKey, &objects) == 0) {
    desktop->registry().CloseKey(objects);
  }
  WindowStation station(root, host.files());
  if (quit && !show && !options && !syncNow) {
    // Only the one running ends; this one has nothing else to do.
    if (HWND running = station.FindWindow("", kActiveSyncTitle)) {
      station.PostMessage(running, WM_CLOSE, 0, 0);
      Print("Asked the running sync manager to end");
    }
    return 0;
  }
  // There is one sync manager on a desktop: one already running (left open by an earlier
  // /show or /syncmgr) hands over to this one, which does the work asked for now.
  if (HWND running = station.FindWindow("", kActiveSyncTitle)) {
    station.PostMessage(running, WM_CLOSE, 0, 0);
    for (int i = 0; i < 500 && station.FindWindow("", kActiveSyncTitle) != 0; ++i) {
      station.PumpFor(10);
    }
  }

  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  QWidget main;
  main.setObjectName(QStringLiteral("activeSync"));
  main.setWindowTitle(QString::fromLatin1(kActiveSyncTitle));
  auto* layout = new QVBoxLayout(&main);
  auto* status = new QLabel(QStringLiteral("Connected"), &main);
  layout->addWidget(status);
  main.resize(360, 120);
  bool closed = false;
  HWND window = station.CreateWindow(kActiveSyncTitle, "ActiveSyncWnd", kProgramPath,
                                     [&closed, &app](const WindowMessage& m) -> LRESULT {
                                       if (m.msg == WM_CLOSE) {
                                         closed = true;
                                         app.quit();
                                       }
                                       return 0;
                                     });
  main.setProperty("quilletHwnd", QVariant::fromValue<qulonglong>(window));
  if (show || !quit) main.show();
  // The window station's messages are taken in the event loop, as a window's would be.
  QTimer pump;
  QObject::connect(&pump, &QTimer::timeout, [&station] { station.PumpFor(0); });
  pump.start(50);

  SyncManager manager(*desktop, Print);
  manager.SetWindow(window);
  manager.SetShowsWindows(true);
  const int count = manager.LoadProviders();
  Print("Providers open: " + std::to_string(count));

  if (options) RunOptions(manager, station, *desktop, &main);
  if (syncNow && !closed) {
    Print("Synchronizing");
    status->setText(QStringLiteral("Synchronizing..."));
    const int sent = manager.Synchronize();
    Print("Synchronized: " + std::to_string(sent) + " item(s) sent");
    status->setText(QStringLiteral("Synchronized"));
  }
  if (!quit && !closed) {
    // A continuous connection: periodic enumerations until the window is closed.
    QTimer periodic;
    QObject::connect(&periodic, &QTimer::timeout, [&manager] {
      const int sent = manager.EnumerateAgain();
      if (sent > 0) Print("Enumerated: " + std::to_string(sent) + " item(s) sent");
    });
    periodic.start(every * 1000);
    QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
    app.exec();
  }
  station.DestroyWindow(window);
  return 0;
}
