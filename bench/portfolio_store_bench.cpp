// Loading and saving a stock file of 100,000 stocks, and sorting them by each key, reported as
// ratios against reading the same file's bytes in the same run (the floor any load pays).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>

#include "core/data_files.h"
#include "core/portfolio_math.h"
#include "core/portfolio_store.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

constexpr int kStocks = 100000;

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Fill(PortfolioStore& store) {
  std::mt19937 rng(42);
  std::uniform_int_distribution<int> cents(1, 9999999);
  store.AddPortfolio("Europe");
  store.AddCurrency("EUR", "1.1");
  store.SetPortfolioCurrency(2, 1);
  for (int i = 0; i < kStocks; ++i) {
    auto r = std::make_unique<StockRecord>();
    r->dwId = static_cast<DWORD>(i + 1);
    r->ucPortfolio = static_cast<BYTE>(i % 3);
    r->ucStatus = static_cast<BYTE>(i % 10 == 0 ? kStatusWatched : i % 7 == 0 ? kStatusSold : 0);
    r->ucMarket = static_cast<BYTE>(i % 80);
    r->tBuyDate = 1000000000u + static_cast<StockTime>(cents(rng));
    r->tSellDate = r->ucStatus == kStatusSold ? r->tBuyDate + 86400u * 30 : 0;
    CopyToField(r->szName, "Stock " + std::to_string(cents(rng)));
    CopyToField(r->szSymbol, "S" + std::to_string(cents(rng) % 100000));
    auto price = [&] { return FormatDecimal(cents(rng) / 100.0, 2); };
    CopyToField(r->szShares, std::to_string(cents(rng) % 5000));
    CopyToField(r->szBuyPrice, price());
    CopyToField(r->szBuyFee, "9.95");
    CopyToField(r->szPrice, price());
    std::string change = i % 2 ? "+" : "-";
    change += FormatDecimal(cents(rng) / 1e6, 4);
    CopyToField(r->szChange, change);
    CopyToField(r->szPrevClose, price());
    store.stocks.push_back(std::move(r));
  }
  store.dwMaxStockId = kStocks;
}

// Reading the bytes of the saved file: the floor of every ratio below.
double ReadFloor(PlatformContext& ctx) {
  std::string path = *ctx.HostPath("\\Program Files\\Quillet\\QuilletDB");
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    std::string bytes;
    auto start = std::chrono::steady_clock::now();
    ctx.files().ReadAll(path, &bytes);
    benchmark::DoNotOptimize(bytes.data());
    best = std::min(best, Seconds(start));
  }
  return best;
}

void BM_LoadAndSave(benchmark::State& state) {
  testing::TestRoot root;
  {
    PortfolioStore store(*root.ctx);
    Fill(store);
    SaveStocks(store);
  }
  const double floor = ReadFloor(*root.ctx);
  for (auto _ : state) {
    PortfolioStore store(*root.ctx);
    auto start = std::chrono::steady_clock::now();
    LoadStocks(store);
    double load = Seconds(start);
    start = std::chrono::steady_clock::now();
    SaveStocks(store);
    double save = Seconds(start);
    state.SetIterationTime(load + save);
    state.counters["read_ms"] = floor * 1e3;
    state.counters["load_over_read"] = load / floor;
    state.counters["save_over_read"] = save / floor;
    state.counters["load_save_over_read"] = (load + save) / floor;
  }
}
BENCHMARK(BM_LoadAndSave)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_SortByKey(benchmark::State& state) {
  testing::TestRoot root;
  PortfolioStore store(*root.ctx);
  Fill(store);
  SaveStocks(store);
  const double floor = ReadFloor(*root.ctx);
  const int key = static_cast<int>(state.range(0));
  std::mt19937 rng(7);
  for (auto _ : state) {
    std::shuffle(store.stocks.begin(), store.stocks.end(), rng);
    auto start = std::chrono::steady_clock::now();
    SortStocks(store, key, key % 2 == 1, true);
    double sort = Seconds(start);
    state.SetIterationTime(sort);
    state.counters["sort_over_read"] = sort / floor;
  }
  state.SetLabel("key " + std::to_string(key));
}
BENCHMARK(BM_SortByKey)
    ->DenseRange(0, 10)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet

BENCHMARK_MAIN();
