#include "modules/wave_trace.h"

#include <algorithm>
#include <cstdio>

namespace quorvel {

long entryAt(std::span<const LineChange> changes, uint64_t cycle) {
    const auto after = std::upper_bound(changes.begin(), changes.end(), cycle,
                                        [](uint64_t c, const LineChange& e) { return c < e.cycle; });
    return long(after - changes.begin()) - 1;
}

int levelAt(std::span<const LineChange> changes, uint64_t cycle, int pin) {
    const long i = entryAt(changes, cycle);
    if (i < 0) return -1;
    return int((changes[size_t(i)].levels >> pin) & 1u);
}

std::string cycleTimeText(uint64_t cycles, uint32_t frequencyHz) {
    if (cycles == 0 || frequencyHz == 0) return "0 s";
    const double seconds = double(cycles) * 12.0 / double(frequencyHz);
    static const struct {
        double scale;
        const char* unit;
    } kUnits[] = {{1.0, "s"}, {1e3, "ms"}, {1e6, "\xC2\xB5s"}, {1e9, "ns"}};
    size_t u = 0;
    while (u + 1 < std::size(kUnits) && seconds * kUnits[u].scale < 1.0) ++u;
    char text[48];
    std::snprintf(text, sizeof text, "%.3f", seconds * kUnits[u].scale);
    std::string number = text;
    while (number.back() == '0') number.pop_back();
    if (number.back() == '.') number.pop_back();
    return number + " " + kUnits[u].unit;
}

uint64_t axisStep(double cyclesPerPixel, int minPixels) {
    const double wanted = cyclesPerPixel * std::max(1, minPixels);
    uint64_t decade = 1;
    for (;;) {
        for (uint64_t factor : {1, 2, 5})
            if (double(decade * factor) >= wanted) return decade * factor;
        if (decade > UINT64_MAX / 100) return decade * 10;
        decade *= 10;
    }
}

} // namespace quorvel
