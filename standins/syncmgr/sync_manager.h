// The desktop's sync manager as the providers meet it: it finds the providers registered among
// the synchronisation objects (skipping disabled ones), loads each by ProgId -> CLSID ->
// InprocServer32 and DllGetClassObject, and synchronises each folder with the connected
// handheld: the provider's items are enumerated, compared with the manager's stored copy of
// each (kept in a file of its own between runs), and every new or changed item is sent packet
// by packet to the handheld's object-type library, whose handler takes each packet.
//
// One synchronisation is RSC_BEGIN_SYNC, the enumeration and the exchanges, RSC_END_SYNC; a
// continuous connection adds periodic enumerations without the begin and end.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/context.h"
#include "platform/linux/module.h"
#include "platform/repl_desktop.h"

namespace quillet {

inline constexpr std::u16string_view kDesktopSyncObjectsKey =
    u"Software\\Microsoft\\Windows CE Services\\Services\\Synchronization\\Objects";
inline constexpr std::u16string_view kDeviceSyncObjectsKey =
    u"Windows CE Services\\Synchronization\\Objects";
inline constexpr char kActiveSyncTitle[] = "Microsoft ActiveSync";

struct ProviderEntry {
  std::string objType;      // the sub-key's name: the folder and the handheld's object type
  std::string displayName;  // "Display Name"
  std::string progId;       // "Store"
  bool disabled = false;    // "Disabled" non-zero
};

// Every provider registered on the desktop, in registry order.
std::vector<ProviderEntry> FindProviders(Registry& registry);

class SyncManager {
 public:
  using Log = std::function<void(std::string_view line)>;
  SyncManager(PlatformContext& desktop, Log log);
  // Releases every provider as the service does when it ends.
  ~SyncManager();
  SyncManager(const SyncManager&) = delete;
  SyncManager& operator=(const SyncManager&) = delete;

  // The window the providers' dialogs are parented to.
  void SetWindow(HWND window) { window_ = window; }
  HWND window() const { return window_; }
  // Whether the providers loaded from now on may show windows of their own (the host runs a
  // window event loop).
  void SetShowsWindows(bool shows) { showsWindows_ = shows; }

  // Loads and opens every enabled provider; how many are open.
  int LoadProviders();
  // One synchronisation of every open provider; how many items were sent to the handheld.
  int Synchronize();
  // The periodic enumeration of a continuous connection; how many items were sent.
  int EnumerateAgain();
  // Asks the provider of `objType` for its options dialog; its answer (RERR_CANCEL for
  // Quillet), or E_INVALIDARG when no such provider is open.
  HRESULT ShowProviderOptions(std::string_view objType);

  std::vector<std::string> openProviders() const;
  // The outcome of the last save of a stored copy: 0 or the file system's error.
  LONG lastStoredSave() const { return lastStoredSave_; }

 private:
  struct Provider;
  bool Open(const ProviderEntry& entry, Provider& p);
  int SyncFolder(Provider& p);
  bool SendItem(Provider& p, HREPLITEM item);
  void LoadStored(Provider& p);
  void SaveStored(Provider& p);
  std::string StoredPath(const Provider& p) const;
  void Close(Provider& p);

  PlatformContext& desktop_;
  Log log_;
  HWND window_ = 0;
  bool showsWindows_ = false;
  LONG lastStoredSave_ = ERROR_SUCCESS;
  std::vector<std::unique_ptr<Provider>> providers_;
  class Notify;
  std::unique_ptr<Notify> notify_;
};

}  // namespace quillet
