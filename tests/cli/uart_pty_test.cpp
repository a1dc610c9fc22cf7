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
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
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

struct Spawned {
    pid_t pid = -1;
    int out = -1;
    int err = -1;
};

Spawned spawnCli(const fs::path& dir, std::vector<std::string> args) {
    Spawned s;
    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0) return s;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    for (int fd : {out[0], out[1], err[0], err[1]}) posix_spawn_file_actions_addclose(&actions, fd);
    const std::string program = cliProgram().string();
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // The CLI finds the program relative to the folder it runs in.
    const fs::path here = fs::current_path();
    fs::current_path(dir);
    const int failed = posix_spawn(&s.pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    fs::current_path(here);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    s.out = out[0];
    s.err = err[0];
    if (failed) s.pid = -1;
    return s;
}

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
    Spawned cli = spawnCli(dir.path, {"--clock", "11059200", "--uart-pty", "--json", "--dump", "uart", "echo.hex"});
    ASSERT_GT(cli.pid, 0);
    const auto deadline = Clock::now() + kPatience;

    // "uart-pty: PATH" on standard error, before the run starts.
    std::string err;
    const std::string tag = "uart-pty: ";
    while (err.find('\n', err.find(tag)) == std::string::npos && readMore(cli.err, err, deadline)) {
    }
    const size_t at = err.find(tag);
    ASSERT_NE(at, std::string::npos) << err;
    const std::string path = err.substr(at + tag.size(), err.find('\n', at) - at - tag.size());

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

    ::kill(cli.pid, SIGTERM);
    std::string out;
    while (readMore(cli.out, out, deadline)) {
    }
    while (readMore(cli.err, err, deadline)) {
    }
    int status = -1;
    ASSERT_EQ(::waitpid(cli.pid, &status, 0), cli.pid);
    ::close(cli.out);
    ::close(cli.err);
    ASSERT_TRUE(WIFEXITED(status)) << err;
    EXPECT_EQ(WEXITSTATUS(status), 0) << err;
    EXPECT_NE(err.find("interrupted by SIGTERM"), std::string::npos) << err;
    EXPECT_NE(out.find(R"("reason":"interrupted","exit_status":0)"), std::string::npos) << out;
    EXPECT_NE(out.find("\"text\":" + quorvel::cli::jsonString(line)), std::string::npos) << out;
}

} // namespace
