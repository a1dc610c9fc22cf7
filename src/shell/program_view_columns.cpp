// The program window's source lines and profile columns: right of the
// disassembly (from the column where its scrolled width ends), the Count and
// Cycles of each instruction while the profile is on, then the function that
// starts on the row and the source line whose code starts there. Marks in
// the left margin: a red square on the first instruction of a line with a
// breakpoint, a grey bar on program instructions that never ran.
//
// The counters are read under the pause guard for the shown rows only (on
// refresh, scrolling and every few module ticks while a program runs); the
// coverage walk, which reads the whole program, only on refresh.
#include "shell/program_view.h"

#include "machine/code_coverage.h"
#include "shell/view_context.h"
#include "shell/source_debug.h"

#include <QPainter>

namespace quorvel::shell {

namespace {
constexpr int kFirstColumn = 52; // where the disassembly's scrolled width ends
constexpr int kCountWidth = 10, kCyclesWidth = 12, kSourceGap = 2;
constexpr int kSourceColumn = kFirstColumn + kCountWidth + kCyclesWidth + kSourceGap;
// Module ticks (1 ms) between two readings of the counters during a run.
constexpr int kTicksPerReading = 50;

const QColor kNavy(0, 0, 128), kTeal(0, 110, 110), kGrey(150, 150, 150), kDarkGrey(90, 90, 90);
} // namespace

struct ProgramView::RowAnnotation {
    QString count, cycles;    // while profiling
    QString function, totals; // a function starting on the row
    QString place, source;    // a source line starting on the row
};

bool ProgramView::annotated() const {
    return !clear_ && (profiling_ || source_.linesShown());
}

void ProgramView::readProfile(bool walkCode) {
    // Called under the pause guard.
    const CodeProfile& profile = context_.machine().codeProfile;
    profiling_ = profile.enabled();
    if (!profiling_) {
        programCode_.clear();
        return;
    }
    if (!walkCode) return;
    programCode_.assign(kCodeSpace, false);
    for (uint16_t a : codeCoverage(profile, context_.machine().chip).instructions) programCode_[a] = true;
}

void ProgramView::readRowCounts() {
    rowCounts_.clear();
    functionSums_.clear();
    if (!profiling_) return;
    auto guard = context_.runControl().pause();
    const CodeProfile& profile = context_.machine().codeProfile;
    if (!profile.enabled()) return;
    const SourceMap* map = source_.map();
    rowCounts_.resize(size_t(rows_));
    functionSums_.resize(size_t(rows_));
    for (int r = 0; r < rows_; ++r) {
        const uint32_t a = rowAddress(r);
        if (a > highestAddress()) continue;
        rowCounts_[size_t(r)] = profile.at(uint16_t(a));
        // A function's first row: the sums over its instructions, as the
        // per-function profile counts them.
        const SourceFunction* function = map ? map->functionAt(uint16_t(a)) : nullptr;
        if (function && function->start == a) {
            AddressCounts sum;
            for (uint32_t i = function->start; i <= function->last; ++i) {
                sum.executions += profile.counts[i].executions;
                sum.cycles += profile.counts[i].cycles;
            }
            functionSums_[size_t(r)] = sum;
        }
    }
}

void ProgramView::moduleTick() {
    if (!profiling_ || ++profileTicks_ < kTicksPerReading) return;
    profileTicks_ = 0;
    readRowCounts();
    update();
}

ProgramView::RowAnnotation ProgramView::annotationOf(int row) const {
    RowAnnotation note;
    const uint32_t a = rowAddress(row - 1);
    if (row < 1 || row >= rows_ || a > highestAddress() || !annotated()) return note;
    if (profiling_ && size_t(row - 1) < rowCounts_.size()) {
        const AddressCounts& c = rowCounts_[size_t(row - 1)];
        note.count = QString::number(c.executions);
        note.cycles = QString::number(c.cycles);
    }
    const SourceDebug& source = source_;
    if (!source.linesShown()) return note;
    const SourceMap& map = *source.map();
    const uint16_t address = uint16_t(a);
    if (const SourceFunction* function = map.functionAt(address); function && function->start == address) {
        note.function = QString::fromStdString(function->name) + "()";
        if (profiling_ && size_t(row - 1) < functionSums_.size()) {
            const AddressCounts& sum = functionSums_[size_t(row - 1)];
            note.totals = QString("[%1 / %2]").arg(sum.executions).arg(sum.cycles);
        }
    }
    const SourceLevel level = map.primaryLevel();
    if (map.startsRange(address, level)) {
        const SourceLocation where = *map.locationAt(address, level);
        note.place = QString::fromStdString(map.text(where));
        note.source = source.lineText(where);
    }
    return note;
}

QString ProgramView::annotationText(int row) const {
    const RowAnnotation note = annotationOf(row);
    QString text;
    if (profiling_)
        text = note.count.rightJustified(kCountWidth) + note.cycles.rightJustified(kCyclesWidth) +
               QString(kSourceGap, ' ');
    QStringList parts;
    for (const QString& part : {note.function, note.totals, note.place})
        if (!part.isEmpty()) parts << part;
    text += parts.join(' ');
    if (!note.source.isEmpty()) text += "  " + note.source;
    return text.trimmed().isEmpty() ? QString() : text;
}

bool ProgramView::rowNeverExecuted(int row) const {
    const uint32_t a = rowAddress(row - 1);
    if (!profiling_ || row < 1 || row >= rows_ || a >= programCode_.size() || !programCode_[a])
        return false;
    return size_t(row - 1) < rowCounts_.size() && rowCounts_[size_t(row - 1)].executions == 0;
}

bool ProgramView::rowHasLineBreak(int row) const {
    const uint32_t a = rowAddress(row - 1);
    return row >= 1 && row < rows_ && a <= highestAddress() && context_.runControl().session().lineBreaks().test(a);
}

void ProgramView::toggleLineBreakAt(int row) {
    const SourceMap* map = source_.map();
    const uint32_t a = rowAddress(row - 1);
    if (!map || a > highestAddress() || context_.runControl().running()) return;
    auto where = map->locationAt(uint16_t(a));
    if (!where) return;
    source_.toggleLineBreak(*where);
    {
        // The debug session's line breakpoints follow the source map's.
        auto guard = context_.runControl().pause();
        context_.runControl().session().setLineBreaks(source_.lineBreakAddresses());
    }
    update();
}

void ProgramView::paintAnnotationHeader(QPainter& p, int ascent) {
    if (!annotated()) return;
    QString header;
    if (profiling_)
        header = QString("Count").rightJustified(kCountWidth) + QString("Cycles").rightJustified(kCyclesWidth) +
                 QString(kSourceGap, ' ');
    if (source_.linesShown()) header += "Source";
    p.setPen(Qt::white);
    p.drawText((kFirstColumn - hscroll_) * charWidth(), ascent, header);
}

void ProgramView::paintAnnotation(QPainter& p, int row, int ascent) {
    const int top = row * lineHeight();
    // Margin marks (both layouts): the line breakpoint in the first column,
    // the never-executed bar beside it.
    if (rowNeverExecuted(row)) {
        const int x = (clear_ ? 0 : 1) * charWidth() - hscroll_ * charWidth();
        p.fillRect(QRect(x + charWidth() / 4, top + 3, std::max(2, charWidth() / 3), lineHeight() - 6), kGrey);
    }
    if (rowHasLineBreak(row)) {
        const int d = std::min(charWidth(), lineHeight() - 8);
        QRectF square(-hscroll_ * charWidth() + (charWidth() - d) / 2.0 + 0.5, top + (lineHeight() - d) / 2.0 + 0.5,
                      d - 1, d - 1);
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::darkRed, 1));
        p.setBrush(QColor(220, 30, 30));
        p.drawRoundedRect(square, 2, 2);
        p.restore();
    }
    if (!annotated()) return;
    const RowAnnotation note = annotationOf(row);
    const int y = top + ascent;
    auto draw = [&](int column, const QString& text, const QColor& colour) {
        p.setPen(colour);
        p.drawText((column - hscroll_) * charWidth(), y, text);
        return column + int(text.size());
    };
    const bool never = rowNeverExecuted(row);
    int column = kFirstColumn;
    if (profiling_) {
        const QColor counts = never ? kGrey : QColor(Qt::black);
        draw(kFirstColumn, note.count.rightJustified(kCountWidth), counts);
        draw(kFirstColumn + kCountWidth, note.cycles.rightJustified(kCyclesWidth), counts);
        column = kSourceColumn;
    }
    if (!note.function.isEmpty()) column = draw(column, note.function, kNavy) + 1;
    if (!note.totals.isEmpty()) column = draw(column, note.totals, kDarkGrey) + 1;
    if (!note.place.isEmpty()) column = draw(column, note.place, kTeal) + 2;
    if (!note.source.isEmpty()) draw(column, note.source, Qt::black);
}

} // namespace quorvel::shell
