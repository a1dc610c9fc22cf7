// The program window (MdiProgramChild): program memory as a disassembly
// listing, one instruction per row under a header row, with the program
// counter's row in yellow and the breakpoint mark. The user scrolls (keys,
// wheel, scroll bars, page-up search backwards), jumps to an address, sets
// the program counter or the breakpoint, starts runs from a row, and edits or
// enters instructions in place.
//
// The view keeps its own copy of the bytes it shows (re-read under the run
// controller's pause guard on refresh), so painting never touches the machine
// while a program runs.
#pragma once

#include "machine/code_profile.h"
#include "shell/views/scrolled_view.h"

#include <cstdint>
#include <vector>

class QPainter;
class QScrollBar;
class QMenu;

namespace quorvel::shell {

class SourceDebug;
class ViewContext;

class ProgramView : public ScrolledView {
    Q_OBJECT
public:
    // `source` is the loaded program's source map, its line breakpoints and
    // the Source Lines switch.
    ProgramView(ViewContext& context, SourceDebug& source);

    void refreshView() override;
    int viewCommand() const override;
    QRect clearViewGeometry(const QSize& client) const override;

    // Re-reads the code window from `top` and repaints (command 107).
    void reloadCode();
    // Puts `address` on the first row.
    void setTop(uint16_t address);

    uint16_t top() const { return top_; }
    int rows() const { return rows_; }
    // Address that follows the instruction on row r (entry 0 = top).
    uint32_t rowAddress(int entry) const;
    // The Normal View text of row r (1 to rows - 1), as painted.
    QString rowText(int row) const;

    // Source lines and profile columns (program_view_columns.cpp), right of
    // the disassembly in Normal View while the Profile or the Source Lines
    // switch is on. The text of those columns on row r (1 to rows - 1): the
    // profile's Count and Cycles, the function starting there (with its
    // summed counts while profiling) and the source line starting there as
    // "file:line  text"; empty when both switches are off.
    QString annotationText(int row) const;
    // A program instruction (as the coverage walk finds it) that never ran
    // while profiling: grey mark in the margin.
    bool rowNeverExecuted(int row) const;
    // The row's address starts the code of a source line with a breakpoint.
    bool rowHasLineBreak(int row) const;
    // Sets or removes the breakpoint on the source line of row r.
    void toggleLineBreakAt(int row);
    void moduleTick() override;

    // User actions on a row, as the context menu and double-clicks do them.
    void editInstruction(int row);
    void enterProgram(uint32_t start);
    void setAddressDialog(uint16_t preset);
    void toggleBreakpoint(int row);

    // Scroll actions.
    void lineDown();
    void lineUp();
    void pageDown();
    void pageUp();

protected:
    void paintView(QPainter& p, const QRect& dirty) override;
    void scrolled() override;
    void viewportResized() override { layoutRows(); }
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    uint8_t codeByte(uint32_t address) const;
    uint32_t highestAddress() const;
    int instructionLength(uint32_t address) const;
    void layoutRows();
    void showPage(uint32_t address);
    void rebuildRowTable();
    void updateScrollBars();
    int rowAt(int y) const;
    int columnAt(int x) const;
    bool rowHasBreakpoint(uint32_t address) const;
    void openContextMenu(int row, const QPoint& globalPos);
    void runRowCommand(int id);
    // Source lines and profile columns.
    bool annotated() const;
    int scrollColumns() const;
    void readProfile(bool walkCode);
    void readRowCounts();
    struct RowAnnotation;
    RowAnnotation annotationOf(int row) const;
    void paintAnnotationHeader(QPainter& p, int ascent);
    void paintAnnotation(QPainter& p, int row, int ascent);

    ViewContext& context_;
    SourceDebug& source_;
    const bool clear_; // laid out as the Clear View tile
    uint16_t top_ = 0;
    int rows_ = 1;
    int columns_ = 1;
    int hscroll_ = 0;
    std::vector<uint8_t> window_;     // code bytes from top_
    std::vector<uint32_t> rowTable_;  // entries 0..rows
    uint16_t pc_ = 0;                 // current-instruction address at the last refresh
    uint32_t codeLimit_ = 0;
    int enteredRows_ = -1;            // rows drawn while entering; -1 when not entering
    int clickedRow_ = 0;
    int wheelRemainder_ = 0;
    bool profiling_ = false;
    std::vector<AddressCounts> rowCounts_;    // entries 0..rows - 1, while profiling
    std::vector<AddressCounts> functionSums_; // the same rows: their function's sums
    std::vector<bool> programCode_;           // instruction starts, from the last refresh
    int profileTicks_ = 0;
};

} // namespace quorvel::shell
