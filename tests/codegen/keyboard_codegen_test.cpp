// Keypad generation: the address check, and the generated READ_KEY finding
// a held key on the simulated keypad for every type, regular and irregular.
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

TEST(KeyboardCodeGen, AddressAndSimulationSettings) {
    ModuleSettings module;
    module.KeypadType = kKeypadNone;
    KeyboardCodeGenSettings s = record(0, kRowsLow, {0x14, 0x15, 0x16});
    // A buffer address with a letter first still assembles (0A8H, not A8H).
    s.keyBuffer = 0xA8;
    EXPECT_TRUE(codegentest::assembles(generateKeyboardCode(s, module, 1.0).text));
    s.type |= kKeyGenSameAsSimulation; // and the module has no keypad
    EXPECT_TRUE(generateKeyboardCode(s, module, 1.0).sections.empty());

    for (const char* bad : {"", "G1", "123", "3 "})
        EXPECT_EQ(acceptKeyBufferAddress(s, bad), errorMessage("ERROR", "Illegal Internal Memory Address")) << bad;
    EXPECT_EQ(s.keyBuffer, 0xA8);
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
    // Regular wirings are runs of lines in port order; eight columns never are.
    const std::vector<Case> cases{
        {"4 X 3 regular", 0, kRowsLow, {0x14, 0x15, 0x16}, 2, 1},
        {"4 X 3 high rows", 0, kRowsHigh, {0x10, 0x11, 0x12}, 3, 2},
        {"4 X 3 mixed rows and columns", 0, kRowsMixed, {0x14, 0x16, 0x15}, 1, 1},
        {"4 X 4 irregular", 1, kRowsMixed, {0x24, 0x27, 0x25, 0x26}, 3, 3},
        {"4 X 4 regular", 1, kRowsLow, {0x24, 0x25, 0x26, 0x27}, 2, 0},
        {"4 X 4 high rows", 1, kRowsHigh, {0x10, 0x11, 0x12, 0x13}, 0, 3},
        {"4 X 4 one column elsewhere", 1, kRowsLow, {0x24, 0x25, 0x26, 0x17}, 1, 3},
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
