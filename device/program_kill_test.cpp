// The handheld program killed with SIGKILL while it saves. The program deletes every stock
// (with their histories, notes and alerts) and is then asked to close by the desktop, which
// saves the rest; it kills itself before the N-th write to storage of all that
// (QUILLET_KILL_AT_WRITE), N drawn from a fixed seed over the writes of an undisturbed run.
// Afterwards the files, the preferences and the chart database load and each holds the state
// before or after, and the program, started again, ends with the state of an undisturbed run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/chart_store.h"
#include "core/data_files.h"
#include "core/preferences.h"
#include "device/resource_ids.h"
#include "device/testing/device_test_support.h"
#include "platform/linux/host_services.h"
#include "platform/linux/posix_file_system.h"
#include "platform/linux/window_station.h"
#include "platform/message_box.h"
#include "platform/testing/kill_runs.h"

namespace quillet {
namespace {

using testing::DeviceFixture;
using testing::ItemsOfNeither;
using testing::RootItems;

constexpr int kPoints = 50;
constexpr std::int64_t kNow = 1051891200;

struct Ended {
  bool killed = false;
  int exitCode = -1;
  std::string output;
};

// The program on `root`, killed at `killAt` (0: only counting): the commands are posted as soon
// as its window is there, and the close request after them.
Ended RunProgram(const std::string& root, std::int64_t killAt, const std::string& logFile) {
  const std::string program = testing::BuiltProgram("bin/Quillet");
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QUILLET_DEVICE_ROOT", root.c_str(), 1);
    setenv("QUILLET_NOW", std::to_string(kNow).c_str(), 1);
    setenv("QUILLET_KILL_AT_WRITE", std::to_string(killAt).c_str(), 1);
    if (!freopen(logFile.c_str(), "w", stderr)) _exit(126);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  Ended ended;
  PosixFileSystem disk;
  WindowStation station(root, disk);
  bool posted = false;
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (waitpid(pid, &status, WNOHANG) != pid) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      ended.output = "<timed out>";
      return ended;
    }
    if (!posted) {
      for (const WindowInfo& w : station.EnumWindows()) {
        if (w.pid != pid || w.programPath != "\\Program Files\\Quillet\\Quillet.exe") continue;
        // "Delete ALL Stocks", its two questions answered Yes, then the desktop's close request.
        station.PostMessage(w.hwnd, WM_COMMAND, ID_DELETE_ALL, 0);
        station.PostMessage(w.hwnd, WM_COMMAND, IDYES, 0);
        station.PostMessage(w.hwnd, WM_COMMAND, IDYES, 0);
        station.PostMessage(w.hwnd, WM_QUILLET_CLOSE, 0, 0);
        posted = true;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ended.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  if (WIFEXITED(status)) ended.exitCode = WEXITSTATUS(status);
  std::ifstream in(logFile);
  std::ostringstream text;
  text << in.rdbuf();
  ended.output = text.str();
  return ended;
}

// The number of stocks the program's own loaders find on `root`; -1 when something does not
// load.
int StocksOn(const std::string& root) {
  HostServices host{EnvironmentSettings{}};
  std::string error;
  auto ctx = PlatformContext::Open(PlatformContext::Kind::kDevice, root, host.services(), &error);
  if (!ctx) return -1;
  ChartStore charts(ctx->objectStore(), ctx->messageBoxes());
  if (!charts.OpenChartStore()) return -1;
  PortfolioStore store(*ctx);
  LoadPreferences(store);
  if (!LoadStocks(store) || !LoadNotes(store) || !LoadAlerts(store)) return -1;
  return static_cast<int>(store.stocks.size());
}

TEST(ProgramKills, TheProgramKilledAtAnyWriteOfItsSavesLeavesTheOldOrTheNewData) {
  DeviceFixture fx;
  fx.Seed({"Tech"},
          {{.name = "Alpha", .symbol = "A", .portfolio = 1}, {.name = "Beta", .symbol = "B"}},
          [](PortfolioStore& s) {
            s.SetNote(s.stocks[1]->dwId, u"a note");
            auto alert = std::make_unique<StockAlert>();
            *alert = {};
            CopyToField(alert->szQuoteSymbol, "A");
            alert->ucCompare = 4;
            alert->dThreshold = 100;
            s.alerts.push_back(std::move(alert));
          });
  {
    ChartStore charts(fx.ctx().objectStore(), fx.ctx().messageBoxes());
    ASSERT_TRUE(charts.OpenChartStore());
    for (int day = 0; day < 20; ++day) {
      const StockTime t = static_cast<StockTime>(kNow - (20 - day) * 86400);
      ASSERT_TRUE(charts.AddDailyPoint("A", 0, t, {10.0 + day, 9, 11, 100}, kStockScale));
      ASSERT_TRUE(charts.AddDailyPoint("B", 0, t, {20.0 + day, 19, 21, 100}, kStockScale));
    }
  }
  // The program runs on a copy, away from the fixture's open database.
  const std::string kept = fx.ctx().root();
  const std::string root = fx.root.dir.File("work");
  const std::string log = fx.root.dir.File("program.log");
  auto putBack = [&] {
    std::filesystem::remove_all(root);
    std::filesystem::copy(kept, root, std::filesystem::copy_options::recursive);
  };

  putBack();
  const RootItems before = testing::ItemsOf({root});
  const Ended counted = RunProgram(root, 0, log);
  ASSERT_EQ(counted.exitCode, 0) << counted.output;
  const RootItems after = testing::ItemsOf({root});
  ASSERT_NE(before, after);
  ASSERT_EQ(StocksOn(root), 0) << "the undisturbed run deleted every stock";
  const std::int64_t writes = testing::WritesCounted(counted.output);
  ASSERT_GT(writes, kPoints) << counted.output;

  RecordProperty("writes", static_cast<int>(writes));
  std::printf("the undisturbed run makes %lld writes\n", static_cast<long long>(writes));
  int killedRuns = 0;
  const std::uint64_t seed = testing::KillSeed(20231211);
  for (std::int64_t point : testing::DrawKillPoints(seed, 1, writes, kPoints)) {
    SCOPED_TRACE("seed " + std::to_string(seed) + ", killed before write " + std::to_string(point) +
                 " of " + std::to_string(writes));
    putBack();
    const Ended killed = RunProgram(root, point, log);
    ASSERT_TRUE(killed.killed) << "the program was not killed: " << killed.output;
    const int loaded = StocksOn(root);
    EXPECT_TRUE(loaded == 0 || loaded == 2) << loaded;
    for (const std::string& problem : ItemsOfNeither(before, after, testing::ItemsOf({root}))) {
      ADD_FAILURE() << problem;
    }
    // Started again, it finishes what was asked of it (after every fifth point: a start
    // under the sanitizers is the costly part of this test).
    if (++killedRuns % 5 == 0) {
      const Ended next = RunProgram(root, 1 << 30, log);
      EXPECT_EQ(next.exitCode, 0) << next.output;
      EXPECT_EQ(StocksOn(root), 0);
    }
    if (HasFailure()) return;
  }
}

}  // namespace
}  // namespace quillet
