// The logic analyser window (LogicAnalyserView): the chosen port lines over
// time, one trace per line (its name at the left) drawn as high and low
// steps, under a time axis in machine cycles and in time at the selected
// clock. While the window is open the frame records the lines (WaveCapture).
//
// The view keeps its own copy of the recorded changes, bounded, taking only
// what is new since its last look on every refresh and module tick (under
// the pause guard), so painting never touches the machine. A recording
// whose cycle counter went back (Reset CPU, Initialize Machine Cycle) starts
// the copy again from there.
//
// While it follows (the default) the newest change is at the right edge.
// Scrolling back stops following until the user scrolls to the end again
// (or presses End). Ctrl + mouse wheel and the + and - keys zoom around the
// mouse or the right edge; a click puts a cursor that shows its cycle, time
// and the lines' levels there. The context menu chooses the lines.
#pragma once

#include "chip/line_change.h"
#include "shell/views/scrolled_view.h"

#include <cstdint>
#include <optional>
#include <vector>

class QAction;
class QScrollBar;

namespace quorvel::shell {

class ViewContext;
class WaveCapture;

class LogicAnalyserView : public ScrolledView {
    Q_OBJECT
public:
    // `capture` records the port lines the view shows.
    LogicAnalyserView(ViewContext& context, WaveCapture& capture);
    ~LogicAnalyserView() override;

    void refreshView() override;
    void moduleTick() override;
    int viewCommand() const override;
    // Room for six labelled ticks and ten lines.
    QSize sizeHint() const override {
        return {layout_.nameWidth + 6 * layout_.tickSpacing, layout_.axisHeight + 10 * layout_.rowHeight};
    }

    // What the view holds and shows, for tests and tools.
    const std::vector<LineChange>& changes() const { return changes_; }
    const std::vector<int>& lines() const;
    bool following() const { return follow_; }
    void setFollowing(bool follow);
    double cyclesPerPixel() const { return cyclesPerPixel_; }
    // Cycle at the right edge of the traces.
    uint64_t rightCycle() const { return rightCycle_; }
    // Widget x of a cycle, and the cycle at a widget x.
    double xOf(uint64_t cycle) const;
    uint64_t cycleAt(double x) const;
    std::optional<uint64_t> cursorCycle() const { return cursor_; }
    // Stops following and puts the cursor at `cycle`, in the middle of the
    // traces (a moment of the recorded history the windows show).
    void showCycle(uint64_t cycle);
    // Zooms by `factor` (below 1 = in) keeping the cycle at `anchorX` where
    // it is (the right edge when negative).
    void zoom(double factor, double anchorX = -1);
    // The context menu's "Select Lines..." dialog.
    void selectLines();
    QScrollBar* scrollBar() const { return horizontalBar(); }

protected:
    void paintView(QPainter& p, const QRect& dirty) override;
    void scrolled() override;
    void viewportResized() override { placeView(); }
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Sizes in pixels, from the view's font.
    struct Layout {
        int nameWidth = 0;   // the line names, and the levels under the cursor
        int axisHeight = 0;  // two label lines (cycles and time) and the tick marks
        int rowHeight = 0;   // one line's trace
        int traceHeight = 0; // from the high to the low level
        int tickSpacing = 0; // least pixels between labelled ticks
    };
    void takeLayout();
    // Takes what the recorder has that the copy lacks.
    void takeChanges();
    // First and last cycle there is something to show of.
    uint64_t firstCycle() const;
    uint64_t lastCycle() const;
    int plotLeft() const;
    int plotWidth() const;
    // Follows the newest change when following, keeps the right edge within
    // the recording, and sets the scroll bar to match.
    void placeView();
    void paintAxis(QPainter& p, int axisBottom);
    void paintTrace(QPainter& p, int pin, int top);

    ViewContext& context_;
    WaveCapture& capture_;
    QAction* selectLinesAction_;
    QAction* followAction_;
    QAction* zoomInAction_;
    QAction* zoomOutAction_;
    std::vector<LineChange> changes_;
    uint64_t nextSequence_ = 0;
    uint64_t clears_ = ~uint64_t(0);
    uint64_t now_ = 0;          // the machine's cycle counter at the last look
    uint32_t frequency_ = 12000000;
    double cyclesPerPixel_ = 1000;
    uint64_t rightCycle_ = 0;
    double scrollUnit_ = 1; // pixels per scroll-bar step
    bool follow_ = true;
    bool placing_ = false;
    std::optional<uint64_t> cursor_;
    Layout layout_;
};

} // namespace quorvel::shell
