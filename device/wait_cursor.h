// Shows the wait cursor for the life of the object, as long operations of the program do.
#pragma once

#include <QApplication>
#include <QCursor>

namespace quillet {

class CWaitCursor {
 public:
  CWaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
  ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
};

}  // namespace quillet
