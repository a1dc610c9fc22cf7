#include "tools/file_loader.h"

#include "chip/chip_state.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace quorvel {

namespace {

constexpr size_t kBinaryBlock = 140;
// The longest valid record is 1 + 2 + 4 + 2 + 510 + 2 characters and a CR;
// anything much longer is not Intel HEX.
constexpr size_t kMaxHexLine = 1024;

UserMessage error(std::string_view text) { return errorMessage("ERROR", std::string(text)); }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Byte at `pos` (two digits), or -1 when either is not a hex digit or lies
// beyond the line.
int hexByte(std::string_view line, size_t pos) {
    if (pos + 1 >= line.size()) return -1;
    int hi = hexDigit(line[pos]), lo = hexDigit(line[pos + 1]);
    return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

std::string range(uint32_t from, uint32_t next, size_t padding) {
    char text[32];
    std::snprintf(text, sizeof text, "%04XH to %04XH", unsigned(from & 0xFFFF),
                  unsigned((next - 1) & 0xFFFF));
    return std::string(text) + std::string(padding, ' ');
}

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

} // namespace

LoadFormat loadFormatOf(const std::filesystem::path& path) {
    std::string ext = path.filename().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".hex" || ext == ".ihx" ? LoadFormat::IntelHex : LoadFormat::Binary;
}

std::string shortenPathForLabel(std::string_view path) {
    if (path.size() <= 35) return std::string(path);
    size_t head = 3;
    while (head < path.size() && isContinuationByte(path[head])) ++head;
    size_t tail = path.find('/', path.size() - 30);
    if (tail == std::string_view::npos) {
        tail = path.size() - 30;
        while (tail < path.size() && isContinuationByte(path[tail])) ++tail;
    }
    return std::string(path.substr(0, head)) + ".." + std::string(path.substr(tail));
}

std::string LoadOutcome::checksumText() const {
    if (badChecksums == 0) return {};
    return std::to_string(badChecksums) +
           (badChecksums == 1 ? " record with a wrong checksum" : " records with a wrong checksum");
}

std::string LoadOutcome::detailsText() const {
    if (badChecksums == 0) return summary;
    return summary + "\r\n" + checksumText();
}

Validation FileLoader::open(const std::filesystem::path& path) {
    std::error_code ec;
    std::ifstream in;
    if (std::filesystem::is_regular_file(path, ec)) in.open(path, std::ios::binary);
    if (!in.is_open()) return error("Unable to open the selected file");
    // Far more than any image of 64 KiB takes, even as HEX text with
    // comments: a larger file is refused before it is read.
    constexpr uintmax_t kLargestFile = 16u << 20;
    if (std::filesystem::file_size(path, ec) > kLargestFile || ec)
        return error("The selected file is too large");
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return error("Unable to open the selected file");
    openBytes(std::move(bytes), loadFormatOf(path), path.string());
    return std::nullopt;
}

void FileLoader::openBytes(std::vector<uint8_t> bytes, LoadFormat format, std::string_view path) {
    *this = FileLoader(target_);
    data_ = std::move(bytes);
    format_ = format;
    path_ = path;
    started_ = format == LoadFormat::IntelHex;
}

void FileLoader::setStartAddress(uint16_t address) {
    base_ = address;
    started_ = true;
}

std::string FileLoader::label() const { return "Loading from: " + shortenPathForLabel(path_); }

void FileLoader::cancel() {
    if (!finished_) finish(LoadResult::Stopped, {error("File Loading Stopped")});
}

void FileLoader::finish(LoadResult result, std::vector<UserMessage> messages) {
    finished_ = true;
    outcome_.result = result;
    outcome_.messages = std::move(messages);
    outcome_.showDetails = result == LoadResult::Loaded && format_ == LoadFormat::IntelHex;
}

void FileLoader::stop(std::string_view reason) {
    finish(LoadResult::Stopped, {error(reason), error("File Loading Stopped")});
}

void FileLoader::stopInvalid(std::string_view why) {
    stop("Invalid HEX file, line " + std::to_string(line_) + ": " + std::string(why) + ".");
}

bool FileLoader::step(ChipState& chip) {
    if (finished_ || !started_) return !finished_;
    if (format_ == LoadFormat::IntelHex)
        stepHex(chip);
    else
        stepBinary(chip);
    if (finished_ && outcome_.result != LoadResult::Stopped) commit(chip);
    return !finished_;
}

void FileLoader::commit(ChipState& chip) {
    for (const Pending& p : pending_) {
        if (target_ == LoadTarget::ProgramMemory)
            chip.writeCode(p.address, p.value);
        else
            chip.writeXdata(p.address, p.value);
    }
    pending_.clear();
}

void FileLoader::stepBinary(ChipState& chip) {
    const size_t count = std::min(kBinaryBlock, data_.size() - position_);
    if (count == 0 || overflow_) {
        if (overflow_) {
            finish(LoadResult::Overflow, {error(target_ == LoadTarget::ProgramMemory
                                                    ? "Address Exceeds the Program Memory Capacity."
                                                    : "Address Exceeds the External Data Memory Capacity.")});
        } else {
            const char* caption = target_ == LoadTarget::ProgramMemory ? "Load Program" : "Load Data";
            finish(LoadResult::Loaded,
                   {{caption, "File Loaded Successfully.", UserMessage::Icon::Information}});
        }
        return;
    }
    for (size_t i = 0; i < count; ++i)
        if (!store(chip, base_ + uint32_t(i), data_[position_ + i])) overflow_ = true;
    position_ += count;
    base_ += uint32_t(count);
}

void FileLoader::stepHex(ChipState& chip) {
    const std::string_view all(reinterpret_cast<const char*>(data_.data()), data_.size());
    size_t newline = all.find('\n', position_);
    size_t lineEnd = newline == std::string_view::npos ? all.size() : newline;
    std::string_view line = all.substr(position_, lineEnd - position_);
    const size_t consumed = line.size() + (newline == std::string_view::npos ? 0 : 1);

    if (overflow_) {
        position_ += consumed;
        finish(LoadResult::Overflow, {error(target_ == LoadTarget::ProgramMemory
                                                ? "Address Exceeds the Program Memory Capacity."
                                                : "Address Exceeds the External Data Memory Capacity.")});
        return;
    }
    ++line_;
    if (line.empty()) {
        position_ += consumed;
        if (newline != std::string_view::npos)
            stop("Illegal File End: line " + std::to_string(line_) + " is empty, before the end record.");
        else if (line_ == 1)
            stop("Illegal File End: the file is empty.");
        else
            stop("Illegal File End: the file ends after line " + std::to_string(line_ - 1) +
                 " without an end record.");
        return;
    }
    position_ += consumed;
    if (line.front() != ':') return stopInvalid("the line does not start with \":\"");
    if (line.size() > kMaxHexLine) return stopInvalid("the line is longer than any record");

    switch (readRecord(chip, line)) {
    case Record::Continue: break;
    case Record::End: finish(LoadResult::Loaded, {}); break;
    case Record::Overflow: overflow_ = true; break;
    case Record::Invalid: stopInvalid(invalidWhy_); break;
    }
}

// Positions: 0 ":", 1-2 count, 3-6 address, 7-8 type, data from 9, two
// characters a byte, then the checksum.
FileLoader::Record FileLoader::readRecord(ChipState& chip, std::string_view line) {
    const int count = hexByte(line, 1);
    const int addrHi = hexByte(line, 3), addrLo = hexByte(line, 5);
    const int type = hexByte(line, 7);
    const auto invalid = [this](std::string why) {
        invalidWhy_ = std::move(why);
        return Record::Invalid;
    };
    if (line.size() < 9) return invalid("the line is shorter than a record's header");
    if (count < 0) return invalid("the byte count is not hexadecimal");
    if (addrHi < 0 || addrLo < 0) return invalid("the address is not hexadecimal");
    if (type < 0) return invalid("the record type is not hexadecimal");

    // Checksum: the record's bytes including the checksum sum to 0. A record
    // cut short, or with a non-hex checksum, counts as wrong.
    unsigned sum = unsigned(count + addrHi + addrLo + type);
    bool complete = true;
    for (int i = 0; i <= count && complete; ++i) {
        int b = hexByte(line, 9 + 2 * size_t(i));
        complete = b >= 0;
        sum += unsigned(b);
    }
    if (!complete || (sum & 0xFF) != 0) ++outcome_.badChecksums;

    switch (type & 0x0F) {
    case 1: // end of file
        if (seenData_) appendRange(10);
        return Record::End;
    case 2: { // extended segment address
        int segHi = hexByte(line, 9), segLo = hexByte(line, 11);
        if (segHi < 0 || segLo < 0) return invalid("the segment address is not hexadecimal");
        base_ = uint32_t((segHi * 256 + segLo) * 16) & 0xFFFF;
        return Record::Continue;
    }
    case 0: break;
    default: return Record::Continue;
    }

    uint16_t address = uint16_t(base_ + uint32_t(addrHi * 256 + addrLo));
    if (!seenData_) rangeStart_ = nextAddress_ = address;
    if (address != nextAddress_) {
        appendRange(12);
        rangeStart_ = address;
    }
    Record result = Record::Continue;
    for (int i = 0; i < count; ++i) {
        const size_t pos = 9 + 2 * size_t(i);
        if (pos >= line.size() || isLineEnd(line[pos])) break; // record shorter than its count
        int b = hexByte(line, pos);
        if (b < 0) return invalid("data byte " + std::to_string(i + 1) + " is not hexadecimal");
        if (!store(chip, address, uint8_t(b))) {
            result = Record::Overflow;
            break;
        }
        address = uint16_t(address + 1);
    }
    nextAddress_ = address;
    seenData_ = true;
    return result;
}

bool FileLoader::store(ChipState& chip, uint32_t address, uint8_t value) {
    if (target_ == LoadTarget::ProgramMemory) {
        if (address > chip.codeLimit) return false;
    } else {
        if (!chip.hasXdata() || address > chip.xdataLimit) return false;
    }
    pending_.push_back({uint16_t(address), value});
    return true;
}

void FileLoader::appendRange(size_t padding) {
    outcome_.summary += range(rangeStart_, nextAddress_, padding);
}

} // namespace quorvel
