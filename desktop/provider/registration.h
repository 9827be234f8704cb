// The registry entries through which the sync manager finds the provider: the class with its
// in-process server path and ProgId, the ProgId pointing back at the class, and the provider's
// entry among the synchronisation objects. Both calls answer 0 or the failing call's error as
// an HRESULT (0x80070000 | code).
#pragma once

#include <string>
#include <string_view>

#include "platform/registry.h"
#include "platform/win_types.h"

namespace quillet {

inline constexpr std::u16string_view kSyncObjectsKey =
    u"Software\\Microsoft\\Windows CE Services\\Services\\Synchronization\\Objects";

// Writes every entry, stopping at the first failure (entries already written stay). The
// synchronisation objects key must exist already: it is the sync manager's own.
HRESULT RegisterQuilletServer(Registry& registry, std::string_view libraryPath);
// Removes the entries. A missing class key removes nothing and answers 0x80070002; entries of
// the later steps that are already gone count as removed.
HRESULT UnregisterQuilletServer(Registry& registry);

}  // namespace quillet
