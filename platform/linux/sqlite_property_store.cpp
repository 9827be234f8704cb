#include "platform/linux/sqlite_property_store.h"

#include <algorithm>

#include "platform/codepage.h"

namespace quillet {
namespace {

constexpr std::string_view kSchema =
    "CREATE TABLE IF NOT EXISTS cedb_databases("
    "  oid INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE COLLATE NOCASE, type INTEGER NOT NULL,"
    "  sort_prop INTEGER NOT NULL, sort_flags INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS cedb_records("
    "  oid INTEGER PRIMARY KEY, db INTEGER NOT NULL, sort_key TEXT NOT NULL COLLATE NOCASE,"
    "  props BLOB NOT NULL);"
    "CREATE INDEX IF NOT EXISTS cedb_records_order ON cedb_records(db, sort_key, oid);";

// Database ids are kept apart from record ids, as object ids are on the handheld.
constexpr std::int64_t kDatabaseOidBase = 0x40000000;

// The text by which records are ordered: the sort property as UTF-8 text, numbers as
// zero-padded decimals so they order as numbers.
std::string SortKey(const PropValue& v) {
  switch (TypeOfProp(v.propid)) {
    case CEVT_LPWSTR:
      return Utf16ToUtf8(v.text);
    case CEVT_BLOB:
      return v.blob;
    default: {
      std::string s = std::to_string(v.number);
      return std::string(10 - std::min<std::size_t>(10, s.size()), '0') + s;
    }
  }
}

bool ValidType(WORD t) {
  return t == CEVT_I2 || t == CEVT_I4 || t == CEVT_UI2 || t == CEVT_UI4 || t == CEVT_LPWSTR ||
         t == CEVT_BLOB;
}

}  // namespace

SqlitePropertyStore::SqlitePropertyStore(std::shared_ptr<SqliteDb> db) : db_(std::move(db)) {
  db_->Exec(kSchema);
}

std::unique_ptr<SqlitePropertyStore> SqlitePropertyStore::MountVolume(const std::string& hostPath,
                                                                      std::string* error) {
  auto db = SqliteDb::Open(hostPath, "", error);
  if (!db) return nullptr;
  return std::make_unique<SqlitePropertyStore>(std::shared_ptr<SqliteDb>(std::move(db)));
}

LONG SqlitePropertyStore::CreateDatabase(std::u16string_view name, DWORD type, CEPROPID sortProp,
                                         DWORD sortFlags, CEOID* oid) {
  if (name.empty() || name.size() > 31) return ERROR_INVALID_PARAMETER;
  if (FindDatabase(name, nullptr) == ERROR_SUCCESS) return ERROR_ALREADY_EXISTS;
  auto st = db_->Prepare(
      "INSERT INTO cedb_databases(oid, name, type, sort_prop, sort_flags) VALUES("
      "(SELECT IFNULL(MAX(oid), ?1) + 1 FROM cedb_databases), ?2, ?3, ?4, ?5)");
  st.Bind(1, kDatabaseOidBase)
      .Bind(2, Utf16ToUtf8(name))
      .Bind(3, type)
      .Bind(4, sortProp)
      .Bind(5, sortFlags);
  int rc = st.Step();
  if (rc == SQLITE_CONSTRAINT) return ERROR_ALREADY_EXISTS;
  if (rc != SQLITE_DONE) return ERROR_ACCESS_DENIED;
  if (oid) *oid = static_cast<CEOID>(sqlite3_last_insert_rowid(db_->handle()));
  return ERROR_SUCCESS;
}

LONG SqlitePropertyStore::FindDatabase(std::u16string_view name, CEOID* oid, DWORD* type) {
  auto st = db_->Prepare("SELECT oid, type FROM cedb_databases WHERE name=?1");
  st.Bind(1, Utf16ToUtf8(name));
  if (st.Step() != SQLITE_ROW) return ERROR_FILE_NOT_FOUND;
  if (oid) *oid = static_cast<CEOID>(st.Int(0));
  if (type) *type = static_cast<DWORD>(st.Int(1));
  return ERROR_SUCCESS;
}

LONG SqlitePropertyStore::OpenDatabase(std::u16string_view name,
                                       std::unique_ptr<PropertyDatabase>* db) {
  auto st = db_->Prepare("SELECT oid, sort_prop FROM cedb_databases WHERE name=?1");
  st.Bind(1, Utf16ToUtf8(name));
  if (st.Step() != SQLITE_ROW) return ERROR_FILE_NOT_FOUND;
  db->reset(new SqlitePropertyDatabase(*this, static_cast<CEOID>(st.Int(0)),
                                       static_cast<CEPROPID>(st.Int(1))));
  return ERROR_SUCCESS;
}

LONG SqlitePropertyStore::DeleteDatabase(CEOID oid) {
  SqliteDb::Transaction tx(*db_);
  if (!tx.active()) return ERROR_ACCESS_DENIED;
  auto del = db_->Prepare("DELETE FROM cedb_databases WHERE oid=?1");
  del.Bind(1, oid);
  if (del.Step() != SQLITE_DONE) return ERROR_ACCESS_DENIED;
  if (sqlite3_changes(db_->handle()) == 0) return ERROR_FILE_NOT_FOUND;
  auto recs = db_->Prepare("DELETE FROM cedb_records WHERE db=?1");
  recs.Bind(1, oid);
  if (recs.Step() != SQLITE_DONE) return ERROR_ACCESS_DENIED;
  return tx.Commit() ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

// ---------------------------------------------------------------------------------------------

bool SqlitePropertyDatabase::SetCurrent(CEOID oid) {
  auto st = store_.db_->Prepare("SELECT sort_key FROM cedb_records WHERE oid=?1 AND db=?2");
  st.Bind(1, oid).Bind(2, dbOid_);
  if (st.Step() != SQLITE_ROW) return false;
  current_ = oid;
  currentKey_ = st.Text(0);
  return true;
}

LONG SqlitePropertyDatabase::Seek(SeekType type, std::int64_t offset, CEOID* oid) {
  SqliteStatement st;
  if (type == SeekType::kBeginning) {
    if (offset < 0) return ERROR_NO_MORE_ITEMS;
    st = store_.db_->Prepare(
        "SELECT oid FROM cedb_records WHERE db=?1 ORDER BY sort_key, oid LIMIT 1 OFFSET ?2");
    st.Bind(1, dbOid_).Bind(2, offset);
  } else if (type == SeekType::kCurrent) {
    if (offset == 0) {
      if (current_ == 0 || !SetCurrent(current_)) return ERROR_NO_MORE_ITEMS;
      if (oid) *oid = current_;
      return ERROR_SUCCESS;
    }
    // Records are ordered by (sort key, oid); the position is such a pair, so it stays
    // meaningful even when its record was deleted.
    if (offset > 0) {
      st = store_.db_->Prepare(
          "SELECT oid FROM cedb_records WHERE db=?1 AND (sort_key > ?2 OR (sort_key = ?2 AND "
          "oid > ?3)) ORDER BY sort_key, oid LIMIT 1 OFFSET ?4");
      st.Bind(1, dbOid_).Bind(2, currentKey_).Bind(3, current_).Bind(4, offset - 1);
    } else {
      st = store_.db_->Prepare(
          "SELECT oid FROM cedb_records WHERE db=?1 AND (sort_key < ?2 OR (sort_key = ?2 AND "
          "oid < ?3)) ORDER BY sort_key DESC, oid DESC LIMIT 1 OFFSET ?4");
      st.Bind(1, dbOid_).Bind(2, currentKey_).Bind(3, current_).Bind(4, -offset - 1);
    }
  } else {
    return ERROR_INVALID_PARAMETER;
  }
  if (st.Step() != SQLITE_ROW) return ERROR_NO_MORE_ITEMS;
  CEOID found = static_cast<CEOID>(st.Int(0));
  if (!SetCurrent(found)) return ERROR_NO_MORE_ITEMS;
  if (oid) *oid = found;
  return ERROR_SUCCESS;
}

LONG SqlitePropertyDatabase::SeekValue(SeekType type, const PropValue& value, CEOID* oid) {
  if (value.propid != sortProp_) return ERROR_INVALID_PARAMETER;
  std::string key = SortKey(value);
  SqliteStatement st;
  if (type == SeekType::kValueFirstEqual) {
    // The record's sort key comes with it: the position needs it, and asking for it again
    // cost a query per seek.
    st = store_.db_->Prepare(
        "SELECT oid, 1, sort_key FROM cedb_records WHERE db=?1 AND sort_key = ?2 ORDER BY oid "
        "LIMIT 1");
    st.Bind(1, dbOid_).Bind(2, key);
  } else if (type == SeekType::kValueNextEqual) {
    st = store_.db_->Prepare(
        "SELECT oid, sort_key = ?2, sort_key FROM cedb_records WHERE db=?1 AND (sort_key > ?3 OR "
        "(sort_key = ?3 AND oid > ?4)) ORDER BY sort_key, oid LIMIT 1");
    st.Bind(1, dbOid_).Bind(2, key).Bind(3, currentKey_).Bind(4, current_);
  } else {
    return ERROR_INVALID_PARAMETER;
  }
  if (st.Step() != SQLITE_ROW) return ERROR_NO_MORE_ITEMS;
  if (type == SeekType::kValueNextEqual && st.Int(1) == 0) return ERROR_NO_MORE_ITEMS;
  CEOID found = static_cast<CEOID>(st.Int(0));
  current_ = found;
  currentKey_ = st.Text(2);
  if (oid) *oid = found;
  return ERROR_SUCCESS;
}

LONG SqlitePropertyDatabase::ReadRecord(std::vector<PropValue>* props, CEOID* oid) {
  if (current_ == 0) return ERROR_NO_MORE_ITEMS;
  auto st = store_.db_->Prepare("SELECT props FROM cedb_records WHERE oid=?1 AND db=?2");
  st.Bind(1, current_).Bind(2, dbOid_);
  if (st.Step() != SQLITE_ROW) return ERROR_FILE_NOT_FOUND;
  if (!DecodeProps(st.Blob(0), props)) return ERROR_READ_FAULT;
  if (oid) *oid = current_;
  return ERROR_SUCCESS;
}

LONG SqlitePropertyDatabase::WriteRecord(CEOID oid, std::span<const PropValue> props,
                                         CEOID* written) {
  for (const PropValue& p : props) {
    if (!ValidType(TypeOfProp(p.propid))) return ERROR_INVALID_PARAMETER;
  }
  SqliteDb::Transaction tx(*store_.db_);
  if (!tx.active()) return ERROR_ACCESS_DENIED;
  // The database may have been deleted by another handle or process.
  auto exists = store_.db_->Prepare("SELECT 1 FROM cedb_databases WHERE oid=?1");
  exists.Bind(1, dbOid_);
  if (exists.Step() != SQLITE_ROW) return ERROR_FILE_NOT_FOUND;

  std::vector<PropValue> merged;
  if (oid != 0) {
    auto st = store_.db_->Prepare("SELECT props FROM cedb_records WHERE oid=?1 AND db=?2");
    st.Bind(1, oid).Bind(2, dbOid_);
    if (st.Step() != SQLITE_ROW) return ERROR_FILE_NOT_FOUND;
    if (!DecodeProps(st.Blob(0), &merged)) merged.clear();
  }
  for (const PropValue& p : props) {
    auto it = std::find_if(merged.begin(), merged.end(),
                           [&](const PropValue& m) { return m.propid == p.propid; });
    if (it != merged.end()) {
      *it = p;
    } else {
      merged.push_back(p);
    }
  }
  std::string key;
  for (const PropValue& m : merged) {
    if (m.propid == sortProp_) key = SortKey(m);
  }
  std::string bytes = EncodeProps(merged);
  SqliteStatement st;
  if (oid == 0) {
    st = store_.db_->Prepare("INSERT INTO cedb_records(db, sort_key, props) VALUES(?1, ?2, ?3)");
    st.Bind(1, dbOid_).Bind(2, key).BindBlob(3, bytes.data(), bytes.size());
  } else {
    st = store_.db_->Prepare("UPDATE cedb_records SET sort_key=?2, props=?3 WHERE oid=?1");
    st.Bind(1, oid).Bind(2, key).BindBlob(3, bytes.data(), bytes.size());
  }
  if (st.Step() != SQLITE_DONE) return ERROR_ACCESS_DENIED;
  CEOID result = oid ? oid : static_cast<CEOID>(sqlite3_last_insert_rowid(store_.db_->handle()));
  if (!tx.Commit()) return ERROR_ACCESS_DENIED;
  if (oid == current_ && oid != 0) currentKey_ = key;
  if (written) *written = result;
  return ERROR_SUCCESS;
}

LONG SqlitePropertyDatabase::DeleteRecord(CEOID oid) {
  auto st = store_.db_->Prepare("DELETE FROM cedb_records WHERE oid=?1 AND db=?2");
  st.Bind(1, oid).Bind(2, dbOid_);
  if (st.Step() != SQLITE_DONE) return ERROR_ACCESS_DENIED;
  return sqlite3_changes(store_.db_->handle()) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG SqlitePropertyDatabase::Count(DWORD* count) {
  auto st = store_.db_->Prepare("SELECT COUNT(*) FROM cedb_records WHERE db=?1");
  st.Bind(1, dbOid_);
  if (st.Step() != SQLITE_ROW) return ERROR_ACCESS_DENIED;
  *count = static_cast<DWORD>(st.Int(0));
  return ERROR_SUCCESS;
}

}  // namespace quillet
