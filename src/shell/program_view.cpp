#include "shell/program_view.h"

#include "shell/clear_view_tiles.h"
#include "shell/clear_view_title.h"
#include "shell/view_context.h"
#include "shell/messages.h"
#include "shell/prompt_dialogs.h"
#include "shell/source_debug.h"
#include "shell/views/text_grid_view.h"
#include "shell/views/view_table.h"
#include "tools/disassembler.h"
#include "tools/instruction_table.h"
#include "tools/keyword_classes.h"
#include "tools/line_assembler.h"
#include "tools/program_entry.h"

#include <QApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

namespace quorvel::shell {

namespace {

constexpr int kMenuEditInstruction = 40081, kMenuEnterProgram = 40100,
              kMenuExecuteBreakpoint = 40029, kMenuExecute = 40101, kMenuSetAddress = 40076,
              kMenuSetPc = 40073, kMenuSetBreakpoint = 40074, kMenuRemoveBreakpoint = 40075;

const QColor kDarkRed(128, 0, 0), kGreen(0, 128, 0), kBrown(128, 64, 0);
constexpr int kHeaderWidth = 104, kBlankWidth = 150, kScrollColumns = 52;
constexpr std::string_view kClearViewHeader = " Addr  BP  Opcodes   Mnemonics            ";

// Where the parts of a row lie in each layout (character columns): the
// address (dark red, double-click: Set Address), the breakpoint mark (its
// column and the next toggle it), the code bytes (green) and the mnemonic
// (coloured by keyword, double-click: Edit Instruction).
struct RowLayout {
    int addressFirst, addressLast;
    int bpColumn;
    int codeZone; // first column of the mnemonic
};
constexpr RowLayout kNormalRows{2, 5, 11, 26};
constexpr RowLayout kClearRows{1, 4, 7, 21};

QColor keywordColour(std::string_view word) {
    switch (classifyKeyword(word)) {
    case KeywordClass::Mnemonic:
    case KeywordClass::Register: return Qt::blue;
    case KeywordClass::Sfr: return Qt::red;
    case KeywordClass::Bit: return Qt::magenta;
    case KeywordClass::Directive: return kBrown;
    default: return Qt::black;
    }
}

// The breakpoint mark: a red dot, filled on white rows, ringed on the
// program counter's yellow row.
void drawBreakpointMark(QPainter& p, const QRect& cell, bool onPcRow) {
    int d = std::min(cell.width() * 2, cell.height()) - 6;
    QRect dot(cell.left() + 1, cell.top() + (cell.height() - d) / 2, d, d);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::darkRed, 1));
    p.setBrush(onPcRow ? QColor(Qt::red).lighter(130) : QColor(Qt::red));
    p.drawEllipse(dot);
    p.restore();
}

} // namespace

ProgramView::ProgramView(ViewContext& context, SourceDebug& source)
    : context_(context), source_(source), clear_(context.viewMode() == ViewMode::Clear) {
    setObjectName("MdiProgramChild");
    setWindowTitle("Program");
    setTextFont(textViewFont());
    // The Clear View tile has no horizontal scrolling.
    setBarPolicies(Qt::ScrollBarAlwaysOn, clear_ ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
    // The vertical bar counts addresses; its moves are carried out by
    // stepping over whole instructions.
    connect(verticalBar(), &QScrollBar::actionTriggered, this, [this](int action) {
        switch (action) {
        case QAbstractSlider::SliderSingleStepAdd: lineDown(); break;
        case QAbstractSlider::SliderSingleStepSub: lineUp(); break;
        case QAbstractSlider::SliderPageStepAdd: pageDown(); break;
        case QAbstractSlider::SliderPageStepSub: pageUp(); break;
        case QAbstractSlider::SliderMove: setTop(uint16_t(verticalBar()->sliderPosition())); break;
        default: break;
        }
        // The actions set the position themselves.
        QMetaObject::invokeMethod(this, [this] { updateScrollBars(); }, Qt::QueuedConnection);
    });
    codeLimit_ = context_.machine().chip.codeLimit;
    resize(620, 400);
}

int ProgramView::viewCommand() const { return id::ProgramWindow; }

QRect ProgramView::clearViewGeometry(const QSize& client) const {
    return clearViewTile(ClearViewTile::TopLeft, client);
}

View* createProgramView(const ViewSources& sources) { return new ProgramView(sources.context, sources.sourceDebug); }

uint32_t ProgramView::highestAddress() const { return codeLimit_; }

uint8_t ProgramView::codeByte(uint32_t address) const {
    return address < window_.size() ? window_[address] : uint8_t(0xFF);
}

int ProgramView::instructionLength(uint32_t address) const {
    return instructionOf(codeByte(address)).length;
}

uint32_t ProgramView::rowAddress(int entry) const {
    return entry >= 0 && size_t(entry) < rowTable_.size() ? rowTable_[size_t(entry)] : top_;
}

// ------------------------------------------------------------------ refresh

void ProgramView::reloadCode() {
    {
        auto guard = context_.runControl().pause();
        const ChipState& chip = context_.machine().chip;
        window_ = chip.code; // the whole program memory: painting never touches the machine
        codeLimit_ = chip.codeLimit;
        pc_ = context_.runControl().currentAddress();
        readProfile(true);
    }
    rebuildRowTable();
    updateScrollBars();
    update();
}

void ProgramView::refreshView() {
    reloadCode();
    // Follow the program counter: one line down when it is just below the
    // last drawn row, a jump when it is elsewhere off the page.
    bool shown = false;
    for (int r = 0; r < rows_ - 1; ++r)
        if (rowAddress(r) == pc_) shown = true;
    if (!shown) {
        if (rows_ > 1 && rowAddress(rows_ - 1) == pc_)
            lineDown();
        else
            showPage(pc_);
    }
}

void ProgramView::showPage(uint32_t address) {
    // Near the end of program memory (or past it, after "PC Exceeds Maximum
    // Program Memory") the page starts earlier, so that it ends with the
    // last instruction instead of blank rows.
    setTop(uint16_t(std::min<uint32_t>(address, highestAddress())));
    for (int guard = 0; guard < rows_ && top_ > 0 && rowAddress(rows_ - 2) > highestAddress(); ++guard)
        lineUp();
}

void ProgramView::setTop(uint16_t address) {
    top_ = address;
    rebuildRowTable();
    updateScrollBars();
    update();
}

void ProgramView::rebuildRowTable() {
    rowTable_.assign(size_t(rows_ + 1), top_);
    uint32_t a = top_;
    for (int r = 1; r <= rows_; ++r) {
        if (a <= highestAddress()) a += uint32_t(instructionLength(a));
        rowTable_[size_t(r)] = a;
    }
    readRowCounts();
}

void ProgramView::layoutRows() {
    // Row 0, the column header, is one of the rows.
    rows_ = visibleRows();
    columns_ = visibleColumns();
    rebuildRowTable();
    updateScrollBars();
}

void ProgramView::updateScrollBars() {
    QScrollBar* vbar = verticalBar();
    {
        const QSignalBlocker block(vbar);
        vbar->setRange(0, int(highestAddress()) + 1);
        vbar->setPageStep(rows_);
        vbar->setValue(top_);
    }
    horizontalBar()->setRange(0, std::max(0, scrollColumns() - columns_));
    horizontalBar()->setPageStep(columns_);
}

void ProgramView::scrolled() {
    hscroll_ = horizontalBar()->value();
    update();
}

// The columns right of the disassembly widen the scrolled width.
int ProgramView::scrollColumns() const { return kScrollColumns + (annotated() ? 110 : 0); }

void ProgramView::focusInEvent(QFocusEvent* event) {
    ScrolledView::focusInEvent(event);
    // The Clear View tile re-reads the code when it becomes active; its
    // title shows the focus.
    if (clear_) reloadCode();
    update();
}

void ProgramView::focusOutEvent(QFocusEvent* event) {
    ScrolledView::focusOutEvent(event);
    update();
}

// ----------------------------------------------------------------- painting

QString ProgramView::rowText(int row) const {
    uint32_t a = rowAddress(row - 1);
    if (row < 1 || a > highestAddress()) return QString(kBlankWidth, ' ');
    auto line = disassemble(uint16_t(a), codeByte(a), codeByte(a + 1), codeByte(a + 2),
                            clear_ ? ViewMode::Clear : ViewMode::Normal);
    QString text = QString::fromStdString(line.text);
    if (text.size() < columns_ + hscroll_) text = text.leftJustified(columns_ + hscroll_, ' ');
    return text;
}

bool ProgramView::rowHasBreakpoint(uint32_t address) const {
    const BreakpointCondition& bp = context_.runControl().breakpoint;
    if (bp.type != BreakpointType::Register) return false;
    auto list = breakpointRegisters(context_.machine().selection.kind);
    return bp.registerIndex < list.size() &&
           list[bp.registerIndex].kind == BreakpointRegister::Kind::Pc && bp.data == address;
}

void ProgramView::paintView(QPainter& p, const QRect& dirty) {
    const int w = rowArea().width();
    p.fillRect(dirty, Qt::white);
    QFontMetrics fm(font());
    const int ascent = fm.ascent() + 4;
    auto drawText = [&](int column, int row, const QString& text, const QColor& colour) {
        p.setPen(colour);
        p.drawText((column - hscroll_) * charWidth(), row * lineHeight() + ascent, text);
    };

    // Header row: blue in Normal View; in Clear View the tile's title,
    // navy while it has the focus and grey otherwise.
    const std::string_view header = clear_ ? kClearViewHeader : kNormalViewHeader;
    p.fillRect(0, 0, w, lineHeight(),
               !clear_ ? QColor(Qt::blue) : hasFocus() ? kClearTitleFocused : kClearTitleUnfocused);
    drawText(0, 0, QString::fromLatin1(header.data(), int(header.size())).leftJustified(kHeaderWidth, ' '),
             Qt::white);
    paintAnnotationHeader(p, ascent);
    const RowLayout& layout = clear_ ? kClearRows : kNormalRows;

    const int lastRow = enteredRows_ >= 0 ? std::min(rows_ - 1, enteredRows_) : rows_ - 1;
    for (int row = 1; row <= lastRow; ++row) {
        uint32_t a = rowAddress(row - 1);
        if (a > highestAddress()) continue; // blank row
        QString text = rowText(row);
        const bool isPc = a == pc_;
        const bool bp = rowHasBreakpoint(a);
        QRect band(0, row * lineHeight(), w, lineHeight());
        if (isPc) p.fillRect(band, Qt::yellow);
        // Zones: address, BP column and code bytes, then the mnemonic word by
        // word. Every piece is placed at its column, so the columns line up
        // whatever the font's fractional advance.
        const auto colour = [isPc](const QColor& c) { return isPc ? QColor(Qt::black) : c; };
        drawText(0, row, text.left(6), colour(kDarkRed));
        drawText(6, row, text.mid(6, layout.codeZone - 6), colour(kGreen));
        int column = layout.codeZone;
        QString rest = text.mid(layout.codeZone);
        int i = 0;
        while (i < rest.size()) {
            int j = i;
            while (j < rest.size() && rest[j] != ' ' && rest[j] != ',') ++j;
            if (j > i) {
                QString word = rest.mid(i, j - i);
                drawText(column + i, row, word, colour(keywordColour(word.toStdString())));
            }
            if (j < rest.size() && rest[j] == ',') drawText(column + j, row, ",", Qt::black);
            i = j + 1;
        }
        if (bp) {
            QRect cell((layout.bpColumn - hscroll_) * charWidth(), row * lineHeight(), charWidth(),
                       lineHeight());
            drawBreakpointMark(p, cell, isPc);
        }
        paintAnnotation(p, row, ascent);
    }
}

// ------------------------------------------------------------------ scrolling

void ProgramView::lineDown() {
    if (top_ >= highestAddress() || rowAddress(1) > highestAddress()) return;
    setTop(uint16_t(rowAddress(1)));
}

void ProgramView::pageDown() {
    uint32_t next = rowAddress(rows_ - 1);
    if (next > highestAddress()) return;
    setTop(uint16_t(next));
}

void ProgramView::pageUp() {
    if (top_ == 0) return;
    const uint32_t oldTop = top_;
    uint32_t start = oldTop >= uint32_t(3 * rows_) ? oldTop - uint32_t(3 * rows_) : 0;
    uint32_t k = 0;
    for (;;) {
        uint32_t a = start + k;
        for (int i = 0; i < rows_; ++i) a += uint32_t(instructionLength(a));
        if (a <= oldTop && start + k < oldTop) {
            k += uint32_t(instructionLength(start + k));
            continue;
        }
        break;
    }
    setTop(uint16_t(start + k));
}

void ProgramView::lineUp() {
    if (top_ == 0) return;
    const uint32_t oldTop = top_;
    pageUp();
    uint32_t p = top_;
    for (int i = 0; i < rows_ - 1 && p + uint32_t(instructionLength(p)) < oldTop; ++i)
        p += uint32_t(instructionLength(p));
    setTop(uint16_t(p));
}

void ProgramView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_PageUp: pageUp(); break;
    case Qt::Key_PageDown: pageDown(); break;
    case Qt::Key_Up: lineUp(); break;
    case Qt::Key_Down: lineDown(); break;
    default: View::keyPressEvent(event); return;
    }
}

void ProgramView::wheelEvent(QWheelEvent* event) {
    if (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) return;
    // The bar counts addresses: a notch steps over whole instructions
    // instead. High-resolution wheels send fractions of a notch: accumulate
    // them.
    wheelRemainder_ += event->angleDelta().y();
    const int lines = QApplication::wheelScrollLines();
    while (std::abs(wheelRemainder_) >= 120) {
        bool up = wheelRemainder_ > 0;
        wheelRemainder_ += up ? -120 : 120;
        if (lines > 0 && lines <= rows_) {
            for (int i = 0; i < lines; ++i) up ? lineUp() : lineDown();
        } else {
            up ? pageUp() : pageDown();
        }
    }
}

// --------------------------------------------------------------- mouse

int ProgramView::rowAt(int y) const { return y / lineHeight(); }
int ProgramView::columnAt(int x) const { return x / charWidth() + hscroll_; }

void ProgramView::mousePressEvent(QMouseEvent* event) {
    // A click of either button gives the view the focus, so that the first
    // right-click after a dialog opens the menu too, while the frame is
    // still becoming the active window again.
    setFocus(Qt::MouseFocusReason);
    activateWindow();
    View::mousePressEvent(event);
}

void ProgramView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton) return View::mouseReleaseEvent(event);
    const bool focused = hasFocus() || window()->focusWidget() == this;
    if (!focused || context_.runControl().running()) return;
    int row = rowAt(int(event->position().y()));
    if (row <= 0 || row >= rows_) return;
    openContextMenu(row, event->globalPosition().toPoint());
}

void ProgramView::openContextMenu(int row, const QPoint& globalPos) {
    clickedRow_ = row;
    QMenu menu("Selection", this);
    menu.setObjectName("PROGRAM");
    const std::pair<int, const char*> items[] = {
        {kMenuEditInstruction, "Edit Instruction"}, {kMenuEnterProgram, "Enter Program"},
        {kMenuExecuteBreakpoint, "Execute (BreakPoint)"}, {kMenuExecute, "Execute"},
        {kMenuSetAddress, "Set Address"}, {kMenuSetPc, "Set PC"},
        {kMenuSetBreakpoint, "Set BreakPoint"}, {kMenuRemoveBreakpoint, "Remove BreakPoint"}};
    for (auto [command, text] : items) {
        QAction* action = menu.addAction(text);
        action->setData(command);
        connect(action, &QAction::triggered, this, [this, command] { runRowCommand(command); });
    }
    // With a source map: the breakpoint on the row's source line.
    const SourceMap* map = source_.map();
    const uint32_t a = rowAddress(row - 1);
    if (map && a <= highestAddress()) {
        if (auto where = map->locationAt(uint16_t(a))) {
            menu.addSeparator();
            QAction* action = menu.addAction("Break at Source Line");
            action->setData(id::BreakAtSourceLine);
            action->setCheckable(true);
            action->setChecked(source_.hasLineBreak(*where));
            connect(action, &QAction::triggered, this, [this, row] { toggleLineBreakAt(row); });
        }
    }
    menu.exec(globalPos);
}

void ProgramView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (context_.runControl().running()) return;
    int row = rowAt(int(event->position().y()));
    int column = columnAt(int(event->position().x()));
    if (row <= 0 || row >= rows_) return;
    clickedRow_ = row;
    const RowLayout& layout = clear_ ? kClearRows : kNormalRows;
    if (column == layout.bpColumn || column == layout.bpColumn + 1)
        toggleBreakpoint(row);
    else if (column >= layout.addressFirst && column <= layout.addressLast)
        runRowCommand(kMenuSetAddress);
    else if (column > layout.codeZone)
        editInstruction(row);
}

void ProgramView::runRowCommand(int id) {
    const uint32_t a = rowAddress(clickedRow_ - 1);
    if (a > highestAddress()) return;
    RunController& rc = context_.runControl();
    switch (id) {
    case kMenuEditInstruction: editInstruction(clickedRow_); break;
    case kMenuEnterProgram: enterProgram(a); break;
    case kMenuExecuteBreakpoint: context_.runCommand(id::BreakpointExecution); break;
    case kMenuExecute:
        rc.setCurrentAddress(uint16_t(a));
        context_.runCommand(id::Go);
        break;
    case kMenuSetAddress: setAddressDialog(uint16_t(a)); break;
    case kMenuSetPc: {
        {
            auto guard = rc.pause();
            MachineInput pc;
            pc.kind = MachineInput::Kind::ProgramCounter;
            pc.value = uint32_t(a);
            rc.input(pc);
        }
        context_.refreshViews();
        break;
    }
    case kMenuSetBreakpoint:
    case kMenuRemoveBreakpoint: {
        BreakpointCondition bp;
        if (id == kMenuSetBreakpoint) {
            auto list = breakpointRegisters(context_.machine().selection.kind);
            for (size_t i = 0; i < list.size(); ++i)
                if (list[i].kind == BreakpointRegister::Kind::Pc)
                    bp = {BreakpointType::Register, 0, uint16_t(a), uint8_t(i), 0};
        }
        context_.setBreakpoint(bp);
        break;
    }
    default: break;
    }
}

void ProgramView::toggleBreakpoint(int row) {
    clickedRow_ = row;
    runRowCommand(rowHasBreakpoint(rowAddress(row - 1)) ? kMenuRemoveBreakpoint
                                                        : kMenuSetBreakpoint);
}

void ProgramView::setAddressDialog(uint16_t preset) {
    auto address = askAddress(this, preset);
    if (!address) return;
    context_.lastAddress = *address;
    if (*address > highestAddress()) {
        context_.showMessage(errorMessage("Address Error", "Address Exceeds Maximum Range."));
        return;
    }
    setTop(*address);
}

// ------------------------------------------------------------ editing

void ProgramView::editInstruction(int row) {
    const uint32_t a = rowAddress(row - 1);
    if (a > highestAddress()) return;
    const int length = instructionLength(a);
    auto line = disassemble(uint16_t(a), codeByte(a), codeByte(a + 1), codeByte(a + 2),
                            ViewMode::Normal);
    QString text = QString::fromStdString(mnemonicPart(line.text));
    for (;;) {
        auto typed = askProgramLine(this, uint16_t(a), text);
        if (!typed) return;
        text = *typed;
        AssembledInstruction result = assembleLine(text.toStdString(), uint16_t(a));
        if (auto message = assembleError(result.result)) {
            context_.showMessage(*message);
            continue;
        }
        if (result.result != AssembleResult::Success) return; // nothing typed
        if (result.length > length) {
            context_.showMessage(errorMessage(
                "Error", "1/2 byte instruction cannot be changed to 3 byte instruction"));
            continue;
        }
        if (result.length < length)
            context_.showMessage({"Warning", "NOP instruction(s) is added",
                                UserMessage::Icon::Warning});
        {
            MachineInput code;
            code.place = SpaceAddress{AddressSpace::Code, uint16_t(a)};
            for (int i = 0; i < length; ++i)
                code.bytes.push_back(i < result.length ? result.bytes[size_t(i)] : 0x00);
            context_.runControl().input(code);
        }
        reloadCode();
        return;
    }
}

void ProgramView::enterProgram(uint32_t start) {
    ProgramEntry entry{uint16_t(start)};
    setTop(uint16_t(start));
    enteredRows_ = 0;
    update();
    for (;;) {
        const ChipState& chip = context_.machine().chip;
        if (auto message = entry.checkAddress(chip)) {
            context_.showMessage(*message);
            break;
        }
        auto typed = askProgramLine(this, uint16_t(entry.address()),
                                    QString::fromStdString(entry.offeredText(chip)));
        if (!typed) break;
        ProgramEntry::Outcome outcome;
        context_.runControl().edit([&] { outcome = entry.submit(context_.machine().chip, typed->toStdString()); });
        if (outcome.kind == ProgramEntry::Outcome::Kind::Rejected) {
            if (outcome.message) context_.showMessage(*outcome.message);
            continue;
        }
        if (outcome.kind == ProgramEntry::Outcome::Kind::Stored) {
            reloadCode();
            ++enteredRows_;
            // Keep the entered rows on the page.
            if (enteredRows_ >= rows_ - 1) {
                lineDown();
                enteredRows_ = rows_ - 2;
            }
            update();
        }
    }
    enteredRows_ = -1;
    reloadCode();
}

} // namespace quorvel::shell
