#include "core_test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace quorvel::test {

namespace fs = std::filesystem;

namespace {

#ifdef QUORVEL_AS31
constexpr const char* kAs31 = QUORVEL_AS31;
#else
constexpr const char* kAs31 = "";
#endif
#ifdef QUORVEL_SDCC
constexpr const char* kSdcc = QUORVEL_SDCC;
#else
constexpr const char* kSdcc = "";
#endif
#ifdef QUORVEL_MAKEBIN
constexpr const char* kMakebin = QUORVEL_MAKEBIN;
#else
constexpr const char* kMakebin = "";
#endif

// A fresh folder under the system's temporary directory, removed with the
// object.
struct TempDir {
    fs::path path;
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "quorvel-core-XXXXXX").string();
        if (mkdtemp(pattern.data())) path = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path.empty()) fs::remove_all(path, ignored);
    }
};

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

std::string readText(const fs::path& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::vector<uint8_t> readBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

// Runs a command in `dir` with its output in a log; returns the exit status
// and the log text.
int run(const TempDir& dir, const std::string& command, std::string& log) {
    const fs::path logPath = dir.path / "tool.log";
    const std::string line =
        "cd " + quoted(dir.path) + " && " + command + " > " + quoted(logPath) + " 2>&1";
    const int status = std::system(line.c_str());
    log = readText(logPath);
    return status;
}

} // namespace

bool haveAs31() { return kAs31[0] != 0; }
bool haveSdcc() { return kSdcc[0] != 0 && kMakebin[0] != 0; }

Machine makeMachine(DeviceKind kind, uint32_t frequency, uint16_t codeLimit,
                    uint16_t xdataLimit) {
    DeviceSelection selection;
    selection.kind = kind;
    selection.frequency = frequency;
    selection.cycleTimeUs = machineCycleTimeUs(frequency);
    selection.programMode = ProgramMemoryMode::Both;
    selection.codeLimit = codeLimit;
    selection.xdataLimit = xdataLimit;
    Machine machine;
    configureMachine(machine, selection);
    return machine;
}

void loadCode(Machine& machine, const std::vector<uint8_t>& bytes, uint16_t at) {
    for (size_t i = 0; i < bytes.size(); ++i) machine.chip.writeCode(uint16_t(at + i), bytes[i]);
}

std::vector<uint8_t> assemble(const std::string& source) {
    if (!haveAs31()) {
        ADD_FAILURE() << "as31 was not found when the tests were configured";
        return {};
    }
    TempDir dir;
    {
        std::ofstream file(dir.path / "program.asm");
        file << source << "\n";
    }
    std::string log;
    const int status = run(dir, std::string(kAs31) + " -Fbin program.asm", log);
    if (status != 0 || !fs::exists(dir.path / "program.bin")) {
        ADD_FAILURE() << "as31 failed:\n" << log;
        return {};
    }
    return readBytes(dir.path / "program.bin");
}

std::vector<uint8_t> compileC(const std::string& source, const std::string& extraFlags) {
    if (!haveSdcc()) {
        ADD_FAILURE() << "sdcc/makebin were not found when the tests were configured";
        return {};
    }
    TempDir dir;
    {
        std::ofstream file(dir.path / "program.c");
        file << source;
    }
    std::string log;
    int status = run(dir, std::string(kSdcc) + " -mmcs51 " + extraFlags + " program.c", log);
    if (status != 0 || !fs::exists(dir.path / "program.ihx")) {
        ADD_FAILURE() << "sdcc failed:\n" << log;
        return {};
    }
    status = run(dir, std::string(kMakebin) + " -p program.ihx program.bin", log);
    if (status != 0) {
        ADD_FAILURE() << "makebin failed:\n" << log;
        return {};
    }
    return readBytes(dir.path / "program.bin");
}

void attach(Machine& machine, EventRecorder& recorder) {
    recorder.chip = &machine.chip;
    machine.chip.events = &recorder;
}

uint64_t runUntil(Machine& machine, const std::function<bool(const Machine&)>& done,
                  uint64_t maxSteps) {
    for (uint64_t i = 0; i < maxSteps; ++i) {
        if (step(machine)) {
            ADD_FAILURE() << "program counter out of range at "
                          << machine.chip.side.instructionAddress;
            return i + 1;
        }
        if (done(machine)) return i + 1;
    }
    return maxSteps;
}

void stepN(Machine& machine, uint64_t count) {
    for (uint64_t i = 0; i < count; ++i) {
        if (step(machine)) {
            ADD_FAILURE() << "program counter out of range at "
                          << machine.chip.side.instructionAddress;
            return;
        }
    }
}

} // namespace quorvel::test
