// The base of the program's modal dialogs. Every view other than the stock list is a modal,
// full-screen dialog over the list; when the desktop asks the program to close for a
// synchronisation, the open dialog ends itself as if OK had been pressed so that what the user
// entered is kept and saved with everything else.
#pragma once

#include <QDialog>

namespace quillet {

// The handheld's screen below the title bar: where full-screen dialogs sit.
inline constexpr int kScreenWidth = 240;
inline constexpr int kScreenHeight = 320;
inline constexpr int kTitleBarHeight = 26;
inline constexpr int kCommandBarHeight = 26;

class CModalDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CModalDialog(QWidget* parent, int dialogId);
  int dialogId() const { return dialogId_; }
  // Ends the dialog as with OK (result 1). Dialogs that keep edits apply them first.
  virtual void CloseForSync() { done(1); }

 private:
  int dialogId_;
};

}  // namespace quillet
