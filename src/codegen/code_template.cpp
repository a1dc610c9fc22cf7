#include "codegen/code_template.h"

#include "common/hex_text.h"

#include <array>
#include <cmath>

namespace quorvel {

namespace templates {
extern const unsigned char CODE_GENERATION_LCD_DEMO[];
extern const std::size_t CODE_GENERATION_LCD_DEMO_size;
extern const unsigned char CODE_GENERATION_LED_NONMUX_7SEG_DEMO[];
extern const std::size_t CODE_GENERATION_LED_NONMUX_7SEG_DEMO_size;
extern const unsigned char CODE_GENERATION_KEYBOARD_DEMO[];
extern const std::size_t CODE_GENERATION_KEYBOARD_DEMO_size;
extern const unsigned char I2CBUS_DEMO[];
extern const std::size_t I2CBUS_DEMO_size;
extern const unsigned char SPI_EEPROM_DEMO[];
extern const std::size_t SPI_EEPROM_DEMO_size;
extern const unsigned char SERIALPORT_DEMO[];
extern const std::size_t SERIALPORT_DEMO_size;
} // namespace templates

namespace {

struct TemplateEntry {
    const char* name;
    const unsigned char* bytes;
    const std::size_t* size;
};

const std::array<TemplateEntry, 6> kTemplates{{
    {"CODE_GENERATION_LCD_DEMO", templates::CODE_GENERATION_LCD_DEMO,
     &templates::CODE_GENERATION_LCD_DEMO_size},
    {"CODE_GENERATION_LED_NONMUX_7SEG_DEMO", templates::CODE_GENERATION_LED_NONMUX_7SEG_DEMO,
     &templates::CODE_GENERATION_LED_NONMUX_7SEG_DEMO_size},
    {"CODE_GENERATION_KEYBOARD_DEMO", templates::CODE_GENERATION_KEYBOARD_DEMO,
     &templates::CODE_GENERATION_KEYBOARD_DEMO_size},
    {"I2CBUS_DEMO", templates::I2CBUS_DEMO, &templates::I2CBUS_DEMO_size},
    {"SPI_EEPROM_DEMO", templates::SPI_EEPROM_DEMO, &templates::SPI_EEPROM_DEMO_size},
    {"SERIALPORT_DEMO", templates::SERIALPORT_DEMO, &templates::SERIALPORT_DEMO_size},
}};

// Where the text of section `number` starts and ends (end = the D9H).
bool sectionBounds(std::string_view text, int number, size_t& begin, size_t& end) {
    if (text.size() < 2 || number < 0) return false;
    begin = 1;
    for (int n = 0; n < number; ++n) {
        const size_t start = text.find(char(kSectionStart), begin);
        if (start == std::string_view::npos) return false;
        begin = start + 1;
    }
    end = text.find(char(kSectionEnd), begin);
    return end != std::string_view::npos;
}

// Width in bytes of a slot for a fill kind.
size_t slotWidth(SlotFill::Kind kind) {
    switch (kind) {
    case SlotFill::Kind::PortLine: return 4;
    case SlotFill::Kind::Port: return 2;
    case SlotFill::Kind::HexPair: return 2;
    case SlotFill::Kind::Constant: return 3;
    case SlotFill::Kind::Constant4: return 5;
    }
    return 0;
}

// Writes the fill's characters over the slot at `at` (already known to be
// wide enough).
void writeFill(std::string& text, size_t at, const SlotFill& fill) {
    const unsigned v = fill.value;
    switch (fill.kind) {
    case SlotFill::Kind::PortLine:
        text[at] = 'P';
        text[at + 1] = char('0' + ((v >> 4) & 3));
        text[at + 3] = char('0' + (v & 7));
        break;
    case SlotFill::Kind::Port:
        text[at] = 'P';
        text[at + 1] = char('0' + ((v >> 4) & 3));
        break;
    case SlotFill::Kind::HexPair:
        text.replace(at, 2, hexText(v & 0xFF, 2));
        break;
    case SlotFill::Kind::Constant:
        text.replace(at, 3, "0" + hexText(v & 0xFF, 2));
        break;
    case SlotFill::Kind::Constant4:
        text.replace(at, 5, "0" + hexText(v & 0xFFFF, 4));
        break;
    }
}

} // namespace

const char* templateName(TemplateId id) { return kTemplates[size_t(id)].name; }

std::string_view codeTemplate(TemplateId id) {
    const TemplateEntry& e = kTemplates[size_t(id)];
    return {reinterpret_cast<const char*>(e.bytes), *e.size};
}

std::optional<std::string> cutSection(std::string_view text, int number) {
    size_t begin = 0, end = 0;
    if (!sectionBounds(text, number, begin, end)) return std::nullopt;
    return std::string(text.substr(begin, end - begin));
}

int lastSection(std::string_view text) {
    if (text.size() < 2) return -1;
    int count = 0;
    for (size_t i = 1; i < text.size(); ++i)
        if (uint8_t(text[i]) == kSectionStart) ++count;
    size_t begin = 0, end = 0;
    while (count >= 0 && !sectionBounds(text, count, begin, end)) --count;
    return count;
}

FilledSection fillSection(std::string section, const std::vector<SlotFill>& fills) {
    FilledSection result;
    size_t portCursor = 0, constantCursor = 0;
    int index = 0;
    for (const SlotFill& fill : fills) {
        ++index;
        const bool constant =
            fill.kind == SlotFill::Kind::Constant || fill.kind == SlotFill::Kind::Constant4;
        size_t& cursor = constant ? constantCursor : portCursor;
        const char marker = char(constant ? kConstantSlot : kPortLineSlot);
        const size_t at = section.find(marker, cursor);
        if (at == std::string::npos) {
            result.error = "fill " + std::to_string(index) + " has no slot";
            break;
        }
        if ((fill.kind == SlotFill::Kind::PortLine || fill.kind == SlotFill::Kind::Port) &&
            fill.value >= kPinPlus5V) {
            result.error = "fill " + std::to_string(index) + " is a fixed level, not a port line";
            break;
        }
        const size_t width = slotWidth(fill.kind);
        if (at + width > section.size()) {
            result.error = "slot of fill " + std::to_string(index) + " is cut short";
            break;
        }
        writeFill(section, at, fill);
        cursor = at + width;
    }
    if (result.error.empty() &&
        (section.find(char(kPortLineSlot)) != std::string::npos ||
         section.find(char(kConstantSlot)) != std::string::npos))
        result.error = "a slot was left unfilled";
    result.text = std::move(section);
    return result;
}

void appendSection(GeneratedCode& out, std::string_view tmpl, int number,
                   const std::vector<SlotFill>& fills) {
    std::optional<std::string> section = cutSection(tmpl, number);
    if (!section) {
        if (out.error.empty()) out.error = "template has no section " + std::to_string(number);
        return;
    }
    FilledSection filled = fillSection(std::move(*section), fills);
    if (!filled.error.empty() && out.error.empty())
        out.error = "section " + std::to_string(number) + ": " + filled.error;
    out.text += filled.text;
    out.sections.push_back(number);
}

std::vector<std::string> checkTemplate(std::string_view text) {
    std::vector<std::string> problems;
    const int last = lastSection(text);
    // Section 0 is a routine only in a template that begins with DAH; in the
    // others it is the header comment and the first section together.
    const int first = !text.empty() && uint8_t(text[0]) == kSectionStart ? 0 : 1;
    for (int n = first; n <= last; ++n) {
        size_t begin = 0, end = 0;
        sectionBounds(text, n, begin, end);
        const std::string_view body = text.substr(begin, end - begin);
        if (body.size() >= kSectionBufferSize)
            problems.push_back("section " + std::to_string(n) + " holds " +
                               std::to_string(body.size()) + " characters, more than 999");
        if (body.find(char(kSectionStart)) != std::string_view::npos)
            problems.push_back("section " + std::to_string(n) + " holds a section start");
    }
    // A DAH after the last complete section opens a section that never ends.
    size_t begin = 0, end = 0;
    if (sectionBounds(text, last, begin, end) &&
        text.find(char(kSectionStart), end) != std::string_view::npos)
        problems.push_back("section " + std::to_string(last + 1) + " is not closed");
    return problems;
}

double cycleTimeUs(uint32_t frequencyHz) {
    return frequencyHz == 0 ? 0.0 : 12000000.0 / double(frequencyHz);
}

DelayConstants delayConstants(double microseconds, double cycleUs) {
    const uint32_t count = cycleUs > 0 ? uint32_t(std::trunc(microseconds / (2 * cycleUs))) : 0;
    const uint16_t c = uint16_t(count);
    const uint8_t low = uint8_t(c & 0xFF);
    return {uint8_t((c >> 8) + 1), uint8_t(low == 0 ? 1 : low)};
}

} // namespace quorvel
