// The small part of the component object model that our shared objects and their hosts speak:
// an IUnknown base with interface identifiers, the class factory of an in-process server, the
// HRESULTs its callers test, and the local heap through which a library hands memory to its
// caller (the remote call service frees the answer of an invoked function with LocalFree).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace quillet {

using REFIID = const GUID&;
using ULONG = std::uint32_t;

inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
inline constexpr HRESULT E_HANDLE = static_cast<HRESULT>(0x80070006u);

// {00000000-0000-0000-C000-000000000046}
inline constexpr GUID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class IUnknown {
 public:
  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  // Objects end through Release, never through a delete of the interface.
  virtual ~IUnknown() = default;
};

// The reference count and QueryInterface of an object that offers one interface besides
// IUnknown (`Iid` may be IID_IUnknown itself for an object that offers nothing more). The
// object is made with one reference, held by its maker, and deletes itself at the last
// Release.
template <class Interface, const GUID& Iid>
class ComObject : public Interface {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_INVALIDARG;
    if (iid == IID_IUnknown || iid == Iid) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

// {00000001-0000-0000-C000-000000000046}
inline constexpr GUID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// What an in-process server hands out through DllGetClassObject: the maker of its objects.
class IClassFactory : public IUnknown {
 public:
  // outer: an aggregating object (refused by servers that cannot be aggregated).
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) = 0;
  // Keeps the server loaded (lock non-zero) or lets it go again.
  virtual HRESULT LockServer(BOOL lock) = 0;
};

// The exports of an in-process server.
using DllGetClassObjectProc = HRESULT (*)(const GUID& clsid, REFIID iid, void** object);
using DllCanUnloadNowProc = HRESULT (*)();
using DllRegisterServerProc = HRESULT (*)();

// A GUID as the registry writes it: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex.
std::string GuidToString(const GUID& guid);
// The reverse, accepting either case; nullopt for anything that is not exactly that shape.
std::optional<GUID> GuidFromString(std::string_view text);

// The local heap: memory one module allocates and another frees.
inline void* LocalAlloc(std::size_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }
inline void LocalFree(void* memory) { std::free(memory); }

}  // namespace quillet
