// Watchpoints: a run stops after the instruction that wrote a watched byte
// or bit of internal RAM, an SFR, the bit space, external data memory or
// the on-chip EEPROM. The execution loop looks at each watched place after
// every instruction that may have written it while a set is attached to
// the machine (Machine::watchpoints), so a write by any instruction - a bit
// write to its byte, MOVX, PUSH, an interrupt handler's - is caught, as is
// the return address the vectoring of an interrupt pushes. A write to the
// place an instruction names (its operand, @Ri, the stack, MOVX's address)
// stops even when it stores the value the place held; a place changed
// otherwise (A, PSW or SP by an arithmetic instruction, a timer's count, a
// flag a peripheral raised, the EEPROM's timed write) stops when its value
// changes. Reads never stop. Places in internal RAM, the low bit space, external data and
// the EEPROM are compared only after an instruction that may have written
// one of them (by its opcode's write target), so watching them costs little;
// an SFR or one of its bits is compared after every instruction, since the
// peripherals and the implicit A, PSW, B, DPTR and SP writes change them.
#pragma once

#include "chip/chip_state.h"
#include "common/user_message.h"
#include "machine/space_address.h"
#include "tools/opcode_facts.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

struct Machine;

// A watched place: any address form but code memory, which no instruction
// writes.
using WatchSpace = AddressSpace;
using WatchAddress = SpaceAddress;

// What stopped the run: the place, its value before and after (0 or 1 for
// a bit), and the address of the instruction that wrote it.
struct WatchHit {
    int index = -1; // into the set
    WatchAddress place;
    uint8_t oldValue = 0;
    uint8_t newValue = 0;
    uint16_t writerPc = 0;
};

// "iram:7F", "sfr:P1", "bit:20", "xdata:1234", "eeprom:7FF" (hexadecimal
// addresses); checked against the device's memories when added.
std::optional<WatchAddress> parseWatchAddress(std::string_view text, std::string& error);

class Watchpoints {
public:
    // The place must exist on the machine as configured now (internal RAM
    // within the device's, an SFR address 80-FF, external data within its
    // limit, the EEPROM on the parts that have one). The message says why
    // not.
    Validation add(const WatchAddress& place, const Machine& machine);
    void remove(int index);
    void clear();
    const std::vector<WatchAddress>& places() const { return places_; }
    bool empty() const { return places_.empty(); }

    // From the execution loop: takes the current values at the start of a
    // run (the user may have changed them between runs). With `withCalls`,
    // opcodesToLookAt holds the calls and returns too (for the call stack).
    void arm(ChipState& chip, bool withCalls = false);
    // Per opcode, whether an instruction of it may write a watched place, by
    // the kind of its write target: kSkip; kLook (mayHaveWritten decides);
    // or, when the loop can tell without a call, kLookAtDirect (a direct
    // address, operand byte b1), kLookAtIndirect (@Ri of the current bank)
    // or kLookAtStack (the byte at SP and the one below, as PUSH and the
    // calls leave them). Set up by arm.
    static constexpr uint8_t kSkip = 0, kLookAtDirect = 1, kLook = 2, kLookAtIndirect = 3, kLookAtStack = 4;
    const std::array<uint8_t, 256>& opcodesToLookAt() const { return opcodes_; }
    // The execution loop's first look after every instruction, without a
    // call: false when the instruction cannot have written a watched place
    // (then mayHaveWritten would say so too); true sends it on to
    // mayHaveWritten and check.
    struct Filter {
        const uint8_t* opcodes;
        const bool* pairs;    // by opcode and operand byte b1: may write a watched place
        const bool* internal; // by internal RAM address
        bool worthALook(uint8_t op, const uint8_t* operands, const uint8_t* bank, uint8_t sp) const {
            // One look tells most instructions apart: those that write
            // nothing watched, and those that write a direct address.
            if (!pairs[unsigned(op) << 8 | operands[0]]) return false;
            switch (opcodes[op]) {
            case kLookAtIndirect: return internal[bank[op & 1]];
            case kLookAtStack: return internal[sp] || internal[uint8_t(sp - 1)];
            default: return true;
            }
        }
    };
    Filter filter() const { return {opcodes_.data(), pairs_.data(), internal_.data()}; }
    // After the instruction `op` with the operand bytes `operands`, and the
    // vectoring of an interrupt when `vectored` (which pushed the return
    // address): whether they may have written a watched place (never false
    // when they did).
    bool mayHaveWritten(uint8_t op, const uint8_t* operands, const ChipState& c, bool vectored = false) const {
        if (everyInstruction_) return true;
        const uint8_t spNow = c.sfr(sfr::SP);
        if (vectored && (internal_[spNow] || internal_[uint8_t(spNow - 1)])) return true;
        const DataWrite write = kOpcodeWrites[op];
        if (write == DataWrite::None) return false; // most instructions
        const uint8_t bankBase = c.bankBase();
        switch (write) {
        case DataWrite::None: return false;
        case DataWrite::Direct: return direct_[operands[0]];
        case DataWrite::SecondDirect: return direct_[operands[1]];
        case DataWrite::Bit: return direct_[ChipState::bitByteAddress(operands[0])];
        case DataWrite::Indirect: {
            // @Ri may point at Ri itself, which then holds the new value.
            const uint8_t ri = uint8_t(bankBase + (op & 1));
            return internal_[c.iram[ri]] || internal_[ri];
        }
        case DataWrite::Register: return internal_[uint8_t(bankBase + (op & 7))];
        case DataWrite::Stack: {
            const uint8_t sp = uint8_t(spNow - (vectored ? 2 : 0)); // as the instruction left it
            return internal_[sp] || internal_[uint8_t(sp - 1)];
        }
        case DataWrite::ExternalData: return externalData_;
        }
        return true;
    }
    // After the instruction `op` at `writerPc` with the operand bytes
    // `operands` (and the vectoring of an interrupt, when `vectored`): the
    // first watched place it wrote or whose value changed.
    bool check(uint8_t op, const uint8_t* operands, const ChipState& c, uint16_t writerPc, bool vectored);
    // The last stop's details.
    const std::optional<WatchHit>& hit() const { return hit_; }

private:
    struct Cell {
        const uint8_t* byte;
        uint8_t mask;
        uint8_t last;
        int place; // index into places_
    };
    bool changed(size_t index, uint8_t now, uint16_t writerPc);
    void buildFilter(bool withCalls);

    // The filter of mayHaveWritten, set up by arm: direct addresses and
    // internal RAM addresses whose write may change a watched place.
    std::array<bool, 256> direct_{};
    std::array<bool, 0x10000> pairs_{};
    std::array<bool, 256> internal_{};
    std::array<uint8_t, 256> opcodes_{};
    bool externalData_ = false;
    bool everyInstruction_ = false;
    bool filterStale_ = true; // the places changed since the filter was built
    bool filterWithCalls_ = false;
    std::vector<WatchAddress> places_;
    std::vector<Cell> cells_;
    std::optional<WatchHit> hit_;
};

} // namespace quorvel
