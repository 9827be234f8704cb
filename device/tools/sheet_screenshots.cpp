// quillet-sheet-screenshots: pictures of the stock sheet's pages as the handheld shows them, for
// the documentation. `quillet-sheet-screenshots --device-root DIR --out DIR --stock NAME
// [--sold NAME]` starts the program on the device without a display and without writing
// anything, opens the sheet on the stock of that name and writes each page over the program's
// title bar as "sheet-<page>.png" (a 240 by 320 screen); with --sold, the Sell page of that sold
// stock as "sheet-sell.png". The Chart page is also shown full screen and turned
// ("chart-fullscreen-rotated.png"), and with --portfolio N the Portfolio Charts view of that
// portfolio as "portfolio-bar.png", "portfolio-pie.png" and "portfolio-history.png".
#include <QApplication>
#include <QComboBox>
#include <QPainter>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/main_frame.h"
#include "device/portfolio_charts_dialog.h"
#include "device/quillet_app.h"
#include "device/resource_ids.h"
#include "device/stock_page_chart.h"
#include "device/stock_sheet.h"
#include "device/ui_style.h"
#include "platform/context.h"
#include "platform/environment.h"
#include "platform/linux/host_services.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: quillet-sheet-screenshots --device-root DIR --out DIR --stock NAME "
               "[--sold NAME] [--portfolio N]\n");
  return 2;
}

// The screen: the program's window (its title bar) with the sheet where it sits, below the bar.
bool WriteScreen(quillet::CMainFrame& frame, QWidget& sheet, const std::string& path) {
  QPixmap screen(quillet::kScreenWidth, quillet::kScreenHeight);
  screen.fill(Qt::white);
  QPainter p(&screen);
  frame.render(&p);
  sheet.render(&p, QPoint(0, quillet::kTitleBarHeight));
  p.end();
  return screen.save(QString::fromStdString(path), "PNG");
}

// Opens the sheet on the stock named `name` in the view shown (sold stocks in the sold view).
bool Shoot(quillet::CQuilletApp& app, const std::string& name, bool sold, const std::string& out) {
  quillet::PortfolioStore& store = *app.store();
  store.bShowClosed = sold ? 1 : 0;
  store.wViewPortfolio = quillet::PORTFOLIO_ALL;
  quillet::CStockListView* list = app.frame()->list();
  list->RefillList(nullptr);
  int row = -1;
  for (int k = 0; k < list->RowCount(); ++k) {
    if (row < 0 && list->StockAtRow(k)->Name() == name) row = k;
  }
  if (row < 0) {
    std::fprintf(stderr, "quillet-sheet-screenshots: no stock named %s\n", name.c_str());
    return false;
  }
  bool ok = true;
  app.SetModalAnswerer([&](QDialog& d) {
    auto* sheet = qobject_cast<quillet::CStockSheet*>(&d);
    if (!sheet) return 0;
    sheet->show();
    for (int k = 0; k < sheet->tabs()->count(); ++k) {
      auto* page = qobject_cast<quillet::CStockPage*>(sheet->tabs()->widget(k));
      if (sold && page->pageCode() != -1) continue;
      sheet->tabs()->setCurrentIndex(k);
      QCoreApplication::processEvents();
      std::string file = out + "/sheet-" + page->title().toLower().toStdString() + ".png";
      if (!WriteScreen(*app.frame(), *sheet, file)) {
        std::fprintf(stderr, "quillet-sheet-screenshots: cannot write %s\n", file.c_str());
        ok = false;
      } else {
        std::printf("%s\n", file.c_str());
      }
    }
    if (auto* chart = qobject_cast<quillet::CStockChart*>(sheet->PageWithCode(quillet::kPageChart));
        chart && !sold) {
      // Full screen covers the title bar: the sheet is the whole screen.
      sheet->tabs()->setCurrentWidget(chart);
      chart->ToggleFullScreen();
      chart->ToggleRotated();
      QCoreApplication::processEvents();
      const std::string file = out + "/chart-fullscreen-rotated.png";
      QPixmap screen(quillet::kScreenWidth, quillet::kScreenHeight);
      screen.fill(Qt::white);
      QPainter p(&screen);
      sheet->render(&p);
      p.end();
      ok = screen.save(QString::fromStdString(file), "PNG") && ok;
      std::printf("%s\n", file.c_str());
      chart->ToggleFullScreen();
    }
    sheet->hide();
    return 0;
  });
  app.frame()->OpenStockSheet(row, sold ? quillet::kPageCodeDefault : quillet::kPageInfo);
  return ok;
}

// The Portfolio Charts view of one portfolio in its three modes.
bool ShootPortfolio(quillet::CQuilletApp& app, int portfolio, const std::string& out) {
  bool ok = true;
  app.SetModalAnswerer([&](QDialog& d) {
    auto* view = qobject_cast<quillet::CPortfolioChartsDlg*>(&d);
    if (!view) return 0;
    view->show();
    auto* selector = view->findChild<QComboBox*>(QStringLiteral("portfolioSelector"));
    selector->setCurrentIndex(selector->findData(portfolio));
    view->OnPortfolioChosen();
    view->OnSeriesChosen(quillet::kSeriesValue);
    const char* names[] = {"bar", "pie", "history"};
    for (int mode = 0; mode < 3; ++mode) {
      view->SetMode(mode);
      QCoreApplication::processEvents();
      const std::string file = out + "/portfolio-" + names[mode] + ".png";
      if (!WriteScreen(*app.frame(), *view, file)) {
        std::fprintf(stderr, "quillet-sheet-screenshots: cannot write %s\n", file.c_str());
        ok = false;
      } else {
        std::printf("%s\n", file.c_str());
      }
    }
    view->hide();
    return 0;
  });
  app.OnCommand(quillet::ID_PORTFOLIO_CHARTS);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::string root, out, stock, sold;
  int portfolio = -1;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--device-root") == 0) {
      root = argv[i + 1];
    } else if (std::strcmp(argv[i], "--out") == 0) {
      out = argv[i + 1];
    } else if (std::strcmp(argv[i], "--stock") == 0) {
      stock = argv[i + 1];
    } else if (std::strcmp(argv[i], "--sold") == 0) {
      sold = argv[i + 1];
    } else if (std::strcmp(argv[i], "--portfolio") == 0) {
      portfolio = std::atoi(argv[i + 1]);
    } else {
      return Usage();
    }
  }
  if (root.empty() || out.empty() || stock.empty() || argc % 2 == 0) return Usage();
  qputenv("QT_QPA_PLATFORM", "offscreen");
  quillet::HostServices host(quillet::ReadEnvironmentSettings(std::getenv));
  QApplication qapp(argc, argv);
  quillet::ApplyHandheldStyle(qapp);
  std::string error;
  auto ctx = quillet::PlatformContext::Open(quillet::PlatformContext::Kind::kDevice, root,
                                            host.services(), &error);
  if (!ctx) {
    std::fprintf(stderr, "quillet-sheet-screenshots: %s: %s\n", root.c_str(), error.c_str());
    return 1;
  }
  quillet::CQuilletApp::Options options;
  options.skipAboutBox = true;
  options.readOnly = true;  // a picture leaves the device as it found it
  quillet::CQuilletApp app(*ctx, options);
  int rc = 1;
  if (app.InitInstance()) {
    app.frame()->show();
    QCoreApplication::processEvents();
    bool ok = Shoot(app, stock, false, out);
    if (!sold.empty()) ok = Shoot(app, sold, true, out) && ok;
    if (portfolio >= 0) ok = ShootPortfolio(app, portfolio, out) && ok;
    rc = ok ? 0 : 1;
  }
  app.ExitInstance();
  return rc;
}
