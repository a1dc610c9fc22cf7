// The template engine: cutting numbered sections, filling port-line and
// constant slots in order, its error reports, and the compiled-in templates.
#include "codegen/code_template.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// Readable template text: '[' ']' section markers, '%' port-line slot,
// '~' constant slot.
std::string bytes(std::string text) {
    for (char& c : text) {
        if (c == '[') c = char(kSectionStart);
        if (c == ']') c = char(kSectionEnd);
        if (c == '%') c = char(kPortLineSlot);
        if (c == '~') c = char(kConstantSlot);
    }
    return text;
}

} // namespace

TEST(TemplateEngine, SectionsAreCountedFromTheDahBytesAfterTheFirstByte) {
    // Section 0 runs from the second byte to the first D9H; a leading DAH is
    // the first byte itself; text between sections belongs to none.
    const std::string comment = bytes(";head\r\n[one]\r\n;Rotuine 2\r\n[two]x[three]");
    const std::string leading = bytes("[zero][one]");
    const struct {
        std::string text;
        int number;
        std::optional<std::string> cut;
    } cases[] = {
        {comment, 0, bytes("head\r\n[one")}, {comment, 1, "one"}, {comment, 3, "three"},
        {comment, 4, std::nullopt},          {leading, 0, "zero"}, {leading, 1, "one"},
        {leading, -1, std::nullopt},         {"", 0, std::nullopt}, {bytes("x[open"), 1, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(cutSection(c.text, c.number), c.cut) << c.text << " " << c.number;
    EXPECT_EQ(lastSection(comment), 3);
    EXPECT_EQ(lastSection(leading), 1);
    EXPECT_EQ(lastSection(bytes("x[open")), -1);
}

TEST(TemplateEngine, FillsPortAndConstantSlotsEachInTheirOwnOrder) {
    FilledSection f = fillSection(bytes("RS BIT %x.x\r\nDATA EQU %x\r\nMOV A,#~xxH\r\nMOV B,#~xxxxH"),
                                  {SlotFill::portLine(0x15), SlotFill::port(0x20),
                                   SlotFill::constant(0x38), SlotFill::constant4(0x03E8)});
    EXPECT_EQ(f.error, "");
    EXPECT_EQ(f.text, "RS BIT P1.5\r\nDATA EQU P2\r\nMOV A,#038H\r\nMOV B,#003E8H");
    // A constant fill listed first still goes to the first constant slot.
    f = fillSection(bytes("%x.x ~xx %x.x ~xx"), {SlotFill::constant(0xAB), SlotFill::portLine(0x37),
                                                  SlotFill::constant(0x01), SlotFill::portLine(0x02)});
    EXPECT_EQ(f.text, "P3.7 0AB P0.2 001");
    EXPECT_EQ(fillSection(bytes("MOV R0,#0%xH"), {SlotFill::hexPair(0xA0)}).text, "MOV R0,#0A0H");
    // Only bits 5-4 and 2-0 of a port line count.
    EXPECT_EQ(fillSection(bytes("%x.x"), {SlotFill::portLine(0x3F)}).text, "P3.7");
}

TEST(TemplateEngine, MismatchedFillsAreReportedNotWrittenPastTheText) {
    EXPECT_EQ(fillSection(bytes("%x.x"), {}).error, "a slot was left unfilled");
    EXPECT_EQ(fillSection("no slots", {SlotFill::constant(1)}).error, "fill 1 has no slot");
    const FilledSection cut = fillSection(bytes("x%x"), {SlotFill::portLine(0x15)}); // no room for "P1.5"
    EXPECT_EQ(cut.error, "slot of fill 1 is cut short");
    EXPECT_EQ(cut.text, bytes("x%x"));
    EXPECT_EQ(fillSection(bytes("%x.x"), {SlotFill::portLine(kPinGnd)}).error,
              "fill 1 is a fixed level, not a port line");
    GeneratedCode out;
    appendSection(out, bytes("x[a]"), 7);
    EXPECT_EQ(out.error, "template has no section 7");
    EXPECT_TRUE(out.sections.empty());
}

TEST(TemplateEngine, OverlongAndOpenSectionsAreReported) {
    GeneratedCode out;
    const std::string tmpl = bytes(";[" + std::string(1500, 'x') + "][ok]");
    appendSection(out, tmpl, 1);
    EXPECT_EQ(out.text.size(), 1500u); // nothing cut off
    EXPECT_EQ(checkTemplate(tmpl), std::vector<std::string>{"section 1 holds 1500 characters, more than 999"});
    EXPECT_TRUE(checkTemplate(bytes(";[" + std::string(999, 'x') + "]")).empty()); // fits with its zero
    EXPECT_EQ(checkTemplate(bytes(";[a][b")), std::vector<std::string>{"section 2 is not closed"});
}

TEST(TemplateEngine, CompiledTemplatesAreWellFormed) {
    // Each section fits the buffer, the escapes became marker bytes and line
    // ends CR LF.
    for (const TemplateId id : {TemplateId::Lcd, TemplateId::Keyboard, TemplateId::Iic, TemplateId::Spi, TemplateId::Serial}) {
        SCOPED_TRACE(templateName(id));
        const std::string_view t = codeTemplate(id);
        EXPECT_EQ(checkTemplate(t), std::vector<std::string>{});
        for (const char* escape : {"@[", "@]", "@P", "@C"}) EXPECT_EQ(t.find(escape), std::string_view::npos) << escape;
        for (size_t i = t.find('\n'); i != std::string_view::npos; i = t.find('\n', i + 1))
            ASSERT_EQ(t[i - 1], '\r') << "at byte " << i;
    }
}

TEST(TemplateEngine, DelayConstantsFromTheClock) {
    // 12 MHz, 1585 us: C = 792 = 0318H -> 04H/18H. A low byte of 0 takes 1
    // instead (24 MHz, 2048 us).
    const DelayConstants lcd = delayConstants(1585, cycleTimeUs(12000000));
    const DelayConstants even = delayConstants(2048, cycleTimeUs(24000000));
    EXPECT_EQ(std::pair(lcd.high, lcd.low), std::pair(uint8_t(0x04), uint8_t(0x18)));
    EXPECT_EQ(std::pair(even.high, even.low), std::pair(uint8_t(0x09), uint8_t(0x01)));
}
