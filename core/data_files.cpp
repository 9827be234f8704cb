// The three data files of the handheld program: "QuilletDB", "StockNoteDB" and "StockAlertDB"
// in "\\Program Files\\Quillet", read into and written from the store.
#include "core/data_files.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/data_codecs.h"
#include "core/messages.h"
#include "platform/message_box.h"

namespace quillet {
namespace {

constexpr const char kStockFile[] = "QuilletDB";
constexpr const char kNoteFile[] = "StockNoteDB";
constexpr const char kAlertFile[] = "StockAlertDB";

std::string DataFilePath(PlatformContext& ctx, const char* name) {
  return ctx.HostPath(std::string("\\Program Files\\Quillet\\") + name).value_or("");
}

// Reads a whole data file. A missing file is not an error (empty bytes); a file that is there
// but cannot be read is: starting with an empty list would have the next save overwrite the
// user's data.
bool ReadDataFile(PortfolioStore& store, const char* name, std::string* bytes,
                  const char* failureText) {
  bytes->clear();
  std::string path = DataFilePath(store.context(), name);
  FileSystem& fs = store.context().files();
  LONG rc = path.empty() ? ERROR_PATH_NOT_FOUND : fs.ReadAll(path, bytes);
  if (rc == ERROR_FILE_NOT_FOUND && fs.Exists(path + ".old")) {
    // The desktop replaces a file by moving the old one to "<name>.old" and the new one into
    // its place; stopped between the two, it leaves no file but the old one aside. Starting
    // empty would have the next save write an empty list over the user's data.
    if (fs.Rename(path + ".old", path) == ERROR_SUCCESS) {
      fs.SyncFolder(FolderOf(path));
      rc = fs.ReadAll(path, bytes);
    }
  }
  if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND) {
    bytes->clear();
    return true;
  }
  if (rc != ERROR_SUCCESS) {
    bytes->clear();
    store.Message(failureText, MB_ICONSTOP);
    return false;
  }
  return true;
}

// Moves decoded records into a list one allocation each, so that a failing allocation (real or
// injected by a test) is told and the rest still read. False when one failed.
template <class T>
bool AppendRecords(PortfolioStore& store, std::vector<T>& decoded,
                   std::vector<std::unique_ptr<T>>& list) {
  bool allocationFailed = false;
  try {
    list.reserve(list.size() + decoded.size());
  } catch (const std::bad_alloc&) {
    // Records are still appended one by one below; each failure is counted there.
  }
  for (T& item : decoded) {
    auto record = store.Allocate<T>();
    if (!record) {
      allocationFailed = true;
      continue;
    }
    try {
      *record = std::move(item);
      list.push_back(std::move(record));
    } catch (const std::bad_alloc&) {
      allocationFailed = true;
    }
  }
  return !allocationFailed;
}

// Replaces a data file through "<name>.tmp" (FileSystem::ReplaceFile), so that a failure at
// any point (the create, a write on a full disk, the sync, the close, the rename) leaves the
// previous file as it was. When even the temporary file cannot be created, the folders may not
// exist yet (a first save): they are created and the save is tried once more. A folder made
// here is synced into its parent before the file goes in, or a power cut could take the saved
// file away with its folder; when that sync fails, so does the save.
bool SaveFile(PortfolioStore& store, const char* name, const std::string& bytes,
              const char* failureText) {
  PlatformContext& ctx = store.context();
  FileSystem& fs = ctx.files();
  std::string path = DataFilePath(ctx, name);
  LONG rc = ERROR_PATH_NOT_FOUND;
  if (!path.empty()) {
    FileSystem::ReplaceStep failed = FileSystem::ReplaceStep::kNone;
    rc = fs.ReplaceFile(path, bytes, &failed);
    if (rc != ERROR_SUCCESS && failed == FileSystem::ReplaceStep::kCreate) {
      LONG synced = ERROR_SUCCESS;
      for (const char* folder : {"\\Program Files", "\\Program Files\\Quillet"}) {
        auto host = ctx.HostPath(folder);
        if (synced == ERROR_SUCCESS && host && fs.CreateFolder(*host) == ERROR_SUCCESS) {
          synced = fs.SyncFolder(FolderOf(*host));
        }
      }
      rc = synced == ERROR_SUCCESS ? fs.ReplaceFile(path, bytes) : synced;
    }
  }
  if (rc != ERROR_SUCCESS) {
    store.Message(failureText, MB_ICONSTOP);
    return false;
  }
  return true;
}

}  // namespace

bool LoadStocks(PortfolioStore& store) {
  store.dwMaxStockId = 0;
  // Whatever the file held (or lacked), the view and new-stock portfolios read with the
  // preferences must be checked against the portfolio count that is now known.
  struct RangeCheck {
    PortfolioStore& store;
    ~RangeCheck() { store.BringIntoRange(); }
  } rangeCheck{store};
  std::string bytes;
  if (!ReadDataFile(store, kStockFile, &bytes, text::kCannotReadStocks)) return false;
  StockFile file;
  try {
    file = DecodeStockFile(bytes);
  } catch (const std::bad_alloc&) {
    store.Message(text::kNoMemoryStocks, MB_ICONSTOP);
    return false;
  }
  if (file.header) {
    const StockFileHeader& h = *file.header;
    store.wPortfolioCount = h.wPortfolioCount;
    std::memcpy(store.szPortfolioName, h.szPortfolioName, sizeof store.szPortfolioName);
    store.wCurrencyCount = h.wCurrencyCount;
    std::memcpy(store.currencies, h.currencies, sizeof store.currencies);
    std::memcpy(store.ucPortfolioCurrency, h.ucPortfolioCurrency, sizeof store.ucPortfolioCurrency);
    std::memcpy(store.dLastUpdateProfit, h.dLastUpdateProfit, sizeof store.dLastUpdateProfit);
    std::memcpy(store.dCash, h.dCash, sizeof store.dCash);
  }
  for (const StockRecord& r : file.stocks)
    store.dwMaxStockId = std::max(store.dwMaxStockId, r.dwId);
  if (!AppendRecords(store, file.stocks, store.stocks)) {
    store.Message(text::kNoMemoryStocks, MB_ICONSTOP);
    return false;
  }
  return true;
}

bool LoadNotes(PortfolioStore& store) {
  std::string bytes;
  if (!ReadDataFile(store, kNoteFile, &bytes, text::kCannotReadNotes)) return false;
  std::vector<StockNote> notes;
  try {
    notes = DecodeNoteFile(bytes);
  } catch (const std::bad_alloc&) {
    store.Message(text::kNoMemoryNotes, MB_ICONSTOP);
    return false;
  }
  if (!AppendRecords(store, notes, store.notes)) {
    store.Message(text::kNoMemoryNotes, MB_ICONSTOP);
    return false;
  }
  return true;
}

bool LoadAlerts(PortfolioStore& store) {
  std::string bytes;
  if (!ReadDataFile(store, kAlertFile, &bytes, text::kCannotReadAlerts)) return false;
  std::vector<StockAlert> alerts;
  try {
    alerts = DecodeAlertFile(bytes);
  } catch (const std::bad_alloc&) {
    store.Message(text::kNoMemoryAlerts, MB_ICONSTOP);
    return false;
  }
  if (!AppendRecords(store, alerts, store.alerts)) {
    store.Message(text::kNoMemoryAlerts, MB_ICONSTOP);
    return false;
  }
  return true;
}

bool SaveStocks(PortfolioStore& store) {
  std::string bytes;
  try {
    StockFileHeader h;
    h.wPortfolioCount = store.wPortfolioCount;
    std::memcpy(h.szPortfolioName, store.szPortfolioName, sizeof h.szPortfolioName);
    h.wCurrencyCount = store.wCurrencyCount;
    std::memcpy(h.currencies, store.currencies, sizeof h.currencies);
    std::memcpy(h.ucPortfolioCurrency, store.ucPortfolioCurrency, sizeof h.ucPortfolioCurrency);
    std::memcpy(h.dLastUpdateProfit, store.dLastUpdateProfit, sizeof h.dLastUpdateProfit);
    std::memcpy(h.dCash, store.dCash, sizeof h.dCash);
    bytes = EncodeStockFile(h, store.stocks);
  } catch (const std::bad_alloc&) {
    store.Message(text::kCannotSaveStocks, MB_ICONSTOP);
    return false;
  }
  return SaveFile(store, kStockFile, bytes, text::kCannotSaveStocks);
}

bool SaveNotes(PortfolioStore& store) {
  std::string bytes;
  try {
    bytes = EncodeNoteFile(store.notes);
  } catch (const std::bad_alloc&) {
    store.Message(text::kCannotSaveNotes, MB_ICONSTOP);
    return false;
  }
  return SaveFile(store, kNoteFile, bytes, text::kCannotSaveNotes);
}

bool SaveAlerts(PortfolioStore& store) {
  std::string bytes;
  try {
    bytes = EncodeAlertFile(store.alerts);
  } catch (const std::bad_alloc&) {
    store.Message(text::kCannotSaveNotes, MB_ICONSTOP);
    return false;
  }
  return SaveFile(store, kAlertFile, bytes, text::kCannotSaveNotes);
}

}  // namespace quillet
