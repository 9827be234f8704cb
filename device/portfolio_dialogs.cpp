#include "device/portfolio_dialogs.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "core/data_files.h"
#include "core/decimal_text.h"
#include "core/messages.h"
#include "device/dialog_parts.h"
#include "device/main_frame.h"
#include "device/quillet_app.h"
#include "device/resource_ids.h"
#include "device/wait_cursor.h"
#include "platform/message_box.h"

namespace quillet {
namespace {

QString CurrencyLine(const PortfolioStore& s, int c) {
  return ShownText(s.CurrencyCode(c)) + QStringLiteral("\t\t") +
         QString::fromStdString(FormatDecimal(s.currencies[c].dRate, 6, 0, s.cDecimalSeparator));
}

}  // namespace

// ---- CPortfolioDlg ------------------------------------------------------------------------------

CPortfolioDlg::CPortfolioDlg(QWidget* parent, const QString& name)
    : CModalDialog(parent, IDD_PORTFOLIO) {
  setObjectName(QStringLiteral("portfolioDialog"));
  setWindowTitle(QStringLiteral("Portfolio"));
  setFixedSize(kScreenWidth, 100);
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout();
  row->addWidget(new QLabel(QStringLiteral("Portfolio:"), this));
  name_ = new QLineEdit(name, this);
  SetControlId(name_, 4541, "nameEdit");
  name_->setMaxLength(15);
  row->addWidget(name_);
  layout->addLayout(row);
  AddOkCancelRow(this, layout);
}

std::string CPortfolioDlg::name() const { return TypedText(name_->text()); }

void CPortfolioDlg::accept() {
  // A portfolio without a name could not be told apart in any selector.
  if (name_->text().trimmed().isEmpty()) return;
  CModalDialog::accept();
}

// ---- CPortfoliosDlg -----------------------------------------------------------------------------

CPortfoliosDlg::CPortfoliosDlg(QWidget* parent, CQuilletApp& app)
    : CModalDialog(parent, IDD_PORTFOLIOS), app_(app) {
  setObjectName(QStringLiteral("portfoliosDialog"));
  setWindowTitle(QStringLiteral("Portfolios"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(MakeHeading(this, "Portfolios:"));
  auto* body = new QHBoxLayout();
  list_ = new QListWidget(this);
  SetControlId(list_, 4531, "portfolioList");
  body->addWidget(list_, 1);
  auto* buttons = new QVBoxLayout();
  QPushButton* add = MakeButton(this, "New", 4532, "newButton");
  QPushButton* edit = MakeButton(this, "Edit", 4533, "editButton");
  QPushButton* remove = MakeButton(this, "Delete", 4534, "deleteButton");
  buttons->addWidget(add);
  buttons->addWidget(edit);
  buttons->addWidget(remove);
  buttons->addStretch();
  body->addLayout(buttons);
  layout->addLayout(body);
  AddOkCancelRow(this, layout, false);
  connect(add, &QPushButton::clicked, this, &CPortfoliosDlg::OnNew);
  connect(edit, &QPushButton::clicked, this, &CPortfoliosDlg::OnEdit);
  connect(remove, &QPushButton::clicked, this, &CPortfoliosDlg::OnDelete);
  Fill(-1);
}

PortfolioStore& CPortfoliosDlg::store() { return *app_.store(); }

void CPortfoliosDlg::Fill(int select) {
  PortfolioStore& s = store();
  list_->clear();
  for (int k = 0; k < s.wPortfolioCount; ++k) list_->addItem(ShownText(s.PortfolioName(k)));
  list_->setCurrentRow(select);
}

void CPortfoliosDlg::OnNew() {
  if (store().wPortfolioCount >= kMaxPortfolios) return;
  CPortfolioDlg dialog(this, QString());
  if (app_.RunModal(dialog) != QDialog::Accepted || app_.closing()) return;
  if (!store().AddPortfolio(dialog.name())) return;
  changed_ = true;
  Fill(store().wPortfolioCount - 1);
}

void CPortfoliosDlg::OnEdit() {
  const int k = list_->currentRow();
  if (k < 1 || k >= store().wPortfolioCount) return;
  CPortfolioDlg dialog(this, ShownText(store().PortfolioName(k)));
  if (app_.RunModal(dialog) != QDialog::Accepted || app_.closing()) return;
  if (!store().RenamePortfolio(k, dialog.name())) return;
  changed_ = true;
  Fill(k);
}

void CPortfoliosDlg::OnDelete() {
  const int k = list_->currentRow();
  if (k < 1 || k >= store().wPortfolioCount) return;
  // Asks, moves the stocks to "Unfiled", renumbers the later portfolios and every index that
  // names one (the view, the portfolio of new stocks), and deletes the portfolio's history.
  if (!store().DeletePortfolio(k)) return;
  changed_ = true;
  Fill(-1);
}

// ---- CCurrencyDlg -------------------------------------------------------------------------------

CCurrencyDlg::CCurrencyDlg(QWidget* parent, PortfolioStore& store, int index)
    : CModalDialog(parent, IDD_CURRENCY), store_(store), index_(index) {
  setObjectName(QStringLiteral("currencyDialog"));
  setWindowTitle(index > 0 ? QStringLiteral("Currency Edit") : QStringLiteral("Currency Add"));
  setFixedSize(kScreenWidth, 130);
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout();
  row->addWidget(new QLabel(QStringLiteral("Currency Name:"), this));
  code_ = new QLineEdit(this);
  SetControlId(code_, 2801, "codeEdit");
  code_->setMaxLength(3);
  row->addWidget(code_);
  layout->addLayout(row);
  auto* rateRow = new QHBoxLayout();
  rateRow->addWidget(new QLabel(QStringLiteral("1"), this));
  codeLabel_ = new QLabel(this);
  codeLabel_->setObjectName(QStringLiteral("codeLabel"));
  rateRow->addWidget(codeLabel_);
  rateRow->addWidget(new QLabel(QStringLiteral("is:"), this));
  rate_ = new QLineEdit(this);
  SetControlId(rate_, 2803, "rateEdit");
  rate_->setMaxLength(11);
  rateRow->addWidget(rate_);
  auto* base = new QLabel(ShownText(store_.CurrencyCode(0)), this);
  base->setObjectName(QStringLiteral("baseLabel"));
  rateRow->addWidget(base);
  layout->addLayout(rateRow);
  AddOkCancelRow(this, layout);
  if (index_ > 0 && index_ < store_.wCurrencyCount) {
    code_->setText(ShownText(store_.CurrencyCode(index_)));
    codeLabel_->setText(code_->text());
    rate_->setText(QString::fromStdString(
        FormatDecimal(store_.currencies[index_].dRate, 6, 0, store_.cDecimalSeparator)));
  }
  connect(code_, &QLineEdit::textEdited, this, [this] { CodeTyped(); });
  connect(code_, &QLineEdit::editingFinished, this, [this] {
    code_->setText(code_->text().toUpper());
    codeLabel_->setText(code_->text());
  });
}

void CCurrencyDlg::CodeTyped() {
  const QString upper = code_->text().toUpper();
  if (upper != code_->text()) code_->setText(upper);
  const std::string fixed = store_.FixedRateText(TypedText(upper));
  if (!fixed.empty()) rate_->setText(QString::fromStdString(fixed));
}

void CCurrencyDlg::accept() {
  const std::string code = TypedText(code_->text().trimmed());
  if (code.empty()) {
    code_->setFocus();
    return;
  }
  const std::string rate = TypedText(rate_->text());
  // A euro currency against a euro base has its fixed ratio; any other rate must be one.
  const bool fixed = index_ <= 0 && !store_.FixedRateText(code).empty();
  if (!fixed && !(ParseDecimal(rate, 6, store_.cDecimalSeparator) > 0 &&
                  ReadsWholeDecimal(rate, store_.cDecimalSeparator))) {
    store_.Message(text::kRateNotPositive, MB_ICONSTOP);
    rate_->setFocus();
    return;
  }
  const bool stored =
      index_ > 0 ? store_.EditCurrency(index_, code, rate) : store_.AddCurrency(code, rate);
  if (!stored) return;
  CModalDialog::accept();
}

// ---- CCurrenciesDlg -----------------------------------------------------------------------------

CCurrenciesDlg::CCurrenciesDlg(QWidget* parent, CQuilletApp& app)
    : CModalDialog(parent, IDD_CURRENCIES), app_(app) {
  setObjectName(QStringLiteral("currenciesDialog"));
  setWindowTitle(QStringLiteral("Currencies"));
  PortfolioStore& s = store();
  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(3);
  auto* grid = new QGridLayout();
  grid->addWidget(new QLabel(QStringLiteral("Base Currency:"), this), 0, 0);
  base_ = new QLineEdit(ShownText(s.CurrencyCode(0)), this);
  SetControlId(base_, 2702, "baseEdit");
  base_->setMaxLength(3);
  grid->addWidget(base_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Portfolio:"), this), 1, 0);
  portfolio_ = new QComboBox(this);
  SetControlId(portfolio_, 2701, "portfolioCombo");
  grid->addWidget(portfolio_, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("is in currency:"), this), 2, 0);
  currency_ = new QComboBox(this);
  SetControlId(currency_, 2703, "currencyCombo");
  grid->addWidget(currency_, 2, 1);
  layout->addLayout(grid);
  layout->addWidget(MakeHeading(this, "Defined currencies:"));
  auto* body = new QHBoxLayout();
  list_ = new QListWidget(this);
  SetControlId(list_, 2704, "currencyList");
  body->addWidget(list_, 1);
  auto* buttons = new QVBoxLayout();
  QPushButton* add = MakeButton(this, "New", 2705, "newButton");
  QPushButton* edit = MakeButton(this, "Edit", 2706, "editButton");
  QPushButton* remove = MakeButton(this, "Delete", 2707, "deleteButton");
  buttons->addWidget(add);
  buttons->addWidget(edit);
  buttons->addWidget(remove);
  buttons->addStretch();
  body->addLayout(buttons);
  layout->addLayout(body, 1);
  AddOkCancelRow(this, layout, false);

  // "Unfiled" stands for "All": a currency belongs to one portfolio.
  const int current = s.wViewPortfolio == PORTFOLIO_ALL ? 0 : s.wViewPortfolio;
  FillPortfolioCombo(portfolio_, s, current < s.wPortfolioCount ? current : 0, false);
  FillCurrencies(0);
  connect(add, &QPushButton::clicked, this, &CCurrenciesDlg::OnNew);
  connect(edit, &QPushButton::clicked, this, &CCurrenciesDlg::OnEdit);
  connect(remove, &QPushButton::clicked, this, &CCurrenciesDlg::OnDelete);
  connect(base_, &QLineEdit::editingFinished, this, &CCurrenciesDlg::StoreBaseCode);
  connect(portfolio_, QOverload<int>::of(&QComboBox::activated), this,
          [this](int) { ShowPortfolioCurrency(); });
  connect(currency_, QOverload<int>::of(&QComboBox::activated), this,
          [this](int index) { store().SetPortfolioCurrency(ChosenPortfolio(portfolio_), index); });
  // Opening the currency list stores a base code typed but not yet left.
  currency_->installEventFilter(this);
}

PortfolioStore& CCurrenciesDlg::store() { return *app_.store(); }

bool CCurrenciesDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == currency_ && event->type() == QEvent::MouseButtonPress) StoreBaseCode();
  return CModalDialog::eventFilter(watched, event);
}

void CCurrenciesDlg::StoreBaseCode() {
  const std::string code = TypedText(base_->text().trimmed());
  store().SetBaseCurrencyCode(code);
  base_->setText(ShownText(store().CurrencyCode(0)));
  const int shown = currency_->currentIndex();
  FillCurrencies(list_->currentRow() + 1);
  currency_->setCurrentIndex(shown);
}

void CCurrenciesDlg::FillCurrencies(int select) {
  PortfolioStore& s = store();
  {
    const QSignalBlocker quiet(currency_);
    currency_->clear();
    for (int c = 0; c < s.wCurrencyCount; ++c) currency_->addItem(ShownText(s.CurrencyCode(c)));
  }
  list_->clear();
  for (int c = 1; c < s.wCurrencyCount; ++c) {
    // The list draws no tab stops: the line is shown in columns of blanks and kept whole as
    // the item's data.
    const QString line = CurrencyLine(s, c);
    auto* item = new QListWidgetItem(
        QString(line).replace(QStringLiteral("\t\t"), QStringLiteral("        ")));
    item->setData(Qt::UserRole, line);
    list_->addItem(item);
  }
  // The list shows currencies 1..n-1; `select` is a currency index, the first when out of range.
  const int row = select - 1;
  list_->setCurrentRow(row >= 0 && row < list_->count() ? row : (list_->count() > 0 ? 0 : -1));
  ShowPortfolioCurrency();
}

void CCurrenciesDlg::ShowPortfolioCurrency() {
  const QSignalBlocker quiet(currency_);
  currency_->setCurrentIndex(store().CurrencyOfPortfolio(ChosenPortfolio(portfolio_)));
}

void CCurrenciesDlg::OnNew() {
  if (store().wCurrencyCount >= kMaxCurrencies) return;
  StoreBaseCode();
  CCurrencyDlg dialog(this, store(), 0);
  if (app_.RunModal(dialog) != QDialog::Accepted || app_.closing()) return;
  FillCurrencies(store().wCurrencyCount - 1);
}

void CCurrenciesDlg::OnEdit() {
  const int c = list_->currentRow() + 1;
  if (list_->currentRow() < 0 || c >= store().wCurrencyCount) return;
  StoreBaseCode();
  CCurrencyDlg dialog(this, store(), c);
  if (app_.RunModal(dialog) != QDialog::Accepted || app_.closing()) return;
  FillCurrencies(c);
}

void CCurrenciesDlg::OnDelete() {
  const int c = list_->currentRow() + 1;
  if (list_->currentRow() < 0 || c >= store().wCurrencyCount) return;
  // Portfolios in that currency go to the base currency; later currencies move down one.
  if (!store().DeleteCurrency(c)) return;
  FillCurrencies(1);
}

void CCurrenciesDlg::accept() {
  StoreBaseCode();
  CModalDialog::accept();
}

void CCurrenciesDlg::CloseForSync() {
  StoreBaseCode();
  CModalDialog::CloseForSync();
}

// ---- The commands -------------------------------------------------------------------------------

void RunPortfoliosDialog(CQuilletApp& app) {
  CMainFrame* frame = app.frame();
  if (!app.store() || !frame) return;
  CStockListView* list = frame->list();
  StockRecord* selected = list->SelectedStock();
  const DWORD selectedId = selected ? selected->dwId : 0;
  CPortfoliosDlg dialog(frame, app);
  app.RunModal(dialog);
  if (!dialog.changed() || app.closing()) return;
  PortfolioStore& s = *app.store();
  // The stock file carries the portfolio table and the stocks' portfolio numbers.
  SaveStocks(s);
  list->RefillPortfolioSelector();
  list->RefillList(s.FindStock(selectedId));
}

void RunCurrenciesDialog(CQuilletApp& app) {
  CMainFrame* frame = app.frame();
  if (!app.store() || !frame) return;
  CStockListView* list = frame->list();
  StockRecord* selected = list->SelectedStock();
  const DWORD selectedId = selected ? selected->dwId : 0;
  CCurrenciesDlg dialog(frame, app);
  app.RunModal(dialog);
  if (app.closing()) return;
  PortfolioStore& s = *app.store();
  CWaitCursor wait;
  SaveStocks(s);
  list->RefreshCurrencyLabel();
  list->RefillList(s.FindStock(selectedId));
}

}  // namespace quillet
