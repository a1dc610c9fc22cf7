// How much the open views cost a running program. The busy firmware (SDCC C
// with a timer-0 interrupt every 100 machine cycles and the UART sending)
// runs free on the simulation thread, with the screen updated every second:
// with no view open, with the register, SFR bit status, internal and
// external data memory windows open, and with the module windows open.
// Prints the machine cycles per second of each set of windows and its ratio
// to the run with none. The module runs have the LCD, LED and keyboard
// windows open, with point LEDs on port 1, a four-digit multiplexed
// display, momentary keys and a 4 x 3 keypad wired, so that every module
// window follows the program on the module timer.
//
//   QT_QPA_PLATFORM=offscreen build/quorvel_view_bench [seconds per run]
//   (five rounds of six runs: half a minute at the default 1 s a run)
#include "shell/command_table.h"
#include "shell/frame.h"
#include "shell/messages.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

using namespace quorvel;
using namespace quorvel::shell;

namespace {

// Answers the device dialog: AT89C52 with 64K of external data memory.
void answerDeviceDialog() {
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        auto* combo = dialog->findChild<QComboBox*>("device");
        combo->setCurrentIndex(combo->findText("Atmel 89C52"));
        QTimer::singleShot(0, [dialog] {
            auto* data = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            data->findChild<QRadioButton*>("size6")->setChecked(true);
            data->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            QTimer::singleShot(0, [dialog] { dialog->findChild<QPushButton*>("ok")->click(); });
        });
        dialog->findChild<QPushButton*>("dataMemory")->click();
    });
}

// Runs the program freely for `seconds` and returns machine cycles per second.
double runFor(Frame& frame, double seconds) {
    uint64_t before = 0;
    {
        auto guard = frame.runControl().pause();
        before = frame.machine().chip.cycleCount();
    }
    QElapsedTimer clock;
    clock.start();
    frame.dispatch(id::Go);
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    frame.dispatch(id::StopExecution);
    const double elapsed = double(clock.nsecsElapsed()) * 1e-9;
    auto guard = frame.runControl().pause();
    return double(frame.machine().chip.cycleCount() - before) / elapsed;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
    std::ifstream file(QUORVEL_BENCH_FIRMWARE_DIR "/crc_sort_peripherals.bin", std::ios::binary);
    const std::vector<uint8_t> program(std::istreambuf_iterator<char>(file), {});
    if (program.empty()) {
        std::fprintf(stderr, "quorvel_view_bench: the firmware is not built\n");
        return 1;
    }

    RecordedMessages messages;
    Frame frame(messages);
    frame.show();
    answerDeviceDialog();
    if (!frame.startUp() || !frame.machine().chip.hasXdata()) return 1;
    {
        auto guard = frame.runControl().pause();
        for (size_t i = 0; i < program.size(); ++i)
            frame.machine().chip.writeCode(uint16_t(i), program[i]);
    }
    {
        // The parts the module windows show; wired for all three runs, so
        // the runs differ only in the windows open.
        auto guard = frame.runControl().pause();
        ModuleSettings& parts = frame.machine().modules.settings;
        parts.LedConnected[1] = 0xFF;
        parts.LedSevenSegment = 1;
        parts.LedDigitCount = 4;
        parts.KeyMomentary[3] = 0x3C;
        parts.KeypadType = 0;
    }
    frame.runControl().execution.screenUpdate = true;
    frame.runControl().execution.updateSeconds = 1;

    // Every set of windows runs once per round and the rounds alternate, so
    // that a slow stretch of the host (it varies by a fifth from second to
    // second on a shared machine) falls on all sets alike; each figure is the
    // median of its rounds. A first run warms the caches and the clock
    // governor.
    struct WindowSet {
        const char* name;
        std::vector<int> windows;
    };
    const WindowSet sets[] = {
        {"no view open:      ", {}},
        {"four views open:   ",
         {id::RegisterWindow, id::SfrBitWindow, id::InternalMemoryWindow, id::ExternalMemoryWindow}},
        {"LCD window:        ", {id::LcdWindow}},
        {"LED window:        ", {id::LedWindow}},
        {"keyboard window:   ", {id::KeyboardWindow}},
        {"LCD, LED, keyboard:", {id::LcdWindow, id::LedWindow, id::KeyboardWindow}}};
    constexpr int rounds = 5;
    std::vector<std::vector<double>> rates(std::size(sets));
    runFor(frame, 1.0);
    for (int round = 0; round < rounds; ++round) {
        for (size_t set = 0; set < std::size(sets); ++set) {
            frame.dispatch(id::CloseAll);
            QCoreApplication::processEvents();
            for (int window : sets[set].windows) frame.dispatch(window);
            rates[set].push_back(runFor(frame, seconds));
        }
    }
    auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    const double bare = median(rates[0]);
    for (size_t set = 0; set < std::size(sets); ++set) {
        const double rate = median(rates[set]);
        std::printf("%s %.1f million machine cycles per second (%.1f %%)\n", sets[set].name,
                    rate / 1e6, 100.0 * rate / bare);
    }
    return 0;
}
