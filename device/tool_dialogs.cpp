#include "device/tool_dialogs.h"

#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QVBoxLayout>

#include "core/data_files.h"
#include "core/decimal_text.h"
#include "core/messages.h"
#include "core/portfolio_math.h"
#include "core/stock_list_texts.h"
#include "core/stock_operations.h"
#include "core/string_table.h"
#include "device/bitmaps.h"
#include "device/dialog_parts.h"
#include "device/main_frame.h"
#include "device/quillet_app.h"
#include "device/resource_ids.h"
#include "device/sheet_controls.h"
#include "device/wait_cursor.h"
#include "platform/message_box.h"

namespace quillet {
namespace {

constexpr const char* kCannotOpenClipboard = "Cannot open the Clipboard";
constexpr const char* kUnableToSetClipboard = "Unable to set Clipboard data";

QToolButton* CurrencyButton(QWidget* parent, int controlId) {
  auto* b = new QToolButton(parent);
  CModalDialog::SetControlId(b, controlId, "currencyButton");
  b->setIcon(QIcon(ResourceBitmap(IDB_CURRENCY)));
  b->setIconSize(QSize(16, 16));
  return b;
}

QString Amount(const PortfolioStore& s, double value) {
  return QString::fromStdString(FormatDecimal(value, 2, 0, s.cDecimalSeparator));
}

QString Percent(const PortfolioStore& s, double value) {
  return QString::fromStdString(FormatDecimal(value, 2, '%', s.cDecimalSeparator));
}

QLabel* Figure(QWidget* parent, int controlId, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setProperty("controlId", controlId);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return label;
}

QFrame* Separator(QWidget* parent, int y) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setGeometry(0, y, kScreenWidth, 2);
  return line;
}

StockRecord* SelectedStockOrSay(CQuilletApp& app) {
  StockRecord* r = app.frame()->list()->SelectedStock();
  if (!r) {
    app.context().messageBoxes().Show(text::kNoStockSelected, text::kCaption,
                                      MB_OK | MB_ICONINFORMATION);
  }
  return r;
}

}  // namespace

// ---- CCashDlg -----------------------------------------------------------------------------------

CCashDlg::CCashDlg(QWidget* parent, PortfolioStore& store)
    : CModalDialog(parent, IDD_CASH), store_(store), savedFlags_(store.ucPrefFlags) {
  setObjectName(QStringLiteral("cashDialog"));
  setWindowTitle(QStringLiteral("Cash"));
  setFixedSize(kScreenWidth, 120);
  // Each portfolio's cash is shown in its own currency, the figure that is stored.
  store_.ucPrefFlags &= static_cast<BYTE>(~kPrefConvertToBase);
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout();
  grid->addWidget(new QLabel(QStringLiteral("Portfolio:"), this), 0, 0);
  portfolio_ = new QComboBox(this);
  SetControlId(portfolio_, 3601, "portfolioCombo");
  FillPortfolioCombo(portfolio_, store_, store_.wViewPortfolio, true);
  grid->addWidget(portfolio_, 0, 1, 1, 3);
  grid->addWidget(new QLabel(QStringLiteral("Cash:"), this), 1, 0);
  cash_ = MakeNumberEdit(this, 3602, "cashEdit");
  grid->addWidget(cash_, 1, 1);
  currency_ = new QLabel(this);
  SetControlId(currency_, 3604, "currencyLabel");
  grid->addWidget(currency_, 1, 2);
  QToolButton* button = CurrencyButton(this, 3603);
  grid->addWidget(button, 1, 3);
  layout->addLayout(grid);
  AddOkCancelRow(this, layout, false);
  connect(portfolio_, QOverload<int>::of(&QComboBox::activated), this,
          [this](int) { OnPortfolioChosen(); });
  connect(button, &QToolButton::clicked, this, &CCashDlg::OnCurrencyButton);
  ShowFigure();
}

CCashDlg::~CCashDlg() { RestoreConvert(); }

void CCashDlg::RestoreConvert() {
  if (restored_) return;
  restored_ = true;
  store_.ucPrefFlags = static_cast<BYTE>((store_.ucPrefFlags & ~kPrefConvertToBase) |
                                         (savedFlags_ & kPrefConvertToBase));
}

void CCashDlg::ShowFigure() {
  const int p = ChosenPortfolio(portfolio_);
  shownPortfolio_ = p;
  const bool single = p >= 0 && p != PORTFOLIO_ALL && p < store_.wPortfolioCount;
  // A figure converted to the base currency is not what the portfolio holds: shown only.
  const bool editable = single && (!store_.ConvertToBase() || store_.CurrencyOfPortfolio(p) == 0);
  shownText_ = Amount(store_, PortfolioCash(store_, single ? p : PORTFOLIO_ALL));
  cash_->setText(shownText_);
  cash_->setEnabled(editable);
  MarkField(cash_, false);
  currency_->setText(ShownText(DisplayCurrencyCode(store_, single ? p : PORTFOLIO_ALL)));
}

bool CCashDlg::StoreFigure() {
  const int p = shownPortfolio_;
  if (!cash_->isEnabled() || p < 0 || p == PORTFOLIO_ALL || p >= store_.wPortfolioCount) {
    return true;
  }
  if (cash_->text() == shownText_) return true;
  const std::string typed = EditText(cash_);
  if (!ReadsWholeDecimal(typed, store_.cDecimalSeparator)) {
    MarkField(cash_, true);
    return false;
  }
  store_.dCash[p] = ParseDecimal(typed, 2, store_.cDecimalSeparator);
  shownText_ = cash_->text();
  changed_ = true;
  return true;
}

void CCashDlg::OnPortfolioChosen() {
  // A figure that is not a number is dropped with the portfolio it was typed for.
  StoreFigure();
  ShowFigure();
}

void CCashDlg::OnCurrencyButton() {
  StoreFigure();
  store_.ucPrefFlags ^= kPrefConvertToBase;
  ShowFigure();
}

void CCashDlg::accept() {
  if (!StoreFigure()) return;
  RestoreConvert();
  CModalDialog::accept();
}

void CCashDlg::CloseForSync() {
  StoreFigure();
  RestoreConvert();
  done(kCloseForSyncResult);
}

// ---- CInternetUpdateDlg -------------------------------------------------------------------------

CInternetUpdateDlg::CInternetUpdateDlg(QWidget* parent, PortfolioStore& store)
    : CModalDialog(parent, IDD_INTERNET_UPDATE), store_(store) {
  setObjectName(QStringLiteral("internetUpdateDialog"));
  setWindowTitle(QStringLiteral("Internet Update"));
  const LocaleSettings& locale = store_.context().locale();
  auto place = [this](QWidget* w, int x, int y, int width) {
    w->setGeometry(x, y, width, 20);
    return w;
  };
  place(new QLabel(QStringLiteral("Date:"), this), 4, 8, 40);
  std::string date = "N/A";
  if (store_.tLastUpdate != 0) {
    const std::string day = ShortDateText(locale, store_.tLastUpdate);
    const std::string time = FormatTime(locale.timeFormat, ToLocal(store_.tLastUpdate));
    if (day != "N/A" && !time.empty()) date = day + " " + time;
  }
  auto* dateLabel = Figure(this, 2001, "dateLabel");
  dateLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  dateLabel->setText(QString::fromStdString(date));
  place(dateLabel, 48, 8, 188);
  Separator(this, 33);
  place(new QLabel(QStringLiteral("Portfolio:"), this), 4, 42, 60);
  portfolio_ = new QComboBox(this);
  SetControlId(portfolio_, 2002, "portfolioCombo");
  FillPortfolioCombo(portfolio_, store_, store_.wViewPortfolio, true);
  place(portfolio_, 68, 42, 140);
  QToolButton* button = CurrencyButton(this, 2008);
  place(button, 212, 42, 24);
  place(MakeHeading(this, "Change since last update:"), 4, 72, 232);
  place(new QLabel(QStringLiteral("Profit:"), this), 14, 94, 70);
  profit_ = Figure(this, 2003, "profitLabel");
  place(profit_, 90, 94, 100);
  currency_ = new QLabel(this);
  currency_->setObjectName(QStringLiteral("currencyLabel"));
  place(currency_, 196, 94, 40);
  place(new QLabel(QStringLiteral("Profit %:"), this), 14, 116, 70);
  profitPercent_ = Figure(this, 2004, "profitPercentLabel");
  place(profitPercent_, 90, 116, 100);
  place(MakeHeading(this, "Change today:"), 4, 142, 232);
  place(new QLabel(QStringLiteral("Amount:"), this), 14, 164, 70);
  amount_ = Figure(this, 2005, "amountLabel");
  place(amount_, 90, 164, 100);
  place(new QLabel(QStringLiteral("%:"), this), 14, 186, 70);
  percent_ = Figure(this, 2006, "percentLabel");
  place(percent_, 90, 186, 100);
  Separator(this, 212);
  QPushButton* update = MakeButton(this, "Update Stocks", 2007, "updateButton");
  update->setGeometry(4, 222, 110, 24);
  QPushButton* ok = MakeButton(this, "OK", IDOK, "okButton");
  ok->setGeometry(180, 222, 56, 24);
  connect(update, &QPushButton::clicked, this, [this] {
    updateRequested_ = true;
    accept();
  });
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(portfolio_, QOverload<int>::of(&QComboBox::activated), this,
          [this](int) { Recompute(); });
  connect(button, &QToolButton::clicked, this, [this] {
    store_.ucPrefFlags ^= kPrefConvertToBase;
    Recompute();
  });
  Recompute();
}

void CInternetUpdateDlg::Recompute() {
  const int p = ChosenPortfolio(portfolio_);
  const int portfolio = p < 0 ? PORTFOLIO_ALL : p;
  const ChangeFigures since = ChangeSinceLastUpdate(store_, portfolio);
  const ChangeFigures today = ChangeToday(store_, portfolio);
  profit_->setText(Amount(store_, since.amount));
  profitPercent_->setText(Percent(store_, since.percent));
  amount_->setText(Amount(store_, today.amount));
  percent_->setText(Percent(store_, today.percent));
  currency_->setText(ShownText(DisplayCurrencyCode(store_, portfolio)));
}

// ---- CSortDlg -----------------------------------------------------------------------------------

CSortDlg::CSortDlg(QWidget* parent, PortfolioStore& store)
    : CModalDialog(parent, IDD_SORT), store_(store) {
  setObjectName(QStringLiteral("sortDialog"));
  setWindowTitle(QStringLiteral("Sort Stocks"));
  setFixedSize(kScreenWidth, 150);
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout();
  grid->addWidget(new QLabel(QStringLiteral("Sort by:"), this), 0, 0);
  key_ = new QComboBox(this);
  SetControlId(key_, 1801, "keyCombo");
  for (const std::string& item : strings::ChoiceList(strings::IDS_SORT_KEYS)) {
    key_->addItem(QString::fromStdString(item));
  }
  key_->setCurrentIndex(store_.ucSortKey < key_->count() ? store_.ucSortKey : 0);
  grid->addWidget(key_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Sort order:"), this), 1, 0);
  order_ = new QComboBox(this);
  SetControlId(order_, 1802, "orderCombo");
  for (const std::string& item : strings::ChoiceList(strings::IDS_SORT_ORDER)) {
    order_->addItem(QString::fromStdString(item));
  }
  order_->setCurrentIndex(store_.bSortDescending ? 1 : 0);
  grid->addWidget(order_, 1, 1);
  layout->addLayout(grid);
  watched_ = new QCheckBox(QStringLiteral("Watched stocks at the bottom"), this);
  SetControlId(watched_, 1803, "watchedCheck");
  watched_->setChecked(store_.bWatchedAtBottom != 0);
  layout->addWidget(watched_);
  AddOkCancelRow(this, layout);
}

void CSortDlg::accept() {
  if (key_->currentIndex() >= 0 && key_->currentIndex() < kSortKeyCount) {
    store_.ucSortKey = static_cast<BYTE>(key_->currentIndex());
  }
  store_.bSortDescending = order_->currentIndex() == 1 ? 1 : 0;
  store_.bWatchedAtBottom = watched_->isChecked() ? 1 : 0;
  CModalDialog::accept();
}

// ---- CSplitDlg ----------------------------------------------------------------------------------

CSplitDlg::CSplitDlg(QWidget* parent, PortfolioStore& store) : CModalDialog(parent, IDD_SPLIT) {
  setObjectName(QStringLiteral("splitDialog"));
  setWindowTitle(QStringLiteral("Split Stock"));
  setFixedSize(kScreenWidth, 130);
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout();
  grid->addWidget(new QLabel(QStringLiteral("Date:"), this), 0, 0);
  date_ = MakeDatePicker(this, store.context().locale(), "splitDate");
  const StockTime today = NowStockTime(store.context().clock());
  date_->setDate(DayOf(today, today));
  grid->addWidget(date_, 0, 1, 1, 3);
  grid->addWidget(new QLabel(QStringLiteral("Split ratio:"), this), 1, 0);
  a_ = MakeNumberEdit(this, 1302, "ratioAEdit");
  b_ = MakeNumberEdit(this, 1303, "ratioBEdit");
  grid->addWidget(a_, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("for"), this), 1, 2);
  grid->addWidget(b_, 1, 3);
  layout->addLayout(grid);
  AddOkCancelRow(this, layout);
}

StockTime CSplitDlg::date() const { return TimeOfDay(date_->date()); }
std::string CSplitDlg::a() const { return EditText(a_); }
std::string CSplitDlg::b() const { return EditText(b_); }

// ---- CNetworkLogDlg -----------------------------------------------------------------------------

CNetworkLogDlg::CNetworkLogDlg(QWidget* parent, PortfolioStore& store, const std::string& log)
    : CModalDialog(parent, IDD_NETWORK_LOG), store_(store) {
  setObjectName(QStringLiteral("networkLogDialog"));
  setWindowTitle(QStringLiteral("Log"));
  text_ = ShownText(log);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(MakeHeading(this, "Quillet Log:"));
  edit_ = new QPlainTextEdit(this);
  SetControlId(edit_, 1101, "logEdit");
  edit_->setReadOnly(true);
  QFont arial(QStringLiteral("Arial"));
  arial.setPixelSize(12);
  edit_->setFont(arial);
  QString shown = text_;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  edit_->setPlainText(shown);
  // The newest lines are at the end, where the caret goes.
  edit_->moveCursor(QTextCursor::End);
  edit_->ensureCursorVisible();
  layout->addWidget(edit_, 1);
  auto* row = new QHBoxLayout();
  QPushButton* copy = MakeButton(this, "Copy to Clipboard", 1102, "copyButton");
  row->addWidget(copy);
  row->addStretch();
  QPushButton* ok = MakeButton(this, "OK", IDOK, "okButton");
  row->addWidget(ok);
  layout->addLayout(row);
  connect(copy, &QPushButton::clicked, this, &CNetworkLogDlg::OnCopy);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void CNetworkLogDlg::OnCopy() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard) {
    store_.Message(kCannotOpenClipboard, MB_ICONSTOP);
    return;
  }
  // The whole log as the program keeps it, line ends included.
  clipboard->setText(text_);
  if (clipboard->text() != text_) store_.Message(kUnableToSetClipboard, MB_ICONSTOP);
}

// ---- The commands -------------------------------------------------------------------------------

void RunCashDialog(CQuilletApp& app) {
  CMainFrame* frame = app.frame();
  if (!app.store() || !frame) return;
  CCashDlg dialog(frame, *app.store());
  app.RunModal(dialog);
  if (app.closing()) return;
  if (dialog.changed()) SaveStocks(*app.store());
  frame->list()->RefreshTotals();
}

void RunInternetUpdateDialog(CQuilletApp& app) {
  CMainFrame* frame = app.frame();
  if (!app.store() || !frame) return;
  CInternetUpdateDlg dialog(frame, *app.store());
  app.RunModal(dialog);
  if (app.closing()) return;
  // The currency button may have changed how the list shows its figures.
  CStockListView* list = frame->list();
  StockRecord* selected = list->SelectedStock();
  list->RefreshCurrencyLabel();
  list->RefillList(selected);
  if (dialog.updateRequested()) app.UpdateStocks(false);
}

void RunSortDialog(CQuilletApp& app) {
  CMainFrame* frame = app.frame();
  if (!app.store() || !frame) return;
  CSortDlg dialog(frame, *app.store());
  if (app.RunModal(dialog) != QDialog::Accepted || app.closing()) return;
  CWaitCursor wait;
  CStockListView* list = frame->list();
  StockRecord* selected = list->SelectedStock();
  SortStocks(*app.store());
  list->RefillList(selected);
}

void RunSplitDialog(CQuilletApp& app) {
  CMainFrame* frame = app.frame();
  if (!app.store() || !frame) return;
  StockRecord* r = SelectedStockOrSay(app);
  if (!r || r->IsSold()) return;
  const DWORD id = r->dwId;
  CSplitDlg dialog(frame, *app.store());
  if (app.RunModal(dialog) != QDialog::Accepted || app.closing()) return;
  PortfolioStore& s = *app.store();
  r = s.FindStock(id);
  if (!r) return;
  if (SplitStock(s, r, dialog.date(), dialog.a(), dialog.b()) != StockOpResult::kDone) return;
  frame->list()->RefillList(s.FindStock(id));
  SaveStocks(s);
}

void RunNetworkLogDialog(CQuilletApp& app) {
  CMainFrame* frame = app.frame();
  if (!app.store() || !frame) return;
  CNetworkLogDlg dialog(frame, *app.store(), app.networkLog().text());
  app.RunModal(dialog);
}

}  // namespace quillet
