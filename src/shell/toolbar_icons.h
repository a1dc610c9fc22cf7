// The toolbar's 30 button images (17 x 15 pixels) and the program's icon,
// drawn by code.
#pragma once

#include <QIcon>

namespace quorvel::shell {

QIcon toolbarIcon(int image);
// The program's own icon (an 8051 chip in a 40-pin package), for the frame,
// its views and its dialogs.
QIcon applicationIcon();

} // namespace quorvel::shell
