#include "shell/modules/part_window.h"

#include "shell/view_context.h"
#include "shell/clear_view_title.h"
#include "shell/views/text_grid_view.h"

#include <QEvent>
#include <QMdiSubWindow>
#include <QPainter>

namespace quorvel::shell {

PartWindow::PartWindow(ViewContext& context, const char* clearViewTitle, int clearViewDrop)
    : context_(context), title_(clearViewTitle), drop_(clearViewDrop) {}

void PartWindow::changeEvent(QEvent* event) {
    View::changeEvent(event);
    if (event->type() != QEvent::ParentChange) return;
    // The title's colour follows the activation of the window around the view.
    if (auto* window = qobject_cast<QMdiSubWindow*>(parentWidget()))
        connect(window, &QMdiSubWindow::windowStateChanged, this, [this] {
            if (clearView()) update(0, 0, width(), titleHeight(normalTopMargin()));
        });
}

bool PartWindow::clearView() const { return context_.viewMode() == ViewMode::Clear; }

bool PartWindow::titleActive() const {
    return context_.isActiveView(parentWidget());
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
