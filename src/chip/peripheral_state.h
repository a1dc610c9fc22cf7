// State of the on-chip peripherals that lives beside the SFR bytes: the
// serial port and SPI state machines with their transfer logs, the interrupt
// levels in service, the EEPROM write timer, the watchdog and what the
// timers and the external inputs last saw. Plain copyable data; the logic
// that advances it is in timers.cpp, serial_port.cpp, interrupts.cpp, ...
//
// Between two calls of the execution loop everything here and in the SFRs
// is up to date (the loop brings the timers up to date before it returns).
// Reset CPU clears the interrupt levels; a transmission in progress still
// completes, the logs stay, the countdowns keep running.
#pragma once

#include <array>
#include <cstdint>

namespace quorvel {

// A transfer log that keeps the newest N entries: when full, the oldest entry
// is dropped and the new one appended.
template <typename T, int N> struct TransferLog {
    std::array<T, N> ring{};
    uint16_t head = 0;  // index of the oldest entry
    uint16_t count = 0; // entries held, at most N

    void append(T value) {
        if (count < N) {
            ring[(head + count) % N] = value;
            ++count;
        } else {
            ring[head] = value;
            head = uint16_t((head + 1) % N);
        }
    }
    // Entry i, oldest first.
    T at(int i) const { return ring[(head + i) % N]; }
    int size() const { return count; }
    void clear() { head = count = 0; }
    bool operator==(const TransferLog&) const = default;
};

// Serial log entry: bits 0-7 data; in modes 2 and 3 bit 9 is set and bit 8 is
// the ninth bit.
using SerialLog = TransferLog<uint16_t, 256>;
using SpiLog = TransferLog<uint8_t, 256>;

enum class Transmit : uint8_t {
    Idle,
    Waiting,  // SBUF written: the frame starts at the next bit boundary
    Shifting, // the frame's bits are going out on TXD
};

enum class Reception : uint8_t {
    None,
    Pending,   // a host handed the chip a byte; taken in once REN is set
    Receiving, // its bits are arriving
};

struct SerialState {
    Transmit txState = Transmit::Idle;
    Reception rxState = Reception::None;
    // Modes 1 and 3: baud ticks within the current bit of the transmitter's
    // divide-by-16 counter (0-15; it runs whether or not a byte is going
    // out), and the frame bits still to show on TXD. Modes 0 and 2: the bit
    // counter and the bit time left in oscillator clocks.
    int32_t txBits = 0;
    int32_t txBitTime = 0;
    uint8_t txPhase = 0;
    // Timer 1 overflows counted towards the next baud tick while SMOD = 0
    // (the divide-by-two before both directions).
    uint8_t baudHalf = 0;
    // Modes 1 and 3: baud ticks until the byte being received is in. Mode 0:
    // machine cycles left; mode 2: the bit counter and bit time as for
    // transmission.
    int32_t rxTicks = 0;
    int32_t rxBits = 0;
    int32_t rxBitTime = 0;
    uint8_t rxData = 0;  // byte the host is sending
    uint8_t rxNinth = 0; // its ninth / stop bit
    // Receiving from the RXD line (serial_line.h): the level the receiver
    // sees until the line next changes, the bits shifted in so far (least significant first, the
    // start bit in bit 0), the 1s among the samples of the current bit, and
    // the frames whose stop bit was 0.
    uint8_t rxdLevel = 1;
    uint8_t rxdLast = 1; // the level at the last baud tick
    uint16_t rxShift = 0;
    uint8_t rxOnes = 0;
    uint32_t framingErrors = 0;
    uint8_t lastTransmitted = 0;
    SerialLog txLog;
    SerialLog rxLog;
    bool operator==(const SerialState&) const = default;
};

// The host's side of the serial line when it has a baud rate of its own
// (serial_line.h). Times are a cycle of the machine-cycle counter and a
// fraction of the next one in 1/65536.
struct SerialLineState {
    uint32_t baud = 0; // the host's bits per second; 0: as the chip (no line)
    // The host's transmitter on RXD: the frame's levels still to show (least
    // significant first), how many, a frame waiting for the line, and when
    // the next bit starts.
    uint16_t txFrame = 0;
    uint8_t txBitsLeft = 0; // 0: the line is idle (mark)
    uint8_t txNextBits = 0; // 0: no frame waiting
    uint16_t txNext = 0;
    uint32_t txEdge = 0;
    uint16_t txEdgeFraction = 0;
    uint64_t txBitTime = 0; // in 1/65536 machine cycles
    // The host's receiver on TXD: the level it last saw, the frame's bits
    // still to sample (0: waiting for a start bit), the bits sampled so far,
    // when the next sample is taken.
    uint8_t txdLevel = 1;
    uint8_t rxBitsLeft = 0;
    uint8_t rxFrameBits = 0;
    uint16_t rxShift = 0;
    uint32_t rxSample = 0;
    uint16_t rxSampleFraction = 0;
    uint64_t rxBitTime = 0;
    uint32_t framingErrors = 0; // frames the host read with a stop bit of 0
    bool operator==(const SerialLineState&) const = default;
};

enum class SpiTransfer : uint8_t {
    Idle,
    Started,  // SPDR written as master: shifting begins with the next step
    Shifting,
    External, // clocked by an external master (slave mode): completes in the next step
};

struct SpiState {
    SpiTransfer state = SpiTransfer::Idle;
    int32_t bitsLeft = 0;
    int32_t remainder = 0; // bit-time remainder in oscillator clocks
    uint8_t slaveByte = 0xFF; // byte the external slave returns
    SpiLog txLog;
    SpiLog rxLog;
    bool operator==(const SpiState&) const = default;
};

// Interrupt levels in service (InterruptState::inService bits).
enum InServiceLevel : uint8_t {
    kInServiceLow = 0x01,
    kInServiceHigh = 0x02,
};

struct InterruptState {
    uint8_t inService = 0; // InServiceLevel bits; RETI ends the higher one set
    bool operator==(const InterruptState&) const = default;
};

struct TimerState {
    // The machine-cycle counter value up to which the timers have counted.
    uint32_t countedTo = 0;
    // The lines of T0, T1, T2, INT0, INT1 and T2EX as the inputs saw them
    // last, in their port-line bits (P0 in bits 0-7 ... P3 in bits 24-31);
    // falling edges are found against it. Starts high.
    uint32_t prevLevels = 0x3C000300u;
    uint8_t clockOutToggle = 0; // timer 2 clock-out: P1.0 toggles every second overflow
    bool operator==(const TimerState&) const = default;
};

struct PeripheralState {
    SerialState serial;
    SerialLineState line;
    SpiState spi;
    InterruptState irq;
    TimerState timers;
    // Machine cycles left of an on-chip EEPROM write; 32 bits, since 2500 us
    // is 2500 cycles at 12 MHz and more at higher clocks.
    int32_t eepromCountdown = 0;
    // Machine cycles until the watchdog resets the CPU; up to 2048 ms, i.e.
    // millions of cycles at the highest clocks.
    int32_t watchdogCountdown = 0;
    // WDTEN as the watchdog last saw it: enabling the watchdog (0 to 1)
    // loads a full period.
    bool watchdogEnabled = false;
    bool operator==(const PeripheralState&) const = default;
};

} // namespace quorvel
