// The messages other processes send to the main window: the desktop's close request, low memory
// and activation; and the same close request sent by another process to the running program.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "core/messages.h"
#include "device/main_frame.h"
#include "device/resource_ids.h"
#include "device/testing/device_test_support.h"
#include "platform/linux/posix_file_system.h"
#include "platform/linux/sqlite_db.h"
#include "platform/linux/window_station.h"
#include "platform/message_box.h"
#include "quotes/testing/quote_sim_process.h"

namespace quillet {
namespace {

using testing::DeviceFixture;

void SeedRich(DeviceFixture& fx) {
  fx.Seed({"Tech"},
          {{.name = "Alpha", .symbol = "A", .portfolio = 2}, {.name = "Beta", .symbol = "B"}},
          [](PortfolioStore& s) {
            s.SetNote(s.stocks[1]->dwId, u"keep this note");
            auto alert = std::make_unique<StockAlert>();
            *alert = {};
            CopyToField(alert->szQuoteSymbol, "A");
            alert->ucCondition = 0;
            alert->ucCompare = 4;
            alert->dThreshold = 100;
            s.alerts.push_back(std::move(alert));
            s.ucColumnData = 2;
            s.dCash[2] = 250;
          });
}

class CloseAndReleaseTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (app) app->ExitInstance();
  }
  void Start() {
    bool started = false;
    app = fx.Start(&started);
    ASSERT_TRUE(started);
    frame = app->frame();
  }
  LRESULT Send(UINT msg, std::uint64_t wParam = 0) {
    return frame->OnWindowMessage(WindowMessage{msg, wParam, 0});
  }

  DeviceFixture fx;
  std::unique_ptr<CQuilletApp> app;
  CMainFrame* frame = nullptr;
};

TEST_F(CloseAndReleaseTest, CloseRequestEndsTheOpenDialogAsOkAndTheProgramWithEverythingSaved) {
  SeedRich(fx);
  Start();
  app->store()->ucColumnValue = kValueCost;  // a change made in this run
  int dialogResult = -1;
  fx.dialogs = [&](QDialog& d) {
    Send(WM_QUILLET_CLOSE);
    dialogResult = d.result();
    return d.result();
  };
  frame->Action(ID_APP_ABOUT)->trigger();
  EXPECT_EQ(dialogResult, kCloseForSyncResult);
  EXPECT_TRUE(app->closing());
  EXPECT_TRUE(app->quitRequested());
  // Questions asked while closing get their harmless default without anyone seeing them.
  app->ExitInstance();
  auto saved = fx.LoadSaved();
  EXPECT_EQ(saved->ucColumnValue, kValueCost);
  EXPECT_EQ(saved->stocks.size(), 2u);
  EXPECT_EQ(saved->notes.size(), 1u);
  EXPECT_EQ(saved->alerts.size(), 1u);
  app.reset();
}

TEST_F(CloseAndReleaseTest, TheTwinMessageIsSwallowed) {
  SeedRich(fx);
  Start();
  EXPECT_EQ(Send(WM_QUILLET_IGNORED), 0);
  EXPECT_FALSE(app->closing());
  EXPECT_FALSE(app->quitRequested());
  EXPECT_TRUE(frame->isVisible());
}

TEST_F(CloseAndReleaseTest, LowMemoryReleasesAndActivationReloadsTheSameState) {
  SeedRich(fx);
  Start();
  CStockListView* list = frame->list();
  list->SelectRow(1);
  const std::string selectedName(list->SelectedStock()->Name());
  app->store()->ucColumnValue = kValueChange;  // unsaved until the release

  Send(WM_HIBERNATE);
  EXPECT_TRUE(app->released());
  EXPECT_EQ(app->store(), nullptr);
  EXPECT_EQ(list->RowCount(), 0);
  EXPECT_FALSE(frame->Action(ID_DELETE_STOCK)->isEnabled());
  // The release saved everything.
  auto onDisk = fx.LoadSaved();
  EXPECT_EQ(onDisk->ucColumnValue, kValueChange);
  // A second release does nothing; an inactive activation does not reload.
  Send(WM_HIBERNATE);
  Send(WM_ACTIVATE, WA_INACTIVE);
  EXPECT_TRUE(app->released());

  Send(WM_ACTIVATE, 1);
  ASSERT_FALSE(app->released());
  PortfolioStore* s = app->store();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->stocks.size(), 2u);
  ASSERT_EQ(s->notes.size(), 1u);
  EXPECT_EQ(s->notes[0]->Text(), "keep this note");
  ASSERT_EQ(s->alerts.size(), 1u);
  EXPECT_EQ(s->alerts[0]->dThreshold, 100);
  EXPECT_EQ(s->ucColumnValue, kValueChange);
  EXPECT_EQ(s->ucColumnData, 2);
  EXPECT_EQ(s->dCash[2], 250);
  EXPECT_EQ(s->wPortfolioCount, 3);
  EXPECT_EQ(list->RowCount(), 2);
  ASSERT_NE(list->SelectedStock(), nullptr);
  EXPECT_EQ(list->SelectedStock()->Name(), selectedName);
  EXPECT_TRUE(frame->Action(ID_DELETE_STOCK)->isEnabled());
}

TEST_F(CloseAndReleaseTest, LowMemoryWaitsWhileADialogIsOpen) {
  SeedRich(fx);
  Start();
  bool releasedInside = true;
  fx.dialogs = [&](QDialog& d) {
    Send(WM_HIBERNATE);
    releasedInside = app->released();
    return d.result();
  };
  frame->Action(ID_APP_ABOUT)->trigger();
  EXPECT_FALSE(releasedInside);
  EXPECT_NE(app->store(), nullptr);
}

TEST_F(CloseAndReleaseTest, AFailedReloadSaysSoClosesTheWindowAndWritesNothing) {
  SeedRich(fx);
  Start();
  Send(WM_HIBERNATE);
  ASSERT_TRUE(app->released());
  // The stock file can no longer be read.
  std::string path = *fx.ctx().HostPath("\\Program Files\\Quillet\\QuilletDB");
  std::filesystem::remove(path);
  std::filesystem::create_directory(path);
  fx.root.answers.ClearShown();
  Send(WM_ACTIVATE, 1);
  std::vector<std::string> texts = fx.root.answers.texts();
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back(), "Cannot re-load databases.");
  EXPECT_TRUE(app->released());
  EXPECT_TRUE(app->quitRequested());
  app->ExitInstance();
  EXPECT_TRUE(std::filesystem::is_directory(path));  // nothing written over it
  app.reset();
}

// ---- The running program ----------------------------------------------------------------------

class RunningProgram {
 public:
  explicit RunningProgram(const std::string& root, const std::string& quoteServer = "") {
    std::string program = testing::BuiltProgram("bin/Quillet");
    pid_ = fork();
    if (pid_ == 0) {
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
      setenv("QUILLET_DEVICE_ROOT", root.c_str(), 1);
      if (!quoteServer.empty()) setenv("QUILLET_QUOTE_SERVER", quoteServer.c_str(), 1);
      execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~RunningProgram() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // Waits for the program to end; its exit status, or -1 after the time-out.
  int WaitForExit(int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
};

HWND WaitForWindow(WindowStation& station, pid_t pid, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 50) {
    for (const WindowInfo& w : station.EnumWindows()) {
      if (w.pid == pid && w.programPath == "\\Program Files\\Quillet\\Quillet.exe") return w.hwnd;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return 0;
}

TEST(RunningQuillet, CloseRequestFromAnotherProcessLeavesCompleteFilesAndNoProgram) {
  DeviceFixture fx;
  SeedRich(fx);
  const std::string root = fx.ctx().root();
  RunningProgram program(root);
  PosixFileSystem disk;
  WindowStation station(root, disk);
  HWND hwnd = WaitForWindow(station, program.pid(), 60000);
  ASSERT_NE(hwnd, 0u) << "the program's window did not appear";
  // The twin message changes nothing; the close request ends the program.
  ASSERT_TRUE(station.PostMessage(hwnd, WM_QUILLET_IGNORED, 0, 0));
  ASSERT_TRUE(station.PostMessage(hwnd, WM_QUILLET_CLOSE, 0, 0));
  EXPECT_EQ(program.WaitForExit(60000), 0);
  EXPECT_EQ(station.FindWindow("QuilletFrame", "Quillet"), 0u);
  auto saved = fx.LoadSaved();
  EXPECT_EQ(saved->stocks.size(), 2u);
  EXPECT_EQ(saved->notes.size(), 1u);
  EXPECT_EQ(saved->alerts.size(), 1u);
  EXPECT_EQ(saved->dCash[2], 250);
}

TEST(RunningQuillet, ASecondStartLeavesTheDataToTheRunningProgram) {
  DeviceFixture fx;
  SeedRich(fx);
  const std::string root = fx.ctx().root();
  RunningProgram first(root);
  PosixFileSystem disk;
  WindowStation station(root, disk);
  HWND hwnd = WaitForWindow(station, first.pid(), 60000);
  ASSERT_NE(hwnd, 0u);
  const std::string program = testing::ShellQuote(testing::BuiltProgram("bin/Quillet"));
  const std::string onRoot = " --device-root " + testing::ShellQuote(root);
  EXPECT_EQ(testing::RunCommand("QT_QPA_PLATFORM=offscreen " + program + onRoot + " 2>/dev/null"),
            0);
  EXPECT_NE(testing::RunCommand(program + onRoot + " --screenshot " +
                                testing::ShellQuote(fx.root.dir.File("s.png")) + " 2>/dev/null"),
            0);
  // The first program is still there and still ends cleanly.
  EXPECT_EQ(first.WaitForExit(100), -1);
  ASSERT_TRUE(station.PostMessage(hwnd, WM_QUILLET_CLOSE, 0, 0));
  EXPECT_EQ(first.WaitForExit(60000), 0);
  EXPECT_EQ(fx.LoadSaved()->stocks.size(), 2u);
}

TEST(RunningQuillet, FirstStartAboutBoxIsClosedByTheRequestAndTheFilesAreCreated) {
  DeviceFixture fx;
  const std::string root = fx.ctx().root();
  RunningProgram program(root);
  PosixFileSystem disk;
  WindowStation station(root, disk);
  HWND hwnd = WaitForWindow(station, program.pid(), 60000);
  ASSERT_NE(hwnd, 0u);
  // Low memory and activation first: the program keeps running on the same data.
  ASSERT_TRUE(station.PostMessage(hwnd, WM_HIBERNATE, 0, 0));
  ASSERT_TRUE(station.PostMessage(hwnd, WM_ACTIVATE, 1, 0));
  ASSERT_TRUE(station.PostMessage(hwnd, WM_QUILLET_CLOSE, 0, 0));
  EXPECT_EQ(program.WaitForExit(60000), 0);
  for (const char* name : {"QuilletDB", "StockNoteDB", "StockAlertDB"}) {
    auto path = fx.ctx().HostPath(std::string("\\Program Files\\Quillet\\") + name);
    EXPECT_TRUE(std::filesystem::exists(*path)) << name;
  }
  EXPECT_EQ(fx.LoadSaved()->wPortfolioCount, 2);
}

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

TEST(RunningQuillet, ScreenshotWritesTheHandheldScreenAndPrintsTheTotals) {
  testing::DeviceFixture fx;
  fx.Seed({}, {{.name = "Alpha", .symbol = "A", .shares = "10", .buyPrice = "5", .price = "7"}});
  const std::string png = fx.root.dir.File("screen.png");
  std::string out;
  int rc = testing::RunCommand(testing::ShellQuote(testing::BuiltProgram("bin/Quillet")) +
                                   " --device-root " + testing::ShellQuote(fx.ctx().root()) +
                                   " --screenshot " + testing::ShellQuote(png) + " 2>/dev/null",
                               &out);
  EXPECT_EQ(rc, 0);
  QImage image(QString::fromStdString(png));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(240, 320));
  EXPECT_NE(out.find("Profit 20.00\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Value 70.00\n"), std::string::npos) << out;
  // A device protected by a password is not shown to whoever runs the command.
  fx.Seed({}, {}, [](PortfolioStore& s) {
    s.bPassword = 1;
    s.wPassword = 4321;
  });
  std::filesystem::remove(png);
  rc = testing::RunCommand(testing::ShellQuote(testing::BuiltProgram("bin/Quillet")) +
                               " --device-root " + testing::ShellQuote(fx.ctx().root()) +
                               " --screenshot " + testing::ShellQuote(png) + " 2>/dev/null",
                           &out);
  EXPECT_NE(rc, 0);
  EXPECT_FALSE(std::filesystem::exists(png));
}

// Every file of a root with its bytes, but the window list of running programs; the registry
// and property databases by their rows (the database engine may fold its journal into the file
// without changing a row).
std::map<std::string, std::string> FilesOf(const std::string& root) {
  std::map<std::string, std::string> files;
  PosixFileSystem disk;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    std::string relative = std::filesystem::relative(entry.path(), root).string();
    if (relative.rfind("run/", 0) == 0 || relative.rfind("system.db", 0) == 0) continue;
    std::string bytes;
    EXPECT_EQ(disk.ReadAll(entry.path().string(), &bytes), 0) << relative;
    files[relative] = bytes;
  }
  auto db = SqliteDb::Open(root + "/system.db", "", nullptr);
  EXPECT_TRUE(db);
  if (!db) return files;
  for (const char* query :
       {"SELECT quote(root) || quote(path) FROM reg_keys ORDER BY rowid",
        "SELECT quote(root) || quote(path) || quote(name) || quote(type) || quote(data) "
        "FROM reg_values ORDER BY rowid",
        "SELECT quote(oid) || quote(name) || quote(type) FROM cedb_databases ORDER BY oid",
        "SELECT quote(oid) || quote(db) || quote(sort_key) || quote(props) FROM cedb_records "
        "ORDER BY oid"}) {
    auto rows = db->Prepare(query);
    std::string dump;
    for (int rc = rows.Step(); rc == SQLITE_ROW; rc = rows.Step()) dump += rows.Text(0) + "\n";
    files[query] = dump;
  }
  return files;
}

TEST(RunningQuillet, AScreenshotLeavesEveryFileAsItWas) {
  testing::DeviceFixture fx;
  // An alert that fires, a stock that keeps a history and a portfolio whose daily point a normal
  // start would write: each of them would otherwise change a file.
  fx.Seed({"Tech"}, {{.name = "Alpha", .symbol = "A", .portfolio = 1, .price = "7"}},
          [](PortfolioStore& s) {
            auto alert = std::make_unique<StockAlert>();
            *alert = {};
            CopyToField(alert->szQuoteSymbol, "A");
            alert->ucCompare = 4;
            alert->dThreshold = 1;
            s.alerts.push_back(std::move(alert));
            s.SetNote(s.stocks[0]->dwId, u"a note");
          });
  const std::string root = fx.ctx().root();
  const auto before = FilesOf(root);
  ASSERT_TRUE(before.count("Program Files/Quillet/QuilletDB"));
  const std::string png = fx.root.dir.File("screen.png");
  EXPECT_EQ(testing::RunCommand(testing::ShellQuote(testing::BuiltProgram("bin/Quillet")) +
                                " --device-root " + testing::ShellQuote(root) + " --screenshot " +
                                testing::ShellQuote(png) + " >/dev/null 2>&1"),
            0);
  EXPECT_TRUE(std::filesystem::exists(png));
  const auto after = FilesOf(root);
  ASSERT_EQ(before.size(), after.size());
  for (const auto& [name, bytes] : before) {
    auto it = after.find(name);
    ASSERT_NE(it, after.end()) << name;
    EXPECT_TRUE(it->second == bytes) << name << " changed";
  }
  EXPECT_EQ(ReadAlertValue(fx.ctx().registry()), 0u) << "not even the alert value is written";
}

// ---- The close request in the running program -------------------------------------------------

TEST(RunningQuillet, TheCloseRequestAnswersAnOpenQuestionNoAndEndsWithEverythingSaved) {
  DeviceFixture fx;
  SeedRich(fx);
  const std::string root = fx.ctx().root();
  RunningProgram program(root);
  PosixFileSystem disk;
  WindowStation station(root, disk);
  HWND hwnd = WaitForWindow(station, program.pid(), 60000);
  ASSERT_NE(hwnd, 0u);
  // "Delete ALL Stocks" asks its question and waits for the user...
  ASSERT_TRUE(station.PostMessage(hwnd, WM_COMMAND, ID_DELETE_ALL, 0));
  // ... when the desktop asks the program to close: the question is answered No, unseen.
  ASSERT_TRUE(station.PostMessage(hwnd, WM_QUILLET_CLOSE, 0, 0));
  EXPECT_EQ(program.WaitForExit(60000), 0);
  auto saved = fx.LoadSaved();
  EXPECT_EQ(saved->stocks.size(), 2u) << "nothing was deleted";
  EXPECT_EQ(saved->notes.size(), 1u);
  EXPECT_EQ(saved->alerts.size(), 1u);
}

TEST(RunningQuillet, TheCloseRequestUnderTheSellDialogSellsNothingAndEndsTheProgram) {
  DeviceFixture fx;
  fx.Seed({}, {{.name = "Alpha", .symbol = "A", .shares = "100"}, {.name = "Beta", .symbol = "B"}},
          [](PortfolioStore& s) {
            s.SetNote(s.stocks[1]->dwId, u"keep this note");
            s.dwSelectedStock = s.stocks[0]->dwId;
            s.dCash[1] = 250;
          });
  const std::string root = fx.ctx().root();
  RunningProgram program(root);
  WindowStation station(root);
  HWND hwnd = WaitForWindow(station, program.pid(), 60000);
  ASSERT_NE(hwnd, 0u);
  // The sheet on the selected stock; its Sell button; "Sell this stock?" answered Yes; then,
  // with the Sell dialog open, the desktop's close request. Each command goes to the window on
  // top, so they can be sent at once: each waits in the queue for the window it is meant for.
  ASSERT_TRUE(station.PostMessage(hwnd, WM_COMMAND, ID_VIEW_BUY, 0));
  ASSERT_TRUE(station.PostMessage(hwnd, WM_COMMAND, 1415, 0));  // the Info page's Sell
  ASSERT_TRUE(station.PostMessage(hwnd, WM_COMMAND, IDYES, 0));
  ASSERT_TRUE(station.PostMessage(hwnd, WM_QUILLET_CLOSE, 0, 0));
  EXPECT_EQ(program.WaitForExit(60000), 0);
  EXPECT_EQ(station.FindWindow("QuilletFrame", "Quillet"), 0u);
  auto saved = fx.LoadSaved();
  ASSERT_EQ(saved->stocks.size(), 2u) << "nothing was sold";
  for (const auto& r : saved->stocks) EXPECT_EQ(r->ucStatus, kStatusActive) << r->Name();
  EXPECT_STREQ(saved->stocks[0]->szShares, "100");
  EXPECT_EQ(saved->dCash[1], 250);
  EXPECT_EQ(saved->notes.size(), 1u);
}

TEST(RunningQuillet, TheCloseRequestEndsANewStocksSheetAsOkSoTheStockIsKept) {
  DeviceFixture fx;
  fx.Seed({}, {{.name = "Alpha", .symbol = "A"}});
  const std::string root = fx.ctx().root();
  RunningProgram program(root);
  WindowStation station(root);
  HWND hwnd = WaitForWindow(station, program.pid(), 60000);
  ASSERT_NE(hwnd, 0u);
  // New Stock, then its Sell button with the question answered Yes, then the close request
  // under the Sell dialog: Cancel would remove the new stock, OK keeps it.
  ASSERT_TRUE(station.PostMessage(hwnd, WM_COMMAND, ID_NEW_STOCK, 0));
  ASSERT_TRUE(station.PostMessage(hwnd, WM_COMMAND, 1415, 0));
  ASSERT_TRUE(station.PostMessage(hwnd, WM_COMMAND, IDYES, 0));
  ASSERT_TRUE(station.PostMessage(hwnd, WM_QUILLET_CLOSE, 0, 0));
  EXPECT_EQ(program.WaitForExit(60000), 0);
  auto saved = fx.LoadSaved();
  ASSERT_EQ(saved->stocks.size(), 2u);
  EXPECT_EQ(saved->stocks[1]->Name(), "My Stock");
  EXPECT_EQ(saved->stocks[1]->ucStatus, kStatusActive);
}

TEST(RunningQuillet, TheCloseRequestDuringAnUpdateCancelsItAndSaves) {
  DeviceFixture fx;
  SeedRich(fx);
  // A quote server that never answers: without the close request the run would wait for its
  // time-outs (three attempts of 30 seconds).
  testing::QuoteSimProcess sim({"--silent"});
  ASSERT_TRUE(sim.running());
  const std::string root = fx.ctx().root();
  RunningProgram program(root, "127.0.0.1:" + std::to_string(sim.port()));
  PosixFileSystem disk;
  WindowStation station(root, disk);
  HWND hwnd = WaitForWindow(station, program.pid(), 60000);
  ASSERT_NE(hwnd, 0u);
  ASSERT_TRUE(station.PostMessage(hwnd, WM_COMMAND, ID_UPDATE_STOCKS, 0));
  // The request is out (the simulator saw it) before the close request comes.
  for (int i = 0; i < 600 && sim.Requests().empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_FALSE(sim.Requests().empty()) << "the update did not start";
  const auto asked = std::chrono::steady_clock::now();
  ASSERT_TRUE(station.PostMessage(hwnd, WM_QUILLET_CLOSE, 0, 0));
  EXPECT_EQ(program.WaitForExit(60000), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(25))
      << "the run was cancelled, not waited out";
  EXPECT_EQ(sim.Requests().size(), 1u) << "no retry after the cancel";
  auto saved = fx.LoadSaved();
  EXPECT_EQ(saved->stocks.size(), 2u);
  EXPECT_EQ(saved->notes.size(), 1u);
}

}  // namespace
}  // namespace quillet
