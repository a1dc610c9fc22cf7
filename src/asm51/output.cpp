#include "asm51/output.h"

#include "tools/memory_saver.h"

#include <span>

namespace quorvel::asm51 {

namespace {

constexpr size_t kBytesPerListingLine = 4;

std::string hex2(unsigned value) {
    static constexpr char digits[] = "0123456789ABCDEF";
    return {digits[(value >> 4) & 15], digits[value & 15]};
}
std::string hex4(unsigned value) {
    return hex2(value >> 8) + hex2(value);
}

std::string padRight(std::string text, size_t width) {
    if (text.size() < width) text.resize(width, ' ');
    return text;
}

std::string padLeft(const std::string& text, size_t width) {
    return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

std::string plural(int n, std::string_view word) {
    return std::to_string(n) + " " + std::string(word) + (n == 1 ? "" : "s");
}

std::string symbolValueText(const Symbol& s) {
    if (s.value.type == ValueType::Register)
        return std::string("R") += std::to_string(s.value.value);
    if (!s.value.known) return "?";
    return hex4(unsigned(s.value.value & 0xFFFF)) + "H";
}

} // namespace

std::string countText(int errors, int warnings) {
    return plural(errors, "error") + ", " + plural(warnings, "warning");
}

std::string listingText(const AssemblyResult& result, std::string_view sourceName) {
    std::string out = "asm51 8051 assembler - listing of " + std::string(sourceName) + "\n\n";
    out += " LINE   LOC   OBJ            SOURCE\n\n";
    for (const ListingLine& line : result.listing) {
        // The line number right-aligned in 5 and "+depth" for included
        // lines, padded to 7. A wider number (line 100000 on) or depth
        // pushes the columns right by as much, and readers take the address
        // column from where the head ends; a head of 7 or more gets no
        // further padding, since the address column opens with a space.
        std::string head = padLeft(std::to_string(line.line), 5);
        if (line.depth > 0) head += "+" + std::to_string(line.depth);
        head = padRight(head, 7);
        std::string column = "      ";
        if (line.column != ListingLine::Column::None) {
            column = line.column == ListingLine::Column::Address ? " " : "=";
            column += hex4(line.number);
            column += ' ';
        }
        std::string bytes;
        for (size_t i = 0; i < line.bytes.size() && i < kBytesPerListingLine; ++i)
            bytes += hex2(line.bytes[i]) + " ";
        out += head + column + " " + padRight(bytes, 3 * kBytesPerListingLine + 2) + line.source;
        out += "\n";
        for (size_t i = kBytesPerListingLine; i < line.bytes.size(); i += kBytesPerListingLine) {
            std::string more;
            for (size_t j = i; j < line.bytes.size() && j < i + kBytesPerListingLine; ++j)
                more += hex2(line.bytes[j]) + " ";
            more.pop_back();
            out += std::string(7, ' ') + " " + hex4(unsigned(line.number + i) & 0xFFFF) + "  " +
                   more + "\n";
        }
        for (const std::string& message : line.messages)
            out += "*** " + message + "\n";
    }

    // Messages that belong to no line (a definitions file, the whole run).
    bool first = true;
    for (const Message& m : result.messages) {
        if (m.inListing) continue;
        if (first) out += "\n";
        first = false;
        out += "*** " + formatMessage(m) + "\n";
    }

    out += "\n\nSYMBOL TABLE\n\n";
    out += padRight("NAME", 24) + padRight("TYPE", 7) + padRight("VALUE", 8) + "DEFINED\n";
    for (const Symbol& s : result.symbols) {
        std::string where =
            s.predefined ? "predefined" : s.place.file + "(" + std::to_string(s.place.line) + ")";
        out += padRight(s.name, 23);
        out += ' ';
        out += padRight(std::string(typeName(s.value.type)), 7);
        out += padRight(symbolValueText(s), 8);
        out += where;
        out += s.redefinable ? " SET\n" : "\n";
    }
    out += "\n" + countText(result.errors, result.warnings) + "\n";
    return out;
}

std::string intelHexText(const CodeImage& image) {
    std::string out;
    size_t address = 0;
    while (address < image.used.size()) {
        if (!image.used[address]) {
            ++address;
            continue;
        }
        size_t count = 0;
        while (count < 16 && address + count < image.used.size() && image.used[address + count])
            ++count;
        out += hexDataRecord(uint16_t(address),
                             std::span<const uint8_t>(image.bytes.data() + address, count));
        address += count;
    }
    out += ":00000001FF\r\n";
    return out;
}

} // namespace quorvel::asm51
