// The dated backups and the restore: the schedule, the chart backup's bytes, a set taken twice
// in a day, failures that must not pass for a backup, and restores from sets that are missing,
// short or damaged.
#include "desktop/backups.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/data_codecs.h"
#include "core/string_table.h"
#include "desktop/backup_list.h"
#include "desktop/step_test_fixture.h"
#include "platform/linux/sqlite_databases.h"
#include "platform/testing/fault_sweep.h"
#include "platform/testing/sqlite_fault_vfs.h"

namespace quillet {
namespace {

using testing::SqliteFaultVfs;
using testing::StepTest;

constexpr char kPrefix[] = "Backup\\20030502_";  // the fixture's day

// Little-endian bytes of a number, for backups written by hand.
std::string Le(std::uint32_t v, int size) {
  std::string out;
  for (int i = 0; i < size; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
  return out;
}
std::string Name16(std::string_view name) {
  std::string out(name);
  out.resize(16, '\0');
  return out;
}

TEST(BackupScheduleTest, WeeklyWaitsSevenWholeDays) {
  const std::int64_t now = 1051891200;
  EXPECT_FALSE(BackupDue(0, 0, now));
  EXPECT_TRUE(BackupDue(4, 0, now));
  EXPECT_FALSE(BackupDue(4, now - (6 * 86400 + 23 * 3600), now));
  EXPECT_TRUE(BackupDue(4, now - 7 * 86400, now));
  EXPECT_FALSE(BackupDue(2, now - 86400 - 1, now));
  EXPECT_TRUE(BackupDue(3, now - 3 * 86400, now));
  EXPECT_FALSE(BackupDue(5, now - 13 * 86400, now));
  EXPECT_TRUE(BackupDue(6, now - 30 * 86400, now));
}

TEST(BackupScheduleTest, DailyIsOncePerCalendarDay) {
  testing::ScopedTimeZone utc("UTC");
  const std::int64_t morning = 1051866000;  // 2003-05-02 09:00 UTC
  EXPECT_FALSE(BackupDue(1, morning - 3600, morning));
  EXPECT_TRUE(BackupDue(1, morning - 11 * 3600, morning));  // 22:00 the day before
  EXPECT_EQ(BackupPrefix(morning), "20030502_");
}

TEST(ChartBackupTest, LayoutIsNameMarketZeroCountAndPoints) {
  ChartSeries ibm;
  CopyToField(ibm.szName, "IBM");
  ibm.points.push_back({0x01020304, 10, 11, 12, 13});
  ChartSeries portfolio;
  CopyToField(portfolio.szName, "PORTFOLIO0");
  portfolio.ucMarket = 255;
  const std::string expected =
      std::string("IBM\0\0\0\0\0\0\0\0\0\0\0\0\0", 16) + std::string("\x00\x00\x01\x00", 4) +
      std::string("\x04\x03\x02\x01\x0A\0\0\0\x0B\0\0\0\x0C\0\0\0\x0D\0\0\0", 20) +
      std::string("PORTFOLIO0\0\0\0\0\0\0", 16) + std::string("\xFF\x00\x00\x00", 4);
  EXPECT_EQ(EncodeChartBackup({ibm, portfolio}), expected);
  std::string why;
  auto back = DecodeChartBackup(expected, &why);
  ASSERT_TRUE(back) << why;
  ASSERT_EQ(back->size(), 2u);
  EXPECT_EQ((*back)[0].name(), "IBM");
  ASSERT_EQ((*back)[0].points.size(), 1u);
  EXPECT_EQ((*back)[0].points[0].dwHigh, 12u);
  EXPECT_EQ((*back)[1].ucMarket, 255);
  EXPECT_TRUE((*back)[1].points.empty());
  EXPECT_TRUE(DecodeChartBackup("", &why).has_value());
}

TEST(ChartBackupTest, ShortOrDamagedBackupsAreRefusedWhole) {
  const std::string good = Name16("A") + Le(0, 2) + Le(2, 2) + std::string(40, '\x01');
  std::string why;
  ASSERT_TRUE(DecodeChartBackup(good, &why));
  const std::pair<std::string, std::string> damaged[] = {
      {good + "x", "record 2: its header is cut short"},
      {good.substr(0, 59), "record 1: its points are cut short"},
      {std::string(16, 'N') + Le(0, 2) + Le(0, 2), "record 1: its name is not terminated"},
      {Name16("A") + Le(0, 2) + Le(3200, 2) + std::string(64000, '\0'),
       "record 1: it holds 3200 points, more than 3199"},
  };
  for (const auto& [bytes, reason] : damaged) {
    EXPECT_FALSE(DecodeChartBackup(bytes, &why));
    EXPECT_EQ(why, reason);
  }
}

class BackupTest : public StepTest {
 protected:
  void SetUp() override {
    StepTest::SetUp();
    Write("QuilletDB", "stocks v1");
    Write("StockNoteDB", "notes v1");
    Write("StockAlertDB", "alerts v1");
    ChartSeries s;
    CopyToField(s.szName, "IBM");
    s.points.push_back({1051833600, 812500, 800000, 820000, 1000});
    ASSERT_TRUE(charts.WriteSeries(s));
    settings.BackupMode = 4;
  }
  std::string ChartBackupOfStore() {
    return Name16("IBM") + Le(0, 2) + Le(1, 2) + Le(1051833600, 4) + Le(812500, 4) + Le(800000, 4) +
           Le(820000, 4) + Le(1000, 4);
  }
  std::string BackedUp(const char* name) { return Read(std::string(kPrefix) + name); }
};

TEST_F(BackupTest, TheFirstBackupTakesTheFourFilesQuietly) {
  EXPECT_EQ(RunBackup(Context()), BackupOutcome::kDone);
  EXPECT_EQ(BackedUp("QuilletDB"), "stocks v1");
  EXPECT_EQ(BackedUp("StockNoteDB"), "notes v1");
  EXPECT_EQ(BackedUp("StockAlertDB"), "alerts v1");
  EXPECT_EQ(BackedUp("StockGraphDB"), ChartBackupOfStore());
  EXPECT_TRUE(shown.empty());  // no text for the very first backup
  EXPECT_EQ(log,
            std::vector<std::string>{
                "Data backed up to: C:\\Program Files\\Microsoft ActiveSync\\Quillet\\Backup"});
  EXPECT_EQ(settings.BackupLastTime, static_cast<DWORD>(kNow));
  EXPECT_EQ(changed, std::vector<std::string>{"BackupLastTime"});
  EXPECT_EQ(ListBackupDates(desk.ctx->files(), dir), std::vector<std::string>{"20030502"});
}

TEST_F(BackupTest, ASecondBackupTheSameDayKeepsTheFirstCopies) {
  ASSERT_EQ(RunBackup(Context()), BackupOutcome::kDone);
  Write("QuilletDB", "stocks v2");
  desk.clock.Advance(3600);
  log.clear();
  EXPECT_EQ(RunBackup(Context(), true), BackupOutcome::kDone);
  EXPECT_EQ(BackedUp("QuilletDB"), "stocks v1");
  EXPECT_EQ(BackedUp("StockGraphDB"), ChartBackupOfStore());
  EXPECT_TRUE(Logged("Error creating backup chart database"));
  EXPECT_TRUE(LoggedStart("Data backed up to: "));
  EXPECT_EQ(settings.BackupLastTime, static_cast<DWORD>(kNow + 3600));
  EXPECT_EQ(shown, std::vector<UINT>{strings::IDS_DESK_BACKING_UP});
}

TEST_F(BackupTest, NotDueBeforeAWeekAndNoChartBackupWithoutTheDatabase) {
  settings.BackupLastTime = static_cast<DWORD>(kNow - 6 * 86400 - 23 * 3600);
  EXPECT_EQ(RunBackup(Context()), BackupOutcome::kNotDue);
  EXPECT_FALSE(Exists(std::string(kPrefix) + "QuilletDB"));
  settings.BackupLastTime = static_cast<DWORD>(kNow - 7 * 86400);
  EXPECT_EQ(RunBackup(Context(false)), BackupOutcome::kDone);
  EXPECT_EQ(shown, std::vector<UINT>{strings::IDS_DESK_BACKING_UP});
  EXPECT_TRUE(Logged("Error creating backup chart database"));
  // An empty chart backup would read as "no history" in a restore.
  EXPECT_FALSE(Exists(std::string(kPrefix) + "StockGraphDB"));
  EXPECT_EQ(BackedUp("QuilletDB"), "stocks v1");
}

// Whatever operation fails, from then on or once: a file of the set is whole or absent, a
// failed backup is never reported as taken, and the next backup completes the set.
TEST_F(BackupTest, AFailedWriteIsNeverReportedAsABackup) {
  int failures = 0;
  for (bool persistent : {false, true}) {
    for (int n = 0;; ++n) {
      SCOPED_TRACE("operation " + std::to_string(n + 1) + (persistent ? " on" : ""));
      ASSERT_LT(n, 200);
      for (const char* name : {"QuilletDB", "StockNoteDB", "StockAlertDB", "StockGraphDB"}) {
        desk.ctx->files().Delete(Working(std::string(kPrefix) + name));
      }
      settings.BackupLastTime = 0;
      log.clear();
      faults.Clear();
      faults.FailNthOperation(n, persistent);
      const BackupOutcome outcome = RunBackup(Context());
      const bool injected = faults.FailuresInjected() > 0;
      faults.Clear();
      std::vector<FoundFile> found;
      desk.ctx->files().FindFiles(Working("Backup"), "*", &found);
      // A disk that failed for good cannot even remove a temporary file; it is never taken
      // for a backup, and the next one writes over it.
      for (const FoundFile& f : found) {
        if (!persistent) {
          EXPECT_EQ(f.name.find(".tmp"), std::string::npos) << f.name;
        }
      }
      const std::pair<const char*, std::string> expected[] = {
          {"QuilletDB", "stocks v1"},
          {"StockNoteDB", "notes v1"},
          {"StockAlertDB", "alerts v1"},
          {"StockGraphDB", ChartBackupOfStore()}};
      bool whole = true;
      for (const auto& [name, bytes] : expected) {
        const std::string path = std::string(kPrefix) + name;
        if (Exists(path)) {
          EXPECT_EQ(Read(path), bytes) << name;
        } else {
          whole = false;
        }
      }
      if (!injected) {
        EXPECT_EQ(outcome, BackupOutcome::kDone);
        EXPECT_TRUE(whole);
        break;
      }
      ++failures;
      if (outcome == BackupOutcome::kDone) {
        EXPECT_TRUE(whole);
      } else {
        EXPECT_EQ(settings.BackupLastTime, 0u);
        EXPECT_FALSE(LoggedStart("Data backed up to:"));
        // The next backup, with nothing failing, completes the set of the day.
        EXPECT_EQ(RunBackup(Context(), true), BackupOutcome::kDone);
        for (const auto& [name, bytes] : expected) {
          EXPECT_EQ(Read(std::string(kPrefix) + name), bytes) << name;
        }
      }
    }
  }
  EXPECT_GT(failures, 8);
}

class RestoreTest : public BackupTest {
 protected:
  static constexpr char kSet[] = "Backup\\20030501_";
  void SetUp() override {
    BackupTest::SetUp();
    ASSERT_EQ(desk.ctx->files().CreateFolder(Working("Backup")), 0);
    StockFileHeader header;
    header.wPortfolioCount = 1;
    CopyToField(header.szPortfolioName[0], "Restored");
    std::vector<std::unique_ptr<StockRecord>> stocks;
    stocks.push_back(std::make_unique<StockRecord>());
    *stocks[0] = {};
    CopyToField(stocks[0]->szName, "Backed up");
    stockBackup = EncodeStockFile(header, stocks);
    Write(std::string(kSet) + "QuilletDB", stockBackup);
    Write(std::string(kSet) + "StockNoteDB", "notes of the set");
  }
  // A series of `count` points, one a day, written byte by byte.
  static std::string ChartRecord(std::string_view name, int market, int count) {
    std::string out = Name16(name) + Le(static_cast<std::uint32_t>(market), 1) + Le(0, 1) +
                      Le(static_cast<std::uint32_t>(count), 2);
    for (int i = 0; i < count; ++i) {
      out += Le(static_cast<std::uint32_t>(1000000 + 86400 * i), 4) +
             Le(static_cast<std::uint32_t>(10000 + i), 4) + Le(9000, 4) + Le(11000, 4) + Le(5, 4);
    }
    return out;
  }
  std::string stockBackup;
};

TEST_F(RestoreTest, TheSetReplacesTheFilesAndEveryChartRecord) {
  Write(std::string(kSet) + "StockGraphDB",
        ChartRecord("BIG", 0, 3199) + ChartRecord("PORTFOLIO0", 255, 2));
  auto files = RestoreBackupFiles(Context(), "20030501");
  ASSERT_TRUE(files);
  EXPECT_EQ(files->stocks, stockBackup);
  EXPECT_EQ(files->notes, "notes of the set");
  EXPECT_EQ(files->alerts, "alerts v1");  // not in the set: the run's own copy, and no error
  EXPECT_FALSE(LoggedStart("Error: cannot read the backup copy of"));
  EXPECT_EQ(Read("QuilletDB"), stockBackup);
  EXPECT_EQ(Read("StockNoteDB"), "notes of the set");
  ASSERT_TRUE(RestoreChartBackup(Context(), "20030501"));
  auto big = charts.FindSeries("BIG", 0);
  ASSERT_TRUE(big);
  ASSERT_EQ(big->points.size(), 3199u);
  EXPECT_EQ(big->points[3198].dwPrice, 10000u + 3198);
  EXPECT_EQ(big->points[3198].tDate, 1000000u + 86400u * 3198);
  EXPECT_TRUE(charts.FindSeries("PORTFOLIO0", 255));
  EXPECT_FALSE(charts.FindSeries("IBM", 0));  // the records before the restore are gone
}

TEST_F(RestoreTest, ADamagedChartBackupLeavesTheHistoryAsItWas) {
  for (const std::string& bytes :
       {ChartRecord("BIG", 0, 3199).substr(0, 20 + 20 * 3000), ChartRecord("A", 0, 1) + "xx",
        std::string(16, 'N') + Le(0, 4)}) {
    Write(std::string(kSet) + "StockGraphDB", bytes);
    log.clear();
    EXPECT_FALSE(RestoreChartBackup(Context(), "20030501"));
    EXPECT_TRUE(LoggedStart("Error: the backup chart database is damaged ("));
    auto ibm = charts.FindSeries("IBM", 0);
    ASSERT_TRUE(ibm);
    EXPECT_EQ(ibm->points.size(), 1u);
    EXPECT_FALSE(charts.FindSeries("BIG", 0));
  }
  log.clear();
  EXPECT_FALSE(RestoreChartBackup(Context(), "20030430"));
  EXPECT_EQ(log, std::vector<std::string>{"Error opening backup chart database"});
  EXPECT_TRUE(charts.FindSeries("IBM", 0));
}

TEST_F(RestoreTest, NoUsableStockBackupRestoresNothing) {
  // Missing: the local copy of the last run must not stand in for it.
  EXPECT_FALSE(RestoreBackupFiles(Context(), "20030430"));
  EXPECT_TRUE(Logged(
      "Error: the backup stock file of 20030430 cannot be read; the data were not restored"));
  EXPECT_EQ(Read("QuilletDB"), "stocks v1");
  // Cut inside its record.
  Write(std::string(kSet) + "QuilletDB", stockBackup.substr(0, stockBackup.size() - 10));
  EXPECT_FALSE(RestoreBackupFiles(Context(), "20030501"));
  EXPECT_TRUE(
      Logged("Error: the backup stock file of 20030501 is damaged; the data were not restored"));
  EXPECT_EQ(Read("QuilletDB"), "stocks v1");
  EXPECT_EQ(Read("StockNoteDB"), "notes v1");
}

TEST_F(RestoreTest, TheLocalStockFileIsReplacedWholeOrNotAtAll) {
  testing::FileFaults injector(faults);
  testing::SweepSave<std::string>(
      injector, {.putOld = [&] { Write("QuilletDB", "stocks v1"); },
                 .save = [&] { return RestoreBackupFiles(Context(), "20030501").has_value(); },
                 .reload = [&] { return Read("QuilletDB"); }});
}

// The notes and alerts are replaced one file after the other, each on its own: a failure may
// leave one restored and the other not, but each copy is its old bytes or the set's, and a copy
// left old is named in the log, whether the set's copy could not be read or the local one not
// written.
TEST_F(RestoreTest, TheLocalNotesAndAlertsAreEachReplacedWholeOrNamedInTheLog) {
  Write(std::string(kSet) + "StockAlertDB", "alerts of the set");
  testing::FileFaults injector(faults);
  for (const char* name : {"StockNoteDB", "StockAlertDB"}) {
    SCOPED_TRACE(name);
    const std::string unread = std::string("Error: cannot read the backup copy of ") + name;
    const std::string unwritten = std::string("Error: cannot write the local copy of ") + name;
    const int operations = testing::SweepSave<std::string>(
        injector, {.putOld =
                       [&] {
                         Write("QuilletDB", "stocks v1");
                         Write("StockNoteDB", "notes v1");
                         Write("StockAlertDB", "alerts v1");
                       },
                   .save =
                       [&] {
                         log.clear();
                         return RestoreBackupFiles(Context(), "20030501").has_value() &&
                                !Logged(unread) && !Logged(unwritten);
                       },
                   .reload = [&] { return Read(name); }});
    EXPECT_GT(operations, 0);
  }
}

// The chart records are replaced in one transaction: a database that fails at any read, write
// or sync during the restore holds the history before it or the restored one, never a part.
class ChartRestoreFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(root.ctx->registry().SetString(HKEY_LOCAL_MACHINE, kActiveSyncKey, u"InstalledDir",
                                             u"C:\\ActiveSync"),
              0);
    dir = *FindWorkingDirectory(*root.ctx);
    ASSERT_TRUE(charts.OpenQuietly());
    FileSystem& files = root.ctx->files();
    ASSERT_EQ(files.CreateFolder(*WorkingFile(dir, "Backup")), 0);
    std::string backup;
    for (const char* name : {"AAA", "IBM", "ZZZ"}) {
      backup += Name16(name) + Le(0, 2) + Le(40, 2);
      for (std::uint32_t i = 0; i < 40; ++i) {
        backup += Le(1000000 + 86400 * i, 4) + Le(20000 + i, 4) + Le(1, 4) + Le(2, 4) + Le(3, 4);
      }
    }
    ASSERT_EQ(files.WriteAll(*WorkingFile(dir, "Backup\\20030501_StockGraphDB"), backup), 0);
  }
  void PutOld() {
    std::vector<std::pair<std::string, int>> all;
    for (auto s = charts.SeriesAt(true); s; s = charts.SeriesAt(false)) {
      all.emplace_back(s->name(), s->ucMarket);
    }
    for (const auto& [name, market] : all) ASSERT_TRUE(charts.DeleteSeries(name, market));
    for (const char* name : {"IBM", "MSFT"}) {
      ChartSeries s;
      CopyToField(s.szName, name);
      for (std::uint32_t i = 0; i < 30; ++i) s.points.push_back({2000000 + 86400 * i, i, 1, 2, 3});
      ASSERT_TRUE(charts.WriteSeries(s));
    }
  }
  std::string Reload() {
    std::string error;
    auto ctx = PlatformContext::Open(PlatformContext::Kind::kDesktop, root.ctx->root(),
                                     root.host.services(), &error);
    if (!ctx) return "<cannot open: " + error + ">";
    ChartStore fresh(ctx->objectStore(), ctx->messageBoxes());
    if (!fresh.OpenQuietly()) return "<no chart store>";
    std::string out;
    for (auto s = fresh.SeriesAt(true); s; s = fresh.SeriesAt(false)) {
      out += s->name() + ":" + std::to_string(s->points.size());
      for (const ChartPoint& p : s->points) out += " " + std::to_string(p.dwPrice);
      out += "\n";
    }
    return out;
  }

  SqliteFaultVfs vfs;
  testing::TestRoot root{PlatformContext::Kind::kDesktop, 1051891200, vfs.name()};
  WorkingDirectory dir;
  DeskSettings settings;
  PortfolioStore store{*root.ctx};
  ChartStore charts{root.ctx->objectStore(), root.ctx->messageBoxes()};
};

TEST_F(ChartRestoreFaults, TheHistoryIsTheOldOrTheRestoredOne) {
  DeskStepContext context(*root.ctx, root.ctx->files(), dir, settings, store);
  context.charts = &charts;
  testing::SavePath<std::string> path{
      .putOld = [&] { PutOld(); },
      .save = [&] { return RestoreChartBackup(context, "20030501"); },
      .reload = [&] { return Reload(); }};
  EXPECT_GT(testing::SweepSave(vfs, path), 0);
  SCOPED_TRACE("followed by a checkpoint");
  path.save = testing::ThenCheckpoint(path.save, SqliteDatabaseOf(root.ctx->registry())->handle());
  EXPECT_GT(testing::SweepSave(vfs, path), 0);
}

TEST(BackupListTest, OnlyEightCharacterDatesAreListed) {
  testing::TestRoot desk{PlatformContext::Kind::kDesktop};
  ASSERT_EQ(desk.ctx->registry().SetString(HKEY_LOCAL_MACHINE, kActiveSyncKey, u"InstalledDir",
                                           u"C:\\ActiveSync"),
            0);
  const WorkingDirectory dir = *FindWorkingDirectory(*desk.ctx);
  FileSystem& files = desk.ctx->files();
  ASSERT_EQ(files.CreateFolder(*WorkingFile(dir, "Backup")), 0);
  for (const char* name : {"20261207_QuilletDB", "2026127_QuilletDB", "20261208_StockNoteDB",
                           "20261207_StockGraphDB"}) {
    ASSERT_EQ(files.WriteAll(*WorkingFile(dir, std::string("Backup\\") + name), "x"), 0);
  }
  EXPECT_EQ(ListBackupDates(files, dir), std::vector<std::string>{"20261207"});
}

}  // namespace
}  // namespace quillet
