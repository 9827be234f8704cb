#include "desktop/provider/quillet_store.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "desktop/provider/desk_module.h"
#include "platform/codepage.h"
#include "platform/linux/remote_api.h"

namespace quillet {
namespace {

CFolderObject* AsFolder(HREPLOBJ handle) {
  CReplObject* object = FromHandle(handle);
  return object && object->uKind == QUILLET_OBJ_FOLDER ? static_cast<CFolderObject*>(object)
                                                       : nullptr;
}

CItemObject* AsItem(HREPLOBJ handle) {
  CReplObject* object = FromHandle(handle);
  return object && object->uKind == QUILLET_OBJ_ITEM ? static_cast<CItemObject*>(object) : nullptr;
}

DeskRunServices RunServices(PlatformContext& desktop, DeskRunHost& host, DeskRunSteps& steps) {
  DeskRunServices services{desktop, host};
  services.steps = &steps;
  return services;
}

std::uint64_t FileTimeValue(const FILETIME& ft) {
  return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

void PutDword(BYTE* out, DWORD value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<BYTE>(value >> (8 * i));
}

DWORD GetDword(const BYTE* in) {
  return static_cast<DWORD>(in[0]) | (static_cast<DWORD>(in[1]) << 8) |
         (static_cast<DWORD>(in[2]) << 16) | (static_cast<DWORD>(in[3]) << 24);
}

}  // namespace

// ---- The object handler -----------------------------------------------------------------------

CQuilletObjHandler::CQuilletObjHandler(CQuilletFolder& folder)
    : store_(&folder.store()), folder_(folder) {
  // The handler works on the store's run: it keeps the store (and so the folder) alive for as
  // long as the service holds the handler.
  store_->AddRef();
}

CQuilletObjHandler::~CQuilletObjHandler() { store_->Release(); }

HRESULT CQuilletObjHandler::Setup(desk::REPLSETUP* setup) {
  if (!setup) return E_INVALIDARG;
  if (setup->fRead) {
    Trace("CQuilletObjHandler::Setup - Read");
    readSetup_ = setup;
    HWND window = 0;
    if (IReplNotify* notify = store_->notify()) notify->GetWindow(0, &window);
    store_->host().SetParent(window);
    store_->updater().BeginRun();
  } else {
    Trace("CQuilletObjHandler::Setup - Write");
    writeSetup_ = setup;
  }
  Module().packets = 0;
  return S_OK;
}

HRESULT CQuilletObjHandler::Reset(desk::REPLSETUP* setup) {
  if (!setup) return E_INVALIDARG;
  Trace("CQuilletObjHandler::Reset");
  CQuilletUpdater& run = store_->updater();
  run.EndRun();
  DeskModule& module = Module();
  module.lastRunEnd = std::max(module.lastRunEnd, run.lastRunEnd());
  module.force = false;
  // The record belongs to the service and ends with this exchange: later packets have no setup.
  if (setup == readSetup_) readSetup_ = nullptr;
  if (setup == writeSetup_) writeSetup_ = nullptr;
  return S_OK;
}

HRESULT CQuilletObjHandler::GetPacket(BYTE** data, DWORD* size, DWORD /*recommendedSize*/) {
  if (!data || !size) return E_INVALIDARG;
  *data = nullptr;
  *size = 0;
  // A packet asked for outside an exchange has nothing to run and nothing to read from.
  if (!readSetup_) return E_UNEXPECTED;
  if (!readSetup_->hItem) {
    Trace("CQuilletObjHandler::GetPacket - RERR_SKIP_ALL");
    return RERR_SKIP_ALL;
  }
  PutDword(packet_, kQuilletPacket);
  *data = packet_;
  *size = sizeof packet_;
  CQuilletUpdater& run = store_->updater();
  if (!run.isOpen()) return RWRN_LAST_PACKET;
  run.RunStep();
  return Module().packets++ < 4 ? S_OK : RWRN_LAST_PACKET;
}

HRESULT CQuilletObjHandler::SetPacket(BYTE* data, DWORD /*size*/) {
  if (!data) return E_INVALIDARG;
  if (!writeSetup_) return E_UNEXPECTED;
  if (writeSetup_->dwFlags & RSF_NEW_OBJECT) {
    Trace("CQuilletObjHandler::SetPacket - RSF_NEW_OBJECT");
    auto* item = new (std::nothrow) CItemObject();
    if (!item) return E_OUTOFMEMORY;
    CopyToField(item->szName, folder_.GetTypeText());
    item->ftTime = Module().lastItemTime;
    writeSetup_->hItem = ToHandle(item);
  }
  return S_OK;
}

HRESULT CQuilletObjHandler::DeleteObj(desk::REPLSETUP* setup) {
  if (!setup) return E_INVALIDARG;
  return folder_.DeleteItem(setup->hItem);
}

// ---- The folder -------------------------------------------------------------------------------

HRESULT CQuilletFolder::Initialize(IUnknown** objHandler) {
  auto* handler = new (std::nothrow) CQuilletObjHandler(*this);
  if (!handler) return E_OUTOFMEMORY;
  const HRESULT hr = handler->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(objHandler));
  handler->Release();  // the creation reference: the service's is the one left
  Module().skipNextEnumeration = true;
  return hr;
}

HRESULT CQuilletFolder::IsFolderChanged(BOOL* changed) {
  *changed = 1;
  return S_OK;
}

HRESULT CQuilletFolder::FindFirstItem(HREPLITEM* item, BOOL* exist) {
  *item = nullptr;
  *exist = 0;
  DeskModule& module = Module();
  if (module.skipNextEnumeration) {
    module.skipNextEnumeration = false;
    Trace("CQuilletFolder::FindFirstItem - NO SYNC");
    return S_OK;
  }
  if (!store_.updater().ShouldSyncNow(module.force)) return S_OK;
  auto* object = new (std::nothrow) CItemObject();
  if (!object) return E_OUTOFMEMORY;
  CopyToField(object->szName, GetTypeText());
  FILETIME now = FileTimeFromUnix(store_.desktop().clock().Now());
  // Every report carries a newer stamp than the last, also within one second, so the service
  // always finds the item changed against its copy.
  if (FileTimeValue(now) <= FileTimeValue(module.lastItemTime)) {
    const std::uint64_t next = FileTimeValue(module.lastItemTime) + 1;
    now = FILETIME{static_cast<DWORD>(next), static_cast<DWORD>(next >> 32)};
  }
  object->ftTime = now;
  module.lastItemTime = now;
  *item = ToHandle(object);
  *exist = 1;
  return S_OK;
}

HRESULT CQuilletFolder::FindNextItem(HREPLITEM* item, BOOL* exist) {
  *item = nullptr;
  *exist = 0;
  return S_OK;
}

void CQuilletFolder::UpdateItem(HREPLITEM dst) {
  if (CItemObject* item = AsItem(dst)) item->ftTime = Module().lastItemTime;
}

HRESULT CQuilletFolder::GetObjTypeUIData(OBJUIDATA* data) {
  data->hIconLarge = nullptr;
  data->hIconSmall = nullptr;
  data->uIconLarge = kQuilletIconId;
  data->uIconSmall = kQuilletIconId;
  CopyToField(data->szName, GetName());
  CopyToField(data->szSyncText, "Quillet");
  CopyToField(data->szTypeText, GetTypeText());
  CopyToField(data->szPlTypeText, GetPluralTypeText());
  return S_OK;
}

HRESULT CQuilletFolder::ActivateDialog(UINT dialog, HWND parent) {
  if (dialog != OPTIONS_DIALOG) return E_NOTIMPL;
  store_.host().SetParent(parent);
  // The sheet saves the settings itself when confirmed with OK.
  store_.host().ShowOptions(store_.desktop());
  // Never a reason for the service to start a synchronisation.
  return RERR_CANCEL;
}

// ---- The store --------------------------------------------------------------------------------

CQuilletStore::CQuilletStore(PlatformContext& desktop)
    : desktop_(desktop),
      updater_(RunServices(desktop, host_, steps_)),
      folder_(std::make_unique<CQuilletFolder>(*this)) {
  Module().ObjectCreated();
}

CQuilletStore::~CQuilletStore() {
  // A store let go in the middle of a run still ends it properly while the handheld can be
  // reached: its preferences go back and its program, closed for the run, starts again.
  if (updater_.isOpen() && updater_.rapi() && updater_.rapi()->connected()) {
    updater_.EndRun();
  } else {
    updater_.CloseRun();
  }
  folder_.reset();
  if (notify_) notify_->Release();
  notify_ = nullptr;
  Module().ObjectDestroyed();
}

HRESULT CQuilletStore::Initialize(IReplNotify* notify, UINT /*flags*/) {
  if (!notify) return E_INVALIDARG;
  notify->AddRef();
  if (notify_) notify_->Release();
  notify_ = notify;
  initialized_ = true;
  return S_OK;
}

HRESULT CQuilletStore::GetStoreInfo(STOREINFO* info) {
  if (!info) return E_INVALIDARG;
  info->uFlags = SCF_SINGLE_THREAD | SCF_SIMULATE_RTS;
  info->uTimerRes = 0;
  CopyToField(info->szProgId, kQuilletProgId);
  CopyToField(info->szStoreDesc, "Quillet");
  if (!initialized_) return S_OK;
  info->cbStoreId = 4;
  if (info->cbMaxStoreId < 4) return E_OUTOFMEMORY;
  if (!info->lpbStoreId) return E_POINTER;
  PutDword(info->lpbStoreId, kQuilletStoreId);
  return S_OK;
}

HRESULT CQuilletStore::ReportStatus(HREPLFLD /*folder*/, HREPLITEM /*item*/, UINT status,
                                    UINT /*param*/) {
  DeskModule& module = Module();
  switch (status) {
    case RSC_BEGIN_SYNC: {
      Trace("CQuilletStore::ReportStatus - RSC_BEGIN_SYNC");
      const std::int64_t lastEnd = std::max(module.lastRunEnd, updater_.lastRunEnd());
      if (lastEnd == 0 || desktop_.clock().Now() - lastEnd > kForceAfterSeconds) {
        module.force = true;
      }
      break;
    }
    case RSC_END_SYNC:
      Trace("CQuilletStore::ReportStatus - RSC_END_SYNC");
      module.force = false;
      break;
    case RSC_RELEASE:
      Trace("CQuilletStore::ReportStatus - RSC_RELEASE");
      if (notify_) notify_->Release();
      notify_ = nullptr;
      break;
    default:
      break;
  }
  return S_OK;
}

int CQuilletStore::CompareStoreIDs(const BYTE* a, UINT sizeA, const BYTE* b, UINT sizeB) {
  if (!a || !b) return E_INVALIDARG;
  if (sizeA < sizeB) return -1;
  if (sizeA > sizeB) return 1;
  for (UINT i = 0; i < sizeA; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

int CQuilletStore::CompareItem(HREPLITEM a, HREPLITEM b) {
  CReplObject* first = FromHandle(a);
  CReplObject* second = FromHandle(b);
  if (!first || !second) return E_INVALIDARG;
  const int result = std::strncmp(first->szName, second->szName, kObjNameSize);
  Trace(result == 0 ? "CQuilletStore::CompareItem - TRUE" : "CQuilletStore::CompareItem - FALSE");
  return result;
}

BOOL CQuilletStore::IsItemChanged(HREPLFLD folder, HREPLITEM item, HREPLITEM itemComp) {
  if (!folder || !item) return 0;
  if (!itemComp) return folder_->IsItemChanged(item, itemComp);
  CItemObject* current = AsItem(item);
  CItemObject* stored = AsItem(itemComp);
  if (!current || !stored) return 0;
  const std::uint64_t a = FileTimeValue(current->ftTime);
  const std::uint64_t b = FileTimeValue(stored->ftTime);
  Trace(a == b ? "CQuilletStore::IsItemChanged - Item - FALSE"
               : "CQuilletStore::IsItemChanged - Item - TRUE");
  return a == b ? 0 : (a < b ? -1 : 1);
}

BOOL CQuilletStore::IsItemReplicated(HREPLFLD folder, HREPLITEM item) {
  if (!folder || !item) return folder != nullptr;
  return folder_->IsItemReplicated(item);
}

void CQuilletStore::UpdateItem(HREPLFLD /*folder*/, HREPLITEM itemDst, HREPLITEM itemSrc) {
  CItemObject* dst = AsItem(itemDst);
  if (!dst) return;
  if (itemSrc) {
    Trace("CQuilletStore::UpdateItem - Item");
    if (CItemObject* src = AsItem(itemSrc)) dst->ftTime = src->ftTime;
    return;
  }
  folder_->UpdateItem(itemDst);
}

CQuilletFolder* CQuilletStore::FindFolder(const char* name) {
  if (!name) return nullptr;
  return std::strcmp(name, folder_->GetName()) == 0 ? folder_.get() : nullptr;
}

HRESULT CQuilletStore::GetFolderInfo(const char* objType, HREPLFLD* folder, IUnknown** objHandler) {
  if (!objType || !folder || !objHandler) return E_INVALIDARG;
  CQuilletFolder* found = FindFolder(objType);
  if (!found) return E_INVALIDARG;
  const HRESULT hr = found->Initialize(objHandler);
  if (Failed(hr)) return hr;
  if (*folder) return S_OK;
  auto* object = new (std::nothrow) CFolderObject();
  if (!object) return E_OUTOFMEMORY;
  CopyToField(object->szName, found->GetName());
  object->pFolder = found;
  *folder = ToHandle(object);
  return S_OK;
}

HRESULT CQuilletStore::IsFolderChanged(HREPLFLD folder, BOOL* changed) {
  if (!folder || !changed) return E_INVALIDARG;
  return folder_->IsFolderChanged(changed);
}

HRESULT CQuilletStore::FindFirstItem(HREPLFLD folder, HREPLITEM* item, BOOL* exist) {
  if (!folder || !item || !exist) return E_INVALIDARG;
  return folder_->FindFirstItem(item, exist);
}

HRESULT CQuilletStore::FindNextItem(HREPLFLD folder, HREPLITEM* item, BOOL* exist) {
  if (!folder || !item || !exist) return E_INVALIDARG;
  return folder_->FindNextItem(item, exist);
}

HRESULT CQuilletStore::FindItemClose(HREPLFLD /*folder*/) { return folder_->FindItemClose(); }

UINT CQuilletStore::ObjectToBytes(HREPLOBJ handle, BYTE* bytes) {
  CReplObject* object = FromHandle(handle);
  if (!object) return static_cast<UINT>(E_INVALIDARG);
  const UINT size = object->uKind == QUILLET_OBJ_FOLDER ? kFolderBytes
                    : object->uKind == QUILLET_OBJ_ITEM ? kItemBytes
                                                        : kOtherBytes;
  if (!bytes) return size;
  PutDword(bytes, object->uKind);
  if (size == kOtherBytes) return size;
  std::memcpy(bytes + 4, object->szName, kObjNameSize);
  if (CItemObject* item = AsItem(handle)) {
    Trace("CQuilletStore::ObjectToBytes - QUILLET_OBJ_ITEM");
    PutDword(bytes + 264, item->ftTime.dwLowDateTime);
    PutDword(bytes + 268, item->ftTime.dwHighDateTime);
  }
  return size;
}

HREPLOBJ CQuilletStore::BytesToObject(const BYTE* bytes, UINT size) {
  // The count decides what may be read: a record cut short is no object at all.
  if (!bytes || size < 4) return nullptr;
  const UINT kind = GetDword(bytes);
  if (kind == QUILLET_OBJ_FOLDER) {
    if (size < kFolderBytes) return nullptr;
    char name[kObjNameSize];
    std::memcpy(name, bytes + 4, kObjNameSize);
    name[kObjNameSize - 1] = '\0';
    CQuilletFolder* folder = FindFolder(name);
    if (!folder) return nullptr;
    auto* object = new (std::nothrow) CFolderObject();
    if (!object) return nullptr;
    std::memcpy(object->szName, name, kObjNameSize);
    object->pFolder = folder;
    return ToHandle(object);
  }
  if (kind == QUILLET_OBJ_ITEM) {
    if (size < kItemBytes) return nullptr;
    auto* object = new (std::nothrow) CItemObject();
    if (!object) return nullptr;
    std::memcpy(object->szName, bytes + 4, kObjNameSize);
    object->szName[kObjNameSize - 1] = '\0';
    object->ftTime = FILETIME{GetDword(bytes + 264), GetDword(bytes + 268)};
    return ToHandle(object);
  }
  Trace("CQuilletStore::BytesToObject - default");
  return nullptr;
}

void CQuilletStore::FreeObject(HREPLOBJ object) { delete FromHandle(object); }

BOOL CQuilletStore::CopyObject(HREPLOBJ src, HREPLOBJ dst) {
  CReplObject* from = FromHandle(src);
  CReplObject* to = FromHandle(dst);
  if (!from || !to || from->uKind != to->uKind) return 0;
  std::memcpy(to->szName, from->szName, kObjNameSize);
  if (CFolderObject* folder = AsFolder(dst)) {
    Trace("CQuilletStore::CopyObject - Folder");
    folder->pFolder = AsFolder(src)->pFolder;
  } else if (CItemObject* item = AsItem(dst)) {
    Trace("CQuilletStore::CopyObject - Item");
    item->ftTime = AsItem(src)->ftTime;
  }
  return 1;
}

HRESULT CQuilletStore::IsValidObject(HREPLFLD folder, HREPLITEM item, UINT flags) {
  if (folder && !AsFolder(folder)) return E_HANDLE;
  if (!item) return S_OK;
  if (!AsItem(item)) return E_HANDLE;
  if (!folder) return E_INVALIDARG;
  return folder_->IsValidObject(item, flags);
}

HRESULT CQuilletStore::ActivateDialog(UINT dialog, HWND parent, HREPLFLD folder,
                                      IEnumReplItem* items) {
  if (!parent || !folder || !items) return E_INVALIDARG;
  CFolderObject* object = AsFolder(folder);
  CQuilletFolder* target = object && object->pFolder ? object->pFolder : folder_.get();
  return target->ActivateDialog(dialog, parent);
}

HRESULT CQuilletStore::GetObjTypeUIData(HREPLFLD folder, OBJUIDATA* data) {
  if (!folder || !data) return E_INVALIDARG;
  return folder_->GetObjTypeUIData(data);
}

HRESULT CQuilletStore::GetConflictInfo(CONFINFO* info) {
  if (!info) return E_INVALIDARG;
  return folder_->GetConflictInfo(info);
}

HRESULT CQuilletStore::RemoveDuplicates(const char* objType, UINT flags) {
  CQuilletFolder* folder = objType ? FindFolder(objType) : folder_.get();
  if (!folder) return E_INVALIDARG;
  return folder->RemoveDuplicates(flags);
}

}  // namespace quillet
