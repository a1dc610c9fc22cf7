// The registers the register window shows and edits: where each value lives
// (an SFR byte, a pair of SFR bytes, the current-instruction address, a RAM
// byte or a register of the current bank), reading them from a small image of
// the chip, and writing an edited value with what follows an edit: the
// snapshot keeps the new value so it is not drawn as changed, P follows A, a
// SCON edit tells the serial-port window.
#pragma once

#include "chip/chip_state.h"

#include <array>
#include <cstdint>

namespace quorvel {

struct ChangeSnapshot;

enum class RegisterKind : uint8_t {
    Sfr,          // one SFR byte at `address`
    SfrPair,      // 16 bits: high byte at `address`, low byte at `low`
    Pc,           // the current-instruction address
    Ram,          // internal RAM byte at `address` (the banks' R0-R7)
    BankRegister, // register `address` (0-7) of the bank PSW selects
};

struct RegisterRef {
    RegisterKind kind = RegisterKind::Sfr;
    uint8_t address = 0;
    uint8_t low = 0;

    // Hex digits of the value: 4 for PC and the SFR pairs, else 2.
    constexpr int digits() const {
        return kind == RegisterKind::SfrPair || kind == RegisterKind::Pc ? 4 : 2;
    }
    constexpr bool operator==(const RegisterRef&) const = default;
};

constexpr RegisterRef sfrRegister(uint8_t address) {
    return {RegisterKind::Sfr, address, 0};
}
constexpr RegisterRef sfrPair(uint8_t high, uint8_t low) {
    return {RegisterKind::SfrPair, high, low};
}
constexpr RegisterRef pcRegister() {
    return {RegisterKind::Pc, 0, 0};
}
constexpr RegisterRef ramRegister(uint8_t address) {
    return {RegisterKind::Ram, address, 0};
}
constexpr RegisterRef bankRegister(uint8_t n) {
    return {RegisterKind::BankRegister, n, 0};
}

// What a register view needs of the chip or of a snapshot: the SFR bytes, the
// four register banks and the current-instruction address. Small enough to
// copy on every refresh, so painting never touches the machine.
struct RegisterImage {
    std::array<uint8_t, 128> sfrs{};
    std::array<uint8_t, 32> banks{}; // internal RAM 0x00-0x1F
    uint16_t pc = 0;

    bool operator==(const RegisterImage&) const = default;
};

// Thread: the user-interface thread under the run controller's pause guard.
RegisterImage registerImage(const ChipState& chip);
// Banks the snapshot does not hold (none on any device) read as 0.
RegisterImage registerImage(const ChangeSnapshot& snapshot);

// A register's value in an image; R0-R7 of the bank the image's PSW selects.
uint16_t registerValue(const RegisterImage& image, RegisterRef reg);

// `value` with hex digit `position` (0 = leftmost of `digits`) replaced by
// `nibble`.
constexpr uint16_t withNibble(uint16_t value, int digits, int position, uint8_t nibble) {
    const int shift = 4 * (digits - 1 - position);
    return uint16_t((value & ~(0xFu << shift)) | (unsigned(nibble & 0xFu) << shift));
}

// Writes an edited register: the SFR byte (the latch for a port), the RAM
// byte, or the current-instruction address together with the program
// counter. Then P is recomputed from A, the snapshot takes the register's
// new value, and a SCON edit is reported through chip.events.
// Thread: the user-interface thread under the run controller's pause guard.
void writeRegister(ChipState& chip, ChangeSnapshot& snapshot, RegisterRef reg, uint16_t value);

} // namespace quorvel
