#include "standins/shell/today_items.h"

#include <algorithm>

#include "platform/codepage.h"
#include "platform/linux/shell_services.h"

namespace quillet {

std::vector<TodayItemEntry> ReadTodayItems(Registry& registry) {
  std::vector<TodayItemEntry> items;
  HKEY list = HKEY::None;
  if (registry.OpenKey(HKEY_LOCAL_MACHINE, kTodayItemsKey, &list) != ERROR_SUCCESS) return items;
  std::u16string name;
  for (DWORD index = 0; registry.EnumKey(list, index, &name) == ERROR_SUCCESS; ++index) {
    const std::u16string path = std::u16string(kTodayItemsKey) + u"\\" + name;
    TodayItemEntry item;
    item.name = name;
    DWORD value = 0;
    if (registry.GetDword(HKEY_LOCAL_MACHINE, path, u"Type", &value) == ERROR_SUCCESS) {
      item.type = value;
    }
    value = 0;
    registry.GetDword(HKEY_LOCAL_MACHINE, path, u"Enabled", &value);
    item.enabled = value != 0;
    value = 0;
    registry.GetDword(HKEY_LOCAL_MACHINE, path, u"Options", &value);
    item.options = value != 0;
    value = 0;
    registry.GetDword(HKEY_LOCAL_MACHINE, path, u"Order", &value);
    item.order = value;
    std::u16string dll;
    if (registry.GetString(HKEY_LOCAL_MACHINE, path, u"DLL", &dll) != ERROR_SUCCESS ||
        dll.empty() || item.type != TLIT_CUSTOM) {
      continue;
    }
    std::string text = Utf16ToUtf8(dll);
    item.dllPath = text.find('\\') == std::string::npos ? "\\Windows\\" + text : text;
    items.push_back(std::move(item));
  }
  registry.CloseKey(list);
  std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) {
    return a.order != b.order ? a.order < b.order : a.name < b.name;
  });
  return items;
}

}  // namespace quillet
