// The sync manager keeps the provider's folder and item handles as bytes between sessions and
// hands them back to be turned into objects again; those bytes come from its own files, which
// may be damaged or written by another version. The input is a list of records, each a 16-bit
// little-endian byte count and that many bytes (cut at the input's end), each handed over in a
// buffer of exactly its count so that a read past it is caught.
//
// Every object accepted must go back to bytes of its kind's size that read the same: the kind
// kept, the name ending inside its 260 bytes and equal to the one given up to its end, an item's
// time stamp kept, a folder only of the provider's own name. The accepted objects are then
// compared, copied and updated in every pair, as the manager does with its stored copies.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "desktop/provider/quillet_store.h"
#include "platform/context.h"
#include "platform/testing/test_support.h"

namespace {

using namespace quillet;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// One store on one desktop root for the whole run, with its folder handle.
struct Provider {
  testing::TempDir dir;
  HostServices host{EnvironmentSettings{}};
  std::unique_ptr<PlatformContext> ctx =
      PlatformContext::Open(PlatformContext::Kind::kDesktop, dir.path(), host.services());
  CQuilletStore* store = nullptr;
  HREPLFLD folder = nullptr;
  IUnknown* handler = nullptr;
  Provider() {
    Check(ctx != nullptr);
    store = new CQuilletStore(*ctx);
    Check(store->GetFolderInfo(kQuilletObjType, &folder, &handler) == S_OK);
    Check(folder != nullptr);
  }
};

Provider& Root() {
  static Provider* provider = new Provider();  // kept to the end: the store outlives every input
  return *provider;
}

std::uint32_t Dword(const BYTE* p) {
  return p[0] | static_cast<std::uint32_t>(p[1]) << 8 | static_cast<std::uint32_t>(p[2]) << 16 |
         static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint64_t Stamp(const BYTE* record) {
  return Dword(record + 264) | static_cast<std::uint64_t>(Dword(record + 268)) << 32;
}

// The bytes of an object, through the store's two-call protocol (size first).
std::vector<BYTE> BytesOf(CQuilletStore& store, HREPLOBJ object) {
  const UINT size = store.ObjectToBytes(object, nullptr);
  Check(size == kFolderBytes || size == kItemBytes);
  std::vector<BYTE> out(size, 0xCD);
  Check(store.ObjectToBytes(object, out.data()) == size);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Provider& p = Root();
  CQuilletStore& store = *p.store;

  struct Accepted {
    HREPLOBJ object;
    std::vector<BYTE> bytes;  // as ObjectToBytes gave them
  };
  std::vector<Accepted> objects;
  std::size_t at = 0;
  while (at + 2 <= size && objects.size() < 6) {
    const std::size_t count = std::min<std::size_t>(data[at] | data[at + 1] << 8, size - at - 2);
    at += 2;
    const std::vector<BYTE> record(data + at, data + at + count);
    at += count;
    HREPLOBJ object = store.BytesToObject(record.empty() ? nullptr : record.data(),
                                          static_cast<UINT>(record.size()));
    if (!object) continue;

    Check(record.size() >= 4);
    const UINT kind = Dword(record.data());
    std::vector<BYTE> out = BytesOf(store, object);
    Check(Dword(out.data()) == kind);
    Check(out.size() == (kind == QUILLET_OBJ_FOLDER ? kFolderBytes : kItemBytes));
    Check(record.size() >= out.size());
    // The name ends inside its field, and up to its end it is the name given.
    const char* name = reinterpret_cast<const char*>(out.data() + 4);
    const std::size_t length = ::strnlen(name, kObjNameSize);
    Check(length < kObjNameSize);
    Check(std::memcmp(name, record.data() + 4, length) == 0);
    if (kind == QUILLET_OBJ_FOLDER) {
      Check(std::strcmp(name, kQuilletObjType) == 0);
    } else {
      Check(kind == QUILLET_OBJ_ITEM);
      Check(Stamp(out.data()) == Stamp(record.data()));
    }
    // The bytes written read back as the same object, and write the same bytes again.
    HREPLOBJ again = store.BytesToObject(out.data(), static_cast<UINT>(out.size()));
    Check(again != nullptr);
    Check(BytesOf(store, again) == out);
    store.FreeObject(again);
    objects.push_back({object, std::move(out)});
  }

  for (std::size_t i = 0; i < objects.size(); ++i) {
    for (std::size_t j = 0; j < objects.size(); ++j) {
      Accepted& a = objects[i];
      Accepted& b = objects[j];
      const bool bothItems =
          Dword(a.bytes.data()) == QUILLET_OBJ_ITEM && Dword(b.bytes.data()) == QUILLET_OBJ_ITEM;
      const int order =
          std::strncmp(reinterpret_cast<const char*>(a.bytes.data() + 4),
                       reinterpret_cast<const char*>(b.bytes.data() + 4), kObjNameSize);
      const int compared = store.CompareItem(a.object, b.object);
      Check((compared < 0) == (order < 0) && (compared == 0) == (order == 0));
      const BOOL changed = store.IsItemChanged(p.folder, a.object, b.object);
      if (bothItems) {
        const std::uint64_t sa = Stamp(a.bytes.data());
        const std::uint64_t sb = Stamp(b.bytes.data());
        Check(changed == (sa == sb ? 0 : (sa < sb ? -1 : 1)));
      } else {
        Check(changed == 0);
      }
      Check(store.IsItemChanged(p.folder, a.object, nullptr) == 0);
      const HRESULT valid = store.IsValidObject(p.folder, a.object, 0);
      Check(valid == (Dword(a.bytes.data()) == QUILLET_OBJ_ITEM ? S_OK : E_HANDLE));

      // A copy between objects of one kind takes everything; across kinds nothing.
      const bool sameKind = Dword(a.bytes.data()) == Dword(b.bytes.data());
      Check(store.CopyObject(b.object, a.object) == (sameKind ? 1 : 0));
      if (sameKind) a.bytes = b.bytes;
      Check(BytesOf(store, a.object) == a.bytes);
      // An update takes the source's stamp.
      store.UpdateItem(p.folder, a.object, b.object);
      if (bothItems) std::memcpy(a.bytes.data() + 264, b.bytes.data() + 264, 8);
      Check(BytesOf(store, a.object) == a.bytes);
    }
  }
  for (Accepted& a : objects) store.FreeObject(a.object);
  return 0;
}
