// Shows the wait cursor for the life of the object, as long operations of the program do; and
// the arrow over it for the life of a dialog that waits for the user meanwhile.
#pragma once

#include <QApplication>
#include <QCursor>
#include <optional>

#include "device/freeze_watch.h"

namespace quillet {

class CShownCursor {
 public:
  explicit CShownCursor(Qt::CursorShape shape) {
    QApplication::setOverrideCursor(QCursor(shape));
    Tell();
  }
  ~CShownCursor() {
    QApplication::restoreOverrideCursor();
    Tell();
  }
  CShownCursor(const CShownCursor&) = delete;
  CShownCursor& operator=(const CShownCursor&) = delete;

 private:
  // A running freeze watch counts the time under the wait cursor as time the user was told to
  // wait.
  static void Tell() {
    if (CFreezeWatch* watch = CFreezeWatch::Of(QCoreApplication::instance())) {
      watch->CursorChanged();
    }
  }
};

class CWaitCursor : public CShownCursor {
 public:
  CWaitCursor() : CShownCursor(Qt::WaitCursor) {}
};

// Only when some work shows the wait cursor: the dialog it opens waits for the user.
class CArrowCursorForDialog {
 public:
  CArrowCursorForDialog() {
    if (QApplication::overrideCursor() != nullptr) arrow_.emplace(Qt::ArrowCursor);
  }

 private:
  std::optional<CShownCursor> arrow_;
};

}  // namespace quillet
