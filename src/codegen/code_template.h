// Code-generation templates and the engine that cuts and fills them.
//
// A template is a byte string of 8051 assembler text (CR LF line ends) with
// four marker bytes:
//
//   DAH  starts a section, D9H ends it. Section n (n >= 1) is the text after
//        the n-th DAH that stands after the template's first byte, up to the
//        next D9H; section 0 runs from the template's second byte up to the
//        first D9H. Text between a D9H and the next DAH is never copied.
//   85H  port-line slot. A full slot is 4 bytes and becomes "P1.5" (the slot's
//        third byte, a "." in the template, stays); a port slot is 2 bytes and
//        becomes "P1"; a hex-pair slot is 2 bytes and becomes two upper-case
//        hexadecimal digits (the template writes a "0" before it).
//   84H  constant slot: 3 bytes become "0" and two upper-case hexadecimal
//        digits ("038"), or 5 bytes become "0" and four digits ("003E8"); the
//        template follows the slot with "H".
//
// Slots are filled in the order they stand in the section: the search for
// the next slot of a marker starts where the previous fill of that marker
// ended. A section is written to fit the 1000-byte working buffer of the
// format (999 characters); the engine itself copies sections of any length
// whole and `checkTemplate` reports the ones that are too long.
//
// The template texts live under resources/templates as readable sources
// ("@[", "@]", "@P", "@C" for the marker bytes) and are compiled in.
#pragma once

#include "chip/port_pins.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

constexpr uint8_t kSectionStart = 0xDA;
constexpr uint8_t kSectionEnd = 0xD9;
constexpr uint8_t kPortLineSlot = 0x85;
constexpr uint8_t kConstantSlot = 0x84;
constexpr size_t kSectionBufferSize = 1000; // 999 characters and a terminating zero

enum class TemplateId : uint8_t { Lcd, Led, Keyboard, Iic, Spi, Serial };
// "CODE_GENERATION_LCD_DEMO", ...
const char* templateName(TemplateId id);
// The compiled-in template bytes.
std::string_view codeTemplate(TemplateId id);

// Section `number` of `text`, or nothing when the template has no such
// section (or it is not closed by D9H).
std::optional<std::string> cutSection(std::string_view text, int number);
// The highest section number the template holds (-1 when it holds none).
int lastSection(std::string_view text);

struct SlotFill {
    enum class Kind : uint8_t { PortLine, Port, HexPair, Constant, Constant4 };
    Kind kind;
    uint16_t value;

    static SlotFill portLine(PinRef ref) { return {Kind::PortLine, ref}; }
    static SlotFill port(PinRef ref) { return {Kind::Port, ref}; }
    static SlotFill hexPair(uint8_t value) { return {Kind::HexPair, value}; }
    static SlotFill constant(uint8_t value) { return {Kind::Constant, value}; }
    static SlotFill constant4(uint16_t value) { return {Kind::Constant4, value}; }
};

struct FilledSection {
    std::string text;
    std::string error; // empty when every slot was filled and every fill found its slot
};
// Fills the slots of one cut section in order. A fill without a slot, a slot
// too short for its value, a line tied to "+5V" or "GND" (the routines need a
// port line to drive) or a slot left unfilled is an error; the text is then
// returned as far as it was filled.
FilledSection fillSection(std::string section, const std::vector<SlotFill>& fills);

// What a generator hands back: the sections in the order they are inserted
// at the editor's caret, and their numbers.
struct GeneratedCode {
    std::string text;
    std::vector<int> sections;
    std::string error; // a template fault; empty normally
};

// Appends section `number` of the template, filled, to `out`.
void appendSection(GeneratedCode& out, std::string_view tmpl, int number,
                   const std::vector<SlotFill>& fills = {});

// Problems of a template's form, one line each: sections longer than the
// working buffer, a DAH inside a section, a section without its D9H.
std::vector<std::string> checkTemplate(std::string_view text);

// The machine-cycle time in microseconds for a clock in Hz (12 / MHz).
double cycleTimeUs(uint32_t frequencyHz);
// A two-byte software delay count as the delay loops take it: C = trunc(
// `microseconds` / (2 T)) to 16 bits; the high constant is (C >> 8) + 1, the
// low one C AND FFH, or 1 when that is 0.
struct DelayConstants {
    uint8_t high;
    uint8_t low;
};
DelayConstants delayConstants(double microseconds, double cycleUs);

} // namespace quorvel
