#include "standins/syncmgr/sync_manager.h"

#include <cstring>

#include "platform/codepage.h"
#include "platform/com.h"
#include "platform/linux/remote_api.h"
#include "platform/repl_device.h"
#include "platform/roots.h"

namespace quillet {
namespace {

std::string Narrow(std::u16string_view text) { return Utf16ToUtf8(text); }

// The stored copy: "QREP", then the store identifier and each object's bytes, every block as a
// 32-bit little-endian length and its bytes.
constexpr char kStoredMagic[] = "QREP";

void PutBlock(std::string* out, std::string_view bytes) {
  const auto n = static_cast<std::uint32_t>(bytes.size());
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>(n >> (8 * i)));
  out->append(bytes);
}

bool GetBlock(std::string_view* in, std::string_view* block) {
  if (in->size() < 4) return false;
  std::uint32_t n = 0;
  for (int i = 0; i < 4; ++i)
    n |= static_cast<std::uint32_t>(static_cast<BYTE>((*in)[i])) << (8 * i);
  if (in->size() - 4 < n) return false;
  *block = in->substr(4, n);
  in->remove_prefix(4 + n);
  return true;
}

}  // namespace

std::vector<ProviderEntry> FindProviders(Registry& registry) {
  std::vector<ProviderEntry> out;
  HKEY objects{};
  if (registry.OpenKey(HKEY_LOCAL_MACHINE, kDesktopSyncObjectsKey, &objects) != ERROR_SUCCESS) {
    return out;
  }
  for (DWORD i = 0;; ++i) {
    std::u16string name;
    if (registry.EnumKey(objects, i, &name) != ERROR_SUCCESS) break;
    ProviderEntry e;
    e.objType = Narrow(name);
    const std::u16string key = std::u16string(kDesktopSyncObjectsKey) + u"\\" + name;
    std::u16string text;
    if (registry.GetString(HKEY_LOCAL_MACHINE, key, u"Display Name", &text) == 0) {
      e.displayName = Narrow(text);
    }
    if (registry.GetString(HKEY_LOCAL_MACHINE, key, u"Store", &text) == 0) e.progId = Narrow(text);
    DWORD disabled = 0;
    if (registry.GetDword(HKEY_LOCAL_MACHINE, key, u"Disabled", &disabled) == 0) {
      e.disabled = disabled != 0;
    }
    out.push_back(std::move(e));
  }
  registry.CloseKey(objects);
  return out;
}

// The service's call-back: the window dialogs go over.
class SyncManager::Notify final : public IReplNotify {
 public:
  explicit Notify(SyncManager& manager) : manager_(manager) {}
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_INVALIDARG;
    if (iid == IID_IUnknown || iid == IID_IReplNotify) {
      *object = static_cast<IReplNotify*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // Owned by the manager, which outlives every store.
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT SetStatusText(const char* text) override {
    if (text) manager_.log_(std::string("Status: ") + text);
    return S_OK;
  }
  HRESULT GetWindow(UINT, HWND* window) override {
    if (!window) return E_INVALIDARG;
    *window = manager_.window_;
    return S_OK;
  }
  HRESULT OnItemNotify(UINT, const char*, const char*, HREPLITEM, ULONG) override { return S_OK; }
  HRESULT QueryDevice(UINT, void**) override { return E_NOTIMPL; }

 private:
  SyncManager& manager_;
};

// Items handed to a provider's dialog: none selected.
class NoItems final : public IEnumReplItem {
 public:
  explicit NoItems(HREPLFLD folder) : folder_(folder) {}
  HRESULT QueryInterface(REFIID, void** object) override {
    if (object) *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT Next(ULONG, HREPLITEM* items, ULONG* fetched) override {
    if (items) *items = nullptr;
    if (fetched) *fetched = 0;
    return S_FALSE;
  }
  HRESULT Skip(ULONG) override { return S_FALSE; }
  HRESULT Reset() override { return S_OK; }
  HRESULT Clone(IEnumReplItem** copy) override {
    if (copy) *copy = nullptr;
    return E_NOTIMPL;
  }
  HREPLFLD GetFolderHandle() override { return folder_; }

 private:
  HREPLFLD folder_;
};

struct SyncManager::Provider {
  Provider(ProviderEntry e, const PlatformServices& s) : entry(std::move(e)), services(s) {}
  ProviderEntry entry;
  PlatformServices services;
  ModuleEnvironment environment;
  std::unique_ptr<LoadedLibrary> library;
  IReplStore* store = nullptr;
  HREPLFLD folder = nullptr;
  desk::IReplObjHandler* handler = nullptr;
  std::string storeId;
  std::vector<HREPLITEM> stored;
  // The handheld's side of the object type.
  std::unique_ptr<LoadedLibrary> deviceLibrary;
  IReplObjHandler* deviceHandler = nullptr;
};

SyncManager::SyncManager(PlatformContext& desktop, Log log)
    : desktop_(desktop), log_(std::move(log)), notify_(std::make_unique<Notify>(*this)) {}

SyncManager::~SyncManager() {
  for (auto& p : providers_) Close(*p);
}

std::vector<std::string> SyncManager::openProviders() const {
  std::vector<std::string> out;
  for (const auto& p : providers_) out.push_back(p->entry.objType);
  return out;
}

int SyncManager::LoadProviders() {
  for (const ProviderEntry& entry : FindProviders(desktop_.registry())) {
    if (entry.disabled) {
      log_("Provider " + entry.objType + ": disabled");
      continue;
    }
    auto p = std::make_unique<Provider>(entry, desktop_.openedWith());
    if (Open(entry, *p)) {
      log_("Provider " + entry.objType + ": loaded");
      providers_.push_back(std::move(p));
    } else {
      Close(*p);
    }
  }
  return static_cast<int>(providers_.size());
}

bool SyncManager::Open(const ProviderEntry& entry, Provider& p) {
  Registry& reg = desktop_.registry();
  std::u16string clsidText, server;
  if (entry.progId.empty() ||
      reg.GetString(HKEY_CLASSES_ROOT, Utf8ToUtf16(entry.progId) + u"\\CLSID", u"", &clsidText)) {
    log_("Provider " + entry.objType + ": no class for " + entry.progId);
    return false;
  }
  const std::optional<GUID> clsid = GuidFromString(Narrow(clsidText));
  if (!clsid || reg.GetString(HKEY_CLASSES_ROOT, u"CLSID\\" + clsidText + u"\\InprocServer32", u"",
                              &server)) {
    log_("Provider " + entry.objType + ": class not registered");
    return false;
  }
  const std::string path = Narrow(server);
  const std::string host =
      path.size() > 2 && path[1] == ':' ? MapDesktopPath(desktop_.root(), path).value_or("") : path;
  p.environment.root = desktop_.root();
  p.environment.services = &p.services;
  p.environment.showsWindows = showsWindows_;
  std::string error;
  p.library = host.empty() ? nullptr : LoadedLibrary::LoadFile(host, p.environment, &error);
  if (!p.library) {
    log_("Provider " + entry.objType + ": cannot load " + path + ": " + error);
    return false;
  }
  auto getClass = p.library->Proc<DllGetClassObjectProc>("DllGetClassObject");
  void* object = nullptr;
  if (!getClass || Failed(getClass(*clsid, IID_IClassFactory, &object)) || !object) return false;
  auto* factory = static_cast<IClassFactory*>(object);
  object = nullptr;
  const HRESULT hr = factory->CreateInstance(nullptr, IID_IReplStore, &object);
  factory->Release();
  if (Failed(hr) || !object) {
    log_("Provider " + entry.objType + ": no store");
    return false;
  }
  p.store = static_cast<IReplStore*>(object);
  if (Failed(p.store->Initialize(notify_.get(), 0))) return false;

  // The store's identifier decides whether the stored copy is still this store's.
  STOREINFO info;
  BYTE id[256] = {};
  info.cbMaxStoreId = sizeof id;
  info.lpbStoreId = id;
  if (Failed(p.store->GetStoreInfo(&info))) return false;
  p.storeId.assign(reinterpret_cast<char*>(id), std::min<UINT>(info.cbStoreId, sizeof id));
  LoadStored(p);

  IUnknown* handler = nullptr;
  if (Failed(p.store->GetFolderInfo(entry.objType.c_str(), &p.folder, &handler)) || !handler) {
    log_("Provider " + entry.objType + ": no folder");
    return false;
  }
  // The handler's IUnknown is its object handler interface.
  p.handler = reinterpret_cast<desk::IReplObjHandler*>(handler);
  // The check right after the folder is opened.
  HREPLITEM item = nullptr;
  BOOL exist = 0;
  p.store->FindFirstItem(p.folder, &item, &exist);
  while (exist && item) {
    p.store->FreeObject(item);
    item = nullptr;
    p.store->FindNextItem(p.folder, &item, &exist);
  }
  p.store->FindItemClose(p.folder);
  return true;
}

void SyncManager::Close(Provider& p) {
  if (p.deviceHandler) p.deviceHandler->Release();
  p.deviceHandler = nullptr;
  if (p.store) {
    for (HREPLITEM item : p.stored) p.store->FreeObject(item);
    p.stored.clear();
    if (p.handler) p.handler->Release();
    p.handler = nullptr;
    if (p.folder) p.store->FreeObject(p.folder);
    p.folder = nullptr;
    p.store->ReportStatus(nullptr, nullptr, RSC_RELEASE, 0);
    p.store->Release();
    p.store = nullptr;
  }
  if (p.library) {
    if (auto canUnload = p.library->Proc<DllCanUnloadNowProc>("DllCanUnloadNow");
        canUnload && canUnload() != S_OK) {
      log_("Provider " + p.entry.objType + ": still in use at unload");
    }
  }
  p.library.reset();
  p.deviceLibrary.reset();
}

std::string SyncManager::StoredPath(const Provider& p) const {
  return JoinPath(JoinPath(JoinPath(desktop_.root(), "run"), "syncmgr"), p.entry.objType + ".repl");
}

void SyncManager::LoadStored(Provider& p) {
  std::string bytes;
  if (desktop_.files().ReadAll(StoredPath(p), &bytes) != ERROR_SUCCESS) return;
  std::string_view in = bytes;
  std::string_view block;
  if (in.substr(0, 4) != kStoredMagic) return;
  in.remove_prefix(4);
  if (!GetBlock(&in, &block)) return;
  // Another store's copy (another desktop's provider): nothing of it applies.
  const auto* a = reinterpret_cast<const BYTE*>(block.data());
  const auto* b = reinterpret_cast<const BYTE*>(p.storeId.data());
  if (p.store->CompareStoreIDs(a, static_cast<UINT>(block.size()), b,
                               static_cast<UINT>(p.storeId.size())) != 0) {
    log_("Provider " + p.entry.objType + ": another store; the stored copy is dropped");
    return;
  }
  while (GetBlock(&in, &block)) {
    HREPLOBJ object = p.store->BytesToObject(reinterpret_cast<const BYTE*>(block.data()),
                                             static_cast<UINT>(block.size()));
    if (object) p.stored.push_back(object);
  }
}

void SyncManager::SaveStored(Provider& p) {
  std::string out = kStoredMagic;
  PutBlock(&out, p.storeId);
  for (HREPLITEM item : p.stored) {
    const UINT size = p.store->ObjectToBytes(item, nullptr);
    if (size == 0 || size > 1u << 20) continue;
    std::string bytes(size, '\0');
    p.store->ObjectToBytes(item, reinterpret_cast<BYTE*>(bytes.data()));
    PutBlock(&out, bytes);
  }
  const std::string path = StoredPath(p);
  lastStoredSave_ = desktop_.files().CreateFolders(FolderOf(path));
  if (lastStoredSave_ == ERROR_SUCCESS) lastStoredSave_ = desktop_.files().ReplaceFile(path, out);
  if (lastStoredSave_ != ERROR_SUCCESS) {
    log_("Provider " + p.entry.objType + ": cannot save the stored copy");
  }
}

int SyncManager::Synchronize() {
  int sent = 0;
  for (auto& p : providers_) {
    p->store->ReportStatus(nullptr, nullptr, RSC_BEGIN_SYNC, 0);
    sent += SyncFolder(*p);
    p->store->ReportStatus(nullptr, nullptr, RSC_END_SYNC, 0);
  }
  return sent;
}

int SyncManager::EnumerateAgain() {
  int sent = 0;
  for (auto& p : providers_) sent += SyncFolder(*p);
  return sent;
}

HRESULT SyncManager::ShowProviderOptions(std::string_view objType) {
  for (auto& p : providers_) {
    if (p->entry.objType != objType) continue;
    NoItems items(p->folder);
    return p->store->ActivateDialog(OPTIONS_DIALOG, window_, p->folder, &items);
  }
  return E_INVALIDARG;
}

int SyncManager::SyncFolder(Provider& p) {
  std::vector<HREPLITEM> found;
  HREPLITEM item = nullptr;
  BOOL exist = 0;
  HRESULT hr = p.store->FindFirstItem(p.folder, &item, &exist);
  while (Succeeded(hr) && exist && item) {
    found.push_back(item);
    item = nullptr;
    hr = p.store->FindNextItem(p.folder, &item, &exist);
  }
  p.store->FindItemClose(p.folder);
  int sent = 0;
  bool changedCopy = false;
  for (HREPLITEM current : found) {
    HREPLITEM stored = nullptr;
    for (HREPLITEM s : p.stored) {
      if (p.store->CompareItem(s, current) == 0) stored = s;
    }
    if (!stored || p.store->IsItemChanged(p.folder, current, stored)) {
      if (SendItem(p, current)) {
        ++sent;
        if (stored) {
          p.store->UpdateItem(p.folder, stored, current);
        } else {
          // The copy is made through the bytes, as it would be read back next time.
          const UINT size = p.store->ObjectToBytes(current, nullptr);
          std::string bytes(size, '\0');
          p.store->ObjectToBytes(current, reinterpret_cast<BYTE*>(bytes.data()));
          if (HREPLOBJ copy =
                  p.store->BytesToObject(reinterpret_cast<const BYTE*>(bytes.data()), size)) {
            p.stored.push_back(copy);
          }
        }
        changedCopy = true;
      }
    }
    p.store->FreeObject(current);
  }
  if (changedCopy) SaveStored(p);
  return sent;
}

// The exchange of one item: the provider's packets, each handed to the handheld's handler.
bool SyncManager::SendItem(Provider& p, HREPLITEM item) {
  const std::optional<std::string> device = ConnectedDevice(desktop_.files(), desktop_.root());
  if (!device) {
    log_("No device connected");
    return false;
  }
  if (!p.deviceHandler) {
    std::u16string dll;
    PlatformServices services = desktop_.openedWith();
    std::unique_ptr<PlatformContext> deviceCtx =
        PlatformContext::Open(PlatformContext::Kind::kDevice, *device, services);
    if (!deviceCtx || deviceCtx->registry().GetString(HKEY_LOCAL_MACHINE,
                                                      std::u16string(kDeviceSyncObjectsKey) +
                                                          u"\\" + Utf8ToUtf16(p.entry.objType),
                                                      u"DLL", &dll)) {
      log_("Device: object type " + p.entry.objType + " is not installed");
      return false;
    }
    ModuleEnvironment env;
    env.root = *device;
    env.services = &p.services;
    std::string error;
    p.deviceLibrary = LoadedLibrary::Load("\\Windows\\" + Narrow(dll), env, &error);
    auto init = p.deviceLibrary ? p.deviceLibrary->Proc<InitObjTypeProc>("InitObjType") : nullptr;
    if (!init || !init(Utf8ToUtf16(p.entry.objType).c_str(), &p.deviceHandler, 1) ||
        !p.deviceHandler) {
      log_("Device: cannot load " + Narrow(dll) + " " + error);
      p.deviceHandler = nullptr;
      p.deviceLibrary.reset();
      return false;
    }
  }
  REPLSETUP write;
  write.cbStruct = sizeof write;
  write.fRead = 0;
  CopyToField(write.szObjType, Utf8ToUtf16(p.entry.objType));
  desk::REPLSETUP read;
  read.fRead = 1;
  read.pNotify = notify_.get();
  read.pStore = p.store;
  read.hFolder = p.folder;
  read.hItem = item;
  CopyToField(read.szObjType, p.entry.objType);
  p.deviceHandler->Setup(&write);
  bool ok = Succeeded(p.handler->Setup(&read));
  int packets = 0;
  while (ok) {
    BYTE* data = nullptr;
    DWORD size = 0;
    const HRESULT hr = p.handler->GetPacket(&data, &size, 0);
    if (Failed(hr)) {
      ok = hr == RERR_SKIP_ALL;
      break;
    }
    ++packets;
    const HRESULT set = p.deviceHandler->SetPacket(data, size);
    if (Failed(set)) {
      char text[64];
      std::snprintf(text, sizeof text, "Device: packet %d refused (0x%08X)", packets,
                    static_cast<unsigned>(set));
      log_(text);
    }
    if (hr == RWRN_LAST_PACKET) break;
  }
  p.handler->Reset(&read);
  p.deviceHandler->Reset(&write);
  log_("Provider " + p.entry.objType + ": " + std::to_string(packets) + " packets sent");
  return ok;
}

}  // namespace quillet
