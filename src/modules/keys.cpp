#include "modules/keys.h"

#include <cstdio>

namespace quorvel {

namespace {

// A keypad line that is not a port line reads as an idle (high) line.
bool latchOf(PinRef ref, uint32_t latches) {
    return !isPortLine(ref) || ((latches >> pinIndex(ref)) & 1u);
}

// Writes the level of a keypad line; lines that are not port lines are skipped.
void setLine(PinState& pins, PinRef ref, bool high) {
    if (isPortLine(ref)) pins.holdLevel(pinIndex(ref), high);
}

std::vector<int> linesOf(uint32_t mask) {
    std::vector<int> lines;
    for (int i = 0; i < 32; ++i)
        if ((mask >> i) & 1u) lines.push_back(i);
    return lines;
}

} // namespace

void momentaryKeysTick(const ModuleSettings& s, PinState& pins, uint32_t availableMask,
                       uint32_t heldLines) {
    const uint32_t keys = portMaskWord(s.KeyMomentary) & availableMask;
    const uint32_t active = portMaskWord(s.KeyMomentaryLevel);
    for (int i = 0; i < 32; ++i) {
        if (!((keys >> i) & 1u)) continue;
        const bool held = (heldLines >> i) & 1u;
        const bool activeLevel = (active >> i) & 1u;
        pins.drivePin(i, held ? activeLevel : !activeLevel);
    }
}

bool clickToggleKey(PinState& pins, int index) {
    if (index < 0 || index >= 32) return false;
    pins.setSetting(index, (pins.setting[size_t(index)] & 1) ? kInput0 : kInput1);
    const bool level = !pins.level(index);
    pins.setLevel(index, level);
    return level;
}

std::string toggleKeyCaption(int index, bool level) {
    char text[16];
    std::snprintf(text, sizeof text, "P%1d.%1d = %1d", (index >> 3) & 3, index & 7, level ? 1 : 0);
    return text;
}

KeyPosition keypadKeyPosition(int type, int key) {
    const int columns = keypadColumns(type);
    if (columns == 0 || key < 0 || key >= keypadKeyCount(type)) return {-1, -1};
    return {key / columns, key % columns};
}

void keypadTick(KeypadState& keypad, const ModuleSettings& s, PinState& pins, uint32_t latches,
                int heldKey) {
    const int type = keypadType(s);
    const int columns = keypadColumns(type);
    for (int r = 0; r < kKeypadRows; ++r) {
        const PinRef row = s.KeypadLines[size_t(r)];
        for (int c = 0; c < columns; ++c) {
            const PinRef column = s.KeypadLines[size_t(kKeypadRows + c)];
            if (r * columns + c == heldKey) {
                keypad.KeypadPressed = 1;
                keypad.keyRow = uint8_t(r);
                keypad.keyColumn = uint8_t(c);
                setLine(pins, row, latchOf(column, latches));
                setLine(pins, column, latchOf(row, latches));
                return;
            }
            setLine(pins, column, latchOf(column, latches));
            setLine(pins, row, latchOf(row, latches));
        }
    }
}

void keypadRelease(KeypadState& keypad) {
    keypad.KeypadPressed = 0;
    keypad.keyRow = 0;
    keypad.keyColumn = 0;
}

void keypadHook(const KeypadState& keypad, const ModuleSettings& s, PinState& pins,
                uint32_t latches) {
    if (!keypad.KeypadPressed) return;
    const int columns = keypadColumns(keypadType(s));
    if (keypad.keyRow >= kKeypadRows || keypad.keyColumn >= columns) return;
    const PinRef row = s.KeypadLines[keypad.keyRow];
    const PinRef column = s.KeypadLines[size_t(kKeypadRows + keypad.keyColumn)];
    setLine(pins, row, latchOf(column, latches));
    setLine(pins, column, latchOf(row, latches));
}

std::vector<int> momentaryKeyLines(const ModuleSettings& s, uint32_t availableMask) {
    return linesOf(portMaskWord(s.KeyMomentary) & availableMask);
}

std::vector<int> toggleKeyLines(const ModuleSettings& s, uint32_t availableMask) {
    return linesOf(portMaskWord(s.KeyToggle) & availableMask);
}

std::string keypadGroupTitle(int type) {
    const int columns = keypadColumns(type);
    return columns ? "Matrix Keypad 4 X " + std::to_string(columns) : std::string();
}

} // namespace quorvel
