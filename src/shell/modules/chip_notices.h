// What the simulated chip reports to the desktop: the serial host takes the
// bytes the UART sends and receives (on the thread that runs the step; pure
// core calls), and the program's writes of SCON and SPCR reach the serial and
// SPI windows as queued signals on the user-interface thread, so the
// simulation never waits for a window; the frame's one-second tick of the
// IIC clock reaches the clock window here too. While the serial window connects the
// line to a pseudo-terminal, the same two byte events feed that bridge too.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "chip/chip_events.h"

#include <QObject>

namespace quorvel {
struct Machine;
class UartPty;
}

namespace quorvel::shell {

class ChipNotices : public QObject, public ChipEvents {
    Q_OBJECT
public:
    explicit ChipNotices(Machine& machine, QObject* parent = nullptr);

    void sconWritten() override;
    void spcrWritten() override;
    void byteTransmitted(uint16_t entry) override;
    void byteReceived(uint16_t entry) override;
    void hostFrameSent() override;
    void hostByteRead(uint16_t entry, bool framingError) override;

    // The pseudo-terminal bridge that also gets the serial line's bytes, or
    // none. Set only while the simulation is paused: the events come from
    // the thread that runs the step.
    void setPty(UartPty* pty) { pty_ = pty; }
    UartPty* pty() const { return pty_; }
    // While on, the bytes the serial host takes from the chip are kept for
    // takeTransmitted (an attached debugger's output); any thread.
    void collectTransmitted(bool on);
    std::string takeTransmitted();

signals:
    // Queued to the user-interface thread.
    void sconChanged();
    void spcrChanged();
    // The real-time clock counted a second (or took the system time): the
    // clock window shows the new time. Sent by the frame's clock timer.
    void rtcTicked();

private:
    // The serial host takes a byte the chip sent: from byteTransmitted, or
    // from the line (hostByteRead) when the host has a baud rate of its own.
    void hostTakes(uint16_t entry);

    Machine& machine_;
    UartPty* pty_ = nullptr;
    std::atomic<bool> collecting_ = false;
    std::mutex transmittedLock_;
    std::string transmitted_;
};

} // namespace quorvel::shell
