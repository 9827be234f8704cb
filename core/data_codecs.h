// The stored forms of the handheld's data, as pure functions over bytes: the three data files
// ("QuilletDB", "StockNoteDB", "StockAlertDB"), the 216-byte preference record and the points of
// a price-history series. The handheld's store, the desktop's run, backup, restore and CSV code
// all read and write through these, so there is one reader of each format; none of them shows
// anything or touches a file.
//
// Every byte decoded is untrusted: nothing is read past the bytes given, and a length taken from
// the bytes is checked against what they hold before it is used. Indexes inside the records
// (portfolio and currency numbers) are left as stored; bringing them into range is the caller's
// business.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/pref_record.h"
#include "core/stock_records.h"

namespace quillet {

inline constexpr WORD kDataFileVersion = 100;
inline constexpr std::size_t kStockFileHeaderSize = 1600;
inline constexpr std::size_t kNoteHeaderSize = 12;  // the 11 header bytes and the terminator

// The header of "QuilletDB": the portfolio and currency tables.
struct StockFileHeader {
  WORD wPortfolioCount = 0;
  char szPortfolioName[kMaxPortfolios][16] = {};
  WORD wCurrencyCount = 0;
  CurrencyEntry currencies[kMaxCurrencies] = {};
  BYTE ucPortfolioCurrency[kMaxPortfolios] = {};
  double dLastUpdateProfit[kMaxPortfolios] = {};
  double dCash[kMaxPortfolios] = {};
};

struct StockFile {
  // None for a file without one: an old file that starts with its records, or a file that
  // announces a header but is shorter than it (then there are no records either).
  std::optional<StockFileHeader> header;
  std::vector<StockRecord> stocks;  // whole records only; a trailing partial one is dropped
};

// Fewer than 2 bytes: an empty file. A first word of 100: the header, then the records. Any
// other first word: a file from before the header existed, records from the first byte.
StockFile DecodeStockFile(std::string_view bytes);
std::string EncodeStockFile(const StockFileHeader& header,
                            const std::vector<std::unique_ptr<StockRecord>>& stocks);

// "StockNoteDB": the version, then per note 11 header bytes, the text and its terminator. A
// file that does not start with the version holds no notes; a note whose length runs past the
// end of the bytes ends the reading there.
std::vector<StockNote> DecodeNoteFile(std::string_view bytes);
std::string EncodeNoteFile(const std::vector<std::unique_ptr<StockNote>>& notes);

// "StockAlertDB": the version, then 32-byte alerts; the same rules as the notes.
std::vector<StockAlert> DecodeAlertFile(std::string_view bytes);
std::string EncodeAlertFile(const std::vector<std::unique_ptr<StockAlert>>& alerts);

// The preference record: bytes beyond 216 are ignored, a shorter value leaves the rest zero.
PrefRecord DecodePrefRecord(std::string_view bytes);
std::string EncodePrefRecord(const PrefRecord& record);

}  // namespace quillet
