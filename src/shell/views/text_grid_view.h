// Base of the painted text views (registers, bit status, memories): text on a
// character grid in the fixed-pitch font, the colours of change highlighting,
// and the Clear View title line that shows whether the tile has the focus.
#pragma once

#include "common/view_mode.h"
#include "shell/view.h"

#include <QColor>
#include <QFont>

class QPainter;

namespace quorvel::shell {

class Frame;

// The fixed-pitch font of the text views (program, registers, bits, memories).
QFont textViewFont();

class TextGridView : public View {
    Q_OBJECT
public:
    explicit TextGridView(Frame& frame);

    Frame& frame() const { return frame_; }
    // The layout the frame is in; a view lays itself out by it when created.
    bool clearView() const;
    int charWidth() const { return charWidth_; }
    // Font height, external leading and 8 pixels.
    int lineHeight() const { return lineHeight_; }

    // Value colours: changed against the snapshot, unchanged, labels.
    static inline const QColor kChanged{255, 0, 0};
    static inline const QColor kUnchanged{0, 0, 0};
    static inline const QColor kLabel{0, 0, 255};

protected:
    // Draws `text` from character column `column` (may be fractional: the
    // Clear View memory rows start half a character in) of text row `row`,
    // less `xScroll` pixels of horizontal scrolling.
    void drawCells(QPainter& painter, double column, int row, const QString& text,
                   const QColor& colour, int xScroll = 0) const;
    // The Clear View title line on row 0, across the whole width.
    void drawTitle(QPainter& painter, const QString& title) const;
    // The text cell of a point, as column and row; the column counts from
    // `firstColumn` characters in.
    QPoint cellAt(const QPoint& pixel, double firstColumn = 0, int xScroll = 0) const;

    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    Frame& frame_;
    int charWidth_ = 8;
    int lineHeight_ = 16;
};

} // namespace quorvel::shell
