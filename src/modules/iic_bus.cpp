#include "modules/iic_bus.h"

namespace quorvel {

namespace {

// Bus events by the index SCL now | SDA now << 1 | SCL before << 2 |
// SDA before << 3. A rising SCL with a changing SDA (0x3, 0x9) is ignored.
enum class IicEvent : uint8_t { None, Start, Stop, Rise, Fall };
constexpr std::array<IicEvent, 16> kEvents{
    IicEvent::None, // 0x0 no change
    IicEvent::Rise, // 0x1 SCL rises, SDA low
    IicEvent::None, // 0x2 SDA rises, SCL low
    IicEvent::None, // 0x3 SCL and SDA rise together
    IicEvent::Fall, // 0x4 SCL falls, SDA low
    IicEvent::None, // 0x5 no change
    IicEvent::Fall, // 0x6 SCL falls, SDA rises
    IicEvent::Stop, // 0x7 SDA rises while SCL is high
    IicEvent::None, // 0x8 SDA falls, SCL low
    IicEvent::None, // 0x9 SCL rises, SDA falls
    IicEvent::None, // 0xA no change
    IicEvent::Rise, // 0xB SCL rises, SDA high
    IicEvent::Fall, // 0xC both fall
    IicEvent::Start, // 0xD SDA falls while SCL is high
    IicEvent::Fall, // 0xE SCL falls, SDA high
    IicEvent::None, // 0xF no change
};

inline unsigned latchBit(const ChipState& chip, PinRef ref) {
    return (chip.sfrs[size_t(((ref >> 4) & 3) * 0x10)] >> (ref & 7)) & 1u;
}

// One pass of the bus: settings, lines and the chip it acts on.
struct Bus {
    IicState& iic;
    const IicSettings& settings;
    ChipState& chip;
    float cycleTimeUs;

    IicBusState& bus() { return iic.bus; }
    int sda() const { return pinIndex(settings.IicSda); }
    int scl() const { return pinIndex(settings.IicScl); }
    bool reading() const { return (iic.bus.addressByte & 1) && iic.bus.byteIndex > 0; }

    void releaseSda() {
        chip.pins.releasePin(sda(), chip.portLatches());
        iic.bus.sdaDriven = false;
    }
    void driveSda(bool high) {
        chip.pins.drivePin(sda(), high);
        iic.bus.sdaDriven = true;
    }
    // The pull-ups: a line nobody holds reads the master's latch.
    void releaseIdleLines() {
        const uint32_t nc = chip.pins.ncMask;
        if (!((nc >> scl()) & 1u)) chip.pins.releasePin(scl(), chip.portLatches());
        if (!iic.bus.sdaDriven && !((nc >> sda()) & 1u)) releaseSda();
    }
    void presentBit(int bit) { driveSda((bus().sendByte >> bit) & 1u); }

    void start();
    void stop();
    void rise(unsigned sdaLatch);
    void fall();
    void byteComplete();
    void readNextByte();
    bool eepromAnswers(uint8_t addressByte) const;
    bool rtcAnswers(uint8_t addressByte) const;
    void eepromByte();
    void rtcByte();
};

void Bus::start() {
    IicBusState& b = bus();
    b.bitCounter = 9;
    b.byteIndex = 0;
    b.shiftRegister = 0;
    b.selected = 0;
    b.startSeen = true;
    b.stopSeen = false;
    releaseSda();
}

void Bus::stop() {
    IicBusState& b = bus();
    b.stopSeen = true;
    b.selected = 0;
    releaseSda();
    // The EEPROM programs what this transfer stored.
    if (iic.eeprom.written) {
        iic.eeprom.written = false;
        iic.eeprom.writeCountdown = 10000.0 / double(cycleTimeUs);
    }
}

// Rising SCL: the master's bits are taken (address byte and written bytes);
// in a read only the master's acknowledge is sampled.
//
// Bit counter while bytes come in: 9 before bit 7; each rising edge takes the
// bit of weight 2^(counter - 2) and counts down; at 1 the byte is complete
// (the devices answer); the ninth (acknowledge) clock brings it to 0, which
// moves on to the next byte.
void Bus::rise(unsigned sdaLatch) {
    IicBusState& b = bus();
    if (reading()) {
        if (b.bitCounter == 0) b.masterAck = sdaLatch == 0;
        return;
    }
    if (b.bitCounter < 1) return;
    if (b.bitCounter > 1 && sdaLatch) b.shiftRegister |= uint8_t(1u << (b.bitCounter - 2));
    --b.bitCounter;
    if (b.bitCounter == 1) {
        byteComplete();
    } else if (b.bitCounter == 0) {
        if (b.byteIndex < 0xFFFF) ++b.byteIndex;
        b.bitCounter = 9;
        b.shiftRegister = 0;
    }
}

// Falling SCL: in a read the devices present their bits; otherwise it ends an
// acknowledge clock, and the device lets go of SDA.
//
// Bit counter in a read: the falling edge with counter c > 1 presents bit
// c - 2; at 1 the device releases SDA for the master's acknowledge (counter
// 0); the falling edge after that acknowledge presents the next byte's bit 7
// (counter 8), or ends the read after a no-acknowledge (counter -1).
void Bus::fall() {
    IicBusState& b = bus();
    if (!reading()) {
        if (b.bitCounter == 9) releaseSda();
        return;
    }
    if (b.selected == 0 || b.bitCounter < 0) return;
    if (b.bitCounter > 1) {
        presentBit(b.bitCounter - 2);
        --b.bitCounter;
    } else if (b.bitCounter == 1) {
        releaseSda();
        b.masterAck = false;
        b.bitCounter = 0;
    } else if (b.masterAck) {
        readNextByte();
        if (b.byteIndex < 0xFFFF) ++b.byteIndex;
        presentBit(7);
        b.bitCounter = 8;
    } else {
        b.bitCounter = -1;
    }
}

// Eight bits are in. The bus lets go of both lines, then the clock and the
// EEPROM see the byte; a device that takes it acknowledges.
void Bus::byteComplete() {
    IicBusState& b = bus();
    chip.pins.releasePin(scl(), chip.portLatches());
    releaseSda();
    if (b.byteIndex == 0) {
        b.addressByte = b.shiftRegister;
        b.selected = 0;
        if (rtcAnswers(b.addressByte)) b.selected |= kIicSelectedRtc;
        if (eepromAnswers(b.addressByte)) b.selected |= kIicSelectedEeprom;
        if (b.addressByte & 1) b.sendByte = 0xFF;
    } else if (b.byteIndex == 1) {
        b.wordAddress = b.shiftRegister;
    } else {
        b.dataByte = b.shiftRegister;
    }
    if (b.selected == 0) return;
    if (b.selected & kIicSelectedRtc) rtcByte();
    if (b.selected & kIicSelectedEeprom) eepromByte();
    driveSda(false);
}

// Both devices drive SDA open-drain: if both answer a read, the bus carries
// the AND of their bytes.
void Bus::readNextByte() {
    bus().sendByte = 0xFF;
    if (bus().selected & kIicSelectedRtc) rtcByte();
    if (bus().selected & kIicSelectedEeprom) eepromByte();
}

bool Bus::eepromAnswers(uint8_t addressByte) const {
    if (!(settings.EepromOptions & kEepromConnected) || iicEepromBusy(iic.eeprom)) return false;
    const IicEepromTypeInfo& type = iicEepromTypeInfo(iicEepromType(settings));
    const uint8_t pins = settings.EepromOptions & type.pinMask;
    return (addressByte & type.matchMask) == (0xA0 | pins);
}

bool Bus::rtcAnswers(uint8_t addressByte) const {
    if (!(settings.RtcOptions & kRtcConnected)) return false;
    return (addressByte & 0xFE) == (0xA0 | (settings.RtcOptions & kRtcA0));
}

void Bus::eepromByte() {
    IicBusState& b = bus();
    IicEepromState& e = iic.eeprom;
    const IicEepromTypeInfo& type = iicEepromTypeInfo(iicEepromType(settings));
    if (b.addressByte & 1) {
        b.sendByte &= e.EepromMemory[e.EepromPointer % type.size];
        e.EepromPointer = uint16_t((e.EepromPointer + 1) % type.size);
    } else if (b.byteIndex == 1) {
        const unsigned block = (b.addressByte >> 1) & type.blockMask;
        e.EepromPointer = uint16_t((block * 256 + b.wordAddress) % type.size);
    } else if (b.byteIndex >= 2) {
        const unsigned address = e.EepromPointer % type.size;
        if (iicEepromWritable(settings, int(address))) {
            e.EepromMemory[address] = b.dataByte;
            e.written = true;
        }
        e.EepromPointer = uint16_t((address + 1) % type.size);
    }
}

void Bus::rtcByte() {
    IicBusState& b = bus();
    RtcState& r = iic.rtc;
    const unsigned pointer = r.RtcPointer & 0xFF;
    if (b.addressByte & 1) {
        uint8_t value = r.RtcMemory[pointer];
        if (r.RtcMemory[rtc::Control] & rtc::MaskFlag) {
            if (pointer == rtc::YearDate) value &= 0x3F;
            if (pointer == rtc::WeekdayMonth) value &= 0x1F;
        }
        b.sendByte &= value;
        r.RtcPointer = uint16_t((pointer + 1) & 0xFF);
    } else if (b.byteIndex == 1) {
        r.RtcPointer = b.wordAddress;
    } else if (b.byteIndex >= 2) {
        r.RtcMemory[pointer] = b.dataByte;
        r.RtcPointer = uint16_t((pointer + 1) & 0xFF);
    }
}

// ---- clock arithmetic (whole BCD bytes)

constexpr uint8_t bcdIncrement(uint8_t value) {
    value = uint8_t(value + 1);
    if ((value & 0x0F) == 0x0A) value = uint8_t(value + 6);
    return value;
}

constexpr uint8_t toBcd(int value) {
    value = value < 0 ? 0 : value % 100;
    return uint8_t((value / 10) << 4 | value % 10);
}

constexpr int fromBcd(uint8_t value) { return (value >> 4) * 10 + (value & 0x0F); }

// Days per month by month number 1-12 (February always 28); a month outside
// 1-12 counts 31 days.
constexpr std::array<uint8_t, 13> kMonthDays{31, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

int monthDays(uint8_t bcdMonth) {
    const int month = fromBcd(bcdMonth);
    return kMonthDays[size_t(month >= 1 && month <= 12 ? month : 0)];
}

// Midnight has passed: weekday + 1 (7 becomes 0), date + 1, at the month's
// end date 1 of the next month, after December month 1 of the next year
// (the year field counts modulo 4).
void advanceDate(std::array<uint8_t, kRtcMemorySize>& m) {
    uint8_t& yearDate = m[rtc::YearDate];
    uint8_t& weekdayMonth = m[rtc::WeekdayMonth];
    uint8_t weekday = uint8_t((weekdayMonth >> 5) + 1);
    if (weekday == 7) weekday = 0;
    uint8_t month = weekdayMonth & 0x1F;
    uint8_t year = yearDate >> 6;
    uint8_t date = bcdIncrement(yearDate & 0x3F) & 0x3F;
    if (date == toBcd(monthDays(month) + 1)) {
        date = 0x01;
        month = bcdIncrement(month) & 0x1F;
        if (month == 0x13) {
            month = 0x01;
            year = uint8_t((year + 1) & 3);
        }
    }
    yearDate = uint8_t(year << 6 | date);
    weekdayMonth = uint8_t(weekday << 5 | month);
}

// One second: seconds, minutes and hours count in BCD. In 24-hour format the
// hour runs 0x00 ... 0x23; in 12-hour format it runs 0x00 ... 0x11 (twelve
// o'clock is 0, as the system-time path stores it) and its wrap toggles PM;
// the date advances when the day ends (24-hour wrap, or PM going back to AM).
void countOneSecond(std::array<uint8_t, kRtcMemorySize>& m) {
    m[rtc::Seconds] = bcdIncrement(m[rtc::Seconds]);
    if (m[rtc::Seconds] != 0x60) return;
    m[rtc::Seconds] = 0;
    m[rtc::Minutes] = bcdIncrement(m[rtc::Minutes]);
    if (m[rtc::Minutes] != 0x60) return;
    m[rtc::Minutes] = 0;
    uint8_t& hours = m[rtc::Hours];
    const uint8_t flags = hours & 0xC0;
    const uint8_t hour = bcdIncrement(hours & 0x3F) & 0x3F;
    if (!(flags & rtc::Format12h)) {
        hours = uint8_t(flags | (hour == 0x24 ? 0 : hour));
        if (hour == 0x24) advanceDate(m);
        return;
    }
    if (hour != 0x12) {
        hours = uint8_t(flags | hour);
        return;
    }
    hours = uint8_t(flags ^ rtc::Pm); // 11:59:59 -> 0:00:00 with AM/PM swapped
    if (flags & rtc::Pm) advanceDate(m);
}

void copyLocalTime(std::array<uint8_t, kRtcMemorySize>& m, const LocalTime& now) {
    m[rtc::Hundredths] = toBcd(now.millisecond / 10);
    m[rtc::Seconds] = toBcd(now.second);
    m[rtc::Minutes] = toBcd(now.minute);
    const uint8_t flags = m[rtc::Hours] & 0xC0;
    if (flags & rtc::Format12h) {
        const bool pm = now.hour >= 12;
        m[rtc::Hours] = uint8_t((pm ? flags | rtc::Pm : flags & ~rtc::Pm) |
                                toBcd(pm ? now.hour - 12 : now.hour));
    } else {
        m[rtc::Hours] = uint8_t(flags | toBcd(now.hour));
    }
    m[rtc::YearDate] = uint8_t((now.year & 3) << 6 | (toBcd(now.day) & 0x3F));
    m[rtc::WeekdayMonth] = uint8_t((now.weekday & 7) << 5 | (toBcd(now.month) & 0x1F));
}

} // namespace

void runIicBus(IicState& iic, const IicSettings& settings, ChipState& chip, int cycles,
               float cycleTimeUs) {
    if (iic.eeprom.writeCountdown > 0) iic.eeprom.writeCountdown -= cycles;
    const unsigned scl = latchBit(chip, settings.IicScl);
    const unsigned sda = latchBit(chip, settings.IicSda);
    const unsigned now = scl | sda << 1;
    IicBusState& b = iic.bus;
    if (now == b.previousLevels) return;
    const IicEvent event = kEvents[now | unsigned(b.previousLevels) << 2];
    b.previousLevels = uint8_t(now);
    Bus bus{iic, settings, chip, cycleTimeUs};
    bus.releaseIdleLines();
    switch (event) {
    case IicEvent::Start: bus.start(); break;
    case IicEvent::Stop: bus.stop(); break;
    case IicEvent::Rise:
        if (b.startSeen && !b.stopSeen) bus.rise(sda);
        break;
    case IicEvent::Fall:
        if (b.startSeen && !b.stopSeen) bus.fall();
        break;
    case IicEvent::None: break;
    }
}

bool iicEepromWritable(const IicSettings& settings, int address) {
    const IicEepromTypeInfo& type = iicEepromTypeInfo(iicEepromType(settings));
    if (address < 0 || address >= type.size) return false;
    return !(settings.EepromOptions & kEepromWriteProtect) ||
           address < type.writableUnderProtection;
}

bool rtcTick(RtcState& rtc, const IicSettings& settings, const LocalTime& now) {
    if (!(settings.RtcOptions & kRtcConnected)) return false;
    if (rtc.RtcMemory[rtc::Control] & rtc::StopCounting) return false;
    if (settings.RtcOptions & kRtcSystemTime)
        copyLocalTime(rtc.RtcMemory, now);
    else
        countOneSecond(rtc.RtcMemory);
    return true;
}

bool editIicEeprom(IicEepromState& eeprom, const IicSettings& settings, int address,
                   uint8_t value) {
    if (!iicEepromWritable(settings, address)) return false;
    eeprom.EepromMemory[size_t(address)] = value;
    return true;
}

} // namespace quorvel
