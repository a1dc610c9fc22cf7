#include "modules/led_display.h"

namespace quorvel {

const std::array<SegmentPattern, 16> kBcdSegments{0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07,
                                                  0x7F, 0x6F, 0x58, 0x4C, 0x62, 0x69, 0x78, 0x00};

namespace {

bool lineLevel(const ModuleSettings& s, int index, uint32_t latches) {
    return fixedLevelLine(s.LedLines[size_t(index)], latches);
}

// Segment input on lines first .. first+7 (a .. dp). A common-anode segment
// lights at level 0.
SegmentPattern segmentInput(const ModuleSettings& s, int first, uint32_t latches) {
    uint8_t pattern = 0;
    for (int k = 0; k < 8; ++k)
        if (lineLevel(s, first + k, latches)) pattern |= uint8_t(1u << k);
    return (s.LedOptions & kLedCommonCathode) ? pattern : uint8_t(~pattern);
}

// BCD input on lines first .. first+3 (A .. D), dot point on first+4. The
// decoder drives the segments the same way for both display types; the dot
// lights at level 1 for common cathode and at level 0 for common anode.
SegmentPattern bcdInput(const ModuleSettings& s, int first, uint32_t latches) {
    int code = 0;
    for (int k = 0; k < 4; ++k)
        if (lineLevel(s, first + k, latches)) code |= 1 << k;
    uint8_t pattern = kBcdSegments[size_t(code)];
    if (!lineLevel(s, first + 4, latches)) pattern |= 0x80;
    if (s.LedOptions & kLedCommonCathode) pattern ^= 0x80;
    return pattern;
}

} // namespace

LedEvaluation evaluateLeds(const ModuleSettings& s, uint32_t latches, LedDigitMemory& memory,
                           bool freeRun) {
    LedEvaluation e;
    e.pointConnected = portMaskWord(s.LedConnected);
    const uint32_t activeHigh = portMaskWord(s.LedActiveHigh);
    e.pointLit = e.pointConnected & ~(latches ^ activeHigh);

    if (!(s.LedSevenSegment & 1)) return e;
    const int count = ledUsableDigits(s);
    e.digitCount = count;

    const LedWiring wiring = ledWiring(s.LedOptions);
    if (wiring == LedWiring::DirectSegment) {
        for (int d = 0; d < count; ++d) e.digits[size_t(d)] = segmentInput(s, 8 * d, latches);
        return e;
    }
    if (wiring == LedWiring::DirectBcd) {
        for (int d = 0; d < count; ++d) e.digits[size_t(d)] = bcdInput(s, 5 * d, latches);
        return e;
    }

    // Multiplexed: one set of shared data lines, then the digit selects or
    // the decoder inputs.
    const bool bcd = wiring == LedWiring::MultiplexedBcd || wiring == LedWiring::MultiplexedBcdDecoder;
    const bool decoder = wiring == LedWiring::MultiplexedSegmentDecoder ||
                         wiring == LedWiring::MultiplexedBcdDecoder;
    const int selectBase = bcd ? 5 : 8;
    const SegmentPattern shared = bcd ? bcdInput(s, 0, latches) : segmentInput(s, 0, latches);

    int decoded = -1;
    if (decoder) {
        decoded = 0;
        for (int j = 0; j < ledDecoderInputs(s.LedOptions); ++j)
            if (lineLevel(s, selectBase + j, latches)) decoded |= 1 << j;
    }
    const bool selectLevel = s.LedSelectLevel & 1;
    for (int d = 0; d < count; ++d) {
        const bool selected =
            decoder ? d == decoded : lineLevel(s, selectBase + d, latches) == selectLevel;
        if (selected) memory[size_t(d)] = shared;
        e.digits[size_t(d)] = selected ? shared : freeRun ? memory[size_t(d)] : 0;
    }
    return e;
}

} // namespace quorvel
