// Property databases of the handheld's object store: named databases of records, each record a
// set of typed properties, kept in the order of one sort property, walked with a current
// position and seeks. The desktop may reach the same kind of database inside a separate volume
// file. Several processes can use one database at once, and a record is written whole or not at
// all.
//
// Calls return Win32 error numbers: 0, 2 (no such database or record), 5 (the store refused a
// write), 87 (bad argument), 183 (a database of that name exists), 259 (a seek found nothing).
//
// These are the interfaces the system's code holds; the object store kept in the root's SQLite
// file (and a volume in its own file) is one implementation (platform/linux), which the
// program's main chooses.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/store_transaction.h"
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
  kBeginning,        // CEDB_SEEK_BEGINNING: the offset-th record from the first
  kCurrent,          // CEDB_SEEK_CURRENT: offset records on from the current one
  kValueFirstEqual,  // CEDB_SEEK_VALUEFIRSTEQUAL: the first record whose sort value equals
  kValueNextEqual,   // CEDB_SEEK_VALUENEXTEQUAL: the next record, if its sort value equals
};

struct PropValue {
  CEPROPID propid = 0;
  std::u16string text;       // CEVT_LPWSTR
  std::uint32_t number = 0;  // CEVT_I2, CEVT_UI2, CEVT_I4, CEVT_UI4 (stored in the type's width)
  std::string blob;          // CEVT_BLOB

  static PropValue Text(CEPROPID id, std::u16string_view t) {
    return {id, std::u16string(t), 0, {}};
  }
  static PropValue Number(CEPROPID id, std::uint32_t n) { return {id, {}, n, {}}; }
  static PropValue Blob(CEPROPID id, std::string_view b) { return {id, {}, 0, std::string(b)}; }
};

// An open database: a current position in sort order and the record operations. The position
// is a place in the order, not a record: it stays meaningful when its record is deleted.
class PropertyDatabase {
 public:
  virtual ~PropertyDatabase() = default;

  // Moves the current position: kBeginning to the offset-th record from the first, kCurrent
  // `offset` records on (back when negative; 0 re-reads the current record). 0 with *oid (when
  // given) the record found; 259 when there is none there, the position then left where it
  // was; 87 for a seek type that compares values.
  virtual LONG Seek(SeekType type, std::int64_t offset, CEOID* oid) = 0;
  // kValueFirstEqual: the first record whose sort property equals `value`; kValueNextEqual: the
  // record after the current one, if its sort property equals `value`. Text compares without
  // regard to case. 0 with *oid set; 259 when nothing matches (the position is kept); 87 when
  // `value` is not the sort property or the type is not a value seek.
  virtual LONG SeekValue(SeekType type, const PropValue& value, CEOID* oid) = 0;
  // Reads every property of the current record; the position does not move. 0 with *oid (when
  // given) the record's id; 259 before the first seek; 2 when the record was deleted since; 30
  // when its stored bytes cannot be read.
  virtual LONG ReadRecord(std::vector<PropValue>* props, CEOID* oid) = 0;
  // Writes the given properties into record `oid` (others it has are kept), or creates a new
  // record when oid is 0, all or nothing. 0 with *written (when given) the record's id; 87 for
  // a property of an unknown type; 2 when the database or the record is gone; 5 when the store
  // refuses the write (the record keeps its old properties).
  virtual LONG WriteRecord(CEOID oid, std::span<const PropValue> props, CEOID* written) = 0;
  // 0; 2 when the database holds no such record; 5 when the store refuses the write.
  virtual LONG DeleteRecord(CEOID oid) = 0;
  // The number of records: 0, or 5 when the store cannot be read.
  virtual LONG Count(DWORD* count) = 0;
  // The database's own id, as CreateDatabase gave it.
  virtual CEOID oid() const = 0;
};

class PropertyStore {
 public:
  virtual ~PropertyStore() = default;

  // Creates an empty database ordered by `sortProp`: 0 with *oid (when given) its id; 87 for an
  // empty name or one longer than 31 characters; 183 when a database of that name (in any
  // case) exists; 5 when the store refuses the write.
  virtual LONG CreateDatabase(std::u16string_view name, DWORD type, CEPROPID sortProp,
                              DWORD sortFlags, CEOID* oid) = 0;
  // Opens by name, without regard to case: 0 with *db set, its position before the first
  // record; 2 when there is no such database.
  virtual LONG OpenDatabase(std::u16string_view name, std::unique_ptr<PropertyDatabase>* db) = 0;
  // Deletes a database with all its records, all or nothing; open handles to it then find
  // nothing. 0; 2 when there is no such database; 5 when the store refuses the write.
  virtual LONG DeleteDatabase(CEOID oid) = 0;
  // 0 with *oid and *type (each when given) set; 2 when there is no such database.
  virtual LONG FindDatabase(std::u16string_view name, CEOID* oid, DWORD* type = nullptr) = 0;

  // Starts a scope of writes that commit together (see Transaction). Never null; a scope that
  // could not start is not active, and its Commit fails.
  virtual std::unique_ptr<TransactionScope> BeginTransaction() = 0;

  // Writes inside a scope commit together (one disk sync for the lot); scopes nest and only the
  // outermost commits. A scope ended without Commit rolls its writes back.
  class Transaction {
   public:
    explicit Transaction(PropertyStore& store) : scope_(store.BeginTransaction()) {}
    bool Commit() { return scope_ && scope_->Commit(); }
    bool active() const { return scope_ && scope_->active(); }

   private:
    std::unique_ptr<TransactionScope> scope_;
  };
};

// The bytes in which a record's properties are kept, exposed for the tests of the format.
std::string EncodeProps(std::span<const PropValue> props);
bool DecodeProps(std::string_view bytes, std::vector<PropValue>* props);

}  // namespace quillet
