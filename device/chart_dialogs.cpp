#include "device/chart_dialogs.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "charts/chart_plot.h"
#include "core/decimal_text.h"
#include "core/stock_list_texts.h"
#include "core/string_table.h"
#include "device/quillet_app.h"
#include "device/sheet_controls.h"
#include "device/stock_page_chart.h"
#include "platform/message_box.h"

namespace quillet {
namespace {

QDialogButtonBox* OkCancel(CModalDialog* dialog, bool cancel) {
  auto* buttons = new QDialogButtonBox(
      cancel ? QDialogButtonBox::Ok | QDialogButtonBox::Cancel : QDialogButtonBox::Ok, dialog);
  CModalDialog::SetControlId(buttons->button(QDialogButtonBox::Ok), IDOK, "okButton");
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  if (cancel) {
    CModalDialog::SetControlId(buttons->button(QDialogButtonBox::Cancel), IDCANCEL, "cancelButton");
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  }
  return buttons;
}

}  // namespace

// ---- Current Price ------------------------------------------------------------------------------

CCurrentPriceDlg::CCurrentPriceDlg(QWidget* parent, PortfolioStore& store, ChartStore* charts,
                                   std::string name, int market, bool fromList, StockTime date)
    : CModalDialog(parent, IDD_CURRENT_PRICE),
      store_(store),
      charts_(charts),
      name_(std::move(name)),
      market_(market),
      fromList_(fromList) {
  setObjectName(QStringLiteral("currentPriceDialog"));
  setWindowTitle(QStringLiteral("Current Price"));
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout();
  date_ = MakeDatePicker(this, store.context().locale(), "priceDate");
  date_->setProperty("controlId", 2601);
  date_->setDate(DayOf(date, date));
  grid->addWidget(date_, 0, 0, 1, 2);
  price_ = MakeNumberEdit(this, 2602, "priceEdit");
  low_ = MakeNumberEdit(this, 2603, "lowEdit");
  high_ = MakeNumberEdit(this, 2604, "highEdit");
  volume_ = MakeNumberEdit(this, 2605, "volumeEdit");
  const char* labels[] = {"Price:", "Low:", "High:", "Volume:"};
  QLineEdit* edits[] = {price_, low_, high_, volume_};
  for (int i = 0; i < 4; ++i) {
    grid->addWidget(new QLabel(QString::fromLatin1(labels[i]), this), i + 1, 0);
    grid->addWidget(edits[i], i + 1, 1);
  }
  layout->addLayout(grid);
  auto* remove = new QPushButton(QStringLiteral("Delete"), this);
  SetControlId(remove, 2607, "deleteButton");
  connect(remove, &QPushButton::clicked, this, &CCurrentPriceDlg::OnDelete);
  layout->addWidget(remove);
  layout->addStretch();
  layout->addWidget(OkCancel(this, true));
  connect(date_, &QDateEdit::dateChanged, this, [this] { LoadPointOfDate(); });
  LoadPointOfDate();
}

StockTime CCurrentPriceDlg::date() const { return TimeOfDay(date_->date()); }

void CCurrentPriceDlg::LoadPointOfDate() {
  if (!charts_ || !charts_->isOpen()) return;
  // A day without a point shows empty edits: figures left from another day would be stored as
  // this day's without anyone typing them.
  const auto texts = PointTextsOfDay(*charts_, name_, market_, date(), store_.cDecimalSeparator)
                         .value_or(PriceEntryTexts{});
  price_->setText(QString::fromStdString(texts.price));
  low_->setText(QString::fromStdString(texts.low));
  high_->setText(QString::fromStdString(texts.high));
  volume_->setText(QString::fromStdString(texts.volume));
}

void CCurrentPriceDlg::OnDelete() {
  if (charts_ && date() != 0) charts_->DeletePoint(name_, market_, date());
  done(kPriceDeleted);
}

void CCurrentPriceDlg::accept() {
  const auto figures =
      ReadPriceEntry({EditText(price_), EditText(low_), EditText(high_), EditText(volume_)},
                     store_.cDecimalSeparator, market_ == kPortfolioSeriesMarket);
  if (!figures || date() == 0) {
    MarkField(price_, !figures);
    store_.context().messageBoxes().Show(strings::LoadString(strings::IDS_PRICE_REQUIRED),
                                         "Quillet", MB_OK | MB_ICONSTOP);
    return;
  }
  MarkField(price_, false);
  const bool portfolio = market_ == kPortfolioSeriesMarket;
  if (charts_) {
    charts_->SetPoint(name_, market_, date(), *figures, portfolio ? kPortfolioScale : kStockScale);
  }
  if (fromList_ && !portfolio) SetCurrentQuote(store_, name_, market_, *figures);
  CModalDialog::accept();
}

// ---- Delete Chart Range -------------------------------------------------------------------------

CDeleteChartRangeDlg::CDeleteChartRangeDlg(QWidget* parent, const PortfolioStore& store,
                                           StockTime date)
    : CModalDialog(parent, IDD_DELETE_CHART_RANGE) {
  setObjectName(QStringLiteral("deleteChartRangeDialog"));
  setWindowTitle(QStringLiteral("Delete Chart Range"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Delete up to:"), this));
  date_ = MakeDatePicker(this, store.context().locale(), "rangeDate");
  date_->setDate(DayOf(date, date));
  layout->addWidget(date_);
  all_ = new QCheckBox(QStringLiteral("Apply to all records"), this);
  all_->setObjectName(QStringLiteral("allRecords"));
  layout->addWidget(all_);
  layout->addStretch();
  layout->addWidget(OkCancel(this, true));
}

StockTime CDeleteChartRangeDlg::date() const { return TimeOfDay(date_->date()); }

// ---- Info ---------------------------------------------------------------------------------------

CChartInfoDlg::CChartInfoDlg(QWidget* parent, const PortfolioStore& store, const ChartPoint& p,
                             bool portfolio)
    : CModalDialog(parent, IDD_CHART_INFO) {
  setObjectName(QStringLiteral("chartInfoDialog"));
  setWindowTitle(QStringLiteral("Info"));
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout();
  const char sep = store.cDecimalSeparator;
  auto figure = [&](DWORD v) {
    return portfolio ? std::to_string(SignedAmount(v)) : FormatDecimal(v / kStockScale, 4, 0, sep);
  };
  const std::pair<const char*, std::string> rows[] = {
      {"Date:", ShortDateText(store.context().locale(), p.tDate)},
      {"Price:", figure(p.dwPrice)},
      {"Low:", figure(p.dwLow)},
      {"High:", figure(p.dwHigh)},
      {"Vol.", std::to_string(p.dwVolume)}};
  const char* names[] = {"infoDate", "infoPrice", "infoLow", "infoHigh", "infoVolume"};
  int row = 0;
  for (const auto& [label, value] : rows) {
    grid->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0);
    auto* shown = new QLabel(QString::fromStdString(value), this);
    shown->setObjectName(QString::fromLatin1(names[row]));
    grid->addWidget(shown, row, 1);
    ++row;
  }
  layout->addLayout(grid);
  layout->addWidget(OkCancel(this, false));
}

bool RunHistoryMenuCommand(UINT id, QWidget* parent, CQuilletApp& app, CChartPlot& plot) {
  PortfolioStore& s = *app.store();
  switch (id) {
    case ID_CHART_DELETE_RANGE: {
      CDeleteChartRangeDlg dialog(parent, s, NowStockTime(s.context().clock()));
      if (app.RunModal(dialog) != 1) return false;
      plot.DeleteChartRange(dialog.date(), dialog.allRecords());
      return true;
    }
    case ID_CHART_DELETE_DATA:
      if (!s.context().messageBoxes().AskYesNo(strings::LoadString(strings::IDS_DELETE_CHART_DATA),
                                               "Quillet", MB_ICONEXCLAMATION)) {
        return false;
      }
      plot.DeleteChartData();
      return true;
    case ID_CHART_MINMAX:
      s.ucPrefFlags ^= kPrefChartMinMax;
      plot.SetMinMaxForRange((s.ucPrefFlags & kPrefChartMinMax) != 0);
      return true;
    default:
      return false;
  }
}

}  // namespace quillet
