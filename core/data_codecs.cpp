#include "core/data_codecs.h"

#include <algorithm>
#include <cstring>

namespace quillet {
namespace {

// Offsets of the stock file header.
constexpr std::size_t kOffPortfolioCount = 2;
constexpr std::size_t kOffPortfolioNames = 4;
constexpr std::size_t kOffCurrencyCount = 516;
constexpr std::size_t kOffCurrencies = 520;
constexpr std::size_t kOffPortfolioCurrency = 1016;
constexpr std::size_t kOffLastUpdateProfit = 1048;
constexpr std::size_t kOffCash = 1304;
static_assert(kOffPortfolioNames + kMaxPortfolios * 16 == kOffCurrencyCount);
static_assert(kOffCurrencies + kMaxCurrencies * sizeof(CurrencyEntry) == kOffPortfolioCurrency);
static_assert(kOffCash + kMaxPortfolios * sizeof(double) + 40 == kStockFileHeaderSize);
static_assert(sizeof(StockFileHeader::szPortfolioName) == kMaxPortfolios * 16);

WORD ReadWord(const char* p) {
  return static_cast<WORD>(static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1])
                                                                  << 8);
}

void PutWord(char* p, WORD v) {
  p[0] = static_cast<char>(v & 0xFF);
  p[1] = static_cast<char>(v >> 8);
}

bool StartsWithVersion(std::string_view bytes) {
  return bytes.size() >= 2 && ReadWord(bytes.data()) == kDataFileVersion;
}

}  // namespace

StockFile DecodeStockFile(std::string_view bytes) {
  StockFile file;
  if (bytes.size() < 2) return file;
  std::size_t at = 0;
  if (StartsWithVersion(bytes)) {
    if (bytes.size() < kStockFileHeaderSize) return file;
    const char* h = bytes.data();
    StockFileHeader& header = file.header.emplace();
    header.wPortfolioCount = ReadWord(h + kOffPortfolioCount);
    std::memcpy(header.szPortfolioName, h + kOffPortfolioNames, sizeof header.szPortfolioName);
    header.wCurrencyCount = ReadWord(h + kOffCurrencyCount);
    std::memcpy(header.currencies, h + kOffCurrencies, sizeof header.currencies);
    std::memcpy(header.ucPortfolioCurrency, h + kOffPortfolioCurrency,
                sizeof header.ucPortfolioCurrency);
    std::memcpy(header.dLastUpdateProfit, h + kOffLastUpdateProfit,
                sizeof header.dLastUpdateProfit);
    std::memcpy(header.dCash, h + kOffCash, sizeof header.dCash);
    at = kStockFileHeaderSize;
  }
  const std::size_t count = (bytes.size() - at) / sizeof(StockRecord);
  file.stocks.resize(count);
  if (count > 0) std::memcpy(file.stocks.data(), bytes.data() + at, count * sizeof(StockRecord));
  return file;
}

std::string EncodeStockFile(const StockFileHeader& header,
                            const std::vector<std::unique_ptr<StockRecord>>& stocks) {
  std::string bytes(kStockFileHeaderSize + stocks.size() * sizeof(StockRecord), '\0');
  char* h = bytes.data();
  PutWord(h, kDataFileVersion);
  PutWord(h + kOffPortfolioCount, header.wPortfolioCount);
  std::memcpy(h + kOffPortfolioNames, header.szPortfolioName, sizeof header.szPortfolioName);
  PutWord(h + kOffCurrencyCount, header.wCurrencyCount);
  std::memcpy(h + kOffCurrencies, header.currencies, sizeof header.currencies);
  std::memcpy(h + kOffPortfolioCurrency, header.ucPortfolioCurrency,
              sizeof header.ucPortfolioCurrency);
  std::memcpy(h + kOffLastUpdateProfit, header.dLastUpdateProfit, sizeof header.dLastUpdateProfit);
  std::memcpy(h + kOffCash, header.dCash, sizeof header.dCash);
  char* out = h + kStockFileHeaderSize;
  for (const auto& s : stocks) {
    std::memcpy(out, s.get(), sizeof(StockRecord));
    out += sizeof(StockRecord);
  }
  return bytes;
}

std::vector<StockNote> DecodeNoteFile(std::string_view bytes) {
  std::vector<StockNote> notes;
  if (!StartsWithVersion(bytes)) return notes;
  std::size_t at = 2;
  while (bytes.size() - at >= kNoteHeaderSize) {
    StockNoteHeader header;
    std::memcpy(&header, bytes.data() + at, kNoteHeaderSize);
    // The length comes from the file: a note that does not fit in what is left ends the
    // reading like a partial record, before anything is allocated for it.
    const std::size_t left = bytes.size() - at - kNoteHeaderSize;
    if (header.dwLength > left) break;
    StockNote& note = notes.emplace_back();
    note.dwStockId = header.dwStockId;
    note.dwLength = header.dwLength;
    std::memcpy(note.reserved, header.reserved, sizeof note.reserved);
    note.szText.assign(bytes.data() + at + kNoteHeaderSize - 1,
                       static_cast<std::size_t>(header.dwLength) + 1);
    at += kNoteHeaderSize + header.dwLength;
  }
  return notes;
}

std::string EncodeNoteFile(const std::vector<std::unique_ptr<StockNote>>& notes) {
  std::size_t size = 2;
  for (const auto& n : notes) size += n->StoredSize();
  std::string bytes;
  bytes.reserve(size);
  bytes.append(2, '\0');
  PutWord(bytes.data(), kDataFileVersion);
  for (const auto& n : notes) {
    StockNoteHeader header{};
    header.dwStockId = n->dwStockId;
    header.dwLength = n->dwLength;
    std::memcpy(header.reserved, n->reserved, sizeof header.reserved);
    bytes.append(reinterpret_cast<const char*>(&header), kNoteHeaderSize - 1);
    // The text and its terminator: exactly dwLength + 1 bytes whatever the buffer holds.
    std::string_view body(n->szText);
    body = body.substr(0, static_cast<std::size_t>(n->dwLength) + 1);
    bytes.append(body);
    bytes.append(static_cast<std::size_t>(n->dwLength) + 1 - body.size(), '\0');
  }
  return bytes;
}

std::vector<StockAlert> DecodeAlertFile(std::string_view bytes) {
  std::vector<StockAlert> alerts;
  if (!StartsWithVersion(bytes)) return alerts;
  const std::size_t count = (bytes.size() - 2) / sizeof(StockAlert);
  alerts.resize(count);
  if (count > 0) std::memcpy(alerts.data(), bytes.data() + 2, count * sizeof(StockAlert));
  return alerts;
}

std::string EncodeAlertFile(const std::vector<std::unique_ptr<StockAlert>>& alerts) {
  std::string bytes(2 + alerts.size() * sizeof(StockAlert), '\0');
  PutWord(bytes.data(), kDataFileVersion);
  char* out = bytes.data() + 2;
  for (const auto& a : alerts) {
    std::memcpy(out, a.get(), sizeof(StockAlert));
    out += sizeof(StockAlert);
  }
  return bytes;
}

PrefRecord DecodePrefRecord(std::string_view bytes) {
  PrefRecord record;
  std::memset(&record, 0, sizeof record);
  if (!bytes.empty()) std::memcpy(&record, bytes.data(), std::min(bytes.size(), sizeof record));
  return record;
}

std::string EncodePrefRecord(const PrefRecord& record) {
  return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

}  // namespace quillet
