// What an update run needs from the program's windows: the progress window, the sound at the
// end, message pumping, the list's selection kept across the run; and the timers and the
// foreground test of the automatic update.
#pragma once

#include <QPointer>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>

#include "device/update_progress_dialog.h"
#include "device/wait_cursor.h"
#include "quotes/device/update_quotes.h"
#include "quotes/device/update_timer.h"

namespace quillet {

class CQuilletApp;

class CUpdateHostImpl final : public UpdateHost, public ForegroundWindow {
 public:
  explicit CUpdateHostImpl(CQuilletApp& app) : app_(app) {}

  std::unique_ptr<QuoteProgress> OpenProgress(CancelToken& cancel) override;
  void PlayUpdateSound() override;
  void PumpMessages() override;
  DWORD SelectedStock() override;
  void RefillList(DWORD selectStock) override;

  bool MainWindowInForeground() override;
  void PostToForeground(UINT msg) override;
  bool ModalWindowOpen() override;

  // The progress window of the run going on, if it shows one (tests press its Cancel).
  CUpdateProgressDlg* progress() const { return progress_.data(); }
  // The update command returned: the wait cursor that followed the progress window goes.
  void RunEnded() { afterProgress_.reset(); }

 private:
  CQuilletApp& app_;
  QPointer<CUpdateProgressDlg> progress_;  // cleared when the run closes the window
  // After the progress window the run still saves the stock file and fills the list again,
  // which takes long with many stocks: the wait cursor takes over from the window.
  std::optional<CWaitCursor> afterProgress_;
};

// Timers on the Qt event loop.
class CQtTimerService final : public TimerService {
 public:
  UINT_PTR SetTimer(UINT_PTR requestedId, UINT elapseMs, std::function<void()> proc) override;
  bool KillTimer(UINT_PTR id) override;
  // The interval of a running timer in milliseconds, -1 when there is none.
  int IntervalOf(UINT_PTR id) const;

 private:
  std::map<UINT_PTR, std::unique_ptr<QTimer>> timers_;
};

}  // namespace quillet
