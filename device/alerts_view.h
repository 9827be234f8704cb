// The Alerts view: every alert of the program in two lists, those that fired in the view's
// last evaluation ("Active Alerts:") and all the others ("All Alerts:"), with "Change",
// "Delete" and "Check". Its alert edit dialog changes one alert's condition, comparison and
// threshold.
//
// Lines hold their alerts by identity, never by position: an evaluation re-sorts the alert
// array, and a line must go on meaning the alert it shows.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <vector>

#include "core/portfolio_store.h"
#include "device/modal_dialog.h"

namespace quillet {

class CQuilletApp;

inline constexpr int IDD_ALERTS = 3800;
inline constexpr int IDD_ALERT_EDIT = 4000;

class CAlertEditDlg : public CModalDialog {
  Q_OBJECT
 public:
  CAlertEditDlg(QWidget* parent, PortfolioStore& store, const StockAlert* alert);
  // Stores condition, comparison and threshold into the alert; a threshold that reads as 0
  // keeps the dialog open.
  void accept() override;
  // Nobody confirmed the change: the close request ends the dialog as Cancel.
  void CloseForSync() override { done(0); }

 private:
  PortfolioStore& store_;
  const StockAlert* alert_;
  QComboBox* condition_;
  QComboBox* compare_;
  QLineEdit* threshold_;
};

class CAlertsDlg : public CModalDialog {
  Q_OBJECT
 public:
  CAlertsDlg(QWidget* parent, CQuilletApp& app);

  void OnCheck();
  void OnChange();
  void OnDelete();

  // Whether an alert was changed or deleted here (the alert file is then saved).
  bool changed() const { return changed_; }
  const std::vector<const StockAlert*>& active() const { return active_; }
  const std::vector<const StockAlert*>& inactive() const { return inactive_; }

 private:
  PortfolioStore& store();
  void Partition();
  void Fill();
  // The alert of the one selected line (in either list), null when none or no longer there.
  const StockAlert* SelectedAlert(std::vector<const StockAlert*>** from = nullptr);

  CQuilletApp& app_;
  QListWidget* activeList_;
  QListWidget* inactiveList_;
  std::vector<const StockAlert*> active_;
  std::vector<const StockAlert*> inactive_;
  bool changed_ = false;
};

// The Alerts command: the view, then the evaluation on closing (the button, the registry value
// and the user's sort), the alert file saved when something changed, and the stock selected
// before selected again.
void RunAlertsView(CQuilletApp& app);

}  // namespace quillet
