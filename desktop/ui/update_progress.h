// The windows of a desktop update run: the progress window (a text line, an animation, the
// partner of the quote source being asked with its web link, and Cancel), the question "Perform
// Internet stock update?" whose No button counts down ten seconds, and the host that hands both
// to the run.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "desktop/desk_run_host.h"
#include "desktop/ui/desk_ui_hooks.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace quillet {

// The modeless progress window titled "Quillet", centred on its parent (on the screen when
// there is none). Cancel raises the run's Cancel and closes the window.
class CDeskProgressDlg : public QDialog {
  Q_OBJECT
 public:
  CDeskProgressDlg(CancelToken& cancel, const DeskUiHooks& hooks, QWidget* parent);
  QLabel* status() const { return status_; }
  QLabel* logo() const { return logo_; }
  QLabel* link() const { return link_; }
  QPushButton* cancelButton() const { return cancel_; }
  UINT shownLogo() const { return logoId_; }
  // Puts the partner's logo and address in place; false when that logo is already shown.
  bool ShowPartner(const PartnerEntry& partner);

 private:
  CancelToken& token_;
  QLabel* status_;
  QProgressBar* animation_;
  QLabel* logo_;
  QLabel* link_;
  QPushButton* cancel_;
  UINT logoId_ = 0;
};

// The progress window as the run sees it.
class CDeskProgressWindow final : public DeskProgress {
 public:
  CDeskProgressWindow(CancelToken& cancel, const DeskUiHooks& hooks, QWidget* parent);
  ~CDeskProgressWindow() override;
  void ShowStatus(UINT stringId) override;
  void ShowSource(int source) override;
  // Dispatches pending messages until none is left or Cancel was pressed.
  void PumpMessages() override;
  // Null once Cancel closed it.
  CDeskProgressDlg* dialog() const { return dialog_.data(); }

 private:
  CancelToken& cancel_;
  QPointer<CDeskProgressDlg> dialog_;
};

// "Perform Internet stock update?" with "&Yes" and "&No - 10 Seconds": each second the No
// button shows one second less, and the eleventh second answers No.
class CUpdateQuestionDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CUpdateQuestionDlg(QWidget* parent);
  QPushButton* yesButton() const { return yes_; }
  QPushButton* noButton() const { return no_; }
  QTimer& timer() { return timer_; }
  // One second of the countdown (the timer's tick).
  void Tick();

 private:
  QPushButton* yes_;
  QPushButton* no_;
  QTimer timer_;
  int remaining_;
};

// The progress window and the question for a run started by the sync manager, parented to its
// window.
class CDeskRunWindows final : public DeskRunHost {
 public:
  CDeskRunWindows(QWidget* parent, DeskUiHooks hooks) : parent_(parent), hooks_(std::move(hooks)) {}
  std::unique_ptr<DeskProgress> OpenProgress(CancelToken& cancel) override;
  bool AskToUpdate() override;
  void PumpMessages() override;

 private:
  QWidget* parent_;
  DeskUiHooks hooks_;
};

}  // namespace quillet
