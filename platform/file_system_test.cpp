#include "platform/file_system.h"

#include <gtest/gtest.h>

#include "platform/linux/posix_file_system.h"
#include "platform/linux/system_clock.h"
#include "platform/testing/in_memory_file_system.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using testing::InMemoryFileSystem;
using testing::TempDir;

// The same checks run against the real file system, the in-memory one and a plain wrapper
// around the in-memory one, so that code tested on the in-memory disk (or through a wrapper)
// meets what it would meet on a real one. Each test gets an empty folder, `dir`.
class FileSystemContract : public ::testing::TestWithParam<std::string> {
 protected:
  struct Folder {
    std::string root;
    const std::string& path() const { return root; }
    std::string File(std::string_view name) const { return root + "/" + std::string(name); }
  };

  void SetUp() override {
    if (GetParam() == "Posix") {
      dir.root = temp_.path();
    } else {
      dir.root = "/home/user/quillet test";
      ASSERT_EQ(memory_.CreateFolders(dir.root), 0);
    }
  }
  FileSystem& files() {
    if (GetParam() == "Posix") return posix_;
    if (GetParam() == "InMemory") return memory_;
    return wrapped_;
  }

  Folder dir;

 private:
  TempDir temp_;
  SystemClock clock_{std::nullopt};  // write times as the real disk gives them
  PosixFileSystem posix_;
  InMemoryFileSystem memory_{clock_};
  FileSystemWrapper wrapped_{memory_};
};

INSTANTIATE_TEST_SUITE_P(Each, FileSystemContract,
                         ::testing::Values("Posix", "InMemory", "WrappedInMemory"),
                         [](const auto& param) { return param.param; });

TEST_P(FileSystemContract, CreateWriteReadRenameDeleteAndErrors) {
  FileSystem& fs = files();
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

TEST_P(FileSystemContract, FindFilesMatchesPatternsWithoutCase) {
  FileSystem& fs = files();
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

TEST(FolderOfPath, NamesTheFolderThatHoldsTheEntry) {
  EXPECT_EQ(FolderOf("/root/Program Files/Quillet/QuilletDB"), "/root/Program Files/Quillet");
  EXPECT_EQ(FolderOf("/QuilletDB"), "/");
  EXPECT_EQ(FolderOf("QuilletDB"), ".");
  EXPECT_EQ(FolderOf("work/Quillet.ini"), "work");
  EXPECT_EQ(FolderOf("/root/folder/"), "/root/folder");
}

TEST_P(FileSystemContract, SyncWorksOnOpenFilesAndExistingFolders) {
  FileSystem& fs = files();
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

TEST_P(FileSystemContract, ReplaceFileCreatesOrReplacesAndLeavesNoTemporaryFile) {
  FileSystem& fs = files();
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

TEST_P(FileSystemContract, ReplaceFileCountsEveryStepAndAFailureBeforeTheRenameKeepsTheOld) {
  FaultInjectingFileSystem fs(files());
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

TEST_P(FileSystemContract, ErrorNumbersAreTheWin32Ones) {
  FileSystem& fs = files();
  ASSERT_EQ(fs.WriteAll(dir.File("f"), "x"), 0);
  ASSERT_EQ(fs.CreateFolder(dir.File("sub")), 0);
  ASSERT_EQ(fs.WriteAll(dir.File("sub/in"), "y"), 0);
  std::unique_ptr<File> f;
  EXPECT_EQ(fs.Open(dir.File("missing"), OpenMode::kRead, &f), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(fs.Open(dir.File("missing"), OpenMode::kReadWrite, &f), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(fs.Open(dir.File("no/x"), OpenMode::kRead, &f), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(fs.Open(dir.File("f/x"), OpenMode::kCreate, &f), ERROR_PATH_NOT_FOUND)
      << "a file on the way is no folder";
  EXPECT_EQ(fs.Open(dir.File("sub"), OpenMode::kRead, &f), ERROR_ACCESS_DENIED);
  EXPECT_EQ(fs.Open(dir.File("sub"), OpenMode::kCreate, &f), ERROR_ACCESS_DENIED);

  EXPECT_EQ(fs.Delete(dir.File("missing")), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(fs.Delete(dir.File("no/x")), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(fs.Delete(dir.File("sub")), ERROR_ACCESS_DENIED) << "a folder is not deleted";
  EXPECT_EQ(fs.CreateFolder(dir.File("f")), ERROR_ALREADY_EXISTS) << "a file holds the name";
  EXPECT_EQ(fs.CreateFolder(dir.File("f/x")), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(fs.RemoveFolder(dir.File("missing")), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(fs.RemoveFolder(dir.File("f")), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(fs.RemoveFolder(dir.File("sub")), ERROR_ACCESS_DENIED) << "not empty";
  std::int64_t when = 0;
  EXPECT_EQ(fs.LastWriteTime(dir.File("missing"), &when), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(fs.LastWriteTime(dir.File("no/x"), &when), ERROR_PATH_NOT_FOUND);
  std::vector<FoundFile> found;
  EXPECT_EQ(fs.FindFiles(dir.File("f"), "*", &found), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(fs.Rename(dir.File("missing"), dir.File("y")), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(fs.Rename(dir.File("no/x"), dir.File("y")), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(fs.Rename(dir.File("f"), dir.File("sub")), ERROR_ACCESS_DENIED);
  EXPECT_EQ(fs.Rename(dir.File("sub"), dir.File("f")), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(fs.Rename(dir.File("sub"), dir.File("sub/deeper")), ERROR_ACCESS_DENIED);
  ASSERT_EQ(fs.Delete(dir.File("sub/in")), 0);
  EXPECT_EQ(fs.RemoveFolder(dir.File("sub")), 0);
  EXPECT_FALSE(fs.Exists(dir.File("sub")));

  // Handles: each may only do what it was opened for, and nothing once closed.
  ASSERT_EQ(fs.Open(dir.File("f"), OpenMode::kRead, &f), 0);
  EXPECT_EQ(f->Write("z", 1), ERROR_ACCESS_DENIED);
  EXPECT_EQ(f->Seek(-1, SEEK_SET), ERROR_INVALID_PARAMETER);
  ASSERT_EQ(f->Close(), 0);
  char c;
  std::size_t got = 0;
  std::uint64_t size = 0;
  EXPECT_EQ(f->Read(&c, 1, &got), ERROR_INVALID_HANDLE);
  EXPECT_EQ(f->Write("z", 1), ERROR_INVALID_HANDLE);
  EXPECT_EQ(f->Seek(0, SEEK_SET), ERROR_INVALID_HANDLE);
  EXPECT_EQ(f->Size(&size), ERROR_INVALID_HANDLE);
  ASSERT_EQ(fs.Open(dir.File("f"), OpenMode::kCreate, &f), 0);
  EXPECT_EQ(f->Read(&c, 1, &got), ERROR_READ_FAULT) << "created for writing only";
}

TEST_P(FileSystemContract, OpenModesTruncateOrKeepAndWritesMayPassTheEnd) {
  FileSystem& fs = files();
  ASSERT_EQ(fs.WriteAll(dir.File("f"), "abcdef"), 0);
  std::unique_ptr<File> f;
  ASSERT_EQ(fs.Open(dir.File("f"), OpenMode::kReadWrite, &f), 0);
  ASSERT_EQ(f->Seek(2, SEEK_SET), 0);
  ASSERT_EQ(f->Write("XY", 2), 0);
  ASSERT_EQ(f->Seek(0, SEEK_END), 0);
  ASSERT_EQ(f->Write("!", 1), 0);
  ASSERT_EQ(f->Seek(2, SEEK_END), 0);
  ASSERT_EQ(f->Write("z", 1), 0);
  ASSERT_EQ(f->Seek(-10, SEEK_CUR), 0);
  char buf[16];
  std::size_t got = 0;
  ASSERT_EQ(f->Read(buf, sizeof buf, &got), 0);
  EXPECT_EQ(std::string(buf, got), std::string("abXYef!\0\0z", 10));
  ASSERT_EQ(f->Close(), 0);

  ASSERT_EQ(fs.Open(dir.File("f"), OpenMode::kOpenAlways, &f), 0);
  std::uint64_t size = 0;
  ASSERT_EQ(f->Size(&size), 0);
  EXPECT_EQ(size, 10u) << "open-always keeps what is there";
  ASSERT_EQ(fs.Open(dir.File("new"), OpenMode::kOpenAlways, &f), 0);
  ASSERT_EQ(f->Size(&size), 0);
  EXPECT_EQ(size, 0u);
  EXPECT_TRUE(fs.Exists(dir.File("new")));
  ASSERT_EQ(fs.Open(dir.File("f"), OpenMode::kCreate, &f), 0);
  ASSERT_EQ(f->Size(&size), 0);
  EXPECT_EQ(size, 0u) << "create truncates";
}

TEST_P(FileSystemContract, RenameMovesFilesAndWholeFolders) {
  FileSystem& fs = files();
  ASSERT_EQ(fs.CreateFolders(dir.File("a/inner")), 0);
  ASSERT_EQ(fs.WriteAll(dir.File("a/inner/x"), "deep"), 0);
  ASSERT_EQ(fs.CreateFolder(dir.File("empty")), 0);
  ASSERT_EQ(fs.Rename(dir.File("a"), dir.File("empty")), 0) << "an empty folder is replaced";
  std::string bytes;
  ASSERT_EQ(fs.ReadAll(dir.File("empty/inner/x"), &bytes), 0);
  EXPECT_EQ(bytes, "deep");
  EXPECT_FALSE(fs.Exists(dir.File("a")));
  ASSERT_EQ(fs.CreateFolder(dir.File("b")), 0);
  ASSERT_EQ(fs.WriteAll(dir.File("b/y"), "1"), 0);
  EXPECT_EQ(fs.Rename(dir.File("empty"), dir.File("b")), ERROR_ACCESS_DENIED) << "not empty";
  ASSERT_EQ(fs.Rename(dir.File("empty/inner/x"), dir.File("b/x")), 0);
  EXPECT_EQ(fs.Rename(dir.File("b/x"), dir.File("b/x")), 0) << "onto itself: nothing happens";
  ASSERT_EQ(fs.ReadAll(dir.File("b/x"), &bytes), 0);
  EXPECT_EQ(bytes, "deep");
}

TEST_P(FileSystemContract, FindFilesTellsFoldersFromFiles) {
  FileSystem& fs = files();
  ASSERT_EQ(fs.WriteAll(dir.File("one"), "123"), 0);
  ASSERT_EQ(fs.CreateFolder(dir.File("Two")), 0);
  std::vector<FoundFile> found;
  ASSERT_EQ(fs.FindFiles(dir.path(), "*", &found), 0);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].name, "Two");
  EXPECT_TRUE(found[0].isFolder);
  EXPECT_EQ(found[1].name, "one");
  EXPECT_FALSE(found[1].isFolder);
  EXPECT_EQ(found[1].size, 3u);
  EXPECT_GT(found[1].lastWrite, 1700000000);
}

TEST(FaultInjectingFiles, AChosenRenameFailsAndLeavesBothFiles) {
  TempDir dir;
  PosixFileSystem disk;
  FaultInjectingFileSystem fs(disk);
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
  PosixFileSystem disk;
  FaultInjectingFileSystem fs(disk);
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
  PosixFileSystem disk;
  FaultInjectingFileSystem fs(disk);
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

// The in-memory disk keeps what was synced apart from what was only written, so a power cut
// can be played and a save checked for what survives it.
class InMemoryPowerLoss : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(fs.CreateFolders("/d"), 0);
    fs.SyncEverything();
  }
  std::string Read(const std::string& path) {
    std::string bytes;
    EXPECT_EQ(fs.ReadAll(path, &bytes), 0) << path;
    return bytes;
  }
  ManualClock clock{1051891200};
  InMemoryFileSystem fs{clock};
};

TEST_F(InMemoryPowerLoss, OnlyWhatWasSyncedSurvives) {
  ASSERT_EQ(fs.WriteAll("/d/unsynced", "lost"), 0);
  std::unique_ptr<File> f;
  ASSERT_EQ(fs.Open("/d/synced", OpenMode::kCreate, &f), 0);
  ASSERT_EQ(f->Write("one", 3), 0);
  ASSERT_EQ(f->Sync(), 0);
  ASSERT_EQ(f->Write("two", 3), 0);
  ASSERT_EQ(f->Close(), 0);
  ASSERT_EQ(fs.SyncFolder("/d"), 0);
  ASSERT_EQ(fs.CreateFolder("/d/sub"), 0);
  ASSERT_EQ(fs.WriteAll("/d/later", "x"), 0);
  ASSERT_EQ(fs.Delete("/d/later"), 0);
  EXPECT_EQ(Read("/d/synced"), "onetwo");

  fs.SimulatePowerLoss();
  EXPECT_EQ(Read("/d/synced"), "one") << "bytes written after the sync are gone";
  EXPECT_EQ(Read("/d/unsynced"), "") << "its name was synced with the folder, its bytes never";
  EXPECT_FALSE(fs.Exists("/d/sub")) << "the folder's entry was never synced";
  EXPECT_FALSE(fs.Exists("/d/later"));

  // A synced file deleted without a folder sync comes back.
  ASSERT_EQ(fs.Delete("/d/synced"), 0);
  fs.SimulatePowerLoss();
  EXPECT_EQ(Read("/d/synced"), "one");
}

TEST_F(InMemoryPowerLoss, ReplaceFileSurvivesWhereAnUnsyncedRenameDoesNot) {
  ASSERT_EQ(fs.ReplaceFile("/d/QuilletDB", "old"), 0);
  fs.SimulatePowerLoss();
  EXPECT_EQ(Read("/d/QuilletDB"), "old");
  ASSERT_EQ(fs.ReplaceFile("/d/QuilletDB", "new"), 0);
  fs.SimulatePowerLoss();
  EXPECT_EQ(Read("/d/QuilletDB"), "new");

  // Writing a temporary file and renaming it without the syncs is only as good as the cache.
  ASSERT_EQ(fs.WriteAll("/d/QuilletDB.tmp", "newer"), 0);
  ASSERT_EQ(fs.Rename("/d/QuilletDB.tmp", "/d/QuilletDB"), 0);
  EXPECT_EQ(Read("/d/QuilletDB"), "newer");
  fs.SimulatePowerLoss();
  EXPECT_EQ(Read("/d/QuilletDB"), "new");
}

TEST_F(InMemoryPowerLoss, WriteTimesComeFromTheClock) {
  clock.Advance(60);
  ASSERT_EQ(fs.WriteAll("/d/f", "x"), 0);
  std::int64_t when = 0;
  ASSERT_EQ(fs.LastWriteTime("/d/f", &when), 0);
  EXPECT_EQ(when, 1051891260);
  clock.Advance(60);
  std::unique_ptr<File> f;
  ASSERT_EQ(fs.Open("/d/f", OpenMode::kReadWrite, &f), 0);
  ASSERT_EQ(f->Write("y", 1), 0);
  std::vector<FoundFile> found;
  ASSERT_EQ(fs.FindFiles("/d", "F", &found), 0);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].lastWrite, 1051891320);
}

}  // namespace
}  // namespace quillet
