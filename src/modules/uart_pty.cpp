#include "modules/uart_pty.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace quorvel {

namespace {

std::string systemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// A read or write that found nothing to do rather than a broken PTY. EIO is
// what the master reads while no slave descriptor is open.
bool nothingToDo(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR || error == EIO; }

} // namespace

UartPty::~UartPty() { close(); }

void UartPty::close() {
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
    slave_ = master_ = -1;
    path_.clear();
}

std::optional<std::string> UartPty::open() {
    close();
    const std::string prefix = "cannot open a pseudo-terminal: ";
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) return prefix + systemError("posix_openpt");
    char name[128];
    auto fail = [&](const char* what) -> std::optional<std::string> {
        std::string reason = prefix + systemError(what);
        close();
        return reason;
    };
    if (::grantpt(master_) != 0) return fail("grantpt");
    if (::unlockpt(master_) != 0) return fail("unlockpt");
    if (::ptsname_r(master_, name, sizeof name) != 0) return fail("ptsname");
    if (::fcntl(master_, F_SETFD, FD_CLOEXEC) != 0) return fail("fcntl");
    // The master is only ever polled.
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) return fail("fcntl");

    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) return fail(name);
    // Raw: bytes pass as they are, one at a time, without echo or signals.
    termios mode{};
    if (::tcgetattr(slave_, &mode) != 0) return fail("tcgetattr");
    ::cfmakeraw(&mode);
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    if (::tcsetattr(slave_, TCSANOW, &mode) != 0) return fail("tcsetattr");
    path_ = name;
    return std::nullopt;
}

void UartPty::byteTransmitted(uint16_t entry) {
    if (output_.full()) {
        ++dropped_;
        return;
    }
    output_.push(uint8_t(entry & 0xFF));
}

void UartPty::byteReceived(SerialHostState& host, ChipState& chip) { sendNext(host, chip); }

void UartPty::sendNext(SerialHostState& host, ChipState& chip) {
    if (input_.count == 0) return;
    serialHostSendByte(host, chip, input_.front());
    input_.drop(1);
}

std::optional<std::string> UartPty::poll(SerialHostState& host, ChipState& chip) {
    if (!isOpen()) return std::string("the pseudo-terminal is closed");
    while (output_.count) {
        const ssize_t n = ::write(master_, &output_.bytes[output_.head], output_.contiguous());
        if (n < 0) {
            if (nothingToDo(errno)) break;
            return "pseudo-terminal " + path_ + ": " + systemError("write");
        }
        output_.drop(size_t(n));
    }
    while (!input_.full()) {
        const size_t tail = (input_.head + input_.count) % kInputBacklog;
        const size_t room = std::min(input_.space(), kInputBacklog - tail);
        const ssize_t n = ::read(master_, &input_.bytes[tail], room);
        if (n < 0) {
            if (nothingToDo(errno)) break;
            return "pseudo-terminal " + path_ + ": " + systemError("read");
        }
        if (n == 0) break;
        input_.count += size_t(n);
    }
    // A byte waiting while the receiver is idle starts the stream; the rest
    // follow from byteReceived.
    if (input_.count && chip.periph.serial.rxState == Reception::None) sendNext(host, chip);
    return std::nullopt;
}

} // namespace quorvel
