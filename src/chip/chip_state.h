// The simulated microcontroller's storage: program counter, program memory,
// 256 bytes of internal RAM, the 128 SFR bytes and their side state, external
// data memory, the AT89S8252's on-chip EEPROM, the data-memory overlap window
// and the machine-cycle counter, together with the pin side of the ports and
// the on-chip peripheral state.
//
// Everything that reads or writes these spaces goes through the access
// operations below, which carry the SFR side effects (SBUF starts a
// transmission, SPDR a transfer, SCON/SPCR notify windows, WMCON reads only its
// ready bit, port reads combine latch and pin). Out-of-range reads give 0xFF
// and out-of-range writes are dropped; no access fails.
//
// Threads: written by the thread that executes instructions; the
// user-interface thread writes only while a run is paused.
#pragma once

#include "chip/chip_events.h"
#include "chip/peripheral_state.h"
#include "chip/port_pins.h"
#include "chip/sfr.h"

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

namespace quorvel {

// Kept with the SFR bytes and cleared with them by Reset CPU.
struct SfrSideState {
    uint16_t instructionAddress = 0; // address of the instruction last executed
    uint8_t serialReceiveBuffer = 0; // what SBUF reads return
    uint8_t spiReceiveBuffer = 0;    // what SPDR reads return
    uint8_t spiTransmitShadow = 0;   // byte being shifted out by the SPI unit
    bool operator==(const SfrSideState&) const = default;
};

struct ChipState {
    // ---- storage
    uint16_t pc = 0;
    std::vector<uint8_t> code;          // codeLimit + 1 bytes
    uint16_t codeLimit = 0;             // highest valid program-memory address
    std::array<uint8_t, 256> iram{};    // always 256 bytes
    std::array<uint8_t, 128> sfrs{};    // SFR address 0x80 + i at index i
    SfrSideState side;
    std::vector<uint8_t> xdata;         // xdataLimit + 1 bytes, empty if none
    uint16_t xdataLimit = 0;            // 0: no external data memory
    std::vector<uint8_t> eeprom;        // 2048 bytes on the AT89S8252, else empty
    bool overlapEnabled = false;
    uint16_t overlapStart = 0;
    uint16_t overlapEnd = 0;
    uint32_t cycles = 0;                // machine-cycle counter (the schedule's clock)
    uint32_t cyclesHigh = 0;            // times the counter wrapped past 2^32
    uint8_t eepromReady = sfr::bits::RDY; // RDY while ready, 0 while a write is going on

    // ---- device properties the access paths depend on
    bool dualDptr = false;
    float cycleTimeUs = 1.0f;           // machine-cycle time in microseconds

    // ---- neighbours
    PinState pins;
    PeripheralState periph;
    ChipEvents* events = nullptr;       // not owned; may be null

    // ---- memory setup
    // Sizes all memories for the given limits (arithmetic in 32 bits: a limit
    // of 0xFFFF means 65536 bytes). New bytes are 0xFF for code, 0 elsewhere.
    void allocate(uint16_t newCodeLimit, uint16_t newXdataLimit, bool withEeprom);
    bool hasXdata() const { return xdataLimit != 0 && !xdata.empty(); }
    bool hasEeprom() const { return !eeprom.empty(); }

    // ---- plain SFR storage
    uint8_t& sfr(uint8_t address) { return sfrs[address - 0x80u]; }
    // An SFR written from outside the program (a view's edit, a variable's,
    // a debugger's): the storage takes the value and PSW's parity bit P
    // follows A, as it always does on the chip. The program's own writes
    // take the instruction set's paths.
    void setSfr(uint8_t address, uint8_t value) {
        sfr(address) = value;
        if (address == sfr::ACC || address == sfr::PSW)
            sfrs[0x50] = uint8_t((sfrs[0x50] & ~1u) | (std::popcount(unsigned(sfrs[0x60])) & 1u));
    }
    // The machine cycles counted in 64 bits: about 4.3e9 cycles (71 minutes
    // at 12 MHz) do not wrap it.
    uint64_t cycleCount() const { return uint64_t(cyclesHigh) << 32 | cycles; }
    void setCycleCount(uint64_t count) {
        cycles = uint32_t(count);
        cyclesHigh = uint32_t(count >> 32);
    }
    uint8_t sfr(uint8_t address) const { return sfrs[address - 0x80u]; }
    uint8_t acc() const { return sfrs[0x60]; }
    uint8_t psw() const { return sfrs[0x50]; }
    uint16_t dptr() const { return uint16_t(sfrs[0x03] << 8 | sfrs[0x02]); }
    uint16_t dptr1() const { return uint16_t(sfrs[0x05] << 8 | sfrs[0x04]); }
    // Current register bank base (PSW bits 4-3).
    uint8_t bankBase() const { return sfrs[0x50] & 0x18; }
    uint8_t& reg(int n) { return iram[bankBase() + n]; }
    uint8_t* registerBank() { return iram.data() + bankBase(); }
    // The four port latches packed as the pin model's 32-bit word.
    uint32_t portLatches() const {
        return uint32_t(sfrs[0x00]) | uint32_t(sfrs[0x10]) << 8 | uint32_t(sfrs[0x20]) << 16 |
               uint32_t(sfrs[0x30]) << 24;
    }

    // The level of every port line now, packed like the latches (P0 in bits
    // 0-7): the latch ANDed with the outside level, the latch alone on a line
    // nothing drives. Port reads and the external inputs see it.
    uint32_t pinSideLevels() const { return pins.lineLevels(portLatches()); }

    // ---- access operations
    uint8_t readCode(uint16_t address) const {
        return address > codeLimit ? 0xFF : code[address];
    }
    void writeCode(uint16_t address, uint8_t value) {
        if (address <= codeLimit) code[address] = value;
    }

    // The read path of byte instructions with a direct operand.
    uint8_t readDirect(uint8_t address) {
        if (address < 0x80) return iram[address];
        switch (address) {
        case sfr::P0: return pins.readPort(0, portLatches());
        case sfr::P1: return pins.readPort(1, portLatches());
        case sfr::P2: return pins.readPort(2, portLatches());
        case sfr::P3: return pins.readPort(3, portLatches());
        case sfr::SPDR: return readSpdr();
        case sfr::WMCON: return uint8_t((sfr(sfr::WMCON) | eepromReady) & sfr::bits::RDY);
        case sfr::SBUF: return side.serialReceiveBuffer;
        default: return sfrs[address - 0x80u];
        }
    }

    // The write path of MOV-type instructions.
    void writeDirect(uint8_t address, uint8_t value) {
        if (address < 0x80) {
            iram[address] = value;
            return;
        }
        switch (address) {
        case sfr::SPDR: writeSpdr(value); break;
        case sfr::SCON:
            sfr(sfr::SCON) = value;
            if (events) events->sconWritten();
            break;
        case sfr::SBUF:
            sfr(sfr::SBUF) = value;
            periph.serial.txState = Transmit::Waiting;
            periph.serial.txBits = 8;
            break;
        case sfr::SPCR:
            sfr(sfr::SPCR) = value;
            if (events) events->spcrWritten();
            break;
        default: sfrs[address - 0x80u] = value; break;
        }
    }

    // Read-modify-write instructions: the stored byte (the latch for ports),
    // no side effects.
    uint8_t readStored(uint8_t address) const {
        return address < 0x80 ? iram[address] : sfrs[address - 0x80u];
    }
    void writeStored(uint8_t address, uint8_t value) {
        if (address < 0x80)
            iram[address] = value;
        else
            sfrs[address - 0x80u] = value;
    }

    // Bit addresses 0x00-0x7F are RAM 0x20-0x2F; 0x80-0xFF are the SFRs at
    // multiples of 8.
    static uint8_t bitByteAddress(uint8_t bit) {
        return bit < 0x80 ? uint8_t(0x20 + (bit >> 3)) : uint8_t(bit & 0xF8);
    }
    // Pin-side bit read (JB, JNB, MOV C,bit, ANL/ORL C,bit).
    bool readBit(uint8_t bit) const {
        if (isPortBit(bit))
            return pins.readBit(pinIndexOfBit(bit), portLatches());
        return readLatchBit(bit);
    }
    // Latch bit read (JBC, CPL bit): always the stored byte.
    bool readLatchBit(uint8_t bit) const {
        return (readStored(bitByteAddress(bit)) >> (bit & 7)) & 1u;
    }
    // The value is taken modulo 2.
    void writeBit(uint8_t bit, unsigned value) {
        uint8_t address = bitByteAddress(bit);
        uint8_t mask = uint8_t(1u << (bit & 7));
        uint8_t byte = readStored(address);
        writeStored(address, (value & 1u) ? uint8_t(byte | mask) : uint8_t(byte & ~mask));
    }

    // MOVX paths, with the on-chip EEPROM and the overlap window.
    uint8_t readXdata(uint16_t address) const;
    void writeXdata(uint16_t address, uint8_t value);

    // Reset CPU: PC 0, SFRs and side state 0, SP 7, ports 0xFF, PSW 1, no
    // interrupt in service. Memories, the cycle counter, pins and the
    // peripherals' state machines stay.
    void reset();

    // Port bits are 0x80-0x87, 0x90-0x97, 0xA0-0xA7, 0xB0-0xB7.
    static bool isPortBit(uint8_t bit) {
        return bit >= 0x80 && bit < 0xB8 && (bit & 0x08) == 0;
    }
    static int pinIndexOfBit(uint8_t bit) { return ((bit - 0x80) >> 4) * 8 + (bit & 7); }

    bool operator==(const ChipState&) const = default;

private:
    uint8_t readSpdr() {
        sfr(sfr::SPSR) = 0;
        return side.spiReceiveBuffer;
    }
    void writeSpdr(uint8_t value);
};

} // namespace quorvel
