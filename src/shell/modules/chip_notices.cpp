#include "shell/modules/chip_notices.h"

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

void ChipNotices::byteTransmitted(uint16_t entry) {
    serialHostByteTransmitted(machine_.modules.serialHost, entry);
    if (pty_) pty_->byteTransmitted(entry);
}

void ChipNotices::byteReceived(uint16_t) {
    serialHostByteReceived(machine_.modules.serialHost, machine_.chip);
    // The bridge hands over the next byte the terminal wrote.
    if (pty_) pty_->byteReceived(machine_.modules.serialHost, machine_.chip);
}

} // namespace quorvel::shell
