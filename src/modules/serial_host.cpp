#include "modules/serial_host.h"

#include "chip/serial_line.h"
#include "chip/serial_port.h"
#include "common/hex_text.h"

#include <fstream>
#include <system_error>

namespace quorvel {

namespace {

// Modes 2 and 3 carry the host's ninth bit; modes 0 and 1 a valid stop bit.
uint8_t ninthBitToSend(const SerialHostState& host, const ChipState& chip) {
    return (chip.sfr(sfr::SCON) & sfr::bits::SM0) ? uint8_t(host.ninthBit & 1) : uint8_t(1);
}

void sendNextFileByte(SerialHostState& host, ChipState& chip) {
    if (host.bytesSent >= host.fileBytes.size()) {
        host.transmitting = false;
        return;
    }
    serialHostSendByte(host, chip, host.fileBytes[host.bytesSent++]);
    if (host.bytesSent == host.fileBytes.size()) {
        host.transmitting = false;
        host.fileStatus = FileTransmissionStatus::Transmitted;
    }
}

constexpr std::array<const char*, 4> kStatusTexts{"", "Transmitting...", "Transmitted Successfully",
                                                  "Transmision Cancelled"};

} // namespace

const char* const kSerialWindowTitle = "Serial Port";
const char* const kSerialWindowClearViewTitle = "               Serial Port                     ";
const char* const kSerialBrowseTitle = "Browse";

TransferFile readTransferFile(const std::filesystem::path& path) {
    TransferFile file;
    std::error_code error;
    // Only a regular file is opened: opening a FIFO would wait for a writer
    // for ever.
    const bool regular = std::filesystem::is_regular_file(path, error);
    const auto size = regular ? std::filesystem::file_size(path, error) : 0;
    std::ifstream in;
    if (regular && !error) in.open(path, std::ios::binary);
    if (!regular || error || !in.is_open()) {
        file.error = errorMessage("ERROR", "Unable to open the selected file");
        return file;
    }
    if (size > kMaxTransferFileSize) {
        file.error = errorMessage("ERROR", "The selected file is too large");
        return file;
    }
    file.bytes.resize(size_t(size));
    in.read(reinterpret_cast<char*>(file.bytes.data()), std::streamsize(size));
    file.bytes.resize(size_t(in.gcount()));
    if (in.bad()) {
        file.bytes.clear();
        file.error = errorMessage("ERROR", "Unable to open the selected file");
    } else if (file.bytes.empty()) {
        file.error = errorMessage("ERROR", "The selected file is empty");
    }
    return file;
}

Validation checkSerialHostSettings(const SerialHostSettings& settings) {
    if (serialFromFile(settings) && settings.TransferFileName.empty())
        return errorMessage("ERROR", "No file selected for transmission");
    return std::nullopt;
}

const char* const kAsTheChip = "as the chip";

std::optional<uint32_t> parseHostBaud(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.empty() || text == kAsTheChip) return 0u;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || value > kMaxHostBaud) return std::nullopt;
        value = value * 10 + uint32_t(c - '0');
    }
    if (value < kMinHostBaud || value > kMaxHostBaud) return std::nullopt;
    return value;
}

Validation checkSerialHostSettings(SerialHostSettings& settings, std::string_view baudText) {
    const std::optional<uint32_t> baud = parseHostBaud(baudText);
    if (!baud) return errorMessage("ERROR", "Illegal Baud Rate");
    settings.HostBaud = *baud;
    return checkSerialHostSettings(settings);
}

Validation pressSerialSend(SerialHostState& host, const SerialHostSettings& settings,
                           ChipState& chip, std::string_view fieldText) {
    // The button reads "Cancel" while a file is being sent, in either mode.
    if (host.transmitting) {
        cancelFileTransmission(host);
        return std::nullopt;
    }
    if (!serialFromFile(settings)) {
        const std::optional<uint8_t> value = parseByteField(fieldText);
        if (!value) return illegalDataMessage();
        serialHostSendByte(host, chip, *value);
        return std::nullopt;
    }
    TransferFile file = readTransferFile(std::filesystem::path(settings.TransferFileName));
    if (file.error) return file.error;
    startFileTransmission(host, chip, std::move(file.bytes));
    return std::nullopt;
}

void serialHostSendByte(SerialHostState& host, ChipState& chip, uint8_t value) {
    host.transmitByte = value;
    if (serialLineInUse(chip))
        sendSerialLineFrame(chip, value, ninthBitToSend(host, chip));
    else
        startSerialReception(chip, value, ninthBitToSend(host, chip));
}

bool serialHostReady(const ChipState& chip) {
    return serialLineInUse(chip) ? !serialLineBusy(chip)
                                 : chip.periph.serial.rxState == Reception::None;
}

void startFileTransmission(SerialHostState& host, ChipState& chip, std::vector<uint8_t> bytes) {
    host.fileBytes = std::move(bytes);
    host.bytesSent = 0;
    host.transmitting = !host.fileBytes.empty();
    host.fileStatus = host.transmitting ? FileTransmissionStatus::Transmitting
                                        : FileTransmissionStatus::None;
    sendNextFileByte(host, chip);
}

void cancelFileTransmission(SerialHostState& host) {
    if (!host.transmitting) return;
    host.transmitting = false;
    host.fileStatus = FileTransmissionStatus::Cancelled;
}

void serialHostByteReceived(SerialHostState& host, ChipState& chip) {
    // On the line the host keeps its own pace (serialHostFrameSent).
    if (host.transmitting && !serialLineInUse(chip)) sendNextFileByte(host, chip);
}

void serialHostFrameSent(SerialHostState& host, ChipState& chip) {
    if (host.transmitting) sendNextFileByte(host, chip);
}

void serialHostByteTransmitted(SerialHostState& host, uint16_t entry) {
    host.receiveByte = uint8_t(entry);
}

SerialWindowView serialWindowView(const SerialHostState& host, const SerialHostSettings& settings,
                                  const ChipState& chip) {
    SerialWindowView view;
    view.controllerTransmitList = serialListText(chip.periph.serial.txLog);
    view.controllerReceiveList = serialListText(chip.periph.serial.rxLog);
    view.hostTransmit = hexText(host.transmitByte, 2);
    view.hostReceive = hexText(host.receiveByte, 2);
    view.hostFieldEnabled = !serialFromFile(settings);
    view.ninthBitEnabled = serialNinthBitEnabled(chip.sfr(sfr::SCON));
    view.ninthBit = host.ninthBit & 1;
    view.sendButton = host.transmitting ? "Cancel" : "Send";
    view.fileStatus = kStatusTexts[size_t(host.fileStatus)];
    if (host.fileStatus != FileTransmissionStatus::None) {
        view.totalBytes = std::to_string(host.fileBytes.size());
        view.bytesTransmitted = std::to_string(host.bytesSent);
    }
    return view;
}

} // namespace quorvel
