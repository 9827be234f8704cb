// The look of the handheld program: a small sans-serif font and a plain style that fit a
// 240 by 320 screen.
#pragma once

#include <QApplication>

namespace quillet {

void ApplyHandheldStyle(QApplication& app);

}  // namespace quillet
