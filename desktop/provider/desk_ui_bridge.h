// How the provider reaches the desktop companion's windows without linking a widget library: the
// windows live in a library of their own beside the provider ("QuilletDeskUi.so"), loaded only
// in a host that shows windows, and reached through three plain exports. When it is missing or
// the host shows none, the run goes on without a progress window and the options dialog cannot
// open.
#pragma once

#include <memory>
#include <string>

#include "desktop/desk_run_host.h"
#include "platform/context.h"
#include "platform/linux/module.h"
#include "platform/repl_desktop.h"

namespace quillet {

inline constexpr char kDeskUiLibrary[] = "QuilletDeskUi.so";

// The exports of the windows library. The run host it opens belongs to it until handed back.
using OpenRunWindowsProc = DeskRunHost* (*)(HWND parent);
using CloseRunWindowsProc = void (*)(DeskRunHost* host);
// Shows the options sheet modally over `parent`; 1 when the user confirmed it (the settings are
// then saved), 0 when cancelled, -1 when it cannot be shown.
using ShowOptionsProc = int (*)(PlatformContext* desktop, HWND parent);
inline constexpr char kOpenRunWindowsExport[] = "QuilletDeskOpenRunWindows";
inline constexpr char kCloseRunWindowsExport[] = "QuilletDeskCloseRunWindows";
inline constexpr char kShowOptionsExport[] = "QuilletDeskShowOptions";

// The run's host for a store: the windows library's when it can be had, else none (no progress
// window, and the update question answered No, as its countdown would end with nobody there).
class ProviderRunHost final : public DeskRunHost {
 public:
  ProviderRunHost() = default;
  ~ProviderRunHost() override;
  ProviderRunHost(const ProviderRunHost&) = delete;
  ProviderRunHost& operator=(const ProviderRunHost&) = delete;

  // The window that the run's windows are centred on (the sync manager's).
  void SetParent(HWND parent) { parent_ = parent; }
  std::unique_ptr<DeskProgress> OpenProgress(CancelToken& cancel) override;
  bool AskToUpdate() override;
  void PumpMessages() override;

  // The options sheet; -1 when it cannot be shown.
  int ShowOptions(PlatformContext& desktop);

 private:
  DeskRunHost* Windows();
  bool LoadUi();
  HWND parent_ = 0;
  bool tried_ = false;
  std::unique_ptr<LoadedLibrary> ui_;
  DeskRunHost* windows_ = nullptr;
};

// The host path of the library this code is linked into (empty when it cannot be told).
std::string ThisLibraryPath();

}  // namespace quillet
