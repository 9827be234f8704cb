#include "platform/ras_dial.h"

#include "platform/ras.h"
#include "platform/registry.h"

namespace quillet {
namespace {

std::u16string EntryPath(std::u16string_view entry) {
  std::u16string path(kRasBookKey);
  path += u"\\";
  path += entry;
  return path;
}

}  // namespace

DWORD RegistryRasDialer::GetEntryDialParams(std::u16string_view entry, RasDialParams* params,
                                            bool* passwordSaved) {
  *params = RasDialParams{};
  *passwordSaved = false;
  DWORD unavailable = 0;
  if (registry_.GetDword(HKEY_CURRENT_USER, kRasBookKey, u"Unavailable", &unavailable) ==
          ERROR_SUCCESS &&
      unavailable != 0) {
    return ERROR_CANNOT_OPEN_PHONEBOOK;
  }
  // An empty name would open the phone book itself, which is no entry.
  HKEY key;
  if (entry.empty() || registry_.OpenKey(HKEY_CURRENT_USER, EntryPath(entry), &key) != 0) {
    return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
  }
  registry_.CloseKey(key);
  const std::u16string path = EntryPath(entry);
  params->szEntryName = std::u16string(entry);
  registry_.GetString(HKEY_CURRENT_USER, path, u"Phone", &params->szPhoneNumber);
  registry_.GetString(HKEY_CURRENT_USER, path, u"User", &params->szUserName);
  registry_.GetString(HKEY_CURRENT_USER, path, u"Domain", &params->szDomain);
  registry_.GetString(HKEY_CURRENT_USER, path, u"Password", &params->szPassword);
  *passwordSaved = !params->szPassword.empty();
  return ERROR_SUCCESS;
}

DWORD RegistryRasDialer::Dial(const RasDialParams& params, HRASCONN* connection) {
  *connection = 0;
  const std::u16string path = EntryPath(params.szEntryName);
  DWORD error = 0;
  registry_.GetDword(HKEY_CURRENT_USER, path, u"DialError", &error);
  DWORD connect = 0;
  registry_.GetDword(HKEY_CURRENT_USER, path, u"Connect", &connect);
  if (connect != 0) {
    // A failed dial still leaves the half-made connection for the caller to hang up.
    *connection = next_++;
    open_.insert(*connection);
  }
  return error;
}

DWORD RegistryRasDialer::GetConnectStatus(HRASCONN connection) {
  return open_.count(connection) != 0 ? 0 : static_cast<DWORD>(ERROR_INVALID_HANDLE);
}

DWORD RegistryRasDialer::HangUp(HRASCONN connection) {
  return open_.erase(connection) != 0 ? 0 : static_cast<DWORD>(ERROR_INVALID_HANDLE);
}

}  // namespace quillet
