// A FIFO, a device or a folder given where a file is read is refused at
// once, never waited on: by the command-line runner for each of its input
// files, and by the readers of the settings files and serial files that the
// application uses.
#include "test_support.h"

#include "modules/serial_host.h"
#include "settings/app_config.h"
#include "settings/module_settings_file.h"
#include "settings/screen_settings_file.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

using namespace quorvel;
using namespace quorvel::support;

namespace {

constexpr unsigned kSeconds = 5;

// Runs `read` in a child process that the alarm ends after kSeconds; true
// when it returned in time and reported a failure.
bool refusedInTime(const std::function<bool()>& read) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(kSeconds);
        ::_exit(read() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

TEST(InputFiles, EveryReaderRefusesAFifoAtOnce) {
    TempDir dir;
    const fs::path fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    dir.write("prog.hex", ":0100000000FF\n:00000001FF\n");

    // The runner, under `timeout`: exit status 1 with a message, not 124.
    const std::vector<std::vector<std::string>> runs = {
        {"pipe"},
        {"--xdata", "2", "--data", "pipe", "prog.hex"},
        {"--modules", "pipe", "prog.hex"},
        {"--uart-in", "pipe", "prog.hex"},
    };
    for (const auto& args : runs) {
        SCOPED_TRACE(args[args.size() > 1 ? args.size() - 2 : 0]);
        std::vector<std::string> line = {std::to_string(kSeconds), cliProgram().string()};
        line.insert(line.end(), args.begin(), args.end());
        const ProcessResult r = runProcess(dir.path, "timeout", line);
        EXPECT_EQ(r.status, 1) << r.output();
        EXPECT_FALSE(r.err.empty());
    }

    // The application's readers.
    EXPECT_TRUE(refusedInTime([&] {
        return !ReadAppConfig(fifo, defaultAppConfig(dir.path)).found;
    }));
    EXPECT_TRUE(refusedInTime([&] {
        ModuleSettings settings;
        return ReadModuleSettings(fifo, settings, 0xFFFFFFFFu).has_value();
    }));
    EXPECT_TRUE(refusedInTime([&] {
        ScreenSettings settings;
        return ReadScreenSettings(fifo, settings).has_value();
    }));
    EXPECT_TRUE(refusedInTime([&] { return readTransferFile(fifo).error.has_value(); }));
}

// Inputs far larger than anything they can hold are refused by size before
// they are read, under a memory limit that reading them whole would break:
// a 3 GiB program (binary or HEX) or assembler source, and serial input on
// standard input past the 16 MiB a serial file may have.
TEST(InputFiles, OversizedInputsAreRefusedBeforeTheyAreRead) {
    TempDir dir;
    for (const char* name : {"huge.bin", "huge.hex", "huge.asm"}) {
        dir.write(name, "");
        fs::resize_file(dir / name, uintmax_t(3) << 30); // sparse: no disk space taken
    }
    dir.write("spin.hex", ":04000000740180FC0B\n:00000001FF\n");
    const std::string cli = cliProgram().string();
    const std::string limit = "ulimit -v 1000000; exec ";
    const struct {
        std::string command;
        const char* message;
    } cases[] = {
        {limit + cli + " huge.bin", "too large"},
        {limit + cli + " huge.hex", "too large"},
        {limit + asm51Program().string() + " huge.asm", "not assembled"},
        {"head -c 17000000 /dev/zero | " + cli + " --uart-in - spin.hex", "more than 16 MiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const ProcessResult r = runProcess(dir.path, "sh", {"-c", c.command});
        EXPECT_EQ(r.status, 1) << r.output();
        EXPECT_NE(r.output().find(c.message), std::string::npos) << r.output();
    }
}
