// The simulated host on the chip's serial line, and the logic behind the
// "Serial Port" window.
//
// "As the chip" (the default) the host hands the chip whole bytes
// (startSerialReception: the UART then takes the mode's time to receive
// them) and takes the bytes the chip transmits. With a baud rate of its own
// (SerialHostSettings::HostBaud, set on the chip with setSerialLineBaud) it
// sends and reads frames on RXD and TXD instead (chip/serial_line.h), at its
// own pace: the next byte of a file follows the end of the last frame. It sends one byte typed by the user ("Manual Byte") or a whole
// file ("From File"): the file is read into memory when "Send" starts, the
// first byte is handed over at once, and each time the chip has received a
// byte (ChipEvents::byteReceived, on the simulation thread) the next one is
// taken from that buffer, so the file is paced by the simulated UART. The
// transmission is finished as soon as its last byte has been handed over.
//
// The ninth bit: in modes 2 and 3 the host sends its "TB8" choice; in modes
// 0 and 1 it sends a valid stop bit (1), as a real line does.
//
// Lines: RXD and TXD through the serial line when it has a rate of its own;
// else none. Timing: the line's, else entirely the UART's. Not modelled:
// flow control.
//
// Threads: `pressSerialSend`, `cancelFileTransmission` and the view are for
// the user-interface thread while the simulation is paused (`readTransferFile`
// needs no pause); `serialHostByteReceived` and `serialHostByteTransmitted`
// are called from ChipEvents on the thread that runs the step.
#pragma once

#include "chip/chip_state.h"
#include "common/user_message.h"
#include "modules/serial_host_settings.h"
#include "modules/transfer_lists.h"

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

enum class FileTransmissionStatus : uint8_t { None, Transmitting, Transmitted, Cancelled };

struct SerialHostState {
    uint8_t transmitByte = 0; // the byte the host sends next
    uint8_t receiveByte = 0;  // the last byte the host received from the chip
    uint8_t ninthBit = 0;     // "TB8": sent as the ninth bit in modes 2 and 3
    // File transmission: the transfer file's bytes, how many have been handed
    // to the chip, and whether more are to follow.
    std::vector<uint8_t> fileBytes;
    uint32_t bytesSent = 0;
    bool transmitting = false;
    FileTransmissionStatus fileStatus = FileTransmissionStatus::None;
    // The file name each save command remembers, by TransferList.
    std::array<std::string, kTransferListCount> saveFileNames;
    bool operator==(const SerialHostState&) const = default;
};

// Files larger than this are refused (a serial line at simulated speed would
// not get through them anyway).
constexpr size_t kMaxTransferFileSize = 16u << 20;

// Reads the whole transfer file. Failure: "Unable to open the selected file"
// titled "ERROR"; an empty file: "The selected file is empty" titled
// "ERROR"; a file above the limit: "The selected file is too large".
struct TransferFile {
    std::vector<uint8_t> bytes;
    Validation error;
};
TransferFile readTransferFile(const std::filesystem::path& path);

// OK of "Serial Port Transfer Mode Setting": "From File" needs a file name
// ("No file selected for transmission" titled "ERROR").
Validation checkSerialHostSettings(const SerialHostSettings& settings);
// The same with the baud-rate field's text; a bad one: "Illegal Baud Rate"
// titled "ERROR". The rate goes to `settings` when it is good.
Validation checkSerialHostSettings(SerialHostSettings& settings, std::string_view baudText);

// The host's baud-rate field: empty or "as the chip" gives 0 (the chip's
// rate, no line), else a whole number of bits per second from
// kMinHostBaud to kMaxHostBaud; anything else is refused (nullopt).
constexpr uint32_t kMinHostBaud = 50;
constexpr uint32_t kMaxHostBaud = 1000000;
std::optional<uint32_t> parseHostBaud(std::string_view text);
extern const char* const kAsTheChip; // "as the chip"

// "Send". While a file is being sent the button is "Cancel" and stops the
// transmission, whatever the mode has been changed to since. Manual mode: `fieldText` must be one or two hex digits (else
// "Illegal Data" titled "ERROR" and nothing is sent); the byte becomes the
// host transmit byte and is handed to the chip. File mode: the transfer
// file is read and its transmission starts (or the read's message is returned and nothing starts).
Validation pressSerialSend(SerialHostState& host, const SerialHostSettings& settings,
                           ChipState& chip, std::string_view fieldText);

// The host sends one byte now: it becomes the host transmit byte and the
// chip starts receiving it, with the host's ninth bit in modes 2 and 3 and a
// stop bit in modes 0 and 1. A reception still in progress is replaced.
void serialHostSendByte(SerialHostState& host, ChipState& chip, uint8_t value);

// Whether the host may hand over its next byte now: the line is free, or
// (as the chip) the receiver has taken the last one.
bool serialHostReady(const ChipState& chip);

// Starts sending `bytes` (not empty): the first byte goes to the chip now.
void startFileTransmission(SerialHostState& host, ChipState& chip, std::vector<uint8_t> bytes);
// "Cancel": no further byte is sent ("Transmision Cancelled").
void cancelFileTransmission(SerialHostState& host);

// Notifications from the UART (ChipEvents::byteReceived / byteTransmitted)
// and the line (ChipEvents::hostFrameSent / hostByteRead, with the byte the
// host read as `entry`).
void serialHostByteReceived(SerialHostState& host, ChipState& chip);
void serialHostFrameSent(SerialHostState& host, ChipState& chip);
void serialHostByteTransmitted(SerialHostState& host, uint16_t entry);

// "TB8" radio buttons: enabled while SCON selects mode 2 or 3 (SM0 set).
constexpr bool serialNinthBitEnabled(uint8_t scon) { return scon & 0x80; }

// Everything the window draws.
struct SerialWindowView {
    std::string controllerTransmitList; // "SBUF(Tr):" of the chip
    std::string controllerReceiveList;  // "SBUF(Rr):" of the chip
    std::string hostTransmit;           // "%02X"
    std::string hostReceive;            // "%02X"
    bool hostFieldEnabled = true;       // disabled in "From File" mode
    bool ninthBitEnabled = false;
    uint8_t ninthBit = 0;
    const char* sendButton = "Send";    // "Cancel" while a file is being sent
    const char* fileStatus = "";        // "File Transmission" status text
    std::string totalBytes;             // "%d", empty before the first file
    std::string bytesTransmitted;       // "%d"
};
SerialWindowView serialWindowView(const SerialHostState& host, const SerialHostSettings& settings,
                                  const ChipState& chip);

extern const char* const kSerialWindowTitle;          // "Serial Port"
extern const char* const kSerialWindowClearViewTitle; // the title painted in Clear View
extern const char* const kSerialBrowseTitle;          // "Browse" (filters: kTransferListFilters)

} // namespace quorvel
