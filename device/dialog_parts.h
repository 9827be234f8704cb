// Small pieces the program's dialogs share: headings, buttons with control ids, the OK and
// Cancel row, and the portfolio selector chosen by index.
#pragma once

#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <string_view>

#include "core/portfolio_store.h"
#include "device/modal_dialog.h"

namespace quillet {

QLabel* MakeHeading(QWidget* parent, const char* text);
QPushButton* MakeButton(QWidget* parent, const char* text, int controlId, const char* name);
// An OK (and Cancel) row wired to the dialog's accept and reject.
void AddOkCancelRow(CModalDialog* dialog, QBoxLayout* layout, bool withCancel = true);
// A portfolio selector ("All" first when asked) with `portfolio` selected by index, not by
// name: two portfolios may carry one name.
void FillPortfolioCombo(QComboBox* combo, const PortfolioStore& store, int portfolio, bool withAll);
// The portfolio a selector shows, PORTFOLIO_ALL for "All", -1 for none.
int ChosenPortfolio(const QComboBox* combo);
// 8-bit record text to and from what a widget shows.
QString ShownText(std::string_view ansi);
std::string TypedText(const QString& text);

}  // namespace quillet
