#include "shell/views/view_table.h"

#include "shell/command_table.h"

#include <array>

namespace quorvel::shell {

std::span<const ViewEntry> viewTable() {
    static constexpr std::array<ViewEntry, 8> kViews{{
        {id::RegisterWindow, createRegisterView},
        {id::ProgramWindow, createProgramView},
        {id::ExternalMemoryWindow, createExternalMemoryView},
        {id::InternalMemoryWindow, createInternalMemoryView},
        {id::SfrBitWindow, createSfrBitView},
        {id::MemoryBitWindow, createMemoryBitView},
        {id::EepromWindow, createEepromView},
        {id::LcdWindow, createLcdWindow},
    }};
    return kViews;
}

} // namespace quorvel::shell
