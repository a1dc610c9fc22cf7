// The SPI EEPROM driven pin by pin: chip select, instruction decoding,
// write enabling, page wrap, the write cycle (RDSR 0xFF), write and block
// protection, sequential reads, 3- and 4-wire buses.
#include "modules/spi_eeprom.h"

#include <gtest/gtest.h>

#include <vector>

using namespace quorvel;

namespace {

constexpr PinRef kSck = 0x10, kSo = 0x11, kSi = 0x12, kCs = 0x13; // P1.0-P1.3

struct Master {
    ChipState chip;
    SpiEepromState eeprom;
    SpiSettings settings;
    float cycleTimeUs = 1.0f;

    explicit Master(int type, bool fourWire = true) {
        chip.reset();
        for (int i = 0; i < 32; ++i) chip.pins.setSetting(i, kInput0);
        settings.SpiOptions = uint8_t(kSpiEnableBus | (fourWire ? kSpiFourWire : 0));
        settings.SpiLines = {kSck, kSo, kSi};
        settings.SpiEepromOptions = uint8_t(kSpiEepromConnected | type << kSpiEepromTypeShift);
        settings.SpiEepromCs = kCs;
        line(kSck, false);
    }
    void run() { runSpiEeprom(eeprom, settings, chip, 1, cycleTimeUs); }
    void line(PinRef ref, bool high) {
        uint8_t& p1 = chip.sfr(0x90);
        p1 = high ? uint8_t(p1 | 1u << (ref & 7)) : uint8_t(p1 & ~(1u << (ref & 7)));
        run();
    }
    // Mode 0: data changes while SCK is low, both sides sample on the rise.
    uint8_t transfer(uint8_t out) {
        const PinRef dataOut = spiFourWire(settings) ? kSi : kSo;
        uint8_t in = 0;
        for (int bit = 7; bit >= 0; --bit) {
            line(dataOut, (out >> bit) & 1);
            line(kSck, true);
            in = uint8_t(in << 1 | chip.pins.readBit(pinIndex(kSo), chip.portLatches()));
            line(kSck, false);
        }
        return in;
    }
    std::vector<uint8_t> command(const std::vector<uint8_t>& out, int extra = 0) {
        std::vector<uint8_t> in;
        line(kCs, false);
        for (uint8_t b : out) in.push_back(transfer(b));
        for (int i = 0; i < extra; ++i) in.push_back(transfer(0xFF));
        line(kCs, true);
        return in;
    }
    uint8_t status() { return command({0x05}, 1)[1]; }
    // WREN, then `out` as an instruction of its own.
    void enabled(const std::vector<uint8_t>& out) {
        command({0x06});
        command(out);
    }
    void waitWriteCycle() {
        for (int i = 0; i < 10001; ++i) run();
    }
};

} // namespace

TEST(SpiEeprom, PageWriteWrapsWithinItsEightBytes) {
    Master m(1);
    m.command({0x06}); // WREN
    EXPECT_EQ(m.status(), kSpiStatusWriteEnable);
    std::vector<uint8_t> write{0x02, 0x06};
    for (int i = 0; i < 10; ++i) write.push_back(uint8_t(0xA0 + i));
    m.command(write);
    // 0x06, 0x07, then 0x00 ... 0x07 of the same page; the last two land on
    // 0x06 and 0x07 again.
    const std::vector<uint8_t> page(m.eeprom.memory.begin(), m.eeprom.memory.begin() + 9);
    EXPECT_EQ(page, (std::vector<uint8_t>{0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xFF}));
    // The write cycle: RDSR reads 0xFF, writes are ignored.
    EXPECT_EQ(m.status(), 0xFF);
    m.enabled({0x02, 0x20, 0x55});
    EXPECT_EQ(m.eeprom.memory[0x20], 0xFF);
    m.waitWriteCycle();
    EXPECT_EQ(m.status(), 0x00); // the write-enable latch ends with the cycle
}

TEST(SpiEeprom, WriteNeedsWriteEnable) {
    Master m(0);
    m.command({0x02, 0x10, 0x11});
    EXPECT_EQ(m.eeprom.memory[0x10], 0xFF);
    EXPECT_EQ(m.status(), 0x00); // nothing stored: no write cycle
    m.command({0x06});
    m.command({0x04}); // WRDI
    m.command({0x02, 0x10, 0x11});
    EXPECT_EQ(m.eeprom.memory[0x10], 0xFF);
    m.enabled({0x02, 0x90, 0x22}); // AT25C010: seven address bits
    EXPECT_EQ(m.eeprom.memory[0x10], 0x22);
}

// (The generated driver's run reads and writes with address bit 8.)
TEST(SpiEeprom, ReadContinuesAcrossTheEnd) {
    Master m(2);
    m.eeprom.memory[0x1FF] = 0x01;
    m.eeprom.memory[0x000] = 0x02;
    const std::vector<uint8_t> in = m.command({0x0B, 0xFF}, 2);
    EXPECT_EQ(in[2], 0x01);
    EXPECT_EQ(in[3], 0x02);
    // AT25C020: bit 3 of the instruction is not an address bit.
    Master c020(1);
    c020.eeprom.memory[0x10] = 0x77;
    EXPECT_EQ(c020.command({0x0B, 0x10}, 1)[2], 0x77);
}

TEST(SpiEeprom, ChipSelectFramesInstructions) {
    Master m(1);
    // Clocks while deselected are ignored.
    for (int i = 0; i < 5; ++i) m.transfer(0x06);
    EXPECT_EQ(m.status(), 0x00);
    // Deselecting in the middle of an instruction drops it; the next one
    // starts with the first rising edge after selection.
    m.line(kCs, false);
    m.line(kSi, false);
    m.line(kSck, true);
    m.line(kSck, false);
    m.line(kCs, true);
    m.command({0x06});
    EXPECT_EQ(m.status(), kSpiStatusWriteEnable);
    // Deselecting lets go of SO: the pin reads its latch again.
    EXPECT_EQ(m.chip.pins.setting[size_t(pinIndex(kSo))], kInputNC);
}

TEST(SpiEeprom, WriteProtectionBlocksEverythingAndStartsNoCycle) {
    Master m(2);
    m.settings.SpiEepromOptions |= kSpiEepromWriteProtect;
    m.enabled({0x02, 0x00, 0x12, 0x34});
    m.enabled({0x01, 0x0C}); // WRSR
    EXPECT_EQ(m.eeprom.memory[0], 0xFF);
    EXPECT_EQ(m.eeprom.memory[1], 0xFF);
    EXPECT_EQ(m.status(), kSpiStatusWriteEnable); // no cycle, no block bits
    EXPECT_FALSE(editSpiEeprom(m.eeprom, m.settings, 0, 0x00));
    m.settings.SpiEepromOptions &= uint8_t(~kSpiEepromWriteProtect);
    EXPECT_TRUE(editSpiEeprom(m.eeprom, m.settings, 0, 0x00));
    EXPECT_FALSE(editSpiEeprom(m.eeprom, m.settings, 512, 0x00));
    EXPECT_EQ(m.status(), kSpiStatusWriteEnable); // edits start no cycle
}

TEST(SpiEeprom, BlockProtectionBySizeAndStatusWrite) {
    // First protected address for BP = 1, 2, 3 and each type.
    const int firstProtected[3][3] = {{96, 64, 0}, {192, 128, 0}, {384, 256, 0}};
    for (int type = 0; type < 3; ++type) {
        for (int bp = 1; bp <= 3; ++bp) {
            SCOPED_TRACE(testing::Message() << "type " << type << " BP " << bp);
            Master m(type);
            m.eeprom.status = uint8_t(bp << 2);
            const int first = firstProtected[type][bp - 1];
            EXPECT_FALSE(spiEepromWritable(m.eeprom, m.settings, first));
            if (first > 0) {
                EXPECT_TRUE(spiEepromWritable(m.eeprom, m.settings, first - 1));
            }
        }
    }
    // WRSR needs write enable, writes only the block bits and takes a write cycle.
    Master m(2);
    m.command({0x01, 0xFF});
    EXPECT_EQ(m.status(), 0x00);
    m.enabled({0x01, 0xFF});
    EXPECT_EQ(m.status(), 0xFF);
    m.waitWriteCycle();
    EXPECT_EQ(m.status(), kSpiStatusBlockProtect); // BP 3: nothing writable
    m.enabled({0x02, 0x00, 0x01});
    EXPECT_EQ(m.eeprom.memory[0x000], 0xFF);
    m.enabled({0x01, 0x08}); // BP 2: the upper half is protected
    m.waitWriteCycle();
    m.enabled({0x02, 0xFF, 0x01});
    m.waitWriteCycle();
    m.enabled({0x0A, 0x00, 0x02});
    EXPECT_EQ(m.eeprom.memory[0x0FF], 0x01);
    EXPECT_EQ(m.eeprom.memory[0x100], 0xFF);
}

TEST(SpiEeprom, OnlyStatusReadsAnswerDuringTheWriteCycle) {
    Master m(1);
    m.enabled({0x02, 0x00, 0x01});
    m.command({0x06}); // ignored during the cycle
    m.eeprom.writeCountdown = 1;
    m.run(); // the cycle ends and clears the write-enable latch
    EXPECT_EQ(m.status(), 0x00);
    // A continuous RDSR follows the status as the cycle ends.
    m.enabled({0x02, 0x01, 0x02});
    m.eeprom.writeCountdown = 40; // a few bytes' worth of instructions
    const std::vector<uint8_t> polled = m.command({0x05}, 3);
    EXPECT_EQ(polled[1], 0xFF);
    EXPECT_EQ(polled[3], 0x00);
}
