#include "asm51_runner.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace asm51test {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int hexByte(const std::string& line, size_t at) {
    if (at + 1 >= line.size()) return -1;
    int hi = hexDigit(line[at]), lo = hexDigit(line[at + 1]);
    return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

} // namespace

fs::path asm51Program() {
    return fs::path(QUORVEL_BUILD_DIR) / "Assembler" / "asm51";
}

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "asm51-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    char* made = mkdtemp(buffer.data());
    if (!made) throw std::runtime_error("cannot create a temporary folder");
    path_ = made;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void TempFolder::write(const std::string& name, const std::string& text) const {
    fs::create_directories((path_ / name).parent_path());
    std::ofstream out(path_ / name, std::ios::binary);
    out << text;
}

std::string TempFolder::read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool TempFolder::exists(const std::string& name) const {
    return fs::exists(path_ / name);
}

RunResult TempFolder::run(const std::string& program, const std::vector<std::string>& args,
                          const std::optional<std::string>& input) const {
    int out[2], in[2];
    if (pipe(out) != 0 || pipe(in) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(out[1], 2);
        if (input)
            dup2(in[0], 0);
        else
            close(0);
        close(out[0]);
        close(out[1]);
        close(in[0]);
        close(in[1]);
        if (chdir(path_.c_str()) != 0) _exit(126);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(program.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    close(in[0]);
    if (input && !input->empty()) {
        ssize_t written = ::write(in[1], input->data(), input->size());
        (void)written;
    }
    close(in[1]);
    RunResult result;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(out[0], buffer, sizeof buffer)) > 0)
        result.output.append(buffer, size_t(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

RunResult TempFolder::asm51(const std::vector<std::string>& args,
                            const std::optional<std::string>& input) const {
    return run(asm51Program().string(), args, input);
}

std::map<uint16_t, uint8_t> parseHex(const std::string& text) {
    std::map<uint16_t, uint8_t> image;
    std::istringstream lines(text);
    std::string line;
    bool ended = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        EXPECT_FALSE(ended) << "record after the end record: " << line;
        if (line.size() < 11 || line[0] != ':') {
            ADD_FAILURE() << "not a record: " << line;
            return image;
        }
        int count = hexByte(line, 1);
        if (count < 0 || line.size() != size_t(11 + 2 * count)) {
            ADD_FAILURE() << "bad length or lower-case digits: " << line;
            return image;
        }
        EXPECT_LE(count, 16) << line;
        int sum = 0;
        for (size_t i = 1; i < line.size(); i += 2) {
            int b = hexByte(line, i);
            if (b < 0) {
                ADD_FAILURE() << "bad digit in " << line;
                return image;
            }
            sum += b;
        }
        EXPECT_EQ(sum & 0xFF, 0) << "checksum of " << line;
        int address = hexByte(line, 3) * 256 + hexByte(line, 5);
        int type = hexByte(line, 7);
        if (type == 1) {
            EXPECT_EQ(line, ":00000001FF");
            ended = true;
            continue;
        }
        EXPECT_EQ(type, 0) << line;
        for (int i = 0; i < count; ++i) {
            uint16_t at = uint16_t(address + i);
            EXPECT_EQ(image.count(at), 0u) << "address written twice: " << at;
            image[at] = uint8_t(hexByte(line, size_t(9 + 2 * i)));
        }
    }
    EXPECT_TRUE(ended) << "no end record";
    return image;
}

std::vector<int> bytesAt(const std::map<uint16_t, uint8_t>& image, uint16_t from, int count) {
    std::vector<int> bytes;
    for (int i = 0; i < count; ++i) {
        auto it = image.find(uint16_t(from + i));
        bytes.push_back(it == image.end() ? -1 : it->second);
    }
    return bytes;
}

} // namespace asm51test
