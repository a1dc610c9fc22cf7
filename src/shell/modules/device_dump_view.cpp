#include "shell/modules/device_dump_view.h"

#include "shell/view_context.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace quorvel::shell {

DeviceDumpView::DeviceDumpView(ViewContext& context, const char* objectName, int command)
    : TextGridView(context), context_(context), command_(command) {
    setObjectName(objectName);
    setBarPolicies(Qt::ScrollBarAlwaysOn, Qt::ScrollBarAsNeeded);
    blink_.setInterval(std::max(100, QApplication::cursorFlashTime() / 2));
    connect(&blink_, &QTimer::timeout, this, [this] {
        caretOn_ = !caretOn_;
        update(caretRect());
    });
    resize(kRowWidth * charWidth() + verticalBar()->sizeHint().width(), 17 * lineHeight());
}

DeviceDumpView::~DeviceDumpView() {
    if (!context_.runControl().running()) context_.setStatusText(0, "Ready");
}

void DeviceDumpView::reopenDevice() {
    {
        auto guard = context_.runControl().pause();
        const std::span<uint8_t> memory = deviceMemory();
        openDeviceView(dump_, memory, deviceSize());
        device_ = dump_.shown;
        setWindowTitle(QString::fromStdString(deviceTitle()));
    }
    layoutBars();
    setTop(0);
    caretMoved();
}

void DeviceDumpView::refreshView() {
    {
        auto guard = context_.runControl().pause();
        const std::span<uint8_t> memory = deviceMemory();
        device_.assign(memory.begin(), memory.begin() + std::ptrdiff_t(dump_.shown.size()));
    }
    update();
}

void DeviceDumpView::takeFromDevice(int first, int last) {
    {
        auto guard = context_.runControl().pause();
        const std::span<uint8_t> memory = deviceMemory();
        refreshShown(dump_, memory, first, last);
        device_.assign(memory.begin(), memory.begin() + std::ptrdiff_t(dump_.shown.size()));
    }
    update();
}

bool DeviceDumpView::changedByProgram(int address) const {
    return quorvel::changedByProgram(dump_, device_, address);
}

QString DeviceDumpView::rowText(int row) const {
    const int size = int(dump_.shown.size());
    if (row < 0 || row * kDumpRowBytes >= size) return {};
    std::string text = dumpRowAddress(row * kDumpRowBytes, size);
    std::string characters;
    for (int i = 0; i < kDumpRowBytes && row * kDumpRowBytes + i < size; ++i) {
        const uint8_t byte = device_[size_t(row * kDumpRowBytes + i)];
        text += dumpByteText(byte);
        characters += dumpCharacter(byte);
    }
    return QString::fromLatin1(text + characters);
}

// ------------------------------------------------------------------ layout

void DeviceDumpView::layoutBars() {
    setContentSize(rowCount(), kRowWidth);
    scrolled();
}

void DeviceDumpView::scrolled() {
    top_ = verticalBar()->value();
    hpos_ = horizontalBar()->value();
    update();
}

void DeviceDumpView::setTop(int row) { verticalBar()->setValue(row); }

// ------------------------------------------------------------------- caret

int DeviceDumpView::caretColumn() const {
    const int byte = dump_.caret % kDumpRowBytes;
    if (dump_.characterArea) return kCharColumn + byte;
    return kHexColumn + kHexStride * byte + (dump_.lowNibble ? 1 : 0);
}

QRect DeviceDumpView::caretRect() const {
    const int height = std::max(2, lineHeight() - 7);
    const int row = dump_.caret / kDumpRowBytes - top_;
    return {(caretColumn() - hpos_) * charWidth(), row * lineHeight() + (lineHeight() - height) / 2,
            charWidth(), height};
}

void DeviceDumpView::caretMoved() {
    // Scroll so that the caret's row and column are in view.
    const int row = dump_.caret / kDumpRowBytes;
    if (row < top_) setTop(row);
    else if (row >= top_ + visibleRows()) setTop(row - visibleRows() + 1);
    if (horizontalBar()->isVisible()) {
        const int column = caretColumn();
        if (column < hpos_) horizontalBar()->setValue(column);
        else if (column >= hpos_ + visibleColumns()) horizontalBar()->setValue(column - visibleColumns() + 1);
    }
    // The status bar shows the caret of the active window only.
    if (hasFocus() || context_.isActiveView(parentWidget()))
        context_.setStatusText(0, QString::fromStdString(editingAddressText(dump_.caret)));
    caretOn_ = true;
    if (blink_.isActive()) blink_.start(); // a moved caret shows at once
    update();
}

void DeviceDumpView::moveTo(int address, bool characterArea, bool lowNibble) {
    moveCaret(dump_, address, characterArea, lowNibble);
    caretMoved();
}

void DeviceDumpView::moveRight() {
    if (!dump_.characterArea && !dump_.lowNibble) moveTo(dump_.caret, false, true);
    else moveTo(dump_.caret + 1, dump_.characterArea, false);
}

void DeviceDumpView::moveLeft() {
    if (!dump_.characterArea && dump_.lowNibble) moveTo(dump_.caret, false, false);
    else if (dump_.caret > 0) moveTo(dump_.caret - 1, dump_.characterArea, !dump_.characterArea);
}

void DeviceDumpView::placeCaret(int visibleRow, int column) {
    const int row = top_ + visibleRow;
    if (visibleRow < 0 || row >= rowCount()) return;
    const int hexOffset = column - kHexColumn;
    if (hexOffset >= 0 && hexOffset < kHexStride * kDumpRowBytes && hexOffset % kHexStride <= 1)
        moveTo(row * kDumpRowBytes + hexOffset / kHexStride, false, hexOffset % kHexStride == 1);
    else if (column >= kCharColumn && column < kCharColumn + kDumpRowBytes)
        moveTo(row * kDumpRowBytes + column - kCharColumn, true, false);
}

// ------------------------------------------------------------------ typing

void DeviceDumpView::typeCharacter(QChar ch) {
    // Control keys (Enter, Backspace, Escape) and characters beyond Latin-1
    // edit nothing.
    if (ch.unicode() < 0x20 || ch.unicode() > 0xFF) return;
    {
        RunController& run = context_.runControl();
        auto guard = run.pause();
        const std::span<uint8_t> memory = deviceMemory();
        if (dump_.caret >= int(dump_.shown.size())) return;
        const auto value = dumpKeyEdit(dump_, memory[size_t(dump_.caret)], char(ch.unicode()));
        // The device's memory is part of the machine: the edit is logged.
        bool stored = false;
        if (value) run.edit([&] { stored = storeEdit(dump_.caret, *value); });
        if (!stored) return;
        acceptEdit(dump_, *value);
        device_.assign(memory.begin(), memory.begin() + std::ptrdiff_t(dump_.shown.size()));
    }
    caretMoved();
}

void DeviceDumpView::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        return TextGridView::keyPressEvent(event);
    const int rowStart = dump_.caret - dump_.caret % kDumpRowBytes;
    const bool chars = dump_.characterArea;
    switch (event->key()) {
    case Qt::Key_Right: return moveRight();
    case Qt::Key_Left: return moveLeft();
    case Qt::Key_Up:
        if (dump_.caret >= kDumpRowBytes) moveTo(dump_.caret - kDumpRowBytes, chars, dump_.lowNibble);
        return;
    case Qt::Key_Down:
        if (dump_.caret + kDumpRowBytes < int(dump_.shown.size()))
            moveTo(dump_.caret + kDumpRowBytes, chars, dump_.lowNibble);
        return;
    case Qt::Key_PageUp:
        return moveTo(std::max(dump_.caret % kDumpRowBytes, dump_.caret - visibleRows() * kDumpRowBytes),
                      chars, dump_.lowNibble);
    case Qt::Key_PageDown: {
        const int target = dump_.caret + visibleRows() * kDumpRowBytes;
        const int last = int(dump_.shown.size()) - kDumpRowBytes + dump_.caret % kDumpRowBytes;
        return moveTo(std::min(target, last), chars, dump_.lowNibble);
    }
    case Qt::Key_Home: return moveTo(rowStart, chars, false);
    case Qt::Key_End: return moveTo(rowStart + kDumpRowBytes - 1, chars, !chars);
    case Qt::Key_Tab: // between the hex and the character columns
    case Qt::Key_Backtab: return moveTo(dump_.caret, !chars, false);
    default: break;
    }
    const QString text = event->text();
    if (text.size() == 1) typeCharacter(text[0]);
    else TextGridView::keyPressEvent(event);
}

// Tab moves between the two areas, not the focus.
bool DeviceDumpView::focusNextPrevChild(bool) { return false; }

void DeviceDumpView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return TextGridView::mousePressEvent(event);
    const QPoint cell = cellAt(event->position().toPoint(), 0, hpos_ * charWidth());
    placeCaret(cell.y(), cell.x());
}

void DeviceDumpView::focusInEvent(QFocusEvent* event) {
    TextGridView::focusInEvent(event);
    blink_.start();
    caretMoved();
}

void DeviceDumpView::focusOutEvent(QFocusEvent* event) {
    TextGridView::focusOutEvent(event);
    blink_.stop();
    caretOn_ = false;
    update();
}

// ---------------------------------------------------------------- painting

void DeviceDumpView::paintView(QPainter& painter, const QRect& dirty) {
    painter.fillRect(dirty, Qt::white);

    const int size = int(dump_.shown.size());
    const int xScroll = hpos_ * charWidth();
    const int last = std::min(rowCount(), top_ + visibleRows() + 1);
    for (int row = top_; row < last; ++row) {
        const int line = row - top_;
        drawCells(painter, 0, line, QString::fromLatin1(dumpRowAddress(row * kDumpRowBytes, size)),
                  kUnchanged, xScroll);
        for (int i = 0; i < kDumpRowBytes; ++i) {
            const int address = row * kDumpRowBytes + i;
            if (address >= size) break;
            const uint8_t byte = device_[size_t(address)];
            const QColor& colour = changedByProgram(address) ? kChanged : kUnchanged;
            drawCells(painter, kHexColumn + kHexStride * i, line,
                      QString::fromLatin1(dumpByteText(byte).substr(0, 2)), colour, xScroll);
            drawCells(painter, kCharColumn + i, line, QString(QLatin1Char(dumpCharacter(byte))),
                      colour, xScroll);
        }
    }

    if (hasFocus() && caretOn_) {
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.fillRect(caretRect(), Qt::white);
    }
}

} // namespace quorvel::shell
