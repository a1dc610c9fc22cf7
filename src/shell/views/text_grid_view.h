// Base of the painted text views (registers, bit status, memories): text on a
// character grid in the fixed-pitch font, the colours of change highlighting,
// and the Clear View title line that shows whether the tile has the focus.
#pragma once

#include "common/view_mode.h"
#include "shell/views/scrolled_view.h"

#include <QColor>
#include <QFont>

class QPainter;

namespace quorvel::shell {

class ViewContext;

// The fixed-pitch font of the text views (program, registers, bits, memories).
QFont textViewFont();
// The step in pixels from one character of `font` to the next along a run
// (for textViewFont() a whole number, the width of a grid cell).
int textCellWidth(const QFont& font);
// The fixed-pitch font at the desktop's own size, for lists of bytes and
// characters that need no grid (the serial and SPI transfer lists): large
// enough to tell "l" from "1" and "O" from "0".
QFont listFont();

class TextGridView : public ScrolledView {
    Q_OBJECT
public:
    explicit TextGridView(ViewContext& context);

    ViewContext& context() const { return context_; }
    // The layout the frame is in; a view lays itself out by it when created.
    bool clearView() const;

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
    ViewContext& context_;
};

} // namespace quorvel::shell
