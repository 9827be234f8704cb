// A thin owner of one SQLite connection, shared by the registry and the property databases of a
// root. The connection runs in WAL mode with a generous busy time-out, so several processes of
// one root (the handheld program, the Today item, the desktop companion's remote calls) can
// read and write the same file at once without losing a write.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/store_transaction.h"

namespace quillet {

class SqliteDb;

class SqliteStatement {
 public:
  SqliteStatement() = default;
  SqliteStatement(sqlite3* db, std::string_view sql);
  ~SqliteStatement();
  SqliteStatement(SqliteStatement&& o) noexcept : stmt_(o.stmt_), home_(o.home_) {
    o.stmt_ = nullptr;
  }
  SqliteStatement& operator=(SqliteStatement&& o) noexcept;
  SqliteStatement(const SqliteStatement&) = delete;

  bool ok() const { return stmt_ != nullptr; }
  SqliteStatement& Bind(int index, std::int64_t v);
  SqliteStatement& Bind(int index, std::string_view text);
  SqliteStatement& BindBlob(int index, const void* data, std::size_t size);
  SqliteStatement& BindNull(int index);
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step();
  void Reset();
  std::int64_t Int(int col) const;
  std::string Text(int col) const;
  std::string Blob(int col) const;
  bool IsNull(int col) const;

 private:
  friend class SqliteDb;
  SqliteStatement(sqlite3_stmt* stmt, SqliteDb* home) : stmt_(stmt), home_(home) {}
  void Release();
  sqlite3_stmt* stmt_ = nullptr;
  // The connection whose cache takes the statement back when it is done with; null: finalized.
  SqliteDb* home_ = nullptr;
};

class SqliteDb {
 public:
  // Opens (creating when missing) the file, sets WAL mode and the busy time-out, and runs
  // `schema` (statements separated by ';'). Returns null and sets *error when it cannot.
  // `vfs` names the SQLite VFS to go through (tests pass one that fails chosen reads and
  // writes); empty: the default one.
  static std::unique_ptr<SqliteDb> Open(const std::string& path, std::string_view schema,
                                        std::string* error, const std::string& vfs = {});
  ~SqliteDb();
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  sqlite3* handle() const { return db_; }
  const std::string& path() const { return path_; }
  // Runs statements without results; returns an SQLite result code.
  int Exec(std::string_view sql);
  // A statement for `sql`, compiled once per connection: a registry read or write runs the same
  // few statements again and again, and compiling them each time cost more than running them.
  // The statement goes back to the connection's cache, reset, when it is destroyed; it must not
  // outlive the connection.
  SqliteStatement Prepare(std::string_view sql);

  // Nested scopes join the outermost transaction; only the outermost commits. A scope ended
  // without Commit rolls back.
  class Transaction {
   public:
    explicit Transaction(SqliteDb& db);
    ~Transaction();
    bool Commit();
    bool active() const { return active_; }

   private:
    SqliteDb& db_;
    bool outer_ = false;
    bool active_ = false;
  };

  // The same scope, as the registry and the property databases hand it out.
  std::unique_ptr<TransactionScope> BeginScope();

 private:
  SqliteDb(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}
  void TakeBack(sqlite3_stmt* stmt);
  sqlite3* db_;
  std::string path_;
  int depth_ = 0;
  // Compiled statements not in use, by their text. The connection is shared between threads
  // (it is opened fully serialized), so the cache has its own lock.
  std::mutex cacheLock_;
  std::unordered_multimap<std::string, sqlite3_stmt*> cache_;
  friend class Transaction;
  friend class SqliteStatement;
};

// The SQLite file of a root: "<root>/system.db".
std::string SystemDatabasePath(std::string_view root);

}  // namespace quillet
