#include "platform/linux/sqlite_db.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/testing/test_support.h"

namespace quillet {
namespace {

class SqliteDbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    db = SqliteDb::Open(dir.File("cache.db"), "CREATE TABLE t(k INTEGER PRIMARY KEY, v TEXT)",
                        &error);
    ASSERT_TRUE(db) << error;
    ASSERT_EQ(db->Exec("INSERT INTO t VALUES (1, 'one'), (2, 'two'), (3, 'three')"), SQLITE_OK);
  }

  std::string ValueOf(std::int64_t key) {
    SqliteStatement q = db->Prepare("SELECT v FROM t WHERE k = ?");
    q.Bind(1, key);
    return q.Step() == SQLITE_ROW ? q.Text(0) : "(none)";
  }

  testing::TempDir dir;
  std::unique_ptr<SqliteDb> db;
};

// A statement comes back from the cache with none of its last use left: no binding, no row.
TEST_F(SqliteDbTest, AStatementUsedAgainStartsAfresh) {
  EXPECT_EQ(ValueOf(2), "two");
  EXPECT_EQ(ValueOf(3), "three");
  {
    SqliteStatement q = db->Prepare("SELECT v FROM t WHERE k = ?");
    // A binding left over from the last use would find "three".
    EXPECT_EQ(q.Step(), SQLITE_DONE);
  }
  EXPECT_EQ(ValueOf(1), "one");
}

// Two uses of one statement at once (a read inside a loop over the same query) must not share
// a compiled statement, or the inner one would end the outer one's walk.
TEST_F(SqliteDbTest, NestedUsesOfOneQueryWalkSeparately) {
  SqliteStatement outer = db->Prepare("SELECT k FROM t ORDER BY k");
  std::string seen;
  while (outer.Step() == SQLITE_ROW) {
    SqliteStatement inner = db->Prepare("SELECT k FROM t ORDER BY k");
    int rows = 0;
    while (inner.Step() == SQLITE_ROW) ++rows;
    EXPECT_EQ(rows, 3);
    seen += std::to_string(outer.Int(0));
  }
  EXPECT_EQ(seen, "123");
}

// A statement dropped in the middle of its rows must not keep the table busy: it is reset as it
// goes back, so the table can still be dropped (SQLite refuses while a statement reads it).
TEST_F(SqliteDbTest, AStatementLeftMidResultHoldsNothing) {
  {
    SqliteStatement q = db->Prepare("SELECT k FROM t ORDER BY k");
    ASSERT_EQ(q.Step(), SQLITE_ROW);
  }
  {
    SqliteStatement moved = db->Prepare("SELECT v FROM t");
    ASSERT_EQ(moved.Step(), SQLITE_ROW);
    SqliteStatement target;
    target = std::move(moved);
    ASSERT_EQ(target.Step(), SQLITE_ROW);
  }
  EXPECT_EQ(db->Exec("DROP TABLE t"), SQLITE_OK) << sqlite3_errmsg(db->handle());
  SqliteStatement gone = db->Prepare("SELECT v FROM t");
  EXPECT_NE(gone.Step(), SQLITE_ROW) << "a cached statement of a dropped table finds nothing";
}

TEST_F(SqliteDbTest, AStatementThatDoesNotCompileIsNotOk) {
  SqliteStatement bad = db->Prepare("SELECT nothing FROM nowhere");
  EXPECT_FALSE(bad.ok());
  EXPECT_EQ(bad.Step(), SQLITE_MISUSE);
  EXPECT_EQ(ValueOf(1), "one") << "the connection is still good";
}

}  // namespace
}  // namespace quillet
