#include "platform/ini_profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "platform/ascii.h"
#include "platform/linux/posix_file_system.h"
#include "platform/testing/fault_sweep.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using testing::TempDir;

class IniProfileTest : public ::testing::Test {
 protected:
  PosixFileSystem disk;  // the host's files, where the test puts and reads them
  void Put(std::string_view bytes) { ASSERT_EQ(disk.WriteAll(path, bytes), 0); }
  std::string Bytes() {
    std::string bytes;
    EXPECT_EQ(disk.ReadAll(path, &bytes), 0);
    return bytes;
  }
  std::string Get(std::string_view section, std::string_view key, std::size_t size = 261) {
    return GetPrivateProfileString(disk, path, section, key, "<default>", size);
  }
  static unsigned Mode(const std::string& file) {
    struct stat st {};
    EXPECT_EQ(::stat(file.c_str(), &st), 0);
    return st.st_mode & 0777;
  }

  TempDir dir;
  std::string path = dir.File("Quillet.ini");
};

TEST_F(IniProfileTest, ReadsAsTheProfileFunctionsDo) {
  // Written by hand as a user or another program leaves such a file: mixed case, blanks,
  // quotes, comments, a key before any section, a repeated key, every kind of line end.
  Put("orphan=1\r\n"
      "; a comment\r\n"
      "[Other]\n"
      "proxyPort=1\n"
      "  [ quillet ]  \r"
      "  ProxyPort =  3128  \r\n"
      "proxyport=9999\r\n"
      "proxyAddress=\" \"\r\n"
      "szRasEntry=\"My ISP\"\r\n"
      "Quoted=\"only one side\r\n"
      ";proxyUser=commented\r\n"
      "Empty=\r\n"
      "NoEquals\r\n"
      "=novalue\r\n"
      "[Last]\r\n"
      "x=end");
  EXPECT_EQ(Get("QUILLET", "proxyport"), "3128");
  EXPECT_EQ(Get("Other", "proxyPort"), "1");
  EXPECT_EQ(Get("Quillet", "proxyAddress"), " ");
  EXPECT_EQ(Get("Quillet", "szRasEntry"), "My ISP");
  EXPECT_EQ(Get("Quillet", "Quoted"), "\"only one side");
  EXPECT_EQ(Get("Quillet", "Empty"), "");
  EXPECT_EQ(Get("Quillet", "proxyUser"), "<default>");
  EXPECT_EQ(Get("Quillet", "NoEquals"), "<default>");
  EXPECT_EQ(Get("Quillet", "orphan"), "<default>");
  EXPECT_EQ(Get("Last", "x"), "end");
  EXPECT_EQ(Get("Missing", "x"), "<default>");
  // Copied into a buffer of the given size, terminator included.
  EXPECT_EQ(Get("Quillet", "szRasEntry", 4), "My ");
  EXPECT_EQ(Get("Quillet", "szRasEntry", 0), "");
  EXPECT_EQ(Get("Quillet", "missing", 3), "<d");
}

TEST_F(IniProfileTest, ReadsNumbersAsTheProfileFunctionsDo) {
  Put("[Q]\r\na=  42 \r\nb=-1\r\nc=0x1F\r\nd=abc\r\ne=12abc\r\nf=\r\ng=+7\r\nh=4294967297\r\n");
  auto num = [&](const char* key) { return GetPrivateProfileInt(disk, path, "q", key, 5); };
  EXPECT_EQ(num("a"), 42u);
  EXPECT_EQ(num("b"), 0xFFFFFFFFu);
  EXPECT_EQ(num("c"), 31u);
  EXPECT_EQ(num("d"), 0u);
  EXPECT_EQ(num("e"), 12u);
  EXPECT_EQ(num("f"), 0u);
  EXPECT_EQ(num("g"), 7u);
  EXPECT_EQ(num("h"), 1u);
  EXPECT_EQ(num("missing"), 5u);
  EXPECT_EQ(GetPrivateProfileInt(disk, dir.File("none.ini"), "q", "a", 8080), 8080u);
}

TEST_F(IniProfileTest, WritesKeepEverythingElseAndReadBack) {
  Put("; kept\r\n[Quillet]\r\nproxyPort=1\r\n\r\n[Other]\r\nx=1\r\n");
  ASSERT_EQ(WritePrivateProfileString(disk, path, "quillet", "PROXYPORT", "8080"), 0);
  ASSERT_EQ(WritePrivateProfileString(disk, path, "Quillet", "bUseProxy", "1"), 0);
  ASSERT_EQ(WritePrivateProfileString(disk, path, "New", "k", "v"), 0);
  ASSERT_EQ(WritePrivateProfileString(disk, path, "Other", "x", std::nullopt), 0);
  EXPECT_EQ(Bytes(),
            "; kept\r\n[Quillet]\r\nPROXYPORT=8080\r\nbUseProxy=1\r\n\r\n[Other]\r\n"
            "[New]\r\nk=v\r\n");

  // Values that the reader would change are written so that they come back as they were.
  for (std::string_view value : {"  padded  ", "\"quoted\"", " ", ""}) {
    ASSERT_EQ(WritePrivateProfileString(disk, path, "Q", "v", value), 0);
    EXPECT_EQ(Get("Q", "v"), value);
  }
}

TEST_F(IniProfileTest, AValueCannotAddLinesAndBadNamesAreRefused) {
  ASSERT_EQ(WritePrivateProfileString(disk, path, "Quillet", "proxyAddress",
                                      "host\r\nbUseProxy=1\r\n[Evil]"),
            0);
  EXPECT_EQ(Get("Quillet", "proxyAddress"), "host");
  EXPECT_EQ(Get("Quillet", "bUseProxy"), "<default>");
  EXPECT_EQ(IniProfile::Parse(Bytes()).Sections(), std::vector<std::string>{"Quillet"});

  const std::string before = Bytes();
  for (auto [section, key] :
       std::initializer_list<std::pair<std::string_view, std::string_view>>{{"Quillet", "a=b"},
                                                                            {"Quillet", ""},
                                                                            {"Quillet", "a\nb"},
                                                                            {"Quillet", ";x"},
                                                                            {"Quil]let", "a"},
                                                                            {"", "a"},
                                                                            {"Qu\rillet", "a"}}) {
    EXPECT_EQ(WritePrivateProfileString(disk, path, section, key, "1"), ERROR_INVALID_PARAMETER)
        << section << "/" << key;
  }
  EXPECT_EQ(Bytes(), before);
}

TEST_F(IniProfileTest, TheFileIsOwnerOnlyWhateverWasThereBefore) {
  ASSERT_EQ(WritePrivateProfileString(disk, path, "Quillet", "proxyPasswd", "c2VjcmV0"), 0);
  EXPECT_EQ(Mode(path), 0600u);

  // A file and a temporary file left readable by everyone (by hand, or by a save cut short).
  ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
  Put("[Quillet]\r\n");
  const std::string tmp = path + ".tmp";
  ASSERT_EQ(disk.WriteAll(tmp, "stale"), 0);
  ASSERT_EQ(::chmod(tmp.c_str(), 0666), 0);
  ASSERT_EQ(WritePrivateProfileString(disk, path, "Quillet", "proxyPasswd", "eA=="), 0);
  EXPECT_EQ(Mode(path), 0600u);
  EXPECT_FALSE(disk.Exists(tmp));
}

TEST_F(IniProfileTest, AFileThatCannotBeReadIsNotWrittenOver) {
  Put("[Quillet]\r\nproxyPort=3128\r\nbUseProxy=1\r\n");
  FaultInjectingFileSystem faulty(disk);
  faulty.FailOn(FaultInjectingFileSystem::Op::kOpen, "Quillet.ini", 0, ERROR_ACCESS_DENIED);
  EXPECT_EQ(WritePrivateProfileString(faulty, path, "Quillet", "proxyPort", "1"),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(Bytes(), "[Quillet]\r\nproxyPort=3128\r\nbUseProxy=1\r\n");
}

TEST_F(IniProfileTest, AWriteUnderTheFaultSweepLeavesTheOldFileOrTheNewOne) {
  FaultInjectingFileSystem faulty(disk);
  testing::FileFaults faults(faulty);
  testing::SweepSave<std::string>(
      faults, {.putOld = [&] { Put("[Quillet]\r\nproxyPort=3128\r\nproxyAddress=old\r\n"); },
               .save =
                   [&] {
                     IniProfile p;
                     if (IniProfile::Load(faulty, path, &p)) return false;
                     p.Set("Quillet", "proxyAddress", "new.example");
                     p.Set("Quillet", "bUseProxy", "1");
                     return p.Save(faulty, path) == ERROR_SUCCESS;
                   },
               .reload = [&] { return Bytes(); }});
}

// What Get must answer, read straight off the file's text: the value of the key's first line in
// the section's first occurrence. Values here are single words, so no trimming rule is needed.
std::optional<std::string> FirstValueInText(const std::string& text, std::string_view section,
                                            std::string_view key) {
  auto trim = [](std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
  };
  bool seenSection = false, inSection = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    const std::string_view line = trim(std::string_view(text).substr(pos, end - pos));
    pos = end + 2;
    if (!line.empty() && line.front() == '[' && line.find(']') != std::string_view::npos) {
      if (inSection) return std::nullopt;  // the first occurrence ended without the key
      inSection = !seenSection && EqualNoCase(trim(line.substr(1, line.find(']') - 1)), section);
      seenSection = seenSection || inSection;
    } else if (inSection && !line.empty() && line.front() != ';') {
      const std::size_t eq = line.find('=');
      if (eq != std::string_view::npos && eq > 0 && EqualNoCase(trim(line.substr(0, eq)), key)) {
        return std::string(trim(line.substr(eq + 1)));
      }
    }
  }
  return std::nullopt;
}

TEST(IniProfileLookups, EveryChangeLeavesTheLookUpsAnsweringAsTheTextReads) {
  // Random files of repeated sections and keys in mixed case, then random sets and deletes:
  // after each, every name must read as the text itself says, and as a fresh parse of it says.
  const std::vector<std::string> sections = {"Quillet", "QUILLET", "a", "A", "Other", "b"};
  const std::vector<std::string> keys = {"proxyPort", "PROXYPORT", "k", "K", "x", "szPath"};
  std::mt19937 random(20261209);
  auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };
  for (int file = 0; file < 100; ++file) {
    std::string text;
    const int lines = static_cast<int>(random() % 40);
    for (int i = 0; i < lines; ++i) {
      switch (random() % 6) {
        case 0:
          text += "[" + pick(sections) + "]";
          break;
        case 1:
          text += "";
          break;
        case 2:
          text += ";" + pick(keys) + "=comment";
          break;
        default:
          text += " " + pick(keys) + " = v" + std::to_string(random() % 1000);
      }
      text += random() % 2 ? "\r\n" : "\n";
    }
    IniProfile profile = IniProfile::Parse(text);
    for (int step = 0; step < 120; ++step) {
      const std::string section = pick(sections), key = pick(keys);
      const int op = static_cast<int>(random() % 10);
      if (op < 8) {
        ASSERT_TRUE(profile.Set(section, key, "s" + std::to_string(step)));
      } else if (op == 8) {
        profile.DeleteKey(section, key);
      } else {
        profile.DeleteSection(section);
      }
      const std::string now = profile.Serialize();
      const IniProfile again = IniProfile::Parse(now);
      for (const std::string& s : sections) {
        for (const std::string& k : keys) {
          const auto expected = FirstValueInText(now, s, k);
          ASSERT_EQ(profile.Get(s, k), expected)
              << "file " << file << " step " << step << " " << s << "/" << k << " in\n"
              << now;
          ASSERT_EQ(again.Get(s, k), expected);
        }
      }
    }
  }
}

}  // namespace
}  // namespace quillet
