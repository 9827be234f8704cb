// Roots, code pages, time and locale.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <map>
#include <string>

#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/context.h"
#include "platform/environment.h"
#include "platform/linux/posix_file_system.h"
#include "platform/linux/sqlite_databases.h"
#include "platform/linux/steady_clock.h"
#include "platform/linux/system_clock.h"
#include "platform/linux/window_station.h"
#include "platform/locale_settings.h"
#include "platform/monotonic_clock.h"
#include "platform/ras.h"
#include "platform/roots.h"
#include "platform/testing/in_memory_file_system.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

TEST(Roots, HandheldAndDesktopPathsMapIntoTheirRoots) {
  EXPECT_EQ(MapDevicePath("/r/dev", "\\Program Files\\Quillet\\QuilletDB"),
            "/r/dev/Program Files/Quillet/QuilletDB");
  EXPECT_EQ(MapDevicePath("/r/dev/", "\\My Documents\\a b.txt"), "/r/dev/My Documents/a b.txt");
  EXPECT_EQ(MapDesktopPath("/r/desk", "C:\\Program Files\\Quillet\\Quillet.ini"),
            "/r/desk/C/Program Files/Quillet/Quillet.ini");
  EXPECT_EQ(MapDesktopPath("/r/desk", "d:/Backup/x"), "/r/desk/D/Backup/x");
  EXPECT_EQ(MapDesktopPath("/r/desk", "\\Windows"), "/r/desk/C/Windows");
  EXPECT_EQ(DevicePathOf("/r/dev", "/r/dev/Program Files/Quillet/Quillet.exe"),
            "\\Program Files\\Quillet\\Quillet.exe");
  EXPECT_FALSE(DevicePathOf("/r/dev", "/r/device/x"));
}

TEST(Roots, PathsThatWouldLeaveTheRootAreRefused) {
  EXPECT_FALSE(MapDevicePath("/r/dev", "\\Program Files\\..\\..\\etc\\passwd"));
  EXPECT_FALSE(MapDesktopPath("/r/desk", "C:\\..\\x"));
  EXPECT_FALSE(MapDevicePath("/r/dev", "./x"));
}

// Settings read through a lookup of the test's own, never from the process's environment.
EnvironmentSettings ReadFrom(const std::map<std::string, std::string>& variables) {
  return ReadEnvironmentSettings([&variables](const char* name) -> const char* {
    auto found = variables.find(name);
    return found == variables.end() ? nullptr : found->second.c_str();
  });
}

TEST(Environment, TheSettingsChooseTheRoots) {
  EXPECT_EQ(ReadFrom({{"QUILLET_DEVICE_ROOT", "/tmp/some device/"}}).deviceRoot,
            "/tmp/some device");
  EnvironmentSettings xdg = ReadFrom({{"XDG_DATA_HOME", "/tmp/xdg"}, {"HOME", "/home/x"}});
  EXPECT_EQ(xdg.deviceRoot, "/tmp/xdg/quillet/device");
  EXPECT_EQ(xdg.desktopRoot, "/tmp/xdg/quillet/desktop");
  EXPECT_EQ(ReadFrom({{"HOME", "/home/x"}, {"XDG_DATA_HOME", ""}}).desktopRoot,
            "/home/x/.local/share/quillet/desktop");
  EXPECT_EQ(ReadFrom({}).deviceRoot, "/tmp/.local/share/quillet/device");
  EXPECT_EQ(ReadFrom({{"QUILLET_DESKTOP_ROOT", "/d"}, {"QUILLET_DEVICE_ROOT", ""}}).desktopRoot,
            "/d");
}

TEST(Environment, AFixedTimeIsAWholeNumberAndTheQuoteServerIsKeptAsSet) {
  EXPECT_EQ(ReadFrom({{"QUILLET_NOW", "1051891200"}}).fixedNow, 1051891200);
  EXPECT_EQ(ReadFrom({{"QUILLET_NOW", "-5"}}).fixedNow, -5);
  EXPECT_FALSE(ReadFrom({{"QUILLET_NOW", "12x"}}).fixedNow);
  EXPECT_FALSE(ReadFrom({{"QUILLET_NOW", ""}}).fixedNow);
  EXPECT_FALSE(ReadFrom({}).fixedNow);
  EXPECT_EQ(ReadFrom({{"QUILLET_QUOTE_SERVER", "127.0.0.1:8080"}}).quoteServer, "127.0.0.1:8080");
  EXPECT_EQ(ReadFrom({}).quoteServer, "");
}

TEST(CodePage, PoundAndEuroRoundTrip) {
  EXPECT_EQ(AnsiToWide(0xA3), u'\u00A3');
  EXPECT_EQ(WideToAnsi(u'\u00A3'), 0xA3);
  EXPECT_EQ(AnsiToWide(0x80), u'\u20AC');
  EXPECT_EQ(WideToAnsi(u'\u20AC'), 0x80);
  EXPECT_EQ(AnsiToUtf16("\xA3"
                        "5 \x80"),
            u"\u00A35 \u20AC");
  EXPECT_EQ(Utf16ToAnsi(u"\u00A35 \u20AC"),
            "\xA3"
            "5 \x80");
  EXPECT_EQ(WideToAnsi(u'\u4E2D'), '?') << "characters the code page lacks";
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(WideToAnsi(AnsiToWide(static_cast<unsigned char>(b))), b) << b;
  }
  EXPECT_EQ(AnsiToUtf8("\xA3"), "\xC2\xA3");
  EXPECT_EQ(Utf8ToAnsi("\xE2\x82\xAC"), "\x80");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8ToUtf16("a\xC3"), u"a\uFFFD") << "a cut sequence is replaced, not read past";
}

TEST(CodePage, FieldCopiesCutToFitAndAlwaysTerminate) {
  char field[8];
  std::memset(field, 'x', sizeof field);
  EXPECT_EQ(CopyToField(field, "ABCDEFGHIJ"), 7u);
  EXPECT_STREQ(field, "ABCDEFG");
  EXPECT_EQ(CopyToField(field, "AB"), 2u);
  EXPECT_EQ(std::string(field, 8), std::string("AB\0\0\0\0\0\0", 8));
  char16_t wide[4];
  CopyToField(wide, u"wxyz");
  EXPECT_EQ(std::u16string(wide), u"wxy");
  char unterminated[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(FieldText(unterminated), "abcd");
}

TEST(Time, LocalCalendarAcrossADaylightSavingChange) {
  testing::ScopedTimeZone tz("Europe/Berlin");
  // 2003-03-30 is the spring change in Berlin: 02:00 CET becomes 03:00 CEST.
  auto before = FromLocal(2003, 3, 30, 1, 30);
  auto after = FromLocal(2003, 3, 30, 3, 30);
  ASSERT_TRUE(before && after);
  EXPECT_EQ(*before, 1048984200u);  // 2003-03-30 00:30 UTC
  EXPECT_EQ(*after, 1048987800u);   // 2003-03-30 01:30 UTC: one real hour later
  LocalTime lt = ToLocal(*after);
  EXPECT_EQ(lt.hour, 3);
  EXPECT_TRUE(lt.daylight);
  EXPECT_FALSE(ToLocal(*before).daylight);
  // The day of the change is 23 hours long; DayStart still cuts at local midnight.
  auto midnight = FromLocal(2003, 3, 30);
  auto next = FromLocal(2003, 3, 31);
  EXPECT_EQ(*next - *midnight, 23u * 3600u);
  EXPECT_EQ(DayStart(*after), *midnight);
  EXPECT_EQ(DayStart(*next + 86399), *next + 0u);
  // Fields out of range carry over as mktime does.
  EXPECT_EQ(FromLocal(2003, 13, 1), FromLocal(2004, 1, 1));
  EXPECT_FALSE(FromLocal(1960, 1, 1));
}

// Every half hour of a year, days past a month's end and the hours a spring change skips
// included, in zones with spring and autumn changes, a half-hour change, a southern summer and
// none: the same time as mktime gives.
TEST(Time, LocalCalendarAgreesWithTheCLibraryEverywhere) {
  for (const char* zone : {"Europe/Berlin", "America/New_York", "Australia/Lord_Howe",
                           "Asia/Kolkata", "UTC", "America/Sao_Paulo"}) {
    testing::ScopedTimeZone tz(zone);
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= 31; ++day) {
        for (int half = 0; half < 48; ++half) {
          std::tm tm{};
          tm.tm_year = 2003 - 1900;
          tm.tm_mon = month - 1;
          tm.tm_mday = day;
          tm.tm_hour = half / 2;
          tm.tm_min = half % 2 ? 30 : 0;
          tm.tm_isdst = -1;
          const std::time_t expected = std::mktime(&tm);
          ASSERT_EQ(FromLocal(2003, month, day, half / 2, half % 2 ? 30 : 0),
                    std::optional<StockTime>(static_cast<StockTime>(expected)))
              << zone << " " << month << "/" << day << " half hour " << half;
        }
      }
    }
  }
}

TEST(Time, ClocksHonourTheirSetting) {
  EXPECT_EQ(SystemClock(1051891200).Now(), 1051891200);
  EXPECT_GT(SystemClock(std::nullopt).Now(), 1700000000);
  ManualClock m(5);
  m.Advance(10);
  EXPECT_EQ(NowStockTime(m), 15u);
}

TEST(Time, AManualSteadyClockSleepsByMovingOn) {
  ManualMonotonicClock manual(1000);
  manual.SleepMs(250);
  EXPECT_EQ(manual.NowMs(), 1250u);
  manual.AdvanceMs(50);
  EXPECT_EQ(manual.NowMs(), 1300u);
  SteadyClock steady;
  const std::uint64_t before = steady.NowMs();
  steady.SleepMs(2);
  EXPECT_GE(steady.NowMs(), before + 2);
}

TEST(Context, ServicesCanBeReplacedAndPutBack) {
  testing::TestRoot t;
  EXPECT_EQ(&t.ctx->clock(), &t.clock);
  EXPECT_EQ(t.ctx->windowStation(), nullptr);
  EXPECT_EQ(t.ctx->windowMessages(), nullptr);
  RasDialer& phoneBook = t.ctx->dialer();
  // The phone book of the root answers for its entries.
  RasAddEntry(t.ctx->registry(), u"Work ISP", u"555");
  RasDialParams params;
  bool saved = true;
  EXPECT_EQ(phoneBook.GetEntryDialParams(u"Work ISP", &params, &saved), 0u);
  EXPECT_EQ(phoneBook.GetEntryDialParams(u"Home", &params, &saved),
            static_cast<DWORD>(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY));
  RegistryRasDialer other(t.ctx->registry());
  t.ctx->SetDialer(&other);
  EXPECT_EQ(&t.ctx->dialer(), &other);
  t.ctx->SetDialer(nullptr);
  EXPECT_EQ(&t.ctx->dialer(), &phoneBook);

  WindowStation station(t.ctx->root(), t.host.files());
  t.ctx->SetWindowStation(&station);
  EXPECT_EQ(t.ctx->windowStation(), &station);
  EXPECT_EQ(t.ctx->windowMessages(), &station);
  RecordingWindowMessages recorder;
  t.ctx->SetWindowMessages(&recorder);
  EXPECT_EQ(t.ctx->windowStation(), &station) << "the program's own windows stay";
  EXPECT_EQ(t.ctx->windowMessages(), &recorder);
}

// A database factory over the SQLite one that notes what it was asked and can refuse a root.
class RecordingDatabases final : public DatabaseFactory {
 public:
  bool OpenRoot(const std::string& root, const std::string& variant, RootDatabases* out,
                std::string* error) override {
    roots.push_back(root);
    variants.push_back(variant);
    if (refuse) {
      if (error) *error = "refused";
      return false;
    }
    return real.OpenRoot(root, variant, out, error);
  }
  std::unique_ptr<PropertyStore> MountVolume(const std::string& hostPath,
                                             std::string* error) override {
    mounted.push_back(hostPath);
    return real.MountVolume(hostPath, error);
  }

  SqliteDatabaseFactory real;
  std::vector<std::string> roots, variants, mounted;
  bool refuse = false;
};

TEST(Context, DatabasesAndVolumesComeFromTheFactoryItWasGiven) {
  testing::TempDir dir;
  HostServices host{EnvironmentSettings{}};
  RecordingDatabases databases;
  PlatformServices host_services = host.services();
  PlatformServices services{host_services.files,   host_services.clock, host_services.ticks,
                            host_services.sockets, databases,           host_services.settings};
  const std::string root = dir.File("root");
  std::string error;

  databases.refuse = true;
  EXPECT_FALSE(
      PlatformContext::Open(PlatformContext::Kind::kDevice, root, services, &error, "chosen-vfs"));
  EXPECT_EQ(error, "refused") << "the factory's reason reaches the caller";
  EXPECT_EQ(databases.variants, std::vector<std::string>{"chosen-vfs"});

  databases.refuse = false;
  auto ctx = PlatformContext::Open(PlatformContext::Kind::kDevice, root, services, &error);
  ASSERT_TRUE(ctx) << error;
  EXPECT_EQ(databases.roots.back(), root);
  ASSERT_EQ(ctx->registry().SetDword(HKEY_CURRENT_USER, u"Software\\Probe", u"V", 7), 0);
  ctx.reset();
  auto again = PlatformContext::Open(PlatformContext::Kind::kDevice, root, services, &error);
  ASSERT_TRUE(again) << error;
  DWORD v = 0;
  EXPECT_EQ(again->registry().GetDword(HKEY_CURRENT_USER, u"Software\\Probe", u"V", &v), 0);
  EXPECT_EQ(v, 7u) << "a second context on the root reads what the first wrote";

  auto volume = again->MountVolume(dir.File("Quillet.vol"), &error);
  ASSERT_TRUE(volume) << error;
  EXPECT_EQ(databases.mounted, std::vector<std::string>{dir.File("Quillet.vol")});
  CEOID oid = 0;
  EXPECT_EQ(volume->CreateDatabase(u"StockGraphDB", 141233, 0x2F5B001F, 0, &oid), 0);
  EXPECT_EQ(again->objectStore().FindDatabase(u"StockGraphDB", &oid), ERROR_FILE_NOT_FOUND)
      << "a volume is apart from the root's object store";
  error.clear();
  EXPECT_FALSE(again->MountVolume(dir.File("no/such/folder/x.vol"), &error));
  EXPECT_FALSE(error.empty());
}

// The root folder is made through the file system the context's services give, and the context
// keeps that one as the file system it falls back to: there is no process-wide one behind it.
TEST(Context, TheRootIsMadeThroughTheFileSystemOfItsServices) {
  testing::TempDir dir;
  HostServices host{EnvironmentSettings{}};
  PosixFileSystem disk;
  FaultInjectingFileSystem faulty(disk);
  PlatformServices host_services = host.services();
  PlatformServices services{faulty,
                            host_services.clock,
                            host_services.ticks,
                            host_services.sockets,
                            host_services.databases,
                            host_services.settings};
  const std::string root = dir.File("device");
  std::string error;

  faulty.FailOn(FaultInjectingFileSystem::Op::kCreateFolder, "/device", 0, ERROR_ACCESS_DENIED);
  EXPECT_FALSE(PlatformContext::Open(PlatformContext::Kind::kDevice, root, services, &error));
  EXPECT_EQ(error, "cannot create the root folder " + root + " (error 5)");
  EXPECT_FALSE(disk.Exists(root)) << "nothing was made beside the refused folder";

  auto ctx = PlatformContext::Open(PlatformContext::Kind::kDevice, root, services, &error);
  ASSERT_TRUE(ctx) << error;
  EXPECT_TRUE(disk.Exists(root + "/system.db"));
  EXPECT_EQ(&ctx->files(), &faulty);
  testing::InMemoryFileSystem memory(host_services.clock);
  ctx->SetFiles(&memory);
  EXPECT_EQ(&ctx->files(), &memory);
  ctx->SetFiles(nullptr);
  EXPECT_EQ(&ctx->files(), &faulty) << "back to the one it was opened with";
}

TEST(Locale, SeparatorsAndShortDateComeFromTheDeviceRegistry) {
  testing::TestRoot t;
  EXPECT_EQ(t.ctx->locale().decimalSeparator, '.');
  EXPECT_EQ(t.ctx->locale().thousandsSeparator, ',');
  LocalTime d;
  d.year = 2003;
  d.month = 5;
  d.day = 2;
  EXPECT_EQ(FormatDate(t.ctx->locale().shortDateFormat, d), "5/2/2003");

  LocaleSettings german;
  german.decimalSeparator = ',';
  german.thousandsSeparator = '.';
  german.shortDateFormat = "dd.MM.yy";
  EXPECT_EQ(t.ctx->locale().listSeparator, ',');
  EXPECT_EQ(t.ctx->locale().digits, 2);
  german.listSeparator = ';';
  german.digits = 3;
  WriteLocaleSettings(t.ctx->registry(), german);
  t.ctx->ReloadLocale();
  EXPECT_EQ(t.ctx->locale().decimalSeparator, ',');
  EXPECT_EQ(t.ctx->locale().thousandsSeparator, '.');
  EXPECT_EQ(t.ctx->locale().listSeparator, ';');
  EXPECT_EQ(t.ctx->locale().digits, 3);
  // A digit count that is not one digit keeps the default.
  t.ctx->registry().SetString(HKEY_CURRENT_USER, kInternationalKey, u"iDigits", u"12");
  EXPECT_EQ(ReadLocaleSettings(t.ctx->registry()).digits, 2);
  EXPECT_EQ(FormatDate(t.ctx->locale().shortDateFormat, d), "02.05.03");
  EXPECT_EQ(FormatDate("d MMM yyyy 'at'", d), "2 May 2003 at");
  d.hour = 16;
  d.minute = 1;
  EXPECT_EQ(FormatTime("h:mm tt", d), "4:01 PM");
  EXPECT_EQ(FormatTime("HH:mm:ss", d), "16:01:00");
}

TEST(Ras, PhoneBookEntriesComeInTheOrderTheyWereMade) {
  testing::TestRoot t;
  std::vector<std::u16string> names;
  EXPECT_EQ(RasEnumEntries(t.ctx->registry(), &names), 0u);
  EXPECT_TRUE(names.empty());
  RasAddEntry(t.ctx->registry(), u"Work ISP", u"555");
  RasAddEntry(t.ctx->registry(), u"Home", u"556");
  EXPECT_EQ(RasEnumEntries(t.ctx->registry(), &names), 0u);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Work ISP", u"Home"}));
}

TEST(MessageBoxes, ScriptedAnswersSeeEveryText) {
  MessageBoxes boxes;
  EXPECT_EQ(boxes.Show("q", "c", MB_YESNO), IDNO) << "unattended questions answer No";
  ScriptedAnswers answers;
  boxes.SetAnswerer(answers.AsAnswerer());
  answers.Push(IDYES);
  EXPECT_TRUE(boxes.AskYesNo("Delete this stock?", "Quillet"));
  EXPECT_FALSE(boxes.AskYesNo("Delete stock chart data?", "Quillet"));
  EXPECT_EQ(boxes.Show("Cannot save stock db", "Quillet", MB_OK | MB_ICONSTOP), IDOK);
  EXPECT_EQ(answers.texts(),
            (std::vector<std::string>{"Delete this stock?", "Delete stock chart data?",
                                      "Cannot save stock db"}));
  EXPECT_EQ(answers.shown()[2].flags & MB_ICONMASK, MB_ICONSTOP);
}

}  // namespace
}  // namespace quillet
