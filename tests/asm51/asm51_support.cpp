#include "asm51_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace asm51test {

namespace {

int hexByte(const std::string& line, size_t at) {
    auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1; };
    if (at + 1 >= line.size()) return -1;
    const int hi = digit(line[at]), lo = digit(line[at + 1]);
    return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

} // namespace

ProcessResult asm51(const TempDir& folder, const std::vector<std::string>& args,
                    const std::optional<std::string>& input) {
    return quorvel::support::runProcess(folder.path, quorvel::support::asm51Program(), args, input);
}

Image assembleOk(const TempDir& folder, const std::string& source, const std::string& name) {
    folder.write(name + ".asm", source);
    const ProcessResult r = asm51(folder, {name});
    EXPECT_EQ(r.status, 0) << r.output();
    EXPECT_NE(r.output().find(": 0 errors, 0 warnings"), std::string::npos) << r.output();
    return parseHex(folder.read(name + ".hex"));
}

Image parseHex(const std::string& text) {
    Image image;
    std::istringstream lines(text);
    std::string line;
    bool ended = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        EXPECT_FALSE(ended) << "record after the end record: " << line;
        const int count = line.size() >= 11 && line[0] == ':' ? hexByte(line, 1) : -1;
        if (count < 0 || line.size() != size_t(11 + 2 * count)) {
            ADD_FAILURE() << "not a record, a bad length or lower-case digits: " << line;
            return image;
        }
        EXPECT_LE(count, 16) << line;
        int sum = 0;
        for (size_t i = 1; i < line.size(); i += 2) {
            const int b = hexByte(line, i);
            if (b < 0) {
                ADD_FAILURE() << "bad digit in " << line;
                return image;
            }
            sum += b;
        }
        EXPECT_EQ(sum & 0xFF, 0) << "checksum of " << line;
        const int address = hexByte(line, 3) * 256 + hexByte(line, 5);
        const int type = hexByte(line, 7);
        if (type == 1) {
            EXPECT_EQ(line, ":00000001FF");
            ended = true;
            continue;
        }
        EXPECT_EQ(type, 0) << line;
        for (int i = 0; i < count; ++i) {
            const uint16_t at = uint16_t(address + i);
            EXPECT_EQ(image.count(at), 0u) << "address written twice: " << at;
            image[at] = uint8_t(hexByte(line, size_t(9 + 2 * i)));
        }
    }
    EXPECT_TRUE(ended) << "no end record";
    return image;
}

Bytes bytesAt(const Image& image, uint16_t from, int count) {
    Bytes bytes;
    for (int i = 0; i < count; ++i) {
        const auto it = image.find(uint16_t(from + i));
        bytes.push_back(it == image.end() ? -1 : it->second);
    }
    return bytes;
}

} // namespace asm51test
