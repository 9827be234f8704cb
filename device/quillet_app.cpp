#include "device/quillet_app.h"

#include <QApplication>
#include <new>

#include "core/alert_evaluation.h"
#include "core/data_files.h"
#include "core/messages.h"
#include "core/portfolio_math.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "device/about_dialog.h"
#include "device/alerts_view.h"
#include "device/main_frame.h"
#include "device/modal_dialog.h"
#include "device/password_dialog.h"
#include "device/portfolio_charts_dialog.h"
#include "device/portfolio_dialogs.h"
#include "device/prefs_sheet.h"
#include "device/resource_ids.h"
#include "device/tool_dialogs.h"
#include "device/wait_cursor.h"

namespace quillet {
namespace {

constexpr const char* kNoMemoryLaunch = "Not enough memory to launch Quillet!";
constexpr const char* kNoMemoryRelaunch = "Not enough memory to re-launch Quillet!";
constexpr const char* kCannotReload = "Cannot re-load databases.";

}  // namespace

CQuilletApp::CQuilletApp(PlatformContext& ctx) : CQuilletApp(ctx, Options()) {}

CQuilletApp::CQuilletApp(PlatformContext& ctx, Options options) : ctx_(ctx), options_(options) {}

CQuilletApp::~CQuilletApp() {
  frame_.reset();
  FreeData();
}

bool CQuilletApp::AllocateStore() {
  charts_.reset(new (std::nothrow) ChartStore(ctx_.objectStore(), ctx_.messageBoxes()));
  if (!charts_) return false;
  store_.reset(new (std::nothrow) PortfolioStore(ctx_, charts_.get()));
  if (!store_) {
    charts_.reset();
    return false;
  }
  return true;
}

bool CQuilletApp::LoadData() {
  // The store starts with three empty lists; each loader stops the start when it fails, having
  // shown its own message.
  store_->stocks.clear();
  store_->notes.clear();
  store_->alerts.clear();
  if (!LoadStocks(*store_) || !LoadNotes(*store_) || !LoadAlerts(*store_)) return false;
  // Opening the chart store creates it when missing, and the list would add the day's
  // portfolio points to it: a read-only start opens only a store that is there, for the charts
  // to read, and hands it to nothing that writes.
  if (options_.readOnly) {
    std::unique_ptr<PropertyDatabase> probe;
    if (ctx_.objectStore().OpenDatabase(kChartDbName, &probe) == ERROR_SUCCESS) {
      probe.reset();
      charts_->OpenChartStore();
    }
    return true;
  }
  if (!charts_->OpenChartStore()) return false;
  store_->hChartDB = charts_.get();
  return true;
}

void CQuilletApp::CreateUpdateParts() {
  update_ = std::make_unique<CUpdateCommand>(
      UpdateServices{*store_, charts_.get(), log_, host_, *frame_});
  timer_ = std::make_unique<CUpdateTimer>(*store_, timers_, host_, *update_, *frame_);
}

void CQuilletApp::FreeData() {
  // The timer goes first: it must not fire on a store that is gone.
  timer_.reset();
  update_.reset();
  if (charts_) charts_->CloseChartStore();
  store_.reset();
  charts_.reset();
}

bool CQuilletApp::InitInstance() {
  // Sockets need no start-up on this platform; the quote client opens its own.
  started_ = true;
  if (!AllocateStore()) {
    ctx_.messageBoxes().Show(kNoMemoryLaunch, text::kCaption, MB_OK | MB_ICONSTOP);
    started_ = false;
    return false;
  }
  firstStart_ = LoadPreferences(*store_);
  if (!LoadData()) {
    FreeData();
    started_ = false;
    return false;
  }
  frame_ = std::make_unique<CMainFrame>(*this);
  CreateUpdateParts();
  // The evaluation leaves the stocks in symbol order; the user's sort comes back from it
  // unless "Auto Sort" sorts them just after.
  store_->bAlertActive = (options_.readOnly ? EvaluateAlerts(*store_, store_->bAutoSort == 0)
                                            : CheckAlerts(*store_, store_->bAutoSort == 0))
                             ? 1
                             : 0;
  if (store_->bAutoSort) SortStocks(*store_);
  if (!frame_->Create()) {
    // Nothing was changed yet; the end sequence saves what was read.
    return false;
  }
  if (store_->bPassword && store_->wPassword != 0) {
    CPasswordDlg password(frame_.get(), CPasswordDlg::Mode::kCheck);
    RunModal(password);
    if (closing_ || !PasswordMatches(password.digits(), store_->wPassword)) return false;
  }
  frame_->show();
  if (firstStart_ && !options_.skipAboutBox) ShowAbout();
  frame_->SetActiveSoldImage(store_->bShowClosed != 0);
  frame_->UpdateAlertButton(store_->bAlertActive != 0);
  frame_->UpdateCommandStates();
  if (!options_.readOnly) timer_->Arm();
  return !closing_;
}

void CQuilletApp::SaveAll() {
  if (timer_) timer_->Kill();
  SavePreferences(*store_);
  SaveStocks(*store_);
  SaveNotes(*store_);
  SaveAlerts(*store_);
  charts_->CloseChartStore();
  store_->hChartDB = nullptr;
}

void CQuilletApp::ExitInstance() {
  if (frame_ && store_ && !released_) {
    // The window may still be open when the start was refused (password) or in a screenshot.
    StockRecord* r = frame_->list()->SelectedOrFirstStock();
    store_->dwSelectedStock = r ? r->dwId : 0;
  }
  if (started_ && store_ && !released_ && !options_.readOnly) SaveAll();
  frame_.reset();
  FreeData();
  started_ = false;
}

void CQuilletApp::OnFrameClosed() {
  if (store_ && !released_) {
    StockRecord* r = frame_->list()->SelectedOrFirstStock();
    store_->dwSelectedStock = r ? r->dwId : 0;
  }
  quitRequested_ = true;
  if (quit_) quit_();
}

void CQuilletApp::ReleaseStore() {
  // An open dialog or a running update works on the store; it keeps its memory until they end.
  if (released_ || !store_ || !openDialogs_.empty() || UpdateRunning()) return;
  released_ = true;
  // The alert state is not stored; the button keeps showing it until the next evaluation.
  alertActiveAtRelease_ = store_->bAlertActive;
  // The reload selects the same stock again.
  StockRecord* selected = frame_->list()->SelectedOrFirstStock();
  store_->dwSelectedStock = selected ? selected->dwId : 0;
  SaveAll();
  frame_->list()->SetStore(nullptr, nullptr);
  FreeData();
  frame_->UpdateCommandStates();
}

bool CQuilletApp::ReloadStore() {
  if (!released_ || reloading_) return true;
  reloading_ = true;
  released_ = false;
  bool ok = AllocateStore();
  if (!ok) {
    ctx_.messageBoxes().Show(kNoMemoryRelaunch, text::kCaption, MB_OK | MB_ICONSTOP);
  } else {
    LoadPreferences(*store_);
    ok = LoadData();
    if (!ok) {
      ctx_.messageBoxes().Show(kCannotReload, text::kCaption, MB_OK | MB_ICONSTOP);
    }
  }
  if (!ok) {
    // Nothing was read, so nothing may be written back over the files at the end.
    FreeData();
    released_ = true;
    reloading_ = false;
    frame_->close();
    return false;
  }
  store_->bAlertActive = alertActiveAtRelease_;
  CreateUpdateParts();
  timer_->Arm();
  CStockListView* list = frame_->list();
  list->SetStore(store_.get(), options_.readOnly ? nullptr : charts_.get());
  list->RefillList(store_->FindStock(store_->dwSelectedStock));
  frame_->SetActiveSoldImage(store_->bShowClosed != 0);
  frame_->UpdateCommandStates();
  reloading_ = false;
  return true;
}

void CQuilletApp::OnActivate() {
  if (released_) ReloadStore();
}

void CQuilletApp::CloseForSync() {
  closing_ = true;
  // A run in progress stops at its next wait; the end saves what it had applied.
  if (UpdateRunning()) update_->Cancel();
  // Innermost first, each as if OK had been pressed.
  for (auto it = openDialogs_.rbegin(); it != openDialogs_.rend(); ++it) {
    if (auto* dlg = qobject_cast<CModalDialog*>(*it)) {
      dlg->CloseForSync();
    } else {
      (*it)->done(kCloseForSyncResult);
    }
  }
  if (frame_) frame_->close();
}

int CQuilletApp::RunModal(QDialog& dialog) {
  if (closing_) return 0;
  CArrowCursorForDialog arrow;
  openDialogs_.push_back(&dialog);
  int result = modalAnswerer_ ? modalAnswerer_(dialog) : dialog.exec();
  std::erase(openDialogs_, &dialog);
  return result;
}

UpdateOutcome CQuilletApp::UpdateStocks(bool background) {
  if (!update_ || released_ || options_.readOnly) return UpdateOutcome::kTurnedAway;
  UpdateOutcome outcome = update_->UpdateStocks(background);
  host_.RunEnded();
  if (frame_) frame_->UpdateCommandStates();
  return outcome;
}

void CQuilletApp::ShowAbout() {
  CAboutDlg about(frame_.get(), [this] { ShowPartners(); });
  RunModal(about);
}

void CQuilletApp::ShowPartners() {
  CPartnersDlg partners(frame_.get());
  RunModal(partners);
}

bool CQuilletApp::IsCommandAvailable(UINT id) const {
  if (!store_ || released_) return id == ID_APP_EXIT;
  switch (id) {
    case ID_NEW_STOCK:
    case ID_SELL_STOCK:
    case ID_VIEW_BUY:
    case ID_VIEW_MARKET:
    case ID_VIEW_CALC:
    case ID_VIEW_CHART:
    case ID_EDIT_PRICE:
    case ID_PORTFOLIO_CHARTS:
    case ID_VIEW_NOTES:
    case ID_VIEW_SELL:
    case ID_UPDATE_STOCKS:
    case ID_DELETE_STOCK:
    case ID_DELETE_ALL:
    case ID_ACTIVE_SOLD:
    case ID_CURRENCY_TOGGLE:
    case ID_SUPPORT:
    case ID_ABOUT_PARTNERS:
    case ID_APP_ABOUT:
    case ID_APP_EXIT:
    case ID_VIEW_ALERTS:
    case ID_ALERTS:
    case ID_SORT_STOCKS:
    case ID_SPLIT_STOCK:
    case ID_PREFERENCES:
    case ID_PORTFOLIO_CASH:
    case ID_CURRENCIES:
    case ID_INTERNET_UPDATE:
    case ID_PORTFOLIOS:
    case ID_NETWORK_LOG:
      return true;
    default:
      return false;
  }
}

bool CQuilletApp::OnCommand(UINT id) {
  if (!IsCommandAvailable(id)) return false;
  CStockListView* list = frame_->list();
  PortfolioStore& s = *store_;
  switch (id) {
    case ID_NEW_STOCK:
      frame_->OpenStockSheet(-1, kPageInfo);
      return true;
    case ID_DELETE_STOCK: {
      StockRecord* r = list->SelectedStock();
      if (!r) {
        ctx_.messageBoxes().Show(text::kNoStockSelected, text::kCaption,
                                 MB_OK | MB_ICONINFORMATION);
        return true;
      }
      if (!ctx_.messageBoxes().AskYesNo(text::kDeleteStock, text::kCaption, MB_ICONEXCLAMATION)) {
        return true;
      }
      s.DeleteStock(r);
      if (!closing_) list->RefillList(nullptr);
      return true;
    }
    case ID_DELETE_ALL:
      if (s.DeleteAllStocks() && !closing_) list->RefillList(nullptr);
      return true;
    case ID_ACTIVE_SOLD:
      s.bShowClosed = s.bShowClosed ? 0 : 1;
      frame_->SetActiveSoldImage(s.bShowClosed != 0);
      list->RefillList(nullptr);
      frame_->UpdateCommandStates();
      return true;
    case ID_UPDATE_STOCKS:
      UpdateStocks(false);
      return true;
    case ID_PORTFOLIO_CHARTS: {
      const StockRecord* selected = list->SelectedStock();
      const DWORD selectedId = selected ? selected->dwId : 0;
      {
        CPortfolioChartsDlg view(frame_.get(), *this);
        RunModal(view);
      }
      // The view listed the stocks by symbol for a while; the list shows the user's order.
      if (!closing_) list->RefillList(s.FindStock(selectedId));
      return true;
    }
    case ID_SUPPORT:
      ctx_.messageBoxes().Show(strings::LoadString(strings::IDS_SUPPORT), text::kCaption,
                               MB_OK | MB_ICONINFORMATION);
      return true;
    case ID_ABOUT_PARTNERS:
      ShowPartners();
      return true;
    case ID_APP_ABOUT:
      ShowAbout();
      return true;
    case ID_APP_EXIT:
      frame_->close();
      return true;
    case ID_ALERTS:
      RunAlertsView(*this);
      return true;
    case ID_SORT_STOCKS:
      RunSortDialog(*this);
      return true;
    case ID_SPLIT_STOCK:
      RunSplitDialog(*this);
      return true;
    case ID_PREFERENCES:
      RunPreferences(*this);
      return true;
    case ID_PORTFOLIO_CASH:
      RunCashDialog(*this);
      return true;
    case ID_CURRENCIES:
      RunCurrenciesDialog(*this);
      return true;
    case ID_INTERNET_UPDATE:
      RunInternetUpdateDialog(*this);
      return true;
    case ID_PORTFOLIOS:
      RunPortfoliosDialog(*this);
      return true;
    case ID_NETWORK_LOG:
      RunNetworkLogDialog(*this);
      return true;
    default:
      return false;
  }
}

}  // namespace quillet
