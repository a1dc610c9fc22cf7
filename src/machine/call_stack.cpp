#include "machine/call_stack.h"

#include "chip/chip_state.h"

namespace quorvel {

int CallStack::dropAbove(uint8_t sp) {
    int dropped = 0;
    while (depth_ > 0 && frames_[size_t(depth_ - 1)].stackTop > sp) {
        --depth_;
        ++dropped;
    }
    return dropped;
}

void CallStack::push(const CallFrame& frame) {
    // The new return address takes the slots stackTop - 1 and stackTop:
    // frames at or above them are gone (SP was moved down, or wrapped).
    const uint8_t below = uint8_t(frame.stackTop - 2);
    if (frame.stackTop >= 2) {
        if (dropAbove(below) != 0) ++resyncs_;
    } else if (depth_ != 0) {
        depth_ = 0;
        ++resyncs_;
    }
    if (depth_ == kMaxFrames) {
        // Cannot happen while frames follow SP; kept safe all the same.
        for (int i = 1; i < depth_; ++i) frames_[size_t(i - 1)] = frames_[size_t(i)];
        --depth_;
    }
    frames_[size_t(depth_++)] = frame;
}

void CallStack::called(uint16_t site, uint16_t entry, uint16_t returnTo, uint8_t sp) {
    push({site, entry, returnTo, sp, false});
}

void CallStack::interrupted(uint16_t site, uint16_t vector, uint16_t returnTo, uint8_t sp) {
    push({site, vector, returnTo, sp, true});
}

void CallStack::returned(uint16_t to, uint8_t sp) {
    // A return through a pushed address (PUSH, PUSH, RET) pops no frame:
    // its slots lie above every frame's.
    const bool matched = depth_ > 0 && frames_[size_t(depth_ - 1)].returnTo == to &&
                         frames_[size_t(depth_ - 1)].stackTop == uint8_t(sp + 2);
    const int dropped = dropAbove(sp);
    if (dropped > 1 || (dropped == 1 && !matched)) ++resyncs_;
}

std::vector<FrameView> CallStack::frames(const ChipState& chip) const {
    std::vector<FrameView> views;
    views.reserve(size_t(depth_));
    const uint8_t sp = chip.sfr(sfr::SP);
    for (int i = depth_ - 1; i >= 0; --i) {
        const CallFrame& f = frames_[size_t(i)];
        const bool onStack = f.stackTop <= sp && f.stackTop >= 1 &&
                             chip.iram[f.stackTop] == uint8_t(f.returnTo >> 8) &&
                             chip.iram[uint8_t(f.stackTop - 1)] == uint8_t(f.returnTo);
        views.push_back({f, onStack});
    }
    return views;
}

} // namespace quorvel
