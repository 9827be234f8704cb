// The desktop run and a restore served by it, killed with SIGKILL at chosen writes. Each point
// is the N-th write to storage of the run (files and databases, on the desktop and on the
// device), N drawn from a fixed seed over the writes of an undisturbed run; the run kills
// itself there (QUILLET_KILL_AT_WRITE). Afterwards the handheld's files and preferences load,
// every file and database record of both roots holds the state before the run or the one after
// it, and the next run completes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "core/chart_store.h"
#include "core/data_files.h"
#include "core/portfolio_store.h"
#include "core/preferences.h"
#include "desktop/backups.h"
#include "platform/linux/host_services.h"
#include "platform/testing/kill_runs.h"
#include "platform/testing/test_support.h"
#include "quotes/testing/quote_sim_process.h"

namespace quillet {
namespace {

using testing::ItemsOfNeither;
using testing::ProgramRun;
using testing::RootItems;

constexpr std::int64_t kDay1 = 1051891200;  // 2003-05-02 16:00 UTC
constexpr std::int64_t kDay2 = kDay1 + 86400;
constexpr int kPoints = 50;
constexpr char kChartBackup[] = "StockGraphDB";

class DeskRunKills : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim.running()); }

  ProgramRun Cli(const std::vector<std::string>& args, std::int64_t now,
                 std::optional<std::int64_t> killAt = std::nullopt) {
    std::vector<std::string> argv = {testing::BuiltProgram("bin/quillet-cli"), "--desktop-root",
                                     desktop, "--device-root", device};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::pair<std::string, std::string>> env = {
        {"TZ", "UTC"},
        {"QUILLET_NOW", std::to_string(now)},
        {"QUILLET_QUOTE_SERVER", "127.0.0.1:" + std::to_string(sim.port())}};
    if (killAt) env.emplace_back("QUILLET_KILL_AT_WRITE", std::to_string(*killAt));
    return testing::RunProgram(argv, env, dir.File("cli.log"));
  }
  void Must(const std::vector<std::string>& args, std::int64_t now = kDay1) {
    const ProgramRun run = Cli(args, now);
    ASSERT_EQ(run.exitCode, 0) << args[0] << ": " << run.output;
  }

  // A desktop with the companion installed, daily backups and exports with charts, and a
  // device with three stocks connected to it.
  void Seed() {
    Must({"reg", "--desktop", "--root", "HKLM", "set", "SOFTWARE\\Microsoft\\Windows CE Services",
          "InstalledDir", "--string", "C:\\Program Files\\Microsoft ActiveSync"});
    Must({"new-stock", "name=IBM", "symbol=IBM", "shares=10", "buyPrice=70", "price=80"});
    Must({"new-stock", "name=Microsoft", "symbol=MSFT", "shares=20", "buyPrice=20", "price=25"});
    Must({"new-stock", "name=Total", "symbol=FP.PA", "shares=5", "buyPrice=100", "price=90"});
    Must({"device", "connect"});
    Must({"settings", "set", "BackupMode", "1"});
    Must({"settings", "set", "bExportChart", "1"});
  }

  // Puts the roots back as they were when Keep() took them; the paths stay the same (the
  // desktop names the connected device by its path).
  void Keep() {
    std::filesystem::remove_all(kept);
    std::filesystem::create_directories(kept);
    std::filesystem::copy(desktop, kept + "/desktop", std::filesystem::copy_options::recursive);
    std::filesystem::copy(device, kept + "/device", std::filesystem::copy_options::recursive);
  }
  void PutBack() {
    std::filesystem::remove_all(desktop);
    std::filesystem::remove_all(device);
    std::filesystem::copy(kept + "/desktop", desktop, std::filesystem::copy_options::recursive);
    std::filesystem::copy(kept + "/device", device, std::filesystem::copy_options::recursive);
  }

  // The handheld program's own loaders over the device root: the files and the preferences
  // must load (a file left aside by the run is put back by the loader).
  void ExpectTheDeviceLoads() {
    HostServices host{EnvironmentSettings{}};
    std::string error;
    auto ctx =
        PlatformContext::Open(PlatformContext::Kind::kDevice, device, host.services(), &error);
    ASSERT_TRUE(ctx) << error;
    PortfolioStore store(*ctx);
    LoadPreferences(store);
    EXPECT_TRUE(LoadStocks(store));
    EXPECT_TRUE(LoadNotes(store));
    EXPECT_TRUE(LoadAlerts(store));
    EXPECT_EQ(store.stocks.size(), 3u) << "the stocks are the old ones or the new ones";
  }

  // The roots' items but the run's log, which is not saved but written afresh as each run goes:
  // a run killed part way leaves the lines it got to. The log is checked on its own.
  // The handheld's chart database is taken as the series the chart store reads from it (a
  // restore's state is known from its backup that way).
  RootItems Items() {
    RootItems items = testing::ItemsOf({desktop, device});
    items.erase(LogItem());
    const std::string charts = device + ": system.db records of StockGraphDB";
    if (items.erase(charts) > 0) items[ChartItem()] = ChartText();
    return items;
  }
  std::string ChartItem() const { return device + ": the chart database"; }
  static std::string SeriesText(std::vector<ChartSeries> series) {
    std::vector<std::string> lines;
    for (const ChartSeries& s : series) {
      std::string line = s.name() + "/" + std::to_string(s.ucMarket) + ":";
      for (const ChartPoint& p : s.points) {
        line += " " + std::to_string(p.tDate) + "=" + std::to_string(p.dwPrice) + "," +
                std::to_string(p.dwLow) + "," + std::to_string(p.dwHigh) + "," +
                std::to_string(p.dwVolume);
      }
      lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
  }
  std::string ChartText() {
    HostServices host{EnvironmentSettings{}};
    std::string error;
    auto ctx =
        PlatformContext::Open(PlatformContext::Kind::kDevice, device, host.services(), &error);
    if (!ctx) return "<cannot open: " + error + ">";
    ChartStore charts(ctx->objectStore(), ctx->messageBoxes());
    if (!charts.OpenQuietly()) return "<cannot open the chart store>";
    std::vector<ChartSeries> series;
    for (auto s = charts.SeriesAt(true); s; s = charts.SeriesAt(false)) series.push_back(*s);
    return SeriesText(std::move(series));
  }
  std::string LogItem() const {
    return desktop + ": C/Program Files/Microsoft ActiveSync/Quillet/QuilletLog.txt";
  }
  std::string Log() { return testing::ItemsOf({desktop})[LogItem()]; }

  // Kills `args` at kPoints writes drawn with `seed`; after each, everything holds the state
  // before or after the run, and the next run ends as an undisturbed one does.
  std::string Working(const std::string& name) const {
    return desktop + ": C/Program Files/Microsoft ActiveSync/Quillet/" + name;
  }
  std::string OnDevice(const std::string& name) const {
    return device + ": Program Files/Quillet/" + name;
  }

  // `copiedFrom` names the item a working copy of the data file `name` is taken from.
  void KillAtPoints(const std::vector<std::string>& args, std::int64_t now, std::uint64_t seed,
                    const std::function<std::string(const std::string&)>& copiedFrom) {
    Keep();
    const RootItems before = Items();
    const ProgramRun counted = Cli(args, now, 0);
    ASSERT_EQ(counted.exitCode, 0) << counted.output;
    const std::int64_t writes = testing::WritesCounted(counted.output);
    ASSERT_GT(writes, kPoints) << counted.output;
    const RootItems after = Items();
    const std::string logAfter = Log();
    RecordProperty("writes", static_cast<int>(writes));
    std::printf("the undisturbed run makes %lld writes\n", static_cast<long long>(writes));
    // The run first puts the handheld's files (or, for a restore, the backup set's) into its
    // working directory, and later writes the updated stock file over that copy: the copy is
    // a whole state of its own.
    RootItems between;
    for (const char* name : {"QuilletDB", "StockNoteDB", "StockAlertDB"}) {
      const auto copied = before.find(copiedFrom(name));
      if (copied != before.end()) between[Working(name)] = copied->second;
    }
    // A restore replaces the history by the backup's before the update adds the day to it.
    const auto chartBackup = before.find(copiedFrom(kChartBackup));
    if (chartBackup != before.end()) {
      std::string why;
      auto restored = DecodeChartBackup(chartBackup->second, &why);
      ASSERT_TRUE(restored) << why;
      between[ChartItem()] = SeriesText(*restored);
    }
    ASSERT_NE(before, after);

    int killedRuns = 0;
    seed = testing::KillSeed(seed);
    for (std::int64_t point : testing::DrawKillPoints(seed, 1, writes, kPoints)) {
      SCOPED_TRACE("seed " + std::to_string(seed) + ", killed before write " +
                   std::to_string(point) + " of " + std::to_string(writes) +
                   " (run it alone: QUILLET_KILL_SEED=" + std::to_string(seed) + ")");
      PutBack();
      const ProgramRun killed = Cli(args, now, point);
      ASSERT_TRUE(killed.killed) << "the run was not killed: " << killed.output;
      ExpectTheDeviceLoads();
      for (const std::string& problem : ItemsOfNeither(before, after, Items(), between)) {
        ADD_FAILURE() << problem;
      }
      // Each run starts the log afresh: it holds the lines the run got to.
      const std::string log = Log();
      EXPECT_TRUE(logAfter.starts_with(log)) << log;
      // The next run completes (after every fifth point, to keep the test short). It need not
      // give the undisturbed run's bytes: when the killed run had written the stocks back, the
      // next one is a second update over them.
      if (++killedRuns % 5 == 0) {
        const ProgramRun next = Cli(args, now);
        EXPECT_EQ(next.exitCode, 0) << next.output;
        ExpectTheDeviceLoads();
        for (const auto& [name, value] : Items()) {
          EXPECT_FALSE(value.starts_with("<cannot open")) << name << ": " << value;
        }
      }
      if (HasFailure()) return;
    }
  }

  testing::QuoteSimProcess sim;
  testing::TempDir dir;
  std::string desktop = dir.path() + "/desktop root";
  std::string device = dir.path() + "/device root";
  std::string kept = dir.path() + "/kept";
};

// Copy, update, history, export, backup and write-back of the stock file, the alert state and
// the preferences.
TEST_F(DeskRunKills, TheDesktopRunKilledAtAnyWriteLeavesTheOldOrTheNewData) {
  Seed();
  KillAtPoints({"sync", "--yes"}, kDay1, 20231209,
               [&](const std::string& name) { return OnDevice(name); });
}

// A restore of the first day's set served by the next day's run: the stock and note files, the
// whole chart database and the write-back.
TEST_F(DeskRunKills, ARestoreKilledAtAnyWriteLeavesTheOldOrTheRestoredData) {
  Seed();
  Must({"sync", "--yes"}, kDay1);
  Must({"set", "--id", "1", "shares=99"}, kDay2);
  Must({"sync", "--yes"}, kDay2);
  Must({"restore", "20030502"}, kDay2);
  KillAtPoints({"sync", "--yes"}, kDay2, 20231210,
               [&](const std::string& name) { return Working("Backup/20030502_" + name); });
}

}  // namespace
}  // namespace quillet
