#include "codegen/led_codegen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace quorvel {

namespace {

// Template sections.
constexpr int kEquates = 1;
constexpr int kSegmentPort = 2, kSegmentLines = 3, kBcdPort = 4, kBcdLines = 5;
constexpr int kSelectPort = 6;
constexpr int kDecoderLines = 7;   // + decoder (0-2)
constexpr int kPeriod = 10;
constexpr int kPolarity = 11;      // + 2 for BCD, + 1 for common cathode
constexpr int kInit = 15;          // + timer
constexpr int kInterrupt = 18;     // + timer
constexpr int kRefreshStart = 21;
constexpr int kAllOffPort = 22, kAllOffLines = 23, kOneOff = 24;
constexpr int kNextDigit = 25, kOutputDigit = 26;
constexpr int kSelectByPort = 27, kSelectByLines = 28, kSelectOne = 29;
constexpr int kSelectDecoder = 30; // + decoder
constexpr int kRefreshEnd = 33, kRefreshEndTable = 34, kSelectValue = 35;
constexpr int kOutSegmentPort = 36, kOutSegmentLines = 37, kOutBcdPort = 38, kOutBcdLines = 39;
constexpr int kStoreBuffer = 40, kStoreDirect = 41;
constexpr int kStoreSegmentPort = 42, kStoreSegmentLines = 43, kStoreBcdPort = 44, kStoreBcdLines = 45;
constexpr int kStoreEnd = 46;
constexpr int kConvertSegment = 47, kConvertBcd = 48;
constexpr int kOneDigit = 49, kTwoDigits = 50, kFourDigits = 51, kMessage = 52;


constexpr int portOf(PinRef ref) { return (ref >> 4) & 3; }
constexpr uint8_t bitOf(PinRef ref) { return uint8_t(1u << (ref & 7)); }

bool onePort(const PinRef* lines, int count) {
    for (int k = 0; k < count; ++k)
        if (lines[k] >= kPinPlus5V || portOf(lines[k]) != portOf(lines[0])) return false;
    return true;
}

int wiringDigitLimit(uint8_t configuration) {
    const LedWiring w = ledWiring(configuration);
    if (w == LedWiring::MultiplexedSegmentDecoder || w == LedWiring::MultiplexedBcdDecoder)
        return 4 << ledDecoder(configuration);
    ModuleSettings probe;
    probe.LedOptions = configuration;
    probe.LedDigitCount = kLedMaxDigits;
    return ledUsableDigits(probe);
}

bool multiplexed(uint8_t configuration) { return !(configuration & kLedNonMultiplexed); }
bool bcd(uint8_t configuration) { return configuration & kLedBcd; }
bool decoder(uint8_t configuration) {
    return multiplexed(configuration) && (configuration & kLedExternalMux);
}

std::string lineName(PinRef ref) {
    if (ref == kPinPlus5V) return "+5V";
    if (ref == kPinGnd) return "GND";
    char name[8];
    std::snprintf(name, sizeof name, "P%1d.%1d", portOf(ref), ref & 7);
    return name;
}

// Fills for the lines of one group, each as a hexadecimal bit mask.
std::vector<SlotFill> masks(const PinRef* lines, int count) {
    std::vector<SlotFill> fills;
    for (int k = 0; k < count; ++k) fills.push_back(SlotFill::hexPair(bitOf(lines[k])));
    return fills;
}

} // namespace

LedDisplayInUse ledDisplayInUse(const LedCodeGenSettings& record, const ModuleSettings& module) {
    LedDisplayInUse d;
    if (record.options & kLedGenSameAsSimulation) {
        d.present = module.LedSevenSegment & 1;
        d.configuration = module.LedOptions;
        d.selectLevel = module.LedSelectLevel & 1;
        d.digits = module.LedDigitCount;
        d.lines = module.LedLines;
    } else {
        d.present = true;
        d.configuration = record.configuration;
        d.selectLevel = record.options & kLedGenSelectLevel;
        d.digits = record.digits;
        d.lines = record.lines;
    }
    if ((d.configuration & kLedDecoderMask) == kLedDecoderMask) d.configuration &= uint8_t(~kLedDecoderMask);
    // A count the wiring cannot hold is lowered to what it can, so that no
    // line beyond the table is read.
    d.digits = std::clamp(d.digits, 1, wiringDigitLimit(d.configuration));
    return d;
}

ModuleSettings ledPortLineCopy(const LedCodeGenSettings& record, const ModuleSettings& module) {
    ModuleSettings copy = module;
    copy.LedOptions = record.configuration;
    copy.LedSelectLevel = record.options & kLedGenSelectLevel;
    copy.LedSevenSegment = 1;
    copy.LedDigitCount = record.digits;
    copy.LedLines = record.lines;
    return copy;
}

void acceptLedPortLines(LedCodeGenSettings& record, const ModuleSettings& edited) {
    record.lines = edited.LedLines;
    record.digits = edited.LedDigitCount;
}

LedCodeGenEnabling ledCodeGenEnabling(const LedCodeGenSettings& record, const ModuleSettings& module) {
    const LedDisplayInUse d = ledDisplayInUse(record, module);
    const bool own = !(record.options & kLedGenSameAsSimulation);
    const bool mux = multiplexed(d.configuration);
    const bool external = mux && (d.configuration & kLedExternalMux);
    LedCodeGenEnabling e{};
    e.displayControls = own;
    e.anodeCathode = own && !bcd(d.configuration);
    e.externalMux = own && mux;
    e.decoderList = own && external;
    e.selectLevel = own && mux && !external;
    e.init = mux;
    e.message = !bcd(d.configuration);
    e.setting = mux && (record.routines & kLedGenInit);
    e.generate = d.present && (record.routines & 0x1F);
    return e;
}

double ledCodeGenCycleUs(const LedCodeGenSettings& record, double simulatorCycleUs) {
    if (record.options & kLedGenSameAsSimulation) return simulatorCycleUs;
    return cycleTimeUs(record.clockHz ? record.clockHz : 12000000);
}

uint8_t ledRoutineClicked(uint8_t routines, LedRoutine box, bool checked) {
    if (checked) {
        routines |= box;
        if (box == kLedGenFourDigits) routines |= kLedGenTwoDigits | kLedGenOneDigit;
        if (box == kLedGenTwoDigits) routines |= kLedGenOneDigit;
        return routines;
    }
    if (box == kLedGenOneDigit && (routines & (kLedGenTwoDigits | kLedGenFourDigits))) return routines;
    if (box == kLedGenTwoDigits && (routines & kLedGenFourDigits)) return routines;
    return uint8_t(routines & ~box);
}

uint8_t ledAllowedRoutines(uint8_t configuration, uint8_t routines) {
    if (bcd(configuration)) routines &= uint8_t(~kLedGenMessage);
    if (!multiplexed(configuration)) routines &= uint8_t(~kLedGenInit);
    return routines;
}

Validation acceptLedClock(LedCodeGenSettings& record, std::string_view text) {
    if (text.empty()) return errorMessage("ERROR", "Enter Clock Frequency");
    uint32_t value = 0;
    bool ok = text.size() <= 8;
    for (const char c : text) {
        if (c < '0' || c > '9') ok = false;
        else value = value * 10 + uint32_t(c - '0');
    }
    if (!ok || value == 0) return errorMessage("ERROR", "Illegal Clock Frequency");
    record.clockHz = value;
    return std::nullopt;
}

bool acceptLedBufferStart(LedCodeGenSettings& record, std::string_view text) {
    if (text.empty() || text.size() > 2) return false;
    unsigned value = 0;
    for (const char c : text) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                 : -1;
        if (digit < 0) return false;
        value = value * 16 + unsigned(digit);
    }
    record.bufferStart = uint8_t(value);
    return true;
}

LedMemoryArea ledMemoryArea(const LedCodeGenSettings& record, const ModuleSettings& module) {
    const LedDisplayInUse d = ledDisplayInUse(record, module);
    return {record.bufferStart, record.bufferStart + d.digits};
}

std::string ledMemoryAreaText(const LedCodeGenSettings& record, const ModuleSettings& module,
                              int ramTop) {
    const LedMemoryArea area = ledMemoryArea(record, module);
    char text[160];
    std::snprintf(text, sizeof text, "Internal Memory Area used : %02XH to %02XH", area.first,
                  area.last);
    std::string out = text;
    if (area.last > ramTop) {
        std::snprintf(text, sizeof text, "\r\nThe area passes the last internal RAM address (%02XH).",
                      ramTop);
        out += text;
    }
    return out;
}

std::string ledCodeGenSummary(const LedCodeGenSettings& record, const ModuleSettings& module) {
    const LedDisplayInUse d = ledDisplayInUse(record, module);
    if (!d.present) return "No Seven Segment Display";
    const uint8_t c = d.configuration;
    std::string text = multiplexed(c) ? "Interface  : Multiplexed\r\n" : "Interface  : Non Multiplexed\r\n";
    if (multiplexed(c)) {
        if (decoder(c)) {
            static constexpr std::array<const char*, 3> kDecoders{
                "Multiplexer: 2 to 4 External\r\n", "Multiplexer: 3 to 8 External\r\n",
                "Multiplexer: 4 to 16 External\r\n"};
            text += kDecoders[size_t(ledDecoder(c))];
        } else {
            text += "Multiplexer: Internal\r\n";
            text += d.selectLevel ? "Act. Level : 1\r\n" : "Act. Level : 0\r\n";
        }
    }
    text += bcd(c) ? "Input      : BCD Data\r\n" : "Input      : Seven Segment Data\r\n";
    if (!bcd(c))
        text += (c & kLedCommonCathode) ? "Type       : Common Cathode\r\n" : "Type       : Common Anode\r\n";
    text += "\r\nControl Lines       Port Lines\r\n";
    std::vector<std::string> names;
    static constexpr std::array<const char*, 8> kLetters{"a", "b", "c", "d", "e", "f", "g", "dp"};
    static constexpr std::array<const char*, 5> kBcd{"BCD I/P A", "BCD I/P B", "BCD I/P C",
                                                     "BCD I/P D", "Dot Point"};
    char name[40];
    if (!multiplexed(c)) {
        static constexpr std::array<const char*, 8> kSeg{" Seg a ", " Seg b ", " Seg c ", " Seg d ",
                                                         " Seg e ", " Seg f ", " Seg g ", " Seg dp"};
        static constexpr std::array<const char*, 5> kBcdDirect{"A", "B", "C", "D", "dp"};
        for (int digit = 1; digit <= d.digits; ++digit) {
            if (bcd(c))
                for (const char* input : kBcdDirect) {
                    std::snprintf(name, sizeof name, "Digit%1d %s", digit, input);
                    names.push_back(name);
                }
            else
                for (const char* seg : kSeg) {
                    std::snprintf(name, sizeof name, "Digit%1d%s", digit, seg);
                    names.push_back(name);
                }
        }
    } else {
        if (bcd(c))
            for (const char* n : kBcd) names.push_back(n);
        else
            for (const char* letter : kLetters) names.push_back(std::string("Segment ") + letter);
        if (decoder(c)) {
            for (int j = 0; j < ledDecoderInputs(c); ++j) {
                std::snprintf(name, sizeof name, "Multiplexer I/P %c", 'A' + j);
                names.push_back(name);
            }
        } else {
            for (int digit = 1; digit <= d.digits; ++digit) {
                if (bcd(c))
                    std::snprintf(name, sizeof name, "Digit%1d Select", digit);
                else
                    std::snprintf(name, sizeof name, "Digit%2d Select", digit);
                names.push_back(name);
            }
        }
    }
    for (size_t i = 0; i < names.size() && i < d.lines.size(); ++i) {
        std::string line = names[i];
        line.resize(std::max<size_t>(line.size() + 1, 20), ' ');
        text += line + lineName(d.lines[i]) + "\r\n";
    }
    return text;
}

uint16_t ledMillisecondCycles(double cycleUs) {
    if (!(cycleUs > 0)) return 0;
    return uint16_t(std::min(65535.0, std::trunc(1000.0 / cycleUs)));
}

GeneratedCode generateLedCode(const LedCodeGenSettings& record, const ModuleSettings& module,
                              double cycleUs) {
    GeneratedCode out;
    const LedDisplayInUse d = ledDisplayInUse(record, module);
    const uint8_t c = d.configuration;
    const uint8_t r = ledAllowedRoutines(c, record.routines);
    if (!d.present || r == 0) return out;
    const std::string_view t = codeTemplate(TemplateId::Led);
    const bool isBcd = bcd(c);
    const int groupSize = isBcd ? 5 : 8; // data lines per digit group
    const PinRef* lines = d.lines.data();
    const int polarity = kPolarity + (isBcd ? 2 : 0) + ((c & kLedCommonCathode) ? 1 : 0);

    if (multiplexed(c)) {
        const bool ext = decoder(c);
        const int dec = ledDecoder(c);
        const PinRef* select = lines + groupSize;
        const int selectCount = ext ? ledDecoderInputs(c) : d.digits;
        // Digit selects are "regular" when up to eight of them share one port.
        const bool selectRegular = !ext && d.digits <= 8 && onePort(select, d.digits);
        uint8_t selectBits = 0;
        for (int k = 0; k < d.digits && selectRegular; ++k) selectBits |= bitOf(select[k]);
        const bool level = d.selectLevel;
        const uint8_t allOff = level ? 0 : selectBits;

        appendSection(out, t, kEquates,
                      {SlotFill::constant(record.bufferStart), SlotFill::constant(uint8_t(record.bufferStart + 1)),
                       SlotFill::constant(uint8_t(d.digits))});
        const bool dataRegular = onePort(lines, groupSize);
        if (dataRegular) {
            appendSection(out, t, isBcd ? kBcdPort : kSegmentPort, {SlotFill::port(lines[0])});
        } else {
            std::vector<SlotFill> fills;
            for (int k = 0; k < groupSize; ++k) fills.push_back(SlotFill::portLine(lines[k]));
            appendSection(out, t, isBcd ? kBcdLines : kSegmentLines, fills);
        }
        if (ext) {
            std::vector<SlotFill> fills;
            for (int j = 0; j < selectCount; ++j) fills.push_back(SlotFill::portLine(select[j]));
            appendSection(out, t, kDecoderLines + dec, fills);
        } else if (selectRegular) {
            appendSection(out, t, kSelectPort,
                          {SlotFill::port(select[0]), SlotFill::constant(uint8_t(~selectBits)),
                           SlotFill::constant(allOff)});
        }
        appendSection(out, t, kPeriod, {SlotFill::constant4(ledMillisecondCycles(cycleUs))});
        appendSection(out, t, polarity);
        const int timer = std::min((record.options & kLedGenTimerMask) >> kLedGenTimerShift, 2);
        if (r & kLedGenInit) appendSection(out, t, kInit + timer);
        appendSection(out, t, kInterrupt + timer);

        appendSection(out, t, kRefreshStart);
        if (!ext) {
            if (selectRegular) {
                appendSection(out, t, kAllOffPort);
            } else {
                appendSection(out, t, kAllOffLines, {SlotFill::constant(level ? 1 : 0)});
                for (int k = 0; k < d.digits; ++k) appendSection(out, t, kOneOff, {SlotFill::portLine(select[k])});
            }
        }
        appendSection(out, t, kNextDigit);
        if (ext) {
            // The decoder always selects a digit: select first, then show.
            appendSection(out, t, kSelectDecoder + dec);
            appendSection(out, t, kOutputDigit);
        } else {
            appendSection(out, t, kOutputDigit);
            if (selectRegular) {
                appendSection(out, t, kSelectByPort);
            } else {
                appendSection(out, t, kSelectByLines, {SlotFill::constant(level ? 1 : 0)});
                for (int k = 0; k < d.digits; ++k)
                    appendSection(out, t, kSelectOne,
                                  {SlotFill::constant(uint8_t(k)), SlotFill::portLine(select[k])});
            }
        }
        if (selectRegular) {
            appendSection(out, t, kRefreshEndTable);
            for (int k = 0; k < d.digits; ++k) {
                const uint8_t bit = bitOf(select[k]);
                appendSection(out, t, kSelectValue,
                              {SlotFill::constant(uint8_t(level ? bit : selectBits & ~bit))});
            }
        } else {
            appendSection(out, t, kRefreshEnd);
        }
        if (dataRegular) {
            std::vector<SlotFill> fills = masks(lines, groupSize);
            if (isBcd) {
                uint8_t used = 0;
                for (int k = 0; k < groupSize; ++k) used |= bitOf(lines[k]);
                fills.push_back(SlotFill::hexPair(uint8_t(~used)));
            }
            appendSection(out, t, isBcd ? kOutBcdPort : kOutSegmentPort, fills);
        } else {
            appendSection(out, t, isBcd ? kOutBcdLines : kOutSegmentLines);
        }
        if (r & ~kLedGenInit) appendSection(out, t, kStoreBuffer);
    } else {
        appendSection(out, t, polarity);
        appendSection(out, t, kStoreDirect);
        for (int digit = 0; digit < d.digits; ++digit) {
            const PinRef* own = lines + digit * groupSize;
            std::vector<SlotFill> fills{SlotFill::constant(uint8_t(digit + 1))};
            if (onePort(own, groupSize)) {
                for (const SlotFill& f : masks(own, groupSize)) fills.push_back(f);
                fills.push_back(SlotFill::port(own[0]));
                if (isBcd) {
                    uint8_t used = 0;
                    for (int k = 0; k < groupSize; ++k) used |= bitOf(own[k]);
                    // The BCD form names its port twice around the clearing mask.
                    fills.push_back(SlotFill::hexPair(uint8_t(~used)));
                    fills.push_back(SlotFill::port(own[0]));
                }
                appendSection(out, t, isBcd ? kStoreBcdPort : kStoreSegmentPort, fills);
            } else {
                for (int k = 0; k < groupSize; ++k) fills.push_back(SlotFill::portLine(own[k]));
                appendSection(out, t, isBcd ? kStoreBcdLines : kStoreSegmentLines, fills);
            }
        }
        appendSection(out, t, kStoreEnd);
    }
    if (r & (kLedGenOneDigit | kLedGenTwoDigits | kLedGenFourDigits)) {
        appendSection(out, t, isBcd ? kConvertBcd : kConvertSegment);
        appendSection(out, t, kOneDigit);
    }
    if (r & (kLedGenTwoDigits | kLedGenFourDigits)) appendSection(out, t, kTwoDigits);
    if (r & kLedGenFourDigits) appendSection(out, t, kFourDigits);
    if (r & kLedGenMessage) appendSection(out, t, kMessage);
    return out;
}

} // namespace quorvel
