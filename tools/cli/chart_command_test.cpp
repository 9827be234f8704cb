// The price-history commands, each run as its own process on one device root.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <utility>

#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using testing::RunCommand;
using testing::ShellQuote;

class ChartCommandTest : public ::testing::Test {
 protected:
  int Cli(const std::string& args, std::string* out = nullptr) {
    std::string cmd = "TZ=America/New_York " +
                      ShellQuote(testing::BuiltProgram("bin/quillet-cli")) + " --device-root " +
                      ShellQuote(dir.path()) + " " + args + " 2>&1";
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

// The width and height a PNG's IHDR chunk says (big-endian, after the 8-byte signature and the
// chunk's length and type); 0 x 0 when the file is not a PNG.
std::pair<unsigned, unsigned> PngSize(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
      bytes.compare(12, 4, "IHDR") != 0) {
    return {0, 0};
  }
  auto u32 = [&](std::size_t at) {
    return (static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) << 24) |
           (static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 16) |
           (static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 2])) << 8) |
           static_cast<unsigned char>(bytes[at + 3]);
  };
  return {u32(16), u32(20)};
}

TEST_F(ChartCommandTest, ChartsArePicturesOfTheAskedSize) {
  ASSERT_EQ(Cli("chart add IBM 0 2003-05-02 84.5 83 85 100"), 0);
  ASSERT_EQ(Cli("chart add IBM 0 2003-05-05 86 85 87 200"), 0);
  const std::string file = dir.path() + "/ibm.png";
  std::string out;
  ASSERT_EQ(Cli("chart png IBM 0 " + file, &out), 0) << out;
  EXPECT_EQ(PngSize(file), (std::pair<unsigned, unsigned>{240, 176})) << "the Chart page's plot";
  ASSERT_EQ(Cli("chart png IBM 0 " + file + " --size 480x300 --range big --rotated", &out), 0)
      << out;
  EXPECT_EQ(PngSize(file), (std::pair<unsigned, unsigned>{480, 300}));

  // A history that is not there is drawn as "No Data", and said so.
  ASSERT_EQ(Cli("chart png NONE 0 " + dir.path() + "/none.png", &out), 0);
  EXPECT_NE(out.find("No Data"), std::string::npos);

  ASSERT_EQ(Cli("portfolio-chart png all bar " + dir.path() + "/bar.png", &out), 0) << out;
  EXPECT_EQ(PngSize(dir.path() + "/bar.png"), (std::pair<unsigned, unsigned>{240, 230}));
  ASSERT_EQ(Cli("portfolio-chart png 1 history " + dir.path() + "/h.png --series profit", &out), 0)
      << out;
}

TEST_F(ChartCommandTest, BadPictureArgumentsAreRefusedAndNothingIsLeftBehind) {
  std::string out;
  EXPECT_EQ(Cli("chart png IBM 0 x.png --size 10x10", &out), 2);
  EXPECT_EQ(Cli("chart png IBM 0 x.png --size wide", &out), 2);
  EXPECT_EQ(Cli("chart png IBM 0 x.png --range huge", &out), 2);
  EXPECT_EQ(Cli("chart png IBM 0", &out), 2);
  EXPECT_EQ(Cli("portfolio-chart png 1 donut x.png", &out), 2);
  EXPECT_EQ(Cli("portfolio-chart png 1 bar x.png --series gain", &out), 2);
  EXPECT_EQ(Cli("portfolio-chart png 40 bar x.png", &out), 2);
  EXPECT_EQ(Cli("portfolio-chart png 9 bar x.png", &out), 1) << "no such portfolio";
  // A folder that does not exist: the tool says so and leaves no partial file.
  const std::string missing = dir.path() + "/no/such/folder/c.png";
  EXPECT_EQ(Cli("chart png IBM 0 " + missing, &out), 1);
  EXPECT_NE(out.find("cannot write"), std::string::npos) << out;
  EXPECT_FALSE(std::ifstream(missing + ".tmp").good());
}

}  // namespace
}  // namespace quillet
