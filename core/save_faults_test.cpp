// Every save path of the portfolio under the fault sweep: the three data files (on the root's
// disk, and on an in-memory disk that loses its power after every step), the preference record
// in the registry, and the chart store, whose database goes through a SQLite VFS that fails the
// n-th read, write or sync. After every step what is stored must reload as the old or the new
// data. A new save path joins with one line at the end of its group.
#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "core/chart_store.h"
#include "core/data_files.h"
#include "core/messages.h"
#include "core/portfolio_store.h"
#include "core/preferences.h"
#include "platform/linux/sqlite_databases.h"
#include "platform/linux/sqlite_property_store.h"
#include "platform/testing/fault_sweep.h"
#include "platform/testing/in_memory_file_system.h"
#include "platform/testing/sqlite_fault_vfs.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using testing::FileFaults;
using testing::InMemoryFileSystem;
using testing::SavePath;
using testing::ScopedTimeZone;
using testing::SqliteFaultVfs;
using testing::SweepSave;
using testing::TestRoot;
using testing::ThenCheckpoint;

constexpr const char* kDataFiles[] = {"QuilletDB", "StockNoteDB", "StockAlertDB"};

// The file's bytes; a file that is not there (with or without its folder) loads as no data.
std::string ReadOrWhy(FileSystem& fs, const std::string& path) {
  std::string bytes;
  LONG rc = fs.ReadAll(path, &bytes);
  if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND) return "<no file>";
  return rc ? "<error " + std::to_string(rc) + ">" : bytes;
}

// ---- The data files ----------------------------------------------------------------------

class DataFileSaves : public ::testing::Test {
 protected:
  using Save = bool (*)(PortfolioStore&);

  DataFileSaves() {
    // The old portfolio, saved with nothing failing; then the new one, in the store.
    for (int i = 0; i < 3; ++i) store.NewStock();
    store.SetNote(1, u"old note");
    store.alerts.push_back(std::make_unique<StockAlert>(StockAlert{"MSFT", 1, 0, 4, {}, 31.5}));
    EXPECT_TRUE(SaveStocks(store) && SaveNotes(store) && SaveAlerts(store));
    for (const char* name : kDataFiles) oldBytes[name] = ReadOrWhy(root.host.files(), Path(name));
    for (int i = 0; i < 40; ++i) store.NewStock();
    store.SetNote(2, std::u16string(3000, u'n'));
    store.alerts.push_back(std::make_unique<StockAlert>(StockAlert{"FP.PA", 19, 2, 1, {}, -5}));
    root.answers.ClearShown();
  }

  std::string Folder() const { return *root.ctx->HostPath("\\Program Files\\Quillet"); }
  std::string Path(const std::string& name) const { return Folder() + "/" + name; }

  // Sweeps `save` of the data file `name` over a file that holds the old portfolio: on the
  // root's disk, then on an in-memory disk with a power cut after every step. Every failure
  // shows `failureText` and nothing else.
  void Sweep(const char* name, Save save, const char* failureText) {
    const std::string path = Path(name);
    {
      SCOPED_TRACE("on the disk");
      FaultInjectingFileSystem faulty(root.host.files());
      FileFaults faults(faulty);
      root.ctx->SetFiles(&faulty);
      SweepSave<std::string>(
          faults,
          {.putOld = [&] { ASSERT_EQ(root.host.files().WriteAll(path, oldBytes[name]), 0); },
           .save = [&] { return save(store); },
           .reload = [&] { return ReadOrWhy(root.host.files(), path); }});
    }
    {
      SCOPED_TRACE("on a disk that loses its power after every step");
      InMemoryFileSystem memory(root.clock);
      ASSERT_EQ(memory.CreateFolders(Folder()), 0);
      memory.SyncEverything();
      FaultInjectingFileSystem faulty(memory);
      FileFaults faults(faulty);
      root.ctx->SetFiles(&faulty);
      SweepSave<std::string>(
          faults, {.putOld = [&] { ASSERT_EQ(memory.ReplaceFile(path, oldBytes[name]), 0); },
                   .save = [&] { return save(store); },
                   .reload = [&] { return ReadOrWhy(memory, path); },
                   .afterStep = [&] { memory.SimulatePowerLoss(); }});
    }
    root.ctx->SetFiles(nullptr);
    ExpectOnlyShown(failureText);
  }

  // The same for the first save of a device: neither the file nor its folders exist yet.
  void SweepFirstSave(const char* name, Save save, const char* failureText) {
    const std::string path = Path(name);
    // Removes the data folders and makes their removal durable.
    auto removeFolders = [&](FileSystem& fs) {
      for (const char* file : kDataFiles) {
        fs.Delete(Path(file));
        fs.Delete(Path(file) + ".tmp");
      }
      const std::string programFiles = *root.ctx->HostPath("\\Program Files");
      fs.RemoveFolder(Folder());
      fs.RemoveFolder(programFiles);
      ASSERT_FALSE(fs.Exists(programFiles));
      ASSERT_EQ(fs.SyncFolder(root.ctx->root()), 0);
    };
    {
      SCOPED_TRACE("first save on the disk");
      FaultInjectingFileSystem faulty(root.host.files());
      FileFaults faults(faulty);
      root.ctx->SetFiles(&faulty);
      SweepSave<std::string>(faults,
                             {.putOld = [&] { removeFolders(root.host.files()); },
                              .save = [&] { return save(store); },
                              .reload = [&] { return ReadOrWhy(root.host.files(), path); }});
    }
    {
      SCOPED_TRACE("first save on a disk that loses its power after every step");
      InMemoryFileSystem memory(root.clock);
      ASSERT_EQ(memory.CreateFolders(root.ctx->root()), 0);
      memory.SyncEverything();
      FaultInjectingFileSystem faulty(memory);
      FileFaults faults(faulty);
      root.ctx->SetFiles(&faulty);
      SweepSave<std::string>(faults, {.putOld = [&] { removeFolders(memory); },
                                      .save = [&] { return save(store); },
                                      .reload = [&] { return ReadOrWhy(memory, path); },
                                      .afterStep = [&] { memory.SimulatePowerLoss(); }});
    }
    root.ctx->SetFiles(nullptr);
    ExpectOnlyShown(failureText);
  }

  void ExpectOnlyShown(const char* failureText) {
    EXPECT_FALSE(root.answers.shown().empty()) << "no failure was ever reported";
    for (const auto& shown : root.answers.shown()) {
      EXPECT_EQ(shown.text, failureText);
      EXPECT_EQ(shown.flags & MB_ICONMASK, MB_ICONSTOP);
    }
  }

  TestRoot root;
  PortfolioStore store{*root.ctx};
  std::map<std::string, std::string> oldBytes;
};

TEST_F(DataFileSaves, StockFile) { Sweep("QuilletDB", &SaveStocks, text::kCannotSaveStocks); }
TEST_F(DataFileSaves, NoteFile) { Sweep("StockNoteDB", &SaveNotes, text::kCannotSaveNotes); }
TEST_F(DataFileSaves, AlertFile) { Sweep("StockAlertDB", &SaveAlerts, text::kCannotSaveNotes); }
TEST_F(DataFileSaves, FirstStockFile) {
  SweepFirstSave("QuilletDB", &SaveStocks, text::kCannotSaveStocks);
}

// ---- The preference record -------------------------------------------------------------------

class PreferenceSaves : public ::testing::Test {
 protected:
  // What a start reads back: whether it was a first start, and fields from the whole record.
  using Loaded = std::tuple<bool, std::string, int, int, int, int>;

  static void Choose(PortfolioStore& s, std::string_view host, WORD port, BYTE minutes,
                     BYTE sortKey) {
    CopyToField(s.szProxyHost, host);
    s.wProxyPort = port;
    s.ucUpdateMinutes = minutes;
    s.ucSortKey = sortKey;
    s.bWatchedAtBottom = 0;
  }

  Loaded Reload() {
    std::string error;
    auto ctx = PlatformContext::Open(PlatformContext::Kind::kDevice, root.ctx->root(),
                                     root.host.services(), &error);
    if (!ctx) return {};
    PortfolioStore fresh(*ctx);
    bool firstStart = LoadPreferences(fresh);
    return {firstStart,       std::string(FieldText(fresh.szProxyHost)),
            fresh.wProxyPort, fresh.ucUpdateMinutes,
            fresh.ucSortKey,  fresh.bWatchedAtBottom};
  }

  // Sweeps SavePreferences over `putOld`. A save that says it wrote must have written the new
  // record; one that says it did not must have left the old one.
  void Sweep(std::function<void()> putOld) {
    EXPECT_GT(SweepSave<Loaded>(vfs, {.putOld = putOld,
                                      .save =
                                          [&] {
                                            Choose(store, "new.example", 3128, 30, kSortPrice);
                                            return SavePreferences(store);
                                          },
                                      .reload = [&] { return Reload(); }}),
              0);
  }

  SqliteFaultVfs vfs;
  TestRoot root{PlatformContext::Kind::kDevice, 1051891200, vfs.name()};
  PortfolioStore store{*root.ctx};
};

TEST_F(PreferenceSaves, OverASavedRecord) {
  Sweep([&] {
    Choose(store, "old.example", 8000, 15, kSortSymbol);
    SavePreferences(store);
  });
}
TEST_F(PreferenceSaves, OnAFirstStart) {
  Sweep([&] { root.ctx->registry().DeleteTree(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby"); });
}

// ---- The chart store -------------------------------------------------------------------------

// Where the chart database lives: the handheld's object store, the desktop root's, or a
// database volume of its own (the smartphone's, which the desktop mounts).
enum class ChartHome { kDeviceRoot, kDesktopRoot, kVolume };

class ChartSaves : public ::testing::TestWithParam<ChartHome> {
 protected:
  static constexpr StockTime kMay2 = 1051848000;  // 00:00 in New York
  static constexpr StockTime kDay = 86400;
  static PointFigures Quote(double price) {
    return PointFigures{price, price - 1, price + 1, 1000};
  }

  void SetUp() override { ASSERT_TRUE(charts.OpenChartStore()); }

  // Three series of a few days each, written afresh.
  void PutOld() {
    ASSERT_TRUE(charts.DeleteAll());
    for (int day = 0; day < 5; ++day) {
      ASSERT_TRUE(
          charts.AddDailyPoint("MSFT", 1, kMay2 + day * kDay, Quote(25 + day), kStockScale));
      ASSERT_TRUE(charts.AddDailyPoint("FP", 19, kMay2 + day * kDay, Quote(40 - day), kStockScale));
      ASSERT_TRUE(
          charts.AddDailyPoint("Portfolio1", 255, kMay2 + day * kDay, Quote(1000 + day), 1));
    }
  }

  static PlatformContext::Kind KindOf(ChartHome home) {
    return home == ChartHome::kDesktopRoot ? PlatformContext::Kind::kDesktop
                                           : PlatformContext::Kind::kDevice;
  }
  std::string VolumePath() const { return root.dir.File("StockGraphDB.vol"); }
  PropertyStore& Objects() {
    if (GetParam() != ChartHome::kVolume) return root.ctx->objectStore();
    if (!volume) volume = SqlitePropertyStore::MountVolume(VolumePath(), nullptr, vfs.name());
    return *volume;
  }
  sqlite3* Handle() {
    return GetParam() == ChartHome::kVolume ? volume->database().handle()
                                            : SqliteDatabaseOf(root.ctx->registry())->handle();
  }

  // Every series as a fresh connection, through the default VFS, reads it.
  std::string Reload() {
    std::string error;
    auto ctx =
        PlatformContext::Open(KindOf(GetParam()), root.ctx->root(), root.host.services(), &error);
    if (!ctx) return "<cannot open: " + error + ">";
    std::unique_ptr<SqlitePropertyStore> freshVolume;
    if (GetParam() == ChartHome::kVolume) {
      freshVolume = SqlitePropertyStore::MountVolume(VolumePath(), &error);
      if (!freshVolume) return "<cannot mount: " + error + ">";
    }
    ChartStore fresh(freshVolume ? *freshVolume : ctx->objectStore(), ctx->messageBoxes());
    if (!fresh.OpenChartStore()) return "<no chart store>";
    std::string out;
    for (auto s = fresh.SeriesAt(true); s; s = fresh.SeriesAt(false)) {
      out += s->name() + "/" + std::to_string(s->ucMarket) + ":";
      for (const ChartPoint& p : s->points) {
        out += " " + std::to_string(p.tDate) + "=" + std::to_string(p.dwPrice) + "," +
               std::to_string(p.dwLow) + "," + std::to_string(p.dwHigh) + "," +
               std::to_string(p.dwVolume);
      }
      out += "\n";
    }
    return out;
  }

  // Sweeps `write` over the old series, then again with a checkpoint after the write.
  void Sweep(std::function<bool(ChartStore&)> write) {
    SavePath<std::string> path{.putOld = [&] { PutOld(); },
                               .save = [&] { return write(charts); },
                               .reload = [&] { return Reload(); }};
    EXPECT_GT(SweepSave(vfs, path), 0);
    SCOPED_TRACE("followed by a checkpoint");
    path.save = ThenCheckpoint(path.save, Handle());
    EXPECT_GT(SweepSave(vfs, path), 0);
  }

  ScopedTimeZone tz{"America/New_York"};
  SqliteFaultVfs vfs;
  TestRoot root{KindOf(GetParam()), 1051891200, vfs.name()};
  std::unique_ptr<SqlitePropertyStore> volume;  // closed before the VFS goes
  ChartStore charts{Objects(), root.ctx->messageBoxes()};
};

TEST_P(ChartSaves, ADailyPoint) {
  Sweep([](ChartStore& c) {
    return c.AddDailyPoint("MSFT", 1, kMay2 + 5 * kDay, Quote(31), kStockScale);
  });
}
TEST_P(ChartSaves, AnUpdateRunsPointsInOneTransaction) {
  Sweep([](ChartStore& c) {
    ChartStore::Transaction tx(c);
    bool ok = c.AddDailyPoint("MSFT", 1, kMay2 + 5 * kDay, Quote(31), kStockScale);
    ok = c.AddDailyPoint("FP", 19, kMay2 + 5 * kDay, Quote(35), kStockScale) && ok;
    ok = c.AddDailyPoint("NEW", 1, kMay2 + 5 * kDay, Quote(2), kStockScale) && ok;
    ok = c.AddDailyPoint("Portfolio1", 255, kMay2 + 5 * kDay, Quote(1010), 1) && ok;
    return tx.Commit() && ok;
  });
}
TEST_P(ChartSaves, ASeriesDeleted) {
  Sweep([](ChartStore& c) { return c.DeleteSeries("MSFT", 1); });
}
TEST_P(ChartSaves, ASeriesRenamed) {
  Sweep([](ChartStore& c) { return c.RenameSeries("MSFT", 1, "MSFT2", 2); });
}
TEST_P(ChartSaves, ASeriesSplit) {
  Sweep([](ChartStore& c) { return c.SplitSeries("FP", 19, kMay2 + 3 * kDay, 2.0); });
}
TEST_P(ChartSaves, EveryPointUpToADayDeleted) {
  Sweep([](ChartStore& c) { return c.DeleteUpTo(std::nullopt, kMay2 + 2 * kDay); });
}
TEST_P(ChartSaves, EverythingDeleted) {
  Sweep([](ChartStore& c) { return c.DeleteAll(); });
}

INSTANTIATE_TEST_SUITE_P(EachHome, ChartSaves,
                         ::testing::Values(ChartHome::kDeviceRoot, ChartHome::kDesktopRoot,
                                           ChartHome::kVolume),
                         [](const ::testing::TestParamInfo<ChartHome>& home) {
                           switch (home.param) {
                             case ChartHome::kDeviceRoot:
                               return std::string("DeviceRoot");
                             case ChartHome::kDesktopRoot:
                               return std::string("DesktopRoot");
                             case ChartHome::kVolume:
                               break;
                           }
                           return std::string("Volume");
                         });

}  // namespace
}  // namespace quillet
