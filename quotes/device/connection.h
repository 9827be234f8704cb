// The handheld's own dial-up connection for an update run: dialling the phone-book entry chosen
// in the preferences before the first request, the network-log line of each outcome, and
// hanging the line up again after the run. A failed dial never stops a run: the requests then
// go over whatever connection the platform itself provides.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/monotonic_clock.h"
#include "platform/ras_dial.h"
#include "platform/win_types.h"

namespace quillet {

class UpdateLog;

enum DialResult : int {
  kDialConnected = 0,
  kDialFailed = 1,
  kDialNoPassword = 2,
  kDialNoPhoneBook = 3,
  kDialNoEntry = 4,
};

// How long a hang-up waits at most for the line to go down.
inline constexpr std::uint32_t kHangUpWaitMs = 30000;

// Dials the entry (an ANSI name) with its saved account, leaving its own phone number in use.
// Returns a DialResult; on kDialConnected *connection is the line's handle (0 when the platform
// keeps the connection to itself). A half-made connection of a failed dial is hung up.
int DialConnection(RasDialer& dialer, MonotonicClock& ticks, std::string_view entryName,
                   HRASCONN* connection, const std::function<void()>& pumpMessages);

// Hangs the line up and waits, dispatching window messages, until the handle is gone (at most
// `maxWaitMs` of `ticks`, so a line that never reports back cannot hold the program for ever).
void HangUpConnection(RasDialer& dialer, MonotonicClock& ticks, HRASCONN connection,
                      const std::function<void()>& pumpMessages, std::uint32_t maxWaitMs);

// The log line of a dial outcome; null for kDialConnected.
const char* DialLogText(int result);
// Logged instead of dialling when the entry's name begins with a back quote (a cable profile).
inline constexpr char kLogInvalidRasProfile[] =
    "Quillet: Invalid RAS modem profile. Using PocketPC default dialing.";

}  // namespace quillet
