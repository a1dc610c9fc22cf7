// The frame's waveform recording: one recorder of the port lines, handed to
// the machine (Machine::wave) only while something wants it, so the plain run
// loop keeps its full speed otherwise. Recording is on while a logic analyser
// window is open or the "Record Waveform" switch is on; it starts from an
// empty recorder each time it goes from off to on. What was recorded stays
// after recording stops, for the window and for Export Waveform.
#pragma once

#include "chip/line_change.h"
#include "machine/wave_recorder.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace quorvel {
struct Machine;
class RunController;
} // namespace quorvel

namespace quorvel::shell {

class WaveCapture {
public:
    WaveCapture(Machine& machine, RunController& run);
    // Takes the recorder from the machine before it goes.
    ~WaveCapture();
    WaveCapture(const WaveCapture&) = delete;
    WaveCapture& operator=(const WaveCapture&) = delete;

    // The "Record Waveform" switch.
    bool switchedOn() const { return switchOn_; }
    void setSwitchedOn(bool on);
    // A logic analyser window opens or closes.
    void viewOpened();
    void viewClosed();
    bool recording() const { return switchOn_ || openViews_ > 0; }

    // Empties the recorder: what it holds belongs to a machine left behind
    // (a recording opened in its place).
    void clear();
    // The recorder (empty until recording first starts). Read it under the
    // run controller's pause guard while a program runs.
    const WaveRecorder& recorder() const;
    // Counts the times the recorder was emptied: a reader that kept a copy
    // starts again when this changed.
    uint64_t clears() const { return clears_; }

    // The lines the logic analyser shows and the export writes while it is
    // open (pin indexes, P1.0 = 8), ascending; P1.0-P1.7, P3.0 and P3.1 at
    // first.
    const std::vector<int>& lines() const { return lines_; }
    void setLines(std::vector<int> lines);

private:
    // Hands the recorder to the machine or takes it back, after a change of
    // the switch or of the open windows.
    void apply(bool wasRecording);

    Machine& machine_;
    RunController& run_;
    std::unique_ptr<WaveRecorder> recorder_; // made when first needed (16 MB)
    bool switchOn_ = false;
    int openViews_ = 0;
    uint64_t clears_ = 0;
    std::vector<int> lines_;
};

// Pin index -> "P1.0".
QString lineName(int pin);

} // namespace quorvel::shell
