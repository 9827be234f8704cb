// The sync manager's own bookkeeping, in-process with a set clock: which synchronisations send
// the provider's item, the periodic enumerations of a continuous connection, and its stored copy
// of the items across starts, also when that file is damaged or belongs to another store.
#include "standins/syncmgr/sync_manager.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "companions/testing/companion_test_support.h"
#include "desktop/desk_settings.h"
#include "desktop/working_directory.h"
#include "platform/linux/posix_file_system.h"
#include "platform/linux/remote_api.h"
#include "platform/testing/fault_sweep.h"
#include "platform/testing/test_support.h"
#include "quotes/testing/quote_sim_process.h"

namespace quillet {
namespace {

using testing::ShellQuote;

constexpr std::int64_t kNow = 1051891200;
constexpr char kLibraryPath[] = "C:\\Program Files\\Microsoft ActiveSync\\Quillet\\Quillet.dll";

class SyncBookkeeping : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.running());
    Registry& reg = root.ctx->registry();
    HKEY key{};
    ASSERT_EQ(reg.CreateKey(HKEY_LOCAL_MACHINE, kDesktopSyncObjectsKey, &key), 0);
    reg.CloseKey(key);
    ASSERT_EQ(reg.SetString(HKEY_LOCAL_MACHINE, kActiveSyncKey, u"InstalledDir",
                            u"C:\\Program Files\\Microsoft ActiveSync"),
              0);
    dir = *FindWorkingDirectory(*root.ctx);
    const std::filesystem::path target = *root.ctx->HostPath(kLibraryPath);
    std::filesystem::copy_file(testing::BuiltProgram("lib/QuilletDesk.so"), target,
                               std::filesystem::copy_options::overwrite_existing);
    ASSERT_EQ(testing::RunCommand(ShellQuote(testing::BuiltProgram("bin/quillet-regsvr")) +
                                  " --desktop-root " + ShellQuote(root.ctx->root()) + " -s " +
                                  ShellQuote(kLibraryPath)),
              0);
    device = dev.Load("QuilletPPC", "\\Windows\\QuilletPPC.dll");
    ASSERT_EQ(dev.ctx().registry().SetString(HKEY_LOCAL_MACHINE,
                                             std::u16string(kDeviceSyncObjectsKey) + u"\\Quillet",
                                             u"DLL", u"QuilletPPC.dll"),
              0);
    dev.SeedData();
    ASSERT_EQ(ConnectDevice(disk, root.ctx->root(), dev.root()), 0);
    // The desktop as the sync manager opens it, on the test's clock and the simulator.
    PlatformServices base = root.host.services();
    settings.quoteServer = "127.0.0.1:" + std::to_string(sim.port());
    services = std::make_unique<PlatformServices>(
        PlatformServices{base.files, clock, base.ticks, base.sockets, base.databases, settings});
    desktop = PlatformContext::Open(PlatformContext::Kind::kDesktop, root.ctx->root(), *services);
    ASSERT_NE(desktop, nullptr);
  }
  std::unique_ptr<SyncManager> Manager() {
    auto manager = std::make_unique<SyncManager>(
        *desktop, [this](std::string_view l) { log.emplace_back(l); });
    EXPECT_EQ(manager->LoadProviders(), 1);
    return manager;
  }
  bool Logged(std::string_view text) const {
    for (const std::string& l : log) {
      if (l.find(text) != std::string::npos) return true;
    }
    return false;
  }
  std::string StoredPath() const { return root.ctx->root() + "/run/syncmgr/Quillet.repl"; }

  testing::QuoteSimProcess sim;
  PosixFileSystem disk;
  testing::TestRoot root{PlatformContext::Kind::kDesktop, kNow};
  testing::CompanionRoot dev;
  ManualClock clock{kNow};
  EnvironmentSettings settings;
  std::unique_ptr<PlatformServices> services;
  std::unique_ptr<PlatformContext> desktop;
  WorkingDirectory dir;
  std::unique_ptr<LoadedLibrary> device;
  std::vector<std::string> log;
};

TEST_F(SyncBookkeeping, SynchronisationsCloserThanFortyFiveSecondsSendNothingNew) {
  auto manager = Manager();
  EXPECT_EQ(manager->Synchronize(), 1);
  EXPECT_TRUE(Logged("Provider Quillet: 5 packets sent"));
  clock.Set(kNow + 40);
  EXPECT_EQ(manager->Synchronize(), 0);
  clock.Set(kNow + 86);
  EXPECT_EQ(manager->Synchronize(), 1);
}

TEST_F(SyncBookkeeping, AContinuousConnectionEnumeratesByTheSchedule) {
  auto manager = Manager();
  EXPECT_EQ(manager->EnumerateAgain(), 0) << "manual schedule: nothing without a synchronisation";
  EXPECT_EQ(manager->Synchronize(), 1);
  DeskSettings s = LoadDeskSettings(*desktop, dir);
  ASSERT_EQ(s.ucSyncLastTime, static_cast<DWORD>(kNow));
  s.ucSyncMode = 1;
  s.ucSyncEvery = 30;
  ASSERT_EQ(SaveDeskSettings(*desktop, dir, s), 0);
  clock.Set(kNow + 29 * 60);
  EXPECT_EQ(manager->EnumerateAgain(), 0);
  clock.Set(kNow + 30 * 60);
  EXPECT_EQ(manager->EnumerateAgain(), 1);
}

TEST_F(SyncBookkeeping, TheStoredCopySurvivesARestartAndADamagedOneIsNotTrusted) {
  {
    auto manager = Manager();
    EXPECT_EQ(manager->Synchronize(), 1);
  }
  std::string stored;
  ASSERT_EQ(disk.ReadAll(StoredPath(), &stored), 0);
  // "QREP", the 4-byte store identifier C1 3D 9F 07, then the item's 272 bytes.
  ASSERT_EQ(stored.size(), 4u + 4 + 4 + 4 + 272);
  EXPECT_EQ(stored.substr(0, 12), std::string("QREP\x04\0\0\0\xC1\x3D\x9F\x07", 12));
  EXPECT_EQ(stored.substr(12, 4), std::string("\x10\x01\0\0", 4));
  EXPECT_EQ(stored.substr(16, 4), std::string("\x02\0\0\0", 4));

  // Cut anywhere, the file gives what it still holds whole and nothing more.
  for (std::size_t cut : {0ul, 3ul, 9ul, 15ul, 100ul, stored.size() - 1}) {
    ASSERT_EQ(disk.WriteAll(StoredPath(), stored.substr(0, cut)), 0);
    log.clear();
    auto manager = Manager();
    EXPECT_EQ(manager->Synchronize(), 1) << cut;
  }
  // Another store's copy is dropped, not compared with.
  std::string other = stored;
  other[8] = '\x00';
  ASSERT_EQ(disk.WriteAll(StoredPath(), other), 0);
  log.clear();
  auto manager = Manager();
  EXPECT_TRUE(Logged("another store"));
}

TEST_F(SyncBookkeeping, TheStoredCopyIsSavedWholeUnderTheFaultSweep) {
  auto manager = Manager();
  ASSERT_EQ(manager->Synchronize(), 1);
  std::string oldBytes;
  ASSERT_EQ(disk.ReadAll(StoredPath(), &oldBytes), 0);
  ASSERT_EQ(oldBytes.size(), 288u);
  auto stampOf = [](const std::string& bytes) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<BYTE>(bytes[280 + i]);
    return v;
  };
  // A save is due at every synchronisation: "every 30 minutes" and no run yet.
  auto scheduleDue = [&] {
    DeskSettings s = LoadDeskSettings(*desktop, dir);
    s.ucSyncMode = 1;
    s.ucSyncLastTime = 0;
    ASSERT_EQ(SaveDeskSettings(*desktop, dir, s), 0);
  };
  FaultInjectingFileSystem faulty(disk);
  testing::FileFaults faults(faulty);
  desktop->SetFiles(&faulty);
  // Each save stamps the item anew: any whole copy newer than the old one is the new data.
  auto reload = [&]() -> std::string {
    std::string bytes;
    disk.ReadAll(StoredPath(), &bytes);
    if (bytes == oldBytes) return "old";
    if (bytes.size() == oldBytes.size() && bytes.compare(0, 280, oldBytes, 0, 280) == 0 &&
        stampOf(bytes) > stampOf(oldBytes)) {
      return "new";
    }
    return bytes;
  };
  EXPECT_GT(
      testing::SweepSave<std::string>(
          faults,
          {.putOld =
               [&] {
                 scheduleDue();
                 ASSERT_EQ(disk.WriteAll(StoredPath(), oldBytes), 0);
               },
           .save = [&] { return manager->EnumerateAgain() == 1 && manager->lastStoredSave() == 0; },
           .reload = reload}),
      0);
  desktop->SetFiles(nullptr);
}

TEST_F(SyncBookkeeping, ADisabledProviderIsNotLoadedAndNoDeviceMeansNothingSent) {
  ASSERT_EQ(DisconnectDevice(disk, root.ctx->root()), 0);
  auto manager = Manager();
  EXPECT_EQ(manager->Synchronize(), 0);
  EXPECT_TRUE(Logged("No device connected"));
  manager.reset();
  ASSERT_EQ(desktop->registry().SetDword(HKEY_LOCAL_MACHINE,
                                         std::u16string(kDesktopSyncObjectsKey) + u"\\Quillet",
                                         u"Disabled", 1),
            0);
  SyncManager off(*desktop, [](std::string_view) {});
  EXPECT_EQ(off.LoadProviders(), 0);
  EXPECT_TRUE(off.openProviders().empty());
}

}  // namespace
}  // namespace quillet
