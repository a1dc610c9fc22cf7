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
    // txState and rxRequest side by side: the executor tests both at once.
    uint8_t txState = 0;    // 0 idle, 1 started (SBUF written), 2 shifting
    uint8_t rxRequest = 0;  // 0 none, 1 new (raised by the host), 2 shifting
    int32_t txBits = 0;     // transmit bit counter
    int32_t txBitTime = 0;  // transmit bit-time counter (baud ticks or clock units)
    int32_t rxBits = 0;     // receive bit counter / mode-0 countdown
    int32_t rxBitTime = 0;  // receive bit-time counter
    uint8_t rxData = 0;     // byte the host is sending
    uint8_t rxNinth = 0;    // its ninth / stop bit
    uint8_t lastTransmitted = 0;
    // Divide-by-two toggles of the timer-1 baud tick (used while SMOD = 0),
    // one per direction.
    uint8_t txTickHalf = 0;
    uint8_t rxTickHalf = 0;
    SerialLog txLog;
    SerialLog rxLog;
};

struct SpiState {
    // 0 idle, 1 started (SPDR written as master), 2 shifting, 3 a transfer
    // clocked by an external master (slave mode) completes in the next step.
    uint8_t state = 0;
    int32_t bitsLeft = 0;
    int32_t remainder = 0; // bit-time remainder in oscillator clocks
    uint8_t slaveByte = 0xFF; // byte the external slave returns
    SpiLog txLog;
    SpiLog rxLog;
};

// IE/IP-written and after-RETI become accepting at the end of the step.
enum class Acceptance : uint8_t { Accepting, InService, IeIpWritten, AfterReti };

enum ExternalRequest : uint8_t {
    kRequestInt0 = 0x01,
    kRequestInt1 = 0x02,
    kRequestT2ex = 0x04,
};

struct InterruptState {
    // Interrupts are accepted from the start, so programs that enable them
    // with bit instructions (SETB EA, as every C compiler does) get them.
    Acceptance acceptance = Acceptance::Accepting;
    uint8_t urgency = 0; // urgency of the interrupt last vectored, 1-12
    // External requests of the current step (ExternalRequest bits); cleared
    // at its end whether accepted or not.
    uint8_t requests = 0;
};

struct TimerEdgeState {
    // Every port line as a bit read saw it at the end of the previous step
    // (P0 in bits 0-7 ... P3 in bits 24-31); falling edges of T0, T1, T2,
    // INT0, INT1 and T2EX are found against it. Starts all high.
    uint32_t prevLevels = 0xFFFFFFFFu;
    uint8_t prevP1() const { return uint8_t(prevLevels >> 8); }
    uint8_t prevP3() const { return uint8_t(prevLevels >> 24); }
    uint8_t clockOutToggle = 0; // timer 2 clock-out: P1.0 toggles every second overflow
};

struct PeripheralState {
    SerialState serial;
    SpiState spi;
    InterruptState irq;
    TimerEdgeState timers;
    // Machine cycles left of an on-chip EEPROM write; 32 bits, since 2500 us
    // is 2500 cycles at 12 MHz and more at higher clocks.
    int32_t eepromCountdown = 0;
    // Machine cycles until the watchdog resets the CPU; up to 2048 ms, i.e.
    // millions of cycles at the highest clocks.
    int32_t watchdogCountdown = 0;
    // WDTEN as the watchdog last saw it: enabling the watchdog (0 to 1)
    // loads a full period.
    bool watchdogEnabled = false;
};

} // namespace quorvel
