// The small part of the component object model that our shared objects and their hosts speak:
// an IUnknown base with interface identifiers, the HRESULTs its callers test, and the local heap
// through which a library hands memory to its caller (the remote call service frees the answer
// of an invoked function with LocalFree).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/win_types.h"

namespace quillet {

using REFIID = const GUID&;
using ULONG = std::uint32_t;

inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);

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

// The local heap: memory one module allocates and another frees.
inline void* LocalAlloc(std::size_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }
inline void LocalFree(void* memory) { std::free(memory); }

}  // namespace quillet
