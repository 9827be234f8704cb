// Dialling a phone-book entry. There is no modem here: the stand-in reads the entry from the
// root's registry (HKEY_CURRENT_USER\Comm\RasBook\<name>) and answers as the platform would.
// A dial succeeds with no connection handle of its own (the platform's default connection
// carries the requests) unless the registry says otherwise, so a test or a script sets up every
// outcome by writing values:
//
//   Comm\RasBook                "Unavailable" DWORD 1   the phone book cannot be opened (621)
//   Comm\RasBook\<name>         "Password"    string    a saved password (none: not saved)
//                               "User", "Domain" string the saved account
//                               "DialError"   DWORD     RasDial fails with this error
//                               "Connect"     DWORD 1   RasDial gives a connection handle
//
// A handle stays valid until it is hung up. The connection code reaches all this through the
// RasDialer interface, which tests may replace.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace quillet {

class Registry;

using HRASCONN = std::uint64_t;

// The dial parameters of an entry (RASDIALPARAMS without the fields nobody reads).
struct RasDialParams {
  std::u16string szEntryName;
  std::u16string szPhoneNumber;  // empty: dial the entry's own number
  std::u16string szCallbackNumber;
  std::u16string szUserName;
  std::u16string szPassword;
  std::u16string szDomain;
};

class RasDialer {
 public:
  virtual ~RasDialer() = default;
  // The entry's dial parameters and whether a password is saved with it. 0; 621 when the phone
  // book cannot be opened; 623 when there is no such entry.
  virtual DWORD GetEntryDialParams(std::u16string_view entry, RasDialParams* params,
                                   bool* passwordSaved) = 0;
  // Dials synchronously. 0 with *connection set (0 when the platform keeps the connection to
  // itself), or an error; a failed dial may still leave a handle that must be hung up.
  virtual DWORD Dial(const RasDialParams& params, HRASCONN* connection) = 0;
  // 0 while the connection exists; 6 (ERROR_INVALID_HANDLE) once it is gone or was never made.
  virtual DWORD GetConnectStatus(HRASCONN connection) = 0;
  // Starts hanging up; the handle becomes invalid when the line is down. 0, or 6.
  virtual DWORD HangUp(HRASCONN connection) = 0;
};

// The registry-backed stand-in described above.
class RegistryRasDialer final : public RasDialer {
 public:
  explicit RegistryRasDialer(Registry& registry) : registry_(registry) {}

  DWORD GetEntryDialParams(std::u16string_view entry, RasDialParams* params,
                           bool* passwordSaved) override;
  DWORD Dial(const RasDialParams& params, HRASCONN* connection) override;
  DWORD GetConnectStatus(HRASCONN connection) override;
  DWORD HangUp(HRASCONN connection) override;

 private:
  Registry& registry_;
  std::set<HRASCONN> open_;
  HRASCONN next_ = 0x1000;
};

// Error numbers of the dialling calls.
inline constexpr DWORD ERROR_RAS_PORT_NOT_AVAILABLE = 633;
inline constexpr DWORD ERROR_RAS_NO_CARRIER = 679;

}  // namespace quillet
