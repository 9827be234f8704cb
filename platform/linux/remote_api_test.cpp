#include "platform/linux/remote_api.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/context.h"
#include "platform/linux/posix_file_system.h"
#include "platform/linux/sqlite_property_store.h"
#include "platform/linux/sqlite_registry.h"
#include "platform/roots.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using testing::TempDir;
namespace fs = std::filesystem;

// Every file below a folder, with its bytes, to see that nothing was touched.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  PosixFileSystem disk;
  std::error_code ec;
  for (auto& entry : fs::recursive_directory_iterator(folder, ec)) {
    std::string bytes;
    if (entry.is_regular_file()) disk.ReadAll(entry.path().string(), &bytes);
    files[entry.path().string()] = bytes;
  }
  return files;
}

class RemoteApiTest : public ::testing::Test {
 protected:
  PosixFileSystem disk;  // the host's files, where the test puts and reads them
  void SetUp() override {
    ASSERT_EQ(disk.CreateFolders(deviceRoot), 0);
    ASSERT_EQ(ConnectDevice(disk, desktop.ctx->root(), deviceRoot), 0);
    ASSERT_EQ(rapi.CeRapiInit(), S_OK);
  }
  std::string DeviceFile(std::string_view devicePath) {
    return *MapDevicePath(deviceRoot, devicePath);
  }
  std::string Read(const std::string& host) {
    std::string bytes;
    return disk.ReadAll(host, &bytes) ? "<none>" : bytes;
  }
  // Writes a whole file through the API, as the desktop's write-back does.
  bool Write(std::u16string_view path, std::string_view bytes, DWORD disposition = CREATE_ALWAYS) {
    RAPIHANDLE h = rapi.CeCreateFile(path, GENERIC_WRITE, 0, disposition);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = rapi.CeWriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written) &&
              written == bytes.size();
    return rapi.CeCloseHandle(h) && ok;
  }

  TempDir devices;
  std::string deviceRoot = devices.File("handheld");
  testing::TestRoot desktop{PlatformContext::Kind::kDesktop};
  RemoteApi rapi{*desktop.ctx};
};

TEST(RemoteApiSession, WithNoDeviceConnectedEveryCallFailsAndNothingIsTouched) {
  PosixFileSystem disk;
  TempDir devices;
  const std::string deviceRoot = devices.File("handheld");
  ASSERT_EQ(disk.CreateFolders(deviceRoot), 0);
  testing::TestRoot desktop{PlatformContext::Kind::kDesktop};
  const auto desktopBefore = Snapshot(desktop.ctx->root());
  RemoteApi rapi(*desktop.ctx);
  EXPECT_EQ(rapi.CeRapiInit(), E_FAIL);
  EXPECT_FALSE(rapi.connected());
  EXPECT_EQ(rapi.CeCreateFile(u"\\x", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(rapi.CeGetLastError(), static_cast<DWORD>(ERROR_NOT_CONNECTED));
  EXPECT_FALSE(rapi.CeDeleteFile(u"\\x"));
  EXPECT_FALSE(rapi.CeMoveFile(u"\\x", u"\\y"));
  HKEY key;
  EXPECT_NE(rapi.CeRegCreateKeyEx(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby\\Quillet", &key), 0);
  EXPECT_EQ(rapi.CeObjectStore(), nullptr);
  CEGUID volume;
  EXPECT_FALSE(rapi.CeMountDBVol(&volume, u"\\StockGraphDB.vol", OPEN_ALWAYS));
  DWORD outSize = 7;
  BYTE* out = nullptr;
  EXPECT_TRUE(Failed(
      rapi.CeRapiInvoke(u"QuilletPPC.dll", u"NotifyQuilletStart", 0, nullptr, &outSize, &out)));
  EXPECT_EQ(outSize, 0u);
  DWORD id;
  EXPECT_TRUE(Failed(rapi.CeGetDeviceId(&id)));
  EXPECT_EQ(Snapshot(desktop.ctx->root()), desktopBefore);
  EXPECT_TRUE(Snapshot(deviceRoot).empty());

  // A device that was connected and has gone away (its root removed) fails too, with a failure
  // of its own, and its root is not made again.
  ASSERT_EQ(ConnectDevice(disk, desktop.ctx->root(), devices.File("gone")), 0);
  const HRESULT gone = rapi.CeRapiInit();
  EXPECT_TRUE(Failed(gone));
  EXPECT_NE(gone, E_FAIL);
  EXPECT_FALSE(fs::exists(devices.File("gone")));
  EXPECT_TRUE(Snapshot(deviceRoot).empty());
  ASSERT_EQ(DisconnectDevice(disk, desktop.ctx->root()), 0);
  EXPECT_EQ(Snapshot(desktop.ctx->root()).count(desktop.ctx->root() + "/run/connected-device"), 0u);
  EXPECT_EQ(rapi.CeRapiInit(), E_FAIL);
}

TEST_F(RemoteApiTest, AFileWrittenOnTheDesktopIsTheDeviceRootsFile) {
  ASSERT_TRUE(rapi.CeCreateDirectory(u"\\Program Files"));
  ASSERT_TRUE(rapi.CeCreateDirectory(u"\\Program Files\\Quillet"));
  ASSERT_TRUE(Write(u"\\Program Files\\Quillet\\QuilletDB.tmp", std::string(3000, 'q')));
  EXPECT_EQ(Read(DeviceFile("\\Program Files\\Quillet\\QuilletDB.tmp")), std::string(3000, 'q'));

  // The write-back's renames: the target must not exist, as on the handheld.
  ASSERT_TRUE(Write(u"\\Program Files\\Quillet\\QuilletDB", "old"));
  EXPECT_FALSE(rapi.CeMoveFile(u"\\Program Files\\Quillet\\QuilletDB.tmp",
                               u"\\Program Files\\Quillet\\QuilletDB"));
  EXPECT_EQ(rapi.CeGetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(rapi.CeDeleteFile(u"\\Program Files\\Quillet\\QuilletDB.old"));
  EXPECT_EQ(rapi.CeGetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  ASSERT_TRUE(rapi.CeMoveFile(u"\\Program Files\\Quillet\\QuilletDB",
                              u"\\Program Files\\Quillet\\QuilletDB.old"));
  ASSERT_TRUE(rapi.CeMoveFile(u"\\Program Files\\Quillet\\QuilletDB.tmp",
                              u"\\Program Files\\Quillet\\QuilletDB"));
  EXPECT_EQ(Read(DeviceFile("\\Program Files\\Quillet\\QuilletDB")), std::string(3000, 'q'));
  EXPECT_EQ(Read(DeviceFile("\\Program Files\\Quillet\\QuilletDB.old")), "old");

  // Read back in blocks, with its size, under the shared-read mode the desktop copies with.
  RAPIHANDLE h = rapi.CeCreateFile(u"\\Program Files\\Quillet\\QuilletDB", GENERIC_READ,
                                   FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD high = 9;
  EXPECT_EQ(rapi.CeGetFileSize(h, &high), 3000u);
  EXPECT_EQ(high, 0u);
  std::string got;
  char block[1024];
  DWORD n = 0;
  while (rapi.CeReadFile(h, block, sizeof block, &n) && n > 0) got.append(block, n);
  EXPECT_EQ(got, std::string(3000, 'q'));
  EXPECT_FALSE(rapi.CeWriteFile(h, "x", 1, &n));
  EXPECT_EQ(rapi.CeGetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  // Another reader may join; a writer may not, nor may the file go while it is open.
  RAPIHANDLE reader = rapi.CeCreateFile(u"\\Program Files\\Quillet\\QuilletDB", GENERIC_READ,
                                        FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_EQ(rapi.CeCreateFile(u"\\Program Files\\Quillet\\QuilletDB", GENERIC_WRITE,
                              FILE_SHARE_READ, OPEN_EXISTING),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(rapi.CeGetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(rapi.CeDeleteFile(u"\\Program Files\\Quillet\\QuilletDB"));
  EXPECT_TRUE(rapi.CeCloseHandle(reader));
  EXPECT_TRUE(rapi.CeCloseHandle(h));
  EXPECT_FALSE(rapi.CeCloseHandle(h));
  EXPECT_EQ(rapi.CeGetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(rapi.CeDeleteFile(u"\\Program Files\\Quillet\\QuilletDB.old"));
  EXPECT_FALSE(fs::exists(DeviceFile("\\Program Files\\Quillet\\QuilletDB.old")));
}

TEST_F(RemoteApiTest, DispositionsAndPathsAnswerAsOnTheHandheld) {
  EXPECT_EQ(rapi.CeCreateFile(u"\\missing", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(rapi.CeGetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(rapi.CeCreateFile(u"\\no folder\\f", GENERIC_WRITE, 0, CREATE_ALWAYS),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(rapi.CeGetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(rapi.CeCreateFile(u"\\missing", GENERIC_WRITE, 0, TRUNCATE_EXISTING),
            INVALID_HANDLE_VALUE);

  ASSERT_TRUE(Write(u"\\f", "first", CREATE_NEW));
  EXPECT_FALSE(Write(u"\\f", "again", CREATE_NEW));
  EXPECT_EQ(rapi.CeGetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(Read(DeviceFile("\\f")), "first");
  ASSERT_TRUE(Write(u"\\f", "x", TRUNCATE_EXISTING));
  EXPECT_EQ(Read(DeviceFile("\\f")), "x");
  ASSERT_TRUE(Write(u"\\g", "made", OPEN_ALWAYS));
  EXPECT_EQ(Read(DeviceFile("\\g")), "made");

  // No path leaves the device root, whichever separator it uses.
  const auto outside = Snapshot(devices.path());
  EXPECT_FALSE(Write(u"\\..\\escaped", "x"));
  EXPECT_FALSE(Write(u"\\a/../../escaped", "x"));
  EXPECT_FALSE(rapi.CeMoveFile(u"\\f", u"\\..\\f"));
  EXPECT_EQ(Snapshot(devices.path()), outside);
}

TEST_F(RemoteApiTest, TheRegistryIsTheDevicesOwn) {
  HKEY key;
  DWORD disposition = 0;
  ASSERT_EQ(
      rapi.CeRegCreateKeyEx(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby\\Quillet", &key, &disposition),
      0);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  const BYTE pref[4] = {1, 2, 3, 4};
  ASSERT_EQ(rapi.CeRegSetValueEx(key, u"PrefBuf", REG_BINARY, pref, 4), 0);
  ASSERT_EQ(rapi.CeRegCloseKey(key), 0);

  // The handheld's own registry sees the value, and the API sees what the handheld writes.
  auto device = SqliteRegistry::Open(SystemDatabasePath(deviceRoot));
  ASSERT_TRUE(device);
  ASSERT_EQ(device->SetString(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby\\Quillet", u"DataDir",
                              u"\\My Documents\\"),
            0);
  HKEY k2;
  ASSERT_EQ(device->OpenKey(HKEY_CURRENT_USER, u"Software\\Marrowby\\Quillet", &k2), 0);
  BYTE got[8] = {};
  DWORD type = 0, size = sizeof got;
  ASSERT_EQ(device->QueryValue(k2, u"PrefBuf", &type, got, &size), 0);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(got[3], 4);

  ASSERT_EQ(rapi.CeRegOpenKeyEx(HKEY_CURRENT_USER, u"SOFTWARE\\Marrowby\\Quillet", &key), 0);
  char16_t text[32] = {};
  size = sizeof text;
  ASSERT_EQ(rapi.CeRegQueryValueEx(key, u"DataDir", &type, text, &size), 0);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(std::u16string(text), u"\\My Documents\\");
  size = 2;
  EXPECT_EQ(rapi.CeRegQueryValueEx(key, u"DataDir", &type, text, &size), ERROR_MORE_DATA);
  EXPECT_EQ(rapi.CeRegQueryValueEx(key, u"Missing", &type, text, &size), ERROR_FILE_NOT_FOUND);

  // Closing the session closes its keys.
  ASSERT_EQ(rapi.CeRapiUninit(), S_OK);
  EXPECT_NE(rapi.CeRegQueryValueEx(key, u"DataDir", &type, text, &size), 0);
}

TEST_F(RemoteApiTest, AVolumeIsTheFileTheHandheldMounts) {
  CEGUID missing;
  EXPECT_FALSE(rapi.CeMountDBVol(&missing, u"\\StockGraphDB.vol", OPEN_EXISTING));
  EXPECT_FALSE(fs::exists(DeviceFile("\\StockGraphDB.vol")));

  CEGUID volume;
  ASSERT_TRUE(rapi.CeMountDBVol(&volume, u"\\StockGraphDB.vol", OPEN_ALWAYS));
  PropertyStore* store = rapi.CeVolumeStore(volume);
  ASSERT_NE(store, nullptr);
  CEOID oid = 0;
  ASSERT_EQ(store->CreateDatabase(u"StockGraphDB", 141233, 0x2F5B001F, 0, &oid), 0);
  ASSERT_TRUE(rapi.CeUnmountDBVol(volume));
  EXPECT_EQ(rapi.CeVolumeStore(volume), nullptr);

  auto handheld = SqlitePropertyStore::MountVolume(DeviceFile("\\StockGraphDB.vol"));
  ASSERT_TRUE(handheld);
  EXPECT_EQ(handheld->FindDatabase(u"StockGraphDB", nullptr), 0);
  // The object store itself is the root's.
  ASSERT_NE(rapi.CeObjectStore(), nullptr);
  EXPECT_EQ(rapi.CeObjectStore()->FindDatabase(u"StockGraphDB", nullptr), ERROR_FILE_NOT_FOUND);
}

TEST_F(RemoteApiTest, InvokeCallsTheExportOfTheLibraryOnTheDevice) {
  ASSERT_EQ(disk.CreateFolders(DeviceFile("\\Windows")), 0);
  fs::copy_file(QUILLET_RAPI_TEST_LIBRARY, DeviceFile("\\Windows\\QuilletTest.dll"));
  ASSERT_EQ(disk.CreateFolders(DeviceFile("\\IPSM\\Windows")), 0);
  fs::copy_file(QUILLET_RAPI_TEST_LIBRARY, DeviceFile("\\IPSM\\Windows\\QuilletTest.dll"));

  const BYTE input[3] = {1, 2, 3};
  for (std::u16string_view dll : {u"QuilletTest.dll", u"\\IPSM\\Windows\\QuilletTest.dll"}) {
    DWORD size = 0;
    BYTE* out = nullptr;
    EXPECT_EQ(rapi.CeRapiInvoke(dll, u"ReverseAndRoot", 3, input, &size, &out), 1);
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(size, 3 + rapi.deviceRoot().size());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), size),
              std::string("\3\2\1", 3) + rapi.deviceRoot());
    EXPECT_EQ(RemoteApi::CeRapiFreeBuffer(out), S_OK);
  }
  EXPECT_EQ(input[0], 1);  // the export scribbled over its own copy only

  // The export's result is the call's, whatever it is.
  const HRESULT failure = static_cast<HRESULT>(0x80070005u);
  DWORD size = 5;
  BYTE* out = reinterpret_cast<BYTE*>(&size);
  EXPECT_EQ(rapi.CeRapiInvoke(u"QuilletTest.dll", u"FailWith", 4,
                              reinterpret_cast<const BYTE*>(&failure), &size, &out),
            failure);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(out, nullptr);

  EXPECT_EQ(rapi.CeRapiInvoke(u"QuilletTest.dll", u"NoSuchExport", 0, nullptr, &size, &out),
            static_cast<HRESULT>(0x8007007Fu));
  EXPECT_EQ(rapi.CeRapiInvoke(u"QuilletPPC.dll", u"NotifyQuilletStart", 0, nullptr, &size, &out),
            static_cast<HRESULT>(0x8007007Eu));
  EXPECT_EQ(rapi.CeRapiInvoke(u"\\..\\QuilletTest.dll", u"ReverseAndRoot", 0, nullptr, &size, &out),
            static_cast<HRESULT>(0x8007007Eu));
  // A file that is no library.
  ASSERT_TRUE(Write(u"\\Windows\\Broken.dll", "MZ not an ELF"));
  EXPECT_EQ(rapi.CeRapiInvoke(u"Broken.dll", u"ReverseAndRoot", 0, nullptr, &size, &out),
            static_cast<HRESULT>(0x8007007Eu));
}

TEST_F(RemoteApiTest, DeviceInformationTellsTheKindOfHandheld) {
  DWORD id = 0, again = 0, service = 0;
  ASSERT_EQ(rapi.CeGetDeviceId(&id), S_OK);
  ASSERT_EQ(rapi.CeGetDeviceId(&again), S_OK);
  EXPECT_EQ(id, again);
  EXPECT_TRUE(Failed(rapi.CeSvcOpen(id + 1, &service)));
  ASSERT_EQ(rapi.CeSvcOpen(id, &service), S_OK);
  char type[256];
  ASSERT_EQ(rapi.CeSvcGetString(service, "DeviceType", type, sizeof type), S_OK);
  EXPECT_STREQ(type, "PocketPC");
  EXPECT_TRUE(Failed(rapi.CeSvcGetString(service, "Other", type, sizeof type)));

  auto device = SqliteRegistry::Open(SystemDatabasePath(deviceRoot));
  ASSERT_EQ(device->SetString(HKEY_LOCAL_MACHINE, u"Ident", u"DeviceType", u"SmartPhone"), 0);
  ASSERT_EQ(rapi.CeSvcGetString(service, "DeviceType", type, 6), S_OK);
  EXPECT_STREQ(type, "Smart");
  ASSERT_EQ(rapi.CeSvcGetString(service, "DeviceType", type, sizeof type), S_OK);
  EXPECT_STREQ(type, "SmartPhone");
  EXPECT_EQ(rapi.CeSvcClose(service), S_OK);
  EXPECT_TRUE(Failed(rapi.CeSvcGetString(service, "DeviceType", type, sizeof type)));
}

}  // namespace
}  // namespace quillet
