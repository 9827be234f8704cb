#include "platform/registry.h"

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

std::string EncodeRegString(std::u16string_view text) {
  std::string out;
  out.reserve((text.size() + 1) * 2);
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  out.push_back('\0');
  out.push_back('\0');
  return out;
}

std::u16string DecodeRegString(std::string_view bytes) {
  std::u16string out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char16_t c = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                       (static_cast<unsigned char>(bytes[i + 1]) << 8));
    if (c == 0) break;
    out.push_back(c);
  }
  return out;
}

std::unique_ptr<Registry> Registry::Open(const std::string& dbPath, std::string* error) {
  auto db = SqliteDb::Open(dbPath, "", error);
  if (!db) return nullptr;
  return std::make_unique<Registry>(std::shared_ptr<SqliteDb>(std::move(db)));
}

Registry::Registry(std::shared_ptr<SqliteDb> db) : db_(std::move(db)) { db_->Exec(kSchema); }

bool Registry::Resolve(HKEY key, HKEY* root, std::string* path) const {
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

bool Registry::KeyExists(HKEY root, const std::string& path) {
  if (path.empty()) return true;
  auto st = db_->Prepare("SELECT 1 FROM reg_keys WHERE root=?1 AND path=?2");
  st.Bind(1, RootNumber(root)).Bind(2, path);
  return st.Step() == SQLITE_ROW;
}

HKEY Registry::NewHandle(HKEY root, std::string path) {
  std::uint32_t h = nextHandle_++;
  open_[h] = OpenKeyInfo{root, std::move(path)};
  return static_cast<HKEY>(h);
}

LONG Registry::CreateKey(HKEY parent, std::u16string_view subKey, HKEY* result,
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

LONG Registry::OpenKey(HKEY parent, std::u16string_view subKey, HKEY* result) {
  HKEY root;
  std::string base;
  if (!Resolve(parent, &root, &base)) return ERROR_INVALID_HANDLE;
  std::string path = Join(base, NormalisePath(subKey));
  if (!KeyExists(root, path)) return ERROR_FILE_NOT_FOUND;
  *result = NewHandle(root, std::move(path));
  return ERROR_SUCCESS;
}

LONG Registry::CloseKey(HKEY key) {
  if (IsPredefined(key)) return ERROR_SUCCESS;
  return open_.erase(static_cast<std::uint32_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG Registry::QueryValue(HKEY key, std::u16string_view name, DWORD* type, void* data,
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

LONG Registry::SetValue(HKEY key, std::u16string_view name, DWORD type, const void* data,
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

LONG Registry::DeleteValue(HKEY key, std::u16string_view name) {
  HKEY root;
  std::string path;
  if (!Resolve(key, &root, &path)) return ERROR_INVALID_HANDLE;
  auto st = db_->Prepare("DELETE FROM reg_values WHERE root=?1 AND path=?2 AND name=?3");
  st.Bind(1, RootNumber(root)).Bind(2, path).Bind(3, Utf16ToUtf8(name));
  if (st.Step() != SQLITE_DONE) return ERROR_ACCESS_DENIED;
  return sqlite3_changes(db_->handle()) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG Registry::DeleteKey(HKEY parent, std::u16string_view subKey) {
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

LONG Registry::DeleteTree(HKEY parent, std::u16string_view subKey) {
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

LONG Registry::EnumKey(HKEY key, DWORD index, std::u16string* name) {
  HKEY root;
  std::string path;
  if (!Resolve(key, &root, &path)) return ERROR_INVALID_HANDLE;
  if (!KeyExists(root, path)) return ERROR_FILE_NOT_FOUND;
  auto st = db_->Prepare(path.empty()
                             ? "SELECT path FROM reg_keys WHERE root=?1 AND path<>'' ORDER BY rowid"
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

LONG Registry::EnumValue(HKEY key, DWORD index, std::u16string* name, DWORD* type,
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

LONG Registry::GetDword(HKEY root, std::u16string_view path, std::u16string_view name,
                        DWORD* value) {
  HKEY k;
  if (LONG rc = OpenKey(root, path, &k)) return rc;
  DWORD type = 0, size = sizeof(DWORD), v = 0;
  LONG rc = QueryValue(k, name, &type, &v, &size);
  CloseKey(k);
  if (rc == ERROR_SUCCESS) *value = v;
  return rc;
}

LONG Registry::SetDword(HKEY root, std::u16string_view path, std::u16string_view name,
                        DWORD value) {
  HKEY k;
  if (LONG rc = CreateKey(root, path, &k)) return rc;
  LONG rc = SetValue(k, name, REG_DWORD, &value, sizeof value);
  CloseKey(k);
  return rc;
}

LONG Registry::GetString(HKEY root, std::u16string_view path, std::u16string_view name,
                         std::u16string* value) {
  HKEY k;
  if (LONG rc = OpenKey(root, path, &k)) return rc;
  DWORD type = 0, size = 0;
  LONG rc = QueryValue(k, name, &type, nullptr, &size);
  if (rc == ERROR_SUCCESS) {
    std::string bytes(size, '\0');
    rc = QueryValue(k, name, &type, bytes.data(), &size);
    if (rc == ERROR_SUCCESS) *value = DecodeRegString(bytes);
  }
  CloseKey(k);
  return rc;
}

LONG Registry::SetString(HKEY root, std::u16string_view path, std::u16string_view name,
                         std::u16string_view value) {
  HKEY k;
  if (LONG rc = CreateKey(root, path, &k)) return rc;
  std::string bytes = EncodeRegString(value);
  LONG rc = SetValue(k, name, REG_SZ, bytes.data(), static_cast<DWORD>(bytes.size()));
  CloseKey(k);
  return rc;
}

}  // namespace quillet
