#include "debug/listing_symbols.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <string>

namespace quorvel {

namespace {

constexpr std::string_view kTableTitle = "SYMBOL TABLE";

struct KindRow {
    std::string_view type;
    CAddressSpace low;  // below 80H
    CAddressSpace high; // from 80H
    CBase base;
};

// What each symbol type of the table becomes; CODE and NUMB are handled
// apart.
constexpr std::array<KindRow, 4> kKinds{{
    {"DATA", CAddressSpace::Data, CAddressSpace::Sfr, CBase::Char},
    {"IDATA", CAddressSpace::Idata, CAddressSpace::Idata, CBase::Char},
    {"XDATA", CAddressSpace::Xdata, CAddressSpace::Xdata, CBase::Char},
    {"BIT", CAddressSpace::Bit, CAddressSpace::Sbit, CBase::Bit},
}};

// The words of a row: NAME TYPE VALUE DEFINED.
std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    size_t at = 0;
    while (at < line.size()) {
        const size_t begin = line.find_first_not_of(" \t\r", at);
        if (begin == std::string_view::npos) break;
        const size_t end = std::min(line.find_first_of(" \t\r", begin), line.size());
        out.push_back(line.substr(begin, end - begin));
        at = end;
    }
    return out;
}

// "00B9H" (the table's form) or "00B9".
std::optional<uint32_t> hexValue(std::string_view text) {
    if (!text.empty() && (text.back() == 'H' || text.back() == 'h')) text.remove_suffix(1);
    uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value > 0xFFFF) return std::nullopt;
    return value;
}

} // namespace

CdbSymbols readListingSymbols(std::string_view listing) {
    CdbSymbols symbols;
    const size_t table = listing.find(std::string("\n") + std::string(kTableTitle));
    if (table == std::string_view::npos) return symbols;
    int lineNumber = int(std::count(listing.begin(), listing.begin() + long(table), '\n')) + 2;
    std::string_view rest = listing.substr(table + 1);
    bool heading = false; // the NAME TYPE VALUE DEFINED line was passed
    for (; !rest.empty(); ++lineNumber) {
        const size_t end = std::min(rest.find('\n'), rest.size());
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        const std::vector<std::string_view> w = words(line);
        if (w.empty() || w[0] == kTableTitle.substr(0, 6)) continue;
        if (!heading) {
            heading = w[0] == "NAME";
            continue;
        }
        // The summary line ("0 errors, 0 warnings") ends the table.
        if (w.size() > 1 && (w[1] == "errors," || w[1] == "error,")) break;
        if (w.size() < 4) {
            symbols.problems.push_back("line " + std::to_string(lineNumber) + ": not a symbol row");
            continue;
        }
        const std::optional<uint32_t> value = hexValue(w[2]);
        if (!value) {
            symbols.problems.push_back("line " + std::to_string(lineNumber) + ": bad value '" + std::string(w[2]) + "'");
            continue;
        }
        if (w[3] == "predefined") continue;
        const std::string name(w[0]);
        if (w[1] == "CODE") {
            CFunction f;
            f.name = name;
            f.start = *value;
            symbols.functions.push_back(std::move(f));
            continue;
        }
        const auto kind = std::find_if(kKinds.begin(), kKinds.end(), [&](const KindRow& k) { return k.type == w[1]; });
        // An EQU number is known, to say it has no storage.
        if (kind == kKinds.end() && w[1] != "NUMB") continue;
        CSymbol s;
        s.name = name;
        s.type = CType{};
        s.type->base = kind == kKinds.end() ? CBase::Char : kind->base;
        s.type->isUnsigned = true;
        s.space = kind == kKinds.end() ? CAddressSpace::None : *value < 0x80 ? kind->low : kind->high;
        s.address = *value;
        s.declaredSize = 1;
        s.line = lineNumber;
        symbols.symbols.push_back(std::move(s));
    }
    // A label's code runs to the byte before the next label at a higher
    // address; the last one's to the end of program memory.
    std::vector<CFunction>& labels = symbols.functions;
    std::stable_sort(labels.begin(), labels.end(), [](const CFunction& a, const CFunction& b) { return *a.start < *b.start; });
    uint32_t nextStart = 0x10000;
    for (size_t i = labels.size(); i-- > 0;) {
        if (i + 1 < labels.size() && *labels[i + 1].start > *labels[i].start) nextStart = *labels[i + 1].start;
        labels[i].end = nextStart - 1;
    }
    return symbols;
}

} // namespace quorvel
