// The records of the portfolio, byte for byte as they sit in memory and in the device's data
// files: the 264-byte stock, the note, the 32-byte alert and the 16-byte currency entry. All
// integers are little-endian. Text fields are fixed-width 8-bit ANSI and may arrive without
// their terminator from a damaged or foreign file: read them with FieldText, never with strlen.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/decimal_text.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/win_types.h"

namespace quillet {

// Records are copied whole between memory and files, which are little-endian.
static_assert(std::endian::native == std::endian::little);

inline constexpr int kMaxPortfolios = 32;
inline constexpr int kMaxCurrencies = 31;
inline constexpr WORD PORTFOLIO_ALL = 255;
// The conversion context that leaves amounts in their own currency.
inline constexpr WORD kNoConversion = 0xFFFF;

enum StockStatus : BYTE { kStatusActive = 0, kStatusWatched = 1, kStatusSold = 2 };
enum StockTrend : BYTE {
  kTrendNoQuote = 0,
  kTrendUnchanged = 1,
  kTrendUp = 2,
  kTrendDown = 3,
  kTrendNotUpdated = 4
};
inline constexpr BYTE kFlagChartHistory = 0x01;
inline constexpr BYTE kFlagShort = 0x02;

struct StockRecord {
  DWORD dwId;
  BYTE ucPortfolio;
  BYTE ucStatus;
  BYTE ucMarket;
  BYTE ucTrend;
  BYTE ucFlags;
  BYTE reserved1[3];
  StockTime tBuyDate;
  StockTime tSellDate;
  StockTime tQuoteTime;
  char szName[20];
  char szSymbol[16];
  DecimalText szShares;
  DecimalText szBuyPrice;
  DecimalText szBuyFee;
  DecimalText szPrice;
  DecimalText szSellFee;
  DecimalText szDividend;
  DecimalText szChange;
  DecimalText szDayLow;
  DecimalText szDayHigh;
  DecimalText szVolume;
  DecimalText szPrevClose;
  DecimalText szBid;
  DecimalText szAsk;
  DecimalText sz52WeekLow;
  DecimalText sz52WeekHigh;
  BYTE reserved2[24];

  std::string_view Name() const { return FieldText(szName); }
  std::string_view Symbol() const { return FieldText(szSymbol); }
  bool IsSold() const { return ucStatus == kStatusSold; }
  bool IsWatched() const { return ucStatus == kStatusWatched; }
};

static_assert(sizeof(StockRecord) == 264);
static_assert(offsetof(StockRecord, dwId) == 0);
static_assert(offsetof(StockRecord, ucPortfolio) == 4);
static_assert(offsetof(StockRecord, ucStatus) == 5);
static_assert(offsetof(StockRecord, ucMarket) == 6);
static_assert(offsetof(StockRecord, ucTrend) == 7);
static_assert(offsetof(StockRecord, ucFlags) == 8);
static_assert(offsetof(StockRecord, tBuyDate) == 12);
static_assert(offsetof(StockRecord, tSellDate) == 16);
static_assert(offsetof(StockRecord, tQuoteTime) == 20);
static_assert(offsetof(StockRecord, szName) == 24);
static_assert(offsetof(StockRecord, szSymbol) == 44);
static_assert(offsetof(StockRecord, szShares) == 60);
static_assert(offsetof(StockRecord, szBuyPrice) == 72);
static_assert(offsetof(StockRecord, szBuyFee) == 84);
static_assert(offsetof(StockRecord, szPrice) == 96);
static_assert(offsetof(StockRecord, szSellFee) == 108);
static_assert(offsetof(StockRecord, szDividend) == 120);
static_assert(offsetof(StockRecord, szChange) == 132);
static_assert(offsetof(StockRecord, szDayLow) == 144);
static_assert(offsetof(StockRecord, szDayHigh) == 156);
static_assert(offsetof(StockRecord, szVolume) == 168);
static_assert(offsetof(StockRecord, szPrevClose) == 180);
static_assert(offsetof(StockRecord, szBid) == 192);
static_assert(offsetof(StockRecord, szAsk) == 204);
static_assert(offsetof(StockRecord, sz52WeekLow) == 216);
static_assert(offsetof(StockRecord, sz52WeekHigh) == 228);
static_assert(offsetof(StockRecord, reserved2) == 240);

// The fixed front of a note as it sits in the note file: 12 bytes whose last byte is already
// the first byte of the text.
struct StockNoteHeader {
  DWORD dwStockId;
  DWORD dwLength;
  BYTE reserved[3];
  char szText[1];
};
static_assert(sizeof(StockNoteHeader) == 12);
static_assert(offsetof(StockNoteHeader, dwLength) == 4);
static_assert(offsetof(StockNoteHeader, reserved) == 8);
static_assert(offsetof(StockNoteHeader, szText) == 11);

// A note in memory. Its stored form is the 11 header bytes followed by `szText`, which holds
// the dwLength text bytes and the byte after them (the terminator), 12 + dwLength bytes in
// all; `szText` keeps what was read so a file saves back unchanged.
struct StockNote {
  DWORD dwStockId = 0;
  DWORD dwLength = 0;
  BYTE reserved[3] = {};
  std::string szText;  // dwLength + 1 bytes

  // The text up to its terminator, never past dwLength characters.
  std::string_view Text() const {
    std::size_t n = szText.size() < dwLength ? szText.size() : dwLength;
    return FieldText(szText.data(), n);
  }
  std::size_t StoredSize() const { return 12 + static_cast<std::size_t>(dwLength); }
};

struct StockAlert {
  char szQuoteSymbol[16];
  BYTE ucMarket;
  BYTE ucCondition;
  BYTE ucCompare;
  BYTE reserved[5];
  double dThreshold;

  std::string_view QuoteSymbol() const { return FieldText(szQuoteSymbol); }
};
static_assert(sizeof(StockAlert) == 32);
static_assert(offsetof(StockAlert, ucMarket) == 16);
static_assert(offsetof(StockAlert, ucCondition) == 17);
static_assert(offsetof(StockAlert, ucCompare) == 18);
static_assert(offsetof(StockAlert, dThreshold) == 24);

struct CurrencyEntry {
  char szCode[8];
  double dRate;

  std::string_view Code() const { return FieldText(szCode); }
};
static_assert(sizeof(CurrencyEntry) == 16);
static_assert(offsetof(CurrencyEntry, dRate) == 8);

}  // namespace quillet
