// Exception stops: faults a run stops at before the instruction that would
// commit them. The instructions that may commit one are found by their
// opcodes in program memory and join the run's address stops, so the
// execution loop looks at nothing more; at such an address the session
// works out whether this time the fault happens.
#include "debug/debug_session.h"

#include "chip/eeprom_watchdog.h"
#include "chip/sfr.h"
#include "machine/sim_thread.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace quorvel {

namespace {

constexpr std::array<ExceptionStopInfo, kExceptionStops> kExceptionStopInfo{{
    {ExceptionStop::StackOverflow, "stack-overflow", "Stack overflow into used RAM"},
    {ExceptionStop::UndefinedOpcode, "undefined-opcode", "Undefined opcode A5H"},
    {ExceptionStop::MovxBeyondMemory, "movx-beyond-memory", "MOVX beyond the external data memory"},
    {ExceptionStop::WatchdogReset, "watchdog-reset", "Watchdog reset"},
}};

constexpr uint8_t kPush = 0xC0, kLcall = 0x12, kUndefined = 0xA5;
constexpr bool isAcall(uint8_t op) { return (op & 0x1F) == 0x11; }
// MOVX A,@DPTR; MOVX @DPTR,A; MOVX A,@Ri; MOVX @Ri,A.
constexpr bool isMovx(uint8_t op) { return (op & 0xEC) == 0xE0 && (op & 0x03) != 0x01; }
// The interrupt vectors: where an interrupt's pushes are seen, after them.
constexpr std::array<uint16_t, 7> kVectors{0x03, 0x0B, 0x13, 0x1B, 0x23, 0x2B, 0x33};

// The bytes an instruction puts on the stack.
int pushedBytes(uint8_t op) {
    if (op == kPush) return 1;
    if (op == kLcall || isAcall(op)) return 2;
    return 0;
}

std::string hexText(unsigned value, int digits) {
    char text[8];
    std::snprintf(text, sizeof text, "%0*XH", digits, value);
    return text;
}

} // namespace

std::span<const ExceptionStopInfo> exceptionStopTable() { return kExceptionStopInfo; }

void DebugSession::setExceptionStops(std::vector<ExceptionStop> stops) {
    exceptionStops_ = std::move(stops);
    const auto on = [this](ExceptionStop s) {
        return std::find(exceptionStops_.begin(), exceptionStops_.end(), s) != exceptionStops_.end();
    };
    exceptionAddresses_.reset();
    const ChipState& chip = machine_.chip;
    for (uint32_t address = 0; address <= chip.codeLimit; ++address) {
        const uint8_t op = chip.readCode(uint16_t(address));
        if ((on(ExceptionStop::UndefinedOpcode) && op == kUndefined) ||
            (on(ExceptionStop::MovxBeyondMemory) && isMovx(op)) ||
            (on(ExceptionStop::StackOverflow) && pushedBytes(op)))
            exceptionAddresses_.set(address);
    }
    if (on(ExceptionStop::StackOverflow))
        for (uint16_t vector : kVectors) exceptionAddresses_.set(vector);
    // The internal RAM the program's C variables hold.
    variableBytes_.assign(256, false);
    if (variables_)
        for (const std::string& name : globalNames()) {
            const CEvaluation e = evaluate(name);
            if (e.value && e.value->place && e.value->place->space == CSpace::Iram)
                for (uint16_t byte : e.value->place->bytes)
                    if (byte < 256) variableBytes_[byte] = true;
        }
    runAddresses_ = lineBreaks_ | exceptionAddresses_;
}

StopConditions DebugSession::runStopConditions() {
    StopConditions stops = stopConditions();
    stops.watchdogReset = std::find(exceptionStops_.begin(), exceptionStops_.end(), ExceptionStop::WatchdogReset) !=
                          exceptionStops_.end();
    if (exceptionAddresses_.none()) return stops;
    // The line breaks may have changed since the exception stops were set.
    runAddresses_ = lineBreaks_ | exceptionAddresses_;
    stops.addresses = &runAddresses_;
    return stops;
}

bool DebugSession::addressStopHolds(uint16_t pc, const RunLimits& limits, DebugRun& run) {
    if (exceptionAddresses_[pc] && exceptionHolds(pc, run)) return true;
    return lineBreaks_[pc] && codeBreakHolds(pc, limits, run);
}

DebugRun DebugSession::threadRunEnded(StopReason reason, const RunLimits& limits, bool& goesOn) {
    DebugRun run;
    goesOn = false;
    const uint16_t pc = machine_.chip.pc;
    switch (reason) {
    case StopReason::PcOutOfRange: run.stop = DebugStop::PcOutOfRange; break;
    case StopReason::Watchpoint: stopped(RunResult{.cause = StopCause::Watchpoint}, run); break;
    case StopReason::WatchdogReset: stopped(RunResult{.cause = StopCause::WatchdogReset}, run); break;
    case StopReason::Condition:
        // The thread stops as the program counter arrives at a code
        // breakpoint's address; the breakpoints there decide.
        if (lineBreaks_[pc] || exceptionAddresses_[pc]) {
            run.stop = DebugStop::BreakLine;
            goesOn = !addressStopHolds(pc, limits, run);
        } else if (untilPc && *untilPc == pc) {
            run.stop = DebugStop::UntilPc;
        } else {
            run.stop = DebugStop::Breakpoint;
        }
        break;
    case StopReason::None:
    case StopReason::User: run.stop = DebugStop::Interrupted; break;
    }
    last_ = run;
    return run;
}

bool DebugSession::exceptionHolds(uint16_t pc, DebugRun& run) const {
    const ChipState& chip = machine_.chip;
    const uint8_t op = chip.readCode(pc);
    const auto on = [this](ExceptionStop s) {
        return std::find(exceptionStops_.begin(), exceptionStops_.end(), s) != exceptionStops_.end();
    };
    const auto say = [&run](ExceptionStop stop, std::string text) {
        run.exception = stop;
        run.exceptionText = std::move(text);
        return true;
    };
    if (on(ExceptionStop::UndefinedOpcode) && op == kUndefined)
        return say(ExceptionStop::UndefinedOpcode, "the undefined opcode A5H at " + hexText(pc, 4));
    if (on(ExceptionStop::MovxBeyondMemory) && isMovx(op)) {
        const bool viaDptr = (op & 0x02) == 0;
        const bool secondDptr = chip.dualDptr && (chip.sfr(sfr::WMCON) & sfr::bits::DPS);
        const uint16_t address =
            viaDptr ? (secondDptr ? chip.dptr1() : chip.dptr())
                    : uint16_t(chip.sfr(sfr::P2) << 8 | chip.iram[chip.bankBase() + (op & 1)]);
        const bool eeprom = chip.hasEeprom() && (chip.sfr(sfr::WMCON) & sfr::bits::EEMEN) && address < 2048;
        if (!eeprom && (!chip.hasXdata() || address > chip.xdataLimit))
            return say(ExceptionStop::MovxBeyondMemory,
                       "MOVX at " + hexText(pc, 4) + " reaches external data address " + hexText(address, 4) +
                           (chip.hasXdata() ? ", past the last one (" + hexText(chip.xdataLimit, 4) + ")"
                                            : ", with no external data memory configured"));
    }
    if (on(ExceptionStop::StackOverflow)) {
        const unsigned sp = chip.sfr(sfr::SP);
        // Before a push or call: the bytes it will write; at a vector: the
        // two an interrupt has just written.
        const int pushes = pushedBytes(op);
        const bool atVector = std::find(kVectors.begin(), kVectors.end(), pc) != kVectors.end();
        const unsigned first = pushes ? sp + 1 : sp + 0xFF; // at a vector: SP - 1, mod 256
        const unsigned count = pushes ? unsigned(pushes) : (atVector ? 2u : 0u);
        for (unsigned i = 0; i < count; ++i) {
            const unsigned address = first + i;
            const bool wraps = pushes ? address > 0xFF : sp <= 1;
            if (wraps || variableBytes_[address & 0xFF])
                return say(ExceptionStop::StackOverflow,
                           "stack overflow at " + hexText(pc, 4) + ": SP " + hexText(sp, 2) + " puts a byte at " +
                               hexText(address & 0xFF, 2) +
                               (wraps ? ", past the top of internal RAM" : ", which a C variable holds"));
        }
    }
    return false;
}

} // namespace quorvel
