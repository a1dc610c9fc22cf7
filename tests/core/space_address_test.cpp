// The one address form of every memory space: parsing, and a debugger's
// reads and writes, which store all of a write or none of it.
#include "core_test_support.h"
#include "machine/space_address.h"

using namespace quorvel;
using namespace quorvel::test;

TEST(SpaceAddress, ParseNamesAndNumbers) {
    const struct {
        const char* text;
        std::optional<SpaceAddress> place;
        const char* error = "";
    } cases[] = {
        {"code:0100", SpaceAddress{AddressSpace::Code, 0x0100}},
        {"xdata:0x1234", SpaceAddress{AddressSpace::ExternalData, 0x1234}},
        {"iram:7Fh", SpaceAddress{AddressSpace::InternalRam, 0x7F}},
        {"sfr:p1", SpaceAddress{AddressSpace::Sfr, 0x90}},
        {"sfr:B", SpaceAddress{AddressSpace::Sfr, 0xF0}}, // the name, not hexadecimal 0BH
        {"bit:TI", SpaceAddress{AddressSpace::Bit, 0x99}},
        {"eeprom:7FF", SpaceAddress{AddressSpace::Eeprom, 0x07FF}},
        {"flash:10", std::nullopt, "unknown memory space \"flash\""},
        {"iram", std::nullopt, "expected SPACE:ADDRESS"},
        {"iram:", std::nullopt, "\"\" is not a hexadecimal address"},
        {"xdata:10000", std::nullopt, "\"10000\" is not a hexadecimal address"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error;
        EXPECT_EQ(parseSpaceAddress(c.text, error), c.place);
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

TEST(SpaceAddress, WritesStoreWhereTheProgramReads) {
    Machine m = makeMachine(DeviceKind::AT89S8252, 12000000, 0x1FFF, 0xFFFF);
    using Bytes = std::vector<uint8_t>;
    const struct {
        const char* at;
        Bytes values;
        // What the program then reads there, or what the write changed.
        std::function<Bytes(ChipState&)> seen;
        Bytes expected;
    } cases[] = {
        {"iram:FE", {1, 2}, [](ChipState& c) { return Bytes{c.iram[0xFE], c.iram[0xFF]}; }, {1, 2}},
        {"sfr:B", {0x5A}, [](ChipState& c) { return Bytes{c.readDirect(sfr::B)}; }, {0x5A}},
        // A bit lands in its byte; ACC.0 set makes the parity (PSW.0) odd.
        {"bit:0F", {1}, [](ChipState& c) { return Bytes{c.iram[0x21]}; }, {0x80}},
        {"bit:E0", {1}, [](ChipState& c) { return Bytes{c.acc(), uint8_t(c.psw() & 1)}; }, {1, 1}},
        {"xdata:FFFE", {7, 8}, [](ChipState& c) { return Bytes{c.readXdata(0xFFFE), c.readXdata(0xFFFF)}; }, {7, 8}},
        {"eeprom:7FF", {9}, [](ChipState& c) { return Bytes{c.eeprom[0x7FF]}; }, {9}},
        {"code:1FFF", {0x22}, [](ChipState& c) { return Bytes{c.readCode(0x1FFF)}; }, {0x22}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.at);
        std::string error;
        const SpaceAddress at = *parseSpaceAddress(c.at, error);
        ASSERT_FALSE(writeSpace(m, at, c.values));
        EXPECT_EQ(readSpace(m, at, c.values.size()), c.values);
        ChipState chip = m.chip;
        EXPECT_EQ(c.seen(chip), c.expected);
    }
    EXPECT_EQ(readSpace(m, {AddressSpace::ExternalData, 0xFFFE}, 4).size(), 2u) << "a read stops where the space ends";
}

TEST(SpaceAddress, RefusedWritesStoreNothing) {
    const struct {
        const char* at;
        std::vector<uint8_t> values;
        DeviceKind kind;
        const char* message;
    } cases[] = {
        {"xdata:FFFF", {1, 2}, DeviceKind::AT89C52, "beyond address 0FFFFH"},
        {"xdata:07FF", {1, 2}, DeviceKind::AT89C52, "xdata:0800 is beyond the external data memory"},
        {"iram:7F", {1, 2}, DeviceKind::AT89C51, "iram:80 is beyond the internal RAM"},
        {"sfr:7F", {1}, DeviceKind::AT89C52, "sfr:7F is not an SFR address"},
        {"bit:00", {1, 2}, DeviceKind::AT89C52, "a bit takes 0 or 1"},
        {"eeprom:0", {1}, DeviceKind::AT89C52, "the device has no EEPROM"},
        {"xdata:0", {1}, DeviceKind::AT89C2051, "there is no external data memory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.at);
        Machine m = makeMachine(c.kind, 12000000, 0x07FF, c.kind == DeviceKind::AT89C2051 ? 0 : 0x07FF);
        const Machine before = m;
        std::string error;
        const Validation refused = writeSpace(m, *parseSpaceAddress(c.at, error), c.values);
        ASSERT_TRUE(refused);
        EXPECT_NE(refused->text.find(c.message), std::string::npos) << refused->text;
        EXPECT_EQ(m.chip.iram, before.chip.iram);
        EXPECT_EQ(m.chip.xdata, before.chip.xdata);
    }
}
