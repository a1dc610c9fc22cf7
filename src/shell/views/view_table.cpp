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
        {id::IoWindow, createIoWindow},
        {id::SerialWindow, createSerialWindow},
        {id::SpiWindow, createSpiWindow},
        {id::LedWindow, createLedView},
        {id::LcdWindow, createLcdWindow},
        {id::KeyboardWindow, createKeyboardView},
        {id::RtcWindow, createRtcWindow},
        {id::IicEepromWindow, createIicEepromWindow},
        {id::SpiEepromWindow, createSpiEepromWindow},
        // Not among the windows a screen setting file places (it has room
        // for the ones above only): keep it last.
        {id::LogicAnalyserWindow, createLogicAnalyserView},
        {id::VariablesWindow, createVariablesView},
        {id::CallStackWindow, createCallStackView},
    };
    return kViews;
}

} // namespace quorvel::shell
