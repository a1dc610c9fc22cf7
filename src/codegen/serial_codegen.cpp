#include "codegen/serial_codegen.h"

#include <cstdlib>

namespace quorvel {

namespace {

constexpr bool timerMode(int mode) { return mode == 1 || mode == 3; }

// One rate with one generator: the reload count n rounded from a tenth, the
// reload value and whether the achieved rate lies within 5 per cent.
struct BaudEntry {
    bool available;
    uint16_t reload;
};

BaudEntry baudEntry(uint32_t rate, uint32_t frequencyHz, bool timer2, bool smod) {
    const uint64_t f = frequencyHz;
    const uint64_t k = smod ? 2 : 1;
    const uint64_t x = timer2 ? f * 10 / (32 * uint64_t(rate)) : k * f * 10 / (384 * uint64_t(rate));
    const uint64_t n = x / 10 + (x % 10 >= 5 ? 1 : 0);
    const uint64_t limit = timer2 ? 65536 : 256;
    if (n == 0 || n >= limit) return {false, 0};
    const uint64_t achieved = timer2 ? f / (n * 32) : k * f / (n * 384);
    const uint64_t diff = achieved > rate ? achieved - rate : rate - achieved;
    const bool near = diff * 1000 / rate < 51;
    return {near, uint16_t(limit - n)};
}

} // namespace

bool serialTimer2Offered(DeviceKind kind) {
    switch (kind) {
    case DeviceKind::AT89C52:
    case DeviceKind::AT89C55:
    case DeviceKind::AT89S53:
    case DeviceKind::AT89S8252:
    case DeviceKind::I8032: return true;
    default: return false;
    }
}

void applySerialDevice(SerialCodeGenSettings& s, DeviceKind kind) {
    if (!serialTimer2Offered(kind)) s.options &= uint8_t(~kSerialGenTimer2);
}

void computeBaudTable(SerialCodeGenSettings& s, uint32_t frequencyHz) {
    const bool timer2 = s.options & kSerialGenTimer2;
    const bool smod = s.options & kSerialGenSmod;
    for (int i = 0; i < kBaudRateCount; ++i) {
        const BaudEntry e = baudEntry(kBaudRates[size_t(i)], frequencyHz, timer2, smod);
        s.available[size_t(i)] = e.available;
        s.reload[size_t(i)] = e.reload;
    }
    int index = s.baudIndex < 0 || s.baudIndex >= kBaudRateCount ? 0 : s.baudIndex;
    while (index < kBaudRateCount && !s.available[size_t(index)]) ++index;
    s.baudIndex = index < kBaudRateCount ? index : kNoBaudRate;
}

std::string serialModeDescription(uint8_t options) {
    switch (serialGenMode(options)) {
    case 0: return "Mode 0 - Shift Register : Baudrate will be fixed at Fosc/12.";
    case 1: return "Mode 1 - 8-Bit UART : Baudrate will be variable(Set by Timer).";
    case 2:
        return options & kSerialGenSmod ? "Mode 2 - 9-Bit UART : Baudrate will be fixed(Fosc/32)."
                                        : "Mode 2 - 9-Bit UART : Baudrate will be fixed(Fosc/64).";
    default: return "Mode 3 - 9-Bit UART : Baudrate will be variable(Set by Timer).";
    }
}

SerialDialogEnabling serialDialogEnabling(const SerialCodeGenSettings& s, DeviceKind kind) {
    const uint8_t o = s.options;
    const int mode = serialGenMode(o);
    const bool init = o & kSerialGenInit;
    const bool any = o & (kSerialGenInit | kSerialGenReceive | kSerialGenTransmit);
    SerialDialogEnabling e{};
    e.modeRadios = any;
    e.generate = any;
    if (!init) return e;
    e.sm2 = mode != 0;
    e.generator = timerMode(mode);
    e.timer2 = e.generator && serialTimer2Offered(kind);
    e.smod = mode == 2 || (timerMode(mode) && !(o & kSerialGenTimer2));
    e.baudRadios = timerMode(mode);
    return e;
}

uint8_t serialControlByte(uint8_t options) {
    return uint8_t(0x10 + serialGenMode(options) * 0x40 + (options & kSerialGenSm2 ? 0x20 : 0));
}

SerialGeneration generateSerialCode(const SerialCodeGenSettings& s) {
    SerialGeneration g;
    const std::string_view t = codeTemplate(TemplateId::Serial);
    const uint8_t o = s.options;
    const int mode = serialGenMode(o);
    const uint8_t scon = serialControlByte(o);
    const bool smod = o & kSerialGenSmod;
    if (o & kSerialGenInit) {
        if (mode == 0) {
            appendSection(g.code, t, 0, {SlotFill::constant(scon % 32)});
        } else if (mode == 2) {
            appendSection(g.code, t, smod ? 1 : 2, {SlotFill::constant(scon)});
        } else {
            if (s.baudIndex < 0 || s.baudIndex >= kBaudRateCount || !s.available[size_t(s.baudIndex)]) {
                g.message = errorMessage("ERROR", "No Baudrate Selected");
                g.code = {};
                return g;
            }
            const uint16_t reload = s.reload[size_t(s.baudIndex)];
            if (o & kSerialGenTimer2)
                appendSection(g.code, t, 5,
                              {SlotFill::constant(scon), SlotFill::constant(uint8_t(reload >> 8)),
                               SlotFill::constant(uint8_t(reload))});
            else
                appendSection(g.code, t, smod ? 4 : 3,
                              {SlotFill::constant(scon), SlotFill::constant(uint8_t(reload))});
        }
    }
    const bool nineBit = mode >= 2;
    if (o & kSerialGenReceive) appendSection(g.code, t, nineBit ? 7 : 6);
    if (o & kSerialGenTransmit) appendSection(g.code, t, nineBit ? 9 : 8);
    return g;
}

} // namespace quorvel
