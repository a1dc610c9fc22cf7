// What the user configured for the serial host (the partner on the chip's
// serial line): manual bytes or a file, and the file's name. These are not
// part of the 131-byte settings block: the application configuration stores
// them as its serial-view item (the mode byte, a transmitting flag that is
// always written as 0 and ignored on reading, then the file name).
#pragma once

#include <cstdint>
#include <string>

namespace quorvel {

// `SerialTransferMode` bit 0.
constexpr uint8_t kSerialFromFile = 0x01; // "From File" (else "Manual Byte")

struct SerialHostSettings {
    uint8_t SerialTransferMode = 0;
    std::string TransferFileName; // UTF-8 path
    // The host's baud rate on the line; 0 is "as the chip" (no line: whole
    // bytes are handed to the UART). Not stored in the configuration.
    uint32_t HostBaud = 0;

    bool operator==(const SerialHostSettings&) const = default;
};

constexpr bool serialFromFile(const SerialHostSettings& s) {
    return s.SerialTransferMode & kSerialFromFile;
}

} // namespace quorvel
