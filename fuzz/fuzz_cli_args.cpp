// Fuzzes quorvel-cli's command line. The input is the argument list, NUL
// bytes separating the arguments. Whatever parses is then set up as the
// runner would set it up (device and memories, pins, breakpoint conditions,
// dump ranges), with the files it names replaced by a small program written
// once, so nothing outside a temporary folder is read or written.
// Checks: no crash or sanitizer report; parsing gives the same result twice;
// a session that sets up starts inside program memory.
#include "cli/cli_options.h"
#include "cli/cli_session.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

using namespace quorvel;
using namespace quorvel::cli;

namespace {

// A HEX file of one instruction (SJMP $), beside the fuzzer's other files.
const std::string& programFile() {
    static const std::string path = [] {
        const auto file = std::filesystem::temp_directory_path() / "quorvel_fuzz_cli_program.hex";
        std::ofstream(file, std::ios::binary) << ":0200000080FE80\n:00000001FF\n";
        return file.string();
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> args;
    for (size_t start = 0; start <= text.size();) {
        const size_t end = std::min(text.find('\0', start), text.size());
        args.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    const ParseResult parsed = parseCommandLine(args);
    const ParseResult again = parseCommandLine(args);
    if (parsed.error != again.error || parsed.options.dumps.size() != again.options.dumps.size() ||
        parsed.options.breaks.size() != again.options.breaks.size())
        std::abort();
    if (!parsed.error.empty()) return 0;

    CliOptions options = parsed.options;
    options.program = programFile();
    options.dataFile.clear();
    options.modulesFile.clear();
    options.uartIn.clear();
    Session session;
    std::istringstream noInput;
    if (setUpSession(options, session, noInput)) return 0;
    if (session.machine.chip.pc > session.machine.chip.codeLimit) std::abort();
    return 0;
}
