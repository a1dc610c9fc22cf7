// Runs the built asm51 as a process in a temporary folder of its own, the way
// the simulator's editor runs it, and reads back what it left there.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace asm51test {

struct RunResult {
    int status = -1;    // exit status; -1 if it did not exit normally
    std::string output; // standard output and standard error together
};

// A fresh folder under the system's temporary folder, removed at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    void write(const std::string& name, const std::string& text) const;
    std::string read(const std::string& name) const; // empty if missing
    bool exists(const std::string& name) const;

    // Runs `program` with `args` in this folder. Standard input is closed
    // unless `input` is given, in which case it is written there.
    RunResult run(const std::string& program, const std::vector<std::string>& args,
                  const std::optional<std::string>& input = std::nullopt) const;
    // Runs the built asm51.
    RunResult asm51(const std::vector<std::string>& args,
                    const std::optional<std::string>& input = std::nullopt) const;

private:
    std::filesystem::path path_;
};

std::filesystem::path asm51Program();

// Program bytes of an Intel HEX text by address. Fails the current test (and
// returns what it read so far) on a malformed record: lower-case digits, a bad
// checksum, more than 16 data bytes, or no end record at the end.
std::map<uint16_t, uint8_t> parseHex(const std::string& text);

// Bytes of the image from `from` for `count` addresses; a missing byte is -1.
std::vector<int> bytesAt(const std::map<uint16_t, uint8_t>& image, uint16_t from, int count);

} // namespace asm51test
