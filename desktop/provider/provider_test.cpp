// The provider as the sync manager meets it: the built library placed in a desktop root, loaded,
// and reached only through its exports and the interfaces they hand out.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "companions/testing/companion_test_support.h"
#include "desktop/desk_settings.h"
#include "desktop/working_directory.h"
#include "platform/codepage.h"
#include "platform/linux/posix_file_system.h"
#include "platform/linux/remote_api.h"
#include "platform/repl_desktop.h"
#include "platform/testing/test_support.h"
#include "quotes/testing/quote_sim_process.h"

namespace quillet {
namespace {

using testing::TestRoot;

constexpr std::int64_t kNow = 1051891200;  // 2003-05-02 16:00 UTC
constexpr char16_t kObjectsKey[] =
    u"Software\\Microsoft\\Windows CE Services\\Services\\Synchronization\\Objects";
constexpr char16_t kClassKey[] = u"CLSID\\{5B1F6C2E-8D4A-4E31-9A7C-2F0D3B6E91A4}";
constexpr char kLibraryPath[] = "C:\\Program Files\\Microsoft ActiveSync\\Quillet\\Quillet.dll";
constexpr HRESULT kLastPacket = 0x00140001;

class Notify final : public IReplNotify {
 public:
  HRESULT QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  HRESULT SetStatusText(const char*) override { return S_OK; }
  HRESULT GetWindow(UINT, HWND* window) override {
    *window = 0;
    return S_OK;
  }
  HRESULT OnItemNotify(UINT, const char*, const char*, HREPLITEM, ULONG) override { return S_OK; }
  HRESULT QueryDevice(UINT, void**) override { return E_NOTIMPL; }
  ULONG refs = 1;
};

class NoItems final : public IEnumReplItem {
 public:
  explicit NoItems(HREPLFLD folder) : folder_(folder) {}
  HRESULT QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT Next(ULONG, HREPLITEM*, ULONG* fetched) override {
    *fetched = 0;
    return S_FALSE;
  }
  HRESULT Skip(ULONG) override { return S_FALSE; }
  HRESULT Reset() override { return S_OK; }
  HRESULT Clone(IEnumReplItem**) override { return E_NOTIMPL; }
  HREPLFLD GetFolderHandle() override { return folder_; }

 private:
  HREPLFLD folder_;
};

class ProviderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Registry& reg = desk.ctx->registry();
    HKEY key{};
    ASSERT_EQ(reg.CreateKey(HKEY_LOCAL_MACHINE, kObjectsKey, &key), 0);
    reg.CloseKey(key);
    ASSERT_EQ(reg.SetString(HKEY_LOCAL_MACHINE, kActiveSyncKey, u"InstalledDir",
                            u"C:\\Program Files\\Microsoft ActiveSync"),
              0);
    dir = *FindWorkingDirectory(*desk.ctx);
    BeforeLoad();
    Load();
  }
  virtual void BeforeLoad() {}
  void TearDown() override { library.reset(); }

  // The built library as the installer leaves it, loaded with the test's clock.
  void Load() {
    const std::filesystem::path target = *desk.ctx->HostPath(kLibraryPath);
    std::filesystem::create_directories(target.parent_path());
    std::filesystem::copy_file(testing::BuiltProgram("lib/QuilletDesk.so"), target,
                               std::filesystem::copy_options::overwrite_existing);
    environment.root = desk.ctx->root();
    environment.services = &services;
    std::string error;
    library = LoadedLibrary::LoadFile(target.string(), environment, &error);
    ASSERT_NE(library, nullptr) << error;
  }

  HRESULT Register() { return library->Proc<DllRegisterServerProc>("DllRegisterServer")(); }
  HRESULT Unregister() { return library->Proc<DllRegisterServerProc>("DllUnregisterServer")(); }
  HRESULT CanUnload() { return library->Proc<DllCanUnloadNowProc>("DllCanUnloadNow")(); }
  IClassFactory* Factory() {
    void* object = nullptr;
    EXPECT_EQ(library->Proc<DllGetClassObjectProc>("DllGetClassObject")(IID_IUnknown,
                                                                        IID_IClassFactory, &object),
              S_OK);
    return static_cast<IClassFactory*>(object);
  }
  IReplStore* NewStore() {
    IClassFactory* factory = Factory();
    void* object = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IReplStore, &object), S_OK);
    factory->Release();
    return static_cast<IReplStore*>(object);
  }
  std::u16string Text(HKEY root, std::u16string_view key, std::u16string_view name = u"") {
    std::u16string value;
    if (desk.ctx->registry().GetString(root, key, name, &value) != 0) return u"<missing>";
    return value;
  }
  bool KeyExists(HKEY root, std::u16string_view key) {
    HKEY k{};
    if (desk.ctx->registry().OpenKey(root, key, &k) != 0) return false;
    desk.ctx->registry().CloseKey(k);
    return true;
  }
  void Schedule(BYTE mode, int every, BYTE interval, DWORD lastTime) {
    DeskSettings s = LoadDeskSettings(*desk.ctx, dir);
    s.ucSyncMode = mode;
    s.ucSyncEvery = every;
    s.ucSyncInterval = interval;
    s.ucSyncIntervalFrom = 9;
    s.ucSyncIntervalTo = 5;
    s.ucSyncLastTime = lastTime;
    ASSERT_EQ(SaveDeskSettings(*desk.ctx, dir, s), 0);
  }
  // One enumeration: whether the item was reported (freed again).
  bool Enumerate(IReplStore* store, HREPLFLD folder) {
    HREPLITEM item = nullptr;
    BOOL exist = 0;
    EXPECT_EQ(store->FindFirstItem(folder, &item, &exist), S_OK);
    store->FindItemClose(folder);
    const bool reported = exist != 0 && item != nullptr;
    store->FreeObject(item);
    return reported;
  }

  TestRoot desk{PlatformContext::Kind::kDesktop, kNow};
  PlatformServices base = desk.host.services();
  PlatformServices services{base.files,   desk.clock,     base.ticks,
                            base.sockets, base.databases, base.settings};
  WorkingDirectory dir;
  ModuleEnvironment environment;
  std::unique_ptr<LoadedLibrary> library;
  Notify notify;
};

// ---- Registration -------------------------------------------------------------------------------

TEST_F(ProviderTest, RegistrationWritesEveryEntryAndTwiceLeavesTheSame) {
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(Register(), S_OK);
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, std::u16string(kClassKey) + u"\\InprocServer32"),
              Utf8ToUtf16(kLibraryPath));
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, std::u16string(kClassKey) + u"\\ProgId"),
              u"Marrowby.Quillet");
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, u"Marrowby.Quillet"), u"Quillet");
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, u"Marrowby.Quillet", u"Display Name"), u"Quillet");
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, u"Marrowby.Quillet\\CLSID"),
              u"{5B1F6C2E-8D4A-4E31-9A7C-2F0D3B6E91A4}");
    const std::u16string entry = std::u16string(kObjectsKey) + u"\\Quillet";
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, entry), u"Quillet Object");
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, entry, u"Display Name"), u"Quillet");
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, entry, u"Plural Name"), u"Quillet Items");
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, entry, u"Store"), u"Marrowby.Quillet");
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, entry, u"DefaultIcon"),
              Utf8ToUtf16(std::string(kLibraryPath) + ", -101"));
    DWORD disabled = 7;
    EXPECT_EQ(desk.ctx->registry().GetDword(HKEY_LOCAL_MACHINE, entry, u"Disabled", &disabled), 0);
    EXPECT_EQ(disabled, 0u);
  }
  // String values carry their terminating NUL: UTF-16 "Quillet" and two zero bytes.
  HKEY key{};
  ASSERT_EQ(desk.ctx->registry().OpenKey(HKEY_CLASSES_ROOT, u"Marrowby.Quillet", &key), 0);
  DWORD type = 0, size = 0;
  EXPECT_EQ(desk.ctx->registry().QueryValue(key, u"", &type, nullptr, &size), 0);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 16u);
  desk.ctx->registry().CloseKey(key);
}

TEST_F(ProviderTest, RegistrationWithoutTheSyncManagerFailsAtItsKeyAfterTheClassEntries) {
  ASSERT_EQ(desk.ctx->registry().DeleteKey(HKEY_LOCAL_MACHINE, kObjectsKey), 0);
  EXPECT_EQ(Register(), static_cast<HRESULT>(0x80070002u));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"Marrowby.Quillet\\CLSID"));
}

TEST_F(ProviderTest, UnregistrationRemovesEverythingAndWithoutTheClassRemovesNothing) {
  ASSERT_EQ(Register(), S_OK);
  ASSERT_EQ(Unregister(), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, u"Marrowby.Quillet"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::u16string(kObjectsKey) + u"\\Quillet"));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kObjectsKey));

  // Registered again, but with the class key gone by hand: nothing else is touched.
  ASSERT_EQ(Register(), S_OK);
  ASSERT_EQ(desk.ctx->registry().DeleteTree(HKEY_CLASSES_ROOT, kClassKey), 0);
  EXPECT_EQ(Unregister(), static_cast<HRESULT>(0x80070002u));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"Marrowby.Quillet"));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::u16string(kObjectsKey) + u"\\Quillet"));
}

TEST_F(ProviderTest, UnregistrationStopsAtASubKeyThatCannotBeDeletedAndKeepsTheEntry) {
  ASSERT_EQ(Register(), S_OK);
  // A sub-key with a sub-key of its own cannot be deleted on its own: the removal must end
  // (not try it forever) and leave the provider's entry naming a class that still exists.
  HKEY key{};
  ASSERT_EQ(desk.ctx->registry().CreateKey(
                HKEY_CLASSES_ROOT, std::u16string(kClassKey) + u"\\InprocServer32\\Extra", &key),
            0);
  desk.ctx->registry().CloseKey(key);
  EXPECT_EQ(Unregister(), static_cast<HRESULT>(0x80070005u));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, std::u16string(kObjectsKey) + u"\\Quillet"));
}

TEST_F(ProviderTest, UnregistrationGoesOnPastEntriesAlreadyGone) {
  ASSERT_EQ(Register(), S_OK);
  ASSERT_EQ(desk.ctx->registry().DeleteTree(HKEY_CLASSES_ROOT, u"Marrowby.Quillet"), 0);
  EXPECT_EQ(Unregister(), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::u16string(kObjectsKey) + u"\\Quillet"));
}

// ---- Class factory and counters ---------------------------------------------------------------

TEST_F(ProviderTest, FactoryRefusesAggregationAndAnswersOnlyItsInterfaces) {
  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  void* object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), IID_IReplStore, &object),
            static_cast<HRESULT>(0x80040110u));
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IReplStore, nullptr), E_INVALIDARG);
  object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(factory->QueryInterface(IID_IReplStore, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  // A store asked for an interface it does not have is not left behind.
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  factory->Release();
  EXPECT_EQ(CanUnload(), S_OK);
}

TEST_F(ProviderTest, CannotUnloadWhileAStoreLivesOrTheServerIsLocked) {
  EXPECT_EQ(CanUnload(), S_OK);
  IReplStore* store = NewStore();
  EXPECT_EQ(CanUnload(), S_FALSE);
  store->Release();
  EXPECT_EQ(CanUnload(), S_OK);

  IClassFactory* factory = Factory();
  factory->LockServer(1);
  EXPECT_EQ(CanUnload(), S_FALSE);
  factory->LockServer(0);
  EXPECT_EQ(CanUnload(), S_OK);
  // An unlock without its lock must not hide a live store.
  factory->LockServer(0);
  store = NewStore();
  EXPECT_EQ(CanUnload(), S_FALSE);
  store->Release();
  EXPECT_EQ(CanUnload(), S_OK);
  factory->Release();
}

// ---- Store information and objects ------------------------------------------------------------

TEST_F(ProviderTest, StoreInfoBeforeAndAfterInitialize) {
  IReplStore* store = NewStore();
  BYTE id[8] = {};
  STOREINFO info;
  info.cbMaxStoreId = sizeof id;
  info.lpbStoreId = id;
  EXPECT_EQ(store->GetStoreInfo(&info), S_OK);
  EXPECT_EQ(info.uFlags, 3u);
  EXPECT_STREQ(info.szProgId, "Marrowby.Quillet");
  EXPECT_STREQ(info.szStoreDesc, "Quillet");
  EXPECT_EQ(info.cbStoreId, 0u);
  EXPECT_EQ(id[0], 0);

  EXPECT_EQ(store->Initialize(nullptr, 0), E_INVALIDARG);
  ASSERT_EQ(store->Initialize(&notify, 0), S_OK);
  EXPECT_EQ(notify.refs, 2u);
  EXPECT_EQ(store->GetStoreInfo(&info), S_OK);
  EXPECT_EQ(info.cbStoreId, 4u);
  const BYTE expected[4] = {0xC1, 0x3D, 0x9F, 0x07};
  EXPECT_EQ(std::memcmp(id, expected, 4), 0);
  info.cbMaxStoreId = 3;
  EXPECT_EQ(store->GetStoreInfo(&info), E_OUTOFMEMORY);
  info.cbMaxStoreId = 4;
  info.lpbStoreId = nullptr;
  EXPECT_EQ(store->GetStoreInfo(&info), E_POINTER);
  EXPECT_EQ(store->GetStoreInfo(nullptr), E_INVALIDARG);

  const BYTE three[3] = {0xFF, 0xFF, 0xFF};
  EXPECT_EQ(store->CompareStoreIDs(three, 3, expected, 4), -1);
  EXPECT_EQ(store->CompareStoreIDs(expected, 4, three, 3), 1);
  EXPECT_EQ(store->CompareStoreIDs(expected, 4, expected, 4), 0);
  const BYTE other[4] = {0xC1, 0x3D, 0x9F, 0x08};
  EXPECT_EQ(store->CompareStoreIDs(expected, 4, other, 4), -1);
  EXPECT_EQ(store->CompareStoreIDs(nullptr, 4, other, 4), E_INVALIDARG);

  store->ReportStatus(nullptr, nullptr, RSC_RELEASE, 0);
  EXPECT_EQ(notify.refs, 1u);
  store->Release();
}

TEST_F(ProviderTest, ObjectBytesFollowTheLayout) {
  IReplStore* store = NewStore();
  ASSERT_EQ(store->Initialize(&notify, 0), S_OK);
  IUnknown* handler = nullptr;
  HREPLFLD folder = nullptr;
  EXPECT_EQ(store->GetFolderInfo("quillet", &folder, &handler), E_INVALIDARG);  // case counts
  ASSERT_EQ(store->GetFolderInfo("Quillet", &folder, &handler), S_OK);
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(store->ObjectToBytes(folder, nullptr), 264u);

  BYTE bytes[300];
  std::memset(bytes, 0xEE, sizeof bytes);
  ASSERT_EQ(store->ObjectToBytes(folder, bytes), 264u);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[1] | bytes[2] | bytes[3], 0);
  EXPECT_EQ(std::memcmp(bytes + 4, "Quillet\0", 8), 0);
  EXPECT_EQ(bytes[264], 0xEE);  // nothing past the record

  // An item as the byte table lays it out, written by hand: kind 2, the name, the stamp.
  BYTE item[272] = {};
  item[0] = 2;
  std::memcpy(item + 4, "Quillet Stocks", 14);
  const BYTE stamp[8] = {0x78, 0x56, 0x34, 0x12, 0x21, 0x43, 0x65, 0x07};
  std::memcpy(item + 264, stamp, 8);
  HREPLOBJ object = store->BytesToObject(item, sizeof item);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(store->ObjectToBytes(object, nullptr), 272u);
  BYTE back[272];
  ASSERT_EQ(store->ObjectToBytes(object, back), 272u);
  EXPECT_EQ(std::memcmp(back, item, sizeof item), 0);
  EXPECT_EQ(store->CompareItem(object, object), 0);
  EXPECT_EQ(store->IsValidObject(folder, object, 0), S_OK);
  EXPECT_EQ(store->IsValidObject(object, object, 0), E_HANDLE);
  EXPECT_EQ(store->IsValidObject(folder, folder, 0), E_HANDLE);
  EXPECT_EQ(store->IsValidObject(nullptr, object, 0), E_INVALIDARG);
  EXPECT_EQ(store->IsValidObject(folder, nullptr, 0), S_OK);
  EXPECT_EQ(store->CopyObject(folder, object), 0);
  store->FreeObject(object);

  // The folder record of another name, and a kind the store does not know.
  BYTE other[264] = {};
  other[0] = 1;
  std::memcpy(other + 4, "Contacts", 8);
  EXPECT_EQ(store->BytesToObject(other, sizeof other), nullptr);
  BYTE kind3[272] = {3};
  EXPECT_EQ(store->BytesToObject(kind3, sizeof kind3), nullptr);
  handler->Release();
  store->FreeObject(folder);
  store->Release();
}

TEST_F(ProviderTest, BytesCutShortMakeNoObjectAndNamesEndInside) {
  IReplStore* store = NewStore();
  // Each record handed over in its own buffer of exactly the given count, so that a read past
  // it is caught by the address checker.
  auto objectOf = [&](const BYTE* record, UINT count) {
    std::vector<BYTE> exact(record, record + count);
    HREPLOBJ object = store->BytesToObject(exact.data(), count);
    return object;
  };
  BYTE folder[264] = {1};
  std::memcpy(folder + 4, "Quillet", 7);
  BYTE item[272] = {2};
  std::memcpy(item + 4, "Quillet Stocks", 14);
  for (UINT count : {0u, 3u, 4u, 100u, 263u}) {
    EXPECT_EQ(objectOf(folder, count), nullptr) << count;
  }
  for (UINT count : {0u, 4u, 264u, 271u}) EXPECT_EQ(objectOf(item, count), nullptr) << count;
  EXPECT_EQ(store->BytesToObject(nullptr, 272), nullptr);
  HREPLOBJ whole = objectOf(folder, 264);
  EXPECT_NE(whole, nullptr);
  store->FreeObject(whole);

  // A name that fills all 260 bytes without a terminator is cut at the last one.
  std::memset(item + 4, 'A', 260);
  HREPLOBJ object = objectOf(item, 272);
  ASSERT_NE(object, nullptr);
  BYTE out[272];
  ASSERT_EQ(store->ObjectToBytes(object, out), 272u);
  EXPECT_EQ(out[4 + 258], 'A');
  EXPECT_EQ(out[4 + 259], 0);
  store->FreeObject(object);
  store->Release();
}

TEST_F(ProviderTest, PacketsWithoutASetupAreUnexpected) {
  IReplStore* store = NewStore();
  ASSERT_EQ(store->Initialize(&notify, 0), S_OK);
  IUnknown* unknown = nullptr;
  HREPLFLD folder = nullptr;
  ASSERT_EQ(store->GetFolderInfo("Quillet", &folder, &unknown), S_OK);
  // The handler answers IUnknown only; the sync manager calls it through that pointer.
  auto* handler = reinterpret_cast<desk::IReplObjHandler*>(unknown);
  void* other = nullptr;
  EXPECT_EQ(unknown->QueryInterface(IID_IReplObjHandler, &other), E_NOINTERFACE);
  BYTE* data = nullptr;
  DWORD size = 7;
  EXPECT_EQ(handler->GetPacket(&data, &size, 0), E_UNEXPECTED);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(size, 0u);
  BYTE packet[4] = {0x39, 0x30, 0, 0};
  EXPECT_EQ(handler->SetPacket(packet, 4), E_UNEXPECTED);
  EXPECT_EQ(handler->SetPacket(nullptr, 4), E_INVALIDARG);
  EXPECT_EQ(handler->GetPacket(nullptr, &size, 0), E_INVALIDARG);

  // A write setup for a new object: the packet makes the item.
  desk::REPLSETUP write;
  write.fRead = 0;
  write.dwFlags = RSF_NEW_OBJECT;
  ASSERT_EQ(handler->Setup(&write), S_OK);
  EXPECT_EQ(handler->SetPacket(packet, 4), S_OK);
  ASSERT_NE(write.hItem, nullptr);
  BYTE bytes[272];
  EXPECT_EQ(store->ObjectToBytes(write.hItem, bytes), 272u);
  EXPECT_STREQ(reinterpret_cast<char*>(bytes + 4), "Quillet Stocks");
  store->FreeObject(write.hItem);
  ASSERT_EQ(handler->Reset(&write), S_OK);
  EXPECT_EQ(handler->SetPacket(packet, 4), E_UNEXPECTED);

  // With no handheld connected the run cannot begin: the first packet is the last one.
  desk::REPLSETUP early;
  early.fRead = 1;
  early.hFolder = folder;
  early.hItem =
      store->BytesToObject(std::vector<BYTE>(bytes, bytes + sizeof bytes).data(), sizeof bytes);
  ASSERT_NE(early.hItem, nullptr);
  ASSERT_EQ(handler->Setup(&early), S_OK);
  EXPECT_EQ(handler->GetPacket(&data, &size, 0), kLastPacket);
  ASSERT_EQ(size, 4u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 4), std::string("\x39\x30\0\0", 4));
  ASSERT_EQ(handler->Reset(&early), S_OK);
  store->FreeObject(early.hItem);

  // A read setup without an item skips everything.
  desk::REPLSETUP read;
  read.fRead = 1;
  ASSERT_EQ(handler->Setup(&read), S_OK);
  EXPECT_EQ(handler->GetPacket(&data, &size, 0), RERR_SKIP_ALL);
  handler->Reset(&read);
  handler->Release();
  store->FreeObject(folder);
  store->Release();
}

TEST_F(ProviderTest, FolderAnswersAndDialogArguments) {
  IReplStore* store = NewStore();
  ASSERT_EQ(store->Initialize(&notify, 0), S_OK);
  IUnknown* handler = nullptr;
  HREPLFLD folder = nullptr;
  ASSERT_EQ(store->GetFolderInfo("Quillet", &folder, &handler), S_OK);
  OBJUIDATA ui;
  ASSERT_EQ(store->GetObjTypeUIData(folder, &ui), S_OK);
  EXPECT_STREQ(ui.szName, "Quillet");
  EXPECT_STREQ(ui.szSyncText, "Quillet");
  EXPECT_STREQ(ui.szTypeText, "Quillet Stocks");
  EXPECT_STREQ(ui.szPlTypeText, "Quillet Stocks");
  EXPECT_EQ(ui.uIconLarge, 101u);
  BOOL changed = 0;
  EXPECT_EQ(store->IsFolderChanged(folder, &changed), S_OK);
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(store->IsItemReplicated(folder, nullptr), 1);
  EXPECT_EQ(store->IsItemReplicated(nullptr, nullptr), 0);
  CONFINFO conflict;
  EXPECT_EQ(store->GetConflictInfo(&conflict), RERR_IGNORE);
  EXPECT_EQ(store->RemoveDuplicates(nullptr, 0), S_OK);
  EXPECT_EQ(store->RemoveDuplicates("Other", 0), E_INVALIDARG);
  // The dialog needs a parent window, a folder and the items; only the options dialog exists,
  // and whatever the user does there, no synchronisation starts because of it (this host shows
  // no windows, so the sheet cannot even open).
  NoItems items(folder);
  EXPECT_EQ(store->ActivateDialog(0, 0, folder, &items), E_INVALIDARG);
  EXPECT_EQ(store->ActivateDialog(0, 7, nullptr, &items), E_INVALIDARG);
  EXPECT_EQ(store->ActivateDialog(0, 7, folder, nullptr), E_INVALIDARG);
  EXPECT_EQ(store->ActivateDialog(1, 7, folder, &items), E_NOTIMPL);
  EXPECT_EQ(store->ActivateDialog(0, 7, folder, &items), RERR_CANCEL);
  handler->Release();
  store->FreeObject(folder);
  store->Release();
}

// ---- The enumeration and its schedule ---------------------------------------------------------

TEST_F(ProviderTest, FirstEnumerationAfterFolderInfoIsEmptyThenTheForcedItemComes) {
  IReplStore* store = NewStore();
  ASSERT_EQ(store->Initialize(&notify, 0), S_OK);
  store->ReportStatus(nullptr, nullptr, RSC_BEGIN_SYNC, 0);  // no run yet: forced
  IUnknown* handler = nullptr;
  HREPLFLD folder = nullptr;
  ASSERT_EQ(store->GetFolderInfo("Quillet", &folder, &handler), S_OK);
  EXPECT_FALSE(Enumerate(store, folder));
  HREPLITEM first = nullptr;
  BOOL exist = 0;
  ASSERT_EQ(store->FindFirstItem(folder, &first, &exist), S_OK);
  ASSERT_TRUE(exist);
  HREPLITEM next = reinterpret_cast<HREPLITEM>(0x1);
  EXPECT_EQ(store->FindNextItem(folder, &next, &exist), S_OK);
  EXPECT_EQ(next, nullptr);
  EXPECT_FALSE(exist);

  // Every report is newer than the last, even within the same second.
  HREPLITEM second = nullptr;
  ASSERT_EQ(store->FindFirstItem(folder, &second, &exist), S_OK);
  ASSERT_TRUE(exist);
  EXPECT_NE(store->IsItemChanged(folder, second, first), 0);
  EXPECT_EQ(store->IsItemChanged(folder, second, second), 0);
  EXPECT_EQ(store->IsItemChanged(folder, second, nullptr), 0);
  // The stored copy brought up to date is no longer changed.
  store->UpdateItem(folder, first, second);
  EXPECT_EQ(store->IsItemChanged(folder, second, first), 0);
  store->FreeObject(first);
  store->FreeObject(second);

  store->ReportStatus(nullptr, nullptr, RSC_END_SYNC, 0);
  EXPECT_FALSE(Enumerate(store, folder));  // not forced, no schedule
  handler->Release();
  store->FreeObject(folder);
  store->Release();
}

TEST_F(ProviderTest, PeriodicEnumerationFollowsTheSchedule) {
  testing::ScopedTimeZone utc("UTC");
  IReplStore* store = NewStore();
  ASSERT_EQ(store->Initialize(&notify, 0), S_OK);
  IUnknown* handler = nullptr;
  HREPLFLD folder = nullptr;
  ASSERT_EQ(store->GetFolderInfo("Quillet", &folder, &handler), S_OK);
  EXPECT_FALSE(Enumerate(store, folder));  // the one after GetFolderInfo

  const std::int64_t nine = 1051866000;  // 2003-05-02 09:00 UTC
  Schedule(1, 30, 0, static_cast<DWORD>(nine - 29 * 60));
  desk.clock.Set(nine);
  EXPECT_FALSE(Enumerate(store, folder));
  Schedule(1, 30, 0, static_cast<DWORD>(nine - 30 * 60));
  EXPECT_TRUE(Enumerate(store, folder));

  // Restricted to 09:00..17:00: not at 08:59, nor at 17:00.
  Schedule(1, 30, 1, static_cast<DWORD>(nine - 3 * 3600));
  desk.clock.Set(nine - 60);
  EXPECT_FALSE(Enumerate(store, folder));
  desk.clock.Set(nine);
  EXPECT_TRUE(Enumerate(store, folder));
  desk.clock.Set(nine + 8 * 3600);
  EXPECT_FALSE(Enumerate(store, folder));
  desk.clock.Set(nine + 8 * 3600 - 60);
  EXPECT_TRUE(Enumerate(store, folder));

  Schedule(0, 30, 0, 0);  // manual: only a forced synchronisation
  EXPECT_FALSE(Enumerate(store, folder));
  handler->Release();
  store->FreeObject(folder);
  store->Release();
}

// ---- Whole exchanges against a handheld -------------------------------------------------------

class ProviderRunTest : public ProviderTest {
 protected:
  void SetUp() override {
    ProviderTest::SetUp();
    ASSERT_EQ(ConnectDevice(disk, desk.ctx->root(), dev.root()), 0);
    deviceLibrary = dev.Load("QuilletPPC", "\\Windows\\QuilletPPC.dll");
    dev.SeedData();
  }
  // The library opens its desktop with the settings it was loaded with: quotes from the
  // simulator.
  void BeforeLoad() override {
    const std::string fixture = dir.hostPath + "/../quotes.csv";
    ASSERT_EQ(disk.WriteAll(fixture, "A,81.5,+1.5,80,82,80,1000000,81.4,81.6,60,90\n"), 0);
    sim =
        std::make_unique<testing::QuoteSimProcess>(std::vector<std::string>{"--fixture", fixture});
    ASSERT_TRUE(sim->running());
    base.settings.quoteServer = "127.0.0.1:" + std::to_string(sim->port());
    services.settings = base.settings;
  }
  // Opens the store and folder as the sync manager does before a synchronisation.
  void Open() {
    store = NewStore();
    ASSERT_EQ(store->Initialize(&notify, 0), S_OK);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(store->GetFolderInfo("Quillet", &folder, &unknown), S_OK);
    handler = reinterpret_cast<desk::IReplObjHandler*>(unknown);
    EXPECT_FALSE(Enumerate(store, folder));
  }
  void Close() {
    handler->Release();
    store->FreeObject(folder);
    store->Release();
  }
  // The packets of one changed item: their results and bytes.
  std::vector<HRESULT> Exchange(HREPLITEM item, std::vector<std::string>* packets = nullptr) {
    desk::REPLSETUP read;
    read.fRead = 1;
    read.hFolder = folder;
    read.hItem = item;
    EXPECT_EQ(handler->Setup(&read), S_OK);
    std::vector<HRESULT> results;
    for (int i = 0; i < 8; ++i) {
      BYTE* data = nullptr;
      DWORD size = 0;
      const HRESULT hr = handler->GetPacket(&data, &size, 0);
      results.push_back(hr);
      if (packets && data) packets->emplace_back(reinterpret_cast<char*>(data), size);
      if (hr != S_OK) break;
    }
    EXPECT_EQ(handler->Reset(&read), S_OK);
    return results;
  }
  std::string LogFile() {
    std::string text;
    disk.ReadAll(dir.hostPath + "/QuilletLog.txt", &text);
    return text;
  }

  PosixFileSystem disk;
  testing::CompanionRoot dev;
  std::unique_ptr<LoadedLibrary> deviceLibrary;
  std::unique_ptr<testing::QuoteSimProcess> sim;
  IReplStore* store = nullptr;
  HREPLFLD folder = nullptr;
  desk::IReplObjHandler* handler = nullptr;
};

TEST_F(ProviderRunTest, FivePacketsOfTheSameBytesRunTheUpdate) {
  DeskSettings s = LoadDeskSettings(*desk.ctx, dir);
  s.BackupTime = 1;  // export at every run
  ASSERT_EQ(SaveDeskSettings(*desk.ctx, dir, s), 0);
  Open();
  store->ReportStatus(nullptr, nullptr, RSC_BEGIN_SYNC, 0);
  HREPLITEM item = nullptr;
  BOOL exist = 0;
  ASSERT_EQ(store->FindFirstItem(folder, &item, &exist), S_OK);
  ASSERT_TRUE(exist);
  std::vector<std::string> packets;
  EXPECT_EQ(Exchange(item, &packets), (std::vector<HRESULT>{0, 0, 0, 0, kLastPacket}));
  ASSERT_EQ(packets.size(), 5u);
  for (const std::string& p : packets) EXPECT_EQ(p, std::string("\x39\x30\x00\x00", 4));
  store->ReportStatus(nullptr, nullptr, RSC_END_SYNC, 0);
  store->FreeObject(item);
  const std::string log = LogFile();
  EXPECT_NE(log.find("Quillet log started"), std::string::npos) << log;
  EXPECT_NE(log.find("Quillet log ended"), std::string::npos) << log;
  auto saved = dev.LoadSaved();
  ASSERT_FALSE(saved->stocks.empty());
  // The seeded price of A was 7; the simulator's is 81.5.
  bool updated = false;
  for (const auto& r : saved->stocks) {
    if (r->Symbol() == "A") updated = FieldText(r->szPrice).starts_with("81.5");
  }
  EXPECT_TRUE(updated);
  EXPECT_NE(LoadDeskSettings(*desk.ctx, dir).ucSyncLastTime, 0u);
  // The run's export step ran too: the stocks as CSV in the working directory.
  std::string csv;
  EXPECT_EQ(disk.ReadAll(dir.hostPath + "/Quillet.csv", &csv), 0);
  EXPECT_NE(csv.find("Alpha"), std::string::npos) << csv;
  Close();
}

TEST_F(ProviderRunTest, ASecondSynchronisationFortySecondsLaterIsNotForced) {
  Open();
  store->ReportStatus(nullptr, nullptr, RSC_BEGIN_SYNC, 0);
  HREPLITEM item = nullptr;
  BOOL exist = 0;
  ASSERT_EQ(store->FindFirstItem(folder, &item, &exist), S_OK);
  ASSERT_TRUE(exist);
  Exchange(item);  // without quotes the run still ends, and its end is the mark
  store->FreeObject(item);
  store->ReportStatus(nullptr, nullptr, RSC_END_SYNC, 0);

  desk.clock.Set(kNow + 40);
  store->ReportStatus(nullptr, nullptr, RSC_BEGIN_SYNC, 0);
  EXPECT_FALSE(Enumerate(store, folder));
  store->ReportStatus(nullptr, nullptr, RSC_END_SYNC, 0);
  desk.clock.Set(kNow + 46);
  store->ReportStatus(nullptr, nullptr, RSC_BEGIN_SYNC, 0);
  EXPECT_TRUE(Enumerate(store, folder));
  Close();
}

TEST_F(ProviderRunTest, AStoreLetGoInTheMiddleOfARunStartsTheHandheldProgramAgain) {
  if (!dev.InstallProgram()) GTEST_SKIP() << "the handheld program is not built";
  ASSERT_TRUE(dev.StartProgram().has_value());
  Open();
  store->ReportStatus(nullptr, nullptr, RSC_BEGIN_SYNC, 0);
  HREPLITEM item = nullptr;
  BOOL exist = 0;
  ASSERT_EQ(store->FindFirstItem(folder, &item, &exist), S_OK);
  desk::REPLSETUP read;
  read.fRead = 1;
  read.hFolder = folder;
  read.hItem = item;
  ASSERT_EQ(handler->Setup(&read), S_OK);  // the program is closed for the run
  EXPECT_FALSE(dev.WaitForProgramWindow(0).has_value());
  BYTE* data = nullptr;
  DWORD size = 0;
  EXPECT_EQ(handler->GetPacket(&data, &size, 0), S_OK);
  // The sync manager goes away without a Reset.
  store->FreeObject(item);
  Close();
  EXPECT_TRUE(dev.WaitForProgramWindow(60000).has_value());
  EXPECT_NE(LogFile().find("Quillet log ended"), std::string::npos);
}

}  // namespace
}  // namespace quillet
