// An update run adds one point to each of many series. Inside one transaction scope the run
// pays for one commit; without it, one per series. Reported: the time per series of each way
// and the ratio unscoped / scoped.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "core/chart_store.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

constexpr int kSeries = 10000;
constexpr StockTime kDay0 = 1051848000;

double AddOnePointEach(ChartStore& charts, StockTime day, bool scoped) {
  auto start = std::chrono::steady_clock::now();
  std::optional<ChartStore::Transaction> tx;
  if (scoped) tx.emplace(charts);
  for (int i = 0; i < kSeries; ++i) {
    charts.AddDailyPoint("S" + std::to_string(i), 0, day, PointFigures{10.5, 10, 11, 1000},
                         kStockScale);
  }
  if (tx) tx->Commit();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_DailyPointsScopedVsUnscoped(benchmark::State& state) {
  for (auto _ : state) {
    testing::TestRoot scopedRoot, unscopedRoot;
    ChartStore scopedCharts(scopedRoot.ctx->objectStore(), scopedRoot.ctx->messageBoxes());
    ChartStore unscopedCharts(unscopedRoot.ctx->objectStore(), unscopedRoot.ctx->messageBoxes());
    scopedCharts.OpenChartStore();
    unscopedCharts.OpenChartStore();
    // Day 1 creates the series, day 2 appends to existing ones: time both.
    double scoped = AddOnePointEach(scopedCharts, kDay0, true) +
                    AddOnePointEach(scopedCharts, kDay0 + 86400, true);
    double unscoped = AddOnePointEach(unscopedCharts, kDay0, false) +
                      AddOnePointEach(unscopedCharts, kDay0 + 86400, false);
    state.SetIterationTime(scoped);
    state.counters["scoped_us_per_series"] = scoped * 1e6 / (2 * kSeries);
    state.counters["unscoped_us_per_series"] = unscoped * 1e6 / (2 * kSeries);
    state.counters["unscoped_over_scoped"] = unscoped / scoped;
  }
}
BENCHMARK(BM_DailyPointsScopedVsUnscoped)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet

BENCHMARK_MAIN();
