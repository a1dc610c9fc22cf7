#include "shell/history_commands.h"

#include "shell/command_table.h"
#include "shell/dialog_parts.h"
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell/program_debug.h"
#include "shell/view_context.h"
#include "shell/views/logic_analyser_view.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QSlider>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvel::shell {

namespace {

// The recording settings in the user's settings file.
const char* const kRecordKey = "History/Record";
const char* const kBudgetKey = "History/BudgetMB";

// The slider's positions: one per instruction up to this many, else spread
// evenly over the history.
constexpr int kSliderPositions = 10000;

// The history bar: the slider over the recorded moments and where the
// machine is. It also remembers the timeline as last seen, to tell when a
// run or step from the past discarded the future.
class HistoryBar : public QToolBar {
public:
    explicit HistoryBar(Frame& frame) : QToolBar("History", &frame), frame_(frame) {
        setObjectName("historyBar");
        setMovable(false);
        addWidget(new QLabel(" History "));
        slider_ = new QSlider(Qt::Horizontal);
        slider_->setObjectName("historySlider");
        slider_->setToolTip("Go to a recorded moment");
        slider_->setStatusTip("Drag to any moment of the recorded history: every window shows the machine then");
        slider_->setFocusPolicy(Qt::NoFocus);
        addWidget(slider_);
        position_ = new QLabel;
        position_->setObjectName("historyPosition");
        position_->setMinimumWidth(position_->fontMetrics().horizontalAdvance(
            " Cycle 00000000000 (step 0000000000 of 0000000000) "));
        addWidget(position_);
        connect(slider_, &QSlider::sliderReleased, this, [this] { goToSlider(); });
        connect(slider_, &QSlider::valueChanged, this, [this] {
            if (!syncing_ && !slider_->isSliderDown()) goToSlider();
        });
    }

    void sync();

private:
    void goToSlider();

    Frame& frame_;
    QSlider* slider_;
    QLabel* position_;
    bool syncing_ = false;
    uint64_t start_ = 0, end_ = 0; // the timeline the slider spans
    // The present and the end as last seen.
    uint64_t seenNow_ = 0, seenEnd_ = 0, seenCycle_ = 0;
};

HistoryBar* historyBar(Frame& frame) { return dynamic_cast<HistoryBar*>(frame.findChild<QToolBar*>("historyBar")); }

QString hex4(unsigned value) { return QString::asprintf("%04XH", value); }

// Moves the machine on its history as a step moves it, for the windows:
// change highlighting against the moment before, the current address
// after. The logic analyser's recording does not take the replay's lines.
template <typename Move> Validation travel(RunController& run, Move move) {
    auto guard = run.pause();
    run.keepHistoryPresent();
    run.takeSnapshots();
    Machine& machine = run.machine();
    WaveRecorder* const wave = machine.wave;
    machine.wave = nullptr;
    const Validation refused = move(run.session());
    machine.wave = wave;
    run.setCurrentAddress(machine.chip.pc);
    run.notePresent();
    return refused;
}

void HistoryBar::sync() {
    RunController& run = frame_.runControl();
    const bool running = run.running();
    uint64_t now = 0, end = 0, start = 0, cycle = 0;
    bool recording = false;
    {
        auto guard = run.pause();
        if (const History* history = run.session().history()) {
            recording = true;
            now = history->now();
            end = history->end();
            start = history->moments().front().step;
            cycle = history->nowCycle();
        }
    }
    const bool any = recording && end > start && !running;
    slider_->setEnabled(any);
    frame_.setCommandEnabled(id::StepBack, any && now > start);
    frame_.setCommandEnabled(id::RunBackwards, any && now > start);
    frame_.setCommandEnabled(id::GoToCycle, any);
    frame_.setCommandEnabled(id::HistorySetting, !running);
    if (!recording) {
        position_->setText(" Recording is off ");
        return;
    }
    if (running) {
        position_->setText(" Recording... ");
    } else {
        position_->setText(QString(" Cycle %1 (step %2 of %3) ").arg(cycle).arg(now - start).arg(end - start));
        start_ = start;
        end_ = end;
        const uint64_t span = end - start;
        const int positions = int(std::min<uint64_t>(span, kSliderPositions));
        syncing_ = true;
        slider_->setRange(0, positions);
        slider_->setValue(span == 0 ? 0 : int((now - start) * uint64_t(positions) / span));
        syncing_ = false;
    }
    // The logic analyser puts its cursor at the moment shown, and follows
    // the recording again once the history's end is reached.
    if (auto* analyser = qobject_cast<LogicAnalyserView*>(frame_.view(id::LogicAnalyserWindow));
        analyser && !running && (now != seenNow_ || end != seenEnd_)) {
        if (now < end) analyser->showCycle(cycle);
        else if (seenNow_ < seenEnd_) analyser->setFollowing(true);
    }
    // A run or step from a moment in the past cut the future off.
    const bool wasInPast = seenNow_ < seenEnd_;
    if (wasInPast && end != seenEnd_ && now >= seenNow_ && now == end)
        frame_.setStatusText(0, (running ? frame_.statusText(0) + "  " : QString()) +
                                    QString("Ran on from cycle %1: the recorded future after it was discarded")
                                        .arg(seenCycle_));
    else if (!running && now == end && wasInPast && end == seenEnd_)
        frame_.setStatusText(0, "At the end of the recorded history");
    else if (!running && now < end)
        frame_.setStatusText(0, QString("Back in the history at cycle %1: running or stepping on from here "
                                        "discards the %2 recorded after it")
                                    .arg(cycle)
                                    .arg(end - now == 1 ? QString("instruction")
                                                        : QString("%1 instructions").arg(end - now)));
    if (!running) {
        seenNow_ = now;
        seenEnd_ = end;
        seenCycle_ = cycle;
    } else {
        seenNow_ = seenEnd_ = 0;
    }
}

void HistoryBar::goToSlider() {
    RunController& run = frame_.runControl();
    if (run.running() || end_ <= start_) return;
    const uint64_t span = end_ - start_;
    const int positions = std::max(1, slider_->maximum());
    const uint64_t step = start_ + uint64_t(slider_->value()) * span / uint64_t(positions);
    const Validation refused = travel(run, [&](DebugSession& session) -> Validation {
        History* history = session.history();
        return history ? history->goTo(run.machine(), step) : Validation{};
    });
    if (refused) frame_.showMessage(*refused);
    frame_.refreshViews();
}

void saveRecordingSettings(Frame& frame) {
    const QString ini = frame.userSettingsFile();
    if (ini.isEmpty()) return;
    QSettings settings(ini, QSettings::IniFormat);
    settings.setValue(kRecordKey, frame.runControl().recordHistory);
    settings.setValue(kBudgetKey, qulonglong(frame.runControl().historyBudget >> 20));
}

} // namespace

void setUpHistoryCommands(Frame& frame) {
    RunController& run = frame.runControl();
    if (const QString ini = frame.userSettingsFile(); !ini.isEmpty()) {
        const QSettings settings(ini, QSettings::IniFormat);
        run.recordHistory = settings.value(kRecordKey, true).toBool();
        size_t budget = run.historyBudget;
        if (!acceptHistoryBudget(settings.value(kBudgetKey, 64).toString().toStdString(), budget))
            run.historyBudget = budget;
    }
    auto* bar = new HistoryBar(frame);
    frame.addToolBar(Qt::BottomToolBarArea, bar);
    run.restartHistory();
    bar->sync();
}

void syncHistoryCommands(Frame& frame) {
    if (HistoryBar* bar = historyBar(frame)) bar->sync();
}

Validation travelInHistory(Frame& frame, const std::function<Validation(DebugSession&)>& move) {
    RunController& run = frame.runControl();
    if (run.running()) return errorMessage("History", "the program is running");
    const Validation refused = travel(run, move);
    syncHistoryCommands(frame);
    return refused;
}

void stepBackCommand(Frame& frame) {
    RunController& run = frame.runControl();
    if (run.running()) return;
    const Validation refused = travel(run, [](DebugSession& session) { return session.stepBack(1); });
    if (refused) frame.showMessage(*refused);
    frame.refreshViews();
}

void runBackwardsCommand(Frame& frame) {
    RunController& run = frame.runControl();
    if (run.running()) return;
    ReverseRun reverse;
    travel(run, [&](DebugSession& session) {
        // The breakpoint condition counts backwards too, beside the
        // source-line breakpoints and the watchpoints.
        session.breakpoints.clear();
        if (run.breakpoint.isSet()) session.breakpoints.push_back(run.breakpoint);
        reverse = session.runBackwards();
        return reverse.refused;
    });
    frame.refreshViews();
    if (reverse.refused) {
        frame.showMessage(*reverse.refused);
        return;
    }
    const uint16_t pc = frame.machine().chip.pc;
    if (!reverse.hit) {
        frame.setStatusText(0, "Ran backwards to the start of the recorded history: no breakpoint or watchpoint on the way");
        return;
    }
    const char* why = reverse.hit->stop == DebugStop::Watch        ? "a watchpoint"
                      : reverse.hit->stop == DebugStop::BreakLine ? "a source-line breakpoint"
                                                                  : "the breakpoint condition";
    frame.setStatusText(0, QString("Ran backwards %1 instructions to %2 at %3")
                               .arg(reverse.hit->steps)
                               .arg(why)
                               .arg(hex4(pc)));
}

void goToCycleCommand(Frame& frame) {
    RunController& run = frame.runControl();
    if (run.running()) return;
    QDialog dialog(&frame);
    dialog.setObjectName("IDM_GOTOCYCLE");
    dialog.setWindowTitle("Go to Cycle");
    auto* field = new QLineEdit;
    field->setObjectName("cycle");
    field->setMaxLength(20);
    {
        auto guard = run.pause();
        field->setText(QString::number(frame.machine().chip.cycleCount()));
    }
    field->selectAll();
    auto* layout = new QVBoxLayout(&dialog);
    auto* row = new QHBoxLayout;
    row->addWidget(fieldLabel("Machine &Cycle:", field));
    row->addWidget(field);
    layout->addLayout(row);
    QPushButton* ok = addAcceptRow(dialog, layout);
    uint64_t cycle = 0;
    // A field that does not read keeps the dialog open and says why.
    QObject::disconnect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(ok, &QPushButton::clicked, &dialog, [&] {
        if (Validation refused = acceptCycle(field->text().toStdString(), cycle)) {
            frame.messages().show(&dialog, *refused);
            return;
        }
        dialog.accept();
    });
    if (dialog.exec() != QDialog::Accepted) return;
    const Validation refused = travel(run, [cycle](DebugSession& session) { return session.goToCycle(cycle); });
    frame.refreshViews();
    if (refused) frame.showMessage(*refused);
}

void historySettingCommand(Frame& frame) {
    RunController& run = frame.runControl();
    if (run.running()) return;
    QDialog dialog(&frame);
    dialog.setObjectName("IDM_HISTORYSETTING");
    dialog.setWindowTitle("History Setting");
    auto* record = new QCheckBox("&Record the history of runs and steps");
    record->setObjectName("record");
    record->setChecked(run.recordHistory);
    auto* budget = new QLineEdit(QString::number(run.historyBudget >> 20));
    budget->setObjectName("budget");
    budget->setMaxLength(4);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(record);
    auto* row = new QHBoxLayout;
    row->addWidget(fieldLabel("History &budget (MB):", budget));
    row->addWidget(budget);
    layout->addLayout(row);
    QPushButton* ok = addAcceptRow(dialog, layout);
    size_t bytes = run.historyBudget;
    QObject::disconnect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(ok, &QPushButton::clicked, &dialog, [&] {
        if (Validation refused = acceptHistoryBudget(budget->text().toStdString(), bytes)) {
            frame.messages().show(&dialog, *refused);
            return;
        }
        dialog.accept();
    });
    if (dialog.exec() != QDialog::Accepted) return;
    const bool switched = record->isChecked() != run.recordHistory;
    run.recordHistory = record->isChecked();
    run.historyBudget = bytes;
    if (switched) {
        run.restartHistory();
    } else {
        auto guard = run.pause();
        if (History* history = run.session().history()) history->setBudget(bytes);
    }
    saveRecordingSettings(frame);
    syncHistoryCommands(frame);
}

void showLastWrite(const ViewContext& context, ProgramDebug& debug, const QString& what) {
    RunController& run = context.runControl();
    if (run.running()) return;
    DebugSession& session = debug.session();
    std::optional<LastWrite> last;
    Validation refused;
    {
        auto guard = run.pause();
        run.keepHistoryPresent();
        WaveRecorder* const wave = run.machine().wave;
        run.machine().wave = nullptr;
        refused = session.lastWrite(what.toStdString(), last);
        run.machine().wave = wave;
        run.notePresent();
    }
    if (refused) refused->title = "Last Write";
    if (refused) {
        context.showMessage(*refused);
        return;
    }
    if (!last) {
        context.showMessage({"Last Write", "No instruction in the recorded history wrote " + what.toStdString() + ".",
                             UserMessage::Icon::Information});
        return;
    }
    QString text = QString("Last write to %1 (%2) at cycle %3:\nPC %4%5, %6 -> %7")
                       .arg(what, QString::fromStdString(spaceAddressText(last->place)))
                       .arg(last->cycle)
                       .arg(hex4(last->pc), last->line ? QString(", %1 line %2")
                                                             .arg(QString::fromStdString(last->file))
                                                             .arg(last->line)
                                                       : QString())
                       .arg(QString::asprintf("%02XH", unsigned(last->oldValue)),
                            QString::asprintf("%02XH", unsigned(last->newValue)));
    const UserMessage question{"Last Write", (text + "\n\nGo to that moment?").toStdString(),
                               UserMessage::Icon::Information};
    if (context.messages().askYesNoCancel(context.messageParent(), question) != Messages::Answer::Yes) return;
    const uint64_t step = last->step;
    refused = travel(run, [&](DebugSession& s) -> Validation {
        History* history = s.history();
        return history ? history->goTo(run.machine(), step) : Validation{};
    });
    context.refreshViews();
    if (refused) context.showMessage(*refused);
}

} // namespace quorvel::shell
