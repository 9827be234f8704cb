// The stock import: the three date forms, quoted cells, the two layouts, portfolios made from
// categories, markets from suffixes, and every line it skips told with its number and why.
#include "desktop/csv_import.h"

#include <gtest/gtest.h>

#include "core/quote_tables.h"
#include "desktop/csv_export.h"
#include "desktop/step_test_fixture.h"
#include "platform/roots.h"

namespace quillet {
namespace {

using testing::StepTest;

TEST(ImportDateTest, ThreeFormsOfTheSameDay) {
  const ImportDate april3{2002, 4, 3};
  EXPECT_EQ(ParseImportDate("03.04.2002"), april3);
  EXPECT_EQ(ParseImportDate("04/03/2002"), april3);
  EXPECT_EQ(ParseImportDate("20020403"), april3);
  EXPECT_EQ(ParseImportDate(" 4/3/02 "), april3);
}

TEST(ImportDateTest, TwoDigitYearsTurnAtFifty) {
  EXPECT_EQ(ParseImportDate("1.1.49"), (ImportDate{2049, 1, 1}));
  EXPECT_EQ(ParseImportDate("1.1.50"), (ImportDate{1950, 1, 1}));
  EXPECT_EQ(ParseImportDate("12/31/99"), (ImportDate{1999, 12, 31}));
  EXPECT_EQ(ParseImportDate("2/29/2004"), (ImportDate{2004, 2, 29}));
}

TEST(ImportDateTest, AnythingElseIsNoDate) {
  for (const char* text : {"", "abc", "2/30/2003", "13/1/2003", "0.1.2003", "1/2", "1/2/3/4",
                           "1.2.345", "2002-04-03", "2002040", "x1/2/2003", "1//2003"}) {
    EXPECT_FALSE(ParseImportDate(text)) << text;
  }
}

TEST(SplitCsvTest, QuotedCellsLineBreaksAndCrlf) {
  const auto records =
      SplitCsv("a,\"b,c\",\"say \"\"hi\"\"\"\r\n\"two\nlines\",x\n\n\"open,y", ',');
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].cells, (std::vector<std::string>{"a", "b,c", "say \"hi\""}));
  EXPECT_EQ(records[0].line, 1);
  EXPECT_EQ(records[0].cellEnds.back(), 20u);  // the CR is not part of the line
  EXPECT_EQ(records[1].cells, (std::vector<std::string>{"two\nlines", "x"}));
  EXPECT_EQ(records[1].line, 2);
  EXPECT_TRUE(records[2].empty());
  EXPECT_EQ(records[2].line, 4);
  EXPECT_TRUE(records[3].unclosedQuote);
  EXPECT_EQ(records[3].line, 5);
  EXPECT_EQ(SplitCsv("a;b,c;", ';')[0].cells, (std::vector<std::string>{"a", "b,c", ""}));
}

class CsvImportTest : public StepTest {
 protected:
  void ImportText(std::string_view text) {
    CopyToField(settings.szPathImport, "C:\\My Documents\\stocks.csv");
    const auto path = MapDesktopPath(desk.ctx->root(), "C:\\My Documents\\stocks.csv");
    ASSERT_EQ(desk.ctx->files().CreateFolders(path->substr(0, path->rfind('/'))), 0);
    ASSERT_EQ(desk.ctx->files().WriteAll(*path, text), 0);
    imported = ImportStockFile(Context());
  }
  const StockRecord* Named(std::string_view name) {
    for (const auto& r : store.stocks) {
      if (r->Name() == name) return r.get();
    }
    return nullptr;
  }
  int imported = -2;
};

TEST_F(CsvImportTest, AnActiveStockInANewPortfolio) {
  maxId = 41;
  ImportText("Apple,AAPL,Tech,1/31/2003,10,12.50,5\n");
  EXPECT_EQ(imported, 1);
  const StockRecord* r = Named("Apple");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Symbol(), "AAPL");
  EXPECT_EQ(r->ucStatus, kStatusActive);
  EXPECT_EQ(r->ucMarket, 0);
  EXPECT_EQ(r->ucTrend, kTrendNotUpdated);
  EXPECT_EQ(r->ucFlags, kFlagChartHistory);
  EXPECT_EQ(r->dwId, 42u);
  EXPECT_EQ(maxId, 42u);
  EXPECT_EQ(r->tBuyDate, *FromLocal(2003, 1, 31));
  EXPECT_EQ(FieldText(r->szPrice), "12.50");
  EXPECT_EQ(FieldText(r->szBuyPrice), "12.50");
  EXPECT_EQ(FieldText(r->szBuyFee), "5");
  // Two portfolios before: the new one is the third.
  EXPECT_EQ(r->ucPortfolio, 2);
  EXPECT_EQ(store.wPortfolioCount, 3);
  EXPECT_EQ(FieldText(store.szPortfolioName[2]), "Tech");
  EXPECT_TRUE(Logged("Quillet: Imported [1] records"));
}

TEST_F(CsvImportTest, AWatchedStockOnItsSuffixesMarketDatedNow) {
  ImportText("X,X.PA,,,0\n");
  const StockRecord* r = Named("X");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->ucStatus, kStatusWatched);
  EXPECT_EQ(r->ucPortfolio, 0);
  EXPECT_EQ(std::string_view(GetMarketInfo(r->ucMarket)->szSuffix), ".PA");
  EXPECT_EQ(r->tBuyDate, static_cast<StockTime>(kNow));
  EXPECT_EQ(markets, std::vector<int>{r->ucMarket});
}

TEST_F(CsvImportTest, EachRecordsDateIsOneSecondLaterAndCategoriesAreFoundWithoutCase) {
  ImportText("A,A,nasdaq,,1\nB,B,NASDAQ,1/2/2003,1\nC,C,Tech,1/2/2003,1\nD,D,TECH,,1\n");
  EXPECT_EQ(imported, 4);
  EXPECT_EQ(Named("A")->tBuyDate, static_cast<StockTime>(kNow));
  EXPECT_EQ(Named("B")->tBuyDate, *FromLocal(2003, 1, 2) + 1);
  EXPECT_EQ(Named("D")->tBuyDate, static_cast<StockTime>(kNow) + 3);
  EXPECT_EQ(Named("A")->ucPortfolio, 1);
  EXPECT_EQ(Named("B")->ucPortfolio, 1);
  EXPECT_EQ(Named("C")->ucPortfolio, 2);
  EXPECT_EQ(Named("D")->ucPortfolio, 2);
  EXPECT_EQ(store.wPortfolioCount, 3);
}

TEST_F(CsvImportTest, ANewCategoryGoesAtTheCountNotIntoAnEarlierEmptyName) {
  // The first portfolio has no name: the new one must not take its place.
  store.szPortfolioName[0][0] = '\0';
  ImportText("A,A,Tech,,1\n");
  EXPECT_EQ(Named("A")->ucPortfolio, 2);
  EXPECT_EQ(FieldText(store.szPortfolioName[0]), "");
  store.wPortfolioCount = kMaxPortfolios;
  ImportText("B,B,Other,,1\n");
  EXPECT_EQ(Named("B")->ucPortfolio, 0);
  EXPECT_TRUE(LoggedStart("Quillet: Import line 1: no room for another portfolio"));
}

TEST_F(CsvImportTest, ANameLineIsSkippedOnlyBeforeTheFirstRecord) {
  ImportText("NAME,Symbol,Category\nApple,AAPL,,,1\nname,NM,,,1\n");
  EXPECT_EQ(imported, 2);
  EXPECT_NE(Named("name"), nullptr);
  EXPECT_EQ(Named("NAME"), nullptr);
  EXPECT_TRUE(Logged("Quillet: Import line 1 skipped: the column titles"));
}

TEST_F(CsvImportTest, SoldLinesAndStatuses) {
  ImportText(
      "S,S,,1/2/2003,5,10,1,2/3/2003,12,1.5\nP,P,,1/2/2003,5,10,1,,12\n"
      "H,H,,1/2/2003,0.5,10\n");
  const StockRecord* s = Named("S");
  EXPECT_EQ(s->ucStatus, kStatusSold);
  EXPECT_EQ(s->tSellDate, *FromLocal(2003, 2, 3));
  EXPECT_EQ(FieldText(s->szPrice), "12");
  EXPECT_EQ(FieldText(s->szSellFee), "1.5");
  EXPECT_EQ(Named("P")->ucStatus, kStatusSold);  // a sell price alone sells
  EXPECT_EQ(Named("P")->tSellDate, 0u);
  EXPECT_EQ(Named("H")->ucStatus, kStatusWatched);  // less than one share
}

TEST_F(CsvImportTest, EveryUnreadableLineIsToldWithItsNumberAndNothingOfItImported) {
  const std::string longName(300, 'x');
  ImportText("Good,G,,,1\r\n" + longName + ",L,,,1\r\n" +
             "BadDate,B,,1.1.50,1\r\n"
             "BadNumber,N,,,ten\r\n"
             "\r\n"
             "BadDay,D,,2/30/2003,1\r\n"
             "Last,Z,,,2\r\n"
             "\"Open,O,,,1\r\n");
  EXPECT_EQ(imported, 2);
  EXPECT_NE(Named("Good"), nullptr);
  EXPECT_NE(Named("Last"), nullptr);
  EXPECT_EQ(Named("Last")->tBuyDate, static_cast<StockTime>(kNow) + 1);
  EXPECT_TRUE(Logged("Quillet: Import line 2 skipped: longer than 255 characters"));
  EXPECT_TRUE(Logged(
      "Quillet: Import line 3 skipped: the buy date \"1.1.50\" is outside the years 1970 to 2105"));
  EXPECT_TRUE(
      Logged("Quillet: Import line 4 skipped: the number of shares \"ten\" is not a number"));
  EXPECT_TRUE(Logged("Quillet: Import line 6 skipped: the buy date \"2/30/2003\" is not a date"));
  EXPECT_TRUE(Logged("Quillet: Import line 8 skipped: a quoted cell is not closed"));
  EXPECT_TRUE(Logged("Quillet: Imported [2] records"));
  // The CR of the line ends is not part of any cell.
  EXPECT_EQ(FieldText(Named("Last")->szShares), "2");
  EXPECT_EQ(store.stocks.size(), 2u);
}

TEST_F(CsvImportTest, AMissingFileIsLogged) {
  CopyToField(settings.szPathImport, "C:\\nowhere.csv");
  EXPECT_EQ(ImportStockFile(Context()), -1);
  EXPECT_TRUE(Logged("Quillet: Could not open import file"));
  EXPECT_TRUE(store.stocks.empty());
}

// Our own export read back in its own layout gives the same stocks, also with the separator
// inside names and a decimal comma.
TEST_F(CsvImportTest, AnExportReimportedGivesTheSameStocks) {
  for (int choice : {1, 2, 3}) {
    SCOPED_TRACE(choice);
    store.stocks.clear();
    store.wPortfolioCount = 2;
    locale.decimalSeparator = choice == 1 ? ',' : '.';
    StockRecord* a = AddStock("Smith, \"J\"; Co", "SJ", 1, kStatusActive, "12.5", "70.25", "80");
    a->tBuyDate = *FromLocal(2003, 1, 31);
    CopyToField(a->szBuyFee, "4.5");
    StockRecord* b = AddStock("Sold", "S", 0, kStatusSold, "3", "50", "60");
    b->tBuyDate = *FromLocal(2002, 4, 3);
    b->tSellDate = *FromLocal(2003, 2, 1);
    CopyToField(b->szSellFee, "2");
    auto note = std::make_unique<StockNote>();
    note->dwStockId = a->dwId;
    note->szText = std::string("a note, \"quoted\"\r\nover two lines") + '\0';
    note->dwLength = static_cast<DWORD>(note->szText.size() - 1);
    store.notes.push_back(std::move(note));
    settings.ucExportSep = static_cast<BYTE>(choice);
    settings.ucImportFormat = 1;
    const std::string text = StockExportText(store, ExportSeparator(choice, locale), locale);
    std::vector<StockRecord> before;
    for (const auto& r : store.stocks) before.push_back(*r);
    store.stocks.clear();
    ImportText(text);
    ASSERT_EQ(imported, 2);
    for (std::size_t i = 0; i < 2; ++i) {
      const StockRecord& r = *store.stocks[i];
      EXPECT_EQ(r.Name(), before[i].Name());
      EXPECT_EQ(r.Symbol(), before[i].Symbol());
      EXPECT_EQ(r.ucPortfolio, before[i].ucPortfolio);
      EXPECT_EQ(r.ucStatus, before[i].ucStatus);
      EXPECT_EQ(DayStart(r.tBuyDate), before[i].tBuyDate);
      EXPECT_EQ(DayStart(r.tSellDate), before[i].tSellDate);
      // The current price of an active stock is not read back: the buy price stands for it.
      for (auto field :
           {&StockRecord::szShares, &StockRecord::szBuyPrice, &StockRecord::szBuyFee,
            i == 0 ? &StockRecord::szBuyPrice : &StockRecord::szPrice, &StockRecord::szSellFee}) {
        EXPECT_DOUBLE_EQ(ParseDecimal(r.*field, kAllPlaces),
                         ParseDecimal(before[i].*field, kAllPlaces));
      }
    }
    EXPECT_EQ(store.wPortfolioCount, 2);
  }
}

}  // namespace
}  // namespace quillet
