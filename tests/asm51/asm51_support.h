// asm51 run as the simulator's editor runs it: a process in a folder of its
// own, leaving its HEX and listing files there.
#pragma once

#include "test_support.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace asm51test {

using quorvel::support::ProcessResult;
using quorvel::support::TempDir;
using Image = std::map<uint16_t, uint8_t>;
using Bytes = std::vector<int>;

ProcessResult asm51(const TempDir& folder, const std::vector<std::string>& args,
                    const std::optional<std::string>& input = std::nullopt);

// Writes `source` as name.asm, assembles it (the test fails on any error or
// warning) and returns the bytes of name.hex.
Image assembleOk(const TempDir& folder, const std::string& source, const std::string& name = "t");

// Program bytes of an Intel HEX text by address. Fails the current test (and
// returns what it read so far) on a malformed record: lower-case digits, a bad
// checksum, more than 16 data bytes, or no end record at the end.
Image parseHex(const std::string& text);

// Bytes of the image from `from` for `count` addresses; a missing byte is -1.
Bytes bytesAt(const Image& image, uint16_t from, int count);

} // namespace asm51test
