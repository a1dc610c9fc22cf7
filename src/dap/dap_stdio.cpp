#include "dap/dap_stdio.h"

#include "dap/dap_server.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

namespace quorvel::dap {

namespace {

constexpr size_t kReadSize = 1 << 16;

bool writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(size_t(n));
    }
    return true;
}

// What standard input holds now: "" when nothing, nothing at its end.
std::optional<std::string> readNow(bool wait) {
    if (!wait) {
        pollfd in{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&in, 1, 0);
        if (ready == 0 || (ready < 0 && errno == EINTR)) return std::string();
        if (ready < 0) return std::nullopt;
    }
    char buffer[kReadSize];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        return std::string(buffer, size_t(n));
    }
}

} // namespace

int serveStandardStreams() {
    // A client that goes away makes a write fail, not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    bool outputFailed = false;
    DapServer server([&outputFailed](std::string_view framed) { return !(outputFailed = !writeAll(framed)); },
                     [] { return readNow(false); });
    for (;;) {
        const std::optional<std::string> bytes = readNow(true);
        if (!bytes) {
            server.endOfInput();
            break;
        }
        if (!server.receive(*bytes)) break;
    }
    if (outputFailed) std::fputs("quorvel-cli: --dap: standard output: cannot write\n", stderr);
    return outputFailed ? 1 : 0;
}

} // namespace quorvel::dap
