#include "shell/modules/module_commands.h"

#include "shell/command_table.h"
#include "shell/modules/lcd_setting_dialog.h"

#include <array>

namespace quorvel::shell {

std::span<const ModuleCommand> moduleCommandTable() {
    static constexpr std::array<ModuleCommand, 1> kCommands{{
        {id::LcdSetting, runLcdSettingDialog},
    }};
    return kCommands;
}

} // namespace quorvel::shell
