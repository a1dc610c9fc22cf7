#include "cli_process.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace quorvel::clitest {

namespace {

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

int shell(const TempDir& dir, const std::string& command) {
    const int status = std::system(("cd " + quoted(dir.path.string()) + " && " + command).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "quorvel-cli-XXXXXX").string();
    if (mkdtemp(pattern.data())) path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!path.empty()) fs::remove_all(path, ignored);
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

Outcome runCli(const TempDir& dir, const std::vector<std::string>& args, const std::string& input) {
    std::string command = quoted(std::string(QUORVEL_BUILD_DIR) + "/quorvel-cli");
    for (const std::string& arg : args) command += " " + quoted(arg);
    writeFile(dir / "cli.in", input);
    command += " < cli.in > cli.out 2> cli.err";
    Outcome outcome;
    outcome.status = shell(dir, command);
    outcome.out = readFile(dir / "cli.out");
    outcome.err = readFile(dir / "cli.err");
    return outcome;
}

bool haveTool(const std::string& name) {
    return std::system(("command -v " + name + " > /dev/null 2>&1").c_str()) == 0;
}

bool assemble(const TempDir& dir, const std::string& name, const std::string& source, std::string& log) {
    writeFile(dir / (name + ".asm"), source);
    const int status = shell(dir, "as31 -Fhex " + name + ".asm > as31.log 2>&1");
    log = readFile(dir / "as31.log");
    return status == 0 && fs::exists(dir / (name + ".hex"));
}

bool compileC(const TempDir& dir, const std::string& name, const std::string& source, std::string& log) {
    writeFile(dir / (name + ".c"), source);
    const int status = shell(dir, "sdcc -mmcs51 " + name + ".c > sdcc.log 2>&1 && packihx " + name +
                                      ".ihx > " + name + ".hex 2>> sdcc.log");
    log = readFile(dir / "sdcc.log");
    return status == 0 && fs::exists(dir / (name + ".hex"));
}

} // namespace quorvel::clitest
