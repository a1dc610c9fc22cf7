// The Debug Adapter Protocol's framing: each message is a header block
// ("Content-Length: N", other fields ignored, each line ending in CR LF, an
// empty line last) followed by N bytes of JSON.
//
// The reader takes the client's bytes as they come and hands out whole
// bodies, or an error for a frame it cannot take: a header line without a
// colon, a missing or malformed Content-Length, a body longer than
// kMaxBodySize, a header block longer than kMaxHeaderSize. After an error it
// skips to the next "Content-Length" field, so the messages that follow a
// broken one are still read. It never holds more than one body and one
// header block.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel::dap {

inline constexpr size_t kMaxBodySize = 1u << 20;
inline constexpr size_t kMaxHeaderSize = 8192;

struct Frame {
    std::string body;  // the JSON text, when the frame was read
    std::string error; // not empty: why the frame could not be read
};

class FrameReader {
public:
    void feed(std::string_view bytes);
    // The next body or error; nothing until more bytes come.
    std::optional<Frame> next();
    // True when the bytes so far end inside a message (at the end of the
    // input: a message cut short).
    bool midMessage() const;

private:
    // Drops everything before the next Content-Length field; false when
    // there is none yet.
    bool resynchronise();
    void compact();

    std::string buffer_;
    size_t pos_ = 0;
    bool skipping_ = false; // after an error, until the next Content-Length
};

// `body` with its header, ready to write.
std::string frameMessage(std::string_view body);

} // namespace quorvel::dap
