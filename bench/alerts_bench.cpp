// Evaluating 10,000 alerts against 10,000 stocks, as the update run does after every update,
// as a line of the benchmark table against sorting both lists by quote symbol, which the
// evaluation's walk needs before it can start. No alert fires, so the walk goes to the end.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/table_line.h"
#include "core/alert_evaluation.h"
#include "core/portfolio_store.h"
#include "core/quote_tables.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using bench::SecondsSince;

constexpr int kStocks = 10000;
constexpr int kAlerts = 10000;

std::string SymbolOf(int i) {
  std::string s = "S";
  s += std::to_string(i * 7919 % 100003);
  return s;
}

void Fill(PortfolioStore& store) {
  for (int i = 0; i < kStocks; ++i) {
    auto r = std::make_unique<StockRecord>();
    r->dwId = static_cast<DWORD>(i + 1);
    // Most on the US market, some on markets with a suffix, a few lots of the same symbol.
    r->ucMarket = static_cast<BYTE>(i % 5 == 0 ? 1 + i % 40 : 0);
    r->ucStatus = static_cast<BYTE>(i % 50 == 0 ? kStatusSold : 0);
    CopyToField(r->szName, "Stock " + std::to_string(i));
    CopyToField(r->szSymbol, SymbolOf(i % 9000));
    CopyToField(r->szShares, "100");
    CopyToField(r->szBuyPrice, "10.25");
    CopyToField(r->szPrice, "11.50");
    CopyToField(r->szChange, "+0.25");
    CopyToField(r->szPrevClose, "11.25");
    store.stocks.push_back(std::move(r));
  }
  for (int j = 0; j < kAlerts; ++j) {
    auto a = std::make_unique<StockAlert>();
    *a = {};
    const StockRecord& r = *store.stocks[static_cast<std::size_t>(j * 31 % kStocks)];
    CopyToField(a->szQuoteSymbol, QuoteSymbol(r.Symbol(), r.ucMarket));
    a->ucMarket = r.ucMarket;
    a->ucCondition = static_cast<BYTE>(j % kAlertConditionCount);
    a->ucCompare = kCompareGreater;
    a->dThreshold = 1e12;  // never reached: every alert is tested
    store.alerts.push_back(std::move(a));
  }
}

void BM_CheckAlerts(benchmark::State& state) {
  testing::TestRoot root;
  PortfolioStore store(*root.ctx);
  Fill(store);
  std::mt19937 rng(11);
  std::vector<const StockRecord*> stocks;
  std::vector<const StockAlert*> alerts;
  for (auto _ : state) {
    double floor = 1e300;
    double measured = 1e300;
    bool fired = false;
    for (int round = 0; round < 5; ++round) {
      std::shuffle(store.stocks.begin(), store.stocks.end(), rng);
      std::shuffle(store.alerts.begin(), store.alerts.end(), rng);
      stocks.clear();
      alerts.clear();
      for (const auto& r : store.stocks) stocks.push_back(r.get());
      for (const auto& a : store.alerts) alerts.push_back(a.get());
      auto start = std::chrono::steady_clock::now();
      std::sort(stocks.begin(), stocks.end(), [](const StockRecord* a, const StockRecord* b) {
        return std::strcmp(a->szSymbol, b->szSymbol) < 0;
      });
      std::sort(alerts.begin(), alerts.end(), [](const StockAlert* a, const StockAlert* b) {
        return std::strcmp(a->szQuoteSymbol, b->szQuoteSymbol) < 0;
      });
      floor = std::min(floor, SecondsSince(start));
      benchmark::DoNotOptimize(stocks.data());
      benchmark::DoNotOptimize(alerts.data());
      start = std::chrono::steady_clock::now();
      fired = CheckAlerts(store, false) || fired;
      measured = std::min(measured, SecondsSince(start));
    }
    if (fired) state.SkipWithError("an alert fired: the walk stopped early");
    state.SetIterationTime(measured);
    bench::TableLine(state, "CheckAlerts, 10,000 stocks x 10,000 alerts", "sorting both lists",
                     "<=3x", measured, floor);
  }
}
BENCHMARK(BM_CheckAlerts)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet

BENCHMARK_MAIN();
