#include "desktop/provider/desk_ui_bridge.h"

#include <dlfcn.h>

#include "desktop/provider/desk_module.h"

namespace quillet {

std::string ThisLibraryPath() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&ThisLibraryPath), &info) == 0 || !info.dli_fname) {
    return {};
  }
  return info.dli_fname;
}

ProviderRunHost::~ProviderRunHost() {
  if (windows_ && ui_) {
    if (auto close = ui_->Proc<CloseRunWindowsProc>(kCloseRunWindowsExport)) close(windows_);
  }
  windows_ = nullptr;
}

// Only a host that shows windows gets them; the library sits beside this one.
bool ProviderRunHost::LoadUi() {
  if (ui_) return true;
  if (tried_) return false;
  tried_ = true;
  const ModuleEnvironment& environment = Module().environment;
  if (!environment.showsWindows) return false;
  const std::string self = ThisLibraryPath();
  const std::size_t slash = self.rfind('/');
  if (slash == std::string::npos) return false;
  ui_ = LoadedLibrary::LoadFile(self.substr(0, slash + 1) + kDeskUiLibrary, environment);
  return ui_ != nullptr;
}

DeskRunHost* ProviderRunHost::Windows() {
  if (windows_) return windows_;
  if (!LoadUi()) return nullptr;
  if (auto open = ui_->Proc<OpenRunWindowsProc>(kOpenRunWindowsExport)) windows_ = open(parent_);
  return windows_;
}

std::unique_ptr<DeskProgress> ProviderRunHost::OpenProgress(CancelToken& cancel) {
  DeskRunHost* windows = Windows();
  return windows ? windows->OpenProgress(cancel) : nullptr;
}

bool ProviderRunHost::AskToUpdate() {
  DeskRunHost* windows = Windows();
  return windows ? windows->AskToUpdate() : false;
}

void ProviderRunHost::PumpMessages() {
  if (DeskRunHost* windows = Windows()) windows->PumpMessages();
}

int ProviderRunHost::ShowOptions(PlatformContext& desktop) {
  if (!LoadUi()) return -1;
  auto show = ui_->Proc<ShowOptionsProc>(kShowOptionsExport);
  return show ? show(&desktop, parent_) : -1;
}

}  // namespace quillet
