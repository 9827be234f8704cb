#include "quotes/device/update_timer.h"

namespace quillet {
namespace {

constexpr BYTE kIntervals[kUpdateIntervalCount] = {2, 5, 10, 15, 30, 60, 120};
constexpr const char* kIntervalTexts[kUpdateIntervalCount] = {
    "2 Minutes", "5 Minutes", "10 Minutes", "15 Minutes", "30 Minutes", "1 Hour", "2 Hours"};

}  // namespace

std::span<const BYTE> UpdateIntervalMinutes() { return kIntervals; }

const char* UpdateIntervalText(int position) {
  return position >= 0 && position < kUpdateIntervalCount ? kIntervalTexts[position] : "";
}

BYTE UpdateMinutesFromChoice(int position, BYTE current) {
  return position >= 0 && position < kUpdateIntervalCount ? kIntervals[position] : current;
}

void CUpdateTimer::Arm() {
  Kill();
  if (store_.bAutoUpdate == 0) return;
  const UINT elapse = static_cast<UINT>(store_.ucUpdateMinutes) * 60000u;
  timerId_ = timers_.SetTimer(kUpdateTimerId, elapse, [this] { OnUpdateTimer(); });
}

void CUpdateTimer::Kill() {
  if (timerId_ == 0) return;
  timers_.KillTimer(timerId_);
  timerId_ = 0;
}

void CUpdateTimer::OnUpdateTimer() {
  // The tick is skipped, not queued: the next one runs once the window is closed.
  if (foreground_.ModalWindowOpen()) return;
  if (!foreground_.MainWindowInForeground()) {
    command_.UpdateStocks(true);
  } else {
    command_.UpdateStocks(false);
    foreground_.PostToForeground(WM_QUILLET_UPDATED);
  }
  if (store_.bAlertActive != 0) alerts_.ShowAlertNotification();
}

}  // namespace quillet
