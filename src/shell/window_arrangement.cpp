// The Window menu's arrangements besides Cascade: the open windows tiled one
// above the other or side by side, and the minimised ones lined up along the
// bottom of the MDI area.
#include "shell/frame.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace quorvel::shell {

namespace {

// The height of the row of minimised windows along the bottom, 0 when none.
int minimisedRowHeight(const QList<QMdiSubWindow*>& windows) {
    int height = 0;
    for (const QMdiSubWindow* window : windows)
        if (window->isVisible() && window->isMinimized()) height = std::max(height, window->height());
    return height;
}

} // namespace

// Tile Horizontally stacks the windows vertically, each across the whole
// width; Tile Vertically stands them side by side, each over the whole
// height. The row of minimised windows stays free.
void Frame::tileViews(Qt::Orientation stacking) {
    const QList<QMdiSubWindow*> all = mdi_->subWindowList();
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* window : all)
        if (window->isVisible() && !window->isMinimized()) windows.push_back(window);
    if (windows.isEmpty()) return;
    QRect area = mdi_->viewport()->rect();
    area.setHeight(std::max(area.height() - minimisedRowHeight(all), area.height() / 2));
    const int count = int(windows.size());
    for (int i = 0; i < count; ++i) {
        QRect place = area;
        if (stacking == Qt::Vertical) {
            place.setTop(area.top() + area.height() * i / count);
            place.setBottom(area.top() + area.height() * (i + 1) / count - 1);
        } else {
            place.setLeft(area.left() + area.width() * i / count);
            place.setRight(area.left() + area.width() * (i + 1) / count - 1);
        }
        if (windows[i]->isMaximized()) windows[i]->showNormal();
        windows[i]->setGeometry(place);
    }
}

// Minimised windows go into a row along the bottom edge, from the left, in
// the order they were opened, wrapping upwards when the row is full.
void Frame::arrangeMinimisedViews() {
    const QRect area = mdi_->viewport()->rect();
    int x = area.left(), y = area.bottom() + 1;
    int rowHeight = 0;
    for (QMdiSubWindow* window : mdi_->subWindowList(QMdiArea::CreationOrder)) {
        if (!window->isVisible() || !window->isMinimized()) continue;
        if (x > area.left() && x + window->width() > area.right() + 1) {
            x = area.left();
            y -= rowHeight;
            rowHeight = 0;
        }
        rowHeight = std::max(rowHeight, window->height());
        window->move(x, y - window->height());
        x += window->width();
    }
}

} // namespace quorvel::shell
