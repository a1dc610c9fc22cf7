// The 131-byte module block (offsets of every field) and module-settings
// files: sizes by keypad type, round trips, and files that must change nothing.
#include "settings/module_block.h"
#include "settings/module_settings_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <numeric>

#include <sys/stat.h>

using namespace quorvel;
using namespace quorvel::support;

namespace {

// Every byte of the block distinct from its neighbours: byte i holds i + 1.
std::array<uint8_t, kModuleBlockSize> countingBlock() {
    std::array<uint8_t, kModuleBlockSize> block{};
    std::iota(block.begin(), block.end(), uint8_t(1));
    return block;
}

TEST(ModuleBlock, EveryFieldSitsAtItsOffset) {
    ModuleSettings s;
    decodeModuleBlock(countingBlock(), s);
    // Hand-checked against the layout: value = offset + 1.
    using A = std::vector<uint8_t>;
    EXPECT_EQ((A{s.LedLines[0], s.LedLines[44], s.LedOptions, s.LedSelectLevel, s.LedDigitCount,
                 s.LedSevenSegment}),
              (A{1, 45, 46, 47, 48, 49}));
    EXPECT_EQ(s.LedConnected, (std::array<uint8_t, 4>{50, 51, 52, 53}));
    EXPECT_EQ(s.LedActiveHigh, (std::array<uint8_t, 4>{55, 56, 57, 58}));
    EXPECT_EQ((A{s.LedConnectedSpare, s.LedActiveHighSpare, s.LcdPins[kLcdRs], s.LcdPins[kLcdRw],
                 s.LcdPins[kLcdE], s.LcdPins[kLcdD0 + 7], s.LcdReserved[0], s.LcdReserved[1], s.LcdOptions}),
              (A{54, 59, 60, 61, 62, 70, 71, 72, 73}));
    EXPECT_EQ((A{s.iic.IicOptions, s.iic.RtcOptions, s.iic.RtcInterrupt, s.iic.EepromOptions,
                 s.iic.EepromType, s.iic.IicScl, s.iic.IicSda, s.spi.SpiOptions}),
              (A{74, 75, 76, 77, 78, 79, 80, 81}));
    EXPECT_EQ(s.spi.SpiLines, (std::array<uint8_t, 3>{82, 83, 84}));
    EXPECT_EQ((A{s.spi.SpiEepromOptions, s.spi.SpiEepromCs, s.KeypadType, s.KeypadLines[0], s.KeypadLines[31]}),
              (A{85, 86, 87, 100, 131}));
    EXPECT_EQ(s.KeyMomentary, (std::array<uint8_t, 4>{88, 89, 90, 91}));
    EXPECT_EQ(s.KeyMomentaryLevel, (std::array<uint8_t, 4>{92, 93, 94, 95}));
    EXPECT_EQ(s.KeyToggle, (std::array<uint8_t, 4>{96, 97, 98, 99}));
    // And back: every byte of the block comes from a field.
    EXPECT_EQ(encodeModuleBlock(s), countingBlock());
}

TEST(ModuleSettingsFile, SizeFollowsTheKeypadType) {
    const std::pair<uint8_t, size_t> cases[] = {{0, 12}, {1, 16}, {2, 32}, {3, 0}, {0xFE, 32}};
    for (auto [type, names] : cases) {
        ModuleSettings s;
        s.KeypadType = type;
        setKeyName(s, 0, "Start");
        const auto bytes = encodeModuleSettingsFile(s);
        ASSERT_EQ(bytes.size(), 131 + names * 10) << "type " << int(type);
        EXPECT_EQ(bytes[86], type);
        if (names > 0) {
            // Names are zero-padded to 10 bytes.
            EXPECT_EQ(std::string(bytes.begin() + 131, bytes.begin() + 141), std::string("Start\0\0\0\0\0", 10));
            EXPECT_EQ(std::string(bytes.end() - 10, bytes.end() - 10 + 5),
                      "Key" + std::to_string(names - 1));
        }
    }
}

// Read on a 20-pin device, the lines it lacks become P1.0.
TEST(ModuleSettingsFile, RoundTripThroughAFile) {
    TempDir dir;
    ModuleSettings written;
    decodeModuleBlock(countingBlock(), written);
    written.KeypadType = 2; // 32 names
    for (int k = 0; k < 32; ++k) setKeyName(written, k, "Name" + std::to_string(k * 7));
    setKeyName(written, 3, "TenLetters"); // exactly 10: no terminator in the file
    written.LcdPins[kLcdE] = 0x05;   // P0.5: not on a 20-pin device
    written.LcdPins[kLcdRs] = 0x41;  // GND stays
    written.iic.IicSda = 0x36;       // P3.6: never offered
    written.KeypadLines[0] = 0x13;
    ASSERT_FALSE(WriteModuleSettings(dir.path / "a.MST", written));

    ModuleSettings read;
    read.serialHost = {1, "keep.bin"};
    ASSERT_FALSE(ReadModuleSettings(dir.path / "a.MST", read, 0xBF00FF00));
    ModuleSettings expected = written;
    replaceUnavailableLines(expected, 0xBF00FF00);
    expected.serialHost = {1, "keep.bin"}; // not in the file
    EXPECT_EQ(read, expected);
    const std::array<PinRef, 4> lines{read.LcdPins[kLcdE], read.LcdPins[kLcdRs], read.iic.IicSda,
                                      read.KeypadLines[0]};
    EXPECT_EQ(lines, (std::array<PinRef, 4>{0x10, 0x41, 0x10, 0x13}));
    EXPECT_EQ(dir.entries(), 1); // no temporary file left behind
}

// Key names beyond the file's count and the serial settings are not in the
// file: reading keeps them.
TEST(ModuleSettingsFile, WhatTheFileDoesNotHoldStays) {
    ModuleSettings current;
    setKeyName(current, 20, "Kept");
    current.serialHost = {kSerialFromFile, "/data/send.bin"};
    ModuleSettings other;
    decodeModuleBlock(countingBlock(), other);
    other.KeypadType = 0; // 12 names
    setKeyName(other, 2, "Two");
    auto parsed = parseModuleSettingsFile(encodeModuleSettingsFile(other), current);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(keyName(*parsed, 2), "Two");
    EXPECT_EQ(keyName(*parsed, 20), "Kept");
    EXPECT_EQ(parsed->serialHost, current.serialHost);
}

TEST(ModuleSettingsFile, BadFilesChangeNothing) {
    TempDir dir;
    ModuleSettings good;
    good.KeypadType = 1; // 16 names: 291 bytes
    const auto bytes = encodeModuleSettingsFile(good);
    auto cut = [&](size_t n) { return std::vector<uint8_t>(bytes.begin(), bytes.begin() + ptrdiff_t(n)); };
    auto longer = bytes;
    longer.push_back(0);
    auto otherType = bytes;
    otherType[86] = 2; // asks for 32 names

    // Each refusal gives the same message; the reason says what is wrong.
    const std::string needs291 = " where its keypad type 1 (byte 86) needs 291: the block and 16 key names";
    const struct {
        const char* what;
        std::vector<uint8_t> data;
        std::string why;
    } cases[] = {
        {"empty", {}, "0 bytes, shorter than the 131-byte settings block"},
        {"inside the block", cut(100), "100 bytes, shorter than the 131-byte settings block"},
        {"block only", cut(131), "131 bytes" + needs291},
        {"inside the names", cut(131 + 15 * 10 + 3), "284 bytes" + needs291},
        {"one byte long", longer, "292 bytes" + needs291},
        {"type asks for more names", otherType, "291 bytes where its keypad type 2 (byte 86) needs 451"},
    };
    const UserMessage expected = errorMessage("ERROR", "Unable to Open Specified File.");
    for (const auto& c : cases) {
        writeBytes(dir.path / "bad.MST", c.data);
        ModuleSettings live;
        live.LedDigitCount = 7;
        setKeyName(live, 0, "Live");
        const ModuleSettings before = live;
        std::string why;
        EXPECT_EQ(ReadModuleSettings(dir.path / "bad.MST", live, 0xFFFFFFFF, &why), expected) << c.what;
        EXPECT_TRUE(why.starts_with(c.why)) << c.what << ": " << why;
        EXPECT_EQ(live, before) << c.what;
    }
    std::filesystem::create_directory(dir.path / "folder.MST");
    ASSERT_EQ(::mkfifo((dir.path / "fifo.MST").c_str(), 0600), 0);
    for (const auto& [name, reason] : {std::pair{"missing.MST", "no such file"},
                                       {"folder.MST", "a folder, not a file"},
                                       {"fifo.MST", "a FIFO, not a file"}}) {
        ModuleSettings live;
        std::string why;
        EXPECT_EQ(ReadModuleSettings(dir.path / name, live, 0xFFFFFFFF, &why), expected) << name;
        EXPECT_EQ(why, reason);
    }
    ModuleSettings live;
    EXPECT_EQ(WriteModuleSettings(dir.path / "no-such-folder" / "x.MST", live),
              errorMessage("ERROR", "Unable Store Peripheral Setting"));
}

} // namespace
