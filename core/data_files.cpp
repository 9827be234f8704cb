// The three data files of the handheld program: "QuilletDB" (a 1600-byte header with the
// portfolio and currency tables, then 264-byte stock records), "StockNoteDB" (notes of 12 +
// length bytes) and "StockAlertDB" (32-byte alerts), each starting with the version 100.
// Every byte read is treated as untrusted: indexes are brought into range and no length from
// the file is trusted before it is checked against what the file holds.
#include <algorithm>
#include <cstring>
#include <new>

#include "core/messages.h"
#include "core/portfolio_store.h"
#include "platform/message_box.h"

namespace quillet {
namespace {

constexpr WORD kFileVersion = 100;
constexpr std::size_t kHeaderSize = 1600;
constexpr std::size_t kNoteUnit = 12;

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
static_assert(kOffCash + kMaxPortfolios * sizeof(double) + 40 == kHeaderSize);

WORD ReadWord(const char* p) {
  return static_cast<WORD>(static_cast<unsigned char>(p[0]) |
                           static_cast<unsigned char>(p[1]) << 8);
}

void PutWord(char* p, WORD v) {
  p[0] = static_cast<char>(v & 0xFF);
  p[1] = static_cast<char>(v >> 8);
}

constexpr const char kStockFile[] = "QuilletDB";
constexpr const char kNoteFile[] = "StockNoteDB";
constexpr const char kAlertFile[] = "StockAlertDB";

}  // namespace

std::string PortfolioStore::DataFilePath(const char* name) const {
  return ctx_.HostPath(std::string("\\Program Files\\Quillet\\") + name).value_or("");
}

// Reads a whole data file. A missing file is not an error (*exists false); a file that is there
// but cannot be read is: starting with an empty list would have the next save overwrite the
// user's data.
bool PortfolioStore::ReadDataFile(const char* name, std::string* bytes, bool* exists,
                                  const char* failureText) {
  bytes->clear();
  *exists = false;
  std::string path = DataFilePath(name);
  LONG rc = path.empty() ? ERROR_PATH_NOT_FOUND : ctx_.files().ReadAll(path, bytes);
  if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND) {
    bytes->clear();
    return true;
  }
  if (rc != ERROR_SUCCESS) {
    bytes->clear();
    Message(failureText, MB_ICONSTOP);
    return false;
  }
  *exists = true;
  return true;
}

bool PortfolioStore::LoadStocks() {
  std::string bytes;
  bool exists;
  dwMaxStockId = 0;
  // Whatever the file held (or lacked), the view and new-stock portfolios read with the
  // preferences must be checked against the portfolio count that is now known.
  struct RangeCheck {
    PortfolioStore* store;
    ~RangeCheck() { store->BringIntoRange(); }
  } rangeCheck{this};
  if (!ReadDataFile(kStockFile, &bytes, &exists, text::kCannotReadStocks)) return false;
  if (bytes.size() < 2) return true;
  std::size_t at = 0;
  if (ReadWord(bytes.data()) == kFileVersion) {
    if (bytes.size() < kHeaderSize) return true;
    const char* h = bytes.data();
    wPortfolioCount = ReadWord(h + kOffPortfolioCount);
    std::memcpy(szPortfolioName, h + kOffPortfolioNames, sizeof szPortfolioName);
    wCurrencyCount = ReadWord(h + kOffCurrencyCount);
    std::memcpy(currencies, h + kOffCurrencies, sizeof currencies);
    std::memcpy(ucPortfolioCurrency, h + kOffPortfolioCurrency, sizeof ucPortfolioCurrency);
    std::memcpy(dLastUpdateProfit, h + kOffLastUpdateProfit, sizeof dLastUpdateProfit);
    std::memcpy(dCash, h + kOffCash, sizeof dCash);
    at = kHeaderSize;
  }
  bool allocationFailed = false;
  const std::size_t count = (bytes.size() - at) / sizeof(StockRecord);
  try {
    stocks.reserve(stocks.size() + count);
  } catch (const std::bad_alloc&) {
    // Records are still appended one by one below; each failure is counted there.
  }
  for (; bytes.size() - at >= sizeof(StockRecord); at += sizeof(StockRecord)) {
    auto record = Allocate<StockRecord>();
    if (record) {
      std::memcpy(record.get(), bytes.data() + at, sizeof(StockRecord));
      dwMaxStockId = std::max(dwMaxStockId, record->dwId);
      try {
        stocks.push_back(std::move(record));
      } catch (const std::bad_alloc&) {
        allocationFailed = true;
      }
    } else {
      allocationFailed = true;
    }
  }
  if (allocationFailed) {
    Message(text::kNoMemoryStocks, MB_ICONSTOP);
    return false;
  }
  return true;
}

bool PortfolioStore::LoadNotes() {
  std::string bytes;
  bool exists;
  if (!ReadDataFile(kNoteFile, &bytes, &exists, text::kCannotReadNotes)) return false;
  if (bytes.size() < 2 || ReadWord(bytes.data()) != kFileVersion) return true;
  bool allocationFailed = false;
  std::size_t at = 2;
  while (bytes.size() - at >= kNoteUnit) {
    StockNoteHeader header;
    std::memcpy(&header, bytes.data() + at, kNoteUnit);
    // The length comes from the file: a note that does not fit in what is left ends the
    // reading like a partial record, before anything is allocated for it.
    const std::size_t left = bytes.size() - at - kNoteUnit;
    if (header.dwLength > left) break;
    const std::size_t textBytes = static_cast<std::size_t>(header.dwLength) + 1;
    auto note = Allocate<StockNote>();
    if (note) {
      try {
        note->dwStockId = header.dwStockId;
        note->dwLength = header.dwLength;
        std::memcpy(note->reserved, header.reserved, sizeof note->reserved);
        note->szText.assign(bytes.data() + at + kNoteUnit - 1, textBytes);
        notes.push_back(std::move(note));
      } catch (const std::bad_alloc&) {
        allocationFailed = true;
      }
    } else {
      allocationFailed = true;
    }
    at += kNoteUnit + header.dwLength;  // stays in step with the file even after a failure
  }
  if (allocationFailed) {
    Message(text::kNoMemoryNotes, MB_ICONSTOP);
    return false;
  }
  return true;
}

bool PortfolioStore::LoadAlerts() {
  std::string bytes;
  bool exists;
  if (!ReadDataFile(kAlertFile, &bytes, &exists, text::kCannotReadAlerts)) return false;
  if (bytes.size() < 2 || ReadWord(bytes.data()) != kFileVersion) return true;
  bool allocationFailed = false;
  for (std::size_t at = 2; bytes.size() - at >= sizeof(StockAlert); at += sizeof(StockAlert)) {
    auto alert = Allocate<StockAlert>();
    if (!alert) {
      allocationFailed = true;
      continue;
    }
    std::memcpy(alert.get(), bytes.data() + at, sizeof(StockAlert));
    try {
      alerts.push_back(std::move(alert));
    } catch (const std::bad_alloc&) {
      allocationFailed = true;
    }
  }
  if (allocationFailed) {
    Message(text::kNoMemoryAlerts, MB_ICONSTOP);
    return false;
  }
  return true;
}

// Replaces a data file through "<name>.tmp" (FileSystem::ReplaceFile), so that a failure at
// any point (the create, a write on a full disk, the sync, the close, the rename) leaves the
// previous file as it was. When even the temporary file cannot be created, the folders may not
// exist yet (a first save): they are created and the save is tried once more. A folder made
// here is synced into its parent before the file goes in, or a power cut could take the saved
// file away with its folder; when that sync fails, so does the save.
bool PortfolioStore::SaveFile(const char* name, const std::string& bytes,
                              const char* failureText) {
  FileSystem& fs = ctx_.files();
  std::string path = DataFilePath(name);
  LONG rc = ERROR_PATH_NOT_FOUND;
  if (!path.empty()) {
    FileSystem::ReplaceStep failed = FileSystem::ReplaceStep::kNone;
    rc = fs.ReplaceFile(path, bytes, &failed);
    if (rc != ERROR_SUCCESS && failed == FileSystem::ReplaceStep::kCreate) {
      LONG synced = ERROR_SUCCESS;
      for (const char* folder : {"\\Program Files", "\\Program Files\\Quillet"}) {
        auto host = ctx_.HostPath(folder);
        if (synced == ERROR_SUCCESS && host && fs.CreateFolder(*host) == ERROR_SUCCESS) {
          synced = fs.SyncFolder(host->substr(0, host->find_last_of('/')));
        }
      }
      rc = synced == ERROR_SUCCESS ? fs.ReplaceFile(path, bytes) : synced;
    }
  }
  if (rc != ERROR_SUCCESS) {
    Message(failureText, MB_ICONSTOP);
    return false;
  }
  return true;
}

bool PortfolioStore::SaveStocks() {
  std::string bytes;
  try {
    bytes.assign(kHeaderSize + stocks.size() * sizeof(StockRecord), '\0');
  } catch (const std::bad_alloc&) {
    Message(text::kCannotSaveStocks, MB_ICONSTOP);
    return false;
  }
  char* h = bytes.data();
  PutWord(h, kFileVersion);
  PutWord(h + kOffPortfolioCount, wPortfolioCount);
  std::memcpy(h + kOffPortfolioNames, szPortfolioName, sizeof szPortfolioName);
  PutWord(h + kOffCurrencyCount, wCurrencyCount);
  std::memcpy(h + kOffCurrencies, currencies, sizeof currencies);
  std::memcpy(h + kOffPortfolioCurrency, ucPortfolioCurrency, sizeof ucPortfolioCurrency);
  std::memcpy(h + kOffLastUpdateProfit, dLastUpdateProfit, sizeof dLastUpdateProfit);
  std::memcpy(h + kOffCash, dCash, sizeof dCash);
  char* out = h + kHeaderSize;
  for (const auto& s : stocks) {
    std::memcpy(out, s.get(), sizeof(StockRecord));
    out += sizeof(StockRecord);
  }
  return SaveFile(kStockFile, bytes, text::kCannotSaveStocks);
}

bool PortfolioStore::SaveNotes() {
  std::string bytes;
  try {
    std::size_t size = 2;
    for (const auto& n : notes) size += n->StoredSize();
    bytes.reserve(size);
    bytes.append(2, '\0');
    PutWord(bytes.data(), kFileVersion);
    for (const auto& n : notes) {
      StockNoteHeader header{};
      header.dwStockId = n->dwStockId;
      header.dwLength = n->dwLength;
      std::memcpy(header.reserved, n->reserved, sizeof header.reserved);
      bytes.append(reinterpret_cast<const char*>(&header), kNoteUnit - 1);
      // The text and its terminator: exactly dwLength + 1 bytes whatever the buffer holds.
      std::string_view body(n->szText);
      body = body.substr(0, static_cast<std::size_t>(n->dwLength) + 1);
      bytes.append(body);
      bytes.append(static_cast<std::size_t>(n->dwLength) + 1 - body.size(), '\0');
    }
  } catch (const std::bad_alloc&) {
    Message(text::kCannotSaveNotes, MB_ICONSTOP);
    return false;
  }
  return SaveFile(kNoteFile, bytes, text::kCannotSaveNotes);
}

bool PortfolioStore::SaveAlerts() {
  std::string bytes;
  try {
    bytes.assign(2 + alerts.size() * sizeof(StockAlert), '\0');
  } catch (const std::bad_alloc&) {
    Message(text::kCannotSaveNotes, MB_ICONSTOP);
    return false;
  }
  PutWord(bytes.data(), kFileVersion);
  char* out = bytes.data() + 2;
  for (const auto& a : alerts) {
    std::memcpy(out, a.get(), sizeof(StockAlert));
    out += sizeof(StockAlert);
  }
  return SaveFile(kAlertFile, bytes, text::kCannotSaveNotes);
}

}  // namespace quillet
