// Saving memory: exact HEX records and binary images, range checks, the
// dialog fields, cancel and write failures that keep an existing file.
#include "tools/memory_saver.h"

#include "chip/chip_state.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>

#include <sys/resource.h>
#include <unistd.h>

using namespace quorvel;
namespace fs = std::filesystem;

namespace {

class MemorySaverTest : public ::testing::Test {
protected:
    void SetUp() override {
        chip.allocate(0x0FFF, 0x07FF, false);
        for (size_t i = 0; i < chip.code.size(); ++i) chip.code[i] = uint8_t(i * 7 + 3);
        for (size_t i = 0; i < chip.xdata.size(); ++i) chip.xdata[i] = uint8_t(0xFF - i);
    }
    // Runs a whole save and returns the outcome message.
    UserMessage save(const fs::path& path, SaveSettings settings) {
        MemorySaver saver;
        auto error = saver.begin(path, settings);
        if (error) return error->message;
        while (saver.step(chip)) {
        }
        EXPECT_TRUE(saver.finished());
        if (saver.succeeded()) { EXPECT_EQ(saver.progress(), saver.progressTotal()); }
        return saver.outcome();
    }

    static std::string read(const fs::path& path) { return support::readFile(path); }

    support::TempDir tmp;
    const fs::path dir = tmp.path;
    ChipState chip;
    const UserMessage done{"Save Memory", "Operation Completed Successfully.", UserMessage::Icon::Information};
};

SaveSettings hexRange(uint16_t start, uint16_t end) { return {start, end, SaveFormat::IntelHex, SaveMemory::Program}; }

} // namespace

// HEX records and binary images byte for byte; data memory read through the
// overlap window reaches program memory.
TEST_F(MemorySaverTest, FilesByteForByte) {
    for (int i = 0; i < 32; ++i) chip.code[i] = uint8_t(i);
    const auto bin = [](uint16_t start, uint16_t end, SaveMemory memory = SaveMemory::Program) {
        return SaveSettings{start, end, SaveFormat::Binary, memory};
    };
    const struct {
        SaveSettings settings;
        std::string bytes;
        bool overlap = false;
    } cases[] = {
        {hexRange(0x0000, 0x001F), ":10000000000102030405060708090A0B0C0D0E0F78\r\n"
                                   ":10001000101112131415161718191A1B1C1D1E1F68\r\n:00000001FF\n"},
        {hexRange(0x0000, 0x0010), ":11000000000102030405060708090A0B0C0D0E0F1067\r\n:00000001FF\n"},
        {hexRange(0x0005, 0x0005), ":0100050005F5\r\n:00000001FF\n"},
        {bin(0x0000, 0x07FF), std::string(chip.code.begin(), chip.code.begin() + 0x0800)},
        {bin(0x0100, 0x0102, SaveMemory::ExternalData), "\xFF\xFE\xFD"},
        {bin(0x0100, 0x0100, SaveMemory::ExternalData), std::string(1, char(chip.code[0x100])), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings.start);
        chip.overlapEnabled = c.overlap;
        chip.overlapStart = 0x0100;
        chip.overlapEnd = 0x01FF;
        EXPECT_EQ(save(dir / "x", c.settings), done);
        EXPECT_EQ(read(dir / "x"), c.bytes);
    }
    EXPECT_EQ(tmp.entries(), 1); // no temporary files left behind
    const uint8_t top[] = {0xAB};
    EXPECT_EQ(hexDataRecord(0xFFFF, top), ":01FFFF00AB56\r\n");
}

TEST_F(MemorySaverTest, FieldsAndRangeChecks) {
    SaveSettings s;
    EXPECT_TRUE(acceptSaveFields("1f", "FFFF", s));
    EXPECT_EQ(s.end, 0xFFFF);
    for (const auto& [start, end] : {std::pair{"", "10"}, {"10", "1G"}, {"12345", "10"}})
        EXPECT_FALSE(acceptSaveFields(start, end, s)) << start << " " << end;
    EXPECT_EQ(s.start, 0x1F); // unchanged by a refused entry

    const Validation greater = errorMessage("Address Error", "Starting Address is Greater than Ending Address!");
    const Validation outOfRange = errorMessage("Error", "Address out of Range");
    EXPECT_EQ(checkSaveRange(hexRange(0x0010, 0x000F), chip), greater);
    EXPECT_EQ(checkSaveRange(hexRange(0x0000, 0x1000), chip), outOfRange);
    // Data memory is checked against its own size: {code, data, end, result}.
    for (const auto& [codeLimit, dataLimit, end, result] :
         {std::tuple{0x0FFF, 0xFFFF, 0x7FFF, Validation{}}, {0xFFFF, 0x07FF, 0x0FFF, outOfRange}, {0x0FFF, 0, 0, outOfRange}}) {
        ChipState other;
        other.allocate(uint16_t(codeLimit), uint16_t(dataLimit), false);
        EXPECT_EQ(checkSaveRange({0, uint16_t(end), SaveFormat::IntelHex, SaveMemory::ExternalData}, other), result) << dataLimit;
    }
}

TEST_F(MemorySaverTest, CancelKeepsTheOldFileAndLeavesNoNewOne) {
    const fs::path existing = dir / "keep.hex";
    std::ofstream(existing) << "old contents";
    MemorySaver saver;
    ASSERT_FALSE(saver.begin(existing, hexRange(0x0000, 0x0FFF)));
    EXPECT_TRUE(saver.step(chip));
    saver.cancel();
    EXPECT_FALSE(saver.succeeded());
    EXPECT_EQ(saver.outcome(),
              (UserMessage{"Error", "Storing Operation is Cancelled by User!", UserMessage::Icon::Information}));
    EXPECT_FALSE(saver.step(chip));
    EXPECT_EQ(read(existing), "old contents");

    {
        MemorySaver abandoned; // destroyed mid-save, e.g. the dialog went away
        ASSERT_FALSE(abandoned.begin(dir / "new.hex", hexRange(0x0000, 0x0FFF)));
        abandoned.step(chip);
    }
    EXPECT_FALSE(fs::exists(dir / "new.hex"));
    EXPECT_EQ(tmp.entries(), 1);
}

TEST_F(MemorySaverTest, WriteFailuresAreReportedAndKeepTheOldFile) {
    const fs::path existing = dir / "keep.bin";
    std::ofstream(existing) << "old contents";
    fs::permissions(existing, fs::perms::owner_read | fs::perms::owner_write);

    // Limit the size of files this process may write, so the save fails.
    struct rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tiny = old;
    tiny.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
    UserMessage result = save(existing, {0x0000, 0x0FFF, SaveFormat::Binary, SaveMemory::Program});
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    const UserMessage unable = errorMessage("ERROR", "Unable to Write the file");
    EXPECT_EQ(result, unable);
    EXPECT_EQ(read(existing), "old contents");
    EXPECT_EQ(tmp.entries(), 1);
    EXPECT_EQ(save(dir / "no-such-folder" / "x.hex", hexRange(0, 15)), unable);
    if (::geteuid() != 0) { // root may write anything
        const fs::path locked = dir / "locked.hex";
        std::ofstream(locked) << "locked";
        fs::permissions(locked, fs::perms::owner_read);
        EXPECT_EQ(save(locked, hexRange(0, 15)), unable);
        EXPECT_EQ(read(locked), "locked");
        fs::remove(locked);
    }

    // A successful save replaces the file and keeps its permissions.
    EXPECT_EQ(save(existing, {0x0000, 0x000F, SaveFormat::Binary, SaveMemory::Program}), done);
    EXPECT_EQ(read(existing).size(), 16u);
    EXPECT_EQ(fs::status(existing).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}
