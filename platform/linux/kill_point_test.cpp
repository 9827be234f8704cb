// The kill point of the kill tests: which calls count as writes, and that the process dies by
// SIGKILL just before the chosen one, with the writes before it done.
#include "platform/linux/kill_point.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/linux/posix_file_system.h"
#include "platform/linux/sqlite_db.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using testing::TempDir;

TEST(KillPoint, ReadsAreNotCountedAndEveryKindOfWriteIs) {
  TempDir dir;
  PosixFileSystem disk;
  ASSERT_EQ(disk.WriteAll(dir.File("a"), "bytes"), 0);
  WriteKillPoint point(0);
  KillPointFileSystem files(disk, point);
  std::string bytes;
  ASSERT_EQ(files.ReadAll(dir.File("a"), &bytes), 0);
  EXPECT_TRUE(files.Exists(dir.File("a")));
  EXPECT_EQ(point.count(), 0);
  // Create, write, sync, close, rename, folder sync.
  ASSERT_EQ(files.ReplaceFile(dir.File("a"), "new"), 0);
  EXPECT_EQ(point.count(), 6);
  ASSERT_EQ(files.Delete(dir.File("a")), 0);
  ASSERT_EQ(files.CreateFolder(dir.File("f")), 0);
  ASSERT_EQ(files.RemoveFolder(dir.File("f")), 0);
  EXPECT_EQ(point.count(), 9);

  KillPointSqliteVfs vfs(point);
  ASSERT_FALSE(vfs.name().empty());
  auto db = SqliteDb::Open(dir.File("x.db"), "CREATE TABLE t(v)", nullptr, vfs.name());
  ASSERT_TRUE(db);
  const std::int64_t before = point.count();
  ASSERT_EQ(db->Exec("INSERT INTO t VALUES(1)"), SQLITE_OK);
  EXPECT_GT(point.count(), before) << "a commit writes and syncs its log";
}

TEST(KillPoint, TheProcessDiesJustBeforeTheChosenWrite) {
  TempDir dir;
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    PosixFileSystem disk;
    WriteKillPoint point(3);
    KillPointFileSystem files(disk, point);
    files.CreateFolder(dir.File("one"));
    files.CreateFolder(dir.File("two"));
    files.CreateFolder(dir.File("three"));
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGKILL);
  PosixFileSystem disk;
  EXPECT_TRUE(disk.Exists(dir.File("one")));
  EXPECT_TRUE(disk.Exists(dir.File("two")));
  EXPECT_FALSE(disk.Exists(dir.File("three")));
}

}  // namespace
}  // namespace quillet
