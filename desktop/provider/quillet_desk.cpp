// QuilletDesk ("Quillet.dll" on the desktop): the desktop companion as an in-process server with
// one class, the replication store. The sync manager finds it through the registry entries that
// DllRegisterServer writes, creates stores through the class factory of DllGetClassObject, and
// unloads the library once DllCanUnloadNow allows it.
#include <atomic>
#include <new>

#include "desktop/provider/desk_module.h"
#include "desktop/provider/desk_ui_bridge.h"
#include "desktop/provider/quillet_store.h"
#include "desktop/provider/registration.h"
#include "platform/linux/remote_api.h"
#include "platform/roots.h"

namespace quillet {
namespace {

class CQuilletClassFactory final : public ComObject<IClassFactory, IID_IClassFactory> {
 public:
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_INVALIDARG;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    PlatformContext* desktop = Module().Desktop();
    if (!desktop) return E_FAIL;  // no desktop to work on: no store
    auto* store = new (std::nothrow) CQuilletStore(*desktop);
    if (!store) return E_OUTOFMEMORY;
    const HRESULT hr = store->QueryInterface(iid, object);
    store->Release();
    return hr;
  }
  HRESULT LockServer(BOOL lock) override {
    if (lock) {
      Module().Lock();
    } else {
      Module().Unlock();
    }
    return S_OK;
  }

 private:
  ~CQuilletClassFactory() override = default;
};

// The library's path as the desktop names it ("C:\...\Quillet.dll" stands for the file in the
// desktop root); a library outside the root is named by its host path.
bool LibraryPath(std::string* path) {
  const std::string host = ThisLibraryPath();
  if (host.empty()) return false;
  auto desktopPath = DesktopPathOf(Module().environment.root, host);
  *path = desktopPath ? *desktopPath : host;
  return path->size() < 260;
}

}  // namespace
}  // namespace quillet

using namespace quillet;

QUILLET_EXPORT void QuilletModuleAttach(const ModuleEnvironment* environment) {
  if (environment) Module().environment = *environment;
}

QUILLET_EXPORT HRESULT DllRegisterServer() {
  PlatformContext* desktop = Module().Desktop();
  if (!desktop) return HResultFromWin32(ERROR_PATH_NOT_FOUND);
  std::string path;
  if (!LibraryPath(&path)) return HResultFromWin32(ERROR_FILENAME_EXCED_RANGE);
  return RegisterQuilletServer(desktop->registry(), path);
}

QUILLET_EXPORT HRESULT DllUnregisterServer() {
  PlatformContext* desktop = Module().Desktop();
  if (!desktop) return HResultFromWin32(ERROR_PATH_NOT_FOUND);
  return UnregisterQuilletServer(desktop->registry());
}

// The class identifier is not looked at: the library serves one class.
QUILLET_EXPORT HRESULT DllGetClassObject(const GUID& /*clsid*/, const GUID& iid, void** object) {
  if (!object) return E_INVALIDARG;
  *object = nullptr;
  auto* factory = new (std::nothrow) CQuilletClassFactory();
  if (!factory) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(iid, object);
  factory->Release();
  return hr;
}

QUILLET_EXPORT HRESULT DllCanUnloadNow() { return Module().CanUnload() ? S_OK : S_FALSE; }
