#include "platform/testing/sqlite_fault_vfs.h"

#include <gtest/gtest.h>

#include "platform/context.h"
#include "platform/linux/host_services.h"
#include "platform/linux/sqlite_db.h"
#include "platform/testing/test_support.h"

namespace quillet::testing {
namespace {

class SqliteFaultVfsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    db = SqliteDb::Open(dir.File("t.db"), "CREATE TABLE IF NOT EXISTS t(v TEXT)", &error,
                        shim.name());
    ASSERT_TRUE(db) << error;
  }
  int Insert(std::string_view v) {
    return db->Prepare("INSERT INTO t(v) VALUES(?1)").Bind(1, v).Step();
  }
  // Rows as another connection, through the default VFS, sees them.
  std::int64_t RowsSeenFromOutside() {
    std::string error;
    auto other = SqliteDb::Open(dir.File("t.db"), "", &error);
    EXPECT_TRUE(other) << error;
    auto st = other->Prepare("SELECT COUNT(*) FROM t");
    EXPECT_EQ(st.Step(), SQLITE_ROW);
    return st.Int(0);
  }

  TempDir dir;
  SqliteFaultVfs shim;
  std::unique_ptr<SqliteDb> db;  // closed before the shim goes
};

TEST_F(SqliteFaultVfsTest, PassesEverythingThroughAndCountsReadsWritesAndSyncs) {
  shim.StopFailing();
  ASSERT_EQ(Insert("a"), SQLITE_DONE);
  EXPECT_GT(shim.OperationCount(), 0);
  EXPECT_EQ(shim.FailuresInjected(), 0);
  {
    SqliteDb::Transaction tx(*db);
    ASSERT_EQ(Insert("b"), SQLITE_DONE);
    ASSERT_EQ(Insert("c"), SQLITE_DONE);
    ASSERT_TRUE(tx.Commit());
  }
  ASSERT_EQ(db->Exec("PRAGMA wal_checkpoint(TRUNCATE)"), SQLITE_OK);
  EXPECT_EQ(RowsSeenFromOutside(), 3);
}

TEST_F(SqliteFaultVfsTest, FailsTheChosenOperationOnceOrFromThenOn) {
  shim.FailFrom(0, /*persistent=*/false);
  EXPECT_NE(Insert("lost"), SQLITE_DONE);
  EXPECT_EQ(shim.FailuresInjected(), 1);
  EXPECT_EQ(Insert("kept"), SQLITE_DONE) << "a single failure passes";
  EXPECT_EQ(RowsSeenFromOutside(), 1);

  shim.FailFrom(0, /*persistent=*/true);
  EXPECT_NE(Insert("x"), SQLITE_DONE);
  EXPECT_NE(Insert("y"), SQLITE_DONE);
  EXPECT_GE(shim.FailuresInjected(), 2);
  shim.StopFailing();
  EXPECT_EQ(Insert("z"), SQLITE_DONE) << "the connection recovers once the disk does";
  EXPECT_EQ(RowsSeenFromOutside(), 2);
}

TEST_F(SqliteFaultVfsTest, EachShimHasItsOwnNameAndCounts) {
  SqliteFaultVfs other;
  EXPECT_NE(other.name(), shim.name());
  other.FailFrom(0, /*persistent=*/true);
  shim.StopFailing();
  EXPECT_EQ(Insert("a"), SQLITE_DONE) << "the other shim's failures are not this one's";
  EXPECT_EQ(other.FailuresInjected(), 0);
  EXPECT_EQ(other.OperationCount(), 0);
}

TEST(SqliteVfsChoice, AnUnknownVfsIsAnErrorAndAContextUsesTheOneNamed) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(SqliteDb::Open(dir.File("x.db"), "", &error, "no-such-vfs"));
  EXPECT_FALSE(error.empty());
  HostServices host{EnvironmentSettings{}};
  EXPECT_FALSE(PlatformContext::Open(PlatformContext::Kind::kDevice, dir.File("root"),
                                     host.services(), &error, "no-such-vfs"));

  SqliteFaultVfs shim;
  auto ctx = PlatformContext::Open(PlatformContext::Kind::kDevice, dir.File("root"),
                                   host.services(), &error, shim.name());
  ASSERT_TRUE(ctx) << error;
  shim.FailFrom(0, /*persistent=*/true);
  EXPECT_NE(ctx->registry().SetDword(HKEY_CURRENT_USER, u"Software\\Test", u"v", 1), 0);
  EXPECT_GT(shim.FailuresInjected(), 0);
  shim.StopFailing();
  EXPECT_EQ(ctx->registry().SetDword(HKEY_CURRENT_USER, u"Software\\Test", u"v", 1), 0);
}

}  // namespace
}  // namespace quillet::testing
