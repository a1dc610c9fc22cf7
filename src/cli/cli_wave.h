// --vcd: the waveform recorder the run fills and the dump written from it
// after the run.
#pragma once

#include "cli/cli_options.h"
#include "machine/machine.h"
#include "machine/wave_recorder.h"

#include <cstdint>
#include <optional>
#include <string>

namespace quorvel::cli {

// The dump of what `recorder` kept, for the lines --vcd-lines chose (the device's
// without it), ending at the machine's cycle counter. `date` goes in the
// header as it is.
std::string waveformText(const CliOptions& options, const Machine& machine,
                         const WaveRecorder& recorder, const std::string& date);

// What standard error says when the ring was full and older changes went;
// nothing when everything was kept.
std::optional<std::string> waveformOverflowText(const WaveRecorder& recorder);

// The date and time now, in UTC, as a dump's header gives it.
std::string waveformDate();

} // namespace quorvel::cli
