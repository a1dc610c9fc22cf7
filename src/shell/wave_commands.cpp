#include "shell/wave_commands.h"

#include "settings/settings_io.h"
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell/view.h"
#include "shell/wave_capture.h"
#include "tools/vcd_writer.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>

#include <numeric>

namespace quorvel::shell {

namespace {

const QStringList kVcdFilters = {"Value Change Dump Files *.vcd (*.vcd *.VCD)", "All Files *.* (*)"};

} // namespace

void setUpWaveCommands(Frame& frame) {
    if (QAction* record = frame.menuAction(id::RecordWaveform)) record->setCheckable(true);
    frame.setCommandEnabled(id::ExportWaveform, false);
}

void syncWaveCommands(Frame& frame) {
    WaveCapture& capture = frame.waveCapture();
    if (QAction* record = frame.menuAction(id::RecordWaveform)) record->setChecked(capture.switchedOn());
    auto guard = frame.runControl().pause();
    frame.setCommandEnabled(id::ExportWaveform, !capture.recorder().empty());
}

void recordWaveformCommand(Frame& frame) {
    WaveCapture& capture = frame.waveCapture();
    capture.setSwitchedOn(!capture.switchedOn());
    syncWaveCommands(frame);
    // An open logic analyser starts again with the new recording.
    frame.refreshViews();
}

void exportWaveformCommand(Frame& frame) {
    WaveCapture& capture = frame.waveCapture();
    {
        auto guard = frame.runControl().pause();
        if (capture.recorder().empty()) return;
    }
    const QString path = frame.messages().saveFileName(&frame, "Export Waveform", kVcdFilters, "vcd");
    if (path.isEmpty()) return;

    Machine& machine = frame.machine();
    VcdOptions options;
    options.frequencyHz = machine.selection.frequency;
    // The lines the logic analyser shows, or every line when it is closed.
    if (frame.view(id::LogicAnalyserWindow)) {
        options.lines = capture.lines();
    } else {
        options.lines.resize(32);
        std::iota(options.lines.begin(), options.lines.end(), 0);
    }
    options.date = QDateTime::currentDateTimeUtc().toString("yyyy-MM-dd hh:mm:ss 'UTC'").toStdString();
    const QString version = QCoreApplication::applicationVersion();
    options.version = ("Quorvel Simulator" + (version.isEmpty() ? QString() : " " + version)).toStdString();
    options.scope = deviceInfo(machine.selection.kind).captionName;
    std::vector<LineChange> changes;
    {
        // A program may go on running: the copy is taken between two instructions.
        auto guard = frame.runControl().pause();
        options.endCycle = machine.chip.cycleCount();
        changes = capture.recorder().entries();
    }
    const std::string text = vcdText(options, changes);
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    if (!writeFileAtomically(path.toStdString(), bytes))
        frame.showMessage(errorMessage("ERROR", "Unable to Write the file"));
}

} // namespace quorvel::shell
