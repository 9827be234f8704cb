#include "device/testing/load_scenario.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

#include "core/chart_store.h"
#include "core/data_files.h"
#include "core/preferences.h"
#include "device/main_frame.h"
#include "device/resource_ids.h"

namespace quillet::testing {
namespace {

constexpr std::int64_t kDay = 86400;

double MsSince(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

}  // namespace

std::string LoadSymbol(int i) {
  std::string s(4, 'A');
  for (int k = 3; k >= 0; --k) {
    s[static_cast<std::size_t>(k)] = static_cast<char>('A' + i % 26);
    i /= 26;
  }
  return s;
}

bool SeedLoad(PlatformContext& ctx, const LoadSize& size, std::string* error) {
  ChartStore charts(ctx.objectStore(), ctx.messageBoxes());
  if (!charts.OpenChartStore()) {
    *error = "the chart store does not open";
    return false;
  }
  bool ok = true;
  {
    PortfolioStore store(ctx, &charts);
    LoadPreferences(store);
    // The store starts with one portfolio of its own besides "All".
    while (store.wPortfolioCount - 1 < size.portfolios) {
      if (!store.AddPortfolio("Portfolio " + std::to_string(store.wPortfolioCount))) {
        *error = "a portfolio was refused";
        return false;
      }
    }
    store.wViewPortfolio = PORTFOLIO_ALL;
    ChartStore::Transaction tx(charts);
    for (int i = 0; i < size.stocks; ++i) {
      StockRecord* r = store.NewStock();
      if (!r) {
        *error = "stock " + std::to_string(i) + " was refused";
        return false;
      }
      const std::string symbol = LoadSymbol(i);
      CopyToField(r->szName, "Stock " + symbol);
      CopyToField(r->szSymbol, symbol);
      r->ucPortfolio = static_cast<BYTE>(1 + i % size.portfolios);
      r->ucStatus = kStatusActive;
      r->ucTrend = kTrendUp;
      r->ucFlags = kFlagChartHistory;
      CopyToField(r->szShares, std::to_string(10 + i % 90));
      CopyToField(r->szBuyPrice, std::to_string(5 + i % 50));
      CopyToField(r->szPrice, std::to_string(6 + i % 60));
      CopyToField(r->szChange, "0");
      ChartSeries series;
      CopyToField(series.szName, symbol);
      series.ucMarket = r->ucMarket;
      series.points.reserve(static_cast<std::size_t>(size.historyPoints));
      for (int d = size.historyPoints; d >= 1; --d) {
        const auto price = static_cast<DWORD>(100000 + (i * 7 + d * 13) % 5000);
        series.points.push_back(ChartPoint{static_cast<StockTime>(kLoadToday - d * kDay), price,
                                           price - 1000, price + 1000, 1000});
      }
      if (!charts.WriteSeries(series)) {
        *error = "the history of " + symbol + " was not written";
        return false;
      }
    }
    if (!tx.Commit()) {
      *error = "the histories were not committed";
      return false;
    }
    for (int a = 0; a < size.alerts; ++a) {
      auto alert = std::make_unique<StockAlert>();
      *alert = {};
      CopyToField(alert->szQuoteSymbol, LoadSymbol(a % size.stocks));
      alert->ucCondition = 0;  // the price
      alert->ucCompare = 4;    // above
      // One alert in ten can fire on any price; the others wait for prices no stock reaches.
      alert->dThreshold = a % 10 == 0 ? 0.01 : 1e6;
      store.alerts.push_back(std::move(alert));
    }
    ok = SavePreferences(store) && SaveStocks(store) && SaveNotes(store) && SaveAlerts(store);
  }
  charts.CloseChartStore();
  if (!ok) *error = "the data files were not saved";
  return ok;
}

LoadScenario::LoadScenario(TestRoot& root, std::uint16_t quotePort)
    : root_(root), port_(quotePort), watch_(*QCoreApplication::instance()) {
  root_.ctx->settings().quoteServer = "127.0.0.1:" + std::to_string(port_);
}

LoadScenario::~LoadScenario() {
  if (app_) app_->ExitInstance();
  app_.reset();
}

bool LoadScenario::RunUntil(const std::function<bool()>& done, int timeoutMs) {
  if (done()) return true;
  QElapsedTimer elapsed;
  elapsed.start();
  QEventLoop loop;
  QTimer poll;
  poll.setInterval(1);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done() || elapsed.elapsed() > timeoutMs) loop.quit();
  });
  poll.start();
  loop.exec();
  return done();
}

void LoadScenario::Settle() {
  const int turns = watch_.report().turns;
  RunUntil([&] { return watch_.report().turns >= turns + 3; }, 10000);
}

bool LoadScenario::Start(StepResult& result) {
  const double begin = watch_.ElapsedMs();
  watch_.AwaitPaint();
  CQuilletApp::Options options;
  options.skipAboutBox = true;
  app_ = std::make_unique<CQuilletApp>(*root_.ctx, options);
  // No dialog is expected; one that comes is closed as with OK.
  app_->SetModalAnswerer([](QDialog&) { return 1; });
  if (!app_->InitInstance()) {
    result.error = "the program did not start";
    return false;
  }
  if (!RunUntil([&] { return watch_.report().firstPaintMs >= 0; }, 120000)) {
    result.error = "the window was never painted";
    return false;
  }
  result.paintMs = watch_.report().firstPaintMs - begin;
  Settle();
  return true;
}

StepResult LoadScenario::StartUp() {
  StepResult result;
  const std::size_t messages = root_.answers.texts().size();
  QElapsedTimer t;
  t.start();
  watch_.Restart();
  result.ok = Start(result) && root_.answers.texts().size() == messages;
  if (result.error.empty() && !result.ok) result.error = root_.answers.texts().back();
  result.ms = MsSince(t);
  result.freeze = watch_.report();
  return result;
}

StepResult LoadScenario::Update() {
  StepResult result;
  if (!app_) {
    result.error = "the program is not running";
    return result;
  }
  const std::size_t messages = root_.answers.texts().size();
  QElapsedTimer t;
  t.start();
  watch_.Restart();
  bool done = false;
  UpdateOutcome outcome = UpdateOutcome::kTurnedAway;
  // As the menu's command does, from the event loop.
  QTimer::singleShot(0, [&] {
    outcome = app_->UpdateStocks(false);
    done = true;
  });
  if (!RunUntil([&] { return done; }, 600000)) {
    result.error = "the update did not end";
    return result;
  }
  Settle();
  result.ms = MsSince(t);
  result.freeze = watch_.report();
  if (outcome != UpdateOutcome::kComplete) {
    result.error = "the update did not complete";
  } else if (root_.answers.texts().size() != messages) {
    result.error = root_.answers.texts().back();
  } else {
    result.ok = true;
  }
  return result;
}

int LoadScenario::Cli(const std::string& args, std::string* out) {
  const std::string env = "TZ=UTC QUILLET_NOW=" + std::to_string(kLoadToday) +
                          " QUILLET_QUOTE_SERVER=127.0.0.1:" + std::to_string(port_) + " ";
  return RunCommand(env + ShellQuote(BuiltProgram("bin/quillet-cli")) + " --desktop-root " +
                        ShellQuote(desktop_.path()) + " --device-root " +
                        ShellQuote(root_.ctx->root()) + " " + args + " 2>&1",
                    out);
}

StepResult LoadScenario::Sync() {
  StepResult result;
  if (!app_) {
    result.error = "the program is not running";
    return result;
  }
  // The desktop's companion is installed and the device is in its cradle.
  std::string out;
  if (Cli("reg --desktop --root HKLM set 'SOFTWARE\\Microsoft\\Windows CE Services' "
          "InstalledDir --string 'C:\\Program Files\\Microsoft ActiveSync'",
          &out) != 0 ||
      Cli("device connect", &out) != 0) {
    result.error = "the desktop was not set up: " + out;
    return result;
  }
  QElapsedTimer t;
  t.start();
  watch_.Restart();
  // The desktop's request to step aside, as it arrives through the window station.
  bool closed = false;
  app_->SetQuitHandler([&closed] { closed = true; });
  QTimer::singleShot(0, [&] { app_->frame()->OnWindowMessage({WM_QUILLET_CLOSE, 0, 0}); });
  if (!RunUntil([&] { return closed; }, 60000)) {
    result.error = "the program did not close for the synchronisation";
    return result;
  }
  app_->ExitInstance();
  app_.reset();
  // The desktop run rewrites the device's files while the program is away.
  if (Cli("sync --yes", &syncOutput_) != 0) {
    result.error = "the desktop run did not write back";
    return result;
  }
  // And starts the program again.
  const std::size_t messages = root_.answers.texts().size();
  result.ok = Start(result) && root_.answers.texts().size() == messages;
  if (result.error.empty() && !result.ok) result.error = root_.answers.texts().back();
  result.ms = MsSince(t);
  result.freeze = watch_.report();
  return result;
}

}  // namespace quillet::testing
