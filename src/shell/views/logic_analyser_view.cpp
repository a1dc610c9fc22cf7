#include "shell/views/logic_analyser_view.h"

#include "modules/wave_trace.h"
#include "shell/view_context.h"
#include "shell/messages.h"
#include "shell/modules/port_grid.h"
#include "shell/views/view_table.h"
#include "shell/wave_capture.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>

namespace quorvel::shell {

namespace {

// The view's copy of the recording: when it grows past kKeep, the oldest
// quarter goes.
constexpr size_t kKeep = size_t(1) << 18;
constexpr double kMinCyclesPerPixel = 1.0 / 64;
constexpr double kMaxCyclesPerPixel = 1e9;

const QColor kTraceColour(0, 128, 64);
const QColor kHighFill(214, 240, 222);
const QColor kGridColour(228, 228, 228);
const QColor kCursorColour(210, 30, 30);

} // namespace

View* createLogicAnalyserView(const ViewSources& sources) { return new LogicAnalyserView(sources.context, sources.waveCapture); }

LogicAnalyserView::LogicAnalyserView(ViewContext& context, WaveCapture& capture)
    : context_(context), capture_(capture) {
    setObjectName("LogicAnalyserView");
    setWindowTitle("Logic Analyser");
    // The traces scroll in time under the axis, right of the line names.
    takeLayout();
    setBarPolicies(Qt::ScrollBarAlwaysOff, Qt::ScrollBarAlwaysOn);

    selectLinesAction_ = new QAction("Select Lines...", this);
    selectLinesAction_->setObjectName("selectLines");
    connect(selectLinesAction_, &QAction::triggered, this, &LogicAnalyserView::selectLines);
    followAction_ = new QAction("Follow", this);
    followAction_->setObjectName("follow");
    followAction_->setCheckable(true);
    followAction_->setChecked(true);
    connect(followAction_, &QAction::triggered, this, &LogicAnalyserView::setFollowing);
    zoomInAction_ = new QAction("Zoom In\t+", this);
    zoomInAction_->setObjectName("zoomIn");
    connect(zoomInAction_, &QAction::triggered, this, [this] { zoom(0.5); });
    zoomOutAction_ = new QAction("Zoom Out\t-", this);
    zoomOutAction_->setObjectName("zoomOut");
    connect(zoomOutAction_, &QAction::triggered, this, [this] { zoom(2.0); });

    capture_.viewOpened();
}

LogicAnalyserView::~LogicAnalyserView() { capture_.viewClosed(); }

int LogicAnalyserView::viewCommand() const { return id::LogicAnalyserWindow; }

const std::vector<int>& LogicAnalyserView::lines() const { return capture_.lines(); }

// ------------------------------------------------------------------ the copy

void LogicAnalyserView::takeChanges() {
    const WaveCapture& capture = capture_;
    auto guard = context_.runControl().pause();
    if (capture.clears() != clears_) {
        changes_.clear();
        nextSequence_ = 0;
        clears_ = capture.clears();
        cursor_.reset();
    }
    const WaveRecorder& recorder = capture.recorder();
    if (recorder.nextSequence() != nextSequence_) {
        const size_t before = changes_.size();
        recorder.copySince(nextSequence_, changes_);
        nextSequence_ = recorder.nextSequence();
        // The counter went back: the copy starts again at the first entry
        // that is earlier than the one before it.
        for (size_t i = std::max<size_t>(before, 1); i < changes_.size(); ++i)
            if (changes_[i].cycle < changes_[i - 1].cycle) {
                changes_.erase(changes_.begin(), changes_.begin() + long(i));
                cursor_.reset();
                i = 0;
            }
        if (changes_.size() > kKeep) changes_.erase(changes_.begin(), changes_.begin() + long(kKeep / 4));
    }
    now_ = context_.machine().chip.cycleCount();
    frequency_ = context_.machine().selection.frequency;
}

void LogicAnalyserView::refreshView() {
    takeChanges();
    placeView();
    update();
}

void LogicAnalyserView::moduleTick() {
    const size_t before = changes_.size();
    const uint64_t seen = nextSequence_;
    takeChanges();
    if (follow_ || changes_.size() != before || nextSequence_ != seen) {
        placeView();
        update();
    }
}

// ---------------------------------------------------------------- geometry

// Every size comes from the view's font, so the names, labels and levels fit
// whatever font and screen the desktop has.
void LogicAnalyserView::takeLayout() {
    const QFontMetrics metrics(font());
    const int spacing = metrics.lineSpacing();
    const int digit = metrics.horizontalAdvance(QLatin1Char('0'));
    Layout& l = layout_;
    // A line name, a gap and the level under the cursor, between margins.
    l.nameWidth = std::max(metrics.horizontalAdvance("P3.7") + 3 * digit, metrics.horizontalAdvance("cycle")) + 16;
    // Two label lines (cycles and time) over the tick marks.
    l.axisHeight = 2 * spacing + 8;
    l.rowHeight = spacing + spacing / 2 + 10;
    l.traceHeight = spacing;
    // A ten-digit count (nearly three hours at 12 MHz) or a time label and
    // a gap between labelled ticks; a longer one runs on, unclipped.
    l.tickSpacing = 11 * digit + 8;
    setBorder(l.nameWidth, l.axisHeight);
}

void LogicAnalyserView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) takeLayout();
    ScrolledView::changeEvent(event);
}

uint64_t LogicAnalyserView::firstCycle() const { return changes_.empty() ? 0 : changes_.front().cycle; }

uint64_t LogicAnalyserView::lastCycle() const {
    return changes_.empty() ? now_ : std::max(now_, changes_.back().cycle);
}

int LogicAnalyserView::plotLeft() const { return layout_.nameWidth; }

int LogicAnalyserView::plotWidth() const { return std::max(1, width() - layout_.nameWidth); }

double LogicAnalyserView::xOf(uint64_t cycle) const {
    return plotLeft() + plotWidth() - (double(rightCycle_) - double(cycle)) / cyclesPerPixel_;
}

uint64_t LogicAnalyserView::cycleAt(double x) const {
    const double cycle = double(rightCycle_) - (plotLeft() + plotWidth() - x) * cyclesPerPixel_;
    return cycle <= 0 ? 0 : uint64_t(std::llround(cycle));
}

void LogicAnalyserView::placeView() {
    const double span = plotWidth() * cyclesPerPixel_;
    // The recording fills the traces from the left while it is shorter than
    // they are wide.
    const uint64_t leftmostEnd = firstCycle() + uint64_t(std::ceil(span));
    if (follow_) rightCycle_ = std::max(lastCycle(), leftmostEnd);
    rightCycle_ = std::clamp(rightCycle_, leftmostEnd, std::max(lastCycle(), leftmostEnd));

    // The scroll bar counts pixels (fewer steps of several pixels for a
    // very long recording).
    const double total = double(std::max(lastCycle(), leftmostEnd) - firstCycle()) / cyclesPerPixel_;
    const double hidden = std::max(0.0, total - plotWidth());
    scrollUnit_ = std::max(1.0, std::ceil(hidden / 1e9));
    placing_ = true;
    QScrollBar* bar = horizontalBar();
    bar->setRange(0, int(hidden / scrollUnit_));
    bar->setPageStep(std::max(1, int(plotWidth() / scrollUnit_)));
    bar->setSingleStep(std::max(1, int(40 / scrollUnit_)));
    bar->setValue(follow_ ? bar->maximum()
                          : int((double(rightCycle_ - firstCycle()) / cyclesPerPixel_ - plotWidth()) /
                                scrollUnit_));
    placing_ = false;
}

void LogicAnalyserView::scrolled() {
    if (placing_) return;
    const int value = horizontalBar()->value();
    const double right = double(firstCycle()) + (value * scrollUnit_ + plotWidth()) * cyclesPerPixel_;
    rightCycle_ = uint64_t(std::max(0.0, right));
    // Back from the end: the newest change is left where it is; at the end
    // the view follows again.
    follow_ = value >= horizontalBar()->maximum();
    followAction_->setChecked(follow_);
    placeView();
    update();
}

void LogicAnalyserView::setFollowing(bool follow) {
    follow_ = follow;
    followAction_->setChecked(follow);
    placeView();
    update();
}

void LogicAnalyserView::showCycle(uint64_t cycle) {
    follow_ = false;
    followAction_->setChecked(false);
    cursor_ = cycle;
    rightCycle_ = cycle + uint64_t(plotWidth() * cyclesPerPixel_ / 2);
    placeView();
    update();
}

void LogicAnalyserView::zoom(double factor, double anchorX) {
    if (anchorX < plotLeft() || follow_) anchorX = plotLeft() + plotWidth();
    const uint64_t anchor = cycleAt(anchorX);
    cyclesPerPixel_ = std::clamp(cyclesPerPixel_ * factor, kMinCyclesPerPixel, kMaxCyclesPerPixel);
    rightCycle_ = anchor + uint64_t(std::max(0.0, (plotLeft() + plotWidth() - anchorX) * cyclesPerPixel_));
    placeView();
    update();
}

// ------------------------------------------------------------------ input

void LogicAnalyserView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: zoom(0.5); break;
    case Qt::Key_Minus: zoom(2.0); break;
    case Qt::Key_End: setFollowing(true); break;
    case Qt::Key_Home:
        follow_ = false;
        followAction_->setChecked(false);
        horizontalBar()->setValue(0);
        break;
    case Qt::Key_Left: horizontalBar()->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Right: horizontalBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    default: View::keyPressEvent(event); return;
    }
}

void LogicAnalyserView::wheelEvent(QWheelEvent* event) {
    const int notches = event->angleDelta().y() / 120;
    if (notches == 0) return;
    if (event->modifiers() & Qt::ControlModifier) {
        zoom(std::pow(0.5, notches), event->position().x());
    } else {
        QScrollBar* bar = horizontalBar();
        bar->setValue(bar->value() - notches * bar->singleStep() * 3);
    }
    event->accept();
}

void LogicAnalyserView::mousePressEvent(QMouseEvent* event) {
    setFocus();
    if (event->button() != Qt::LeftButton) return;
    const QPointF at = event->position();
    if (at.x() < plotLeft() || at.y() > rowArea().bottom()) return;
    cursor_ = cycleAt(at.x());
    update();
}

void LogicAnalyserView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(selectLinesAction_);
    menu.addSeparator();
    menu.addAction(followAction_);
    menu.addAction(zoomInAction_);
    menu.addAction(zoomOutAction_);
    menu.exec(event->globalPos());
}

void LogicAnalyserView::selectLines() {
    QDialog dialog(this);
    dialog.setObjectName("LogicAnalyserLines");
    dialog.setWindowTitle("Select Lines");
    auto* grid = new PortGrid("Port Lines", "Check the lines the logic analyser shows",
                              context_.machine().selection.info().pinMask);
    grid->setObjectName("lines");
    std::array<uint8_t, 4> bytes{};
    for (int pin : lines()) bytes[size_t(pin / 8)] |= uint8_t(1u << (pin % 8));
    grid->setValue(bytes);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(grid);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        const std::array<uint8_t, 4> value = grid->value();
        if (value == std::array<uint8_t, 4>{}) {
            // Nothing to show: say so and keep the dialog as it is.
            context_.showMessage({"Select Lines", "Check at least one port line.", UserMessage::Icon::Warning});
            return;
        }
        dialog.accept();
    });
    if (dialog.exec() != QDialog::Accepted) return;
    std::vector<int> chosen;
    const std::array<uint8_t, 4> value = grid->value();
    for (int pin = 0; pin < 32; ++pin)
        if (value[size_t(pin / 8)] & (1u << (pin % 8))) chosen.push_back(pin);
    capture_.setLines(std::move(chosen));
    update();
}

// ---------------------------------------------------------------- painting

void LogicAnalyserView::paintAxis(QPainter& p, int axisBottom) {
    const Layout& l = layout_;
    const int labelHeight = (axisBottom - 6) / 2; // each label line, above the tick marks
    p.fillRect(QRect(0, 0, width(), axisBottom), palette().window());
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRect(6, 0, l.nameWidth - 8, labelHeight), Qt::AlignLeft | Qt::AlignVCenter, "cycle");
    p.drawText(QRect(6, labelHeight, l.nameWidth - 8, labelHeight), Qt::AlignLeft | Qt::AlignVCenter, "time");
    const uint64_t step = axisStep(cyclesPerPixel_, l.tickSpacing);
    const uint64_t left = cycleAt(plotLeft());
    p.save();
    p.setClipRect(plotLeft(), 0, plotWidth(), height());
    for (uint64_t tick = (left / step) * step; tick <= rightCycle_; tick += step) {
        const int x = int(std::floor(xOf(tick)));
        if (x < plotLeft()) continue;
        p.setPen(kGridColour);
        p.drawLine(x, axisBottom, x, rowArea().bottom());
        p.setPen(palette().color(QPalette::WindowText));
        p.drawLine(x, axisBottom - 6, x, axisBottom - 1);
        constexpr int kLabel = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip;
        p.drawText(QRect(x + 3, 0, l.tickSpacing, labelHeight), kLabel, QString::number(tick));
        p.drawText(QRect(x + 3, labelHeight, l.tickSpacing, labelHeight), kLabel,
                   QString::fromStdString(cycleTimeText(tick, frequency_)));
    }
    p.restore();
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(0, axisBottom - 1, width(), axisBottom - 1);
}

void LogicAnalyserView::paintTrace(QPainter& p, int pin, int top) {
    const int traceHeight = layout_.traceHeight;
    const int high = top + (layout_.rowHeight - traceHeight) / 2;
    const int low = high + traceHeight;
    const std::span<const LineChange> all(changes_);
    const uint64_t leftCycle = cycleAt(plotLeft());
    long i = entryAt(all, leftCycle);
    if (i < 0) i = 0;
    if (all.empty() || all[size_t(i)].cycle > rightCycle_) return;
    const uint64_t end = std::min(lastCycle(), rightCycle_);
    const int right = int(std::floor(xOf(end)));

    QPainterPath path;
    int level = int((all[size_t(i)].levels >> pin) & 1u);
    int x = std::max(plotLeft(), int(std::floor(xOf(all[size_t(i)].cycle))));
    int runStart = x;
    path.moveTo(x, level ? high : low);
    auto finishRun = [&](int to) {
        if (level && to > runStart) p.fillRect(QRect(runStart, high, to - runStart, traceHeight), kHighFill);
    };
    int edgeX = -1;
    bool bar = false;
    for (size_t k = size_t(i) + 1; k < all.size() && all[k].cycle <= rightCycle_; ++k) {
        const int next = int((all[k].levels >> pin) & 1u);
        if (next == level) continue;
        const int at = std::max(plotLeft(), int(std::floor(xOf(all[k].cycle))));
        if (at == edgeX) {
            // Edges closer than a pixel make one full-height bar: the path
            // stays as short as the window is wide.
            if (!bar) {
                path.moveTo(at, high);
                path.lineTo(at, low);
                bar = true;
            }
            path.moveTo(at, next ? high : low);
        } else {
            finishRun(at);
            path.lineTo(at, level ? high : low);
            path.lineTo(at, next ? high : low);
            edgeX = at;
            bar = false;
            runStart = at;
        }
        level = next;
    }
    finishRun(right);
    path.lineTo(right, level ? high : low);
    p.setPen(QPen(kTraceColour, 2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void LogicAnalyserView::paintView(QPainter& p, const QRect& dirty) {
    const Layout& l = layout_;
    const int bottom = rowArea().bottom() + 1;
    p.fillRect(dirty, palette().base());
    paintAxis(p, l.axisHeight);

    const std::vector<int>& shown = lines();
    const QColor text = palette().color(QPalette::Text);
    const QColor rule = palette().color(QPalette::Midlight);
    const long cursorEntry = cursor_ ? entryAt(changes_, *cursor_) : -1;
    p.fillRect(QRect(0, l.axisHeight, l.nameWidth, bottom - l.axisHeight), palette().window());
    for (size_t row = 0; row < shown.size(); ++row) {
        const int top = l.axisHeight + int(row) * l.rowHeight;
        if (top >= bottom) break;
        const int pin = shown[row];
        p.setPen(text);
        p.drawText(QRect(8, top, l.nameWidth - 16, l.rowHeight), Qt::AlignLeft | Qt::AlignVCenter, lineName(pin));
        if (cursorEntry >= 0) {
            p.setPen(kCursorColour);
            p.drawText(QRect(8, top, l.nameWidth - 14, l.rowHeight), Qt::AlignRight | Qt::AlignVCenter,
                       QString::number((changes_[size_t(cursorEntry)].levels >> pin) & 1u));
        }
        p.save();
        p.setClipRect(QRect(plotLeft(), top, plotWidth(), l.rowHeight).intersected(
            QRect(0, 0, width(), bottom)));
        paintTrace(p, pin, top);
        p.restore();
        p.setPen(rule);
        p.drawLine(0, top + l.rowHeight - 1, width(), top + l.rowHeight - 1);
    }
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(l.nameWidth - 1, 0, l.nameWidth - 1, bottom);

    if (cursor_) {
        const int x = int(std::floor(xOf(*cursor_)));
        if (x >= plotLeft() && x < plotLeft() + plotWidth()) {
            p.setPen(QPen(kCursorColour, 1));
            p.drawLine(x, l.axisHeight, x, bottom - 1);
            const QString label = QString("%1  (%2)").arg(*cursor_).arg(
                QString::fromStdString(cycleTimeText(*cursor_, frequency_)));
            const QFontMetrics metrics(font());
            // Below the traces, where it hides no level.
            QRect box(x + 4, bottom - metrics.height() - 6, metrics.horizontalAdvance(label) + 8,
                      metrics.height() + 2);
            if (box.right() > width() - 2) box.moveRight(x - 4);
            p.fillRect(box, QColor(255, 255, 255, 230));
            p.drawRect(box.adjusted(0, 0, -1, -1));
            p.drawText(box, Qt::AlignCenter, label);
        }
    }
    // The corner left of the scroll bar.
    p.fillRect(QRect(0, bottom, l.nameWidth, height() - bottom), palette().window());
}

} // namespace quorvel::shell
