// Keypad generation: sections for regular and irregular rows and columns of
// every keypad type, the summary and the address check, and the generated
// READ_KEY finding a held key on the simulated keypad.
#include "codegen/keyboard_codegen.h"
#include "codegen_test_support.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

KeyboardCodeGenSettings record(uint8_t type, std::array<PinRef, 4> rows, std::vector<PinRef> cols) {
    KeyboardCodeGenSettings s;
    s.type = uint8_t(type | kKeyGenRead);
    for (int i = 0; i < 4; ++i) s.lines[size_t(i)] = rows[size_t(i)];
    for (size_t i = 0; i < cols.size(); ++i) s.lines[4 + i] = cols[i];
    return s;
}

constexpr std::array<PinRef, 4> kRowsLow{0x10, 0x11, 0x12, 0x13};
constexpr std::array<PinRef, 4> kRowsHigh{0x24, 0x25, 0x26, 0x27};
constexpr std::array<PinRef, 4> kRowsMixed{0x10, 0x31, 0x12, 0x13};

} // namespace

// (The regular 4 X 3 wiring of the run below is not listed again.)
TEST(KeyboardCodeGen, SectionsForEveryTypeAndWiring) {
    const ModuleSettings module;
    struct Case {
        uint8_t type;
        std::array<PinRef, 4> rows;
        std::vector<PinRef> cols;
        std::vector<int> sections;
    };
    const std::vector<Case> cases{
        {0, kRowsHigh, {0x10, 0x11, 0x12}, {2, 6, 7, 8, 14, 17, 10, 18}},
        {0, kRowsMixed, {0x14, 0x16, 0x15}, {1, 3, 7, 8, 12, 15, 9, 18}},
        {1, kRowsLow, {0x24, 0x25, 0x26, 0x27}, {2, 6, 7, 19, 21, 24, 11, 18}},
        {1, kRowsHigh, {0x10, 0x11, 0x12, 0x13}, {2, 6, 7, 19, 22, 25, 10, 18}},
        {1, kRowsLow, {0x24, 0x25, 0x26, 0x17}, {2, 4, 7, 19, 20, 23, 11, 18}},
        // Eight columns are never regular, even on a whole port in order.
        {2, kRowsHigh, {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}, {2, 5, 7, 26, 27, 29, 10, 18}},
    };
    for (const Case& c : cases) {
        const GeneratedCode g = generateKeyboardCode(record(c.type, c.rows, c.cols), module, 1.0);
        EXPECT_EQ(g.error, "");
        EXPECT_EQ(g.sections, c.sections) << int(c.type) << " " << int(c.cols[0]);
    }
    // The key buffer address reads 0xxH for any address; the 10 ms constants.
    KeyboardCodeGenSettings s = record(0, kRowsLow, {0x14, 0x15, 0x16});
    s.keyBuffer = 0xA8;
    std::string text = generateKeyboardCode(s, module, 1.0).text;
    // 4992 = 1380H
    EXPECT_TRUE(codegentest::containsAll(text, {"KEY_BUFFER DATA 0A8H", "MOV R6,#014H", "MOV R7,#080H"}));
    s.keyBuffer = 0x08;
    EXPECT_TRUE(codegentest::containsAll(generateKeyboardCode(s, module, 1.0).text, {"KEY_BUFFER DATA 008H"}));
    s.type &= uint8_t(~kKeyGenRead);
    EXPECT_TRUE(generateKeyboardCode(s, module, 1.0).sections.empty());
}

TEST(KeyboardCodeGen, SummaryAddressAndSimulationSettings) {
    ModuleSettings module;
    module.KeypadType = kKeypadNone;
    KeyboardCodeGenSettings s = record(0, kRowsLow, {0x14, 0x15, 0x16});
    EXPECT_EQ(keyboardCodeGenSummary(s, module),
              "TYPE : 4X3 Matrix\r\n\r\nControl Lines  Port Lines\r\n"
              "Row1           P1.0\r\nRow2           P1.1\r\nRow3           P1.2\r\nRow4           P1.3\r\n"
              "Column1        P1.4\r\nColumn2        P1.5\r\nColumn3        P1.6\r\n");
    s.type |= kKeyGenSameAsSimulation;
    EXPECT_EQ(keyboardCodeGenSummary(s, module), "No Keyboard");
    EXPECT_TRUE(generateKeyboardCode(s, module, 1.0).sections.empty());

    for (const char* bad : {"", "G1", "123", "3 "})
        EXPECT_EQ(acceptKeyBufferAddress(s, bad), errorMessage("ERROR", "Illegal Internal Memory Address")) << bad;
    EXPECT_EQ(s.keyBuffer, 0x30);
    EXPECT_FALSE(acceptKeyBufferAddress(s, "7f").has_value());
    EXPECT_EQ(s.keyBuffer, 0x7F);
}

// A key held on the simulated keypad: READ_KEY returns its code with the
// carry set and leaves it in the key buffer; with no key, 0FFH and no carry.
TEST(KeyboardCodeGenRun, TheKeyCodeLandsInTheBuffer) {
    struct Case {
        const char* name;
        uint8_t type;
        std::array<PinRef, 4> rows;
        std::vector<PinRef> cols;
        int row, column;
    };
    const std::vector<Case> cases{
        {"4 X 3 regular", 0, kRowsLow, {0x14, 0x15, 0x16}, 2, 1},
        {"4 X 4 irregular", 1, kRowsMixed, {0x24, 0x27, 0x25, 0x26}, 3, 3},
        {"4 X 8 high rows", 2, kRowsHigh, {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}, 1, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Machine m = codegentest::makeMachine(DeviceKind::AT89C52, 12000000);
        KeyboardCodeGenSettings s = record(c.type, c.rows, c.cols);
        s.keyBuffer = 0x48;
        m.modules.settings.KeypadType = c.type;
        for (size_t i = 0; i < s.lines.size(); ++i) m.modules.settings.KeypadLines[i] = s.lines[i];
        // The keypad sets the levels of its lines: they are inputs pulled
        // high, not "NC" lines reading their own latch.
        for (size_t i = 0; i < 4 + c.cols.size(); ++i) m.chip.pins.setSetting(pinIndex(s.lines[i]), kInput1);
        m.chip.pins.applySettings(m.chip.portLatches());
        s.type |= kKeyGenSameAsSimulation;
        const GeneratedCode g = generateKeyboardCode(s, m.modules.settings, 1.0);
        ASSERT_EQ(g.error, "");
        const std::string main = R"(
        ORG     0
        MOV     SP,#60H
        LCALL   READ_KEY
        MOV     20H,C
        MOV     21H,A
FIRST:  LCALL   READ_KEY
        MOV     22H,C
DONE:   SJMP    DONE
)";
        const codegentest::Program p = codegentest::assembleInto(m, main, g.text);
        ASSERT_TRUE(p.ok) << p.messages;
        m.modules.keypad.windowOpen = true;
        ASSERT_TRUE(codegentest::runTo(m, p.labels.at("FIRST"), 100000));
        EXPECT_EQ(m.chip.iram[0x48], 0xFF);
        EXPECT_EQ(m.chip.iram[0x21], 0xFF);
        EXPECT_EQ(m.chip.iram[0x24] & 1, 0); // no carry: no key
        m.modules.keypad.KeypadPressed = 1;
        m.modules.keypad.keyRow = uint8_t(c.row);
        m.modules.keypad.keyColumn = uint8_t(c.column);
        ASSERT_TRUE(codegentest::runTo(m, p.labels.at("DONE"), 100000));
        const int columns = c.type == 0 ? 3 : c.type == 1 ? 4 : 8;
        EXPECT_EQ(m.chip.iram[0x48], c.row * columns + c.column);
        EXPECT_EQ(m.chip.iram[0x24] & 4, 4); // carry: a key
    }
}
