// The toolbar's and the menus' icons, and the program's own icon.
//
// Commands with a standard meaning (open, save, cut, copy, run, step, ...)
// take the freedesktop icon of that name from the desktop's icon theme, with
// Breeze as the fallback theme. The simulator's own commands (the register,
// bit and memory windows, breakpoints, the step count) have icons drawn here
// with QPainter at whatever size and pixel ratio they are asked for.
#pragma once

#include <QIcon>

namespace quorvel::shell {

// Adds the XDG icon folders to the theme search paths where the platform
// gives none, sets Breeze as the fallback icon theme, and as the theme when
// the platform names none. Called by the frame before it builds its actions.
void useIconTheme();

// The freedesktop icon name of toolbar image `image` (0 to 31), or null when
// the image is one drawn by this program.
const char* toolbarIconName(int image);
// The picture of toolbar image `image`.
QIcon toolbarIcon(int image);
// The icon of a command in the menus: its toolbar image's, or a standard icon
// for a menu-only command with an obvious one; null for the rest.
QIcon commandIcon(int command);

// The program's own icon (an 8051 chip in a dual in-line package), for the
// frame, its views and its dialogs; the same drawing as the installed
// quorvel.svg.
QIcon applicationIcon();

} // namespace quorvel::shell
