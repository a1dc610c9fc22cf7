// The template engine: cutting numbered sections, filling port-line and
// constant slots in order, and the form of the compiled-in templates.
#include "codegen/code_template.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// Readable template text: '[' ']' for the section markers, '%' for a
// port-line slot and '~' for a constant slot.
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
    // Begins with comment text: section 0 runs from the second byte to the
    // first D9H, numbered sections follow their DAH; text between sections
    // is never part of one.
    const std::string comment = bytes(";head\r\n[one]\r\n;Rotuine 2\r\n[two]x[three]");
    EXPECT_EQ(cutSection(comment, 0), bytes("head\r\n[one"));
    EXPECT_EQ(cutSection(comment, 1), "one");
    EXPECT_EQ(cutSection(comment, 2), "two");
    EXPECT_EQ(cutSection(comment, 3), "three");
    EXPECT_EQ(cutSection(comment, 4), std::nullopt);
    EXPECT_EQ(lastSection(comment), 3);

    // Begins with DAH: that DAH is the template's first byte, so its text is
    // section 0 and the next DAH opens section 1.
    const std::string leading = bytes("[zero][one]");
    EXPECT_EQ(cutSection(leading, 0), "zero");
    EXPECT_EQ(cutSection(leading, 1), "one");
    EXPECT_EQ(lastSection(leading), 1);

    // A section without its end marker, an empty template, a negative number.
    EXPECT_EQ(cutSection(bytes("x[open"), 1), std::nullopt);
    EXPECT_EQ(cutSection("", 0), std::nullopt);
    EXPECT_EQ(cutSection(leading, -1), std::nullopt);
    EXPECT_EQ(lastSection(bytes("x[open")), -1);
}

TEST(TemplateEngine, FillsFullPortAndConstantSlotsInOrder) {
    FilledSection f = fillSection(bytes("RS BIT %x.x\r\nDATA EQU %x\r\nMOV A,#~xxH\r\nMOV B,#~xxxxH"),
                                  {SlotFill::portLine(0x15), SlotFill::port(0x20),
                                   SlotFill::constant(0x38), SlotFill::constant4(0x03E8)});
    EXPECT_EQ(f.error, "");
    EXPECT_EQ(f.text, "RS BIT P1.5\r\nDATA EQU P2\r\nMOV A,#038H\r\nMOV B,#003E8H");

    // Port-line and constant slots each keep their own place: a constant fill
    // listed first still goes to the first constant slot after a port slot.
    f = fillSection(bytes("%x.x ~xx %x.x ~xx"),
                    {SlotFill::constant(0xAB), SlotFill::portLine(0x37), SlotFill::constant(0x01),
                     SlotFill::portLine(0x02)});
    EXPECT_EQ(f.text, "P3.7 0AB P0.2 001");

    // A hex pair in a two-byte port-line slot (the template writes the "0").
    f = fillSection(bytes("MOV R0,#0%xH"), {SlotFill::hexPair(0xA0)});
    EXPECT_EQ(f.text, "MOV R0,#0A0H");
    // Only bits 5-4 and 2-0 of a port line count.
    f = fillSection(bytes("%x.x"), {SlotFill::portLine(0x3F)});
    EXPECT_EQ(f.text, "P3.7");
}

TEST(TemplateEngine, MismatchedFillsAreReportedNotWrittenPastTheText) {
    EXPECT_EQ(fillSection(bytes("%x.x"), {}).error, "a slot was left unfilled");
    EXPECT_EQ(fillSection("no slots", {SlotFill::constant(1)}).error, "fill 1 has no slot");
    // A full slot at the very end has no room for "P1.5".
    const FilledSection cut = fillSection(bytes("x%x"), {SlotFill::portLine(0x15)});
    EXPECT_EQ(cut.error, "slot of fill 1 is cut short");
    EXPECT_EQ(cut.text, bytes("x%x"));

    // A line tied to a fixed level cannot be named as a port line.
    EXPECT_EQ(fillSection(bytes("%x.x"), {SlotFill::portLine(kPinGnd)}).error,
              "fill 1 is a fixed level, not a port line");

    GeneratedCode out;
    appendSection(out, bytes("x[a]"), 7);
    EXPECT_EQ(out.error, "template has no section 7");
    EXPECT_TRUE(out.sections.empty());
}

TEST(TemplateEngine, SectionsLongerThanTheWorkingBufferComeOutWholeButAreReported) {
    const std::string body(1500, 'x');
    const std::string tmpl = bytes(";[" + body + "][ok]");
    GeneratedCode out;
    appendSection(out, tmpl, 1);
    EXPECT_EQ(out.text.size(), 1500u); // nothing cut off
    const std::vector<std::string> problems = checkTemplate(tmpl);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0], "section 1 holds 1500 characters, more than 999");
    // 999 characters still fit the buffer with its terminating zero.
    EXPECT_TRUE(checkTemplate(bytes(";[" + std::string(999, 'x') + "]")).empty());
    const std::vector<std::string> open = checkTemplate(bytes(";[a][b"));
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0], "section 2 is not closed");
}

TEST(TemplateEngine, CompiledTemplatesAreWellFormed) {
    // Each template holds the sections its generator inserts, every section
    // fits the working buffer, and the build turned the escapes into marker
    // bytes and the line ends into CR LF.
    const std::array<std::pair<TemplateId, int>, 5> expected{{{TemplateId::Lcd, 38},
                                                              {TemplateId::Keyboard, 30},
                                                              {TemplateId::Iic, 13},
                                                              {TemplateId::Spi, 5},
                                                              {TemplateId::Serial, 9}}};
    for (const auto& [id, last] : expected) {
        SCOPED_TRACE(templateName(id));
        const std::string_view t = codeTemplate(id);
        EXPECT_GE(lastSection(t), last);
        EXPECT_TRUE(checkTemplate(t).empty()) << checkTemplate(t)[0];
        for (const char* escape : {"@[", "@]", "@P", "@C"}) // every escape converted
            EXPECT_EQ(t.find(escape), std::string_view::npos) << escape;
        for (size_t i = t.find('\n'); i != std::string_view::npos; i = t.find('\n', i + 1))
            ASSERT_EQ(t[i - 1], '\r') << "at byte " << i;
    }
    EXPECT_EQ(uint8_t(codeTemplate(TemplateId::Serial)[0]), kSectionStart);
}

TEST(TemplateEngine, DelayConstantsFromTheClock) {
    // 12 MHz: T = 1 us; 1585 us gives C = 792 = 0318H.
    const DelayConstants lcd = delayConstants(1585, cycleTimeUs(12000000));
    EXPECT_EQ(lcd.high, 0x04);
    EXPECT_EQ(lcd.low, 0x18);
    // A count whose low byte is 0 takes 1 instead (24 MHz, 2048 us: C = 2048).
    const DelayConstants even = delayConstants(2048, cycleTimeUs(24000000));
    EXPECT_EQ(even.high, 0x09);
    EXPECT_EQ(even.low, 0x01);
}
