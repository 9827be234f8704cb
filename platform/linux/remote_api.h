// The remote API the desktop companion uses to reach the connected handheld: a session, files,
// the registry, property databases and mounted volumes, the invoke call into a device library,
// and the sync service's device information. Here the handheld is a device root on the same
// machine, so every call works in-process on that root: a file written through this API is the
// device root's file, a chart record written here is read by the handheld's chart store.
//
// Which device root is connected is a setting of the desktop root (ConnectDevice, made by the
// sync-manager stand-in and by quillet-cli --device-root). With no device connected CeRapiInit
// fails and every other call fails without touching anything.
//
// Calls answer as the originals do: HRESULTs for the session and the invoke call, Win32 error
// numbers for the registry, FALSE or an invalid handle plus CeGetLastError for files.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/databases.h"
#include "platform/file_system.h"
#include "platform/property_db.h"
#include "platform/registry.h"
#include "platform/win_types.h"

namespace quillet {

class PlatformContext;

// ---- Which device is connected ----------------------------------------------------------------

// The device root connected to the desktop root (an absolute host path), or nullopt when none
// is. Kept in "<desktop root>/run/connected-device".
std::optional<std::string> ConnectedDevice(FileSystem& fs, const std::string& desktopRoot);
// Connects `deviceRoot` (made absolute) to the desktop root; 0 or the save's error.
LONG ConnectDevice(FileSystem& fs, const std::string& desktopRoot, const std::string& deviceRoot);
// Leaves the desktop root with no device connected.
LONG DisconnectDevice(FileSystem& fs, const std::string& desktopRoot);

// ---- Types and codes ----------------------------------------------------------------------------

using RAPIHANDLE = std::uint32_t;
inline constexpr RAPIHANDLE INVALID_HANDLE_VALUE = 0xFFFFFFFFu;

inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD FILE_SHARE_READ = 0x1;
inline constexpr DWORD FILE_SHARE_WRITE = 0x2;
inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

inline constexpr LONG ERROR_SHARING_VIOLATION = 32;
inline constexpr LONG ERROR_MOD_NOT_FOUND = 126;
inline constexpr LONG ERROR_PROC_NOT_FOUND = 127;
inline constexpr LONG ERROR_NOT_CONNECTED = 2250;

constexpr HRESULT HResultFromWin32(LONG error) {
  return error <= 0
             ? static_cast<HRESULT>(error)
             : static_cast<HRESULT>((static_cast<std::uint32_t>(error) & 0xFFFFu) | 0x80070000u);
}

// A mounted database volume.
struct CEGUID {
  DWORD Data1 = 0;
  friend bool operator==(const CEGUID&, const CEGUID&) = default;
};

// ---- The device side of an invoke ---------------------------------------------------------------

// What an invoked export receives in its last argument (the stream slot, unused in block mode):
// the device it runs on, so that a device library reads that device's registry and windows.
struct RapiInvokeDevice {
  DWORD cbSize = sizeof(RapiInvokeDevice);
  const char* deviceRoot = nullptr;  // UTF-8 host path of the device root
};

// The shape of an export called by CeRapiInvoke in block mode. The output buffer, when there is
// one, is allocated with RapiAlloc; the caller frees it with CeRapiFreeBuffer.
extern "C" {
typedef HRESULT (*RapiBlockFunction)(DWORD cbInput, BYTE* pInput, DWORD* pcbOutput, BYTE** ppOutput,
                                     RapiInvokeDevice* device);
}

// The device's LocalAlloc and LocalFree for invoke buffers.
BYTE* RapiAlloc(std::size_t size);
void RapiFree(BYTE* buffer);

// ---- The session
// ---------------------------------------------------------------------------------

class RemoteApi {
 public:
  // A remote API of the desktop `desktop`; nothing is opened until CeRapiInit. `files` is the
  // file system the device's files are reached through (tests hand in a failing one);
  // `databases` opens the device's registry, object store and volumes; the registry and the
  // object store go through the SQLite VFS named `deviceSqliteVfs` when one is given (tests hand
  // in one that fails).
  explicit RemoteApi(PlatformContext& desktop);
  RemoteApi(FileSystem& files, DatabaseFactory& databases, std::string desktopRoot,
            std::string deviceSqliteVfs = {});
  ~RemoteApi();
  RemoteApi(const RemoteApi&) = delete;
  RemoteApi& operator=(const RemoteApi&) = delete;

  // Opens the session on the connected device: E_FAIL when none is connected, the root's error
  // as an HRESULT when its store cannot be opened; S_OK (also when already open).
  HRESULT CeRapiInit();
  // Closes every handle, volume and key of the session.
  HRESULT CeRapiUninit();
  bool connected() const { return registry_ != nullptr; }
  // The connected device root (empty while no session is open).
  const std::string& deviceRoot() const { return deviceRoot_; }

  // The error of the last failing file, database or invoke call.
  DWORD CeGetLastError() const { return lastError_; }

  // Files, on handheld paths ("\Program Files\Quillet\QuilletDB"). Share modes are kept among
  // the handles of this session: a second open that the first one's share mode does not allow
  // fails with 32.
  RAPIHANDLE CeCreateFile(std::u16string_view path, DWORD access, DWORD share, DWORD disposition,
                          DWORD attributes = FILE_ATTRIBUTE_NORMAL);
  BOOL CeReadFile(RAPIHANDLE file, void* buffer, DWORD size, DWORD* read);
  BOOL CeWriteFile(RAPIHANDLE file, const void* buffer, DWORD size, DWORD* written);
  BOOL CeCloseHandle(RAPIHANDLE file);
  // 0xFFFFFFFF on failure; *high gets the upper 32 bits.
  DWORD CeGetFileSize(RAPIHANDLE file, DWORD* high);
  BOOL CeDeleteFile(std::u16string_view path);
  // Fails with 183 when the target exists, as the original does.
  BOOL CeMoveFile(std::u16string_view from, std::u16string_view to);
  BOOL CeCreateDirectory(std::u16string_view path);

  // The device registry; 6 without a session.
  LONG CeRegCreateKeyEx(HKEY parent, std::u16string_view subKey, HKEY* result,
                        DWORD* disposition = nullptr);
  LONG CeRegOpenKeyEx(HKEY parent, std::u16string_view subKey, HKEY* result);
  LONG CeRegQueryValueEx(HKEY key, std::u16string_view name, DWORD* type, void* data, DWORD* size);
  LONG CeRegSetValueEx(HKEY key, std::u16string_view name, DWORD type, const void* data,
                       DWORD size);
  LONG CeRegCloseKey(HKEY key);

  // The device's object store (its property databases), or null without a session. It is the
  // store the handheld's own programs open, so both sides see one chart database.
  PropertyStore* CeObjectStore();
  // Mounts the database volume file at a handheld path (created when missing with OPEN_ALWAYS
  // or CREATE_NEW, required with OPEN_EXISTING). A volume is the same file the handheld mounts.
  BOOL CeMountDBVol(CEGUID* guid, std::u16string_view path, DWORD disposition);
  BOOL CeUnmountDBVol(const CEGUID& guid);
  // The store of a mounted volume, or null.
  PropertyStore* CeVolumeStore(const CEGUID& guid);

  // Loads the device library `dll` ("QuilletPPC.dll" from the device's \Windows folder, or a
  // full handheld path) from the device root and calls its export `function` with the input
  // bytes. *cbOutput and *output receive the export's output buffer (free it with
  // CeRapiFreeBuffer). Returns the export's result; 0x8007007E when the library cannot be
  // loaded, 0x8007007F when it has no such export, E_FAIL without a session.
  HRESULT CeRapiInvoke(std::u16string_view dll, std::u16string_view function, DWORD cbInput,
                       const BYTE* input, DWORD* cbOutput, BYTE** output);
  static HRESULT CeRapiFreeBuffer(void* buffer);

  // The sync service's device information: the connected device's identifier, and its
  // "DeviceType" ("PocketPC" or "SmartPhone", from the device's HKEY_LOCAL_MACHINE\Ident).
  // The identifier is the device's "DeviceId" there, else one made from its root's path.
  HRESULT CeGetDeviceId(DWORD* id);
  HRESULT CeSvcOpen(DWORD deviceId, DWORD* service);
  // Copies the text (cut to `capacity` - 1 characters) and answers 0, or 2 for a value the
  // device does not have.
  HRESULT CeSvcGetString(DWORD service, std::string_view name, char* buffer, DWORD capacity);
  HRESULT CeSvcClose(DWORD service);

 private:
  struct OpenFile;
  std::optional<std::string> HostPath(std::u16string_view path) const;
  OpenFile* Find(RAPIHANDLE file);
  BOOL Fail(DWORD error) {
    lastError_ = error;
    return 0;
  }

  FileSystem& files_;
  DatabaseFactory& databases_;
  std::string desktopRoot_;
  std::string deviceSqliteVfs_;
  std::string deviceRoot_;
  std::unique_ptr<Registry> registry_;
  std::unique_ptr<PropertyStore> objectStore_;
  std::map<RAPIHANDLE, std::unique_ptr<OpenFile>> files_open_;
  std::map<DWORD, std::unique_ptr<PropertyStore>> volumes_;
  std::map<DWORD, DWORD> services_;
  RAPIHANDLE nextHandle_ = 0x40;
  DWORD nextVolume_ = 1;
  DWORD nextService_ = 1;
  DWORD lastError_ = 0;
};

}  // namespace quillet
