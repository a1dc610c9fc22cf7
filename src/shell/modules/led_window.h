// The "LED and 7 Segment Displays" window (MdiLEDChild): the point LEDs and
// the seven-segment digits as the port latches light them. It samples the
// latches on every module tick during a run (1 ms, simulation paused) and on
// every refresh after stops and steps; the multiplexed display's per-digit
// memory is updated at each sample. It repaints only when what it shows
// changed. The window scrolls both ways in steps of 10 pixels.
#pragma once

#include "shell/modules/led_painter.h"
#include "shell/view.h"

class QScrollArea;

namespace quorvel::shell {

class ViewContext;
class LedCanvas;

class LedView : public View {
    Q_OBJECT
public:
    explicit LedView(ViewContext& context);

    void refreshView() override;
    void moduleTick() override;
    int viewCommand() const override;
    QSize sizeHint() const override;
    // Every LED and digit in view, whatever place a stored layout gives the
    // window (up to a size beyond which it scrolls).
    QSize minimumSizeHint() const override;

    // What the window shows now.
    const LedPicture& picture() const { return picture_; }
    // How many times the picture changed (and was repainted).
    int changes() const { return changes_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void sample();
    // The canvas covers the content and at least the visible area.
    void fitCanvas();

    ViewContext& context_;
    QScrollArea* scroll_;
    LedCanvas* canvas_;
    LedPicture picture_;
    int changes_ = 0;
};

} // namespace quorvel::shell
