// The chip's serial line on a pseudo-terminal, so that a terminal program
// (screen, minicom) or a script talks to the firmware as to a board on a
// serial cable.
//
// The bridge opens a PTY pair and keeps both ends: the program outside opens
// the slave by its path (`path()`), the bridge reads and writes the master.
// The slave is put in raw mode (no echo, no line editing, no CR/LF
// translation in either direction), so bytes pass unchanged; each poll puts
// it back in raw mode if a client changed it. The bridge
// keeps its own slave descriptor open for its whole life: a client may
// close the terminal and open it again, and the master never sees a hang-up
// in between.
//
// Lines: none of its own. Bytes the chip transmits (ChipEvents::
// byteTransmitted) go to the PTY; bytes written to the PTY are handed to the
// chip's receiver through the serial host (serialHostSendByte), one at a
// time: the next byte is handed over when the chip has received the last
// (ChipEvents::byteReceived), so bytes enter the chip one character time of
// the program's serial mode apart, as the host's file transmission does.
// With a host baud rate of its own the bytes go out as frames on the line,
// the next when the last has ended (ChipEvents::hostFrameSent), and what the
// host reads from TXD comes to the PTY.
//
// Timing: none of the PTY's own. The simulation runs at its own speed and
// calls `poll` between run slices; `poll` never blocks. Not modelled: the
// ninth bit of modes 2 and 3 (the PTY carries bytes; the host's TB8 choice
// is sent), flow-control lines.
//
// Back-pressure: at most kInputBacklog bytes are read ahead of the chip, so
// a fast writer is held back by the PTY itself. At most kOutputBacklog
// transmitted bytes wait for the PTY's reader; beyond that, as on a serial
// line nobody listens to, further bytes are lost (and counted).
//
// Threads: `byteTransmitted` and `byteReceived` are called from the chip's
// events on the thread that runs the step; `poll` on that same thread
// between slices, or on another thread while the simulation is paused.
#pragma once

#include "chip/chip_state.h"
#include "modules/serial_host.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace quorvel {

class UartPty {
public:
    static constexpr size_t kInputBacklog = 4096;
    static constexpr size_t kOutputBacklog = 65536;

    UartPty() = default;
    ~UartPty();
    UartPty(const UartPty&) = delete;
    UartPty& operator=(const UartPty&) = delete;

    // Opens the PTY pair and puts the slave in raw mode. On failure returns
    // the reason ("cannot open a pseudo-terminal: ...") and stays closed.
    std::optional<std::string> open();
    bool isOpen() const { return master_ >= 0; }
    // The slave's path (e.g. "/dev/pts/5"), for the program outside.
    const std::string& path() const { return path_; }

    // From ChipEvents: a byte the chip transmitted (the log entry's low 8
    // bits) waits for the PTY; a received byte lets the next one in.
    void byteTransmitted(uint16_t entry);
    void byteReceived(SerialHostState& host, ChipState& chip);
    // From ChipEvents::hostFrameSent: the line is free for the next byte.
    void frameSent(SerialHostState& host, ChipState& chip);

    // Writes what the chip transmitted to the PTY as far as it takes it, reads
    // what the outside wrote, and hands the chip a byte when its receiver is
    // idle. Returns the reason when the PTY cannot be used any more.
    std::optional<std::string> poll(SerialHostState& host, ChipState& chip);

    // Whether the bridge hands the bytes it read to the chip itself (from
    // byteReceived, frameSent and poll; the default). Off, it only queues
    // them, and the front end hands each over between run slices
    // (takeReady), so that a recorded session logs it as an input at an
    // instruction boundary: one byte a slice.
    void handOverBytes(bool on) { handOver_ = on; }
    // The next byte read from the terminal, taken off the queue, when the
    // chip's receiver (or the line) is ready for one.
    std::optional<uint8_t> takeReady(const ChipState& chip);

    // Waits up to `time` for the outside to write (or a signal); never
    // longer.
    void waitForInput(std::chrono::microseconds time) const;

    // Transmitted bytes lost because nobody read the PTY.
    uint64_t droppedBytes() const { return dropped_; }

private:
    // A fixed ring of bytes: no allocation once built.
    template <size_t N>
    struct ByteRing {
        std::array<uint8_t, N> bytes{};
        size_t head = 0;
        size_t count = 0;

        bool full() const { return count == N; }
        size_t space() const { return N - count; }
        void push(uint8_t b) { bytes[(head + count++) % N] = b; }
        uint8_t front() const { return bytes[head]; }
        void drop(size_t n) {
            head = (head + n) % N;
            count -= n;
        }
        // The longest run of queued bytes that lies in one piece in the array.
        size_t contiguous() const { return count < N - head ? count : N - head; }
    };

    bool handOver_ = true;
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    ByteRing<kInputBacklog> input_;
    ByteRing<kOutputBacklog> output_;
    uint64_t dropped_ = 0;

    void close();
    std::optional<std::string> keepRaw();
    void sendNext(SerialHostState& host, ChipState& chip);
};

} // namespace quorvel
