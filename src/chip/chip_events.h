// How the simulated chip tells the outside world about events that a window
// or a host would react to. The core calls these on the thread that executes
// the instruction (usually the simulation thread); an implementation must not
// block on the user-interface thread. The Qt side queues them; tests record
// them.
#pragma once

#include <cstdint>

namespace quorvel {

class ChipEvents {
public:
    virtual ~ChipEvents() = default;
    // A program wrote SCON: the serial-port window re-reads the serial mode.
    virtual void sconWritten() {}
    // A program wrote SPCR: the SPI window re-reads SPCR.
    virtual void spcrWritten() {}
    // The UART finished sending a byte. `entry` is the transmit-log entry:
    // bits 0-7 the byte; in modes 2 and 3 bit 9 set and bit 8 = TB8.
    virtual void byteTransmitted(uint16_t entry) { (void)entry; }
    // The UART finished receiving the byte a host handed it (see
    // startSerialReception); `entry` is the receive-log entry (bit 8 = RB8 in
    // modes 2 and 3). A host sending a stream may start the next reception
    // from inside this call.
    virtual void byteReceived(uint16_t entry) { (void)entry; }
    // A host with a baud rate of its own (serial_line.h): its frame on RXD
    // has ended, so it may start the next one from inside this call.
    virtual void hostFrameSent() {}
    // ... and it read a frame from TXD: `entry` as a transmit-log entry;
    // `framingError` when its stop bit was 0.
    virtual void hostByteRead(uint16_t entry, bool framingError) {
        (void)entry;
        (void)framingError;
    }
};

} // namespace quorvel
