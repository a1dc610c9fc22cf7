#include "test_support.h"

#include "machine/executor.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace quorvel::support {

const std::string kAs31 = QUORVEL_AS31;
const std::string kSdcc = QUORVEL_SDCC;
const std::string kPackihx = QUORVEL_PACKIHX;
const std::string kMakebin = QUORVEL_MAKEBIN;
const std::string kVcd2fst = QUORVEL_VCD2FST, kFst2vcd = QUORVEL_FST2VCD;

// ---- files

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "quorvel-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // A test may have taken write or search permission away.
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto it = fs::recursive_directory_iterator(path, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored))
        if (it->is_directory(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path, ignored);
}

void TempDir::write(const std::string& name, std::string_view text) const {
    fs::create_directories((path / name).parent_path());
    writeFile(path / name, text);
}

std::string TempDir::read(const std::string& name) const { return readFile(path / name); }

int TempDir::entries() const {
    return int(std::distance(fs::directory_iterator(path), fs::directory_iterator()));
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

std::vector<uint8_t> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    writeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// ---- processes

ProcessResult runProcess(const fs::path& dir, const std::string& program,
                         const std::vector<std::string>& args,
                         const std::optional<std::string>& input) {
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        if (input) dup2(in[0], 0);
        else close(0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        if (chdir(dir.c_str()) != 0) _exit(126);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    // The inputs the tests give are far below a pipe's capacity: written whole
    // before any output is read. A program that ends without reading them
    // must not end the test with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    if (input && !input->empty()) {
        const ssize_t written = ::write(in[1], input->data(), input->size());
        (void)written;
    }
    close(in[1]);
    ProcessResult result;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0 && poll(fds, 2, -1) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, size_t(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

fs::path asm51Program() { return fs::path(QUORVEL_BUILD_DIR) / "Assembler" / "asm51"; }
fs::path cliProgram() { return fs::path(QUORVEL_BUILD_DIR) / "quorvel-cli"; }

// ---- external tools

namespace {

testing::AssertionResult ran(const ProcessResult& r, const std::string& what) {
    if (r.status == 0) return testing::AssertionSuccess();
    return testing::AssertionFailure() << what << " failed (status " << r.status << "):\n"
                                       << r.output();
}

} // namespace

testing::AssertionResult as31Hex(const fs::path& dir, const std::string& name,
                                 const std::string& source) {
    writeFile(dir / (name + ".asm"), source);
    return ran(runProcess(dir, kAs31, {"-Fhex", name + ".asm"}), "as31");
}

std::vector<uint8_t> as31Image(const std::string& source) {
    TempDir dir;
    dir.write("program.asm", source);
    const testing::AssertionResult ok = ran(runProcess(dir.path, kAs31, {"-Fbin", "program.asm"}), "as31");
    if (!ok) {
        ADD_FAILURE() << ok.message();
        return {};
    }
    return readBytes(dir / "program.bin");
}

testing::AssertionResult compileC(const fs::path& dir, const std::string& name,
                                  const std::string& source, const std::vector<std::string>& flags) {
    writeFile(dir / (name + ".c"), source);
    std::vector<std::string> args = {"-mmcs51"};
    args.insert(args.end(), flags.begin(), flags.end());
    args.push_back(name + ".c");
    if (auto ok = ran(runProcess(dir, kSdcc, args), "sdcc"); !ok) return ok;
    const ProcessResult packed = runProcess(dir, kPackihx, {name + ".ihx"});
    if (auto ok = ran(packed, "packihx"); !ok) return ok;
    writeFile(dir / (name + ".hex"), packed.out);
    return ran(runProcess(dir, kMakebin, {"-p", name + ".ihx", name + ".bin"}), "makebin");
}

// ---- machines

Machine makeMachine(DeviceKind kind, uint32_t frequency, uint16_t codeLimit, uint16_t xdataLimit) {
    DeviceSelection selection;
    selection.kind = kind;
    selection.frequency = frequency;
    selection.cycleTimeUs = machineCycleTimeUs(frequency);
    selection.codeLimit = codeLimit;
    selection.xdataLimit = xdataLimit;
    Machine machine;
    configureMachine(machine, selection);
    return machine;
}

ChipState makeChip(uint16_t codeLimit, uint16_t xdataLimit, bool eeprom) {
    ChipState chip;
    chip.allocate(codeLimit, xdataLimit, eeprom);
    chip.reset();
    return chip;
}

void loadCode(Machine& machine, const std::vector<uint8_t>& bytes, uint16_t at) {
    for (size_t i = 0; i < bytes.size(); ++i) machine.chip.writeCode(uint16_t(at + i), bytes[i]);
}

testing::AssertionResult runTo(Machine& machine, uint16_t address, long budget) {
    for (long i = 0; i < budget; ++i) {
        if (machine.chip.pc == address) return testing::AssertionSuccess();
        if (step(machine))
            return testing::AssertionFailure()
                   << "the program left program memory at "
                   << std::hex << machine.chip.side.instructionAddress;
    }
    return testing::AssertionFailure() << "did not reach " << std::hex << address << " within "
                                       << std::dec << budget << " instructions; PC " << std::hex
                                       << machine.chip.pc;
}

} // namespace quorvel::support
