// The registry of a root kept in the root's SQLite file: keys and values are rows of two
// tables, every write is its own transaction, and the file runs in WAL mode, so processes
// sharing a root never lose one another's values. The contracts are Registry's.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/linux/sqlite_db.h"
#include "platform/registry.h"

namespace quillet {

class SqliteRegistry final : public Registry {
 public:
  // Opens the registry stored in the SQLite file at `dbPath`, creating it when missing. Null
  // (and *error set) when the file cannot be opened.
  static std::unique_ptr<SqliteRegistry> Open(const std::string& dbPath,
                                              std::string* error = nullptr);
  // Shares an already open database (the property databases of the root live in it too).
  explicit SqliteRegistry(std::shared_ptr<SqliteDb> db);

  LONG CreateKey(HKEY parent, std::u16string_view subKey, HKEY* result,
                 DWORD* disposition = nullptr) override;
  LONG OpenKey(HKEY parent, std::u16string_view subKey, HKEY* result) override;
  LONG CloseKey(HKEY key) override;
  LONG QueryValue(HKEY key, std::u16string_view name, DWORD* type, void* data,
                  DWORD* size) override;
  LONG SetValue(HKEY key, std::u16string_view name, DWORD type, const void* data,
                DWORD size) override;
  LONG DeleteValue(HKEY key, std::u16string_view name) override;
  LONG DeleteKey(HKEY parent, std::u16string_view subKey) override;
  LONG DeleteTree(HKEY parent, std::u16string_view subKey) override;
  LONG EnumKey(HKEY key, DWORD index, std::u16string* name) override;
  LONG EnumValue(HKEY key, DWORD index, std::u16string* name, DWORD* type,
                 std::string* data) override;
  std::unique_ptr<TransactionScope> BeginTransaction() override;

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

}  // namespace quillet
