#include "shell/modules/module_commands.h"

#include "shell/command_table.h"
#include "shell/modules/bus_setting_dialogs.h"

#include <array>

namespace quorvel::shell {

std::span<const ModuleCommand> moduleCommandTable() {
    static constexpr std::array<ModuleCommand, 2> kCommands{{
        {id::IicSetting, runIicSettingDialog},
        {id::SpiSetting, runSpiSettingDialog},
    }};
    return kCommands;
}

} // namespace quorvel::shell
