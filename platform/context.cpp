#include "platform/context.h"

#include "platform/linux/window_station.h"
#include "platform/roots.h"

namespace quillet {

PlatformContext::PlatformContext(const PlatformServices& services)
    : openedWith_(services),
      baseFiles_(&services.files),
      files_(&services.files),
      databases_(&services.databases),
      clock_(&services.clock),
      ticks_(&services.ticks),
      sockets_(&services.sockets),
      http_(services.http),
      settings_(services.settings) {}

std::unique_ptr<PlatformContext> PlatformContext::Open(Kind kind, const std::string& root,
                                                       const PlatformServices& services,
                                                       std::string* error,
                                                       const std::string& sqliteVfs) {
  if (root.empty()) {
    if (error) *error = "no root folder given";
    return nullptr;
  }
  if (LONG rc = services.files.CreateFolders(root)) {
    if (error)
      *error = "cannot create the root folder " + root + " (error " + std::to_string(rc) + ")";
    return nullptr;
  }
  RootDatabases databases;
  if (!services.databases.OpenRoot(root, sqliteVfs, &databases, error)) return nullptr;
  std::unique_ptr<PlatformContext> ctx(new PlatformContext(services));
  ctx->kind_ = kind;
  ctx->root_ = root;
  ctx->registry_ = std::move(databases.registry);
  ctx->objectStore_ = std::move(databases.objectStore);
  ctx->phoneBook_ = std::make_unique<RegistryRasDialer>(*ctx->registry_);
  ctx->dialer_ = ctx->phoneBook_.get();
  ctx->locale_ = ReadLocaleSettings(*ctx->registry_);
  ctx->programPath_ = kind == Kind::kDevice ? "\\Program Files\\Quillet\\Quillet.exe"
                                            : "C:\\Program Files\\Quillet\\Quillet.exe";
  return ctx;
}

void PlatformContext::SetWindowStation(WindowStation* station) {
  station_ = station;
  messages_ = station;
}

std::optional<std::string> PlatformContext::HostPath(std::string_view windowsPath) const {
  return kind_ == Kind::kDevice ? MapDevicePath(root_, windowsPath)
                                : MapDesktopPath(root_, windowsPath);
}

}  // namespace quillet
