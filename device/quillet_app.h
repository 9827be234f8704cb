// The application object of the handheld program: the start sequence (preferences, data files,
// chart store, main frame, optional password, first-start About box), the end sequence that
// saves everything, the low-memory release and reload of the store, the desktop's request to
// close for a synchronisation, and the commands that are not about the selected stock.
//
// Every modal dialog of the program runs through RunModal, so the close request can end the
// one that is open, and tests can answer dialogs the way they answer message boxes.
#pragma once

#include <QDialog>
#include <QObject>
#include <functional>
#include <memory>
#include <vector>

#include "core/chart_store.h"
#include "core/portfolio_store.h"
#include "device/update_host.h"
#include "platform/context.h"
#include "platform/linux/window_station.h"
#include "quotes/network_log.h"

namespace quillet {

class CMainFrame;

class CQuilletApp : public QObject {
  Q_OBJECT
 public:
  struct Options {
    // Start without the first-start About box (the screenshot of the main window).
    bool skipAboutBox = false;
    // Only show the data: nothing is written, not at the start (the alert value, a new chart
    // database, the day's portfolio points), not at the end (files and preferences), and no
    // update runs. A picture of the screen must leave the device as it found it.
    bool readOnly = false;
  };

  // The main window registers with the context's window station; without one no other process
  // can reach it.
  explicit CQuilletApp(PlatformContext& ctx);
  CQuilletApp(PlatformContext& ctx, Options options);
  ~CQuilletApp() override;
  CQuilletApp(const CQuilletApp&) = delete;
  CQuilletApp& operator=(const CQuilletApp&) = delete;

  // The start sequence; false when the program must end (ExitInstance still runs).
  bool InitInstance();
  // The end sequence: saves preferences and data unless the start failed before the store
  // existed or the store is released.
  void ExitInstance();

  PlatformContext& context() { return ctx_; }
  WindowStation* station() { return ctx_.windowStation(); }
  PortfolioStore* store() { return store_.get(); }
  ChartStore* charts() { return charts_.get(); }
  CMainFrame* frame() { return frame_.get(); }
  bool firstStart() const { return firstStart_; }
  bool closing() const { return closing_; }
  bool released() const { return released_; }
  bool started() const { return started_; }
  bool readOnly() const { return options_.readOnly; }

  // Application commands; false for a command it does not know or cannot run now.
  bool OnCommand(UINT id);
  // Whether a command can run now (commands whose dialogs do not exist yet cannot).
  bool IsCommandAvailable(UINT id) const;

  // Low memory: saves everything and frees the store; the window stays, showing nothing.
  void ReleaseStore();
  // The window became active again after a release: loads everything again. On failure the
  // message was shown and the main window closes.
  bool ReloadStore();
  // The window was activated (by the window system or a WM_ACTIVATE message).
  void OnActivate();
  // The desktop's close request: ends the open modal dialogs as with OK and closes the window.
  void CloseForSync();

  // Runs a modal dialog of the program and returns its result.
  int RunModal(QDialog& dialog);
  // The modal dialogs open now, innermost last.
  const std::vector<QDialog*>& openDialogs() const { return openDialogs_; }
  // Tests and scripts answer dialogs here instead of the user; the answerer gets the dialog
  // before it is shown and returns its result.
  using ModalAnswerer = std::function<int(QDialog&)>;
  void SetModalAnswerer(ModalAnswerer answerer) { modalAnswerer_ = std::move(answerer); }

  // The main window was closed: remembers the selected stock and asks the event loop to end.
  void OnFrameClosed();
  // Called when the program should leave its event loop (main sets QCoreApplication::exit).
  void SetQuitHandler(std::function<void()> quit) { quit_ = std::move(quit); }
  bool quitRequested() const { return quitRequested_; }

  void ShowAbout();
  void ShowPartners();

  // The "Update Stocks" command (foreground) or the timer's run (background).
  UpdateOutcome UpdateStocks(bool background);
  // True while a run of the update command is going on.
  bool UpdateRunning() const { return update_ && update_->running(); }
  CUpdateHostImpl& updateHost() { return host_; }
  NetworkLog& networkLog() { return log_; }
  CUpdateTimer* updateTimer() { return timer_.get(); }
  CQtTimerService& timers() { return timers_; }

 private:
  bool AllocateStore();
  bool LoadData();
  void FreeData();
  void SaveAll();
  // The update command and the timer work on one store; they are made again with it.
  void CreateUpdateParts();

  PlatformContext& ctx_;
  Options options_;
  std::unique_ptr<ChartStore> charts_;
  std::unique_ptr<PortfolioStore> store_;
  std::unique_ptr<CMainFrame> frame_;
  NetworkLog log_;
  CUpdateHostImpl host_{*this};
  CQtTimerService timers_;
  std::unique_ptr<CUpdateCommand> update_;
  std::unique_ptr<CUpdateTimer> timer_;
  bool started_ = false;
  bool firstStart_ = false;
  bool closing_ = false;
  bool released_ = false;
  bool reloading_ = false;
  BYTE alertActiveAtRelease_ = 0;
  bool quitRequested_ = false;
  std::vector<QDialog*> openDialogs_;
  ModalAnswerer modalAnswerer_;
  std::function<void()> quit_;
};

}  // namespace quillet
