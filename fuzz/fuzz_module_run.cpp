// Runs a machine with arbitrary module settings for a few thousand
// instructions. The input is a two-byte length (low byte first), a module
// settings file of that length, and the levels a fixed program writes to
// P1, P3, P2 and P0 in turn, so every part wired to a port line sees
// arbitrary traffic (LCD bus, IIC and SPI lines, keypad scans, LEDs) while
// the serial port sends to the host terminal.
// Checks: no crash, hang or sanitizer report; the program counter stays in
// the program's loop (no interrupt is enabled, nothing else may move it).
#include "chip/device.h"
#include "machine/executor.h"
#include "machine/machine.h"
#include "modules/module_state.h"
#include "settings/module_settings_file.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

using namespace quorvel;

namespace {

constexpr uint16_t kTableAddress = 0x0100;
constexpr uint32_t kSteps = 2000;

// Serial port in mode 1 at 9600 baud from timer 1, then forever: the next
// four table bytes to P1, P3, P2 and P0, and P1 OR P3 read back and sent.
constexpr std::array<uint8_t, 42> kProgram{
    0x75, 0x98, 0x50,       // MOV SCON,#50H
    0x75, 0x89, 0x20,       // MOV TMOD,#20H
    0x75, 0x8D, 0xFD,       // MOV TH1,#0FDH
    0xD2, 0x8E,             // SETB TR1
    0x90, 0x01, 0x00,       // MOV DPTR,#0100H
    0xE4, 0x93, 0xA3,       // next: CLR A / MOVC A,@A+DPTR / INC DPTR
    0xF5, 0x90,             // MOV P1,A
    0xE4, 0x93, 0xA3,       //
    0xF5, 0xB0,             // MOV P3,A
    0xE4, 0x93, 0xA3,       //
    0xF5, 0xA0,             // MOV P2,A
    0xE4, 0x93, 0xA3,       //
    0xF5, 0x80,             // MOV P0,A
    0xE5, 0x90,             // MOV A,P1
    0x45, 0xB0,             // ORL A,P3
    0xF5, 0x99,             // MOV SBUF,A
    0x80, 0xE4,             // SJMP next
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t fileSize = size_t(data[0]) | size_t(data[1]) << 8;
    if (size - 2 < fileSize) return 0;
    const std::span<const uint8_t> file(data + 2, fileSize);
    const std::span<const uint8_t> levels = std::span(data, size).subspan(2 + fileSize);

    Machine machine;
    DeviceSelection selection;
    selection.kind = DeviceKind::AT89C52;
    configureMachine(machine, selection);
    auto settings = parseModuleSettingsFile(file, machine.modules.settings);
    if (!settings) return 0;
    replaceUnavailableLines(*settings, machine.profile.availablePinMask);
    machine.modules.settings = std::move(*settings);

    auto& code = machine.chip.code;
    std::copy(kProgram.begin(), kProgram.end(), code.begin());
    std::copy_n(levels.begin(), std::min(levels.size(), code.size() - kTableAddress),
                code.begin() + kTableAddress);
    machine.chip.reset();
    resetModulesOnCpuReset(machine.modules);
    resetModulesOnRunStart(machine.modules);
    runSteps(machine, kSteps);
    if (machine.chip.pc >= kProgram.size()) std::abort();
    return 0;
}
