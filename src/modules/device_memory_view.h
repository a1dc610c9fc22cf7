// The logic behind the memory windows of the external devices (the IIC
// EEPROM, the clock's 256 bytes, the SPI EEPROM): a hex and character dump,
// 16 bytes per row, with in-place editing, and red marking of the bytes the
// program changed.
//
// The window keeps its own copy of the device memory (`shown`), updated by
// the user's edits and by `refreshShown`; a byte of the device that differs
// from it was written by the program and is drawn in red. A key press goes
// through `dumpKeyEdit`, the result through the device's edit function
// (which applies write protection); if that accepts it, `acceptEdit` updates
// the copy and moves the caret.
//
// Texts: row address "  %02X    " (" %03X    " when the device's highest
// address is 256 or more), bytes "%02X  ", characters "%c" for codes 32 to
// 126, else a dot; status bar "Current editing address : %02X".
//
// User-interface thread (edits under the pause guard while a run is active).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quorvel {

constexpr int kDumpRowBytes = 16;

struct DeviceMemoryView {
    std::vector<uint8_t> shown; // the window's copy; its size is the device's size
    int caret = 0;              // address of the byte under the caret
    bool characterArea = false; // the caret is in the character columns
    bool lowNibble = false;     // in the hex columns: the caret is on the low digit
};

// Opening the window, or a device type change (OK of its settings dialog):
// the copy becomes the first `size` bytes of the memory, the caret goes home.
void openDeviceView(DeviceMemoryView& view, std::span<const uint8_t> memory, int size);
// Makes bytes [first, last] of the copy equal to the device again (the clock
// window after each tick refreshes locations 1 to 6).
void refreshShown(DeviceMemoryView& view, std::span<const uint8_t> memory, int first, int last);
// Whether byte `address` is drawn in red.
bool changedByProgram(const DeviceMemoryView& view, std::span<const uint8_t> memory, int address);

std::string dumpRowAddress(int rowAddress, int deviceSize);
std::string dumpByteText(uint8_t value);
char dumpCharacter(uint8_t value);
std::string editingAddressText(int address);

// A typed character: in the hex area a digit 0-9, A-F, a-f replaces the
// nibble under the caret; in the character area any character replaces the
// byte. Returns the new byte value for the caret's address, or nothing when
// the key does not edit.
std::optional<uint8_t> dumpKeyEdit(const DeviceMemoryView& view, uint8_t current, char key);
// After the device accepted the edit: the copy takes the byte and the caret
// moves on (to the low nibble, or to the next byte, staying inside the device).
void acceptEdit(DeviceMemoryView& view, uint8_t value);
// Caret movement (arrow keys, mouse): clamped to the device.
void moveCaret(DeviceMemoryView& view, int address, bool characterArea, bool lowNibble = false);

} // namespace quorvel
