#include "settings/screen_settings_file.h"

#include "settings/settings_io.h"

#include <cstdio>

namespace quorvel {

namespace {

UserMessage storeFailed() { return errorMessage("ERROR", "Unable to store setting"); }
UserMessage loadFailed() { return errorMessage("ERROR", "Unable to load setting file"); }

void appendHex(std::string& text, uint32_t value, int digits) {
    char field[9];
    std::snprintf(field, sizeof field, "%0*x", digits, unsigned(value));
    text += field;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads fixed-width hex fields one after the other from a text whose length
// has been checked.
class HexFields {
public:
    explicit HexFields(std::string_view text) : text_(text) {}
    bool ok() const { return ok_; }
    uint32_t next(int digits) {
        uint32_t value = 0;
        for (int i = 0; i < digits; ++i) {
            const int d = position_ < text_.size() ? hexDigit(text_[position_]) : -1;
            ++position_;
            if (d < 0) {
                ok_ = false;
                return 0;
            }
            value = value << 4 | uint32_t(d);
        }
        return value;
    }

private:
    std::string_view text_;
    size_t position_ = 0;
    bool ok_ = true;
};

} // namespace

std::string formatScreenSettings(const ScreenSettings& s) {
    std::string text;
    text.reserve(kScreenSettingsLength);
    appendHex(text, uint32_t(s.viewMode), 2);
    appendHex(text, s.ClearViewBitWindow, 2);
    for (const WindowPlacement& w : s.layout) {
        appendHex(text, w.handle, 8);
        appendHex(text, w.state, 2);
        appendHex(text, uint32_t(w.x), 8);
        appendHex(text, uint32_t(w.y), 8);
        appendHex(text, uint32_t(w.width), 8);
        appendHex(text, uint32_t(w.height), 8);
        appendHex(text, w.style, 8);
    }
    return text;
}

std::optional<ScreenSettings> parseScreenSettings(std::string_view text) {
    if (text.size() < kScreenSettingsLength) return std::nullopt;
    for (char c : text.substr(kScreenSettingsLength))
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return std::nullopt;

    HexFields in(text.substr(0, kScreenSettingsLength));
    ScreenSettings s;
    const uint32_t mode = in.next(2);
    const uint32_t bitWindow = in.next(2);
    if (mode > 1 || bitWindow > 1) return std::nullopt;
    s.viewMode = ViewMode(mode);
    s.ClearViewBitWindow = uint8_t(bitWindow);
    for (WindowPlacement& w : s.layout) {
        w.handle = in.next(8);
        const uint32_t state = in.next(2);
        if (state > 3) return std::nullopt;
        w.state = uint8_t(state);
        w.x = int32_t(in.next(8));
        w.y = int32_t(in.next(8));
        w.width = int32_t(in.next(8));
        w.height = int32_t(in.next(8));
        w.style = in.next(8);
    }
    if (!in.ok()) return std::nullopt;
    return s;
}

Validation WriteScreenSettings(const std::filesystem::path& file, const ScreenSettings& settings) {
    const std::string text = formatScreenSettings(settings);
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    if (!writeFileAtomically(file, bytes)) return storeFailed();
    return std::nullopt;
}

Validation ReadScreenSettings(const std::filesystem::path& file, ScreenSettings& settings) {
    // A valid file is 854 characters (plus perhaps a line end); anything much
    // longer is not one and is not read whole.
    const auto data = readWholeFile(file, 4096);
    if (!data) return loadFailed();
    const std::string_view text(reinterpret_cast<const char*>(data->data()), data->size());
    auto parsed = parseScreenSettings(text);
    if (!parsed) return loadFailed();
    settings = *parsed;
    return std::nullopt;
}

} // namespace quorvel
