#include "modules/uart_pty.h"

#include "chip/serial_line.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
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
    path_ = name;
    if (auto failure = keepRaw()) {
        close();
        return prefix + *failure;
    }
    return std::nullopt;
}

void UartPty::byteTransmitted(uint16_t entry) {
    if (output_.full()) {
        ++dropped_;
        return;
    }
    output_.push(uint8_t(entry & 0xFF));
}

void UartPty::byteReceived(SerialHostState& host, ChipState& chip) {
    if (!serialLineInUse(chip)) sendNext(host, chip);
}

void UartPty::waitForInput(std::chrono::microseconds time) const {
    if (!isOpen() || input_.full()) return;
    pollfd p{master_, POLLIN, 0};
    // Rounded up: a wait shorter than a millisecond still yields the core.
    ::poll(&p, 1, int((time.count() + 999) / 1000));
}

void UartPty::frameSent(SerialHostState& host, ChipState& chip) { sendNext(host, chip); }

std::optional<std::string> UartPty::keepRaw() {
    termios mode{};
    if (::tcgetattr(slave_, &mode) != 0) return "pseudo-terminal " + path_ + ": " + systemError("tcgetattr");
    termios raw = mode;
    ::cfmakeraw(&raw);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    const bool same = mode.c_iflag == raw.c_iflag && mode.c_oflag == raw.c_oflag &&
                      mode.c_lflag == raw.c_lflag && mode.c_cflag == raw.c_cflag;
    if (!same && ::tcsetattr(slave_, TCSANOW, &raw) != 0)
        return "pseudo-terminal " + path_ + ": " + systemError("tcsetattr");
    return std::nullopt;
}

std::optional<uint8_t> UartPty::takeReady(const ChipState& chip) {
    if (input_.count == 0 || !serialHostReady(chip)) return std::nullopt;
    const uint8_t byte = input_.front();
    input_.drop(1);
    return byte;
}

void UartPty::sendNext(SerialHostState& host, ChipState& chip) {
    if (input_.count == 0 || !handOver_) return;
    serialHostSendByte(host, chip, input_.front());
    input_.drop(1);
}

std::optional<std::string> UartPty::poll(SerialHostState& host, ChipState& chip) {
    if (!isOpen()) return std::string("the pseudo-terminal is closed");
    // A client may have changed the terminal's mode (echo on, a line
    // discipline): the next one still gets a raw line.
    if (auto failure = keepRaw()) return failure;
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
    if (input_.count && serialHostReady(chip)) sendNext(host, chip);
    return std::nullopt;
}

} // namespace quorvel
