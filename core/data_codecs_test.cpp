// The codecs on their own, as the desktop's code uses them: no store, no files, no messages.
// (The golden files of the layout tables are checked through the store in data_files_test.)
#include "core/data_codecs.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/chart_points.h"

namespace quillet {
namespace {

std::string Word(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }

TEST(DataCodecs, StockFileShapes) {
  EXPECT_FALSE(DecodeStockFile("").header);
  EXPECT_TRUE(DecodeStockFile(std::string(1, 'd')).stocks.empty());
  // Announcing a header it does not hold: nothing at all.
  StockFile shortHeader = DecodeStockFile(Word(100) + std::string(1000, '\0'));
  EXPECT_FALSE(shortHeader.header);
  EXPECT_TRUE(shortHeader.stocks.empty());
  // No version: records from the first byte, a trailing partial one dropped.
  std::string old(264 * 2 + 100, '\0');
  old[0] = 7;        // dwId of the first record
  old[264 + 4] = 3;  // ucPortfolio of the second
  StockFile headerless = DecodeStockFile(old);
  EXPECT_FALSE(headerless.header);
  ASSERT_EQ(headerless.stocks.size(), 2u);
  EXPECT_EQ(headerless.stocks[0].dwId, 7u);
  EXPECT_EQ(headerless.stocks[1].ucPortfolio, 3);
}

TEST(DataCodecs, StockFileRoundTripsByteForByte) {
  StockFileHeader h;
  h.wPortfolioCount = 3;
  std::strcpy(h.szPortfolioName[2], "Europe");
  h.wCurrencyCount = 2;
  std::strcpy(h.currencies[1].szCode, "EUR");
  h.currencies[1].dRate = 1.1;
  h.ucPortfolioCurrency[2] = 1;
  h.dCash[1] = 250.25;
  std::vector<std::unique_ptr<StockRecord>> stocks;
  for (DWORD id : {4u, 9u}) {
    auto r = std::make_unique<StockRecord>();
    std::memset(r.get(), 0, sizeof(StockRecord));
    r->dwId = id;
    std::strcpy(r->szSymbol, "IBM");
    stocks.push_back(std::move(r));
  }
  const std::string bytes = EncodeStockFile(h, stocks);
  ASSERT_EQ(bytes.size(), 1600u + 2 * 264u);
  EXPECT_EQ(bytes.substr(0, 4), Word(100) + Word(3));
  EXPECT_EQ(bytes.substr(516, 2), Word(2));  // the currency count's place in the header
  StockFile back = DecodeStockFile(bytes);
  ASSERT_TRUE(back.header);
  EXPECT_STREQ(back.header->szPortfolioName[2], "Europe");
  EXPECT_DOUBLE_EQ(back.header->dCash[1], 250.25);
  ASSERT_EQ(back.stocks.size(), 2u);
  EXPECT_EQ(back.stocks[1].dwId, 9u);
  std::vector<std::unique_ptr<StockRecord>> again;
  for (const StockRecord& r : back.stocks) again.push_back(std::make_unique<StockRecord>(r));
  EXPECT_EQ(EncodeStockFile(*back.header, again), bytes);
}

TEST(DataCodecs, NotesStopAtALengthPastTheEnd) {
  // One whole note ("hi"), then one that claims 1000 bytes.
  std::string bytes = Word(100);
  bytes += std::string("\x05\0\0\0\x02\0\0\0\0\0\0", 11) + std::string("hi\0", 3);
  bytes += std::string("\x06\0\0\0\xE8\x03\0\0\0\0\0", 11) + "short";
  std::vector<StockNote> notes = DecodeNoteFile(bytes);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].dwStockId, 5u);
  EXPECT_EQ(notes[0].Text(), "hi");
  std::vector<std::unique_ptr<StockNote>> list;
  list.push_back(std::make_unique<StockNote>(notes[0]));
  EXPECT_EQ(EncodeNoteFile(list), bytes.substr(0, 2 + 11 + 3));
  EXPECT_TRUE(DecodeNoteFile(Word(99) + bytes.substr(2)).empty()) << "another version";
}

TEST(DataCodecs, AlertsAndThePreferenceRecord) {
  std::string bytes = Word(100) + std::string(32, '\0') + std::string(20, 'x');
  bytes[2] = 'A';
  std::vector<StockAlert> alerts = DecodeAlertFile(bytes);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_EQ(alerts[0].QuoteSymbol(), "A");

  // A short stored record leaves the rest zero; a long one is cut at 216 bytes.
  PrefRecord r = DecodePrefRecord(Word(100) + Word(0) + Word(0x1234));
  EXPECT_EQ(r.wVersion, 100);
  EXPECT_EQ(r.wKept4, 0x1234);
  EXPECT_EQ(r.wProxyPort, 0);
  std::string longer(300, '\x01');
  EXPECT_EQ(EncodePrefRecord(DecodePrefRecord(longer)), longer.substr(0, 216));
}

TEST(DataCodecs, ChartPointsAreTwentyLittleEndianBytes) {
  std::vector<ChartPoint> points = {{1051848000u, 1234500u, 1200000u, 1250000u, 7u}};
  const std::string bytes = EncodePoints(points);
  ASSERT_EQ(bytes.size(), 20u);
  // 1051848000 = 0x3EB1ED40
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x40\xED\xB1\x3E", 4));
  EXPECT_EQ(DecodePoints(bytes + "xyz", 5).size(), 1u) << "never more than the bytes hold";
  EXPECT_EQ(DecodePoints(bytes, 0).size(), 0u) << "never more than the count says";
  EXPECT_EQ(SignedAmount(ToFixedPoint(-300.6, kPortfolioScale)), -301);
}

}  // namespace
}  // namespace quillet
