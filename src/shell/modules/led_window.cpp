#include "shell/modules/led_window.h"

#include "shell/command_table.h"
#include "shell/view_context.h"
#include "shell/views/view_table.h"

#include <QPainter>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace quorvel::shell {

// The painted area inside the scroll area.
class LedCanvas : public QWidget {
public:
    explicit LedCanvas(const LedPicture& picture) : picture_(picture) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        paintLedPicture(painter, picture_, size());
    }

private:
    const LedPicture& picture_;
};

View* createLedView(const ViewSources& sources) { return new LedView(sources.context); }

LedView::LedView(ViewContext& context) : context_(context) {
    setObjectName("MdiLEDChild");
    setWindowTitle("LED and 7 Segment Displays");
    context_.runControl().edit([&] {
        Machine& m = context_.machine();
        cleanLedSettings(m.modules.settings, m.profile.availablePinMask);
    });
    canvas_ = new LedCanvas(picture_);
    scroll_ = new QScrollArea;
    scroll_->setWidget(canvas_);
    scroll_->setWidgetResizable(false);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setBackgroundRole(QPalette::Dark);
    scroll_->horizontalScrollBar()->setSingleStep(10);
    scroll_->verticalScrollBar()->setSingleStep(10);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll_);
    sample();
}

int LedView::viewCommand() const { return id::LedWindow; }

QSize LedView::sizeHint() const { return ledWindowExtent(picture_.items).expandedTo(QSize(200, 100)); }

QSize LedView::minimumSizeHint() const { return ledWindowExtent(picture_.items).boundedTo(QSize(720, 480)); }

void LedView::refreshView() { sample(); }

void LedView::moduleTick() { sample(); }

void LedView::sample() {
    LedPicture next;
    {
        auto guard = context_.runControl().pause();
        Machine& m = context_.machine();
        const ModuleSettings& s = m.modules.settings;
        next.shown = evaluateLeds(s, m.chip.portLatches(), m.modules.ledDigitMemory,
                                  context_.runControl().running());
        next.items = ledWindowLayout(s, m.profile.availablePinMask, next.shown.digitCount);
        next.pointGreen = s.LedOptions & kLedPointGreen;
        next.digitGreen = s.LedOptions & kLedDigitGreen;
    }
    if (next == picture_ && changes_ > 0) return;
    const bool moved = next.items != picture_.items;
    picture_ = std::move(next);
    ++changes_;
    if (moved) {
        fitCanvas();
        growWindowToContent();
    }
    canvas_->update();
}

void LedView::fitCanvas() {
    // The scroll ranges follow the content.
    const QSize content = ledWindowExtent(picture_.items);
    QSize visible = scroll_->maximumViewportSize();
    const bool wide = content.width() > visible.width();
    const bool tall = content.height() > visible.height();
    if (wide) visible.rheight() -= scroll_->horizontalScrollBar()->sizeHint().height();
    if (tall) visible.rwidth() -= scroll_->verticalScrollBar()->sizeHint().width();
    canvas_->resize(content.expandedTo(visible));
}

void LedView::showEvent(QShowEvent* event) {
    View::showEvent(event);
    growWindowToContentWhenPlaced();
}

void LedView::resizeEvent(QResizeEvent* event) {
    View::resizeEvent(event);
    fitCanvas();
}

} // namespace quorvel::shell
