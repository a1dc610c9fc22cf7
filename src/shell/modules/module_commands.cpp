#include "shell/modules/module_commands.h"

#include "shell/command_table.h"

#include <array>

namespace quorvel::shell {

std::span<const ModuleCommand> moduleCommandTable() {
    static constexpr std::array<ModuleCommand, 0> kCommands{{
    }};
    return kCommands;
}

} // namespace quorvel::shell
