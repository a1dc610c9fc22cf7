#include "shell/frame.h"

#include "common/commands.h"
#include "common/install_layout.h"
#include "shell/debug_commands.h"
#include "shell/debugger_port.h"
#include "shell/device_dialogs.h"
#include "shell/editor/editor_view.h"
#include "shell/history_commands.h"
#include "shell/messages.h"
#include "shell/modules/chip_notices.h"
#include "shell/program_debug.h"
#include "shell/program_view.h"
#include "shell/recent_programs.h"
#include "shell/views/view_table.h"
#include "shell/run_dialogs.h"
#include "shell/source_commands.h"
#include "shell/source_debug.h"
#include "shell/toolbar_icons.h"
#include "shell/wave_capture.h"
#include "shell/wave_commands.h"

#include <QApplication>
#include <QComboBox>
#include <QSettings>
#include <QCoreApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include "settings/screen_settings_file.h"

#include <cstdio>
#include <filesystem>

namespace quorvel::shell {

// Hands the simulation thread's notices to the user-interface thread. The
// worker never waits: the calls are queued to the frame.
class Frame::QueuedRunEvents final : public RunEvents {
public:
    explicit QueuedRunEvents(Frame* frame) : frame_(frame) {}
    void runEnded(uint64_t generation, StopReason reason) override {
        QMetaObject::invokeMethod(
            frame_, [f = frame_, generation, reason] { f->onRunEnded(generation, int(reason)); },
            Qt::QueuedConnection);
    }
    void stepOverContinues(uint64_t generation) override {
        QMetaObject::invokeMethod(
            frame_, [f = frame_, generation] { f->onContinueStepOver(generation); },
            Qt::QueuedConnection);
    }

private:
    Frame* frame_;
};

namespace {

// The module timer's period. The LED window samples the digit lines of a
// multiplexed display at each tick, so the tick is short against the time a
// program keeps one digit selected.
constexpr int kModuleTimerMs = 1;

// The first start's status line.
const char* const kWhereToBegin =
    "To begin: File > Load Program (Ctrl+O), the Demo menu, or a recent program in the File menu";

// The run speed in quorvel.ini, in percent of real time.
const char* const kRunSpeedKey = "Run/Speed";

// Toolbar buttons that open views stay usable while a program runs.
bool isViewButton(int command) {
    return command == id::RegisterWindow || command == id::ProgramWindow ||
           command == id::InternalMemoryWindow || command == id::ExternalMemoryWindow ||
           command == id::SfrBitWindow || command == id::MemoryBitWindow;
}

} // namespace

Frame::Frame(Messages& messages, QString configFile, QString resourceDir, QWidget* parent)
    : QMainWindow(parent), messages_(messages),
      runEvents_(std::make_unique<QueuedRunEvents>(this)),
      programDebug_(std::make_unique<ProgramDebug>(machine_)),
      run_(std::make_unique<RunController>(programDebug_->session(), *runEvents_)),
      viewContext_(machine_, *run_, messages_, *this),
      sourceDebug_(std::make_unique<SourceDebug>()) {
    setObjectName("MdiFrame");
    chipNotices_ = new ChipNotices(machine_, this);
    machine_.chip.events = chipNotices_;
    setWindowTitle(kAppTitle);
    mdi_ = new QMdiArea;
    mdi_->setObjectName("MdiClient");
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);
    connect(mdi_, &QMdiArea::subWindowActivated, this, &Frame::activeViewChanged);

    setWindowIcon(applicationIcon());
    useIconTheme();
    buildActions();
    buildToolbar();
    buildStatusBar();
    setMenuBarKind(MenuBarKind::Init);
    for (QObject* holder : menuAction(id::DemoFirst)->associatedObjects())
        if (auto* menu = qobject_cast<QMenu*>(holder)) menu->installEventFilter(this);
    markUnavailableCommands();
    syncEditorCommands(*this);
    syncSourceCommands(*this);
    wave_ = std::make_unique<WaveCapture>(machine_, *run_);
    debugger_ = std::make_unique<DebuggerPort>(*this);
    debugger_->syncCommand();
    setUpWaveCommands(*this);

    screenTimer_ = new QTimer(this);
    connect(screenTimer_, &QTimer::timeout, this, &Frame::screenUpdateTick);
    // Timer 2: the part windows follow the running program.
    moduleTimer_ = new QTimer(this);
    moduleTimer_->setTimerType(Qt::PreciseTimer);
    connect(moduleTimer_, &QTimer::timeout, this, &Frame::moduleTick);
    // Timer 3: the IIC real-time clock counts once a second.
    rtcTimer_ = new QTimer(this);
    connect(rtcTimer_, &QTimer::timeout, this, &Frame::rtcSecond);
    rtcTimer_->start(1000);
    // Twice a second during a paced run: is it keeping up?
    paceTimer_ = new QTimer(this);
    connect(paceTimer_, &QTimer::timeout, this, &Frame::paceCheck);
    resize(1100, 760);

    configFile_ = std::move(configFile);
    const std::filesystem::path programDir = QCoreApplication::applicationDirPath().toStdString();
    resourceDir_ = resourceDir.isEmpty() ? QString::fromStdString(resourceDirOf(programDir).string())
                                         : resourceDir;
    config_ = defaultAppConfig(resourceDir_.toStdString());
    config_.assemblerPath = bundledAssemblerOf(resourceDir_.toStdString(), programDir).string();
    // The recent programs: in the user's settings beside simulator.dat, and
    // in the File menu above Exit.
    recent_ = new RecentPrograms(userSettingsFile(), this);
    recent_->attach(popups_.at(shell::menuBar(MenuBarKind::Init).front().children.data()),
                    menuAction(id::Exit), menuAction(id::LoadProgram),
                    [this](const QString& path) { openRecentProgram(path); });
    setAcceptDrops(true);
    // The run speed: Real Time, since the demonstrations' descriptions and
    // the clock window hold only in real time, unless the user chose another.
    uint16_t speed = kRealTimePercent;
    if (const QString ini = userSettingsFile(); !ini.isEmpty()) {
        bool ok = false;
        const uint speedValue = QSettings(ini, QSettings::IniFormat).value(kRunSpeedKey).toUInt(&ok);
        if (ok && findRunSpeed(uint16_t(speedValue))) speed = uint16_t(speedValue);
    }
    showRunSpeed(speed);
    setUpHistoryCommands(*this);
    // The device part of the configuration pre-fills the device dialog.
    if (!configFile_.isEmpty()) machine_.selection = ReadDeviceConfig(configFile_.toStdString());
}

Frame::~Frame() {
    // The views go first, while everything they use still exists, and without
    // the activation notices a closing MDI area sends.
    mdi_->disconnect(this);
    // A client goes before the session it is attached to.
    debugger_.reset();
    // Closed windows wait for their deletion outside the list of sub-windows:
    // they go too.
    for (QMdiSubWindow* window : mdi_->findChildren<QMdiSubWindow*>()) {
        window->disconnect(this);
        delete window;
    }
    // Stop the worker before the machine goes away.
    if (run_->running()) run_->stop();
    run_->thread().stop();
}

// ------------------------------------------------------------------ start-up

bool Frame::startUp(std::optional<DeviceSelection> device) {
    DeviceDialog dialog(machine_.selection, messages_, this);
    if (!device && dialog.exec() != QDialog::Accepted) return false;

    // The simulator works in the whole screen from the start.
    showMaximized();
    setStatusText(0, "Initializing...  Please Wait.");
    QApplication::processEvents();
    configureMachine(machine_, device ? *device : dialog.selection());
    run_->setCurrentAddress(0);
    run_->takeSnapshots();
    setWindowTitle(QString::fromStdString(machine_.profile.caption));
    readConfiguration();
    applyDeviceToCommands();
    const bool firstStart = !configFile_.isEmpty() && !QFileInfo::exists(windowLayoutFile());
    restoreWindowLayout();
    offerLastProgram();
    updateBreakpointStatus();
    // The history begins with the machine as the device and the
    // configuration made it (or with the program offered).
    run_->restartHistory();
    refreshViews();
    setStatusText(0, "Ready");
    if (firstStart) {
        // Not an empty gray frame: the program window, and where to begin.
        openView(id::ProgramWindow);
        setStatusText(0, kWhereToBegin);
    }
    started_ = true;
    return true;
}

// After a restart the program memory may be empty (it is restored only when
// the memory setting says so): the last session's PC and breakpoint belong to
// a program that is not there, so they go, and the last program is offered.
void Frame::offerLastProgram() {
    ChipState& chip = machine_.chip;
    const bool empty = std::all_of(chip.code.begin(), chip.code.begin() + chip.codeLimit + 1,
                                   [](uint8_t byte) { return byte == 0xFF; });
    if (!empty) return;
    const BreakpointCondition breakpoint = run_->breakpoint;
    run_->setCurrentAddress(0);
    run_->breakpoint = {};
    const QStringList recent = recent_->paths();
    if (recent.isEmpty() || !QFileInfo(recent.front()).isFile()) return;
    const UserMessage question{
        "Restart",
        "Load the last program again?\n" + recent.front().toStdString() +
            "\n\nNo starts with an empty program memory.",
        UserMessage::Icon::Information};
    // The last program loaded again brings its breakpoint back.
    if (messages_.askYesNoCancel(this, question) == Messages::Answer::Yes && loadProgram(recent.front()))
        run_->breakpoint = breakpoint;
}

void Frame::applyDeviceToCommands() {
    for (int command : machine_.profile.disabledCommands) setCommandEnabled(command, false);
    demoMask_ = machine_.selection.info().demoMask;
    applyDemoMask(*this, demoMask_);
}

bool Frame::unavailableCommand(int command) const {
    const auto& disabled = machine_.profile.disabledCommands;
    return !findCommandHandler(command) ||
           std::find(disabled.begin(), disabled.end(), command) != disabled.end();
}

void Frame::markUnavailableCommands() {
    for (const CommandInfo& info : commandTable())
        if (!findCommandHandler(info.id)) setCommandEnabled(info.id, false);
}

// ------------------------------------------------------------ menus, toolbar

void Frame::buildActions() {
    for (const CommandInfo& info : commandTable()) {
        // The text after the tab is the key the menu shows on the right; the
        // keys themselves work through the accelerator table below.
        auto* action = new QAction(QString::fromLatin1(info.menuText), this);
        action->setObjectName(QString("command%1").arg(info.id));
        action->setData(info.id);
        action->setStatusTip(commandHelpLine(info.id));
        action->setIcon(commandIcon(info.id));
        connect(action, &QAction::triggered, this, [this, id = info.id] { dispatch(id); });
        connect(action, &QAction::hovered, this, [this, id = info.id] {
            if (!run_->running()) setStatusText(0, commandHelpLine(id));
        });
        menuActions_[info.id] = action;
    }
    // Esc stops a run. The key belongs to the Stop Execution item, which is
    // enabled only while a program runs: at any other time Esc goes to the
    // dialogs and views as usual.
    if (QAction* stop = menuAction(id::StopExecution)) {
        stop->setShortcut(QKeySequence(Qt::Key_Escape));
        stop->setShortcutContext(Qt::WindowShortcut);
        addAction(stop);
    }
    auto demos = demoTexts();
    for (int i = 0; i < 14; ++i) {
        int command = i < 11 ? id::DemoFirst + i : id::ProjectFirst + (i - 11);
        auto* action = new QAction(demos[size_t(i)], this);
        action->setObjectName(QString("command%1").arg(command));
        action->setData(command);
        connect(action, &QAction::triggered, this, [this, command] { dispatch(command); });
        // Gray entries too: the tip says why (applyDemoMask).
        connect(action, &QAction::hovered, this, [this, action] {
            if (!run_->running()) setStatusText(0, action->statusTip());
        });
        menuActions_[command] = action;
    }
    // The accelerator table: one shortcut per key, dispatched like a menu item.
    for (const Accelerator& accelerator : accelerators()) {
        auto* shortcut = new QShortcut(accelerator.key, this);
        shortcut->setContext(Qt::ApplicationShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, id = accelerator.id] {
            QAction* action = menuAction(id);
            if (!action || action->isEnabled()) dispatch(id);
        });
    }
}

QMenu* Frame::buildMenu(const char* title, std::span<const MenuEntry> entries) {
    auto it = popups_.find(entries.data());
    if (it != popups_.end()) return it->second;
    auto* menu = new QMenu(QString::fromLatin1(title), this);
    popups_[entries.data()] = menu;
    // The help line of a hovered item goes when the menu closes, also when
    // its command opens a dialog.
    connect(menu, &QMenu::aboutToHide, this, [this] {
        if (!run_->running()) setStatusText(0, "Ready");
    });
    for (const MenuEntry& entry : entries) {
        switch (entry.kind) {
        case MenuEntry::Kind::Command:
            if (QAction* action = menuAction(entry.id)) menu->addAction(action);
            break;
        case MenuEntry::Kind::Separator: menu->addSeparator(); break;
        case MenuEntry::Kind::Popup:
            menu->addMenu(buildMenu(entry.title, entry.children));
            break;
        case MenuEntry::Kind::WindowList:
            // The list of open views, rebuilt whenever the menu opens.
            connect(menu, &QMenu::aboutToShow, this, [this, menu] {
                for (QAction* a : menu->actions())
                    if (a->property("windowEntry").toBool()) menu->removeAction(a), a->deleteLater();
                int n = 1;
                for (QMdiSubWindow* window : mdi_->subWindowList()) {
                    auto* a = menu->addAction(QString("&%1 %2").arg(n++).arg(window->windowTitle()));
                    a->setProperty("windowEntry", true);
                    a->setCheckable(true);
                    a->setChecked(window == mdi_->activeSubWindow());
                    connect(a, &QAction::triggered, this, [this, window] { mdi_->setActiveSubWindow(window); });
                }
            });
            break;
        }
    }
    return menu;
}

void Frame::setMenuBarKind(MenuBarKind kind) {
    menuBarKind_ = kind;
    QMenuBar* bar = menuBar();
    bar->clear();
    for (const MenuEntry& top : shell::menuBar(kind)) bar->addMenu(buildMenu(top.title, top.children));
}

void Frame::buildToolbar() {
    toolbar_ = addToolBar("Toolbar");
    toolbar_->setObjectName("toolbar");
    toolbar_->setMovable(false);
    toolbar_->setIconSize(QSize(22, 22));
    for (const ToolbarSlot& slot : toolbarSlots()) {
        if (slot.id == 0) {
            toolbar_->addSeparator();
            continue;
        }
        auto* action = new QAction(toolbarIcon(slot.image), commandToolTip(slot.id), this);
        action->setObjectName(QString("button%1").arg(slot.id));
        action->setData(slot.id);
        connect(action, &QAction::triggered, this, [this, id = slot.id] { dispatch(id); });
        toolbar_->addAction(action);
        toolbarActions_[slot.id] = action;
    }
    // The Clear View button's other face, put in its slot while Clear View
    // is on.
    auto* normalView = new QAction(toolbarIcon(27), commandToolTip(id::NormalView), this);
    normalView->setObjectName(QString("button%1").arg(id::NormalView));
    normalView->setData(id::NormalView);
    connect(normalView, &QAction::triggered, this, [this] { dispatch(id::NormalView); });
    toolbarActions_[id::NormalView] = normalView;
    for (int command : initiallyDisabledButtons())
        if (QAction* a = toolbarAction(command)) a->setEnabled(false);
    if (QAction* stop = toolbarAction(id::StopExecution)) stop->setEnabled(false);
    if (QAction* stop = menuAction(id::StopExecution)) stop->setEnabled(false);
    // The run speed beside Go and GoTo; it may change while a program runs.
    speedCombo_ = runSpeedCombo(kRealTimePercent);
    speedCombo_->setToolTip("Run Speed");
    speedCombo_->setStatusTip("How fast Go and Breakpoint Execution run against the wall clock");
    speedCombo_->setFocusPolicy(Qt::NoFocus);
    QAction* afterGoTo = nullptr;
    const QList<QAction*> actions = toolbar_->actions();
    for (qsizetype i = 0; i + 1 < actions.size(); ++i)
        if (actions[i] == toolbarAction(id::GoTo)) afterGoTo = actions[i + 1];
    toolbar_->insertWidget(afterGoTo, speedCombo_);
    connect(speedCombo_, &QComboBox::activated, this,
            [this] { setRunSpeed(uint16_t(speedCombo_->currentData().toUInt())); });
}

QString Frame::saveStart(const QString& file) const {
    const QDir home = QDir::home();
    if (file.isEmpty()) return home.absolutePath();
    const QString shipped = QDir(resourceDir_).canonicalPath();
    const QString folder = QFileInfo(QFileInfo(file).absolutePath()).canonicalFilePath();
    const bool isShipped = !shipped.isEmpty() && !folder.isEmpty() &&
                           (folder == shipped || folder.startsWith(shipped + '/'));
    return isShipped ? home.filePath(QFileInfo(file).fileName()) : file;
}

QString Frame::userSettingsFile() const {
    return configFile_.isEmpty() ? QString() : QFileInfo(configFile_).dir().filePath("quorvel.ini");
}

void Frame::showRunSpeed(uint16_t percent) {
    if (!findRunSpeed(percent)) percent = kRealTimePercent;
    run_->thread().setSpeed(percent);
    speedCombo_->setCurrentIndex(speedCombo_->findData(unsigned(percent)));
}

void Frame::setRunSpeed(uint16_t percent) {
    showRunSpeed(percent);
    if (const QString ini = userSettingsFile(); !ini.isEmpty())
        QSettings(ini, QSettings::IniFormat).setValue(kRunSpeedKey, unsigned(runSpeed()));
}

void Frame::buildStatusBar() {
    for (int i = 0; i < 4; ++i) {
        status_[i] = new QLabel;
        status_[i]->setObjectName(QString("status%1").arg(i));
        status_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusBar()->addWidget(status_[i], i == 0 ? 1 : 0);
    }
    statusBar()->setSizeGripEnabled(true);
    setStatusText(0, "Ready");
}

bool Frame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove && !run_->running())
        if (auto* menu = qobject_cast<QMenu*>(watched))
            if (QAction* action = menu->actionAt(static_cast<QMouseEvent*>(event)->position().toPoint());
                action && isDemoCommand(action->data().toInt()))
                setStatusText(0, action->statusTip());
    return QMainWindow::eventFilter(watched, event);
}

void Frame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // Right edges P0 = W - W/3 - 50, P1 = P0 + W/20, P2 = P1 + 175, P3 = W.
    const int w = width();
    const int p0 = w - w / 3 - 50, p1 = p0 + w / 20, p2 = p1 + 175;
    status_[0]->setMinimumWidth(std::max(0, p0 - 8));
    status_[1]->setFixedWidth(std::max(10, p1 - p0));
    status_[2]->setFixedWidth(std::max(10, p2 - p1));
    status_[3]->setMinimumWidth(std::max(10, w - p2 - 24));
    // The Clear View tiles reach the edges of the MDI area: they follow it
    // once it has its new size.
    if (viewMode_ == ViewMode::Clear) QTimer::singleShot(0, this, &Frame::placeClearViewTiles);
}

void Frame::setStatusText(int part, const QString& text) {
    if (part >= 0 && part < 4) status_[part]->setText(text);
}

QString Frame::statusText(int part) const {
    return part >= 0 && part < 4 ? status_[part]->text() : QString();
}

QAction* Frame::menuAction(int id) const {
    auto it = menuActions_.find(id);
    return it == menuActions_.end() ? nullptr : it->second;
}

QAction* Frame::toolbarAction(int id) const {
    auto it = toolbarActions_.find(id);
    return it == toolbarActions_.end() ? nullptr : it->second;
}

void Frame::setCommandEnabled(int id, bool enabled) {
    if (QAction* a = menuAction(id)) a->setEnabled(enabled);
    if (QAction* a = toolbarAction(id)) a->setEnabled(enabled);
}

void Frame::showMessage(const UserMessage& message) { messages_.show(this, message); }

void Frame::updateBreakpointStatus() {
    dropUnavailableBreakpoint(run_->breakpoint, machine_.chip.hasXdata());
    setStatusText(2, QString::fromStdString(
                         breakpointStatusText(run_->breakpoint, machine_.selection.kind)));
}

// ------------------------------------------------------------------ dispatch

void Frame::dispatch(int id) {
    if (const CommandHandler* handler = findCommandHandler(id)) handler->run(*this, id);
}

void Frame::initializeCycles() {
    auto guard = run_->pause();
    machine_.chip.setCycleCount(0);
    // The history's cycles would not follow: it starts again here.
    run_->restartHistory();
    setStatusText(3, "M/C:0");
    syncHistoryCommands(*this);
}

// ---------------------------------------------------------------- run glue

void Frame::applyRunOutcome(const RunOutcome& outcome) {
    if (outcome.started) runStarted(outcome.startAddress);
    if (outcome.ended) runEnded();
    if (outcome.refresh) refreshViews();
    // An attached debugger hears of every run, whoever started it.
    const StopReason reason = std::exchange(endReason_, StopReason::User);
    if (outcome.started && debugger_) debugger_->runStarted();
    if (outcome.ended && debugger_) debugger_->runEnded(reason);
    if (outcome.watchStop) showWatchStop(*this);
    if (outcome.message) showMessage(*outcome.message);
}

void Frame::runStarted(uint16_t startAddress) {
    grayForRun(true);
    setCommandEnabled(id::ResetCpu, true);
    setCommandEnabled(id::StopExecution, true);
    syncSourceCommands(*this);
    runStatus_ = QString::asprintf("Executing from %04XH...", unsigned(startAddress));
    setStatusText(0, runStatus_);
    const ExecutionSettings& s = run_->execution;
    if (s.screenUpdate && s.updateSeconds != 0) screenTimer_->start(s.updateSeconds * 1000);
    moduleTimer_->start(kModuleTimerMs);
    run_->thread().takeFallingBehind();
    paceTimer_->start(500);
    syncHistoryCommands(*this);
}

void Frame::paceCheck() {
    if (!run_->running()) return;
    if (run_->thread().takeFallingBehind()) {
        const RunSpeed* speed = findRunSpeed(runSpeed());
        setStatusText(0, QString("%1  The program cannot keep up with %2: it runs as fast as this "
                                 "computer allows.")
                             .arg(runStatus_, speed ? speed->name : "the run speed"));
    } else if (statusText(0).startsWith(runStatus_)) {
        setStatusText(0, runStatus_); // caught up again
    }
}

void Frame::runEnded() {
    screenTimer_->stop();
    moduleTimer_->stop();
    paceTimer_->stop();
    grayForRun(false);
    // The active window may have changed during the run.
    syncEditorCommands(*this);
    syncSourceCommands(*this);
    setStatusText(0, "Ready");
    setCommandEnabled(id::StopExecution, false);
}

// Grays the run-time commands and toolbar buttons while a program runs and
// restores exactly the ones that were enabled before.
void Frame::grayForRun(bool running) {
    if (running) {
        menuStateMemory_.clear();
        for (int command : runTimeGrayList()) {
            QAction* a = menuAction(command);
            if (!a) continue;
            menuStateMemory_[command] = a->isEnabled();
            a->setEnabled(false);
        }
        for (int command = id::DemoFirst; command <= id::ProjectLast; ++command)
            if (QAction* a = menuAction(command)) {
                if (!menuStateMemory_.count(command)) menuStateMemory_[command] = a->isEnabled();
                a->setEnabled(false);
            }
        toolbarStateMemory_.clear();
        for (auto& [command, action] : toolbarActions_) {
            if (isViewButton(command)) continue;
            toolbarStateMemory_[command] = action->isEnabled();
            action->setEnabled(false);
        }
    } else {
        for (auto& [command, enabled] : menuStateMemory_)
            if (QAction* a = menuAction(command)) a->setEnabled(enabled);
        for (auto& [command, enabled] : toolbarStateMemory_)
            if (QAction* a = toolbarAction(command)) a->setEnabled(enabled);
        menuStateMemory_.clear();
        toolbarStateMemory_.clear();
    }
}

void Frame::screenUpdateTick() {
    {
        auto guard = run_->pause();
        run_->setCurrentAddress(machine_.chip.pc);
    }
    refreshViews();
}

void Frame::moduleTick() {
    std::vector<View*> open;
    for (QMdiSubWindow* window : mdi_->subWindowList())
        if (auto* view = qobject_cast<View*>(window->widget())) open.push_back(view);
    if (open.empty()) return;
    auto guard = run_->pause();
    for (View* view : open) view->moduleTick();
}

void Frame::rtcSecond() {
    const QDateTime now = QDateTime::currentDateTime();
    LocalTime time;
    time.year = now.date().year();
    time.month = now.date().month();
    time.day = now.date().day();
    time.weekday = now.date().dayOfWeek() % 7; // Sunday is 0
    time.hour = now.time().hour();
    time.minute = now.time().minute();
    time.second = now.time().second();
    time.millisecond = now.time().msec();
    // The second reaches the machine as an input, logged while recording
    // when the clock counted it.
    bool ticked;
    {
        auto guard = run_->pause();
        const auto before = machine_.modules.iic.rtc.RtcMemory;
        MachineInput tick;
        tick.kind = MachineInput::Kind::ClockTick;
        tick.bytes = clockTickBytes(time);
        run_->tickInput(tick);
        ticked = machine_.modules.iic.rtc.RtcMemory != before;
    }
    if (ticked) emit chipNotices_->rtcTicked();
}

void Frame::onRunEnded(quint64 generation, int reason) {
    endReason_ = StopReason(reason);
    applyRunOutcome(run_->runEnded(generation, StopReason(reason)));
}

void Frame::onContinueStepOver(quint64 generation) {
    applyRunOutcome(run_->continueStepOver(generation));
}

void Frame::refreshViews() {
    auto guard = run_->pause();
    for (QMdiSubWindow* window : mdi_->subWindowList())
        if (auto* view = qobject_cast<View*>(window->widget())) view->refreshView();
    setStatusText(1, QString::asprintf("RB%01X", unsigned(machine_.chip.bankBase() >> 3)));
    setStatusText(3, QString("M/C:%1").arg(machine_.chip.cycleCount()));
    syncWaveCommands(*this);
    syncHistoryCommands(*this);
    if (debugger_) debugger_->programMayHaveMoved();
}

// --------------------------------------------------------------------- views

void Frame::programCodeChanged() {
    if (ProgramView* view = programView()) view->reloadCode();
}

void Frame::showCodeAddress(uint16_t address) { shell::showCodeAddress(*this, address); }

bool Frame::isActiveView(const QWidget* window) const {
    return window && static_cast<const QWidget*>(mdi_->activeSubWindow()) == window;
}

ProgramView* Frame::programView() const { return qobject_cast<ProgramView*>(view(id::ProgramWindow)); }

View* Frame::view(int command) const {
    auto it = views_.find(command);
    if (it == views_.end() || !it->second) return nullptr;
    return qobject_cast<View*>(it->second->widget());
}

void Frame::activeViewCommand(int id) {
    if (auto* window = mdi_->activeSubWindow())
        if (auto* view = qobject_cast<View*>(window->widget())) view->command(id);
}

View* Frame::openView(int command) {
    auto it = views_.find(command);
    if (it != views_.end() && it->second) {
        QMdiSubWindow* window = it->second;
        if (window->widget()->hasFocus()) {
            if (QAction* button = toolbarAction(command)) button->setChecked(false);
        } else {
            mdi_->setActiveSubWindow(window);
        }
        return qobject_cast<View*>(window->widget());
    }
    const auto views = viewTable();
    const auto entry = std::find_if(views.begin(), views.end(),
                                    [command](const ViewEntry& e) { return e.command == command; });
    if (entry == views.end()) return nullptr;
    View* view = entry->create({viewContext_, *sourceDebug_, *wave_, *chipNotices_, *programDebug_});
    connectDebugView(*this, view);
    if (viewMode_ == ViewMode::Clear && (command == id::SfrBitWindow || command == id::MemoryBitWindow))
        clearViewBitWindow_ = command == id::MemoryBitWindow;
    // In Clear View a view with a Clear View form is a captionless tile at
    // its fixed place.
    const QRect tile = viewMode_ == ViewMode::Clear ? view->clearViewGeometry(mdi_->viewport()->size())
                                                     : QRect();
    QMdiSubWindow* window =
        mdi_->addSubWindow(view, tile.isEmpty() ? Qt::WindowFlags() : Qt::FramelessWindowHint);
    views_[command] = window;
    connect(window, &QObject::destroyed, this, [this, command] {
        // A window closed by Close All is deleted later, maybe after a new
        // view of its kind opened: only its own (now empty) entry goes.
        if (auto it = views_.find(command); it != views_.end() && !it->second) views_.erase(it);
    });
    showViewWindow(window, view, QSize(620, 420), tile);
    trackViewStart(view);
    return view;
}

QMdiSubWindow* Frame::addViewWindow(View* view, QSize preferred) {
    QMdiSubWindow* window = mdi_->addSubWindow(view);
    showViewWindow(window, view, preferred, QRect());
    return window;
}

void Frame::showViewWindow(QMdiSubWindow* window, View* view, QSize preferred, QRect tile) {
    window->setWindowIcon(applicationIcon());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(view->windowTitle());
    // The window title follows the view's (the editor marks unsaved text).
    connect(view, &QWidget::windowTitleChanged, window, &QWidget::setWindowTitle);
    connect(window, &QObject::destroyed, this, [this] {
        if (mdi_->subWindowList().isEmpty()) {
            setMenuBarKind(MenuBarKind::Init);
            if (QAction* a = toolbarAction(id::CloseAll)) a->setEnabled(false);
        }
    });
    window->show();
    if (tile.isEmpty()) {
        fitIntoMdiArea(window, preferred);
    } else {
        window->setGeometry(tile);
    }
    view->setFocus();
    if (QAction* a = toolbarAction(id::CloseAll); a && !run_->running()) a->setEnabled(true);
    view->refreshView();
}

void Frame::fitIntoMdiArea(QMdiSubWindow* window, QSize preferred) {
    const QRect area(QPoint(0, 0), mdi_->viewport()->size());
    QRect place(window->pos(), preferred.boundedTo(area.size()));
    if (place.right() > area.right()) place.moveRight(area.right());
    if (place.bottom() > area.bottom()) place.moveBottom(area.bottom());
    place.moveTopLeft(QPoint(std::max(0, place.left()), std::max(0, place.top())));
    window->setGeometry(place);
}

void Frame::activeViewChanged(QMdiSubWindow* window) {
    auto* view = window ? qobject_cast<View*>(window->widget()) : nullptr;
    setMenuBarKind(view ? view->menuBarKind() : window ? MenuBarKind::Main : MenuBarKind::Init);
    syncEditorCommands(*this);
    if (!run_->running()) setStatusText(0, "Ready");
}

void Frame::closeAll() {
    for (QMdiSubWindow* window : mdi_->subWindowList()) {
        window->showNormal();
        // A closed window is deleted later: forget it now, so that a view of
        // the same kind can open at once.
        if (window->close())
            std::erase_if(views_, [window](const auto& entry) { return entry.second == window; });
    }
}

void Frame::closeEvent(QCloseEvent* event) {
    // Every editor with unsaved text is asked first: nothing closes until
    // the exit is certain.
    for (QMdiSubWindow* window : mdi_->subWindowList())
        if (auto* editor = qobject_cast<EditorView*>(window->widget()); editor && !editor->agreeToClose()) {
            event->ignore();
            return;
        }
    rtcTimer_->stop();
    // The windows as they are now, for the next start: Close All takes them
    // away. Capturing leaves the layout Normal View returns to as it was, in
    // case the close is refused.
    const ScreenSettings normalViewLayout = storedScreenSettings();
    const ScreenSettings layout = captureScreenSettings();
    setStoredScreenSettings(normalViewLayout);
    closeAll();
    if (!mdi_->subWindowList().isEmpty()) {
        rtcTimer_->start(1000);
        event->ignore();
        return;
    }
    // The run must be over before the machine is written or freed.
    if (run_->running()) applyRunOutcome(run_->stop());
    // Both files only once the device was confirmed (simulator.dat's rule);
    // writing simulator.dat makes the configuration folder.
    const bool keepLayout = configLoaded_ && !configFile_.isEmpty();
    writeConfiguration();
    if (keepLayout && WriteScreenSettings(windowLayoutFile().toStdString(), layout))
        std::fprintf(stderr, "quorvel: could not write %s\n", qPrintable(windowLayoutFile()));
    event->accept();
}

// The rest of simulator.dat, once the device is set up and the memories
// exist: run and breakpoint settings, module wiring, memory images.
void Frame::readConfiguration() {
    configLoaded_ = true;
    if (configFile_.isEmpty()) return;
    AppConfigRead read = ReadAppConfig(configFile_.toStdString(), config_);
    if (!read.problem.empty())
        std::fprintf(stderr, "quorvel: %s: %s\n", qPrintable(configFile_), read.problem.c_str());
    config_ = read.config;
    RunSettings run = runSettingsOf(*run_, memorySetting);
    std::optional<UserMessage> note;
    {
        auto guard = run_->pause();
        note = applyAppConfig(config_, machine_, run);
    }
    applyRunSettings(run, *run_, memorySetting);
    if (note) showMessage(*note);
    viewContext_.lastAddress = config_.programViewStart;
    // The register view's PC, where the next run starts.
    if (config_.registerViewPc > machine_.chip.codeLimit) config_.registerViewPc = 0;
    run_->setCurrentAddress(config_.registerViewPc);
}

// Written at shutdown, unless the device dialog was never confirmed (the file
// then keeps what it had). A failure leaves the old file and says so on
// standard error: there is no window left to show it in.
void Frame::writeConfiguration() {
    if (!configLoaded_ || configFile_.isEmpty()) return;
    configLoaded_ = false;
    // Demo Program 11's removal of the external data memory is not kept.
    restoreExternalMemory(*this);
    const RunSettings run = runSettingsOf(*run_, memorySetting);
    keepViewStarts();
    {
        auto guard = run_->pause();
        config_.registerViewPc = run_->currentAddress();
        captureAppConfig(config_, machine_, run);
    }
    std::filesystem::create_directories(std::filesystem::path(configFile_.toStdString()).parent_path());
    if (!WriteAppConfig(configFile_.toStdString(), config_))
        std::fprintf(stderr, "quorvel: could not write %s\n", qPrintable(configFile_));
}

// The windows as the last run left them, in a screen-settings file beside
// simulator.dat (whose layout has no room for them).
QString Frame::windowLayoutFile() const {
    return configFile_.isEmpty() ? QString() : QFileInfo(configFile_).dir().filePath("window-layout.SST");
}

// Opens the windows the last run left open, where they were. The first run
// has no such file; a file that does not read leaves the frame as it is and
// says so on standard error, as simulator.dat does.
void Frame::restoreWindowLayout() {
    const QString path = windowLayoutFile();
    if (path.isEmpty() || !QFileInfo::exists(path)) return;
    ScreenSettings layout;
    if (auto failure = ReadScreenSettings(path.toStdString(), layout)) {
        std::fprintf(stderr, "quorvel: %s: %s\n", qPrintable(path), failure->text.c_str());
        return;
    }
    applyScreenSettings(layout);
}

// ------------------------------------------------------------ small commands

void Frame::clearProgramMemory() {
    run_->edit([this] { std::fill(machine_.chip.code.begin(), machine_.chip.code.end(), uint8_t(0xFF)); });
    if (ProgramView* view = programView()) view->reloadCode();
}

} // namespace quorvel::shell
