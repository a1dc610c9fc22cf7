// The title line the views paint on their first row in the Clear View
// arrangement, where they have no caption bar: white text on navy while the
// window is the active one, on grey otherwise.
#pragma once

#include <QColor>
#include <QRect>
#include <QString>

class QPainter;

namespace quorvel::shell {

inline const QColor kClearTitleFocused{0, 0, 128};
inline const QColor kClearTitleUnfocused{128, 128, 128};

// Fills `line` and writes `title` in it `indent` pixels from the left, in the
// painter's font.
void paintClearViewTitle(QPainter& painter, const QRect& line, const QString& title, bool focused,
                         int indent = 2);

} // namespace quorvel::shell
