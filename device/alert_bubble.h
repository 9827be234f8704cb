// The notification bubble "1 or more active alerts" that an update run in the background posts
// over the program's window. Its "Open" link and "Dismiss" button send commands 11 and 10 to
// the main frame, as the shell's bubbles do; showing it again replaces the one shown.
#pragma once

#include <QFrame>
#include <functional>

#include "platform/win_types.h"

namespace quillet {

class CAlertBubble : public QFrame {
  Q_OBJECT
 public:
  CAlertBubble(QWidget* parent, std::function<void(UINT)> sendCommand);
};

}  // namespace quillet
