// Loading Intel HEX and binary files: records, summaries, checksum counts,
// every message path, overflow, cancel, the file-type rule, the label, and
// files produced by SDCC.
#include "tools/file_loader.h"

#include "chip/chip_state.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace quorvel;
using support::makeChip;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> bytesOf(std::string_view text) { return {text.begin(), text.end()}; }

LoadOutcome loadHex(ChipState& chip, std::string_view text,
                    LoadTarget target = LoadTarget::ProgramMemory) {
    FileLoader loader(target);
    loader.openBytes(bytesOf(text), LoadFormat::IntelHex, "test.hex");
    int steps = 0;
    while (loader.step(chip)) ++steps;
    EXPECT_TRUE(loader.finished());
    EXPECT_LE(steps, 1000);
    return loader.outcome();
}

UserMessage err(const char* text) { return errorMessage("ERROR", text); }
const UserMessage kStopped = err("File Loading Stopped");

} // namespace

TEST(FileLoader, FileTypeFromTheLastSuffixOfTheName) {
    for (const char* hex : {"prog.hex", "/home/u/proj.v2/PROG.Hex", "/home/u/.local/prog.hex", "main.ihx"})
        EXPECT_EQ(loadFormatOf(hex), LoadFormat::IntelHex) << hex;
    for (const char* binary : {"prog.hex.bin", "/tmp/dir.hex/prog", "prog", "prog.hx"})
        EXPECT_EQ(loadFormatOf(binary), LoadFormat::Binary) << binary;
}

TEST(FileLoader, LabelShortensLongPaths) {
    const std::string p35 = "/home/user/projects/firmware/ab.hex"; // 35 characters: whole
    EXPECT_EQ(shortenPathForLabel(p35), p35);
    const std::string longPath = "/home/someone/projects/firmware/release/blink.hex";
    // Tail from the first "/" at or after position 49 - 30 = 19.
    EXPECT_EQ(shortenPathForLabel(longPath), "/ho../firmware/release/blink.hex");
    // Never longer than the path; multi-byte characters stay whole.
    const std::string utf8 = "/h\xC3\xA9llo/" + std::string(40, 'y') + "/\xC3\xA9t\xC3\xA9.hex";
    std::string label = shortenPathForLabel(utf8);
    EXPECT_LT(label.size(), utf8.size());
    EXPECT_EQ(label.substr(0, 6), "/h\xC3\xA9..");

    FileLoader loader(LoadTarget::ProgramMemory);
    loader.openBytes({}, LoadFormat::IntelHex, longPath);
    EXPECT_EQ(loader.label(), "Loading from: /ho../firmware/release/blink.hex");
}

TEST(FileLoader, HexRecordsAndTheirSummary) {
    ChipState chip = makeChip();
    LoadOutcome out = loadHex(chip,
                              ":10000000000102030405060708090A0B0C0D0E0F78\r\n"
                              ":10010000101112131415161718191A1B1C1D1E1F77\r\n"
                              ":00000001FF\r\n");
    EXPECT_EQ(out.result, LoadResult::Loaded);
    EXPECT_TRUE(out.showDetails);
    EXPECT_EQ(out.summary, "0000H to 000FH" + std::string(12, ' ') + "0100H to 010FH" + std::string(10, ' '));
    EXPECT_EQ(chip.code[15], 15);
    EXPECT_EQ(chip.code[0x100], 0x10);
    EXPECT_EQ(chip.code[0x10], 0xFF); // not covered: unchanged

    // Contiguous records make one range; lower-case digits read correctly.
    ChipState two = makeChip();
    out = loadHex(two, ":0200000012ab41\n:02000200cdef42\n:00000001ff\n");
    EXPECT_EQ(out.summary, "0000H to 0003H" + std::string(10, ' '));
    EXPECT_EQ(two.code[1], 0xAB);
    EXPECT_EQ(two.code[3], 0xEF);

    // An end record before any data gives no range at all.
    ChipState none = makeChip();
    EXPECT_EQ(loadHex(none, ":00000001FF").summary, "");
}

TEST(FileLoader, ChecksumsAreCountedNotEnforced) {
    ChipState chip = makeChip();
    LoadOutcome out = loadHex(chip,
                              ":0100000055AA\n"  // right
                              ":0100010066FF\n"  // wrong
                              ":0200020077\n"    // cut short: one byte, no checksum
                              ":00000001FF\n");
    EXPECT_EQ(out.result, LoadResult::Loaded);
    EXPECT_EQ(chip.code[1], 0x66);
    EXPECT_EQ(chip.code[2], 0x77);
    EXPECT_EQ(chip.code[3], 0xFF);
    EXPECT_EQ(out.badChecksums, 2u);
    EXPECT_EQ(out.detailsText(), out.summary + "\r\n2 records with a wrong checksum");
}

TEST(FileLoader, RecordTypesSegmentsAndLongRecords) {
    ChipState chip = makeChip(0xFFFF);
    LoadOutcome out = loadHex(chip,
                              ":0400000300001234B3\n"  // start segment address: skipped
                              ":020000040001F9\n"      // extended linear address: skipped
                              ":0400000500001234B1\n"  // start linear address: skipped
                              ":020000021000EC\n"      // segment 1000: base 0x0000 after truncation
                              ":020000020100FB\n"      // segment 0100: base 0x1000
                              ":0100050042B8\n"        // stored at 1005
                              ":00000001FF\n");
    EXPECT_EQ(out.result, LoadResult::Loaded);
    EXPECT_EQ(chip.code[0x1005], 0x42);
    EXPECT_EQ(out.summary, "1005H to 1005H" + std::string(10, ' '));

    // A record of 255 data bytes (over 500 characters) loads whole.
    std::string record = ":FF020000";
    unsigned sum = 0xFF + 0x02;
    for (int i = 0; i < 255; ++i) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", i);
        record += hex;
        sum += unsigned(i);
    }
    char check[3];
    std::snprintf(check, sizeof check, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    ChipState big = makeChip(0xFFFF);
    out = loadHex(big, record + check + "\r\n:00000001FF\r\n");
    EXPECT_EQ(out.badChecksums, 0u);
    EXPECT_EQ(big.code[0x02FE], 0xFE);
    EXPECT_EQ(out.summary, "0200H to 02FEH" + std::string(10, ' '));
}

// A bad file names its line and what is wrong, and leaves memory as it was.
TEST(FileLoader, BadHexInputStopsTheLoadAndStoresNothing) {
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {":0100000055AA\nhello\n:00000001FF\n", "Invalid HEX file, line 2: the line does not start with \":\"."},
        {":0100000055AA\n\r\n:00000001FF\n", "Invalid HEX file, line 2: the line does not start with \":\"."},
        {":0100000055AA\n\n:00000001FF\n", "Illegal File End: line 2 is empty, before the end record."},
        {":0100000055AA\n", "Illegal File End: the file ends after line 1 without an end record."},
        {"", "Illegal File End: the file is empty."},
        {":0100000055AA\n:0100\n", "Invalid HEX file, line 2: the line is shorter than a record's header."},
        {":0100000055AA\n:0100000055AA\n:02000100A5G5AA\n",
         "Invalid HEX file, line 3: data byte 2 is not hexadecimal."},
        {":0100000055AA\n:0X00000055AA\n", "Invalid HEX file, line 2: the byte count is not hexadecimal."},
        {":0100000055AA\n:01Z0000055AA\n", "Invalid HEX file, line 2: the address is not hexadecimal."},
        {":0100000055AA\n:010000-055AA\n", "Invalid HEX file, line 2: the record type is not hexadecimal."},
        {":0100000055AA\n:02000002\n", "Invalid HEX file, line 2: the segment address is not hexadecimal."},
        {":0100000055AA\n:" + std::string(1100, '0') + "\n",
         "Invalid HEX file, line 2: the line is longer than any record."},
    };
    for (const auto& c : cases) {
        ChipState chip = makeChip();
        LoadOutcome out = loadHex(chip, c.text);
        EXPECT_EQ(out.result, LoadResult::Stopped) << c.text;
        EXPECT_EQ(out.messages, (std::vector{err(c.message), kStopped})) << c.text;
        EXPECT_FALSE(out.showDetails);
        EXPECT_EQ(chip.code[0], 0xFF) << "no byte of a bad file is stored: " << c.text;
    }
}

TEST(FileLoader, AddressesBeyondTheTargetMemory) {
    ChipState chip = makeChip(0x0FFF);
    LoadOutcome out = loadHex(chip, ":040FFE001122334445\n:00000001FF\n");
    EXPECT_EQ(out.result, LoadResult::Overflow);
    EXPECT_EQ(out.messages, std::vector{err("Address Exceeds the Program Memory Capacity.")});
    EXPECT_EQ(chip.code[0x0FFE], 0x11);
    EXPECT_EQ(chip.code[0x0FFF], 0x22);

    ChipState data = makeChip(0x0FFF, 0x07FF);
    out = loadHex(data, ":0207FF00AABB93\n:00000001FF\n", LoadTarget::ExternalDataMemory);
    EXPECT_EQ(out.result, LoadResult::Overflow);
    EXPECT_EQ(out.messages, std::vector{err("Address Exceeds the External Data Memory Capacity.")});
    EXPECT_EQ(data.xdata[0x07FF], 0xAA);
    EXPECT_EQ(data.code[0x07FF], 0xFF);

    // Without external data memory nothing can be loaded there.
    ChipState noData = makeChip(0x0FFF, 0);
    out = loadHex(noData, ":0100000055AA\n:00000001FF\n", LoadTarget::ExternalDataMemory);
    EXPECT_EQ(out.result, LoadResult::Overflow);
}

TEST(FileLoader, BinaryImagesAtAStartAddress) {
    std::vector<uint8_t> image(256);
    for (int i = 0; i < 256; ++i) image[i] = uint8_t(i);

    ChipState chip = makeChip(0x0FFF);
    FileLoader loader(LoadTarget::ProgramMemory);
    loader.openBytes(image, LoadFormat::Binary, "image.bin");
    EXPECT_TRUE(loader.step(chip)); // waits: nothing happens without the address
    EXPECT_EQ(loader.progress(), 0u);
    loader.setStartAddress(0x0F80);
    while (loader.step(chip)) {
    }
    EXPECT_EQ(loader.outcome().result, LoadResult::Overflow);
    EXPECT_EQ(loader.outcome().messages, std::vector{err("Address Exceeds the Program Memory Capacity.")});
    EXPECT_EQ(chip.code[0x0F80], 0x00);
    EXPECT_EQ(chip.code[0x0FFF], 0x7F);

    ChipState data = makeChip(0x0FFF, 0x1FFF);
    FileLoader dataLoader(LoadTarget::ExternalDataMemory);
    dataLoader.openBytes(image, LoadFormat::Binary, "image.bin");
    dataLoader.setStartAddress(0x1000);
    while (dataLoader.step(data)) {
    }
    EXPECT_EQ(dataLoader.outcome().result, LoadResult::Loaded);
    const UserMessage loaded{"Load Data", "File Loaded Successfully.", UserMessage::Icon::Information};
    EXPECT_EQ(dataLoader.outcome().messages, std::vector{loaded});
    EXPECT_EQ(data.xdata[0x10FF], 0xFF);

    // An empty binary file loads successfully and stores nothing.
    FileLoader empty(LoadTarget::ProgramMemory);
    empty.openBytes({}, LoadFormat::Binary);
    empty.setStartAddress(0);
    EXPECT_FALSE(empty.step(chip));
    EXPECT_EQ(empty.outcome().messages[0].title, "Load Program");
}

TEST(FileLoader, CancelAndOpenFailures) {
    ChipState chip = makeChip();
    FileLoader loader(LoadTarget::ProgramMemory);
    loader.openBytes(bytesOf(":0100000055AA\n:0100010066FF\n:00000001FF\n"), LoadFormat::IntelHex);
    EXPECT_TRUE(loader.step(chip));
    loader.cancel();
    EXPECT_FALSE(loader.step(chip));
    EXPECT_EQ(loader.outcome().result, LoadResult::Stopped);
    EXPECT_EQ(loader.outcome().messages, std::vector{kStopped});
    EXPECT_EQ(chip.code[0], 0xFF) << "a cancelled load stores nothing";

    // Cancelling the start-address prompt of a binary load.
    FileLoader binary(LoadTarget::ProgramMemory);
    binary.openBytes({1, 2, 3}, LoadFormat::Binary);
    binary.cancel();
    EXPECT_EQ(binary.outcome().messages, std::vector{kStopped});

    FileLoader missing(LoadTarget::ProgramMemory);
    EXPECT_EQ(missing.open(fs::path(QUORVEL_TEST_DATA) / "no-such-file.hex"),
              err("Unable to open the selected file"));
    EXPECT_EQ(missing.open(fs::path(QUORVEL_TEST_DATA)), err("Unable to open the selected file"));
}

// A program compiled by SDCC and packed by packihx loads to exactly the bytes
// that SDCC's makebin writes for it.
TEST(FileLoader, ReadsSdccOutput) {
    support::TempDir dir;
    ASSERT_TRUE(support::compileC(dir.path, "blink", support::readFile(fs::path(QUORVEL_TEST_DATA) / "sdcc_blink.c")));
    const std::vector<uint8_t> expected = support::readBytes(dir / "blink.bin");
    ASSERT_GT(expected.size(), 100u);
    ChipState chip = makeChip(0x0FFF);
    FileLoader loader(LoadTarget::ProgramMemory);
    ASSERT_FALSE(loader.open(dir / "blink.hex"));
    EXPECT_EQ(loader.format(), LoadFormat::IntelHex);
    while (loader.step(chip)) {
    }
    ASSERT_EQ(loader.outcome().result, LoadResult::Loaded);
    EXPECT_EQ(loader.outcome().badChecksums, 0u);
    EXPECT_EQ(std::vector<uint8_t>(chip.code.begin(), chip.code.begin() + ptrdiff_t(expected.size())), expected);
    EXPECT_EQ(chip.code[expected.size()], 0xFF);
}
