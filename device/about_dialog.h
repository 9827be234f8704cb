// The About box (program name, version and picture, with a button to the partners text) and
// the partners dialog that thanks the quote services.
#pragma once

#include <functional>

#include "device/modal_dialog.h"

namespace quillet {

inline constexpr int IDD_ABOUTBOX = 4551;
inline constexpr int IDD_PARTNERS = 2400;
inline constexpr const char* kProgramVersion = "v3.03";

class CAboutDlg : public CModalDialog {
  Q_OBJECT
 public:
  // `openPartners` runs the partners dialog (through the program, so it is tracked as modal).
  CAboutDlg(QWidget* parent, std::function<void()> openPartners);
};

class CPartnersDlg : public CModalDialog {
  Q_OBJECT
 public:
  explicit CPartnersDlg(QWidget* parent);
};

}  // namespace quillet
