// Common ground of the two bit-status windows (SFR bits and the bit-addressable
// RAM): a grid of text runs and one-character bit cells, laid out by the
// derived view for the device and the frame's layout (Normal View or Clear
// View); scrolling, the caret, the keys and the mouse; and the edit that
// writes one bit of the chip.
//
// The view keeps a copy of the bytes it shows and of their change snapshot,
// taken on refresh under the run controller's pause guard, so painting never
// reads the machine while a program runs. An edit takes the pause guard,
// writes the byte, takes the edited bit into the snapshot (so the user's own
// change is not drawn red) and has the frame refresh every view.
//
// User-interface thread only.
#pragma once

#include "shell/views/text_grid_view.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class QScrollBar;

namespace quorvel::shell {

// A fixed text of the grid: a heading, a name or a line of box drawing.
struct GridText {
    int row;
    int column;
    QString text;
    bool label; // drawn in the label colour, else black
};

// One bit on the grid: the character where its value is drawn, the columns
// a click selects it by, and the bit itself (an SFR address 0x80-0xFF or a
// RAM address, and the bit number 0-7).
struct BitCell {
    int row;
    int column;
    int hitStart;
    int hitEnd; // one past the last column
    uint8_t address;
    uint8_t bit;
    bool editable;
};

struct BitGridLayout {
    QString title;                // the Clear View title line; empty in Normal View
    std::vector<GridText> texts;  // in row order
    std::vector<BitCell> cells;   // in caret order, which is row order
    int rows = 0;                 // content rows, the title line not counted
    int columns = 0;
};

class BitStatusView : public TextGridView {
    Q_OBJECT
public:
    explicit BitStatusView(ViewContext& context);

    void refreshView() override;
    // The grid's full width (every bit of a register) and a few rows.
    QSize minimumSizeHint() const override;

    const BitGridLayout& layout() const { return layout_; }
    // The cell of a bit, or -1 when the layout does not show it.
    int cellIndex(uint8_t address, int bit) const;
    // The value text as painted: "1", "0", or "-" for a bit that cannot be
    // edited in Normal View.
    QString cellText(int index) const;
    // Drawn red: the bit differs from the change snapshot.
    bool cellChanged(int index) const;
    // A content row as painted (texts and values), blank-padded.
    QString rowText(int row) const;

    int caret() const { return caret_; }
    // Puts the caret on a cell and scrolls it into view.
    void setCaret(int index);
    // Scrolls a cell into view.
    void ensureVisible(int index);
    // The pixel centre of a cell's value character (scrolled into view first).
    QPoint cellCentre(int index);
    int firstRow() const { return firstRow_; }

protected:
    // The grid for the device and layout in force now.
    virtual BitGridLayout buildLayout() const = 0;
    // Whether "0" and "1" move the caret on to the next bit.
    virtual bool advanceAfterDigit() const { return false; }

    void paintView(QPainter& painter, const QRect& dirty) override;
    void scrolled() override;
    void viewportResized() override { updateScrollBars(); }
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // Rebuilds the layout when the device, the external data memory or the
    // frame's layout changed since the last build.
    void updateLayout();
    void updateScrollBars();
    void scrollTo(int row);
    // Writes the bit under the caret: set, clear, or toggle (nullopt).
    void editBit(std::optional<bool> value);
    void moveCaretVertically(int direction);
    double leftMargin() const { return 0.5; }
    void drawBoxRun(QPainter& painter, int column, int screenRow, const QString& text,
                    int xScroll) const;
    int xScroll() const;

    BitGridLayout layout_;
    std::vector<int> textRowStart_; // first text of each row, rows + 1 entries
    std::vector<int> cellRowStart_;
    int layoutKey_ = -1;
    int firstRow_ = 0;
    int caret_ = 0;
    // The shown bytes and their snapshot, by address (SFRs 0x80-0xFF, RAM
    // 0x20-0x2F).
    std::array<uint8_t, 256> now_{};
    std::array<uint8_t, 256> then_{};
};

// Box-drawing lines for a row of eight 7-character cells between bars, 65
// characters wide; the value of cell c sits at character 8 * c + 4.
namespace box {
constexpr int kWidth = 65;
// `left`, eight runs of `fill` joined by joints[0..6], `right`.
QString rule(QChar left, QChar fill, QChar right, const std::array<QChar, 7>& joints);
QString top();
QString separator();
QString bottom();
// A line of bars with each text centred in its cell (empty texts: bars only).
QString cells(const std::array<QString, 8>& texts);
} // namespace box

} // namespace quorvel::shell
