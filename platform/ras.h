// The dial-up phone book. Entries are sub-keys of HKEY_CURRENT_USER\Comm\RasBook in the root's
// registry, listed in the order they were made, so a test or a script sets up a phone book by
// writing keys. Dialling itself builds on this in the connection code.
#pragma once

#include <string>
#include <vector>

#include "platform/win_types.h"

namespace quillet {

class Registry;

inline constexpr std::u16string_view kRasBookKey = u"Comm\\RasBook";

// The names of the phone-book entries. 0, or 621 when the phone book cannot be read.
DWORD RasEnumEntries(Registry& registry, std::vector<std::u16string>* names);
// Adds an entry (for set-up and tests); 0 on success.
DWORD RasAddEntry(Registry& registry, std::u16string_view name, std::u16string_view phoneNumber);

}  // namespace quillet
