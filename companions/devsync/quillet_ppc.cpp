// QuilletPPC: the handheld half of the synchronisation object type "Quillet". The service loads
// it through the four object-type exports; the library replicates nothing of its own, its packet
// exchange only carries the heartbeat that drives the desktop's update run. The desktop calls
// NotifyQuilletStart before its run, to close the handheld program so that the data files can be
// rewritten, and NotifyQuilletEnd afterwards, to start the program again if it had been running.
#include <atomic>
#include <cstring>
#include <memory>
#include <string>

#include "companions/program_control.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/linux/file_object_id.h"
#include "platform/linux/module.h"
#include "platform/repl_device.h"
#include "platform/roots.h"

namespace quillet {
namespace {

constexpr char16_t kObjectTypeName[] = u"Quillet";
constexpr char16_t kStockFilePath[] = u"\\Program Files\\Quillet\\QuilletDB";

// What the library holds for as long as it is loaded. The service and the remote call service
// reach it through exports that carry no context, so the loader's environment is kept here; the
// changed-object list handed to the service must outlive the notification that set it.
struct SyncModule {
  ModuleEnvironment environment;
  UINT changedObjects[1] = {0};
};

SyncModule& Module() {
  static SyncModule module;
  return module;
}

// The text of a fixed field the sync service filled: up to its first NUL, and never past the
// field's end when the service filled it to the brim.
template <std::size_t N>
std::u16string_view FieldView(const char16_t (&field)[N]) {
  std::size_t length = 0;
  while (length < N && field[length] != u'\0') ++length;
  return std::u16string_view(field, length);
}

// The object handler of one exchange: five packets of heartbeat out, and the stock file's
// object identifier as the written object.
class CQuilletHandler final : public ComObject<IReplObjHandler, IID_IReplObjHandler> {
 public:
  HRESULT Setup(REPLSETUP* setup) override {
    if (!setup) return E_INVALIDARG;
    (setup->fRead ? readSetup_ : writeSetup_) = setup;
    packets_ = 0;
    return S_OK;
  }
  HRESULT Reset(REPLSETUP* setup) override { return setup ? S_OK : E_INVALIDARG; }
  HRESULT DeleteObj(REPLSETUP* setup) override { return setup ? S_OK : E_INVALIDARG; }

  HRESULT GetPacket(BYTE** data, DWORD* size, DWORD /*recommendedSize*/) override {
    if (!data || !size) return E_INVALIDARG;
    // The packet's content means nothing to the desktop; its number helps reading a trace.
    const DWORD number = static_cast<DWORD>(packets_);
    std::memcpy(packet_, &number, sizeof packet_);
    *data = packet_;
    *size = sizeof packet_;
    return packets_++ < 4 ? S_OK : RWRN_LAST_PACKET;
  }

  HRESULT SetPacket(BYTE* data, DWORD /*size*/) override {
    if (!data) return E_INVALIDARG;
    std::optional<std::string> host =
        MapDevicePath(Module().environment.root, Utf16ToUtf8(kStockFilePath));
    CEOID oid = 0;
    LONG rc = host ? FindFileObjectId(*host, &oid) : ERROR_PATH_NOT_FOUND;
    if (rc != ERROR_SUCCESS) return static_cast<HRESULT>(0x80070000u | static_cast<DWORD>(rc));
    // Without a write setup (a packet before any Setup) there is nowhere to report it.
    if (writeSetup_) writeSetup_->oidNew = oid;
    return S_OK;
  }

 private:
  ~CQuilletHandler() override = default;
  REPLSETUP* readSetup_ = nullptr;
  REPLSETUP* writeSetup_ = nullptr;
  // Counted per handler: one handler serves one exchange, and two exchanges never share a count.
  int packets_ = 0;
  BYTE packet_[4] = {};
};

// The object types this library serves: a table of one.
class CObjectType {
 public:
  virtual ~CObjectType() = default;
  virtual std::u16string_view Name() const = 0;
  virtual IReplObjHandler* CreateHandler() const = 0;
  virtual void CleanUp() {}
  virtual void Notify(OBJNOTIFY& notify) const = 0;
  virtual void TypeInfo(OBJTYPEINFO& info) const = 0;
};

class CQuilletObjType final : public CObjectType {
 public:
  std::u16string_view Name() const override { return kObjectTypeName; }
  IReplObjHandler* CreateHandler() const override { return new CQuilletHandler(); }
  void Notify(OBJNOTIFY& notify) const override {
    if (notify.uFlags & ONF_CLEAR) return;
    if ((notify.uFlags & ONF_FILE) == 0) return;
    const std::string name = Utf16ToUtf8(FieldView(notify.oidInfo.infFile.szFileName));
    if (!EqualNoCase(name, Utf16ToUtf8(kStockFilePath))) return;
    // Nothing is reported as changed or deleted; the list points at the stock file all the same.
    notify.cOidChg = 0;
    notify.cOidDel = 0;
    Module().changedObjects[0] = notify.oidObject;
    notify.poid = Module().changedObjects;
  }
  void TypeInfo(OBJTYPEINFO& info) const override {
    CopyToField(info.szName, kStockFilePath);
    info.cObjects = 0;
    info.cbAllObj = 4;
    info.ftLastModified = FILETIME{4321, 1234};
  }
};

CObjectType* FindObjectType(std::u16string_view name) {
  static CQuilletObjType quillet;
  static CObjectType* const table[] = {&quillet};
  for (CObjectType* type : table) {
    if (name == type->Name()) return type;
  }
  return nullptr;
}

}  // namespace
}  // namespace quillet

using namespace quillet;

QUILLET_EXPORT void QuilletModuleAttach(const ModuleEnvironment* environment) {
  if (environment) Module().environment = *environment;
}

QUILLET_EXPORT BOOL InitObjType(const char16_t* objType, IReplObjHandler** handler,
                                UINT /*partnerBit*/) {
  if (!objType) return 1;  // the unload call
  CObjectType* type = FindObjectType(std::u16string_view(objType));
  if (!type || !handler) return 0;
  *handler = type->CreateHandler();
  return *handler ? 1 : 0;
}

QUILLET_EXPORT BOOL ObjectNotify(OBJNOTIFY* notify) {
  // The library never asks the service to replicate anything.
  if (!notify || notify->cbStruct < kObjNotifySize) return 0;
  if (CObjectType* type = FindObjectType(FieldView(notify->szObjType))) type->Notify(*notify);
  return 0;
}

QUILLET_EXPORT BOOL GetObjTypeInfo(OBJTYPEINFO* info) {
  if (!info) return 0;
  CObjectType* type = FindObjectType(FieldView(info->szObjType));
  if (!type) return 0;
  type->TypeInfo(*info);
  return 1;
}

QUILLET_EXPORT BOOL ReportStatus(const char16_t* /*objType*/, UINT /*code*/, UINT /*param*/) {
  return 1;
}

// Input: nothing, or 4 zero bytes. Answer: 4 bytes, 1 (little-endian) when the program was
// running and has now saved and ended, else 0.
QUILLET_EXPORT int NotifyQuilletStart(DWORD /*inputSize*/, BYTE* /*input*/, DWORD* outputSize,
                                      BYTE** output, void* /*stream*/) {
  const ModuleEnvironment& environment = Module().environment;
  DWORD result = 0;
  if (auto ctx = OpenLibraryContext(environment)) {
    const std::u16string programPath = ReadProgramPath(ctx->registry());
    WindowStation station(environment.root);
    if (CloseProgramAndWait(station, programPath) != ProgramClose::kNotRunning) result = 1;
  }
  if (outputSize) *outputSize = 0;
  if (output) *output = nullptr;
  if (!outputSize || !output) return 1;
  auto* answer = static_cast<BYTE*>(environment.localAlloc ? environment.localAlloc(4) : nullptr);
  if (!answer) return 1;  // no memory for the answer: an empty answer, never a write through null
  for (int i = 0; i < 4; ++i) answer[i] = static_cast<BYTE>(result >> (8 * i));
  *output = answer;
  *outputSize = 4;
  return 1;
}

// Input: the 4 bytes the start call answered. Starts the program again when they are not all
// zero; an input shorter than 4 bytes counts as zero.
QUILLET_EXPORT int NotifyQuilletEnd(DWORD inputSize, BYTE* input, DWORD* outputSize, BYTE** output,
                                    void* /*stream*/) {
  if (outputSize) *outputSize = 0;
  if (output) *output = nullptr;
  bool wasRunning = false;
  if (input && inputSize >= 4) {
    wasRunning = input[0] != 0 || input[1] != 0 || input[2] != 0 || input[3] != 0;
  }
  if (!wasRunning) return 1;
  const ModuleEnvironment& environment = Module().environment;
  if (auto ctx = OpenLibraryContext(environment)) {
    StartProgram(environment.root, ReadProgramPath(ctx->registry()));
  }
  return 1;
}
