#include "quotes/connection.h"

#include "platform/codepage.h"

namespace quillet {

int DialConnection(RasDialer& dialer, MonotonicClock& ticks, std::string_view entryName,
                   HRASCONN* connection, const std::function<void()>& pumpMessages) {
  *connection = 0;
  RasDialParams params;
  bool passwordSaved = false;
  DWORD error = dialer.GetEntryDialParams(AnsiToUtf16(entryName), &params, &passwordSaved);
  if (error == static_cast<DWORD>(ERROR_CANNOT_OPEN_PHONEBOOK)) return kDialNoPhoneBook;
  if (error == static_cast<DWORD>(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY)) return kDialNoEntry;
  if (error != 0) return kDialFailed;
  if (!passwordSaved) return kDialNoPassword;
  params.szPhoneNumber.clear();  // the entry's own number
  HRASCONN line = 0;
  if (dialer.Dial(params, &line) != 0) {
    if (line != 0) HangUpConnection(dialer, ticks, line, pumpMessages, kHangUpWaitMs);
    return kDialFailed;
  }
  *connection = line;
  return kDialConnected;
}

void HangUpConnection(RasDialer& dialer, MonotonicClock& ticks, HRASCONN connection,
                      const std::function<void()>& pumpMessages, std::uint32_t maxWaitMs) {
  if (dialer.GetConnectStatus(connection) == static_cast<DWORD>(ERROR_INVALID_HANDLE)) return;
  dialer.HangUp(connection);
  const std::uint64_t deadline = ticks.NowMs() + maxWaitMs;
  for (;;) {
    if (pumpMessages) pumpMessages();
    if (dialer.GetConnectStatus(connection) != 0) return;
    if (ticks.NowMs() >= deadline) return;
    ticks.SleepMs(10);
  }
}

const char* DialLogText(int result) {
  switch (result) {
    case kDialNoPassword:
      return "Quillet: The password for the selected RAS connection was not found. Using "
             "PocketPC default dialing.";
    case kDialNoPhoneBook:
      return "Quillet: The phone book was not found. Using PocketPC default dialing.";
    case kDialNoEntry:
      return "Quillet: The profile was not found in the phone book. Using PocketPC default "
             "dialing.";
    case kDialFailed:
      return "Quillet: Error dialing ISP. Using PocketPC default dialing. If you are connected "
             "to your PC via ActiveSync, you should first disconnect.";
    default:
      return nullptr;
  }
}

}  // namespace quillet
