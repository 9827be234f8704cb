// The answerer that shows the program's message boxes and questions as real dialogs. While
// the program is closing for a synchronisation nobody is there to answer: the box is not
// shown and the question gets its harmless default.
#pragma once

#include "platform/message_box.h"

namespace quillet {

class CQuilletApp;

MessageBoxes::Answerer QtMessageBoxAnswerer(CQuilletApp& app);

}  // namespace quillet
