// The stored definitions and routes on both sides: the handheld's registry and the desktop's
// INI file hold the same fields and read back as the same sources; a refused definition stores
// nothing; a save interrupted at any write leaves the old settings or the new ones.
#include "quotes/user_source_store.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "platform/ini_profile.h"
#include "platform/linux/posix_file_system.h"
#include "platform/linux/sqlite_registry.h"
#include "platform/testing/fault_injector.h"
#include "platform/testing/fault_sweep.h"
#include "platform/testing/sqlite_fault_vfs.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using testing::TempDir;

SourceFields Csv(const char* url = "https://q.example/q?s={symbols}") {
  return {{"quote_url", url}, {"format", "csv"}, {"symbol", "1"}, {"last", "2"}};
}

// Everything stored, as one text, for comparisons.
std::string Dump(SourceSettings& settings) {
  SourceBook book = LoadSourceBook(settings);
  std::string out;
  for (const UserSource& s : book.sources) {
    out += "[" + s.name + "]";
    for (const auto& [k, v] : UserSourceFields(s)) out += k + "=" + v + ";";
  }
  for (int m = 0; m < kMarketCount; ++m) {
    if (!book.routes[static_cast<std::size_t>(m)].empty()) {
      out += " route " + std::to_string(m) + "=" + book.routes[static_cast<std::size_t>(m)];
    }
  }
  for (const std::string& p : book.problems) out += " problem " + p;
  return out;
}

class BothSides : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    std::string error;
    auto db = SqliteDb::Open(dir.File("system.db"), "", &error);
    ASSERT_TRUE(db) << error;
    registry = std::make_unique<SqliteRegistry>(std::shared_ptr<SqliteDb>(std::move(db)));
    settings = GetParam() ? IniSourceSettings(disk, dir.File("Quillet.ini"))
                          : RegistrySourceSettings(*registry);
  }
  TempDir dir;
  PosixFileSystem disk;
  std::unique_ptr<SqliteRegistry> registry;
  std::unique_ptr<SourceSettings> settings;
};

TEST_P(BothSides, SourcesAndRoutesReadBackAsStored) {
  std::string error;
  SourceFields json = {{"quote_url", "https://api.example/quote?symbols={symbols}"},
                       {"format", "json"},
                       {"list", "quoteResponse.result"},
                       {"symbol", "symbol"},
                       {"last", "regularMarketPrice"},
                       {"divisor", "100"}};
  ASSERT_EQ(SaveUserSource(*settings, "tsx", Csv(), &error), 0) << error;
  ASSERT_EQ(SaveUserSource(*settings, "London", json, &error), 0) << error;
  ASSERT_EQ(RouteMarket(*settings, 14, "london", &error), 0) << error;
  ASSERT_EQ(RouteMarket(*settings, 2, "TSX", &error), 0) << error;
  SourceBook book = LoadSourceBook(*settings);
  ASSERT_EQ(book.sources.size(), 2u);
  EXPECT_TRUE(book.problems.empty());
  ASSERT_NE(book.RouteOf(14), nullptr);
  EXPECT_EQ(book.RouteOf(14)->name, "London");  // the stored spelling
  EXPECT_EQ(book.RouteOf(14)->divisor, 100);
  EXPECT_EQ(book.RouteOf(14)->fields[kFieldLast], "regularMarketPrice");
  EXPECT_EQ(book.RouteOf(2)->name, "tsx");
  EXPECT_FALSE(book.Routed(0));
  EXPECT_FALSE(book.Routed(-1));
  EXPECT_FALSE(book.Routed(kMarketCount));

  // Replacing a definition keeps its routes; removing one drops them.
  ASSERT_EQ(SaveUserSource(*settings, "TSX", Csv("http://other.example/{symbols}"), &error), 0);
  book = LoadSourceBook(*settings);
  EXPECT_EQ(book.RouteOf(2)->quoteUrl, "http://other.example/{symbols}");
  ASSERT_EQ(RemoveUserSource(*settings, "London", &error), 0);
  book = LoadSourceBook(*settings);
  EXPECT_EQ(book.sources.size(), 1u);
  EXPECT_FALSE(book.Routed(14));
  EXPECT_TRUE(book.Routed(2));
  // And back to the table source.
  ASSERT_EQ(RouteMarket(*settings, 2, "", &error), 0);
  EXPECT_FALSE(LoadSourceBook(*settings).Routed(2));
}

TEST_P(BothSides, RefusedChangesStoreNothing) {
  std::string error;
  ASSERT_EQ(SaveUserSource(*settings, "good", Csv(), &error), 0);
  const std::string before = Dump(*settings);
  SourceFields bad = Csv();
  bad["batch"] = "9999";
  EXPECT_NE(SaveUserSource(*settings, "good", bad, &error), 0);
  EXPECT_EQ(error.rfind("batch:", 0), 0u);
  EXPECT_NE(SaveUserSource(*settings, "other", bad, &error), 0);
  EXPECT_NE(RouteMarket(*settings, 0, "nosuch", &error), 0);
  EXPECT_NE(RouteMarket(*settings, 80, "good", &error), 0);
  EXPECT_NE(RemoveUserSource(*settings, "nosuch", &error), 0);
  EXPECT_EQ(Dump(*settings), before);
}

INSTANTIATE_TEST_SUITE_P(RegistryAndIni, BothSides, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? "Ini" : "Registry"; });

TEST(SourceStoreHandEdited, AStoredDefinitionThatCannotBeUsedIsAProblemNotASource) {
  // Written by hand into the desktop's file, as a user might: one good, one broken, and a
  // route to a source that is not there.
  TempDir dir;
  PosixFileSystem disk;
  const std::string path = dir.File("Quillet.ini");
  ASSERT_EQ(disk.WriteAll(path,
                          "[Quillet]\r\nbUseProxy=0\r\n"
                          "[QuoteSource good]\r\nquote_url=https://q.example/{symbols}\r\n"
                          "format=csv\r\nsymbol=1\r\nlast=2\r\n"
                          "[QuoteSource broken]\r\nquote_url=https://q.example/\r\nformat=csv\r\n"
                          "[QuoteRoutes]\r\n0=good\r\n2=broken\r\n5=gone\r\n"),
            0);
  auto settings = IniSourceSettings(disk, path);
  SourceBook book = LoadSourceBook(*settings);
  ASSERT_EQ(book.sources.size(), 1u);
  EXPECT_TRUE(book.Routed(0));
  EXPECT_FALSE(book.Routed(2));
  EXPECT_FALSE(book.Routed(5));
  ASSERT_EQ(book.problems.size(), 3u);
  EXPECT_EQ(book.problems[0], "broken: quote_url: must contain {symbols}");
  // Saving a source keeps the rest of the file, the program's own settings included.
  std::string error;
  ASSERT_EQ(SaveUserSource(*settings, "third", Csv(), &error), 0);
  IniProfile profile;
  ASSERT_EQ(IniProfile::Load(disk, path, &profile), 0);
  EXPECT_EQ(profile.Get("Quillet", "bUseProxy").value_or("?"), "0");
}

TEST(SourceStoreFaults, TheIniFileHoldsTheOldSettingsOrTheNewOnes) {
  TempDir dir;
  PosixFileSystem disk;
  FaultInjectingFileSystem faulty(disk);
  testing::FileFaults faults(faulty);
  const std::string path = dir.File("Quillet.ini");
  auto settings = IniSourceSettings(faulty, path);
  auto reader = IniSourceSettings(disk, path);
  std::string error;
  testing::SweepSave<std::string>(
      faults, {.putOld =
                   [&] {
                     disk.WriteAll(path,
                                   "[QuoteSource a]\r\nquote_url=https://old.example/{symbols}"
                                   "\r\nformat=csv\r\nsymbol=1\r\nlast=2\r\n"
                                   "[QuoteRoutes]\r\n3=a\r\n");
                   },
               .save =
                   [&] {
                     return SaveUserSource(*settings, "a", Csv("https://new.example/{symbols}"),
                                           &error) == 0;
                   },
               .reload = [&] { return Dump(*reader); }});
}

TEST(SourceStoreFaults, TheRegistryHoldsTheOldSourceOrTheNewOne) {
  TempDir dir;
  testing::SqliteFaultVfs vfs;
  std::string error;
  auto db = SqliteDb::Open(dir.File("system.db"), "", &error, vfs.name());
  ASSERT_TRUE(db) << error;
  auto registry = std::make_unique<SqliteRegistry>(std::shared_ptr<SqliteDb>(std::move(db)));
  auto settings = RegistrySourceSettings(*registry);
  auto reread = [&] {
    auto fresh = SqliteRegistry::Open(dir.File("system.db"));
    if (!fresh) return std::string("<cannot open>");
    return Dump(*RegistrySourceSettings(*fresh));
  };
  SourceFields old = Csv("https://old.example/{symbols}");
  old["batch"] = "5";
  SourceFields next = Csv("https://new.example/{symbols}");
  next["divisor"] = "100";
  EXPECT_GT(testing::SweepSave<std::string>(
                vfs, {.putOld =
                          [&] {
                            registry->DeleteTree(HKEY_CURRENT_USER, kSourcesKey);
                            registry->DeleteTree(HKEY_CURRENT_USER, kRoutesKey);
                            SaveUserSource(*settings, "a", old, &error);
                            RouteMarket(*settings, 3, "a", &error);
                          },
                      .save = [&] { return SaveUserSource(*settings, "a", next, &error) == 0; },
                      .reload = reread}),
            0);
}

}  // namespace
}  // namespace quillet
