// --uart-pty: quorvel-cli runs an echo program with its serial line on a
// pseudo-terminal; a client opens the terminal the CLI names, writes a line
// in one burst and reads the firmware's echo, byte for byte (no byte lost to
// a reception replaced in flight, none changed by a line discipline); a
// signal then ends the run with the usual stop report.
#include "cli/cli_report.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvel::support;

namespace {

using Clock = std::chrono::steady_clock;
// Generous: the bounds only keep a broken build from hanging the suite.
constexpr auto kPatience = std::chrono::seconds(30);

// Waits (up to the deadline) for `fd` to be readable and appends what it
// reads; false at end of file, error or deadline.
bool readMore(int fd, std::string& into, Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, int(left.count())) <= 0) return false;
    char buffer[512];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) return false;
    into.append(buffer, size_t(n));
    return true;
}

// quorvel-cli run by a shell: the pipe carries the shell's process id (exec
// makes it the CLI's), then the CLI's standard output and error. A run with
// no stop condition of its own does not outlive a failed test.
struct CliRun {
    std::FILE* pipe = nullptr;
    pid_t pid = -1;
    ~CliRun() {
        if (pid > 0) ::kill(pid, SIGKILL);
        if (pipe) ::pclose(pipe);
    }
};

// Mode 1 at 9600 baud from timer 1 at 11.0592 MHz; echoes every byte.
constexpr const char* kEcho = R"(
        .org 0
        mov tmod, #0x20         ; timer 1, mode 2: the baud clock
        mov th1, #0xFD
        mov tl1, #0xFD
        setb tr1
        mov scon, #0x50         ; mode 1, REN
loop:   jnb ri, loop
        clr ri
        mov a, sbuf
        clr ti
        mov sbuf, a
wait:   jnb ti, wait
        sjmp loop
)";

TEST(CliUartPty, ClientTalksToTheFirmwareUntilASignalEndsTheRun) {
    TempDir dir;
    ASSERT_TRUE(as31Hex(dir.path, "echo", kEcho));
    CliRun cli;
    cli.pipe = ::popen(("cd '" + dir.path.string() + "' && echo $$ && exec '" + cliProgram().string() +
                        "' --clock 11059200 --uart-pty --json --dump uart echo.hex 2>&1").c_str(), "r");
    ASSERT_TRUE(cli.pipe);
    const int output = ::fileno(cli.pipe);
    const auto deadline = Clock::now() + kPatience;

    // "uart-pty: PATH" on its own line before the run starts.
    std::string text;
    const std::string tag = "uart-pty: ";
    while (text.find('\n', text.find(tag)) == std::string::npos && readMore(output, text, deadline)) {
    }
    cli.pid = ::atoi(text.c_str());
    const size_t at = text.find(tag);
    ASSERT_NE(at, std::string::npos) << text;
    const std::string path = text.substr(at + tag.size(), text.find('\n', at) - at - tag.size());

    // Bytes a cooked terminal would change: CR, LF, DEL, a byte above 0x7F, ^C.
    const std::string line = "Hello, 8051!\r\n\x7f\xe9\x03 end\n";
    const int client = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(client, 0) << path;
    ASSERT_EQ(::write(client, line.data(), line.size()), ssize_t(line.size()));
    std::string echo;
    while (echo.size() < line.size() && readMore(client, echo, deadline)) {
    }
    EXPECT_EQ(echo, line);
    ::close(client);

    ASSERT_GT(cli.pid, 0) << text;
    ::kill(cli.pid, SIGTERM);
    while (readMore(output, text, deadline)) {
    }
    cli.pid = -1;
    const int status = ::pclose(std::exchange(cli.pipe, nullptr));
    ASSERT_TRUE(WIFEXITED(status)) << text;
    EXPECT_EQ(WEXITSTATUS(status), 0) << text;
    EXPECT_NE(text.find("interrupted by SIGTERM"), std::string::npos) << text;
    EXPECT_NE(text.find(R"("reason":"interrupted","exit_status":0)"), std::string::npos) << text;
    EXPECT_NE(text.find("\"text\":" + quorvel::cli::jsonString(line)), std::string::npos) << text;
}

} // namespace
