#include "desktop/desk_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "platform/codepage.h"
#include "platform/ini_profile.h"
#include "platform/linux/posix_file_system.h"
#include "platform/testing/fault_sweep.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using testing::TestRoot;

constexpr std::u16string_view kIE =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr std::u16string_view kNetscape =
    u"Software\\Netscape\\Netscape Navigator\\Proxy Information";

class DeskSettingsTest : public ::testing::Test {
 protected:
  PosixFileSystem disk;  // the host's files, where the test puts and reads them
  void SetUp() override {
    ASSERT_EQ(root.ctx->registry().SetString(HKEY_LOCAL_MACHINE, kActiveSyncKey, u"InstalledDir",
                                             u"C:\\Program Files\\Microsoft ActiveSync"),
              0);
    std::string error;
    auto found = FindWorkingDirectory(*root.ctx, &error);
    ASSERT_TRUE(found) << error;
    dir = *found;
    ini = dir.hostPath + "/Quillet.ini";
  }
  void Put(std::string_view bytes) { ASSERT_EQ(disk.WriteAll(ini, bytes), 0); }
  std::string Bytes() {
    std::string bytes;
    return disk.ReadAll(ini, &bytes) ? "<none>" : bytes;
  }
  DeskSettings Load(bool* existed = nullptr) { return LoadDeskSettings(*root.ctx, dir, existed); }
  void Browser(std::u16string_view key, std::u16string_view name, DWORD value) {
    ASSERT_EQ(root.ctx->registry().SetDword(HKEY_CURRENT_USER, key, name, value), 0);
  }
  void Browser(std::u16string_view key, std::u16string_view name, std::u16string_view value) {
    ASSERT_EQ(root.ctx->registry().SetString(HKEY_CURRENT_USER, key, name, value), 0);
  }

  TestRoot root{PlatformContext::Kind::kDesktop};
  WorkingDirectory dir;
  std::string ini;
};

TEST_F(DeskSettingsTest, AMissingFileGivesTheDefaults) {
  bool existed = true;
  DeskSettings s = Load(&existed);
  EXPECT_FALSE(existed);
  EXPECT_EQ(dir.windowsPath, "C:\\Program Files\\Microsoft ActiveSync\\Quillet\\");
  EXPECT_EQ(s.ConduitEnabled, 1);
  EXPECT_EQ(s.bUseProxy, 0);
  EXPECT_EQ(s.proxyPort, 8080);
  EXPECT_STREQ(s.proxyAddress, "");
  EXPECT_EQ(s.iTimeout, 30);
  EXPECT_EQ(s.bAutoRetry, 1);
  EXPECT_EQ(s.ucSyncEvery, 30);
  EXPECT_EQ(s.ucSyncIntervalFrom, 9);
  EXPECT_EQ(s.ucSyncIntervalTo, 5);
  EXPECT_EQ(s.BackupMode, 4);
  EXPECT_EQ(s.BackupTime, 0);
  EXPECT_EQ(s.bRestoreNextTime, 0);
  EXPECT_STREQ(s.RestoreTime, "");
  EXPECT_EQ(Bytes(), "<none>");  // loading writes nothing
}

TEST_F(DeskSettingsTest, EveryKeyIsWrittenInOrderAndReadBack) {
  DeskSettings s = Load();
  s.ConduitEnabled = 0;
  s.bUseProxy = 1;
  s.proxyPort = 3128;
  CopyToField(s.proxyAddress, "proxy.example");
  s.bUpdateAsk = 1;
  s.bImportNextSync = 1;
  CopyToField(s.szPathImport, "C:\\My Documents\\stocks.csv");
  s.bProxyAuth = 1;
  CopyToField(s.proxyUser, "anna");
  CopyToField(s.proxyPasswd, "secret");
  s.BackupTime = 2;
  s.bConnectMethod = 1;
  s.bHangupModem = 1;
  s.bExportChart = 1;
  s.bImportChart = 1;
  CopyToField(s.szRasEntry, "My ISP");
  s.ulImportChartTime = 3000000000u;
  s.ucImportFormat = 1;
  s.ucExportSep = 3;
  s.ucImportChartAll = 1;
  CopyToField(s.szChartImport[0], "MSFT");
  CopyToField(s.szChartImport[15], "FP.PA");
  s.ucSyncMode = 1;
  s.ucSyncEvery = 45;
  s.ucSyncInterval = 1;
  s.ucSyncIntervalFrom = 8;
  s.ucSyncIntervalTo = 6;
  s.ucSyncLastTime = 1051891200;
  s.BackupMode = 6;
  s.BackupLastTime = 1051800000;
  s.bRestoreNextTime = 1;
  CopyToField(s.RestoreTime, "20261207");
  ASSERT_EQ(SaveDeskSettings(*root.ctx, dir, s), 0);

  // Written out by hand from the key table; "secret" in Base64 is c2VjcmV0.
  std::string expected =
      "[Quillet]\r\nConduitEnabled=0\r\nbDebug=1\r\nbUseProxy=1\r\nproxyPort=3128\r\n"
      "proxyAddress=proxy.example\r\niTimeout=30\r\nbAutoRetry=1\r\nbUpdateAsk=1\r\n"
      "bImportNextSync=1\r\nszPathImport=C:\\My Documents\\stocks.csv\r\nbProxyAuth=1\r\n"
      "proxyUser=anna\r\nproxyPasswd=c2VjcmV0\r\nBackupTime=2\r\nbConnectMethod=1\r\n"
      "bHangupModem=1\r\nbExportChart=1\r\nbImportChart=1\r\nszRasEntry=My ISP\r\n"
      "ulImportChartTime=3000000000\r\nucImportFormat=1\r\nucExportSep=3\r\nucProxyType=0\r\n"
      "ucImportChartAll=1\r\nszChartImport1=MSFT\r\n";
  for (int i = 2; i <= 15; ++i) expected += "szChartImport" + std::to_string(i) + "=\r\n";
  expected +=
      "szChartImport16=FP.PA\r\nucSyncMode=1\r\nucSyncEvery=45\r\nucSyncInterval=1\r\n"
      "ucSyncIntervalFrom=8\r\nucSyncIntervalTo=6\r\nucSyncLastTime=1051891200\r\n"
      "BackupMode=6\r\nBackupLastTime=1051800000\r\nbRestoreNextTime=1\r\n"
      "RestoreTime=20261207\r\n";
  EXPECT_EQ(Bytes(), expected);

  bool existed = false;
  DeskSettings back = Load(&existed);
  EXPECT_TRUE(existed);
  EXPECT_TRUE(back == s);
  for (const std::string& key : DeskSettingKeys()) {
    EXPECT_EQ(GetDeskSetting(back, key), GetDeskSetting(s, key)) << key;
  }

  // Saving again over the file changes nothing and keeps what others put there.
  Put("; note\r\n" + expected + "[Other]\r\nx=1\r\n");
  ASSERT_EQ(SaveDeskSettings(*root.ctx, dir, back), 0);
  EXPECT_EQ(Bytes(), "; note\r\n" + expected + "[Other]\r\nx=1\r\n");
}

TEST_F(DeskSettingsTest, TextsReadByTheirRules) {
  Put("[Quillet]\r\nproxyAddress=\" \"\r\nbProxyAuth=1\r\nproxyUser=\" \"\r\nproxyPasswd= \r\n"
      "szChartImport1=msft\r\nszChartImport2=a/b\r\nszChartImport3=..\\x\r\n"
      "szChartImport4=ABCDEFGHIJKLMNOPQRS\r\nszRasEntry=..\\..\\Other\r\n"
      "bUseProxy=257\r\nucExportSep=-1\r\nproxyPort=abc\r\n");
  DeskSettings s = Load();
  EXPECT_STREQ(s.proxyAddress, "");
  EXPECT_STREQ(s.proxyUser, "");
  EXPECT_STREQ(s.proxyPasswd, "");
  EXPECT_STREQ(s.szChartImport[0], "MSFT");
  EXPECT_STREQ(s.szChartImport[1], "");
  EXPECT_STREQ(s.szChartImport[2], "");
  EXPECT_STREQ(s.szChartImport[3], "ABCDEFGHIJKLMNO");
  EXPECT_STREQ(s.szRasEntry, "");
  EXPECT_EQ(s.bUseProxy, 1);      // low 8 bits
  EXPECT_EQ(s.ucExportSep, 255);  // low 8 bits
  EXPECT_EQ(s.proxyPort, 0);      // text that is no number reads as 0, as the original's

  // A NUL in the file ends the value, as it ends the string the original reads.
  Put(std::string("[Quillet]\r\nproxyAddress=pro\0xy\r\nszRasEntry=\0\r\n", 46));
  EXPECT_STREQ(Load().proxyAddress, "pro");
  EXPECT_STREQ(Load().szRasEntry, "");

  // A host that would overrun its field is cut to fit.
  Put("[Quillet]\r\nproxyAddress=" + std::string(300, 'h') + "\r\n");
  EXPECT_EQ(std::string(Load().proxyAddress), std::string(127, 'h'));
}

TEST_F(DeskSettingsTest, TheRestoreDateCanOnlyNameABackupSet) {
  for (const char* value : {"20261207", "../../../x", "..\\..\\QuilletDB", "2026120", "2026120a",
                            "202612071", "C:\\x"}) {
    Put(std::string("[Quillet]\r\nRestoreTime=") + value + "\r\nbRestoreNextTime=1\r\n");
    DeskSettings s = Load();
    EXPECT_STREQ(s.RestoreTime, std::string(value) == "20261207" ? "20261207" : "") << value;
  }
}

TEST_F(DeskSettingsTest, TheProxyAccountBelongsToAnAuthenticatingProxyOnly) {
  Put("[Quillet]\r\nbProxyAuth=0\r\nproxyUser=anna\r\nproxyPasswd=c2VjcmV0\r\n");
  DeskSettings s = Load();
  EXPECT_STREQ(s.proxyUser, "");
  EXPECT_STREQ(s.proxyPasswd, "");
  CopyToField(s.proxyUser, "bob");  // set behind the rule's back: still not saved
  ASSERT_EQ(SaveDeskSettings(*root.ctx, dir, s), 0);
  EXPECT_NE(Bytes().find("\r\nproxyUser=\r\nproxyPasswd=\r\n"), std::string::npos);
  EXPECT_EQ(Bytes().find("anna"), std::string::npos);
}

TEST_F(DeskSettingsTest, ThePasswordIsReadWholeAndKeptToNineteenCharacters) {
  DeskSettings s = Load();
  s.bProxyAuth = 1;
  CopyToField(s.proxyPasswd, "abcdefghijklmnopqrs");  // 19 characters: 28 in Base64
  ASSERT_EQ(SaveDeskSettings(*root.ctx, dir, s), 0);
  EXPECT_NE(Bytes().find("proxyPasswd=YWJjZGVmZ2hpamtsbW5vcHFycw==\r\n"), std::string::npos);
  EXPECT_STREQ(Load().proxyPasswd, "abcdefghijklmnopqrs");

  struct Case {
    const char* stored;
    const char* password;
  };
  for (Case c : {Case{"c2VjcmV0", "secret"},
                 Case{"YWJjZGVmZ2hpamtsbW5vcHFyc3R1dnd4eXo=", "abcdefghijklmnopqrs"},
                 Case{"@@@@", ""}, Case{"c2VjcmV", ""}, Case{"c2Vj=mV0", ""}, Case{"eA==", "x"},
                 Case{"eHk=", "xy"}, Case{"eA=x", ""}, Case{"", ""}}) {
    Put(std::string("[Quillet]\r\nbProxyAuth=1\r\nproxyPasswd=") + c.stored + "\r\n");
    EXPECT_STREQ(Load().proxyPasswd, c.password) << c.stored;
  }
}

TEST_F(DeskSettingsTest, TheProxyIsTakenFromEachBrowserFormOnTheFirstRunOnly) {
  struct Case {
    std::u16string server;
    int use;
    const char* host;
    int port;
  };
  const Case cases[] = {
      {u"proxy.example:3128", 1, "proxy.example", 3128},
      {u"proxy.example", 1, "proxy.example", 8080},
      {u"http=web.example:8081;https=secure.example:443;ftp=f:21", 1, "web.example", 8081},
      {u"ftp=f:21; HTTP=web.example:81", 1, "web.example", 81},
      {u"http://web.example:8000/", 1, "web.example", 8000},
      {u"http=http://web.example:8001", 1, "web.example", 8001},
      {u"https=secure.example:443;ftp=f:21", 0, "", 8080},
      {u"proxy.example:0", 0, "", 8080},
      {u"proxy.example:65536", 0, "", 8080},
      {u"proxy.example:80a", 0, "", 8080},
      {u"http", 1, "http", 8080},
      {u":3128", 0, "", 8080},
      {std::u16string(128, u'h') + u":3128", 0, "", 8080},
      {std::u16string(127, u'h') + u":3128", 1, nullptr, 3128},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.server.begin(), c.server.end()));
    Browser(kIE, u"ProxyEnable", 1);
    Browser(kIE, u"ProxyServer", c.server);
    DeskSettings s = Load();
    EXPECT_EQ(s.bUseProxy, c.use);
    EXPECT_EQ(std::string(s.proxyAddress), c.host ? c.host : std::string(127, 'h'));
    EXPECT_EQ(s.proxyPort, c.port);
  }

  // Once a file exists the browsers are not asked again.
  Browser(kIE, u"ProxyServer", u"proxy.example:3128");
  DeskSettings first = Load();
  ASSERT_EQ(first.bUseProxy, 1);
  first.bUseProxy = 0;
  ASSERT_EQ(SaveDeskSettings(*root.ctx, dir, first), 0);
  bool existed = false;
  DeskSettings later = Load(&existed);
  EXPECT_TRUE(existed);
  EXPECT_EQ(later.bUseProxy, 0);
}

TEST_F(DeskSettingsTest, TheOtherBrowsersKeysAreAskedWhenTheFirstHasNoAnswer) {
  // No key at all: no proxy.
  EXPECT_EQ(Load().bUseProxy, 0);

  // A proxy switched off is off, whatever the other browser says.
  Browser(kNetscape, u"Proxy Type", 1);
  Browser(kNetscape, u"HTTP_Proxy", u"nav.example");
  Browser(kNetscape, u"Http_Proxy Port", 8888);
  Browser(kIE, u"ProxyEnable", 0);
  Browser(kIE, u"ProxyServer", u"ie.example:3128");
  EXPECT_EQ(Load().bUseProxy, 0);

  // Switched on with no server named, or with no switch at all: the other browser's manual one.
  Browser(kIE, u"ProxyEnable", 1);
  ASSERT_EQ(root.ctx->registry().DeleteTree(HKEY_CURRENT_USER, kIE), 0);
  Browser(kIE, u"ProxyEnable", 1);
  DeskSettings s = Load();
  EXPECT_EQ(s.bUseProxy, 1);
  EXPECT_STREQ(s.proxyAddress, "nav.example");
  EXPECT_EQ(s.proxyPort, 8888);
  // Without the first browser's key at all, the desktop has no proxy settings to take.
  ASSERT_EQ(root.ctx->registry().DeleteTree(HKEY_CURRENT_USER, kIE), 0);
  EXPECT_EQ(Load().bUseProxy, 0);
  Browser(kIE, u"ProxyEnable", 1);

  // The automatic kinds name no proxy to connect to; a bad port or host leaves it off.
  Browser(kNetscape, u"Proxy Type", 2);
  EXPECT_EQ(Load().bUseProxy, 0);
  Browser(kNetscape, u"Proxy Type", 1);
  Browser(kNetscape, u"Http_Proxy Port", 70000);
  EXPECT_EQ(Load().bUseProxy, 0);
  Browser(kNetscape, u"Http_Proxy Port", 8888);
  Browser(kNetscape, u"HTTP_Proxy", u"");
  EXPECT_EQ(Load().bUseProxy, 0);
  Browser(kNetscape, u"Proxy Type", 0);
  Browser(kNetscape, u"HTTP_Proxy", u"nav.example");
  EXPECT_EQ(Load().bUseProxy, 0);
}

TEST_F(DeskSettingsTest, TheFileIsOwnerOnlyAndSavedWholeUnderTheFaultSweep) {
  DeskSettings s = Load();
  ASSERT_EQ(SaveDeskSettings(*root.ctx, dir, s), 0);
  struct stat st {};
  ASSERT_EQ(::stat(ini.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  FaultInjectingFileSystem faulty(disk);
  testing::FileFaults faults(faulty);
  root.ctx->SetFiles(&faulty);
  DeskSettings old = s, changed = s;
  CopyToField(old.proxyAddress, "old.example");
  changed.bUseProxy = 1;
  changed.bProxyAuth = 1;
  CopyToField(changed.proxyAddress, "new.example");
  CopyToField(changed.proxyPasswd, "pw");
  auto reload = [&] {
    PlatformContext& ctx = *root.ctx;
    ctx.SetFiles(nullptr);
    DeskSettings back = LoadDeskSettings(ctx, dir);
    ctx.SetFiles(&faulty);
    return std::string(back.proxyAddress) + "/" + back.proxyPasswd + "/" +
           std::to_string(back.bUseProxy);
  };
  EXPECT_GT(testing::SweepSave<std::string>(
                faults, {.putOld = [&] { ASSERT_EQ(SaveDeskSettings(*root.ctx, dir, old), 0); },
                         .save = [&] { return SaveDeskSettings(*root.ctx, dir, changed) == 0; },
                         .reload = reload}),
            0);
  root.ctx->SetFiles(nullptr);
}

TEST_F(DeskSettingsTest, AFileThatCannotBeReadIsNeitherTakenForAFirstRunNorWrittenOver) {
  Put("[Quillet]\r\nbUseProxy=0\r\nproxyPort=1\r\n");
  Browser(kIE, u"ProxyEnable", 1);
  Browser(kIE, u"ProxyServer", u"ie.example:3128");
  FaultInjectingFileSystem faulty(disk);
  faulty.FailOn(FaultInjectingFileSystem::Op::kOpen, "Quillet.ini", 0, ERROR_ACCESS_DENIED, true);
  root.ctx->SetFiles(&faulty);
  std::vector<std::string> log;
  bool existed = true;
  DeskSettings s =
      LoadDeskSettings(*root.ctx, dir, &existed, [&](std::string_view l) { log.emplace_back(l); });
  EXPECT_EQ(s.bUseProxy, 0);
  EXPECT_EQ(s.proxyPort, 8080);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("Quillet.ini"), std::string::npos);
  EXPECT_NE(SaveDeskSettings(*root.ctx, dir, s), 0);
  root.ctx->SetFiles(nullptr);
  EXPECT_EQ(Bytes(), "[Quillet]\r\nbUseProxy=0\r\nproxyPort=1\r\n");
}

TEST(WorkingDirectoryTest, ComesFromTheInstallationDirectoryWithinBounds) {
  TestRoot root{PlatformContext::Kind::kDesktop};
  Registry& reg = root.ctx->registry();
  std::string error;
  EXPECT_FALSE(FindWorkingDirectory(*root.ctx, &error));
  EXPECT_NE(error.find("InstalledDir"), std::string::npos);

  ASSERT_EQ(reg.SetString(HKEY_LOCAL_MACHINE, kActiveSyncKey, u"InstalledDir", u"D:\\Sync\\"), 0);
  auto dir = FindWorkingDirectory(*root.ctx, &error);
  ASSERT_TRUE(dir) << error;
  EXPECT_EQ(dir->windowsPath, "D:\\Sync\\Quillet\\");
  EXPECT_EQ(dir->hostPath, root.ctx->root() + "/D/Sync/Quillet");
  struct stat st {};
  EXPECT_EQ(::stat(dir->hostPath.c_str(), &st), 0);

  EXPECT_EQ(WorkingFile(*dir, "Backup\\20261207_QuilletDB"),
            dir->hostPath + "/Backup/20261207_QuilletDB");
  for (std::string_view bad : {"..\\Quillet.ini", "Backup\\..\\..\\x", "\\x", "C:\\x", ""}) {
    EXPECT_FALSE(WorkingFile(*dir, bad)) << bad;
  }
  // The folder and name must fit the desktop's 260 characters, terminator included.
  const std::size_t room = kMaxDesktopPath - 1 - dir->windowsPath.size();
  EXPECT_TRUE(WorkingFile(*dir, std::string(room, 'n')));
  EXPECT_FALSE(WorkingFile(*dir, std::string(room + 1, 'n')));

  for (std::u16string_view bad : {u"Sync", u"\\Sync", u"C:\\..\\..\\outside"}) {
    ASSERT_EQ(reg.SetString(HKEY_LOCAL_MACHINE, kActiveSyncKey, u"InstalledDir", bad), 0);
    EXPECT_FALSE(FindWorkingDirectory(*root.ctx, &error)) << error;
  }
  ASSERT_EQ(reg.SetString(HKEY_LOCAL_MACHINE, kActiveSyncKey, u"InstalledDir",
                          u"C:\\" + std::u16string(250, u'a')),
            0);
  EXPECT_FALSE(FindWorkingDirectory(*root.ctx, &error));
  EXPECT_NE(error.find("too long"), std::string::npos);
}

}  // namespace
}  // namespace quillet
