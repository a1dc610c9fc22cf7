// Base of the three memory windows (external data memory, internal data
// memory, on-chip EEPROM): a hexadecimal and character dump of one memory,
// edited in place with a caret.
//
// Normal View rows are "address, 16 bytes as hex, 16 bytes as characters";
// the Clear View form has a title line and the two layouts the user picks in
// its popup menu: hex only or characters only, with the row width of the
// window kind. Everything that depends on the layout (row width, columns of
// the address, the hex digits and the characters) comes from one `RowLayout`,
// so the caret rules are written once for every layout.
//
// The window keeps the bytes it shows (`shown`) and the bytes as they were
// before the last refresh (`previous`); a byte that differs is drawn red.
// Memory is read only for the rows that are visible, and only the rows that a
// move brings into view. The internal memory window instead reads its memory
// at every repaint and compares against the run controller's internal-RAM
// snapshot.
//
// Threads: user-interface thread only; every access to the chip is made under
// the run controller's pause guard.
#pragma once

#include "shell/clear_view_tiles.h"
#include "shell/views/text_grid_view.h"

#include <QString>
#include <QTimer>

#include <cstdint>
#include <vector>

class QMenu;
class QScrollBar;

namespace quorvel::shell {

// Where a row's parts lie, in character columns from the row's start.
struct RowLayout {
    int bytesPerRow;
    int addressColumn; // first digit of the row address
    int hexColumn;     // first digit of byte 0; -1: no hex area
    int hexStride;     // columns from one byte's digits to the next
    int charColumn;    // character of byte 0; -1: no character area
    int width;         // columns of a full row
};

// What differs between the three windows besides their memory.
struct MemoryViewKind {
    const char* objectName;
    const char* title;
    const char* clearTitle;  // the Clear View title line
    int command;
    int addressDigits;       // 4, or 2 for internal memory
    bool live;               // reads memory at every repaint, compares with the RAM snapshot
    bool addressDialog;      // address double-click and "Set Address"
    bool clampPreset;        // the dialog's pre-fill stays within the memory
    const char* menuTitle;   // the Clear View popup's menu
    ClearViewTile tile;      // its Clear View tile
    RowLayout normal;
    RowLayout clearHex;
    RowLayout clearAscii;
};

class MemoryView : public TextGridView {
    Q_OBJECT
public:
    enum class Form { Normal, ClearHex, ClearAscii };
    enum class Area { Hex, Char };

    // Popup commands of the Clear View form.
    static constexpr int kSetAddress = 40084, kHexEditing = 40078, kAsciiEditing = 40079;
    // The popup command of both forms: a watchpoint on the byte at the caret.
    static constexpr int kBreakOnWrite = 41063;
    // The popup command of both forms: the last write to the byte at the
    // caret in the recorded history.
    static constexpr int kLastWrite = 41064;

    MemoryView(ViewContext& context, const MemoryViewKind& kind);
    ~MemoryView() override;

    // Refresh: previous := shown, shown := memory read again, repaint.
    void refreshView() override;
    int viewCommand() const override { return kind_.command; }
    // Set Address, Hex Editing, ASCII Editing.
    void command(int id) override;
    QRect clearViewGeometry(const QSize& client) const override;

    // ---- state, as the user sees it
    Form form() const;
    const RowLayout& layout() const;
    uint32_t top() const { return top_; }
    int rows() const { return dataRows_; }
    // Rows that hold bytes of the memory (fewer than `rows` only for a live
    // window taller than its memory).
    int usedRows() const;
    int caretRow() const { return caretRow_; }
    int caretColumn() const;
    bool lowDigit() const { return lowDigit_; }
    Area caretArea() const { return area_; }
    uint32_t caretAddress() const;
    int horizontalPosition() const { return hpos_; }
    // The text of data row `row` as painted, from the row's first column, and
    // a bit per byte of the row that is drawn red.
    QString rowText(int row) const;
    uint32_t changedMask(int row) const;

    // ---- user actions
    void lineUp();
    void lineDown();
    void pageUp();
    void pageDown();
    void setVerticalPosition(int position);
    // The go-to dialog's OK: the row of `address` becomes the first row.
    void goToAddress(uint16_t address);
    // Opens the address dialog pre-filled with the address of data row `row`.
    void askGoToAddress(int row);
    // Puts the caret on a column of a data row (ignored off the digit and
    // character columns), as a mouse press does.
    void placeCaret(int row, int column);
    // Shows the Clear View form whatever the frame's layout.
    void forceClearViewForm(bool on);
    // The Clear View popup menu, its actions carrying their command ids.
    QMenu* createPopupMenu(QWidget* parent);
    // The menu of a right click in either form: the Clear View popup's
    // commands there, and Break on Write for the byte at the caret.
    QMenu* createContextMenu(QWidget* parent);

signals:
    // Break on Write on the byte at `address`.
    void breakOnWriteRequested(uint32_t address);
    // Last Write on the byte at `address`.
    void lastWriteRequested(uint32_t address);

protected:
    // The memory, read and written under the pause guard.
    virtual uint32_t highestAddress() const = 0;
    virtual uint8_t readByte(uint32_t address) const = 0;
    // Stores a typed byte; returns false when the address takes no typing.
    // `value` becomes what the memory holds now (its read-back).
    virtual bool writeByte(uint32_t address, uint8_t& value) = 0;
    // The program-wide previous value of a live window's byte.
    virtual uint8_t previousByte(uint32_t address) const { return readByte(address); }
    // The shown range changed (top or row count).
    virtual void shownRangeChanged() {}

    void paintView(QPainter& painter, const QRect& dirty) override;
    void scrolled() override;
    void viewportResized() override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

    const MemoryViewKind& kind() const { return kind_; }

private:
    double origin() const;          // first column's offset in characters
    int firstDataLine() const;      // text line of data row 0
    uint32_t rowBytes() const { return uint32_t(layout().bytesPerRow); }
    uint32_t highestRow() const { return highestAddress() / rowBytes(); }
    // The last first row: the page then ends at the memory's last row.
    uint32_t maxTopRow() const;
    void syncLayout();
    void layoutRows();
    void updateScrollBars();
    // Reads `count` rows from data row `first` into shown bytes.
    void readRows(int first, int count);
    void reloadAll();
    void setTop(uint32_t top);
    void refreshLiveBytes() const;
    void typeCharacter(QChar ch);
    // Caret moves; each returns after placing the caret.
    void moveRight();
    void moveLeft();
    void moveUp();
    void moveDown();
    void moveHome();
    void moveEnd();
    void caretMoved();
    void setClearForm(Form form);
    void ensureCaretColumnVisible();
    QRect caretRect() const;
    void formatRow(int row) const;

    ViewContext& context_;
    const MemoryViewKind& kind_;
    QTimer blink_;
    bool caretOn_ = false;
    bool forcedClear_ = false;
    Form clearForm_ = Form::ClearHex; // chosen by the popup
    Form laidOut_ = Form::Normal;     // the form the state was laid out for
    uint32_t top_ = 0;
    int dataRows_ = 1;
    int caretRow_ = 0;
    int caretByte_ = 0;               // byte index within the row
    Area area_ = Area::Hex;
    bool lowDigit_ = false;
    int hpos_ = 0;                    // columns scrolled to the left
    bool exactGrid_ = true;           // strings advance exactly one cell per character
    // Shown and previous bytes of the visible rows (mutable: a live window
    // refreshes them as it paints).
    mutable std::vector<uint8_t> shown_;
    mutable std::vector<uint8_t> previous_;
    // Row text buffers reused by every paint: labels, unchanged bytes,
    // changed bytes.
    mutable QString label_, plain_, changed_;
};

} // namespace quorvel::shell
