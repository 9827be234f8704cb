// The three data files, against bytes built by hand from the layout tables.
#include "core/data_files.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/messages.h"
#include "core/portfolio_math.h"
#include "core/portfolio_store.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using quillet::testing::TestRoot;

std::string U16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string U32(std::uint32_t v) {
  std::string s;
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return s;
}
std::string F64(double d) {
  std::uint64_t bits;
  std::memcpy(&bits, &d, 8);
  std::string s;
  for (int i = 0; i < 8; ++i) s.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
  return s;
}
std::string Field(std::string_view text, std::size_t width) {
  std::string s(text);
  s.resize(width, '\0');
  return s;
}

// A stock record, field by field at the offsets of the layout.
std::string StockBytes(std::uint32_t id, int portfolio, int status, int market, std::string name,
                       std::string symbol, std::string shares, std::string buyPrice,
                       std::string price = "", std::uint32_t buyDate = 1000000000) {
  std::string r;
  r += U32(id);                                     // 0 dwId
  r.push_back(static_cast<char>(portfolio));        // 4 ucPortfolio
  r.push_back(static_cast<char>(status));           // 5 ucStatus
  r.push_back(static_cast<char>(market));           // 6 ucMarket
  r.push_back(4);                                   // 7 ucTrend
  r.push_back(1);                                   // 8 ucFlags
  r += std::string(3, '\0');                        // 9
  r += U32(buyDate);                                // 12 tBuyDate
  r += U32(0);                                      // 16 tSellDate
  r += U32(0);                                      // 20 tQuoteTime
  r += Field(name, 20);                             // 24 szName
  r += Field(symbol, 16);                           // 44 szSymbol
  r += Field(shares, 12);                           // 60 szShares
  r += Field(buyPrice, 12);                         // 72 szBuyPrice
  r += Field("", 12);                               // 84 szBuyFee
  r += Field(price, 12);                            // 96 szPrice
  for (int i = 0; i < 11; ++i) r += Field("", 12);  // 108 .. 239
  r += std::string(24, '\0');                       // 240
  EXPECT_EQ(r.size(), 264u);
  return r;
}

struct Header {
  unsigned portfolioCount = 3;
  std::vector<std::string> names = {"Unfiled", "NASDAQ", "Europe"};
  unsigned currencyCount = 2;
  std::vector<std::pair<std::string, double>> currencies = {{"USD", 1.0}, {"EUR", 1.1}};
  std::vector<int> portfolioCurrency = {0, 0, 1};
  double lastProfit2 = -12.5;
  double cash1 = 250.25;
};

std::string HeaderBytes(const Header& h) {
  std::string b = U16(100) + U16(h.portfolioCount);
  for (int i = 0; i < 32; ++i)
    b += Field(i < static_cast<int>(h.names.size()) ? h.names[i] : "", 16);
  b += U16(h.currencyCount) + U16(0);
  for (int i = 0; i < 31; ++i) {
    if (i < static_cast<int>(h.currencies.size())) {
      b += Field(h.currencies[i].first, 8) + F64(h.currencies[i].second);
    } else {
      b += std::string(16, '\0');
    }
  }
  for (int i = 0; i < 32; ++i) {
    b.push_back(static_cast<char>(
        i < static_cast<int>(h.portfolioCurrency.size()) ? h.portfolioCurrency[i] : 0));
  }
  for (int i = 0; i < 32; ++i) b += F64(i == 2 ? h.lastProfit2 : 0.0);
  for (int i = 0; i < 32; ++i) b += F64(i == 1 ? h.cash1 : 0.0);
  b += std::string(40, '\0');
  EXPECT_EQ(b.size(), 1600u);
  return b;
}

std::string NoteBytes(std::uint32_t id, std::string_view text) {
  return U32(id) + U32(static_cast<std::uint32_t>(text.size())) + std::string(3, '\0') +
         std::string(text) + std::string(1, '\0');
}

std::string AlertBytes(std::string symbol, int market, int condition, int compare, double t) {
  std::string a = Field(symbol, 16);
  a.push_back(static_cast<char>(market));
  a.push_back(static_cast<char>(condition));
  a.push_back(static_cast<char>(compare));
  a += std::string(5, '\0') + F64(t);
  EXPECT_EQ(a.size(), 32u);
  return a;
}

class DataFiles : public ::testing::Test {
 protected:
  std::string Path(const char* name) {
    return *root.ctx->HostPath(std::string("\\Program Files\\Quillet\\") + name);
  }
  void Write(const char* name, const std::string& bytes) {
    ASSERT_EQ(root.host.files().CreateFolders(*root.ctx->HostPath("\\Program Files\\Quillet")), 0);
    ASSERT_EQ(root.host.files().WriteAll(Path(name), bytes), 0);
  }
  std::string Read(const char* name) {
    std::string bytes;
    EXPECT_EQ(root.host.files().ReadAll(Path(name), &bytes), 0);
    return bytes;
  }
  TestRoot root;
  PortfolioStore store{*root.ctx};
};

TEST_F(DataFiles, GoldenFilesLoadIntoTheStoreAndSaveBackIdentically) {
  const std::string stocks = HeaderBytes(Header{}) +
                             StockBytes(7, 1, 0, 1, "Microsoft", "MSFT", "100", "25.5", "30") +
                             StockBytes(3, 2, 2, 19, "Total", "FP", "10.5", "40");
  const std::string notes = U16(100) + NoteBytes(7, "buy more") + NoteBytes(3, "x");
  const std::string alerts =
      U16(100) + AlertBytes("MSFT.TO", 1, 0, 4, 31.5) + AlertBytes("FP.PA", 19, 2, 1, -5);
  Write("QuilletDB", stocks);
  Write("StockNoteDB", notes);
  Write("StockAlertDB", alerts);

  ASSERT_TRUE(LoadStocks(store));
  ASSERT_TRUE(LoadNotes(store));
  ASSERT_TRUE(LoadAlerts(store));
  ASSERT_EQ(store.stocks.size(), 2u);
  EXPECT_EQ(store.stocks[0]->dwId, 7u);
  EXPECT_EQ(store.stocks[0]->Name(), "Microsoft");
  EXPECT_EQ(store.stocks[1]->ucStatus, kStatusSold);
  EXPECT_EQ(store.dwMaxStockId, 7u);
  EXPECT_EQ(store.wPortfolioCount, 3);
  EXPECT_EQ(store.PortfolioName(2), "Europe");
  EXPECT_EQ(store.wCurrencyCount, 2);
  EXPECT_EQ(store.CurrencyCode(1), "EUR");
  EXPECT_DOUBLE_EQ(store.currencies[1].dRate, 1.1);
  EXPECT_EQ(store.ucPortfolioCurrency[2], 1);
  EXPECT_DOUBLE_EQ(store.dCash[1], 250.25);
  EXPECT_DOUBLE_EQ(store.dLastUpdateProfit[2], -12.5);
  ASSERT_EQ(store.notes.size(), 2u);
  EXPECT_EQ(store.notes[0]->Text(), "buy more");
  EXPECT_EQ(store.FindNote(3)->Text(), "x");
  ASSERT_EQ(store.alerts.size(), 2u);
  EXPECT_EQ(store.alerts[0]->QuoteSymbol(), "MSFT.TO");
  EXPECT_DOUBLE_EQ(store.alerts[1]->dThreshold, -5);

  root.host.files().Delete(Path("QuilletDB"));
  root.host.files().Delete(Path("StockNoteDB"));
  root.host.files().Delete(Path("StockAlertDB"));
  ASSERT_TRUE(SaveStocks(store));
  ASSERT_TRUE(SaveNotes(store));
  ASSERT_TRUE(SaveAlerts(store));
  EXPECT_EQ(Read("QuilletDB"), stocks);
  EXPECT_EQ(Read("StockNoteDB"), notes);
  EXPECT_EQ(Read("StockAlertDB"), alerts);
  EXPECT_FALSE(root.host.files().Exists(Path("QuilletDB.tmp")));
  EXPECT_FALSE(root.host.files().Exists(Path("StockNoteDB.tmp")));
}

TEST_F(DataFiles, MissingEmptyAndShortFilesGiveAnEmptyPortfolio) {
  EXPECT_TRUE(LoadStocks(store));
  EXPECT_TRUE(LoadNotes(store));
  EXPECT_TRUE(LoadAlerts(store));
  EXPECT_TRUE(store.stocks.empty());

  Write("QuilletDB", "");
  EXPECT_TRUE(LoadStocks(store));
  Write("QuilletDB", "d");
  EXPECT_TRUE(LoadStocks(store));
  // A header cut short: nothing from it, defaults kept.
  Write("QuilletDB", HeaderBytes(Header{}).substr(0, 1599));
  EXPECT_TRUE(LoadStocks(store));
  EXPECT_TRUE(store.stocks.empty());
  EXPECT_EQ(store.wPortfolioCount, 2);
  EXPECT_EQ(store.dwMaxStockId, 0u);
  // Note and alert files of another version load nothing.
  Write("StockNoteDB", U16(101) + NoteBytes(1, "a"));
  Write("StockAlertDB", U16(99) + AlertBytes("A", 0, 0, 0, 1));
  EXPECT_TRUE(LoadNotes(store));
  EXPECT_TRUE(LoadAlerts(store));
  EXPECT_TRUE(store.notes.empty());
  EXPECT_TRUE(store.alerts.empty());
  EXPECT_TRUE(root.answers.shown().empty());
}

TEST_F(DataFiles, TrailingPartialRecordsAreIgnored) {
  Write("QuilletDB", HeaderBytes(Header{}) + StockBytes(1, 0, 0, 0, "A", "A", "1", "1") +
                         StockBytes(2, 0, 0, 0, "B", "B", "1", "1") + std::string(100, 'x'));
  Write("StockAlertDB", U16(100) + AlertBytes("A", 0, 0, 0, 1) + std::string(31, 'y'));
  Write("StockNoteDB", U16(100) + NoteBytes(1, "abc") + std::string(11, 'z'));
  ASSERT_TRUE(LoadStocks(store));
  ASSERT_TRUE(LoadNotes(store));
  ASSERT_TRUE(LoadAlerts(store));
  EXPECT_EQ(store.stocks.size(), 2u);
  EXPECT_EQ(store.notes.size(), 1u);
  EXPECT_EQ(store.alerts.size(), 1u);
}

TEST_F(DataFiles, AHeaderlessOldFileIsReadAsRecordsFromTheStart) {
  Write("QuilletDB", StockBytes(5, 1, 0, 0, "Old", "OLD", "3", "4") +
                         StockBytes(9, 0, 1, 0, "Older", "OLDR", "", ""));
  ASSERT_TRUE(LoadStocks(store));
  ASSERT_EQ(store.stocks.size(), 2u);
  EXPECT_EQ(store.stocks[0]->Symbol(), "OLD");
  EXPECT_EQ(store.dwMaxStockId, 9u);
  EXPECT_EQ(store.PortfolioName(1), "NASDAQ");  // header fields keep their defaults
  // The next new stock continues after the largest id in the file.
  EXPECT_EQ(store.NewStock()->dwId, 10u);
}

TEST_F(DataFiles, IndexesFromTheFileAreBroughtIntoRange) {
  Header h;
  h.portfolioCount = 300;
  h.currencyCount = 0;
  h.portfolioCurrency = {0, 40, 1};
  std::string stock = StockBytes(1, 45, 0, 0, "Far", "FAR", "1", "1");
  Write("QuilletDB", HeaderBytes(h) + stock);
  ASSERT_TRUE(LoadStocks(store));
  EXPECT_EQ(store.wPortfolioCount, 32);
  EXPECT_EQ(store.wCurrencyCount, 1);
  EXPECT_EQ(store.ucPortfolioCurrency[1], 0);
  EXPECT_EQ(store.ucPortfolioCurrency[2], 0);  // currency 1 is beyond a count of 1
  // The stored portfolio number stays, even past the 32 portfolios: nothing indexes with it
  // unchecked.
  EXPECT_EQ(store.stocks[0]->ucPortfolio, 45);

  h.portfolioCount = 0;
  PortfolioStore other(*root.ctx);
  Write("QuilletDB", HeaderBytes(h) + StockBytes(1, 1, 0, 0, "A", "A", "1", "1"));
  other.wViewPortfolio = 5;
  ASSERT_TRUE(LoadStocks(other));
  EXPECT_EQ(other.wPortfolioCount, 1);
  EXPECT_EQ(other.stocks[0]->ucPortfolio, 1);
  EXPECT_EQ(other.wViewPortfolio, PORTFOLIO_ALL);
  EXPECT_EQ(other.wNewStockPortfolio, 0);
}

TEST_F(DataFiles, APortfolioNumberPastTheCountIsKeptThroughEverySave) {
  // Another writer's file: three portfolios, a stock filed under portfolio 7 and one under 40.
  Header h;
  Write("QuilletDB", HeaderBytes(h) + StockBytes(1, 7, 0, 0, "Seven", "SVN", "2", "10", "12") +
                         StockBytes(2, 40, 0, 0, "Forty", "FRT", "1", "5", "6") +
                         StockBytes(3, 1, 0, 0, "Nasdaq", "NDQ", "1", "1", "1"));
  ASSERT_TRUE(LoadStocks(store));
  ASSERT_EQ(store.stocks.size(), 3u);
  // "All" shows them; no portfolio's own view does.
  int inAll = 0, unfiled = 0;
  for (const auto& r : store.stocks) {
    inAll += ViewFilter{PORTFOLIO_ALL, false}.Contains(*r);
    unfiled += ViewFilter{0, false}.Contains(*r);
  }
  EXPECT_EQ(inAll, 3);
  EXPECT_EQ(unfiled, 0);
  // Their figures are in the base currency and count in the totals of "All".
  EXPECT_DOUBLE_EQ(ComputeTotals(store, PORTFOLIO_ALL, false).cost, 2 * 10 + 5 + 1);
  SnapshotLastUpdateProfit(store);  // indexes the 32-entry table by portfolio: 40 is skipped
  EXPECT_EQ(store.dLastUpdateProfit[7], 4);

  ASSERT_TRUE(SaveStocks(store));
  const std::string saved = Read("QuilletDB");
  ASSERT_EQ(saved.size(), 1600u + 3 * 264u);
  EXPECT_EQ(saved[1600 + 4], 7) << "the stored byte, not 0";
  EXPECT_EQ(saved[1600 + 264 + 4], 40);
  PortfolioStore again(*root.ctx);
  ASSERT_TRUE(LoadStocks(again));
  EXPECT_EQ(again.stocks[0]->ucPortfolio, 7);
}

TEST_F(DataFiles, TextFieldsWithoutTerminatorAreReadWithinTheirField) {
  Header h;
  h.names = {"Unfiled", "ABCDEFGHIJKLMNOP"};  // 16 characters, no terminator
  std::string stock = StockBytes(1, 1, 0, 0, "NNNNNNNNNNNNNNNNNNNN", "SSSSSSSSSSSSSSSS",
                                 "123456789012", "1");  // every field full to the brim
  Write("QuilletDB", HeaderBytes(h) + stock);
  ASSERT_TRUE(LoadStocks(store));
  EXPECT_EQ(store.PortfolioName(1), "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(store.stocks[0]->Name().size(), 20u);
  EXPECT_EQ(store.stocks[0]->Symbol(), "SSSSSSSSSSSSSSSS");
  EXPECT_DOUBLE_EQ(StockValue(store, *store.stocks[0], kValueCost, kNoConversion), 123456789012.0);
  FormatStockValue(store, *store.stocks[0], kValueProfit, PORTFOLIO_ALL);
  SortStocks(store, kSortSymbol, false, true);
}

TEST_F(DataFiles, ANoteLongerThanTheRestOfTheFileEndsTheReading) {
  // A length past the end, and one so large that length + 12 wraps in 32 bits.
  Write("StockNoteDB", U16(100) + NoteBytes(1, "ok") + U32(2) + U32(1000) + "abc");
  ASSERT_TRUE(LoadNotes(store));
  ASSERT_EQ(store.notes.size(), 1u);
  EXPECT_EQ(store.notes[0]->Text(), "ok");

  PortfolioStore other(*root.ctx);
  Write("StockNoteDB", U16(100) + U32(2) + U32(0xFFFFFFF8u) + std::string(40, 'q'));
  ASSERT_TRUE(LoadNotes(other));
  EXPECT_TRUE(other.notes.empty());
  EXPECT_TRUE(root.answers.shown().empty());
}

TEST_F(DataFiles, AnAllocationFailureIsReportedAndTheReaderStaysInStep) {
  Write("QuilletDB", HeaderBytes(Header{}) + StockBytes(1, 0, 0, 0, "A", "A", "1", "1") +
                         StockBytes(2, 0, 0, 0, "B", "B", "1", "1"));
  Write("StockNoteDB", U16(100) + NoteBytes(1, "first") + NoteBytes(2, "second"));
  store.InjectAllocationFailure(0);
  EXPECT_FALSE(LoadStocks(store));
  ASSERT_EQ(store.stocks.size(), 1u);
  EXPECT_EQ(store.stocks[0]->dwId, 2u);
  store.InjectAllocationFailure(0);
  EXPECT_FALSE(LoadNotes(store));
  ASSERT_EQ(store.notes.size(), 1u);
  EXPECT_EQ(store.notes[0]->Text(), "second");
  EXPECT_EQ(root.answers.texts(),
            (std::vector<std::string>{text::kNoMemoryStocks, text::kNoMemoryNotes}));
  EXPECT_EQ(root.answers.shown()[0].flags & MB_ICONMASK, MB_ICONSTOP);
}

TEST_F(DataFiles, AFileThatExistsButCannotBeReadStopsTheStart) {
  Write("QuilletDB", HeaderBytes(Header{}));
  FaultInjectingFileSystem faulty(root.host.files());
  faulty.FailOn(FaultInjectingFileSystem::Op::kOpen, "QuilletDB", 0, ERROR_ACCESS_DENIED);
  root.ctx->SetFiles(&faulty);
  EXPECT_FALSE(LoadStocks(store));
  EXPECT_EQ(root.answers.texts(), std::vector<std::string>{text::kCannotReadStocks});
  root.ctx->SetFiles(nullptr);
}

// The desktop's write-back moves the old stock file to "QuilletDB.old" before it moves the new
// one in; stopped between the two, it leaves only the old file aside. The program takes it back
// instead of starting empty (and saving the empty list over it); a file in place wins.
TEST_F(DataFiles, AStockFileLeftAsideByAnInterruptedReplacementIsTakenBack) {
  const std::string old = HeaderBytes(Header{}) + StockBytes(5, 0, 0, 0, "Kept", "K", "1", "2");
  Write("QuilletDB.old", old);
  ASSERT_TRUE(LoadStocks(store));
  ASSERT_EQ(store.stocks.size(), 1u);
  EXPECT_EQ(store.stocks[0]->Name(), "Kept");
  EXPECT_EQ(Read("QuilletDB"), old);
  EXPECT_FALSE(root.host.files().Exists(Path("QuilletDB.old")));

  Write("QuilletDB.old", HeaderBytes(Header{}));
  PortfolioStore again{*root.ctx};
  ASSERT_TRUE(LoadStocks(again));
  EXPECT_EQ(again.stocks.size(), 1u) << "the file in place is the one read";
  EXPECT_EQ(Read("QuilletDB"), old);
  EXPECT_TRUE(root.answers.shown().empty());
}

TEST_F(DataFiles, SavingCreatesTheFoldersWhenMissing) {
  ASSERT_NE(store.NewStock(), nullptr);
  ASSERT_TRUE(SaveStocks(store));
  EXPECT_EQ(Read("QuilletDB").size(), 1600u + 264u);
  ASSERT_TRUE(store.SetNote(1, u"n"));
  ASSERT_TRUE(SaveNotes(store));
  EXPECT_EQ(Read("StockNoteDB"), U16(100) + NoteBytes(1, "n"));
}

// Every failure point of a save (create, write part way, close, rename) leaves the previous file
// byte for byte, for all three files.
TEST_F(DataFiles, AFailedSaveKeepsThePreviousFile) {
  const std::string oldStocks = HeaderBytes(Header{}) + StockBytes(1, 0, 0, 0, "A", "A", "1", "1");
  const std::string oldNotes = U16(100) + NoteBytes(1, "old note");
  const std::string oldAlerts = U16(100) + AlertBytes("A", 0, 0, 0, 1);
  Write("QuilletDB", oldStocks);
  Write("StockNoteDB", oldNotes);
  Write("StockAlertDB", oldAlerts);
  ASSERT_TRUE(LoadStocks(store) && LoadNotes(store) && LoadAlerts(store));
  for (int i = 0; i < 40; ++i) ASSERT_NE(store.NewStock(), nullptr);
  ASSERT_TRUE(store.SetNote(1, std::u16string(5000, u'n')));
  store.alerts.push_back(std::make_unique<StockAlert>(*store.alerts[0]));

  FaultInjectingFileSystem faulty(root.host.files());
  root.ctx->SetFiles(&faulty);
  using Op = FaultInjectingFileSystem::Op;
  for (const char* file : {"QuilletDB", "StockNoteDB", "StockAlertDB"}) {
    std::string tmp = std::string(file) + ".tmp";
    std::vector<std::function<void()>> faults = {
        [&] { faulty.FailOn(Op::kCreate, tmp, 0, ERROR_ACCESS_DENIED, true); },
        [&] { faulty.FailWritesAfter(tmp, 10); },
        [&] { faulty.FailOn(Op::kRename, file); },
    };
    for (auto& arm : faults) {
      faulty.Clear();
      root.answers.ClearShown();
      arm();
      bool saved = std::string(file) == "QuilletDB"     ? SaveStocks(store)
                   : std::string(file) == "StockNoteDB" ? SaveNotes(store)
                                                        : SaveAlerts(store);
      EXPECT_FALSE(saved) << file;
      ASSERT_EQ(root.answers.shown().size(), 1u) << file;
      EXPECT_EQ(root.answers.shown()[0].text, std::string(file) == "QuilletDB"
                                                  ? text::kCannotSaveStocks
                                                  : text::kCannotSaveNotes);
    }
  }
  root.ctx->SetFiles(nullptr);
  EXPECT_EQ(Read("QuilletDB"), oldStocks);
  EXPECT_EQ(Read("StockNoteDB"), oldNotes);
  EXPECT_EQ(Read("StockAlertDB"), oldAlerts);
  // And the next save goes through.
  EXPECT_TRUE(SaveStocks(store));
  EXPECT_EQ(Read("QuilletDB").size(), 1600u + 41u * 264u);
}

}  // namespace
}  // namespace quillet
