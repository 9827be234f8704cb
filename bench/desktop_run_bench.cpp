// The desktop run over a handheld of 10,000 stocks against the quote service simulator on
// loopback: the handheld's files copied in over the remote API, quotes fetched, the alerts
// evaluated and the stock file written back. A line of the benchmark table against copying the
// same files in and the stock file back with plain reads and writes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/table_line.h"
#include "core/data_files.h"
#include "core/portfolio_store.h"
#include "core/preferences.h"
#include "desktop/quillet_updater.h"
#include "desktop/working_directory.h"
#include "platform/linux/posix_file_system.h"
#include "platform/linux/remote_api.h"
#include "platform/testing/test_support.h"
#include "quotes/testing/quote_sim_process.h"

namespace quillet {
namespace {

using bench::BestOf;
using bench::SecondsSince;

constexpr int kStocks = 10000;
constexpr StockTime kNow = 1051891200;  // the simulator's today

// A run without windows: no progress window to wait on, and Yes to the question.
class QuietHost final : public DeskRunHost {
 public:
  std::unique_ptr<DeskProgress> OpenProgress(CancelToken&) override { return nullptr; }
  bool AskToUpdate() override { return true; }
  void PumpMessages() override {}
};

// The handheld's stocks, a note and an alert per hundred stocks, saved as the program saves them.
bool SeedDevice(PlatformContext& device) {
  PortfolioStore store(device);
  LoadPreferences(store);
  for (int i = 0; i < kStocks; ++i) {
    StockRecord* r = store.NewStock();
    CopyToField(r->szName, "Stock " + bench::SymbolOf(i));
    CopyToField(r->szSymbol, bench::SymbolOf(i));
    CopyToField(r->szShares, "100");
    CopyToField(r->szBuyPrice, "10");
    CopyToField(r->szPrice, "10.5");
    r->ucPortfolio = static_cast<BYTE>(i % 3);
    if (i % 100 == 0) store.SetNote(r->dwId, u"a note of the handheld's");
  }
  for (int i = 0; i < kStocks; i += 100) {
    auto alert = std::make_unique<StockAlert>();
    *alert = {};
    CopyToField(alert->szQuoteSymbol, bench::SymbolOf(i));
    alert->ucCondition = 0;
    alert->ucCompare = 4;
    alert->dThreshold = 1e9;
    store.alerts.push_back(std::move(alert));
  }
  SavePreferences(store);
  return SaveStocks(store) && SaveNotes(store) && SaveAlerts(store);
}

// The floor: the three files read and written into the working folder, the stock file read
// from there and written back, with plain file calls.
void CopyFiles(PosixFileSystem& disk, const std::string& deviceFolder, const std::string& into) {
  std::string bytes;
  for (const char* name : {"QuilletDB", "StockNoteDB", "StockAlertDB"}) {
    disk.ReadAll(deviceFolder + "/" + name, &bytes);
    disk.WriteAll(into + "/" + name, bytes);
  }
  disk.ReadAll(into + "/QuilletDB", &bytes);
  disk.WriteAll(deviceFolder + "/QuilletDB.copy", bytes);
}

void BM_DesktopRun10000Stocks(benchmark::State& state) {
  testing::ScopedTimeZone utc("UTC");
  testing::QuoteSimProcess sim;
  testing::TestRoot device(PlatformContext::Kind::kDevice, kNow - 86400);
  testing::TestRoot desk(PlatformContext::Kind::kDesktop, kNow);
  PosixFileSystem disk;
  std::optional<WorkingDirectory> dir;
  if (!sim.running() || !SeedDevice(*device.ctx) ||
      desk.ctx->registry().SetString(HKEY_LOCAL_MACHINE, kActiveSyncKey, u"InstalledDir",
                                     u"C:\\Program Files\\Microsoft ActiveSync") != 0 ||
      !(dir = FindWorkingDirectory(*desk.ctx)) ||
      ConnectDevice(disk, desk.ctx->root(), device.ctx->root()) != 0) {
    state.SkipWithError("the handheld and desktop could not be set up");
    for (auto _ : state) {
    }
    return;
  }
  const std::string deviceFolder = *device.ctx->HostPath("\\Program Files\\Quillet");
  testing::TempDir copies;
  QuietHost host;
  for (auto _ : state) {
    const double floor = BestOf(3, [&] { CopyFiles(disk, deviceFolder, copies.path()); });
    DeskRunServices services{*desk.ctx, host};
    services.server = QuoteEndpoint{"127.0.0.1", sim.port()};
    services.retryTimeoutSeconds = 10;
    CQuilletUpdater run(services);
    auto start = std::chrono::steady_clock::now();
    run.BeginRun();
    for (int i = 0; i < 5; ++i) run.RunStep();
    run.EndRun();
    const double measured = SecondsSince(start);
    if (!run.wroteBack()) state.SkipWithError("the run did not write the stock file back");
    state.SetIterationTime(measured);
    bench::TableLine(state, "desktop run over 10,000 stocks (copy, update, write back)",
                     "copying the same files", "report", measured, floor);
  }
  PortfolioStore saved(*device.ctx);
  LoadStocks(saved);
  if (saved.stocks.size() != kStocks || FieldText(saved.stocks.back()->szPrice) == "10.5") {
    state.SkipWithError("the written-back stocks do not hold the new prices");
  }
}
BENCHMARK(BM_DesktopRun10000Stocks)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) { return quillet::bench::RunBenchmarks(argc, argv); }
