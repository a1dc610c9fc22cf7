#include "shell/views/view_table.h"

#include "shell/command_table.h"

namespace quorvel::shell {

std::span<const ViewEntry> viewTable() {
    static constexpr ViewEntry kViews[] = {
        {id::RegisterWindow, createRegisterView},
        {id::ProgramWindow, createProgramView},
        {id::ExternalMemoryWindow, createExternalMemoryView},
        {id::InternalMemoryWindow, createInternalMemoryView},
        {id::SfrBitWindow, createSfrBitView},
        {id::MemoryBitWindow, createMemoryBitView},
        {id::EepromWindow, createEepromView},
        {id::SerialWindow, createSerialWindow},
        {id::IoWindow, createIoWindow},
        {id::IicEepromWindow, createIicEepromWindow},
        {id::RtcWindow, createRtcWindow},
        {id::SpiEepromWindow, createSpiEepromWindow},
        {id::SpiWindow, createSpiWindow},
    };
    return kViews;
}

} // namespace quorvel::shell
