// IIC and SPI generation: device bytes per EEPROM type, every routine
// assembling alone, and the generated routines writing and reading the
// simulated EEPROMs and clock.
#include "codegen/bus_codegen.h"
#include "codegen_test_support.h"

#include "modules/iic_bus.h"

#include <gtest/gtest.h>

using namespace quorvel;

// The device byte of each EEPROM type from its address pins (the types
// with block bits ignore some); every routine alone assembles.
TEST(IicCodeGen, DeviceBytesPerTypeAndRoutinesAlone) {
    const IicSettings module;
    IicCodeGenSettings s;
    s.lines = {0x17, 0x16, 0};
    s.eepromLevels = kEepromA2 | kEepromA0; // 1010 1011 for the types using both
    for (const auto& [type, device] : {std::pair{0, 0xAB}, {2, 0xA9}, {3, 0xA9}, {4, 0xA1}}) {
        s.eepromType = uint8_t(type);
        EXPECT_EQ(iicEepromDeviceByte(s), device) << type;
    }
    s.rtc = kIicGenRtcA0;
    for (const uint8_t routine : {kIicGenRtcRead, kIicGenRtcWrite, kIicGenEepromRead, kIicGenEepromWrite}) {
        s.routines = routine;
        EXPECT_TRUE(codegentest::assembles(generateIicCode(s, module).text)) << int(routine);
    }
    EXPECT_TRUE(generateIicCode(IicCodeGenSettings{}, module).sections.empty());
}

TEST(SpiCodeGen, EveryRoutineAlone) {
    const SpiSettings module;
    SpiCodeGenSettings s;
    s.lines = {0x10, 0x11, 0x12};
    s.cs = 0x13;
    for (const uint8_t bus : {uint8_t(0), kSpiGenFourWire})
        for (const uint8_t routine : {kSpiGenRead, kSpiGenWrite}) {
            s.bus = bus;
            s.routines = routine;
            EXPECT_TRUE(codegentest::assembles(generateSpiCode(s, module).text)) << int(bus) << " " << int(routine);
        }
    EXPECT_TRUE(generateSpiCode(SpiCodeGenSettings{}, module).sections.empty());
}

// The generated IIC routines on a machine with each EEPROM type and the
// clock: bytes written land in the EEPROM's memory and the clock's
// registers, and read back into internal RAM.
TEST(BusCodeGenRun, IicEepromAndClockHoldTheBytesWritten) {
    for (const uint8_t type : {uint8_t(1), uint8_t(2), uint8_t(3), uint8_t(4)}) {
        SCOPED_TRACE(int(type));
        Machine m = codegentest::makeMachine(DeviceKind::AT89C52, 12000000);
        IicSettings& iic = m.modules.settings.iic;
        // The AT24C08 and AT24C16 answer the device address the clock has
        // (their block bits), so the clock is left off the bus with them.
        const uint8_t rtc = type >= 3 ? 0 : kRtcConnected | kRtcA0;
        iic = {kIicEnableBus, rtc, 0, kEepromConnected | kEepromA1, type, 0x16, 0x17};
        IicCodeGenSettings s;
        s.routines = 0x0F;
        s.rtc = kIicGenSameAsSimulation;
        const GeneratedCode g = generateIicCode(s, iic);
        ASSERT_EQ(g.error, "");
        const std::string main = R"(
        ORG     0
        MOV     SP,#60H
        MOV     DPTR,#00F3H
        MOV     A,#5AH
        LCALL   EEPROM_WRITE
        MOV     20H,C
        MOV     DPTR,#0305H
        MOV     A,#0C3H
        LCALL   EEPROM_WRITE
        MOV     DPTR,#00F3H
        LCALL   EEPROM_READ
        MOV     40H,A
        MOV     DPTR,#0305H
        LCALL   EEPROM_READ
        MOV     41H,A
        MOV     50H,#45H              ; 45 seconds, 59 minutes
        MOV     51H,#59H
        MOV     R0,#50H
        MOV     R1,#2
        MOV     R6,#2
        LCALL   RTC_WRITE
        MOV     R0,#42H
        MOV     R1,#2
        MOV     R6,#2
        LCALL   RTC_READ
DONE:   SJMP    DONE
)";
        const codegentest::Program p = codegentest::assembleInto(m, main, g.text);
        ASSERT_TRUE(p.ok) << p.messages;
        ASSERT_TRUE(codegentest::runTo(m, p.labels.at("DONE"), 200000));
        const auto& memory = m.modules.iic.eeprom.EepromMemory;
        EXPECT_EQ(memory[0xF3], 0x5A);
        // Address 305H wraps to 05H in the AT24C02's 256 bytes and to 105H in
        // the AT24C04's 512; the larger types keep it.
        EXPECT_EQ(memory[type == 1 ? 0x05 : type == 2 ? 0x105 : 0x305], 0xC3);
        EXPECT_EQ(m.chip.iram[0x40], 0x5A);
        EXPECT_EQ(m.chip.iram[0x41], 0xC3);
        if (!rtc) continue;
        EXPECT_EQ(m.modules.iic.rtc.RtcMemory[2], 0x45);
        EXPECT_EQ(m.modules.iic.rtc.RtcMemory[3], 0x59);
        EXPECT_EQ(m.chip.iram[0x42], 0x45);
        EXPECT_EQ(m.chip.iram[0x43], 0x59);
    }
}

TEST(BusCodeGenRun, SpiEepromHoldsTheBytesWritten) {
    for (const bool four : {true, false}) {
        SCOPED_TRACE(four ? "4 wire" : "3 wire");
        Machine m = codegentest::makeMachine(DeviceKind::AT89C52, 12000000);
        SpiSettings& spi = m.modules.settings.spi;
        spi.SpiOptions = uint8_t(kSpiEnableBus | (four ? kSpiFourWire : 0));
        spi.SpiLines = {0x14, 0x15, 0x16};
        spi.SpiEepromCs = 0x13;
        spi.SpiEepromOptions = kSpiEepromConnected | (2 << kSpiEepromTypeShift); // AT25C040
        SpiCodeGenSettings s;
        s.routines = kSpiGenRead | kSpiGenWrite;
        s.bus = kSpiGenSameAsSimulation;
        const GeneratedCode g = generateSpiCode(s, spi);
        ASSERT_EQ(g.error, "");
        const std::string main = R"(
        ORG     0
        MOV     SP,#60H
        SETB    SPI_CS
        MOV     DPTR,#01FEH
        MOV     A,#0A5H
        LCALL   EEPROM_WRITE
        MOV     DPTR,#01FFH
        MOV     A,#3CH
        LCALL   EEPROM_WRITE
        MOV     DPTR,#01FEH
        LCALL   EEPROM_READ
        MOV     40H,A
        MOV     DPTR,#01FEH
        MOV     R0,#41H
        MOV     R6,#2
        LCALL   EEPROM_READ_BLOCK
DONE:   SJMP    DONE
)";
        const codegentest::Program p = codegentest::assembleInto(m, main, g.text);
        ASSERT_TRUE(p.ok) << p.messages;
        ASSERT_TRUE(codegentest::runTo(m, p.labels.at("DONE"), 200000));
        EXPECT_EQ(m.modules.spiEeprom.memory[0x1FE], 0xA5);
        EXPECT_EQ(m.modules.spiEeprom.memory[0x1FF], 0x3C);
        EXPECT_EQ(m.chip.iram[0x40], 0xA5);
        EXPECT_EQ(m.chip.iram[0x41], 0xA5);
        EXPECT_EQ(m.chip.iram[0x42], 0x3C);
    }
}
