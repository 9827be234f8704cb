#include "platform/ras.h"

#include "platform/registry.h"

namespace quillet {

DWORD RasEnumEntries(Registry& registry, std::vector<std::u16string>* names) {
  names->clear();
  HKEY book;
  LONG rc = registry.OpenKey(HKEY_CURRENT_USER, kRasBookKey, &book);
  if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;  // an empty phone book
  if (rc != ERROR_SUCCESS) return ERROR_CANNOT_OPEN_PHONEBOOK;
  // The same switch the dialler honours: a phone book marked unavailable cannot be listed.
  DWORD unavailable = 0, type = 0, size = sizeof unavailable;
  if (registry.QueryValue(book, u"Unavailable", &type, &unavailable, &size) == ERROR_SUCCESS &&
      type == REG_DWORD && unavailable != 0) {
    registry.CloseKey(book);
    return ERROR_CANNOT_OPEN_PHONEBOOK;
  }
  std::u16string name;
  for (DWORD i = 0; registry.EnumKey(book, i, &name) == ERROR_SUCCESS; ++i) {
    names->push_back(name);
  }
  registry.CloseKey(book);
  return ERROR_SUCCESS;
}

DWORD RasAddEntry(Registry& registry, std::u16string_view name, std::u16string_view phoneNumber) {
  std::u16string path(kRasBookKey);
  path += u"\\";
  path += name;
  return static_cast<DWORD>(registry.SetString(HKEY_CURRENT_USER, path, u"Phone", phoneNumber));
}

}  // namespace quillet
