#include "core/chart_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "core/portfolio_store.h"
#include "platform/linux/sqlite_property_store.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using testing::ScopedTimeZone;
using testing::TestRoot;

// 2003-05-02 00:00 in New York (EDT, UTC-4).
constexpr StockTime kMay2 = 1051848000;
constexpr StockTime kDay = 86400;

class ChartStoreTest : public ::testing::Test {
 protected:
  ChartStoreTest() : tz("America/New_York"), charts(t.ctx->objectStore(), t.ctx->messageBoxes()) {}
  void SetUp() override { ASSERT_TRUE(charts.OpenChartStore()); }

  static PointFigures Quote(double price, double volume = 0) {
    return PointFigures{price, price - 1, price + 1, volume};
  }
  std::vector<DWORD> Prices(std::string_view name, int market) {
    std::vector<DWORD> out;
    auto s = charts.FindSeries(name, market);
    if (s) {
      for (auto& p : s->points) out.push_back(p.dwPrice);
    }
    return out;
  }

  ScopedTimeZone tz;
  TestRoot t;
  ChartStore charts;
};

TEST_F(ChartStoreTest, PointLayoutIsTwentyLittleEndianBytes) {
  std::vector<ChartPoint> points = {{0x01020304u, 845000u, 831000u, 849000u, 5432100u}};
  std::string bytes = EncodePoints(points);
  const unsigned char expected[20] = {0x04, 0x03, 0x02, 0x01,   // tDate
                                      0xC8, 0xE4, 0x0C, 0x00,   // 845000 = 0x000CE4C8
                                      0x18, 0xAE, 0x0C, 0x00,   // 831000 = 0x000CAE18
                                      0x68, 0xF4, 0x0C, 0x00,   // 849000 = 0x000CF468
                                      0x24, 0xE3, 0x52, 0x00};  // 5432100 = 0x0052E324
  ASSERT_EQ(bytes.size(), 20u);
  EXPECT_EQ(std::memcmp(bytes.data(), expected, 20), 0);
  auto back = DecodePoints(bytes + "xyz", 5);
  ASSERT_EQ(back.size(), 1u) << "only whole points are read";
  EXPECT_EQ(back[0].dwVolume, 5432100u);
}

TEST_F(ChartStoreTest, FixedPointRoundsHalfUpAndKeepsLossesSigned) {
  EXPECT_EQ(ToFixedPoint(84.5, kStockScale), 845000u);
  EXPECT_EQ(ToFixedPoint(0.00005, kStockScale), 1u);
  EXPECT_EQ(ToFixedPoint(0.00004, kStockScale), 0u);
  EXPECT_EQ(ToFixedPoint(1234.5, kPortfolioScale), 1235u);
  EXPECT_EQ(SignedAmount(ToFixedPoint(-100.3, kPortfolioScale)), -100);
  EXPECT_EQ(SignedAmount(ToFixedPoint(-100.5, kPortfolioScale)), -100);
  EXPECT_EQ(SignedAmount(ToFixedPoint(-100.6, kPortfolioScale)), -101);
  EXPECT_EQ(ToFixedPoint(1e12, kStockScale), 0xFFFFFFFFu);
}

TEST_F(ChartStoreTest, OneDailyPointPerDayAndOlderQuotesIgnored) {
  ASSERT_TRUE(charts.AddDailyPoint("IBM", 0, kMay2 + 10 * 3600, Quote(84.5, 100), kStockScale));
  ASSERT_TRUE(charts.AddDailyPoint("IBM", 0, kMay2 + 16 * 3600, Quote(85.25, 200), kStockScale));
  EXPECT_EQ(Prices("IBM", 0), (std::vector<DWORD>{852500}));
  auto s = charts.FindSeries("ibm", 0);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->points[0].tDate, kMay2 + 16 * 3600u);
  EXPECT_EQ(s->points[0].dwVolume, 200u);
  EXPECT_EQ(s->points[0].dwLow, 842500u);

  ASSERT_TRUE(charts.AddDailyPoint("IBM", 0, kMay2 + kDay + 3600, Quote(86), kStockScale));
  EXPECT_EQ(Prices("IBM", 0), (std::vector<DWORD>{852500, 860000}));
  ASSERT_TRUE(charts.AddDailyPoint("IBM", 0, kMay2 + 3600, Quote(1), kStockScale));
  EXPECT_EQ(Prices("IBM", 0), (std::vector<DWORD>{852500, 860000})) << "history is not rewritten";
}

TEST_F(ChartStoreTest, AFullSeriesDropsItsOldestPoint) {
  ChartSeries s;
  CopyToField(s.szName, "IBM");
  for (std::size_t i = 0; i < kMaxChartPoints; ++i) {
    s.points.push_back(ChartPoint{static_cast<StockTime>(kMay2 - (kMaxChartPoints - i) * kDay),
                                  static_cast<DWORD>(i), 0, 0, 0});
  }
  ASSERT_TRUE(charts.WriteSeries(s));
  EXPECT_NE(s.oid, 0u);
  ASSERT_TRUE(charts.AddDailyPoint("IBM", 0, kMay2, Quote(9), kStockScale));
  auto back = charts.FindSeries("IBM", 0);
  ASSERT_TRUE(back);
  ASSERT_EQ(back->points.size(), kMaxChartPoints);
  EXPECT_EQ(back->points.front().dwPrice, 1u) << "point 0 was dropped";
  EXPECT_EQ(back->points.back().dwPrice, 90000u);
}

TEST_F(ChartStoreTest, TheSameSymbolOnTwoMarketsIsTwoSeries) {
  charts.AddDailyPoint("VOD", 0, kMay2, Quote(10), kStockScale);
  charts.AddDailyPoint("VOD", 14, kMay2, Quote(20), kStockScale);
  charts.AddDailyPoint("AAA", 0, kMay2, Quote(30), kStockScale);
  EXPECT_EQ(Prices("VOD", 0), (std::vector<DWORD>{100000}));
  EXPECT_EQ(Prices("VOD", 14), (std::vector<DWORD>{200000}));
  EXPECT_FALSE(charts.FindSeries("VOD", 3));
  ASSERT_TRUE(charts.DeleteSeries("VOD", 14));
  EXPECT_TRUE(charts.HasSeries("VOD", 0));
  EXPECT_FALSE(charts.HasSeries("VOD", 14));
  std::vector<std::string> names;
  for (auto s = charts.SeriesAt(true); s; s = charts.SeriesAt(false)) names.push_back(s->name());
  EXPECT_EQ(names, (std::vector<std::string>{"AAA", "VOD"}));
}

TEST_F(ChartStoreTest, NamesAreCutToFifteenCharacters) {
  charts.AddDailyPoint("ABCDEFGHIJKLMNOPQ", 1, kMay2, Quote(1), kStockScale);
  auto s = charts.FindSeries("ABCDEFGHIJKLMNOxx", 1);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->name(), "ABCDEFGHIJKLMNO");
}

TEST_F(ChartStoreTest, SetPointInsertsInDateOrderAndDeletePointRemovesTheDay) {
  charts.AddDailyPoint("IBM", 0, kMay2, Quote(1), kStockScale);
  charts.AddDailyPoint("IBM", 0, kMay2 + 2 * kDay, Quote(3), kStockScale);
  ASSERT_TRUE(charts.SetPoint("IBM", 0, kMay2 + kDay + 5000, Quote(2), kStockScale));
  EXPECT_EQ(Prices("IBM", 0), (std::vector<DWORD>{10000, 20000, 30000}));
  EXPECT_EQ(charts.FindSeries("IBM", 0)->points[1].tDate, kMay2 + kDay) << "cut to 00:00";
  ASSERT_TRUE(charts.SetPoint("IBM", 0, kMay2 + 2 * kDay + 60, Quote(4), kStockScale));
  EXPECT_EQ(Prices("IBM", 0), (std::vector<DWORD>{10000, 20000, 40000}));
  ASSERT_TRUE(charts.SetPoint("IBM", 0, kMay2 + 9 * kDay, Quote(0), kStockScale));
  EXPECT_EQ(Prices("IBM", 0).size(), 3u) << "a zero price sets nothing";
  ASSERT_TRUE(charts.SetPoint("NEW", 0, kMay2, Quote(5), kStockScale));
  EXPECT_EQ(Prices("NEW", 0), (std::vector<DWORD>{50000}));

  ASSERT_TRUE(charts.DeletePoint("IBM", 0, kMay2 + kDay + 7));
  EXPECT_EQ(Prices("IBM", 0), (std::vector<DWORD>{10000, 40000}));
  ASSERT_TRUE(charts.DeletePoint("IBM", 0, kMay2 + 5 * kDay));
  EXPECT_EQ(Prices("IBM", 0).size(), 2u);
}

TEST_F(ChartStoreTest, DeleteUpToPrunesOneOrEverySeriesAndDropsEmptyOnes) {
  for (int d = 0; d < 3; ++d) {
    charts.AddDailyPoint("IBM", 0, kMay2 + d * kDay, Quote(1 + d), kStockScale);
    charts.AddDailyPoint("MSFT", 0, kMay2 + d * kDay, Quote(1 + d), kStockScale);
  }
  charts.AddDailyPoint("OLD", 0, kMay2, Quote(1), kStockScale);
  ASSERT_TRUE(charts.DeleteUpTo(std::make_pair(std::string("IBM"), 0), kMay2 + kDay + 3600));
  EXPECT_EQ(Prices("IBM", 0), (std::vector<DWORD>{30000}));
  EXPECT_EQ(Prices("MSFT", 0).size(), 3u);
  ASSERT_TRUE(charts.DeleteUpTo(std::nullopt, kMay2));
  EXPECT_EQ(Prices("MSFT", 0).size(), 2u);
  EXPECT_FALSE(charts.HasSeries("OLD", 0)) << "a series left empty is deleted";
  ASSERT_TRUE(charts.DeleteUpTo(std::make_pair(std::string("IBM"), 0), kMay2 + 2 * kDay));
  EXPECT_FALSE(charts.HasSeries("IBM", 0)) << "up to the last point deletes the record";
}

TEST_F(ChartStoreTest, SplitAdjustsOnlyPricesBeforeTheSplitDay) {
  for (int d = 0; d < 3; ++d) {
    charts.AddDailyPoint("IBM", 0, kMay2 + d * kDay + 3600, PointFigures{10.0001, 9, 11, 500},
                         kStockScale);
  }
  ASSERT_TRUE(charts.SplitSeries("IBM", 0, kMay2 + 2 * kDay + 7200, 2));
  auto s = charts.FindSeries("IBM", 0);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->points[0].dwPrice, 50000u) << "100001 / 2 truncated";
  EXPECT_EQ(s->points[1].dwLow, 45000u);
  EXPECT_EQ(s->points[1].dwHigh, 55000u);
  EXPECT_EQ(s->points[2].dwPrice, 100001u) << "the split day itself is not adjusted";
  EXPECT_EQ(s->points[0].dwVolume, 500u);
  EXPECT_FALSE(charts.SplitSeries("IBM", 0, kMay2, 0));
  EXPECT_FALSE(charts.SplitSeries("NONE", 0, kMay2, 2));
}

TEST_F(ChartStoreTest, RenameFollowsTheStockAndDeleteAllLeavesAnEmptyStore) {
  charts.AddDailyPoint("IBM", 0, kMay2, Quote(1), kStockScale);
  ASSERT_TRUE(charts.RenameSeries("IBM", 0, "IBM.DE", 5));
  EXPECT_FALSE(charts.HasSeries("IBM", 0));
  EXPECT_EQ(Prices("IBM.DE", 5), (std::vector<DWORD>{10000}));
  EXPECT_FALSE(charts.RenameSeries("NONE", 0, "X", 0));
  ASSERT_TRUE(charts.DeleteAll());
  EXPECT_TRUE(charts.isOpen());
  EXPECT_FALSE(charts.SeriesAt(true));
  ASSERT_TRUE(charts.AddDailyPoint("IBM", 0, kMay2, Quote(1), kStockScale));
}

TEST_F(ChartStoreTest, PortfolioAmountsReadBackSigned) {
  ASSERT_TRUE(charts.AddDailyPoint(PortfolioSeriesName(3), kPortfolioSeriesMarket, kMay2,
                                   PointFigures{1500.4, 1200, -300.6, 0}, kPortfolioScale));
  auto s = charts.FindSeries("PORTFOLIO3", 255);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->points[0].dwPrice, 1500u);
  EXPECT_EQ(SignedAmount(s->points[0].dwHigh), -301);
}

TEST_F(ChartStoreTest, ClosedStoreWritesNothingAndSaysSo) {
  charts.CloseChartStore();
  EXPECT_FALSE(charts.AddDailyPoint("IBM", 0, kMay2, Quote(1), kStockScale));
  ASSERT_TRUE(charts.OpenChartStore());
  EXPECT_FALSE(charts.HasSeries("IBM", 0));
}

TEST_F(ChartStoreTest, DamagedCountsNeverReadPastThePoints) {
  // A record written by another program claims more points than it holds.
  std::unique_ptr<PropertyDatabase> db;
  ASSERT_EQ(t.ctx->objectStore().OpenDatabase(kChartDbName, &db), 0);
  std::vector<PropValue> props = {PropValue::Text(PROP_SERIES_NAME, u"BAD"),
                                  PropValue::Number(PROP_SERIES_MARKET, 0),
                                  PropValue::Number(PROP_SERIES_COUNT, 500),
                                  PropValue::Blob(PROP_SERIES_POINTS, std::string(45, '\1'))};
  ASSERT_EQ(db->WriteRecord(0, props, nullptr), 0);
  auto s = charts.FindSeries("BAD", 0);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->points.size(), 2u);
}

TEST_F(ChartStoreTest, AnUnopenableStoreSaysSo) {
  // A store whose file refuses every write cannot create the database.
  testing::TempDir dir;
  std::string path = dir.File("ro.db");
  {
    auto db = SqliteDb::Open(path, "", nullptr);
    ASSERT_TRUE(db);
  }
  auto ro = std::shared_ptr<SqliteDb>(SqliteDb::Open(path, "", nullptr));
  ASSERT_EQ(ro->Exec("PRAGMA query_only=ON"), 0);
  SqlitePropertyStore store(ro);
  ChartStore readOnly(store, t.ctx->messageBoxes());
  EXPECT_FALSE(readOnly.OpenChartStore());
  ASSERT_FALSE(t.answers.texts().empty());
  EXPECT_EQ(t.answers.texts().back(), "Unable to open chart db");
  EXPECT_EQ(t.answers.shown().back().flags & MB_ICONMASK, MB_ICONSTOP);
}

// A second connection to the root's registry file, for doing to the chart database what another
// writer (or a failing disk) would.
std::unique_ptr<SqliteDb> SecondConnection(TestRoot& t) {
  return SqliteDb::Open(t.ctx->root() + "/system.db", "", nullptr);
}

// How many records of that name the database holds (the statement ends before the count is
// returned, so the connection keeps no old snapshot open).
std::int64_t RecordsNamed(SqliteDb& db, const std::string& name) {
  auto rows = db.Prepare("SELECT count(*) FROM cedb_records WHERE sort_key = ?1");
  rows.Bind(1, name);
  return rows.Step() == SQLITE_ROW ? rows.Int(0) : -1;
}

TEST_F(ChartStoreTest, ADamagedRecordIsFoundRewrittenAndDeleted) {
  ASSERT_TRUE(charts.AddDailyPoint("IBM", 0, kMay2, Quote(10), kStockScale));
  ASSERT_TRUE(charts.AddDailyPoint("KO", 0, kMay2, Quote(40), kStockScale));
  ASSERT_TRUE(charts.AddDailyPoint("MSFT", 0, kMay2, Quote(20), kStockScale));
  auto other = SecondConnection(t);
  ASSERT_TRUE(other);
  // IBM's properties become bytes nobody can read.
  ASSERT_EQ(other->Exec("UPDATE cedb_records SET props = x'FFFFFFFF01' WHERE sort_key = 'IBM'"), 0);

  // Found as a damaged series (no points), not as a missing one.
  auto damaged = charts.FindSeries("IBM", 0);
  ASSERT_TRUE(damaged);
  EXPECT_TRUE(damaged->bDamaged);
  EXPECT_TRUE(damaged->points.empty());
  EXPECT_TRUE(charts.HasSeries("IBM", 0));
  // The walk over all series steps over it instead of ending there.
  std::vector<std::string> names;
  for (auto s = charts.SeriesAt(true); s; s = charts.SeriesAt(false)) names.push_back(s->name());
  EXPECT_EQ(names, (std::vector<std::string>{"KO", "MSFT"}));

  // The next point rewrites that record: one IBM series, readable again.
  ASSERT_TRUE(charts.AddDailyPoint("IBM", 0, kMay2 + kDay, Quote(11), kStockScale));
  EXPECT_EQ(RecordsNamed(*other, "IBM"), 1);
  EXPECT_EQ(Prices("IBM", 0), (std::vector<DWORD>{110000}));

  // Damaged again, a delete removes it for good.
  ASSERT_EQ(other->Exec("UPDATE cedb_records SET props = x'00' WHERE sort_key = 'IBM'"), 0);
  EXPECT_TRUE(charts.DeleteSeries("IBM", 0));
  EXPECT_FALSE(charts.HasSeries("IBM", 0));
  EXPECT_EQ(RecordsNamed(*other, "IBM"), 0);
}

TEST_F(ChartStoreTest, AReadableRecordOfTheMarketWinsOverADamagedOneOfTheName) {
  ASSERT_TRUE(charts.AddDailyPoint("ABC", 0, kMay2, Quote(10), kStockScale));
  ASSERT_TRUE(charts.AddDailyPoint("ABC", 5, kMay2, Quote(50), kStockScale));
  auto other = SecondConnection(t);
  ASSERT_TRUE(other);
  ASSERT_EQ(other->Exec("UPDATE cedb_records SET props = x'00' WHERE oid = "
                        "(SELECT min(oid) FROM cedb_records WHERE sort_key = 'ABC')"),
            0);
  auto s = charts.FindSeries("ABC", 5);
  ASSERT_TRUE(s);
  EXPECT_FALSE(s->bDamaged);
  EXPECT_EQ(Prices("ABC", 5), (std::vector<DWORD>{500000}));
}

TEST_F(ChartStoreTest, DeleteAllThatCannotMakeTheStoreAnewLeavesItOpenOrFailsEveryWrite) {
  auto other = SecondConnection(t);
  ASSERT_TRUE(other);
  ASSERT_TRUE(charts.AddDailyPoint("IBM", 0, kMay2, Quote(10), kStockScale));
  // The database can be deleted but not made again.
  ASSERT_EQ(other->Exec("CREATE TRIGGER no_create BEFORE INSERT ON cedb_databases "
                        "BEGIN SELECT RAISE(ABORT, 'disk full'); END"),
            0);
  t.answers.ClearShown();
  EXPECT_FALSE(charts.DeleteAll());
  EXPECT_TRUE(t.answers.texts().empty()) << "the caller says it, once";
  EXPECT_FALSE(charts.isOpen());
  EXPECT_FALSE(charts.AddDailyPoint("IBM", 0, kMay2, Quote(10), kStockScale))
      << "a point that cannot be kept is no success";

  // Through the store: "Delete ALL" with the same fault says so exactly once.
  ASSERT_EQ(other->Exec("DROP TRIGGER no_create"), 0);
  ASSERT_TRUE(charts.OpenChartStore());
  ASSERT_EQ(other->Exec("CREATE TRIGGER no_create BEFORE INSERT ON cedb_databases "
                        "BEGIN SELECT RAISE(ABORT, 'disk full'); END"),
            0);
  PortfolioStore store(*t.ctx, &charts);
  t.answers.Push(IDYES);
  t.answers.Push(IDYES);
  t.answers.ClearShown();
  EXPECT_TRUE(store.DeleteAllStocks());
  std::vector<std::string> texts = t.answers.texts();
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Unable to open chart db"), 1);
}

TEST_F(ChartStoreTest, DeleteAllThatCannotDeleteKeepsTheStoreOpen) {
  ASSERT_TRUE(charts.AddDailyPoint("IBM", 0, kMay2, Quote(10), kStockScale));
  auto other = SecondConnection(t);
  ASSERT_TRUE(other);
  ASSERT_EQ(other->Exec("CREATE TRIGGER no_delete BEFORE DELETE ON cedb_databases "
                        "BEGIN SELECT RAISE(ABORT, 'locked'); END"),
            0);
  EXPECT_FALSE(charts.DeleteAll());
  ASSERT_TRUE(charts.isOpen()) << "later points still have somewhere to go";
  EXPECT_TRUE(charts.AddDailyPoint("IBM", 0, kMay2 + kDay, Quote(11), kStockScale));
  EXPECT_EQ(Prices("IBM", 0).size(), 2u);
}

}  // namespace
}  // namespace quillet
