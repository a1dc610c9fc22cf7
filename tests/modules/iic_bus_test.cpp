// The IIC bus driven pin by pin as a program would: start/stop, address
// matching and block bits per EEPROM type, acknowledges (and their absence
// for unaddressed or busy devices), write protection, the write cycle,
// sequential reads, the clock's registers and its one-second tick.
#include "modules/iic_bus.h"

#include <gtest/gtest.h>

#include <vector>

using namespace quorvel;

namespace {

constexpr PinRef kScl = 0x16; // P1.6
constexpr PinRef kSda = 0x17; // P1.7

// A bus master that changes one latch per "instruction" and runs the bus
// hook after each, like a bit-banged driver.
struct Master {
    ChipState chip;
    IicState iic;
    IicSettings settings;
    int cycles = 1;
    float cycleTimeUs = 1.0f;

    Master() {
        chip.reset();
        for (int i = 0; i < 32; ++i) chip.pins.setSetting(i, kInput0);
        chip.pins.applySettings(chip.portLatches());
        settings.IicOptions = kIicEnableBus;
        settings.IicScl = kScl;
        settings.IicSda = kSda;
    }
    void line(PinRef ref, bool high) {
        uint8_t& port = chip.sfr(uint8_t(0x80 + (ref >> 4) * 0x10));
        port = high ? uint8_t(port | 1u << (ref & 7)) : uint8_t(port & ~(1u << (ref & 7)));
        runIicBus(iic, settings, chip, cycles, cycleTimeUs);
    }
    void idle(int instructions) {
        for (int i = 0; i < instructions; ++i) runIicBus(iic, settings, chip, cycles, cycleTimeUs);
    }
    bool sdaPin() const { return chip.pins.readBit(pinIndex(kSda), chip.portLatches()); }
    void scl(bool high) { line(kScl, high); }
    void sda(bool high) { line(kSda, high); }

    void start() {
        sda(true);
        scl(true);
        sda(false);
        scl(false);
    }
    void stop() {
        sda(false);
        scl(true);
        sda(true);
    }
    // Returns true when a device acknowledged.
    bool write(uint8_t value) {
        for (int bit = 7; bit >= 0; --bit) {
            sda((value >> bit) & 1);
            scl(true);
            scl(false);
        }
        sda(true); // let go for the acknowledge
        scl(true);
        const bool ack = !sdaPin();
        scl(false);
        return ack;
    }
    uint8_t read(bool ack) {
        sda(true);
        uint8_t value = 0;
        for (int bit = 7; bit >= 0; --bit) {
            scl(true);
            value = uint8_t(value << 1 | sdaPin());
            scl(false);
        }
        sda(!ack);
        scl(true);
        scl(false);
        sda(true);
        return value;
    }
    // Complete transfers; `poll` sends only the address byte.
    bool poll(uint8_t device) {
        start();
        const bool ack = write(device);
        stop();
        return ack;
    }
    bool writeBytes(uint8_t device, uint8_t word, const std::vector<uint8_t>& data) {
        start();
        bool ok = write(device) && write(word);
        for (uint8_t b : data) ok = write(b) && ok;
        stop();
        return ok;
    }
    std::vector<uint8_t> readBytes(uint8_t device, uint8_t word, int count) {
        std::vector<uint8_t> data;
        start();
        if (!write(device) || !write(word)) return data;
        start();
        if (!write(uint8_t(device | 1))) return data;
        for (int i = 0; i < count; ++i) data.push_back(read(i + 1 < count));
        stop();
        return data;
    }
    void eeprom(IicEepromType type, uint8_t pins = 0) {
        settings.EepromType = uint8_t(type);
        settings.EepromOptions = uint8_t(kEepromConnected | pins);
    }
    void waitWriteCycle() { idle(10001); }
};

} // namespace

// Writes stay in their page and go on after the stop; reads run on to the
// next byte, across blocks, and wrap at the end of the device.
TEST(IicEeprom, WritesAndSequentialReads) {
    Master m;
    m.eeprom(IicEepromType::AT24C02);
    ASSERT_TRUE(m.writeBytes(0xA0, 0xFE, {0x12, 0x34}));
    EXPECT_EQ(m.iic.eeprom.EepromMemory[0xFF], 0x34);
    EXPECT_EQ(m.iic.eeprom.EepromMemory[0x00], 0xFF); // no page roll-over into 0
    m.waitWriteCycle();
    EXPECT_EQ(m.readBytes(0xA0, 0xFE, 2), (std::vector<uint8_t>{0x12, 0x34}));
    // Current-address read: the byte after the last one read, wrapping at the end.
    m.iic.eeprom.EepromMemory[0] = 0x5A;
    m.start();
    ASSERT_TRUE(m.write(0xA1));
    EXPECT_EQ(m.read(false), 0x5A);
    m.stop();

    // An AT24C04 addressed in block 0: the bytes after 0FFH go on in block 1.
    Master c04;
    c04.eeprom(IicEepromType::AT24C04);
    ASSERT_TRUE(c04.writeBytes(0xA0, 0xFE, {1, 2, 3, 4}));
    EXPECT_EQ(c04.iic.eeprom.EepromMemory[0x100], 3);
    c04.waitWriteCycle();
    EXPECT_EQ(c04.readBytes(0xA0, 0xFE, 4), (std::vector<uint8_t>{1, 2, 3, 4}));

    // The AT24C01 keeps seven bits of the word address.
    Master c01;
    c01.eeprom(IicEepromType::AT24C01);
    for (int i = 0; i < 128; ++i) c01.iic.eeprom.EepromMemory[size_t(i)] = uint8_t(i);
    c01.iic.eeprom.EepromMemory[128] = 0xEE; // beyond an AT24C01: never read
    EXPECT_EQ(c01.readBytes(0xA0, 0xFD, 5), (std::vector<uint8_t>{0x7D, 0x7E, 0x7F, 0x00, 0x01}));
    EXPECT_LT(c01.iic.eeprom.EepromPointer, 128);
}

TEST(IicEeprom, WriteCycleStartsAtStopAndSilencesTheDeviceFor10ms) {
    Master m;
    m.cycleTimeUs = 0.5f; // 24 MHz: 10 ms are 20000 machine cycles
    m.eeprom(IicEepromType::AT24C02);
    ASSERT_TRUE(m.writeBytes(0xA0, 0x10, {0x01}));
    EXPECT_DOUBLE_EQ(m.iic.eeprom.writeCountdown, 20000.0);
    EXPECT_FALSE(m.poll(0xA0)); // acknowledge polling: busy
    m.idle(20000);
    EXPECT_TRUE(m.poll(0xA0));
    // A transfer that only sets the pointer starts no cycle.
    EXPECT_LE(m.iic.eeprom.writeCountdown, 0.0);
}

TEST(IicEeprom, AddressPinsAndBlockBitsByType) {
    struct Case {
        IicEepromType type;
        uint8_t pins;     // EepromOptions A0-A2 bits
        uint8_t device;   // address byte used
        uint8_t word;
        bool answers;
        int address;      // where the byte lands
    };
    const Case cases[] = {
        {IicEepromType::AT24C01, kEepromA2 | kEepromA0, 0xAA, 0x85, true, 0x05},
        {IicEepromType::AT24C01, kEepromA2 | kEepromA0, 0xA0, 0x05, false, 0},
        {IicEepromType::AT24C02, kEepromA1, 0xA4, 0x85, true, 0x85},
        {IicEepromType::AT24C04, 0, 0xA2, 0x10, true, 0x110},
        {IicEepromType::AT24C04, kEepromA0, 0xA0, 0x10, true, 0x010}, // A0 unused by the type
        {IicEepromType::AT24C04, kEepromA1, 0xA2, 0x10, false, 0},
        {IicEepromType::AT24C08, kEepromA2, 0xAE, 0x22, true, 0x322},
        {IicEepromType::AT24C16, kEepromA2 | kEepromA1, 0xAE, 0xF0, true, 0x7F0},
        {IicEepromType::AT24C16, 0, 0xB0, 0x00, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << int(c.type) << " device " << int(c.device));
        Master m;
        m.eeprom(c.type, c.pins);
        EXPECT_EQ(m.writeBytes(c.device, c.word, {0x42}), c.answers);
        if (c.answers) {
            EXPECT_EQ(m.iic.eeprom.EepromMemory[size_t(c.address)], 0x42);
        }
        else EXPECT_LE(m.iic.eeprom.writeCountdown, 0.0);
    }
}

TEST(IicEeprom, UnaddressedDeviceLeavesSdaReleased) {
    Master m;
    m.eeprom(IicEepromType::AT24C02);
    // The lines start on input "0"; the bus's pull-ups take over as soon as
    // the master moves a line.
    EXPECT_FALSE(m.sdaPin());
    m.scl(false);
    EXPECT_TRUE(m.sdaPin());
    m.start();
    ASSERT_TRUE(m.write(0xA0));
    // After the device's acknowledge the line is free again: the master's
    // own 1 reads back as 1.
    m.sda(true);
    EXPECT_TRUE(m.sdaPin());
    m.stop();
    m.settings.EepromOptions = 0; // disconnected
    EXPECT_FALSE(m.poll(0xA0));
}

TEST(IicEeprom, StartInTheMiddleOfAByteRestartsAtTheAddress) {
    Master m;
    m.eeprom(IicEepromType::AT24C02);
    m.start();
    ASSERT_TRUE(m.write(0xA0));
    ASSERT_TRUE(m.write(0x20));
    for (int bit = 0; bit < 3; ++bit) { // three bits of a data byte, then a new start
        m.sda(true);
        m.scl(true);
        m.scl(false);
    }
    m.start();
    ASSERT_TRUE(m.write(0xA0));
    ASSERT_TRUE(m.write(0x30));
    ASSERT_TRUE(m.write(0x77));
    m.stop();
    EXPECT_EQ(m.iic.eeprom.EepromMemory[0x30], 0x77);
    EXPECT_EQ(m.iic.eeprom.EepromMemory[0x20], 0xFF);
}

TEST(IicEeprom, WriteProtectionByType) {
    struct Case {
        IicEepromType type;
        uint8_t device;
        uint8_t word;
        int address;
        bool written;
    };
    const Case cases[] = {
        {IicEepromType::AT24C01, 0xA0, 0x01, 0x01, false},
        {IicEepromType::AT24C02, 0xA0, 0x01, 0x01, false},
        {IicEepromType::AT24C04, 0xA0, 0x01, 0x01, false},
        {IicEepromType::AT24C08, 0xA6, 0xFF, 0x3FF, true},
        {IicEepromType::AT24C16, 0xA6, 0xFF, 0x3FF, true},
        {IicEepromType::AT24C16, 0xA8, 0x00, 0x400, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << int(c.type) << " address " << c.address);
        Master m;
        m.eeprom(c.type, kEepromWriteProtect);
        EXPECT_TRUE(m.writeBytes(c.device, c.word, {0x00})); // acknowledged either way
        EXPECT_EQ(m.iic.eeprom.EepromMemory[size_t(c.address)], c.written ? 0x00 : 0xFF);
        EXPECT_EQ(iicEepromBusy(m.iic.eeprom), c.written); // an ignored byte starts no cycle
        EXPECT_EQ(editIicEeprom(m.iic.eeprom, m.settings, c.address, 0x11), c.written);
    }
    Master m;
    m.eeprom(IicEepromType::AT24C02);
    EXPECT_FALSE(editIicEeprom(m.iic.eeprom, m.settings, 256, 0x11)); // outside the device
    EXPECT_TRUE(editIicEeprom(m.iic.eeprom, m.settings, 255, 0x11));
    EXPECT_FALSE(iicEepromBusy(m.iic.eeprom)); // window edits start no cycle
}

TEST(IicClock, RegistersMaskFlagAndPointerWrap) {
    Master m;
    m.settings.RtcOptions = kRtcConnected | kRtcA0;
    EXPECT_FALSE(m.writeBytes(0xA0, 0x00, {0x00})); // A0 = 1: answers at 0xA2 only
    ASSERT_TRUE(m.writeBytes(0xA2, 0x05, {0xC9, 0xA7}));
    EXPECT_EQ(m.readBytes(0xA2, 0x05, 2), (std::vector<uint8_t>{0xC9, 0xA7}));
    ASSERT_TRUE(m.writeBytes(0xA2, 0x00, {rtc::MaskFlag}));
    EXPECT_EQ(m.readBytes(0xA2, 0x05, 2), (std::vector<uint8_t>{0x09, 0x07}));
    // The pointer wraps at 256, for writes and reads alike.
    ASSERT_TRUE(m.writeBytes(0xA2, 0xFF, {0x11, 0x22}));
    EXPECT_EQ(m.iic.rtc.RtcMemory[0xFF], 0x11);
    EXPECT_EQ(m.iic.rtc.RtcMemory[0x00], 0x22);
    EXPECT_EQ(m.readBytes(0xA2, 0xFF, 2), (std::vector<uint8_t>{0x11, 0x22}));
}

TEST(IicClock, BothDevicesOnOneAddressDriveTheBusTogether) {
    Master m;
    m.eeprom(IicEepromType::AT24C02);
    m.settings.RtcOptions = kRtcConnected;
    m.iic.eeprom.EepromMemory[0x40] = 0xF0;
    m.iic.rtc.RtcMemory[0x40] = 0x3C;
    EXPECT_EQ(m.readBytes(0xA0, 0x40, 1), (std::vector<uint8_t>{0x30}));
}

// ---- the one-second tick

namespace {

struct Clock {
    RtcState rtc;
    IicSettings settings;
    Clock() { settings.RtcOptions = kRtcConnected; }
    // Sets hh:mm:ss, date, month, weekday and year, all given in BCD.
    void set(uint8_t h, uint8_t mi, uint8_t s, uint8_t date, uint8_t month, int weekday, int year) {
        auto& r = rtc.RtcMemory;
        r[rtc::Hours] = uint8_t((r[rtc::Hours] & 0xC0) | h);
        r[rtc::Minutes] = mi;
        r[rtc::Seconds] = s;
        r[rtc::YearDate] = uint8_t(year << 6 | date);
        r[rtc::WeekdayMonth] = uint8_t(weekday << 5 | month);
    }
    bool tick() { return rtcTick(rtc, settings, LocalTime{}); }
    uint8_t at(int i) const { return rtc.RtcMemory[size_t(i)]; }
};

} // namespace

TEST(IicClockTick, CountsThroughMonthAndYearEnds) {
    struct Case {
        uint8_t date, month;
        int weekday, year;
        uint8_t nextDate, nextMonth;
        int nextWeekday, nextYear;
        uint8_t hour = 0x23, nextHour = 0x00;
    };
    const Case cases[] = {
        {0x28, 0x02, 3, 1, 0x01, 0x03, 4, 1}, // February has 28 days, also in year 0
        {0x28, 0x02, 3, 0, 0x01, 0x03, 4, 0},
        {0x30, 0x04, 6, 2, 0x01, 0x05, 0, 2}, // Saturday -> Sunday
        {0x30, 0x06, 1, 2, 0x01, 0x07, 2, 2},
        {0x30, 0x09, 1, 2, 0x01, 0x10, 2, 2},
        {0x30, 0x11, 1, 2, 0x01, 0x12, 2, 2},
        {0x30, 0x01, 1, 2, 0x31, 0x01, 2, 2},
        {0x31, 0x01, 1, 2, 0x01, 0x02, 2, 2},
        {0x31, 0x12, 5, 3, 0x01, 0x01, 6, 0}, // new year: the year field wraps at 4
        {0x09, 0x10, 0, 0, 0x10, 0x10, 1, 0}, // BCD carry in the date
        {0x15, 0x06, 2, 0, 0x15, 0x06, 2, 0, 0x09, 0x10}, // BCD carry in the hour, same day
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.date) << "/" << int(c.month));
        Clock clock;
        clock.set(c.hour, 0x59, 0x59, c.date, c.month, c.weekday, c.year);
        ASSERT_TRUE(clock.tick());
        EXPECT_EQ(clock.at(rtc::Seconds), 0x00);
        EXPECT_EQ(clock.at(rtc::Minutes), 0x00);
        EXPECT_EQ(clock.at(rtc::Hours), c.nextHour);
        EXPECT_EQ(clock.at(rtc::YearDate), c.nextYear << 6 | c.nextDate);
        EXPECT_EQ(clock.at(rtc::WeekdayMonth), c.nextWeekday << 5 | c.nextMonth);
    }
}

TEST(IicClockTick, TwelveHourFormatTogglesPmAndAdvancesAtMidnight) {
    Clock clock;
    clock.rtc.RtcMemory[rtc::Hours] = rtc::Format12h;
    // {hour at :59:59 (the PM bit carries over), hour register after, date after}:
    // 11 AM -> noon (shown as 0 PM), 9 PM -> 10 PM, 11 PM -> midnight of the next day.
    for (const auto& [hour, after, date] : {std::array{0x11, rtc::Format12h | rtc::Pm, 0x10},
                                            {0x09, rtc::Format12h | rtc::Pm | 0x10, 0x10},
                                            {0x11, int(rtc::Format12h), 0x11}}) {
        clock.set(uint8_t(hour), 0x59, 0x59, 0x10, 0x03, 1, 0);
        clock.tick();
        EXPECT_EQ(clock.at(rtc::Hours), after) << std::hex << hour;
        EXPECT_EQ(clock.at(rtc::YearDate), date) << std::hex << hour;
    }
    EXPECT_EQ(clock.at(rtc::WeekdayMonth), 2 << 5 | 0x03);
}

TEST(IicClockTick, StoppedOrDisconnectedClockDoesNotCount) {
    Clock clock;
    clock.set(0x10, 0x18, 0x09, 0x01, 0x01, 0, 0);
    ASSERT_TRUE(clock.tick()); // a BCD carry in the seconds
    EXPECT_EQ(clock.at(rtc::Seconds), 0x10);
    EXPECT_EQ(clock.at(rtc::Minutes), 0x18);
    clock.set(0x10, 0x00, 0x00, 0x01, 0x01, 0, 0);
    clock.rtc.RtcMemory[rtc::Control] = rtc::StopCounting;
    EXPECT_FALSE(clock.tick());
    EXPECT_EQ(clock.at(rtc::Seconds), 0x00);
    clock.rtc.RtcMemory[rtc::Control] = 0;
    clock.settings.RtcOptions = 0;
    EXPECT_FALSE(clock.tick());
    EXPECT_EQ(clock.at(rtc::Seconds), 0x00);
}

TEST(IicClockTick, SystemTimeIsCopiedInBcd) {
    Clock clock;
    clock.settings.RtcOptions = kRtcConnected | kRtcSystemTime;
    const LocalTime now{2027, 11, 29, 1, 23, 45, 12, 345};
    clock.rtc.RtcMemory[rtc::Hours] = rtc::Pm; // a stray PM bit is kept in 24-hour format
    ASSERT_TRUE(rtcTick(clock.rtc, clock.settings, now));
    EXPECT_EQ(clock.at(rtc::Hundredths), 0x34);
    EXPECT_EQ(clock.at(rtc::Seconds), 0x12);
    EXPECT_EQ(clock.at(rtc::Minutes), 0x45);
    EXPECT_EQ(clock.at(rtc::Hours), rtc::Pm | 0x23);
    EXPECT_EQ(clock.at(rtc::YearDate), 3 << 6 | 0x29);
    EXPECT_EQ(clock.at(rtc::WeekdayMonth), 1 << 5 | 0x11);

    clock.rtc.RtcMemory[rtc::Hours] = rtc::Format12h;
    struct Case {
        int hour;
        uint8_t stored;
    };
    for (Case c : {Case{13, rtc::Format12h | rtc::Pm | 0x01}, Case{12, rtc::Format12h | rtc::Pm},
                   Case{0, rtc::Format12h}, Case{11, rtc::Format12h | 0x11}}) {
        LocalTime t = now;
        t.hour = c.hour;
        rtcTick(clock.rtc, clock.settings, t);
        EXPECT_EQ(clock.at(rtc::Hours), c.stored) << "hour " << c.hour;
    }
}
