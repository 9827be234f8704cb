#include "platform/linux/sqlite_db.h"

#include "platform/roots.h"

namespace quillet {

SqliteStatement::SqliteStatement(sqlite3* db, std::string_view sql) {
  if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr) !=
      SQLITE_OK) {
    stmt_ = nullptr;
  }
}

namespace {

// How many idle copies of one statement a connection keeps (nested reads of one key may use
// two at once), and how many statements in all.
constexpr std::size_t kCopiesKept = 4;
constexpr std::size_t kStatementsKept = 256;

}  // namespace

void SqliteStatement::Release() {
  if (stmt_ == nullptr) return;
  if (home_ != nullptr) {
    home_->TakeBack(stmt_);
  } else {
    sqlite3_finalize(stmt_);
  }
  stmt_ = nullptr;
}

SqliteStatement::~SqliteStatement() { Release(); }

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& o) noexcept {
  if (this != &o) {
    Release();
    stmt_ = o.stmt_;
    home_ = o.home_;
    o.stmt_ = nullptr;
  }
  return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, std::int64_t v) {
  if (stmt_) sqlite3_bind_int64(stmt_, index, v);
  return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, std::string_view text) {
  if (stmt_) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  return *this;
}

SqliteStatement& SqliteStatement::BindBlob(int index, const void* data, std::size_t size) {
  if (stmt_) {
    // A zero-length blob must still be a blob, not NULL.
    if (size == 0) {
      sqlite3_bind_zeroblob(stmt_, index, 0);
    } else {
      sqlite3_bind_blob(stmt_, index, data, static_cast<int>(size), SQLITE_TRANSIENT);
    }
  }
  return *this;
}

SqliteStatement& SqliteStatement::BindNull(int index) {
  if (stmt_) sqlite3_bind_null(stmt_, index);
  return *this;
}

int SqliteStatement::Step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_MISUSE; }

void SqliteStatement::Reset() {
  if (stmt_) {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
}

std::int64_t SqliteStatement::Int(int col) const { return sqlite3_column_int64(stmt_, col); }

std::string SqliteStatement::Text(int col) const {
  const auto* p = sqlite3_column_text(stmt_, col);
  int n = sqlite3_column_bytes(stmt_, col);
  return p ? std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n))
           : std::string();
}

std::string SqliteStatement::Blob(int col) const {
  const void* p = sqlite3_column_blob(stmt_, col);
  int n = sqlite3_column_bytes(stmt_, col);
  return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
}

bool SqliteStatement::IsNull(int col) const {
  return sqlite3_column_type(stmt_, col) == SQLITE_NULL;
}

std::unique_ptr<SqliteDb> SqliteDb::Open(const std::string& path, std::string_view schema,
                                         std::string* error, const std::string& vfs) {
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &raw,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                           vfs.empty() ? nullptr : vfs.c_str());
  if (rc != SQLITE_OK) {
    if (error) *error = raw ? sqlite3_errmsg(raw) : "cannot open database";
    sqlite3_close(raw);
    return nullptr;
  }
  std::unique_ptr<SqliteDb> db(new SqliteDb(raw, path));
  sqlite3_busy_timeout(raw, 60000);
  // WAL lets readers and one writer work side by side; NORMAL sync keeps every committed
  // transaction across a crash of the process (only a power cut may lose the last one).
  if (db->Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;") != SQLITE_OK ||
      db->Exec(schema) != SQLITE_OK) {
    if (error) *error = sqlite3_errmsg(raw);
    return nullptr;
  }
  return db;
}

SqliteDb::~SqliteDb() {
  for (auto& [sql, stmt] : cache_) sqlite3_finalize(stmt);
  sqlite3_close_v2(db_);
}

SqliteStatement SqliteDb::Prepare(std::string_view sql) {
  {
    std::lock_guard<std::mutex> lock(cacheLock_);
    auto it = cache_.find(std::string(sql));
    if (it != cache_.end()) {
      sqlite3_stmt* stmt = it->second;
      cache_.erase(it);
      return SqliteStatement(stmt, this);
    }
  }
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                         &stmt, nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return SqliteStatement();
  }
  return SqliteStatement(stmt, this);
}

void SqliteDb::TakeBack(sqlite3_stmt* stmt) {
  // Reset first: a statement left mid-result would hold its read transaction open.
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  std::string sql = sqlite3_sql(stmt);
  std::lock_guard<std::mutex> lock(cacheLock_);
  if (cache_.size() < kStatementsKept && cache_.count(sql) < kCopiesKept) {
    cache_.emplace(std::move(sql), stmt);
  } else {
    sqlite3_finalize(stmt);
  }
}

int SqliteDb::Exec(std::string_view sql) {
  std::string s(sql);
  return sqlite3_exec(db_, s.c_str(), nullptr, nullptr, nullptr);
}

SqliteDb::Transaction::Transaction(SqliteDb& db) : db_(db) {
  if (db_.depth_ == 0) {
    // IMMEDIATE takes the write lock at once, so two writers queue on the busy time-out
    // instead of failing with a deadlock when both try to upgrade a read lock.
    if (db_.Exec("BEGIN IMMEDIATE") != SQLITE_OK) return;
    outer_ = true;
  }
  ++db_.depth_;
  active_ = true;
}

bool SqliteDb::Transaction::Commit() {
  if (!active_) return false;
  active_ = false;
  --db_.depth_;
  if (!outer_) return true;
  return db_.Exec("COMMIT") == SQLITE_OK;
}

SqliteDb::Transaction::~Transaction() {
  if (!active_) return;
  --db_.depth_;
  if (outer_) db_.Exec("ROLLBACK");
}

namespace {

class SqliteScope final : public TransactionScope {
 public:
  explicit SqliteScope(SqliteDb& db) : tx_(db) {}
  bool Commit() override { return tx_.Commit(); }
  bool active() const override { return tx_.active(); }

 private:
  SqliteDb::Transaction tx_;
};

}  // namespace

std::unique_ptr<TransactionScope> SqliteDb::BeginScope() {
  return std::make_unique<SqliteScope>(*this);
}

std::string SystemDatabasePath(std::string_view root) { return JoinPath(root, "system.db"); }

}  // namespace quillet
