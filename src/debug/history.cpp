#include "debug/history.h"

#include "chip/serial_line.h"
#include "machine/watchpoints.h"
#include "modules/keys.h"
#include "modules/serial_host.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <cstring>
#include <limits>
#include <memory>

namespace quorvel {

namespace {

size_t pageCount(size_t bytes) {
    return (bytes + History::kPageSize - 1) / History::kPageSize;
}

size_t inputBytes(const LoggedInput& in) {
    return sizeof(LoggedInput) + in.input.bytes.size();
}

constexpr int kPortLines = 32;

// The serial host's own part of the chip's events, and nothing more. A
// replay goes through moments whose outward effects (the bytes a front end
// passed on, its windows' notices) happened once already; only the host's
// state follows the chip again (the next byte of a file is handed over as
// the last is received), as every front end's receiver has it follow.
class HostOnlyEvents final : public ChipEvents {
  public:
    explicit HostOnlyEvents(Machine& machine) : machine_(machine) {}
    void byteTransmitted(uint16_t entry) override {
        if (!serialLineInUse(machine_.chip))
            serialHostByteTransmitted(machine_.modules.serialHost, entry);
    }
    void byteReceived(uint16_t) override {
        serialHostByteReceived(machine_.modules.serialHost, machine_.chip);
    }
    void hostFrameSent() override {
        serialHostFrameSent(machine_.modules.serialHost, machine_.chip);
    }
    void hostByteRead(uint16_t entry, bool) override {
        serialHostByteTransmitted(machine_.modules.serialHost, entry);
    }

  private:
    Machine& machine_;
};

// While a replay runs: the machine's event receiver stands aside for the
// host's own part of it (the serial host is part of the board: every front
// end attaches it, and a replay has it whether or not a receiver is
// attached now), and the waveform recorder is detached (its lines were
// recorded once).
class ReplayEvents {
  public:
    explicit ReplayEvents(Machine& machine)
        : machine_(machine), own_(machine.chip.events), wave_(machine.wave), host_(machine) {
        machine.chip.events = &host_;
        machine.wave = nullptr;
    }
    ~ReplayEvents() {
        machine_.chip.events = own_;
        machine_.wave = wave_;
    }
    ReplayEvents(const ReplayEvents&) = delete;
    ReplayEvents& operator=(const ReplayEvents&) = delete;

  private:
    Machine& machine_;
    ChipEvents* const own_;
    WaveRecorder* const wave_;
    HostOnlyEvents host_;
};

} // namespace

std::vector<uint8_t> clockTickBytes(const LocalTime& time) {
    std::vector<uint8_t> bytes;
    for (int field : {time.year, time.month, time.day, time.weekday, time.hour, time.minute,
                      time.second, time.millisecond})
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(uint8_t(uint32_t(field) >> shift));
    return bytes;
}

bool clockTickTime(std::span<const uint8_t> bytes, LocalTime& time) {
    int* const fields[] = {&time.year,   &time.month,  &time.day,    &time.weekday,
                           &time.hour,   &time.minute, &time.second, &time.millisecond};
    if (bytes.size() != 4 * std::size(fields)) return false;
    for (size_t i = 0; i < std::size(fields); ++i) {
        uint32_t value = 0;
        for (size_t b = 0; b < 4; ++b) value |= uint32_t(bytes[4 * i + b]) << (8 * b);
        *fields[i] = int(value);
    }
    return true;
}

Validation applyInput(Machine& machine, const MachineInput& in) {
    using Kind = MachineInput::Kind;
    ChipState& chip = machine.chip;
    ModuleState& modules = machine.modules;
    const bool lineExists = in.pin >= 0 && in.pin < kPortLines &&
                            (machine.profile.availablePinMask >> in.pin & 1u) != 0;
    switch (in.kind) {
    case Kind::Memory: return writeSpace(machine, in.place, in.bytes);
    case Kind::SerialByte:
        serialHostSendByte(modules.serialHost, chip, uint8_t(in.value));
        return {};
    case Kind::PinLevel:
        if (!lineExists) return errorMessage("Input", "no port line " + std::to_string(in.pin));
        chip.pins.setLevel(in.pin, in.value != 0);
        // A line driven at a fixed level keeps its input setting in step
        // with the level, as the front end that sets the level does.
        if (chip.pins.setting[size_t(in.pin)] == kInput0 || chip.pins.setting[size_t(in.pin)] == kInput1)
            chip.pins.setting[size_t(in.pin)] = in.value ? kInput1 : kInput0;
        return {};
    case Kind::HeldKeys:
        momentaryKeysTick(modules.settings, chip.pins, machine.profile.availablePinMask, in.value);
        return {};
    case Kind::KeypadKey:
        keypadTick(modules.keypad, modules.settings, chip.pins, chip.portLatches(), int(in.value));
        if (int(in.value) == kNoKeyHeld) keypadRelease(modules.keypad);
        return {};
    case Kind::ToggleKey:
        if (!lineExists) return errorMessage("Input", "no port line " + std::to_string(in.pin));
        clickToggleKey(chip.pins, in.pin);
        return {};
    case Kind::ModuleSettings: {
        ModuleSettings settings;
        if (auto problem = decodeModuleSettings(in.bytes, settings))
            return errorMessage("Input", "module settings: " + *problem);
        modules.settings = std::move(settings);
        return {};
    }
    case Kind::ProgramCounter:
        if (in.value > chip.codeLimit) return errorMessage("Input", "PC " + std::to_string(in.value) + " is beyond the program memory");
        chip.pc = uint16_t(in.value);
        chip.side.instructionAddress = uint16_t(in.value);
        return {};
    case Kind::ClockTick: {
        LocalTime time;
        if (!clockTickTime(in.bytes, time)) return errorMessage("Input", "not a clock time");
        rtcTick(modules.iic.rtc, modules.settings.iic, time);
        return {};
    }
    case Kind::Machine: {
        MachineSnapshot state;
        if (std::optional<std::string> problem = decodeSnapshot(in.bytes, state))
            return errorMessage("Input", *problem);
        restoreSnapshot(state, machine);
        return {};
    }
    case Kind::SerialText:
        if (in.bytes.empty()) return errorMessage("Input", "no bytes to send");
        // Text typed while earlier text is still going out follows it.
        if (modules.serialHost.transmitting)
            modules.serialHost.fileBytes.insert(modules.serialHost.fileBytes.end(), in.bytes.begin(),
                                                in.bytes.end());
        else
            startFileTransmission(modules.serialHost, chip, in.bytes);
        return {};
    }
    return errorMessage("Input", "unknown input");
}

History::History(const Machine& machine, uint64_t interval, size_t budget)
    : interval_(std::max<uint64_t>(1, interval)), budget_(budget) {
    nowCycle_ = machine.chip.cycleCount();
    keep(machine);
}

void History::recount() {
    bytes_ = kept_.size() * sizeof(Kept);
    for (const std::vector<Version>& versions : pages_)
        bytes_ += versions.size() * sizeof(Version);
    inputBytes_ = 0;
    for (const LoggedInput& in : log_)
        inputBytes_ += inputBytes(in);
}

void History::setBudget(size_t bytes) {
    budget_ = bytes;
    thin();
}

std::vector<History::Moment> History::moments() const {
    std::vector<Moment> at;
    at.reserve(kept_.size());
    for (const Kept& k : kept_)
        at.push_back(k.at);
    return at;
}

void History::keep(const Machine& machine) {
    takeSnapshot(machine, scratch_);
    const std::vector<uint8_t> form = encodeSnapshot(scratch_);
    if (pages_.size() < pageCount(form.size())) pages_.resize(pageCount(form.size()));
    for (size_t p = 0; p < pageCount(form.size()); ++p) {
        const size_t from = p * kPageSize, n = std::min(kPageSize, form.size() - from);
        std::vector<Version>& versions = pages_[p];
        if (!versions.empty() && std::memcmp(versions.back().bytes.data(), &form[from], n) == 0)
            continue;
        Version& v = versions.emplace_back();
        v.step = now_;
        v.bytes.fill(0);
        std::memcpy(v.bytes.data(), &form[from], n);
        bytes_ += sizeof(Version);
    }
    kept_.push_back({{now_, machine.chip.cycleCount(), applied_}, form.size()});
    bytes_ += sizeof(Kept);
}

void History::thin() {
    while (bytes() > budget_ && kept_.size() > 2) {
        // The snapshot whose merging leaves the smallest gap for its age:
        // recent moments stay dense, older ones thin out.
        size_t best = 1;
        double bestScore = std::numeric_limits<double>::max();
        for (size_t i = 1; i + 1 < kept_.size(); ++i) {
            const double gap = double(kept_[i + 1].at.step - kept_[i - 1].at.step);
            const double age = double(end_ - kept_[i - 1].at.step) + 1;
            if (gap / age < bestScore) bestScore = gap / age, best = i;
        }
        removeKept(best);
    }
}

void History::removeKept(size_t i) {
    const uint64_t previous = kept_[i - 1].at.step, self = kept_[i].at.step,
                   next = kept_[i + 1].at.step;
    for (std::vector<Version>& versions : pages_) {
        auto after = std::upper_bound(versions.begin(), versions.end(), self,
                                      [](uint64_t s, const Version& v) { return s < v.step; });
        if (after == versions.begin()) continue;
        const auto current = after - 1;
        // The page as it was at this snapshot is still needed when it is
        // the previous one's too or the next one has none of its own.
        if (current->step <= previous || after == versions.end() || after->step > next) continue;
        versions.erase(current);
        bytes_ -= sizeof(Version);
    }
    bytes_ -= sizeof(Kept);
    kept_.erase(kept_.begin() + ptrdiff_t(i));
}

void History::beginForward() {
    if (now_ >= end_) return;
    while (kept_.size() > 1 && kept_.back().at.step > now_) {
        bytes_ -= sizeof(Kept);
        kept_.pop_back();
    }
    for (std::vector<Version>& versions : pages_)
        while (!versions.empty() && versions.back().step > now_) {
            versions.pop_back();
            bytes_ -= sizeof(Version);
        }
    for (size_t i = applied_; i < log_.size(); ++i)
        inputBytes_ -= inputBytes(log_[i]);
    log_.resize(applied_);
    end_ = now_;
}

void History::advance(const Machine& machine, uint64_t steps) {
    now_ += steps;
    end_ = now_;
    nowCycle_ = machine.chip.cycleCount();
    if (now_ - lastKeptStep() >= interval_) {
        keep(machine);
        thin();
    }
}

Validation History::input(Machine& machine, const MachineInput& input) {
    if (Validation refused = applyInput(machine, input)) return refused;
    logApplied(machine, input);
    return {};
}

void History::logApplied(const Machine& machine, const MachineInput& input) {
    beginForward();
    log_.push_back({now_, machine.chip.cycleCount(), input});
    inputBytes_ += inputBytes(log_.back());
    applied_ = log_.size();
    thin();
}

Validation History::checkPresent(const Machine& machine) const {
    if (machine.chip.cycleCount() == nowCycle_) return {};
    return errorMessage("History", "the machine is at cycle " +
                                       std::to_string(machine.chip.cycleCount()) +
                                       ", not at the recorded cycle " + std::to_string(nowCycle_) +
                                       ": it ran outside the recorded history");
}

size_t History::keptAtOrBefore(uint64_t step) const {
    const auto after = std::upper_bound(kept_.begin(), kept_.end(), step,
                                        [](uint64_t s, const Kept& k) { return s < k.at.step; });
    return after == kept_.begin() ? 0 : size_t(after - kept_.begin()) - 1;
}

std::vector<uint8_t> History::byteForm(size_t index) const {
    const Kept& k = kept_[index];
    std::vector<uint8_t> form(k.length);
    for (size_t p = 0; p < pageCount(k.length); ++p) {
        const std::vector<Version>& versions = pages_[p];
        const auto after =
            std::upper_bound(versions.begin(), versions.end(), k.at.step,
                             [](uint64_t s, const Version& v) { return s < v.step; });
        const size_t from = p * kPageSize;
        std::memcpy(&form[from], (after - 1)->bytes.data(), std::min(kPageSize, k.length - from));
    }
    return form;
}

void History::restore(size_t index, Machine& machine, MachineSnapshot& scratch) const {
    const std::vector<uint8_t> form = byteForm(index);
    // A byte form this history wrote reads back; the check stays, so a
    // fault here never runs a broken machine.
    if (decodeSnapshot(form, scratch)) return;
    restoreSnapshot(scratch, machine);
}

History::Replayed History::replaySegment(Machine& machine, size_t index, uint64_t to,
                                         const StopConditions* stops, const SegmentHit& hit,
                                         MachineSnapshot& scratch,
                                         const std::atomic<bool>* cancel) const {
    const ReplayEvents quiet(machine);
    restore(index, machine, scratch);
    Replayed at{kept_[index].at.step, kept_[index].at.inputs};
    const StopConditions none;
    // A cancellable replay runs in batches short enough to notice soon.
    const uint64_t batch = cancel ? kCancelBatch : std::numeric_limits<uint32_t>::max();
    for (;;) {
        for (; at.inputs < log_.size() && log_[at.inputs].step <= at.step; ++at.inputs)
            applyInput(machine, log_[at.inputs].input);
        if (at.step >= to || (cancel && cancel->load(std::memory_order_relaxed))) break;
        uint64_t limit = std::min(to - at.step, batch);
        if (at.inputs < log_.size()) limit = std::min(limit, log_[at.inputs].step - at.step);
        const RunResult result = runSteps(machine, uint32_t(limit), stops ? *stops : none);
        at.step += result.steps;
        if (stops && result.cause != StopCause::Steps && hit && hit(at.step, result)) break;
        if (result.steps == 0) break;
    }
    return at;
}

void History::replay(Machine& machine, size_t index, uint64_t to, const StopConditions* stops,
                     const HitSink& hit) {
    const Replayed at = replaySegment(
        machine, index, to, stops,
        [&](uint64_t step, const RunResult& result) {
            if (hit) hit(step, result);
            return false;
        },
        scratch_);
    now_ = at.step;
    nowCycle_ = machine.chip.cycleCount();
    applied_ = at.inputs;
}

Validation History::goTo(Machine& machine, uint64_t step) {
    if (step > end_)
        return errorMessage("History", "step " + std::to_string(step) +
                                           " is past the recorded history (" +
                                           std::to_string(end_) + " steps)");
    Watchpoints* const watchpoints = machine.watchpoints;
    machine.watchpoints = nullptr;
    replay(machine, keptAtOrBefore(step), step, nullptr, {});
    machine.watchpoints = watchpoints;
    return {};
}

std::optional<uint64_t> History::stepAtCycle(Machine& machine, uint64_t cycle) {
    if (cycle < kept_.front().at.cycle) return std::nullopt;
    size_t index = 0;
    while (index + 1 < kept_.size() && kept_[index + 1].at.cycle <= cycle)
        ++index;
    Watchpoints* const watchpoints = machine.watchpoints;
    machine.watchpoints = nullptr;
    const ReplayEvents quiet(machine);
    restore(index, machine, scratch_);
    uint64_t step = kept_[index].at.step;
    size_t next = kept_[index].at.inputs;
    // Batches that cannot pass the cycle (an instruction with its interrupt
    // vectoring takes at most 8 cycles), then single instructions, the last
    // of which may pass it.
    constexpr uint64_t kMostCyclesPerStep = 8;
    for (;;) {
        for (; next < log_.size() && log_[next].step <= step; ++next)
            applyInput(machine, log_[next].input);
        if (step >= end_) break;
        uint64_t limit =
            std::max<uint64_t>(1, (cycle - machine.chip.cycleCount()) / kMostCyclesPerStep);
        limit = std::min({limit, end_ - step, uint64_t(std::numeric_limits<uint32_t>::max())});
        if (next < log_.size()) limit = std::min(limit, log_[next].step - step);
        const RunResult result = runSteps(machine, uint32_t(limit));
        if (machine.chip.cycleCount() > cycle || result.steps == 0) break;
        step += result.steps;
    }
    machine.watchpoints = watchpoints;
    // The machine is somewhere else now; the caller goes to the step found.
    now_ = step;
    nowCycle_ = machine.chip.cycleCount();
    applied_ = next;
    return step;
}

bool History::searchBackwards(Machine& machine, const StopConditions& stops, const HitSink& hit,
                              bool atPresent) {
    bool any = false;
    return searchBackwardsBySegment(
        machine, stops,
        [&](uint64_t step, const RunResult& result) {
            any = true;
            hit(step, result);
        },
        [&] { return any; }, atPresent);
}

// Which segments give a stop, found ahead of the search on copies of the
// machine by as many threads as the computer has cores (the searching
// thread among them). A segment's verdict only says whether replaying it
// on the session's machine can report a stop there; that replay, in order
// and with the caller's decisions, still finds what the search returns, so
// the answer is the one a replay of every segment would give, only sooner.
// The copies leave out the call stack and the execution profile, which
// decide no stop, and so run the plain loop where the session's machine
// runs the one that feeds them.
class History::SegmentScan {
  public:
    SegmentScan(const History& history, const Machine& machine, const StopConditions& stops,
                uint64_t present, bool atPresent, size_t latest)
        : history_(history), stops_(stops), present_(present),
          atPresent_(atPresent), latest_(latest), verdicts_(latest + 1, Verdict::Unknown),
          unclaimed_(ptrdiff_t(latest) - 1), next_(ptrdiff_t(latest)) {
        // The front end's request flag is written by its event receiver,
        // which no copy has.
        stops_.request = nullptr;
        if (latest == 0) return; // the latest segment is all there is
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        const size_t workers = std::min<size_t>(cores - 1, latest);
        // Each thread's copy is taken here, before a replay moves the
        // machine from the present.
        for (size_t i = 0; i <= workers; ++i)
            copies_.push_back(copyOf(machine));
        for (size_t i = 1; i <= workers; ++i)
            workers_.emplace_back([this, i] { work(*copies_[i]); });
    }
    ~SegmentScan() {
        {
            const std::lock_guard lock(mutex_);
            cancel_ = true;
        }
        changed_.notify_all();
        for (std::thread& worker : workers_)
            worker.join();
    }
    SegmentScan(const SegmentScan&) = delete;
    SegmentScan& operator=(const SegmentScan&) = delete;

    // Whether the search replays segment `index` (its stops reported): the
    // latest at once (the others are looked over meanwhile), an earlier one
    // when it may give a stop. While another thread looks over the one it
    // waits for, the calling thread looks over the latest still free.
    bool mayStop(size_t index) {
        if (index == latest_) return true;
        std::unique_lock lock(mutex_);
        next_ = ptrdiff_t(index);
        changed_.notify_all();
        while (verdicts_[index] == Verdict::Unknown) {
            if (claimable()) {
                const size_t claimed = size_t(unclaimed_--);
                lock.unlock();
                const bool stops = scan(claimed, *copies_.front());
                lock.lock();
                verdicts_[claimed] = stops ? Verdict::Stops : Verdict::Quiet;
                changed_.notify_all();
            } else {
                changed_.wait(lock);
            }
        }
        return verdicts_[index] == Verdict::Stops;
    }

  private:
    enum class Verdict : uint8_t { Unknown, Quiet, Stops };
    // How far the scan runs ahead of the segment the search is at.
    static constexpr ptrdiff_t kLookAhead = 8;

    struct Copy {
        Machine machine;
        Watchpoints watchpoints;
        MachineSnapshot scratch;
    };

    static std::unique_ptr<Copy> copyOf(const Machine& machine) {
        auto copy = std::make_unique<Copy>(Copy{machine, {}, {}});
        Machine& m = copy->machine;
        // Neither the call stack nor the profile decides a stop.
        m.callStack = nullptr;
        m.codeProfile = CodeProfile{};
        m.wave = nullptr;
        m.chip.events = nullptr;
        m.watchpoints = nullptr;
        if (machine.watchpoints && !machine.watchpoints->empty()) {
            copy->watchpoints = *machine.watchpoints;
            m.watchpoints = &copy->watchpoints;
        }
        return copy;
    }

    bool claimable() const { return unclaimed_ >= 0 && unclaimed_ >= next_ - kLookAhead; }

    void work(Copy& copy) {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return cancel_ || claimable(); });
            if (cancel_) return;
            const size_t claimed = size_t(unclaimed_--);
            lock.unlock();
            const bool stops = scan(claimed, copy);
            lock.lock();
            verdicts_[claimed] = stops ? Verdict::Stops : Verdict::Quiet;
            changed_.notify_all();
        }
    }

    // Replays segment `index` on a copy of the machine until its first
    // stop before the present.
    bool scan(size_t index, Copy& copy) {
        const std::vector<Kept>& kept = history_.kept_;
        const uint64_t to = index + 1 < kept.size() ? std::min(kept[index + 1].at.step, present_)
                                                    : present_;
        bool stops = false;
        history_.replaySegment(
            copy.machine, index, to, &stops_,
            [&](uint64_t step, const RunResult&) {
                stops = step < present_ || (step == present_ && atPresent_);
                return stops;
            },
            copy.scratch, &cancel_);
        return stops;
    }

    const History& history_;
    StopConditions stops_;
    const uint64_t present_;
    const bool atPresent_;
    const size_t latest_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Verdict> verdicts_;
    ptrdiff_t unclaimed_; // the latest segment nobody looks over yet
    ptrdiff_t next_;      // the segment the search is at
    std::atomic<bool> cancel_ = false;
    std::vector<std::unique_ptr<Copy>> copies_; // the searching thread's first
    std::vector<std::thread> workers_;
};

bool History::searchBackwardsBySegment(Machine& machine, const StopConditions& stops,
                                       const HitSink& hit, const std::function<bool()>& found,
                                       bool atPresent) {
    const uint64_t present = now_;
    if (present == 0) return false;
    const size_t latest = keptAtOrBefore(present - 1);
    // The machine is copied before any replay moves it from the present.
    SegmentScan scan(*this, machine, stops, present, atPresent, latest);
    for (size_t index = latest;; --index) {
        if (scan.mayStop(index)) {
            const uint64_t to =
                index + 1 < kept_.size() ? std::min(kept_[index + 1].at.step, present) : present;
            replay(machine, index, to, &stops, [&](uint64_t step, const RunResult& result) {
                if (step > present || (step == present && !atPresent)) return;
                hit(step, result);
            });
            if (found()) return true;
        }
        if (index == 0) return false;
    }
}

bool History::visitBackwards(Machine& machine, const MomentVisitor& visit) {
    const uint64_t present = now_;
    if (present <= kept_.front().at.step) return false;
    Watchpoints* const watchpoints = machine.watchpoints;
    machine.watchpoints = nullptr;
    const ReplayEvents quiet(machine);
    std::vector<MomentFacts> moments;
    bool found = false;
    size_t index = keptAtOrBefore(present - 1);
    uint64_t step = 0;
    size_t next = 0;
    for (;;) {
        const uint64_t to =
            index + 1 < kept_.size() ? std::min(kept_[index + 1].at.step, present) : present;
        restore(index, machine, scratch_);
        step = kept_[index].at.step;
        next = kept_[index].at.inputs;
        moments.clear();
        for (;;) {
            for (; next < log_.size() && log_[next].step <= step; ++next)
                applyInput(machine, log_[next].input);
            if (step >= to) break;
            moments.push_back({step, machine.chip.cycleCount(), machine.chip.pc,
                               machine.callStack ? machine.callStack->depth() : 0,
                               machine.chip.pinSideLevels()});
            if (runSteps(machine, 1).steps == 0) break;
            ++step;
        }
        for (auto m = moments.rbegin(); m != moments.rend() && !found; ++m)
            found = visit(*m);
        if (found || index == 0) break;
        --index;
    }
    machine.watchpoints = watchpoints;
    now_ = step;
    nowCycle_ = machine.chip.cycleCount();
    applied_ = next;
    return found;
}

} // namespace quorvel
