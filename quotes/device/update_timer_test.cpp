// The automatic-update timer: arming, the interval list, background and foreground runs, and
// ticks that arrive while a run is going on. The runs have nothing to fetch.
#include "quotes/device/update_timer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "platform/testing/test_support.h"
#include "quotes/device/testing/recording_update_host.h"

namespace quillet {
namespace {

using testing::RecordingUpdateHost;
using testing::TestRoot;

class FakeTimers final : public TimerService {
 public:
  UINT_PTR SetTimer(UINT_PTR requestedId, UINT elapseMs, std::function<void()> proc) override {
    UINT_PTR id = requestedId + 1000 * static_cast<UINT_PTR>(++made);  // ids are the service's
    timers[id] = {elapseMs, std::move(proc)};
    requested.push_back(requestedId);
    return id;
  }
  bool KillTimer(UINT_PTR id) override { return timers.erase(id) != 0; }
  void Fire() {
    ASSERT_EQ(timers.size(), 1u);
    timers.begin()->second.proc();
  }

  struct Timer {
    UINT elapseMs;
    std::function<void()> proc;
  };
  std::map<UINT_PTR, Timer> timers;
  std::vector<UINT_PTR> requested;
  int made = 0;
};

class FakeForeground final : public ForegroundWindow {
 public:
  bool MainWindowInForeground() override { return ours; }
  void PostToForeground(UINT msg) override { posted.push_back(msg); }
  bool ModalWindowOpen() override { return modal; }
  bool ours = false;
  bool modal = false;
  std::vector<UINT> posted;
};

class AutoUpdate : public ::testing::Test {
 protected:
  TestRoot root;
  PortfolioStore store{*root.ctx};
  NetworkLog log;
  RecordingUpdateHost host;
  RecordingAlertIndicator alerts;
  UpdateServices services{store, nullptr, log, host, alerts};
  CUpdateCommand command{services};
  FakeTimers timers;
  FakeForeground foreground;
};

TEST_F(AutoUpdate, ArmingFollowsTheSettings) {
  {
    CUpdateTimer timer(store, timers, foreground, command, alerts);
    timer.Arm();
    EXPECT_TRUE(timers.timers.empty());
    EXPECT_EQ(timer.timerId(), 0u);

    store.bAutoUpdate = 1;
    store.ucUpdateMinutes = UpdateMinutesFromChoice(5, store.ucUpdateMinutes);  // "1 Hour"
    timer.Arm();
    ASSERT_EQ(timers.timers.size(), 1u);
    EXPECT_EQ(timers.requested, (std::vector<UINT_PTR>{kUpdateTimerId}));
    EXPECT_EQ(timers.timers.begin()->second.elapseMs, 3600000u);
    EXPECT_EQ(timer.timerId(), timers.timers.begin()->first);

    // Confirming the page again replaces the timer; turning the option off kills it.
    store.ucUpdateMinutes = UpdateMinutesFromChoice(0, store.ucUpdateMinutes);
    timer.Arm();
    ASSERT_EQ(timers.timers.size(), 1u);
    EXPECT_EQ(timers.timers.begin()->second.elapseMs, 120000u);
    store.bAutoUpdate = 0;
    timer.Arm();
    EXPECT_TRUE(timers.timers.empty());
    store.bAutoUpdate = 1;
    timer.Arm();
  }
  // Shutdown kills it.
  EXPECT_TRUE(timers.timers.empty());
}

TEST_F(AutoUpdate, IntervalList) {
  std::vector<int> minutes;
  for (BYTE m : UpdateIntervalMinutes()) minutes.push_back(m);
  EXPECT_EQ(minutes, (std::vector<int>{2, 5, 10, 15, 30, 60, 120}));
  EXPECT_STREQ(UpdateIntervalText(5), "1 Hour");
  EXPECT_STREQ(UpdateIntervalText(6), "2 Hours");
  EXPECT_STREQ(UpdateIntervalText(7), "");
  // Nothing chosen: the interval stays.
  EXPECT_EQ(UpdateMinutesFromChoice(-1, 30), 30);
  EXPECT_EQ(UpdateMinutesFromChoice(7, 30), 30);
  EXPECT_EQ(UpdateMinutesFromChoice(3, 30), 15);
}

TEST_F(AutoUpdate, NoRunWhileTheProgramShowsAModalWindowTheNextTickRuns) {
  store.bAutoUpdate = 1;
  CUpdateTimer timer(store, timers, foreground, command, alerts);
  timer.Arm();
  // A dialog of the program in front is not "another program": the run must not start under it,
  // in the background or otherwise.
  foreground.modal = true;
  foreground.ours = false;
  timers.Fire();
  foreground.ours = true;
  timers.Fire();
  EXPECT_EQ(host.progressOpened, 0);
  EXPECT_TRUE(host.refills.empty());
  EXPECT_TRUE(foreground.posted.empty());
  EXPECT_NE(timer.timerId(), 0u) << "the timer keeps running";
  foreground.modal = false;
  timers.Fire();
  EXPECT_EQ(host.progressOpened, 1);
  EXPECT_EQ(host.refills.size(), 1u);
}

TEST_F(AutoUpdate, BackgroundWhenAnotherProgramIsInFront) {
  store.bAutoUpdate = 1;
  CUpdateTimer timer(store, timers, foreground, command, alerts);
  timer.Arm();
  timers.Fire();
  EXPECT_EQ(host.progressOpened, 0);
  EXPECT_EQ(host.sounds, 0);
  EXPECT_TRUE(foreground.posted.empty());
  EXPECT_EQ(host.refills.size(), 1u);

  foreground.ours = true;
  timers.Fire();
  EXPECT_EQ(host.progressOpened, 1);
  EXPECT_EQ(host.sounds, 1);
  EXPECT_EQ(foreground.posted, (std::vector<UINT>{WM_QUILLET_UPDATED}));
  EXPECT_EQ(alerts.notifications, 0);

  // An active alert is announced after the run: by the timer for a foreground run, by the run
  // itself and then the timer for a background one. A "No Update" stock is never fetched.
  auto r = std::make_unique<StockRecord>();
  std::memset(r.get(), 0, sizeof(StockRecord));
  CopyToField(r->szSymbol, "NOUP");
  CopyToField(r->szPrice, "10");
  r->ucMarket = kMarketNoUpdate;
  store.stocks.push_back(std::move(r));
  ASSERT_EQ(AddAlert(store, *store.stocks[0], kAlertPrice, kCompareGreater, "5"),
            AlertEditResult::kDone);
  timers.Fire();
  EXPECT_EQ(store.bAlertActive, 1);
  EXPECT_EQ(alerts.notifications, 1);
  foreground.ours = false;
  timers.Fire();
  EXPECT_EQ(alerts.notifications, 3);
  store.alerts.clear();
  timers.Fire();
  EXPECT_EQ(store.bAlertActive, 0);
  EXPECT_EQ(alerts.notifications, 3);
}

TEST_F(AutoUpdate, TicksDuringARunStartNoSecondRun) {
  store.bAutoUpdate = 1;
  foreground.ours = true;
  CUpdateTimer timer(store, timers, foreground, command, alerts);
  timer.Arm();
  int nested = 0;
  host.onOpenProgress = [&] {
    // Two intervals pass while the run waits for its servers.
    if (nested++ == 0) {
      timers.Fire();
      timers.Fire();
    }
  };
  timers.Fire();
  EXPECT_EQ(host.progressOpened, 1);
  EXPECT_EQ(host.refills.size(), 1u);
  EXPECT_FALSE(command.running());
}

}  // namespace
}  // namespace quillet
