#include "shell/views/bit_status_view.h"

#include "shell/view_context.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace quorvel::shell {

namespace box {

QString rule(QChar left, QChar fill, QChar right, const std::array<QChar, 7>& joints) {
    QString line(kWidth, fill);
    line[0] = left;
    for (int k = 1; k < 8; ++k) line[8 * k] = joints[size_t(k - 1)];
    line[kWidth - 1] = right;
    return line;
}

QString top() {
    return rule(u'┌', u'─', u'┐', {u'┬', u'┬', u'┬', u'┬', u'┬', u'┬', u'┬'});
}
QString separator() {
    return rule(u'├', u'─', u'┤', {u'┼', u'┼', u'┼', u'┼', u'┼', u'┼', u'┼'});
}
QString bottom() {
    return rule(u'└', u'─', u'┘', {u'┴', u'┴', u'┴', u'┴', u'┴', u'┴', u'┴'});
}

QString cells(const std::array<QString, 8>& texts) {
    QString line = rule(u'│', u' ', u'│', {u'│', u'│', u'│', u'│', u'│', u'│', u'│'});
    for (int c = 0; c < 8; ++c) {
        const QString& text = texts[size_t(c)];
        const int start = 8 * c + 1 + std::max(0, int(7 - text.size()) / 2);
        line.replace(start, std::min<int>(int(text.size()), 7), text.left(7));
    }
    return line;
}

} // namespace box

namespace {


template <typename Item> std::vector<int> rowStarts(const std::vector<Item>& items, int rows) {
    std::vector<int> start(size_t(rows) + 1, int(items.size()));
    for (int i = int(items.size()) - 1; i >= 0; --i)
        if (items[size_t(i)].row >= 0 && items[size_t(i)].row < rows)
            start[size_t(items[size_t(i)].row)] = i;
    // Rows without items start where the next row does.
    for (int r = rows - 1; r >= 0; --r)
        start[size_t(r)] = std::min(start[size_t(r)], start[size_t(r) + 1]);
    return start;
}

// The arms of a box-drawing character from the middle of its cell to the
// edges: left, right, up, down. 0 for a character that is not one.
enum Arm : unsigned { kLeft = 1, kRight = 2, kUp = 4, kDown = 8 };
unsigned boxArms(QChar c) {
    switch (c.unicode()) {
    case u'─': return kLeft | kRight;
    case u'│': return kUp | kDown;
    case u'┌': return kRight | kDown;
    case u'┐': return kLeft | kDown;
    case u'└': return kRight | kUp;
    case u'┘': return kLeft | kUp;
    case u'├': return kUp | kDown | kRight;
    case u'┤': return kUp | kDown | kLeft;
    case u'┬': return kLeft | kRight | kDown;
    case u'┴': return kLeft | kRight | kUp;
    case u'┼': return kLeft | kRight | kUp | kDown;
    default: return 0;
    }
}

} // namespace

BitStatusView::BitStatusView(ViewContext& context) : TextGridView(context) {
    setBarPolicies(Qt::ScrollBarAsNeeded, Qt::ScrollBarAsNeeded);
}

void BitStatusView::updateLayout() {
    const Machine& machine = context().machine();
    const int key = int(machine.selection.kind) | (machine.chip.hasXdata() ? 0x100 : 0) |
                    (clearView() ? 0x200 : 0);
    if (key == layoutKey_) return;
    layoutKey_ = key;
    layout_ = buildLayout();
    const auto byRow = [](const auto& a, const auto& b) { return a.row < b.row; };
    std::stable_sort(layout_.texts.begin(), layout_.texts.end(), byRow);
    std::stable_sort(layout_.cells.begin(), layout_.cells.end(), byRow);
    textRowStart_ = rowStarts(layout_.texts, layout_.rows);
    cellRowStart_ = rowStarts(layout_.cells, layout_.rows);
    caret_ = std::clamp(caret_, 0, std::max(0, int(layout_.cells.size()) - 1));
    // The Clear View title line stays above the rows that scroll.
    setHeaderRows(layout_.title.isEmpty() ? 0 : 1);
    updateScrollBars();
    scrollTo(0);
    growWindowToContent();
}

void BitStatusView::showEvent(QShowEvent* event) {
    TextGridView::showEvent(event);
    updateLayout();
    growWindowToContentWhenPlaced();
}

QSize BitStatusView::minimumSizeHint() const {
    const int width = int(std::ceil((layout_.columns + 2 * leftMargin()) * charWidth()));
    const bool clear = !layout_.title.isEmpty();
    return {width + (clear ? 0 : verticalBar()->sizeHint().width()), 4 * lineHeight()};
}

void BitStatusView::refreshView() {
    updateLayout();
    {
        auto guard = context().runControl().pause();
        const ChipState& chip = context().machine().chip;
        const ChangeSnapshot& snapshot = std::as_const(context().runControl()).snapshot();
        for (int i = 0; i < 128; ++i) {
            now_[size_t(0x80 + i)] = chip.sfrs[size_t(i)];
            then_[size_t(0x80 + i)] = snapshot.sfrs[size_t(i)];
        }
        for (size_t a = 0x20; a < 0x30; ++a) {
            now_[a] = chip.iram[a];
            // No snapshot of a byte yet: nothing is drawn as changed.
            then_[a] = a < snapshot.iram.size() ? snapshot.iram[a] : now_[a];
        }
    }
    update();
}

// ------------------------------------------------------------------- queries

int BitStatusView::cellIndex(uint8_t address, int bit) const {
    const auto& cells = layout_.cells;
    const auto it = std::find_if(cells.begin(), cells.end(), [&](const BitCell& cell) {
        return cell.address == address && cell.bit == bit;
    });
    return it == cells.end() ? -1 : int(it - cells.begin());
}

QString BitStatusView::cellText(int index) const {
    const BitCell& cell = layout_.cells.at(size_t(index));
    if (!cell.editable) return QStringLiteral("-");
    return (now_[cell.address] >> cell.bit) & 1u ? QStringLiteral("1") : QStringLiteral("0");
}

bool BitStatusView::cellChanged(int index) const {
    const BitCell& cell = layout_.cells.at(size_t(index));
    return cell.editable && (((now_[cell.address] ^ then_[cell.address]) >> cell.bit) & 1u) != 0;
}

QString BitStatusView::rowText(int row) const {
    QString line(layout_.columns, u' ');
    if (row < 0 || row >= layout_.rows) return line;
    for (int i = textRowStart_[size_t(row)]; i < textRowStart_[size_t(row) + 1]; ++i) {
        const GridText& text = layout_.texts[size_t(i)];
        line.replace(text.column, text.text.size(), text.text);
    }
    for (int i = cellRowStart_[size_t(row)]; i < cellRowStart_[size_t(row) + 1]; ++i)
        line[layout_.cells[size_t(i)].column] = cellText(i)[0];
    return line.left(layout_.columns);
}

// --------------------------------------------------------------- scrolling

int BitStatusView::xScroll() const { return horizontalBar()->value() * charWidth(); }

void BitStatusView::updateScrollBars() {
    // The bars show when the grid (half a character of margin each side)
    // does not fit; the Clear View tile scrolls vertically only.
    setContentSize(layout_.rows, clearView() ? 0 : layout_.columns + 1);
    firstRow_ = verticalBar()->value();
}

void BitStatusView::scrollTo(int row) {
    verticalBar()->setValue(row);
    scrolled();
}

void BitStatusView::scrolled() {
    firstRow_ = verticalBar()->value();
    update();
}

// ------------------------------------------------------------------- caret

void BitStatusView::setCaret(int index) {
    if (layout_.cells.empty()) return;
    caret_ = std::clamp(index, 0, int(layout_.cells.size()) - 1);
    ensureVisible(caret_);
    update();
}

void BitStatusView::ensureVisible(int index) {
    const int row = layout_.cells.at(size_t(index)).row;
    if (row < firstRow_)
        scrollTo(row);
    else if (row >= firstRow_ + visibleRows())
        scrollTo(row - visibleRows() + 1);
}

QPoint BitStatusView::cellCentre(int index) {
    ensureVisible(index);
    const BitCell& cell = layout_.cells[size_t(index)];
    const int x = int((cell.column + leftMargin() + 0.5) * charWidth()) - xScroll();
    const int y = (cell.row - firstRow_ + headerRows()) * lineHeight() + lineHeight() / 2;
    return {x, y};
}

void BitStatusView::moveCaretVertically(int direction) {
    if (layout_.cells.empty()) return;
    const BitCell& from = layout_.cells[size_t(caret_)];
    // The nearest row of cells above or below, and in it the cell closest to
    // the caret's column.
    int row = from.row;
    do {
        row += direction;
        if (row < 0 || row >= layout_.rows) return;
    } while (cellRowStart_[size_t(row)] == cellRowStart_[size_t(row) + 1]);
    int best = cellRowStart_[size_t(row)];
    for (int i = best; i < cellRowStart_[size_t(row) + 1]; ++i)
        if (std::abs(layout_.cells[size_t(i)].column - from.column) <
            std::abs(layout_.cells[size_t(best)].column - from.column))
            best = i;
    setCaret(best);
}

void BitStatusView::keyPressEvent(QKeyEvent* event) {
    const int last = int(layout_.cells.size()) - 1;
    switch (event->key()) {
    case Qt::Key_Left: setCaret(caret_ - 1); break;
    case Qt::Key_Right: setCaret(caret_ + 1); break;
    case Qt::Key_Up: moveCaretVertically(-1); break;
    case Qt::Key_Down: moveCaretVertically(1); break;
    case Qt::Key_Home: setCaret(0); break;
    case Qt::Key_End: setCaret(last); break;
    case Qt::Key_PageUp: scrollTo(firstRow_ - visibleRows()); break;
    case Qt::Key_PageDown: scrollTo(firstRow_ + visibleRows()); break;
    case Qt::Key_Space: editBit(std::nullopt); break;
    case Qt::Key_0:
    case Qt::Key_1:
        editBit(event->key() == Qt::Key_1);
        if (advanceAfterDigit()) setCaret(caret_ + 1);
        break;
    default: TextGridView::keyPressEvent(event); return;
    }
    event->accept();
}

void BitStatusView::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    const QPoint cell = cellAt(event->position().toPoint(), leftMargin(), xScroll());
    const int row = cell.y() - headerRows() + firstRow_;
    if (cell.y() < headerRows() || row >= layout_.rows) return;
    for (int i = cellRowStart_[size_t(row)]; i < cellRowStart_[size_t(row) + 1]; ++i) {
        const BitCell& hit = layout_.cells[size_t(i)];
        if (cell.x() >= hit.hitStart && cell.x() < hit.hitEnd) {
            setCaret(i);
            return;
        }
    }
}

// -------------------------------------------------------------------- edit

void BitStatusView::editBit(std::optional<bool> value) {
    if (layout_.cells.empty()) return;
    const BitCell& cell = layout_.cells[size_t(caret_)];
    if (!cell.editable) return;
    const uint8_t mask = uint8_t(1u << cell.bit);
    context().runControl().edit([&] {
        ChipState& chip = context().machine().chip;
        const uint8_t old = chip.readStored(cell.address);
        const bool set = value ? *value : (old & mask) == 0;
        const uint8_t byte = set ? uint8_t(old | mask) : uint8_t(old & ~mask);
        // The write path of a MOV to the byte: a port keeps the value in its
        // latch, and a write of SCON or SPCR tells the serial and SPI
        // windows; in A and PSW, P follows A as on the chip.
        if (cell.address == sfr::ACC || cell.address == sfr::PSW) chip.setSfr(cell.address, byte);
        else chip.writeDirect(cell.address, byte);
        // Only the edited bit joins the snapshot: other bits of the byte a
        // step changed stay red.
        ChangeSnapshot& snapshot = context().runControl().snapshot();
        uint8_t* before = nullptr;
        if (cell.address >= 0x80)
            before = &snapshot.sfrs[size_t(cell.address - 0x80)];
        else if (cell.address < snapshot.iram.size())
            before = &snapshot.iram[cell.address];
        if (before) *before = uint8_t((*before & ~mask) | (byte & mask));
    });
    // Every view shows the new value: registers, ports, memories.
    context().refreshViews();
}

// ---------------------------------------------------------------- painting

void BitStatusView::drawBoxRun(QPainter& painter, int column, int screenRow, const QString& text,
                               int xScroll) const {
    // Box-drawing characters are drawn as lines that run to the edges of
    // their cells, so boxes close across the row spacing and whatever the
    // font holds; any other character is drawn as text.
    painter.setPen(QPen(kUnchanged, 1));
    const int top = screenRow * lineHeight(), bottom = top + lineHeight();
    const int midY = top + lineHeight() / 2;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u' ') continue;
        const unsigned arms = boxArms(c);
        if (!arms) {
            drawCells(painter, column + i + leftMargin(), screenRow, QString(c), kUnchanged, xScroll);
            painter.setPen(QPen(kUnchanged, 1));
            continue;
        }
        const int left = int(std::lround((column + i + leftMargin()) * charWidth())) - xScroll;
        const int right = left + charWidth(), midX = left + charWidth() / 2;
        if (arms & kLeft) painter.drawLine(left, midY, midX, midY);
        if (arms & kRight) painter.drawLine(midX, midY, right, midY);
        if (arms & kUp) painter.drawLine(midX, top, midX, midY);
        if (arms & kDown) painter.drawLine(midX, midY, midX, bottom);
    }
}

void BitStatusView::paintView(QPainter& painter, const QRect& dirty) {
    painter.fillRect(dirty, Qt::white);
    const int header = headerRows();
    if (header) drawTitle(painter, layout_.title);
    const int x = xScroll();
    const int lastRow = std::min(layout_.rows, firstRow_ + visibleRows() + 1);
    // Only the rows in view are drawn: texts, then values over them.
    for (int row = firstRow_; row < lastRow; ++row) {
        const int screenRow = row - firstRow_ + header;
        for (int i = textRowStart_[size_t(row)]; i < textRowStart_[size_t(row) + 1]; ++i) {
            const GridText& text = layout_.texts[size_t(i)];
            if (text.label)
                drawCells(painter, text.column + leftMargin(), screenRow, text.text, kLabel, x);
            else
                drawBoxRun(painter, text.column, screenRow, text.text, x);
        }
        for (int i = cellRowStart_[size_t(row)]; i < cellRowStart_[size_t(row) + 1]; ++i) {
            const BitCell& cell = layout_.cells[size_t(i)];
            drawCells(painter, cell.column + leftMargin(), screenRow, cellText(i),
                      cellChanged(i) ? kChanged : kUnchanged, x);
        }
    }
    // The caret: a bar before the value under it, while the view has the focus.
    if (hasFocus() && !layout_.cells.empty()) {
        const BitCell& cell = layout_.cells[size_t(caret_)];
        if (cell.row >= firstRow_ && cell.row < lastRow) {
            const QFontMetrics metrics(font());
            const int left = int(std::lround((cell.column + leftMargin()) * charWidth())) - x;
            const int top = (cell.row - firstRow_ + header) * lineHeight() +
                            (lineHeight() - metrics.height()) / 2;
            painter.fillRect(QRect(left - 1, top, 2, metrics.height()), Qt::black);
        }
    }
}

} // namespace quorvel::shell
