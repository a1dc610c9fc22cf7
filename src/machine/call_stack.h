// The call stack as the program builds it: a frame for each ACALL/LCALL and
// each interrupt taken, dropped again by RET/RETI. The execution loop feeds
// it while one is attached to the machine (Machine::callStack); nothing is
// guessed from the stack bytes.
//
// Programs may move SP or return through an address they pushed. A frame
// lives while its return address is on the stack: a return or a call drops
// every frame whose slots lie at or above the new stack pointer, so the
// frames follow SP whatever the program does. A return that lands elsewhere
// than its frame expected is counted as a resynchronisation; a frame whose
// return address is no longer on the stack (popped, or overwritten) is
// reported as unknown.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvel {

struct ChipState;
namespace snapshot_fields {
template <class S> struct FieldList;
}

struct CallFrame {
    uint16_t site = 0;     // the call instruction, or the instruction an interrupt followed
    uint16_t entry = 0;    // the called address or the interrupt vector
    uint16_t returnTo = 0; // the address pushed on the stack
    uint8_t stackTop = 0;  // SP after the return address was pushed (its high byte)
    bool interrupt = false;
    bool operator==(const CallFrame&) const = default;

    // SP once the frame's RET or RETI has taken its return address.
    uint8_t stackAfterReturn() const { return uint8_t(stackTop - 2); }
};

// A frame as the chip shows it now.
struct FrameView {
    CallFrame frame;
    bool known = true; // the stack still holds the frame's return address
};

class CallStack {
public:
    // The deepest a stack of 256 bytes holds: two bytes a frame.
    static constexpr int kMaxFrames = 128;

    void clear() { depth_ = 0, resyncs_ = 0; }

    // From the execution loop, after the instruction (and the vectoring
    // that followed it, if any). `sp` is the stack pointer after the
    // instruction itself.
    void called(uint16_t site, uint16_t entry, uint16_t returnTo, uint8_t sp);
    void interrupted(uint16_t site, uint16_t vector, uint16_t returnTo, uint8_t sp);
    void returned(uint16_t to, uint8_t sp);

    int depth() const { return depth_; }
    const CallFrame& frame(int i) const { return frames_[std::size_t(i)]; } // 0 = outermost
    // Returns that did not land where their frame's return address pointed,
    // or that dropped more than one frame.
    uint32_t resyncs() const { return resyncs_; }

    // The frames innermost first, each marked known while the stack still
    // holds its return address at its place.
    std::vector<FrameView> frames(const ChipState& chip) const;

bool operator==(const CallStack&) const = default;

private:
    // The snapshot's field table (machine/snapshot_fields.h) lists the
    // members below.
    template <class S> friend struct snapshot_fields::FieldList;

    void push(const CallFrame& frame);
    // Drops the frames whose return address lies at or above `sp` + 1.
    int dropAbove(uint8_t sp);

    std::array<CallFrame, kMaxFrames> frames_{};
    int depth_ = 0;
    uint32_t resyncs_ = 0;
};

} // namespace quorvel
