// The base of the program's modal dialogs. Every view other than the stock list is a modal,
// full-screen dialog over the list; when the desktop asks the program to close for a
// synchronisation, the open dialog ends itself as if OK had been pressed so that what the user
// entered is kept and saved with everything else. A dialog whose OK would change holdings ends
// as Cancel instead (nobody confirmed it).
#pragma once

#include <QDialog>

#include "platform/win_types.h"

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
  // A command sent to the dialog: IDOK and IDCANCEL press OK and Cancel; any other id presses
  // the button carrying that control id. False when nothing has that id.
  virtual bool OnCommand(UINT id);

  // Gives a control its control id (and its object name), so commands can reach it.
  static void SetControlId(QWidget* control, int id, const char* name);
  // The enabled button with control id `id` among the children of `within`, clicked; false
  // when there is none.
  static bool ClickControl(QWidget* within, UINT id);

 private:
  int dialogId_;
};

// A command for the modal window on top (a dialog of the program or a message box): it goes
// there as it would go to the window that has the input. False when the window has no use for
// it.
bool SendCommandToDialog(QDialog& dialog, UINT id);

}  // namespace quillet
