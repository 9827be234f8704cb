// The program under load, at a small scale: the seeded device loads back as seeded, and the three
// watched steps (start to first paint, "Update Stocks" against the simulator, a synchronisation
// with the desktop run and the start again) do their work and report what the freeze watch saw.
// The timed run of the same steps at full size is the start-up benchmark; nothing here is timed.
#include <gtest/gtest.h>

#include "core/chart_store.h"
#include "core/data_files.h"
#include "core/preferences.h"
#include "device/main_frame.h"
#include "device/stock_list_view.h"
#include "device/testing/load_scenario.h"
#include "quotes/testing/quote_sim_process.h"

namespace quillet {
namespace {

using testing::LoadScenario;
using testing::LoadSize;
using testing::LoadSymbol;
using testing::StepResult;

constexpr LoadSize kSmall{.stocks = 300, .portfolios = 6, .alerts = 40, .historyPoints = 30};

class LoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(testing::SeedLoad(*root.ctx, kSmall, &error)) << error;
  }
  double PriceOf(const PortfolioStore& s, int i) {
    for (const auto& r : s.stocks) {
      if (r->Symbol() == LoadSymbol(i)) return ParseDecimal(FieldText(r->szPrice), 4);
    }
    return -1;
  }

  testing::ScopedTimeZone tz{"UTC"};
  testing::TestRoot root{PlatformContext::Kind::kDevice, testing::kLoadToday};
};

TEST_F(LoadTest, TheSeededDeviceLoadsBackWithEveryStockAlertAndHistory) {
  EXPECT_EQ(LoadSymbol(0), "AAAA");
  EXPECT_EQ(LoadSymbol(27), "AABB");
  EXPECT_NE(LoadSymbol(299), LoadSymbol(298));
  PortfolioStore s(*root.ctx);
  LoadPreferences(s);
  ASSERT_TRUE(LoadStocks(s));
  ASSERT_TRUE(LoadAlerts(s));
  EXPECT_EQ(s.stocks.size(), 300u);
  EXPECT_EQ(s.alerts.size(), 40u);
  EXPECT_EQ(s.wPortfolioCount, 7);  // "All" and six
  EXPECT_EQ(s.stocks.back()->ucPortfolio, 1 + 299 % 6);
  ChartStore charts(root.ctx->objectStore(), root.ctx->messageBoxes());
  ASSERT_TRUE(charts.OpenChartStore());
  auto series = charts.FindSeries(LoadSymbol(299), 0);
  ASSERT_TRUE(series.has_value());
  ASSERT_EQ(series->points.size(), 30u);
  EXPECT_EQ(series->points.front().tDate, testing::kLoadToday - 30 * 86400);
  EXPECT_EQ(series->points.back().tDate, testing::kLoadToday - 86400);
  charts.CloseChartStore();
}

TEST_F(LoadTest, StartUpdateAndSyncEachDoTheirWorkUnderTheWatch) {
  testing::QuoteSimProcess sim;
  ASSERT_TRUE(sim.running());
  LoadScenario scenario(root, sim.port());

  const StepResult start = scenario.StartUp();
  ASSERT_TRUE(start.ok) << start.error;
  EXPECT_GE(start.paintMs, 0);
  EXPECT_GT(start.freeze.turns, 0);
  EXPECT_GE(start.freeze.longestFreezeMs, start.freeze.longestBareFreezeMs);
  EXPECT_EQ(scenario.app()->store()->stocks.size(), 300u);
  EXPECT_EQ(scenario.app()->frame()->list()->RowCount(), 300);
  EXPECT_TRUE(scenario.app()->frame()->isVisible());

  const StepResult update = scenario.Update();
  ASSERT_TRUE(update.ok) << update.error << "\n" << scenario.app()->networkLog().text();
  EXPECT_GT(update.freeze.turns, 0);
  // Two batches of 150 symbols.
  EXPECT_EQ(sim.Requests().size(), 2u);
  // The day's point joined every history, and one alert in ten can fire on any price.
  EXPECT_EQ(scenario.app()->store()->bAlertActive, 1);
  auto series = scenario.app()->charts()->FindSeries(LoadSymbol(150), 0);
  ASSERT_TRUE(series.has_value());
  EXPECT_EQ(series->points.size(), 31u);
  const double updatedPrice = PriceOf(*scenario.app()->store(), 7);
  EXPECT_GT(updatedPrice, 0);

  const StepResult sync = scenario.Sync();
  ASSERT_TRUE(sync.ok) << sync.error << "\n" << scenario.syncOutput();
  EXPECT_NE(scenario.syncOutput().find("Quillet log ended"), std::string::npos)
      << scenario.syncOutput();
  EXPECT_GE(sync.paintMs, 0);
  EXPECT_LE(sync.paintMs, sync.ms);
  // The program is running again, on what the desktop wrote back: every stock and alert.
  ASSERT_NE(scenario.app(), nullptr);
  EXPECT_TRUE(scenario.app()->frame()->isVisible());
  EXPECT_EQ(scenario.app()->store()->stocks.size(), 300u);
  EXPECT_EQ(scenario.app()->store()->alerts.size(), 40u);
  EXPECT_GT(PriceOf(*scenario.app()->store(), 7), 0);
  EXPECT_GT(sim.Requests().size(), 2u);  // the desktop asked the simulator too
}

TEST_F(LoadTest, AnUpdateAgainstAFailingServerIsReportedAsFailed) {
  testing::QuoteSimProcess sim({"--status", "500"});
  ASSERT_TRUE(sim.running());
  LoadScenario scenario(root, sim.port());
  ASSERT_TRUE(scenario.StartUp().ok);
  const StepResult update = scenario.Update();
  EXPECT_FALSE(update.ok);
  EXPECT_FALSE(update.error.empty());
}

}  // namespace
}  // namespace quillet
