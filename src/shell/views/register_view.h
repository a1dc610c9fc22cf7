// The register window (MdiRegisterChild): the CPU registers of the selected
// device with their values in hexadecimal, changed values (against the
// change snapshot of the last step) in red. Normal View is a scrolling list
// with long labels, or short ones when the window is narrower than 48
// characters, followed by the four register banks; Clear View is a fixed
// grid under a title line, with R0-R7 of the current bank.
//
// A caret sits on one hex digit of a value; arrow keys, Home, End and mouse
// clicks move it, and a hex digit replaces the digit under it: the register
// is written at once (under the run controller's pause guard) and every view
// is refreshed.
//
// The view copies the registers it shows on refresh (under the pause guard),
// so painting never touches the machine.
#pragma once

#include "chip/device.h"
#include "machine/register_edit.h"
#include "shell/views/text_grid_view.h"

#include <QString>
#include <vector>

class QScrollBar;

namespace quorvel::shell {

// One line of the register list or one entry of the Clear View grid.
struct RegisterEntry {
    const char* label;
    int column;   // character column of the label (grid: drawn one column further in)
    int row;      // text row; in the grid row 0 is the title line
    bool heading; // a heading: a label without a value
    RegisterRef reg;
};

enum class RegisterLayout : uint8_t { LongList, ShortList, Grid };

// The lines of a layout for a device, in reading order.
std::vector<RegisterEntry> registerLayout(DeviceKind kind, RegisterLayout layout);

// Up and Down in the grid: the entry in the nearest row above (direction -1)
// or below (+1) whose value starts nearest character column `column`; -1
// when there is none.
int gridNeighbour(const std::vector<RegisterEntry>& grid, int from, int column, int direction);
// Character column where an entry's value starts in the grid.
int gridValueColumn(const RegisterEntry& entry);

class RegisterView : public TextGridView {
    Q_OBJECT
  public:
    explicit RegisterView(ViewContext& context);

    void refreshView() override;
    int viewCommand() const override;
    QRect clearViewGeometry(const QSize& client) const override;

    // What is painted, for tests and tools: the layout in use, its entries,
    // the value text of entry i (empty for a heading) and whether it is drawn
    // as changed.
    RegisterLayout layout() const { return layout_; }
    int entryCount() const { return int(lines_.size()); }
    const RegisterEntry& entry(int i) const { return lines_[size_t(i)].entry; }
    // The first entry whose label starts with `label`, or -1.
    int entryIndex(QStringView label) const;
    QString valueText(int i) const { return lines_[size_t(i)].value; }
    bool valueChanged(int i) const { return lines_[size_t(i)].changed; }
    // The caret: the entry it is in and the digit within the value.
    int caretEntry() const;
    int caretDigit() const { return caretDigit_; }
    // Widget point at the middle of digit `digit` of entry i's value.
    QPoint digitPoint(int i, int digit) const;

  protected:
    void paintView(QPainter& painter, const QRect& dirty) override;
    void scrolled() override;
    void viewportResized() override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    struct Line {
        RegisterEntry entry;
        QString label;
        int valueColumn = 0; // character column of the value's first digit
        QString value;       // as painted
        bool changed = false;
    };

    // Returns true when the lines were laid out anew (and formatted).
    bool relayout();
    void formatValues();
    void updateScrollBars();
    void setCaret(int field, int digit);
    void ensureCaretVisible();
    void moveVertically(int direction);
    void typeDigit(uint8_t nibble);
    int digitsOf(int field) const;
    const Line& fieldLine(int field) const { return lines_[size_t(fields_[size_t(field)])]; }

    DeviceKind device_ = DeviceKind::AT89C2051;
    DeviceKind deviceOfLayout_ = DeviceKind::AT89C2051;
    RegisterLayout layout_ = RegisterLayout::LongList;
    bool laidOut_ = false;
    std::vector<Line> lines_;
    std::vector<int> fields_;                // lines with a value, in caret order
    std::vector<RegisterEntry> gridEntries_; // the grid's entries (Clear View)
    RegisterImage now_;
    RegisterImage before_;
    int caretField_ = 0;
    int caretDigit_ = 0;
    int topRow_ = 0;  // list: first row shown
    int xScroll_ = 0; // list: pixels scrolled to the left
};

} // namespace quorvel::shell
