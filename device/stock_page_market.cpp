#include "device/stock_page_market.h"

#include "core/stock_edits.h"
#include "device/resource_ids.h"
#include "platform/codepage.h"

namespace quillet {
namespace {

// The rows top to bottom: label and value control id.
struct MarketRow {
  const char* label;
  int id;
  const char* name;
};
constexpr MarketRow kRows[] = {
    {"Date:", 1601, "quoteDate"},        {"Price:", 1602, "quotePrice"},
    {"Change:", 1603, "quoteChange"},    {"Bid:", 1610, "quoteBid"},
    {"Ask:", 1611, "quoteAsk"},          {"Close:", 1606, "quoteClose"},
    {"Volume:", 1607, "quoteVolume"},    {"Low:", 1604, "quoteLow"},
    {"High:", 1605, "quoteHigh"},        {"Low 52-W:", 1608, "quoteLow52"},
    {"High 52-W:", 1609, "quoteHigh52"},
};

}  // namespace

CStockMarket::CStockMarket(CStockSheet& sheet)
    : CStockPage(sheet, IDD_STOCK_MARKET, "Market", kPageMarket, 1) {
  setObjectName(QStringLiteral("marketPage"));
  auto* from = new QLabel(QStringLiteral("From Internet:"), this);
  from->setGeometry(4, 2, 200, 18);
  const QFont heading = HeadingFont();
  constexpr int kRow = 19;
  for (int k = 0; k < 11; ++k) {
    const MarketRow& row = kRows[k];
    auto* label = new QLabel(QString::fromLatin1(row.label), this);
    label->setFont(heading);
    label->setGeometry(4, 22 + k * kRow, 92, kRow);
    auto* value = new QLabel(this);
    value->setObjectName(QString::fromLatin1(row.name));
    value->setProperty("controlId", row.id);
    value->setGeometry(98, 22 + k * kRow, 140, kRow);
    values_[row.id - 1601] = value;
  }
}

void CStockMarket::LoadFromStock() {
  StockRecord* r = stock();
  if (!r) return;
  const PortfolioStore& s = store();
  const char sep = s.cDecimalSeparator;
  auto shown = [sep](const DecimalText& field) {
    return QString::fromUtf8(AnsiToUtf8(ToDisplayText(FieldText(field), sep)));
  };
  QString date;
  if (r->tQuoteTime != 0) {
    const LocaleSettings& locale = s.context().locale();
    const LocalTime t = ToLocal(r->tQuoteTime);
    date = QString::fromUtf8(
        AnsiToUtf8(FormatDate(locale.shortDateFormat, t) + " " + FormatTime(locale.timeFormat, t)));
  }
  values_[0]->setText(date);
  values_[1]->setText(shown(r->szPrice));
  values_[2]->setText(QString::fromUtf8(AnsiToUtf8(MarketChangeText(s, *r))));
  values_[3]->setText(shown(r->szDayLow));
  values_[4]->setText(shown(r->szDayHigh));
  values_[5]->setText(shown(r->szPrevClose));
  // The volume is shown as it came.
  values_[6]->setText(QString::fromUtf8(AnsiToUtf8(FieldText(r->szVolume))));
  values_[7]->setText(shown(r->sz52WeekLow));
  values_[8]->setText(shown(r->sz52WeekHigh));
  values_[9]->setText(shown(r->szBid));
  values_[10]->setText(shown(r->szAsk));
}

}  // namespace quillet
