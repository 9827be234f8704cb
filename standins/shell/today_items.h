// The Today screen's list of items, as registered under HKEY_LOCAL_MACHINE
// "Software\Microsoft\Today\Items": one key per item with its type, whether it is enabled and
// has options, its library and its place in the list.
#pragma once

#include <string>
#include <vector>

#include "platform/registry.h"

namespace quillet {

inline constexpr char16_t kTodayItemsKey[] = u"Software\\Microsoft\\Today\\Items";

struct TodayItemEntry {
  std::u16string name;
  DWORD type = 0;
  bool enabled = false;
  bool options = false;
  DWORD order = 0;
  std::string dllPath;  // a handheld path; a bare name is looked for in "\Windows"
};

// The custom items (type 4) with a library, ordered by their "Order" value, then by name.
std::vector<TodayItemEntry> ReadTodayItems(Registry& registry);

}  // namespace quillet
