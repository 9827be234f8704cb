// A full update run of 10,000 stocks that keep a year of price history, against the quote
// service simulator on loopback: batches of 150 symbols, the day's point added to every series,
// the alerts evaluated and the stock file saved. Reported against the floor of the same run:
// the simulator's bare request round trip (one symbol, nothing applied), as
//   update_over_roundtrips = run time / (requests * round trip)
// and the requests counted in the simulator's log against ceil(n / 150).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/chart_store.h"
#include "core/portfolio_store.h"
#include "platform/testing/test_support.h"
#include "quotes/device/update_quotes.h"
#include "quotes/testing/client_kit.h"
#include "quotes/testing/quote_sim_process.h"

namespace quillet {
namespace {

constexpr int kStocks = 10000;
constexpr int kHistoryDays = 250;
constexpr StockTime kToday = 1051891200;  // the simulator's "now"

// Four letters each, so 150 of them fit a request.
std::string SymbolOf(int i) {
  std::string s(4, 'A');
  for (int k = 3; k >= 0; --k) {
    s[static_cast<std::size_t>(k)] = static_cast<char>('A' + i % 26);
    i /= 26;
  }
  return s;
}

class QuietHost final : public UpdateHost {
 public:
  std::unique_ptr<QuoteProgress> OpenProgress(CancelToken& /*cancel*/) override { return nullptr; }
  void PlayUpdateSound() override {}
  void PumpMessages() override {}
};

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// The mean time of a one-symbol request, read and parsed, nothing applied.
double RoundTrip(std::uint16_t port, int times) {
  testing::ClientKit kit;
  CQuoteClient client(ClientVariant::kDevice, kit.Services());
  client.SetServerOverride(QuoteEndpoint{"127.0.0.1", port});
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < times; ++i) {
    client.FreeResults();
    client.BeginRequest(kSourceCsvUs);
    client.AppendRequest("IBM");
    client.EndRequest();
    if (client.Execute() != QR_OK) return 0;
  }
  return Seconds(std::chrono::steady_clock::now() - start) / times;
}

void BM_FullUpdate10000StocksWithHistory(benchmark::State& state) {
  testing::QuoteSimProcess sim;
  if (!sim.running()) {
    state.SkipWithError("the quote service simulator did not start");
    return;
  }
  testing::TestRoot root(PlatformContext::Kind::kDevice, kToday);
  ChartStore charts(root.ctx->objectStore(), root.ctx->messageBoxes());
  charts.OpenChartStore();
  PortfolioStore store(*root.ctx, &charts);
  {
    // A year of points up to yesterday for every stock.
    ChartStore::Transaction tx(charts);
    for (int i = 0; i < kStocks; ++i) {
      auto r = std::make_unique<StockRecord>();
      std::memset(r.get(), 0, sizeof(StockRecord));
      r->dwId = ++store.dwMaxStockId;
      CopyToField(r->szSymbol, SymbolOf(i));
      CopyToField(r->szName, SymbolOf(i));
      CopyToField(r->szShares, "100");
      CopyToField(r->szBuyPrice, "10");
      r->ucPortfolio = 1;
      r->ucFlags = kFlagChartHistory;
      ChartSeries series;
      CopyToField(series.szName, SymbolOf(i));
      for (int d = kHistoryDays; d >= 1; --d) {
        series.points.push_back(
            ChartPoint{kToday - static_cast<StockTime>(d) * 86400, 100000, 99000, 101000, 1000});
      }
      charts.WriteSeries(series);
      store.stocks.push_back(std::move(r));
    }
    tx.Commit();
  }

  NetworkLog log;
  QuietHost host;
  RecordingAlertIndicator alerts;
  UpdateServices services{store, &charts, log, host, alerts};
  UpdateSettings settings;
  settings.server = QuoteEndpoint{"127.0.0.1", sim.port()};
  CUpdateCommand command(services, settings);

  const std::size_t expected = (kStocks + kMaxSymbolsPerBatch - 1) / kMaxSymbolsPerBatch;
  for (auto _ : state) {
    const std::size_t before = sim.Requests().size();
    auto start = std::chrono::steady_clock::now();
    UpdateOutcome outcome = command.UpdateStocks(true);
    const double run = Seconds(std::chrono::steady_clock::now() - start);
    const std::size_t requests = sim.Requests().size() - before;
    if (outcome != UpdateOutcome::kComplete) state.SkipWithError("the run did not complete");
    const double roundTrip = RoundTrip(sim.port(), 50);
    state.SetIterationTime(run);
    state.counters["requests"] = static_cast<double>(requests);
    state.counters["expected_requests"] = static_cast<double>(expected);
    state.counters["roundtrip_ms"] = roundTrip * 1e3;
    state.counters["run_ms"] = run * 1e3;
    state.counters["us_per_stock"] = run * 1e6 / kStocks;
    state.counters["update_over_roundtrips"] =
        roundTrip > 0 ? run / (static_cast<double>(requests) * roundTrip) : 0;
  }
  auto series = charts.FindSeries(SymbolOf(kStocks - 1), 0);
  if (!series || series->points.size() != kHistoryDays + 1) {
    state.SkipWithError("the day's point is missing");
  }
}
BENCHMARK(BM_FullUpdate10000StocksWithHistory)
    ->Iterations(2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
  // The simulator is found beside the benchmark when the build folder is not named.
  if (std::getenv("QUILLET_BUILD_DIR") == nullptr) {
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) setenv("QUILLET_BUILD_DIR", self.parent_path().parent_path().c_str(), 0);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
