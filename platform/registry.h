// The registry of one root (a handheld's or a desktop's). It has the three roots
// HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT, keys and sub-keys named without
// regard to ASCII case, and DWORD, string (UTF-16, terminated) and binary values; the empty value
// name is the key's default value. Calls answer as the Win32 ones do: 0 on success, 2 for a
// missing key or value, 234 when a buffer is too short (the size needed is returned), 259 at the
// end of an enumeration, 6 for a handle that is not open, 5 when the store refuses a write.
// Every write is its own transaction, so processes sharing a root never lose one another's
// values.
//
// This is the interface the system's code holds; the root's registry kept in its SQLite file
// is one implementation (platform/linux), which the program's main chooses.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/store_transaction.h"
#include "platform/win_types.h"

namespace quillet {

inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

class Registry {
 public:
  virtual ~Registry() = default;

  // Creates the key and every missing key above it, and opens it: 0 with *result a new handle
  // and *disposition (when given) REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY. 6 when
  // `parent` is not open; 5 when the keys cannot be written (nothing is created then).
  virtual LONG CreateKey(HKEY parent, std::u16string_view subKey, HKEY* result,
                         DWORD* disposition = nullptr) = 0;
  // Opens an existing key: 0 with *result a new handle; 2 when it does not exist; 6 when
  // `parent` is not open.
  virtual LONG OpenKey(HKEY parent, std::u16string_view subKey, HKEY* result) = 0;
  // 0, or 6 when the handle is not open. Closing a predefined root is a harmless 0.
  virtual LONG CloseKey(HKEY key) = 0;

  // Reads a value. With data null, only *size (and *type) are set. A buffer shorter than the
  // value gets nothing and 234, with *size the size needed. 2 when the value is missing, 6 when
  // the key is not open, 87 when data is given without size.
  virtual LONG QueryValue(HKEY key, std::u16string_view name, DWORD* type, void* data,
                          DWORD* size) = 0;
  // Writes (creates or replaces) a value: 0; 2 when the key was deleted since it was opened;
  // 6 when the key is not open; 87 for null data of a non-zero size; 5 when the store refuses
  // the write (the old value, if any, is kept).
  virtual LONG SetValue(HKEY key, std::u16string_view name, DWORD type, const void* data,
                        DWORD size) = 0;
  // 0; 2 when there is no such value; 6 when the key is not open; 5 on a failed write.
  virtual LONG DeleteValue(HKEY key, std::u16string_view name) = 0;
  // Deletes a key that has no sub-keys, with its values: 0; 2 when it is missing; 5 when it has
  // sub-keys, names a root, or the write fails (the key is then kept whole).
  virtual LONG DeleteKey(HKEY parent, std::u16string_view subKey) = 0;
  // Deletes a key with all its sub-keys and values, all or nothing: 0; 2 when it is missing; 5
  // when it names a root or the write fails.
  virtual LONG DeleteTree(HKEY parent, std::u16string_view subKey) = 0;
  // The index-th direct sub-key, in creation order: 0; 259 past the last; 2 when the key was
  // deleted; 6 when it is not open.
  virtual LONG EnumKey(HKEY key, DWORD index, std::u16string* name) = 0;
  // The index-th value, in creation order: 0 with the outputs that are given set; 259 past the
  // last; 6 when the key is not open.
  virtual LONG EnumValue(HKEY key, DWORD index, std::u16string* name, DWORD* type,
                         std::string* data) = 0;

  // Starts a scope of writes that commit together (see Transaction). Never null; a scope that
  // could not start (the store is locked past its time-out, the disk failed) is not active, and
  // its Commit fails.
  virtual std::unique_ptr<TransactionScope> BeginTransaction() = 0;

  // Conveniences over the calls above for code that reads or writes one value. They answer as
  // the calls they make: Get* 2 when the key or value is missing; Set* create the key first.
  LONG GetDword(HKEY root, std::u16string_view path, std::u16string_view name, DWORD* value);
  LONG SetDword(HKEY root, std::u16string_view path, std::u16string_view name, DWORD value);
  LONG GetString(HKEY root, std::u16string_view path, std::u16string_view name,
                 std::u16string* value);
  LONG SetString(HKEY root, std::u16string_view path, std::u16string_view name,
                 std::u16string_view value);

  // Writes made inside a scope commit together or not at all; scopes nest and only the
  // outermost commits. A scope ended without Commit rolls its writes back.
  class Transaction {
   public:
    explicit Transaction(Registry& registry) : scope_(registry.BeginTransaction()) {}
    bool Commit() { return scope_ && scope_->Commit(); }
    bool active() const { return scope_ && scope_->active(); }

   private:
    std::unique_ptr<TransactionScope> scope_;
  };
};

// Encodes and decodes string values as the registry stores them: UTF-16LE with a terminator.
std::string EncodeRegString(std::u16string_view text);
std::u16string DecodeRegString(std::string_view bytes);

}  // namespace quillet
