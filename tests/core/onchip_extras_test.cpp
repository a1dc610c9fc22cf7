// The AT89S extras: the SPI unit (bit timing, MOSI/SCK, SPIF, logs, slave
// transfers), the on-chip EEPROM's write time and the watchdog. (A master
// program on the unit: the SPI demonstration.)
#include "chip/eeprom_watchdog.h"
#include "chip/spi_unit.h"

#include "core_test_support.h"

using namespace quorvel;
using namespace quorvel::test;
using namespace quorvel::sfr::bits;

namespace {

constexpr uint8_t kWmcon = sfr::WMCON;

// MOV SPDR,A then NOPs, on an AT89S8252.
Machine spiMaster(uint8_t spcr, uint8_t data) {
    Machine m = makeMachine(DeviceKind::AT89S8252, 12000000);
    std::fill(m.chip.code.begin(), m.chip.code.end(), 0x00);
    loadCode(m, {0xF5, 0x86});
    m.chip.sfr(sfr::SPCR) = spcr;
    m.chip.sfr(sfr::ACC) = data;
    return m;
}

int mosi(const Machine& m) { return (m.chip.sfr(sfr::P1) >> 5) & 1; }
int sck(const Machine& m) { return (m.chip.sfr(sfr::P1) >> 7) & 1; }
bool spif(const Machine& m) { return (m.chip.sfr(sfr::SPSR) & SPIF) != 0; }

} // namespace

// The bits a step shifts out: SPR = 0 gives 4 clocks a bit, so a 1-cycle
// instruction (12 clocks) completes 3 bits and leaves a remainder of 4;
// SPR = 1 gives 16 clocks a bit, and a 4-cycle instruction (MUL AB, 48
// clocks) shifts floor(32 / 16) + 1 = 3 bits with the remainder back to 16.
TEST(SpiUnit, BitsPerStepFollowTheClockRate) {
    for (const auto& [spr, second, remainder] : {std::tuple{0, 0x00, 4}, {1, 0xA4, 16}}) {
        SCOPED_TRACE(spr);
        Machine m = spiMaster(uint8_t(SPE | MSTR | spr), 0x5A);
        loadCode(m, {0xF5, 0x86, uint8_t(second), uint8_t(second)});
        m.chip.periph.spi.slaveByte = 0xC3;
        stepN(m, 2);
        EXPECT_EQ(m.chip.periph.spi.bitsLeft, 5);
        EXPECT_EQ(m.chip.periph.spi.remainder, remainder);
    }
    Machine m = spiMaster(SPE | MSTR, 0x5A);
    m.chip.periph.spi.slaveByte = 0xC3;
    stepN(m, 3);
    EXPECT_FALSE(spif(m));
    stepN(m, 1);
    EXPECT_TRUE(spif(m));
    EXPECT_EQ(m.chip.periph.spi.state, SpiTransfer::Idle);
    EXPECT_EQ(m.chip.periph.spi.txLog.at(0), 0x5A);
    EXPECT_EQ(m.chip.periph.spi.rxLog.at(0), 0xC3);
    // Reading SPDR returns the received byte and clears SPSR.
    EXPECT_EQ(m.chip.readDirect(sfr::SPDR), 0xC3);
    EXPECT_FALSE(spif(m));
}

TEST(SpiUnit, MosiShowsTheBitsInEitherOrderAndSckFollowsCpol) {
    for (bool lsbFirst : {false, true}) {
        SCOPED_TRACE(lsbFirst);
        // SPR = 3: 128 clocks a bit, so each bit stays for several steps.
        Machine m = spiMaster(uint8_t(SPE | MSTR | CPOL | 0x03 | (lsbFirst ? DORD : 0)), 0xB1);
        stepN(m, 1);
        std::vector<int> bits;
        int lastLeft = 9;
        for (int i = 0; i < 200 && m.chip.periph.spi.state != SpiTransfer::Idle; ++i) {
            stepN(m, 1);
            EXPECT_EQ(sck(m), 1);
            const int left = m.chip.periph.spi.bitsLeft;
            if (left != lastLeft && left > 0) bits.push_back(mosi(m));
            lastLeft = left;
        }
        // bits left 8 ... 1 show 1011 0001 from the top, or from the bottom
        const std::vector<int> msb = {1, 0, 1, 1, 0, 0, 0, 1};
        const std::vector<int> lsb = {1, 0, 0, 0, 1, 1, 0, 1};
        EXPECT_EQ(bits, lsbFirst ? lsb : msb);
        EXPECT_EQ(mosi(m), 0); // after the last bit
        EXPECT_TRUE(spif(m));
    }
}

TEST(SpiUnit, NothingWithoutSpeAndSlaveTransfersCompleteAtOnce) {
    Machine off = spiMaster(MSTR, 0x11);
    stepN(off, 50);
    EXPECT_FALSE(spif(off));
    EXPECT_EQ(off.chip.periph.spi.state, SpiTransfer::Started); // started, waits for SPE

    Machine slave = spiMaster(SPE, 0x66); // MSTR clear: the write only loads
    stepN(slave, 1);
    EXPECT_EQ(slave.chip.periph.spi.state, SpiTransfer::Idle);
    requestSpiSlaveTransfer(slave.chip, 0x99);
    stepN(slave, 1);
    EXPECT_TRUE(spif(slave));
    EXPECT_EQ(slave.chip.side.spiReceiveBuffer, 0x99);
    EXPECT_EQ(slave.chip.periph.spi.txLog.at(0), 0x66);
}

TEST(OnChipEeprom, BusyFor2500MicrosecondsAt12MHz) {
    Machine m = makeMachine(DeviceKind::AT89S8252, 12000000);
    std::fill(m.chip.code.begin(), m.chip.code.end(), 0x00);
    loadCode(m, {0xF0}); // MOVX @DPTR,A
    m.chip.sfr(kWmcon) = EEMEN | EEMWE;
    m.chip.sfr(sfr::ACC) = 0x5A;
    stepN(m, 1);
    EXPECT_EQ(m.chip.eeprom[0], 0x5A);
    EXPECT_EQ(m.chip.readDirect(kWmcon), 0x00);
    stepN(m, 2498);
    EXPECT_EQ(m.chip.readDirect(kWmcon), 0x00); // 2500 cycles since the write began
    stepN(m, 1);
    EXPECT_EQ(m.chip.readDirect(kWmcon), 0x02);

    // At 24 MHz the same 2500 us are 5000 machine cycles.
    Machine fast = makeMachine(DeviceKind::AT89S8252, 24000000);
    fast.chip.sfr(kWmcon) = EEMEN | EEMWE;
    fast.chip.writeXdata(0x0010, 0x77);
    EXPECT_EQ(fast.chip.periph.eepromCountdown, 5000);
}

TEST(Watchdog, ResetsAfterItsPeriodUnlessRestarted) {
    Machine m = makeMachine(DeviceKind::AT89S8252, 12000000);
    // MOV WMCON,#03 (PS 0, WDTRST, WDTEN), then SJMP $ forever.
    loadCode(m, {0x75, 0x96, 0x03, 0x80, 0xFE});
    m.chip.iram[0x30] = 0x42;
    stepN(m, 1);
    EXPECT_EQ(m.chip.sfr(kWmcon), WDTEN); // WDTRST clears itself
    stepN(m, 7998);
    EXPECT_EQ(m.chip.pc, 0x0003);
    stepN(m, 1); // 16000 cycles after the start
    EXPECT_EQ(m.chip.pc, 0x0000);
    EXPECT_EQ(m.chip.sfr(kWmcon), 0x00);
    EXPECT_EQ(m.chip.sfr(sfr::SP), 0x07);
    EXPECT_EQ(m.chip.iram[0x30], 0x42); // RAM survives

    // Restarting with WDTRST keeps it alive.
    Machine kept = makeMachine(DeviceKind::AT89S8252, 12000000);
    loadCode(kept, {0x75, 0x96, 0x03, 0x00, 0x43, 0x96, 0x02, 0x80, 0xFA});
    stepN(kept, 30000);
    EXPECT_NE(kept.chip.pc, 0x0000);
    EXPECT_EQ(kept.chip.sfr(kWmcon) & WDTEN, WDTEN);
}

TEST(Watchdog, EnablingLoadsAFullPeriod) {
    // WDTEN alone, PS = 1 (32 ms): no reset after one instruction.
    Machine m = makeMachine(DeviceKind::AT89S8252, 12000000);
    loadCode(m, {0x75, 0x96, 0x21, 0x80, 0xFE});
    stepN(m, 2);
    EXPECT_EQ(m.chip.pc, 0x0003);
    EXPECT_EQ(m.chip.periph.watchdogCountdown, 32000 - 4);
    EXPECT_EQ(watchdogPeriodCycles(m.chip), 32000);
}
