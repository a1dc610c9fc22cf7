// Fuzzes the file loader with arbitrary file contents. The first byte picks
// the memory layout, the target and the format; the rest is the file.
// Checks: no crash or sanitizer report, the load ends within one step per
// line (or block) plus one, and it never ends without an outcome.
#include "chip/chip_state.h"
#include "tools/file_loader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t mode = data[0];
    std::vector<uint8_t> file(data + 1, data + size);

    ChipState chip;
    chip.allocate((mode & 1) ? 0xFFFF : 0x07FF, (mode & 2) ? 0x0FFF : 0, false);
    const LoadTarget target = (mode & 4) ? LoadTarget::ExternalDataMemory : LoadTarget::ProgramMemory;
    const LoadFormat format = (mode & 8) ? LoadFormat::Binary : LoadFormat::IntelHex;

    FileLoader loader(target);
    loader.openBytes(std::move(file), format, "fuzz.hex");
    if (loader.needsStartAddress()) loader.setStartAddress(uint16_t(mode << 8 | mode));

    const size_t limit = size + 2;
    size_t steps = 0;
    while (loader.step(chip))
        if (++steps > limit) __builtin_trap();
    if (!loader.finished() || loader.progress() > loader.progressTotal()) __builtin_trap();
    const LoadOutcome& out = loader.outcome();
    if (out.result != LoadResult::Loaded && out.messages.empty()) __builtin_trap();
    (void)out.detailsText();
    return 0;
}
