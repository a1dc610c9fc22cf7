// Access paths of the chip state: code/direct/stored/bit/external reads and
// writes with their SFR side effects, the EEPROM and overlap paths, and
// Reset CPU.
#include "core_test_support.h"

using namespace quorvel;
using namespace quorvel::test;

TEST(ChipState, CodeSpaceIsBoundedByTheCodeLimit) {
    ChipState chip = makeChip(0x0FFF);
    chip.writeCode(0x0FFF, 0x12);
    chip.writeCode(0x1234, 0x55);
    EXPECT_EQ(chip.readCode(0x0FFF), 0x12);
    EXPECT_EQ(chip.readCode(0x1234), 0xFF);

    // A 64K configuration holds all 65536 bytes, not 0.
    ChipState full = makeChip(0xFFFF, 0xFFFF);
    EXPECT_EQ(full.code.size(), 65536u);
    EXPECT_EQ(full.xdata.size(), 65536u);
    full.writeCode(0xFFFF, 0xAB);
    EXPECT_EQ(full.readCode(0xFFFF), 0xAB);
}

TEST(ChipState, ResetSetsTheDocumentedValuesAndKeepsMemory) {
    ChipState chip = makeChip(0x0FFF, 0x07FF);
    chip.iram[0x30] = 0x5A;
    chip.xdata[5] = 0x77;
    chip.cycles = 1234;
    chip.pc = 0x0456;
    chip.sfr(sfr::TMOD) = 0x21;
    chip.sfr(sfr::ACC) = 0x99;
    chip.side.serialReceiveBuffer = 0x42;
    chip.pins.setLevel(8, true);
    chip.periph.irq.inService = kInServiceHigh | kInServiceLow;
    chip.reset();
    EXPECT_EQ(chip.pc, 0);
    EXPECT_EQ(chip.sfr(sfr::SP), 0x07);
    for (uint8_t port : {sfr::P0, sfr::P1, sfr::P2, sfr::P3}) EXPECT_EQ(chip.sfr(port), 0xFF);
    EXPECT_EQ(chip.sfr(sfr::PSW), 0x00); // P follows A = 00H
    EXPECT_EQ(chip.sfr(sfr::TMOD), 0x00);
    EXPECT_EQ(chip.sfr(sfr::ACC), 0x00);
    EXPECT_EQ(chip.side.serialReceiveBuffer, 0);
    EXPECT_EQ(chip.iram[0x30], 0x5A);
    EXPECT_EQ(chip.xdata[5], 0x77);
    EXPECT_EQ(chip.cycles, 1234u);
    EXPECT_TRUE(chip.pins.level(8));
    EXPECT_EQ(chip.periph.irq.inService, 0);
}

TEST(ChipState, DirectReadsAndWritesCarryTheSfrSideEffects) {
    ChipState chip = makeChip();
    EventRecorder events;
    chip.events = &events;

    // SBUF: the write starts a transmission; a read returns the receive buffer.
    chip.side.serialReceiveBuffer = 0x33;
    chip.writeDirect(sfr::SBUF, 0x41);
    EXPECT_EQ(chip.sfr(sfr::SBUF), 0x41);
    EXPECT_EQ(chip.periph.serial.txState, Transmit::Waiting);
    EXPECT_EQ(chip.periph.serial.txBits, 8);
    EXPECT_EQ(chip.readDirect(sfr::SBUF), 0x33);

    // SCON and SPCR notify; a bit write to them does not.
    chip.writeDirect(sfr::SCON, 0x50);
    chip.writeDirect(sfr::SPCR, 0x50);
    chip.writeBit(sfr::SCON + 1, true);
    EXPECT_EQ(events.sconWrites, 1);
    EXPECT_EQ(events.spcrWrites, 1);
    EXPECT_EQ(chip.sfr(sfr::SCON), 0x52);

    // Read-modify-write paths bypass every side effect.
    chip.writeStored(sfr::SBUF, 0x10);
    chip.writeStored(sfr::SCON, 0x00);
    EXPECT_EQ(events.sconWrites, 1);
    EXPECT_EQ(chip.readStored(sfr::SBUF), 0x10);

    // Addresses below 0x80 are RAM; an unnamed SFR address is plain storage.
    chip.writeDirect(0x7F, 0x11);
    chip.writeDirect(0xFF, 0x22);
    EXPECT_EQ(chip.iram[0x7F], 0x11);
    EXPECT_EQ(chip.readDirect(0xFF), 0x22);
    EXPECT_EQ(chip.iram[0xFF], 0x00);

    // An edit from outside the program: plain storage, and P follows A
    // whichever of the two is written.
    chip.setSfr(sfr::SBUF, 0x55);
    EXPECT_EQ(events.sconWrites, 1);
    chip.setSfr(sfr::ACC, 0x07);
    EXPECT_EQ(chip.psw() & 1, 1);
    chip.setSfr(sfr::PSW, 0x00);
    EXPECT_EQ(chip.psw(), 0x01);
    chip.setSfr(sfr::ACC, 0x03);
    EXPECT_EQ(chip.psw(), 0x00);
}

// A second SPDR write during a transfer only sets WCOL.
TEST(ChipState, SpdrWriteDuringATransferCollides) {
    ChipState chip = makeChip();
    chip.sfr(sfr::SPCR) = sfr::bits::SPE | sfr::bits::MSTR;
    chip.writeDirect(sfr::SPDR, 0xA5);
    EXPECT_EQ(chip.periph.spi.state, SpiTransfer::Started);
    chip.writeDirect(sfr::SPDR, 0x5A);
    EXPECT_EQ(chip.sfr(sfr::SPDR), 0xA5);
    EXPECT_EQ(chip.side.spiTransmitShadow, 0xA5);
    EXPECT_EQ(chip.sfr(sfr::SPSR), sfr::bits::WCOL);
}

TEST(ChipState, WmconReadsOnlyTheReadyBit) {
    ChipState chip = makeChip(0x1FFF, 0, true);
    chip.sfr(sfr::WMCON) = sfr::bits::EEMEN | sfr::bits::WDTEN | 0xE0;
    EXPECT_EQ(chip.readDirect(sfr::WMCON), 0x02); // ready flag
    chip.eepromReady = 0;
    EXPECT_EQ(chip.readDirect(sfr::WMCON), 0x00);
    chip.sfr(sfr::WMCON) |= sfr::bits::WDTRST;
    EXPECT_EQ(chip.readDirect(sfr::WMCON), 0x02);
}

// Bit addresses 00-7F are RAM 20-2F; from 80 on, bit n of the SFR at the
// multiple of 8 below it (F9 is bit 1 of F8, nothing at F9).
TEST(ChipState, BitAddressesMapToRamAndSfrBytes) {
    const struct {
        uint8_t bit, byteAddress, mask;
    } rows[] = {{0x07, 0x20, 0x80}, {0x7F, 0x2F, 0x80}, {0xE7, sfr::ACC, 0x80},
                {0xD7, sfr::PSW, sfr::bits::CY}, {0xF1, sfr::B, 0x02}, {0xF9, 0xF8, 0x02}};
    for (const auto& r : rows) {
        ChipState chip = makeChip();
        chip.sfr(sfr::PSW) = 0;
        chip.writeBit(r.bit, true);
        EXPECT_EQ(chip.readStored(r.byteAddress), r.mask) << std::hex << int(r.bit);
        EXPECT_TRUE(chip.readBit(r.bit));
        chip.writeBit(r.bit, 2); // the value modulo 2
        EXPECT_EQ(chip.readStored(r.byteAddress), 0) << std::hex << int(r.bit);
    }
    ChipState chip = makeChip();
    chip.writeBit(0xF9, true);
    EXPECT_EQ(chip.sfr(0xF9), 0x00);
}

TEST(ChipState, ExternalDataPaths) {
    // No external data memory: reads 0xFF, writes dropped.
    ChipState none = makeChip();
    none.writeXdata(0x10, 0x12);
    EXPECT_EQ(none.readXdata(0x10), 0xFF);

    ChipState chip = makeChip(0x1FFF, 0x07FF);
    chip.writeXdata(0x07FF, 0x5A);
    chip.writeXdata(0x0800, 0x66);
    EXPECT_EQ(chip.readXdata(0x07FF), 0x5A);
    EXPECT_EQ(chip.readXdata(0x0800), 0xFF);

    // Inside the overlap window MOVX reaches program memory.
    chip.overlapEnabled = true;
    chip.overlapStart = 0x0100;
    chip.overlapEnd = 0x01FF;
    chip.writeCode(0x0100, 0xC3);
    EXPECT_EQ(chip.readXdata(0x0100), 0xC3);
    chip.writeXdata(0x0101, 0x99);
    EXPECT_EQ(chip.readCode(0x0101), 0x99);
    EXPECT_EQ(chip.xdata[0x0101], 0x00);
    EXPECT_EQ(chip.readXdata(0x0200), 0x00);
}

TEST(ChipState, OnChipEepromPath) {
    ChipState chip = makeChip(0x1FFF, 0x0FFF, true);
    chip.cycleTimeUs = 1.0f;
    chip.sfr(sfr::WMCON) = sfr::bits::EEMEN;
    // EEMEN without EEMWE: the write is dropped, the EEPROM is still read.
    chip.writeXdata(0x07FF, 0x12);
    EXPECT_EQ(chip.eeprom[0x07FF], 0xFF);
    EXPECT_EQ(chip.readXdata(0x07FF), 0xFF);
    EXPECT_EQ(chip.eepromReady, 2);
    // 0x0800 is past the EEPROM: external data memory.
    chip.writeXdata(0x0800, 0x34);
    EXPECT_EQ(chip.xdata[0x0800], 0x34);
    // Without EEMEN MOVX reaches external data memory.
    chip.sfr(sfr::WMCON) = 0;
    chip.writeXdata(0x0010, 0x56);
    EXPECT_EQ(chip.xdata[0x0010], 0x56);
    EXPECT_EQ(chip.eeprom[0x0010], 0xFF);
}
