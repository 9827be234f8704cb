#include "platform/registry.h"

namespace quillet {

std::string EncodeRegString(std::u16string_view text) {
  std::string out;
  out.reserve((text.size() + 1) * 2);
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  out.push_back('\0');
  out.push_back('\0');
  return out;
}

std::u16string DecodeRegString(std::string_view bytes) {
  std::u16string out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char16_t c = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                       (static_cast<unsigned char>(bytes[i + 1]) << 8));
    if (c == 0) break;
    out.push_back(c);
  }
  return out;
}

LONG Registry::GetDword(HKEY root, std::u16string_view path, std::u16string_view name,
                        DWORD* value) {
  HKEY k;
  if (LONG rc = OpenKey(root, path, &k)) return rc;
  DWORD type = 0, size = sizeof(DWORD), v = 0;
  LONG rc = QueryValue(k, name, &type, &v, &size);
  CloseKey(k);
  if (rc == ERROR_SUCCESS) *value = v;
  return rc;
}

LONG Registry::SetDword(HKEY root, std::u16string_view path, std::u16string_view name,
                        DWORD value) {
  HKEY k;
  if (LONG rc = CreateKey(root, path, &k)) return rc;
  LONG rc = SetValue(k, name, REG_DWORD, &value, sizeof value);
  CloseKey(k);
  return rc;
}

LONG Registry::GetString(HKEY root, std::u16string_view path, std::u16string_view name,
                         std::u16string* value) {
  HKEY k;
  if (LONG rc = OpenKey(root, path, &k)) return rc;
  DWORD type = 0, size = 0;
  LONG rc = QueryValue(k, name, &type, nullptr, &size);
  if (rc == ERROR_SUCCESS) {
    std::string bytes(size, '\0');
    rc = QueryValue(k, name, &type, bytes.data(), &size);
    if (rc == ERROR_SUCCESS) *value = DecodeRegString(bytes);
  }
  CloseKey(k);
  return rc;
}

LONG Registry::SetString(HKEY root, std::u16string_view path, std::u16string_view name,
                         std::u16string_view value) {
  HKEY k;
  if (LONG rc = CreateKey(root, path, &k)) return rc;
  std::string bytes = EncodeRegString(value);
  LONG rc = SetValue(k, name, REG_SZ, bytes.data(), static_cast<DWORD>(bytes.size()));
  CloseKey(k);
  return rc;
}

}  // namespace quillet
