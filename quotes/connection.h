// The dial-up connection of an update run, shared by the handheld's run and the desktop
// companion's: dialling a phone-book entry before the first request that needs it and hanging
// the line up again after the run. A failed dial never stops a run: the requests then go over
// whatever connection the platform itself provides. The log lines of the outcomes differ
// between the two (each names its own platform's default dialling); the handheld's are here.
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
// A status query that answers with an error other than "connecting" (0) or "gone" (6) ends
// the wait too: the line cannot be watched any further.
void HangUpConnection(RasDialer& dialer, MonotonicClock& ticks, HRASCONN connection,
                      const std::function<void()>& pumpMessages, std::uint32_t maxWaitMs);

// The log line of a dial outcome; null for kDialConnected.
const char* DialLogText(int result);
// Logged instead of dialling when the entry's name begins with a back quote (a cable profile).
inline constexpr char kLogInvalidRasProfile[] =
    "Quillet: Invalid RAS modem profile. Using PocketPC default dialing.";

}  // namespace quillet
