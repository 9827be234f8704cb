// The scalar types, error numbers and handles that the system's records and calls are written
// in. They keep the widths and values the callers test, so code above this layer reads like the
// code of the original platform while running on Linux.
#pragma once

#include <cstdint>
#include <string>

namespace quillet {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using BOOL = int;
using HRESULT = std::int32_t;
using WCHAR = char16_t;

// Win32 error numbers that callers compare against.
inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_INVALID_DATA = 13;
inline constexpr LONG ERROR_PATH_NOT_FOUND = 3;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr LONG ERROR_WRITE_FAULT = 29;
inline constexpr LONG ERROR_READ_FAULT = 30;
inline constexpr LONG ERROR_FILE_EXISTS = 80;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_ALREADY_EXISTS = 183;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr LONG ERROR_NO_MORE_ITEMS = 259;
inline constexpr LONG ERROR_BUFFER_TOO_SMALL = 603;
inline constexpr LONG ERROR_CANNOT_OPEN_PHONEBOOK = 621;
inline constexpr LONG ERROR_CANNOT_FIND_PHONEBOOK_ENTRY = 623;

// HRESULTs of the COM-style entry points.
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT HRESULT_FILE_NOT_FOUND = static_cast<HRESULT>(0x80070002u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);

constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
constexpr bool Failed(HRESULT hr) { return hr < 0; }

// 100-nanosecond intervals since 1601-01-01 UTC, split in two halves as the original does.
struct FILETIME {
  DWORD dwLowDateTime = 0;
  DWORD dwHighDateTime = 0;
};
static_assert(sizeof(FILETIME) == 8);

inline constexpr std::uint64_t kFileTimeUnixOffset = 116444736000000000ull;

inline FILETIME FileTimeFromUnix(std::int64_t seconds, std::uint32_t nanos = 0) {
  std::uint64_t v =
      static_cast<std::uint64_t>(seconds) * 10000000ull + nanos / 100 + kFileTimeUnixOffset;
  return FILETIME{static_cast<DWORD>(v & 0xFFFFFFFFu), static_cast<DWORD>(v >> 32)};
}

inline std::int64_t UnixFromFileTime(const FILETIME& ft) {
  std::uint64_t v = (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return static_cast<std::int64_t>((v - kFileTimeUnixOffset) / 10000000ull);
}

struct GUID {
  DWORD Data1 = 0;
  WORD Data2 = 0;
  WORD Data3 = 0;
  BYTE Data4[8] = {};
  friend bool operator==(const GUID&, const GUID&) = default;
};
static_assert(sizeof(GUID) == 16);

// Registry roots. The numbers are the predefined handle values of the original platform so a
// handle can be written to a log or compared as it was.
enum class HKEY : std::uint32_t {
  None = 0,
  ClassesRoot = 0x80000000u,
  CurrentUser = 0x80000001u,
  LocalMachine = 0x80000002u,
};
inline constexpr HKEY HKEY_CLASSES_ROOT = HKEY::ClassesRoot;
inline constexpr HKEY HKEY_CURRENT_USER = HKEY::CurrentUser;
inline constexpr HKEY HKEY_LOCAL_MACHINE = HKEY::LocalMachine;

// Registry value types.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;

}  // namespace quillet
