#include "cli/cli_board.h"

#include "cli/cli_report.h"
#include "cli/cli_run.h"
#include "cli/cli_wave.h"
#include "debug/recording_file.h"
#include "machine/code_coverage.h"
#include "modules/iic_settings.h"
#include "modules/keys.h"
#include "modules/led_display.h"
#include "modules/serial_host.h"
#include "modules/spi_settings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <sstream>

namespace quorvel::cli {

namespace {

[[noreturn]] void fail(const std::string& message) { throw BoardError(message); }

void check(const Validation& refused) {
    if (refused) fail(refused->text);
}

// The command-line runner's options for the configuration, parsed by its
// own parser, so the board takes exactly what the runner takes.
CliOptions optionsOf(const BoardConfig& c) {
    std::vector<std::string> args{"--device", c.device, "--clock", std::to_string(c.clockHz),
                                  "--xdata", std::to_string(c.xdataKB)};
    if (!c.codeMemory.empty()) args.insert(args.end(), {"--code-memory", c.codeMemory});
    if (!c.modules.empty()) args.insert(args.end(), {"--modules", c.modules});
    for (const auto& [line, setting] : c.pins) args.insert(args.end(), {"--pin", line + "=" + setting});
    args.push_back("board"); // the program comes with load()
    const std::vector<std::string_view> views(args.begin(), args.end());
    ParseResult parsed = parseCommandLine(views);
    if (!parsed.error.empty()) fail(parsed.error);
    parsed.options.program.clear();
    return parsed.options;
}

} // namespace

Board::Board(BoardConfig config) : options_(optionsOf(config)), record_(config.record) {
    if (config.recordLines) wave_ = std::make_unique<WaveRecorder>();
    build(options_, false);
}

Board::Board(CliOptions options, bool recordLines) : options_(std::move(options)) {
    if (recordLines) wave_ = std::make_unique<WaveRecorder>();
    build(options_, true);
}

Board::~Board() {
    if (session_) {
        session_->machine.chip.events = nullptr;
        session_->machine.wave = nullptr;
    }
}

void Board::build(const CliOptions& options, bool withProgram) {
    auto session = std::make_unique<Session>();
    std::istringstream noInput;
    const std::optional<std::string> failure =
        withProgram ? setUpSession(options, *session, noInput) : setUpBoard(options, session->machine);
    if (failure) fail(*failure);
    Machine& m = session->machine;
    // A keypad follows the program's scanning as with its window open.
    if (keypadType(m.modules.settings) != kKeypadNone) {
        cleanKeyboardSettings(m.modules.settings);
        keypadRelease(m.modules.keypad);
        m.modules.keypad.windowOpen = true;
    }
    auto events = std::make_unique<UartRecorder>(m, false);
    events->setMatch(&session->debug.uart);
    m.chip.events = events.get();
    if (wave_) {
        wave_->clear();
        m.wave = wave_.get();
    }
    resetModulesOnRunStart(m.modules);
    if (session_) session_->machine.chip.events = nullptr;
    session_ = std::move(session);
    events_ = std::move(events);
    pending_.clear();
    heldKeys_ = 0;
    lastStop_ = DebugStop::CycleLimit;
    if (record_) setRecording(true);
}

void Board::load(const std::string& path, const std::string& sourceMap) {
    CliOptions options = options_;
    options.program = path;
    options.sourceMap = sourceMap;
    build(options, true);
}

void Board::reset() {
    // As the GUI's Reset CPU: program time counts from the reset.
    Machine& m = machine();
    m.chip.reset();
    m.chip.setCycleCount(0);
    resetModulesOnCpuReset(m.modules);
    m.chip.side.instructionAddress = m.chip.pc;
    lastStop_ = DebugStop::CycleLimit;
    // The recorded history cannot hold a reset: it starts again here.
    if (recording()) setRecording(true);
}

uint64_t Board::cyclesOf(double ms) const {
    if (!(ms >= 0) || !std::isfinite(ms)) fail("a time takes a number of milliseconds from 0 on");
    return uint64_t(std::llround(ms * 1000.0 / double(machine().chip.cycleTimeUs)));
}

double Board::timeMs() const { return double(cycles()) * double(machine().chip.cycleTimeUs) / 1000.0; }

int Board::lineIndex(const std::string& name) const {
    const std::optional<std::vector<int>> lines = parseLineList(name);
    if (!lines || lines->size() != 1)
        fail("'" + name + "' is not a port line: give Pp.b with p 0-3 and b 0-7, e.g. P1.0");
    const int pin = lines->front();
    if (!(machine().profile.availablePinMask >> pin & 1u))
        fail(name + " is not a port line of the " + machine().selection.info().captionName);
    return pin;
}

void Board::apply(const MachineInput& input) { check(debug().input(input)); }

void Board::logEdit() {
    History* history = debug().history();
    if (!history) return;
    MachineInput state;
    state.kind = MachineInput::Kind::Machine;
    state.bytes = encodeSnapshot(takeSnapshot(machine()));
    history->logApplied(machine(), state);
}

bool Board::watchOperands(const std::string& condition) {
    DebugSession& d = debug();
    std::vector<std::string> names;
    const std::vector<std::string> globals = d.globalNames(), locals = d.localNames();
    auto among = [](const std::vector<std::string>& list, const std::string& name) {
        return std::find(list.begin(), list.end(), name) != list.end();
    };
    for (const std::string& operand : DebugSession::conditionOperands(condition)) {
        if (operand.empty()) return false;
        if (std::isdigit(static_cast<unsigned char>(operand.front())) || operand.front() == '-') continue;
        // A global variable's bytes stay where they are; a local's move with
        // its function's frame, and what a pointer or an index reaches may
        // move too.
        if (!among(globals, operand) || among(locals, operand) || d.watchable(operand)) return false;
        names.push_back(operand);
    }
    if (names.empty()) return false;
    for (const std::string& name : names) d.watch(name);
    return true;
}

RunStop Board::run(const RunRequest& q) {
    DebugSession& d = debug();
    Machine& m = machine();
    // The conditions hold for this run only.
    struct Clear {
        DebugSession& d;
        ~Clear() {
            d.untilPc.reset();
            d.untilPinLevel.reset();
            d.uart.clear();
            d.clearLineBreaks();
            d.clearWatchpoints();
        }
    } clear{d};

    RunLimits limits;
    std::optional<uint64_t> budget = q.cycles;
    if (q.timeoutMs) budget = std::min(budget.value_or(UINT64_MAX), cyclesOf(*q.timeoutMs));
    limits.maxCycles = budget.value_or(kDefaultRunCycles);
    // A line or condition the program is at already is met when it comes again.
    limits.resume = true;

    if (q.untilPc) {
        if (*q.untilPc > m.chip.codeLimit) fail("until_pc is beyond the program memory");
        d.untilPc = q.untilPc;
    }
    if (!q.untilLine.empty()) {
        const SourceMap* map = d.sourceMap();
        if (!map) fail("until_line needs a source map: load the program with source_map=");
        const size_t colon = q.untilLine.rfind(':');
        uint32_t line = 0;
        try {
            if (colon != std::string::npos) line = uint32_t(std::stoul(q.untilLine.substr(colon + 1)));
        } catch (const std::exception&) {
        }
        if (colon == std::string::npos || line == 0)
            fail("until_line takes FILE:LINE (a line number from 1), not '" + q.untilLine + "'");
        std::string error;
        const auto resolved = map->resolveLine(q.untilLine.substr(0, colon), line, &error);
        if (!resolved) fail(error);
        CodeAddressSet addresses;
        for (uint16_t a : resolved->addresses) addresses.set(a);
        d.setLineBreaks(addresses);
    }
    if (q.pin) {
        if (q.pin->second != 0 && q.pin->second != 1) fail("a pin level is 0 or 1");
        d.untilPinLevel = DebugSession::PinLevelStop{lineIndex(q.pin->first), q.pin->second == 1};
    }
    if (q.uart)
        if (auto error = d.uart.expect(*q.uart, q.uartRegex)) fail(*error);
    bool conditionMet = false;
    if (!q.until.empty()) {
        if (auto problem = DebugSession::codeBreakProblem(CodeBreak{0, q.until, {}, {}, 0})) fail(*problem);
        std::string error;
        if (!d.holds(q.until, error)) fail("until '" + q.until + "': " + error);
    }

    // A C condition on variables alone can change only when one of them
    // is written: they are watched, and the condition looked at when one
    // changed. Any other condition (a register, an expression through a
    // pointer) is looked at after every instruction.
    const bool watched = !q.until.empty() && watchOperands(q.until);
    // The serial bytes written wait for the host to be free.
    if (!q.until.empty() && !watched) limits.batchSteps = 1;
    else if (!pending_.empty()) limits.batchSteps = 64;
    std::string conditionError;
    auto feedSerial = [&] {
        if (pending_.empty() || !serialHostReady(m.chip)) return;
        MachineInput in;
        in.kind = MachineInput::Kind::SerialByte;
        in.value = pending_.front();
        pending_.pop_front();
        apply(in);
    };
    limits.carryOn = [&] {
        feedSerial();
        if (q.until.empty() || watched) return true;
        const std::optional<bool> holds = d.holds(q.until, conditionError);
        conditionMet = holds.value_or(true);
        return !conditionMet;
    };
    feedSerial();

    DebugRun run = d.run(limits);
    uint64_t steps = run.steps, cycles = run.cycles;
    while (watched && run.stop == DebugStop::Watch) {
        const std::optional<bool> holds = d.holds(q.until, conditionError);
        conditionMet = holds.value_or(true);
        if (conditionMet) break;
        if (*limits.maxCycles <= run.cycles) {
            run.stop = DebugStop::CycleLimit;
            break;
        }
        *limits.maxCycles -= run.cycles;
        run = d.run(limits);
        steps += run.steps;
        cycles += run.cycles;
    }
    RunStop stop;
    stop.reason = conditionMet ? "until" : std::string(debugStopName(run.stop));
    lastStop_ = run.stop;
    run.steps = steps;
    run.cycles = cycles;
    stop.cycles = run.cycles;
    stop.steps = run.steps;
    stop.pc = m.chip.pc;
    if (run.stop == DebugStop::Output) stop.matched = d.uart.takeMatch();
    if (!conditionError.empty()) fail("until '" + q.until + "': " + conditionError);
    return stop;
}

// ---- serial line

void Board::uartWrite(const std::string& bytes) { pending_.insert(pending_.end(), bytes.begin(), bytes.end()); }

std::string Board::uartRead() { return debug().uart.takeUnread(); }

std::string Board::uartExpect(const std::string& pattern, double withinMs) {
    RunRequest q;
    q.uart = pattern;
    q.uartRegex = true;
    q.timeoutMs = withinMs;
    const RunStop stop = run(q);
    if (stop.reason == "uart") return stop.matched;
    std::string unread(debug().uart.unread());
    fail("the serial line did not send '" + pattern + "' within " + std::to_string(withinMs) +
         " ms (run ended: " + stop.reason + "); unread: \"" + unread + "\"");
}

// ---- port lines

int Board::pinLevel(const std::string& name) const {
    return int(machine().chip.pinSideLevels() >> lineIndex(name) & 1u);
}

void Board::setPin(const std::string& name, int level) {
    if (level != 0 && level != 1) fail("a pin level is 0 or 1");
    MachineInput in;
    in.kind = MachineInput::Kind::PinLevel;
    in.pin = lineIndex(name);
    in.value = uint32_t(level);
    // The line's input setting follows, as the I/O window's does. The
    // history logs levels, not settings: a line that was not driven
    // before is logged as the whole machine with its new setting.
    PinState& pins = machine().chip.pins;
    const bool wasDriven = !(pins.ncMask >> in.pin & 1u);
    pins.setSetting(in.pin, level ? kInput1 : kInput0);
    if (!wasDriven) logEdit();
    apply(in);
}

void Board::idle(double ms) {
    RunRequest q;
    q.cycles = cyclesOf(ms);
    if (*q.cycles) run(q);
}

void Board::pulse(const std::string& name, int level, double ms) {
    setPin(name, level);
    idle(ms);
    setPin(name, 1 - level);
}

// ---- parts

std::vector<std::string> Board::lcdLines() const {
    const Machine& m = machine();
    const uint8_t options = m.modules.settings.LcdOptions;
    std::vector<std::string> rows;
    for (int row = 0; row < lcdGeometry(options).rows; ++row) rows.push_back(lcdRowText(m.modules.lcd, options, row));
    return rows;
}

std::map<std::string, int> Board::leds() const {
    const Machine& m = machine();
    LedDigitMemory memory = m.modules.ledDigitMemory;
    const LedEvaluation e = evaluateLeds(m.modules.settings, m.chip.portLatches(), memory, true);
    std::map<std::string, int> lit;
    for (int pin = 0; pin < 32; ++pin)
        if (e.pointConnected >> pin & 1u) lit[pinRefName(pinRefFromIndex(pin))] = int(e.pointLit >> pin & 1u);
    return lit;
}

std::string Board::digits() const {
    const Machine& m = machine();
    LedDigitMemory memory = m.modules.ledDigitMemory;
    const LedEvaluation e = evaluateLeds(m.modules.settings, m.chip.portLatches(), memory, true);
    std::string text;
    for (int d = 0; d < e.digitCount; ++d) text += segmentText(e.digits[size_t(d)]);
    return text;
}

void Board::keyHold(const std::string& line, bool held) {
    const int pin = lineIndex(line);
    const Machine& m = machine();
    const std::vector<int> keys = momentaryKeyLines(m.modules.settings, m.profile.availablePinMask);
    if (std::find(keys.begin(), keys.end(), pin) == keys.end())
        fail("no momentary key on " + line + " in the module settings");
    heldKeys_ = held ? heldKeys_ | 1u << pin : heldKeys_ & ~(1u << pin);
    MachineInput in;
    in.kind = MachineInput::Kind::HeldKeys;
    in.value = heldKeys_;
    apply(in);
}

void Board::keyPress(const std::string& line, double holdMs) {
    keyHold(line, true);
    idle(holdMs);
    keyHold(line, false);
}

void Board::keyToggle(const std::string& line) {
    const int pin = lineIndex(line);
    const Machine& m = machine();
    const std::vector<int> keys = toggleKeyLines(m.modules.settings, m.profile.availablePinMask);
    if (std::find(keys.begin(), keys.end(), pin) == keys.end())
        fail("no toggle key on " + line + " in the module settings");
    MachineInput in;
    in.kind = MachineInput::Kind::ToggleKey;
    in.pin = pin;
    apply(in);
}

void Board::keypadHold(const std::string& key, bool held) {
    const ModuleSettings& s = machine().modules.settings;
    const int type = keypadType(s);
    if (type == kKeypadNone) fail("the module settings have no keypad");
    int number = -1;
    std::string names;
    for (int k = 0; k < keypadKeyCount(type); ++k) {
        if (keyName(s, k) == key) number = k;
        names += " " + std::string(keyName(s, k));
    }
    if (number < 0) fail("the keypad has no key '" + key + "'; its keys:" + names);
    MachineInput in;
    in.kind = MachineInput::Kind::KeypadKey;
    in.value = held ? uint32_t(number) : uint32_t(kNoKeyHeld);
    apply(in);
}

void Board::keypadPress(const std::string& key, double holdMs) {
    keypadHold(key, true);
    idle(holdMs);
    keypadHold(key, false);
}

std::span<uint8_t> Board::partMemory(const std::string& part) const {
    Machine& m = const_cast<Machine&>(machine());
    if (part == "iic-eeprom")
        return std::span(m.modules.iic.eeprom.EepromMemory)
            .first(iicEepromTypeInfo(iicEepromType(m.modules.settings.iic)).size);
    if (part == "rtc") return std::span(m.modules.iic.rtc.RtcMemory);
    if (part == "spi-eeprom")
        return std::span(m.modules.spiEeprom.memory).first(size_t(spiEepromSize(spiEepromType(m.modules.settings.spi))));
    fail("no part '" + part + "': iic-eeprom, rtc or spi-eeprom");
}

size_t Board::partSize(const std::string& part) const { return partMemory(part).size(); }

int Board::partByte(const std::string& part, int64_t address) const {
    const std::span<uint8_t> memory = partMemory(part);
    if (address < 0 || uint64_t(address) >= memory.size())
        fail(part + " address " + std::to_string(address) + " is beyond its " + std::to_string(memory.size()) + " bytes");
    return memory[size_t(address)];
}

void Board::setPartByte(const std::string& part, int64_t address, int value) {
    partByte(part, address);
    if (value < 0 || value > 255) fail("a byte takes a value from 0 to 255");
    partMemory(part)[size_t(address)] = uint8_t(value);
    // No input kind holds a part's memory: the whole machine is logged.
    logEdit();
}

void Board::setRtc(int hour, int minute, int second) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        fail("the clock takes hours 0-23, minutes and seconds 0-59");
    LocalTime now;
    now.hour = hour, now.minute = minute, now.second = second;
    MachineInput tick;
    tick.kind = MachineInput::Kind::ClockTick;
    tick.bytes = clockTickBytes(now);
    apply(tick);
}

// ---- program state

CValue Board::variable(const std::string& expression) const {
    const DebugSession& d = session_->debug;
    const CEvaluation e = d.evaluate(expression);
    if (!e.value) fail(e.error);
    if (!e.value->place) fail(expression + " is not available here: " + e.value->unavailable);
    return *e.value;
}

std::string Board::formatVariable(const CValue& value) const {
    return session_->debug.variables()->format(machine(), value);
}

namespace {

SpaceAddress placeOf(const Machine& m, const std::string& space, int64_t address) {
    std::string error;
    const std::optional<SpaceAddress> start = parseSpaceAddress(space + ":0", error);
    if (!start) fail(error);
    const uint32_t size = spaceSize(m, start->space);
    if (address < 0 || uint64_t(address) >= size)
        fail(space + " address " + std::to_string(address) + " is beyond its " + std::to_string(size) + " bytes");
    return SpaceAddress{start->space, uint16_t(address)};
}

} // namespace

int Board::memoryByte(const std::string& space, int64_t address) const {
    const SpaceAddress place = placeOf(machine(), space, address);
    if (auto problem = spaceAddressProblem(machine(), place)) fail(*problem);
    return session_->debug.readMemory(place, 1).at(0);
}

void Board::setMemoryByte(const std::string& space, int64_t address, int value) {
    const SpaceAddress place = placeOf(machine(), space, address);
    if (value < 0 || value > 255) fail("a byte takes a value from 0 to 255");
    const uint8_t byte = uint8_t(value);
    check(debug().writeMemory(place, std::span(&byte, 1)));
}

size_t Board::memorySize(const std::string& space) const {
    std::string error;
    const std::optional<SpaceAddress> start = parseSpaceAddress(space + ":0", error);
    if (!start) fail(error);
    return spaceSize(machine(), start->space);
}

std::map<std::string, int> Board::registers() const {
    const ChipState& chip = machine().chip;
    std::map<std::string, int> r{
        {"PC", chip.pc},           {"A", chip.acc()},         {"B", chip.sfr(sfr::B)},
        {"PSW", chip.psw()},       {"SP", chip.sfr(sfr::SP)}, {"DPTR", chip.dptr()},
    };
    for (int i = 0; i < 8; ++i) r["R" + std::to_string(i)] = chip.iram[size_t(chip.bankBase() + i)];
    return r;
}

void Board::setRegister(const std::string& name, const std::string& value) {
    if (Validation refused = debug().assign(name, value)) fail(name + ": " + refused->text);
}

std::vector<Frame> Board::stack() const {
    std::vector<Frame> frames;
    for (const StackEntry& e : session_->debug.stack()) frames.push_back({e.function, e.file, e.line, e.pc});
    return frames;
}

// ---- state

MachineSnapshot Board::snapshot() const { return takeSnapshot(machine()); }

void Board::restore(const MachineSnapshot& snapshot) {
    if (snapshot.machine.selection != machine().selection)
        fail("the snapshot was taken of another device or memory configuration");
    restoreSnapshot(snapshot, machine());
    pending_.clear();
    heldKeys_ = 0;
    debug().uart.reset();
    if (wave_) wave_->clear();
    lastStop_ = DebugStop::CycleLimit;
    // The history cannot hold a jump to another state: it starts again.
    if (recording()) setRecording(true);
}

void Board::setRecording(bool on) { debug().setRecording(on); }

void Board::save(const std::string& path) const {
    if (!recording())
        fail("the board keeps no history to save: build it with record=True, or set recording = True "
             "before the runs to be saved");
    if (auto failure = saveSessionRecording(path, session_->debug, lastStop_)) fail(*failure);
}

std::optional<std::tuple<uint64_t, uint16_t, std::string>> Board::lastWrite(const std::string& place) {
    DebugSession& d = debug();
    SpaceAddress where;
    std::string error;
    if (place.find(':') != std::string::npos) {
        const auto parsed = parseSpaceAddress(place, error);
        if (!parsed) fail(error);
        where = *parsed;
    } else {
        const CValue value = variable(place);
        if (value.place->space != CSpace::Iram && value.place->space != CSpace::Xdata)
            fail(place + " is not in internal RAM or external data memory");
        // A variable wider than a byte stands for its first byte.
        where = SpaceAddress{value.place->space == CSpace::Iram ? AddressSpace::InternalRam : AddressSpace::ExternalData,
                             value.place->bytes.front()};
    }
    std::optional<LastWrite> found;
    check(d.lastWrite(where, found));
    if (!found) return std::nullopt;
    std::string line;
    if (const SourceMap* map = d.sourceMap())
        if (const auto at = map->locationAt(found->pc)) line = map->text(*at);
    return std::make_tuple(found->cycle, found->pc, line);
}

std::string Board::vcdText() const {
    if (!wave_) fail("the board keeps no port-line changes: build it with record_lines=True");
    return waveformText(options_, machine(), *wave_, waveformDate());
}

void Board::profile(bool on) {
    if (on) machine().codeProfile.enable();
    else machine().codeProfile.disable();
}

std::map<uint16_t, std::pair<uint64_t, uint64_t>> Board::profileCounts() const {
    const CodeProfile& p = machine().codeProfile;
    if (!p.enabled()) fail("the profile is off: call profile(True) before the run");
    std::map<uint16_t, std::pair<uint64_t, uint64_t>> counts;
    for (size_t a = 0; a < p.counts.size(); ++a)
        if (p.counts[a].executions) counts[uint16_t(a)] = {p.counts[a].executions, p.counts[a].cycles};
    return counts;
}

double Board::coverage() const {
    const CodeProfile& p = machine().codeProfile;
    if (!p.enabled()) fail("the profile is off: call profile(True) before the run");
    const Coverage c = codeCoverage(p, machine().chip, options_.startAddress.value_or(0));
    if (c.instructions.empty()) return 0.0;
    return 1.0 - double(c.missed.size()) / double(c.instructions.size());
}

} // namespace quorvel::cli
