// The connection's statements: each Prepare hands out a statement that starts reset with no
// bindings, whether it was prepared afresh or used before, and statements of one text may be in
// use side by side.
#include "platform/linux/sqlite_db.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "platform/testing/test_support.h"

namespace quillet {
namespace {

class Statements : public ::testing::Test {
 protected:
  void SetUp() override {
    db = SqliteDb::Open(dir.File("t.db"), "CREATE TABLE t(k INTEGER, v TEXT);", nullptr);
    ASSERT_NE(db, nullptr);
    for (int k = 1; k <= 3; ++k) {
      auto insert = db->Prepare("INSERT INTO t(k, v) VALUES(?1, ?2)");
      ASSERT_TRUE(insert.ok());
      insert.Bind(1, k).Bind(2, "v" + std::to_string(k));
      ASSERT_EQ(insert.Step(), SQLITE_DONE);
    }
  }
  std::optional<std::string> ValueOf(int k) {
    auto st = db->Prepare("SELECT v FROM t WHERE k=?1");
    st.Bind(1, k);
    if (st.Step() != SQLITE_ROW) return std::nullopt;
    return st.Text(0);
  }

  testing::TempDir dir;
  std::unique_ptr<SqliteDb> db;
};

TEST_F(Statements, AStatementUsedBeforeStartsAfreshWithoutItsBindings) {
  EXPECT_EQ(ValueOf(2), "v2");
  EXPECT_EQ(ValueOf(3), "v3");
  // Left mid-result, then asked again: the new one starts at the first row.
  {
    auto st = db->Prepare("SELECT k FROM t ORDER BY k");
    ASSERT_EQ(st.Step(), SQLITE_ROW);
    ASSERT_EQ(st.Step(), SQLITE_ROW);
    EXPECT_EQ(st.Int(0), 2);
  }
  auto again = db->Prepare("SELECT k FROM t ORDER BY k");
  ASSERT_EQ(again.Step(), SQLITE_ROW);
  EXPECT_EQ(again.Int(0), 1);
  // A parameter bound last time is not bound now: it reads as NULL and matches nothing.
  auto unbound = db->Prepare("SELECT v FROM t WHERE k=?1");
  EXPECT_EQ(unbound.Step(), SQLITE_DONE);
}

TEST_F(Statements, StatementsOfOneTextWorkSideBySide) {
  auto outer = db->Prepare("SELECT k FROM t ORDER BY k");
  int rows = 0;
  while (outer.Step() == SQLITE_ROW) {
    auto inner = db->Prepare("SELECT k FROM t ORDER BY k");
    int innerRows = 0;
    while (inner.Step() == SQLITE_ROW) ++innerRows;
    EXPECT_EQ(innerRows, 3);
    ++rows;
  }
  EXPECT_EQ(rows, 3);
  // A statement moved from keeps nothing; the one moved to works.
  SqliteStatement moved = db->Prepare("SELECT COUNT(*) FROM t");
  SqliteStatement target;
  target = std::move(moved);
  EXPECT_FALSE(moved.ok());
  ASSERT_EQ(target.Step(), SQLITE_ROW);
  EXPECT_EQ(target.Int(0), 3);
}

TEST_F(Statements, AWriteCommitsWhileReadsAreParkedAndBadTextIsRefused) {
  EXPECT_EQ(ValueOf(1), "v1");  // its statement now waits for reuse
  {
    SqliteDb::Transaction tx(*db);
    auto update = db->Prepare("UPDATE t SET v='new' WHERE k=1");
    ASSERT_EQ(update.Step(), SQLITE_DONE);
    EXPECT_TRUE(tx.Commit());
  }
  EXPECT_EQ(ValueOf(1), "new");
  EXPECT_FALSE(db->Prepare("SELEKT nothing").ok());
}

TEST_F(Statements, AStatementMayOutliveItsConnection) {
  auto st = db->Prepare("SELECT COUNT(*) FROM t");
  ASSERT_EQ(st.Step(), SQLITE_ROW);
  EXPECT_EQ(ValueOf(1), "v1");
  db.reset();  // the connection closes once the statement ends
  EXPECT_EQ(st.Int(0), 3);
}

}  // namespace
}  // namespace quillet
