// The registry of one root (a handheld's or a desktop's), kept in the root's SQLite file. It
// has the three roots HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT, keys and
// sub-keys named without regard to ASCII case, and DWORD, string (UTF-16, terminated) and binary
// values; the empty value name is the key's default value. Calls answer as the Win32 ones do:
// 0 on success, 2 for a missing key or value, 234 when a buffer is too short (the size needed
// is returned), 259 at the end of an enumeration, 6 for a handle that is not open.
// Every write is its own transaction, so processes sharing a root never lose one another's
// values.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/sqlite_db.h"
#include "platform/win_types.h"

namespace quillet {

inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

class Registry {
 public:
  // Opens the registry stored in the SQLite file at `dbPath`, creating it when missing.
  static std::unique_ptr<Registry> Open(const std::string& dbPath, std::string* error = nullptr);
  // Shares an already open database (the property databases of the root live in it too).
  explicit Registry(std::shared_ptr<SqliteDb> db);

  // Creates the key and every missing key above it; `disposition` tells which happened.
  LONG CreateKey(HKEY parent, std::u16string_view subKey, HKEY* result,
                 DWORD* disposition = nullptr);
  LONG OpenKey(HKEY parent, std::u16string_view subKey, HKEY* result);
  LONG CloseKey(HKEY key);

  // With data null, only *size (and *type) are set. A short buffer gets nothing and 234.
  LONG QueryValue(HKEY key, std::u16string_view name, DWORD* type, void* data, DWORD* size);
  LONG SetValue(HKEY key, std::u16string_view name, DWORD type, const void* data, DWORD size);
  LONG DeleteValue(HKEY key, std::u16string_view name);
  // Deletes a key that has no sub-keys (5 when it has some), with its values.
  LONG DeleteKey(HKEY parent, std::u16string_view subKey);
  // Deletes a key with all its sub-keys and values.
  LONG DeleteTree(HKEY parent, std::u16string_view subKey);
  // The index-th direct sub-key, in creation order; 259 past the last.
  LONG EnumKey(HKEY key, DWORD index, std::u16string* name);
  // The index-th value, in creation order; 259 past the last.
  LONG EnumValue(HKEY key, DWORD index, std::u16string* name, DWORD* type, std::string* data);

  // Conveniences over the calls above for code that reads or writes one value.
  LONG GetDword(HKEY root, std::u16string_view path, std::u16string_view name, DWORD* value);
  LONG SetDword(HKEY root, std::u16string_view path, std::u16string_view name, DWORD value);
  LONG GetString(HKEY root, std::u16string_view path, std::u16string_view name,
                 std::u16string* value);
  LONG SetString(HKEY root, std::u16string_view path, std::u16string_view name,
                 std::u16string_view value);

  // Writes made inside a scope commit together or not at all; scopes nest and only the
  // outermost commits. A scope ended without Commit rolls its writes back.
  class Transaction {
   public:
    explicit Transaction(Registry& registry) : tx_(*registry.db_) {}
    bool Commit() { return tx_.Commit(); }

   private:
    SqliteDb::Transaction tx_;
  };

  SqliteDb& database() { return *db_; }

 private:
  struct OpenKeyInfo {
    HKEY root;
    std::string path;  // UTF-8, '\' separated, no leading or trailing separator
  };
  bool Resolve(HKEY key, HKEY* root, std::string* path) const;
  bool KeyExists(HKEY root, const std::string& path);
  HKEY NewHandle(HKEY root, std::string path);

  std::shared_ptr<SqliteDb> db_;
  std::map<std::uint32_t, OpenKeyInfo> open_;
  std::uint32_t nextHandle_ = 0x100;
};

// Encodes and decodes string values as the registry stores them: UTF-16LE with a terminator.
std::string EncodeRegString(std::u16string_view text);
std::u16string DecodeRegString(std::string_view bytes);

}  // namespace quillet
