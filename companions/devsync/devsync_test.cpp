// The synchronisation library through its exports: the object type's entry points and handler
// as the sync service calls them, and the two remote calls on a root where the handheld program
// runs (closed, waited for and started again) or does not.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>

#include "companions/testing/companion_test_support.h"
#include "core/registry/registry_store.h"
#include "device/resource_ids.h"
#include "platform/codepage.h"
#include "platform/linux/process.h"
#include "platform/repl_device.h"

namespace quillet {
namespace {

constexpr char kStockFile[] = "\\Program Files\\Quillet\\QuilletDB";

class SyncLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library = fx.Load("QuilletPPC", "\\Windows\\QuilletPPC.dll");
    ASSERT_NE(library, nullptr);
    initObjType = library->Proc<InitObjTypeProc>("InitObjType");
    objectNotify = library->Proc<ObjectNotifyProc>("ObjectNotify");
    getObjTypeInfo = library->Proc<GetObjTypeInfoProc>("GetObjTypeInfo");
    reportStatus = library->Proc<ReportStatusProc>("ReportStatus");
    start = library->Proc<RapiInvokeProc>("NotifyQuilletStart");
    end = library->Proc<RapiInvokeProc>("NotifyQuilletEnd");
    ASSERT_TRUE(initObjType && objectNotify && getObjTypeInfo && reportStatus && start && end);
  }
  void TearDown() override { ASSERT_EQ(fx.boxes.shown().size(), 0u); }

  IReplObjHandler* NewHandler() {
    IReplObjHandler* handler = nullptr;
    EXPECT_EQ(initObjType(u"Quillet", &handler, 1), 1);
    EXPECT_NE(handler, nullptr);
    return handler;
  }
  // The answer of NotifyQuilletStart as its bytes.
  std::vector<BYTE> Start(DWORD inputSize = 4) {
    BYTE input[4] = {0, 0, 0, 0};
    DWORD size = 99;
    BYTE* output = reinterpret_cast<BYTE*>(&size);  // must be replaced
    EXPECT_EQ(start(inputSize, inputSize ? input : nullptr, &size, &output, nullptr), 1);
    std::vector<BYTE> bytes;
    if (output) bytes.assign(output, output + size);
    LocalFree(output);
    return bytes;
  }
  void End(std::vector<BYTE> input) {
    DWORD size = 99;
    BYTE* output = reinterpret_cast<BYTE*>(&size);
    EXPECT_EQ(end(static_cast<DWORD>(input.size()), input.empty() ? nullptr : input.data(), &size,
                  &output, nullptr),
              1);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(output, nullptr);
  }
  void WriteStockFile() {
    std::filesystem::create_directories(
        std::filesystem::path(fx.HostPath(kStockFile)).parent_path());
    std::ofstream(fx.HostPath(kStockFile)) << "stocks";
  }

  testing::CompanionRoot fx;
  std::unique_ptr<LoadedLibrary> library;
  InitObjTypeProc initObjType = nullptr;
  ObjectNotifyProc objectNotify = nullptr;
  GetObjTypeInfoProc getObjTypeInfo = nullptr;
  ReportStatusProc reportStatus = nullptr;
  RapiInvokeProc start = nullptr;
  RapiInvokeProc end = nullptr;
};

TEST_F(SyncLibraryTest, TheObjectTypeIsQuilletAlone) {
  EXPECT_EQ(initObjType(nullptr, nullptr, 0), 1) << "the unload call";
  IReplObjHandler* handler = nullptr;
  EXPECT_EQ(initObjType(u"Contacts", &handler, 1), 0);
  EXPECT_EQ(handler, nullptr);
  EXPECT_EQ(initObjType(u"Quillet", nullptr, 1), 0) << "nowhere to put the handler";
  handler = NewHandler();
  ASSERT_NE(handler, nullptr);
  EXPECT_EQ(handler->Release(), 0u);
  EXPECT_EQ(reportStatus(u"Quillet", 1, 0), 1);

  OBJTYPEINFO info;
  info.cbStruct = sizeof info;
  CopyToField(info.szObjType, u"Contacts");
  EXPECT_EQ(getObjTypeInfo(&info), 0);
  EXPECT_EQ(getObjTypeInfo(nullptr), 0);
  CopyToField(info.szObjType, u"Quillet");
  ASSERT_EQ(getObjTypeInfo(&info), 1);
  EXPECT_EQ(std::u16string(info.szName), u"\\Program Files\\Quillet\\QuilletDB");
  EXPECT_EQ(info.cObjects, 0u);
  EXPECT_EQ(info.cbAllObj, 4u);
  EXPECT_EQ(info.ftLastModified.dwLowDateTime, 4321u);
  EXPECT_EQ(info.ftLastModified.dwHighDateTime, 1234u);
}

TEST_F(SyncLibraryTest, TheHandlerAnswersOnlyForItsOwnInterfaces) {
  IReplObjHandler* handler = NewHandler();
  void* object = nullptr;
  ASSERT_EQ(handler->QueryInterface(IID_IUnknown, &object), S_OK);
  EXPECT_EQ(object, static_cast<void*>(handler));
  ASSERT_EQ(handler->QueryInterface(IID_IReplObjHandler, &object), S_OK);
  EXPECT_EQ(object, static_cast<void*>(handler));
  const GUID other = {0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};
  object = handler;
  EXPECT_EQ(handler->QueryInterface(other, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(handler->QueryInterface(IID_IUnknown, nullptr), E_INVALIDARG);
  // Two references were handed out: three releases end it.
  EXPECT_EQ(handler->Release(), 2u);
  EXPECT_EQ(handler->Release(), 1u);
  EXPECT_EQ(handler->Release(), 0u);
}

TEST_F(SyncLibraryTest, AnExchangeIsFivePacketsOfFourBytes) {
  IReplObjHandler* handler = NewHandler();
  EXPECT_EQ(handler->Setup(nullptr), E_INVALIDARG);
  EXPECT_EQ(handler->Reset(nullptr), E_INVALIDARG);
  EXPECT_EQ(handler->DeleteObj(nullptr), E_INVALIDARG);
  REPLSETUP read;
  read.cbStruct = sizeof read;
  read.fRead = 1;
  for (int exchange = 0; exchange < 2; ++exchange) {
    ASSERT_EQ(handler->Setup(&read), S_OK);
    for (int packet = 0; packet < 5; ++packet) {
      BYTE* data = nullptr;
      DWORD size = 0;
      EXPECT_EQ(handler->GetPacket(&data, &size, 1024), packet < 4 ? S_OK : RWRN_LAST_PACKET)
          << "exchange " << exchange << " packet " << packet;
      EXPECT_NE(data, nullptr);
      EXPECT_EQ(size, 4u);
    }
  }
  BYTE* data = nullptr;
  DWORD size = 0;
  EXPECT_EQ(handler->GetPacket(nullptr, &size, 0), E_INVALIDARG);
  EXPECT_EQ(handler->GetPacket(&data, nullptr, 0), E_INVALIDARG);
  EXPECT_EQ(handler->Reset(&read), S_OK);
  EXPECT_EQ(handler->DeleteObj(&read), S_OK);
  handler->Release();
}

TEST_F(SyncLibraryTest, AWrittenPacketNamesTheStockFileOrFailsAsTheFileSearchDoes) {
  IReplObjHandler* handler = NewHandler();
  REPLSETUP write;
  write.cbStruct = sizeof write;
  write.fRead = 0;
  ASSERT_EQ(handler->Setup(&write), S_OK);
  BYTE packet[4] = {1, 2, 3, 4};
  EXPECT_EQ(handler->SetPacket(nullptr, 4), E_INVALIDARG);
  EXPECT_EQ(handler->SetPacket(packet, 4), static_cast<HRESULT>(0x80070002u));
  EXPECT_EQ(write.oidNew, 0u);
  WriteStockFile();
  ASSERT_EQ(handler->SetPacket(packet, 4), S_OK);
  struct stat st {};
  ASSERT_EQ(::stat(fx.HostPath(kStockFile).c_str(), &st), 0);
  EXPECT_EQ(write.oidNew, static_cast<CEOID>(st.st_ino & 0xFFFFFFFFu));
  // A packet before any write setup: nowhere to report the object, and nothing breaks.
  IReplObjHandler* fresh = NewHandler();
  EXPECT_EQ(fresh->SetPacket(packet, 4), S_OK);
  fresh->Release();
  handler->Release();
}

TEST_F(SyncLibraryTest, NotificationsAreNeverReplicatedAndOnlyTheStockFilesIsLookedAt) {
  auto notify = [] {
    OBJNOTIFY n;
    n.cbStruct = kObjNotifySize;
    CopyToField(n.szObjType, u"Quillet");
    n.uFlags = ONF_FILE | ONF_CHANGED;
    n.oidObject = 4711;
    CopyToField(n.oidInfo.infFile.szFileName, u"\\program files\\QUILLET\\quilletdb");
    n.cOidChg = 7;
    n.cOidDel = 8;
    return n;
  };
  OBJNOTIFY n = notify();
  EXPECT_EQ(objectNotify(&n), 0);
  EXPECT_EQ(n.cOidChg, 0u);
  EXPECT_EQ(n.cOidDel, 0u);
  ASSERT_NE(n.poid, nullptr);
  UINT* list = n.poid;
  EXPECT_EQ(list[0], 4711u);

  // Ignored: an older, shorter record; another type; a clear; a directory; another file.
  std::vector<OBJNOTIFY> ignored(5, notify());
  ignored[0].cbStruct = kObjNotifySize - 1;
  CopyToField(ignored[1].szObjType, u"Contacts");
  ignored[2].uFlags = 0x40 | ONF_FILE;
  ignored[3].uFlags = ONF_DIRECTORY;
  CopyToField(ignored[4].oidInfo.infFile.szFileName, u"\\Program Files\\Quillet\\StockNoteDB");
  for (OBJNOTIFY& other : ignored) {
    other.oidObject = 99;
    EXPECT_EQ(objectNotify(&other), 0);
    EXPECT_EQ(other.cOidChg, 7u);
    EXPECT_EQ(other.poid, nullptr);
  }
  EXPECT_EQ(objectNotify(nullptr), 0);
  // The list handed out earlier is still there and still names the stock file.
  EXPECT_EQ(list[0], 4711u);
}

// The service's records carry names in fixed fields; a name that fills its field has no end
// mark, and nothing after the field may be read as part of it. Each record sits at the very end
// of its allocation with every byte after the name set, so reading on would leave the block.
TEST_F(SyncLibraryTest, NamesThatFillTheirFieldsAreReadNoFurther) {
  auto atEnd = [](auto* record) {
    std::memset(static_cast<void*>(record), 0x51, sizeof *record);
    return record;
  };
  auto infoBytes = std::make_unique<unsigned char[]>(sizeof(OBJTYPEINFO));
  OBJTYPEINFO* info = atEnd(new (infoBytes.get()) OBJTYPEINFO);
  info->cbStruct = sizeof(OBJTYPEINFO);
  EXPECT_EQ(getObjTypeInfo(info), 0);

  auto notifyBytes = std::make_unique<unsigned char[]>(sizeof(OBJNOTIFY));
  OBJNOTIFY* notify = atEnd(new (notifyBytes.get()) OBJNOTIFY);
  notify->cbStruct = kObjNotifySize;
  EXPECT_EQ(objectNotify(notify), 0);  // a type name with no end
  CopyToField(notify->szObjType, u"Quillet");
  notify->uFlags = ONF_FILE | ONF_CHANGED;
  const std::u16string stockFile = u"\\Program Files\\Quillet\\QuilletDB";
  std::copy(stockFile.begin(), stockFile.end(), notify->oidInfo.infFile.szFileName);
  EXPECT_EQ(objectNotify(notify), 0);  // the stock file's name, then more to the brim
  EXPECT_EQ(notify->cOidChg, 0x51515151u) << "another file than the stock file";
}

TEST_F(SyncLibraryTest, WithoutTheProgramTheStartAnswersZeroAndTheEndStartsNothing) {
  fx.InstallRecorder(testing::kProgramPath);
  EXPECT_EQ(Start(), (std::vector<BYTE>{0, 0, 0, 0}));
  EXPECT_EQ(Start(0), (std::vector<BYTE>{0, 0, 0, 0})) << "a Smartphone sends nothing";
  End({0, 0, 0, 0});
  // Fewer than four bytes count as zero, whatever they hold.
  End({1});
  End({1, 1, 1});
  End({});
  // Then one that does start: it is the only start there was.
  End({0, 0, 1, 0});
  EXPECT_EQ(fx.WaitForStarts(1), std::vector<std::string>{"/Program Files/Quillet/Quillet.exe"});
}

TEST_F(SyncLibraryTest, TheEndStartsTheProgramAtProgramPath) {
  fx.InstallRecorder("\\Storage\\Quillet.exe");
  RegistryStore reg(fx.ctx().registry());
  reg.SetProductKey(u"Quillet");
  reg.SetString(u"ProgramPath", u"\\Storage\\Quillet.exe");
  End({1, 0, 0, 0});
  EXPECT_EQ(fx.WaitForStarts(1), std::vector<std::string>{"/Storage/Quillet.exe"});
}

TEST_F(SyncLibraryTest, NoMemoryForTheAnswerGivesAnEmptyAnswer) {
  fx.environment.localAlloc = [](std::size_t) -> void* { return nullptr; };
  library.reset();
  library = fx.Load("QuilletPPC", "\\Windows\\QuilletPPC.dll");
  start = library->Proc<RapiInvokeProc>("NotifyQuilletStart");
  DWORD size = 99;
  BYTE* output = reinterpret_cast<BYTE*>(&size);
  BYTE input[4] = {};
  EXPECT_EQ(start(4, input, &size, &output, nullptr), 1);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(output, nullptr);
}

// ---- With the program running ----------------------------------------------------------------

class SyncWithProgramTest : public SyncLibraryTest {
 protected:
  void SetUp() override {
    SyncLibraryTest::SetUp();
    if (!fx.InstallProgram()) GTEST_SKIP() << "the handheld program is not built";
    fx.SeedData();
  }
};

TEST_F(SyncWithProgramTest,
       TheStartAnswersOneOnlyOnceTheProgramHasSavedAndEndedEvenWithAQuestionOpen) {
  auto program = fx.StartProgram();
  ASSERT_TRUE(program) << "the program's window did not appear";
  // A window of another program that carries the same title must not be asked to close.
  std::vector<UINT> decoyGot;
  HWND decoy = fx.station.CreateWindow("Quillet", "Dialog", "\\Windows\\other.exe",
                                       [&](const WindowMessage& m) {
                                         decoyGot.push_back(m.msg);
                                         return 0;
                                       });
  ASSERT_NE(decoy, 0u);
  // "Delete ALL Stocks" asks its question and waits for the user.
  ASSERT_TRUE(fx.station.PostMessage(program->hwnd, WM_COMMAND, ID_DELETE_ALL, 0));
  EXPECT_EQ(Start(), (std::vector<BYTE>{1, 0, 0, 0}));
  EXPECT_FALSE(ProcessRunning(program->pid)) << "the answer came before the program had ended";
  fx.station.PumpFor(0);
  EXPECT_TRUE(decoyGot.empty());
  auto saved = fx.LoadSaved();
  EXPECT_EQ(saved->stocks.size(), 2u) << "the question was answered No";
  EXPECT_EQ(saved->notes.size(), 1u);
  EXPECT_EQ(saved->alerts.size(), 1u);

  // The end call with that answer starts it again.
  End({1, 0, 0, 0});
  auto again = fx.WaitForProgramWindow(60000);
  ASSERT_TRUE(again) << "the program was not started again";
  EXPECT_NE(again->pid, program->pid);
  fx.station.DestroyWindow(decoy);
}

TEST_F(SyncWithProgramTest, TheProgramIsFoundByItsPathInAnyCase) {
  RegistryStore reg(fx.ctx().registry());
  auto program = fx.StartProgram();
  ASSERT_TRUE(program);
  reg.SetProductKey(u"Quillet");
  reg.SetString(u"ProgramPath", u"\\PROGRAM FILES\\quillet\\QUILLET.EXE");
  EXPECT_EQ(Start(), (std::vector<BYTE>{1, 0, 0, 0}));
  EXPECT_FALSE(ProcessRunning(program->pid));
  // The handheld's file names ignore case too: the path as written starts the program.
  End({1, 0, 0, 0});
  auto again = fx.WaitForProgramWindow(60000);
  ASSERT_TRUE(again) << "the program was not started again";
  EXPECT_NE(again->pid, program->pid);
}

}  // namespace
}  // namespace quillet
