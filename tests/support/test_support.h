// Helpers shared by the GoogleTest suites (built once as the library
// quorvel_test_support and linked into every suite by tests/CMakeLists.txt).
//
//   Files      TempDir (a fresh folder, removed with the object), readFile,
//              writeFile, readBytes, writeBytes.
//   Processes  runProcess: a program run in a folder with its exit status,
//              standard output and standard error; asm51Program and
//              cliProgram, the programs the build makes.
//   Tools      kAs31, kSdcc, kPackihx, kMakebin, kVcd2fst, kFst2vcd: the external tools found
//              when the build was configured (they are required there);
//              as31Hex, as31Image and compileC run them.
//   Machines   makeMachine (a configured Machine), makeChip (a bare chip),
//              loadCode, runTo.
//
// Helpers that return testing::AssertionResult carry the tool's or the
// machine's own account of a failure: ASSERT_TRUE(as31Hex(...)) prints it.
#pragma once

#include "machine/machine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::support {

namespace fs = std::filesystem;

// ---- files

// A fresh folder under the system's temporary folder, removed (whatever
// permissions a test left on it) when the object goes.
struct TempDir {
    fs::path path;

    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    fs::path operator/(const std::string& name) const { return path / name; }
    // Writes `text` to `name` (a relative path; missing folders are made).
    void write(const std::string& name, std::string_view text) const;
    std::string read(const std::string& name) const; // empty when missing
    bool exists(const std::string& name) const { return fs::exists(path / name); }
    int entries() const; // files and folders directly inside
};

std::string readFile(const fs::path& path); // empty when missing
void writeFile(const fs::path& path, std::string_view bytes);
std::vector<uint8_t> readBytes(const fs::path& path);
void writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes);

// ---- processes

struct ProcessResult {
    int status = -1; // exit status; -1 when the program did not exit normally
    std::string out; // standard output
    std::string err; // standard error
    std::string output() const { return out + err; }
};

// Runs `program` (a path, or a name looked up in PATH) with `args` in `dir`.
// Standard input is closed unless `input` is given, which is then all the
// program reads there.
ProcessResult runProcess(const fs::path& dir, const std::string& program,
                         const std::vector<std::string>& args,
                         const std::optional<std::string>& input = std::nullopt);

fs::path asm51Program(); // the built asm51, in the build's Assembler folder
fs::path cliProgram();   // the built quorvel-cli

// ---- external tools

extern const std::string kAs31, kSdcc, kPackihx, kMakebin;
// GTKWave's converters: a dump they read back is one the viewer opens.
extern const std::string kVcd2fst, kFst2vcd;

// Writes `source` to dir/name.asm and assembles it with as31 into
// dir/name.hex.
testing::AssertionResult as31Hex(const fs::path& dir, const std::string& name,
                                 const std::string& source);
// Assembles `source` with as31 in a folder of its own into a binary image
// from address 0. Fails the current test (and returns nothing) on an error.
std::vector<uint8_t> as31Image(const std::string& source);
// Writes C `source` to dir/name.c and compiles it with SDCC (small model
// unless `flags` say otherwise): dir/name.ihx, packed by packihx into
// dir/name.hex and turned by makebin into the image dir/name.bin.
testing::AssertionResult compileC(const fs::path& dir, const std::string& name,
                                  const std::string& source,
                                  const std::vector<std::string>& flags = {});

// ---- machines

// A machine for `kind` at `frequency`, running from internal program memory
// of `codeLimit` + 1 bytes (devices with fixed program memory keep theirs),
// with `xdataLimit` + 1 bytes of external data memory (none for 0).
Machine makeMachine(DeviceKind kind = DeviceKind::AT89C52, uint32_t frequency = 12000000,
                    uint16_t codeLimit = 0xFFFF, uint16_t xdataLimit = 0);

// A chip alone, after reset, with `codeLimit` + 1 bytes of program memory and
// `xdataLimit` + 1 bytes of external data memory (none for 0).
ChipState makeChip(uint16_t codeLimit = 0x0FFF, uint16_t xdataLimit = 0, bool eeprom = false);

void loadCode(Machine& machine, const std::vector<uint8_t>& bytes, uint16_t at = 0);

// Steps until the program counter is `address`. Fails when `budget`
// instructions pass first or the program leaves program memory.
testing::AssertionResult runTo(Machine& machine, uint16_t address, long budget);

} // namespace quorvel::support
