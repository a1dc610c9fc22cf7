// Saving memory: exact HEX records and binary images, range checks, the
// dialog fields, cancel and write failures that keep an existing file, and
// round trips through the loader.
#include "tools/memory_saver.h"

#include "chip/chip_state.h"
#include "tools/file_loader.h"
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
        int steps = 0;
        while (saver.step(chip)) ++steps;
        EXPECT_TRUE(saver.finished());
        if (saver.succeeded()) {
            EXPECT_EQ(saver.progress(), saver.progressTotal());
        }
        EXPECT_LE(steps, 4096);
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

TEST_F(MemorySaverTest, HexFilesByteForByte) {
    for (int i = 0; i < 32; ++i) chip.code[i] = uint8_t(i);
    const struct {
        uint16_t start, end;
        const char* text;
    } cases[] = {
        {0x0000, 0x001F, ":10000000000102030405060708090A0B0C0D0E0F78\r\n"
                         ":10001000101112131415161718191A1B1C1D1E1F68\r\n:00000001FF\n"},
        {0x0000, 0x0010, ":11000000000102030405060708090A0B0C0D0E0F1067\r\n:00000001FF\n"},
        {0x0005, 0x0005, ":0100050005F5\r\n:00000001FF\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(save(dir / "x.hex", hexRange(c.start, c.end)), done);
        EXPECT_EQ(read(dir / "x.hex"), c.text);
    }
    EXPECT_EQ(tmp.entries(), 1); // no temporary files left behind
    const uint8_t top[] = {0xAB};
    EXPECT_EQ(hexDataRecord(0xFFFF, top), ":01FFFF00AB56\r\n");
}

TEST_F(MemorySaverTest, BinaryImagesAndDataMemory) {
    const fs::path bin = dir / "image.bin";
    EXPECT_EQ(save(bin, {0x0000, 0x07FF, SaveFormat::Binary, SaveMemory::Program}), done);
    const std::string image = read(bin);
    ASSERT_EQ(image.size(), 2048u);
    for (size_t i = 0; i < image.size(); ++i) ASSERT_EQ(uint8_t(image[i]), chip.code[i]);

    const fs::path data = dir / "data.bin";
    EXPECT_EQ(save(data, {0x0100, 0x0102, SaveFormat::Binary, SaveMemory::ExternalData}), done);
    EXPECT_EQ(read(data), std::string({char(0xFF - 0x00), char(0xFE), char(0xFD)}));

    // The overlap window makes data reads reach program memory.
    chip.overlapEnabled = true;
    chip.overlapStart = 0x0100;
    chip.overlapEnd = 0x01FF;
    EXPECT_EQ(save(data, {0x0100, 0x0100, SaveFormat::Binary, SaveMemory::ExternalData}), done);
    EXPECT_EQ(read(data), std::string(1, char(chip.code[0x100])));
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

// An unaligned range of whole and part records reads back through the loader.
TEST_F(MemorySaverTest, HexRoundTripThroughTheLoader) {
    ChipState target;
    target.allocate(0x0FFF, 0x07FF, false);
    const fs::path hex = dir / "all.HEX";
    ASSERT_EQ(save(hex, hexRange(0x0003, 0x0FFF)), done);
    FileLoader loader(LoadTarget::ProgramMemory);
    ASSERT_FALSE(loader.open(hex));
    while (loader.step(target)) {
    }
    EXPECT_EQ(loader.outcome().result, LoadResult::Loaded);
    EXPECT_EQ(loader.outcome().badChecksums, 0u);
    EXPECT_EQ(loader.outcome().summary, "0003H to 0FFFH" + std::string(10, ' '));
    for (size_t i = 3; i < 0x1000; ++i) ASSERT_EQ(target.code[i], chip.code[i]) << i;
}
