// What the desktop's installer and application manager read as text from outside: the product's
// description file "QuilletInstall.ini" (which ships beside the package and a user may edit),
// and the sync manager's paths in the desktop registry (which other programs write). The input
// up to the first two zero bytes is the description file; after them come up to three registry
// values, each a length byte and that many bytes stored as the string value's raw bytes (so odd
// counts and missing terminators come too): the sync manager's program, the application
// manager's program and the sync manager's folder.
//
// The description is read through the real profile reader from an in-memory file system; what
// it gives must be what the profile says (names trimmed and cut to their buffers) and the
// packages plain names inside the description's folder. The paths read from the registry are
// never empty, cut to 255 characters, and the folder has no final '\'.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "install/installer.h"
#include "platform/clock.h"
#include "platform/ini_profile.h"
#include "platform/registry.h"
#include "platform/store_transaction.h"
#include "platform/testing/in_memory_file_system.h"
#include "standins/appmgr/app_manager.h"

namespace {

using namespace quillet;

constexpr char kDescription[] = "/QuilletInstall.ini";
constexpr char16_t kManagerKey[] =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\WCESMGR.EXE";
constexpr char16_t kAppManagerKey[] =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\CEAPPMGR.EXE";
constexpr char16_t kServicesKey[] = u"SOFTWARE\\Microsoft\\Windows CE Services\\";

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// A registry that holds the three string values of the input as stored bytes and answers reads
// as the registry's contract says (a size query first, then the value into a buffer of that
// size). The stored registry's own reading of a value is its database's; what is fuzzed here is
// what the installer makes of the bytes it gets back. Nothing can be written.
class ValueRegistry final : public Registry {
 public:
  struct Value {
    std::u16string_view key;
    std::u16string_view name;
    std::optional<std::string> bytes;
  };
  std::vector<Value> values;

  LONG CreateKey(HKEY, std::u16string_view, HKEY*, DWORD*) override { return 5; }
  LONG OpenKey(HKEY parent, std::u16string_view subKey, HKEY* result) override {
    if (parent != HKEY_LOCAL_MACHINE) return 6;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (values[i].key == subKey) {
        *result = static_cast<HKEY>(0x100 + i);
        return 0;
      }
    }
    return 2;
  }
  LONG CloseKey(HKEY) override { return 0; }
  LONG QueryValue(HKEY key, std::u16string_view name, DWORD* type, void* data,
                  DWORD* size) override {
    const std::size_t index = static_cast<std::uint32_t>(key) - 0x100;
    if (index >= values.size()) return 6;
    const Value& value = values[index];
    if (value.name != name || !value.bytes) return 2;
    if (data && !size) return 87;
    if (type) *type = REG_SZ;
    const DWORD stored = static_cast<DWORD>(value.bytes->size());
    if (data) {
      if (*size < stored) {
        *size = stored;
        return 234;
      }
      std::memcpy(data, value.bytes->data(), stored);
    }
    if (size) *size = stored;
    return 0;
  }
  LONG SetValue(HKEY, std::u16string_view, DWORD, const void*, DWORD) override { return 5; }
  LONG DeleteValue(HKEY, std::u16string_view) override { return 5; }
  LONG DeleteKey(HKEY, std::u16string_view) override { return 5; }
  LONG DeleteTree(HKEY, std::u16string_view) override { return 5; }
  LONG EnumKey(HKEY, DWORD, std::u16string*) override { return 259; }
  LONG EnumValue(HKEY, DWORD, std::u16string*, DWORD*, std::string*) override { return 259; }
  std::unique_ptr<TransactionScope> BeginTransaction() override { return nullptr; }
};

struct Desktop {
  ManualClock clock{1051891200};
  testing::InMemoryFileSystem files{clock};
};

Desktop& TheDesktop() {
  static Desktop desktop;
  return desktop;
}

bool Trimmed(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  return text.empty() || (!blank(text.front()) && !blank(text.back()));
}

std::string Expected(std::string_view value, std::size_t buffer) {
  std::string text(value.substr(0, buffer - 1));
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.erase(0, 1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
  return text;
}

void CheckDescription(Desktop& d, std::string_view ini) {
  Check(d.files.WriteAll(kDescription, std::string(ini)) == 0);
  AppDescription app;
  std::string error;
  const bool ok = ReadAppDescription(d.files, kDescription, &app, &error);
  const IniProfile profile = IniProfile::Parse(ini);
  const std::string component =
      Expected(profile.Get("CEAppManager", "Component").value_or(""), 256);
  if (!ok) {
    Check(!error.empty());
    return;
  }
  Check(app.component == component && !component.empty());
  Check(app.description == Expected(profile.Get(component, "Description").value_or(""), 256));
  const std::string list = profile.Get(component, "CabFiles").value_or("").substr(0, 1023);
  Check(!app.packages.empty());
  std::size_t total = 0;
  for (const std::string& name : app.packages) {
    Check(!name.empty() && Trimmed(name) && name != "..");
    Check(name.find_first_of("/\\,") == std::string::npos);
    Check(list.find(name) != std::string::npos);
    total += name.size() + 1;
  }
  Check(total <= list.size() + 1);
}

void CheckPaths(std::string_view values) {
  ValueRegistry reg;
  reg.values = {
      {kManagerKey, u"", {}}, {kAppManagerKey, u"", {}}, {kServicesKey, u"InstalledDir", {}}};
  std::size_t at = 0;
  for (ValueRegistry::Value& value : reg.values) {
    if (at >= values.size()) break;
    const std::size_t n =
        std::min<std::size_t>(static_cast<unsigned char>(values[at]), values.size() - at - 1);
    value.bytes = std::string(values.substr(at + 1, n));
    at += 1 + n;
  }
  const SyncManagerPaths paths = ReadSyncManagerPaths(reg);
  for (const std::string* path : {&paths.manager, &paths.appManager, &paths.installedDir}) {
    Check(path->size() <= 255);
    Check(path->find('\0') == std::string::npos);
  }
  Check(!paths.manager.empty() && !paths.appManager.empty());
  Check(!paths.installedDir.empty() && paths.installedDir.back() != '\\');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Desktop& d = TheDesktop();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t split = bytes.find(std::string_view("\0\0", 2));
  CheckDescription(d, bytes.substr(0, split));
  CheckPaths(split == std::string_view::npos ? std::string_view() : bytes.substr(split + 2));
  return 0;
}
