// The desktop companion's settings: the DeskSettings record, loaded from and saved to
// "Quillet.ini" in the working directory (section "Quillet", every key in a fixed order), and
// the proxy taken over from the desktop's browsers the first time, while no INI file exists.
//
// What the record promises: texts always fit and end in their fields; the proxy user and
// password are empty whenever bProxyAuth is 0; the password is held decoded and stored in
// Base64; RestoreTime is empty or eight digits, so it can only name a backup set in the
// working directory; the file is saved whole or not at all.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/working_directory.h"
#include "platform/win_types.h"

namespace quillet {

class PlatformContext;
class Registry;

inline constexpr char kSettingsFile[] = "Quillet.ini";
inline constexpr char kSettingsSection[] = "Quillet";
inline constexpr int kChartImportSymbols = 16;
inline constexpr int kDefaultProxyPort = 8080;

struct DeskSettings {
  int ConduitEnabled = 0;
  int bDebug = 0;  // not read; written as 1
  BYTE bUseProxy = 0;
  int proxyPort = 0;
  char proxyAddress[128] = {};
  int iTimeout = 30;    // not read; written as it is
  BYTE bAutoRetry = 1;  // not read; written as it is
  BYTE bUpdateAsk = 0;
  BYTE bImportNextSync = 0;
  char szPathImport[260] = {};
  BYTE bProxyAuth = 0;
  char proxyUser[20] = {};
  char proxyPasswd[20] = {};  // decoded
  int BackupTime = 0;
  BYTE bConnectMethod = 0;
  BYTE bHangupModem = 0;
  BYTE bExportChart = 0;
  BYTE bImportChart = 0;
  char szRasEntry[260] = {};
  DWORD ulImportChartTime = 0;
  BYTE ucImportFormat = 0;
  BYTE ucExportSep = 0;
  BYTE ucProxyType = 0;
  BYTE ucImportChartAll = 0;
  char szChartImport[kChartImportSymbols][16] = {};
  int ucSyncMode = 0;
  int ucSyncEvery = 0;
  int ucSyncInterval = 0;
  int ucSyncIntervalFrom = 0;
  int ucSyncIntervalTo = 0;
  DWORD ucSyncLastTime = 0;
  int BackupMode = 0;
  DWORD BackupLastTime = 0;
  int bRestoreNextTime = 0;
  char RestoreTime[12] = {};

  friend bool operator==(const DeskSettings&, const DeskSettings&) = default;
};

// Where a settings operation tells what went wrong (the run's log); may be empty.
using SettingsLog = std::function<void(std::string_view line)>;

// Reads every key from "Quillet.ini" in the working directory, over an all-zero record with
// the defaults of missing keys. When the file does not exist, the proxy is detected from the
// desktop registry afterwards (*existed is then false). A file that exists but cannot be read
// also gives the defaults, without detection, and a log line.
DeskSettings LoadDeskSettings(PlatformContext& desktop, const WorkingDirectory& dir,
                              bool* existed = nullptr, const SettingsLog& log = {});
// Writes every key in order, over what the file holds (other sections and keys are kept), as
// one atomic replacement of the file. 0, or the error of the step that failed (the old file is
// then as it was). A file that exists but cannot be read is not written over.
LONG SaveDeskSettings(PlatformContext& desktop, const WorkingDirectory& dir,
                      const DeskSettings& settings, const SettingsLog& log = {});

// The proxy settings of the desktop's browsers (HKEY_CURRENT_USER), into bUseProxy,
// proxyAddress and proxyPort. A browser's per-protocol list takes its "http=" entry, a scheme
// before the host is dropped, a port must be 1 to 65535; a setting that does not give a host
// that fits proxyAddress, or gives a bad port, leaves the proxy off.
void DetectProxy(Registry& desktopRegistry, DeskSettings* settings);

// The key names in the order they are written.
std::vector<std::string> DeskSettingKeys();
// True for a key whose value is a number (the others are texts).
bool DeskSettingIsNumber(std::string_view key);
// One key's value as the file holds it (the password decoded), or nullopt for an unknown key.
std::optional<std::string> GetDeskSetting(const DeskSettings& settings, std::string_view key);
// Sets one key from text as a load would read it (the password given in clear), then applies
// the record's rules. False for an unknown key or a key that is never read.
bool SetDeskSetting(DeskSettings* settings, std::string_view key, std::string_view value);

// Reads Base64 of the standard alphabet with '=' padding (the proxy password's form; the
// quote engine's Base64Encode writes it). Nullopt for text that is not such Base64: a bad
// character, a wrong length, misplaced padding.
std::optional<std::string> DecodeBase64(std::string_view text);

// A host as the Host field takes it: a leading "http://" removed, cut to 127 characters.
std::string ProxyHostField(std::string_view text);

}  // namespace quillet
