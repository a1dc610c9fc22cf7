// The part-module commands that are not views: the settings dialogs of the
// "External Modules Setting" menu, the four "Save Buffer" commands and the
// six code-generation dialogs. The frame runs them through this table; each
// lives beside its window (the code-generation ones in shell/codegen).
#pragma once

#include <span>

namespace quorvel::shell {

class Frame;

struct ModuleCommand {
    int command;
    void (*run)(Frame& frame);
};

std::span<const ModuleCommand> moduleCommandTable();

} // namespace quorvel::shell
