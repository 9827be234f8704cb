// The automatic update: a timer without a window that starts an update run every few minutes
// while "Automatic Update" is on. It runs in the background (no progress window, no sound, a
// notification bubble when an alert is active) when another program is in front, else as if
// the user had asked. Timers and the foreground window are the user interface's to provide.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "core/alert_evaluation.h"
#include "core/portfolio_store.h"
#include "platform/win_types.h"
#include "quotes/device/update_quotes.h"

namespace quillet {

using UINT_PTR = std::uintptr_t;

inline constexpr UINT_PTR kUpdateTimerId = 666;
// Posted to the foreground window after a timer run the user could watch.
inline constexpr UINT WM_QUILLET_UPDATED = 0x544;

// The choices of the Network page's interval list, in list order.
inline constexpr int kUpdateIntervalCount = 7;
std::span<const BYTE> UpdateIntervalMinutes();  // 2, 5, 10, 15, 30, 60, 120
// "2 Minutes" ... "1 Hour", "2 Hours"; "" outside the list.
const char* UpdateIntervalText(int position);
// The interval stored when the Network page is confirmed: the chosen position's minutes, or the
// current value when no position 0..6 is chosen.
BYTE UpdateMinutesFromChoice(int position, BYTE current);

// Timers that call a procedure on the user-interface thread.
class TimerService {
 public:
  virtual ~TimerService() = default;
  // Starts a periodic timer; returns its identifier, 0 when it could not be set.
  virtual UINT_PTR SetTimer(UINT_PTR requestedId, UINT elapseMs, std::function<void()> proc) = 0;
  virtual bool KillTimer(UINT_PTR id) = 0;
};

// What the timer needs to know about the windows on screen.
class ForegroundWindow {
 public:
  virtual ~ForegroundWindow() = default;
  // True when the top-level window of the foreground window is the program's main window.
  virtual bool MainWindowInForeground() = 0;
  // Posts a message to the foreground window.
  virtual void PostToForeground(UINT msg) = 0;
  // True while the program shows a modal window (a dialog or the stock sheet). Such a window
  // holds stocks it is editing; a run would re-sort and rewrite them under it.
  virtual bool ModalWindowOpen() { return false; }
};

class CUpdateTimer {
 public:
  CUpdateTimer(PortfolioStore& store, TimerService& timers, ForegroundWindow& foreground,
               CUpdateCommand& command, AlertIndicator& alerts)
      : store_(store),
        timers_(timers),
        foreground_(foreground),
        command_(command),
        alerts_(alerts) {}
  // Shutdown kills the timer.
  ~CUpdateTimer() { Kill(); }
  CUpdateTimer(const CUpdateTimer&) = delete;
  CUpdateTimer& operator=(const CUpdateTimer&) = delete;

  // At start-up and whenever the Network page is confirmed: the running timer is killed and,
  // with "Automatic Update" on, a new one set for ucUpdateMinutes.
  void Arm();
  void Kill();
  // The timer procedure.
  void OnUpdateTimer();

  UINT_PTR timerId() const { return timerId_; }

 private:
  PortfolioStore& store_;
  TimerService& timers_;
  ForegroundWindow& foreground_;
  CUpdateCommand& command_;
  AlertIndicator& alerts_;
  UINT_PTR timerId_ = 0;
};

}  // namespace quillet
