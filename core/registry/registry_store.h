// The registry helper every component carries: it reads and writes values under one key (the
// product key "SOFTWARE\Marrowby\Quillet" unless told otherwise) and opens and closes the key in
// every call, so nothing stays open between calls and several processes can share the values.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "platform/win_types.h"

namespace quillet {

inline constexpr std::size_t kKeyPathCapacity = 256;  // 255 characters and the terminator

class RegistryStore {
 public:
  explicit RegistryStore(Registry& registry);

  // szKeyPath = "SOFTWARE\Marrowby\<product>".
  void SetProductKey(std::u16string_view product);
  void SetRoot(HKEY root) { hRoot = root; }
  // szKeyPath = the path as given (cut to 255 characters).
  void SetKeyPath(std::u16string_view path);

  // Reads a string value into buffer (capacity in characters). On success the last character
  // read is forced to NUL and the length read in bytes is returned; when the key or value is
  // missing (or does not fit), the default is copied, cut to the capacity, and its length in
  // characters is returned.
  DWORD GetString(std::u16string_view name, std::u16string_view defaultText, char16_t* buffer,
                  std::size_t capacity);
  // Whole-string form of GetString for callers without a fixed buffer.
  std::u16string GetString(std::u16string_view name, std::u16string_view defaultText);
  bool SetString(std::u16string_view name, std::u16string_view text);
  DWORD GetDword(std::u16string_view name, DWORD defaultValue);
  bool SetDword(std::u16string_view name, DWORD value);
  // Zero-fills buffer and reads at most size bytes; returns the registry error (0 = read,
  // 234 when the stored value was longer and only its first size bytes were copied).
  LONG GetBinary(std::u16string_view name, void* buffer, DWORD size);
  bool SetBinary(std::u16string_view name, const void* data, DWORD size);
  LONG DeleteValue(std::u16string_view name);
  // Deletes the key at `subKeyPath` directly under hRoot (not under szKeyPath), with its
  // sub-keys.
  LONG DeleteKey(std::u16string_view subKeyPath);

  std::u16string keyPath() const { return szKeyPath; }

  HKEY hRoot = HKEY_CURRENT_USER;
  char16_t szKeyPath[kKeyPathCapacity] = {};

 private:
  Registry& registry_;
};

}  // namespace quillet
