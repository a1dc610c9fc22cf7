#include "shell/modules/module_commands.h"

#include "shell/command_table.h"
#include "shell/modules/keyboard_dialogs.h"
#include "shell/modules/led_dialogs.h"

#include <array>

namespace quorvel::shell {

std::span<const ModuleCommand> moduleCommandTable() {
    static constexpr std::array<ModuleCommand, 2> kCommands{{
        {id::LedSetting, ledSettingCommand},
        {id::KeyboardSetting, keyboardSettingCommand},
    }};
    return kCommands;
}

} // namespace quorvel::shell
