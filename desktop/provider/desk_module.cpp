#include "desktop/provider/desk_module.h"

namespace quillet {

DeskModule& Module() {
  static DeskModule module;
  return module;
}

PlatformContext* DeskModule::Desktop() {
  std::lock_guard<std::mutex> lock(desktopGuard_);
  if (!desktop_ && environment.services != nullptr && !environment.root.empty()) {
    desktop_ = PlatformContext::Open(PlatformContext::Kind::kDesktop, environment.root,
                                     *environment.services);
  }
  return desktop_.get();
}

}  // namespace quillet
