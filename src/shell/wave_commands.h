// The waveform commands: Run > "Record Waveform" (a switch) and File >
// "Export Waveform...", which writes the recorded port lines as a value
// change dump, grayed while nothing has been recorded.
#pragma once

namespace quorvel::shell {

class Frame;

// Makes the switch checkable and grays the export (at the frame's start).
void setUpWaveCommands(Frame& frame);
// The switch's check and the export's gray state after a run, a step or a
// change of the recording. Call it under the pause guard during a run.
void syncWaveCommands(Frame& frame);

void recordWaveformCommand(Frame& frame);
void exportWaveformCommand(Frame& frame);

} // namespace quorvel::shell
