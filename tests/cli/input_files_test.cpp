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

TEST(InputFiles, EveryReaderRefusesSpecialFilesAtOnce) {
    TempDir dir;
    dir.write("prog.hex", ":0100000000FF\n:00000001FF\n");
    // Named as sources so that asm51 takes them as they are.
    ASSERT_EQ(::mkfifo((dir / "pipe.asm").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir / "zero.asm"); // a device that never ends
    fs::create_directory(dir / "folder.asm");

    for (const char* name : {"pipe.asm", "zero.asm", "folder.asm"}) {
        SCOPED_TRACE(name);
        const fs::path special = dir / name;
        // The runner and the assembler, under `timeout`: exit status 1 with
        // a message, not 124.
        const std::vector<std::vector<std::string>> runs = {
            {cliProgram().string(), name},
            {cliProgram().string(), "--xdata", "2", "--data", name, "prog.hex"},
            {cliProgram().string(), "--modules", name, "prog.hex"},
            {cliProgram().string(), "--uart-in", name, "prog.hex"},
            {asm51Program().string(), name},
        };
        for (const auto& args : runs) {
            SCOPED_TRACE(args[args.size() > 2 ? args.size() - 3 : 0]);
            std::vector<std::string> line = {std::to_string(kSeconds)};
            line.insert(line.end(), args.begin(), args.end());
            const ProcessResult r = runProcess(dir.path, "timeout", line);
            EXPECT_EQ(r.status, 1) << r.output();
            EXPECT_FALSE(r.output().empty());
        }

        // The application's readers.
        EXPECT_TRUE(refusedInTime([&] {
            return !ReadAppConfig(special, defaultAppConfig(dir.path)).found;
        }));
        EXPECT_TRUE(refusedInTime([&] {
            ModuleSettings settings;
            return ReadModuleSettings(special, settings, 0xFFFFFFFFu).has_value();
        }));
        EXPECT_TRUE(refusedInTime([&] {
            ScreenSettings settings;
            return ReadScreenSettings(special, settings).has_value();
        }));
        EXPECT_TRUE(refusedInTime([&] { return readTransferFile(special).error.has_value(); }));
    }
}

// Inputs far larger than anything they can hold are refused by size before
// they are read, under a memory limit that reading them whole would break:
// a 3 GiB program (binary or HEX) or assembler source, and serial input on
// standard input past the 16 MiB a serial file may have. Memory that runs
// out below those sizes ends in a message and exit status 1.
TEST(InputFiles, OversizedInputsAreRefusedBeforeTheyAreRead) {
    TempDir dir;
    for (const char* name : {"huge.bin", "huge.hex", "huge.asm"}) {
        dir.write(name, "");
        fs::resize_file(dir / name, uintmax_t(3) << 30); // sparse: no disk space taken
    }
    dir.write("spin.hex", ":04000000740180FC0B\n:00000001FF\n");
    std::string line = "        NOP ; " + std::string(90, 'x') + "\n", source;
    for (int i = 0; i < 150000; ++i) source += line; // 15 MB, under the source limit
    dir.write("long.asm", source + "        END\n");
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
        // Within the size limits, but past a memory limit: said, not aborted.
        {"head -c 16000000 /dev/zero | (ulimit -v 20000; exec " + cli + " --uart-in - spin.hex)",
         "out of memory"},
        {"ulimit -v 60000; exec " + asm51Program().string() + " long.asm", "out of memory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const ProcessResult r = runProcess(dir.path, "sh", {"-c", c.command});
        EXPECT_EQ(r.status, 1) << r.output();
        EXPECT_NE(r.output().find(c.message), std::string::npos) << r.output();
    }
}
