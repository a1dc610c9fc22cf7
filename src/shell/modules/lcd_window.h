// The LCD window (MdiLCDChild): the display of the LCD module at a fixed size
// by the chosen display size, titled by it, yellow with back light and white
// without. It keeps its own copy of what the controller shows, taken while
// the simulation is paused (when the frame refreshes the views, and on the
// module timer while a program runs, only when the controller changed), and
// paints from that copy. A 500 ms timer blinks the cursor.
#pragma once

#include "modules/lcd_controller.h"
#include "shell/view.h"

class QTimer;

namespace quorvel::shell {

class ViewContext;

class LcdWindow : public View {
    Q_OBJECT
public:
    explicit LcdWindow(ViewContext& context);

    void refreshView() override;
    int viewCommand() const override;
    void moduleTick() override;
    QSize sizeHint() const override;

    // After OK of "LCD Module Setting": size, title and background follow
    // the options, and the picture is taken again. Call with the simulation
    // paused.
    void applySettings();

    // What the window draws now.
    const LcdPicture& picture() const { return picture_; }
    // The blink phase of the cursor (true: the block is shown).
    bool cursorPhase() const { return cursorPhase_; }
    QTimer* cursorTimer() const { return cursorTimer_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    // What tells the window the controller changed; the busy bit and the
    // nibble phase are left out, they change all the time and show nothing.
    struct Seen {
        uint32_t changeCount = 0;
        uint8_t displayFlags = 0, functionFlags = 0, address = 0, options = 0;
        bool operator==(const Seen&) const = default;
    };
    Seen seen() const;
    void takePicture();
    void fitWindow();
    void blink();

    ViewContext& context_;
    LcdPicture picture_;
    Seen seen_;
    bool cursorPhase_ = false;
    QTimer* cursorTimer_;
};

} // namespace quorvel::shell
