#include "chip/port_pins.h"

#include <cstdio>

namespace quorvel {

std::string pinRefName(PinRef ref) {
    if (ref == kPinPlus5V) return "+5V";
    if (ref > kPinPlus5V) return "GND";
    char text[8];
    std::snprintf(text, sizeof text, "P%1d.%1d", (ref >> 4) & 0x0F, ref & 7);
    return text;
}

PinRef cleanPinRef(PinRef ref) {
    ref &= uint8_t(~0x88);
    if (ref > 0x40) ref &= 0x07;
    return ref;
}

PinRef cleanFixedLevelPinRef(PinRef ref) {
    if (ref == kPinPlus5V) return kPinPlus5V;
    if (ref > kPinPlus5V) return kPinGnd;
    return cleanPinRef(ref);
}

void PinState::setSetting(int index, uint8_t value) {
    setting[index] = value;
    uint32_t bit = 1u << index;
    ncMask = (value == kInputNC) ? (ncMask | bit) : (ncMask & ~bit);
}

void PinState::applySettings(uint32_t latches) {
    (void)latches;
    for (int i = 0; i < 32; ++i) {
        uint32_t bit = 1u << i;
        switch (setting[i]) {
        case kInput0: levels &= ~bit; break;
        default: levels |= bit; break;
        }
    }
}

} // namespace quorvel
