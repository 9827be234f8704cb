#include "platform/linux/sqlite_registry.h"

#include <cstring>
#include <vector>

#include "platform/codepage.h"

namespace quillet {
namespace {

constexpr std::string_view kSchema =
    "CREATE TABLE IF NOT EXISTS reg_keys("
    "  root INTEGER NOT NULL, path TEXT NOT NULL COLLATE NOCASE,"
    "  UNIQUE(root, path));"
    "CREATE TABLE IF NOT EXISTS reg_values("
    "  root INTEGER NOT NULL, path TEXT NOT NULL COLLATE NOCASE,"
    "  name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL, data BLOB NOT NULL,"
    "  UNIQUE(root, path, name));";

bool IsPredefined(HKEY k) {
  return k == HKEY_CURRENT_USER || k == HKEY_LOCAL_MACHINE || k == HKEY_CLASSES_ROOT;
}

// Normalises a sub-key path: '\' separators, no empty parts.
std::string NormalisePath(std::u16string_view sub) {
  std::string utf8 = Utf16ToUtf8(sub);
  std::string out;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= utf8.size(); ++i) {
    if (i == utf8.size() || utf8[i] == '\\') {
      if (i > start) {
        if (!out.empty()) out.push_back('\\');
        out.append(utf8, start, i - start);
      }
      start = i + 1;
    }
  }
  return out;
}

std::string Join(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return a + "\\" + b;
}

// Escapes LIKE wildcards so a key name holding '%' or '_' matches only itself.
std::string LikePrefix(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (c == '%' || c == '_' || c == '!') out.push_back('!');
    out.push_back(c);
  }
  if (!out.empty()) out.push_back('\\');
  out.push_back('%');
  return out;
}

std::int64_t RootNumber(HKEY k) { return static_cast<std::int64_t>(static_cast<std::uint32_t>(k)); }

}  // namespace

std::unique_ptr<SqliteRegistry> SqliteRegistry::Open(const std::string& dbPath,
                                                     std::string* error) {
  auto db = SqliteDb::Open(dbPath, "", error);
  if (!db) return nullptr;
  return std::make_unique<SqliteRegistry>(std::shared_ptr<SqliteDb>(std::move(db)));
}

SqliteRegistry::SqliteRegistry(std::shared_ptr<SqliteDb> db) : db_(std::move(db)) {
  db_->Exec(kSchema);
}

bool SqliteRegistry::Resolve(HKEY key, HKEY* root, std::string* path) const {
  if (IsPredefined(key)) {
    *root = key;
    path->clear();
    return true;
  }
  auto it = open_.find(static_cast<std::uint32_t>(key));
  if (it == open_.end()) return false;
  *root = it->second.root;
  *path = it->second.path;
  return true;
}

bool SqliteRegistry::KeyExists(HKEY root, const std::string& path) {
  if (path.empty()) return true;
  auto st = db_->Prepare("SELECT 1 FROM reg_keys WHERE root=?1 AND path=?2");
  st.Bind(1, RootNumber(root)).Bind(2, path);
  return st.Step() == SQLITE_ROW;
}

HKEY SqliteRegistry::NewHandle(HKEY root, std::string path) {
  std::uint32_t h = nextHandle_++;
  open_[h] = OpenKeyInfo{root, std::move(path)};
  return static_cast<HKEY>(h);
}

std::unique_ptr<TransactionScope> SqliteRegistry::BeginTransaction() { return db_->BeginScope(); }

LONG SqliteRegistry::CreateKey(HKEY parent, std::u16string_view subKey, HKEY* result,
                               DWORD* disposition) {
  HKEY root;
  std::string base;
  if (!Resolve(parent, &root, &base)) return ERROR_INVALID_HANDLE;
  std::string path = Join(base, NormalisePath(subKey));
  SqliteDb::Transaction tx(*db_);
  if (!tx.active()) return ERROR_ACCESS_DENIED;
  bool existed = KeyExists(root, path);
  if (!existed) {
    auto ins = db_->Prepare("INSERT OR IGNORE INTO reg_keys(root, path) VALUES(?1, ?2)");
    for (std::size_t i = 0; i <= path.size(); ++i) {
      if (i == path.size() || path[i] == '\\') {
        ins.Bind(1, RootNumber(root)).Bind(2, std::string_view(path).substr(0, i));
        if (ins.Step() != SQLITE_DONE) return ERROR_ACCESS_DENIED;
        ins.Reset();
      }
    }
  }
  if (!tx.Commit()) return ERROR_ACCESS_DENIED;
  if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  *result = NewHandle(root, std::move(path));
  return ERROR_SUCCESS;
}

LONG SqliteRegistry::OpenKey(HKEY parent, std::u16string_view subKey, HKEY* result) {
  HKEY root;
  std::string base;
  if (!Resolve(parent, &root, &base)) return ERROR_INVALID_HANDLE;
  std::string path = Join(base, NormalisePath(subKey));
  if (!KeyExists(root, path)) return ERROR_FILE_NOT_FOUND;
  *result = NewHandle(root, std::move(path));
  return ERROR_SUCCESS;
}

LONG SqliteRegistry::CloseKey(HKEY key) {
  if (IsPredefined(key)) return ERROR_SUCCESS;
  return open_.erase(static_cast<std::uint32_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG SqliteRegistry::QueryValue(HKEY key, std::u16string_view name, DWORD* type, void* data,
                                DWORD* size) {
  HKEY root;
  std::string path;
  if (!Resolve(key, &root, &path)) return ERROR_INVALID_HANDLE;
  auto st = db_->Prepare("SELECT type, data FROM reg_values WHERE root=?1 AND path=?2 AND name=?3");
  st.Bind(1, RootNumber(root)).Bind(2, path).Bind(3, Utf16ToUtf8(name));
  if (st.Step() != SQLITE_ROW) return ERROR_FILE_NOT_FOUND;
  std::string bytes = st.Blob(1);
  if (type) *type = static_cast<DWORD>(st.Int(0));
  if (!size) return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
  DWORD capacity = *size;
  *size = static_cast<DWORD>(bytes.size());
  if (!data) return ERROR_SUCCESS;
  if (capacity < bytes.size()) return ERROR_MORE_DATA;
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  return ERROR_SUCCESS;
}

LONG SqliteRegistry::SetValue(HKEY key, std::u16string_view name, DWORD type, const void* data,
                              DWORD size) {
  HKEY root;
  std::string path;
  if (!Resolve(key, &root, &path)) return ERROR_INVALID_HANDLE;
  if (!data && size) return ERROR_INVALID_PARAMETER;
  // The key may have been deleted by another handle or process since it was opened.
  if (!KeyExists(root, path)) return ERROR_FILE_NOT_FOUND;
  auto st = db_->Prepare(
      "INSERT INTO reg_values(root, path, name, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
      "ON CONFLICT(root, path, name) DO UPDATE SET type=excluded.type, data=excluded.data");
  st.Bind(1, RootNumber(root)).Bind(2, path).Bind(3, Utf16ToUtf8(name)).Bind(4, type);
  st.BindBlob(5, data, size);
  return st.Step() == SQLITE_DONE ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG SqliteRegistry::DeleteValue(HKEY key, std::u16string_view name) {
  HKEY root;
  std::string path;
  if (!Resolve(key, &root, &path)) return ERROR_INVALID_HANDLE;
  auto st = db_->Prepare("DELETE FROM reg_values WHERE root=?1 AND path=?2 AND name=?3");
  st.Bind(1, RootNumber(root)).Bind(2, path).Bind(3, Utf16ToUtf8(name));
  if (st.Step() != SQLITE_DONE) return ERROR_ACCESS_DENIED;
  return sqlite3_changes(db_->handle()) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG SqliteRegistry::DeleteKey(HKEY parent, std::u16string_view subKey) {
  HKEY root;
  std::string base;
  if (!Resolve(parent, &root, &base)) return ERROR_INVALID_HANDLE;
  std::string path = Join(base, NormalisePath(subKey));
  if (path.empty()) return ERROR_ACCESS_DENIED;
  SqliteDb::Transaction tx(*db_);
  if (!tx.active()) return ERROR_ACCESS_DENIED;
  if (!KeyExists(root, path)) return ERROR_FILE_NOT_FOUND;
  auto children = db_->Prepare("SELECT 1 FROM reg_keys WHERE root=?1 AND path LIKE ?2 ESCAPE '!'");
  children.Bind(1, RootNumber(root)).Bind(2, LikePrefix(path));
  if (children.Step() == SQLITE_ROW) return ERROR_ACCESS_DENIED;
  auto dv = db_->Prepare("DELETE FROM reg_values WHERE root=?1 AND path=?2");
  dv.Bind(1, RootNumber(root)).Bind(2, path);
  auto dk = db_->Prepare("DELETE FROM reg_keys WHERE root=?1 AND path=?2");
  dk.Bind(1, RootNumber(root)).Bind(2, path);
  if (dv.Step() != SQLITE_DONE || dk.Step() != SQLITE_DONE) return ERROR_ACCESS_DENIED;
  return tx.Commit() ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG SqliteRegistry::DeleteTree(HKEY parent, std::u16string_view subKey) {
  HKEY root;
  std::string base;
  if (!Resolve(parent, &root, &base)) return ERROR_INVALID_HANDLE;
  std::string path = Join(base, NormalisePath(subKey));
  if (path.empty()) return ERROR_ACCESS_DENIED;
  SqliteDb::Transaction tx(*db_);
  if (!tx.active()) return ERROR_ACCESS_DENIED;
  if (!KeyExists(root, path)) return ERROR_FILE_NOT_FOUND;
  for (const char* table : {"reg_values", "reg_keys"}) {
    auto st = db_->Prepare(std::string("DELETE FROM ") + table +
                           " WHERE root=?1 AND (path=?2 OR path LIKE ?3 ESCAPE '!')");
    st.Bind(1, RootNumber(root)).Bind(2, path).Bind(3, LikePrefix(path));
    if (st.Step() != SQLITE_DONE) return ERROR_ACCESS_DENIED;
  }
  return tx.Commit() ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG SqliteRegistry::EnumKey(HKEY key, DWORD index, std::u16string* name) {
  HKEY root;
  std::string path;
  if (!Resolve(key, &root, &path)) return ERROR_INVALID_HANDLE;
  if (!KeyExists(root, path)) return ERROR_FILE_NOT_FOUND;
  auto st = db_->Prepare(
      path.empty() ? "SELECT path FROM reg_keys WHERE root=?1 AND path<>'' ORDER BY rowid"
                   : "SELECT path FROM reg_keys WHERE root=?1 AND path LIKE ?2 ESCAPE '!' "
                     "ORDER BY rowid");
  st.Bind(1, RootNumber(root));
  if (!path.empty()) st.Bind(2, LikePrefix(path));
  std::size_t skip = path.empty() ? 0 : path.size() + 1;
  DWORD seen = 0;
  while (st.Step() == SQLITE_ROW) {
    std::string child = st.Text(0).substr(skip);
    if (child.find('\\') != std::string::npos) continue;  // deeper than one level
    if (seen++ == index) {
      *name = Utf8ToUtf16(child);
      return ERROR_SUCCESS;
    }
  }
  return ERROR_NO_MORE_ITEMS;
}

LONG SqliteRegistry::EnumValue(HKEY key, DWORD index, std::u16string* name, DWORD* type,
                               std::string* data) {
  HKEY root;
  std::string path;
  if (!Resolve(key, &root, &path)) return ERROR_INVALID_HANDLE;
  auto st = db_->Prepare(
      "SELECT name, type, data FROM reg_values WHERE root=?1 AND path=?2 ORDER BY rowid "
      "LIMIT 1 OFFSET ?3");
  st.Bind(1, RootNumber(root)).Bind(2, path).Bind(3, index);
  if (st.Step() != SQLITE_ROW) return ERROR_NO_MORE_ITEMS;
  if (name) *name = Utf8ToUtf16(st.Text(0));
  if (type) *type = static_cast<DWORD>(st.Int(1));
  if (data) *data = st.Blob(2);
  return ERROR_SUCCESS;
}

}  // namespace quillet
