#include "core/string_table.h"

#include <cstdlib>

namespace quillet::strings {

std::string LoadString(UINT id) {
  const char* text = TextOf(id);
  return text ? text : "";
}

bool HasString(UINT id) { return TextOf(id) != nullptr; }

std::vector<std::string> ChoiceList(UINT id) {
  std::vector<std::string> items;
  const char* count = TextOf(id);
  if (!count) return items;
  long n = std::strtol(count, nullptr, 10);
  for (long k = 1; k <= n; ++k) {
    if (!HasString(id + static_cast<UINT>(k))) break;
    items.push_back(LoadString(id + static_cast<UINT>(k)));
  }
  return items;
}

}  // namespace quillet::strings
