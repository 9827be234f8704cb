// Property databases of the handheld's object store: named databases of records, each record a
// set of typed properties, kept in the order of one sort property, walked with a current
// position and seeks. The desktop may reach the same kind of database inside a separate volume
// file. Everything lives in SQLite (the object store in the root's system.db, a volume in its
// own file), so several processes can use one database at once and a record is written whole
// or not at all.
//
// Calls return Win32 error numbers: 0, 2 (no such database or record), 87 (bad argument),
// 183 (a database of that name exists), 6 (a handle that is closed), 259 (a seek found nothing).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sqlite_db.h"
#include "platform/win_types.h"

namespace quillet {

using CEOID = DWORD;
using CEPROPID = DWORD;

// Property types: the low word of a property id.
inline constexpr WORD CEVT_I2 = 2;
inline constexpr WORD CEVT_I4 = 3;
inline constexpr WORD CEVT_UI2 = 18;
inline constexpr WORD CEVT_UI4 = 19;
inline constexpr WORD CEVT_LPWSTR = 31;
inline constexpr WORD CEVT_BLOB = 65;

constexpr WORD TypeOfProp(CEPROPID id) { return static_cast<WORD>(id & 0xFFFF); }

inline constexpr DWORD CEDB_SORT_CASEINSENSITIVE = 0x00000001;
inline constexpr DWORD CEDB_NOCOMPRESS = 0x00010000;

enum class SeekType {
  kBeginning,          // CEDB_SEEK_BEGINNING: the offset-th record from the first
  kCurrent,            // CEDB_SEEK_CURRENT: offset records on from the current one
  kValueFirstEqual,    // CEDB_SEEK_VALUEFIRSTEQUAL: the first record whose sort value equals
  kValueNextEqual,     // CEDB_SEEK_VALUENEXTEQUAL: the next record, if its sort value equals
};

struct PropValue {
  CEPROPID propid = 0;
  std::u16string text;       // CEVT_LPWSTR
  std::uint32_t number = 0;  // CEVT_I2, CEVT_UI2, CEVT_I4, CEVT_UI4 (stored in the type's width)
  std::string blob;          // CEVT_BLOB

  static PropValue Text(CEPROPID id, std::u16string_view t) { return {id, std::u16string(t), 0, {}}; }
  static PropValue Number(CEPROPID id, std::uint32_t n) { return {id, {}, n, {}}; }
  static PropValue Blob(CEPROPID id, std::string_view b) { return {id, {}, 0, std::string(b)}; }
};

class PropertyStore;

// An open database: a current position in sort order and the record operations.
class PropertyDatabase {
 public:
  // Moves the current position; *oid receives the record found. With kValue* the value is
  // compared with the sort property (case-insensitive for text). 259 when nothing is found, and
  // the position is then left where it was.
  LONG Seek(SeekType type, std::int64_t offset, CEOID* oid);
  LONG SeekValue(SeekType type, const PropValue& value, CEOID* oid);
  // Reads every property of the current record (the position does not move).
  LONG ReadRecord(std::vector<PropValue>* props, CEOID* oid);
  // Writes the given properties into record `oid` (others it has are kept), or creates a new
  // record when oid is 0. *written receives the record's id.
  LONG WriteRecord(CEOID oid, std::span<const PropValue> props, CEOID* written);
  LONG DeleteRecord(CEOID oid);
  // Number of records.
  LONG Count(DWORD* count);
  CEOID oid() const { return dbOid_; }

 private:
  friend class PropertyStore;
  PropertyDatabase(PropertyStore& store, CEOID dbOid, CEPROPID sortProp)
      : store_(store), dbOid_(dbOid), sortProp_(sortProp) {}
  bool SetCurrent(CEOID oid);
  PropertyStore& store_;
  CEOID dbOid_;
  CEPROPID sortProp_;
  CEOID current_ = 0;  // 0: before the first record
  std::string currentKey_;
};

class PropertyStore {
 public:
  // The object store of a root, sharing the root's SQLite file.
  explicit PropertyStore(std::shared_ptr<SqliteDb> db);
  // A database volume in its own file, created when missing (the desktop's mounted volume).
  static std::unique_ptr<PropertyStore> MountVolume(const std::string& hostPath,
                                                    std::string* error = nullptr);

  LONG CreateDatabase(std::u16string_view name, DWORD type, CEPROPID sortProp, DWORD sortFlags,
                      CEOID* oid);
  // Opens by name (2 when missing); the position starts before the first record.
  LONG OpenDatabase(std::u16string_view name, std::unique_ptr<PropertyDatabase>* db);
  // Deletes a database with all its records; open handles to it then find nothing.
  LONG DeleteDatabase(CEOID oid);
  LONG FindDatabase(std::u16string_view name, CEOID* oid, DWORD* type = nullptr);

  // Writes inside a scope commit together (one disk sync for the lot); scopes nest.
  class Transaction {
   public:
    explicit Transaction(PropertyStore& store) : tx_(*store.db_) {}
    bool Commit() { return tx_.Commit(); }

   private:
    SqliteDb::Transaction tx_;
  };

  SqliteDb& database() { return *db_; }

 private:
  friend class PropertyDatabase;
  std::shared_ptr<SqliteDb> db_;
};

// The bytes in which a record's properties are kept, exposed for the tests of the format.
std::string EncodeProps(std::span<const PropValue> props);
bool DecodeProps(std::string_view bytes, std::vector<PropValue>* props);

}  // namespace quillet
