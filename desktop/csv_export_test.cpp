// The CSV exports: the stock and chart files byte for byte as the user's formats make them,
// quoting only where a cell needs it, read back by a CSV reader we did not write, and the
// export's schedule and failures.
#include "desktop/csv_export.h"

#include <gtest/gtest.h>
#include <utime.h>

#include "core/price_history.h"
#include "core/string_table.h"
#include "desktop/step_test_fixture.h"
#include "platform/testing/fault_sweep.h"

namespace quillet {
namespace {

using testing::StepTest;

StockTime Day(int year, int month, int day, int hour = 0) {
  return *FromLocal(year, month, day, hour);
}

constexpr char kHeader[] =
    "Name,Symbol,Category,Buy Date,Num Shares,Buy Price,Buy Fee,Dividend,Net Purchase Amount,"
    "Current Price,Sell Date,Sell Price,Sell Fee,Net Sold Amount,Note,\n";

class CsvExportTest : public StepTest {
 protected:
  // A sold stock listed before an active one, a watched one, and a note with quotes.
  void Seed() {
    StockRecord* sold = AddStock("Sold Co", "XYZ", 0, kStatusSold, "3", "50", "60");
    sold->tBuyDate = Day(2002, 4, 3, 10);
    sold->tSellDate = Day(2003, 2, 1, 15);
    CopyToField(sold->szSellFee, "2");
    StockRecord* ibm = AddStock("IBM", "IBM", 1, kStatusActive, "10.500", "70", "80.25");
    ibm->tBuyDate = Day(2003, 1, 31, 9);
    CopyToField(ibm->szBuyFee, "5");
    CopyToField(ibm->szDividend, "1.5");
    AddStock("Watched", "MSFT", 0, kStatusWatched, "0", "0", "26");
    auto note = std::make_unique<StockNote>();
    note->dwStockId = sold->dwId;
    note->szText = std::string("say \"hi\"") + '\0';
    note->dwLength = 8;
    store.notes.push_back(std::move(note));
  }
};

TEST(CsvCellTest, QuotesOnlyCellsThatNeedIt) {
  EXPECT_EQ(CsvCell("Apple", ','), "Apple");
  EXPECT_EQ(CsvCell("", ','), "");
  EXPECT_EQ(CsvCell("Smith, Jones", ','), "\"Smith, Jones\"");
  EXPECT_EQ(CsvCell("Smith, Jones", ';'), "Smith, Jones");
  EXPECT_EQ(CsvCell("a;b", ';'), "\"a;b\"");
  EXPECT_EQ(CsvCell("say \"hi\"", ','), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvCell("two\nlines", '\t'), "\"two\nlines\"");
  EXPECT_EQ(CsvCell("cr\r", ','), "\"cr\r\"");
}

TEST(CsvCellTest, SeparatorOfEachChoice) {
  LocaleSettings locale;
  locale.listSeparator = ';';
  EXPECT_EQ(ExportSeparator(0, locale), ';');
  EXPECT_EQ(ExportSeparator(1, locale), ',');
  EXPECT_EQ(ExportSeparator(2, locale), ';');
  EXPECT_EQ(ExportSeparator(3, locale), '\t');
}

TEST_F(CsvExportTest, ActiveThenSoldLinesInTheUsersFormats) {
  Seed();
  const std::string expected =
      std::string(kHeader) +
      "IBM,IBM,NASDAQ,1/31/2003,10.5,70.0000,5.00,1.50,740.00,80.2500,,,,,\n"
      "Sold Co,XYZ,Unfiled,4/3/2002,3,50.0000,0.00,0.00,150.00,,2/1/2003,"
      "60.0000,2.00,178.00,\"say \"\"hi\"\"\"\n";
  EXPECT_EQ(StockExportText(store, ',', locale), expected);
}

TEST_F(CsvExportTest, ADecimalCommaIsQuotedWithTheCommaSeparatorOnly) {
  AddStock("IBM", "IBM", 1, kStatusActive, "2", "70.5", "80")->tBuyDate = Day(2003, 1, 31);
  locale.decimalSeparator = ',';
  locale.shortDateFormat = "dd.MM.yyyy";
  const std::string comma = StockExportText(store, ',', locale);
  EXPECT_NE(comma.find("\nIBM,IBM,NASDAQ,31.01.2003,2,\"70,5000\",\"0,00\",\"0,00\",\"141,00\","
                       "\"80,0000\",,,,,\n"),
            std::string::npos)
      << comma;
  const std::string semicolon = StockExportText(store, ';', locale);
  EXPECT_NE(semicolon.find("\nIBM;IBM;NASDAQ;31.01.2003;2;70,5000;0,00;0,00;141,00;80,0000;;;;;\n"),
            std::string::npos)
      << semicolon;
}

TEST_F(CsvExportTest, ChartFileListsStocksAndPortfoliosWithTheListSeparator) {
  store.wPortfolioCount = 2;
  ChartSeries ibm;
  CopyToField(ibm.szName, "IBM");
  ibm.points.push_back({Day(2003, 5, 1) + 60, 812500, 800000, 820000, 1000});
  ChartSeries portfolio;
  CopyToField(portfolio.szName, "PORTFOLIO1");
  portfolio.ucMarket = kPortfolioSeriesMarket;
  // Cost in the price field, value in the low field, a loss in the high field.
  portfolio.points.push_back({Day(2003, 5, 1), 700, 805, ToFixedPoint(-12, 1), 0});
  ChartSeries toronto;
  CopyToField(toronto.szName, "RY");
  toronto.ucMarket = 1;
  toronto.points.push_back({Day(2003, 4, 30), 10000, 10000, 10000, 7});
  toronto.points.push_back({Day(2003, 5, 1), 15000, 10000, 20000, 8});
  ASSERT_TRUE(charts.WriteSeries(ibm) && charts.WriteSeries(portfolio) &&
              charts.WriteSeries(toronto));
  locale.listSeparator = ';';
  EXPECT_EQ(ChartExportText(charts, store, ';', locale),
            "Date;Price;High;Low;Volume\n\n"
            "Symbol: IBM\n"
            "5/1/2003;81.2500;82.0000;80.0000;1000\n\n\n"
            "Symbol: Portfolio NASDAQ\n"
            "5/1/2003;700.0000;-12.0000;805.0000;0\n\n\n"
            "Symbol: RY.TO\n"
            "4/30/2003;1.0000;1.0000;1.0000;7\n"
            "5/1/2003;1.5000;2.0000;1.0000;8\n\n\n");
}

// Python's csv module reads the file: every cell of every stock comes back as it was.
TEST_F(CsvExportTest, AnotherCsvReaderFindsTheSameCells) {
  StockRecord* a = AddStock("Smith, Jones", "A,B", 0, kStatusActive, "1", "2", "3");
  a->tBuyDate = Day(2003, 1, 2);
  StockRecord* b = AddStock("The \"Q\" Co", "Q", 1, kStatusActive, "4", "5", "6");
  b->tBuyDate = Day(2003, 1, 3);
  StockRecord* c = AddStock("Two\nlines", "T", 1, kStatusActive, "7", "8", "9");
  c->tBuyDate = Day(2003, 1, 4);
  CopyToField(store.szPortfolioName[1], "Tech; \"new\"");
  auto note = std::make_unique<StockNote>();
  note->dwStockId = a->dwId;
  note->szText = std::string("first, line\r\nsecond \"line\"") + '\0';
  note->dwLength = static_cast<DWORD>(note->szText.size() - 1);
  store.notes.push_back(std::move(note));

  for (char sep : {',', ';', '\t'}) {
    SCOPED_TRACE(std::string("separator ") + sep);
    const std::string path = desk.dir.File("export.csv");
    ASSERT_EQ(desk.ctx->files().WriteAll(path, StockExportText(store, sep, locale)), 0);
    std::string out;
    const std::string script =
        "import csv,sys\n"
        "with open(sys.argv[1], newline='', encoding='latin-1') as f:\n"
        "  for row in csv.reader(f, delimiter=sys.argv[2]):\n"
        "    print(' '.join(c.encode('latin-1').hex() or '-' for c in row))\n";
    ASSERT_EQ(testing::RunCommand("python3 -c " + testing::ShellQuote(script) + " " +
                                      testing::ShellQuote(path) + " " +
                                      testing::ShellQuote(std::string(1, sep)),
                                  &out),
              0);
    std::vector<std::vector<std::string>> rows;
    std::size_t at = 0;
    while (at < out.size()) {
      std::size_t end = out.find('\n', at);
      std::vector<std::string> row;
      std::string line = out.substr(at, end - at);
      std::size_t from = 0;
      while (from <= line.size()) {
        std::size_t space = line.find(' ', from);
        std::string hex = line.substr(from, space - from);
        std::string cell;
        if (hex != "-") {
          for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            cell += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
          }
        }
        row.push_back(cell);
        if (space == std::string::npos) break;
        from = space + 1;
      }
      rows.push_back(row);
      at = end + 1;
    }
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].size(), 16u);  // the header ends with a separator
    EXPECT_EQ(rows[0][0], "Name");
    EXPECT_EQ(rows[0][14], "Note");
    const std::vector<std::string> first = {"Smith, Jones",
                                            "A,B",
                                            "Unfiled",
                                            "1/2/2003",
                                            "1",
                                            "2.0000",
                                            "0.00",
                                            "0.00",
                                            "2.00",
                                            "3.0000",
                                            "",
                                            "",
                                            "",
                                            "",
                                            "first, line\r\nsecond \"line\""};
    EXPECT_EQ(rows[1], first);
    ASSERT_EQ(rows[2].size(), 15u);
    EXPECT_EQ(rows[2][0], "The \"Q\" Co");
    EXPECT_EQ(rows[2][2], "Tech; \"new\"");
    ASSERT_EQ(rows[3].size(), 15u);
    EXPECT_EQ(rows[3][0], "Two\nlines");
    EXPECT_EQ(rows[3][3], "1/4/2003");
    EXPECT_EQ(rows[3][8], "56.00");
  }
}

TEST(ExportScheduleTest, FrequenciesAndAMissingFile) {
  const std::int64_t now = Day(2003, 5, 2, 8);
  EXPECT_FALSE(ExportDue(0, std::nullopt, now));
  EXPECT_TRUE(ExportDue(1, now, now));
  for (int frequency : {2, 3, 4}) EXPECT_TRUE(ExportDue(frequency, std::nullopt, now));
  // Once a day: earlier the same morning no, last evening yes (less than a day ago).
  EXPECT_FALSE(ExportDue(2, Day(2003, 5, 2, 1), now));
  EXPECT_TRUE(ExportDue(2, Day(2003, 5, 1, 22), now));
  // The same day of the next month, less than a day ago is impossible; a month ago is due.
  EXPECT_TRUE(ExportDue(2, Day(2003, 4, 2, 9), now));
  EXPECT_FALSE(ExportDue(3, now - 7 * 86400 + 3600, now));
  EXPECT_TRUE(ExportDue(3, now - 7 * 86400, now));
  EXPECT_FALSE(ExportDue(4, now - 30 * 86400 + 1, now));
  EXPECT_TRUE(ExportDue(4, now - 30 * 86400, now));
}

TEST_F(CsvExportTest, OnceADayWritesTheFileAgainOnlyTheNextMorning) {
  testing::ScopedTimeZone utc("UTC");
  Seed();
  settings.BackupTime = 2;
  const std::int64_t morning = 1765238400 + 8 * 3600;  // 2025-12-09 08:00 UTC
  desk.clock.Set(morning);
  ASSERT_EQ(RunExport(Context()), ExportOutcome::kDone);
  const std::string first = Read(kStockExportFile);
  // The file's own time says when it was written.
  utimbuf times{morning, morning};
  ASSERT_EQ(::utime(Working(kStockExportFile).c_str(), &times), 0);

  store.stocks[1]->szPrice[0] = '9';
  desk.clock.Set(morning + 10 * 3600);
  shown.clear();
  EXPECT_EQ(RunExport(Context()), ExportOutcome::kNotDue);
  EXPECT_EQ(Read(kStockExportFile), first);
  EXPECT_TRUE(shown.empty());

  desk.clock.Set(morning + 23 * 3600);  // 07:00 the next morning
  EXPECT_EQ(RunExport(Context()), ExportOutcome::kDone);
  EXPECT_NE(Read(kStockExportFile), first);
  EXPECT_EQ(shown, std::vector<UINT>{strings::IDS_DESK_EXPORTING_STOCKS});
  EXPECT_FALSE(Exists(kChartExportFile));
}

TEST_F(CsvExportTest, NeverMeansNoFileAndCancelEndsBeforeWriting) {
  Seed();
  EXPECT_EQ(RunExport(Context()), ExportOutcome::kNotDue);
  settings.BackupTime = 1;
  cancelled = true;
  EXPECT_EQ(RunExport(Context()), ExportOutcome::kCancelled);
  EXPECT_TRUE(Logged("Sync Cancelled."));
  EXPECT_FALSE(Exists(kStockExportFile));
}

TEST_F(CsvExportTest, ChartExportWithoutAnOpenDatabaseIsLoggedAndTheStocksStillWritten) {
  Seed();
  settings.BackupTime = 1;
  settings.bExportChart = 1;
  EXPECT_EQ(RunExport(Context(false)), ExportOutcome::kFailed);
  EXPECT_TRUE(Logged("Error: Cannot open chart export file"));
  EXPECT_TRUE(Exists(kStockExportFile));
  EXPECT_EQ(RunExport(Context(true)), ExportOutcome::kDone);
  EXPECT_EQ(Read(kChartExportFile), "Date,Price,High,Low,Volume\n\n");
}

TEST_F(CsvExportTest, AFailedWriteKeepsThePreviousExportWhole) {
  Seed();
  settings.BackupTime = 1;
  const std::string old = std::string(kHeader) + "old,line\n";
  testing::FileFaults injector(faults);
  testing::SweepSave<std::string>(
      injector, {.putOld = [&] { Write(kStockExportFile, old); },
                 .save = [&] { return RunExport(Context(), true) == ExportOutcome::kDone; },
                 .reload = [&] { return Read(kStockExportFile); }});
  Write(kStockExportFile, old);
  faults.FailOn(FaultInjectingFileSystem::Op::kWrite, "Quillet.csv.tmp");
  log.clear();
  EXPECT_EQ(RunExport(Context()), ExportOutcome::kFailed);
  EXPECT_TRUE(Logged("Error: Cannot open export file"));
  EXPECT_EQ(Read(kStockExportFile), old);
}

}  // namespace
}  // namespace quillet
