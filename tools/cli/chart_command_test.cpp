// The price-history commands, each run as its own process on one device root.
#include <gtest/gtest.h>

#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using testing::RunCommand;
using testing::ShellQuote;

class ChartCommandTest : public ::testing::Test {
 protected:
  int Cli(const std::string& args, std::string* out = nullptr) {
    std::string cmd = "TZ=America/New_York " + ShellQuote(testing::BuiltProgram("bin/quillet-cli")) +
                      " --device-root " + ShellQuote(dir.path()) + " " + args + " 2>&1";
    return RunCommand(cmd, out);
  }
  testing::TempDir dir;
};

TEST_F(ChartCommandTest, PointsWrittenByOneProcessAreDumpedByAnother) {
  ASSERT_EQ(Cli("chart add IBM 0 2003-05-02T16:01 84.5 83.1 84.9 5432100"), 0);
  ASSERT_EQ(Cli("chart add IBM 0 2003-05-02T16:30 84.75 83.1 85 5500000"), 0);
  ASSERT_EQ(Cli("chart add IBM 0 2003-05-05T10:00 86 85 87 100"), 0);
  ASSERT_EQ(Cli("chart add PORTFOLIO1 255 2003-05-05 1500.4 1200 -300.6"), 0);
  std::string out;
  ASSERT_EQ(Cli("chart set IBM 0 2003-05-03 85.5", &out), 0) << out;
  ASSERT_EQ(Cli("dump charts", &out), 0) << out;
  EXPECT_EQ(out,
            "IBM market 0 points 3\n"
            "  2003-05-02T16:30:00 84.7500 83.1000 85.0000 5500000\n"
            "  2003-05-03T00:00:00 85.5000 85.5000 85.5000 0\n"
            "  2003-05-05T10:00:00 86.0000 85.0000 87.0000 100\n"
            "PORTFOLIO1 market 255 points 1\n"
            "  2003-05-05T00:00:00 1500 1200 -301 0\n");

  ASSERT_EQ(Cli("dump charts --json", &out), 0);
  EXPECT_NE(out.find("{\"name\": \"PORTFOLIO1\", \"market\": 255, \"points\": [{\"date\": "
                     "\"2003-05-05T00:00:00\", \"time\": 1052107200, \"price\": 1500, \"low\": "
                     "1200, \"high\": -301, \"volume\": 0}]}"),
            std::string::npos)
      << out;

  ASSERT_EQ(Cli("chart delete-point IBM 0 2003-05-03"), 0);
  ASSERT_EQ(Cli("chart delete-up-to IBM 0 2003-05-02"), 0);
  ASSERT_EQ(Cli("dump charts", &out), 0);
  EXPECT_NE(out.find("IBM market 0 points 1\n  2003-05-05T10:00:00"), std::string::npos) << out;
  ASSERT_EQ(Cli("chart delete-up-to --all 2003-05-05"), 0);
  ASSERT_EQ(Cli("dump charts --json", &out), 0);
  EXPECT_EQ(out, "[]\n");
}

TEST_F(ChartCommandTest, BadArgumentsAndMissingSeriesAreReported) {
  std::string out;
  EXPECT_EQ(Cli("chart add IBM 0 2003-13-02 1", &out), 2);
  EXPECT_EQ(Cli("chart add IBM 256 2003-05-02 1", &out), 2);
  EXPECT_EQ(Cli("chart add IBM 0 2003-05-02 abc", &out), 2);
  EXPECT_EQ(Cli("chart add IBM 0 2003-05-02 1 2", &out), 2) << "a low without a high";
  EXPECT_EQ(Cli("chart frob IBM 0", &out), 2);
  EXPECT_EQ(Cli("chart delete IBM 0", &out), 1);
  EXPECT_NE(out.find("no series IBM on market 0"), std::string::npos);
  EXPECT_EQ(Cli("chart add IBM 0 @1051891200 1"), 0);
  EXPECT_EQ(Cli("chart delete ibm 0"), 0) << "names compare without case";
}

}  // namespace
}  // namespace quillet
