// The property databases kept in SQLite: the object store in the root's system.db, or a volume
// in a file of its own. Records are rows whose properties are kept in the bytes of EncodeProps,
// ordered by a sort key column; the file runs in WAL mode, so several processes can use one
// database at once. The contracts are PropertyStore's and PropertyDatabase's.
#pragma once

#include <memory>
#include <string>

#include "platform/linux/sqlite_db.h"
#include "platform/property_db.h"

namespace quillet {

class SqlitePropertyStore;

class SqlitePropertyDatabase final : public PropertyDatabase {
 public:
  LONG Seek(SeekType type, std::int64_t offset, CEOID* oid) override;
  LONG SeekValue(SeekType type, const PropValue& value, CEOID* oid) override;
  LONG ReadRecord(std::vector<PropValue>* props, CEOID* oid) override;
  LONG WriteRecord(CEOID oid, std::span<const PropValue> props, CEOID* written) override;
  LONG DeleteRecord(CEOID oid) override;
  LONG Count(DWORD* count) override;
  CEOID oid() const override { return dbOid_; }

 private:
  friend class SqlitePropertyStore;
  SqlitePropertyDatabase(SqlitePropertyStore& store, CEOID dbOid, CEPROPID sortProp)
      : store_(store), dbOid_(dbOid), sortProp_(sortProp) {}
  bool SetCurrent(CEOID oid);
  SqlitePropertyStore& store_;
  CEOID dbOid_;
  CEPROPID sortProp_;
  CEOID current_ = 0;  // 0: before the first record
  std::string currentKey_;
};

class SqlitePropertyStore final : public PropertyStore {
 public:
  // The object store of a root, sharing the root's SQLite file.
  explicit SqlitePropertyStore(std::shared_ptr<SqliteDb> db);
  // A database volume in its own file, created when missing (the desktop's mounted volume).
  // Null (and *error set) when the file cannot be opened. `vfs` as SqliteDb::Open takes it.
  static std::unique_ptr<SqlitePropertyStore> MountVolume(const std::string& hostPath,
                                                          std::string* error = nullptr,
                                                          const std::string& vfs = {});

  LONG CreateDatabase(std::u16string_view name, DWORD type, CEPROPID sortProp, DWORD sortFlags,
                      CEOID* oid) override;
  LONG OpenDatabase(std::u16string_view name, std::unique_ptr<PropertyDatabase>* db) override;
  LONG DeleteDatabase(CEOID oid) override;
  LONG FindDatabase(std::u16string_view name, CEOID* oid, DWORD* type = nullptr) override;
  std::unique_ptr<TransactionScope> BeginTransaction() override { return db_->BeginScope(); }

  SqliteDb& database() { return *db_; }

 private:
  friend class SqlitePropertyDatabase;
  std::shared_ptr<SqliteDb> db_;
};

}  // namespace quillet
