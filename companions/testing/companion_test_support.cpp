#include "companions/testing/companion_test_support.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "core/data_files.h"
#include "core/preferences.h"
#include "platform/codepage.h"
#include "platform/linux/process.h"

namespace quillet::testing {
namespace {

// A started program that has no display draws offscreen.
const bool kOffscreen = [] {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  return true;
}();

}  // namespace

CompanionRoot::CompanionRoot() : station(fx.ctx->root()) {
  (void)kOffscreen;
  environment.root = fx.ctx->root();
  environment.services = &fx.ctx->openedWith();
  boxes = ScriptedAnswers();
}

CompanionRoot::~CompanionRoot() { EndPrograms(); }

std::string CompanionRoot::HostPath(std::string_view devicePath) const {
  return *fx.ctx->HostPath(devicePath);
}

std::unique_ptr<LoadedLibrary> CompanionRoot::Load(const std::string& builtName,
                                                   const std::string& devicePath) {
  const std::string built = BuiltProgram("lib/" + builtName + ".so");
  const std::filesystem::path target = HostPath(devicePath);
  std::filesystem::create_directories(target.parent_path());
  std::error_code ec;
  // A copy of its own: each root's library is a separate instance with its own state. It comes
  // in under a new name and is renamed over an older copy, which may still be loaded.
  const std::filesystem::path fresh = target.string() + ".new";
  std::filesystem::copy_file(built, fresh, std::filesystem::copy_options::overwrite_existing, ec);
  if (!ec) std::filesystem::rename(fresh, target, ec);
  EXPECT_FALSE(ec) << "cannot place " << built << ": " << ec.message();
  environment.root = root();
  std::string error;
  auto library = LoadedLibrary::Load(devicePath, environment, &error);
  EXPECT_NE(library, nullptr) << error;
  return library;
}

bool CompanionRoot::InstallProgram() {
  // Absolute: the link lives in the root, far from where the tests run.
  const std::string built = std::filesystem::absolute(BuiltProgram("bin/Quillet")).string();
  if (!std::filesystem::exists(built)) return false;
  const std::filesystem::path target = HostPath(kProgramPath);
  std::filesystem::create_directories(target.parent_path());
  std::filesystem::remove(target);
  std::filesystem::create_symlink(built, target);
  return true;
}

void CompanionRoot::InstallRecorder(const std::string& devicePath) {
  const std::filesystem::path target = HostPath(devicePath);
  std::filesystem::create_directories(target.parent_path());
  {
    std::ofstream script(target);
    script << "#!/bin/sh\necho \"$0\" >> \"$QUILLET_DEVICE_ROOT/started\"\n";
  }
  std::filesystem::permissions(target, std::filesystem::perms::owner_all);
}

std::vector<std::string> CompanionRoot::WaitForStarts(std::size_t atLeast, int timeoutMs) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    std::vector<std::string> starts;
    std::ifstream in(root() + "/started");
    for (std::string line; std::getline(in, line);) {
      starts.push_back(line.substr(line.size() >= root().size() ? root().size() : 0));
    }
    if (starts.size() >= atLeast || std::chrono::steady_clock::now() >= deadline) return starts;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void CompanionRoot::SeedData() {
  PortfolioStore store(ctx());
  LoadPreferences(store);
  LoadStocks(store);
  for (const char* name : {"Alpha", "Beta"}) {
    StockRecord* r = store.NewStock();
    CopyToField(r->szName, name);
    CopyToField(r->szSymbol, std::string_view(name, 1));
    CopyToField(r->szShares, "10");
    CopyToField(r->szPrice, "7");
  }
  store.SetNote(store.stocks[0]->dwId, u"keep this note");
  auto alert = std::make_unique<StockAlert>();
  *alert = {};
  CopyToField(alert->szQuoteSymbol, "A");
  alert->ucCompare = 4;
  alert->dThreshold = 100;
  store.alerts.push_back(std::move(alert));
  SavePreferences(store);
  SaveStocks(store);
  SaveNotes(store);
  SaveAlerts(store);
}

std::unique_ptr<PortfolioStore> CompanionRoot::LoadSaved() {
  auto store = std::make_unique<PortfolioStore>(ctx());
  LoadPreferences(*store);
  LoadStocks(*store);
  LoadNotes(*store);
  LoadAlerts(*store);
  return store;
}

std::optional<WindowInfo> CompanionRoot::StartProgram() {
  if (CreateProcess(root(), kProgramPath) != ERROR_SUCCESS) return std::nullopt;
  return WaitForProgramWindow(60000);
}

std::optional<WindowInfo> CompanionRoot::WaitForProgramWindow(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    for (WindowInfo& w : station.EnumWindows()) {
      if (w.programPath == kProgramPath) return std::move(w);
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void CompanionRoot::EndPrograms() {
  for (const WindowInfo& w : station.EnumWindows()) {
    if (w.programPath != kProgramPath) continue;
    ::kill(w.pid, SIGKILL);
    WaitForProcessEnd(w.pid, 10000);
  }
  // Collect the ones this process started (the others belong to their own parents).
  ReapEndedChildren();
}

}  // namespace quillet::testing
