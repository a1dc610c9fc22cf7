#include "shell/views/scrolled_view.h"

#include "shell/views/text_grid_view.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

namespace quorvel::shell {

// The scroll area below the header rows and beside the border. It takes no
// focus and no input:
// mouse and wheel events over its viewport go on to the view, and its
// viewport is painted by the view.
class ScrolledView::Area final : public QAbstractScrollArea {
public:
    explicit Area(ScrolledView* owner) : QAbstractScrollArea(owner), owner_(owner) {
        setFrameShape(QFrame::NoFrame);
        setFocusPolicy(Qt::NoFocus);
        // Not opaque: a repaint of the view (its update()) repaints the
        // viewport over it too.
        viewport()->setAutoFillBackground(false);
        verticalScrollBar()->setObjectName("vscroll");
        horizontalScrollBar()->setObjectName("hscroll");
        for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()}) {
            bar->setFocusPolicy(Qt::NoFocus);
            connect(bar, &QScrollBar::valueChanged, owner, [owner] { owner->scrolled(); });
        }
    }

    // Lays the bars and the viewport out now (setting the margins does).
    void layOutNow() { setViewportMargins(0, 0, 0, 0); }

protected:
    void paintEvent(QPaintEvent* event) override {
        // In view coordinates, as the part outside the viewport.
        const QPoint offset = viewport()->mapTo(owner_, QPoint(0, 0));
        QPainter painter(viewport());
        painter.translate(-offset);
        owner_->paintView(painter, event->rect().translated(offset));
    }
    // The view repaints what the bars now show (no pixels are moved).
    void scrollContentsBy(int, int) override { viewport()->update(); }
    void resizeEvent(QResizeEvent* event) override {
        QAbstractScrollArea::resizeEvent(event);
        owner_->viewportResized();
    }
    // The view scrolls (a wheel event made by a program would not go on
    // to the parent by itself).
    void wheelEvent(QWheelEvent* event) override {
        const QPointF at = viewport()->mapTo(owner_, event->position());
        QWheelEvent mapped(at, event->globalPosition(), event->pixelDelta(), event->angleDelta(),
                           event->buttons(), event->modifiers(), event->phase(), event->inverted(),
                           event->source());
        QCoreApplication::sendEvent(owner_, &mapped);
        event->setAccepted(mapped.isAccepted());
    }

private:
    ScrolledView* owner_;
};

ScrolledView::ScrolledView(QWidget* parent) : View(parent), area_(new Area(this)) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QScrollBar* ScrolledView::verticalBar() const { return area_->verticalScrollBar(); }
QScrollBar* ScrolledView::horizontalBar() const { return area_->horizontalScrollBar(); }

void ScrolledView::setTextFont(const QFont& font) {
    setFont(font);
    const QFontMetrics metrics(font);
    charWidth_ = textCellWidth(font);
    lineHeight_ = metrics.height() + metrics.leading() + 8;
    placeArea();
}

void ScrolledView::setHeaderRows(int rows) {
    if (rows == headerRows_) return;
    headerRows_ = rows;
    placeArea();
}

void ScrolledView::setBorder(int left, int top) {
    borderLeft_ = left;
    borderTop_ = top;
    placeArea();
}

void ScrolledView::setBarPolicies(Qt::ScrollBarPolicy vertical, Qt::ScrollBarPolicy horizontal) {
    if (vertical == area_->verticalScrollBarPolicy() && horizontal == area_->horizontalScrollBarPolicy())
        return;
    area_->setVerticalScrollBarPolicy(vertical);
    area_->setHorizontalScrollBarPolicy(horizontal);
    placeArea();
}

QRect ScrolledView::rowArea() const {
    QWidget* viewport = area_->viewport();
    return QRect(viewport->mapTo(this, QPoint(0, 0)), viewport->size());
}

int ScrolledView::visibleRows() const { return std::max(1, area_->viewport()->height() / lineHeight_); }

int ScrolledView::visibleColumns() const { return std::max(1, area_->viewport()->width() / charWidth_); }

void ScrolledView::setContentSize(int rows, int columns, bool columnPixels) {
    QScrollBar* v = verticalBar();
    const int shownRows = visibleRows();
    v->setRange(0, std::max(0, rows - shownRows));
    v->setPageStep(shownRows);
    v->setSingleStep(1);
    QScrollBar* h = horizontalBar();
    const int shownColumns = columnPixels ? std::max(1, area_->viewport()->width()) : visibleColumns();
    h->setRange(0, std::max(0, columns - shownColumns));
    h->setPageStep(shownColumns);
    h->setSingleStep(columnPixels ? charWidth_ : 1);
}

void ScrolledView::placeArea() {
    const int top = std::min(height(), headerRows_ * lineHeight_ + borderTop_);
    const int left = std::min(width(), borderLeft_);
    area_->setGeometry(left, top, width() - left, height() - top);
    // At once, also while the view is hidden (the area would wait for its
    // resize event): the views count their rows from the viewport.
    area_->layOutNow();
}

void ScrolledView::paintEvent(QPaintEvent* event) {
    const QRegion outside = QRegion(rect()) - area_->geometry();
    const QRegion dirty = event->region() & outside;
    if (dirty.isEmpty()) return;
    QPainter painter(this);
    painter.setClipRegion(dirty);
    paintView(painter, dirty.boundingRect());
}

void ScrolledView::resizeEvent(QResizeEvent* event) {
    View::resizeEvent(event);
    placeArea();
}

void ScrolledView::wheelEvent(QWheelEvent* event) {
    // Without the modifiers, with which a scroll bar would page instead.
    QWheelEvent lines(event->position(), event->globalPosition(), event->pixelDelta(), event->angleDelta(),
                      event->buttons(), Qt::NoModifier, event->phase(), event->inverted(), event->source());
    QCoreApplication::sendEvent(verticalBar(), &lines);
    event->setAccepted(lines.isAccepted());
}

void ScrolledView::keyPressEvent(QKeyEvent* event) {
    const struct {
        int key;
        bool vertical;
        QAbstractSlider::SliderAction action;
    } kKeys[] = {
        {Qt::Key_Up, true, QAbstractSlider::SliderSingleStepSub},
        {Qt::Key_Down, true, QAbstractSlider::SliderSingleStepAdd},
        {Qt::Key_PageUp, true, QAbstractSlider::SliderPageStepSub},
        {Qt::Key_PageDown, true, QAbstractSlider::SliderPageStepAdd},
        {Qt::Key_Left, false, QAbstractSlider::SliderSingleStepSub},
        {Qt::Key_Right, false, QAbstractSlider::SliderSingleStepAdd},
    };
    for (const auto& k : kKeys)
        if (event->key() == k.key && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            (k.vertical ? verticalBar() : horizontalBar())->triggerAction(k.action);
            return;
        }
    View::keyPressEvent(event);
}

} // namespace quorvel::shell
