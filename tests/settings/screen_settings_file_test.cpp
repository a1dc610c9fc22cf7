// Screen-settings files: the 854-character layout, round trips, and files
// that must change nothing.
#include "settings/screen_settings_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::support;

namespace {

ScreenSettings sample() {
    ScreenSettings s;
    s.viewMode = ViewMode::Clear;
    s.ClearViewBitWindow = 1;
    s.layout[0] = {0x1234abcd, 2, -8, -8, 1296, 1000, 0x16cf0000};
    s.layout[16] = {7, 3, 10, 20, 300, 200, 0x56cf0000};
    return s;
}

TEST(ScreenSettingsFile, LayoutOfTheText) {
    const std::string text = formatScreenSettings(sample());
    ASSERT_EQ(text.size(), 854u);
    EXPECT_EQ(text.substr(0, 4), "0101");
    // Frame record: handle, state, x, y (two's complement), width, height, style.
    EXPECT_EQ(text.substr(4, 50),
              "1234abcd02" "fffffff8" "fffffff8" "00000510" "000003e8" "16cf0000");
    // A closed view is all zeros.
    EXPECT_EQ(text.substr(54, 50), std::string(50, '0'));
    EXPECT_EQ(text.substr(804, 50),
              "0000000703" "0000000a" "00000014" "0000012c" "000000c8" "56cf0000");
}

TEST(ScreenSettingsFile, RoundTripKeepsClearViewAndNegativeCoordinates) {
    TempDir dir;
    ASSERT_FALSE(WriteScreenSettings(dir.path / "s.SST", sample()));
    EXPECT_EQ(fs::file_size(dir.path / "s.SST"), 854u);
    ScreenSettings read;
    ASSERT_FALSE(ReadScreenSettings(dir.path / "s.SST", read));
    EXPECT_EQ(read, sample());

    // Upper-case digits and a line end an editor may add are accepted.
    std::string edited = formatScreenSettings(sample());
    for (char& c : edited) c = char(std::toupper(c));
    EXPECT_EQ(parseScreenSettings(edited + "\r\n"), sample());
}

TEST(ScreenSettingsFile, BadFilesChangeNothing) {
    TempDir dir;
    const std::string good = formatScreenSettings(sample());
    auto with = [&](size_t at, const std::string& text) {
        std::string s = good;
        s.replace(at, text.size(), text);
        return s;
    };
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"one character short", good.substr(0, 853)},
        {"cut inside a record", good.substr(0, 400)},
        {"one character long", good + "0"},
        {"not hex", with(100, "g")},
        {"a sign in a field", with(60, "-")},
        {"view mode 2", with(0, "02")},
        {"bit window 2", with(2, "02")},
        {"state 4", with(4 + 50 * 5 + 8, "04")},
    };
    const UserMessage expected = errorMessage("ERROR", "Unable to load setting file");
    for (const auto& [what, text] : cases) {
        writeBytes(dir.path / "bad.SST", std::vector<uint8_t>(text.begin(), text.end()));
        ScreenSettings live;
        live.layout[3].width = 77;
        const ScreenSettings before = live;
        EXPECT_EQ(ReadScreenSettings(dir.path / "bad.SST", live), expected) << what;
        EXPECT_EQ(live, before) << what;
    }
    ScreenSettings live;
    EXPECT_EQ(ReadScreenSettings(dir.path / "missing.SST", live), expected);
    EXPECT_EQ(WriteScreenSettings(dir.path / "no-folder" / "x.SST", live),
              errorMessage("ERROR", "Unable to store setting"));
}

} // namespace
