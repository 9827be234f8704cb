// The desktop side of the synchronisation service's provider interfaces: the store a provider
// implements (IReplStore), the object handler as the desktop sees it (its setup record also
// names the folder and item being sent), the service's call-back (IReplNotify), and the records
// and codes they exchange. The shapes are the service's own; a provider is an in-process server
// (com.h) whose class answers IReplStore.
//
// Folder and item handles are the provider's own objects: the service only keeps them, asks the
// provider to turn them into bytes and back (to store its copy between synchronisations), and
// hands them back through FreeObject.
#pragma once

#include <cstdint>

#include "platform/com.h"
#include "platform/repl_device.h"
#include "platform/win_types.h"

namespace quillet {

using HWND = std::uint64_t;

// Opaque handles: what they point at belongs to the provider.
struct REPLOBJECT;
using HREPLOBJ = REPLOBJECT*;
using HREPLFLD = REPLOBJECT*;
using HREPLITEM = REPLOBJECT*;

// The service's call-back, handed to the store at Initialize.
class IReplNotify : public IUnknown {
 public:
  virtual HRESULT SetStatusText(const char* text) = 0;
  // The window that dialogs of the provider are parented to.
  virtual HRESULT GetWindow(UINT flags, HWND* window) = 0;
  virtual HRESULT OnItemNotify(UINT code, const char* progId, const char* name, HREPLITEM item,
                               ULONG flags) = 0;
  virtual HRESULT QueryDevice(UINT code, void** data) = 0;
};

// {A417BC0F-7BE1-11CE-AD82-00AA006EC559}
inline constexpr GUID IID_IReplNotify = {
    0xA417BC0F, 0x7BE1, 0x11CE, {0xAD, 0x82, 0x00, 0xAA, 0x00, 0x6E, 0xC5, 0x59}};
// {A417BC0E-7BE1-11CE-AD82-00AA006EC559}
inline constexpr GUID IID_IReplStore = {
    0xA417BC0E, 0x7BE1, 0x11CE, {0xAD, 0x82, 0x00, 0xAA, 0x00, 0x6E, 0xC5, 0x59}};

// ---- Codes --------------------------------------------------------------------------------------

// Store flags of STOREINFO.
inline constexpr UINT SCF_SINGLE_THREAD = 0x00000001;
inline constexpr UINT SCF_SIMULATE_RTS = 0x00000002;

// ReportStatus codes.
inline constexpr UINT RSC_BEGIN_SYNC = 1;
inline constexpr UINT RSC_END_SYNC = 2;
inline constexpr UINT RSC_BEGIN_CHECK = 3;
inline constexpr UINT RSC_END_CHECK = 4;
inline constexpr UINT RSC_DATE_CHANGED = 5;
inline constexpr UINT RSC_RELEASE = 6;
inline constexpr UINT RSC_REMOTE_SYNC = 7;
inline constexpr UINT RSC_INTERRUPT = 8;
inline constexpr UINT RSC_BEGIN_SYNC_OBJ = 9;
inline constexpr UINT RSC_END_SYNC_OBJ = 10;
inline constexpr UINT RSC_OBJ_TYPE_ENABLED = 11;
inline constexpr UINT RSC_OBJ_TYPE_DISABLED = 12;
inline constexpr UINT RSC_BEGIN_BATCH_WRITE = 13;
inline constexpr UINT RSC_END_BATCH_WRITE = 14;
inline constexpr UINT RSC_CONNECTION_CHG = 15;
inline constexpr UINT RSC_WRITE_OBJ_FAILED = 16;
inline constexpr UINT RSC_DELETE_OBJ_FAILED = 17;

// REPLSETUP flags.
inline constexpr DWORD RSF_CONFLICT_OBJECT = 0x00000001;
inline constexpr DWORD RSF_NEW_OBJECT = 0x00000002;

// ActivateDialog's dialog number for the provider's options.
inline constexpr UINT OPTIONS_DIALOG = 0;

// Results of the service's own facility.
inline constexpr HRESULT RERR_CANCEL = static_cast<HRESULT>(0x80140003u);
inline constexpr HRESULT RERR_IGNORE = static_cast<HRESULT>(0x80140005u);
inline constexpr HRESULT RERR_SKIP_ALL = static_cast<HRESULT>(0x80140101u);

// ---- Records ------------------------------------------------------------------------------------

struct STOREINFO {
  UINT cbStruct = sizeof(STOREINFO);
  UINT uFlags = 0;
  char szProgId[256] = {};
  char szStoreDesc[200] = {};
  UINT uTimerRes = 0;
  UINT cbMaxStoreId = 0;  // what lpbStoreId can hold
  UINT cbStoreId = 0;     // what the store wrote (or needs)
  BYTE* lpbStoreId = nullptr;
};

using HICON = void*;

struct OBJUIDATA {
  UINT cbStruct = sizeof(OBJUIDATA);
  HICON hIconLarge = nullptr;
  HICON hIconSmall = nullptr;
  UINT uIconLarge = 0;  // the icon resource number behind the handles
  UINT uIconSmall = 0;
  char szName[200] = {};
  char szSyncText[200] = {};
  char szTypeText[80] = {};
  char szPlTypeText[80] = {};
};

struct CONFINFO {
  UINT cbStruct = sizeof(CONFINFO);
  HREPLFLD hFolder = nullptr;
  HREPLITEM hLocalItem = nullptr;
  HREPLITEM hRemoteItem = nullptr;
  char szLocalName[256] = {};
  char szLocalDesc[512] = {};
  char szRemoteName[256] = {};
  char szRemoteDesc[512] = {};
};

// The items the service hands to a dialog.
class IEnumReplItem : public IUnknown {
 public:
  virtual HRESULT Next(ULONG count, HREPLITEM* items, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumReplItem** copy) = 0;
  virtual HREPLFLD GetFolderHandle() = 0;
};

class IReplStore;

// The desktop's view of one object being sent or received: the device's record plus the store,
// folder and item it concerns. Its interface differs from the handheld's by this record only.
namespace desk {

struct REPLSETUP {
  UINT cbStruct = sizeof(REPLSETUP);
  BOOL fRead = 0;
  DWORD dwFlags = 0;
  HRESULT hr = 0;
  char szObjType[MAX_OBJTYPE_NAME] = {};
  IReplNotify* pNotify = nullptr;
  CEOID oid = 0;
  CEOID oidNew = 0;
  IReplStore* pStore = nullptr;
  HREPLFLD hFolder = nullptr;
  HREPLITEM hItem = nullptr;
};

class IReplObjHandler : public IUnknown {
 public:
  virtual HRESULT Setup(REPLSETUP* setup) = 0;
  virtual HRESULT Reset(REPLSETUP* setup) = 0;
  virtual HRESULT GetPacket(BYTE** data, DWORD* size, DWORD recommendedSize) = 0;
  virtual HRESULT SetPacket(BYTE* data, DWORD size) = 0;
  virtual HRESULT DeleteObj(REPLSETUP* setup) = 0;
};

}  // namespace desk

// The provider's store, in the interface's order.
class IReplStore : public IUnknown {
 public:
  virtual HRESULT Initialize(IReplNotify* notify, UINT flags) = 0;
  virtual HRESULT GetStoreInfo(STOREINFO* info) = 0;
  virtual HRESULT ReportStatus(HREPLFLD folder, HREPLITEM item, UINT status, UINT param) = 0;
  virtual int CompareStoreIDs(const BYTE* a, UINT sizeA, const BYTE* b, UINT sizeB) = 0;
  virtual int CompareItem(HREPLITEM a, HREPLITEM b) = 0;
  virtual BOOL IsItemChanged(HREPLFLD folder, HREPLITEM item, HREPLITEM itemComp) = 0;
  virtual BOOL IsItemReplicated(HREPLFLD folder, HREPLITEM item) = 0;
  virtual void UpdateItem(HREPLFLD folder, HREPLITEM itemDst, HREPLITEM itemSrc) = 0;
  virtual HRESULT GetFolderInfo(const char* objType, HREPLFLD* folder, IUnknown** objHandler) = 0;
  virtual HRESULT IsFolderChanged(HREPLFLD folder, BOOL* changed) = 0;
  virtual HRESULT FindFirstItem(HREPLFLD folder, HREPLITEM* item, BOOL* exist) = 0;
  virtual HRESULT FindNextItem(HREPLFLD folder, HREPLITEM* item, BOOL* exist) = 0;
  virtual HRESULT FindItemClose(HREPLFLD folder) = 0;
  // With bytes null, only the count.
  virtual UINT ObjectToBytes(HREPLOBJ object, BYTE* bytes) = 0;
  virtual HREPLOBJ BytesToObject(const BYTE* bytes, UINT size) = 0;
  virtual void FreeObject(HREPLOBJ object) = 0;
  virtual BOOL CopyObject(HREPLOBJ src, HREPLOBJ dst) = 0;
  virtual HRESULT IsValidObject(HREPLFLD folder, HREPLITEM item, UINT flags) = 0;
  virtual HRESULT ActivateDialog(UINT dialog, HWND parent, HREPLFLD folder,
                                 IEnumReplItem* items) = 0;
  virtual HRESULT GetObjTypeUIData(HREPLFLD folder, OBJUIDATA* data) = 0;
  virtual HRESULT GetConflictInfo(CONFINFO* info) = 0;
  virtual HRESULT RemoveDuplicates(const char* objType, UINT flags) = 0;
};

}  // namespace quillet
