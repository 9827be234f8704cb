#include "device/main_frame.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPainter>

#include "core/data_files.h"
#include "core/messages.h"
#include "core/quote_tables.h"
#include "core/string_table.h"
#include "device/alert_bubble.h"
#include "device/bitmaps.h"
#include "device/chart_dialogs.h"
#include "device/modal_dialog.h"
#include "device/quillet_app.h"
#include "device/resource_ids.h"
#include "device/sell_dialog.h"
#include "device/stock_sheet.h"
#include "device/wait_cursor.h"
#include "platform/codepage.h"
#include "platform/linux/shell_services.h"

namespace quillet {
namespace {

constexpr const char* kFrameClassName = "QuilletFrame";
constexpr const char* kWindowTitle = "Quillet";

// The alert notification as the shell keeps it: the program's own class and id, so showing it
// again replaces it and "Open" or "Dismiss" remove it.
constexpr GUID kNotificationClass = {
    0x7C3F1A52, 0x5E0B, 0x4D8A, {0x9B, 0x61, 0x2F, 0x4E, 0xA8, 0x13, 0x6D, 0xC7}};
constexpr DWORD kNotificationId = 6611;
constexpr UINT kNotificationIcon = 65136;
constexpr DWORD kNotificationSeconds = 20;

struct MenuItem {
  UINT id;  // 0 for a separator
  const char* text;
};

// Menu items in resource order; the handheld's menus rise from the command bar, so the first
// item is drawn at the bottom.
constexpr MenuItem kStocksMenu[] = {
    {ID_SORT_STOCKS, "Sort Stocks..."}, {0, nullptr}, {ID_SPLIT_STOCK, "Split Stock..."},
    {ID_SELL_STOCK, "Sell Stock..."},   {0, nullptr}, {ID_DELETE_ALL, "Delete ALL Stocks"},
    {ID_DELETE_STOCK, "Delete Stock"},  {0, nullptr}, {ID_NEW_STOCK, "New Stock..."},
};
constexpr MenuItem kToolsMenu[] = {
    {ID_APP_ABOUT, "About Quillet..."},
    {ID_ABOUT_PARTNERS, "About Partners..."},
    {ID_SUPPORT, "Support..."},
    {0, nullptr},
    {ID_PREFERENCES, "Preferences..."},
    {ID_CURRENCIES, "Currencies..."},
    {ID_PORTFOLIOS, "Portfolios..."},
    {0, nullptr},
    {ID_NETWORK_LOG, "View Network Log..."},
    {ID_UPDATE_STOCKS, "Update Stocks"},
    {0, nullptr},
    {ID_APP_EXIT, "Exit"},
};
// The tap-and-hold menu of a stock, top to bottom.
constexpr MenuItem kStockMenu[] = {
    {ID_EDIT_PRICE, "Edit Current Price"},   {0, nullptr},
    {ID_VIEW_BUY, "View Buy Details"},       {ID_VIEW_MARKET, "View Market Info"},
    {ID_VIEW_CALC, "View Stock Calculator"}, {ID_VIEW_NOTES, "View Notes"},
    {ID_VIEW_CHART, "View Chart"},           {ID_VIEW_ALERTS, "View Alerts"},
    {ID_VIEW_SELL, "View Sell Details"},     {0, nullptr},
    {ID_SELL_STOCK, "Sell Stock"},           {0, nullptr},
    {ID_SPLIT_STOCK, "Split Stock"},         {0, nullptr},
    {ID_DELETE_STOCK, "Delete Stock"},
};
// The toolbar: command and image of each button; tooltips are strings 31801..31805.
struct ToolbarSpec {
  UINT id;
  int image;
};
constexpr ToolbarSpec kToolbar[] = {{ID_ACTIVE_SOLD, 0},
                                    {ID_PORTFOLIO_CHARTS, 1},
                                    {ID_ALERTS, 2},
                                    {ID_INTERNET_UPDATE, 3},
                                    {ID_PORTFOLIO_CASH, 4}};

}  // namespace

CMainFrame::CMainFrame(CQuilletApp& app) : QWidget(nullptr), app_(app) {
  setObjectName(QStringLiteral("mainFrame"));
  setWindowTitle(QString::fromLatin1(kWindowTitle));
  setFixedSize(kScreenWidth, kScreenHeight);
  titleClock_.setObjectName(QStringLiteral("titleClock"));
  titleClock_.setSingleShot(true);
  connect(&titleClock_, &QTimer::timeout, this, [this] { TickTitleClock(); });
}

CMainFrame::~CMainFrame() {
  notifier_.reset();
  if (hwnd_ && app_.station()) app_.station()->DestroyWindow(hwnd_);
}

bool CMainFrame::Create() {
  CStockListView::Handlers handlers;
  handlers.command = [this](UINT id) { OnCommand(id); };
  handlers.openSheet = [this](int row, int page) { OpenStockSheet(row, page); };
  handlers.stockMenu = [this](int row, QPoint at) { ShowStockMenu(row, at); };
  list_ = new CStockListView(this, app_.context(), std::move(handlers));
  list_->setGeometry(0, kTitleBarHeight, kScreenWidth,
                     kScreenHeight - kTitleBarHeight - kCommandBarHeight);
  BuildCommandBar();
  if (PortfolioStore* store = app_.store()) {
    // A read-only start shows the data and writes no portfolio points.
    list_->SetStore(store, app_.readOnly() ? nullptr : app_.charts());
    list_->RefillList(store->FindStock(store->dwSelectedStock));
  }
  RegisterWindow();
  UpdateCommandStates();
  TickTitleClock();
  return list_ && commandBar_ && actions_.size() > 0 && toolbar_.size() == std::size(kToolbar);
}

void CMainFrame::RegisterWindow() {
  WindowStation* station = app_.station();
  if (!station) return;
  hwnd_ = station->CreateWindow(kWindowTitle, kFrameClassName, app_.context().programPath(),
                                [this](const WindowMessage& m) { return OnWindowMessage(m); });
  if (!hwnd_) return;
  int fd = station->MessageFd(hwnd_);
  if (fd < 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
    // One message per turn of the event loop, as a window's message loop takes them: a message
    // that ends a dialog lets it close before the next one is read.
    if (app_.station() && hwnd_) app_.station()->DispatchPending(hwnd_, 1);
  });
}

QAction* CMainFrame::AddMenuItem(QMenu* menu, UINT id, const char* text) {
  QAction* a = menu->addAction(QString::fromLatin1(text));
  a->setObjectName(QStringLiteral("cmd%1").arg(id));
  connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
  return a;
}

void CMainFrame::BuildCommandBar() {
  commandBar_ = new QWidget(this);
  commandBar_->setObjectName(QStringLiteral("commandBar"));
  commandBar_->setGeometry(0, kScreenHeight - kCommandBarHeight, kScreenWidth, kCommandBarHeight);
  auto* row = new QHBoxLayout(commandBar_);
  row->setContentsMargins(2, 2, 2, 2);
  row->setSpacing(1);

  struct MenuSpec {
    UINT label;
    const MenuItem* items;
    std::size_t count;
    const char* name;
  };
  const MenuSpec menus[2] = {
      {strings::IDS_STOCKS, kStocksMenu, std::size(kStocksMenu), "menuStocks"},
      {strings::IDS_TOOLS, kToolsMenu, std::size(kToolsMenu), "menuTools"}};
  for (const MenuSpec& entry : menus) {
    auto* button = new QToolButton(commandBar_);
    button->setObjectName(QString::fromLatin1(entry.name));
    button->setText(QString::fromStdString(strings::LoadString(entry.label)));
    button->setToolTip(QString::fromStdString(strings::LoadString(strings::IDS_TOOLTIP_BASE)));
    button->setPopupMode(QToolButton::InstantPopup);
    button->setAutoRaise(true);
    auto* menu = new QMenu(button);
    menu->setObjectName(QString::fromLatin1(entry.name) + QStringLiteral("Popup"));
    for (std::size_t k = entry.count; k-- > 0;) {
      const MenuItem& item = entry.items[k];
      if (item.id == 0) {
        menu->addSeparator();
      } else {
        actions_[item.id] = AddMenuItem(menu, item.id, item.text);
      }
    }
    connect(menu, &QMenu::aboutToShow, this, [this] { UpdateCommandStates(); });
    button->setMenu(menu);
    row->addWidget(button);
  }
  row->addSpacing(6);
  for (std::size_t k = 0; k < std::size(kToolbar); ++k) {
    const ToolbarSpec& entry = kToolbar[k];
    auto* button = new QToolButton(commandBar_);
    button->setObjectName(QStringLiteral("toolbar%1").arg(entry.id));
    button->setIconSize(QSize(16, 16));
    button->setIcon(QIcon(ToolbarImage(entry.image)));
    button->setAutoRaise(true);
    button->setFixedSize(22, 22);
    button->setToolTip(QString::fromStdString(
        strings::LoadString(strings::IDS_TOOLTIP_BASE + 1 + static_cast<UINT>(k))));
    const UINT id = entry.id;
    connect(button, &QToolButton::clicked, this, [this, id] { OnCommand(id); });
    toolbar_[entry.id] = button;
    toolbarImage_[entry.id] = entry.image;
    row->addWidget(button);
  }
  row->addStretch();

  stockMenu_ = new QMenu(this);
  stockMenu_->setObjectName(QStringLiteral("stockMenu"));
}

QAction* CMainFrame::Action(UINT id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

QToolButton* CMainFrame::ToolbarButton(UINT id) const {
  auto it = toolbar_.find(id);
  return it == toolbar_.end() ? nullptr : it->second;
}

int CMainFrame::ToolbarImageOf(UINT command) const {
  auto it = toolbarImage_.find(command);
  return it == toolbarImage_.end() ? -1 : it->second;
}

void CMainFrame::SetActiveSoldImage(bool sold) {
  const int image = sold ? 6 : 0;
  toolbarImage_[ID_ACTIVE_SOLD] = image;
  if (QToolButton* b = ToolbarButton(ID_ACTIVE_SOLD)) b->setIcon(QIcon(ToolbarImage(image)));
}

void CMainFrame::SetAlertImage(bool active) {
  const int image = active ? 5 : 2;
  toolbarImage_[ID_ALERTS] = image;
  if (QToolButton* b = ToolbarButton(ID_ALERTS)) {
    // An active alert stays visible even while the button cannot be pressed.
    QIcon icon(ToolbarImage(image));
    if (active) icon.addPixmap(ToolbarImage(image), QIcon::Disabled);
    b->setIcon(icon);
  }
}

void CMainFrame::UpdateCommandStates() {
  for (auto& [id, action] : actions_) action->setEnabled(app_.IsCommandAvailable(id));
  for (auto& [id, button] : toolbar_) button->setEnabled(app_.IsCommandAvailable(id));
  if (list_) {
    for (UINT id : {ID_VIEW_CALC, ID_VIEW_CHART, ID_DELETE_STOCK, ID_PORTFOLIOS, ID_NEW_STOCK}) {
      list_->SetCommandEnabled(id, app_.IsCommandAvailable(id));
    }
  }
}

void CMainFrame::OnCommand(UINT id) {
  if (id == ID_NOTIFY_DISMISS || id == ID_NOTIFY_OPEN) {
    if (shellNotification_ && app_.station()) {
      SHNotificationRemove(*app_.station(), app_.context().root(), kNotificationClass,
                           kNotificationId);
      shellNotification_ = false;
    }
    if (bubble_) {
      // The bubble's own button may be what sent the command.
      bubble_->hide();
      bubble_->deleteLater();
      bubble_ = nullptr;
    }
    if (id == ID_NOTIFY_OPEN) {
      show();
      raise();
      activateWindow();
      // The bubble said alerts are active: "Open" shows them, unless a window of the program
      // is already open over the list (it would be covered by one it did not ask for).
      if (app_.openDialogs().empty() && !app_.closing() && app_.IsCommandAvailable(ID_ALERTS)) {
        app_.OnCommand(ID_ALERTS);
      }
    }
    return;
  }
  if (OnStockCommand(id)) return;
  if (list_ && list_->OnCommand(id)) return;
  app_.OnCommand(id);
}

bool CMainFrame::ShowAlertNotification() {
  if (PocketPcCheck(DevicePlatform()) == 0) return false;
  // Shown again, the bubble replaces the one on screen rather than adding a second.
  delete bubble_;
  bubble_ = nullptr;
  if (WindowStation* station = app_.station(); station && hwnd_) {
    SHNOTIFICATIONDATA note;
    note.cbStruct = sizeof note;
    note.dwID = kNotificationId;
    note.npPriority = SHNP_INFORM;
    note.csDuration = kNotificationSeconds;
    note.hicon = kNotificationIcon;
    note.clsid = kNotificationClass;
    note.hwndSink = hwnd_;
    note.pszHTML = Utf8ToUtf16(strings::LoadString(strings::IDS_ALERT_NOTIFICATION));
    note.pszTitle = Utf8ToUtf16(kWindowTitle);
    if (SHNotificationAdd(*station, app_.context().root(), note) == ERROR_SUCCESS) {
      shellNotification_ = true;
      return true;
    }
  }
  // No shell runs on this device: the program shows the bubble over its own window.
  bubble_ = new CAlertBubble(this, [this](UINT id) { OnCommand(id); });
  bubble_->setGeometry(20, kTitleBarHeight + 4, kScreenWidth - 40, 80);
  bubble_->show();
  bubble_->raise();
  return true;
}

void CMainFrame::ShowStockMenu(int row, QPoint global) {
  PortfolioStore* store = app_.store();
  StockRecord* r = list_->StockAtRow(row);
  if (!store || !r) return;
  stockMenu_->clear();
  for (const MenuItem& item : kStockMenu) {
    if (item.id == 0) {
      stockMenu_->addSeparator();
      continue;
    }
    if (item.id == ID_VIEW_SELL && !r->IsSold()) continue;
    QAction* a = AddMenuItem(stockMenu_, item.id, item.text);
    a->setEnabled(app_.IsCommandAvailable(item.id));
  }
  stockMenu_->popup(global);
}

void CMainFrame::OpenStockSheet(int row, int page) {
  PortfolioStore* store = app_.store();
  // While closing no dialog runs, so a new stock made now would never be confirmed or removed.
  if (!store || !list_ || app_.released() || app_.closing()) return;
  const bool isNew = row < 0;
  // New Stock makes the record first (and refuses in the sold view, saying why).
  StockRecord* r = isNew ? store->NewStock() : list_->StockAtRow(row);
  if (!r) return;
  if (!isNew) list_->SelectRow(row);
  CStockSheet sheet(this, app_, r->dwId, page, isNew, [this](DWORD id, int direction) {
    return list_->StepSelection(id, direction);
  });
  app_.RunModal(sheet);
  FinishStockSheet(app_, *list_, sheet);
}

bool CMainFrame::OnStockCommand(UINT id) {
  int page = -1;
  switch (id) {
    case ID_VIEW_BUY:
      page = kPageInfo;
      break;
    case ID_VIEW_MARKET:
      page = kPageMarket;
      break;
    case ID_VIEW_CALC:
      page = kPageCalc;
      break;
    case ID_VIEW_NOTES:
      page = kPageNote;
      break;
    case ID_VIEW_CHART:
      page = kPageChart;
      break;
    case ID_VIEW_ALERTS:
      page = kPageAlert;
      break;
    case ID_VIEW_SELL:
      page = kPageCodeDefault;
      break;
    case ID_SELL_STOCK:
    case ID_EDIT_PRICE:
      break;
    default:
      return false;
  }
  if (!app_.IsCommandAvailable(id) || !list_) return true;
  const int row = list_->SelectedRow();
  StockRecord* r = list_->SelectedStock();
  if (!r) {
    app_.context().messageBoxes().Show(text::kNoStockSelected, text::kCaption,
                                       MB_OK | MB_ICONINFORMATION);
    return true;
  }
  if (id == ID_EDIT_PRICE) {
    EditCurrentPrice(r->dwId);
    return true;
  }
  if (id != ID_SELL_STOCK) {
    OpenStockSheet(row, page);
    return true;
  }
  const DWORD stockId = r->dwId;
  if (RunSellStock(app_, this, stockId) == StockOpResult::kDone && !app_.closing()) {
    CWaitCursor wait;
    // Partly sold, the lot that stays keeps the id; wholly sold, the sold record does.
    list_->RefillList(app_.store()->FindStock(stockId));
    SaveStocks(*app_.store());
  }
  return true;
}

void CMainFrame::EditCurrentPrice(DWORD stockId) {
  PortfolioStore* store = app_.store();
  StockRecord* r = store ? store->FindStock(stockId) : nullptr;
  if (!r) return;
  CCurrentPriceDlg dialog(this, *store, app_.charts(), QuoteSymbol(r->Symbol(), r->ucMarket),
                          r->ucMarket, true, NowStockTime(app_.context().clock()));
  if (app_.RunModal(dialog) != 1 || app_.closing()) return;
  // Every stock of the symbol has a new current quote: the rows, the totals and the file.
  CWaitCursor wait;
  list_->RefillList(store->FindStock(stockId));
  SaveStocks(*store);
}

LRESULT CMainFrame::OnWindowMessage(const WindowMessage& m) {
  switch (m.msg) {
    case WM_QUILLET_CLOSE:
      app_.CloseForSync();
      return 0;
    case WM_QUILLET_IGNORED:
      return 0;
    case WM_HIBERNATE:
      app_.ReleaseStore();
      return 0;
    case WM_ACTIVATE:
      if ((m.wParam & 0xFFFF) != WA_INACTIVE) {
        app_.OnActivate();
        if (!app_.closing()) {
          show();
          raise();
        }
      }
      return 0;
    case WM_CLOSE:
      close();
      return 0;
    case WM_COMMAND:
      // A menu command sent by another process, as a window accepts them; it runs as if chosen
      // from the menu. While a modal window is open the main window takes no commands (the
      // window would work on stocks under the dialog): the command goes to that window, as to
      // the window with the input, and presses its button of that id.
      if (app_.closing()) return 0;
      if (!app_.openDialogs().empty()) {
        SendCommandToDialog(*app_.openDialogs().back(), static_cast<UINT>(m.wParam & 0xFFFF));
        return 0;
      }
      OnCommand(static_cast<UINT>(m.wParam & 0xFFFF));
      return 0;
    default:
      return 0;
  }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  event->accept();
  app_.OnFrameClosed();
}

void CMainFrame::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) app_.OnActivate();
}

void CMainFrame::paintEvent(QPaintEvent*) {
  // The handheld's title bar: the program's name on the left and the time on the right.
  QPainter p(this);
  QRect bar(0, 0, width(), kTitleBarHeight);
  p.fillRect(bar, QColor(0, 51, 153));
  p.setPen(Qt::white);
  QFont f = font();
  f.setBold(true);
  f.setPixelSize(13);
  p.setFont(f);
  p.drawText(bar.adjusted(6, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
             QString::fromLatin1(kWindowTitle));
  f.setBold(false);
  f.setPixelSize(12);
  p.setFont(f);
  p.drawText(bar.adjusted(0, 0, -6, 0), Qt::AlignRight | Qt::AlignVCenter, TitleClockText());
  QRect cmd(0, height() - kCommandBarHeight, width(), kCommandBarHeight);
  p.fillRect(cmd, QColor(214, 211, 206));
  p.setPen(QColor(128, 128, 128));
  p.drawLine(cmd.topLeft(), cmd.topRight());
}

QString CMainFrame::TitleClockText() const {
  LocalTime now = ToLocal(app_.context().clock().Now());
  return QString::asprintf("%d:%02d", now.hour, now.minute);
}

void CMainFrame::TickTitleClock() {
  update(0, 0, width(), kTitleBarHeight);
  // Wake at the next whole minute of the program's clock (a second late rather than early, so
  // the new minute has begun when the bar is painted).
  LocalTime now = ToLocal(app_.context().clock().Now());
  titleClock_.start((60 - now.second) * 1000 + 50);
}

}  // namespace quillet
