#include "debug/program_symbols.h"

#include "debug/listing_symbols.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quorvel {

namespace {

std::optional<std::string> readText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return text.str();
}

} // namespace

std::optional<CVariables> loadProgramSymbols(SourceMapReport& report, std::vector<std::string>& warnings) {
    namespace fs = std::filesystem;
    if (report.filesRead.empty()) return std::nullopt;
    const fs::path file = report.filesRead.front();
    std::string extension = file.extension().string();
    for (char& c : extension) c = char(std::tolower(uint8_t(c)));
    if (extension != ".cdb" && extension != ".lst") return std::nullopt;
    const std::optional<std::string> text = readText(file);
    if (!text) return std::nullopt;
    CdbSymbols symbols = extension == ".cdb" ? readCdbSymbols(*text) : readListingSymbols(*text);
    for (const std::string& problem : symbols.problems) warnings.push_back(file.string() + ": " + problem);
    std::optional<uint8_t> framePointer;
    const fs::path map = fs::path(file).replace_extension(".map");
    std::error_code ec;
    if (extension == ".cdb" && fs::exists(map, ec)) {
        if (const std::optional<std::string> mapText = readText(map)) {
            report.filesRead.push_back(map);
            framePointer = framePointerFromMap(*mapText);
        }
    }
    return CVariables(std::move(symbols), framePointer);
}

} // namespace quorvel
