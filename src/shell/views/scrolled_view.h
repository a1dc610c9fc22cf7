// Base of the painted views that scroll (program, registers, bit status,
// memories, device dumps, logic analyser): a QAbstractScrollArea inside the
// view supplies the scroll bars and the viewport they scroll, laid out below
// the view's header rows (the Clear View title line) and beside a fixed
// border of the view's own (the logic analyser's axis and line names). The
// base keeps the row and column metrics of the view's font, sets the bars'
// ranges and page steps from the viewport's size, scrolls by the wheel and
// by the keys a view leaves to it, and has the view paint what shows.
//
// The view paints in its own coordinates: `paintView` is called once for
// the part outside the viewport (header, border) and once for the viewport,
// each time clipped to that part, so a view draws its rows where they sit in
// the view. Mouse and wheel events over the viewport reach the view, in view
// coordinates.
//
// The scroll area is a child of the view, not the view itself: every view
// is a View, the plain widget the part windows fill with their controls.
#pragma once

#include "shell/view.h"

class QAbstractScrollArea;
class QPainter;
class QScrollBar;

namespace quorvel::shell {

class ScrolledView : public View {
    Q_OBJECT
public:
    explicit ScrolledView(QWidget* parent = nullptr);

    // The bars (object names "vscroll" and "hscroll").
    QScrollBar* verticalBar() const;
    QScrollBar* horizontalBar() const;
    // The width of a character cell and the height of a row in the view's
    // font (font height, external leading and 8 pixels).
    int charWidth() const { return charWidth_; }
    int lineHeight() const { return lineHeight_; }

protected:
    // Takes the row and column metrics from `font`, which the view paints in.
    void setTextFont(const QFont& font);
    // Rows at the top that do not scroll (0 or the Clear View title line).
    void setHeaderRows(int rows);
    int headerRows() const { return headerRows_; }
    // Pixels left of and above the scrolled part that do not scroll (after
    // the header rows).
    void setBorder(int left, int top);
    // When each bar shows: always, never or when its range is not empty.
    void setBarPolicies(Qt::ScrollBarPolicy vertical, Qt::ScrollBarPolicy horizontal);
    // The part the bars scroll, in view coordinates.
    QRect rowArea() const;
    // Whole rows and character columns that fit in it (at least 1).
    int visibleRows() const;
    int visibleColumns() const;
    // Ranges and page steps for content of `rows` rows and `columns`
    // columns (or pixels with `columnPixels`): the vertical bar counts rows,
    // the horizontal one columns (pixels), one step a row or a column.
    void setContentSize(int rows, int columns, bool columnPixels = false);

    // Paints the part of the view in `dirty`; the painter is clipped to the
    // part outside the viewport or to the viewport.
    virtual void paintView(QPainter& painter, const QRect& dirty) = 0;
    // A bar's value changed (by the user, the wheel or a call).
    virtual void scrolled() {}
    // The viewport took a new size: the view recounts its rows and calls
    // setContentSize again.
    virtual void viewportResized() {}

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // A notch scrolls the wheel's lines (a page at most), with Shift or Ctrl
    // held too; fractions of notches add up.
    void wheelEvent(QWheelEvent* event) override;
    // Up, Down, Page Up, Page Down, Left and Right move the bars; views with
    // a caret take those keys themselves.
    void keyPressEvent(QKeyEvent* event) override;

private:
    class Area;
    void placeArea();

    Area* area_;
    int charWidth_ = 8;
    int lineHeight_ = 16;
    int headerRows_ = 0;
    int borderLeft_ = 0;
    int borderTop_ = 0;
};

} // namespace quorvel::shell
