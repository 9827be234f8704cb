// Shows the wait cursor for the life of the object, as long operations of the program do.
#pragma once

#include <QApplication>
#include <QCursor>

#include "device/freeze_watch.h"

namespace quillet {

class CWaitCursor {
 public:
  CWaitCursor() {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    Tell();
  }
  ~CWaitCursor() {
    QApplication::restoreOverrideCursor();
    Tell();
  }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;

 private:
  // A running freeze watch counts the time under the cursor as time the user was told to wait.
  static void Tell() {
    if (CFreezeWatch* watch = CFreezeWatch::Of(QCoreApplication::instance())) {
      watch->CursorChanged();
    }
  }
};

}  // namespace quillet
