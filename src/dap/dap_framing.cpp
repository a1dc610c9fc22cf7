#include "dap/dap_framing.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>

namespace quorvel::dap {

namespace {

constexpr std::string_view kLengthField = "content-length";
constexpr std::string_view kHeaderEnd = "\r\n\r\n";

bool sameLetters(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// The body length a header block gives, or the error.
struct HeaderResult {
    size_t length = 0;
    std::string error;
};

HeaderResult parseHeader(std::string_view block) {
    std::optional<size_t> length;
    while (!block.empty()) {
        const size_t end = block.find("\r\n");
        const std::string_view line = block.substr(0, end);
        block = end == std::string_view::npos ? std::string_view() : block.substr(end + 2);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) return {0, "bad message header: a line without a colon"};
        const std::string_view name = trimmed(line.substr(0, colon));
        if (name.size() != kLengthField.size() ||
            !std::equal(name.begin(), name.end(), kLengthField.begin(), sameLetters))
            continue;
        const std::string_view value = trimmed(line.substr(colon + 1));
        uint64_t n = 0;
        const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
        if (value.empty() || ptr != value.data() + value.size() || (ec != std::errc() && ec != std::errc::result_out_of_range))
            return {0, "bad message header: Content-Length is not a number of bytes: '" +
                           std::string(value.substr(0, 40)) + "'"};
        if (ec == std::errc::result_out_of_range || n > kMaxBodySize)
            return {0, "message too long: Content-Length " + std::string(value.substr(0, 40)) + " exceeds " +
                           std::to_string(kMaxBodySize) + " bytes"};
        if (length && *length != n) return {0, "bad message header: two different Content-Length fields"};
        length = size_t(n);
    }
    if (!length) return {0, "bad message header: no Content-Length"};
    return {*length, {}};
}

} // namespace

void FrameReader::feed(std::string_view bytes) {
    compact();
    buffer_.append(bytes);
}

void FrameReader::compact() {
    if (pos_ == 0) return;
    buffer_.erase(0, pos_);
    pos_ = 0;
}

bool FrameReader::resynchronise() {
    const auto from = buffer_.begin() + long(pos_);
    const auto at = std::search(from, buffer_.end(), kLengthField.begin(), kLengthField.end(), sameLetters);
    if (at == buffer_.end()) {
        // Keep what may be the start of the field name.
        pos_ = std::max(pos_, buffer_.size() - std::min(buffer_.size(), kLengthField.size() - 1));
        return false;
    }
    pos_ = size_t(at - buffer_.begin());
    skipping_ = false;
    return true;
}

std::optional<Frame> FrameReader::next() {
    if (skipping_ && !resynchronise()) {
        compact();
        return std::nullopt;
    }
    // Line ends between two messages are no header.
    while (pos_ < buffer_.size() && (buffer_[pos_] == '\r' || buffer_[pos_] == '\n')) ++pos_;
    const std::string_view rest = std::string_view(buffer_).substr(pos_);
    const size_t end = rest.find(kHeaderEnd);
    if (end == std::string_view::npos) {
        if (rest.size() <= kMaxHeaderSize) return std::nullopt;
        pos_ += 1;
        skipping_ = true;
        return Frame{{}, "bad message header: no end of the header within " + std::to_string(kMaxHeaderSize) +
                             " bytes"};
    }
    if (end > kMaxHeaderSize) {
        pos_ += 1;
        skipping_ = true;
        return Frame{{}, "bad message header: longer than " + std::to_string(kMaxHeaderSize) + " bytes"};
    }
    const HeaderResult header = parseHeader(rest.substr(0, end));
    if (!header.error.empty()) {
        pos_ += end + kHeaderEnd.size();
        skipping_ = true;
        return Frame{{}, header.error};
    }
    const size_t bodyStart = end + kHeaderEnd.size();
    if (rest.size() - bodyStart < header.length) return std::nullopt;
    Frame frame{std::string(rest.substr(bodyStart, header.length)), {}};
    pos_ += bodyStart + header.length;
    return frame;
}

bool FrameReader::midMessage() const {
    if (skipping_) return false;
    const std::string_view rest = std::string_view(buffer_).substr(pos_);
    return rest.find_first_not_of(" \t\r\n") != std::string_view::npos;
}

std::string frameMessage(std::string_view body) {
    std::string out = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    out.append(body);
    return out;
}

} // namespace quorvel::dap
