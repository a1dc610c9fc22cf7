#include "shell/program_debug.h"

#include "debug/program_symbols.h"
#include "tools/source_map_files.h"

#include <filesystem>

namespace quorvel::shell {

std::vector<std::string> ProgramDebug::programChanged(const SourceMap* map, const QString& mapPath) {
    std::vector<std::string> warnings;
    std::optional<CVariables> symbols;
    if (map && !mapPath.isEmpty()) {
        SourceMapReport report;
        report.filesRead.push_back(std::filesystem::path(mapPath.toStdU16String()));
        symbols = loadProgramSymbols(report, warnings);
    }
    session_.setSourceMap(map ? std::optional<SourceMap>(*map) : std::nullopt);
    session_.setVariables(std::move(symbols));
    session_.clearWatchpoints();
    resetCpu();
    return warnings;
}

void ProgramDebug::resetCpu() {
    if (CallStack* stack = session_.machine().callStack) stack->clear();
    selected_ = 0;
    selectedIn_.clear();
}

std::vector<uint16_t> ProgramDebug::stackPcs() const {
    std::vector<uint16_t> pcs;
    for (const StackEntry& entry : session_.stack()) pcs.push_back(entry.pc);
    return pcs;
}

size_t ProgramDebug::selectedFrame() {
    std::vector<uint16_t> now = stackPcs();
    if (now != selectedIn_ || selected_ >= now.size()) {
        selected_ = 0;
        selectedIn_ = std::move(now);
    }
    return selected_;
}

void ProgramDebug::selectFrame(size_t frame) {
    selectedIn_ = stackPcs();
    selected_ = frame < selectedIn_.size() ? frame : 0;
}

std::optional<QString> ProgramDebug::watchStopText() const {
    const Watchpoints& watchpoints = session_.watchpoints();
    if (!watchpoints.hit()) return std::nullopt;
    const WatchHit& hit = *watchpoints.hit();
    const QString place = QString::fromStdString(spaceAddressText(hit.place));
    const QString asked = QString::fromStdString(session_.watchName(hit.index));
    const QString named = asked.isEmpty() || asked.contains(':') ? place : asked + " (" + place + ")";
    return QString::asprintf("Watchpoint %s written at %04XH: %02X -> %02X", qPrintable(named),
                             unsigned(hit.writerPc), unsigned(hit.oldValue), unsigned(hit.newValue));
}

} // namespace quorvel::shell
