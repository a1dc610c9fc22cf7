#include "machine/wave_recorder.h"

#include <algorithm>

namespace quorvel {

void WaveRecorder::setCapacity(size_t capacity) {
    ring_.assign(std::max<size_t>(capacity, 1), LineChange{});
    clear();
}

uint64_t WaveRecorder::copySince(uint64_t sequence, std::vector<LineChange>& out) const {
    const uint64_t from = std::max(sequence, firstSequence());
    if (from >= written_) return written_;
    out.reserve(out.size() + size_t(written_ - from));
    for (uint64_t s = from; s != written_; ++s) out.push_back(at(s));
    return from;
}

std::vector<LineChange> WaveRecorder::entries() const {
    std::vector<LineChange> out;
    copySince(0, out);
    return out;
}

} // namespace quorvel
