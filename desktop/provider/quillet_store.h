// The desktop companion as a synchronisation provider. It replicates nothing record by record:
// its one folder "Quillet" holds at most one item, "Quillet Stocks", which an enumeration
// reports (with a fresh time stamp, so the service finds it changed) whenever an update is due.
// The service then asks the object handler for the item's packets, and each packet runs one
// step of the desktop update run.
//
// CQuilletStore answers the service, delegating folder-level calls to CQuilletFolder;
// CQuilletObjHandler sends the packets. Folder and item handles are CReplObject's, turned into
// bytes and back for the service's stored copy (kind, 260-byte name, and for an item its time
// stamp: 264 or 272 bytes, little-endian).
#pragma once

#include <atomic>
#include <memory>

#include "desktop/desk_steps.h"
#include "desktop/provider/desk_module.h"
#include "desktop/provider/desk_ui_bridge.h"
#include "desktop/quillet_updater.h"
#include "platform/repl_desktop.h"

namespace quillet {

inline constexpr UINT QUILLET_OBJ_FOLDER = 1;
inline constexpr UINT QUILLET_OBJ_ITEM = 2;
inline constexpr std::size_t kObjNameSize = 260;
inline constexpr UINT kFolderBytes = 264;
inline constexpr UINT kItemBytes = 272;
inline constexpr UINT kOtherBytes = 4;
// The store identifier, the same on every desktop.
inline constexpr DWORD kQuilletStoreId = 0x079F3DC1;
// The content of every packet sent to the handheld.
inline constexpr DWORD kQuilletPacket = 12345;
// A synchronisation the service starts runs an update unless one ended this recently.
inline constexpr std::int64_t kForceAfterSeconds = 45;

class CQuilletFolder;
class CQuilletStore;

class CReplObject {
 public:
  explicit CReplObject(UINT kind) : uKind(kind) {}
  virtual ~CReplObject() = default;
  UINT uKind;
  char szName[kObjNameSize] = {};
};

class CFolderObject final : public CReplObject {
 public:
  CFolderObject() : CReplObject(QUILLET_OBJ_FOLDER) {}
  CQuilletFolder* pFolder = nullptr;
};

class CItemObject final : public CReplObject {
 public:
  CItemObject() : CReplObject(QUILLET_OBJ_ITEM) {}
  FILETIME ftTime;
};

inline HREPLOBJ ToHandle(CReplObject* object) { return reinterpret_cast<HREPLOBJ>(object); }
inline CReplObject* FromHandle(HREPLOBJ handle) { return reinterpret_cast<CReplObject*>(handle); }

// The service asks the handler only for IUnknown.
class CQuilletObjHandler final : public ComObject<desk::IReplObjHandler, IID_IUnknown> {
 public:
  explicit CQuilletObjHandler(CQuilletFolder& folder);
  HRESULT Setup(desk::REPLSETUP* setup) override;
  HRESULT Reset(desk::REPLSETUP* setup) override;
  HRESULT GetPacket(BYTE** data, DWORD* size, DWORD recommendedSize) override;
  HRESULT SetPacket(BYTE* data, DWORD size) override;
  HRESULT DeleteObj(desk::REPLSETUP* setup) override;

 private:
  ~CQuilletObjHandler() override;
  CQuilletStore* store_;
  CQuilletFolder& folder_;
  desk::REPLSETUP* readSetup_ = nullptr;
  desk::REPLSETUP* writeSetup_ = nullptr;
  BYTE packet_[4] = {};
};

// Folder calls in the order of the service's folder interface.
class CQuilletFolder {
 public:
  explicit CQuilletFolder(CQuilletStore& store) : store_(store) {}
  virtual ~CQuilletFolder() = default;
  virtual const char* GetPluralTypeText() { return "Quillet Stocks"; }
  virtual const char* GetTypeText() { return "Quillet Stocks"; }
  virtual const char* GetName() { return kQuilletObjType; }
  virtual BOOL IsItemChanged(HREPLITEM, HREPLITEM) { return 0; }
  virtual BOOL IsItemReplicated(HREPLITEM) { return 1; }
  virtual HRESULT Initialize(IUnknown** objHandler);
  virtual HRESULT IsValidObject(HREPLITEM, UINT) { return S_OK; }
  virtual HRESULT IsFolderChanged(BOOL* changed);
  virtual HRESULT DeleteItem(HREPLITEM) { return S_OK; }
  virtual HRESULT FindFirstItem(HREPLITEM* item, BOOL* exist);
  virtual HRESULT FindNextItem(HREPLITEM* item, BOOL* exist);
  virtual HRESULT FindItemClose() { return S_OK; }
  virtual HRESULT RemoveDuplicates(UINT) { return S_OK; }
  virtual void UpdateItem(HREPLITEM dst);
  virtual HRESULT GetObjTypeUIData(OBJUIDATA* data);
  virtual HRESULT ActivateDialog(UINT dialog, HWND parent);
  virtual HRESULT GetConflictInfo(CONFINFO*) { return RERR_IGNORE; }

  CQuilletStore& store() { return store_; }

 private:
  CQuilletStore& store_;
};

class CQuilletStore final : public ComObject<IReplStore, IID_IReplStore> {
 public:
  explicit CQuilletStore(PlatformContext& desktop);
  HRESULT Initialize(IReplNotify* notify, UINT flags) override;
  HRESULT GetStoreInfo(STOREINFO* info) override;
  HRESULT ReportStatus(HREPLFLD folder, HREPLITEM item, UINT status, UINT param) override;
  int CompareStoreIDs(const BYTE* a, UINT sizeA, const BYTE* b, UINT sizeB) override;
  int CompareItem(HREPLITEM a, HREPLITEM b) override;
  BOOL IsItemChanged(HREPLFLD folder, HREPLITEM item, HREPLITEM itemComp) override;
  BOOL IsItemReplicated(HREPLFLD folder, HREPLITEM item) override;
  void UpdateItem(HREPLFLD folder, HREPLITEM itemDst, HREPLITEM itemSrc) override;
  HRESULT GetFolderInfo(const char* objType, HREPLFLD* folder, IUnknown** objHandler) override;
  HRESULT IsFolderChanged(HREPLFLD folder, BOOL* changed) override;
  HRESULT FindFirstItem(HREPLFLD folder, HREPLITEM* item, BOOL* exist) override;
  HRESULT FindNextItem(HREPLFLD folder, HREPLITEM* item, BOOL* exist) override;
  HRESULT FindItemClose(HREPLFLD folder) override;
  UINT ObjectToBytes(HREPLOBJ object, BYTE* bytes) override;
  HREPLOBJ BytesToObject(const BYTE* bytes, UINT size) override;
  void FreeObject(HREPLOBJ object) override;
  BOOL CopyObject(HREPLOBJ src, HREPLOBJ dst) override;
  HRESULT IsValidObject(HREPLFLD folder, HREPLITEM item, UINT flags) override;
  HRESULT ActivateDialog(UINT dialog, HWND parent, HREPLFLD folder, IEnumReplItem* items) override;
  HRESULT GetObjTypeUIData(HREPLFLD folder, OBJUIDATA* data) override;
  HRESULT GetConflictInfo(CONFINFO* info) override;
  HRESULT RemoveDuplicates(const char* objType, UINT flags) override;

  CQuilletUpdater& updater() { return updater_; }
  ProviderRunHost& host() { return host_; }
  IReplNotify* notify() const { return notify_; }
  PlatformContext& desktop() { return desktop_; }

 private:
  ~CQuilletStore();
  CQuilletFolder* FindFolder(const char* name);

  bool initialized_ = false;
  IReplNotify* notify_ = nullptr;
  PlatformContext& desktop_;
  ProviderRunHost host_;
  // The run's import, export, backup and restore.
  CDeskSteps steps_;
  CQuilletUpdater updater_;
  std::unique_ptr<CQuilletFolder> folder_;
};

}  // namespace quillet
