// The settings file is text a user may edit by hand. Any bytes as "Quillet.ini" must load into
// a record that keeps its rules (texts end inside their fields, no account without
// authentication, a restore date of eight digits or none), and saving that record and loading
// it again must give the same record: nothing read can grow or change across a save.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "desktop/desk_settings.h"
#include "platform/context.h"
#include "platform/ini_profile.h"
#include "platform/linux/host_services.h"
#include "platform/testing/in_memory_file_system.h"
#include "platform/testing/test_support.h"

namespace {

struct Desktop {
  quillet::testing::TempDir dir;
  quillet::HostServices host{quillet::EnvironmentSettings{}};
  std::unique_ptr<quillet::PlatformContext> ctx = quillet::PlatformContext::Open(
      quillet::PlatformContext::Kind::kDesktop, dir.path(), host.services());
  quillet::WorkingDirectory work;
  // The settings file is written and read in memory: the parser and the record's rules are
  // what is tested, and a disk's syncs would cut the inputs run a hundredfold.
  quillet::testing::InMemoryFileSystem memory{host.services().clock};
  Desktop() {
    ctx->SetFiles(&memory);
    ctx->registry().SetString(quillet::HKEY_LOCAL_MACHINE, quillet::kActiveSyncKey, u"InstalledDir",
                              u"C:\\Sync");
    work = *quillet::FindWorkingDirectory(*ctx);
    if (memory.CreateFolders(work.hostPath) != 0) std::abort();
  }
  ~Desktop() { ctx->SetFiles(nullptr); }
};

Desktop& Root() {
  static Desktop desktop;
  return desktop;
}

bool Terminated(const char* field, std::size_t size) {
  return std::memchr(field, 0, size) != nullptr;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillet;
  Desktop& d = Root();
  const std::string path = d.work.hostPath + "/Quillet.ini";
  d.ctx->files().WriteAll(path, std::string(reinterpret_cast<const char*>(data), size));
  // The profile parser on its own: every key it lists in a section can be read back.
  IniProfile profile = IniProfile::Parse(std::string(reinterpret_cast<const char*>(data), size));
  // A section written twice reads as its first occurrence: the repeat would test nothing new.
  std::set<std::string> seen;
  for (const std::string& section : profile.Sections()) {
    if (!seen.insert(section).second) continue;
    for (const std::string& key : profile.Keys(section)) {
      if (!profile.Get(section, key)) std::abort();  // every key listed can be read
    }
  }

  DeskSettings first = LoadDeskSettings(*d.ctx, d.work);
  Check(Terminated(first.proxyAddress, sizeof first.proxyAddress));
  Check(Terminated(first.szPathImport, sizeof first.szPathImport));
  Check(Terminated(first.proxyUser, sizeof first.proxyUser));
  Check(Terminated(first.proxyPasswd, sizeof first.proxyPasswd));
  Check(Terminated(first.szRasEntry, sizeof first.szRasEntry));
  Check(Terminated(first.RestoreTime, sizeof first.RestoreTime));
  for (const auto& symbol : first.szChartImport) Check(Terminated(symbol, sizeof symbol));
  Check(first.bProxyAuth || (!first.proxyUser[0] && !first.proxyPasswd[0]));
  const std::size_t restore = std::strlen(first.RestoreTime);
  Check(restore == 0 || restore == 8);

  if (SaveDeskSettings(*d.ctx, d.work, first) != 0) return 0;
  DeskSettings second = LoadDeskSettings(*d.ctx, d.work);
  Check(first == second);
  return 0;
}
