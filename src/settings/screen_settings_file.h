// Screen-settings files (.SST): the view mode and the placement of the frame
// and the 16 views, as 854 characters of lower-case hexadecimal without
// separators: the view mode and the Clear View bit-window choice as two
// digits each, then 17 records of handle (8 digits), state (2), x, y, width,
// height and style (8 each; negative coordinates in two's complement).
//
// A file is checked whole before anything changes: a short, long or
// malformed file (or a field out of range) changes nothing and gives the
// read message.
#pragma once

#include "common/user_message.h"
#include "common/view_mode.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// One window's placement. State: 0 closed, 1 normal, 2 maximised, 3 minimised.
struct WindowPlacement {
    uint32_t handle = 0; // 0 for a closed view
    uint8_t state = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t style = 0;

    bool operator==(const WindowPlacement&) const = default;
};

// Entry 0 the frame, entries 1 to 16 the views.
constexpr int kWindowLayoutEntries = 17;
using WindowLayout = std::array<WindowPlacement, kWindowLayoutEntries>;

struct ScreenSettings {
    ViewMode viewMode = ViewMode::Normal;
    uint8_t ClearViewBitWindow = 0; // 1: the memory bit status window was created last
    WindowLayout layout{};

    bool operator==(const ScreenSettings&) const = default;
};

constexpr size_t kScreenSettingsLength = 4 + kWindowLayoutEntries * 50; // 854

std::string formatScreenSettings(const ScreenSettings& settings);
// Nothing when the text is not a valid file: it must hold exactly 854 hex
// digits (trailing white space, such as a line end an editor added, is
// allowed), a view mode and bit-window choice of 0 or 1 and states 0 to 3.
std::optional<ScreenSettings> parseScreenSettings(std::string_view text);

// "Unable to store setting" when the file cannot be written; the previous
// file then stays as it was.
Validation WriteScreenSettings(const std::filesystem::path& file, const ScreenSettings& settings);
// "Unable to load setting file" when the file cannot be read or is not a
// valid file; `settings` is then unchanged.
Validation ReadScreenSettings(const std::filesystem::path& file, ScreenSettings& settings);

} // namespace quorvel
