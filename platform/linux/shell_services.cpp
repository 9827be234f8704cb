#include "platform/linux/shell_services.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/codepage.h"
#include "platform/file_system.h"
#include "platform/linux/posix_file_system.h"
#include "platform/roots.h"

namespace quillet {
namespace {

std::string NotificationFolder(const std::string& root) {
  return JoinPath(JoinPath(root, "run"), "notifications");
}

std::string GuidText(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

std::optional<GUID> ParseGuid(const std::string& text) {
  GUID g;
  unsigned d1 = 0, d2 = 0, d3 = 0, b[8] = {};
  if (std::sscanf(text.c_str(), "%8X-%4X-%4X-%2X%2X-%2X%2X%2X%2X%2X%2X", &d1, &d2, &d3, &b[0],
                  &b[1], &b[2], &b[3], &b[4], &b[5], &b[6], &b[7]) != 11) {
    return std::nullopt;
  }
  g.Data1 = d1;
  g.Data2 = static_cast<WORD>(d2);
  g.Data3 = static_cast<WORD>(d3);
  for (int i = 0; i < 8; ++i) g.Data4[i] = static_cast<BYTE>(b[i]);
  return g;
}

std::string RecordPath(const std::string& root, const GUID& clsid, DWORD id) {
  return JoinPath(NotificationFolder(root), GuidText(clsid) + "-" + std::to_string(id) + ".note");
}

// One text per line: backslashes and line ends are escaped so any HTML fits on its line.
std::string Escape(const std::u16string& text) {
  std::string out;
  for (char c : Utf16ToUtf8(text)) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

std::u16string Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      char next = text[++i];
      out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    } else {
      out += text[i];
    }
  }
  return Utf8ToUtf16(out);
}

std::optional<SHNOTIFICATIONDATA> ReadRecord(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  SHNOTIFICATIONDATA d;
  d.cbStruct = sizeof d;
  int fields = 0;
  while (std::getline(in, line)) {
    std::size_t space = line.find(' ');
    if (space == std::string::npos) continue;
    std::string key = line.substr(0, space);
    std::string value = line.substr(space + 1);
    auto number = [&] { return std::strtoull(value.c_str(), nullptr, 10); };
    if (key == "id") {
      d.dwID = static_cast<DWORD>(number());
    } else if (key == "priority") {
      d.npPriority = static_cast<SHNP>(number());
    } else if (key == "duration") {
      d.csDuration = static_cast<DWORD>(number());
    } else if (key == "icon") {
      d.hicon = static_cast<UINT>(number());
    } else if (key == "flags") {
      d.grfFlags = static_cast<DWORD>(number());
    } else if (key == "sink") {
      d.hwndSink = number();
    } else if (key == "lparam") {
      d.lParam = std::strtoll(value.c_str(), nullptr, 10);
    } else if (key == "clsid") {
      auto g = ParseGuid(value);
      if (!g) return std::nullopt;
      d.clsid = *g;
    } else if (key == "title") {
      d.pszTitle = Unescape(value);
    } else if (key == "html") {
      d.pszHTML = Unescape(value);
    } else {
      continue;
    }
    ++fields;
  }
  if (fields < 10) return std::nullopt;  // cut short: not a record
  return d;
}

}  // namespace

PlatformIdentity DevicePlatform() { return PlatformIdentity{}; }

int PocketPcCheck(const PlatformIdentity& identity) {
  if (!identity.windowsCe || identity.platformType != "PocketPC") return 0;
  if (identity.majorVersion == 3) return 1;
  if (identity.majorVersion == 4) return 2;
  return 0;
}

LONG SHNotificationAdd(WindowStation& station, const std::string& root,
                       const SHNOTIFICATIONDATA& data) {
  HWND shell = station.FindWindow(kShellNotifyClass, "");
  if (!shell) return ERROR_SERVICE_NOT_ACTIVE;
  const std::string folder = NotificationFolder(root);
  if (LONG rc = PosixFileSystem().CreateFolders(folder)) return rc;
  ::chmod(folder.c_str(), 0700);
  const std::string path = RecordPath(root, data.clsid, data.dwID);
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::trunc);
    out << "id " << data.dwID << "\npriority " << static_cast<DWORD>(data.npPriority)
        << "\nduration " << data.csDuration << "\nicon " << data.hicon << "\nflags "
        << data.grfFlags << "\nsink " << data.hwndSink << "\nlparam " << data.lParam << "\nclsid "
        << GuidText(data.clsid) << "\ntitle " << Escape(data.pszTitle) << "\nhtml "
        << Escape(data.pszHTML) << "\n";
    out.close();
    if (!out) {
      ::unlink(tmp.c_str());
      return ERROR_WRITE_FAULT;
    }
  }
  // The shell only ever sees a whole record.
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return ERROR_WRITE_FAULT;
  }
  if (!station.PostMessage(shell, WM_SHELL_NOTIFICATIONS_CHANGED, 0, 0)) {
    // The shell went away between the look-up and the post: nobody will show it.
    ::unlink(path.c_str());
    return ERROR_SERVICE_NOT_ACTIVE;
  }
  return ERROR_SUCCESS;
}

LONG SHNotificationRemove(WindowStation& station, const std::string& root, const GUID& clsid,
                          DWORD id) {
  if (::unlink(RecordPath(root, clsid, id).c_str()) != 0) return ERROR_FILE_NOT_FOUND;
  if (HWND shell = station.FindWindow(kShellNotifyClass, "")) {
    station.PostMessage(shell, WM_SHELL_NOTIFICATIONS_CHANGED, 0, 0);
  }
  return ERROR_SUCCESS;
}

std::vector<SHNOTIFICATIONDATA> ReadNotifications(const std::string& root) {
  const std::string folder = NotificationFolder(root);
  std::vector<FoundFile> found;
  std::vector<std::pair<std::int64_t, SHNOTIFICATIONDATA>> records;
  if (PosixFileSystem().FindFiles(folder, "*.note", &found) != ERROR_SUCCESS) return {};
  for (const FoundFile& f : found) {
    const std::string path = JoinPath(folder, f.name);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) continue;
    if (auto d = ReadRecord(path)) {
      records.emplace_back(
          static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
          std::move(*d));
    }
  }
  std::stable_sort(records.begin(), records.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<SHNOTIFICATIONDATA> out;
  for (auto& r : records) {
    r.second.addedNs = r.first;
    out.push_back(std::move(r.second));
  }
  return out;
}

bool SHFullScreen(WindowStation& station, HWND hwnd, DWORD flags) {
  HWND bar = station.FindWindow(kShellTaskBarClass, "");
  return bar &&
         station.PostMessage(bar, WM_SHELL_FULLSCREEN, flags, static_cast<std::int64_t>(hwnd));
}

}  // namespace quillet
