// The hex and character dump editor of the external devices' memories (the
// IIC EEPROM, the clock's 256 bytes, the SPI EEPROM): rows of 16 bytes as
// "  %02X    " (or " %03X    ") row address, "%02X  " bytes and the same
// bytes as characters, edited in place with a caret.
//
// The window keeps its own copy of the device memory (core
// DeviceMemoryView): the user's edits update it, the program's writes do
// not, so a byte the program changed stays red. The device memory itself is
// copied (`device_`) only under the pause guard, when the frame refreshes
// the views and after each edit; painting reads the copies.
//
// A subclass names the device: its memory, size, title and edit rule (write
// protection). The factories call `reopenDevice` once the window is made.
//
// Threads: user-interface thread only; device memory is read and written
// under the run controller's pause guard.
#pragma once

#include "modules/device_memory_view.h"
#include "shell/views/text_grid_view.h"

#include <QTimer>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class QScrollBar;

namespace quorvel::shell {

class DeviceDumpView : public TextGridView {
    Q_OBJECT
public:
    // Columns of a row: address, first hex digit, hex stride, characters, width.
    static constexpr int kHexColumn = 8, kHexStride = 4, kCharColumn = 72, kRowWidth = 88;

    DeviceDumpView(ViewContext& context, const char* objectName, int command);
    ~DeviceDumpView() override;

    // Takes the device memory again and repaints (program writes show red).
    void refreshView() override;
    int viewCommand() const override { return command_; }

    // The device's type may have changed (OK of its settings dialog): the
    // title and range follow it, the window's copy becomes the memory again
    // and the caret goes home.
    void reopenDevice();

    const DeviceMemoryView& dump() const { return dump_; }
    int topRow() const { return top_; }
    // Whether the byte at `address` is drawn red (the program changed it).
    bool changedByProgram(int address) const;
    // The text of the row at `row` (0 = the first row of the device).
    QString rowText(int row) const;
    // Puts the caret as a mouse press on text cell (column, visible row) does.
    void placeCaret(int visibleRow, int column);

protected:
    // The device's whole buffer, its used size, title and edit rule; called
    // under the pause guard.
    virtual std::span<uint8_t> deviceMemory() = 0;
    virtual int deviceSize() const = 0;
    virtual std::string deviceTitle() const = 0;
    // Stores a typed byte; false when the device refuses it (write protection).
    virtual bool storeEdit(int address, uint8_t value) = 0;

    // Makes bytes [first, last] of the window's copy equal to the device
    // (they are no longer drawn red). Takes the pause guard.
    void takeFromDevice(int first, int last);

    void paintView(QPainter& painter, const QRect& dirty) override;
    void scrolled() override;
    void viewportResized() override { layoutBars(); }
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    int rowCount() const { return int(dump_.shown.size() + kDumpRowBytes - 1) / kDumpRowBytes; }
    void layoutBars();
    void setTop(int row);
    void typeCharacter(QChar ch);
    void moveTo(int address, bool characterArea, bool lowNibble);
    void moveRight();
    void moveLeft();
    void caretMoved();
    QRect caretRect() const;
    int caretColumn() const;

    ViewContext& context_;
    int command_;
    DeviceMemoryView dump_;
    std::vector<uint8_t> device_; // the device memory as of the last refresh
    QTimer blink_;
    bool caretOn_ = false;
    int top_ = 0;  // first visible row
    int hpos_ = 0; // columns scrolled to the left
};

} // namespace quorvel::shell
