// Point LEDs and seven-segment digits evaluated from the port latches,
// against segment patterns written out by hand: free run against single
// step, decoders, BCD shapes and fixed levels (the generated drivers' runs
// show every wiring).
#include "modules/led_display.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// Segment bits a..g, dp.
constexpr uint8_t a = 0x01, b = 0x02, c = 0x04, d = 0x08, e = 0x10, f = 0x20, g = 0x40, dp = 0x80;
constexpr uint8_t kTwo = a | b | g | e | d;
constexpr uint8_t kSeven = a | b | c;
constexpr uint8_t kEight = a | b | c | d | e | f | g;

uint32_t ports(uint8_t p0, uint8_t p1, uint8_t p2, uint8_t p3) {
    return uint32_t(p0) | uint32_t(p1) << 8 | uint32_t(p2) << 16 | uint32_t(p3) << 24;
}

// Segments a..dp on P1.0-P1.7; digit selects (or decoder inputs) on P3.0 up.
ModuleSettings multiplexedSegments(uint8_t options, int digits) {
    ModuleSettings s;
    s.LedSevenSegment = 1;
    s.LedOptions = options;
    s.LedDigitCount = uint8_t(digits);
    for (int k = 0; k < 8; ++k) s.LedLines[size_t(k)] = PinRef(0x10 + k);
    for (int j = 0; j < 8; ++j) s.LedLines[size_t(8 + j)] = PinRef(0x30 + j);
    return s;
}

// BCD A-D on P1.0-P1.3, dot on P1.4; selects (or decoder inputs) on P3.0 up.
ModuleSettings multiplexedBcd(uint8_t options, int digits) {
    ModuleSettings s;
    s.LedSevenSegment = 1;
    s.LedOptions = uint8_t(options | kLedBcd);
    s.LedDigitCount = uint8_t(digits);
    for (int k = 0; k < 5; ++k) s.LedLines[size_t(k)] = PinRef(0x10 + k);
    for (int j = 0; j < 8; ++j) s.LedLines[size_t(5 + j)] = PinRef(0x30 + j);
    return s;
}

TEST(LedDisplay, PointLedsLightAtTheirActiveLevel) {
    ModuleSettings s;
    s.LedConnected = {0x00, 0x03, 0x00, 0x80}; // P1.0, P1.1, P3.7
    s.LedActiveHigh = {0x00, 0x01, 0x00, 0x00}; // only P1.0 lights at 1
    LedDigitMemory memory{};
    LedEvaluation low = evaluateLeds(s, ports(0xFF, 0x00, 0xFF, 0xFF), memory, false);
    EXPECT_EQ(low.pointConnected, (1u << 8) | (1u << 9) | (1u << 31));
    EXPECT_EQ(low.pointLit, 1u << 9); // P1.1 (active low) at 0; P3.7 at 1 stays dark
    LedEvaluation high = evaluateLeds(s, ports(0x00, 0x03, 0x00, 0x00), memory, false);
    EXPECT_EQ(high.pointLit, (1u << 8) | (1u << 31));
    EXPECT_EQ(high.digitCount, 0); // no seven-segment display
}

TEST(LedDisplay, MultiplexedSegmentsInternalSelection) {
    ModuleSettings s = multiplexedSegments(0, 4); // common anode, select level 0
    LedDigitMemory memory{};
    // Scanning "7" on digit 1 and "2" on digit 2 (segments low-active).
    evaluateLeds(s, ports(0, uint8_t(~kSeven), 0, 0xFE), memory, true);
    LedEvaluation run = evaluateLeds(s, ports(0, uint8_t(~kTwo), 0, 0xFD), memory, true);
    EXPECT_EQ(run.digits[0], kSeven); // remembered during a free run
    EXPECT_EQ(run.digits[1], kTwo);
    EXPECT_EQ(run.digits[2], 0x00);
    LedEvaluation step = evaluateLeds(s, ports(0, uint8_t(~kTwo), 0, 0xFD), memory, false);
    EXPECT_EQ(step.digits[0], 0x00); // single stepping shows only the selected digit
    EXPECT_EQ(step.digits[1], kTwo);
}

// One digit selected (by a decoder or by its own line) shows its segments
// and every other digit stays dark.
TEST(LedDisplay, SelectedDigitPerWiring) {
    const uint8_t threeToEight = 1 << kLedDecoderShift, fourToSixteen = 2 << kLedDecoderShift;
    const struct {
        const char* name;
        ModuleSettings settings;
        uint32_t latches;
        int digit;
        uint8_t segments;
    } cases[] = {
        {"3 to 8: C, B, A = 1, 0, 1", multiplexedSegments(kLedExternalMux | threeToEight | kLedCommonCathode, 8),
         ports(0, kSeven, 0, 0x05), 5, kSeven},
        {"2 to 4 ignores P3.2", multiplexedSegments(kLedExternalMux | kLedCommonCathode, 4), ports(0, kTwo, 0, 0x05), 1,
         kTwo},
        {"stored decoder 3 acts as 2 to 4", multiplexedSegments(kLedExternalMux | kLedDecoderMask | kLedCommonCathode, 4),
         ports(0, kTwo, 0, 0x07), 3, kTwo},
        {"BCD, anode: the dot lights at 0", multiplexedBcd(0, 3), ports(0, 0x02, 0, 0xFE), 0, kTwo | dp},
        {"BCD code 15 is blank", multiplexedBcd(0, 3), ports(0, 0x1F, 0, 0xFD), 1, 0},
        {"BCD, cathode: the dot lights at 1", multiplexedBcd(kLedCommonCathode, 3), ports(0, 0x17, 0, 0xFB), 2,
         kSeven | dp},
        {"BCD through 4 to 16: 1010", multiplexedBcd(kLedExternalMux | fourToSixteen | kLedCommonCathode, 16),
         ports(0, 0x08, 0, 0x0A), 10, kEight},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LedDigitMemory memory{};
        const LedEvaluation out = evaluateLeds(c.settings, c.latches, memory, false);
        for (int digit = 0; digit < out.digitCount; ++digit)
            EXPECT_EQ(out.digits[size_t(digit)], digit == c.digit ? c.segments : 0) << "digit " << digit;
    }
}

// BCD, three digits of 5 lines each: the decoder shapes for 10 to 14; a
// free run remembers nothing without multiplexing.
TEST(LedDisplay, NonMultiplexedBcdShapes) {
    ModuleSettings s;
    s.LedSevenSegment = 1;
    s.LedOptions = kLedNonMultiplexed | kLedBcd | kLedCommonCathode;
    s.LedDigitCount = 3;
    for (int k = 0; k < 15; ++k) s.LedLines[size_t(k)] = PinRef((k < 8 ? 0x10 : 0x20) + k % 8);
    LedDigitMemory memory{};
    // Digit1 = 10 with dot (P1.0-P1.4), Digit2 = 12 with dot (P1.5-P2.1),
    // Digit3 = 14 without (P2.2-P2.6).
    LedEvaluation out = evaluateLeds(s, ports(0, 0x9A, 0x3B, 0), memory, true);
    EXPECT_EQ(memory, LedDigitMemory{});
    EXPECT_EQ(out.digits[0], (d | e | g) | dp);
    EXPECT_EQ(out.digits[1], b | f | g | dp); // 12: dot line P2.1 = 1
    EXPECT_EQ(out.digits[2], d | e | f | g);
}

TEST(LedDisplay, FixedLevelsAndOversizedCounts) {
    ModuleSettings s = multiplexedSegments(kLedCommonCathode, 2);
    s.LedSelectLevel = 0;
    s.LedLines[8] = kPinGnd;     // Digit1 always selected
    s.LedLines[9] = kPinPlus5V;  // Digit2 never
    s.LedLines[0] = kPinPlus5V;  // segment a always on
    LedDigitMemory memory{};
    LedEvaluation out = evaluateLeds(s, ports(0, 0x00, 0, 0), memory, false);
    EXPECT_EQ(out.digits[0], a);
    EXPECT_EQ(out.digits[1], 0);

    // Sixteen digits stored for a non-multiplexed segment display: only as
    // many as the 45-line table holds are evaluated.
    s.LedOptions = kLedNonMultiplexed;
    s.LedDigitCount = 16;
    out = evaluateLeds(s, 0, memory, false);
    EXPECT_EQ(out.digitCount, 5);
    s.LedOptions = kLedNonMultiplexed | kLedBcd;
    EXPECT_EQ(evaluateLeds(s, 0, memory, false).digitCount, 9);
}

} // namespace
