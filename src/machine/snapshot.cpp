#include "machine/snapshot.h"

#include "machine/snapshot_fields.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>

namespace quorvel {

namespace {

using namespace snapshot_fields;

template <class T> constexpr bool kIsArray = false;
template <class T, std::size_t N> constexpr bool kIsArray<std::array<T, N>> = true;
template <class T> constexpr bool kIsVector = false;
template <class T> constexpr bool kIsVector<std::vector<T>> = true;
template <class T> constexpr bool kIsString = std::is_same_v<T, std::string>;
template <class T> constexpr bool kIsContainer = kIsVector<T> || kIsString<T>;
// Elements whose byte form is the byte itself: copied as a block.
template <class T> constexpr bool kIsByte = std::is_same_v<T, uint8_t> || std::is_same_v<T, char>;
template <class T> struct NoByteForm : std::false_type {};

// ---- copying (take and restore)

// Assigns every listed field of `from` to `to`, leaving the skipped ones
// (the pointers) as `to` has them.
template <class S> void assignState(S& to, const S& from) {
    forEachFieldPair(to, from, [](const char*, auto& a, const auto& b) {
        using T = std::remove_cvref_t<decltype(a)>;
        if constexpr (HasFields<T>)
            assignState(a, b);
        else
            a = b;
    });
}

// ---- the byte form: fixed widths, little-endian, lengths first

template <class Sink> class Writer {
public:
    explicit Writer(Sink& sink) : sink_(sink) {}

    template <class T> void value(const T& v) {
        if constexpr (HasFields<T>) {
            forEachField(v, [&](const char*, const auto& member, std::size_t) { value(member); });
        } else if constexpr (std::is_same_v<T, bool>) {
            sink_.byte(v ? 1 : 0);
        } else if constexpr (std::is_enum_v<T>) {
            integer(uint64_t(std::underlying_type_t<T>(v)), sizeof(T));
        } else if constexpr (std::is_integral_v<T>) {
            integer(uint64_t(std::make_unsigned_t<T>(v)), sizeof(T));
        } else if constexpr (std::is_same_v<T, float>) {
            integer(std::bit_cast<uint32_t>(v), 4);
        } else if constexpr (std::is_same_v<T, double>) {
            integer(std::bit_cast<uint64_t>(v), 8);
        } else if constexpr (kIsArray<T> || kIsContainer<T>) {
            if constexpr (kIsContainer<T>) integer(v.size(), 4);
            if constexpr (kIsByte<typename T::value_type>)
                sink_.bytes(reinterpret_cast<const uint8_t*>(v.data()), v.size());
            else
                for (const auto& element : v) value(element);
        } else {
            static_assert(NoByteForm<T>::value, "a state member of a type without a byte form");
        }
    }

private:
    void integer(uint64_t v, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i) sink_.byte(uint8_t(v >> (8 * i)));
    }
    Sink& sink_;
};

struct ByteSink {
    std::vector<uint8_t>& out;
    void byte(uint8_t b) { out.push_back(b); }
    void bytes(const uint8_t* p, std::size_t n) { out.insert(out.end(), p, p + n); }
};

// A 64-bit hash over a byte stream, eight bytes (read little-endian) at a
// time, the length mixed in at the end. Fast enough for 128 KB of memories
// in tens of microseconds; not meant against an adversary.
class Hasher {
public:
    void byte(uint8_t b) {
        pending_ |= uint64_t(b) << (8 * pendingBytes_);
        ++length_;
        if (++pendingBytes_ == 8) flushPending();
    }
    void bytes(const uint8_t* p, std::size_t n) {
        while (n != 0 && pendingBytes_ != 0) byte(*p++), --n;
        for (; n >= 8; p += 8, n -= 8) {
            uint64_t word = 0;
            for (int i = 0; i < 8; ++i) word |= uint64_t(p[i]) << (8 * i);
            mix(word);
            length_ += 8;
        }
        while (n-- != 0) byte(*p++);
    }
    uint64_t finish() {
        if (pendingBytes_ != 0) mix(pending_);
        uint64_t h = state_ ^ length_;
        // The final avalanche of a well-known 64-bit mixer.
        h ^= h >> 33;
        h *= 0xFF51AFD7ED558CCDull;
        h ^= h >> 33;
        h *= 0xC4CEB9FE1A85EC53ull;
        h ^= h >> 33;
        return h;
    }

private:
    void mix(uint64_t word) {
        state_ ^= word * 0x9E3779B97F4A7C15ull;
        state_ = std::rotl(state_, 29) * 0xBF58476D1CE4E5B9ull;
    }
    void flushPending() {
        mix(pending_);
        pending_ = 0;
        pendingBytes_ = 0;
    }
    uint64_t state_ = 0x51ED270B27A3C0DDull;
    uint64_t length_ = 0;
    uint64_t pending_ = 0;
    int pendingBytes_ = 0;
};

class Reader {
public:
    explicit Reader(std::span<const uint8_t> data) : data_(data) {}

    const std::optional<std::string>& error() const { return error_; }
    std::size_t remaining() const { return data_.size() - position_; }

    // A whole struct, named `name` in messages.
    template <class S> void root(const char* name, S& s) {
        path_.push_back(name);
        object(s);
        path_.pop_back();
    }

    template <class S> void object(S& s) {
        forEachField(s, [&](const char* name, auto& member, std::size_t maxLength) {
            if (error_) return;
            path_.push_back(name);
            value(member, maxLength);
            path_.pop_back();
        });
    }

    void fail(const std::string& what) {
        if (!error_) error_ = what;
    }
    std::string path() const {
        std::string text;
        for (const char* name : path_) text += (text.empty() ? "" : ".") + std::string(name);
        return text;
    }

private:
    template <class T> void value(T& v, std::size_t maxLength) {
        if (error_) return;
        if constexpr (HasFields<T>) {
            object(v);
        } else if constexpr (std::is_same_v<T, bool>) {
            const uint64_t raw = integer(1);
            if (raw > 1) fail(path() + " holds " + std::to_string(raw) + ", not a truth value");
            v = raw == 1;
        } else if constexpr (std::is_enum_v<T>) {
            const uint64_t raw = integer(sizeof(T));
            if (raw > enumLast(T{}))
                fail(path() + " holds " + std::to_string(raw) + ", beyond its last value " +
                     std::to_string(enumLast(T{})));
            v = T(raw);
        } else if constexpr (std::is_integral_v<T>) {
            v = T(std::make_unsigned_t<T>(integer(sizeof(T))));
        } else if constexpr (std::is_same_v<T, float>) {
            v = std::bit_cast<float>(uint32_t(integer(4)));
        } else if constexpr (std::is_same_v<T, double>) {
            v = std::bit_cast<double>(integer(8));
        } else if constexpr (kIsArray<T> || kIsContainer<T>) {
            if constexpr (kIsContainer<T>) {
                const uint64_t length = integer(4);
                if (error_) return;
                // Bounded before anything is allocated; each element takes
                // a byte at least, so a length beyond the data is cut off
                // here too.
                if (length > maxLength) {
                    fail(path() + " holds " + std::to_string(length) + " entries, more than the " +
                         std::to_string(maxLength) + " it may");
                    return;
                }
                if (length > remaining()) {
                    fail("the data ends inside " + path());
                    return;
                }
                v.resize(std::size_t(length));
            }
            if constexpr (kIsByte<typename T::value_type>) {
                if (v.size() > remaining()) {
                    fail("the data ends inside " + path());
                    return;
                }
                if (!v.empty()) std::memcpy(v.data(), data_.data() + position_, v.size());
                position_ += v.size();
            } else {
                for (auto& element : v) value(element, maxLength);
            }
        } else {
            static_assert(NoByteForm<T>::value, "a state member of a type without a byte form");
        }
    }

    uint64_t integer(std::size_t width) {
        if (error_) return 0;
        if (remaining() < width) {
            fail("the data ends inside " + path());
            return 0;
        }
        uint64_t v = 0;
        for (std::size_t i = 0; i < width; ++i) v |= uint64_t(data_[position_ + i]) << (8 * i);
        position_ += width;
        return v;
    }

    std::span<const uint8_t> data_;
    std::size_t position_ = 0;
    std::vector<const char*> path_;
    std::optional<std::string> error_;
};

// ---- the layout fingerprint: the field tables themselves, hashed

template <class T> void describe(Hasher& h);

template <class F> void describeField(Hasher& h, const F& f) {
    if constexpr (!F::skipped) {
        for (const char* c = f.name; *c != 0; ++c) h.byte(uint8_t(*c));
        h.byte(0);
        describe<typename F::Type>(h);
    }
}

template <class T> void describe(Hasher& h) {
    if constexpr (HasFields<T>) {
        h.byte('{');
        std::apply([&](const auto&... f) { (describeField(h, f), ...); }, FieldList<T>::fields);
        h.byte('}');
    } else if constexpr (kIsArray<T>) {
        h.byte('A');
        for (int i = 0; i < 4; ++i) h.byte(uint8_t(std::tuple_size_v<T> >> (8 * i)));
        describe<typename T::value_type>(h);
    } else if constexpr (kIsVector<T>) {
        h.byte('V');
        describe<typename T::value_type>(h);
    } else if constexpr (kIsString<T>) {
        h.byte('S');
    } else if constexpr (std::is_enum_v<T>) {
        h.byte('E'), h.byte(uint8_t(sizeof(T))), h.byte(uint8_t(enumLast(T{})));
    } else {
        h.byte(std::is_same_v<T, bool> ? 'B' : std::is_floating_point_v<T> ? 'F'
               : std::is_signed_v<T>   ? 'I'
                                       : 'U');
        h.byte(uint8_t(sizeof(T)));
    }
}

// The order of the byte form: the machine, then the call stack.
template <class Sink>
void writeSnapshot(Sink& sink, const Machine& machine, const CallStack& stack) {
    Writer<Sink> writer(sink);
    writer.value(machine);
    writer.value(stack);
}

// ---- comparison

// Sets `path` to the first differing field below `prefix`.
template <class S> bool findDifference(const S& a, const S& b, const std::string& prefix,
                                       std::string& path) {
    bool found = false;
    forEachFieldPair(a, b, [&](const char* name, const auto& x, const auto& y) {
        if (found) return;
        using T = std::remove_cvref_t<decltype(x)>;
        const std::string here = prefix + "." + name;
        if constexpr (HasFields<T>) {
            found = findDifference(x, y, here, path);
        } else if constexpr (kIsArray<T> || kIsVector<T>) {
            if (x.size() != y.size()) {
                found = true;
                path = here + " (sizes " + std::to_string(x.size()) + " and " +
                       std::to_string(y.size()) + ")";
                return;
            }
            for (std::size_t i = 0; i < x.size() && !found; ++i) {
                using E = typename T::value_type;
                if constexpr (HasFields<E>) {
                    found = findDifference(x[i], y[i], here + "[" + std::to_string(i) + "]", path);
                } else if (!(x[i] == y[i])) {
                    found = true;
                    path = here + "[" + std::to_string(i) + "]";
                }
            }
        } else if constexpr (std::is_floating_point_v<T>) {
            // Bit for bit, as the byte form has them.
            if (std::memcmp(&x, &y, sizeof(T)) != 0) found = true, path = here;
        } else if (!(x == y)) {
            found = true;
            path = here;
        }
    });
    return found;
}

// ---- invariants of a snapshot read from outside

std::optional<std::string> invariantProblem(const MachineSnapshot& s) {
    const ChipState& chip = s.machine.chip;
    const auto finiteWithin = [](double v, double low, double high) {
        return std::isfinite(v) && v >= low && v <= high;
    };
    if (chip.code.size() != std::size_t(chip.codeLimit) + 1)
        return "machine.chip.code holds " + std::to_string(chip.code.size()) +
               " bytes for a code limit of " + std::to_string(chip.codeLimit);
    const std::size_t xdataSize = chip.xdataLimit == 0 ? 0 : std::size_t(chip.xdataLimit) + 1;
    if (chip.xdata.size() != xdataSize)
        return "machine.chip.xdata holds " + std::to_string(chip.xdata.size()) +
               " bytes for a data limit of " + std::to_string(chip.xdataLimit);
    if (!chip.eeprom.empty() && chip.eeprom.size() != 2048)
        return "machine.chip.eeprom holds " + std::to_string(chip.eeprom.size()) +
               " bytes (0 or 2048)";
    if (!s.machine.codeProfile.counts.empty() && s.machine.codeProfile.counts.size() != kCodeSpace)
        return "machine.codeProfile.counts holds " +
               std::to_string(s.machine.codeProfile.counts.size()) + " entries (0 or 65536)";
    // The fastest device clock (33 MHz) gives 0.36 us; far shorter times
    // would make periods counted in cycles (the watchdog's) overflow.
    if (!finiteWithin(chip.cycleTimeUs, 1e-2, 1e6) ||
        !finiteWithin(s.machine.selection.cycleTimeUs, 1e-2, 1e6))
        return std::string("the machine-cycle time is not a time the device can have");

    const PeripheralState& p = chip.periph;
    struct Range {
        const char* name;
        int64_t value, low, high;
    };
    const ModuleState& m = s.machine.modules;
    const Range ranges[] = {
        {"machine.chip.periph.serial.txLog.head", p.serial.txLog.head, 0, 255},
        {"machine.chip.periph.serial.txLog.count", p.serial.txLog.count, 0, 256},
        {"machine.chip.periph.serial.rxLog.head", p.serial.rxLog.head, 0, 255},
        {"machine.chip.periph.serial.rxLog.count", p.serial.rxLog.count, 0, 256},
        {"machine.chip.periph.spi.txLog.head", p.spi.txLog.head, 0, 255},
        {"machine.chip.periph.spi.txLog.count", p.spi.txLog.count, 0, 256},
        {"machine.chip.periph.spi.rxLog.head", p.spi.rxLog.head, 0, 255},
        {"machine.chip.periph.spi.rxLog.count", p.spi.rxLog.count, 0, 256},
        // Frames of 8 to 11 bits, ticks of 16 per bit.
        {"machine.chip.periph.serial.txBits", p.serial.txBits, 0, 11},
        {"machine.chip.periph.serial.rxBits", p.serial.rxBits, 0, 11},
        {"machine.chip.periph.serial.rxTicks", p.serial.rxTicks, 0, 16 * 12},
        {"machine.chip.periph.line.txBitsLeft", p.line.txBitsLeft, 0, 12},
        {"machine.chip.periph.line.txNextBits", p.line.txNextBits, 0, 11},
        {"machine.chip.periph.line.rxBitsLeft", p.line.rxBitsLeft, 0, 11},
        {"machine.chip.periph.line.rxFrameBits", p.line.rxFrameBits, 0, 11},
        {"machine.chip.periph.spi.bitsLeft", p.spi.bitsLeft, 0, 8},
        {"machine.modules.lcd.cgAddress", m.lcd.cgAddress, 0, kLcdCgMemorySize - 1},
        {"machine.modules.iic.bus.bitCounter", m.iic.bus.bitCounter, -1, 9},
        // SCL in bit 0, SDA in bit 1: they index the bus's table of events.
        {"machine.modules.iic.bus.previousLevels", m.iic.bus.previousLevels, 0, 3},
        {"machine.modules.spiEeprom.bitCounter", m.spiEeprom.bitCounter, 0, 7},
        {"machine.modules.serialHost.bytesSent", m.serialHost.bytesSent, 0,
         int64_t(m.serialHost.fileBytes.size())},
        {"callStack.depth", s.callStack.depth(), 0, CallStack::kMaxFrames},
    };
    for (const Range& r : ranges)
        if (r.value < r.low || r.value > r.high)
            return std::string(r.name) + " holds " + std::to_string(r.value) + ", outside " +
                   std::to_string(r.low) + " to " + std::to_string(r.high);
    // A frame's bits are sampled from bit 0 up: never more left than it has.
    if (p.line.rxBitsLeft > p.line.rxFrameBits)
        return std::string("machine.chip.periph.line.rxBitsLeft is more than its frame's bits");
    // Write cycles are 10 ms at the slowest clock: far below this.
    if (!finiteWithin(m.iic.eeprom.writeCountdown, 0, 1e12))
        return std::string("machine.modules.iic.eeprom.writeCountdown is out of range");
    if (!finiteWithin(m.spiEeprom.writeCountdown, 0, 1e12))
        return std::string("machine.modules.spiEeprom.writeCountdown is out of range");
    return std::nullopt;
}

} // namespace

void takeSnapshot(const Machine& machine, MachineSnapshot& into) {
    assignState(into.machine, machine);
    if (machine.callStack)
        assignState(into.callStack, *machine.callStack);
    else
        into.callStack.clear();
}

MachineSnapshot takeSnapshot(const Machine& machine) {
    MachineSnapshot snapshot;
    takeSnapshot(machine, snapshot);
    return snapshot;
}

void restoreSnapshot(const MachineSnapshot& snapshot, Machine& machine) {
    assignState(machine, snapshot.machine);
    if (machine.callStack) assignState(*machine.callStack, snapshot.callStack);
}

uint64_t snapshotLayoutFingerprint() {
    Hasher hasher;
    describe<Machine>(hasher);
    describe<CallStack>(hasher);
    return hasher.finish();
}

uint64_t hashBytes(std::span<const uint8_t> bytes) {
    Hasher hasher;
    hasher.bytes(bytes.data(), bytes.size());
    return hasher.finish();
}

uint64_t snapshotHash(const MachineSnapshot& snapshot) {
    Hasher hasher;
    writeSnapshot(hasher, snapshot.machine, snapshot.callStack);
    return hasher.finish();
}

uint64_t machineHash(const Machine& machine) {
    static const CallStack kEmpty;
    Hasher hasher;
    writeSnapshot(hasher, machine, machine.callStack ? *machine.callStack : kEmpty);
    return hasher.finish();
}

std::string snapshotDifference(const MachineSnapshot& a, const MachineSnapshot& b) {
    std::string path;
    if (findDifference(a.machine, b.machine, "machine", path)) return path;
    if (findDifference(a.callStack, b.callStack, "callStack", path)) return path;
    return {};
}

std::vector<uint8_t> encodeSnapshot(const MachineSnapshot& snapshot) {
    std::vector<uint8_t> bytes;
    // The memories and the host's file, and room for the rest (some 10 KB).
    const Machine& m = snapshot.machine;
    bytes.reserve(m.chip.code.size() + m.chip.xdata.size() + m.chip.eeprom.size() +
                  m.codeProfile.counts.size() * sizeof(AddressCounts) +
                  m.modules.serialHost.fileBytes.size() + (16u << 10));
    ByteSink sink{bytes};
    writeSnapshot(sink, snapshot.machine, snapshot.callStack);
    return bytes;
}

std::vector<uint8_t> encodeModuleSettings(const ModuleSettings& settings) {
    std::vector<uint8_t> bytes;
    ByteSink sink{bytes};
    Writer<ByteSink>(sink).value(settings);
    return bytes;
}

std::optional<std::string> decodeModuleSettings(std::span<const uint8_t> bytes,
                                                ModuleSettings& into) {
    Reader reader(bytes);
    reader.root("settings", into);
    if (reader.error()) return reader.error();
    if (reader.remaining() != 0)
        return std::to_string(reader.remaining()) + " bytes follow the last field";
    return std::nullopt;
}

std::optional<std::string> decodeSnapshot(std::span<const uint8_t> bytes, MachineSnapshot& into) {
    Reader reader(bytes);
    reader.root("machine", into.machine);
    reader.root("callStack", into.callStack);
    if (reader.error()) return reader.error();
    if (reader.remaining() != 0)
        return std::to_string(reader.remaining()) + " bytes follow the last field";
    return invariantProblem(into);
}

} // namespace quorvel
