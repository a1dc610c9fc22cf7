#include "machine/register_edit.h"

#include "machine/change_snapshot.h"

#include <algorithm>

namespace quorvel {

namespace {

// The RAM address of a bank register under the PSW in `sfrs`.
uint8_t bankAddress(const std::array<uint8_t, 128>& sfrs, uint8_t n) {
    return uint8_t((sfrs[sfr::sfrIndex(sfr::PSW)] & 0x18) + (n & 7));
}

} // namespace

RegisterImage registerImage(const ChipState& chip) {
    RegisterImage image;
    image.sfrs = chip.sfrs;
    std::copy_n(chip.iram.begin(), image.banks.size(), image.banks.begin());
    image.pc = chip.side.instructionAddress;
    return image;
}

RegisterImage registerImage(const ChangeSnapshot& snapshot) {
    RegisterImage image;
    image.sfrs = snapshot.sfrs;
    std::copy_n(snapshot.iram.begin(), std::min(snapshot.iram.size(), image.banks.size()),
                image.banks.begin());
    image.pc = snapshot.side.instructionAddress;
    return image;
}

uint16_t registerValue(const RegisterImage& image, RegisterRef reg) {
    switch (reg.kind) {
    case RegisterKind::Sfr: return image.sfrs[sfr::sfrIndex(reg.address)];
    case RegisterKind::SfrPair:
        return uint16_t(image.sfrs[sfr::sfrIndex(reg.address)] << 8 |
                        image.sfrs[sfr::sfrIndex(reg.low)]);
    case RegisterKind::Pc: return image.pc;
    case RegisterKind::Ram: return reg.address < image.banks.size() ? image.banks[reg.address] : 0;
    case RegisterKind::BankRegister: return image.banks[bankAddress(image.sfrs, reg.address)];
    }
    return 0;
}

void writeRegister(ChipState& chip, ChangeSnapshot& snapshot, RegisterRef reg, uint16_t value) {
    auto keepRam = [&snapshot](uint8_t address, uint8_t byte) {
        if (address < snapshot.iram.size()) snapshot.iram[address] = byte;
    };
    switch (reg.kind) {
    case RegisterKind::Sfr: chip.setSfr(reg.address, uint8_t(value)); break;
    case RegisterKind::SfrPair:
        chip.setSfr(reg.address, uint8_t(value >> 8));
        chip.setSfr(reg.low, uint8_t(value));
        break;
    case RegisterKind::Pc:
        chip.pc = value;
        chip.side.instructionAddress = value;
        snapshot.side.instructionAddress = value;
        break;
    case RegisterKind::Ram:
        chip.iram[reg.address] = uint8_t(value);
        keepRam(reg.address, uint8_t(value));
        break;
    case RegisterKind::BankRegister: {
        const uint8_t address = bankAddress(chip.sfrs, reg.address);
        chip.iram[address] = uint8_t(value);
        keepRam(address, uint8_t(value));
        break;
    }
    }
    // The snapshot keeps what the SFRs now hold: for PSW that is the P the
    // accumulator gives, not a typed one.
    if (reg.kind == RegisterKind::Sfr || reg.kind == RegisterKind::SfrPair) {
        snapshot.sfrs[sfr::sfrIndex(reg.address)] = chip.sfr(reg.address);
        if (reg.kind == RegisterKind::SfrPair)
            snapshot.sfrs[sfr::sfrIndex(reg.low)] = chip.sfr(reg.low);
    }
    if (reg == sfrRegister(sfr::SCON) && chip.events) chip.events->sconWritten();
}

} // namespace quorvel
