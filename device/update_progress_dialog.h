// The progress window of an update run (dialog 4500): one status line and Cancel, which raises
// the run's own cancel flag. The run is synchronous on the user-interface thread; it shows a
// status and lets the window's messages through while it waits, which is how Cancel is seen.
#pragma once

#include <QDialog>
#include <QLabel>

#include "quotes/cancel_token.h"
#include "quotes/quote_client.h"

namespace quillet {

inline constexpr int IDD_UPDATE_PROGRESS = 4500;

class CUpdateProgressDlg : public QDialog, public QuoteProgress {
  Q_OBJECT
 public:
  CUpdateProgressDlg(QWidget* parent, CancelToken& cancel);
  ~CUpdateProgressDlg() override;

  // QuoteProgress.
  void ShowStatus(UINT stringId) override;
  void PumpMessages() override;

  QString status() const { return status_->text(); }

 private:
  CancelToken& cancel_;
  QLabel* status_;
};

}  // namespace quillet
