#include "tools/source_map_files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <vector>

namespace quorvel {

namespace {

// The longest 8051 instruction: the extent of an assembler mark that lies
// in no function and has no listing line.
constexpr uint32_t kLongestInstruction = 3;

// asm51 listing columns: the line number right-aligned in 5, then "+depth"
// for included lines, padded to 7 (a longer head, from line 100000 on,
// moves the columns after it right by as much); the address or value
// column (6); one space; the code bytes (4 per line, padded to 14); the
// source.
constexpr std::string_view kListingTitle = "asm51 8051 assembler - listing of ";
constexpr size_t kListingHeadWidth = 7;
constexpr size_t kListingColumnWidth = 6;
constexpr size_t kListingBytesWidth = 14;
constexpr std::string_view kListingEnd = "SYMBOL TABLE";

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::string_view::npos) return parts;
        start = at + 1;
    }
}

template <typename T>
std::optional<T> parseNumber(std::string_view text, int base) {
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// Hex byte pairs separated by single spaces at the start of `text`; returns
// how many, appends their values to `values` when given, and moves `text`
// past them.
uint32_t takeHexBytes(std::string_view& text, std::vector<uint8_t>* values = nullptr) {
    uint32_t count = 0;
    while (text.size() >= 2 && isHex(text[0]) && isHex(text[1]) &&
           (text.size() == 2 || text[2] == ' ')) {
        ++count;
        if (values) values->push_back(*parseNumber<uint8_t>(text.substr(0, 2), 16));
        text.remove_prefix(std::min<size_t>(3, text.size()));
    }
    return count;
}

// Each listed byte, at `address` on, for the comparison with the program.
void listBytes(ListedCode* listed, uint32_t address, const std::vector<uint8_t>& values) {
    if (!listed) return;
    for (uint8_t value : values) {
        if (address > 0xFFFF) return;
        listed->bytes.emplace_back(uint16_t(address++), value);
    }
}

// A file cut short (a full disk, a copy broken off) ends inside a line.
void warnIfCut(std::string_view text, std::string_view name, SourceMapReport* report) {
    if (report && !text.empty() && text.back() != '\n')
        report->warnings.push_back(std::string(name) +
                                   ": its last line is incomplete: the file is cut short, and lines "
                                   "past the cut have no code");
}

// The listing of `name` in `report`, when there is a report.
ListedCode* newListing(SourceMapReport* report, std::string_view name) {
    if (!report) return nullptr;
    report->listedCode.push_back({std::string(name), {}});
    return &report->listedCode.back();
}

std::string_view trimmed(std::string_view text) {
    const size_t a = text.find_first_not_of(" \t");
    if (a == std::string_view::npos) return {};
    return text.substr(a, text.find_last_not_of(" \t") - a + 1);
}

// The file a control line "$INCLUDE(name)" (or "$IC(name)") includes, if it
// is one; several controls may share the line.
std::optional<std::string> includedFile(std::string_view source) {
    source = trimmed(source);
    if (source.empty() || source[0] != '$') return std::nullopt;
    const std::string text = upper(source);
    std::optional<std::string> name;
    for (std::string_view word : {"$INCLUDE(", "$IC("}) {
        for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
            const size_t open = at + word.size();
            const size_t close = text.find(')', open);
            if (close == std::string::npos) continue;
            name = std::string(trimmed(source.substr(open, close - open)));
        }
    }
    return name;
}

std::string where(std::string_view name, size_t lineIndex) {
    return std::string(name) + ":" + std::to_string(lineIndex + 1) + ": ";
}

// One linker listing (module.rst) line with code: "      AAAAAA BB BB ..
// [cycles]  LINE  source". The line number is that of module.asm.
struct RstLine {
    uint32_t address;
    uint32_t bytes;
    uint32_t line;
};

std::optional<RstLine> parseRstLine(std::string_view text, std::vector<uint8_t>* values) {
    constexpr size_t kIndent = 6, kAddressDigits = 6;
    if (text.size() < kIndent + kAddressDigits + 3 || text.substr(0, kIndent) != "      ")
        return std::nullopt;
    const auto address = parseNumber<uint32_t>(text.substr(kIndent, kAddressDigits), 16);
    if (!address || text[kIndent + kAddressDigits] != ' ') return std::nullopt;
    text.remove_prefix(kIndent + kAddressDigits + 1);
    const size_t valuesBefore = values ? values->size() : 0;
    const uint32_t bytes = takeHexBytes(text, values);
    if (bytes == 0) return std::nullopt;
    text = trimmed(text);
    if (!text.empty() && text[0] == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos) {
            if (values) values->resize(valuesBefore);
            return std::nullopt;
        }
        text = trimmed(text.substr(close + 1));
    }
    const size_t digits = std::min(text.find_first_of(" \t"), text.size());
    const auto line = parseNumber<uint32_t>(text.substr(0, digits), 10);
    if (!line) {
        if (values) values->resize(valuesBefore);
        return std::nullopt;
    }
    return RstLine{*address, bytes, *line};
}

} // namespace

std::optional<std::string> parseAsm51Listing(std::string_view text, std::string_view name,
                                             SourceMap& map, SourceMapReport* report) {
    const std::vector<std::string_view> lines = splitLines(text);
    if (lines.empty() || !lines[0].starts_with(kListingTitle))
        return std::string(name) + ": not an asm51 listing (its first line should begin '" +
               std::string(kListingTitle) + "')";
    // The file of each include depth: the main file, then what the
    // $INCLUDE lines named.
    std::vector<uint32_t> fileAtDepth{map.fileIndex(trimmed(lines[0].substr(kListingTitle.size())))};
    std::optional<std::string> pendingInclude;
    int pendingDepth = 0;
    // The code of the last numbered line; continuation lines add to it.
    struct Code {
        SourceLocation where;
        uint32_t start = 0;
        uint32_t bytes = 0;
    };
    std::optional<Code> code;
    ListedCode* listed = newListing(report, name);
    std::vector<uint8_t> values;
    bool complete = false; // the symbol table after the lines was reached
    auto flush = [&] {
        if (code && code->bytes) map.addRange(SourceLevel::Assembler, code->where, code->start, code->start + code->bytes);
        code.reset();
    };

    for (size_t i = 1; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (line.starts_with(kListingEnd)) {
            complete = true;
            break;
        }
        if (trimmed(line).empty() || line.starts_with("*** ") || line.starts_with(" LINE")) continue;
        if (line.starts_with(std::string(kListingHeadWidth + 1, ' '))) {
            // "        AAAA  BB BB BB BB": more bytes of the line above.
            std::string_view rest = line.substr(kListingHeadWidth + 1);
            const auto address = rest.size() < 6 ? std::nullopt : parseNumber<uint16_t>(rest.substr(0, 4), 16);
            if (!address) return where(name, i) + "unreadable continuation line";
            rest.remove_prefix(6);
            values.clear();
            const uint32_t more = takeHexBytes(rest, &values);
            listBytes(listed, *address, values);
            if (code) code->bytes += more;
            continue;
        }
        flush();
        // The number ends at the depth, a space, or a value column ("=") that
        // follows a head of full width.
        const size_t numberEnd = std::min(line.find_first_of("+ =", line.find_first_not_of(' ')), line.size());
        const auto number = parseNumber<uint32_t>(trimmed(line.substr(0, numberEnd)), 10);
        if (!number) return where(name, i) + "not a listing line: '" + std::string(line) + "'";
        size_t pos = numberEnd;
        int depth = 0;
        if (pos < line.size() && line[pos] == '+') {
            size_t end = pos + 1;
            while (end < line.size() && std::isdigit(static_cast<unsigned char>(line[end]))) ++end;
            const auto value = parseNumber<int>(line.substr(pos + 1, end - pos - 1), 10);
            if (!value || *value < 1) return where(name, i) + "bad include depth";
            depth = *value;
            pos = end;
        }
        pos = std::max(pos, kListingHeadWidth);
        const std::string_view column = line.substr(std::min(pos, line.size()), kListingColumnWidth);
        const size_t bytesAt = pos + kListingColumnWidth + 1;
        std::string_view bytesField = bytesAt < line.size() ? line.substr(bytesAt, kListingBytesWidth) : "";
        const std::string_view source = bytesAt + kListingBytesWidth < line.size()
                                            ? line.substr(bytesAt + kListingBytesWidth)
                                            : std::string_view{};

        // Lines of an included file follow the line that included it.
        if (depth >= int(fileAtDepth.size())) {
            if (!pendingInclude || depth != pendingDepth + 1 || depth != int(fileAtDepth.size()))
                return where(name, i) + "included line without an $INCLUDE line before it";
            fileAtDepth.push_back(map.fileIndex(*pendingInclude));
        } else {
            fileAtDepth.resize(size_t(depth) + 1);
        }
        pendingInclude = includedFile(source);
        pendingDepth = depth;

        if (column.size() == kListingColumnWidth && column[0] == ' ') {
            const auto address = parseNumber<uint16_t>(column.substr(1, 4), 16);
            values.clear();
            const uint32_t bytes = takeHexBytes(bytesField, &values);
            if (address && bytes) {
                code = Code{{fileAtDepth[size_t(depth)], *number}, *address, bytes};
                listBytes(listed, *address, values);
            }
        }
    }
    flush();
    map.finish(kLongestInstruction);
    if (report && !complete)
        report->warnings.push_back(std::string(name) +
                                   ": the listing ends before its symbol table: it is cut short, and "
                                   "lines past the cut have no code");
    else
        warnIfCut(text, name, report);
    return std::nullopt;
}

std::optional<std::string> parseSdccDebug(
    std::string_view text, std::string_view name, SourceMap& map,
    const std::function<std::optional<std::string>(const std::string& module)>& rstOf,
    SourceMapReport* report) {
    const std::vector<std::string_view> lines = splitLines(text);
    // Each module once, in the order of first mention: a debug file may
    // repeat its records.
    std::vector<std::string> modules;
    std::set<std::string, std::less<>> moduleSeen;
    // Function starts and ends by "scope$name".
    std::map<std::string, uint16_t, std::less<>> starts, ends;
    bool anyLine = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (line.starts_with("M:")) {
            if (moduleSeen.emplace(line.substr(2)).second) modules.emplace_back(line.substr(2));
            continue;
        }
        if (!line.starts_with("L:")) continue;
        const std::string_view record = line.substr(2);
        const size_t colon = record.rfind(':');
        const auto address = colon == std::string_view::npos
                                 ? std::nullopt
                                 : parseNumber<uint32_t>(record.substr(colon + 1), 16);
        if (!address) return where(name, i) + "bad address in '" + std::string(line) + "'";
        if (*address > 0xFFFF) continue; // banked code beyond 64K: not this chip's
        const std::vector<std::string_view> fields = split(record.substr(0, colon), '$');
        auto lineNumber = [&](size_t field) {
            return fields.size() > field ? parseNumber<uint32_t>(fields[field], 10) : std::nullopt;
        };
        if (fields[0] == "C" || fields[0] == "A") {
            const auto number = lineNumber(2);
            if (!number || fields[1].empty())
                return where(name, i) + "bad line record '" + std::string(line) + "'";
            const bool c = fields[0] == "C";
            const std::string file = c ? std::string(fields[1]) : std::string(fields[1]) + ".asm";
            map.addMark(c ? SourceLevel::C : SourceLevel::Assembler, {map.fileIndex(file), *number},
                        uint16_t(*address));
            anyLine = true;
        } else if (fields.size() >= 2) {
            std::string_view scope = fields[0];
            const bool end = scope.starts_with('X');
            if (end) scope.remove_prefix(1);
            (end ? ends : starts)[std::string(scope) + "$" + std::string(fields[1])] = uint16_t(*address);
        }
    }
    if (!anyLine)
        return std::string(name) + ": no line records (was the program compiled with --debug?)";

    // A symbol with an end record is a function.
    for (const auto& [key, last] : ends) {
        const auto start = starts.find(key);
        if (start == starts.end() || last < start->second) continue;
        map.addFunction({key.substr(key.find('$') + 1), start->second, last});
    }
    if (rstOf) {
        for (const std::string& module : modules) {
            const std::optional<std::string> rst = rstOf(module);
            if (!rst) continue;
            const uint32_t file = map.fileIndex(module + ".asm");
            const std::string rstName = (std::filesystem::path(name).parent_path() / (module + ".rst")).string();
            ListedCode* listed = newListing(report, rstName);
            std::vector<uint8_t> values;
            for (std::string_view line : splitLines(*rst)) {
                values.clear();
                if (const auto code = parseRstLine(line, &values)) {
                    map.addRange(SourceLevel::Assembler, {file, code->line}, code->address,
                                 code->address + code->bytes);
                    listBytes(listed, code->address, values);
                }
            }
            warnIfCut(*rst, rstName, report);
        }
    }
    map.finish(kLongestInstruction);
    warnIfCut(text, name, report);
    return std::nullopt;
}

std::optional<std::string> readSourceMapFile(const std::filesystem::path& path, std::string& error) {
    namespace fs = std::filesystem;
    const std::string shown = path.string();
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) {
        error = shown + ": no such file";
        return std::nullopt;
    }
    if (!fs::is_regular_file(status)) {
        error = shown + ": not a regular file";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = shown + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::string text;
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        const auto got = size_t(in.gcount());
        if (text.size() + got > kMaxSourceMapFileSize) {
            error = shown + ": larger than " + std::to_string(kMaxSourceMapFileSize >> 20) + " MiB";
            return std::nullopt;
        }
        text.append(buffer, got);
    }
    if (in.bad()) {
        error = shown + ": read error";
        return std::nullopt;
    }
    return text;
}

std::optional<std::string> listedCodeMismatch(const SourceMapReport& report,
                                              const std::function<uint8_t(uint16_t)>& codeAt,
                                              uint32_t codeLimit) {
    for (const ListedCode& listing : report.listedCode) {
        size_t differ = 0;
        std::optional<std::pair<uint16_t, uint8_t>> first;
        for (const auto& [address, value] : listing.bytes) {
            if (address <= codeLimit && codeAt(address) == value) continue;
            if (!differ++) first = {address, value};
        }
        if (!differ) continue;
        char at[5];
        std::snprintf(at, sizeof at, "%04X", first->first);
        std::string detail = "it lists code at " + std::string(at);
        if (first->first > codeLimit) {
            detail += ", beyond program memory";
        } else {
            char bytes[16];
            std::snprintf(bytes, sizeof bytes, "%02X where", first->second);
            detail += " as " + std::string(bytes) + " the program has ";
            std::snprintf(bytes, sizeof bytes, "%02X", codeAt(first->first));
            detail += bytes;
        }
        return listing.file + ": not a listing of the loaded program (" + detail + "; " +
               std::to_string(differ) + " of its " + std::to_string(listing.bytes.size()) +
               " bytes differ): its lines may be wrong";
    }
    return std::nullopt;
}

std::optional<std::string> loadSourceMap(const std::filesystem::path& path, SourceMap& map,
                                         SourceMapReport* report) {
    namespace fs = std::filesystem;
    std::string extension = path.extension().string();
    for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
    fs::path file = path;
    if (extension == ".hex" || extension == ".ihx" || extension == ".bin") {
        std::error_code ec;
        file = fs::path(path).replace_extension(".cdb");
        if (!fs::exists(file, ec)) file = fs::path(path).replace_extension(".lst");
        if (!fs::exists(file, ec))
            return path.string() + ": no .cdb or .lst file of the same name beside it";
        extension = file.extension().string();
    }
    if (extension != ".lst" && extension != ".cdb")
        return path.string() + ": a source map is an asm51 listing (.lst) or an SDCC debug file (.cdb)";
    std::string error;
    const std::optional<std::string> text = readSourceMapFile(file, error);
    if (!text) return error;
    if (report) report->filesRead.push_back(file);
    const std::string name = file.string();
    if (extension == ".lst") return parseAsm51Listing(*text, name, map, report);
    const fs::path folder = file.parent_path();
    auto rstOf = [&folder, report](const std::string& module) -> std::optional<std::string> {
        std::string ignored;
        const fs::path rst = folder / (module + ".rst");
        std::error_code ec;
        if (!fs::exists(rst, ec)) return std::nullopt;
        std::optional<std::string> rstText = readSourceMapFile(rst, ignored);
        if (rstText && report) report->filesRead.push_back(rst);
        return rstText;
    };
    return parseSdccDebug(*text, name, map, rstOf, report);
}

} // namespace quorvel
