#include "shell/views/memory_view.h"

#include "shell/view_context.h"
#include "shell/prompt_dialogs.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quorvel::shell {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Writes `value` as `digits` hexadecimal digits into `text` from `column`.
void putHex(QString& text, int column, uint32_t value, int digits) {
    for (int d = digits - 1; d >= 0; --d, value >>= 4)
        text[column + d] = QLatin1Char(kHexDigits[value & 0xF]);
}

int hexValue(QChar ch) {
    const char16_t c = ch.unicode();
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

MemoryView::MemoryView(ViewContext& context, const MemoryViewKind& kind)
    : TextGridView(context), context_(context), kind_(kind) {
    setObjectName(kind.objectName);
    setWindowTitle(kind.title);

    QScrollBar* vbar = verticalBar();
    connect(vbar, &QScrollBar::actionTriggered, this, [this](int action) {
        switch (action) {
        case QAbstractSlider::SliderSingleStepAdd: lineDown(); break;
        case QAbstractSlider::SliderSingleStepSub: lineUp(); break;
        case QAbstractSlider::SliderPageStepAdd: pageDown(); break;
        case QAbstractSlider::SliderPageStepSub: pageUp(); break;
        case QAbstractSlider::SliderMove: setVerticalPosition(verticalBar()->sliderPosition()); break;
        default: break;
        }
        // The slider sets its own proposed position after this; put ours back.
        QMetaObject::invokeMethod(this, [this] { updateScrollBars(); }, Qt::QueuedConnection);
    });

    blink_.setInterval(std::max(100, QApplication::cursorFlashTime() / 2));
    connect(&blink_, &QTimer::timeout, this, [this] {
        caretOn_ = !caretOn_;
        update(caretRect());
    });

    // Text drawn as one string lines up with the cell grid only when the
    // font's advance is a whole number of pixels; otherwise cells are drawn
    // one by one.
    const QFontMetricsF metrics(font());
    exactGrid_ = std::abs(metrics.horizontalAdvance(QString(92, QLatin1Char('0'))) -
                          92.0 * charWidth()) < 0.5;
    for (QString* text : {&label_, &plain_, &changed_}) text->reserve(96);

    // Memory is read once the window has its size (the kinds' read functions
    // are not there yet while this constructor runs).
    laidOut_ = form();
    shown_.assign(rowBytes(), 0xFF);
    previous_.assign(rowBytes(), 0xFF);
    resize(620, 400);
}

MemoryView::~MemoryView() {
    if (!context_.runControl().running()) context_.setStatusText(0, "Ready");
}

QRect MemoryView::clearViewGeometry(const QSize& client) const {
    return clearViewTile(kind_.tile, client);
}

// ------------------------------------------------------------------ layout

MemoryView::Form MemoryView::form() const {
    return forcedClear_ || clearView() ? clearForm_ : Form::Normal;
}

const RowLayout& MemoryView::layout() const {
    switch (laidOut_) {
    case Form::ClearHex: return kind_.clearHex;
    case Form::ClearAscii: return kind_.clearAscii;
    case Form::Normal: break;
    }
    return kind_.normal;
}

double MemoryView::origin() const { return laidOut_ == Form::Normal ? 0.0 : 0.5; }
int MemoryView::firstDataLine() const { return laidOut_ == Form::Normal ? 0 : 1; }

int MemoryView::usedRows() const {
    if (!kind_.live) return dataRows_;
    const uint32_t topRow = top_ / rowBytes();
    if (topRow > highestRow()) return 1;
    return int(std::min<uint32_t>(uint32_t(dataRows_), highestRow() - topRow + 1));
}

void MemoryView::forceClearViewForm(bool on) {
    forcedClear_ = on;
    syncLayout();
}

void MemoryView::setClearForm(Form clearForm) {
    clearForm_ = clearForm;
    syncLayout();
}

// Lays the window out again when its form changed (the frame switched the
// view layout, or the popup chose the other editing form), keeping the byte
// under the caret in view and under the caret.
void MemoryView::syncLayout() {
    const Form wanted = form();
    if (wanted == laidOut_) return;
    const uint32_t address = caretAddress();
    laidOut_ = wanted;
    const RowLayout& l = layout();
    if (l.hexColumn < 0) area_ = Area::Char;
    else if (l.charColumn < 0) area_ = Area::Hex;
    lowDigit_ = false;
    if (laidOut_ != Form::Normal) hpos_ = 0;
    layoutRows();

    const uint32_t bpr = rowBytes();
    const uint32_t row = address / bpr;
    // The caret keeps its screen row unless that would scroll past the end.
    uint32_t topRow = row - std::min<uint32_t>(row, uint32_t(caretRow_));
    if (topRow > maxTopRow() && row <= highestRow()) topRow = maxTopRow();
    caretRow_ = int(row - topRow);
    caretByte_ = int(address % bpr);
    setTop(topRow * bpr);
    caretRow_ = std::clamp(caretRow_, 0, usedRows() - 1);
    caretMoved();
}

void MemoryView::layoutRows() {
    // The Clear View forms have their title line above the rows and
    // scroll vertically only.
    const bool normal = laidOut_ == Form::Normal;
    setHeaderRows(firstDataLine());
    setBarPolicies(Qt::ScrollBarAlwaysOn, normal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    dataRows_ = visibleRows();
    const size_t bytes = size_t(dataRows_) * rowBytes();
    shown_.assign(bytes, 0xFF);
    previous_.assign(bytes, 0xFF);
    if (top_ % rowBytes()) top_ -= top_ % rowBytes();
    caretRow_ = std::clamp(caretRow_, 0, usedRows() - 1);
    caretByte_ = std::min(caretByte_, layout().bytesPerRow - 1);
    reloadAll();
    shownRangeChanged();
}

uint32_t MemoryView::maxTopRow() const {
    const uint32_t page = uint32_t(dataRows_ - 1);
    return highestRow() >= page ? highestRow() - page : 0;
}

void MemoryView::updateScrollBars() {
    // The vertical bar counts rows up to the memory's last; its moves are
    // carried out by the actions above, which read only the new row.
    const QSignalBlocker blockV(verticalBar());
    const QSignalBlocker blockH(horizontalBar());
    setContentSize(int(highestRow()) + 1, laidOut_ == Form::Normal ? layout().width : 0);
    verticalBar()->setValue(int(top_ / rowBytes()));
    hpos_ = std::min(hpos_, horizontalBar()->maximum());
    horizontalBar()->setValue(hpos_);
}

void MemoryView::scrolled() {
    hpos_ = horizontalBar()->value();
    update();
}

void MemoryView::viewportResized() {
    if (form() != laidOut_) syncLayout();
    else layoutRows();
}

void MemoryView::showEvent(QShowEvent* event) {
    TextGridView::showEvent(event);
    syncLayout();
}

// ----------------------------------------------------------------- reading

void MemoryView::readRows(int first, int count) {
    if (kind_.live) return; // read as it paints
    const uint32_t bpr = rowBytes();
    auto guard = context_.runControl().pause();
    for (int r = first; r < first + count; ++r) {
        uint8_t* row = shown_.data() + size_t(r) * bpr;
        const uint32_t start = top_ + uint32_t(r) * bpr;
        for (uint32_t i = 0; i < bpr; ++i)
            row[i] = start + i <= 0xFFFF ? readByte(start + i) : uint8_t(0xFF);
    }
}

void MemoryView::reloadAll() {
    readRows(0, dataRows_);
    std::copy(shown_.begin(), shown_.end(), previous_.begin());
    updateScrollBars();
    update();
}

void MemoryView::refreshLiveBytes() const {
    if (!kind_.live) return;
    const uint32_t bpr = rowBytes();
    const uint32_t count = uint32_t(usedRows()) * bpr;
    auto guard = context_.runControl().pause();
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t address = top_ + i;
        const bool inside = address <= highestAddress();
        shown_[i] = inside ? readByte(address) : 0;
        previous_[i] = inside ? previousByte(address) : shown_[i];
    }
}

void MemoryView::refreshView() {
    if (!kind_.live) {
        std::copy(shown_.begin(), shown_.end(), previous_.begin());
        readRows(0, dataRows_);
        updateScrollBars(); // the memory's size may have changed
    }
    update();
}

// --------------------------------------------------------------- scrolling

void MemoryView::setTop(uint32_t top) {
    top_ = std::min<uint32_t>(top, 0xFFFF) / rowBytes() * rowBytes();
    caretRow_ = std::clamp(caretRow_, 0, usedRows() - 1);
    reloadAll();
    shownRangeChanged();
}

void MemoryView::lineDown() {
    const uint32_t bpr = rowBytes();
    if (top_ / bpr + uint32_t(dataRows_ - 1) >= highestRow()) return;
    top_ += bpr;
    std::memmove(shown_.data(), shown_.data() + bpr, shown_.size() - bpr);
    readRows(dataRows_ - 1, 1);
    std::copy(shown_.begin(), shown_.end(), previous_.begin());
    updateScrollBars();
    shownRangeChanged();
    update();
}

void MemoryView::lineUp() {
    const uint32_t bpr = rowBytes();
    if (top_ == 0) return;
    top_ -= bpr;
    std::memmove(shown_.data() + bpr, shown_.data(), shown_.size() - bpr);
    readRows(0, 1);
    std::copy(shown_.begin(), shown_.end(), previous_.begin());
    updateScrollBars();
    shownRangeChanged();
    update();
}

void MemoryView::pageDown() {
    const uint32_t topRow = top_ / rowBytes();
    const uint32_t next = std::min(topRow + uint32_t(dataRows_), maxTopRow());
    if (next > topRow) setTop(next * rowBytes());
}

void MemoryView::pageUp() {
    if (top_ == 0) return;
    const uint32_t topRow = top_ / rowBytes();
    setTop(topRow >= uint32_t(dataRows_) ? (topRow - uint32_t(dataRows_)) * rowBytes() : 0);
}

void MemoryView::setVerticalPosition(int position) {
    setTop(uint32_t(std::max(0, position)) * rowBytes());
}

// ---------------------------------------------------------- the go-to dialog

void MemoryView::goToAddress(uint16_t address) {
    setTop(address);
    caretMoved();
}

void MemoryView::askGoToAddress(int row) {
    if (!kind_.addressDialog) return;
    uint32_t preset = top_ + uint32_t(std::max(0, row)) * rowBytes();
    if (kind_.clampPreset && preset > highestAddress())
        preset = highestAddress() >= 15 ? highestAddress() - 15 : 0;
    auto address = askAddress(this, uint16_t(std::min<uint32_t>(preset, 0xFFFF)));
    if (!address) return;
    context_.lastAddress = *address;
    goToAddress(*address);
}

void MemoryView::command(int id) {
    switch (id) {
    case kSetAddress: askGoToAddress(caretRow_); break;
    case kHexEditing: setClearForm(Form::ClearHex); break;
    case kAsciiEditing: setClearForm(Form::ClearAscii); break;
    case kBreakOnWrite: emit breakOnWriteRequested(caretAddress()); break;
    case kLastWrite: emit lastWriteRequested(caretAddress()); break;
    default: break;
    }
}

QMenu* MemoryView::createPopupMenu(QWidget* parent) {
    auto* menu = new QMenu(kind_.menuTitle, parent);
    menu->setObjectName("EXTMEMORY");
    auto add = [&](int id, const char* text) {
        QAction* action = menu->addAction(text);
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { command(id); });
    };
    if (kind_.addressDialog) add(kSetAddress, "Set Address");
    add(kHexEditing, "Hex Editing");
    add(kAsciiEditing, "ASCII Editing");
    return menu;
}

QMenu* MemoryView::createContextMenu(QWidget* parent) {
    QMenu* menu = laidOut_ == Form::Normal ? new QMenu(parent) : createPopupMenu(parent);
    if (!menu->isEmpty()) menu->addSeparator();
    const QString address = QString::number(caretAddress(), 16).toUpper().rightJustified(kind_.addressDigits, '0');
    QAction* action = menu->addAction(QString("Break on &Write at %1H").arg(address));
    action->setData(kBreakOnWrite);
    connect(action, &QAction::triggered, this, [this] { command(kBreakOnWrite); });
    QAction* last = menu->addAction(QString("&Last Write at %1H").arg(address));
    last->setData(kLastWrite);
    last->setEnabled(context_.runControl().session().history() && !context_.runControl().running());
    connect(last, &QAction::triggered, this, [this] { command(kLastWrite); });
    return menu;
}

// ------------------------------------------------------------------ caret

int MemoryView::caretColumn() const {
    const RowLayout& l = layout();
    if (area_ == Area::Hex) return l.hexColumn + l.hexStride * caretByte_ + (lowDigit_ ? 1 : 0);
    return l.charColumn + caretByte_;
}

uint32_t MemoryView::caretAddress() const {
    return top_ + uint32_t(caretRow_) * rowBytes() + uint32_t(caretByte_);
}

QRect MemoryView::caretRect() const {
    const int xScroll = laidOut_ == Form::Normal ? hpos_ * charWidth() : 0;
    const int x = int(std::lround((origin() + caretColumn()) * charWidth())) - xScroll;
    const int height = std::max(2, lineHeight() - 7);
    const int y = (firstDataLine() + caretRow_) * lineHeight() + (lineHeight() - height) / 2;
    return {x, y, charWidth(), height};
}

void MemoryView::caretMoved() {
    ensureCaretColumnVisible();
    context_.setStatusText(0, QString::asprintf(kind_.addressDigits == 4
                                                  ? "Current editing address : %04X"
                                                  : "Current editing address : %02X",
                                              unsigned(caretAddress())));
    caretOn_ = true;
    if (blink_.isActive()) blink_.start(); // a moved caret shows at once
    update();
}

void MemoryView::ensureCaretColumnVisible() {
    if (laidOut_ != Form::Normal) return;
    const int column = caretColumn();
    const int columns = visibleColumns();
    int position = hpos_;
    if (column < position) position = column;
    else if (column >= position + columns) position = column - columns + 1;
    position = std::clamp(position, 0, horizontalBar()->maximum());
    if (position != hpos_) horizontalBar()->setValue(position); // sets hpos_
}

void MemoryView::moveRight() {
    if (area_ == Area::Hex && !lowDigit_) {
        lowDigit_ = true;
    } else if (caretAddress() != highestAddress()) {
        if (caretByte_ < layout().bytesPerRow - 1) {
            ++caretByte_;
        } else {
            if (caretRow_ < usedRows() - 1) {
                ++caretRow_;
            } else {
                const uint32_t before = top_;
                lineDown();
                if (top_ == before) return caretMoved();
            }
            caretByte_ = 0;
            if (area_ == Area::Hex && laidOut_ == Form::Normal) horizontalBar()->setValue(0);
        }
        lowDigit_ = false;
    }
    caretMoved();
}

void MemoryView::moveLeft() {
    if (area_ == Area::Hex && lowDigit_) {
        lowDigit_ = false;
    } else if (caretByte_ > 0) {
        --caretByte_;
        lowDigit_ = area_ == Area::Hex;
    } else if (caretRow_ > 0 || top_ != 0) {
        if (caretRow_ > 0) --caretRow_;
        else lineUp();
        caretByte_ = layout().bytesPerRow - 1;
        lowDigit_ = area_ == Area::Hex;
    }
    caretMoved();
}

void MemoryView::moveUp() {
    if (caretRow_ > 0) --caretRow_;
    else lineUp();
    caretMoved();
}

void MemoryView::moveDown() {
    if (caretRow_ < usedRows() - 1) ++caretRow_;
    else lineDown();
    caretMoved();
}

void MemoryView::moveHome() {
    caretRow_ = 0;
    caretByte_ = 0;
    lowDigit_ = false;
    if (area_ == Area::Hex && laidOut_ == Form::Normal) horizontalBar()->setValue(0);
    caretMoved();
}

void MemoryView::moveEnd() {
    caretRow_ = usedRows() - 1;
    caretByte_ = layout().bytesPerRow - 1;
    lowDigit_ = area_ == Area::Hex;
    caretMoved();
}

void MemoryView::placeCaret(int row, int column) {
    if (row < 0 || row >= usedRows()) return;
    const RowLayout& l = layout();
    const int bpr = l.bytesPerRow;
    if (l.hexColumn >= 0 && column >= l.hexColumn && column < l.hexColumn + l.hexStride * bpr &&
        (column - l.hexColumn) % l.hexStride <= 1) {
        // A click anywhere on a byte starts at its high digit, so that the
        // digits typed next fill whole bytes.
        area_ = Area::Hex;
        caretByte_ = (column - l.hexColumn) / l.hexStride;
        lowDigit_ = false;
    } else if (l.charColumn >= 0 && column >= l.charColumn && column < l.charColumn + bpr) {
        area_ = Area::Char;
        caretByte_ = column - l.charColumn;
        lowDigit_ = false;
    } else {
        return;
    }
    caretRow_ = row;
    caretMoved();
}

// ------------------------------------------------------------------ typing

void MemoryView::typeCharacter(QChar ch) {
    int digit = -1;
    if (area_ == Area::Hex) {
        digit = hexValue(ch);
        if (digit < 0) return;
    } else if (ch.unicode() == 0x08 || ch.unicode() == 0x09 || ch.unicode() > 0xFF) {
        return;
    }
    const uint32_t address = caretAddress();
    if (address > 0xFFFF) return;
    uint8_t value = 0;
    {
        auto guard = context_.runControl().pause();
        const uint8_t current = readByte(address);
        if (digit < 0) value = uint8_t(ch.unicode());
        else if (lowDigit_) value = uint8_t((current & 0xF0) | digit);
        else value = uint8_t(digit << 4 | (current & 0x0F));
        if (!writeByte(address, value)) return;
    }
    const size_t index = size_t(address - top_);
    if (index < shown_.size()) shown_[index] = previous_[index] = value;
    moveRight();
}

// ---------------------------------------------------------------- painting

void MemoryView::formatRow(int row) const {
    const RowLayout& l = layout();
    for (QString* text : {&label_, &plain_, &changed_}) text->fill(QLatin1Char(' '), l.width);
    const uint32_t bpr = uint32_t(l.bytesPerRow);
    putHex(label_, l.addressColumn, top_ + uint32_t(row) * bpr, kind_.addressDigits);
    const size_t first = size_t(row) * bpr;
    for (uint32_t i = 0; i < bpr; ++i) {
        const uint8_t byte = shown_[first + i];
        QString& text = byte == previous_[first + i] ? plain_ : changed_;
        if (l.hexColumn >= 0) putHex(text, l.hexColumn + l.hexStride * int(i), byte, 2);
        if (l.charColumn >= 0)
            text[l.charColumn + int(i)] =
                byte < 0x20 || byte > 0x7E ? QLatin1Char('.') : QLatin1Char(char(byte));
    }
}

QString MemoryView::rowText(int row) const {
    if (row < 0 || row >= usedRows()) return {};
    refreshLiveBytes();
    formatRow(row);
    QString text = label_;
    for (int c = 0; c < text.size(); ++c) {
        if (plain_[c] != QLatin1Char(' ')) text[c] = plain_[c];
        if (changed_[c] != QLatin1Char(' ')) text[c] = changed_[c];
    }
    return text;
}

uint32_t MemoryView::changedMask(int row) const {
    if (row < 0 || row >= usedRows()) return 0;
    refreshLiveBytes();
    uint32_t mask = 0;
    const size_t first = size_t(row) * rowBytes();
    for (uint32_t i = 0; i < rowBytes(); ++i)
        if (shown_[first + i] != previous_[first + i]) mask |= 1u << i;
    return mask;
}

void MemoryView::paintView(QPainter& painter, const QRect& dirty) {
    syncLayout();
    painter.fillRect(dirty, Qt::white);
    if (laidOut_ != Form::Normal) drawTitle(painter, QString::fromLatin1(kind_.clearTitle));
    const bool normal = laidOut_ == Form::Normal;
    refreshLiveBytes();

    const int xScroll = normal ? hpos_ * charWidth() : 0;
    const int used = usedRows();
    for (int row = 0; row < used; ++row) {
        formatRow(row);
        const int line = firstDataLine() + row;
        const std::pair<const QString*, const QColor*> parts[] = {
            {&label_, &kLabel}, {&plain_, &kUnchanged}, {&changed_, &kChanged}};
        for (auto [text, colour] : parts) {
            if (exactGrid_) {
                drawCells(painter, origin(), line, *text, *colour, xScroll);
                continue;
            }
            for (int c = 0; c < text->size(); ++c)
                if ((*text)[c] != QLatin1Char(' '))
                    drawCells(painter, origin() + c, line, QString((*text)[c]), *colour, xScroll);
        }
    }

    if (hasFocus() && caretOn_) {
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.fillRect(caretRect(), Qt::white);
    }
}

// ------------------------------------------------------------- input events

void MemoryView::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        return TextGridView::keyPressEvent(event);
    switch (event->key()) {
    case Qt::Key_Right: moveRight(); return;
    case Qt::Key_Left: moveLeft(); return;
    case Qt::Key_Up: moveUp(); return;
    case Qt::Key_Down: moveDown(); return;
    case Qt::Key_Home: moveHome(); return;
    case Qt::Key_End: moveEnd(); return;
    case Qt::Key_PageUp:
        pageUp();
        caretMoved();
        return;
    case Qt::Key_PageDown:
        pageDown();
        caretMoved();
        return;
    default: break;
    }
    const QString text = event->text();
    if (text.size() == 1) typeCharacter(text[0]);
    else TextGridView::keyPressEvent(event);
}

// Tab is a character here (and ignored), not a focus move.
bool MemoryView::focusNextPrevChild(bool) { return false; }

void MemoryView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return TextGridView::mousePressEvent(event);
    const int xScroll = laidOut_ == Form::Normal ? hpos_ * charWidth() : 0;
    const QPoint cell = cellAt(event->position().toPoint(), origin(), xScroll);
    placeCaret(cell.y() - firstDataLine(), cell.x());
}

void MemoryView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !kind_.addressDialog) return;
    const int xScroll = laidOut_ == Form::Normal ? hpos_ * charWidth() : 0;
    const QPoint cell = cellAt(event->position().toPoint(), origin(), xScroll);
    const int row = cell.y() - firstDataLine();
    const int first = layout().addressColumn;
    if (row >= 0 && row < dataRows_ && cell.x() >= first && cell.x() < first + kind_.addressDigits)
        askGoToAddress(row);
}

void MemoryView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton) return TextGridView::mouseReleaseEvent(event);
    // The byte under the pointer takes the caret: Break on Write watches it.
    const int xScroll = laidOut_ == Form::Normal ? hpos_ * charWidth() : 0;
    const QPoint cell = cellAt(event->position().toPoint(), origin(), xScroll);
    placeCaret(cell.y() - firstDataLine(), cell.x());
    QMenu* menu = createContextMenu(this);
    menu->exec(event->globalPosition().toPoint());
    delete menu;
}

void MemoryView::focusInEvent(QFocusEvent* event) {
    TextGridView::focusInEvent(event);
    blink_.start();
    caretMoved();
}

void MemoryView::focusOutEvent(QFocusEvent* event) {
    TextGridView::focusOutEvent(event);
    blink_.stop();
    caretOn_ = false;
    update();
}

} // namespace quorvel::shell
