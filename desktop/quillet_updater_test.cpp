// The desktop update run against a handheld root prepared by the handheld's own code, joined to
// a desktop root by the remote API, with quotes from the simulator on loopback.
#include "desktop/quillet_updater.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "companions/testing/companion_test_support.h"
#include "core/alert_evaluation.h"
#include "core/data_codecs.h"
#include "core/data_files.h"
#include "core/preferences.h"
#include "core/registry/registry_store.h"
#include "desktop/desk_steps.h"
#include "desktop/device_files.h"
#include "platform/codepage.h"
#include "platform/linux/posix_file_system.h"
#include "platform/linux/sqlite_property_store.h"
#include "platform/testing/fault_sweep.h"
#include "platform/testing/sqlite_fault_vfs.h"
#include "quotes/connection.h"
#include "quotes/testing/quote_sim_process.h"
#include "quotes/testing/tiny_proxy.h"
#include "quotes/testing/tls_certificates.h"
#include "quotes/user_source_store.h"

namespace quillet {
namespace {

using testing::QuoteSimProcess;
using testing::ScopedTimeZone;
using testing::TestRoot;
using testing::TinyProxy;

constexpr std::int64_t kNow = 1051891200;  // 2003-05-02 16:00 UTC, the simulator's today
constexpr char kStockPath[] = "\\Program Files\\Quillet\\QuilletDB";

class RecordingHost final : public DeskRunHost {
 public:
  class Progress final : public DeskProgress {
   public:
    explicit Progress(RecordingHost& host) : host_(host) {}
    void ShowStatus(UINT id) override { host_.texts.push_back(strings::TextOf(id)); }
    void PumpMessages() override {}
    void ShowSource(int source) override { host_.sources.push_back(source); }

   private:
    RecordingHost& host_;
  };
  std::unique_ptr<DeskProgress> OpenProgress(CancelToken&) override {
    ++windows;
    return std::make_unique<Progress>(*this);
  }
  bool AskToUpdate() override {
    ++questions;
    return answer;
  }
  void PumpMessages() override {}

  bool answer = true;
  int windows = 0;
  int questions = 0;
  std::vector<std::string> texts;
  std::vector<int> sources;
};

// Reads the device's files afresh, from another process's point of view.
struct DeviceFiles {
  std::string stocks;
  bool tmpLeft = false;
  friend bool operator==(const DeviceFiles&, const DeviceFiles&) = default;
};

class DeskRunTest : public ::testing::Test {
 protected:
  PosixFileSystem disk;  // the host's files, where the test puts and reads them
  void SetUp() override {
    ASSERT_EQ(desk.ctx->registry().SetString(HKEY_LOCAL_MACHINE, kActiveSyncKey, u"InstalledDir",
                                             u"C:\\Program Files\\Microsoft ActiveSync"),
              0);
    dir = *FindWorkingDirectory(*desk.ctx);
    ASSERT_EQ(ConnectDevice(disk, desk.ctx->root(), dev.root()), 0);
    library = dev.Load("QuilletPPC", "\\Windows\\QuilletPPC.dll");
    dev.InstallRecorder(testing::kProgramPath);
    fixture = dir.hostPath + "/../quotes.csv";
    ASSERT_EQ(disk.WriteAll(fixture,
                            "IBM,81.5,+1.5,80,82,80,1000000,81.4,81.6,60,90\n"
                            "MSFT,25,-1,24.5,26,26,2000,24.9,25.1,20,30\n"),
              0);
  }

  void StartSim(std::vector<std::string> args = {}) {
    args.insert(args.begin(), {"--fixture", fixture});
    sim = std::make_unique<QuoteSimProcess>(args);
    ASSERT_TRUE(sim->running());
  }

  // Stocks as the handheld program makes them: a long IBM position that keeps a price history,
  // a short MSFT position, a watched and a sold stock; a euro portfolio, cash, a note and an
  // alert that fires at the simulator's IBM price.
  void Seed() {
    PortfolioStore store(dev.ctx());
    LoadPreferences(store);
    LoadStocks(store);
    auto add = [&](const char* name, const char* symbol, const char* shares, const char* buy,
                   const char* price, BYTE status, BYTE flags) {
      StockRecord* r = store.NewStock();
      CopyToField(r->szName, name);
      CopyToField(r->szSymbol, symbol);
      CopyToField(r->szShares, shares);
      CopyToField(r->szBuyPrice, buy);
      CopyToField(r->szPrice, price);
      r->ucStatus = status;
      r->ucFlags = flags;
      r->ucPortfolio = 0;
      return r;
    };
    add("IBM", "IBM", "10", "70", "80", kStatusActive, kFlagChartHistory);
    add("Microsoft", "MSFT", "5", "20", "26", kStatusActive, kFlagShort);
    add("Watched", "MSFT", "0", "0", "26", kStatusWatched, 0);
    add("Sold", "IBM", "3", "50", "60", kStatusSold, 0);
    ASSERT_TRUE(store.AddCurrency("EUR", "1.1"));
    store.dCash[0] = 100;
    ASSERT_TRUE(store.SetNote(store.stocks[0]->dwId, u"keep this note"));
    auto alert = std::make_unique<StockAlert>();
    *alert = {};
    CopyToField(alert->szQuoteSymbol, "ibm");  // typed in lower case
    alert->ucCondition = kAlertPrice;
    alert->ucCompare = kCompareGreater;
    alert->dThreshold = 81;
    store.alerts.push_back(std::move(alert));
    SavePreferences(store);
    ASSERT_TRUE(SaveStocks(store) && SaveNotes(store) && SaveAlerts(store));
  }

  std::unique_ptr<CQuilletUpdater> MakeRun(FileSystem* deviceFiles = nullptr,
                                           DeskRunSteps* steps = nullptr,
                                           const std::string& deviceSqliteVfs = {}) {
    DeskRunServices services{*desk.ctx, host};
    services.steps = steps;
    services.deviceFiles = deviceFiles;
    services.deviceSqliteVfs = deviceSqliteVfs;
    if (sim) services.server = QuoteEndpoint{"127.0.0.1", sim->port()};
    services.retryTimeoutSeconds = 2;
    auto run = std::make_unique<CQuilletUpdater>(services);
    run->SetLogListener([this](std::string_view line) { logLines.emplace_back(line); });
    return run;
  }
  // Begin, the five steps, end: what the provider does in one exchange.
  void WholeRun(CQuilletUpdater& run) {
    run.BeginRun();
    for (int i = 0; i < 5; ++i) run.RunStep();
    run.EndRun();
    EXPECT_FALSE(run.isOpen());
  }
  bool Logged(std::string_view line) const {
    return std::find(logLines.begin(), logLines.end(), line) != logLines.end();
  }
  std::string LogFile() {
    std::string text;
    disk.ReadAll(dir.hostPath + "/QuilletLog.txt", &text);
    return text;
  }
  std::string DeviceBytes(const char* path = kStockPath) {
    std::string bytes;
    disk.ReadAll(dev.HostPath(path), &bytes);
    return bytes;
  }
  DeviceFiles Device() {
    return {DeviceBytes(), std::filesystem::exists(dev.HostPath(std::string(kStockPath) + ".tmp"))};
  }
  PrefRecord DevicePrefs() {
    RegistryStore reg(dev.ctx().registry());
    reg.SetProductKey(kProductName);
    char bytes[kPrefRecordSize] = {};
    reg.GetBinary(kPrefBufValue, bytes, sizeof bytes);
    return DecodePrefRecord(std::string_view(bytes, sizeof bytes));
  }
  DWORD DeviceAlert() { return ReadAlertValue(dev.ctx().registry()); }
  void WriteSettings(const std::function<void(DeskSettings&)>& change) {
    DeskSettings s = LoadDeskSettings(*desk.ctx, dir);
    change(s);
    ASSERT_EQ(SaveDeskSettings(*desk.ctx, dir, s), 0);
  }
  DeskSettings Settings() { return LoadDeskSettings(*desk.ctx, dir); }
  const StockRecord* Find(PortfolioStore& store, std::string_view name) {
    for (const auto& r : store.stocks) {
      if (r->Name() == name) return r.get();
    }
    return nullptr;
  }

  testing::CompanionRoot dev;
  TestRoot desk{PlatformContext::Kind::kDesktop, kNow};
  WorkingDirectory dir;
  std::unique_ptr<LoadedLibrary> library;
  std::string fixture;
  std::unique_ptr<QuoteSimProcess> sim;
  RecordingHost host;
  std::vector<std::string> logLines;
};

TEST_F(DeskRunTest, AWholeRunUpdatesTheHandheldsStocksHistoryAlertAndPreferences) {
  ScopedTimeZone utc("UTC");
  dev.fx.clock.Set(kNow - 86400);
  Seed();
  StartSim();
  auto run = MakeRun();
  WholeRun(*run);
  EXPECT_TRUE(run->wroteBack());

  // The stocks, read back by the handheld's own code.
  auto saved = dev.LoadSaved();
  const StockRecord* ibm = Find(*saved, "IBM");
  const StockRecord* msft = Find(*saved, "Microsoft");
  const StockRecord* sold = Find(*saved, "Sold");
  ASSERT_TRUE(ibm && msft && sold && Find(*saved, "Watched"));
  EXPECT_EQ(saved->stocks.size(), 4u);
  EXPECT_EQ(FieldText(ibm->szPrice), "81.5");
  EXPECT_EQ(FieldText(ibm->szDayHigh), "82");
  EXPECT_EQ(FieldText(msft->szPrice), "25");
  EXPECT_EQ(FieldText(sold->szPrice), "60") << "sold stocks are not asked";
  EXPECT_NEAR(saved->currencies[1].dRate, 1.0846, 1e-9);
  EXPECT_EQ(saved->dCash[0], 100);
  // The profit at the previous prices, short position and all: 10 * (80 - 70) - 5 * (26 - 20).
  EXPECT_EQ(saved->dLastUpdateProfit[0], 70);
  ASSERT_EQ(saved->notes.size(), 1u);
  EXPECT_EQ(saved->notes[0]->Text(), "keep this note");

  // The chart database: the day's point of IBM and the portfolio's point, value in low and
  // profit in high as the handheld keeps them. The sold stock is not part of it.
  ChartStore charts(dev.ctx().objectStore(), dev.ctx().messageBoxes());
  ASSERT_TRUE(charts.OpenChartStore());
  auto series = charts.FindSeries("IBM", 0);
  ASSERT_TRUE(series);
  ASSERT_EQ(series->points.size(), 1u);
  EXPECT_EQ(series->points[0].dwPrice, 815000u);
  auto portfolio = charts.FindSeries("PORTFOLIO0", 255);
  ASSERT_TRUE(portfolio);
  ASSERT_EQ(portfolio->points.size(), 1u);
  const ChartPoint& p = portfolio->points[0];
  EXPECT_EQ(p.tDate, static_cast<StockTime>(kNow));
  EXPECT_EQ(p.dwPrice, 800u);                         // cost 10 * 70 + 5 * 20
  EXPECT_EQ(p.dwLow, 1040u);                          // value 815 + 125 + cash 100
  EXPECT_EQ(SignedAmount(p.dwHigh), 815 - 700 - 25);  // profit 115 less the short's 25
  EXPECT_FALSE(charts.FindSeries("PORTFOLIO1", 255)) << "a portfolio with nothing in it";

  EXPECT_EQ(DeviceAlert(), 1u) << "the alert typed in lower case fires";
  EXPECT_EQ(DevicePrefs().tLastUpdate, static_cast<StockTime>(kNow));
  EXPECT_EQ(DevicePrefs().dwDesktopMaxId, 4u);
  EXPECT_EQ(Settings().ucSyncLastTime, static_cast<DWORD>(kNow));
  EXPECT_EQ(run->lastRunEnd(), kNow);

  // The handheld program was not running, so it is not started.
  EXPECT_TRUE(dev.WaitForStarts(1, 300).empty());

  EXPECT_EQ(host.windows, 1);
  EXPECT_EQ(host.questions, 0);
  EXPECT_EQ(host.sources, (std::vector<int>{0, 7}));
  EXPECT_EQ(host.texts.front(), "Preparing for update...");
  const std::vector<std::string> expected = {
      "Quillet log started: [02/05/2003 16:00:00]",
      "Quillet v4.36 (Windows : PocketPC/Smartphone)",
      "Query String: IBM+MSFT",
      "Query: [IBM] - [81.5,5/2/2003,4:00pm,+1.5,80,82,80,1000000,81.4,81.6,60,90]",
      "Query: [MSFT] - [25,5/2/2003,4:00pm,-1,24.5,26,26,2000,24.9,25.1,20,30]",
      "  [IBM] : [80] -> [81.5]",
      "  [MSFT] : [26] -> [25]",
      "  [MSFT] : [26] -> [25]",  // the watched entry of the same stock
      "Query String: EURUSD=X",
  };
  ASSERT_GE(logLines.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(logLines[i], expected[i]) << i;
  EXPECT_EQ(logLines.back(), "Quillet log ended: [02/05/2003 16:00:00]");
  EXPECT_NE(LogFile().find("Query String: IBM+MSFT\r\n"), std::string::npos) << LogFile();
}

TEST_F(DeskRunTest, EveryFailureBeforeTheCopyEndsTheRunWithItsLogLineAndChangesNothing) {
  Seed();
  const std::string before = DeviceBytes();
  const PrefRecord prefsBefore = DevicePrefs();

  // No device in the cradle: the run does not open.
  ASSERT_EQ(DisconnectDevice(disk, desk.ctx->root()), 0);
  auto run = MakeRun();
  run->BeginRun();
  EXPECT_FALSE(run->isOpen());
  EXPECT_TRUE(Logged("Error: Unable to initialize RAPI interface"));
  EXPECT_EQ(logLines.back().rfind("Quillet log ended: [", 0), 0u);
  ASSERT_EQ(ConnectDevice(disk, desk.ctx->root(), dev.root()), 0);

  // The conduit switched off, and the question answered No (or left to run out).
  WriteSettings([](DeskSettings& s) { s.ConduitEnabled = 0; });
  WholeRun(*run);
  EXPECT_TRUE(Logged("Quillet: Conduit disabled."));
  WriteSettings([](DeskSettings& s) {
    s.ConduitEnabled = 1;
    s.bUpdateAsk = 1;
  });
  host.answer = false;
  logLines.clear();
  WholeRun(*run);
  EXPECT_EQ(host.questions, 1);
  EXPECT_TRUE(Logged("Quillet: Update not performed."));
  EXPECT_FALSE(Logged("Reading databases..."));
  EXPECT_EQ(DeviceBytes(), before);
  const PrefRecord prefsAfter = DevicePrefs();
  EXPECT_EQ(std::memcmp(&prefsBefore, &prefsAfter, sizeof(PrefRecord)), 0)
      << "a run that ended early writes the preferences back as they were";

  // The stock file missing: no run without it, and the previous run's copy goes.
  ASSERT_EQ(disk.WriteAll(dir.hostPath + "/QuilletDB", "stale"), 0);
  host.answer = true;
  std::filesystem::remove(dev.HostPath(kStockPath));
  logLines.clear();
  WholeRun(*run);
  EXPECT_TRUE(
      Logged("Error: Cannot read database. Quillet does not appear to be installed on device"));
  EXPECT_FALSE(std::filesystem::exists(dir.hostPath + "/QuilletDB"));
  EXPECT_FALSE(std::filesystem::exists(dev.HostPath(kStockPath)));
  EXPECT_FALSE(run->wroteBack());
}

TEST_F(DeskRunTest, WithoutPreferencesTheRunEndsAndWritesNoneBack) {
  auto run = MakeRun();
  WholeRun(*run);
  EXPECT_TRUE(
      Logged("Error: cannot read device preferences. Quillet does not appear to be installed on "
             "device"));
  RegistryStore reg(dev.ctx().registry());
  reg.SetProductKey(kProductName);
  char bytes[4];
  EXPECT_NE(reg.GetBinary(kPrefBufValue, bytes, sizeof bytes), 0) << "nothing was written";
  // A record shorter than 216 bytes is a record: the rest reads as zeros.
  Seed();
  ASSERT_TRUE(reg.SetBinary(kPrefBufValue, "\x64\x00", 2));
  StartSim();
  auto second = MakeRun();
  logLines.clear();
  WholeRun(*second);
  EXPECT_TRUE(second->wroteBack());
  EXPECT_EQ(DevicePrefs().wVersion, 100);
  EXPECT_EQ(DevicePrefs().tLastUpdate, static_cast<StockTime>(kNow));
}

// Fails reads of one file after some bytes, as a connection that drops in the middle of a copy.
class FailingReads final : public FileSystemWrapper {
 public:
  FailingReads(FileSystem& base, std::string suffix, std::size_t after)
      : FileSystemWrapper(base), suffix_(std::move(suffix)), after_(after) {}
  LONG Open(const std::string& path, OpenMode mode, std::unique_ptr<File>* file) override {
    LONG rc = target().Open(path, mode, file);
    if (rc == 0 && path.ends_with(suffix_)) *file = std::make_unique<Cut>(std::move(*file), after_);
    return rc;
  }

 private:
  class Cut final : public File {
   public:
    Cut(std::unique_ptr<File> f, std::size_t after) : f_(std::move(f)), left_(after) {}
    LONG Read(void* b, std::size_t n, std::size_t* read) override {
      *read = 0;
      if (left_ == 0) return ERROR_READ_FAULT;
      LONG rc = f_->Read(b, std::min(n, left_), read);
      left_ -= *read;
      return rc;
    }
    LONG Write(const void* b, std::size_t n) override { return f_->Write(b, n); }
    LONG Seek(std::int64_t o, int w) override { return f_->Seek(o, w); }
    LONG Size(std::uint64_t* s) override { return f_->Size(s); }
    LONG Sync() override { return f_->Sync(); }
    LONG Close() override { return f_->Close(); }

   private:
    std::unique_ptr<File> f_;
    std::size_t left_;
  };
  std::string suffix_;
  std::size_t after_;
};

TEST_F(DeskRunTest, ACopyCutShortIsNoCopyAndStaleCopiesDecideNothing) {
  Seed();
  StartSim();
  const std::string before = DeviceBytes();
  // The stock file breaks off after its header and one record: nothing may be written back.
  FailingReads cutStocks(disk, "/QuilletDB", 2048);
  auto run = MakeRun(&cutStocks);
  WholeRun(*run);
  EXPECT_TRUE(
      Logged("Error: Cannot read database. Quillet does not appear to be installed on device"));
  EXPECT_EQ(DeviceBytes(), before);
  EXPECT_EQ(DevicePrefs().tLastUpdate, 0u);

  // The alert file breaks off: the previous run's copy (whose alert would fire) is removed and
  // the run goes on with no alerts, so the handheld shows none.
  ASSERT_EQ(disk.WriteAll(dir.hostPath + "/StockAlertDB", DeviceBytes("\\Program "
                                                                      "Files\\Quillet\\"
                                                                      "StockAlertDB")),
            0);
  FailingReads cutAlerts(disk, "/StockAlertDB", 10);
  auto second = MakeRun(&cutAlerts);
  logLines.clear();
  WholeRun(*second);
  EXPECT_TRUE(Logged("Error: Cannot read alert database"));
  EXPECT_FALSE(std::filesystem::exists(dir.hostPath + "/StockAlertDB"));
  EXPECT_TRUE(second->wroteBack());
  EXPECT_EQ(DeviceAlert(), 0u);
}

TEST_F(DeskRunTest, ARecordThatCouldNotBeReadKeepsTheStockFileOnTheDevice) {
  Seed();
  StartSim();
  const std::string before = DeviceBytes();
  auto run = MakeRun();
  run->BeginRun();
  run->store().InjectAllocationFailure(2);
  for (int i = 0; i < 5; ++i) run->RunStep();
  run->EndRun();
  EXPECT_TRUE(Logged("Error: Insufficient memory to read all stock db"));
  EXPECT_TRUE(
      Logged("Error: unable to write stocks to device. Make sure that you are not running "
             "Quillet."));
  EXPECT_EQ(DeviceBytes(), before);
  EXPECT_EQ(DevicePrefs().tLastUpdate, 0u);
}

// Hands a sweep's failure point on to `inner` only while armed, so that the sweep walks the
// operations of one part of the run alone (the write-back, the end of the run).
class ArmedFaults final : public testing::FaultInjector {
 public:
  explicit ArmedFaults(testing::FaultInjector& inner) : inner_(inner) {}
  void FailFrom(int n, bool persistent) override {
    n_ = n;
    persistent_ = persistent;
    injected_ = 0;
    inner_.StopFailing();
  }
  void StopFailing() override {
    n_ = -1;
    injected_ = 0;
    inner_.StopFailing();
  }
  int FailuresInjected() const override { return injected_; }
  void Arm() {
    if (n_ >= 0) inner_.FailFrom(n_, persistent_);
  }
  void Disarm() {
    injected_ = n_ >= 0 ? inner_.FailuresInjected() : 0;
    inner_.StopFailing();
  }
  // A disk that failed once (not for good) lets the failed write-back clean up after itself.
  bool transient() const { return n_ >= 0 && !persistent_; }

 private:
  testing::FaultInjector& inner_;
  int n_ = -1;
  bool persistent_ = false;
  int injected_ = 0;
};

TEST_F(DeskRunTest, AWriteBackFailingAtAnyStepLeavesTheOldStockFileOrTheNewOne) {
  Seed();
  StartSim();
  const std::string seeded = DeviceBytes();
  FaultInjectingFileSystem files(disk);
  testing::FileFaults fileFaults(files);
  ArmedFaults faults(fileFaults);
  auto run = MakeRun(&files);
  int failedRuns = 0;
  const int operations = testing::SweepSave<std::string>(
      faults,
      {.putOld =
           [&] {
             ASSERT_EQ(disk.WriteAll(dev.HostPath(kStockPath), seeded), 0);
             std::filesystem::remove(dev.HostPath(std::string(kStockPath) + ".old"));
             std::filesystem::remove(dev.HostPath(std::string(kStockPath) + ".tmp"));
             RegistryStore reg(dev.ctx().registry());
             reg.SetProductKey(kProductName);
             PrefRecord prefs = DevicePrefs();
             prefs.tLastUpdate = 0;
             reg.SetBinary(kPrefBufValue, &prefs, sizeof prefs);
           },
       .save =
           [&] {
             logLines.clear();
             run->BeginRun();
             for (int i = 0; i < 4; ++i) run->RunStep();
             faults.Arm();
             run->RunStep();
             faults.Disarm();
             run->EndRun();
             const bool failed = Logged(
                 "Error: unable to write stocks to device. Make sure that you are not running "
                 "Quillet.");
             // The update is recorded only when it reached the device.
             EXPECT_EQ(DevicePrefs().tLastUpdate, failed ? 0u : static_cast<StockTime>(kNow));
             EXPECT_EQ(failed, !run->wroteBack());
             if (failed && faults.transient()) {
               EXPECT_FALSE(Device().tmpLeft);
             }
             if (failed) ++failedRuns;
             return !failed;
           },
       .reload = [&] { return DeviceBytes(); },
       // The next run finds the old file where a dead disk left it aside, and puts it back.
       .afterStep =
           [&] {
             RemoteApi next(disk, desk.ctx->databases(), desk.ctx->root());
             ASSERT_EQ(next.CeRapiInit(), S_OK);
             RecoverDeviceFile(next, AnsiToUtf16(kStockPath));
           }});
  EXPECT_GE(operations, 6);
  EXPECT_GT(failedRuns, 0);
}

TEST_F(DeskRunTest, AFailedLastRenamePutsTheOldStockFileBack) {
  Seed();
  StartSim();
  const std::string before = DeviceBytes();
  FaultInjectingFileSystem files(disk);
  files.FailOn(FaultInjectingFileSystem::Op::kRename, "/QuilletDB");
  auto run = MakeRun(&files);
  WholeRun(*run);
  EXPECT_TRUE(Logged("** cannot rename CE file"));
  EXPECT_EQ(DeviceBytes(), before);
  EXPECT_FALSE(std::filesystem::exists(dev.HostPath(std::string(kStockPath) + ".tmp")));
}

// The run's two writes into the handheld's registry, each swept on its own: every failure point
// leaves the old value or the new one, and a value that was not written is named in the log.
TEST_F(DeskRunTest, RegistryWritesFailingAtAnyStepLeaveTheOldValueOrTheNewOneAndSaySo) {
  Seed();
  StartSim();
  const std::string seeded = DeviceBytes();
  // The faults are armed for the write-back step and the end of the run, where the run writes
  // the alert state and the preference record.
  testing::SqliteFaultVfs vfs;
  ArmedFaults faults(vfs);
  auto putOld = [&] {
    ASSERT_EQ(disk.WriteAll(dev.HostPath(kStockPath), seeded), 0);
    RegistryStore reg(dev.ctx().registry());
    reg.SetProductKey(kProductName);
    PrefRecord prefs = DevicePrefs();
    prefs.tLastUpdate = 0;
    const std::string bytes = EncodePrefRecord(prefs);
    reg.SetBinary(kPrefBufValue, bytes.data(), static_cast<DWORD>(bytes.size()));
    reg.SetDword(kAlertValueName, 0);
  };
  // One whole run with the faults armed for its last step and its end; true when `error` (the
  // line of the value swept) was not logged.
  auto save = [&](std::string_view error) {
    logLines.clear();
    auto run = MakeRun(nullptr, nullptr, vfs.name());
    run->BeginRun();
    for (int i = 0; i < 4; ++i) run->RunStep();
    faults.Arm();
    run->RunStep();
    run->EndRun();
    faults.Disarm();
    return !Logged(error);
  };
  const int prefWrites = testing::SweepSave<StockTime>(
      faults, {.putOld = putOld,
               .save = [&] { return save("Error: cannot write device preferences"); },
               .reload = [&] { return DevicePrefs().tLastUpdate; }});
  const int alertWrites = testing::SweepSave<DWORD>(
      faults, {.putOld = putOld,
               .save = [&] { return save("Error: cannot write the alert state to the device"); },
               .reload = [&] { return DeviceAlert(); }});
  EXPECT_GT(prefWrites, 2);
  EXPECT_GT(alertWrites, 2);
}

// Import and restore that only say they happened.
class RecordingSteps final : public DeskRunSteps {
 public:
  bool Restore(CQuilletUpdater&, std::string_view) override { return false; }
  bool ImportStocks(CQuilletUpdater&) override {
    ++imports;
    return true;
  }
  void Export(CQuilletUpdater&) override { ++exports; }
  void Backup(CQuilletUpdater&) override { ++backups; }
  int imports = 0, exports = 0, backups = 0;
};

TEST_F(DeskRunTest, RequestsAreConsumedOnlyByAWriteBackThatReachedTheDevice) {
  Seed();
  StartSim();
  WriteSettings([](DeskSettings& s) {
    s.bImportNextSync = 1;
    CopyToField(s.szPathImport, "C:\\stocks.csv");
  });
  RecordingSteps steps;
  FaultInjectingFileSystem files(disk);
  files.FailOn(FaultInjectingFileSystem::Op::kCreate, "QuilletDB.tmp");
  auto run = MakeRun(&files, &steps);
  WholeRun(*run);
  EXPECT_TRUE(Logged("** cannot open CE file"));
  EXPECT_EQ(steps.imports, 1);
  EXPECT_EQ(Settings().bImportNextSync, 1) << "the import has not reached the device";
  EXPECT_EQ(DevicePrefs().tLastUpdate, 0u);

  files.Clear();
  WholeRun(*run);
  EXPECT_EQ(steps.imports, 2);
  EXPECT_EQ(steps.exports, 2);
  EXPECT_EQ(steps.backups, 2);
  EXPECT_EQ(Settings().bImportNextSync, 0);
  EXPECT_EQ(DevicePrefs().tLastUpdate, static_cast<StockTime>(kNow));
}

// The run with its real steps: a backup set is taken, and a later restore of a set whose stock
// file is gone does not hand the handheld the previous run's local copy (or nothing at all): the
// run reads the device's files as usual.
TEST_F(DeskRunTest, ARestoreWithoutAUsableStockBackupReadsTheDevicesFiles) {
  Seed();
  StartSim();
  WriteSettings([](DeskSettings& s) {
    s.BackupMode = 1;
    s.BackupLastTime = 0;
  });
  CDeskSteps steps;
  auto run = MakeRun(nullptr, &steps);
  WholeRun(*run);
  EXPECT_TRUE(Logged("Data backed up to: " + dir.windowsPath + "Backup"));
  const std::string backup = dir.hostPath + "/Backup/20030502_";
  ASSERT_TRUE(std::filesystem::exists(backup + "QuilletDB"));
  ASSERT_TRUE(std::filesystem::exists(backup + "StockGraphDB"));
  const std::size_t stocks = DecodeStockFile(DeviceBytes()).stocks.size();
  ASSERT_EQ(stocks, 4u);

  // The set loses its stock file; the local copy is left empty by something else.
  std::filesystem::remove(backup + "QuilletDB");
  ASSERT_EQ(disk.WriteAll(dir.hostPath + "/QuilletDB", EncodeStockFile(StockFileHeader{}, {})), 0);
  WriteSettings([](DeskSettings& s) {
    s.bRestoreNextTime = 1;
    CopyToField(s.RestoreTime, "20030502");
  });
  logLines.clear();
  WholeRun(*run);
  EXPECT_TRUE(Logged(
      "Error: the backup stock file of 20030502 cannot be read; the data were not restored"));
  EXPECT_FALSE(Logged("Quillet Data from [20030502] restored"));
  EXPECT_EQ(DecodeStockFile(DeviceBytes()).stocks.size(), stocks);
}

TEST_F(DeskRunTest, ImportedStocksAndTheirNewPortfolioReachTheDevice) {
  Seed();
  StartSim();
  ASSERT_EQ(disk.WriteAll(dir.hostPath + "/../import.csv",
                          "Name,Symbol\nApple,AAPL,Tech,1/31/2003,10,12.50,5\n"),
            0);
  WriteSettings([](DeskSettings& s) {
    s.bImportNextSync = 1;
    CopyToField(s.szPathImport, "C:\\Program Files\\Microsoft ActiveSync\\import.csv");
    s.BackupTime = 1;
  });
  CDeskSteps steps;
  auto run = MakeRun(nullptr, &steps);
  WholeRun(*run);
  EXPECT_TRUE(Logged("Quillet: Imported [1] records"));
  const StockFile file = DecodeStockFile(DeviceBytes());
  ASSERT_EQ(file.stocks.size(), 5u);
  ASSERT_TRUE(file.header);
  const StockRecord* apple = nullptr;
  DWORD highest = 0;
  for (const StockRecord& r : file.stocks) {
    if (r.Name() == "Apple")
      apple = &r;
    else
      highest = std::max(highest, r.dwId);
  }
  ASSERT_NE(apple, nullptr);
  EXPECT_EQ(apple->dwId, highest + 1);
  EXPECT_EQ(apple->ucPortfolio, file.header->wPortfolioCount - 1);
  EXPECT_EQ(FieldText(file.header->szPortfolioName[apple->ucPortfolio]), "Tech");
  EXPECT_EQ(Settings().bImportNextSync, 0);
  // The export of the same run lists it (the quotes of the run priced the others).
  std::string csv;
  ASSERT_EQ(disk.ReadAll(dir.hostPath + "/Quillet.csv", &csv), 0);
  EXPECT_NE(csv.find("\nApple,AAPL,Tech,1/31/2003,10,12.5000,5.00,0.00,130.00,"), std::string::npos)
      << csv;
}

TEST_F(DeskRunTest, CancelSeenByTheExportEndsTheRunBeforeAnythingIsWritten) {
  Seed();
  StartSim();
  WriteSettings([](DeskSettings& s) { s.BackupTime = 1; });
  const std::string before = DeviceBytes();
  CDeskSteps steps;
  auto run = MakeRun(nullptr, &steps);
  run->BeginRun();
  for (int i = 0; i < 3; ++i) run->RunStep();
  run->cancelToken().Cancel();
  run->RunStep();  // the export
  EXPECT_FALSE(run->isOpen());
  EXPECT_TRUE(Logged("Sync Cancelled."));
  EXPECT_FALSE(std::filesystem::exists(dir.hostPath + "/Quillet.csv"));
  run->RunStep();
  EXPECT_EQ(DeviceBytes(), before);
}

TEST_F(DeskRunTest, SettingsSavedDuringARunAreKept) {
  Seed();
  StartSim();
  WriteSettings([](DeskSettings& s) { s.proxyPort = 8080; });
  auto run = MakeRun();
  run->BeginRun();
  run->RunStep();
  // The user changes the options sheet while the run goes on.
  WriteSettings([](DeskSettings& s) {
    s.proxyPort = 3128;
    s.BackupMode = 2;
  });
  for (int i = 0; i < 4; ++i) run->RunStep();
  run->EndRun();
  const DeskSettings after = Settings();
  EXPECT_EQ(after.proxyPort, 3128);
  EXPECT_EQ(after.BackupMode, 2);
  EXPECT_EQ(after.ucSyncLastTime, static_cast<DWORD>(kNow));
}

TEST_F(DeskRunTest, IndexesAndCountsFromTheFileAreBoundedAndGoBackAsTheyWere) {
  Seed();
  StartSim();
  // Damage the header and the records the way a foreign file could: counts past the tables,
  // a market never priced, one past the table, a portfolio past 32 and a name without its end.
  std::string bytes = DeviceBytes();
  bytes[2] = 99;                         // portfolio count
  bytes[516] = static_cast<char>(0xF4);  // currency count 500
  bytes[517] = 0x01;
  const std::size_t first = kStockFileHeaderSize;
  std::memset(&bytes[first + 24], 'N', 20);  // the name fills its field
  bytes[first + 4] = 40;                     // portfolio 40
  bytes[first + sizeof(StockRecord) + 6] = 46;
  bytes[first + 2 * sizeof(StockRecord) + 6] = static_cast<char>(200);
  ASSERT_EQ(disk.WriteAll(dev.HostPath(kStockPath), bytes), 0);
  auto run = MakeRun();
  WholeRun(*run);
  EXPECT_TRUE(run->wroteBack());
  const std::string after = DeviceBytes();
  ASSERT_EQ(after.size(), bytes.size());
  EXPECT_EQ(after.substr(0, 4), bytes.substr(0, 4)) << "the counts go back as stored";
  EXPECT_EQ(after.substr(516, 2), bytes.substr(516, 2));
  StockFile file = DecodeStockFile(after);
  int damagedName = 0, market46 = 0, market200 = 0;
  for (const StockRecord& r : file.stocks) {
    if (r.ucPortfolio == 40 && std::string_view(r.szName, 20) == std::string(20, 'N')) {
      ++damagedName;
    }
    market46 += r.ucMarket == 46;
    market200 += r.ucMarket == 200;
  }
  EXPECT_EQ(damagedName, 1);
  EXPECT_EQ(market46, 1);
  EXPECT_EQ(market200, 1);
}

TEST_F(DeskRunTest, AFileWithoutHeaderIsReadAsRecordsAndGetsTheDefaultTables) {
  Seed();
  StartSim();
  std::string bytes = DeviceBytes().substr(kStockFileHeaderSize);
  ASSERT_EQ(disk.WriteAll(dev.HostPath(kStockPath), bytes), 0);
  auto run = MakeRun();
  WholeRun(*run);
  auto saved = dev.LoadSaved();
  EXPECT_EQ(saved->stocks.size(), 4u);
  EXPECT_EQ(saved->wPortfolioCount, 2);
  EXPECT_EQ(saved->PortfolioName(0), "Unfiled");
  EXPECT_EQ(saved->wCurrencyCount, 1);
  EXPECT_EQ(DeviceBytes().substr(0, 2), std::string("\x64\x00", 2));
}

TEST_F(DeskRunTest, TheScheduleComputesInSixtyFourBitsAndRepairsABadInterval) {
  ScopedTimeZone utc("UTC");
  auto run = MakeRun();
  EXPECT_TRUE(run->ShouldSyncNow(true));
  EXPECT_FALSE(run->ShouldSyncNow(false)) << "only on Sync by default";
  struct Case {
    DWORD last;
    int every;
    int interval;
    bool due;
  };
  const DWORD now = static_cast<DWORD>(kNow);  // 16:00
  for (const Case& c : {
           Case{0, 30, 0, true}, Case{now - 29 * 60, 30, 0, false},
           Case{now - 30 * 60, 30, 0, true},
           Case{now - 60, 0, 0, false},          // zero means 30 minutes, not "always"
           Case{now - 31 * 60, -5, 0, true},     // so does a negative interval
           Case{now - 60, 100000000, 0, false},  // 6e9 seconds would wrap 32 bits
           Case{0xFFFFFF00u, 120, 0, false},     // a last time after now
           Case{now - 3600, 30, 1, true},        // 16:00 is before 17:00
       }) {
    WriteSettings([&](DeskSettings& s) {
      s.ucSyncMode = 1;
      s.ucSyncLastTime = c.last;
      s.ucSyncEvery = c.every;
      s.ucSyncInterval = c.interval;
      s.ucSyncIntervalFrom = 9;
      s.ucSyncIntervalTo = 5;
    });
    EXPECT_EQ(run->ShouldSyncNow(false), c.due) << c.last << " every " << c.every;
  }
  WriteSettings([](DeskSettings& s) { s.ucSyncIntervalTo = 3; });  // until 15:00
  EXPECT_FALSE(run->ShouldSyncNow(false));
}

// A line that keeps answering "connected", and one whose status query fails.
class StubbornLine final : public RasDialer {
 public:
  explicit StubbornLine(DWORD status) : status_(status) {}
  DWORD GetEntryDialParams(std::u16string_view, RasDialParams*, bool* saved) override {
    *saved = true;
    return 0;
  }
  DWORD Dial(const RasDialParams&, HRASCONN* connection) override {
    *connection = 0x77;
    return 0;
  }
  DWORD GetConnectStatus(HRASCONN) override { return hungUp ? status_ : 0; }
  DWORD HangUp(HRASCONN) override {
    hungUp = true;
    return 0;
  }
  bool hungUp = false;

 private:
  DWORD status_;
};

TEST_F(DeskRunTest, DiallingAndHangingUpAreBounded) {
  Seed();
  StartSim();
  WriteSettings([](DeskSettings& s) {
    s.bConnectMethod = 1;
    s.bHangupModem = 1;
    CopyToField(s.szRasEntry, "Dial-up");
  });
  ManualMonotonicClock ticks(5000);
  MonotonicClock& realTicks = desk.ctx->ticks();
  desk.ctx->SetTicks(ticks);
  StubbornLine stuck(0);
  desk.ctx->SetDialer(&stuck);
  auto run = MakeRun();
  WholeRun(*run);
  EXPECT_TRUE(stuck.hungUp);
  EXPECT_GE(ticks.NowMs(), 5000u + kDeskHangUpWaitMs);
  EXPECT_TRUE(run->wroteBack());
  EXPECT_NE(std::find(host.texts.begin(), host.texts.end(), "Hanging up modem..."),
            host.texts.end());

  StubbornLine broken(668);  // the status query fails: the wait ends at once
  desk.ctx->SetDialer(&broken);
  const std::uint64_t start = ticks.NowMs();
  WholeRun(*run);
  EXPECT_TRUE(broken.hungUp);
  EXPECT_LT(ticks.NowMs() - start, 1000u);
  desk.ctx->SetDialer(nullptr);
  desk.ctx->SetTicks(realTicks);

  // Dial outcomes are logged with the desktop's words and never stop the run.
  logLines.clear();
  WholeRun(*run);
  EXPECT_TRUE(
      Logged("Quillet: The profile was not found in the phone book. Using Windows "
             "default dialing."));
  EXPECT_TRUE(run->wroteBack());
}

TEST_F(DeskRunTest, CancelEndsTheRunAtTheNextCheckWithoutWritingBack) {
  Seed();
  StartSim();
  const std::string before = DeviceBytes();
  auto run = MakeRun();
  run->BeginRun();
  run->RunStep();
  run->cancelToken().Cancel();
  run->RunStep();
  EXPECT_FALSE(run->isOpen());
  EXPECT_TRUE(Logged("Sync Cancelled."));
  run->RunStep();  // later packets do nothing
  EXPECT_EQ(DeviceBytes(), before);
  EXPECT_EQ(Settings().ucSyncLastTime, static_cast<DWORD>(kNow));
}

TEST_F(DeskRunTest, ASmartphoneKeepsItsChartsInTheVolumeOfItsDataFolder) {
  Seed();
  StartSim();
  ASSERT_EQ(
      dev.ctx().registry().SetString(HKEY_LOCAL_MACHINE, u"Ident", u"DeviceType", u"SmartPhone"),
      0);
  // A Smartphone's sync library is reached by its full path only.
  auto phoneLibrary = dev.Load("QuilletPPC", "\\IPSM\\Windows\\QuilletPPC.dll");
  std::filesystem::remove(dev.HostPath("\\Windows\\QuilletPPC.dll"));
  auto run = MakeRun();
  WholeRun(*run);
  EXPECT_TRUE(run->wroteBack());
  auto volume =
      SqlitePropertyStore::MountVolume(dev.HostPath("\\Program Files\\Quillet\\StockGraphDB.vol"));
  ASSERT_TRUE(volume);
  ChartStore phone(*volume, dev.ctx().messageBoxes());
  ASSERT_TRUE(phone.OpenChartStore());
  ASSERT_TRUE(phone.FindSeries("IBM", 0));
  ChartStore objectStore(dev.ctx().objectStore(), dev.ctx().messageBoxes());
  ASSERT_TRUE(objectStore.OpenChartStore());
  EXPECT_FALSE(objectStore.FindSeries("IBM", 0));
}

TEST_F(DeskRunTest, QuotesComeThroughAProxyWithBasicAuthentication) {
  ASSERT_TRUE(std::filesystem::exists("/usr/bin/tinyproxy"))
      << "tinyproxy is not installed (scripts/setup installs it)";
  Seed();
  StartSim();
  TinyProxy proxy(sim->port(), "quillet", "s3cret");
  ASSERT_TRUE(proxy.running());
  auto useProxy = [&](const char* password) {
    WriteSettings([&](DeskSettings& s) {
      s.bUseProxy = 1;
      CopyToField(s.proxyAddress, "127.0.0.1");
      s.proxyPort = proxy.port();
      s.bProxyAuth = 1;
      CopyToField(s.proxyUser, "quillet");
      CopyToField(s.proxyPasswd, password);
    });
  };
  // A wrong password: the proxy refuses, the prices stay.
  useProxy("wrong");
  const std::size_t before = sim->Requests().size();
  DeskRunServices services{*desk.ctx, host};  // no quote server: every request to the proxy
  CQuilletUpdater refused(services);
  refused.SetLogListener([this](std::string_view line) { logLines.emplace_back(line); });
  WholeRun(refused);
  EXPECT_EQ(sim->Requests().size(), before);
  EXPECT_EQ(FieldText(Find(*dev.LoadSaved(), "IBM")->szPrice), "80");

  useProxy("s3cret");
  CQuilletUpdater run(services);
  WholeRun(run);
  EXPECT_EQ(FieldText(Find(*dev.LoadSaved(), "IBM")->szPrice), "81.5");
  const auto requests = sim->Requests();
  ASSERT_GT(requests.size(), before);
  // The simulator sees the proxy's request for the source's own host and path.
  EXPECT_NE(requests[before].find("http://"), std::string::npos) << requests[before];
}

// US stocks routed to the user's own HTTPS source: the run prices them and fetches their history
// through it, with the same log lines; the table's currency source is still asked. A source
// whose certificate cannot be trusted fails with a clear line and changes no price.
TEST_F(DeskRunTest, AMarketRoutedToAUserSourceIsPricedAndItsHistoryFetchedOverHttps) {
  ScopedTimeZone utc("UTC");
  testing::TlsCertificates certs;
  ASSERT_TRUE(certs.ok());
  Seed();
  StartSim();
  auto secure = std::make_unique<QuoteSimProcess>(std::vector<std::string>{
      "--fixture", fixture, "--tls-cert", certs.server(), "--tls-key", certs.key()});
  ASSERT_TRUE(secure->running());
  desk.ctx->settings().caFile = certs.caFile();
  const std::string base = "https://127.0.0.1:" + std::to_string(secure->port());
  auto sources = IniSourceSettings(disk, dir.hostPath + "/Quillet.ini");
  std::string error;
  ASSERT_EQ(
      SaveUserSource(*sources, "mine",
                     {{"quote_url", base + "/user/csv?s={symbols}"},
                      {"format", "csv"},
                      {"header", "yes"},
                      {"symbol", "1"},
                      {"last", "2"},
                      {"change", "3"},
                      {"date", "4"},
                      {"time", "5"},
                      {"low", "6"},
                      {"high", "7"},
                      {"history_url", base + "/user/csv/history?s={symbol}&from={from}&to={to}"},
                      {"history_date", "1"},
                      {"history_close", "5"}},
                     &error),
      0)
      << error;
  ASSERT_EQ(RouteMarket(*sources, 0, "mine", &error), 0) << error;
  WriteSettings([](DeskSettings& s) {
    s.bImportChart = 1;
    s.ucImportChartAll = 1;
    s.ulImportChartTime = static_cast<DWORD>(kNow - 7 * 86400);
  });
  auto run = MakeRun();
  WholeRun(*run);
  EXPECT_TRUE(run->wroteBack());
  auto saved = dev.LoadSaved();
  EXPECT_EQ(FieldText(Find(*saved, "IBM")->szPrice), "81.5");
  EXPECT_EQ(FieldText(Find(*saved, "IBM")->szDayHigh), "82");
  EXPECT_EQ(FieldText(Find(*saved, "Microsoft")->szPrice), "25");
  EXPECT_EQ(Find(*saved, "IBM")->tQuoteTime, static_cast<StockTime>(kNow));
  EXPECT_TRUE(Logged("Query String: IBM,MSFT"));
  EXPECT_TRUE(Logged("  [IBM] : [80] -> [81.5]"));
  EXPECT_TRUE(Logged("Query String: EURUSD=X"));
  EXPECT_FALSE(Logged("Query String: IBM+MSFT")) << "the table source is not asked for them";
  ChartStore charts(dev.ctx().objectStore(), dev.ctx().messageBoxes());
  ASSERT_TRUE(charts.OpenChartStore());
  auto series = charts.FindSeries("IBM", 0);
  ASSERT_TRUE(series);
  EXPECT_GE(series->points.size(), 5u) << "a week of days from the history template";
  EXPECT_EQ(series->points.back().dwPrice, 815000u) << "today's point from the quote";

  EXPECT_TRUE(Logged("Query: [IBM] - [81.5,2003-05-02,16:00,+1.5,80,82,,,,,,]")) << LogFile();

  // The market sent to a JSON source instead: the same prices, read from its paths.
  ASSERT_EQ(SaveUserSource(*sources, "json",
                           {{"quote_url", base + "/user/json?symbols={symbols}"},
                            {"format", "json"},
                            {"list", "quoteResponse.result"},
                            {"date_style", "unix"},
                            {"symbol", "symbol"},
                            {"last", "regularMarketPrice"},
                            {"date", "regularMarketTime"}},
                           &error),
            0)
      << error;
  ASSERT_EQ(RouteMarket(*sources, 0, "json", &error), 0) << error;
  logLines.clear();
  auto second = MakeRun();
  WholeRun(*second);
  EXPECT_TRUE(second->wroteBack());
  EXPECT_TRUE(Logged("Query String: IBM,MSFT"));
  EXPECT_TRUE(Logged("  [IBM] : [81.5] -> [81.5]"));
  EXPECT_TRUE(Logged("  [MSFT] : [25] -> [25]"));
  EXPECT_EQ(FieldText(Find(*dev.LoadSaved(), "IBM")->szPrice), "81.5");

  // The same source behind a certificate of another CA: nothing applied, the line says why.
  secure = std::make_unique<QuoteSimProcess>(std::vector<std::string>{
      "--fixture", fixture, "--tls-cert", certs.untrusted(), "--tls-key", certs.key()});
  ASSERT_TRUE(secure->running());
  ASSERT_EQ(SaveUserSource(*sources, "mine",
                           {{"quote_url", "https://127.0.0.1:" + std::to_string(secure->port()) +
                                              "/user/csv?s={symbols}"},
                            {"format", "csv"},
                            {"symbol", "1"},
                            {"last", "2"}},
                           &error),
            0);
  ASSERT_EQ(RouteMarket(*sources, 0, "mine", &error), 0) << error;
  logLines.clear();
  auto refused = MakeRun();
  WholeRun(*refused);
  EXPECT_FALSE(Logged("  [IBM] : [81.5] -> [81.5]")) << "nothing of the refused source applied";
  const bool explained = std::any_of(logLines.begin(), logLines.end(), [](const std::string& l) {
    return l.rfind("Quillet: [mine] SSL", 0) == 0;
  });
  EXPECT_TRUE(explained);
}

// The acceptance case with the real handheld program: closed for the run, started again after.
TEST_F(DeskRunTest, TheRunningProgramIsClosedForTheRunAndStartedAgain) {
  if (!dev.InstallProgram()) GTEST_SKIP() << "the handheld program is not built";
  Seed();
  StartSim();
  ASSERT_TRUE(dev.StartProgram());
  auto run = MakeRun();
  run->BeginRun();
  ASSERT_TRUE(run->isOpen());
  EXPECT_FALSE(dev.WaitForProgramWindow(0)) << "the program stepped aside";
  for (int i = 0; i < 5; ++i) run->RunStep();
  run->EndRun();
  EXPECT_TRUE(run->wroteBack());
  ASSERT_TRUE(dev.WaitForProgramWindow(60000)) << "started again";
  auto saved = dev.LoadSaved();
  EXPECT_EQ(FieldText(Find(*saved, "IBM")->szPrice), "81.5");
}

}  // namespace
}  // namespace quillet
