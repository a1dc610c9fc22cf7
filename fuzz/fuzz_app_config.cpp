// Fuzzes the application configuration reader with arbitrary file contents.
// Checks: no crash or sanitizer report; whatever was read writes a file that
// reads back whole and writes the same bytes again; applying it to a machine
// keeps every memory at its size.
#include "machine/machine.h"
#include "settings/app_config.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    (void)deviceConfigFromBytes(bytes);
    AppConfigRead read = parseAppConfig(bytes, AppConfig{});

    const auto written = serializeAppConfig(read.config);
    const AppConfigRead again = parseAppConfig(written, AppConfig{});
    if (again.missingFrom != AppConfigSection::Done || again.trailingBytes != 0) std::abort();
    if (serializeAppConfig(again.config) != written) std::abort();

    // One machine for every input: configuring it again sets its memories
    // anew, and fresh 64K memories per input would cost more than the rest.
    static Machine machine;
    DeviceSelection selection;
    selection.kind = (size > 0 && (data[0] & 1)) ? DeviceKind::AT89S8252 : DeviceKind::AT89C2051;
    selection.xdataLimit = 0x07FF;
    configureMachine(machine, selection);
    const size_t code = machine.chip.code.size(), xdata = machine.chip.xdata.size();
    RunSettings run;
    applyAppConfig(read.config, machine, run);
    if (machine.chip.code.size() != code || machine.chip.xdata.size() != xdata) std::abort();
    return 0;
}
