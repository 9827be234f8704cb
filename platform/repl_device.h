// The handheld side of the synchronisation service's object types: the records and the object
// handler interface through which the service talks to a library that owns an object type. The
// shapes are the service's own; the sizes the service checks (a notification record is 780 bytes
// on the handheld) are kept in cbStruct.
#pragma once

#include <cstddef>

#include "platform/com.h"
#include "platform/property_db.h"
#include "platform/win_types.h"

namespace quillet {

inline constexpr std::size_t MAX_OBJTYPE_NAME = 100;
inline constexpr std::size_t MAX_PATH = 260;

// Flags of a notification.
inline constexpr UINT ONF_FILE = 0x0001;
inline constexpr UINT ONF_DIRECTORY = 0x0002;
inline constexpr UINT ONF_DATABASE = 0x0004;
inline constexpr UINT ONF_RECORD = 0x0008;
inline constexpr UINT ONF_CHANGED = 0x0010;
inline constexpr UINT ONF_DELETED = 0x0020;
inline constexpr UINT ONF_CLEAR = 0x0040;

// The size of a notification record on the handheld; smaller ones come from an older service.
inline constexpr UINT kObjNotifySize = 780;

struct CEFILEINFO {
  DWORD dwAttributes = 0;
  CEOID oidParent = 0;
  char16_t szFileName[MAX_PATH] = {};
  FILETIME ftLastChanged;
  DWORD dwLength = 0;
};

struct CEOIDINFO {
  WORD wObjType = 0;
  CEFILEINFO infFile;
};

struct OBJNOTIFY {
  UINT cbStruct = 0;
  char16_t szObjType[MAX_OBJTYPE_NAME] = {};
  UINT uFlags = 0;
  UINT uPartnerBit = 0;
  CEOID oidObject = 0;
  CEOIDINFO oidInfo;
  UINT cOidChg = 0;
  UINT cOidDel = 0;
  UINT* poid = nullptr;  // the changed objects, then the deleted ones
  BYTE* lpbVolumeID = nullptr;
  UINT cbVolumeID = 0;
};

struct OBJTYPEINFO {
  UINT cbStruct = 0;
  char16_t szObjType[MAX_OBJTYPE_NAME] = {};
  UINT uFlags = 0;
  char16_t szName[80] = {};
  UINT cObjects = 0;
  UINT cbAllObj = 0;
  FILETIME ftLastModified;
};

class IReplNotify;  // the service's call-back; the library never calls it

struct REPLSETUP {
  UINT cbStruct = 0;
  BOOL fRead = 0;
  DWORD dwFlags = 0;
  HRESULT hr = 0;
  char16_t szObjType[MAX_OBJTYPE_NAME] = {};
  IReplNotify* pNotify = nullptr;
  CEOID oid = 0;
  CEOID oidNew = 0;
};

// The last packet of an object.
inline constexpr HRESULT RWRN_LAST_PACKET = 0x00140001;

// {...} the handler interface's identifier.
inline constexpr GUID IID_IReplObjHandler = {
    0x3F4F3F8A, 0x1FD4, 0x11D0, {0x8D, 0x1E, 0x00, 0xA0, 0xC9, 0x0F, 0x5A, 0x37}};

class IReplObjHandler : public IUnknown {
 public:
  virtual HRESULT Setup(REPLSETUP* setup) = 0;
  virtual HRESULT Reset(REPLSETUP* setup) = 0;
  virtual HRESULT GetPacket(BYTE** data, DWORD* size, DWORD recommendedSize) = 0;
  virtual HRESULT SetPacket(BYTE* data, DWORD size) = 0;
  virtual HRESULT DeleteObj(REPLSETUP* setup) = 0;
};

// The exports of an object-type library.
using InitObjTypeProc = BOOL (*)(const char16_t* objType, IReplObjHandler** handler,
                                 UINT partnerBit);
using ObjectNotifyProc = BOOL (*)(OBJNOTIFY* notify);
using GetObjTypeInfoProc = BOOL (*)(OBJTYPEINFO* info);
using ReportStatusProc = BOOL (*)(const char16_t* objType, UINT code, UINT param);
// A function the desktop calls through the remote invoke: input bytes in, an answer allocated
// with LocalAlloc out (the service frees it).
using RapiInvokeProc = int (*)(DWORD inputSize, BYTE* input, DWORD* outputSize, BYTE** output,
                               void* stream);

}  // namespace quillet
