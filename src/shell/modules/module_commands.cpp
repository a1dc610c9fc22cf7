#include "shell/modules/module_commands.h"

#include "shell/command_table.h"
#include "shell/modules/transfer_list_commands.h"

#include <array>

namespace quorvel::shell {

std::span<const ModuleCommand> moduleCommandTable() {
    static constexpr std::array<ModuleCommand, 4> kCommands{{
        {id::SaveSerialReceiver, saveSerialReceiver},
        {id::SaveSerialTransmitter, saveSerialTransmitter},
        {id::SaveSpiReceiver, saveSpiReceiver},
        {id::SaveSpiTransmitter, saveSpiTransmitter},
    }};
    return kCommands;
}

} // namespace quorvel::shell
