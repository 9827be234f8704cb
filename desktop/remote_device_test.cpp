// The desktop and the handheld as two roots joined by the remote API: what the desktop writes
// through the API is what the handheld's own code reads.
#include <gtest/gtest.h>

#include "core/chart_store.h"
#include "desktop/device_files.h"
#include "platform/linux/posix_file_system.h"
#include "platform/linux/remote_api.h"
#include "platform/linux/sqlite_property_store.h"
#include "platform/roots.h"
#include "platform/testing/fault_injector.h"
#include "platform/testing/fault_sweep.h"
#include "platform/testing/in_memory_file_system.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using testing::TestRoot;

class RemoteDeviceTest : public ::testing::Test {
 protected:
  PosixFileSystem disk;  // the host's files, where the test puts and reads them
  void SetUp() override {
    ASSERT_EQ(ConnectDevice(disk, desktop.ctx->root(), device.ctx->root()), 0);
    ASSERT_EQ(rapi.CeRapiInit(), S_OK);
  }
  static PointFigures Quote(double price) { return PointFigures{price, price - 1, price + 1, 500}; }

  TestRoot device{PlatformContext::Kind::kDevice};
  TestRoot desktop{PlatformContext::Kind::kDesktop};
  RemoteApi rapi{*desktop.ctx};
  MessageBoxes desktopBoxes;
};

TEST_F(RemoteDeviceTest, AChartSeriesWrittenThroughTheApiIsTheHandheldsSeries) {
  constexpr StockTime kDay = 86400, kMay2 = 1051833600;
  {
    ChartStore desk(*rapi.CeObjectStore(), desktopBoxes);
    ASSERT_TRUE(desk.OpenChartStore());
    ASSERT_TRUE(desk.AddDailyPoint("MSFT", 1, kMay2, Quote(25.5), kStockScale));
    ASSERT_TRUE(desk.AddDailyPoint("MSFT", 1, kMay2 + kDay, Quote(26.25), kStockScale));
    ASSERT_TRUE(desk.AddDailyPoint("PORTFOLIO0", 255, kMay2, Quote(1000), kPortfolioScale));
  }
  ChartStore handheld(device.ctx->objectStore(), device.ctx->messageBoxes());
  ASSERT_TRUE(handheld.OpenChartStore());
  auto msft = handheld.FindSeries("MSFT", 1);
  ASSERT_TRUE(msft);
  ASSERT_EQ(msft->points.size(), 2u);
  EXPECT_EQ(msft->points[1].dwPrice, 262500u);
  EXPECT_EQ(msft->points[1].dwVolume, 500u);
  ASSERT_TRUE(handheld.FindSeries("PORTFOLIO0", 255));
  EXPECT_EQ(handheld.FindSeries("PORTFOLIO0", 255)->points[0].dwHigh, 1001u);

  // And the other way round: a point the handheld adds is there for the desktop.
  ASSERT_TRUE(handheld.AddDailyPoint("MSFT", 1, kMay2 + 2 * kDay, Quote(27), kStockScale));
  ChartStore desk(*rapi.CeObjectStore(), desktopBoxes);
  ASSERT_TRUE(desk.OpenChartStore());
  EXPECT_EQ(desk.FindSeries("MSFT", 1)->points.size(), 3u);
  EXPECT_TRUE(desktop.answers.shown().empty());
}

// The stock file the desktop writes back through the API, on a handheld whose power goes after
// every step of the write, failing or not: the handheld finds the old file or the new one, and
// the new one whenever the write-back said it was done.
TEST_F(RemoteDeviceTest, AStockFileWrittenBackSurvivesAPowerCutAtAnyStep) {
  testing::InMemoryFileSystem memory(device.clock);
  ASSERT_EQ(ConnectDevice(memory, desktop.ctx->root(), device.ctx->root()), 0);
  FaultInjectingFileSystem faulty(memory);
  testing::FileFaults faults(faulty);
  RemoteApi api(faulty, desktop.ctx->databases(), desktop.ctx->root());
  ASSERT_EQ(api.CeRapiInit(), S_OK);
  const std::u16string stockFile = u"\\Program Files\\Quillet\\QuilletDB";
  const std::string path = *device.ctx->HostPath("\\Program Files\\Quillet\\QuilletDB");
  ASSERT_EQ(memory.CreateFolders(path.substr(0, path.rfind('/'))), 0);
  memory.SyncEverything();
  const std::string oldBytes(3000, 'o'), newBytes(2500, 'n');
  const int operations = testing::SweepSave<std::string>(
      faults, {.putOld =
                   [&] {
                     memory.Delete(path + ".old");
                     memory.Delete(path + ".tmp");
                     ASSERT_EQ(memory.ReplaceFile(path, oldBytes), 0);
                   },
               .save = [&] { return WriteDeviceFile(api, stockFile, newBytes, nullptr); },
               .reload =
                   [&] {
                     std::string bytes;
                     LONG rc = memory.ReadAll(path, &bytes);
                     return rc ? "error " + std::to_string(rc) : bytes;
                   },
               // The power goes; the next run puts back a file the write-back had moved aside.
               .afterStep =
                   [&] {
                     memory.SimulatePowerLoss();
                     RecoverDeviceFile(api, stockFile);
                   }});
  EXPECT_GE(operations, 6);
}

TEST_F(RemoteDeviceTest, ASmartphonesChartVolumeIsTheOneTheHandheldMounts) {
  ASSERT_TRUE(rapi.CeCreateDirectory(u"\\IPSM"));
  CEGUID guid;
  ASSERT_TRUE(rapi.CeMountDBVol(&guid, u"\\IPSM\\StockGraphDB.vol", OPEN_ALWAYS));
  {
    ChartStore desk(*rapi.CeVolumeStore(guid), desktopBoxes);
    ASSERT_TRUE(desk.OpenChartStore());
    ASSERT_TRUE(desk.AddDailyPoint("FP", 19, 1051833600, Quote(40), kStockScale));
  }
  ASSERT_TRUE(rapi.CeUnmountDBVol(guid));

  auto volume = SqlitePropertyStore::MountVolume(*device.ctx->HostPath("\\IPSM\\StockGraphDB.vol"));
  ASSERT_TRUE(volume);
  ChartStore handheld(*volume, device.ctx->messageBoxes());
  ASSERT_TRUE(handheld.OpenChartStore());
  ASSERT_TRUE(handheld.FindSeries("FP", 19));
  // The object store of the root is another store: nothing went there.
  ChartStore objectStore(device.ctx->objectStore(), device.ctx->messageBoxes());
  ASSERT_TRUE(objectStore.OpenChartStore());
  EXPECT_FALSE(objectStore.FindSeries("FP", 19));
}

}  // namespace
}  // namespace quillet
