// State of the on-chip peripherals that lives beside the SFR bytes: the
// serial port and SPI state machines with their transfer logs, the interrupt
// acceptance state, the EEPROM write timer, the watchdog and the edge-detection
// memory of the timers. Plain copyable data; the logic that advances it runs
// once per instruction (timers.cpp, serial_port.cpp, interrupts.cpp, ...).
//
// None of this is cleared by Reset CPU: a transmission in progress still
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
};

// Serial log entry: bits 0-7 data; in modes 2 and 3 bit 9 is set and bit 8 is
// the ninth bit.
using SerialLog = TransferLog<uint16_t, 256>;
using SpiLog = TransferLog<uint8_t, 256>;

struct SerialState {
    uint8_t txState = 0;    // 0 idle, 1 started (SBUF written), 2 shifting
    int32_t txBits = 0;     // transmit bit counter
    int32_t txBitTime = 0;  // transmit bit-time counter
    uint8_t rxRequest = 0;  // 0 none, 1 new (raised by the host), 2 shifting
    int32_t rxBits = 0;     // receive bit counter / mode-0 countdown
    int32_t rxBitTime = 0;  // receive bit-time counter
    uint8_t rxData = 0;     // byte the host is sending
    uint8_t rxNinth = 0;    // its ninth / stop bit
    uint8_t lastTransmitted = 0;
    SerialLog txLog;
    SerialLog rxLog;
};

struct SpiState {
    uint8_t state = 0;     // 0 idle, 1 started, 2 shifting
    int32_t bitsLeft = 0;
    int32_t remainder = 0; // bit-time remainder in oscillator clocks
    uint8_t slaveByte = 0xFF; // byte the external slave returns
    SpiLog txLog;
    SpiLog rxLog;
};

enum class Acceptance : uint8_t { Accepting, InService, IeIpWritten, AfterReti };

struct InterruptState {
    // Interrupts are accepted from the start, so programs that enable them
    // with bit instructions (SETB EA, as every C compiler does) get them.
    Acceptance acceptance = Acceptance::Accepting;
    uint8_t urgency = 0; // urgency of the interrupt last vectored, 1-12
    // Requests of the current step; cleared at its end.
    bool int0Request = false;
    bool int1Request = false;
    bool t2exRequest = false;
};

struct TimerEdgeState {
    uint8_t prevP1 = 0xFF; // pin levels at the end of the previous step
    uint8_t prevP3 = 0xFF;
    uint8_t clockOutToggle = 0;
    uint8_t serialTickHalf = 0; // divide-by-two toggle of the timer-1 baud tick
};

struct PeripheralState {
    SerialState serial;
    SpiState spi;
    InterruptState irq;
    TimerEdgeState timers;
    int32_t eepromCountdown = 0;  // machine cycles left of an EEPROM write
    int32_t watchdogCountdown = 0;
};

} // namespace quorvel
