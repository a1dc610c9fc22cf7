// How the views lay out their text: the normal layout or the compact
// "Clear View". The frame owns the switch; the disassembler and the views
// format by it.
#pragma once

#include <cstdint>

namespace quorvel {

enum class ViewMode : uint8_t { Normal = 0, Clear = 1 };

} // namespace quorvel
