#include "shell/modules/chip_notices.h"

#include "chip/serial_line.h"
#include "machine/machine.h"
#include "modules/serial_host.h"
#include "modules/uart_pty.h"

namespace quorvel::shell {

ChipNotices::ChipNotices(Machine& machine, QObject* parent) : QObject(parent), machine_(machine) {}

void ChipNotices::sconWritten() {
    QMetaObject::invokeMethod(this, &ChipNotices::sconChanged, Qt::QueuedConnection);
}

void ChipNotices::spcrWritten() {
    QMetaObject::invokeMethod(this, &ChipNotices::spcrChanged, Qt::QueuedConnection);
}

// The host takes the chip's bytes here, or from the line when it has a
// baud rate of its own (hostByteRead).
void ChipNotices::byteTransmitted(uint16_t entry) {
    if (serialLineInUse(machine_.chip)) return;
    serialHostByteTransmitted(machine_.modules.serialHost, entry);
    if (pty_) pty_->byteTransmitted(entry);
}

void ChipNotices::hostByteRead(uint16_t entry, bool) {
    serialHostByteTransmitted(machine_.modules.serialHost, entry);
    if (pty_) pty_->byteTransmitted(entry);
}

void ChipNotices::hostFrameSent() {
    serialHostFrameSent(machine_.modules.serialHost, machine_.chip);
    if (pty_) pty_->frameSent(machine_.modules.serialHost, machine_.chip);
}

void ChipNotices::byteReceived(uint16_t) {
    serialHostByteReceived(machine_.modules.serialHost, machine_.chip);
    // The bridge hands over the next byte the terminal wrote.
    if (pty_) pty_->byteReceived(machine_.modules.serialHost, machine_.chip);
}

} // namespace quorvel::shell
