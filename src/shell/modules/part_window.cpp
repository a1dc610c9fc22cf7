#include "shell/modules/part_window.h"

#include "shell/frame.h"
#include "shell/clear_view_title.h"
#include "shell/views/text_grid_view.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>

namespace quorvel::shell {

PartWindow::PartWindow(Frame& frame, const char* clearViewTitle, int clearViewDrop)
    : frame_(frame), title_(clearViewTitle), drop_(clearViewDrop) {
    // The title's colour follows the active window.
    connect(frame.mdiArea(), &QMdiArea::subWindowActivated, this, [this] {
        if (clearView()) update(0, 0, width(), titleHeight(normalTopMargin()));
    });
}

bool PartWindow::clearView() const { return frame_.viewMode() == ViewMode::Clear; }

bool PartWindow::titleActive() const {
    QMdiSubWindow* active = frame_.mdiArea()->activeSubWindow();
    return active && active->widget() == this;
}

void PartWindow::paintEvent(QPaintEvent* event) {
    View::paintEvent(event);
    if (!clearView()) return;
    QPainter painter(this);
    painter.setFont(textViewFont());
    paintClearViewTitle(painter, QRect(0, 0, width(), titleHeight(normalTopMargin())),
                        QString::fromLatin1(title_), titleActive());
}

} // namespace quorvel::shell
