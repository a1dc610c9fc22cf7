#include "debug/recording_file.h"

#include "machine/snapshot.h"
#include "settings/settings_io.h"
#include "settings/snapshot_file.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quorvel {

namespace {

constexpr std::array<uint8_t, 8> kSignature{'Q', 'R', 'V', 'R', 'E', 'C', 'D', '\n'};

// The smallest byte counts of a kept snapshot's, a page version's and an
// input's records: a count read from the file is held against what is left
// before anything is allocated.
constexpr size_t kKeptRecord = 8 * 3 + 4;
constexpr size_t kVersionRecord = 8 + History::kPageSize;
constexpr size_t kInputRecord = 8 * 2 + 1 + 1 + 2 + 4 + 1 + 4;
// The largest input: a whole machine state (an edit no other kind describes).
constexpr size_t kMaxInputBytes = 1u << 20;

constexpr unsigned kLastInputKind = unsigned(MachineInput::Kind::SerialText);
constexpr unsigned kLastSpace = unsigned(AddressSpace::Code);
constexpr unsigned kLastStop = unsigned(DebugStop::Step);

void u64(ByteWriter& w, uint64_t value) {
    w.u32(uint32_t(value >> 32));
    w.u32(uint32_t(value));
}

uint64_t u64(ByteReader& r) {
    const uint64_t high = r.u32();
    return high << 32 | r.u32();
}

size_t pagesOf(size_t bytes) {
    return (bytes + History::kPageSize - 1) / History::kPageSize;
}

} // namespace

// Reads and writes the history's own fields (a friend of History).
struct RecordingCodec {
    static std::vector<uint8_t> payload(const History& h, const RecordingEnd& end) {
        ByteWriter w;
        w.u32(uint32_t(History::kPageSize));
        u64(w, h.interval_);
        u64(w, h.budget_);
        u64(w, h.end_);
        u64(w, end.cycle);
        u64(w, end.hash);
        w.u8(uint8_t(end.stop));
        w.u32(uint32_t(h.kept_.size()));
        for (const History::Kept& k : h.kept_) {
            u64(w, k.at.step);
            u64(w, k.at.cycle);
            u64(w, k.at.inputs);
            w.u32(uint32_t(k.length));
        }
        w.u32(uint32_t(h.pages_.size()));
        for (const std::vector<History::Version>& versions : h.pages_) {
            w.u32(uint32_t(versions.size()));
            for (const History::Version& v : versions) {
                u64(w, v.step);
                w.bytes(v.bytes);
            }
        }
        w.u32(uint32_t(h.log_.size()));
        for (const LoggedInput& in : h.log_) {
            u64(w, in.step);
            u64(w, in.cycle);
            w.u8(uint8_t(in.input.kind));
            w.u8(uint8_t(in.input.place.space));
            w.u16(in.input.place.address);
            w.u32(uint32_t(in.input.bytes.size()));
            w.bytes(in.input.bytes);
            w.u8(uint8_t(in.input.pin));
            w.u32(in.input.value);
        }
        return w.take();
    }

    static std::optional<std::string> read(std::span<const uint8_t> data, Recording& into) {
        ByteReader r(data);
        const auto ended = [&r] { return !r.ok(); };
        const std::string truncated = "damaged: the data ends inside the ";
        if (r.u32() != History::kPageSize || ended())
            return std::string("damaged: the snapshots' page size is not ") +
                   std::to_string(History::kPageSize);
        History h{History::Empty{}};
        RecordingEnd end;
        h.interval_ = u64(r);
        h.budget_ = size_t(std::min<uint64_t>(u64(r), SIZE_MAX));
        h.end_ = u64(r);
        end.cycle = u64(r);
        end.hash = u64(r);
        const uint8_t stop = r.u8();
        if (ended()) return truncated + "history's settings";
        if (h.interval_ == 0) return std::string("damaged: the snapshot interval is 0");
        if (stop > kLastStop)
            return "damaged: the run's stop " + std::to_string(stop) + " is unknown";
        end.stop = DebugStop(stop);

        // The kept snapshots: moments in order, the last at or before the end.
        const uint32_t keptCount = r.u32();
        if (keptCount == 0 || size_t(keptCount) > r.remaining() / kKeptRecord)
            return "damaged: " + std::to_string(keptCount) + " snapshots do not fit the file";
        size_t longest = 0;
        for (uint32_t i = 0; i < keptCount; ++i) {
            History::Kept k;
            k.at.step = u64(r);
            k.at.cycle = u64(r);
            k.at.inputs = size_t(std::min<uint64_t>(u64(r), SIZE_MAX));
            k.length = r.u32();
            const std::string which = "snapshot " + std::to_string(i + 1);
            if (k.length == 0 || k.length > kMaxSnapshotFileSize)
                return "damaged: " + which + " is " + std::to_string(k.length) + " bytes long";
            if (!h.kept_.empty() &&
                (k.at.step <= h.kept_.back().at.step || k.at.cycle < h.kept_.back().at.cycle ||
                 k.at.inputs < h.kept_.back().at.inputs))
                return "damaged: " + which + " is not after the one before it";
            longest = std::max(longest, k.length);
            h.kept_.push_back(k);
        }
        if (h.end_ < h.kept_.back().at.step || end.cycle < h.kept_.back().at.cycle)
            return std::string("damaged: the run ends before its last snapshot");

        // The pages: one list for each page of the longest byte form, each
        // in order of its moments.
        const uint32_t pageCount = r.u32();
        if (ended()) return truncated + "snapshots";
        if (pageCount != pagesOf(longest))
            return "damaged: " + std::to_string(pageCount) + " pages for snapshots of up to " +
                   std::to_string(longest) + " bytes";
        h.pages_.resize(pageCount);
        for (std::vector<History::Version>& versions : h.pages_) {
            const uint32_t count = r.u32();
            if (ended() || size_t(count) > r.remaining() / kVersionRecord)
                return truncated + "pages";
            versions.resize(count);
            for (History::Version& v : versions) {
                v.step = u64(r);
                const std::span<const uint8_t> bytes = r.bytes(History::kPageSize);
                if (ended()) return truncated + "pages";
                std::copy(bytes.begin(), bytes.end(), v.bytes.begin());
                if (&v != &versions.front() && v.step <= (&v - 1)->step)
                    return std::string("damaged: a page's versions are out of order");
            }
        }
        // Every page a snapshot's byte form covers has a version by then.
        for (const History::Kept& k : h.kept_)
            for (size_t p = 0; p < pagesOf(k.length); ++p)
                if (h.pages_[p].empty() || h.pages_[p].front().step > k.at.step)
                    return "damaged: the snapshot of step " + std::to_string(k.at.step) +
                           " lacks a page";

        // The inputs: in order, within the history, each of a known kind.
        const uint32_t inputCount = r.u32();
        if (ended() || size_t(inputCount) > r.remaining() / kInputRecord)
            return truncated + "input log";
        h.log_.resize(inputCount);
        for (LoggedInput& in : h.log_) {
            in.step = u64(r);
            in.cycle = u64(r);
            const uint8_t kind = r.u8(), space = r.u8();
            in.input.place.address = r.u16();
            const uint32_t length = r.u32();
            if (ended() || length > kMaxInputBytes || length > r.remaining())
                return truncated + "input log";
            const std::span<const uint8_t> bytes = r.bytes(length);
            in.input.bytes.assign(bytes.begin(), bytes.end());
            in.input.pin = r.u8();
            in.input.value = r.u32();
            if (ended()) return truncated + "input log";
            if (kind > kLastInputKind || space > kLastSpace || in.input.pin > 31)
                return "damaged: input " + std::to_string(&in - h.log_.data() + 1) +
                       " is of no known kind";
            in.input.kind = MachineInput::Kind(kind);
            in.input.place.space = AddressSpace(space);
            if (in.step > h.end_ || (&in != h.log_.data() && in.step < (&in - 1)->step))
                return "damaged: input " + std::to_string(&in - h.log_.data() + 1) +
                       " is out of order";
        }
        if (r.remaining() != 0)
            return "damaged: " + std::to_string(r.remaining()) + " bytes follow the input log";
        // A snapshot follows the inputs logged before its moment, and may
        // precede those logged at it.
        for (const History::Kept& k : h.kept_) {
            const auto before = std::lower_bound(
                h.log_.begin(), h.log_.end(), k.at.step,
                [](const LoggedInput& in, uint64_t step) { return in.step < step; });
            const auto atOrBefore = std::upper_bound(
                h.log_.begin(), h.log_.end(), k.at.step,
                [](uint64_t step, const LoggedInput& in) { return step < in.step; });
            if (k.at.inputs < size_t(before - h.log_.begin()) ||
                k.at.inputs > size_t(atOrBefore - h.log_.begin()))
                return "damaged: the snapshot of step " + std::to_string(k.at.step) +
                       " does not follow the input log";
        }

        // Every snapshot reads back as a machine that is safe to run.
        MachineSnapshot snapshot;
        for (size_t i = 0; i < h.kept_.size(); ++i)
            if (auto problem = decodeSnapshot(h.byteForm(i), snapshot))
                return "unusable: the snapshot of step " + std::to_string(h.kept_[i].at.step) +
                       ": " + *problem;

        h.now_ = h.end_;
        h.nowCycle_ = end.cycle;
        h.applied_ = h.log_.size();
        h.recount();
        into.history.emplace(std::move(h));
        into.end = end;
        return std::nullopt;
    }
};

const CheckedFileKind kRecordingFile{kSignature, kRecordingFileVersion, "a recording",
                                     "the recording signature", "recorded data"};

std::vector<uint8_t> encodeRecordingFile(const History& history, const RecordingEnd& end) {
    return wrapCheckedFile(kRecordingFile, RecordingCodec::payload(history, end));
}

std::optional<std::string> parseRecordingFile(std::span<const uint8_t> bytes, Recording& into) {
    std::span<const uint8_t> payload;
    if (auto problem = unwrapCheckedFile(kRecordingFile, bytes, payload)) return problem;
    Recording read;
    if (auto problem = RecordingCodec::read(payload, read)) return problem;
    into = std::move(read);
    return std::nullopt;
}

std::optional<std::string> saveRecordingFile(const std::filesystem::path& file,
                                             const History& history, const RecordingEnd& end) {
    if (!writeFileAtomically(file, encodeRecordingFile(history, end)))
        return "Unable to write the recording file " + file.string();
    return std::nullopt;
}

std::optional<std::string> saveSessionRecording(const std::filesystem::path& file,
                                                const DebugSession& session, DebugStop stop) {
    const History* history = session.history();
    const std::string refused = "Unable to write the recording file " + file.string() + ": ";
    if (!history) return refused + "no history is kept (recording is off)";
    if (history->inPast()) return refused + "the history is in its past; go to its end first";
    const Machine& machine = session.machine();
    if (Validation outside = history->checkPresent(machine)) return refused + outside->text;
    return saveRecordingFile(file, *history, RecordingEnd{machine.chip.cycleCount(), machineHash(machine), stop});
}

std::optional<std::string> loadRecordingFile(const std::filesystem::path& file, Recording& into) {
    std::string why;
    const auto bytes = readWholeFile(file, kMaxRecordingFileSize, &why);
    if (!bytes) return file.string() + ": cannot be read (" + why + ")";
    if (auto problem = parseRecordingFile(*bytes, into)) return file.string() + ": " + *problem;
    return std::nullopt;
}

std::optional<std::string> openRecording(DebugSession& session, Recording recording) {
    if (!recording.history) return "holds no history";
    Machine& machine = session.machine();
    const MachineSnapshot before = takeSnapshot(machine);
    std::optional<History> kept = session.releaseHistory();
    const auto refuse = [&](std::string why) {
        session.restoreHistory(std::move(kept));
        restoreSnapshot(before, machine);
        return why;
    };
    if (Validation refused = session.adoptHistory(std::move(*recording.history)))
        return refuse(refused->text);
    if (machine.chip.cycleCount() != recording.end.cycle || machineHash(machine) != recording.end.hash)
        return refuse("the replay does not reach the state the recording ends with");
    return std::nullopt;
}

} // namespace quorvel
