// The toolbar's 30 button images (17 x 15 pixels), drawn by code.
#pragma once

#include <QIcon>

namespace quorvel::shell {

QIcon toolbarIcon(int image);

} // namespace quorvel::shell
