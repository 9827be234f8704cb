// A full update run of 10,000 stocks that keep 250 days of price history, against the quote
// service simulator on loopback: batches of 150 symbols, the day's point added to every series,
// the alerts evaluated and the stock file saved. A line of the benchmark table against what the
// run cannot avoid, measured in the same run: the same requests sent over a bare loopback
// socket with their answers read and not parsed, plus writing the same series blobs into SQLite
// in one transaction.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/table_line.h"
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

class QuietHost final : public UpdateHost {
 public:
  std::unique_ptr<QuoteProgress> OpenProgress(CancelToken& /*cancel*/) override { return nullptr; }
  void PlayUpdateSound() override {}
  void PumpMessages() override {}
};

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// Sends each request head to the simulator over a plain socket and reads the answer to its end,
// nothing parsed: the bare round trips of the run's requests.
double BareRoundTrips(std::uint16_t port, const std::vector<std::string>& heads) {
  auto start = std::chrono::steady_clock::now();
  char buffer[1 << 16];
  for (const std::string& head : heads) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
              send(fd, head.data(), head.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(head.size());
    while (ok && recv(fd, buffer, sizeof buffer, 0) > 0) {
    }
    close(fd);
    if (!ok) return 0;
  }
  return Seconds(std::chrono::steady_clock::now() - start);
}

// Writing `count` series blobs of `points` points each over the same rows of a SQLite database
// set up as the chart store's (WAL, normal sync), in one transaction.
double WriteBlobsInOneTransaction(const std::string& path, int count, int points) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return 0;
  sqlite3_exec(db,
               "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
               "CREATE TABLE IF NOT EXISTS series(oid INTEGER PRIMARY KEY, sort_key TEXT NOT NULL "
               "COLLATE NOCASE, props BLOB NOT NULL);"
               "CREATE INDEX IF NOT EXISTS series_order ON series(sort_key, oid);",
               nullptr, nullptr, nullptr);
  const std::string blob(static_cast<std::size_t>(points) * sizeof(ChartPoint) + 64, 'x');
  auto writeAll = [&] {
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO series(oid, sort_key, props) VALUES(?, ?, ?)",
                       -1, &stmt, nullptr);
    for (int i = 0; i < count; ++i) {
      const std::string key = bench::SymbolOf(i);
      sqlite3_bind_int(stmt, 1, i + 1);
      sqlite3_bind_text(stmt, 2, key.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_blob(stmt, 3, blob.data(), static_cast<int>(blob.size()), SQLITE_STATIC);
      sqlite3_step(stmt);
      sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  };
  writeAll();  // the rows exist before, as the series do before an update
  auto start = std::chrono::steady_clock::now();
  writeAll();
  const double seconds = Seconds(std::chrono::steady_clock::now() - start);
  sqlite3_close(db);
  return seconds;
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
      CopyToField(r->szSymbol, bench::SymbolOf(i));
      CopyToField(r->szName, bench::SymbolOf(i));
      CopyToField(r->szShares, "100");
      CopyToField(r->szBuyPrice, "10");
      r->ucPortfolio = 1;
      r->ucFlags = kFlagChartHistory;
      ChartSeries series;
      CopyToField(series.szName, bench::SymbolOf(i));
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
    // Three runs on the same day (the later ones rewrite the day's point of every series), each
    // followed by its floor; the best of each counts, so a burst of load from other processes
    // on the machine does not decide the line.
    double run = 1e300, roundTrips = 1e300, sqlite = 1e300;
    std::size_t requests = 0;
    for (int round = 0; round < 3; ++round) {
      const std::size_t before = sim.Requests().size();
      auto start = std::chrono::steady_clock::now();
      UpdateOutcome outcome = command.UpdateStocks(true);
      run = std::min(run, Seconds(std::chrono::steady_clock::now() - start));
      const std::vector<std::string> all = sim.Requests();
      const std::vector<std::string> heads(all.begin() + static_cast<std::ptrdiff_t>(before),
                                           all.end());
      requests = heads.size();
      if (outcome != UpdateOutcome::kComplete) state.SkipWithError("the run did not complete");
      if (heads.size() != expected) state.SkipWithError("the run did not batch its requests");
      const double replay = BareRoundTrips(sim.port(), heads);
      testing::TempDir blobs;
      const double write =
          WriteBlobsInOneTransaction(blobs.File("series.db"), kStocks, kHistoryDays + 1);
      if (replay <= 0 || write <= 0) state.SkipWithError("the floor could not be measured");
      roundTrips = std::min(roundTrips, replay);
      sqlite = std::min(sqlite, write);
    }
    state.SetIterationTime(run);
    state.counters["requests"] = static_cast<double>(requests);
    state.counters["roundtrips_ms"] = roundTrips * 1e3;
    state.counters["sqlite_ms"] = sqlite * 1e3;
    bench::TableLine(state, "full update of 10,000 stocks, 250 days of history each",
                     "requests x bare loopback round trip + the same series blobs in one SQLite "
                     "transaction",
                     "<=2x", run, roundTrips + sqlite);
  }
  auto series = charts.FindSeries(bench::SymbolOf(kStocks - 1), 0);
  if (!series || series->points.size() != kHistoryDays + 1) {
    state.SkipWithError("the day's point is missing");
  }
}
BENCHMARK(BM_FullUpdate10000StocksWithHistory)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) { return quillet::bench::RunBenchmarks(argc, argv); }
