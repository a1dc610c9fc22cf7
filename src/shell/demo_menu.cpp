#include "shell/demo_menu.h"

#include "shell/command_table.h"
#include "shell/frame.h"
#include "shell/settings_commands.h"
#include "modules/io_levels.h"

#include <QAction>
#include <QDir>
#include <QMdiArea>

namespace quorvel::shell {

namespace {

constexpr int kDemoPrograms = 11;
constexpr int kDemoFillsInternalMemory = id::DemoFirst + 10; // Demo Program 11

// Gray while Demo Program 11 has the external data memory put away.
constexpr int kExternalMemoryCommands[] = {id::ExternalFill, id::ExternalCopy, id::ExternalMemoryWindow,
                                           id::LoadData};

// The input lines a demonstration needs set in the I/O window; every other
// line it shows starts unconnected ("NC"), as on a board with nothing wired.
// Demo Programs 9 and 10 count pulses the user gives with the INT0 and T0
// buttons, which work on lines set to "Pulse".
struct DemoInput {
    int command;
    int pin; // pin index: P3.2 is 26
    uint8_t setting;
};
const DemoInput kDemoInputs[] = {
    {id::DemoFirst + 8, pin::INT0, kInputPulse},
    {id::DemoFirst + 9, pin::T0, kInputPulse},
};

void setDemoInputs(Frame& frame, int command) {
    Machine& machine = frame.machine();
    frame.runControl().edit([&] {
        PinState& pins = machine.chip.pins;
        const uint32_t shown = ioPins(ioLayout(machine.selection));
        for (int i = 0; i < 32; ++i)
            if ((shown >> i) & 1u) pins.setSetting(i, kInputNC);
        for (const DemoInput& input : kDemoInputs)
            if (input.command == command && ((shown >> input.pin) & 1u)) pins.setSetting(input.pin, input.setting);
        pins.applySettings(machine.chip.portLatches());
    });
}

} // namespace

bool isDemoCommand(int command) {
    return (command >= id::DemoFirst && command <= id::DemoLast) ||
           (command >= id::ProjectFirst && command <= id::ProjectLast);
}

QString demoName(int command) {
    return command >= id::ProjectFirst ? QString("Project%1").arg(command - id::ProjectFirst + 1)
                                       : QString("Demo%1").arg(command - id::DemoFirst + 1);
}

QString demoDirectory(const Frame& frame) { return QDir(frame.resourceDir()).filePath("DemoPrograms"); }

// Demo Programs 6 and 8 and the projects drive their displays through P0 or
// P2. With external memory those ports are the address and data bus, and
// the parts could not be wired: the entries are offered only while the ports
// are free.
bool needsPortsZeroAndTwo(int command) {
    return command == id::DemoFirst + 5 || command == id::DemoFirst + 7 || command >= id::ProjectFirst;
}

void applyDemoMask(Frame& frame, uint16_t mask) {
    const bool busPortsFree = (frame.machine().profile.availablePinMask & 0x00FF00FFu) != 0;
    const QString device = frame.machine().selection.info().captionName;
    const auto offer = [&](int command, bool offered) {
        const bool free = busPortsFree || !needsPortsZeroAndTwo(command);
        frame.setCommandEnabled(command, offered && free);
        // The status bar shows why an entry is gray when it is highlighted.
        QString why;
        if (!offered)
            why = QString("Not on the %1: this demonstration needs port lines or on-chip parts the device "
                          "lacks. Choose another device when the simulator starts.")
                      .arg(device);
        else if (!free)
            why = "Needs ports P0 and P2, which the external memory takes as its bus. Start without "
                  "external memory to use it.";
        if (QAction* action = frame.menuAction(command))
            action->setStatusTip(why.isEmpty() ? action->text() : why);
    };
    for (int k = 1; k <= kDemoPrograms; ++k) offer(id::DemoFirst + k - 1, mask & (1u << (k - 1)));
    for (int command = id::ProjectFirst; command <= id::ProjectLast; ++command) offer(command, mask & 0x7000);
}

void suspendExternalMemory(Frame& frame) {
    SuspendedExternalMemory& suspended = frame.suspendedXdata;
    if (suspended.active) return;
    frame.runControl().edit([&] {
        suspended.xdataLimit = frame.machine().chip.xdataLimit;
        frame.machine().chip.xdataLimit = 0;
    });
    suspended.active = true;
    suspended.enabled.clear();
    for (int command : kExternalMemoryCommands) {
        const QAction* item = frame.menuAction(command);
        const QAction* button = frame.toolbarAction(command);
        suspended.enabled.emplace_back(command, (item && item->isEnabled()) || (button && button->isEnabled()));
        frame.setCommandEnabled(command, false);
    }
}

void restoreExternalMemory(Frame& frame) {
    SuspendedExternalMemory& suspended = frame.suspendedXdata;
    if (!suspended.active) return;
    frame.runControl().edit([&] { frame.machine().chip.xdataLimit = suspended.xdataLimit; });
    for (const auto& [command, enabled] : suspended.enabled) frame.setCommandEnabled(command, enabled);
    suspended = {};
}

void loadDemonstration(Frame& frame, int command) {
    if (!isDemoCommand(command)) return;
    const QString base = QDir(demoDirectory(frame)).filePath(demoName(command));
    RunController& run = frame.runControl();
    if (run.running()) frame.dispatch(id::StopExecution);
    restoreExternalMemory(frame);
    run.execution.screenUpdate = true;
    run.execution.updateSeconds = 1;
    frame.dispatch(id::CloseAll);
    // A clean start, as Load Program gives: the previous program's timers,
    // interrupts and serial settings do not reach the demonstration.
    frame.dispatch(id::ResetCpu);

    setDemoInputs(frame, command);
    loadModuleSettings(frame, base + ".MST");
    // Always into program memory, whatever the last Load chose.
    frame.loadFile(base + ".HEX", LoadTarget::ProgramMemory);
    // The demonstration's layout becomes the current screen-settings file,
    // but Save Screen Setting asks before it writes over a demonstration.
    frame.screenSettingsPath = base + ".SST";
    frame.screenSettingsPathConfirmed = false;
    loadScreenSettings(frame, frame.screenSettingsPath);

    {
        auto guard = run.pause();
        run.setCurrentAddress(0);
    }
    if (command == kDemoFillsInternalMemory) {
        suspendExternalMemory(frame);
        frame.refreshViews();
        frame.showMessage({"Instruction",
                           "This Program Will Fill a Data 00H to 0FH from 20H to 2Fh of Internal Data "
                           "Memory\r\nExecute the Program in Single step mode and notice the changes.",
                           UserMessage::Icon::Information});
        return;
    }
    frame.refreshViews();
    frame.dispatch(id::Go);
}

} // namespace quorvel::shell
