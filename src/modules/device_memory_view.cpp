#include "modules/device_memory_view.h"

#include <algorithm>
#include <cstdio>

namespace quorvel {

void openDeviceView(DeviceMemoryView& view, std::span<const uint8_t> memory, int size) {
    size = std::clamp(size, 0, int(memory.size()));
    view.shown.assign(memory.begin(), memory.begin() + size);
    view.caret = 0;
    view.characterArea = false;
    view.lowNibble = false;
}

void refreshShown(DeviceMemoryView& view, std::span<const uint8_t> memory, int first, int last) {
    const int end = std::min<int>(int(view.shown.size()), int(memory.size())) - 1;
    for (int i = std::max(first, 0); i <= std::min(last, end); ++i)
        view.shown[size_t(i)] = memory[size_t(i)];
}

bool changedByProgram(const DeviceMemoryView& view, std::span<const uint8_t> memory, int address) {
    if (address < 0 || address >= int(view.shown.size()) || address >= int(memory.size()))
        return false;
    return view.shown[size_t(address)] != memory[size_t(address)];
}

std::string dumpRowAddress(int rowAddress, int deviceSize) {
    char text[16];
    std::snprintf(text, sizeof text, deviceSize > 256 ? " %03X    " : "  %02X    ",
                  unsigned(rowAddress) & 0xFFFu);
    return text;
}

std::string dumpByteText(uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X  ", value);
    return text;
}

char dumpCharacter(uint8_t value) { return value >= 32 && value <= 126 ? char(value) : '.'; }

std::string editingAddressText(int address) {
    char text[40];
    std::snprintf(text, sizeof text, "Current editing address : %02X", unsigned(address) & 0xFFFu);
    return text;
}

std::optional<uint8_t> dumpKeyEdit(const DeviceMemoryView& view, uint8_t current, char key) {
    if (view.caret < 0 || view.caret >= int(view.shown.size())) return std::nullopt;
    if (view.characterArea) return uint8_t(key);
    int digit;
    if (key >= '0' && key <= '9')
        digit = key - '0';
    else if (key >= 'A' && key <= 'F')
        digit = key - 'A' + 10;
    else if (key >= 'a' && key <= 'f')
        digit = key - 'a' + 10;
    else
        return std::nullopt;
    return view.lowNibble ? uint8_t((current & 0xF0) | digit) : uint8_t((current & 0x0F) | digit << 4);
}

void acceptEdit(DeviceMemoryView& view, uint8_t value) {
    if (view.caret < 0 || view.caret >= int(view.shown.size())) return;
    view.shown[size_t(view.caret)] = value;
    if (!view.characterArea && !view.lowNibble) {
        view.lowNibble = true;
        return;
    }
    view.lowNibble = false;
    if (view.caret + 1 < int(view.shown.size())) ++view.caret;
}

void moveCaret(DeviceMemoryView& view, int address, bool characterArea, bool lowNibble) {
    const int last = std::max(int(view.shown.size()) - 1, 0);
    view.caret = std::clamp(address, 0, last);
    view.characterArea = characterArea;
    view.lowNibble = !characterArea && lowNibble;
}

} // namespace quorvel
