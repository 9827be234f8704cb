// QuilletSetup: the setup library of the handheld package. Around installing it closes a running
// program and registers the Today item; around removing it unregisters the item and the
// synchronisation object type and deletes what the program left on the handheld. No failure is
// reported: every step is tried whatever the one before returned.
#include <string>

#include "companions/program_control.h"
#include "core/chart_store.h"
#include "core/pref_record.h"
#include "core/registry/registry_store.h"
#include "platform/codepage.h"
#include "platform/linux/install_entries.h"
#include "platform/linux/module.h"
#include "platform/message_box.h"
#include "platform/window_messages.h"

namespace quillet {
namespace {

constexpr char16_t kVendorKey[] = u"SOFTWARE\\Marrowby";
constexpr char16_t kProductKey[] = u"SOFTWARE\\Marrowby\\Quillet";
constexpr char16_t kSyncObjectTypeKey[] = u"Windows CE Services\\Synchronization\\Objects\\Quillet";
constexpr const char* kDataFiles[] = {
    "\\Program Files\\Quillet\\QuilletDB", "\\Program Files\\Quillet\\StockNoteDB",
    "\\Program Files\\Quillet\\StockAlertDB", "\\Windows\\QuilletToday.dll"};
// What an interrupted save leaves beside a data file: the new copy not yet moved in, or the old
// one the desktop moved aside. Left behind, they would keep the folder from being removed, and
// the program of a later installation would take the old stock file back as its own.
constexpr const char* kLeftoverFiles[] = {
    "\\Program Files\\Quillet\\QuilletDB.tmp", "\\Program Files\\Quillet\\QuilletDB.old",
    "\\Program Files\\Quillet\\StockNoteDB.tmp", "\\Program Files\\Quillet\\StockAlertDB.tmp"};
constexpr char kProgramFolder[] = "\\Program Files\\Quillet";
constexpr char kInstalledMessage[] =
    "Quillet is now installed on your Pocket PC!\n\nTo enable the Quillet Today feature, open the "
    "Start menu, select Settings and then the Today applet.";

// The loader's environment, kept for the exports that carry no context.
ModuleEnvironment& Environment() {
  static ModuleEnvironment environment;
  return environment;
}

void DeleteTodayItem(Registry& registry) {
  RegistryStore reg(registry);
  reg.SetRoot(HKEY_LOCAL_MACHINE);
  reg.DeleteKey(kTodayItemKey);
}

void CloseProgram(PlatformContext& ctx, WindowStation& station) {
  CloseProgramAndWait(station, ReadProgramPath(ctx.registry()));
}

// The vendor key may hold other products' settings: it goes only when nothing is left in it.
void DeleteVendorKeyIfEmpty(Registry& registry) {
  HKEY key = HKEY::None;
  if (registry.OpenKey(HKEY_CURRENT_USER, kVendorKey, &key) != ERROR_SUCCESS) return;
  std::u16string name;
  DWORD type = 0;
  std::string data;
  const bool empty = registry.EnumKey(key, 0, &name) == ERROR_NO_MORE_ITEMS &&
                     registry.EnumValue(key, 0, &name, &type, &data) == ERROR_NO_MORE_ITEMS;
  registry.CloseKey(key);
  if (empty) registry.DeleteKey(HKEY_CURRENT_USER, kVendorKey);
}

}  // namespace
}  // namespace quillet

using namespace quillet;

QUILLET_EXPORT void QuilletModuleAttach(const ModuleEnvironment* environment) {
  if (environment) Environment() = *environment;
}

QUILLET_EXPORT int Install_Init(HWND /*parent*/, BOOL /*firstCall*/, BOOL /*previouslyInstalled*/,
                                const char16_t* /*installDir*/) {
  auto ctx = OpenLibraryContext(Environment());
  if (!ctx) return codeINSTALL_INIT_CONTINUE;
  WindowStation station(ctx->root());
  // The item goes first and the Today screen lets go of its library before that is replaced;
  // then the program saves and ends before its files are.
  DeleteTodayItem(ctx->registry());
  SendTodayRefresh(station);
  CloseProgram(*ctx, station);
  return codeINSTALL_INIT_CONTINUE;
}

QUILLET_EXPORT int Install_Exit(HWND /*parent*/, const char16_t* /*installDir*/, WORD, WORD, WORD,
                                WORD, WORD) {
  if (auto ctx = OpenLibraryContext(Environment())) {
    RegistryStore reg(ctx->registry());
    reg.SetRoot(HKEY_LOCAL_MACHINE);
    reg.SetKeyPath(kTodayItemKey);
    reg.SetDword(u"Type", 4);
    reg.SetDword(u"Options", 0);
    reg.SetDword(u"Enabled", 1);
    reg.SetString(u"DLL", kTodayItemDll);
    WindowStation station(ctx->root());
    station.Broadcast(WM_SETTINGCHANGE, kTodayReloadWParam, 0);
  }
  if (MessageBoxes* boxes = Environment().messageBoxes) {
    boxes->Show(kInstalledMessage, "Quillet", MB_OK | MB_ICONINFORMATION);
  }
  return codeINSTALL_EXIT_DONE;
}

QUILLET_EXPORT int Uninstall_Init(HWND /*parent*/, const char16_t* /*installDir*/) {
  auto ctx = OpenLibraryContext(Environment());
  if (!ctx) return codeUNINSTALL_INIT_CONTINUE;
  WindowStation station(ctx->root());
  CloseProgram(*ctx, station);
  DeleteTodayItem(ctx->registry());
  RegistryStore reg(ctx->registry());
  reg.SetRoot(HKEY_LOCAL_MACHINE);
  reg.DeleteKey(kSyncObjectTypeKey);
  // Answered by every window, so the Today screen has let go of the item's library before the
  // removal deletes it.
  SendTodayRefresh(station);
  return codeUNINSTALL_INIT_CONTINUE;
}

QUILLET_EXPORT int Uninstall_Exit(HWND /*parent*/) {
  auto ctx = OpenLibraryContext(Environment());
  if (!ctx) return codeUNINSTALL_EXIT_DONE;
  CEOID chartDb = 0;
  if (ctx->objectStore().FindDatabase(kChartDbName, &chartDb) == ERROR_SUCCESS) {
    ctx->objectStore().DeleteDatabase(chartDb);
  }
  RegistryStore reg(ctx->registry());
  reg.DeleteKey(kProductKey);
  DeleteVendorKeyIfEmpty(ctx->registry());
  // Always the fixed folder, wherever the program's settings said its data lived.
  auto remove = [&ctx](const char* file) {
    if (auto host = ctx->HostPath(file)) ctx->files().Delete(*host);
  };
  for (const char* file : kDataFiles) remove(file);
  for (const char* file : kLeftoverFiles) remove(file);
  if (auto folder = ctx->HostPath(kProgramFolder)) ctx->files().RemoveFolder(*folder);
  return codeUNINSTALL_EXIT_DONE;
}
