// The part-module commands that are not views: the settings dialogs of the
// "External Modules Setting" menu and the four "Save Buffer" commands. The
// frame runs them through this table; each lives beside its window.
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
