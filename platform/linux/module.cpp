#include "platform/linux/module.h"

#include <dlfcn.h>

#include "platform/roots.h"

namespace quillet {

std::unique_ptr<LoadedLibrary> LoadedLibrary::Load(std::string_view windowsPath,
                                                   const ModuleEnvironment& environment,
                                                   std::string* error) {
  std::optional<std::string> host = MapDevicePath(environment.root, windowsPath);
  if (!host || windowsPath.empty()) {
    if (error) *error = "the path " + std::string(windowsPath) + " is not on the device";
    return nullptr;
  }
  return LoadFile(*host, environment, error);
}

std::unique_ptr<LoadedLibrary> LoadedLibrary::LoadFile(const std::string& hostPath,
                                                       const ModuleEnvironment& environment,
                                                       std::string* error) {
  // Bound at once, so a library missing a symbol fails here and not in the middle of a call.
  void* handle = ::dlopen(hostPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    if (error) {
      const char* why = ::dlerror();
      *error = why ? why : ("cannot load " + hostPath);
    }
    return nullptr;
  }
  std::unique_ptr<LoadedLibrary> library(new LoadedLibrary(handle));
  if (auto attach = library->Proc<ModuleAttachProc>(kModuleAttachExport)) attach(&environment);
  return library;
}

LoadedLibrary::~LoadedLibrary() {
  if (handle_) ::dlclose(handle_);
}

void* LoadedLibrary::GetProcAddress(const char* name) const {
  return handle_ ? ::dlsym(handle_, name) : nullptr;
}

}  // namespace quillet
