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

TEST(SpecialFiles, EveryReaderRefusesAFifoAtOnce) {
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
