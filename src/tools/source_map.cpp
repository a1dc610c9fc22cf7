#include "tools/source_map.h"

#include <algorithm>

namespace quorvel {

namespace {

std::string_view baseName(std::string_view path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool byStart(const SourceRange& a, const SourceRange& b) { return a.start < b.start; }

} // namespace

uint32_t SourceMap::fileIndex(std::string_view name) {
    if (const auto it = fileIndices_.find(name); it != fileIndices_.end()) return it->second;
    const auto index = uint32_t(files_.size());
    files_.emplace_back(name);
    fileIndices_.emplace(files_.back(), index);
    return index;
}

void SourceMap::addMark(SourceLevel level, SourceLocation where, uint16_t address) {
    marks_[int(level)].push_back({where, address});
}

void SourceMap::addRange(SourceLevel level, SourceLocation where, uint32_t start, uint32_t end) {
    if (start >= end || start > 0xFFFF) return;
    addMark(level, where, uint16_t(start));
    explicit_[int(level)].push_back({start, std::min<uint32_t>(end, 0x10000), where});
}

void SourceMap::addFunction(SourceFunction function) { functions_.push_back(std::move(function)); }

void SourceMap::finish(uint32_t maxMarkExtent) {
    std::sort(functions_.begin(), functions_.end(),
              [](const SourceFunction& a, const SourceFunction& b) { return a.start < b.start; });
    for (int level = 0; level < kSourceLevels; ++level) {
        std::vector<SourceMark>& marks = marks_[level];
        std::stable_sort(marks.begin(), marks.end(),
                         [](const SourceMark& a, const SourceMark& b) { return a.address < b.address; });
        std::vector<SourceRange> ranges = std::move(explicit_[level]);
        explicit_[level].clear();
        std::stable_sort(ranges.begin(), ranges.end(), byStart);
        auto coveredByListing = [&ranges](uint32_t address) {
            auto it = std::upper_bound(ranges.begin(), ranges.end(), SourceRange{address, 0, {}}, byStart);
            return it != ranges.begin() && std::prev(it)->end > address;
        };
        const size_t listed = ranges.size();
        for (size_t i = 0; i < marks.size(); ++i) {
            // The last mark of a group at one address owns the range.
            if (i + 1 < marks.size() && marks[i + 1].address == marks[i].address) continue;
            const uint32_t start = marks[i].address;
            if (coveredByListing(start)) continue;
            uint32_t end = i + 1 < marks.size() ? marks[i + 1].address : 0x10000u;
            if (const SourceFunction* f = functionAt(uint16_t(start)))
                end = std::min<uint32_t>(end, uint32_t(f->last) + 1);
            else
                end = std::min(end, start + maxMarkExtent);
            ranges.push_back({start, end, marks[i].where});
        }
        std::inplace_merge(ranges.begin(), ranges.begin() + long(listed), ranges.end(), byStart);
        // Two inputs may overlap (a listing and the marks of a debug file):
        // a range ends where the next begins.
        for (size_t i = 0; i + 1 < ranges.size(); ++i)
            ranges[i].end = std::min(ranges[i].end, ranges[i + 1].start);
        std::erase_if(ranges, [](const SourceRange& r) { return r.start >= r.end; });
        ranges_[level] = std::move(ranges);
    }
}

SourceLevel SourceMap::primaryLevel() const {
    return hasLevel(SourceLevel::C) ? SourceLevel::C : SourceLevel::Assembler;
}

const SourceRange* SourceMap::rangeAt(uint16_t address, SourceLevel level) const {
    const std::vector<SourceRange>& ranges = ranges_[int(level)];
    auto it = std::upper_bound(ranges.begin(), ranges.end(), SourceRange{address, 0, {}}, byStart);
    if (it == ranges.begin()) return nullptr;
    --it;
    return it->end > address ? &*it : nullptr;
}

std::optional<SourceLocation> SourceMap::locationAt(uint16_t address, SourceLevel level) const {
    if (const SourceRange* r = rangeAt(address, level)) return r->where;
    return std::nullopt;
}

bool SourceMap::startsRange(uint16_t address, SourceLevel level) const {
    const SourceRange* r = rangeAt(address, level);
    return r && r->start == address;
}

const SourceFunction* SourceMap::functionAt(uint16_t address) const {
    auto it = std::upper_bound(functions_.begin(), functions_.end(), address,
                               [](uint16_t a, const SourceFunction& f) { return a < f.start; });
    if (it == functions_.begin()) return nullptr;
    --it;
    return it->contains(address) ? &*it : nullptr;
}

std::string SourceMap::text(const SourceLocation& where) const {
    return fileName(where.file) + ":" + std::to_string(where.line);
}

std::optional<ResolvedLine> SourceMap::resolveLine(std::string_view file, uint32_t line,
                                                   std::string* error) const {
    auto failed = [error](std::string message) -> std::optional<ResolvedLine> {
        if (error) *error = std::move(message);
        return std::nullopt;
    };
    std::optional<uint32_t> index;
    if (const auto it = fileIndices_.find(file); it != fileIndices_.end()) index = it->second;
    if (!index) {
        for (uint32_t i = 0; i < files_.size(); ++i) {
            if (baseName(files_[i]) != baseName(file)) continue;
            if (index) return failed(std::string(file) + " matches both " + files_[*index] + " and " + files_[i]);
            index = i;
        }
    }
    if (!index) return failed("the source map has no file " + std::string(file));

    const SourceLevel primary = primaryLevel();
    const SourceLevel other = primary == SourceLevel::C ? SourceLevel::Assembler : SourceLevel::C;
    for (SourceLevel level : {primary, other}) {
        std::optional<uint32_t> found;
        for (const SourceMark& m : marks_[int(level)])
            if (m.where.file == *index && m.where.line >= line && (!found || m.where.line < *found))
                found = m.where.line;
        if (!found) continue;
        ResolvedLine resolved{level, {*index, *found}, {}};
        for (const SourceMark& m : marks_[int(level)])
            if (m.where == resolved.where) resolved.addresses.push_back(m.address);
        std::sort(resolved.addresses.begin(), resolved.addresses.end());
        resolved.addresses.erase(std::unique(resolved.addresses.begin(), resolved.addresses.end()),
                                 resolved.addresses.end());
        return resolved;
    }
    return failed(files_[*index] + ":" + std::to_string(line) + " has no code (nor has any later line)");
}

} // namespace quorvel
