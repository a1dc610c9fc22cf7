#include "shell/modules/chip_notices.h"

#include "chip/serial_line.h"
#include "machine/machine.h"
#include "modules/serial_host.h"
#include "modules/uart_pty.h"

#include <utility>

namespace quorvel::shell {

ChipNotices::ChipNotices(Machine& machine, QObject* parent) : QObject(parent), machine_(machine) {}

void ChipNotices::sconWritten() {
    QMetaObject::invokeMethod(this, &ChipNotices::sconChanged, Qt::QueuedConnection);
}

void ChipNotices::spcrWritten() {
    QMetaObject::invokeMethod(this, &ChipNotices::spcrChanged, Qt::QueuedConnection);
}

void ChipNotices::hostTakes(uint16_t entry) {
    serialHostByteTransmitted(machine_.modules.serialHost, entry);
    if (pty_) pty_->byteTransmitted(entry);
    if (collecting_.load(std::memory_order_relaxed)) {
        const std::lock_guard lock(transmittedLock_);
        transmitted_.push_back(char(entry & 0xFF));
    }
}

void ChipNotices::byteTransmitted(uint16_t entry) {
    if (!serialLineInUse(machine_.chip)) hostTakes(entry);
}

void ChipNotices::hostByteRead(uint16_t entry, bool) { hostTakes(entry); }

void ChipNotices::collectTransmitted(bool on) {
    collecting_ = on;
    const std::lock_guard lock(transmittedLock_);
    transmitted_.clear();
}

std::string ChipNotices::takeTransmitted() {
    const std::lock_guard lock(transmittedLock_);
    return std::exchange(transmitted_, {});
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
