// The CLI's serial line. --uart-pty: quorvel-cli runs an echo program with
// its serial line on a pseudo-terminal; clients open the terminal the CLI
// names, write a line in one burst and read the firmware's echo, byte for
// byte (no byte lost to a reception replaced in flight, none changed by a
// line discipline, even after a client turned echo on); the session keeps
// to real time; a signal (SIGHUP too) ends the run with the usual stop
// report, and a recorded session replays to its end. --uart-baud: a host
// off the chip's rate garbles bytes and the framing errors are counted.
// The run keeps the serial bytes only for the UART dump.
#include "cli/cli_json.h"
#include "cli/cli_session.h"
#include "modules/serial_host.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
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

// Starts quorvel-cli on the echo program with `options` and reads the
// terminal's path it names.
void startPtySession(CliRun& cli, const TempDir& dir, const std::string& options, std::string& text,
                     std::string& path, Clock::time_point deadline) {
    cli.pipe = ::popen(("cd '" + dir.path.string() + "' && echo $$ && exec '" + cliProgram().string() +
                        "' --clock 11059200 --uart-pty --json --dump uart " + options + " echo.hex 2>&1")
                           .c_str(),
                       "r");
    ASSERT_TRUE(cli.pipe);
    // "uart-pty: PATH" on its own line before the run starts.
    const std::string tag = "uart-pty: ";
    while (text.find('\n', text.find(tag)) == std::string::npos && readMore(::fileno(cli.pipe), text, deadline)) {
    }
    cli.pid = ::atoi(text.c_str());
    const size_t at = text.find(tag);
    ASSERT_NE(at, std::string::npos) << text;
    path = text.substr(at + tag.size(), text.find('\n', at) - at - tag.size());
}

// A client writes `line` and reads the echo; `echoOn` leaves the terminal
// with echo and canonical input on when it closes.
std::string talk(const std::string& path, const std::string& line, bool echoOn, Clock::time_point deadline) {
    const int client = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (client < 0) return "cannot open " + path;
    if (::write(client, line.data(), line.size()) != ssize_t(line.size())) return "cannot write";
    std::string echo;
    while (echo.size() < line.size() && readMore(client, echo, deadline)) {
    }
    if (echoOn) {
        termios mode{};
        ::tcgetattr(client, &mode);
        mode.c_lflag |= ECHO | ICANON;
        ::tcsetattr(client, TCSANOW, &mode);
    }
    ::close(client);
    return echo;
}

TEST(CliUartPty, ClientsTalkToTheFirmwareUntilASignalEndsTheRun) {
    struct Row {
        int signal;
        const char* name;
        const char* options;
    };
    const Row rows[] = {{SIGTERM, "SIGTERM", ""}, {SIGHUP, "SIGHUP", "--uart-out out.txt"},
                        {SIGINT, "SIGINT", "--uart-baud 9600"}, {SIGTERM, "SIGTERM", "--record pty.qrec"}};
    TempDir dir;
    ASSERT_TRUE(as31Hex(dir.path, "echo", kEcho));
    // Bytes a cooked terminal would change: CR, LF, DEL, a byte above 0x7F, ^C.
    const std::string line = "Hello, 8051!\r\n\x7f\xe9\x03 end\n";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CliRun cli;
        const auto deadline = Clock::now() + kPatience;
        std::string text, path;
        startPtySession(cli, dir, row.options, text, path, deadline);
        const auto started = Clock::now();
        // The first client leaves echo on; the second still gets a raw line.
        EXPECT_EQ(talk(path, line, true, deadline), line);
        EXPECT_EQ(talk(path, line, false, deadline), line);
        // Idle, the session keeps to the wall clock.
        ::usleep(300000);
        ASSERT_GT(cli.pid, 0) << text;
        ::kill(cli.pid, row.signal);
        const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
        while (readMore(::fileno(cli.pipe), text, deadline)) {
        }
        cli.pid = -1;
        const int status = ::pclose(std::exchange(cli.pipe, nullptr));
        ASSERT_TRUE(WIFEXITED(status)) << text;
        EXPECT_EQ(WEXITSTATUS(status), 0) << text;
        EXPECT_NE(text.find(std::string("interrupted by ") + row.name), std::string::npos) << text;
        EXPECT_NE(text.find(R"("reason":"interrupted","exit_status":0)"), std::string::npos) << text;
        EXPECT_NE(text.find("\"text\":" + quorvel::cli::jsonDocument(quorvel::cli::chipCharacters(line + line))), std::string::npos) << text;
        const size_t at = text.find("\"cycles\":");
        ASSERT_NE(at, std::string::npos) << text;
        const double cycles = std::atof(text.c_str() + at + 9);
        EXPECT_LT(cycles, (seconds + 0.5) * 11059200 / 12) << text;
        if (std::string(row.options).find("out.txt") != std::string::npos) {
            EXPECT_EQ(readFile(dir / "out.txt"), line + line);
        }
        // Recorded, the session replays to its end: the terminal's bytes
        // were logged.
        if (std::string(row.options).find("--record") != std::string::npos) {
            const ProcessResult replay = runProcess(dir.path, cliProgram(), {"--replay", "pty.qrec", "--json"});
            EXPECT_EQ(replay.status, 0) << replay.err;
            const size_t hash = replay.out.find("\"state_hash\":");
            ASSERT_NE(hash, std::string::npos) << replay.out;
            EXPECT_NE(text.find(replay.out.substr(hash, 31)), std::string::npos) << text;
        }
    }
}

// --uart-in at the host's own rate: off by 2% the bytes come through, by
// 10% they are garbled and the framing errors counted; bad rates are usage
// errors.
TEST(CliUart, HostBaudRate) {
    struct Row {
        std::vector<std::string> options;
        int status;
        bool echoed;
        const char* said; // on standard error
    };
    const Row rows[] = {
        {{}, 3, true, "cycle limit"},
        {{"--uart-baud", "9792"}, 3, true, "cycle limit"},
        {{"--uart-baud", "10560"}, 3, false, "framing errors ("},
        {{"--uart-baud", "0"}, 2, false, "--uart-baud takes a rate of 50 to 1000000"},
        {{"--uart-baud", "fast"}, 2, false, "not 'fast'"},
    };
    TempDir dir;
    ASSERT_TRUE(as31Hex(dir.path, "echo", kEcho));
    dir.write("in.txt", "Hello, world!");
    for (const Row& row : rows) {
        std::vector<std::string> args = {"--clock", "11059200", "--uart-in", "in.txt", "--max-cycles",
                                         "200000", "--dump", "uart"};
        args.insert(args.end(), row.options.begin(), row.options.end());
        args.push_back("echo.hex");
        const ProcessResult r = runProcess(dir.path, cliProgram(), args);
        SCOPED_TRACE(r.output());
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(r.out.find("transmitted: 13 bytes \"Hello, world!\"") != std::string::npos, row.echoed);
        EXPECT_NE(r.err.find(row.said), std::string::npos);
    }
}

// The recorder keeps the bytes of the run only for the UART dump.
TEST(CliUart, BytesKeptOnlyForTheDump) {
    for (const bool dump : {false, true}) {
        quorvel::Machine machine = makeMachine();
        quorvel::cli::UartRecorder uart(machine, dump);
        for (int i = 0; i < 1000; ++i) {
            uart.byteTransmitted(uint16_t('a'));
            uart.byteReceived(uint16_t('b'));
        }
        EXPECT_EQ(uart.transmitted().size(), dump ? 1000u : 0u);
        EXPECT_EQ(uart.received().size(), dump ? 1000u : 0u);
    }
}

} // namespace
