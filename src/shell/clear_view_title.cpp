#include "shell/clear_view_title.h"

#include <QPainter>

namespace quorvel::shell {

void paintClearViewTitle(QPainter& painter, const QRect& line, const QString& title, bool focused,
                         int indent) {
    painter.fillRect(line, focused ? kClearTitleFocused : kClearTitleUnfocused);
    painter.setPen(Qt::white);
    // The title's own spaces place it; leading spaces must not be trimmed.
    painter.drawText(line.adjusted(indent, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip,
                     title);
}

} // namespace quorvel::shell
