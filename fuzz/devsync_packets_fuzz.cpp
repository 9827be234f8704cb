// The handheld's sync library takes calls from the sync service in whatever order the service
// and the desktop at the other end bring them: packets of any size, set-ups and resets, object
// notifications naming any file with any flags, and the desktop's two remote calls with any
// input. The input is a little program: each byte picks a call, the bytes after it its
// arguments. The library is linked into this program and reached through its exports only.
//
// What must hold whatever the order: a handler sends four packets and then its last one, each
// numbered, and counts again after a set-up; a packet received is answered with the stock file's
// object identifier in the write set-up when the file is there, with an error when it is not;
// a notification is never asked to replicate, and points its list at the object only for the
// stock file; the type information names the stock file; the remote calls answer 4 zero bytes
// or nothing and never start a program here (no services are handed over).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/linux/file_object_id.h"
#include "platform/linux/module.h"
#include "platform/repl_device.h"
#include "platform/roots.h"
#include "platform/testing/test_support.h"

using quillet::BOOL;
using quillet::BYTE;
using quillet::DWORD;
using quillet::UINT;

extern "C" {
void QuilletModuleAttach(const quillet::ModuleEnvironment* environment);
BOOL InitObjType(const char16_t* objType, quillet::IReplObjHandler** handler, UINT partnerBit);
BOOL ObjectNotify(quillet::OBJNOTIFY* notify);
BOOL GetObjTypeInfo(quillet::OBJTYPEINFO* info);
int NotifyQuilletStart(DWORD inputSize, BYTE* input, DWORD* outputSize, BYTE** output,
                       void* stream);
int NotifyQuilletEnd(DWORD inputSize, BYTE* input, DWORD* outputSize, BYTE** output, void* stream);
}

namespace {

using namespace quillet;

constexpr char kStockFile[] = "\\Program Files\\Quillet\\QuilletDB";

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// Two device roots made once: one with the stock file, one without.
struct Roots {
  testing::TempDir withFile;
  testing::TempDir empty;
  CEOID stockOid = 0;
  Roots() {
    const std::string path = *MapDevicePath(withFile.path(), kStockFile);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << "stocks";
    Check(FindFileObjectId(path, &stockOid) == ERROR_SUCCESS);
  }
};

Roots& TheRoots() {
  static Roots roots;
  return roots;
}

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return at_ >= size_; }
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint32_t Dword() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(Byte()) << (8 * i);
    return value;
  }
  // A length byte, then that many bytes (fewer at the input's end).
  std::string Bytes() {
    std::size_t n = Byte();
    n = std::min(n, size_ - std::min(at_, size_));
    std::string out(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return out;
  }
  // A name of up to `capacity - 1` characters, always terminated, as the service hands its
  // names over: a length byte, then one byte per character (widened), or with the length's top
  // bit set two bytes per character (little-endian), so that any UTF-16 unit comes, lone
  // surrogates too.
  void Name(char16_t* field, std::size_t capacity) {
    const std::uint8_t length = Byte();
    const bool wide = (length & 0x80) != 0;
    const std::size_t n = std::min<std::size_t>(wide ? length & 0x7F : length, capacity - 1);
    std::size_t i = 0;
    for (; i < n && !empty(); ++i) {
      field[i] = Byte();
      if (wide) field[i] = static_cast<char16_t>(field[i] | Byte() << 8);
    }
    field[i] = 0;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

bool IsStockFile(const char16_t* name) { return EqualNoCase(Utf16ToUtf8(name), kStockFile); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Roots& roots = TheRoots();
  ModuleEnvironment environment;
  environment.root = roots.withFile.path();
  QuilletModuleAttach(&environment);
  bool fileThere = true;

  Reader in(data, size);
  IReplObjHandler* handler = nullptr;
  REPLSETUP setups[2];
  REPLSETUP* writeSetup = nullptr;  // the handler's, as its set-ups made it
  int packets = 0;
  for (int steps = 0; !in.empty() && steps < 64; ++steps) {
    const std::uint8_t op = in.Byte();
    switch (op % 10) {
      case 0: {  // the library loaded on another root
        const std::uint8_t which = in.Byte();
        environment.root = (which & 2)   ? std::string()
                           : (which & 1) ? roots.empty.path()
                                         : roots.withFile.path();
        fileThere = (which & 3) == 0;
        QuilletModuleAttach(&environment);
        break;
      }
      case 1: {  // a handler for a named type, or the unload call
        char16_t name[MAX_OBJTYPE_NAME] = {};
        in.Name(name, MAX_OBJTYPE_NAME);
        if (op & 0x80) {
          Check(InitObjType(nullptr, nullptr, 0) == 1);
          break;
        }
        IReplObjHandler* next = nullptr;
        const BOOL ok = InitObjType(name, &next, in.Byte());
        Check(ok == (std::u16string_view(name) == u"Quillet" ? 1 : 0));
        Check((ok != 0) == (next != nullptr));
        if (next) {
          if (handler) handler->Release();
          handler = next;
          writeSetup = nullptr;
          packets = 0;
        }
        break;
      }
      case 2:
      case 3:
      case 6: {  // a set-up, a reset or a deletion, on one of two records or none
        if (!handler) break;
        const std::uint8_t arg = in.Byte();
        REPLSETUP* setup = (arg & 3) == 3 ? nullptr : &setups[arg & 1];
        if (setup) {
          setup->fRead = (arg & 4) ? 1 : 0;
          setup->dwFlags = in.Byte();
          setup->oid = in.Dword();
          setup->oidNew = 0;
        }
        HRESULT hr = 0;
        if (op % 10 == 2) {
          hr = handler->Setup(setup);
          if (setup) {
            if (!setup->fRead) writeSetup = setup;
            packets = 0;
          }
        } else {
          hr = op % 10 == 3 ? handler->Reset(setup) : handler->DeleteObj(setup);
        }
        Check(hr == (setup ? S_OK : E_INVALIDARG));
        break;
      }
      case 4: {  // the next packet out
        if (!handler) break;
        BYTE* packet = nullptr;
        DWORD length = 0;
        const HRESULT hr = (op & 0x80) ? handler->GetPacket(nullptr, &length, in.Dword())
                                       : handler->GetPacket(&packet, &length, in.Dword());
        if (op & 0x80) {
          Check(hr == E_INVALIDARG);
          break;
        }
        Check(packet != nullptr && length == 4);
        DWORD number = 0;
        std::memcpy(&number, packet, 4);
        Check(number == static_cast<DWORD>(packets));
        Check(hr == (packets < 4 ? S_OK : RWRN_LAST_PACKET));
        ++packets;
        break;
      }
      case 5: {  // a packet in, of any size
        if (!handler) break;
        std::string bytes = in.Bytes();
        BYTE* packet = (op & 0x80) ? nullptr : reinterpret_cast<BYTE*>(bytes.data());
        if (writeSetup) writeSetup->oidNew = 0;
        const HRESULT hr = handler->SetPacket(packet, static_cast<DWORD>(bytes.size()));
        if (!packet) {
          Check(hr == E_INVALIDARG);
        } else if (fileThere) {
          Check(hr == S_OK);
          if (writeSetup) Check(writeSetup->oidNew == roots.stockOid);
        } else {
          Check(hr < 0);
          if (writeSetup) Check(writeSetup->oidNew == 0);
        }
        break;
      }
      case 7: {  // an object notification
        OBJNOTIFY notify;
        const std::uint8_t sizeChoice = in.Byte();
        notify.cbStruct = (sizeChoice & 1) ? kObjNotifySize : sizeChoice * 4u;
        in.Name(notify.szObjType, MAX_OBJTYPE_NAME);
        notify.uFlags = in.Byte();
        notify.oidObject = in.Dword();
        in.Name(notify.oidInfo.infFile.szFileName, MAX_PATH);
        notify.cOidChg = 7;
        notify.cOidDel = 7;
        Check(ObjectNotify(&notify) == 0);
        const bool ours = notify.cbStruct >= kObjNotifySize &&
                          std::u16string_view(notify.szObjType) == u"Quillet" &&
                          (notify.uFlags & ONF_CLEAR) == 0 && (notify.uFlags & ONF_FILE) != 0 &&
                          IsStockFile(notify.oidInfo.infFile.szFileName);
        if (ours) {
          Check(notify.cOidChg == 0 && notify.cOidDel == 0);
          Check(notify.poid != nullptr && notify.poid[0] == notify.oidObject);
        } else {
          Check(notify.cOidChg == 7 && notify.cOidDel == 7 && notify.poid == nullptr);
        }
        break;
      }
      case 8: {  // the type's information
        OBJTYPEINFO info;
        in.Name(info.szObjType, MAX_OBJTYPE_NAME);
        const BOOL ok = GetObjTypeInfo(&info);
        Check(ok == (std::u16string_view(info.szObjType) == u"Quillet" ? 1 : 0));
        if (ok) Check(IsStockFile(info.szName));
        break;
      }
      case 9: {  // the desktop's remote calls, with any input
        std::string input = in.Bytes();
        BYTE* bytes =
            input.empty() && (op & 0x40) ? nullptr : reinterpret_cast<BYTE*>(input.data());
        DWORD outputSize = 99;
        BYTE* output = reinterpret_cast<BYTE*>(&outputSize);
        if (op & 0x80) {
          Check(NotifyQuilletEnd(static_cast<DWORD>(input.size()), bytes, &outputSize, &output,
                                 nullptr) == 1);
          Check(outputSize == 0 && output == nullptr);
        } else {
          Check(NotifyQuilletStart(static_cast<DWORD>(input.size()), bytes, &outputSize, &output,
                                   nullptr) == 1);
          Check(outputSize == 4 && output != nullptr);
          Check(output[0] == 0 && output[1] == 0 && output[2] == 0 && output[3] == 0);
          LocalFree(output);
        }
        break;
      }
    }
  }
  if (handler) handler->Release();
  return 0;
}
