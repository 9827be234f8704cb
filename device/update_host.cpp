#include "device/update_host.h"

#include <QApplication>

#include "device/main_frame.h"
#include "device/quillet_app.h"
#include "device/update_progress_dialog.h"

namespace quillet {

std::unique_ptr<QuoteProgress> CUpdateHostImpl::OpenProgress(CancelToken& cancel) {
  auto dialog = std::make_unique<CUpdateProgressDlg>(app_.frame(), cancel);
  progress_ = dialog.get();
  QObject::connect(dialog.get(), &QObject::destroyed, app_.frame(), [this] {
    if (!afterProgress_) afterProgress_.emplace();
  });
  return dialog;
}

void CUpdateHostImpl::PlayUpdateSound() {
  // The program carries no sound player of its own; the system's beep is the sound.
  QApplication::beep();
}

void CUpdateHostImpl::PumpMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

DWORD CUpdateHostImpl::SelectedStock() {
  if (!app_.frame() || !app_.store()) return 0;
  StockRecord* r = app_.frame()->list()->SelectedStock();
  return r ? r->dwId : 0;
}

void CUpdateHostImpl::RefillList(DWORD selectStock) {
  if (app_.closing() || !app_.store() || !app_.frame()) return;
  app_.frame()->list()->RefillList(app_.store()->FindStock(selectStock));
}

bool CUpdateHostImpl::MainWindowInForeground() {
  QWidget* active = QApplication::activeWindow();
  CMainFrame* frame = app_.frame();
  for (QWidget* w = active; w; w = w->parentWidget()) {
    if (w == frame) return true;
  }
  return false;
}

bool CUpdateHostImpl::ModalWindowOpen() { return !app_.openDialogs().empty(); }

void CUpdateHostImpl::PostToForeground(UINT msg) {
  // Only the program's own windows can be in front when this is asked; the frame has no use
  // for the message, so it goes through the station like any other post.
  if (app_.station() && app_.frame() && app_.frame()->hwnd()) {
    app_.station()->PostMessage(app_.frame()->hwnd(), msg, 0, 0);
  }
}

UINT_PTR CQtTimerService::SetTimer(UINT_PTR requestedId, UINT elapseMs,
                                   std::function<void()> proc) {
  if (requestedId == 0) return 0;
  auto timer = std::make_unique<QTimer>();
  timer->setInterval(static_cast<int>(elapseMs));
  QObject::connect(timer.get(), &QTimer::timeout, std::move(proc));
  timer->start();
  timers_[requestedId] = std::move(timer);
  return requestedId;
}

bool CQtTimerService::KillTimer(UINT_PTR id) { return timers_.erase(id) > 0; }

int CQtTimerService::IntervalOf(UINT_PTR id) const {
  auto it = timers_.find(id);
  return it == timers_.end() ? -1 : it->second->interval();
}

}  // namespace quillet
