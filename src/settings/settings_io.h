// Byte-level helpers shared by the three settings files: a bounds-checked
// big-endian reader over a byte buffer, a big-endian writer, reading a file
// whole, and replacing a file atomically.
//
// The reader never reads past its data: a request that does not fit makes it
// fail (and stay failed), and every later request fails too, so a parser can
// read a whole section and check once at its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quorvel {

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

    bool ok() const { return ok_; }
    size_t position() const { return position_; }
    size_t remaining() const { return ok_ ? data_.size() - position_ : 0; }
    bool has(size_t count) const { return ok_ && count <= data_.size() - position_; }

    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    // `count` bytes, or an empty span (and failure) when they are not there.
    std::span<const uint8_t> bytes(size_t count);
    void skip(size_t count) { bytes(count); }

private:
    std::span<const uint8_t> data_;
    size_t position_ = 0;
    bool ok_ = true;
};

class ByteWriter {
public:
    void u8(uint8_t value) { data_.push_back(value); }
    void u16(uint16_t value) {
        u8(uint8_t(value >> 8));
        u8(uint8_t(value));
    }
    void u32(uint32_t value) {
        u16(uint16_t(value >> 16));
        u16(uint16_t(value));
    }
    void bytes(std::span<const uint8_t> values) { data_.insert(data_.end(), values.begin(), values.end()); }
    void bytes(const std::string& text) { data_.insert(data_.end(), text.begin(), text.end()); }
    void fill(uint8_t value, size_t count) { data_.insert(data_.end(), count, value); }

    const std::vector<uint8_t>& data() const { return data_; }
    std::vector<uint8_t> take() { return std::move(data_); }

private:
    std::vector<uint8_t> data_;
};

// The whole file, or nothing when it cannot be opened or read or is not a
// regular file (a FIFO or device is never opened). Files larger
// than `maxSize` are not read (nothing is returned): no settings file comes
// near it, and a reader must not be made to allocate without bound.
// `why`, when given, gets the reason of a failure ("a folder, not a file").
std::optional<std::vector<uint8_t>> readWholeFile(const std::filesystem::path& path,
                                                  size_t maxSize = 1u << 20, std::string* why = nullptr);

// Writes `data` to a temporary file in the target's folder, flushes it and
// renames it over `path` (through a symbolic link, over the file it points
// to). On any failure the temporary file is removed and the previous file at
// `path` is left as it was; a target that is not a regular file (a folder,
// a device, a FIFO) is refused. Returns false on failure.
bool writeFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> data);

} // namespace quorvel
