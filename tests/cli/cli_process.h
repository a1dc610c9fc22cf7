// Helpers of the quorvel-cli tests: a temporary folder per test, programs
// assembled (as31) or compiled (SDCC) into it at test time, and the CLI run
// as a process with its standard output, standard error and exit status.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quorvel::clitest {

namespace fs = std::filesystem;

// A fresh folder, removed with the object.
struct TempDir {
    fs::path path;
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    fs::path operator/(const std::string& name) const { return path / name; }
};

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs quorvel-cli in `dir` with `args` (each quoted for the shell); `input`
// goes to its standard input.
Outcome runCli(const TempDir& dir, const std::vector<std::string>& args, const std::string& input = {});

bool haveTool(const std::string& name);

// Assembles `source` with as31 into dir/name.hex; returns false (with the
// tool's output in `log`) on failure.
bool assemble(const TempDir& dir, const std::string& name, const std::string& source, std::string& log);
// Compiles C `source` with SDCC and packs it into dir/name.hex.
bool compileC(const TempDir& dir, const std::string& name, const std::string& source, std::string& log);

void writeFile(const fs::path& path, const std::string& bytes);
std::string readFile(const fs::path& path);

} // namespace quorvel::clitest
