// The sweep has to catch the ways a save goes wrong: each broken save below is one it must
// fail, with a message that names the step. A sound save must pass it.
#include "platform/testing/fault_sweep.h"

#include <gmock/gmock.h>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "platform/testing/in_memory_file_system.h"

namespace quillet::testing {
namespace {

using ::testing::HasSubstr;

const std::string kFile = "/d/QuilletDB";
const std::string kTmp = kFile + ".tmp";

class FaultSweepTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(memory.CreateFolders("/d"), 0);
    memory.SyncEverything();
  }

  // A save of the new bytes by `save`, through the faulty file system; the old bytes are put
  // back durably before each step.
  SavePath<std::string> PathFor(std::function<LONG(FileSystem&)> save) {
    return {.putOld = [this] { ASSERT_EQ(memory.ReplaceFile(kFile, "old bytes"), 0); },
            .save = [this, save] { return save(faulty) == ERROR_SUCCESS; },
            .reload =
                [this] {
                  std::string bytes;
                  LONG rc = memory.ReadAll(kFile, &bytes);
                  return rc ? "<error " + std::to_string(rc) + ">" : bytes;
                }};
  }

  // The failures the sweep reports, caught instead of failing this test.
  std::vector<std::string> FailuresOf(const SavePath<std::string>& path) {
    ::testing::TestPartResultArray results;
    {
      ::testing::ScopedFakeTestPartResultReporter reporter(
          ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
      SweepSave(faults, path);
    }
    std::vector<std::string> messages;
    for (int i = 0; i < results.size(); ++i) {
      messages.push_back(results.GetTestPartResult(i).message());
    }
    return messages;
  }

  ManualClock clock{1051891200};
  InMemoryFileSystem memory{clock};
  FaultInjectingFileSystem faulty{memory};
  FileFaults faults{faulty};
};

LONG Replace(FileSystem& fs) { return fs.ReplaceFile(kFile, "new bytes"); }

// The steps of a replacement, with the syncs that may be left out.
LONG ReplaceByHand(FileSystem& fs, bool syncFile, bool deleteOldFirst) {
  std::unique_ptr<File> f;
  if (LONG rc = fs.Open(kTmp, OpenMode::kCreate, &f)) return rc;
  if (LONG rc = f->Write("new bytes", 9)) return rc;
  if (syncFile) {
    if (LONG rc = f->Sync()) return rc;
  }
  if (LONG rc = f->Close()) return rc;
  if (deleteOldFirst) {
    if (LONG rc = fs.Delete(kFile)) return rc;
  }
  if (LONG rc = fs.Rename(kTmp, kFile)) return rc;
  return fs.SyncFolder("/d");
}

TEST_F(FaultSweepTest, ASoundReplacementPassesWithEveryOperationAFailurePoint) {
  EXPECT_EQ(SweepSave(faults, PathFor(Replace)), 6);
  auto withPowerCuts = PathFor(Replace);
  withPowerCuts.afterStep = [this] { memory.SimulatePowerLoss(); };
  EXPECT_EQ(SweepSave(faults, withPowerCuts), 6);
}

TEST_F(FaultSweepTest, DeletingTheOldFileBeforeTheRenameIsCaught) {
  auto failures = FailuresOf(PathFor([](FileSystem& fs) { return ReplaceByHand(fs, true, true); }));
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_THAT(failures[0], HasSubstr("operation #6 fail"));  // the rename, after the delete
  EXPECT_THAT(failures[0], HasSubstr("neither the old nor the new data: \"<error 2>\""));
}

TEST_F(FaultSweepTest, WritingTheFileInPlaceIsCaught) {
  auto failures =
      FailuresOf(PathFor([](FileSystem& fs) { return fs.WriteAll(kFile, "new bytes"); }));
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_THAT(failures[0], HasSubstr("operation #2 fail"));  // the write, after the truncation
  EXPECT_THAT(failures[0], HasSubstr("neither the old nor the new data: \"\""));
}

TEST_F(FaultSweepTest, AMissingSyncIsCaughtByAPowerCutAfterEachStep) {
  auto unsynced = PathFor([](FileSystem& fs) { return ReplaceByHand(fs, false, false); });
  EXPECT_TRUE(FailuresOf(unsynced).empty()) << "without a power cut nothing shows";
  unsynced.afterStep = [this] { memory.SimulatePowerLoss(); };
  auto failures = FailuresOf(unsynced);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_THAT(failures[0], HasSubstr("operation #1 fail"));
  EXPECT_THAT(failures[0], HasSubstr("next save reports success and stored neither"));
}

TEST_F(FaultSweepTest, ASaveThatHidesAFailureIsCaught) {
  auto failures = FailuresOf(PathFor([](FileSystem& fs) {
    Replace(fs);
    return ERROR_SUCCESS;
  }));
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_THAT(failures[0],
              HasSubstr("operation #1 fail: the save reports success but stored the old data"));
}

TEST_F(FaultSweepTest, ASaveThatCannotSaveAgainAfterAFailureIsCaught) {
  bool wedged = false;
  auto failures = FailuresOf(PathFor([&wedged](FileSystem& fs) {
    if (wedged) return ERROR_ACCESS_DENIED;
    LONG rc = Replace(fs);
    wedged = rc != ERROR_SUCCESS;
    return rc;
  }));
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_THAT(failures[0], HasSubstr("operation #1 fail: with nothing failing any more the next "
                                     "save fails and stored the old data"));
}

TEST_F(FaultSweepTest, ASaveThatStoresNothingNewProvesNothing) {
  auto failures = FailuresOf(PathFor([](FileSystem&) { return ERROR_SUCCESS; }));
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_THAT(failures[0], HasSubstr("would prove nothing"));
}

TEST_F(FaultSweepTest, ASaveThatNeverRunsThroughEndsAtTheLimit) {
  ::testing::TestPartResultArray results;
  {
    ::testing::ScopedFakeTestPartResultReporter reporter(
        ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
    SweepSave(faults, PathFor(Replace), /*limit=*/3);  // it has six operations
  }
  ASSERT_EQ(results.size(), 1);
  EXPECT_THAT(
      results.GetTestPartResult(0).message(),
      HasSubstr("operation #4 fail: the save still meets a failure; it never runs through"));
}

}  // namespace
}  // namespace quillet::testing
