#include "platform/file_system.h"

#include <gtest/gtest.h>

#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using testing::TempDir;

TEST(PosixFiles, CreateWriteReadRenameDeleteAndErrors) {
  TempDir dir;
  FileSystem& fs = PosixFiles();
  std::string a = dir.File("a b.bin");
  ASSERT_EQ(fs.WriteAll(a, std::string("hello\0world", 11)), 0);
  std::string bytes;
  ASSERT_EQ(fs.ReadAll(a, &bytes), 0);
  EXPECT_EQ(bytes, std::string("hello\0world", 11));

  std::unique_ptr<File> f;
  ASSERT_EQ(fs.Open(a, OpenMode::kRead, &f), 0);
  char buf[5];
  std::size_t got = 0;
  ASSERT_EQ(f->Seek(6, SEEK_SET), 0);
  ASSERT_EQ(f->Read(buf, 5, &got), 0);
  EXPECT_EQ(std::string(buf, got), "world");
  ASSERT_EQ(f->Read(buf, 5, &got), 0);
  EXPECT_EQ(got, 0u);
  std::uint64_t size = 0;
  ASSERT_EQ(f->Size(&size), 0);
  EXPECT_EQ(size, 11u);
  EXPECT_EQ(f->Close(), 0);
  EXPECT_EQ(f->Close(), ERROR_INVALID_HANDLE);

  EXPECT_EQ(fs.Open(dir.File("none"), OpenMode::kRead, &f), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(fs.Open(dir.File("no/dir/x"), OpenMode::kCreate, &f), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(fs.CreateFolder(dir.File("x/y")), ERROR_PATH_NOT_FOUND);
  ASSERT_EQ(fs.CreateFolders(dir.File("x/y/z")), 0);
  EXPECT_EQ(fs.CreateFolder(dir.File("x")), ERROR_ALREADY_EXISTS);

  std::string b = dir.File("x/b.bin");
  ASSERT_EQ(fs.WriteAll(b, "old"), 0);
  ASSERT_EQ(fs.Rename(a, b), 0) << "rename replaces the target";
  ASSERT_EQ(fs.ReadAll(b, &bytes), 0);
  EXPECT_EQ(bytes.size(), 11u);
  EXPECT_FALSE(fs.Exists(a));
  EXPECT_EQ(fs.Delete(a), ERROR_FILE_NOT_FOUND);
  std::int64_t when = 0;
  ASSERT_EQ(fs.LastWriteTime(b, &when), 0);
  EXPECT_GT(when, 1700000000);
}

TEST(PosixFiles, FindFilesMatchesPatternsWithoutCase) {
  TempDir dir;
  FileSystem& fs = PosixFiles();
  for (const char* n : {"QuilletDB", "QuilletDB.tmp", "StockNoteDB", "backup_2026-12-08"}) {
    ASSERT_EQ(fs.WriteAll(dir.File(n), "x"), 0);
  }
  std::vector<FoundFile> found;
  ASSERT_EQ(fs.FindFiles(dir.path(), "quillet*", &found), 0);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].name, "QuilletDB");
  EXPECT_EQ(found[1].name, "QuilletDB.tmp");
  ASSERT_EQ(fs.FindFiles(dir.path(), "*DB", &found), 0);
  EXPECT_EQ(found.size(), 2u);
  ASSERT_EQ(fs.FindFiles(dir.path(),
                         "backup_????"
                         "-?"
                         "?-?"
                         "?",
                         &found),
            0);
  EXPECT_EQ(found.size(), 1u);
  EXPECT_EQ(fs.FindFiles(dir.File("missing"), "*", &found), ERROR_PATH_NOT_FOUND);
  EXPECT_TRUE(MatchesPattern("a.b.c", "*.c"));
  EXPECT_FALSE(MatchesPattern("abc", "a?"));
  EXPECT_TRUE(MatchesPattern("", "*"));
}

TEST(PosixFiles, SyncWorksOnOpenFilesAndExistingFolders) {
  TempDir dir;
  FileSystem& fs = PosixFiles();
  std::unique_ptr<File> f;
  ASSERT_EQ(fs.Open(dir.File("s"), OpenMode::kCreate, &f), 0);
  ASSERT_EQ(f->Write("abc", 3), 0);
  EXPECT_EQ(f->Sync(), 0);
  EXPECT_EQ(f->Close(), 0);
  EXPECT_EQ(f->Sync(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(fs.SyncFolder(dir.path()), 0);
  EXPECT_EQ(fs.SyncFolder(dir.File("missing")), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(fs.SyncFolder(dir.File("s")), ERROR_PATH_NOT_FOUND) << "a file is not a folder";
}

TEST(ReplaceFile, CreatesOrReplacesAndLeavesNoTemporaryFile) {
  TempDir dir;
  FileSystem& fs = PosixFiles();
  std::string path = dir.File("QuilletDB");
  FileSystem::ReplaceStep step = FileSystem::ReplaceStep::kWrite;
  ASSERT_EQ(fs.ReplaceFile(path, "first", &step), 0);
  EXPECT_EQ(step, FileSystem::ReplaceStep::kNone);
  ASSERT_EQ(fs.ReplaceFile(path, std::string("sec\0nd", 6)), 0);
  std::string bytes;
  ASSERT_EQ(fs.ReadAll(path, &bytes), 0);
  EXPECT_EQ(bytes, std::string("sec\0nd", 6));
  EXPECT_FALSE(fs.Exists(path + ".tmp"));
  // A stale temporary file of an earlier failed save is overwritten, not appended to.
  ASSERT_EQ(fs.WriteAll(path + ".tmp", std::string(100, 'x')), 0);
  ASSERT_EQ(fs.ReplaceFile(path, "third"), 0);
  ASSERT_EQ(fs.ReadAll(path, &bytes), 0);
  EXPECT_EQ(bytes, "third");
  EXPECT_EQ(fs.ReplaceFile(dir.File("no/such/folder"), "x", &step), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(step, FileSystem::ReplaceStep::kCreate);
}

TEST(ReplaceFile, EveryStepIsCountedInOrderAndAFailureBeforeTheRenameKeepsTheOldFile) {
  TempDir dir;
  FaultInjectingFileSystem fs(PosixFiles());
  std::string path = dir.File("StockNoteDB");
  ASSERT_EQ(fs.ReplaceFile(path, "old"), 0);
  EXPECT_EQ(fs.OperationCount(), 6) << "create, write, sync, close, rename, folder sync";

  using Op = FaultInjectingFileSystem::Op;
  using Step = FileSystem::ReplaceStep;
  const struct {
    Op op;
    Step step;
  } cases[] = {{Op::kCreate, Step::kCreate},
               {Op::kWrite, Step::kWrite},
               {Op::kSync, Step::kSync},
               {Op::kClose, Step::kClose},
               {Op::kRename, Step::kRename}};
  for (const auto& c : cases) {
    fs.Clear();
    fs.FailOn(c.op, "", 0, ERROR_WRITE_FAULT);
    Step step = Step::kNone;
    EXPECT_EQ(fs.ReplaceFile(path, "new", &step), ERROR_WRITE_FAULT);
    EXPECT_EQ(step, c.step);
    std::string bytes;
    ASSERT_EQ(fs.ReadAll(path, &bytes), 0);
    EXPECT_EQ(bytes, "old") << static_cast<int>(c.step);
    EXPECT_FALSE(fs.Exists(path + ".tmp")) << static_cast<int>(c.step);
  }

  // The folder sync comes after the rename: the new bytes are in place, but not known to be on
  // the disk, and the caller hears of it.
  fs.Clear();
  fs.FailOn(Op::kSyncFolder, "", 0, ERROR_WRITE_FAULT);
  Step step = Step::kNone;
  EXPECT_EQ(fs.ReplaceFile(path, "new", &step), ERROR_WRITE_FAULT);
  EXPECT_EQ(step, Step::kSyncFolder);
  std::string bytes;
  ASSERT_EQ(fs.ReadAll(path, &bytes), 0);
  EXPECT_EQ(bytes, "new");
}

TEST(FaultInjectingFiles, AChosenRenameFailsAndLeavesBothFiles) {
  TempDir dir;
  FaultInjectingFileSystem fs(PosixFiles());
  ASSERT_EQ(fs.WriteAll(dir.File("QuilletDB"), "old"), 0);
  ASSERT_EQ(fs.WriteAll(dir.File("QuilletDB.tmp"), "new"), 0);
  fs.FailOn(FaultInjectingFileSystem::Op::kRename, "/QuilletDB");
  EXPECT_EQ(fs.Rename(dir.File("QuilletDB.tmp"), dir.File("QuilletDB")), ERROR_WRITE_FAULT);
  std::string bytes;
  ASSERT_EQ(fs.ReadAll(dir.File("QuilletDB"), &bytes), 0);
  EXPECT_EQ(bytes, "old");
  EXPECT_TRUE(fs.Exists(dir.File("QuilletDB.tmp")));
  // The rule fired once; the next rename goes through.
  EXPECT_EQ(fs.Rename(dir.File("QuilletDB.tmp"), dir.File("QuilletDB")), 0);
  ASSERT_EQ(fs.ReadAll(dir.File("QuilletDB"), &bytes), 0);
  EXPECT_EQ(bytes, "new");
}

TEST(FaultInjectingFiles, CreatesAndWritesFailWhereTold) {
  TempDir dir;
  FaultInjectingFileSystem fs(PosixFiles());
  fs.FailOn(FaultInjectingFileSystem::Op::kCreate, ".tmp", /*skip=*/1);
  EXPECT_EQ(fs.WriteAll(dir.File("a.tmp"), "1"), 0) << "the first create is skipped";
  EXPECT_EQ(fs.WriteAll(dir.File("b.tmp"), "1"), ERROR_WRITE_FAULT);
  EXPECT_EQ(fs.WriteAll(dir.File("c.dat"), "1"), 0);

  fs.FailWritesAfter("half", 4);
  std::unique_ptr<File> f;
  ASSERT_EQ(fs.Open(dir.File("half"), OpenMode::kCreate, &f), 0);
  EXPECT_EQ(f->Write("abc", 3), 0);
  EXPECT_EQ(f->Write("defg", 4), ERROR_WRITE_FAULT);
  f->Close();
  std::string bytes;
  ASSERT_EQ(fs.ReadAll(dir.File("half"), &bytes), 0);
  EXPECT_EQ(bytes, "abcd") << "a full disk lets the bytes up to the limit through";

  fs.Clear();
  fs.FailNthOperation(1);
  EXPECT_EQ(fs.WriteAll(dir.File("n"), "xy"), ERROR_WRITE_FAULT) << "open is 0, the write is 1";
  EXPECT_EQ(fs.FailuresInjected(), 1);
}

TEST(FaultInjectingFiles, ANthFailureFailsOnceOrFromThenOn) {
  TempDir dir;
  FaultInjectingFileSystem fs(PosixFiles());
  ASSERT_EQ(fs.WriteAll(dir.File("a"), "1"), 0);

  fs.FailNthOperation(2);  // the close of the first WriteAll
  EXPECT_EQ(fs.WriteAll(dir.File("b"), "1"), ERROR_WRITE_FAULT);
  EXPECT_EQ(fs.WriteAll(dir.File("c"), "1"), 0) << "a single failure passes on";
  EXPECT_EQ(fs.FailuresInjected(), 1);
  std::string bytes;
  EXPECT_EQ(fs.ReadAll(dir.File("b"), &bytes), 0) << "the failed close still closed the file";

  fs.Clear();
  fs.FailNthOperation(1, /*persistent=*/true);
  EXPECT_EQ(fs.WriteAll(dir.File("d"), "1"), ERROR_WRITE_FAULT);
  EXPECT_EQ(fs.Delete(dir.File("a")), ERROR_WRITE_FAULT);
  EXPECT_EQ(fs.SyncFolder(dir.path()), ERROR_WRITE_FAULT);
  EXPECT_EQ(fs.CreateFolder(dir.File("e")), ERROR_WRITE_FAULT);
  EXPECT_EQ(fs.FailuresInjected(), 4);
  EXPECT_TRUE(fs.Exists(dir.File("a")));
  EXPECT_FALSE(fs.Exists(dir.File("e")));
}

}  // namespace
}  // namespace quillet
