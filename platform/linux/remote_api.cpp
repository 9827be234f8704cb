#include "platform/linux/remote_api.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/codepage.h"
#include "platform/context.h"
#include "platform/roots.h"

namespace quillet {
namespace {

constexpr char kConnectedDeviceFile[] = "run/connected-device";
constexpr std::u16string_view kIdentKey = u"Ident";

std::string SettingPath(const std::string& desktopRoot) {
  return JoinPath(desktopRoot, kConnectedDeviceFile);
}

// A handheld path as the system writes it; a library named without a folder is looked up in
// the device's \Windows folder, as the handheld's loader does.
std::u16string LibraryPath(std::u16string_view dll) {
  if (dll.find_first_of(u"\\/") == std::u16string_view::npos) {
    return u"\\Windows\\" + std::u16string(dll);
  }
  return std::u16string(dll);
}

// FNV-1a over the root's path: a device identifier that stays the same for the same root.
DWORD IdOfRoot(std::string_view root) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : root) h = (h ^ c) * 16777619u;
  return h == 0 ? 1 : h;
}

}  // namespace

std::optional<std::string> ConnectedDevice(FileSystem& fs, const std::string& desktopRoot) {
  std::string bytes;
  if (fs.ReadAll(SettingPath(desktopRoot), &bytes) != ERROR_SUCCESS) return std::nullopt;
  while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r')) bytes.pop_back();
  if (bytes.empty() || bytes.find('\n') != std::string::npos) return std::nullopt;
  return bytes;
}

LONG ConnectDevice(FileSystem& fs, const std::string& desktopRoot, const std::string& deviceRoot) {
  std::error_code ec;
  std::string absolute = std::filesystem::absolute(deviceRoot, ec).lexically_normal().string();
  if (ec || deviceRoot.empty() || absolute.find_first_of("\r\n") != std::string::npos) {
    return ERROR_INVALID_PARAMETER;
  }
  while (absolute.size() > 1 && absolute.back() == '/') absolute.pop_back();
  if (LONG rc = fs.CreateFolders(JoinPath(desktopRoot, "run"))) return rc;
  return fs.ReplaceFile(SettingPath(desktopRoot), absolute + "\n");
}

LONG DisconnectDevice(FileSystem& fs, const std::string& desktopRoot) {
  LONG rc = fs.Delete(SettingPath(desktopRoot));
  return rc == ERROR_FILE_NOT_FOUND || rc == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : rc;
}

BYTE* RapiAlloc(std::size_t size) { return static_cast<BYTE*>(std::malloc(size ? size : 1)); }
void RapiFree(BYTE* buffer) { std::free(buffer); }

struct RemoteApi::OpenFile {
  std::string path;
  DWORD access = 0;
  DWORD share = 0;
  std::unique_ptr<File> file;
};

RemoteApi::RemoteApi(PlatformContext& desktop)
    : RemoteApi(desktop.files(), desktop.databases(), desktop.root()) {}

RemoteApi::RemoteApi(FileSystem& files, DatabaseFactory& databases, std::string desktopRoot,
                     std::string deviceSqliteVfs)
    : files_(files),
      databases_(databases),
      desktopRoot_(std::move(desktopRoot)),
      deviceSqliteVfs_(std::move(deviceSqliteVfs)) {}

RemoteApi::~RemoteApi() { CeRapiUninit(); }

HRESULT RemoteApi::CeRapiInit() {
  if (connected()) return S_OK;
  auto device = ConnectedDevice(files_, desktopRoot_);
  if (!device) return E_FAIL;
  // A device root that is not there is a device that went away: nothing is created for it.
  std::error_code ec;
  if (!std::filesystem::is_directory(*device, ec)) return HResultFromWin32(ERROR_NOT_CONNECTED);
  std::string error;
  RootDatabases opened;
  if (!databases_.OpenRoot(*device, deviceSqliteVfs_, &opened, &error)) {
    return HResultFromWin32(ERROR_ACCESS_DENIED);
  }
  registry_ = std::move(opened.registry);
  objectStore_ = std::move(opened.objectStore);
  deviceRoot_ = *device;
  lastError_ = 0;
  return S_OK;
}

HRESULT RemoteApi::CeRapiUninit() {
  if (!connected()) return E_FAIL;
  files_open_.clear();
  volumes_.clear();
  services_.clear();
  objectStore_.reset();
  registry_.reset();
  deviceRoot_.clear();
  return S_OK;
}

std::optional<std::string> RemoteApi::HostPath(std::u16string_view path) const {
  if (!connected()) return std::nullopt;
  return MapDevicePath(deviceRoot_, Utf16ToUtf8(path));
}

RemoteApi::OpenFile* RemoteApi::Find(RAPIHANDLE file) {
  auto it = files_open_.find(file);
  return it == files_open_.end() ? nullptr : it->second.get();
}

RAPIHANDLE RemoteApi::CeCreateFile(std::u16string_view path, DWORD access, DWORD share,
                                   DWORD disposition, DWORD /*attributes*/) {
  if (!connected()) return Fail(ERROR_NOT_CONNECTED), INVALID_HANDLE_VALUE;
  auto host = HostPath(path);
  if (!host) return Fail(ERROR_PATH_NOT_FOUND), INVALID_HANDLE_VALUE;
  for (const auto& [handle, open] : files_open_) {
    if (open->path != *host) continue;
    const bool theyAllow = (!(access & GENERIC_READ) || (open->share & FILE_SHARE_READ)) &&
                           (!(access & GENERIC_WRITE) || (open->share & FILE_SHARE_WRITE));
    const bool weAllow = (!(open->access & GENERIC_READ) || (share & FILE_SHARE_READ)) &&
                         (!(open->access & GENERIC_WRITE) || (share & FILE_SHARE_WRITE));
    if (!theyAllow || !weAllow) return Fail(ERROR_SHARING_VIOLATION), INVALID_HANDLE_VALUE;
  }
  const bool exists = files_.Exists(*host);
  const bool write = (access & GENERIC_WRITE) != 0;
  OpenMode mode;
  switch (disposition) {
    case CREATE_NEW:
      if (exists) return Fail(ERROR_FILE_EXISTS), INVALID_HANDLE_VALUE;
      mode = OpenMode::kCreate;
      break;
    case CREATE_ALWAYS:
      mode = OpenMode::kCreate;
      break;
    case OPEN_EXISTING:
      mode = write ? OpenMode::kReadWrite : OpenMode::kRead;
      break;
    case OPEN_ALWAYS:
      mode = exists ? (write ? OpenMode::kReadWrite : OpenMode::kRead) : OpenMode::kOpenAlways;
      break;
    case TRUNCATE_EXISTING:
      if (!exists) return Fail(ERROR_FILE_NOT_FOUND), INVALID_HANDLE_VALUE;
      if (!write) return Fail(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
      mode = OpenMode::kCreate;
      break;
    default:
      return Fail(ERROR_INVALID_PARAMETER), INVALID_HANDLE_VALUE;
  }
  auto open = std::make_unique<OpenFile>();
  if (LONG rc = files_.Open(*host, mode, &open->file)) return Fail(rc), INVALID_HANDLE_VALUE;
  open->path = *host;
  open->access = access;
  open->share = share;
  const RAPIHANDLE handle = nextHandle_++;
  files_open_[handle] = std::move(open);
  lastError_ = 0;
  return handle;
}

BOOL RemoteApi::CeReadFile(RAPIHANDLE file, void* buffer, DWORD size, DWORD* read) {
  if (read) *read = 0;
  OpenFile* open = Find(file);
  if (!open) return Fail(ERROR_INVALID_HANDLE);
  if (!(open->access & GENERIC_READ)) return Fail(ERROR_ACCESS_DENIED);
  std::size_t got = 0;
  if (LONG rc = open->file->Read(buffer, size, &got)) return Fail(rc);
  if (read) *read = static_cast<DWORD>(got);
  return 1;
}

BOOL RemoteApi::CeWriteFile(RAPIHANDLE file, const void* buffer, DWORD size, DWORD* written) {
  if (written) *written = 0;
  OpenFile* open = Find(file);
  if (!open) return Fail(ERROR_INVALID_HANDLE);
  if (!(open->access & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
  if (LONG rc = open->file->Write(buffer, size)) return Fail(rc);
  if (written) *written = size;
  return 1;
}

BOOL RemoteApi::CeCloseHandle(RAPIHANDLE file) {
  auto it = files_open_.find(file);
  if (it == files_open_.end()) return Fail(ERROR_INVALID_HANDLE);
  // The handheld's store keeps what was written once the handle is closed; a write that could
  // be lost to a power cut after a successful close would let the desktop move it in over the
  // only good copy.
  LONG rc = (it->second->access & GENERIC_WRITE) ? it->second->file->Sync() : ERROR_SUCCESS;
  const LONG closed = it->second->file->Close();
  if (rc == ERROR_SUCCESS) rc = closed;
  files_open_.erase(it);
  return rc ? Fail(rc) : 1;
}

DWORD RemoteApi::CeGetFileSize(RAPIHANDLE file, DWORD* high) {
  if (high) *high = 0;
  OpenFile* open = Find(file);
  if (!open) return Fail(ERROR_INVALID_HANDLE), 0xFFFFFFFFu;
  std::uint64_t size = 0;
  if (LONG rc = open->file->Size(&size)) return Fail(rc), 0xFFFFFFFFu;
  if (high) *high = static_cast<DWORD>(size >> 32);
  lastError_ = 0;
  return static_cast<DWORD>(size);
}

BOOL RemoteApi::CeDeleteFile(std::u16string_view path) {
  if (!connected()) return Fail(ERROR_NOT_CONNECTED);
  auto host = HostPath(path);
  if (!host) return Fail(ERROR_PATH_NOT_FOUND);
  for (const auto& [handle, open] : files_open_) {
    if (open->path == *host) return Fail(ERROR_SHARING_VIOLATION);
  }
  if (LONG rc = files_.Delete(*host)) return Fail(rc);
  return 1;
}

BOOL RemoteApi::CeMoveFile(std::u16string_view from, std::u16string_view to) {
  if (!connected()) return Fail(ERROR_NOT_CONNECTED);
  auto source = HostPath(from);
  auto target = HostPath(to);
  if (!source || !target) return Fail(ERROR_PATH_NOT_FOUND);
  if (!files_.Exists(*source)) return Fail(ERROR_FILE_NOT_FOUND);
  if (files_.Exists(*target)) return Fail(ERROR_ALREADY_EXISTS);
  for (const auto& [handle, open] : files_open_) {
    if (open->path == *source) return Fail(ERROR_SHARING_VIOLATION);
  }
  if (LONG rc = files_.Rename(*source, *target)) return Fail(rc);
  // A move the handheld reports done stays done: both folders' entries are made durable.
  const std::string fromFolder = FolderOf(*source);
  const std::string toFolder = FolderOf(*target);
  if (LONG rc = files_.SyncFolder(toFolder)) return Fail(rc);
  if (fromFolder != toFolder) {
    if (LONG rc = files_.SyncFolder(fromFolder)) return Fail(rc);
  }
  return 1;
}

BOOL RemoteApi::CeCreateDirectory(std::u16string_view path) {
  if (!connected()) return Fail(ERROR_NOT_CONNECTED);
  auto host = HostPath(path);
  if (!host) return Fail(ERROR_PATH_NOT_FOUND);
  if (LONG rc = files_.CreateFolder(*host)) return Fail(rc == ERROR_FILE_EXISTS ? 183 : rc);
  return 1;
}

LONG RemoteApi::CeRegCreateKeyEx(HKEY parent, std::u16string_view subKey, HKEY* result,
                                 DWORD* disposition) {
  if (!connected()) return ERROR_INVALID_HANDLE;
  return registry_->CreateKey(parent, subKey, result, disposition);
}

LONG RemoteApi::CeRegOpenKeyEx(HKEY parent, std::u16string_view subKey, HKEY* result) {
  if (!connected()) return ERROR_INVALID_HANDLE;
  return registry_->OpenKey(parent, subKey, result);
}

LONG RemoteApi::CeRegQueryValueEx(HKEY key, std::u16string_view name, DWORD* type, void* data,
                                  DWORD* size) {
  if (!connected()) return ERROR_INVALID_HANDLE;
  return registry_->QueryValue(key, name, type, data, size);
}

LONG RemoteApi::CeRegSetValueEx(HKEY key, std::u16string_view name, DWORD type, const void* data,
                                DWORD size) {
  if (!connected()) return ERROR_INVALID_HANDLE;
  return registry_->SetValue(key, name, type, data, size);
}

LONG RemoteApi::CeRegCloseKey(HKEY key) {
  if (!connected()) return ERROR_INVALID_HANDLE;
  return registry_->CloseKey(key);
}

PropertyStore* RemoteApi::CeObjectStore() { return objectStore_.get(); }

BOOL RemoteApi::CeMountDBVol(CEGUID* guid, std::u16string_view path, DWORD disposition) {
  if (!connected()) return Fail(ERROR_NOT_CONNECTED);
  auto host = HostPath(path);
  if (!host) return Fail(ERROR_PATH_NOT_FOUND);
  const bool exists = files_.Exists(*host);
  if (disposition == OPEN_EXISTING && !exists) return Fail(ERROR_FILE_NOT_FOUND);
  if (disposition == CREATE_NEW && exists) return Fail(ERROR_FILE_EXISTS);
  if (disposition != OPEN_EXISTING && disposition != CREATE_NEW && disposition != OPEN_ALWAYS) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  auto volume = databases_.MountVolume(*host, nullptr);
  if (!volume) return Fail(exists ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND);
  const DWORD id = nextVolume_++;
  volumes_[id] = std::move(volume);
  if (guid) guid->Data1 = id;
  return 1;
}

BOOL RemoteApi::CeUnmountDBVol(const CEGUID& guid) {
  if (volumes_.erase(guid.Data1) == 0) return Fail(ERROR_INVALID_PARAMETER);
  return 1;
}

PropertyStore* RemoteApi::CeVolumeStore(const CEGUID& guid) {
  auto it = volumes_.find(guid.Data1);
  return it == volumes_.end() ? nullptr : it->second.get();
}

HRESULT RemoteApi::CeRapiInvoke(std::u16string_view dll, std::u16string_view function,
                                DWORD cbInput, const BYTE* input, DWORD* cbOutput, BYTE** output) {
  if (cbOutput) *cbOutput = 0;
  if (output) *output = nullptr;
  if (!connected()) return Fail(ERROR_NOT_CONNECTED), E_FAIL;
  auto host = HostPath(LibraryPath(dll));
  if (!host || !files_.Exists(*host)) return Fail(ERROR_MOD_NOT_FOUND), HResultFromWin32(126);
  void* library = ::dlopen(host->c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) return Fail(ERROR_MOD_NOT_FOUND), HResultFromWin32(ERROR_MOD_NOT_FOUND);
  const std::string name = Utf16ToUtf8(function);
  auto entry = reinterpret_cast<RapiBlockFunction>(::dlsym(library, name.c_str()));
  if (!entry) {
    ::dlclose(library);
    return Fail(ERROR_PROC_NOT_FOUND), HResultFromWin32(ERROR_PROC_NOT_FOUND);
  }
  // The export gets its own copy of the input, so that whatever it does with the buffer the
  // caller's bytes stay as they were; the copy is freed here after the call.
  BYTE* in = cbInput ? RapiAlloc(cbInput) : nullptr;
  if (cbInput && !in) {
    ::dlclose(library);
    return Fail(ERROR_NOT_ENOUGH_MEMORY), E_OUTOFMEMORY;
  }
  if (cbInput) std::memcpy(in, input, cbInput);
  RapiInvokeDevice device;
  device.deviceRoot = deviceRoot_.c_str();
  DWORD outSize = 0;
  BYTE* out = nullptr;
  const HRESULT hr = entry(cbInput, in, &outSize, &out, &device);
  RapiFree(in);
  ::dlclose(library);
  if (out && output && cbOutput) {
    *output = out;
    *cbOutput = outSize;
  } else {
    RapiFree(out);
  }
  lastError_ = 0;
  return hr;
}

HRESULT RemoteApi::CeRapiFreeBuffer(void* buffer) {
  RapiFree(static_cast<BYTE*>(buffer));
  return S_OK;
}

HRESULT RemoteApi::CeGetDeviceId(DWORD* id) {
  if (!connected()) return E_FAIL;
  DWORD stored = 0;
  *id = registry_->GetDword(HKEY_LOCAL_MACHINE, kIdentKey, u"DeviceId", &stored) == ERROR_SUCCESS &&
                stored != 0
            ? stored
            : IdOfRoot(deviceRoot_);
  return S_OK;
}

HRESULT RemoteApi::CeSvcOpen(DWORD deviceId, DWORD* service) {
  DWORD current = 0;
  if (CeGetDeviceId(&current) != S_OK) return E_FAIL;
  if (deviceId != current) return HResultFromWin32(ERROR_FILE_NOT_FOUND);
  const DWORD id = nextService_++;
  services_[id] = deviceId;
  *service = id;
  return S_OK;
}

HRESULT RemoteApi::CeSvcGetString(DWORD service, std::string_view name, char* buffer,
                                  DWORD capacity) {
  if (!connected() || !services_.count(service)) return E_INVALIDARG;
  if (name != "DeviceType") return HResultFromWin32(ERROR_FILE_NOT_FOUND);
  std::u16string type;
  if (registry_->GetString(HKEY_LOCAL_MACHINE, kIdentKey, u"DeviceType", &type) != ERROR_SUCCESS) {
    type = u"PocketPC";  // every handheld has a type; a Pocket PC unless it says otherwise
  }
  if (!buffer || capacity == 0) return E_INVALIDARG;
  CopyToField(buffer, capacity, Utf16ToAnsi(type));
  return S_OK;
}

HRESULT RemoteApi::CeSvcClose(DWORD service) {
  return services_.erase(service) ? S_OK : E_INVALIDARG;
}

}  // namespace quillet
