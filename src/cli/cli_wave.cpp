#include "cli/cli_wave.h"

#include "tools/vcd_writer.h"

#include <ctime>

namespace quorvel::cli {

std::string waveformText(const CliOptions& options, const Machine& machine,
                         const WaveRecorder& recorder, const std::string& date) {
    VcdOptions vcd;
    vcd.frequencyHz = machine.selection.frequency;
    vcd.lines = options.vcdLines;
    // By default every port line the device has (P1 and P3 less P3.6 on the
    // 20-pin parts).
    const DeviceInfo& info = machine.selection.info();
    if (vcd.lines.empty()) {
        for (int pin = 0; pin < 32; ++pin)
            if (info.has40Pins() || ((info.pinMask >> pin) & 1u)) vcd.lines.push_back(pin);
    }
    vcd.date = date;
    vcd.version = "quorvel-cli " QUORVEL_VERSION;
    vcd.scope = deviceInfo(machine.selection.kind).captionName;
    vcd.endCycle = machine.chip.cycleCount();
    const std::vector<LineChange> changes = recorder.entries();
    return vcdText(vcd, changes);
}

std::optional<std::string> waveformOverflowText(const WaveRecorder& recorder) {
    if (recorder.dropped() == 0) return std::nullopt;
    return "warning: --vcd: more line changes than the " + std::to_string(recorder.capacity()) +
           " kept (--vcd-capacity); the " + std::to_string(recorder.dropped()) +
           " oldest were dropped, the waveform starts at machine cycle " +
           std::to_string(recorder.at(recorder.firstSequence()).cycle);
}

std::string waveformDate() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    char text[40] = "";
    if (gmtime_r(&now, &utc)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc);
    return text;
}

} // namespace quorvel::cli
