// Base of the frame's MDI views: each view redraws itself from the machine
// when the frame refreshes all views (after a stop, a step, a screen update).
#pragma once

#include "shell/command_table.h"

#include <QRect>
#include <QWidget>

namespace quorvel::shell {

class View : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    // Re-reads what the view shows from the machine and repaints.
    // Called on the user-interface thread under the run controller's pause
    // guard when a run is active.
    virtual void refreshView() = 0;
    // The command that opens this view (its toolbar button).
    virtual int viewCommand() const = 0;
    // Every tick of the frame's module timer while a program runs, with the
    // simulation paused: the part windows (LCD, LEDs, I/O levels, serial
    // lines) take what changed and repaint it. Must be cheap.
    virtual void moduleTick() {}
    // A command the frame passes on to the active view (the editor's), or
    // one of the view's own popup menu; views with commands override this.
    virtual void command(int id) { (void)id; }
    // Where the view lies in the Clear View arrangement, inside an MDI area
    // of `client` size; an empty rectangle for a view without a Clear View
    // form (it keeps an ordinary window there).
    virtual QRect clearViewGeometry(const QSize& client) const {
        (void)client;
        return {};
    }
    // The menu bar in force while this view is active.
    virtual MenuBarKind menuBarKind() const { return MenuBarKind::Main; }

protected:
    // Grows the window around the view (its MDI window) to hold the view's
    // minimumSizeHint() and the window's frame, so that a stored layout does
    // not open it too small for what it holds; the user may shrink it again.
    void growWindowToContent() {
        QWidget* window = parentWidget();
        if (!window || !isVisible()) return;
        const QSize needed = minimumSizeHint() + (window->size() - size());
        if (needed.width() > window->width() || needed.height() > window->height())
            window->resize(window->size().expandedTo(needed));
    }
    // The same once the window has taken the place the frame gives it (the
    // frame places a window right after showing it).
    void growWindowToContentWhenPlaced() {
        QMetaObject::invokeMethod(this, [this] { growWindowToContent(); }, Qt::QueuedConnection);
    }
};

} // namespace quorvel::shell
