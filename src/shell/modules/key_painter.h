// Drawing of the keyboard window's key buttons: a raised key cap with its
// caption, sunk in while the button is held. Vector shapes only, so it stays
// sharp at any device-pixel ratio; a test can render a key into an image.
#pragma once

#include <QRect>
#include <QString>

class QPainter;

namespace quorvel::shell {

void paintKeyButton(QPainter& painter, const QRect& rect, const QString& caption, bool pressed,
                    bool enabled = true);

} // namespace quorvel::shell
