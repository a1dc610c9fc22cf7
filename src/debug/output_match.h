// What the chip sends on its serial line, kept for a front end that waits
// for it: the transcript of every byte, how far the front end has read it,
// and a pattern whose arrival ends the debug session's run (the run stops
// after the instruction during which the byte that completed it was sent).
// The pattern is either bytes as they are or a regular expression
// (debug/stream_regex.h); it is looked for in what the front end has not
// read yet. Each byte is looked at once as it comes, whatever came before
// it: the wait ends at the first byte with which the unread bytes hold a
// match, and hands over the bytes up to that match's end. Bytes already
// unread when the wait starts are looked at in order as if they came then,
// so the answer does not depend on when they came.
//
// The bytes come from the front end's event receiver (ChipEvents::
// byteTransmitted or the serial line's hostByteRead): the session decides
// nothing about which of them the host takes.
//
// Thread: whoever owns the machine at the time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include "debug/stream_regex.h"

#include <string>
#include <string_view>

namespace quorvel {

class OutputMatch {
public:
    // Waits for `pattern` from now on; the message says why a regular
    // expression does not read (nothing is then waited for). A pattern
    // already in the unread bytes holds at once.
    std::optional<std::string> expect(std::string_view pattern, bool regex);
    // Waits for nothing.
    void clear();
    bool waiting() const { return waiting_; }

    // A byte the host took from the chip.
    void byteSent(uint8_t byte);
    // The flag the run loop looks at (StopConditions::request).
    const bool* flag() const { return &matched_; }
    bool matched() const { return matched_; }
    // Once matched: the unread bytes up to the end of the match (those
    // before it and the match). The unread bytes then start after them, and
    // the wait is over.
    std::string takeMatch();

    // Every byte sent, and those the front end has not read yet (reading
    // takes them).
    const std::string& transcript() const { return transcript_; }
    std::string_view unread() const { return std::string_view(transcript_).substr(readFrom_); }
    std::string takeUnread();
    // A new program: nothing sent yet.
    void reset();

private:
    // Looks for the pattern in the unread bytes (bytes as they are with
    // `tail`: only where the last byte can complete them).
    void look(bool tail);
    // The match ends before the transcript's byte `end`.
    void matchedAt(size_t end);

    std::string transcript_;
    size_t readFrom_ = 0;
    bool waiting_ = false;
    bool matched_ = false;
    bool regex_ = false;
    std::string literal_;
    StreamRegex pattern_;
    size_t matchEnd_ = 0;
};

} // namespace quorvel
