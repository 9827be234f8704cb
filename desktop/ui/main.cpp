// quillet-desk-options: the desktop companion's options sheet on a desktop root
// (--desktop-root DIR, default $QUILLET_DESKTOP_ROOT), as the sync manager opens it.
// `--screenshots DIR` renders every page into DIR/options-<page>.png without a display.
#include <QApplication>
#include <QMessageBox>
#include <QTabWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "desktop/ui/options_sheet.h"
#include "platform/context.h"
#include "platform/linux/host_services.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: quillet-desk-options [--desktop-root DIR] [--screenshots DIR]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  quillet::HostServices host(quillet::ReadEnvironmentSettings(std::getenv));
  std::string root = host.settings().desktopRoot;
  std::string shots;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--desktop-root") == 0 && i + 1 < argc) {
      root = argv[++i];
    } else if (std::strcmp(argv[i], "--screenshots") == 0 && i + 1 < argc) {
      shots = argv[++i];
    } else {
      return Usage();
    }
  }
  if (!shots.empty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::string error;
  auto desktop = quillet::PlatformContext::Open(quillet::PlatformContext::Kind::kDesktop, root,
                                                host.services(), &error);
  if (!desktop) {
    std::fprintf(stderr, "quillet-desk-options: %s\n", error.c_str());
    return 1;
  }
  auto dir = quillet::FindWorkingDirectory(*desktop, &error);
  if (!dir) {
    std::fprintf(stderr, "quillet-desk-options: %s\n", error.c_str());
    return 1;
  }
  desktop->messageBoxes().SetAnswerer([](const quillet::MessageBoxRequest& r) {
    QMessageBox box(QMessageBox::Information, QString::fromStdString(r.caption),
                    QString::fromStdString(r.text), QMessageBox::Ok);
    box.exec();
    return quillet::IDOK;
  });
  quillet::COptionsSheet sheet(*desktop, *dir);
  if (shots.empty()) return sheet.exec() == QDialog::Accepted ? 0 : 1;

  const char* names[] = {"main", "sync", "network", "connect", "export", "import", "backup"};
  sheet.show();
  for (int i = 0; i < sheet.tabs()->count(); ++i) {
    sheet.tabs()->setCurrentIndex(i);
    app.processEvents();
    const QString file = QString::fromStdString(shots) +
                         QStringLiteral("/options-%1.png").arg(QString::fromLatin1(names[i]));
    if (!sheet.grab().save(file)) {
      std::fprintf(stderr, "quillet-desk-options: cannot write %s\n", file.toLocal8Bit().data());
      return 1;
    }
    std::printf("%s\n", file.toLocal8Bit().data());
  }
  return 0;
}
