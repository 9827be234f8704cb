#include "desktop/desk_settings.h"

#include <cstring>

#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/context.h"
#include "platform/ini_profile.h"
#include "quotes/quote_client.h"

namespace quillet {
namespace {

constexpr std::u16string_view kInternetSettingsKey =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr std::u16string_view kNetscapeProxyKey =
    u"Software\\Netscape\\Netscape Navigator\\Proxy Information";
constexpr std::size_t kProxyServerCapacity = 260;

// How a text key is read and checked.
enum class TextRule {
  kPlain,
  kSpaceIsEmpty,  // a single space stands for an empty text
  kPassword,      // Base64 in the file, a single space for empty, decoded into the field
  kDate,          // eight digits or nothing: it names a backup set, so it must not name a path
  kSymbol,        // a stock symbol as the Add Symbol dialog stores it
  kEntryName,     // a phone-book entry: it names a registry key, so no key separator
};

bool IsDigits(std::string_view s) {
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// The field's text from what the file holds, by the key's rule.
std::string CheckedText(std::string_view value, std::size_t capacity, TextRule rule) {
  // The profile functions hand back C strings: a NUL in the file ends the value.
  std::string text(value.substr(0, value.find('\0')));
  switch (rule) {
    case TextRule::kPlain:
      break;
    case TextRule::kSpaceIsEmpty:
      if (text == " ") text.clear();
      break;
    case TextRule::kPassword: {
      if (text == " ") {
        text.clear();
        break;
      }
      // The whole stored value is decoded: a 19-character password takes 28 characters of
      // Base64, more than the field holds. Text that is no Base64 reads as no password.
      auto decoded = DecodeBase64(text);
      text = decoded ? std::string(FieldText(decoded->data(), decoded->size())) : std::string();
      break;
    }
    case TextRule::kDate:
      if (text.size() != 8 || !IsDigits(text)) text.clear();
      break;
    case TextRule::kSymbol:
      text = ToUpperAscii(text);
      for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= ' ' || u == 0x7F || c == '\\' || c == '/') {
          text.clear();
          break;
        }
      }
      break;
    case TextRule::kEntryName:
      if (text.find('\\') != std::string::npos) text.clear();
      break;
  }
  if (text.size() > capacity - 1) text.resize(capacity - 1);
  return text;
}

// Visits every key in the order it is written. The visitor gets the key name, the field and
// the default of a missing key.
template <class Visitor, class Settings>
void VisitKeys(Settings& s, Visitor&& v) {
  v.Int("ConduitEnabled", s.ConduitEnabled, 1);
  v.Fixed("bDebug", "1");
  v.Byte("bUseProxy", s.bUseProxy, 0);
  v.Int("proxyPort", s.proxyPort, kDefaultProxyPort);
  v.Text("proxyAddress", s.proxyAddress, sizeof s.proxyAddress, TextRule::kSpaceIsEmpty);
  v.Fixed("iTimeout", std::to_string(s.iTimeout));
  v.Fixed("bAutoRetry", std::to_string(static_cast<unsigned>(s.bAutoRetry)));
  v.Byte("bUpdateAsk", s.bUpdateAsk, 0);
  v.Byte("bImportNextSync", s.bImportNextSync, 0);
  v.Text("szPathImport", s.szPathImport, sizeof s.szPathImport, TextRule::kPlain);
  v.Byte("bProxyAuth", s.bProxyAuth, 0);
  v.Text("proxyUser", s.proxyUser, sizeof s.proxyUser, TextRule::kSpaceIsEmpty);
  v.Text("proxyPasswd", s.proxyPasswd, sizeof s.proxyPasswd, TextRule::kPassword);
  v.Int("BackupTime", s.BackupTime, 0);
  v.Byte("bConnectMethod", s.bConnectMethod, 0);
  v.Byte("bHangupModem", s.bHangupModem, 0);
  v.Byte("bExportChart", s.bExportChart, 0);
  v.Byte("bImportChart", s.bImportChart, 0);
  v.Text("szRasEntry", s.szRasEntry, sizeof s.szRasEntry, TextRule::kEntryName);
  v.UInt("ulImportChartTime", s.ulImportChartTime, 0);
  v.Byte("ucImportFormat", s.ucImportFormat, 0);
  v.Byte("ucExportSep", s.ucExportSep, 0);
  v.Byte("ucProxyType", s.ucProxyType, 0);
  v.Byte("ucImportChartAll", s.ucImportChartAll, 0);
  for (int i = 0; i < kChartImportSymbols; ++i) {
    v.Text("szChartImport" + std::to_string(i + 1), s.szChartImport[i], sizeof s.szChartImport[i],
           TextRule::kSymbol);
  }
  v.Int("ucSyncMode", s.ucSyncMode, 0);
  v.Int("ucSyncEvery", s.ucSyncEvery, 30);
  v.Int("ucSyncInterval", s.ucSyncInterval, 0);
  v.Int("ucSyncIntervalFrom", s.ucSyncIntervalFrom, 9);
  v.Int("ucSyncIntervalTo", s.ucSyncIntervalTo, 5);
  v.UInt("ucSyncLastTime", s.ucSyncLastTime, 0);
  v.Int("BackupMode", s.BackupMode, 4);
  v.UInt("BackupLastTime", s.BackupLastTime, 0);
  v.Int("bRestoreNextTime", s.bRestoreNextTime, 0);
  v.Text("RestoreTime", s.RestoreTime, sizeof s.RestoreTime, TextRule::kDate);
}

// Sets the fields from a source of key values (the file, or one key given by hand); a key the
// source does not give takes its default when `defaults` is set, else stays as it is.
struct Reader {
  std::function<std::optional<std::string>(const std::string&)> value;
  bool defaults = true;
  bool matched = false;

  void Int(const std::string& key, int& field, int def) {
    if (auto v = value(key)) {
      field = static_cast<int>(ProfileNumber(*v));
      matched = true;
    } else if (defaults) {
      field = def;
    }
  }
  void UInt(const std::string& key, DWORD& field, DWORD def) {
    if (auto v = value(key)) {
      field = ProfileNumber(*v);
      matched = true;
    } else if (defaults) {
      field = def;
    }
  }
  void Byte(const std::string& key, BYTE& field, BYTE def) {
    if (auto v = value(key)) {
      field = static_cast<BYTE>(ProfileNumber(*v) & 0xFF);
      matched = true;
    } else if (defaults) {
      field = def;
    }
  }
  void Text(const std::string& key, char* field, std::size_t capacity, TextRule rule) {
    if (auto v = value(key)) {
      CopyToField(field, capacity, CheckedText(*v, capacity, rule));
      matched = true;
    } else if (defaults) {
      std::memset(field, 0, capacity);
    }
  }
  void Fixed(const std::string&, const std::string&) {}
};

// The text every key is written with.
struct Writer {
  const DeskSettings& s;
  std::function<void(const std::string&, const std::string&)> put;

  void Int(const std::string& key, const int& field, int) { put(key, std::to_string(field)); }
  void UInt(const std::string& key, const DWORD& field, DWORD) { put(key, std::to_string(field)); }
  void Byte(const std::string& key, const BYTE& field, BYTE) {
    put(key, std::to_string(static_cast<unsigned>(field)));
  }
  void Text(const std::string& key, const char* field, std::size_t capacity, TextRule rule) {
    std::string text(FieldText(field, capacity));
    // The user and the password belong to an authenticating proxy only.
    if ((key == "proxyUser" || key == "proxyPasswd") && !s.bProxyAuth) text.clear();
    put(key, rule == TextRule::kPassword && !text.empty() ? Base64Encode(text) : text);
  }
  void Fixed(const std::string& key, const std::string& text) { put(key, text); }
};

void ApplyRules(DeskSettings* s) {
  if (!s->bProxyAuth) {
    std::memset(s->proxyUser, 0, sizeof s->proxyUser);
    std::memset(s->proxyPasswd, 0, sizeof s->proxyPasswd);
  }
}

struct ProxyServer {
  std::string host;
  std::optional<int> port;
};

// A port as text: digits only, 1 to 65535.
std::optional<int> ParsePort(std::string_view text) {
  if (text.empty() || text.size() > 5 || !IsDigits(text)) return std::nullopt;
  const int port = std::stoi(std::string(text));
  if (port < 1 || port > 65535) return std::nullopt;
  return port;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A browser's proxy text: "host", "host:port", "http://host:port/", or a per-protocol list
// "http=host:port;https=host:port;..." of which the http entry counts.
std::optional<ProxyServer> ParseProxyServer(std::string_view text) {
  std::string_view v = TrimBlanks(text);
  if (v.find('=') != std::string_view::npos) {
    std::optional<std::string_view> http;
    while (!v.empty()) {
      const auto semi = v.find(';');
      std::string_view entry = TrimBlanks(v.substr(0, semi));
      v = semi == std::string_view::npos ? std::string_view() : v.substr(semi + 1);
      if (StartsWithNoCase(entry, "http=")) {
        http = entry.substr(5);
        break;
      }
    }
    if (!http) return std::nullopt;
    v = TrimBlanks(*http);
  } else {
    v = TrimBlanks(v.substr(0, v.find(';')));
  }
  if (const auto scheme = v.find("://"); scheme != std::string_view::npos) {
    v.remove_prefix(scheme + 3);
  }
  v = v.substr(0, v.find('/'));
  ProxyServer out;
  const auto colon = v.find(':');
  out.host = std::string(v.substr(0, colon));
  if (colon != std::string_view::npos) {
    out.port = ParsePort(v.substr(colon + 1));
    if (!out.port) return std::nullopt;
  }
  if (out.host.empty() || out.host.size() > sizeof(DeskSettings::proxyAddress) - 1 ||
      out.host.find_first_of(" \t") != std::string::npos) {
    return std::nullopt;
  }
  return out;
}

bool UseProxy(DeskSettings* s, const ProxyServer& proxy) {
  CopyToField(s->proxyAddress, proxy.host);
  if (proxy.port) s->proxyPort = *proxy.port;
  s->bUseProxy = 1;
  return true;
}

void DetectNetscapeProxy(Registry& reg, DeskSettings* s) {
  HKEY key;
  if (reg.OpenKey(HKEY_CURRENT_USER, kNetscapeProxyKey, &key) != ERROR_SUCCESS) return;
  DWORD type = 0, size = sizeof type, kind = 0;
  const bool haveType = reg.QueryValue(key, u"Proxy Type", &kind, &type, &size) == 0 &&
                        kind == REG_DWORD && size == sizeof type;
  std::u16string host;
  DWORD port = 0;
  const bool haveHost =
      haveType && type == 1 &&
      reg.GetString(HKEY_CURRENT_USER, kNetscapeProxyKey, u"HTTP_Proxy", &host) == 0;
  const bool havePort = haveHost && reg.GetDword(HKEY_CURRENT_USER, kNetscapeProxyKey,
                                                 u"Http_Proxy Port", &port) == 0;
  reg.CloseKey(key);
  // Only a manual setting names a proxy; the automatic ones leave nothing to connect to.
  if (!haveHost) return;
  auto proxy = ParseProxyServer(Utf16ToAnsi(host));
  if (!proxy) return;
  if (havePort) {
    if (port < 1 || port > 65535) return;
    proxy->port = static_cast<int>(port);
  }
  UseProxy(s, *proxy);
}

}  // namespace

std::optional<std::string> DecodeBase64(std::string_view text) {
  auto sextet = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
  };
  if (text.size() % 4 != 0) return std::nullopt;
  std::string out;
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    int pad = 0;
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const char c = text[i + k];
      if (c == '=' && last && k >= 2) {
        ++pad;
        v <<= 6;
        continue;
      }
      const int d = sextet(c);
      if (d < 0 || pad > 0) return std::nullopt;
      v = (v << 6) | static_cast<std::uint32_t>(d);
    }
    out += static_cast<char>((v >> 16) & 0xFF);
    if (pad < 2) out += static_cast<char>((v >> 8) & 0xFF);
    if (pad < 1) out += static_cast<char>(v & 0xFF);
  }
  return out;
}

std::string ProxyHostField(std::string_view text) {
  std::string host(text);
  if (StartsWithNoCase(host, "http://")) host.erase(0, 7);
  if (host.size() > sizeof(DeskSettings::proxyAddress) - 1) {
    host.resize(sizeof(DeskSettings::proxyAddress) - 1);
  }
  return host;
}

void DetectProxy(Registry& reg, DeskSettings* s) {
  s->bUseProxy = 0;
  HKEY key;
  if (reg.OpenKey(HKEY_CURRENT_USER, kInternetSettingsKey, &key) != ERROR_SUCCESS) return;
  DWORD enable = 0, size = sizeof enable, type = 0;
  const bool haveEnable = reg.QueryValue(key, u"ProxyEnable", &type, &enable, &size) == 0 &&
                          type == REG_DWORD && size == sizeof enable;
  std::u16string server;
  bool haveServer = false;
  if (haveEnable && enable != 0) {
    DWORD bytes = 0;
    // The original reads the text into 260 characters: a longer one fails the query.
    haveServer =
        reg.QueryValue(key, u"ProxyServer", &type, nullptr, &bytes) == 0 && type == REG_SZ &&
        bytes / 2 <= kProxyServerCapacity &&
        reg.GetString(HKEY_CURRENT_USER, kInternetSettingsKey, u"ProxyServer", &server) == 0;
  }
  reg.CloseKey(key);
  if (haveEnable && enable == 0) return;
  if (haveServer) {
    if (auto proxy = ParseProxyServer(Utf16ToAnsi(server))) UseProxy(s, *proxy);
    return;
  }
  DetectNetscapeProxy(reg, s);
}

std::vector<std::string> DeskSettingKeys() {
  std::vector<std::string> keys;
  DeskSettings s;
  VisitKeys(s, Writer{s, [&](const std::string& key, const std::string&) { keys.push_back(key); }});
  return keys;
}

bool DeskSettingIsNumber(std::string_view key) {
  struct Kinds {
    std::string_view wanted;
    bool number = false;
    void Int(const std::string& k, const int&, int) { number = number || EqualNoCase(k, wanted); }
    void UInt(const std::string& k, const DWORD&, DWORD) {
      number = number || EqualNoCase(k, wanted);
    }
    void Byte(const std::string& k, const BYTE&, BYTE) {
      number = number || EqualNoCase(k, wanted);
    }
    void Text(const std::string&, const char*, std::size_t, TextRule) {}
    void Fixed(const std::string&, const std::string&) {}
  };
  const DeskSettings s;
  Kinds kinds{key};
  VisitKeys(s, kinds);
  return kinds.number;
}

std::optional<std::string> GetDeskSetting(const DeskSettings& settings, std::string_view key) {
  std::optional<std::string> found;
  VisitKeys(settings, Writer{settings, [&](const std::string& k, const std::string& text) {
                               if (EqualNoCase(k, key)) found = text;
                             }});
  if (found && EqualNoCase(key, "proxyPasswd"))
    found = std::string(FieldText(settings.proxyPasswd));
  return found;
}

bool SetDeskSetting(DeskSettings* settings, std::string_view key, std::string_view value) {
  if (EqualNoCase(key, "bDebug") || EqualNoCase(key, "iTimeout") ||
      EqualNoCase(key, "bAutoRetry")) {
    return false;
  }
  // The password is given in clear: it goes through the same checks as a stored one.
  const std::string text = EqualNoCase(key, "proxyPasswd") && !value.empty()
                               ? Base64Encode(value.substr(0, value.find('\0')))
                               : std::string(value);
  Reader reader{[&](const std::string& k) -> std::optional<std::string> {
                  if (EqualNoCase(k, key)) return text;
                  return std::nullopt;
                },
                false};
  VisitKeys(*settings, reader);
  ApplyRules(settings);
  return reader.matched;
}

DeskSettings LoadDeskSettings(PlatformContext& desktop, const WorkingDirectory& dir, bool* existed,
                              const SettingsLog& log) {
  DeskSettings s;  // all zero
  IniProfile profile;
  bool exists = false;
  auto path = WorkingFile(dir, kSettingsFile);
  LONG rc = ERROR_PATH_NOT_FOUND;
  if (!path) {
    if (log) log("Quillet: the settings path is too long: " + dir.windowsPath + kSettingsFile);
  } else {
    rc = IniProfile::Load(desktop.files(), *path, &profile, &exists);
    if (rc != ERROR_SUCCESS && log) {
      log("Quillet: cannot read " + dir.windowsPath + kSettingsFile + " (error " +
          std::to_string(rc) + ")");
    }
  }
  VisitKeys(s, Reader{[&](const std::string& key) { return profile.Get(kSettingsSection, key); }});
  s.iTimeout = 30;
  s.bAutoRetry = 1;
  ApplyRules(&s);
  // Only a first run takes the browsers' proxy: a file that is there but unreadable is not a
  // first run, and its settings may come back.
  if (path && rc == ERROR_SUCCESS && !exists) DetectProxy(desktop.registry(), &s);
  if (existed) *existed = exists;
  return s;
}

LONG SaveDeskSettings(PlatformContext& desktop, const WorkingDirectory& dir,
                      const DeskSettings& settings, const SettingsLog& log) {
  auto path = WorkingFile(dir, kSettingsFile);
  if (!path) {
    if (log) log("Quillet: the settings path is too long: " + dir.windowsPath + kSettingsFile);
    return ERROR_FILENAME_EXCED_RANGE;
  }
  IniProfile profile;
  LONG rc = IniProfile::Load(desktop.files(), *path, &profile);
  if (rc == ERROR_SUCCESS) {
    VisitKeys(settings, Writer{settings, [&](const std::string& key, const std::string& text) {
                                 profile.Set(kSettingsSection, key, text);
                               }});
    rc = profile.Save(desktop.files(), *path);
  }
  if (rc != ERROR_SUCCESS && log) {
    log("Quillet: cannot save " + dir.windowsPath + kSettingsFile + " (error " +
        std::to_string(rc) + ")");
  }
  return rc;
}

}  // namespace quillet
