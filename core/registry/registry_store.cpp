#include "core/registry/registry_store.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/codepage.h"

namespace quillet {
namespace {

// Closes a key when the call that opened it ends.
class KeyScope {
 public:
  explicit KeyScope(Registry& r) : r_(r) {}
  ~KeyScope() {
    if (key_ != HKEY::None) r_.CloseKey(key_);
  }
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  Registry& r_;
  HKEY key_ = HKEY::None;
};

}  // namespace

RegistryStore::RegistryStore(Registry& registry) : registry_(registry) {}

void RegistryStore::SetProductKey(std::u16string_view product) {
  std::u16string path = u"SOFTWARE\\Marrowby\\";
  path += product;
  CopyToField(szKeyPath, path);
}

void RegistryStore::SetKeyPath(std::u16string_view path) { CopyToField(szKeyPath, path); }

DWORD RegistryStore::GetString(std::u16string_view name, std::u16string_view defaultText,
                               char16_t* buffer, std::size_t capacity) {
  if (capacity == 0) return 0;
  KeyScope key(registry_);
  if (registry_.OpenKey(hRoot, keyPath(), key.out()) == ERROR_SUCCESS) {
    DWORD size = static_cast<DWORD>(capacity * sizeof(char16_t));
    DWORD type = 0;
    std::vector<char16_t> tmp(capacity, u'\0');
    if (registry_.QueryValue(key.get(), name, &type, tmp.data(), &size) == ERROR_SUCCESS) {
      std::size_t chars = size / sizeof(char16_t);
      std::copy(tmp.begin(), tmp.end(), buffer);
      // The stored text need not end in NUL; the last character read always becomes one.
      buffer[chars > 0 ? chars - 1 : 0] = u'\0';
      return size;
    }
  }
  return static_cast<DWORD>(CopyToField(buffer, capacity, defaultText));
}

std::u16string RegistryStore::GetString(std::u16string_view name, std::u16string_view defaultText) {
  KeyScope key(registry_);
  if (registry_.OpenKey(hRoot, keyPath(), key.out()) == ERROR_SUCCESS) {
    DWORD size = 0, type = 0;
    if (registry_.QueryValue(key.get(), name, &type, nullptr, &size) == ERROR_SUCCESS) {
      std::string bytes(size, '\0');
      if (registry_.QueryValue(key.get(), name, &type, bytes.data(), &size) == ERROR_SUCCESS) {
        return DecodeRegString(bytes);
      }
    }
  }
  return std::u16string(defaultText);
}

bool RegistryStore::SetString(std::u16string_view name, std::u16string_view text) {
  KeyScope key(registry_);
  if (registry_.CreateKey(hRoot, keyPath(), key.out()) != ERROR_SUCCESS) return false;
  std::string bytes = EncodeRegString(text);
  return registry_.SetValue(key.get(), name, REG_SZ, bytes.data(),
                            static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

DWORD RegistryStore::GetDword(std::u16string_view name, DWORD defaultValue) {
  KeyScope key(registry_);
  if (registry_.OpenKey(hRoot, keyPath(), key.out()) != ERROR_SUCCESS) return defaultValue;
  DWORD value = 0, size = sizeof value, type = 0;
  if (registry_.QueryValue(key.get(), name, &type, &value, &size) != ERROR_SUCCESS ||
      size != sizeof value) {
    return defaultValue;
  }
  return value;
}

bool RegistryStore::SetDword(std::u16string_view name, DWORD value) {
  KeyScope key(registry_);
  if (registry_.CreateKey(hRoot, keyPath(), key.out()) != ERROR_SUCCESS) return false;
  return registry_.SetValue(key.get(), name, REG_DWORD, &value, sizeof value) == ERROR_SUCCESS;
}

LONG RegistryStore::GetBinary(std::u16string_view name, void* buffer, DWORD size) {
  if (size) std::memset(buffer, 0, size);
  KeyScope key(registry_);
  if (LONG rc = registry_.OpenKey(hRoot, keyPath(), key.out())) return rc;
  DWORD stored = 0, type = 0;
  if (LONG rc = registry_.QueryValue(key.get(), name, &type, nullptr, &stored)) return rc;
  std::string bytes(stored, '\0');
  if (LONG rc = registry_.QueryValue(key.get(), name, &type, bytes.data(), &stored)) return rc;
  std::size_t n = std::min<std::size_t>(size, bytes.size());
  if (n) std::memcpy(buffer, bytes.data(), n);
  return bytes.size() > size ? ERROR_MORE_DATA : ERROR_SUCCESS;
}

bool RegistryStore::SetBinary(std::u16string_view name, const void* data, DWORD size) {
  KeyScope key(registry_);
  if (registry_.CreateKey(hRoot, keyPath(), key.out()) != ERROR_SUCCESS) return false;
  return registry_.SetValue(key.get(), name, REG_BINARY, data, size) == ERROR_SUCCESS;
}

LONG RegistryStore::DeleteValue(std::u16string_view name) {
  KeyScope key(registry_);
  if (LONG rc = registry_.OpenKey(hRoot, keyPath(), key.out())) return rc;
  return registry_.DeleteValue(key.get(), name);
}

LONG RegistryStore::DeleteKey(std::u16string_view subKeyPath) {
  // The handheld's RegDeleteKey removes a key together with whatever lies below it.
  return registry_.DeleteTree(hRoot, subKeyPath);
}

}  // namespace quillet
